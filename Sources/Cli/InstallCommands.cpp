// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
// The commands over the installation core: list, install, uninstall. Every
// archive goes through TemplateInstallerV2 exactly as in the application.
#include "Cli/Cli.h"
#include "Cli/CliProgress.h"
#include "Cli/CliSignals.h"
#include "Installer/Categories.h"
#include "Installer/TemplateInstallerV2.h"
#include "Installer/TemplateType.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>
#include <QUrl>

#include <csignal>

namespace {

struct InstallOptions
{
    QCommandLineOption dest{QStringLiteral("dest"),
                            QStringLiteral("Install below DIR instead of the user's Motion Templates folder."),
                            QStringLiteral("DIR")};
    QCommandLineOption allUsers{QStringLiteral("all-users"),
                                QStringLiteral("Install into the folder shared by all users.")};
    QCommandLineOption categories{QStringLiteral("categories"),
                                  QStringLiteral("Read category prefixes from PLIST (XML or binary)."),
                                  QStringLiteral("PLIST")};
    QCommandLineOption json{QStringLiteral("json"), QStringLiteral("Print one JSON document on stdout.")};
    QCommandLineOption deleteArchive{QStringLiteral("delete-archive"),
                                     QStringLiteral("Delete each archive after its successful install.")};
    QCommandLineOption trash{QStringLiteral("trash"),
                             QStringLiteral("Move what is removed or replaced to the Trash instead of deleting it.")};
};

QJsonValue nullable(const QString &text)
{
    return text.isNull() ? QJsonValue(QJsonValue::Null) : QJsonValue(text);
}

QString plural(qsizetype count, const char *singular, const char *pluralForm)
{
    return QStringLiteral("%1 %2").arg(count).arg(QLatin1String(count == 1 ? singular : pluralForm));
}

} // namespace

int Cli::installerCommand(const QStringList &arguments, InstallerAction action)
{
    const InstallOptions options;
    QCommandLineParser parser;
    switch (action) {
    case List:
        parser.setApplicationDescription(QStringLiteral("Lists the templates of each archive and whether they are installed."));
        break;
    case Install:
        parser.setApplicationDescription(QStringLiteral("Installs every template of each archive, replacing older copies."));
        break;
    case Uninstall:
        parser.setApplicationDescription(QStringLiteral("Removes every installed template of each archive."));
        break;
    }
    parser.addPositionalArgument(QStringLiteral("ARCHIVE..."), QStringLiteral("Template archives (.mtzip)."));
    parser.addOption(options.dest);
    parser.addOption(options.allUsers);
    parser.addOption(options.categories);
    if (action == List)
        parser.addOption(options.json);
    if (action == Install)
        parser.addOption(options.deleteArchive);
    if (action != List)
        parser.addOption(options.trash);
    if (const std::optional<int> done = parseCommand(parser, arguments, -1))
        return *done;
    if (parser.positionalArguments().isEmpty())
        return usageError(QStringLiteral("%1 needs at least one archive").arg(arguments.first().section(QLatin1Char(' '), 1)));
    if (parser.isSet(options.dest) && parser.isSet(options.allUsers))
        return usageError(QStringLiteral("--dest and --all-users exclude each other"));

    QString root;
    if (parser.isSet(options.dest)) {
        root = QFileInfo(parser.value(options.dest)).absoluteFilePath();
    } else if (parser.isSet(options.allUsers)) {
        root = TemplateInstaller::localDestMotionTemplatesFolder();
    } else {
        root = TemplateInstaller::userDestMotionTemplatesFolder();
    }
    if (root.isEmpty()) {
        _err << "mtzip: no destination folder could be determined; use --dest\n";
        _err.flush();
        return Failure;
    }
    Categories categories;
    if (parser.isSet(options.categories)) {
        const QString plist = parser.value(options.categories);
        if (!QFileInfo(plist).isFile()) {
            _err << "mtzip: categories list \"" << plist << "\" does not exist\n";
            _err.flush();
            return Failure;
        }
        categories = Categories::fromFile(plist);
    } else {
        categories = Categories::shipped();
    }

    // Leftovers of runs that were killed: their unpack folders, and an
    // install or uninstall of this root to finish or undo.
    TemplateInstaller::removeAbandonedUnpackFolders();
    TemplateInstaller::recoverInterruptedRun(root);
    const TemplateTransaction::Disposal disposal = action != List && parser.isSet(options.trash)
        ? TemplateTransaction::Disposal::Trash
        : TemplateTransaction::Disposal::Delete;
    // Told once, as the last line, when a signal stopped the work.
    const auto stoppedBySignal = [this](const QString &what) {
        const int signal = CliSignals::received();
        _err << "mtzip: " << (signal == SIGINT ? "interrupted" : "terminated") << " by " << CliSignals::name(signal)
             << (what.isEmpty() ? QString() : QStringLiteral("; ") + what) << '\n';
        _err.flush();
        _signalReported = true;
    };

    const bool json = action == List && parser.isSet(options.json);
    bool allSucceeded = true;
    int number = 0;
    QJsonArray archives;
    struct Row { QString number, installed, category, title, destination; };
    QList<Row> rows;

    for (const QString &archive : parser.positionalArguments()) {
        if (CliSignals::received())
            break;
        const QString archivePath = QFileInfo(archive).absoluteFilePath();
        QString refusal;
        std::unique_ptr<TemplateInstallerV2> installer =
            TemplateInstallerV2::create(QUrl::fromLocalFile(archivePath), root, categories, &refusal);
        QJsonObject entry{{QStringLiteral("archive"), archive},
                          {QStringLiteral("title"), QFileInfo(archive).completeBaseName()},
                          {QStringLiteral("accepted"), installer != nullptr},
                          {QStringLiteral("refusal"), nullable(installer ? QString() : refusal)},
                          {QStringLiteral("unpacked"), false},
                          {QStringLiteral("error"), QJsonValue(QJsonValue::Null)},
                          {QStringLiteral("templates"), QJsonArray()}};
        if (!installer) {
            allSucceeded = false;
            _err << "mtzip: " << archive << ": refused: " << refusal << '\n';
            _err.flush();
            archives.append(entry);
            continue;
        }

        bool unpacked = false;
        if (action == List) {
            // Listing needs no file contents: the archive's directory says it all.
            unpacked = installer->listArchive();
        } else {
            CliProgress unpackProgress(_err, QStringLiteral("Unpacking %1").arg(installer->title()), _errIsTerminal);
            installer->setProgressListener(&unpackProgress);
            unpacked = installer->unarchive();
            unpackProgress.finish();
            installer->setProgressListener(nullptr);
        }
        installer->setDisposal(disposal);
        entry[QStringLiteral("unpacked")] = unpacked;
        if (!unpacked && CliSignals::received()) {
            stoppedBySignal(QStringLiteral("%1 was not unpacked").arg(archive));
            break;
        }
        if (!unpacked) {
            allSucceeded = false;
            entry[QStringLiteral("error")] = installer->unarchiveError();
            _err << "mtzip: " << archive << ": cannot unpack: " << installer->unarchiveError() << '\n';
            _err.flush();
            archives.append(entry);
            continue;
        }

        if (action == List) {
            QJsonArray templates;
            for (const EffectTemplateItem *item : installer->effects()) {
                ++number;
                const bool installed = item->isInstalledInDestRootFolder(root);
                templates.append(QJsonObject{{QStringLiteral("index"), number},
                                             {QStringLiteral("title"), item->title()},
                                             {QStringLiteral("category"), nullable(item->category())},
                                             {QStringLiteral("type"), qint64(item->templateType())},
                                             {QStringLiteral("kind"), TemplateType::kindName(item->templateType())},
                                             {QStringLiteral("source"), item->relativeSourcePath()},
                                             {QStringLiteral("destination"), item->relativeDestinationPath()},
                                             {QStringLiteral("installed"), installed}});
                rows.append({QString::number(number), installed ? QStringLiteral("yes") : QStringLiteral("-"),
                             item->category().isNull() ? QStringLiteral("-") : item->category(), item->title(),
                             item->relativeDestinationPath()});
            }
            entry[QStringLiteral("templates")] = templates;
            if (installer->effects().empty() && !json) {
                _err << "mtzip: " << archive << ": no templates found\n";
                _err.flush();
            }
        } else if (action == Install) {
            CliProgress installProgress(_err, QStringLiteral("Installing %1").arg(installer->title()), _errIsTerminal);
            installer->setProgressListener(&installProgress);
            // The unpack folder goes with the installer right after: move,
            // rather than copy, what it holds.
            const std::optional<Error> error = installer->installEffects(InstallTransfer::MoveSource);
            installProgress.finish();
            installer->setProgressListener(nullptr);
            if (error && error->isCancellation() && CliSignals::received()) {
                stoppedBySignal(QStringLiteral("%1 was not installed, the templates folder is as it was").arg(archive));
                break;
            }
            if (error) {
                allSucceeded = false;
                _err << "mtzip: " << archive << ": installation failed: " << error->localizedDescription() << '\n';
                _err.flush();
            } else {
                const TemplateTransaction::InstallReport &report = installer->lastInstallReport();
                _out << installer->title() << ": " << report.newlyInstalled << " of "
                     << plural(qsizetype(installer->effects().size()), "template", "templates")
                     << " newly installed into " << root << '\n';
                if (parser.isSet(options.deleteArchive))
                    installer->setMustDeleteTemplatesArchive(true);
            }
        } else {
            CliProgress removeProgress(_err, QStringLiteral("Removing %1").arg(installer->title()), _errIsTerminal);
            installer->setProgressListener(&removeProgress);
            const std::optional<Error> error = installer->deleteEffects();
            removeProgress.finish();
            installer->setProgressListener(nullptr);
            if (error && error->isCancellation() && CliSignals::received()) {
                stoppedBySignal(QStringLiteral("the templates of %1 were left in place").arg(archive));
                break;
            }
            const TemplateTransaction::RemovalReport &report = installer->lastRemovalReport();
            if (error) {
                allSucceeded = false;
                _err << "mtzip: " << archive << ": uninstall failed: " << error->localizedDescription() << '\n';
            } else {
                _out << installer->title() << ": " << plural(report.removed, "template", "templates")
                     << (report.trashed ? " moved to the Trash from " : " removed from ") << root << '\n';
            }
            if (report.failed > 0) {
                allSucceeded = false;
                _err << "mtzip: " << archive << ": " << plural(report.failed, "template", "templates")
                     << " could not be removed"
                     << (report.firstError ? QStringLiteral(": ") + report.firstError->localizedDescription() : QString())
                     << '\n';
            }
            _err.flush();
        }
        _out.flush();
        archives.append(entry);
    }

    if (json) {
        _out << QJsonDocument(QJsonObject{{QStringLiteral("archives"), archives}}).toJson(QJsonDocument::Indented);
    } else if (action == List && !rows.isEmpty()) {
        const Row header{QStringLiteral("#"), QStringLiteral("Installed"), QStringLiteral("Category"),
                         QStringLiteral("Title"), QStringLiteral("Destination")};
        qsizetype widths[4] = {header.number.size(), header.installed.size(), header.category.size(), header.title.size()};
        for (const Row &row : std::as_const(rows)) {
            widths[0] = qMax(widths[0], row.number.size());
            widths[1] = qMax(widths[1], row.installed.size());
            widths[2] = qMax(widths[2], row.category.size());
            widths[3] = qMax(widths[3], row.title.size());
        }
        auto print = [&](const Row &row) {
            _out << row.number.rightJustified(widths[0]) << "  " << row.installed.leftJustified(widths[1]) << "  "
                 << row.category.leftJustified(widths[2]) << "  " << row.title.leftJustified(widths[3]) << "  "
                 << row.destination << '\n';
        };
        print(header);
        for (const Row &row : std::as_const(rows))
            print(row);
    }
    _out.flush();
    return allSucceeded ? Success : Failure;
}
