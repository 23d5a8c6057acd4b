// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QHash>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace ZipDirectory {
struct Entry;
}

// A tree of folders and files for the template scan to walk: an unpacked
// archive on disk or an archive's directory. Folders are named by their
// path relative to the tree's root: "" for the root itself, "/a/b" below it.
class FolderTree
{
public:
    struct Entry
    {
        QString name;
        bool isFolder = false;
    };

    virtual ~FolderTree() = default;

    // The folder's entries sorted by name, comparing the bytes of the UTF-8
    // names, so that every machine and file system gives one order. Links,
    // and whatever cannot be looked at, are left out; a folder that cannot
    // be listed has no entries.
    virtual std::vector<Entry> entries(const QString &relativeFolder) const = 0;

    // Sorts entries as entries() answers them.
    static void sortByName(std::vector<Entry> &entries);

    // Told of a template folder (relative, as entries() names folders), its
    // first template file and that file's type; false passes the file over.
    using TemplateFound = std::function<bool(const QString &folder, const QString &fileName, quint64 type)>;
    // The template scan of an archive, of an unpacked folder and of a
    // destination root alike: depth-first in entry order, a folder that
    // directly holds a template file is a template folder, and its own scan
    // ends at that file (entries after it are not looked at).
    void findTemplateFolders(const QString &relativeFolder, const TemplateFound &found) const;
};

// The files and folders below a folder on disk.
class DiskFolderTree : public FolderTree
{
public:
    explicit DiskFolderTree(const QString &root) : _root(root) {}
    std::vector<Entry> entries(const QString &relativeFolder) const override;

private:
    QString _root;
};

// The tree an archive unpacks to, from its directory: every folder that an
// entry names or lies in, and the files. A top-level "__MACOSX" is left
// out, as the installer removes it after unpacking.
class ArchiveFolderTree : public FolderTree
{
public:
    // Null, with the reason in problem, when a file and a folder would take
    // one place (unpacking fails there too). The entries' names are let go
    // of as the tree takes them, so that both are never held whole at once.
    static std::optional<ArchiveFolderTree> fromEntries(std::vector<ZipDirectory::Entry> &&entries,
                                                        QString *problem);
    std::vector<Entry> entries(const QString &relativeFolder) const override;

private:
    ArchiveFolderTree() = default;

    // Folder -> its entries, sorted.
    QHash<QString, std::vector<Entry>> _folders;
};
