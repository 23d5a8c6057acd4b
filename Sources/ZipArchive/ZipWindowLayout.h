// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include <zip.h>

#include <optional>
#include <utility>
#include <vector>

// The zip format's fixed record sizes and markers the layout and the reader share.
namespace ZipRecords {
constexpr zip_uint64_t EndRecordSize = 22;
constexpr zip_uint64_t Zip64LocatorSize = 20;
constexpr zip_uint64_t Zip64EndRecordSize = 56;
constexpr zip_uint64_t LocalHeaderSize = 30;
// Where libzip looks for end records: the largest comment, the record and
// the Zip64 locator before it.
constexpr zip_uint64_t TailSize = 0xffff + EndRecordSize + Zip64LocatorSize;
constexpr zip_uint64_t Max16 = 0xffff;
constexpr zip_uint64_t Max32 = 0xffffffff;

// How often the 4-byte signature occurs in data.
int occurrences(const std::vector<unsigned char> &data, const char *signature);
// The last `TailSize` bytes of the file (all of a smaller one) and where
// they start; false when they cannot be read.
bool readTail(int fd, std::vector<unsigned char> *tail, zip_uint64_t *tailAt);
} // namespace ZipRecords

// Where the central directory of an archive of many entries lies, cut into
// windows of entries that libzip reads one at a time: it is shown the file
// with end records naming one window's central headers placed after the
// directory, so every local header and all data stay where the offsets say.
// Only archives whose end records and headers are plainly sound get one.
struct ZipWindowLayout
{
    // Directories of more entries than this are read in windows of
    // WindowEntries (libzip keeps about 270 bytes of its own an entry).
    static constexpr zip_uint64_t WholeDirectoryMaximum = 20000;
    static constexpr zip_uint64_t WindowEntries = 4096;

    zip_uint64_t count = 0;
    zip_uint64_t directoryEnd = 0;   // from the archive's start
    bool zip64 = false;
    zip_uint64_t window = 0;         // entries to a window
    // Each window's first central header, from the archive's start, and the
    // directory's end after the last.
    std::vector<zip_uint64_t> starts;
    zip_uint64_t nameBytes = 0;

    // The layout of the archive in fd when it is many entries plainly sound;
    // base is told where the archive starts in the file.
    [[nodiscard]] static std::optional<ZipWindowLayout> plan(int fd, zip_uint64_t *base);
    // Entries to a window, and the most entries read whole:
    // MTI_ZIP_WINDOW_ENTRIES, when set, sets both.
    static std::pair<zip_uint64_t, zip_uint64_t> windowing();

    size_t windows() const { return starts.empty() ? 0 : starts.size() - 1; }
    zip_uint64_t entriesIn(size_t index) const;
    // The end records naming only that window's headers, placed right after
    // the directory.
    std::vector<unsigned char> trailer(size_t index) const;
    // The length of the file libzip is shown for that window.
    zip_uint64_t shownSize(size_t index) const;
};
