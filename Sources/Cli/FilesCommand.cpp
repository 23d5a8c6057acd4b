// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
// mtzip files: the files a receipt lists, as dpkg -L lists a package's.
#include "Cli/Cli.h"
#include "Cli/CliJson.h"
#include "Cli/CliLibraryCommand.h"
#include "Installer/InstalledArchives.h"

#include <QCommandLineParser>
#include <QJsonArray>
#include <QJsonObject>
#include <QTextStream>

namespace {

// Answers from the receipts alone, without looking at the disk: what the
// install put there, which is what a clean-up script wants to know.
class FilesCommand : public LibraryCommand
{
public:
    QString name() const override { return QStringLiteral("files"); }
    QString synopsis() const override { return QStringLiteral("TITLE"); }
    QString summary() const override { return QStringLiteral("list the files a receipt names, one path a line"); }
    QString description() const override
    {
        return QStringLiteral("Lists the files the receipt of an archive names, by the archive's title (or file "
                              "name), one absolute path a line; or those of the templates a receipt names by "
                              "template title, folder name or destination. Exits with 1 when nothing matches.");
    }
    std::optional<int> positionalCount() const override { return 1; }

protected:
    void addOwnOptions(QCommandLineParser &parser) override
    {
        parser.addPositionalArgument(QStringLiteral("TITLE"),
                                     QStringLiteral("An archive title, or a template's title or destination."));
    }

    int runIn(CliContext &context, const QCommandLineParser &parser, const QString &root, bool json) override
    {
        const QString title = parser.positionalArguments().constFirst();
        const std::vector<InstalledArchives::TemplateFiles> found = InstalledArchives::files(root, title);
        // Told on stderr also with --json, where the document alone would
        // show an empty list and nobody would look further.
        if (found.empty())
            context.error(QStringLiteral("no receipt in %1 names an archive or template \"%2\"").arg(root, title));
        if (json) {
            QJsonArray templates;
            for (const InstalledArchives::TemplateFiles &entry : found) {
                templates.append(QJsonObject{{QStringLiteral("archiveTitle"), entry.archiveTitle},
                                             {QStringLiteral("title"), entry.title},
                                             {QStringLiteral("destination"), entry.destination},
                                             {QStringLiteral("files"), QJsonArray::fromStringList(entry.paths)}});
            }
            QJsonObject document = CliJson::document(name(), root);
            document.insert(QStringLiteral("name"), title);
            document.insert(QStringLiteral("templates"), templates);
            print(context, document);
        } else {
            // Bare paths, one a line, for xargs and friends.
            for (const InstalledArchives::TemplateFiles &entry : found) {
                for (const QString &path : entry.paths)
                    context.out << path << '\n';
            }
        }
        return found.empty() ? Cli::Failure : Cli::Success;
    }
};

} // namespace

std::unique_ptr<CliCommand> makeFilesCommand()
{
    return std::make_unique<FilesCommand>();
}
