// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
// The commands over the installation core: list, install, uninstall. Every
// archive goes through TemplateInstallerV2 exactly as in the application.
#include "Cli/Cli.h"
#include "Cli/CliDestination.h"
#include "Cli/CliJson.h"
#include "Cli/CliLockWait.h"
#include "Cli/CliProgress.h"
#include "Cli/CliSignals.h"
#include "Common/LogCategories.h"
#include "Common/Version.h"
#include "Installer/Categories.h"
#include "Installer/TemplateInstallerV2.h"
#include "Installer/TemplateType.h"

#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>
#include <QUrl>

#include <csignal>

namespace {

using CliJson::nullable;

QString plural(qsizetype count, const char *singular, const char *pluralForm)
{
    return QStringLiteral("%1 %2").arg(count).arg(QLatin1String(count == 1 ? singular : pluralForm));
}

// Why a named archive cannot be read at all, before its name is judged;
// null when it can.
QString unreadableReason(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return QStringLiteral("no such file");
    if (!info.exists())
        return QStringLiteral("a link to a file that does not exist");
    if (info.isDir())
        return QStringLiteral("is a folder, not an archive");
    // Opening a FIFO blocks until a writer comes; the zip layer names FIFOs and devices without opening them.
    if (!info.isFile())
        return QString();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return file.error() == QFileDevice::PermissionsError ? QStringLiteral("permission denied") : file.errorString();
    return QString();
}

// What list, install and uninstall share: the destination, the categories,
// the archives one by one, the JSON document.
class InstallerCommand : public CliCommand
{
public:
    QString synopsis() const override { return QStringLiteral("ARCHIVE..."); }
    std::optional<int> positionalCount() const override { return std::nullopt; }

    void addOptions(QCommandLineParser &parser) override
    {
        parser.addPositionalArgument(QStringLiteral("ARCHIVE..."), QStringLiteral("Template archives (.mtzip)."));
        _destination.addOptions(parser);
        parser.addOption(_categories);
        parser.addOption(_json);
        addOwnOptions(parser);
    }

    int run(CliContext &context, const QCommandLineParser &parser) override;

protected:
    enum class Outcome { Done, Failed, Stopped };

    struct Run
    {
        CliContext &context;
        const QCommandLineParser &parser;
        QString root;
        bool json = false;
        TemplateTransaction::Disposal disposal = TemplateTransaction::Disposal::Delete;
        std::optional<std::chrono::milliseconds> lockWait = std::nullopt;
        int number = 0;  // running template number over every archive
    };

    virtual void addOwnOptions(QCommandLineParser &) {}
    // Unpacks the archive, or only reads its directory where no file
    // contents are needed; false says why through the installer.
    virtual bool readArchive(Run &run, TemplateInstallerV2 &installer)
    {
        CliProgress progress(run.context.err, QStringLiteral("Unpacking %1").arg(installer.title()),
                             run.context.drawsProgress());
        installer.setProgressListener(&progress);
        const bool unpacked = installer.unarchive();
        progress.finish();
        installer.setProgressListener(nullptr);
        return unpacked;
    }
    // Works on one unpacked archive; fills in its JSON entry.
    virtual Outcome handle(Run &run, TemplateInstallerV2 &installer, const QString &archive, QJsonObject &entry) = 0;
    // After the last archive, without --json.
    virtual void finish(Run &) {}

    // Told once, as the last line, when a signal stopped the work.
    static void reportSignal(CliContext &context, const QString &what)
    {
        const int signal = CliSignals::received();
        context.error(QStringLiteral("%1 by %2%3")
                          .arg(QLatin1String(signal == SIGINT ? "interrupted" : "terminated"),
                               QLatin1String(CliSignals::name(signal)),
                               what.isEmpty() ? QString() : QStringLiteral("; ") + what));
        context.signalReported = true;
    }

    static QJsonObject templateJson(int number, const EffectTemplateItem &item)
    {
        return QJsonObject{{QStringLiteral("index"), number},
                           {QStringLiteral("title"), item.title()},
                           {QStringLiteral("category"), nullable(item.category())},
                           {QStringLiteral("type"), qint64(item.templateType())},
                           {QStringLiteral("kind"), TemplateType::kindName(item.templateType())},
                           {QStringLiteral("source"), item.relativeSourcePath()},
                           {QStringLiteral("destination"), item.relativeDestinationPath()}};
    }

    QCommandLineOption _trash{QStringLiteral("trash"),
                              QStringLiteral("Move what is removed or replaced to the Trash instead of deleting it.")};
    CliLockWait _lockWait;

private:
    CliDestination _destination;
    QCommandLineOption _categories{QStringLiteral("categories"),
                                   QStringLiteral("Read category prefixes from PLIST (XML or binary)."),
                                   QStringLiteral("PLIST")};
    QCommandLineOption _json{QStringLiteral("json"),
                             QStringLiteral("Print one JSON document on stdout instead of lines for people.")};
};

int InstallerCommand::run(CliContext &context, const QCommandLineParser &parser)
{
    int exitCode = Cli::Success;
    Run run{context, parser, _destination.root(context, parser, &exitCode)};
    if (run.root.isNull())
        return exitCode;
    Categories categories;
    if (parser.isSet(_categories)) {
        const QString plist = parser.value(_categories);
        if (!QFileInfo(plist).isFile()) {
            context.error(QStringLiteral("categories list \"%1\" does not exist").arg(plist));
            return Cli::Failure;
        }
        categories = Categories::fromFile(plist);
    } else {
        categories = Categories::shipped();
    }
    run.json = parser.isSet(_json);
    if (parser.optionNames().contains(_trash.names().constFirst()) && parser.isSet(_trash))
        run.disposal = TemplateTransaction::Disposal::Trash;
    if (!_lockWait.read(context, parser, &run.lockWait))
        return Cli::UsageError;

    // Leftovers of runs that were killed: their unpack folders, and an
    // install or uninstall of this root to finish or undo.
    TemplateInstaller::removeAbandonedUnpackFolders();
    TemplateInstaller::recoverInterruptedRun(run.root);
    qCInfo(lcCli).noquote() << name() << "into" << run.root;

    bool allSucceeded = true;
    QJsonArray archives;
    const QStringList given = parser.positionalArguments();
    for (qsizetype at = 0; at < given.size(); ++at) {
        const QString &archive = given[at];
        if (CliSignals::received()) {
            // Stopped between archives: those not begun were not done.
            allSucceeded = false;
            const qsizetype more = given.size() - at - 1;
            reportSignal(context, more == 0 ? QStringLiteral("%1 was left alone").arg(archive)
                                            : QStringLiteral("%1 and %2 more were left alone").arg(archive).arg(more));
            break;
        }
        const QString archivePath = QFileInfo(archive).absoluteFilePath();
        QJsonObject entry{{QStringLiteral("archive"), archive},
                          {QStringLiteral("title"), QFileInfo(archive).completeBaseName()},
                          {QStringLiteral("accepted"), false},
                          {QStringLiteral("refusal"), QJsonValue(QJsonValue::Null)},
                          {QStringLiteral("unpacked"), false},
                          {QStringLiteral("error"), QJsonValue(QJsonValue::Null)},
                          {QStringLiteral("templates"), QJsonArray()}};

        if (const QString reason = unreadableReason(archivePath); !reason.isNull()) {
            allSucceeded = false;
            entry[QStringLiteral("error")] = reason;
            context.error(QStringLiteral("%1: %2").arg(archive, reason));
            archives.append(entry);
            continue;
        }

        QString refusal;
        std::unique_ptr<TemplateInstallerV2> installer =
            TemplateInstallerV2::create(QUrl::fromLocalFile(archivePath), run.root, categories, &refusal);
        entry[QStringLiteral("accepted")] = installer != nullptr;
        if (!installer) {
            allSucceeded = false;
            entry[QStringLiteral("refusal")] = refusal;
            context.error(QStringLiteral("%1: refused: %2").arg(archive, refusal));
            archives.append(entry);
            continue;
        }

        const bool unpacked = readArchive(run, *installer);
        installer->setDisposal(run.disposal);
        installer->setLockWait(run.lockWait);
        entry[QStringLiteral("unpacked")] = unpacked;
        if (!unpacked && CliSignals::received()) {
            reportSignal(context, QStringLiteral("%1 was not unpacked").arg(archive));
            break;
        }
        if (!unpacked) {
            allSucceeded = false;
            entry[QStringLiteral("error")] = installer->unarchiveError();
            context.error(QStringLiteral("%1: cannot unpack: %2").arg(archive, installer->unarchiveError()));
            archives.append(entry);
            continue;
        }

        qCInfo(lcCli).noquote() << archive << "holds" << installer->effects().size() << "templates";
        const Outcome outcome = handle(run, *installer, archive, entry);
        qCInfo(lcCli).noquote() << archive << (outcome == Outcome::Done ? "done" : "failed or stopped");
        archives.append(entry);
        if (outcome == Outcome::Stopped)
            break;
        if (outcome == Outcome::Failed)
            allSucceeded = false;
    }

    if (run.json) {
        QJsonObject document = CliJson::document(name(), run.root);
        document.insert(QStringLiteral("archives"), archives);
        context.out << QJsonDocument(document).toJson(QJsonDocument::Indented);
    } else {
        finish(run);
    }
    context.out.flush();
    return allSucceeded ? Cli::Success : Cli::Failure;
}

class ListCommand : public InstallerCommand
{
public:
    QString name() const override { return QStringLiteral("list"); }
    QString summary() const override { return QStringLiteral("list the templates of template archives"); }
    QString description() const override
    {
        return QStringLiteral("Lists the templates of each archive and whether they are installed.");
    }

protected:
    // Listing needs no file contents: the archive's directory says it all.
    bool readArchive(Run &, TemplateInstallerV2 &installer) override { return installer.listArchive(); }

    Outcome handle(Run &run, TemplateInstallerV2 &installer, const QString &archive, QJsonObject &entry) override
    {
        QJsonArray templates;
        for (const EffectTemplateItem *item : installer.effects()) {
            ++run.number;
            const bool installed = item->isInstalledInDestRootFolder(run.root);
            QJsonObject object = templateJson(run.number, *item);
            object[QStringLiteral("installed")] = installed;
            templates.append(object);
            _rows.append({QString::number(run.number), installed ? QStringLiteral("yes") : QStringLiteral("-"),
                          item->category().isNull() ? QStringLiteral("-") : item->category(), item->title(),
                          item->relativeDestinationPath()});
        }
        entry[QStringLiteral("templates")] = templates;
        if (installer.effects().empty() && !run.json)
            run.context.error(QStringLiteral("%1: no templates found").arg(archive));
        return Outcome::Done;
    }

    void finish(Run &run) override
    {
        if (_rows.isEmpty())
            return;
        const Row header{QStringLiteral("#"), QStringLiteral("Installed"), QStringLiteral("Category"),
                         QStringLiteral("Title"), QStringLiteral("Destination")};
        qsizetype widths[4] = {header.number.size(), header.installed.size(), header.category.size(),
                               header.title.size()};
        for (const Row &row : std::as_const(_rows)) {
            widths[0] = qMax(widths[0], row.number.size());
            widths[1] = qMax(widths[1], row.installed.size());
            widths[2] = qMax(widths[2], row.category.size());
            widths[3] = qMax(widths[3], row.title.size());
        }
        QTextStream &out = run.context.out;
        const auto print = [&](const Row &row) {
            out << row.number.rightJustified(widths[0]) << "  " << row.installed.leftJustified(widths[1]) << "  "
                << row.category.leftJustified(widths[2]) << "  " << row.title.leftJustified(widths[3]) << "  "
                << row.destination << '\n';
        };
        print(header);
        for (const Row &row : std::as_const(_rows))
            print(row);
        _rows.clear();
    }

private:
    struct Row
    {
        QString number, installed, category, title, destination;
    };
    QList<Row> _rows;
};

class InstallCommand : public InstallerCommand
{
public:
    QString name() const override { return QStringLiteral("install"); }
    QString summary() const override { return QStringLiteral("install the templates of template archives"); }
    QString description() const override
    {
        return QStringLiteral("Installs every template of each archive, replacing older copies.");
    }

protected:
    void addOwnOptions(QCommandLineParser &parser) override
    {
        parser.addOption(_deleteArchive);
        parser.addOption(_trash);
        _lockWait.addOption(parser);
    }

    Outcome handle(Run &run, TemplateInstallerV2 &installer, const QString &archive, QJsonObject &entry) override
    {
        QJsonArray templates;
        for (const EffectTemplateItem *item : installer.effects()) {
            QJsonObject object = templateJson(++run.number, *item);
            object[QStringLiteral("replaced")] = item->isInstalledInDestRootFolder(run.root);
            templates.append(object);
        }
        entry[QStringLiteral("templates")] = templates;

        CliProgress progress(run.context.err, QStringLiteral("Installing %1").arg(installer.title()),
                             run.context.drawsProgress());
        installer.setProgressListener(&progress);
        installer.setInstalledBy(QStringLiteral("mtzip " MTI_VERSION_STRING));
        // The unpack folder goes with the installer right after: move,
        // rather than copy, what it holds.
        const std::optional<Error> error = installer.installEffects(InstallTransfer::MoveSource);
        progress.finish();
        installer.setProgressListener(nullptr);
        if (error && error->isCancellation() && CliSignals::received()) {
            entry[QStringLiteral("error")] = QStringLiteral("cancelled");
            reportSignal(run.context,
                         QStringLiteral("%1 was not installed, the templates folder is as it was").arg(archive));
            return Outcome::Stopped;
        }
        if (error) {
            entry[QStringLiteral("error")] = error->localizedDescription();
            run.context.error(QStringLiteral("%1: installation failed: %2").arg(archive, error->localizedDescription()));
            return Outcome::Failed;
        }
        const TemplateTransaction::InstallReport &report = installer.lastInstallReport();
        entry[QStringLiteral("newlyInstalled")] = report.newlyInstalled;
        entry[QStringLiteral("replaced")] = report.replaced;
        if (!run.json) {
            run.context.info(installer.title() + QStringLiteral(": ") + QString::number(report.newlyInstalled)
                             + QStringLiteral(" of ") + plural(qsizetype(installer.effects().size()), "template", "templates")
                             + QStringLiteral(" newly installed into ") + run.root);
        }
        // An archive in which nothing was found is kept: it may be one this
        // tool does not understand, not one that is done with.
        if (run.parser.isSet(_deleteArchive) && !installer.effects().empty())
            installer.setMustDeleteTemplatesArchive(true);
        return Outcome::Done;
    }

private:
    QCommandLineOption _deleteArchive{QStringLiteral("delete-archive"),
                                      QStringLiteral("Delete each archive after its successful install.")};
};

class UninstallCommand : public InstallerCommand
{
public:
    QString name() const override { return QStringLiteral("uninstall"); }
    QString summary() const override { return QStringLiteral("remove the installed templates of template archives"); }
    QString description() const override { return QStringLiteral("Removes every installed template of each archive."); }

protected:
    void addOwnOptions(QCommandLineParser &parser) override
    {
        parser.addOption(_trash);
        _lockWait.addOption(parser);
    }
    // Removing needs only where the templates went, which the directory says.
    bool readArchive(Run &, TemplateInstallerV2 &installer) override { return installer.listArchive(); }

    Outcome handle(Run &run, TemplateInstallerV2 &installer, const QString &archive, QJsonObject &entry) override
    {
        QJsonArray templates;
        for (const EffectTemplateItem *item : installer.effects()) {
            QJsonObject object = templateJson(++run.number, *item);
            object[QStringLiteral("wasInstalled")] = item->isInstalledInDestRootFolder(run.root);
            templates.append(object);
        }
        entry[QStringLiteral("templates")] = templates;

        CliProgress progress(run.context.err, QStringLiteral("Removing %1").arg(installer.title()),
                             run.context.drawsProgress());
        installer.setProgressListener(&progress);
        const std::optional<Error> error = installer.deleteEffects();
        progress.finish();
        installer.setProgressListener(nullptr);
        if (error && error->isCancellation() && CliSignals::received()) {
            entry[QStringLiteral("error")] = QStringLiteral("cancelled");
            reportSignal(run.context, QStringLiteral("the templates of %1 were left in place").arg(archive));
            return Outcome::Stopped;
        }
        const TemplateTransaction::RemovalReport &report = installer.lastRemovalReport();
        entry[QStringLiteral("removed")] = report.removed;
        entry[QStringLiteral("failed")] = report.failed;
        entry[QStringLiteral("trashed")] = report.trashed;
        Outcome outcome = Outcome::Done;
        if (error) {
            outcome = Outcome::Failed;
            entry[QStringLiteral("error")] = error->localizedDescription();
            run.context.error(QStringLiteral("%1: uninstall failed: %2").arg(archive, error->localizedDescription()));
        } else if (!run.json) {
            run.context.info(QStringLiteral("%1: %2%3%4")
                                 .arg(installer.title(), plural(report.removed, "template", "templates"),
                                      QLatin1String(report.trashed ? " moved to the Trash from " : " removed from "),
                                      run.root));
        }
        if (report.failed > 0) {
            outcome = Outcome::Failed;
            const QString why = report.firstError ? report.firstError->localizedDescription() : QString();
            if (entry.value(QStringLiteral("error")).isNull() && !why.isEmpty())
                entry[QStringLiteral("error")] = why;
            run.context.error(QStringLiteral("%1: %2 could not be removed%3")
                                  .arg(archive, plural(report.failed, "template", "templates"),
                                       why.isEmpty() ? QString() : QStringLiteral(": ") + why));
        }
        return outcome;
    }
};

} // namespace

std::unique_ptr<CliCommand> makeListCommand()
{
    return std::make_unique<ListCommand>();
}

std::unique_ptr<CliCommand> makeInstallCommand()
{
    return std::make_unique<InstallCommand>();
}

std::unique_ptr<CliCommand> makeUninstallCommand()
{
    return std::make_unique<UninstallCommand>();
}
