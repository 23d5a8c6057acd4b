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

// The entries as the directory is visited. Unpacking refuses the first
// entry it cannot take, once the whole directory has been read: so does the
// listing.
struct Listing
{
    std::vector<ZipDirectory::Entry> entries;
    // For the overlap check: what libzip read of each entry besides its CRC.
    std::vector<zip_uint64_t> compressedSizes;
    std::optional<ZipFault> refusal;

    void add(zip_uint64_t index, const ZipReader::Entry *stat, const char *name, zip_uint64_t count)
    {
        if (index == 0) {
            // A window gave way to the whole directory: start over.
            entries.clear();
            compressedSizes.clear();
            refusal.reset();
            entries.reserve(size_t(count));
            compressedSizes.reserve(size_t(count));
        }
        if (refusal)
            return;
        if (!stat) {
            refusal = ZipReader::statFailed();
            return;
        }
        ZipDirectory::Entry entry;
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
    }
};

} // namespace

namespace ZipDirectory {

std::optional<std::vector<Entry>> read(const QString &zipFile, ZipArchiveDelegate *delegate,
                                       std::unique_ptr<ZipReader> *loaded)
{
    ZipFault fault;
    std::unique_ptr<ZipReader> reader = ZipReader::open(zipFile, &fault);
    if (!reader) {
        tell(delegate, fault);
        return std::nullopt;
    }
    Listing listing;
    const ZipReader::Visitor add = [&](zip_uint64_t index, const ZipReader::Entry *stat, const char *name) {
        listing.add(index, stat, name, reader->count());
    };
    const bool read = loaded ? reader->load(&fault, add) : reader->visit(add, &fault);
    if (!read) {
        tell(delegate, fault);
        return std::nullopt;
    }
    if (listing.entries.empty() && !listing.refusal)
        listing.refusal = ZipReader::noEntries();
    if (listing.refusal) {
        tell(delegate, *listing.refusal);
        return std::nullopt;
    }
    if (const std::optional<ZipFault> overlap = reader->overlapRefusal(
            [&listing](zip_uint64_t index, zip_uint64_t compressedSize, zip_uint32_t crc) {
                return listing.compressedSizes[size_t(index)] == compressedSize
                    && listing.entries[size_t(index)].crc32 == crc;
            },
            [&listing](zip_uint64_t index) { return listing.entries[size_t(index)].name; })) {
        tell(delegate, *overlap);
        return std::nullopt;
    }
    if (loaded)
        *loaded = std::move(reader);
    return std::move(listing.entries);
}

QString firstEncryptedEntry(const QString &zipFile)
{
    ZipFault fault;
    const std::unique_ptr<ZipReader> reader = ZipReader::open(zipFile, &fault);
    if (!reader)
        return {};
    QString found;
    const bool read = reader->visit(
        [&found](zip_uint64_t index, const ZipReader::Entry *stat, const char *name) {
            if (index == 0)
                found.clear(); // a window gave way to the whole directory
            if (!found.isEmpty() || !stat || !(stat->valid & ZIP_STAT_ENCRYPTION_METHOD)
                || stat->encryptionMethod == ZIP_EM_NONE)
                return;
            const QString entry = QString::fromUtf8(name);
            if (!ZipReader::isFolder(entry, *stat))
                found = entry;
        },
        &fault);
    return read ? found : QString();
}

} // namespace ZipDirectory
