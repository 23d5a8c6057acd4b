// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Installer/FolderTree.h"

#include "ZipArchive/ZipDirectory.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSet>

#include <algorithm>

void FolderTree::sortByName(std::vector<Entry> &entries)
{
    // UTF-8 byte order is code point order; QString compares UTF-16 code
    // units, which puts characters beyond U+FFFF before U+E000..U+FFFF.
    std::vector<std::pair<QByteArray, Entry>> keyed;
    keyed.reserve(entries.size());
    for (Entry &entry : entries)
        keyed.emplace_back(entry.name.toUtf8(), std::move(entry));
    std::sort(keyed.begin(), keyed.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    for (size_t i = 0; i < keyed.size(); ++i)
        entries[i] = std::move(keyed[i].second);
}

std::vector<FolderTree::Entry> DiskFolderTree::entries(const QString &relativeFolder) const
{
    const QString folder = _root + relativeFolder;
    const QStringList names =
        QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
    std::vector<Entry> entries;
    entries.reserve(size_t(names.size()));
    for (const QString &name : names) {
        const QFileInfo info(folder + QLatin1Char('/') + name);
        if (!info.exists() || info.isSymLink())
            continue;
        entries.push_back({name, info.isDir()});
    }
    sortByName(entries);
    return entries;
}

std::optional<ArchiveFolderTree> ArchiveFolderTree::fromEntries(const std::vector<ZipDirectory::Entry> &entries,
                                                                QString *problem)
{
    ArchiveFolderTree tree;
    QSet<QString> folders{QString()};
    QSet<QString> files;
    // Adds path (relative, "/"-led) and every folder above it.
    const auto add = [&](const QString &path, bool isFolder) -> bool {
        const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
        const QString parent = path.left(slash);
        if (isFolder ? folders.contains(path) : files.contains(path))
            return true; // already there; a repeated file overwrites its data only
        if (isFolder ? files.contains(path) : folders.contains(path)) {
            *problem = isFolder ? QCoreApplication::translate("FolderTree",
                "Cannot create the folder \"%1\": Not a directory").arg(path.mid(1))
                                : QCoreApplication::translate("FolderTree",
                                                              "Cannot write \"%1\": Is a directory").arg(path.mid(1));
            return false;
        }
        (isFolder ? folders : files).insert(path);
        tree._folders[parent].push_back({path.mid(slash + 1), isFolder});
        return true;
    };
    for (const ZipDirectory::Entry &entry : entries) {
        if (entry.relativePath.isEmpty())
            continue;
        const QString path = QLatin1Char('/') + entry.relativePath;
        if (path == QLatin1String("/__MACOSX") || path.startsWith(QLatin1String("/__MACOSX/")))
            continue;
        // The folders on the way, outermost first, as unpacking creates them.
        for (qsizetype slash = path.indexOf(QLatin1Char('/'), 1); slash > 0;
             slash = path.indexOf(QLatin1Char('/'), slash + 1)) {
            if (!add(path.left(slash), true))
                return std::nullopt;
        }
        if (!add(path, entry.isDirectory))
            return std::nullopt;
    }
    for (auto it = tree._folders.begin(); it != tree._folders.end(); ++it)
        sortByName(it.value());
    return tree;
}

std::vector<FolderTree::Entry> ArchiveFolderTree::entries(const QString &relativeFolder) const
{
    return _folders.value(relativeFolder);
}
