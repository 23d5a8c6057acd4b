// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "ZipArchive/ZipDirectory.h"

#include "ZipArchive/ZipArchiveDelegate.h"
#include "ZipArchive/ZipEntryName.h"
#include "ZipArchive/ZipReader.h"

#include <utility>

namespace {

void tell(ZipArchiveDelegate *delegate, const ZipFault &fault)
{
    if (!delegate)
        return;
    if (!fault.generic.isEmpty())
        delegate->ErrorMessage(fault.generic);
    delegate->ErrorMessage(fault.detail);
}

} // namespace

namespace ZipDirectory {

std::optional<std::vector<Entry>> read(const QString &zipFile, ZipArchiveDelegate *delegate)
{
    ZipFault fault;
    const std::unique_ptr<ZipReader> reader = ZipReader::open(zipFile, &fault);
    if (!reader) {
        tell(delegate, fault);
        return std::nullopt;
    }

    std::vector<Entry> entries;
    // For the overlap check: what libzip read of each entry besides its CRC.
    std::vector<zip_uint64_t> compressedSizes;
    // Unpacking refuses the first entry it cannot take, once the whole
    // directory has been read: so does the listing.
    std::optional<ZipFault> refusal;
    const bool read = reader->visit(
        [&](zip_uint64_t index, const ZipReader::Entry *stat, const char *name) {
            if (index == 0) {
                entries.clear();
                compressedSizes.clear();
                refusal.reset();
                entries.reserve(size_t(reader->count()));
                compressedSizes.reserve(size_t(reader->count()));
            }
            if (refusal)
                return;
            if (!stat) {
                refusal = ZipReader::statFailed();
                return;
            }
            Entry entry;
            entry.name = QString::fromUtf8(name);
            entry.isDirectory = ZipReader::isFolder(entry.name, *stat);
            if ((refusal = ZipReader::entryRefusal(entry.name, entry.isDirectory, *stat, false)))
                return;
            entry.relativePath = safeRelativeEntryPath(entry.name).value_or(QString());
            // Most names are their own path: share the one string.
            if (entry.relativePath == entry.name)
                entry.relativePath = entry.name;
            entry.size = stat->size;
            entry.crc32 = stat->crc;
            compressedSizes.push_back(stat->compressedSize);
            entries.push_back(std::move(entry));
        },
        &fault);
    if (!read) {
        tell(delegate, fault);
        return std::nullopt;
    }
    if (entries.empty() && !refusal)
        refusal = ZipReader::noEntries();
    if (refusal) {
        tell(delegate, *refusal);
        return std::nullopt;
    }
    if (const std::optional<ZipFault> overlap = reader->overlapRefusal(
            [&](zip_uint64_t index, zip_uint64_t compressedSize, zip_uint32_t crc) {
                return compressedSizes[size_t(index)] == compressedSize && entries[size_t(index)].crc32 == crc;
            },
            [&entries](zip_uint64_t index) { return entries[size_t(index)].name; })) {
        tell(delegate, *overlap);
        return std::nullopt;
    }
    return entries;
}

} // namespace ZipDirectory
