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

#include <algorithm>
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

// "LT_Other" or "a hand copy", for a kept copy's owner.
QString ownerText(const QString &owner)
{
    return owner.isEmpty() ? QStringLiteral("a hand copy") : QStringLiteral("installed by ") + owner;
}

// Tells of the copies an install or uninstall left alone; false when there were any.
bool reportKept(CliContext &context, const QString &archive, const QStringList &edited, const QStringList &foreign,
                const QStringList &owners, const char *editedHint)
{
    for (qsizetype i = 0; i < edited.size(); ++i)
        context.error(QStringLiteral("%1: kept %2: you changed it (%3)").arg(archive, edited.at(i), QLatin1String(editedHint)));
    for (qsizetype i = 0; i < foreign.size(); ++i) {
        const QString owner = owners.value(edited.size() + i);
        context.error(QStringLiteral("%1: kept %2: %3").arg(archive, foreign.at(i), ownerText(owner)));
    }
    return edited.isEmpty() && foreign.isEmpty();
}

QJsonArray keptJson(const QStringList &edited, const QStringList &foreign, const QStringList &owners)
{
    QJsonArray kept;
    for (qsizetype i = 0; i < edited.size() + foreign.size(); ++i) {
        const bool isEdited = i < edited.size();
        kept.append(QJsonObject{{QStringLiteral("destination"), isEdited ? edited.at(i) : foreign.at(i - edited.size())},
                                {QStringLiteral("state"), QLatin1String(isEdited ? "edited" : "foreign")},
                                {QStringLiteral("owner"), nullable(owners.value(i))}});
    }
    return kept;
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
    // A dry run: not even a killed run's leftovers are dealt with.
    virtual bool changesNothing(const QCommandLineParser &) const { return false; }
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
    if (!changesNothing(parser))
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
        parser.addOption(_replaceEdited);
        parser.addOption(_replaceForeign);
        parser.addOption(_dryRun);
        _lockWait.addOption(parser);
    }
    bool changesNothing(const QCommandLineParser &parser) const override { return parser.isSet(_dryRun); }

    // An archive whose templates are all in place already (or kept) needs
    // no unpacking: its directory and the installed files tell, and a
    // re-install of an unchanged pack copies nothing.
    bool readArchive(Run &run, TemplateInstallerV2 &installer) override
    {
        using TemplateOwnership::State;
        if (installer.listArchive(true)) {
            installer.setOwnershipPolicy(policy(run));
            const std::vector<TemplateOwnership::Copy> plan = installer.ownership(installer.effects());
            const bool nothingToCopy = !plan.empty() && std::all_of(plan.begin(), plan.end(), [&](const auto &copy) {
                return copy.identical || action(copy.state, installer.ownershipPolicy()) == QLatin1String("skip")
                    || action(copy.state, installer.ownershipPolicy()) == QLatin1String("keep");
            });
            if (nothingToCopy)
                return true;
        }
        return InstallerCommand::readArchive(run, installer);
    }

    TemplateInstaller::OwnershipPolicy policy(const Run &run) const
    {
        return {run.parser.isSet(_replaceEdited), run.parser.isSet(_replaceForeign), false};
    }

    // What the install would do to each template, and why.
    static QString action(TemplateOwnership::State state, const TemplateInstaller::OwnershipPolicy &policy)
    {
        using TemplateOwnership::State;
        switch (state) {
        case State::NotInstalled:
            return QStringLiteral("install");
        case State::Identical:
            return QStringLiteral("skip");
        case State::Unchanged:
            return QStringLiteral("replace");
        case State::Edited:
            return policy.replaceEdited ? QStringLiteral("replace") : QStringLiteral("keep");
        case State::Foreign:
            // An identical copy of another archive's is left to it (skip): see the caller.
            return policy.replaceForeign ? QStringLiteral("replace") : QStringLiteral("keep");
        }
        return {};
    }

    Outcome handle(Run &run, TemplateInstallerV2 &installer, const QString &archive, QJsonObject &entry) override
    {
        installer.setOwnershipPolicy(policy(run));
        installer.setUnchangedCopiesDisposal(run.disposal);
        const std::vector<TemplateOwnership::Copy> plan = installer.ownership(installer.effects());
        QJsonArray templates;
        for (size_t i = 0; i < plan.size(); ++i) {
            const EffectTemplateItem *item = installer.effects()[i];
            QJsonObject object = templateJson(++run.number, *item);
            const QString what = plan[i].identical && plan[i].state == TemplateOwnership::State::Foreign
                ? QStringLiteral("skip")
                : action(plan[i].state, installer.ownershipPolicy());
            object[QStringLiteral("replaced")] = what == QLatin1String("replace");
            object[QStringLiteral("state")] = TemplateOwnership::stateName(plan[i].state);
            object[QStringLiteral("action")] = what;
            object[QStringLiteral("owner")] = nullable(plan[i].owner);
            object[QStringLiteral("onlyInstalled")] = QJsonArray::fromStringList(plan[i].onlyInstalled);
            templates.append(object);
            if (run.parser.isSet(_dryRun) && !run.json)
                printPlanLine(run, *item, plan[i], what);
        }
        entry[QStringLiteral("templates")] = templates;
        if (run.parser.isSet(_dryRun))
            return Outcome::Done;

        CliProgress progress(run.context.err, QStringLiteral("Installing %1").arg(installer.title()),
                             run.context.drawsProgress());
        installer.setProgressListener(&progress);
        installer.setInstalledBy(QStringLiteral("mtzip " MTI_VERSION_STRING));
        // The unpack folder goes with the installer right after: move,
        // rather than copy, what it holds.
        std::optional<Error> error = installer.installEffects(InstallTransfer::MoveSource);
        // Listed only, as nothing needed copying, and something changed before
        // the folder's lock was had: unpack after all.
        if (error && installer.isListed() && error->code() == EINVAL && InstallerCommand::readArchive(run, installer)) {
            installer.setProgressListener(&progress);
            error = installer.installEffects(InstallTransfer::MoveSource);
        }
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
        entry[QStringLiteral("identical")] = report.identical;
        entry[QStringLiteral("kept")] = keptJson(report.keptEdited, report.keptForeign, report.keptOwners);
        if (!run.json) {
            QString line = installer.title() + QStringLiteral(": ") + QString::number(report.newlyInstalled)
                + QStringLiteral(" of ") + plural(qsizetype(installer.effects().size()), "template", "templates")
                + QStringLiteral(" newly installed into ") + run.root;
            if (report.identical > 0)
                line += QStringLiteral(", %1 already installed").arg(report.identical);
            run.context.info(line);
        }
        // Kept copies are the user's to decide on: the install did not do all it was asked.
        const bool allDone = reportKept(run.context, archive, report.keptEdited, report.keptForeign, report.keptOwners,
                                        "--replace-edited replaces it, the old copy going to the Trash");
        if (!report.keptForeign.isEmpty())
            run.context.error(QStringLiteral("%1: --replace-foreign replaces others' copies, which go to the Trash")
                                  .arg(archive));
        // An archive in which nothing was found is kept: it may be one this
        // tool does not understand, not one that is done with.
        if (run.parser.isSet(_deleteArchive) && !installer.effects().empty() && allDone)
            installer.setMustDeleteTemplatesArchive(true);
        return allDone ? Outcome::Done : Outcome::Failed;
    }

private:
    static void printPlanLine(Run &run, const EffectTemplateItem &item, const TemplateOwnership::Copy &copy,
                              const QString &what)
    {
        QString line = QStringLiteral("%1  %2  %3").arg(what.leftJustified(7), TemplateOwnership::stateName(copy.state).leftJustified(9),
                                                          item.relativeDestinationPath());
        if (copy.state == TemplateOwnership::State::Foreign)
            line += QStringLiteral("  (") + ownerText(copy.owner) + QLatin1Char(')');
        if (!copy.onlyInstalled.isEmpty())
            line += QStringLiteral("  installed copy also has: ") + copy.onlyInstalled.join(QStringLiteral(", "));
        run.context.out << line << '\n';
    }

    QCommandLineOption _deleteArchive{QStringLiteral("delete-archive"),
                                      QStringLiteral("Delete each archive after its successful install.")};
    QCommandLineOption _replaceEdited{QStringLiteral("replace-edited"),
                                      QStringLiteral("Replace installed templates you changed (the old copies go to the Trash).")};
    QCommandLineOption _replaceForeign{QStringLiteral("replace-foreign"),
                                       QStringLiteral("Replace templates another archive installed or that were copied in by hand (the old copies go to the Trash).")};
    QCommandLineOption _dryRun{{QStringLiteral("n"), QStringLiteral("dry-run")},
                               QStringLiteral("Print what would be done to each template; change nothing.")};
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
        parser.addOption(_removeEdited);
        parser.addOption(_dryRun);
        _lockWait.addOption(parser);
    }
    bool changesNothing(const QCommandLineParser &parser) const override { return parser.isSet(_dryRun); }
    // Removing needs only where the templates went, which the directory says.
    bool readArchive(Run &, TemplateInstallerV2 &installer) override { return installer.listArchive(); }

    Outcome handle(Run &run, TemplateInstallerV2 &installer, const QString &archive, QJsonObject &entry) override
    {
        using TemplateOwnership::State;
        installer.setOwnershipPolicy({false, false, run.parser.isSet(_removeEdited)});
        const std::vector<TemplateOwnership::Copy> plan = installer.ownership(installer.effects());
        const bool legacy = !installer.hasReceipt();
        QJsonArray templates;
        for (size_t i = 0; i < plan.size(); ++i) {
            const EffectTemplateItem *item = installer.effects()[i];
            QJsonObject object = templateJson(++run.number, *item);
            object[QStringLiteral("wasInstalled")] = item->isInstalledInDestRootFolder(run.root);
            const State state = plan[i].state;
            const bool keep = (state == State::Edited && !plan[i].onlyRemovals && !run.parser.isSet(_removeEdited))
                || (state == State::Foreign && !(legacy && plan[i].owner.isEmpty()));
            const QString what = state == State::NotInstalled ? QStringLiteral("none")
                : keep                                         ? QStringLiteral("keep")
                                                               : QStringLiteral("remove");
            object[QStringLiteral("state")] = TemplateOwnership::stateName(state);
            object[QStringLiteral("action")] = what;
            object[QStringLiteral("owner")] = nullable(plan[i].owner);
            templates.append(object);
            if (run.parser.isSet(_dryRun) && !run.json && state != State::NotInstalled)
                run.context.out << what.leftJustified(7) << "  " << TemplateOwnership::stateName(state).leftJustified(9)
                                << "  " << item->relativeDestinationPath() << '\n';
        }
        entry[QStringLiteral("templates")] = templates;
        if (run.parser.isSet(_dryRun))
            return Outcome::Done;

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
        entry[QStringLiteral("kept")] = keptJson(report.keptEdited, report.keptForeign, report.keptOwners);
        // Others' copies are not this archive's to remove: told, not failed.
        reportKept(run.context, archive, report.keptEdited, {}, report.keptOwners,
                   "--remove-edited removes it to the Trash");
        for (qsizetype i = 0; i < report.keptForeign.size(); ++i)
            run.context.info(QStringLiteral("%1: kept %2: %3")
                                 .arg(archive, report.keptForeign.at(i),
                                      ownerText(report.keptOwners.value(report.keptEdited.size() + i))));
        if (!report.keptEdited.isEmpty())
            outcome = Outcome::Failed;
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

private:
    QCommandLineOption _removeEdited{QStringLiteral("remove-edited"),
                                     QStringLiteral("Also remove templates you changed (to the Trash).")};
    QCommandLineOption _dryRun{{QStringLiteral("n"), QStringLiteral("dry-run")},
                               QStringLiteral("Print what would be done to each template; change nothing.")};
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
