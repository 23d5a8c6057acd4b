// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include <zip.h>

#include <functional>

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

// Checks the archive in the regular file fd that starts base bytes into it
// (offsets counted from there) and holds entries entries. Every directory
// the file's tail could name and that agrees is checked; memory stays at one
// small record per entry.
Finding check(int fd, zip_uint64_t base, zip_uint64_t entries, const Agrees &agrees);

} // namespace ZipEntrySpans
