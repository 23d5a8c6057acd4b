// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
// mtzip owner: which archive installed a file or folder, as dpkg -S tells
// which package did.
#include "Cli/Cli.h"
#include "Cli/CliJson.h"
#include "Cli/CliLibraryCommand.h"
#include "Installer/InstalledArchives.h"

#include <QCommandLineParser>
#include <QJsonArray>
#include <QJsonObject>
#include <QTextStream>

#include <algorithm>

namespace {

using InstalledArchives::Owner;

// For people: an archive title, or a word in parentheses that no archive
// title can be (titles start with a category prefix).
QString ownerText(const Owner &owner)
{
    switch (owner.kind) {
    case Owner::Archive:
        return owner.archiveTitle;
    case Owner::HandCopy:
        return QStringLiteral("(hand copy)");
    case Owner::NotInstalled:
        break;
    }
    return QStringLiteral("(not installed)");
}

// Words that stay the same for programs whatever the people's text says.
QString ownerJson(Owner::Kind kind)
{
    switch (kind) {
    case Owner::Archive:
        return QStringLiteral("archive");
    case Owner::HandCopy:
        return QStringLiteral("handCopy");
    case Owner::NotInstalled:
        break;
    }
    return QStringLiteral("notInstalled");
}

// Exits with 1 when any path is not installed, so a script can ask
// "is this one of ours?" with the exit status alone.
class OwnerCommand : public LibraryCommand
{
public:
    QString name() const override { return QStringLiteral("owner"); }
    QString synopsis() const override { return QStringLiteral("PATH..."); }
    QString summary() const override { return QStringLiteral("tell which archive installed a file or folder"); }
    QString description() const override
    {
        return QStringLiteral("Tells, for each file or folder in the templates folder (absolute, or relative to "
                              "it), which archive installed the template it lies in, by the archive title of its "
                              "receipt: \"(hand copy)\" for an installed template no receipt names, \"(not "
                              "installed)\" when nothing is there or it lies in no template. Exits with 1 when a "
                              "path is not installed.");
    }
    std::optional<int> positionalCount() const override { return std::nullopt; }

protected:
    void addOwnOptions(QCommandLineParser &parser) override
    {
        parser.addPositionalArgument(QStringLiteral("PATH..."),
                                     QStringLiteral("Files or folders in the templates folder."));
    }

    int runIn(CliContext &context, const QCommandLineParser &parser, const QString &root, bool json) override
    {
        const QStringList paths = parser.positionalArguments();
        // All at once: the receipts are read once for every path.
        const std::vector<Owner> owners = InstalledArchives::owners(root, paths);
        if (json) {
            QJsonArray answers;
            for (size_t i = 0; i < owners.size(); ++i) {
                const Owner &owner = owners[i];
                answers.append(QJsonObject{
                    {QStringLiteral("path"), paths.at(qsizetype(i))},
                    {QStringLiteral("owner"), ownerJson(owner.kind)},
                    {QStringLiteral("archiveTitle"), CliJson::nullable(owner.archiveTitle)},
                    {QStringLiteral("template"), CliJson::nullable(owner.destination.isEmpty() ? QString()
                                                                                               : owner.destination)}});
            }
            QJsonObject document = CliJson::document(name(), root);
            document.insert(QStringLiteral("paths"), answers);
            print(context, document);
        } else {
            // Owner first, as dpkg -S prints it: paths may hold ": " themselves.
            for (size_t i = 0; i < owners.size(); ++i)
                context.out << ownerText(owners[i]) << ": " << paths.at(qsizetype(i)) << '\n';
        }
        const bool allInstalled = std::none_of(owners.cbegin(), owners.cend(),
                                               [](const Owner &owner) { return owner.kind == Owner::NotInstalled; });
        return allInstalled ? Cli::Success : Cli::Failure;
    }
};

} // namespace

std::unique_ptr<CliCommand> makeOwnerCommand()
{
    return std::make_unique<OwnerCommand>();
}
