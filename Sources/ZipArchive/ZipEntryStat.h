// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "ZipArchive/ZipReader.h"

#include <zip.h>

// What the directory tells of one entry, read as unpacking and listing both
// read it: times from the extra fields where there are some, folders also
// by their attributes.
namespace ZipEntryStat {

// Fills entry and points name at libzip's copy of the entry's name (valid
// while the archive is open); false when libzip cannot read the entry.
[[nodiscard]] bool read(zip_t *archive, zip_uint64_t index, ZipReader::Entry *entry, const char **name);

} // namespace ZipEntryStat
