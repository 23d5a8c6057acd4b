// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include <zip.h>

#include <functional>
#include <optional>
#include <vector>

// Finds entries whose data overlap, as overlapping "zip bombs" have: many
// directory entries pointing into one another's data, or all at one local
// header, so that a small file unpacks to gigabytes.
//
// libzip 1.7 does not tell where an entry's local header lies, so the
// central directory is read here a second time. Each entry is taken to span
// [local header, local header + 30 + compressed size): never more than its
// real extent, so entries of a sound archive never overlap.
namespace ZipEntrySpans {

// Whether entry index of the archive libzip opened has this compressed size
// and CRC; a directory read here counts only when all its entries agree.
using Agrees = std::function<bool(zip_uint64_t index, zip_uint64_t compressedSize, zip_uint32_t crc)>;

struct Finding
{
    enum Kind {
        Separate,     // no two entries overlap
        Overlapping,  // later's span starts inside earlier's
        Unreadable,   // no directory agreeing with libzip's entries was found
    };
    Kind kind = Unreadable;
    zip_uint64_t earlier = 0;
    zip_uint64_t later = 0;
};

// Serves a central directory front to back from large reads, so a
// directory of any size costs one block of memory.
class DirectoryReader
{
public:
    DirectoryReader(int fd, zip_uint64_t start, zip_uint64_t end);

    // The next length bytes, valid until the next call; null when the file
    // ends first or cannot be read.
    const unsigned char *take(size_t length);
    // Where the next take starts, in the file.
    zip_uint64_t position() const { return _position; }

private:
    int _fd;
    zip_uint64_t _position;
    zip_uint64_t _end;
    std::vector<unsigned char> _block;
    zip_uint64_t _blockStart = 0;
    size_t _blockLength = 0;
};

// One central header, its Zip64 extra field applied.
struct CentralHeader
{
    zip_uint64_t compressedSize = 0;
    zip_uint64_t size = 0;
    zip_uint64_t localHeaderOffset = 0;
    zip_uint32_t crc = 0;
    size_t nameLength = 0;
};

// The central header at the reader's position, or none when there is no
// sound one.
[[nodiscard]] std::optional<CentralHeader> readCentralHeader(DirectoryReader &reader);

// Little-endian value of bytes 1 to 8 bytes long.
zip_uint64_t little(const unsigned char *p, int bytes);
// Reads exactly length bytes at offset at of fd.
[[nodiscard]] bool readAt(int fd, zip_uint64_t at, unsigned char *data, size_t length);

// Checks the archive in the regular file fd that starts base bytes into it
// (offsets counted from there) and holds entries entries. Every directory
// the file's tail could name and that agrees is checked; memory stays at one
// small record per entry.
[[nodiscard]] Finding check(int fd, zip_uint64_t base, zip_uint64_t entries, const Agrees &agrees);

} // namespace ZipEntrySpans
