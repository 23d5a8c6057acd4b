// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Cli/ArchiveCommand.h"

#include "Cli/Cli.h"
#include "Cli/CliJson.h"
#include "Cli/CliProgress.h"
#include "Cli/CliSignals.h"
#include "Common/LogCategories.h"
#include "Installer/TemplateInstallerV2.h"
#include "Installer/TemplateType.h"
#include "Metadata/TemplateHiding.h"

#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QTextStream>
#include <QUrl>

#include <csignal>

namespace {

using CliJson::nullable;

// Why a named archive cannot be read at all, before its name is judged;
// null when it can.
QString unreadableReason(const QString &path)
{
    // Said in plain words here: the zip layer would only call each of these
    // "not a zip archive".
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

// Every key present from the start, so that JSON readers find the same
// shape for an archive that got no further than its name.
QJsonObject archiveEntry(const QString &archive)
{
    return QJsonObject{{QStringLiteral("archive"), archive},
                       {QStringLiteral("title"), QFileInfo(archive).completeBaseName()},
                       {QStringLiteral("accepted"), false},
                       {QStringLiteral("refusal"), QJsonValue(QJsonValue::Null)},
                       {QStringLiteral("unpacked"), false},
                       {QStringLiteral("error"), QJsonValue(QJsonValue::Null)},
                       {QStringLiteral("templates"), QJsonArray()}};
}

} // namespace

void ArchiveCommand::addOptions(QCommandLineParser &parser)
{
    parser.addPositionalArgument(QStringLiteral("ARCHIVE..."), QStringLiteral("Template archives (.mtzip)."));
    _destination.addOptions(parser);
    parser.addOption(_categories);
    parser.addOption(_json);
    if (judgesTemplates())
        _finalCut.addOption(parser);
    addOwnOptions(parser);
}

std::optional<int> ArchiveCommand::readOptions(Run &run)
{
    const QCommandLineParser &parser = run.parser;
    if (parser.isSet(_categories)) {
        const QString plist = parser.value(_categories);
        if (!QFileInfo(plist).isFile()) {
            run.context.error(QStringLiteral("categories list \"%1\" does not exist").arg(plist));
            return Cli::Failure;
        }
        run.categories = Categories::fromFile(plist);
    } else {
        run.categories = Categories::shipped();
    }
    run.json = parser.isSet(_json);
    // Only the commands that offer --trash may be asked about it: isSet()
    // warns of an option the parser was never given.
    if (parser.optionNames().contains(_trash.names().constFirst()) && parser.isSet(_trash))
        run.disposal = TemplateTransaction::Disposal::Trash;
    if (!_lockWait.read(run.context, parser, &run.lockWait))
        return Cli::UsageError;
    if (judgesTemplates() && !_finalCut.read(run.context, parser, &run.finalCut))
        return Cli::UsageError;
    return std::nullopt;
}

int ArchiveCommand::run(CliContext &context, const QCommandLineParser &parser)
{
    int exitCode = Cli::Success;
    Run run{context, parser, _destination.root(context, parser, &exitCode)};
    if (run.root.isNull())
        return exitCode;
    if (const std::optional<int> wrong = readOptions(run))
        return *wrong;

    // Leftovers of runs that were killed: their unpack folders, and an
    // install or uninstall of this root to finish or undo.
    TemplateInstaller::removeAbandonedUnpackFolders();
    if (!changesNothing(parser)) {
        TemplateInstaller::recoverInterruptedRun(run.root);
        TemplateHiding::recover(run.root);
    }
    qCInfo(lcCli).noquote() << name() << "into" << run.root;

    // One archive failing does not stop the rest: each is its own install,
    // and the exit status tells that not all went well.
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
        QJsonObject entry = archiveEntry(archive);
        const Outcome outcome = process(run, archive, entry);
        // An archive stopped while unpacking leaves no entry: it was not begun.
        if (outcome == Outcome::Stopped && !entry.value(QStringLiteral("unpacked")).toBool())
            break;
        archives.append(entry);
        if (outcome == Outcome::Stopped)
            break;
        allSucceeded = allSucceeded && outcome == Outcome::Done;
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

ArchiveCommand::Outcome ArchiveCommand::process(Run &run, const QString &archive, QJsonObject &entry)
{
    if (const QString reason = unreadableReason(QFileInfo(archive).absoluteFilePath()); !reason.isNull()) {
        entry[QStringLiteral("error")] = reason;
        run.context.error(QStringLiteral("%1: %2").arg(archive, reason));
        return Outcome::Failed;
    }
    Expected<std::unique_ptr<TemplateInstallerV2>> opened = TemplateInstallerV2::open(
        QUrl::fromLocalFile(QFileInfo(archive).absoluteFilePath()), run.root, run.categories);
    entry[QStringLiteral("accepted")] = opened.has_value();
    if (!opened) {
        // The core's words for the refusal, as scripts have always read them.
        const QString refusal = opened.error().localizedDescription();
        entry[QStringLiteral("refusal")] = refusal;
        run.context.error(QStringLiteral("%1: refused: %2").arg(archive, refusal));
        return Outcome::Failed;
    }
    TemplateInstallerV2 &installer = **opened;
    const bool unpacked = readArchive(run, installer);
    installer.setDisposal(run.disposal);
    installer.setLockWait(run.lockWait);
    entry[QStringLiteral("unpacked")] = unpacked;
    if (!unpacked && CliSignals::received()) {
        reportSignal(run.context, QStringLiteral("%1 was not unpacked").arg(archive));
        return Outcome::Stopped;
    }
    if (!unpacked) {
        entry[QStringLiteral("error")] = installer.unarchiveError();
        run.context.error(QStringLiteral("%1: cannot unpack: %2").arg(archive, installer.unarchiveError()));
        return Outcome::Failed;
    }
    qCInfo(lcCli).noquote() << archive << "holds" << installer.effects().size() << "templates";
    const Outcome outcome = handle(run, installer, archive, entry);
    qCInfo(lcCli).noquote() << archive << (outcome == Outcome::Done ? "done" : "failed or stopped");
    return outcome;
}

// Unpacking is the default: install needs the files, and the progress of
// a large pack is worth drawing.
bool ArchiveCommand::readArchive(Run &run, TemplateInstallerV2 &installer)
{
    CliProgress progress(run.context.err, QStringLiteral("Unpacking %1").arg(installer.title()),
                         run.context.drawsProgress());
    installer.setProgressListener(&progress);
    const bool unpacked = installer.unarchive();
    progress.finish();
    installer.setProgressListener(nullptr);
    for (const QString &entry : installer.damagedPreviews())
        run.context.error(QStringLiteral("%1: the preview image %2 is damaged; left out, its template shows no preview")
                              .arg(installer.title(), entry));
    return unpacked;
}

// Said by the command rather than by Cli: only it knows what was left undone.
void ArchiveCommand::reportSignal(CliContext &context, const QString &what)
{
    const int signal = CliSignals::received();
    context.error(QStringLiteral("%1 by %2%3")
                      .arg(QLatin1String(signal == SIGINT ? "interrupted" : "terminated"),
                           QLatin1String(CliSignals::name(signal)),
                           what.isEmpty() ? QString() : QStringLiteral("; ") + what));
    context.signalReported = true;
}

// The index runs over every archive of the run, as the table numbers rows.
QJsonObject ArchiveCommand::templateJson(int number, const EffectTemplateItem &item)
{
    return QJsonObject{{QStringLiteral("index"), number},
                       {QStringLiteral("title"), item.title()},
                       {QStringLiteral("category"), nullable(item.category())},
                       {QStringLiteral("type"), qint64(item.templateType())},
                       {QStringLiteral("kind"), TemplateType::kindName(item.templateType())},
                       {QStringLiteral("source"), item.relativeSourcePath()},
                       {QStringLiteral("destination"), item.relativeDestinationPath()}};
}

QString ArchiveCommand::ownerText(const QString &owner)
{
    return owner.isEmpty() ? QStringLiteral("a hand copy") : QStringLiteral("installed by ") + owner;
}

bool ArchiveCommand::reportKept(CliContext &context, const QString &archive, const Kept &kept, const char *editedHint)
{
    for (const QString &destination : kept.edited)
        context.error(
            QStringLiteral("%1: kept %2: you changed it (%3)").arg(archive, destination, QLatin1String(editedHint)));
    for (qsizetype i = 0; i < kept.foreign.size(); ++i) {
        const QString owner = kept.owners.value(kept.edited.size() + i);
        context.error(QStringLiteral("%1: kept %2: %3").arg(archive, kept.foreign.at(i), ownerText(owner)));
    }
    return kept.edited.isEmpty() && kept.foreign.isEmpty();
}

QJsonArray ArchiveCommand::keptJson(const Kept &kept)
{
    QJsonArray array;
    for (qsizetype i = 0; i < kept.edited.size() + kept.foreign.size(); ++i) {
        const bool isEdited = i < kept.edited.size();
        array.append(QJsonObject{
            {QStringLiteral("destination"), isEdited ? kept.edited.at(i) : kept.foreign.at(i - kept.edited.size())},
            {QStringLiteral("state"), QLatin1String(isEdited ? "edited" : "foreign")},
            {QStringLiteral("owner"), nullable(kept.owners.value(i))}});
    }
    return array;
}
