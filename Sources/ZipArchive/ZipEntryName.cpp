// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "ZipArchive/ZipEntryName.h"

#include <QStringList>

std::optional<QString> safeRelativeEntryPath(const QString &entryName)
{
    QString name = entryName;
    name.replace(QLatin1Char('\\'), QLatin1Char('/'));

    if (name.startsWith(QLatin1Char('/')))
        return std::nullopt;
    // "C:" at the start is a drive on Windows; a colon elsewhere is a legal
    // character on the platforms we write to.
    if (name.size() >= 2 && name.at(1) == QLatin1Char(':') && name.at(0).isLetter())
        return std::nullopt;

    QStringList kept;
    const QStringList parts = name.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString &part : parts) {
        if (part == QLatin1String("."))
            continue;
        if (part == QLatin1String(".."))
            return std::nullopt;
        kept.append(part);
    }
    const QString relative = kept.join(QLatin1Char('/'));
    // An empty result is the destination folder itself: fine for a directory
    // entry such as "./", never a place for file data.
    if (relative.isEmpty() && !isDirectoryEntryName(entryName))
        return std::nullopt;
    return relative;
}

bool isDirectoryEntryName(const QString &entryName)
{
    return entryName.endsWith(QLatin1Char('/')) || entryName.endsWith(QLatin1Char('\\'));
}
