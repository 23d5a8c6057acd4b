// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
// pack: a folder into a plain zip archive.
#include "Cli/Cli.h"
#include "Cli/PasswordOptions.h"
#include "ZipArchive/ZipArchive.h"

#include <QCommandLineParser>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

#include <algorithm>

namespace {

// The same folder always gives the same archive (sorted entries, fixed
// modes), so two packs of one folder can be compared by checksum.
class PackCommand : public CliCommand
{
public:
    QString name() const override { return QStringLiteral("pack"); }
    QString synopsis() const override { return QStringLiteral("DIR ARCHIVE"); }
    QString summary() const override
    {
        return QStringLiteral("write every file and folder below DIR into a new zip archive");
    }
    QString description() const override
    {
        return QStringLiteral("Writes every file and folder below DIR into a new zip archive, named by its path "
                              "relative to DIR: files with mode 0644, folders with 0755.");
    }
    std::optional<int> positionalCount() const override { return 2; }

    void addOptions(QCommandLineParser &parser) override
    {
        parser.addPositionalArgument(QStringLiteral("DIR"), QStringLiteral("The folder to pack."));
        parser.addPositionalArgument(QStringLiteral("ARCHIVE"),
                                     QStringLiteral("The zip archive to create (replaced when it exists)."));
        _password.add(parser);
    }

    int run(CliContext &context, const QCommandLineParser &parser) override
    {
        int exitCode = Cli::Success;
        const std::optional<QString> password = _password.resolve(context, parser, &exitCode);
        if (!password)
            return exitCode;
        const QDir folder(QFileInfo(parser.positionalArguments().at(0)).absoluteFilePath());
        const QString archive = parser.positionalArguments().at(1);
        if (!folder.exists()) {
            context.error(QStringLiteral("\"%1\" is not a folder").arg(folder.path()));
            return Cli::Failure;
        }

        // Listed before the archive is created, so it never packs itself.
        const QStringList paths = entriesBelow(folder, QFileInfo(archive).absoluteFilePath());
        ZipArchive zip;
        const bool created = password->isEmpty() ? zip.CreateZipFile2(archive) : zip.CreateZipFile2(archive, *password);
        if (!created) {
            context.error(QStringLiteral("cannot create \"%1\"").arg(archive));
            return Cli::Failure;
        }
        for (const QString &path : paths) {
            const bool isFolder = path.endsWith(QLatin1Char('/'));
            const QString name = folder.relativeFilePath(path);
            if (!(isFolder ? zip.addFolderToZip(path, name) : zip.addFileToZip(path, name))) {
                context.error(QStringLiteral("cannot add \"%1\"").arg(path));
                // A half-written archive would pass for a whole one.
                zip.discardZipFile();
                return Cli::Failure;
            }
        }
        if (!zip.CloseZipFile2()) {
            context.error(QStringLiteral("cannot write \"%1\"").arg(archive));
            return Cli::Failure;
        }
        return Cli::Success;
    }

private:
    // Every file and folder below the folder (folders ending in "/"), the
    // archive being written left out; sorted, so that the same folder always
    // gives the same archive. Folders have entries of their own, as with
    // zip -r: empty ones survive, and each carries its mode.
    static QStringList entriesBelow(const QDir &folder, const QString &archivePath)
    {
        QStringList paths;
        QDirIterator it(folder.path(), QDir::Files | QDir::Dirs | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            const QFileInfo info = it.fileInfo();
            if (info.isDir() && !info.isSymLink())
                paths.append(path + QLatin1Char('/'));
            else if (info.isFile() && info.absoluteFilePath() != archivePath)
                paths.append(path);
        }
        std::sort(paths.begin(), paths.end());
        return paths;
    }

    PasswordOptions _password;
};

} // namespace

std::unique_ptr<CliCommand> makePackCommand()
{
    return std::make_unique<PackCommand>();
}
