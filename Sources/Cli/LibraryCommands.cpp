// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
// The commands that check and remove what a templates folder holds,
// whoever installed it: verify, remove. They need no archive.
#include "Cli/Cli.h"
#include "Cli/CliLibraryCommand.h"
#include "Cli/CliJson.h"
#include "Cli/CliLockWait.h"
#include "Cli/CliProgress.h"
#include "Cli/CliSignals.h"
#include "Installer/Receipt.h"
#include "Installer/TemplateLibrary.h"
#include "Installer/TemplateOwnership.h"

#include <QCommandLineParser>
#include <QJsonArray>
#include <QJsonObject>
#include <QTextStream>

#include <algorithm>
#include <csignal>

namespace {

QJsonArray jsonArray(const QStringList &list)
{
    return QJsonArray::fromStringList(list);
}

class VerifyCommand : public LibraryCommand
{
public:
    QString name() const override { return QStringLiteral("verify"); }
    QString synopsis() const override { return QStringLiteral("[TITLE...]"); }
    QString summary() const override { return QStringLiteral("check installed templates against their receipts"); }
    QString description() const override
    {
        return QStringLiteral("Compares the installed files with the receipts their installs left: files missing, "
                              "changed (size or CRC-32) and added, per template. Only the templates named, by "
                              "title, folder name, destination or archive title, when any are. Exits with 1 when a "
                              "file is missing or changed.");
    }
    std::optional<int> positionalCount() const override { return std::nullopt; }
    bool positionalOptional() const override { return true; }

protected:
    void addOwnOptions(QCommandLineParser &parser) override
    {
        parser.addPositionalArgument(QStringLiteral("TITLE..."),
                                     QStringLiteral("Templates or archive titles to check; every template when none."));
    }

    int runIn(CliContext &context, const QCommandLineParser &parser, const QString &root, bool json) override
    {
        const QStringList names = parser.positionalArguments();
        CliProgress progress(context.err, QStringLiteral("Verifying"), context.drawsProgress());
        QStringList unmatched;
        const std::vector<TemplateLibrary::Verification> results =
            TemplateLibrary::verify(root, names, &progress, &unmatched);
        progress.finish();
        if (CliSignals::received()) {
            context.error(QStringLiteral("%1 by %2; %3 checked")
                              .arg(QLatin1String(CliSignals::received() == SIGINT ? "interrupted" : "terminated"),
                                   QLatin1String(CliSignals::name(CliSignals::received())),
                                   cliPlural(qsizetype(results.size()), "template", "templates")));
            context.signalReported = true;
            return Cli::Failure;
        }

        for (const QString &name : std::as_const(unmatched))
            context.error(QStringLiteral("no installed template or receipt matches \"%1\"").arg(name));
        // A receipt that cannot be read hides what its templates should hold.
        QStringList unreadable;
        for (const QString &path : Receipt::paths(root)) {
            if (!Receipt::read(path)) {
                unreadable.append(path);
                context.error(QStringLiteral("the receipt %1 cannot be read; its templates were not verified").arg(path));
            }
        }
        const bool damaged = std::any_of(results.cbegin(), results.cend(),
                                         [](const TemplateLibrary::Verification &result) { return !result.isIntact(); });
        const bool intact = !damaged && unmatched.isEmpty() && unreadable.isEmpty();
        if (json)
            printJson(context, root, results, intact, unmatched, unreadable);
        else
            printText(context, results);
        return intact ? Cli::Success : Cli::Failure;
    }

private:
    void printJson(CliContext &context, const QString &root, const std::vector<TemplateLibrary::Verification> &results,
                   bool intact, const QStringList &unmatched, const QStringList &unreadable) const
    {
        QJsonArray templates;
        for (const TemplateLibrary::Verification &result : results) {
            templates.append(QJsonObject{{QStringLiteral("destination"), result.destination},
                                         {QStringLiteral("title"), result.title},
                                         {QStringLiteral("hasReceipt"), result.hasReceipt},
                                         {QStringLiteral("intact"), result.isIntact()},
                                         {QStringLiteral("missing"), jsonArray(result.missing)},
                                         {QStringLiteral("changed"), jsonArray(result.changed)},
                                         {QStringLiteral("added"), jsonArray(result.added)}});
        }
        QJsonObject document = CliJson::document(name(), root);
        document.insert(QStringLiteral("templates"), templates);
        // As the exit status says: a name that matched nothing was not verified.
        document.insert(QStringLiteral("intact"), intact);
        document.insert(QStringLiteral("unreadableReceipts"), jsonArray(unreadable));
        document.insert(QStringLiteral("unmatched"), jsonArray(unmatched));
        print(context, document);
    }

    static void printText(CliContext &context, const std::vector<TemplateLibrary::Verification> &results)
    {
        qsizetype damaged = 0, withoutReceipt = 0, missing = 0, changed = 0, added = 0;
        for (const TemplateLibrary::Verification &result : results) {
            damaged += result.isIntact() ? 0 : 1;
            withoutReceipt += result.hasReceipt ? 0 : 1;
            missing += result.missing.size();
            changed += result.changed.size();
            added += result.added.size();
            if (result.missing.isEmpty() && result.changed.isEmpty() && result.added.isEmpty())
                continue;
            context.out << result.destination << ": " << result.missing.size() << " missing, "
                        << result.changed.size() << " changed, " << result.added.size() << " added\n";
            for (const QString &path : result.missing)
                context.out << "  missing  " << path << '\n';
            for (const QString &path : result.changed)
                context.out << "  changed  " << path << '\n';
            for (const QString &path : result.added)
                context.out << "  added    " << path << '\n';
        }
        context.out.flush();
        // Templates and files are counted apart: "2 missing" of what was unclear.
        context.info(QStringLiteral("%1 checked: %2 intact, %3 with missing or changed files, %4 without a receipt; "
                                    "%5 missing, %6 changed, %7 added")
                         .arg(cliPlural(qsizetype(results.size()), "template", "templates"))
                         .arg(qsizetype(results.size()) - damaged - withoutReceipt)
                         .arg(damaged)
                         .arg(withoutReceipt)
                         .arg(cliPlural(missing, "file", "files"), cliPlural(changed, "file", "files"),
                              cliPlural(added, "file", "files")));
    }
};

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
        _lockWait.addOption(parser);
    }

    // Copies changed since their install are removed only when asked for,
    // and then to the Trash; the rest as the user said. False when some
    // were kept. Prints the plan for a dry run.
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
        if (!_lockWait.read(context, parser, &lockWait))
            return Cli::UsageError;
        QStringList unknown;
        const QStringList destinations = TemplateLibrary::resolve(root, parser.positionalArguments(), &unknown);
        if (!unknown.isEmpty()) {
            for (const QString &name : std::as_const(unknown))
                context.error(QStringLiteral("\"%1\": no installed template and no receipt of that name in %2")
                                  .arg(name, root));
            context.error(QStringLiteral("nothing was removed"));
            if (json) {
                QJsonObject document = CliJson::document(name(), root);
                document.insert(QStringLiteral("unknown"), jsonArray(unknown));
                document.insert(QStringLiteral("templates"), QJsonArray());
                document.insert(QStringLiteral("removed"), 0);
                document.insert(QStringLiteral("failed"), 0);
                document.insert(QStringLiteral("trashed"), false);
                document.insert(QStringLiteral("error"), QStringLiteral("unknown names"));
                print(context, document);
            }
            return Cli::Failure;
        }

        QStringList own = destinations;
        QStringList edited;
        const bool noneKept = sortOutEdited(context, parser, root, own, edited);
        if (parser.isSet(_dryRun))
            return noneKept ? Cli::Success : Cli::Failure;
        const TemplateTransaction::Disposal disposal =
            parser.isSet(_trash) ? TemplateTransaction::Disposal::Trash : TemplateTransaction::Disposal::Delete;
        CliProgress progress(context.err, QStringLiteral("Removing"), context.drawsProgress());
        TemplateTransaction::RemovalReport report;
        std::optional<Error> error;
        if (!own.isEmpty())
            error = TemplateLibrary::remove(root, own, disposal, &progress, &report, lockWait);
        if (!error && !edited.isEmpty()) {
            TemplateTransaction::RemovalReport more;
            error = TemplateLibrary::remove(root, edited, TemplateTransaction::Disposal::Trash, &progress, &more,
                                            lockWait);
            report.removed += more.removed;
            report.failed += more.failed;
            report.trashed = report.trashed || more.trashed;
            if (!report.firstError)
                report.firstError = more.firstError;
        }
        progress.finish();

        int exitCode = noneKept ? Cli::Success : Cli::Failure;
        QString problem;
        if (error && error->isCancellation() && CliSignals::received()) {
            problem = QStringLiteral("cancelled");
            context.error(QStringLiteral("%1 by %2; the templates were left in place")
                              .arg(QLatin1String(CliSignals::received() == SIGINT ? "interrupted" : "terminated"),
                                   QLatin1String(CliSignals::name(CliSignals::received()))));
            context.signalReported = true;
            exitCode = Cli::Failure;
        } else if (error) {
            problem = error->localizedDescription();
            context.error(QStringLiteral("removal failed: %1").arg(problem));
            exitCode = Cli::Failure;
        } else if (report.failed > 0) {
            problem = report.firstError ? report.firstError->localizedDescription() : QString();
            context.error(QStringLiteral("%1 could not be removed%2")
                              .arg(cliPlural(report.failed, "template", "templates"),
                                   problem.isEmpty() ? QString() : QStringLiteral(": ") + problem));
            exitCode = Cli::Failure;
        }

        if (json) {
            QJsonObject document = CliJson::document(name(), root);
            document.insert(QStringLiteral("unknown"), QJsonArray());
            document.insert(QStringLiteral("templates"), jsonArray(destinations));
            document.insert(QStringLiteral("removed"), report.removed);
            document.insert(QStringLiteral("failed"), report.failed);
            document.insert(QStringLiteral("trashed"), report.trashed);
            document.insert(QStringLiteral("error"), problem.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(problem));
            print(context, document);
        } else if (!error) {
            context.info(QStringLiteral("%1%2%3")
                             .arg(cliPlural(report.removed, "template", "templates"),
                                  QLatin1String(report.trashed ? " moved to the Trash from " : " removed from "), root));
        }
        return exitCode;
    }

private:
    QCommandLineOption _trash{QStringLiteral("trash"),
                              QStringLiteral("Move the templates to the Trash instead of deleting them.")};
    QCommandLineOption _removeEdited{QStringLiteral("remove-edited"),
                                     QStringLiteral("Also remove templates you changed since their install (to the Trash).")};
    QCommandLineOption _dryRun{{QStringLiteral("n"), QStringLiteral("dry-run")},
                               QStringLiteral("Print what would be removed; change nothing.")};
    CliLockWait _lockWait;
};

} // namespace

std::unique_ptr<CliCommand> makeVerifyCommand()
{
    return std::make_unique<VerifyCommand>();
}

std::unique_ptr<CliCommand> makeRemoveCommand()
{
    return std::make_unique<RemoveCommand>();
}
