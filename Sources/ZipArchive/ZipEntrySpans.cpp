// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "ZipArchive/ZipEntrySpans.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace ZipEntrySpans {

namespace {

constexpr zip_uint64_t EndRecordSize = 22;
constexpr zip_uint64_t Zip64LocatorSize = 20;
constexpr zip_uint64_t Zip64EndRecordSize = 56;
constexpr size_t CentralHeaderSize = 46;
constexpr zip_uint64_t LocalHeaderSize = 30;
// Where libzip looks for the end record: the largest comment, the record
// and the Zip64 locator before it.
constexpr zip_uint64_t TailSize = 0xffff + EndRecordSize + Zip64LocatorSize;
// Holds a central header with the largest name, extra field and comment.
constexpr size_t BlockSize = 256 * 1024;
constexpr zip_uint64_t Max32 = 0xffffffff;

struct Span
{
    zip_uint64_t start;
    zip_uint64_t end;
    zip_uint64_t index;
};

enum class Outcome { Disagrees, Separate, Overlapping };

// Reads `entries` central headers from directoryOffset and looks for
// overlapping spans. Reads exactly as many headers as libzip holds entries:
// Info-ZIP keeps only the count modulo 65536 in archives it writes without
// Zip64, and libzip reads on to the directory's end.
// Where a directory to check lies: in fd from base, length bytes long,
// `entries` headers from directoryOffset.
struct Candidate
{
    int fd = -1;
    zip_uint64_t base = 0;
    zip_uint64_t length = 0;
    zip_uint64_t directoryOffset = 0;
    zip_uint64_t entries = 0;
};

Outcome checkDirectory(const Candidate &at, const Agrees &agrees, std::vector<Span> &spans, Finding &finding)
{
    if (at.directoryOffset >= at.length)
        return Outcome::Disagrees;
    spans.clear();
    DirectoryReader reader(at.fd, at.base + at.directoryOffset, at.base + at.length);
    for (zip_uint64_t i = 0; i < at.entries; ++i) {
        const std::optional<CentralHeader> header = readCentralHeader(reader);
        if (!header)
            return Outcome::Disagrees;
        const zip_uint64_t compressedSize = header->compressedSize;
        const zip_uint64_t offset = header->localHeaderOffset;
        if (!agrees(i, compressedSize, header->crc))
            return Outcome::Disagrees;
        const zip_uint64_t header30 = offset + LocalHeaderSize;
        const zip_uint64_t end = header30 < offset || compressedSize > UINT64_MAX - header30
            ? UINT64_MAX
            : header30 + compressedSize;
        spans.push_back({offset, end, i});
    }

    std::sort(spans.begin(), spans.end(), [](const Span &a, const Span &b) {
        return a.start != b.start ? a.start < b.start : a.index < b.index;
    });
    // The span reaching furthest so far: any later start before its end overlaps it.
    const Span *reaching = spans.empty() ? nullptr : &spans.front();
    for (size_t i = 1; i < spans.size(); ++i) {
        if (spans[i].start < reaching->end) {
            finding.kind = Finding::Overlapping;
            finding.earlier = reaching->index;
            finding.later = spans[i].index;
            return Outcome::Overlapping;
        }
        if (spans[i].end > reaching->end)
            reaching = &spans[i];
    }
    return Outcome::Separate;
}

// The Zip64 extra field (id 1) among a header's extra fields, or null.
const unsigned char *zip64Field(const unsigned char *extra, size_t length, size_t *fieldLength)
{
    for (size_t at = 0; at + 4 <= length;) {
        const auto id = little(extra + at, 2);
        const auto size = size_t(little(extra + at + 2, 2));
        if (size > length - at - 4)
            break;
        if (id == 1) {
            *fieldLength = size;
            return extra + at + 4;
        }
        at += 4 + size;
    }
    return nullptr;
}

} // namespace

zip_uint64_t little(const unsigned char *p, int bytes)
{
    zip_uint64_t value = 0;
    for (int i = bytes; i-- > 0;)
        value = value << 8 | p[i];
    return value;
}

bool readAt(int fd, zip_uint64_t at, unsigned char *data, size_t length)
{
    size_t got = 0;
    while (got < length) {
        if (at + got > zip_uint64_t(INT64_MAX))
            return false;
        const ssize_t n = ::pread(fd, data + got, length - got, off_t(at + got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        got += size_t(n);
    }
    return true;
}

DirectoryReader::DirectoryReader(int fd, zip_uint64_t start, zip_uint64_t end)
    : _fd(fd), _position(start), _end(end), _block(BlockSize)
{
}

const unsigned char *DirectoryReader::take(size_t length)
{
    if (_position > _end || length > _end - _position)
        return nullptr;
    if (_position < _blockStart || _position + length > _blockStart + _blockLength) {
        _blockStart = _position;
        _blockLength = size_t(std::min<zip_uint64_t>(BlockSize, _end - _position));
        if (length > _blockLength || !readAt(_fd, _blockStart, _block.data(), _blockLength)) {
            _blockLength = 0;
            return nullptr;
        }
    }
    const unsigned char *data = _block.data() + (_position - _blockStart);
    _position += length;
    return data;
}

std::optional<CentralHeader> readCentralHeader(DirectoryReader &reader)
{
    const unsigned char *fixed = reader.take(CentralHeaderSize);
    if (!fixed || std::memcmp(fixed, "PK\1\2", 4) != 0)
        return std::nullopt;
    CentralHeader header;
    header.crc = zip_uint32_t(little(fixed + 16, 4));
    header.compressedSize = little(fixed + 20, 4);
    header.size = little(fixed + 24, 4);
    header.nameLength = size_t(little(fixed + 28, 2));
    const auto extraLength = size_t(little(fixed + 30, 2));
    const auto commentLength = size_t(little(fixed + 32, 2));
    header.localHeaderOffset = little(fixed + 42, 4);
    const unsigned char *variable = reader.take(header.nameLength + extraLength + commentLength);
    if (!variable)
        return std::nullopt;
    if (header.size == Max32 || header.compressedSize == Max32 || header.localHeaderOffset == Max32) {
        size_t fieldLength = 0;
        // Only the values saturated above are in the field, in this order.
        if (const unsigned char *field = zip64Field(variable + header.nameLength, extraLength, &fieldLength)) {
            size_t used = 0;
            const auto next = [&](zip_uint64_t &value) {
                if (value != Max32)
                    return true;
                if (fieldLength - used < 8)
                    return false;
                value = little(field + used, 8);
                used += 8;
                return true;
            };
            if (!next(header.size) || !next(header.compressedSize) || !next(header.localHeaderOffset))
                return std::nullopt;
        }
    }
    return header;
}

Finding check(int fd, zip_uint64_t base, zip_uint64_t entries, const Agrees &agrees)
{
    Finding finding;
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || zip_uint64_t(info.st_size) < base)
        return finding;
    const zip_uint64_t length = zip_uint64_t(info.st_size) - base;
    if (length < EndRecordSize)
        return finding;
    std::vector<unsigned char> tail(size_t(std::min(length, TailSize)));
    if (!readAt(fd, base + length - tail.size(), tail.data(), tail.size()))
        return finding;

    // libzip picks among end records by rules that changed between versions;
    // every record here that names a directory agreeing with its entries is
    // checked, so whichever it took is among them.
    std::vector<Span> spans;
    spans.reserve(size_t(std::min<zip_uint64_t>(entries, SIZE_MAX / sizeof(Span))));
    std::vector<zip_uint64_t> checked;
    for (size_t i = 0; i + EndRecordSize <= tail.size(); ++i) {
        if (tail[i] != 'P' || std::memcmp(tail.data() + i, "PK\5\6", 4) != 0)
            continue;
        zip_uint64_t directoryOffset = little(tail.data() + i + 16, 4);
        // A Zip64 locator right before the record: libzip then takes the
        // directory from the Zip64 end record.
        if (i >= Zip64LocatorSize && std::memcmp(tail.data() + i - Zip64LocatorSize, "PK\6\7", 4) == 0) {
            const zip_uint64_t recordOffset = little(tail.data() + i - Zip64LocatorSize + 8, 8);
            unsigned char record[Zip64EndRecordSize];
            if (recordOffset > length || Zip64EndRecordSize > length - recordOffset
                || !readAt(fd, base + recordOffset, record, sizeof record) || std::memcmp(record, "PK\6\6", 4) != 0)
                continue;
            directoryOffset = little(record + 48, 8);
        }
        if (std::find(checked.begin(), checked.end(), directoryOffset) != checked.end())
            continue;
        checked.push_back(directoryOffset);
        switch (checkDirectory({fd, base, length, directoryOffset, entries}, agrees, spans, finding)) {
        case Outcome::Overlapping:
            return finding;
        case Outcome::Separate:
            finding.kind = Finding::Separate;
            break;
        case Outcome::Disagrees:
            break;
        }
    }
    return finding;
}

} // namespace ZipEntrySpans
