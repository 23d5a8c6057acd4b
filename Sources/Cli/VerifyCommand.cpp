// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
// verify: installed templates against the receipts their installs left.
#include "Cli/Cli.h"
#include "Cli/CliJson.h"
#include "Cli/CliLibraryCommand.h"
#include "Cli/CliProgress.h"
#include "Cli/CliSignals.h"
#include "Installer/Receipt.h"
#include "Installer/TemplateLibrary.h"

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

// Reads only files whose size matches the receipt: a size that differs
// already says "changed", and reading it would only cost time.
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
                              "title, folder name, destination or archive title, when any are. A template hidden "
                              "with 'hide' is reported as hidden, not changed. Exits with 1 when a "
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
        // Partial results would read as a clean bill of health for the rest.
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
        // Looked for apart from verify(), which skips such receipts.
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
            printJson(context, root, {results, intact, unmatched, unreadable});
        else
            printText(context, results);
        return intact ? Cli::Success : Cli::Failure;
    }

private:
    // What one run found, for the JSON document.
    struct Findings
    {
        const std::vector<TemplateLibrary::Verification> &results;
        bool intact;
        const QStringList &unmatched;
        const QStringList &unreadable;
    };

    void printJson(CliContext &context, const QString &root, const Findings &found) const
    {
        QJsonArray templates;
        for (const TemplateLibrary::Verification &result : found.results) {
            templates.append(QJsonObject{{QStringLiteral("destination"), result.destination},
                                         {QStringLiteral("title"), result.title},
                                         {QStringLiteral("hasReceipt"), result.hasReceipt},
                                         {QStringLiteral("intact"), result.isIntact()},
                                         {QStringLiteral("hidden"), result.hidden},
                                         {QStringLiteral("missing"), jsonArray(result.missing)},
                                         {QStringLiteral("changed"), jsonArray(result.changed)},
                                         {QStringLiteral("added"), jsonArray(result.added)}});
        }
        QJsonObject document = CliJson::document(name(), root);
        document.insert(QStringLiteral("templates"), templates);
        // As the exit status says: a name that matched nothing was not verified.
        document.insert(QStringLiteral("intact"), found.intact);
        document.insert(QStringLiteral("unreadableReceipts"), jsonArray(found.unreadable));
        document.insert(QStringLiteral("unmatched"), jsonArray(found.unmatched));
        print(context, document);
    }

    // Intact templates print nothing: on a large folder the damaged ones
    // would be lost among them.
    static void printText(CliContext &context, const std::vector<TemplateLibrary::Verification> &results)
    {
        qsizetype damaged = 0, withoutReceipt = 0, missing = 0, changed = 0, added = 0, hidden = 0;
        for (const TemplateLibrary::Verification &result : results) {
            // Hidden on purpose ('hide'): told, never counted as a change.
            if (result.hidden) {
                ++hidden;
                context.out << result.destination << ": hidden\n";
            }
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
                                    "%5 missing, %6 changed, %7 added%8")
                         .arg(cliPlural(qsizetype(results.size()), "template", "templates"))
                         .arg(qsizetype(results.size()) - damaged - withoutReceipt)
                         .arg(damaged)
                         .arg(withoutReceipt)
                         .arg(cliPlural(missing, "file", "files"), cliPlural(changed, "file", "files"),
                              cliPlural(added, "file", "files"),
                              hidden > 0 ? QStringLiteral("; %1 hidden").arg(hidden) : QString()));
    }
};

} // namespace

std::unique_ptr<CliCommand> makeVerifyCommand()
{
    return std::make_unique<VerifyCommand>();
}
