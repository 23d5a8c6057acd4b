// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Projects/ProjectArchives.h"

#include "Common/UserSettings.h"
#include "Installer/InstalledArchives.h"
#include "Installer/Receipt.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QStandardPaths>

namespace ProjectArchives {

namespace {

// The same archive reached through a link or a relative path counts once.
void addOnce(QStringList &archives, QSet<QString> &seen, const QString &path)
{
    const QFileInfo info(path);
    if (!info.isFile())
        return;
    const QString canonical = info.canonicalFilePath();
    if (canonical.isEmpty() || seen.contains(canonical))
        return;
    seen.insert(canonical);
    archives.append(info.absoluteFilePath());
}

bool stillTheInstalledFile(const Receipt &receipt)
{
    const QFileInfo info(receipt.archivePath);
    if (!info.isFile())
        return false;
    // Size and time as the receipt saw them spare reading a big archive.
    if (receipt.archiveSize >= 0 && info.size() == receipt.archiveSize && receipt.archiveModified.isValid()
        && info.lastModified().toUTC().toMSecsSinceEpoch() == receipt.archiveModified.toMSecsSinceEpoch())
        return true;
    if (receipt.archiveSha256.isEmpty())
        return false;
    return InstalledArchives::sha256OfFile(receipt.archivePath) == receipt.archiveSha256;
}

} // namespace

QStringList defaultFolders()
{
    QStringList folders;
    const QString downloads = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    if (!downloads.isEmpty())
        folders.append(downloads);
    folders += UserSettings::archiveSearchFolders();
    return folders;
}

QStringList rememberedArchives(const QString &root)
{
    QStringList archives;
    if (root.isEmpty() || !QFileInfo(root).isDir())
        return archives;
    for (const Receipt &receipt : Receipt::readAll(root)) {
        if (!receipt.archivePath.isEmpty() && stillTheInstalledFile(receipt))
            archives.append(receipt.archivePath);
    }
    return archives;
}

QStringList gather(const Places &places)
{
    QStringList archives;
    QSet<QString> seen;
    for (const QString &archive : places.openArchives)
        addOnce(archives, seen, archive);
    for (const QString &root : places.roots)
        for (const QString &archive : rememberedArchives(root))
            addOnce(archives, seen, archive);
    for (const QString &folder : places.folders) {
        if (folder.isEmpty())
            continue;
        const QDir dir(folder);
        const QStringList names =
            dir.entryList({QStringLiteral("*.mtzip")}, QDir::Files | QDir::Readable, QDir::Name);
        for (const QString &name : names)
            addOnce(archives, seen, dir.filePath(name));
    }
    return archives;
}

} // namespace ProjectArchives
