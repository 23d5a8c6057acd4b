// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
// mtzip info: one installed archive, from its receipt, and the state of
// each of its templates.
#include "Cli/Cli.h"
#include "Cli/CliDocuments.h"
#include "Cli/CliJson.h"
#include "Cli/CliLibraryCommand.h"
#include "Cli/CliProgress.h"
#include "Cli/CliSignals.h"
#include "Common/FileNames.h"
#include "Installer/InstalledArchives.h"
#include "Installer/TemplateType.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QTextStream>

#include <algorithm>
#include <csignal>

namespace {

using InstalledArchives::ArchiveInfo;
using InstalledArchives::TemplateState;

// An archive file named on the command line, to hold against the receipt.
// Kept apart from the receipt's facts: the question is whether this file
// is the one that was installed.
struct GivenArchive
{
    QString path;    // absolute; null when none was given
    QString sha256;  // null when it could not be read
};

QString stateName(TemplateState::State state)
{
    switch (state) {
    case TemplateState::Unchanged:
        return QStringLiteral("unchanged");
    case TemplateState::Edited:
        return QStringLiteral("edited");
    case TemplateState::Missing:
        return QStringLiteral("missing");
    case TemplateState::Replaced:
        break;
    }
    return QStringLiteral("replaced");
}

QString stateText(const TemplateState &state)
{
    if (state.state == TemplateState::Replaced)
        return QStringLiteral("replaced by %1").arg(state.replacedBy);
    if (state.state != TemplateState::Edited)
        return stateName(state.state);
    QStringList counts;
    for (const auto &[list, word] : {std::pair{&state.changed, "changed"}, std::pair{&state.added, "added"},
                                     std::pair{&state.missing, "missing"}}) {
        if (!list->isEmpty())
            counts.append(QStringLiteral("%1 %2").arg(list->size()).arg(QLatin1String(word)));
    }
    return QStringLiteral("edited (%1)").arg(counts.join(QStringLiteral(", ")));
}

// "4 (1 unchanged, 1 edited, 1 missing, 1 replaced)"
QString templateCounts(const ArchiveInfo &info)
{
    QStringList counts;
    for (const TemplateState::State kind :
         {TemplateState::Unchanged, TemplateState::Edited, TemplateState::Missing, TemplateState::Replaced}) {
        const auto count = std::count_if(info.templates.cbegin(), info.templates.cend(),
                                         [kind](const TemplateState &state) { return state.state == kind; });
        if (count > 0)
            counts.append(QStringLiteral("%1 %2").arg(count).arg(stateName(kind)));
    }
    return QStringLiteral("%1 (%2)").arg(info.templates.size()).arg(counts.join(QStringLiteral(", ")));
}

// What the template's document says, read where it is installed.
struct Judged
{
    Expected<TemplateDocument> document;
    TemplateMarks::Judgement judgement;
};

Judged judge(const QString &root, const TemplateState &state, const std::optional<QVersionNumber> &finalCut)
{
    Expected<TemplateDocument> document = TemplateDocument::readFolder(root + QLatin1Char('/') + state.entry.destination);
    TemplateMarks::Judgement judgement = TemplateMarks::judge(document, finalCut);
    return {std::move(document), std::move(judgement)};
}

QJsonObject templateJson(const TemplateState &state, const Judged &judged)
{
    const Receipt::Template &entry = state.entry;
    QJsonObject object{{QStringLiteral("title"), entry.title},
                       {QStringLiteral("type"), qint64(entry.templateType)},
                       {QStringLiteral("kind"), TemplateType::kindName(entry.templateType)},
                       {QStringLiteral("category"), CliJson::nullable(entry.category)},
                       {QStringLiteral("destination"), entry.destination},
                       {QStringLiteral("state"), stateName(state.state)},
                       {QStringLiteral("replacedBy"), CliJson::nullable(state.replacedBy)},
                       {QStringLiteral("missing"), QJsonArray::fromStringList(state.missing)},
                       {QStringLiteral("changed"), QJsonArray::fromStringList(state.changed)},
                       {QStringLiteral("added"), QJsonArray::fromStringList(state.added)}};
    CliDocuments::addFields(object, judged.document, judged.judgement);
    return object;
}

QJsonValue givenJson(const GivenArchive &given, const Receipt &receipt)
{
    if (given.path.isNull())
        return QJsonValue::Null;
    return QJsonObject{{QStringLiteral("path"), given.path},
                       {QStringLiteral("sha256"), CliJson::nullable(given.sha256)},
                       {QStringLiteral("matches"), !given.sha256.isNull() && given.sha256 == receipt.archiveSha256}};
}

// Compares the templates with the receipt, so it reads every installed
// file of the archive: progress is drawn for large ones.
class InfoCommand : public LibraryCommand
{
public:
    QString name() const override { return QStringLiteral("info"); }
    QString synopsis() const override { return QStringLiteral("TITLE|ARCHIVE.mtzip"); }
    QString summary() const override { return QStringLiteral("show one installed archive and its templates' states"); }
    QString description() const override
    {
        return QStringLiteral("Shows what the receipt of one installed archive says (file name, path, SHA-256, when "
                              "and by what it was installed) and the state of each of its templates: unchanged, "
                              "edited (files changed, added or missing), missing, or replaced by another archive. "
                              "Given an archive file, also tells whether its SHA-256 is the receipt's. Each template's "
                              "document is read where it is installed: its marks (N, P, M, H, ?: as list shows "
                              "them), and with --json every field. Exits with 1 when no receipt has that archive.");
    }
    std::optional<int> positionalCount() const override { return 1; }

protected:
    void addOwnOptions(QCommandLineParser &parser) override
    {
        // The short name keeps the help's columns; the usage line has the long one.
        parser.addPositionalArgument(QStringLiteral("NAME"),
                                     QStringLiteral("An archive title or file name, or an archive file (.mtzip)."));
        _finalCut.addOption(parser);
    }

    int runIn(CliContext &context, const QCommandLineParser &parser, const QString &root, bool json) override
    {
        if (!_finalCut.read(context, parser, &_version))
            return Cli::UsageError;
        const QString argument = parser.positionalArguments().constFirst();
        GivenArchive given;
        std::optional<ArchiveInfo> info = lookUp(context, root, argument, given);
        if (CliSignals::received()) {
            context.error(QStringLiteral("%1 by %2")
                              .arg(QLatin1String(CliSignals::received() == SIGINT ? "interrupted" : "terminated"),
                                   QLatin1String(CliSignals::name(CliSignals::received()))));
            context.signalReported = true;
            return Cli::Failure;
        }
        if (!info)
            context.error(QStringLiteral("no receipt in %1 has an archive \"%2\"").arg(root, argument));
        if (json)
            printJson(context, root, argument, info, given);
        else if (info)
            printText(context, root, *info, given);
        // A given file that could not be read leaves the question asked unanswered.
        const bool readable = given.path.isNull() || !given.sha256.isNull();
        return info && readable ? Cli::Success : Cli::Failure;
    }

private:
    // An existing .mtzip file is read for its SHA-256 and looked up by its
    // file name, then by its title; anything else is a title or file name.
    static std::optional<ArchiveInfo> lookUp(CliContext &context, const QString &root, const QString &argument,
                                             GivenArchive &given)
    {
        const QFileInfo file(argument);
        const bool isArchive = argument.endsWith(QLatin1String(".mtzip"), Qt::CaseInsensitive) && file.isFile();
        CliProgress progress(context.err, QStringLiteral("Comparing"), context.drawsProgress());
        if (!isArchive)
            return InstalledArchives::info(root, argument, &progress);
        given.path = file.absoluteFilePath();
        QString problem;
        given.sha256 = InstalledArchives::sha256OfFile(given.path, &problem);
        if (given.sha256.isNull())
            context.error(QStringLiteral("cannot read \"%1\": %2").arg(argument, problem));
        // The file name first: two archives may share a title, never a receipt's file name.
        std::optional<ArchiveInfo> info = InstalledArchives::info(root, file.fileName(), &progress);
        if (!info)
            info = InstalledArchives::info(root, FileNames::withoutLastExtension(file.fileName()), &progress);
        return info;
    }

    void printJson(CliContext &context, const QString &root, const QString &argument,
                   const std::optional<ArchiveInfo> &info, const GivenArchive &given) const
    {
        QJsonObject document = CliJson::document(name(), root);
        document.insert(QStringLiteral("name"), argument);
        QJsonValue archive = QJsonValue::Null;
        if (info) {
            QJsonObject object = CliJson::archive(info->receipt);
            QJsonArray templates;
            for (const TemplateState &state : info->templates)
                templates.append(templateJson(state, judge(root, state, _version)));
            object.insert(QStringLiteral("templates"), templates);
            archive = object;
        }
        document.insert(QStringLiteral("archive"), archive);
        document.insert(QStringLiteral("givenArchive"), info ? givenJson(given, info->receipt) : QJsonValue::Null);
        print(context, document);
    }

    void printText(CliContext &context, const QString &root, const ArchiveInfo &info, const GivenArchive &given) const
    {
        const Receipt &receipt = info.receipt;
        const auto orDash = [](const QString &text) { return text.isEmpty() ? QStringLiteral("-") : text; };
        QList<QStringList> facts{
            {QStringLiteral("Archive:"), orDash(receipt.archiveFileName)},
            {QStringLiteral("Title:"), receipt.archiveTitle},
            {QStringLiteral("Path:"), orDash(receipt.archivePath)},
            {QStringLiteral("SHA-256:"), orDash(receipt.archiveSha256)},
            {QStringLiteral("Installed:"), receipt.installedAt.isValid()
                 ? receipt.installedAt.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                 : QStringLiteral("-")},
            {QStringLiteral("Installed by:"), orDash(receipt.installedBy)},
            {QStringLiteral("Templates:"), templateCounts(info)}};
        if (!given.path.isNull() && !given.sha256.isNull()) {
            facts.insert(4, {QStringLiteral("Given file:"),
                             given.sha256 == receipt.archiveSha256
                                 ? QStringLiteral("%1 has the same SHA-256").arg(given.path)
                                 : QStringLiteral("%1 has another SHA-256, %2").arg(given.path, given.sha256)});
        }
        cliPrintTable(context.out, facts);
        QList<QStringList> rows{{QStringLiteral("State"), QStringLiteral("Marks"), QStringLiteral("Title"),
                                 QStringLiteral("Destination")}};
        for (const TemplateState &state : info.templates)
            // A template gone or replaced has no document of its own to judge.
            rows.append({stateText(state),
                         state.state == TemplateState::Missing || state.state == TemplateState::Replaced
                             ? QStringLiteral("-")
                             : CliDocuments::marksColumn(judge(root, state, _version).judgement),
                         orDash(state.entry.title), state.entry.destination});
        context.out << '\n';
        cliPrintTable(context.out, rows);
    }

    CliFinalCut _finalCut;
    std::optional<QVersionNumber> _version;
};

} // namespace

std::unique_ptr<CliCommand> makeInfoCommand()
{
    return std::make_unique<InfoCommand>();
}
