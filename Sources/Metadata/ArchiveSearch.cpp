// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Metadata/ArchiveSearch.h"

#include "Common/FileNames.h"
#include "Common/UserSettings.h"
#include "Installer/InstalledArchives.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace ArchiveSearch {

QStringList defaultFolders()
{
    QStringList folders;
    const QString downloads = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    if (!downloads.isEmpty())
        folders.append(downloads);
    for (const QString &folder : UserSettings::archiveSearchFolders())
        if (!folder.isEmpty() && !folders.contains(folder))
            folders.append(folder);
    return folders;
}

QStringList archivesIn(const QStringList &folders)
{
    QStringList archives;
    const auto add = [&](const QString &path) {
        const QString absolute = QFileInfo(path).absoluteFilePath();
        if (!archives.contains(absolute))
            archives.append(absolute);
    };
    for (const QString &folder : folders) {
        const QFileInfo info(folder);
        if (info.isFile()) {
            add(folder);
            continue;
        }
        if (!info.isDir())
            continue;
        // Sorted, so that the first provider named is the same on every run.
        const QFileInfoList entries = QDir(folder).entryInfoList({QStringLiteral("*.mtzip")},
                                                                 QDir::Files | QDir::Hidden, QDir::Name);
        for (const QFileInfo &entry : entries)
            add(entry.absoluteFilePath());
    }
    return archives;
}

QStringList rememberedArchives(const QStringList &roots, const QSet<QString> &wantedFolders)
{
    QStringList archives;
    if (wantedFolders.isEmpty())
        return archives;
    for (const QString &root : roots) {
        if (root.isEmpty() || !QFileInfo(root).isDir())
            continue;
        for (const Receipt &receipt : InstalledArchives::receipts(root)) {
            if (receipt.archivePath.isEmpty() || receipt.archiveSha256.isEmpty() || archives.contains(receipt.archivePath))
                continue;
            bool wanted = false;
            for (const Receipt::Template &t : receipt.templates) {
                QString folder = t.destination;
                if (folder.startsWith(QLatin1Char('/')))
                    folder.remove(0, 1);
                wanted = wanted || wantedFolders.contains(FileNames::comparable(folder));
            }
            // The checksum reads the whole archive: only for one that may help.
            const QFileInfo file(receipt.archivePath);
            if (!wanted || !file.isFile() || (receipt.archiveSize >= 0 && file.size() != receipt.archiveSize))
                continue;
            if (InstalledArchives::sha256OfFile(receipt.archivePath) == receipt.archiveSha256)
                archives.append(receipt.archivePath);
        }
    }
    return archives;
}

} // namespace ArchiveSearch
