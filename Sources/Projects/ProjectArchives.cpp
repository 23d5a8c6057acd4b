// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Projects/ProjectArchives.h"

#include "Metadata/ArchiveSearch.h"

#include <QFileInfo>

namespace ProjectArchives {

QStringList gather(const Places &places, const QSet<QString> &wantedFolders)
{
    QStringList archives;
    QSet<QString> seen;
    const auto addOnce = [&](const QStringList &paths) {
        for (const QString &path : paths) {
            const QFileInfo info(path);
            const QString canonical = info.canonicalFilePath();
            if (!info.isFile() || canonical.isEmpty() || seen.contains(canonical))
                continue;
            seen.insert(canonical);
            archives.append(info.absoluteFilePath());
        }
    };
    addOnce(places.openArchives);
    addOnce(ArchiveSearch::rememberedArchives(places.roots, wantedFolders));
    addOnce(ArchiveSearch::archivesIn(places.folders));
    return archives;
}

} // namespace ProjectArchives
