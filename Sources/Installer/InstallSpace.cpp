// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Installer/InstallSpace.h"

#include "Common/ByteSize.h"
#include "Installer/EffectTemplateItem.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QStorageInfo>

#include <atomic>
#include <cerrno>

namespace {

constexpr qint64 Block = 4096;
constexpr qint64 NoOverride = -1;
std::atomic<qint64> sAvailableOverride{NoOverride};

qint64 blocksOf(qint64 size)
{
    return (size + Block - 1) / Block * Block;
}

} // namespace

namespace InstallSpace {

qint64 bytesNeeded(const EffectTemplateItemList &items)
{
    qint64 total = 0;
    for (const EffectTemplateItem *item : items) {
        const QString folder = item->sourceFolderPath();
        if (folder.isEmpty())
            continue;
        // Links are copied as links: their targets take nothing here.
        QDirIterator files(folder, QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks,
                           QDirIterator::Subdirectories);
        while (files.hasNext()) {
            files.next();
            total += blocksOf(files.fileInfo().size());
        }
        total += Block; // the folder itself
    }
    return total;
}

std::optional<qint64> bytesAvailable(const QString &folder)
{
    if (const qint64 forced = sAvailableOverride.load(); forced != NoOverride)
        return forced;
    QString probe = QFileInfo(folder).absoluteFilePath();
    while (!QFileInfo::exists(probe)) {
        const QString parent = QFileInfo(probe).absolutePath();
        if (parent == probe)
            return std::nullopt;
        probe = parent;
    }
    const QStorageInfo volume(probe);
    if (!volume.isValid() || !volume.isReady())
        return std::nullopt;
    return volume.bytesAvailable();
}

std::optional<Error> refusal(qint64 needed, const QString &folder)
{
    const std::optional<qint64> available = bytesAvailable(folder);
    if (!available || needed <= *available)
        return std::nullopt;
    return Error(Error::PosixDomain, ENOSPC,
                 QCoreApplication::translate("TemplateInstaller",
                                             "Not enough free space: installing needs %1, only %2 are free on the "
                                             "volume of “%3”. Nothing was changed.")
                     .arg(ByteSize::forDisplay(needed), ByteSize::forDisplay(qMax<qint64>(*available, 0)),
                          QDir::toNativeSeparators(folder)));
}

void setAvailableForTesting(std::optional<qint64> bytes)
{
    sAvailableOverride = bytes ? qMax<qint64>(*bytes, 0) : NoOverride;
}

} // namespace InstallSpace
