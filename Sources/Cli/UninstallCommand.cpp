// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
// uninstall: the installed templates of archives.
#include "Cli/ArchiveCommand.h"
#include "Cli/Cli.h"
#include "Cli/CliJson.h"
#include "Cli/CliLibraryCommand.h"
#include "Cli/CliProgress.h"
#include "Cli/CliSignals.h"
#include "Installer/TemplateInstallerV2.h"

#include <QCommandLineParser>
#include <QJsonArray>
#include <QJsonObject>
#include <QTextStream>

namespace {

// Removes what the archive installed, judged from its receipt and its
// directory; the archive is only listed, never unpacked. Copies the user
// changed are kept unless --remove-edited, and then go to the Trash.
class UninstallCommand : public ArchiveCommand
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
        // Others' copies are never an uninstall's to take; edited ones only when asked.
        installer.setOwnershipPolicy({false, false, run.parser.isSet(_removeEdited)});
        entry[QStringLiteral("templates")] = planJson(run, installer);
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
        // The counts go into the entry even after a failure: some templates
        // may have gone before it.
        Outcome outcome = Outcome::Done;
        if (error) {
            outcome = Outcome::Failed;
            entry[QStringLiteral("error")] = error->localizedDescription();
            run.context.error(QStringLiteral("%1: uninstall failed: %2").arg(archive, error->localizedDescription()));
        } else if (!run.json) {
            run.context.info(QStringLiteral("%1: %2%3%4")
                                 .arg(installer.title(), cliPlural(report.removed, "template", "templates"),
                                      QLatin1String(report.trashed ? " moved to the Trash from " : " removed from "),
                                      run.root));
        }
        return reportLeftBehind(run, report, archive, entry) ? outcome : Outcome::Failed;
    }

private:
    // What the uninstall will do to each template, as JSON; printed too
    // for a dry run.
    QJsonArray planJson(Run &run, TemplateInstallerV2 &installer) const
    {
        using TemplateOwnership::State;
        const std::vector<TemplateOwnership::Copy> plan = installer.ownership(installer.effects());
        // Without a receipt of the archive (installed before receipts),
        // hand copies count as its own.
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
            object[QStringLiteral("owner")] = CliJson::nullable(plan[i].owner);
            templates.append(object);
            if (run.parser.isSet(_dryRun) && !run.json && state != State::NotInstalled)
                run.context.out << what.leftJustified(7) << "  " << TemplateOwnership::stateName(state).leftJustified(9)
                                << "  " << item->relativeDestinationPath() << '\n';
        }
        return templates;
    }

    // The kept copies and the templates that could not be removed; false
    // when there were edited ones kept or failures. Others' copies are not
    // this archive's to remove: told, not failed.
    static bool reportLeftBehind(Run &run, const TemplateTransaction::RemovalReport &report, const QString &archive,
                                 QJsonObject &entry)
    {
        const Kept kept{report.keptEdited, report.keptForeign, report.keptOwners};
        entry[QStringLiteral("kept")] = keptJson(kept);
        reportKept(run.context, archive, {kept.edited, {}, kept.owners},
                                   "--remove-edited removes it to the Trash");
        for (qsizetype i = 0; i < report.keptForeign.size(); ++i)
            run.context.info(QStringLiteral("%1: kept %2: %3")
                                 .arg(archive, report.keptForeign.at(i),
                                      ownerText(report.keptOwners.value(report.keptEdited.size() + i))));
        if (report.failed > 0) {
            const QString why = report.firstError ? report.firstError->localizedDescription() : QString();
            if (entry.value(QStringLiteral("error")).isNull() && !why.isEmpty())
                entry[QStringLiteral("error")] = why;
            run.context.error(QStringLiteral("%1: %2 could not be removed%3")
                                  .arg(archive, cliPlural(report.failed, "template", "templates"),
                                       why.isEmpty() ? QString() : QStringLiteral(": ") + why));
        }
        return report.keptEdited.isEmpty() && report.failed == 0;
    }

    QCommandLineOption _removeEdited{QStringLiteral("remove-edited"),
                                     QStringLiteral("Also remove templates you changed (to the Trash).")};
    // As install's: the plan only, the folder untouched.
    QCommandLineOption _dryRun{{QStringLiteral("n"), QStringLiteral("dry-run")},
                               QStringLiteral("Print what would be done to each template; change nothing.")};
};

} // namespace

std::unique_ptr<CliCommand> makeUninstallCommand()
{
    return std::make_unique<UninstallCommand>();
}
