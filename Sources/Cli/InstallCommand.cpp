// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
// install: the templates of archives into the templates folder.
#include "Cli/ArchiveCommand.h"
#include "Cli/Cli.h"
#include "Cli/CliJson.h"
#include "Cli/CliLibraryCommand.h"
#include "Cli/CliProgress.h"
#include "Cli/CliSignals.h"
#include "Common/FileNames.h"
#include "Common/Version.h"
#include "Installer/TemplateInstallerV2.h"
#include "Metadata/ArchiveDocuments.h"

#include <QCommandLineParser>
#include <QDir>
#include <QJsonArray>
#include <QJsonObject>
#include <QTextStream>

#include <QSet>

#include <algorithm>
#include <cerrno>

namespace {

// Installs each archive as one transaction: either every template is in
// place and the receipt written, or the folder is as it was. Copies the
// user changed and others' copies are kept unless the options say
// otherwise, and a kept copy makes the exit status 1: the install did not
// do everything it was asked to.
class InstallCommand : public ArchiveCommand
{
public:
    QString name() const override { return QStringLiteral("install"); }
    QString summary() const override { return QStringLiteral("install the templates of template archives"); }
    QString description() const override
    {
        return QStringLiteral("Installs every template of each archive, replacing older copies. A template too new "
                              "for the Final Cut Pro judged against (--fcp-version, else the setting, else the newest "
                              "installed) is installed with a warning, or left out with --skip-too-new.");
    }

protected:
    bool judgesTemplates() const override { return true; }

    void addOwnOptions(QCommandLineParser &parser) override
    {
        parser.addOption(_deleteArchive);
        parser.addOption(_trash);
        parser.addOption(_replaceEdited);
        parser.addOption(_replaceForeign);
        parser.addOption(_dryRun);
        parser.addOption(_skipTooNew);
        parser.addOption(_only);
        _lockWait.addOption(parser);
    }
    bool changesNothing(const QCommandLineParser &parser) const override { return parser.isSet(_dryRun); }

    // An archive whose templates are all in place already (or kept) needs
    // no unpacking: its directory and the installed files tell, and a
    // re-install of an unchanged pack copies nothing.
    // (A re-install of an unchanged pack then costs a directory read and a
    // look at the installed files, not an unpack of hundreds of megabytes.)
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
        return ArchiveCommand::readArchive(run, installer);
    }

    // Never removeEdited: an install only replaces, and the replaced copy goes to the Trash.
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
        const QSet<const EffectTemplateItem *> tooNew = judgeTooNew(run, installer, archive);
        EffectTemplateItemList selected;
        for (const EffectTemplateItem *item : installer.effects()) {
            if ((!_skipping || !tooNew.contains(item)) && asked(run, *item))
                selected.push_back(item);
        }
        entry[QStringLiteral("templates")] = planJson(run, installer, tooNew);
        if (run.parser.isSet(_dryRun))
            return Outcome::Done;
        if (selected.empty()) {
            // Every template was left out: nothing to install, nothing failed.
            entry[QStringLiteral("newlyInstalled")] = 0;
            run.context.info(run.parser.isSet(_only)
                                 ? QStringLiteral("%1: nothing installed, no template of it was asked for").arg(installer.title())
                                 : QStringLiteral("%1: nothing installed, every template is too new").arg(installer.title()));
            return Outcome::Done;
        }

        // A signal cancels through the progress listener; the core then
        // undoes the install, so the folder is as it was.
        const std::optional<Error> error = install(run, installer, selected);
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
        const bool allDone = reportOutcome(run, installer, archive, entry);
        // An archive in which nothing was found is kept: it may be one this
        // tool does not understand, not one that is done with.
        // With --only the archive still holds templates not installed: it stays.
        if (run.parser.isSet(_deleteArchive) && !run.parser.isSet(_only) && !installer.effects().empty() && allDone)
            installer.setMustDeleteTemplatesArchive(true);
        return allDone ? Outcome::Done : Outcome::Failed;
    }

private:
    // Whether --only, when given, names the template's folder below the
    // templates folder (as the project check knows it: the kind folder,
    // the category folder, the template's own).
    bool asked(const Run &run, const EffectTemplateItem &item) const
    {
        if (!run.parser.isSet(_only))
            return true;
        QString folder = item.relativeDestinationPath();
        if (folder.startsWith(QLatin1Char('/')))
            folder.remove(0, 1);
        const QString wanted = FileNames::comparable(folder);
        const QStringList only = run.parser.values(_only);
        return std::any_of(only.begin(), only.end(),
                           [&](const QString &one) { return FileNames::comparable(QDir::cleanPath(one)) == wanted; });
    }

    // The templates too new for the Final Cut Pro judged against, each told
    // on stderr (with whether it is left out). Their documents are read
    // from the archive; one that cannot be read is not held against its
    // template.
    QSet<const EffectTemplateItem *> judgeTooNew(Run &run, TemplateInstallerV2 &installer, const QString &archive)
    {
        _skipping = run.parser.isSet(_skipTooNew);
        QSet<const EffectTemplateItem *> tooNew;
        if (!run.finalCut)
            return tooNew;
        const Expected<std::unique_ptr<ArchiveDocuments>> documents =
            ArchiveDocuments::open(installer.archiveURL().toLocalFile());
        if (!documents)
            return tooNew;
        for (const EffectTemplateItem *item : installer.effects()) {
            const Expected<TemplateDocument> document =
                (*documents)->read(item->relativeSourcePath(), TemplateDocument::Parts::Summary);
            if (!document || !FinalCutVersions::isTooNew(document->finalCut, *run.finalCut))
                continue;
            tooNew.insert(item);
            // The folder's name ("LT_Name"): what the user finds in the templates folder.
            const QString name = item->relativeDestinationPath().section(QLatin1Char('/'), -1);
            run.context.error(QStringLiteral("%1: %2 needs %3; this Mac has %4%5")
                                  .arg(archive, name, TemplateMarks::requirementText(document->finalCut),
                                       run.finalCut->toString(),
                                       _skipping ? QStringLiteral("; left out (--skip-too-new)") : QString()));
        }
        return tooNew;
    }

    // What the install will do to each template, as JSON; printed too for
    // a dry run.
    QJsonArray planJson(Run &run, TemplateInstallerV2 &installer, const QSet<const EffectTemplateItem *> &tooNew) const
    {
        const std::vector<TemplateOwnership::Copy> plan = installer.ownership(installer.effects());
        QJsonArray templates;
        for (size_t i = 0; i < plan.size(); ++i) {
            const EffectTemplateItem *item = installer.effects()[i];
            QJsonObject object = templateJson(++run.number, *item);
            // An identical copy of another archive's is left to it.
            const bool leftOut = _skipping && tooNew.contains(item);
            const QString what = !asked(run, *item) ? QStringLiteral("skip-not-asked")
                : leftOut ? QStringLiteral("skip-too-new")
                : plan[i].identical && plan[i].state == TemplateOwnership::State::Foreign
                ? QStringLiteral("skip")
                : action(plan[i].state, installer.ownershipPolicy());
            object[QStringLiteral("tooNew")] = tooNew.contains(item);
            object[QStringLiteral("replaced")] = what == QLatin1String("replace");
            object[QStringLiteral("state")] = TemplateOwnership::stateName(plan[i].state);
            object[QStringLiteral("action")] = what;
            object[QStringLiteral("owner")] = CliJson::nullable(plan[i].owner);
            object[QStringLiteral("onlyInstalled")] = QJsonArray::fromStringList(plan[i].onlyInstalled);
            templates.append(object);
            if (run.parser.isSet(_dryRun) && !run.json)
                printPlanLine(run, *item, plan[i], what);
        }
        return templates;
    }

    // The receipt names this tool and version, so a later look tells which
    // installs came from scripts.
    [[nodiscard]] std::optional<Error> install(Run &run, TemplateInstallerV2 &installer, const EffectTemplateItemList &selected)
    {
        CliProgress progress(run.context.err, QStringLiteral("Installing %1").arg(installer.title()),
                             run.context.drawsProgress());
        installer.setProgressListener(&progress);
        installer.setInstalledBy(QStringLiteral("mtzip " MTI_VERSION_STRING));
        // The unpack folder goes with the installer right after: move,
        // rather than copy, what it holds.
        std::optional<Error> error = installer.installEffects(selected, InstallTransfer::MoveSource);
        // Listed only, as nothing needed copying, and something changed before
        // the folder's lock was had: unpack after all.
        if (error && installer.isListed() && error->code() == EINVAL && ArchiveCommand::readArchive(run, installer)) {
            installer.setProgressListener(&progress);
            error = installer.installEffects(selected, InstallTransfer::MoveSource);
        }
        progress.finish();
        installer.setProgressListener(nullptr);
        return error;
    }

    // The counts and the kept copies; false when some were kept, which are
    // the user's to decide on: the install did not do all it was asked.
    static bool reportOutcome(Run &run, const TemplateInstallerV2 &installer, const QString &archive, QJsonObject &entry)
    {
        const TemplateTransaction::InstallReport &report = installer.lastInstallReport();
        const Kept kept{report.keptEdited, report.keptForeign, report.keptOwners};
        entry[QStringLiteral("newlyInstalled")] = report.newlyInstalled;
        entry[QStringLiteral("replaced")] = report.replaced;
        entry[QStringLiteral("identical")] = report.identical;
        entry[QStringLiteral("kept")] = keptJson(kept);
        if (!run.json) {
            QString line = installer.title() + QStringLiteral(": ") + QString::number(report.newlyInstalled)
                + QStringLiteral(" of ") + cliPlural(qsizetype(installer.effects().size()), "template", "templates")
                + QStringLiteral(" newly installed into ") + run.root;
            if (report.identical > 0)
                line += QStringLiteral(", %1 already installed").arg(report.identical);
            run.context.info(line);
        }
        const bool allDone =
            reportKept(run.context, archive, kept, "--replace-edited replaces it, the old copy going to the Trash");
        // Said once per archive, not per copy: the remedy is the same for all.
        if (!report.keptForeign.isEmpty())
            run.context.error(QStringLiteral("%1: --replace-foreign replaces others' copies, which go to the Trash")
                                  .arg(archive));
        return allDone;
    }

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

    // For download folders: the archive goes once everything it holds is in place.
    QCommandLineOption _deleteArchive{QStringLiteral("delete-archive"),
                                      QStringLiteral("Delete each archive after its successful install.")};
    QCommandLineOption _replaceEdited{QStringLiteral("replace-edited"),
                                      QStringLiteral("Replace installed templates you changed (the old copies go to the Trash).")};
    QCommandLineOption _replaceForeign{QStringLiteral("replace-foreign"),
                                       QStringLiteral("Replace templates another archive installed or that were copied in by hand (the old copies go to the Trash).")};
    // Changes nothing, not even a killed run's leftovers: a plan must not
    // itself alter the state it describes.
    QCommandLineOption _dryRun{{QStringLiteral("n"), QStringLiteral("dry-run")},
                               QStringLiteral("Print what would be done to each template; change nothing.")};
    QCommandLineOption _skipTooNew{QStringLiteral("skip-too-new"),
                                   QStringLiteral("Leave out the templates too new for the Final Cut Pro judged "
                                                  "against; install the rest.")};
    QCommandLineOption _only{QStringLiteral("only"),
                             QStringLiteral("Install only the template at FOLDER below the templates folder (such as "
                                            "Titles.localized/Category/Name); may be given more than once."),
                             QStringLiteral("FOLDER")};
    bool _skipping = false;
};

} // namespace

std::unique_ptr<CliCommand> makeInstallCommand()
{
    return std::make_unique<InstallCommand>();
}
