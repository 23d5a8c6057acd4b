// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Installer/FolderTree.h"

#include "ZipArchive/ZipDirectory.h"

#include "Installer/TemplateType.h"

#include <QCoreApplication>
#include <QFile>

#include <algorithm>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

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

void FolderTree::findTemplateFolders(const QString &relativeFolder, const TemplateFound &found) const
{
    for (const Entry &entry : entries(relativeFolder)) {
        if (entry.isFolder) {
            findTemplateFolders(relativeFolder + QLatin1Char('/') + entry.name, found);
            continue;
        }
        const quint64 type = TemplateType::forFileName(entry.name);
        if (type != 0 && found(relativeFolder, entry.name, type))
            return;
    }
}

std::vector<FolderTree::Entry> DiskFolderTree::entries(const QString &relativeFolder) const
{
    std::vector<Entry> entries;
    // readdir's type field spares a stat per entry: a destination root with
    // thousands of templates is listed in a blink.
    DIR *dir = ::opendir(QFile::encodeName(_root + relativeFolder).constData());
    if (!dir)
        return entries;
    while (const dirent *entry = ::readdir(dir)) {
        const char *name = entry->d_name;
        if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
            continue;
        bool isFolder = entry->d_type == DT_DIR;
        if (entry->d_type == DT_LNK)
            continue;
        if (entry->d_type == DT_UNKNOWN) {
            struct stat info;
            if (::fstatat(::dirfd(dir), name, &info, AT_SYMLINK_NOFOLLOW) != 0 || S_ISLNK(info.st_mode))
                continue;
            isFolder = S_ISDIR(info.st_mode);
        }
        entries.push_back({QFile::decodeName(name), isFolder});
    }
    ::closedir(dir);
    sortByName(entries);
    return entries;
}

std::optional<ArchiveFolderTree> ArchiveFolderTree::fromEntries(std::vector<ZipDirectory::Entry> &&entries,
                                                                QString *problem)
{
    ArchiveFolderTree tree;
    // Folder -> its entries' names and whether each is a folder. Names only,
    // not whole paths: with hundreds of thousands of entries each byte kept
    // per entry counts.
    QHash<QString, QHash<QString, bool>> folders;
    // Adds path (relative, "/"-led) below its parent, which is there already.
    const auto add = [&](const QString &path, bool isFolder) -> bool {
        const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
        QHash<QString, bool> &siblings = folders[path.left(slash)];
        const QString name = path.mid(slash + 1);
        const auto known = siblings.constFind(name);
        if (known == siblings.cend()) {
            siblings.insert(name, isFolder);
            return true;
        }
        if (*known == isFolder)
            return true; // already there; a repeated file overwrites its data only
        *problem = isFolder ? QCoreApplication::translate("FolderTree",
            "Cannot create the folder \"%1\": Not a directory").arg(path.mid(1))
                            : QCoreApplication::translate("FolderTree",
                                                          "Cannot write \"%1\": Is a directory").arg(path.mid(1));
        return false;
    };
    for (ZipDirectory::Entry &entry : entries) {
        if (entry.relativePath.isEmpty())
            continue;
        // What unpacking would fail on, said before anything is written.
        for (const QStringView part : QStringView(entry.relativePath).split(QLatin1Char('/'))) {
            if (part.toUtf8().size() > 255) {
                *problem = QCoreApplication::translate("FolderTree", "Cannot create \"%1\": File name too long")
                               .arg(entry.relativePath);
                return std::nullopt;
            }
        }
        const QString path = QLatin1Char('/') + entry.relativePath;
        entry.name = QString();
        entry.relativePath = QString();
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
    for (auto it = folders.begin(); it != folders.end(); it = folders.erase(it)) {
        std::vector<Entry> &list = tree._folders[it.key()];
        list.reserve(size_t(it.value().size()));
        for (auto child = it.value().cbegin(); child != it.value().cend(); ++child)
            list.push_back({child.key(), child.value()});
        sortByName(list);
    }
    return tree;
}

std::vector<FolderTree::Entry> ArchiveFolderTree::entries(const QString &relativeFolder) const
{
    return _folders.value(relativeFolder);
}
