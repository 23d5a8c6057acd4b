// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
// hide and show: installed templates hidden from Final Cut Pro's browser
// (old projects still render them), or shown again.
#include "Cli/Cli.h"
#include "Cli/CliJson.h"
#include "Cli/CliLibraryCommand.h"
#include "Cli/CliLockWait.h"
#include "Cli/CliProgress.h"
#include "Installer/TemplateLibrary.h"
#include "Metadata/TemplateHiding.h"

#include <QCommandLineParser>
#include <QJsonArray>
#include <QJsonObject>
#include <QTextStream>

namespace {

using TemplateHiding::Result;

QString resultName(Result result, bool hide)
{
    switch (result) {
    case Result::Done:
        return hide ? QStringLiteral("hidden") : QStringLiteral("shown");
    case Result::AlreadySo:
        return hide ? QStringLiteral("already-hidden") : QStringLiteral("already-shown");
    case Result::NoDocument:
        return QStringLiteral("no-document");
    case Result::Refused:
        return QStringLiteral("refused");
    case Result::Cancelled:
        return QStringLiteral("cancelled");
    case Result::Failed:
        break;
    }
    return QStringLiteral("failed");
}

// Both commands in one class: they differ by the bit they set.
class HidingCommand : public LibraryCommand
{
public:
    explicit HidingCommand(bool hide) : _hide(hide) {}

    QString name() const override { return _hide ? QStringLiteral("hide") : QStringLiteral("show"); }
    QString synopsis() const override { return QStringLiteral("PATH_OR_ARCHIVE_TITLE..."); }
    QString summary() const override
    {
        return _hide ? QStringLiteral("hide installed templates from Final Cut Pro's browser")
                     : QStringLiteral("show hidden templates in Final Cut Pro's browser again");
    }
    QString description() const override
    {
        return _hide ? QStringLiteral("Hides installed templates, named by their path in the templates folder (as "
                                      "'installed' lists it) or by the archive's title, from Final Cut Pro's browser "
                                      "by the obsolete flag of their documents: projects that use them still render "
                                      "them. Nothing else in the document changes; 'show' gives back its bytes. "
                                      "Nothing is changed when a name matches nothing.")
                     : QStringLiteral("Shows templates hidden with 'hide' in Final Cut Pro's browser again, giving "
                                      "back their documents' bytes as they were. Nothing is changed when a name "
                                      "matches nothing.");
    }
    std::optional<int> positionalCount() const override { return std::nullopt; }

protected:
    void addOwnOptions(QCommandLineParser &parser) override
    {
        parser.addPositionalArgument(QStringLiteral("PATH_OR_ARCHIVE_TITLE..."),
                                     QStringLiteral("Template paths relative to the templates folder, or archive titles."));
        _lockWait.addOption(parser);
    }

    int runIn(CliContext &context, const QCommandLineParser &parser, const QString &root, bool json) override
    {
        std::optional<std::chrono::milliseconds> lockWait;
        if (!_lockWait.read(context, parser, &lockWait))
            return Cli::UsageError;
        QStringList unknown;
        const QStringList destinations = TemplateLibrary::resolve(root, parser.positionalArguments(), &unknown);
        if (!unknown.isEmpty()) {
            tellUnknown(context, root, unknown, QStringLiteral("nothing was changed"));
            if (json) {
                QJsonObject document = CliJson::document(name(), root);
                document.insert(QStringLiteral("unknown"), QJsonArray::fromStringList(unknown));
                document.insert(QStringLiteral("templates"), QJsonArray());
                print(context, document);
            }
            return Cli::Failure;
        }

        CliProgress progress(context.err, _hide ? QStringLiteral("Hiding") : QStringLiteral("Showing"),
                             context.drawsProgress());
        const std::vector<TemplateHiding::Outcome> outcomes =
            TemplateHiding::setHidden(root, destinations, _hide, &progress, lockWait);
        progress.finish();

        bool allDone = true;
        QJsonArray templates;
        for (const TemplateHiding::Outcome &outcome : outcomes) {
            const bool done = outcome.result == Result::Done || outcome.result == Result::AlreadySo;
            allDone = allDone && done;
            const QString reason = outcome.error ? outcome.error->localizedDescription() : QString();
            templates.append(QJsonObject{{QStringLiteral("destination"), outcome.destination},
                                         {QStringLiteral("result"), resultName(outcome.result, _hide)},
                                         {QStringLiteral("error"), done ? QJsonValue(QJsonValue::Null) : QJsonValue(reason)}});
            if (!done)
                context.error(QStringLiteral("cannot %1 %2: %3").arg(name(), outcome.destination, reason));
            else if (!json)
                context.info(resultName(outcome.result, _hide) + QStringLiteral("  ") + outcome.destination);
        }
        if (json) {
            QJsonObject document = CliJson::document(name(), root);
            document.insert(QStringLiteral("unknown"), QJsonArray());
            document.insert(QStringLiteral("templates"), templates);
            print(context, document);
        }
        context.out.flush();
        return allDone ? Cli::Success : Cli::Failure;
    }

private:
    bool _hide;
    CliLockWait _lockWait;
};

} // namespace

std::unique_ptr<CliCommand> makeHideCommand()
{
    return std::make_unique<HidingCommand>(true);
}

std::unique_ptr<CliCommand> makeShowCommand()
{
    return std::make_unique<HidingCommand>(false);
}
