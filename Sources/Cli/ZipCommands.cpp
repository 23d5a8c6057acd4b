// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
// The plain zip commands: extract and pack.
#include "Cli/Cli.h"
#include "Cli/CliProgress.h"
#include "ZipArchive/ZipArchive.h"

#include <QCommandLineParser>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QTextStream>

#include <algorithm>

namespace {

const QCommandLineOption &passwordOption()
{
    static const QCommandLineOption option(QStringLiteral("password"),
                                           QStringLiteral("Traditional PKWARE password."),
                                           QStringLiteral("PW"));
    return option;
}

} // namespace

int Cli::extract(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Unpacks every entry of a zip archive into DIR, "
                                                    "overwriting existing files."));
    parser.addPositionalArgument(QStringLiteral("ARCHIVE"), QStringLiteral("The zip archive."));
    parser.addPositionalArgument(QStringLiteral("DIR"), QStringLiteral("The destination folder (created when missing)."));
    parser.addOption(passwordOption());
    if (const std::optional<int> done = parseCommand(parser, arguments, 2))
        return *done;

    const QString archive = parser.positionalArguments().at(0);
    const QString destination = parser.positionalArguments().at(1);

    CliZipDelegate delegate(_err);
    CliProgress progress(_err, QStringLiteral("Extracting %1").arg(QFileInfo(archive).fileName()), _errIsTerminal);
    ZipArchive zip;
    zip.setDelegate(&delegate);
    zip.setProgressListener(&progress);

    const bool opened = parser.isSet(passwordOption())
        ? zip.UnzipOpenFile(archive, parser.value(passwordOption()))
        : zip.UnzipOpenFile(archive);
    // The zip layer has told the delegate why.
    if (!opened)
        return Failure;
    const bool ok = zip.UnzipFileTo(destination, true);
    progress.finish();
    zip.UnzipCloseFile();
    zip.setDelegate(nullptr);
    if (!ok) {
        _err << "mtzip: extracting \"" << archive << "\" failed\n";
        _err.flush();
    }
    return ok ? Success : Failure;
}

int Cli::pack(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Writes every file below DIR into a new zip archive, "
                                                    "named by its path relative to DIR."));
    parser.addPositionalArgument(QStringLiteral("DIR"), QStringLiteral("The folder to pack."));
    parser.addPositionalArgument(QStringLiteral("ARCHIVE"), QStringLiteral("The zip archive to create (replaced when it exists)."));
    parser.addOption(passwordOption());
    if (const std::optional<int> done = parseCommand(parser, arguments, 2))
        return *done;

    const QDir folder(QFileInfo(parser.positionalArguments().at(0)).absoluteFilePath());
    const QString archive = parser.positionalArguments().at(1);
    if (!folder.exists()) {
        _err << "mtzip: \"" << folder.path() << "\" is not a folder\n";
        _err.flush();
        return Failure;
    }

    // Sorted, so the same folder always gives the same archive.
    QStringList files;
    const QString archivePath = QFileInfo(archive).absoluteFilePath();
    QDirIterator it(folder.path(), QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        if (QFileInfo(file).absoluteFilePath() != archivePath)
            files.append(file);
    }
    std::sort(files.begin(), files.end());

    ZipArchive zip;
    const bool created = parser.isSet(passwordOption())
        ? zip.CreateZipFile2(archive, parser.value(passwordOption()))
        : zip.CreateZipFile2(archive);
    if (!created) {
        _err << "mtzip: cannot create \"" << archive << "\"\n";
        _err.flush();
        return Failure;
    }
    for (const QString &file : files) {
        const QString name = folder.relativeFilePath(file);
        if (!zip.addFileToZip(file, name)) {
            _err << "mtzip: cannot add \"" << file << "\"\n";
            _err.flush();
            zip.discardZipFile();
            return Failure;
        }
    }
    if (!zip.CloseZipFile2()) {
        _err << "mtzip: cannot write \"" << archive << "\"\n";
        _err.flush();
        return Failure;
    }
    return Success;
}
