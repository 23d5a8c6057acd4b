// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
// The plain zip commands: extract and pack.
#include "Cli/Cli.h"
#include "Cli/CliProgress.h"
#include "ZipArchive/ZipArchive.h"

#include <QCommandLineParser>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include <algorithm>

namespace {

// --password shows in `ps`; a file or the environment does not.
class PasswordOptions
{
public:
    void add(QCommandLineParser &parser) const
    {
        parser.addOption(_password);
        parser.addOption(_file);
    }

    // The password to use, empty for none; nullopt after telling why there
    // is none to be had.
    std::optional<QString> resolve(CliContext &context, const QCommandLineParser &parser, int *exitCode) const
    {
        if (parser.isSet(_password) && parser.isSet(_file)) {
            context.error(QStringLiteral("--password and --password-file exclude each other"));
            *exitCode = Cli::UsageError;
            return std::nullopt;
        }
        if (parser.isSet(_password))
            return parser.value(_password);
        if (parser.isSet(_file)) {
            const QString path = parser.value(_file);
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly)) {
                context.error(QStringLiteral("cannot read the password file \"%1\": %2").arg(path, file.errorString()));
                *exitCode = Cli::Failure;
                return std::nullopt;
            }
            // The first line, without its line break.
            QByteArray line = file.readLine();
            while (line.endsWith('\n') || line.endsWith('\r'))
                line.chop(1);
            // Asked for a password, never silently go without one.
            if (line.isEmpty()) {
                context.error(QStringLiteral("the password file \"%1\" holds no password on its first line").arg(path));
                *exitCode = Cli::Failure;
                return std::nullopt;
            }
            return QString::fromUtf8(line);
        }
        return qEnvironmentVariable("MTZIP_PASSWORD");
    }

private:
    QCommandLineOption _password{QStringLiteral("password"),
                                 QStringLiteral("Password: extract reads traditional PKWARE and AES entries, "
                                                "pack writes traditional ones (visible to other users in ps)."),
                                 QStringLiteral("PW")};
    QCommandLineOption _file{QStringLiteral("password-file"),
                             QStringLiteral("Read the password from the first line of FILE. "
                                            "Without either option, MTZIP_PASSWORD is used when set."),
                             QStringLiteral("FILE")};
};

class ExtractCommand : public CliCommand
{
public:
    QString name() const override { return QStringLiteral("extract"); }
    QString synopsis() const override { return QStringLiteral("ARCHIVE DIR"); }
    QString summary() const override { return QStringLiteral("unpack every entry of a zip archive into DIR"); }
    QString description() const override
    {
        return QStringLiteral("Unpacks every entry of a zip archive into DIR, overwriting existing files.");
    }
    std::optional<int> positionalCount() const override { return 2; }

    void addOptions(QCommandLineParser &parser) override
    {
        parser.addPositionalArgument(QStringLiteral("ARCHIVE"), QStringLiteral("The zip archive."));
        parser.addPositionalArgument(QStringLiteral("DIR"), QStringLiteral("The destination folder (created when missing)."));
        _password.add(parser);
    }

    int run(CliContext &context, const QCommandLineParser &parser) override
    {
        int exitCode = Cli::Success;
        const std::optional<QString> password = _password.resolve(context, parser, &exitCode);
        if (!password)
            return exitCode;
        const QString archive = parser.positionalArguments().at(0);
        const QString destination = parser.positionalArguments().at(1);

        CliZipDelegate delegate(context.err);
        CliProgress progress(context.err, QStringLiteral("Extracting %1").arg(QFileInfo(archive).fileName()),
                             context.drawsProgress());
        ZipArchive zip;
        zip.setDelegate(&delegate);
        zip.setProgressListener(&progress);

        const bool opened = password->isEmpty() ? zip.UnzipOpenFile(archive) : zip.UnzipOpenFile(archive, *password);
        // The zip layer has told the delegate why.
        if (!opened)
            return Cli::Failure;
        const bool ok = zip.UnzipFileTo(destination, true);
        progress.finish();
        zip.UnzipCloseFile();
        zip.setDelegate(nullptr);
        if (!ok && zip.lastError().code == ZipError::PasswordNeeded)
            context.error(QStringLiteral("\"%1\" is encrypted: give a password with --password, --password-file "
                                         "or MTZIP_PASSWORD")
                              .arg(archive));
        else if (!ok)
            context.error(QStringLiteral("extracting \"%1\" failed").arg(archive));
        return ok ? Cli::Success : Cli::Failure;
    }

private:
    PasswordOptions _password;
};

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

std::unique_ptr<CliCommand> makeExtractCommand()
{
    return std::make_unique<ExtractCommand>();
}

std::unique_ptr<CliCommand> makePackCommand()
{
    return std::make_unique<PackCommand>();
}
