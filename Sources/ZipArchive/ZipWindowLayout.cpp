// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "ZipArchive/ZipWindowLayout.h"

#include "ZipArchive/ZipEntrySpans.h"

#include <QtGlobal>

#include <algorithm>
#include <cstring>
#include <tuple>

#include <sys/stat.h>

using namespace ZipRecords;
using ZipEntrySpans::little;
using ZipEntrySpans::readAt;

namespace {

// What the end records say of the central directory.
struct Directory
{
    zip_uint64_t offset = 0;
    zip_uint64_t size = 0;
    zip_uint64_t count = 0;
    bool zip64 = false;
};

void put(std::vector<unsigned char> &out, zip_uint64_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i, value >>= 8)
        out.push_back((unsigned char)(value & 0xff));
}

void putSignature(std::vector<unsigned char> &out, const char *signature)
{
    for (int i = 0; i < 4; ++i)
        out.push_back((unsigned char)signature[i]);
}

// Where in tail the one end record lies whose comment runs to the end of
// the file: where libzip would weigh several, it reads the archive whole.
std::optional<size_t> soleEndRecord(const std::vector<unsigned char> &tail)
{
    if (occurrences(tail, "PK\5\6") != 1)
        return std::nullopt;
    size_t at = 0;
    while (std::memcmp(tail.data() + at, "PK\5\6", 4) != 0)
        ++at;
    if (at + EndRecordSize > tail.size() || at + EndRecordSize + little(&tail[at + 20], 2) != tail.size())
        return std::nullopt;
    return at;
}

// The directory the Zip64 end record names, on one disk and right before
// its locator.
std::optional<Directory> zip64Directory(int fd, const unsigned char *record, zip_uint64_t recordAt)
{
    const unsigned char *locator = record - Zip64LocatorSize;
    const zip_uint64_t zip64At = little(locator + 8, 8);
    unsigned char zip64[Zip64EndRecordSize];
    if (little(locator + 4, 4) != 0 || little(locator + 16, 4) > 1
        || zip64At + Zip64EndRecordSize != recordAt - Zip64LocatorSize
        || !readAt(fd, zip64At, zip64, sizeof zip64) || std::memcmp(zip64, "PK\6\6", 4) != 0
        || little(zip64 + 4, 8) != Zip64EndRecordSize - 12 || little(zip64 + 16, 4) != 0
        || little(zip64 + 20, 4) != 0 || little(zip64 + 24, 8) != little(zip64 + 32, 8))
        return std::nullopt;
    const Directory directory{little(zip64 + 48, 8), little(zip64 + 40, 8), little(zip64 + 32, 8), true};
    if (directory.offset > zip64At || directory.size != zip64At - directory.offset)
        return std::nullopt;
    return directory;
}

// The directory the classic end record names; base is told how far the
// archive was shifted when it was appended to other data.
std::optional<Directory> classicDirectory(int fd, const unsigned char *record, zip_uint64_t recordAt,
                                          zip_uint64_t *base)
{
    const Directory directory{little(record + 16, 4), little(record + 12, 4), little(record + 10, 2), false};
    if (little(record + 4, 2) != 0 || little(record + 6, 2) != 0 || little(record + 8, 2) != directory.count
        || directory.count == Max16 || directory.size == Max32 || directory.offset == Max32
        || directory.offset + directory.size > recordAt)
        return std::nullopt;
    if (directory.offset + directory.size < recordAt) {
        // Appended to other data with its offsets left as they were: libzip
        // reads it from there when the directory is not where the record says.
        unsigned char signature[4];
        if (!readAt(fd, directory.offset, signature, 4) || std::memcmp(signature, "PK\1\2", 4) == 0)
            return std::nullopt;
        *base = recordAt - directory.size - directory.offset;
    }
    return directory;
}

std::optional<Directory> directoryOf(int fd, zip_uint64_t *base)
{
    std::vector<unsigned char> tail;
    zip_uint64_t tailAt = 0;
    if (!readTail(fd, &tail, &tailAt))
        return std::nullopt;
    const std::optional<size_t> at = soleEndRecord(tail);
    if (!at)
        return std::nullopt;
    const unsigned char *record = &tail[*at];
    *base = 0;
    if (*at >= Zip64LocatorSize && std::memcmp(record - Zip64LocatorSize, "PK\6\7", 4) == 0)
        return zip64Directory(fd, record, tailAt + *at);
    return classicDirectory(fd, record, tailAt + *at, base);
}

// Every header sound and the directory exactly as long as the end records
// say; every entry's data before it. Fills the windows' starts.
bool walkHeaders(int fd, zip_uint64_t base, const Directory &directory, ZipWindowLayout &layout)
{
    ZipEntrySpans::DirectoryReader reader(fd, base + directory.offset, base + directory.offset + directory.size);
    layout.starts.reserve(size_t(layout.count / layout.window + 2));
    for (zip_uint64_t i = 0; i < layout.count; ++i) {
        if (i % layout.window == 0)
            layout.starts.push_back(reader.position() - base);
        const std::optional<ZipEntrySpans::CentralHeader> header = ZipEntrySpans::readCentralHeader(reader);
        if (!header || header->localHeaderOffset > directory.offset
            || header->compressedSize > directory.offset - header->localHeaderOffset
            || LocalHeaderSize > directory.offset - header->localHeaderOffset - header->compressedSize)
            return false;
        layout.nameBytes += header->nameLength;
    }
    layout.directoryEnd = directory.offset + directory.size;
    if (reader.position() != base + layout.directoryEnd || (!layout.zip64 && layout.directoryEnd >= Max32))
        return false;
    layout.starts.push_back(layout.directoryEnd);
    return true;
}

} // namespace

namespace ZipRecords {

int occurrences(const std::vector<unsigned char> &data, const char *signature)
{
    int found = 0;
    for (size_t i = 0; i + 4 <= data.size(); ++i)
        found += std::memcmp(data.data() + i, signature, 4) == 0;
    return found;
}

bool readTail(int fd, std::vector<unsigned char> *tail, zip_uint64_t *tailAt)
{
    struct stat info;
    if (::fstat(fd, &info) != 0 || zip_uint64_t(info.st_size) < EndRecordSize)
        return false;
    const auto length = zip_uint64_t(info.st_size);
    tail->resize(size_t(std::min(length, TailSize)));
    *tailAt = length - tail->size();
    return readAt(fd, *tailAt, tail->data(), tail->size());
}

} // namespace ZipRecords

std::optional<ZipWindowLayout> ZipWindowLayout::plan(int fd, zip_uint64_t *base)
{
    const std::optional<Directory> directory = directoryOf(fd, base);
    if (!directory)
        return std::nullopt;
    ZipWindowLayout layout;
    layout.zip64 = directory->zip64;
    layout.count = directory->count;
    zip_uint64_t wholeMaximum = 0;
    std::tie(layout.window, wholeMaximum) = windowing();
    if (!layout.zip64)
        layout.window = std::min(layout.window, Max16);
    if (layout.count <= wholeMaximum || !walkHeaders(fd, *base, *directory, layout))
        return std::nullopt;
    return layout;
}

std::pair<zip_uint64_t, zip_uint64_t> ZipWindowLayout::windowing()
{
    const int wanted = qEnvironmentVariableIntValue("MTI_ZIP_WINDOW_ENTRIES");
    if (wanted > 0)
        return {zip_uint64_t(wanted), zip_uint64_t(wanted)};
    return {WindowEntries, WholeDirectoryMaximum};
}

zip_uint64_t ZipWindowLayout::entriesIn(size_t index) const
{
    return std::min(window, count - zip_uint64_t(index) * window);
}

std::vector<unsigned char> ZipWindowLayout::trailer(size_t index) const
{
    const zip_uint64_t length = starts[index + 1] - starts[index];
    const zip_uint64_t entries = entriesIn(index);
    const zip_uint64_t at = directoryEnd;
    std::vector<unsigned char> out;
    out.reserve(Zip64EndRecordSize + Zip64LocatorSize + EndRecordSize);
    if (zip64) {
        putSignature(out, "PK\6\6");
        for (const auto &[value, bytes] : {std::pair<zip_uint64_t, int>{Zip64EndRecordSize - 12, 8}, {45, 2}, {45, 2},
                                           {0, 4}, {0, 4}, {entries, 8}, {entries, 8}, {length, 8}, {at, 8}})
            put(out, value, bytes);
        putSignature(out, "PK\6\7");
        put(out, 0, 4);
        put(out, at + length, 8);
        put(out, 1, 4);
    }
    putSignature(out, "PK\5\6");
    put(out, 0, 2);
    put(out, 0, 2);
    put(out, zip64 ? Max16 : entries, 2);
    put(out, zip64 ? Max16 : entries, 2);
    put(out, zip64 ? Max32 : length, 4);
    put(out, zip64 ? Max32 : at, 4);
    put(out, 0, 2);
    return out;
}

zip_uint64_t ZipWindowLayout::shownSize(size_t index) const
{
    const zip_uint64_t length = starts[index + 1] - starts[index];
    return directoryEnd + length + (zip64 ? Zip64EndRecordSize + Zip64LocatorSize : 0) + EndRecordSize;
}
