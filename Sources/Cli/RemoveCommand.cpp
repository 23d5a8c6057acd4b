// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
// remove: installed templates by path or archive title, without their archive.
#include "Cli/Cli.h"
#include "Cli/CliJson.h"
#include "Cli/CliLibraryCommand.h"
#include "Cli/CliLockWait.h"
#include "Cli/CliProgress.h"
#include "Cli/CliSignals.h"
#include "Installer/TemplateLibrary.h"
#include "Installer/TemplateOwnership.h"
#include "Cli/CliTrashOwner.h"

#include <QCommandLineParser>
#include <QJsonArray>
#include <QJsonObject>
#include <QTextStream>

#include <csignal>


namespace {

QJsonArray jsonArray(const QStringList &list)
{
    return QJsonArray::fromStringList(list);
}

// For templates whose archive is gone: the same removal as uninstall
// (the folder's lock, recovery, receipts trimmed), chosen by path or by
// archive title instead of by an archive's contents.
class RemoveCommand : public LibraryCommand
{
public:
    QString name() const override { return QStringLiteral("remove"); }
    QString synopsis() const override { return QStringLiteral("PATH_OR_ARCHIVE_TITLE..."); }
    QString summary() const override { return QStringLiteral("remove installed templates, without their archive"); }
    QString description() const override
    {
        return QStringLiteral("Removes installed templates by their path in the templates folder (as 'installed' "
                              "lists it), or every template a receipt names by the archive's title, and the folders "
                              "left empty. Nothing is removed when a name matches nothing.");
    }
    std::optional<int> positionalCount() const override { return std::nullopt; }

protected:
    void addOwnOptions(QCommandLineParser &parser) override
    {
        parser.addPositionalArgument(QStringLiteral("PATH_OR_ARCHIVE_TITLE..."),
                                     QStringLiteral("Template paths relative to the templates folder, or archive titles."));
        parser.addOption(_trash);
        parser.addOption(_removeEdited);
        parser.addOption(_dryRun);
        parser.addOption(_trashOwner);
        _lockWait.addOption(parser);
    }

    // Copies changed since their install are removed only when asked for,
    // and then to the Trash; the rest as the user said. False when some
    // were kept. Prints the plan for a dry run.
    // (Judged with no archive at hand: each copy against its own receipt.)
    bool sortOutEdited(CliContext &context, const QCommandLineParser &parser, const QString &root,
                       QStringList &destinations, QStringList &edited) const
    {
        using TemplateOwnership::State;
        const std::vector<TemplateOwnership::Copy> copies =
            TemplateOwnership::assess(root, QString(), destinations, {});
        QStringList kept;
        for (qsizetype i = 0; i < destinations.size(); ++i) {
            const bool isEdited = copies[size_t(i)].state == State::Edited && !copies[size_t(i)].onlyRemovals;
            if (parser.isSet(_dryRun)) {
                const QString what = isEdited && !parser.isSet(_removeEdited) ? QStringLiteral("keep")
                                                                              : QStringLiteral("remove");
                context.out << what.leftJustified(7) << "  "
                            << TemplateOwnership::stateName(copies[size_t(i)].state).leftJustified(9) << "  "
                            << destinations.at(i) << '\n';
            }
            if (isEdited)
                (parser.isSet(_removeEdited) ? edited : kept).append(destinations.at(i));
        }
        for (const QString &destination : std::as_const(kept)) {
            context.error(QStringLiteral("kept %1: you changed it (--remove-edited removes it to the Trash)")
                              .arg(destination));
            destinations.removeAll(destination);
        }
        for (const QString &destination : std::as_const(edited))
            destinations.removeAll(destination);
        return kept.isEmpty();
    }

    int runIn(CliContext &context, const QCommandLineParser &parser, const QString &root, bool json) override
    {
        std::optional<std::chrono::milliseconds> lockWait;
        if (!_lockWait.read(context, parser, &lockWait) || !CliTrashOwner::choose(context, parser.value(_trashOwner)))
            return Cli::UsageError;
        QStringList unknown;
        const QStringList destinations = TemplateLibrary::resolve(root, parser.positionalArguments(), &unknown);
        // A typo must not remove the rest and leave the user guessing which went.
        if (!unknown.isEmpty())
            return refuseUnknown(context, root, unknown, json);

        QStringList own = destinations;
        QStringList edited;
        const bool noneKept = sortOutEdited(context, parser, root, own, edited);
        if (parser.isSet(_dryRun))
            return noneKept ? Cli::Success : Cli::Failure;
        const TemplateTransaction::Disposal disposal =
            parser.isSet(_trash) ? TemplateTransaction::Disposal::Trash : TemplateTransaction::Disposal::Delete;
        // One progress line for both removals: the user asked for one.
        CliProgress progress(context.err, QStringLiteral("Removing"), context.drawsProgress());
        TemplateTransaction::RemovalReport report;
        const std::optional<Error> error = removeAll(
            {.root = root, .destinations = own, .disposal = disposal, .listener = &progress, .report = &report,
             .lockWait = lockWait},
            edited);
        progress.finish();

        QString problem;
        const bool failed = reportFailure(context, error, report, problem);
        if (json) {
            QJsonObject document = CliJson::document(name(), root);
            document.insert(QStringLiteral("unknown"), QJsonArray());
            document.insert(QStringLiteral("templates"), jsonArray(destinations));
            insertCounts(document, report);
            document.insert(QStringLiteral("error"), problem.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(problem));
            print(context, document);
        } else if (!error) {
            context.info(QStringLiteral("%1%2%3")
                             .arg(cliPlural(report.removed, "template", "templates"),
                                  QLatin1String(report.trashed ? " moved to the Trash from " : " removed from "), root));
        }
        return noneKept && !failed ? Cli::Success : Cli::Failure;
    }

private:
    // A name that matches nothing stops the whole removal before it begins.
    int refuseUnknown(CliContext &context, const QString &root, const QStringList &unknown, bool json) const
    {
        tellUnknown(context, root, unknown, QStringLiteral("nothing was removed"));
        if (json) {
            QJsonObject document = CliJson::document(name(), root);
            document.insert(QStringLiteral("unknown"), jsonArray(unknown));
            document.insert(QStringLiteral("templates"), QJsonArray());
            insertCounts(document, {});
            document.insert(QStringLiteral("error"), QStringLiteral("unknown names"));
            print(context, document);
        }
        return Cli::Failure;
    }

    // The request's destinations, then the edited ones to the Trash (as
    // sortOutEdited allowed), counted in one report.
    [[nodiscard]] static std::optional<Error> removeAll(const TemplateLibrary::RemovalRequest &request, const QStringList &edited)
    {
        std::optional<Error> error;
        if (!request.destinations.isEmpty())
            error = TemplateLibrary::remove(request);
        if (error || edited.isEmpty())
            return error;
        // A second transaction: the edited ones go to the Trash even when
        // the rest are deleted.
        TemplateTransaction::RemovalReport more;
        TemplateLibrary::RemovalRequest trashing = request;
        trashing.destinations = edited;
        trashing.disposal = TemplateTransaction::Disposal::Trash;
        trashing.report = &more;
        error = TemplateLibrary::remove(trashing);
        TemplateTransaction::RemovalReport &report = *request.report;
        report.removed += more.removed;
        report.failed += more.failed;
        report.trashed = report.trashed || more.trashed;
        if (!report.firstError)
            report.firstError = more.firstError;
        return error;
    }

    // Tells of a signal, a failure or templates that could not be removed;
    // `problem` gets the words for the JSON document. True when any.
    static bool reportFailure(CliContext &context, const std::optional<Error> &error,
                              const TemplateTransaction::RemovalReport &report, QString &problem)
    {
        if (error && error->isCancellation() && CliSignals::received()) {
            problem = QStringLiteral("cancelled");
            context.error(QStringLiteral("%1 by %2; the templates were left in place")
                              .arg(QLatin1String(CliSignals::received() == SIGINT ? "interrupted" : "terminated"),
                                   QLatin1String(CliSignals::name(CliSignals::received()))));
            context.signalReported = true;
            return true;
        }
        if (error) {
            problem = error->localizedDescription();
            context.error(QStringLiteral("removal failed: %1").arg(problem));
            return true;
        }
        if (report.failed == 0)
            return false;
        problem = report.firstError ? report.firstError->localizedDescription() : QString();
        context.error(QStringLiteral("%1 could not be removed%2")
                          .arg(cliPlural(report.failed, "template", "templates"),
                               problem.isEmpty() ? QString() : QStringLiteral(": ") + problem));
        return true;
    }

    static void insertCounts(QJsonObject &document, const TemplateTransaction::RemovalReport &report)
    {
        document.insert(QStringLiteral("removed"), report.removed);
        document.insert(QStringLiteral("failed"), report.failed);
        document.insert(QStringLiteral("trashed"), report.trashed);
    }

    QCommandLineOption _trash{QStringLiteral("trash"),
                              QStringLiteral("Move the templates to the Trash instead of deleting them.")};
    QCommandLineOption _removeEdited{QStringLiteral("remove-edited"),
                                     QStringLiteral("Also remove templates you changed since their install (to the Trash).")};
    QCommandLineOption _dryRun{{QStringLiteral("n"), QStringLiteral("dry-run")},
                               QStringLiteral("Print what would be removed; change nothing.")};
    QCommandLineOption _trashOwner{QStringLiteral("trash-owner"),
                                   QStringLiteral("Run as root for user UID: move to that user's Trash and give them "
                                                  "what goes there (default: PKEXEC_UID, when set)."),
                                   QStringLiteral("UID")};
    // Another install into the folder holds its lock while it works.
    CliLockWait _lockWait;
};

} // namespace

std::unique_ptr<CliCommand> makeRemoveCommand()
{
    return std::make_unique<RemoveCommand>();
}
