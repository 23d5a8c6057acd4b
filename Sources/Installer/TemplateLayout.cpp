// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Installer/TemplateLayout.h"

#include "Installer/FolderTree.h"
#include "Installer/TemplateType.h"
#include "ZipArchive/ZipDirectory.h"

#include <QStringList>

namespace TemplateLayout {

const QString WholeFolder = QStringLiteral("Motion Templates.localized");

namespace {

const QString Domain = QStringLiteral("MTITemplateLayoutDomain");

// Finder's and other hidden files do not make a top level something else.
std::vector<FolderTree::Entry> visible(std::vector<FolderTree::Entry> entries)
{
    std::erase_if(entries, [](const FolderTree::Entry &entry) { return entry.name.startsWith(QLatin1Char('.')); });
    return entries;
}

bool allKindFolders(const std::vector<FolderTree::Entry> &entries)
{
    if (entries.empty())
        return false;
    for (const FolderTree::Entry &entry : entries)
        if (!entry.isFolder || !isKindFolder(entry.name))
            return false;
    return true;
}

} // namespace

bool isKindFolder(const QString &name)
{
    return name == QLatin1String("Effects.localized") || name == QLatin1String("Generators.localized")
        || name == QLatin1String("Titles.localized") || name == QLatin1String("Transitions.localized");
}

std::optional<QString> rootOf(const FolderTree &tree)
{
    const std::vector<FolderTree::Entry> top = visible(tree.entries(QString()));
    if (allKindFolders(top))
        return QString();
    const QString whole = QLatin1Char('/') + WholeFolder;
    if (top.size() == 1 && top.front().isFolder && top.front().name == WholeFolder
        && allKindFolders(visible(tree.entries(whole))))
        return whole;
    return std::nullopt;
}

QString destinationOf(const QString &folder, quint64 type, const QString &root)
{
    if (!folder.startsWith(root + QLatin1Char('/')))
        return {};
    const QString destination = folder.mid(root.size() + 1);
    const QStringList parts = destination.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (parts.size() < 2 || parts.first() != TemplateType::kindFolder(type) || parts.contains(QLatin1String(".."))
        || parts.contains(QLatin1String(".")))
        return {};
    return destination;
}

Expected<QString> check(const FolderTree &tree)
{
    const std::optional<QString> root = rootOf(tree);
    if (!root)
        return Error(Domain, NotALayout,
                     QStringLiteral("The zip's top level is no templates folder."));
    QString outside;
    tree.findTemplateFolders(QString(), [&](const QString &folder, const QString &fileName, quint64 type) {
        if (outside.isNull() && destinationOf(folder, type, *root).isNull())
            outside = folder.isEmpty() ? fileName : folder.mid(1);
        return true;
    });
    if (!outside.isNull())
        return Error(Domain, OutsideKindFolder,
                     QStringLiteral("The template \"%1\" lies outside its kind folder.")
                         .arg(outside));
    return *root;
}

bool isLayoutZip(const QString &archive)
{
    std::optional<std::vector<ZipDirectory::Entry>> entries = ZipDirectory::read(archive, nullptr);
    if (!entries)
        return false;
    QString problem;
    const std::optional<ArchiveFolderTree> tree = ArchiveFolderTree::fromEntries(std::move(*entries), &problem);
    return tree && rootOf(*tree).has_value();
}

} // namespace TemplateLayout
