// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
// extract: a plain zip archive into a folder.
#include "Cli/Cli.h"
#include "Cli/CliProgress.h"
#include "Cli/PasswordOptions.h"
#include "Installer/EffectTemplateItem.h"
#include "ZipArchive/ZipArchive.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QTextStream>

namespace {

// The plain zip tool, for any zip: no templates folder, no receipts, no
// categories, so none of the archive commands' options apply. Its exit
// status is the zip layer's: 0 only when every entry was written, or left
// out as a damaged preview image.
class ExtractCommand : public CliCommand
{
public:
    QString name() const override { return QStringLiteral("extract"); }
    QString synopsis() const override { return QStringLiteral("ARCHIVE DIR"); }
    QString summary() const override { return QStringLiteral("unpack every entry of a zip archive into DIR"); }
    QString description() const override
    {
        return QStringLiteral("Unpacks every entry of a zip archive into DIR, overwriting existing files. A damaged "
                              "preview image (preview.png, preview.jpg, small.png, large.png) is left out with a "
                              "warning; damage in any other entry fails.");
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
        // As an install does: a damaged preview image costs only that image.
        zip.setSparedWhenDamaged(&EffectTemplateItem::isPreviewEntry);

        const bool opened = password->isEmpty() ? zip.UnzipOpenFile(archive) : zip.UnzipOpenFile(archive, *password);
        // The zip layer has told the delegate why.
        if (!opened)
            return Cli::Failure;
        // Overwrites, as unzip -o does: extract is the plain zip tool, not an install.
        const bool ok = zip.UnzipFileTo(destination, true);
        progress.finish();
        for (const QString &entry : zip.sparedEntries())
            context.error(QStringLiteral("%1: the preview image %2 is damaged; left out").arg(archive, entry));
        zip.UnzipCloseFile();
        zip.setDelegate(nullptr);
        // The one failure the user can mend at once gets the way to mend it.
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

} // namespace

std::unique_ptr<CliCommand> makeExtractCommand()
{
    return std::make_unique<ExtractCommand>();
}
