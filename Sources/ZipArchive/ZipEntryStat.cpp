// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "ZipArchive/ZipEntryStat.h"

#include "ZipArchive/ZipEntrySpans.h"

#include <optional>

#include <sys/stat.h>

using ZipEntrySpans::little;

namespace {

// An empty entry whose attributes say folder, where the host they were
// written on is known to keep that bit there: MS-DOS, NTFS and VFAT keep
// the DOS attribute byte, Unix keeps its mode in the upper half.
bool folderByAttributes(zip_t *archive, zip_uint64_t index, const zip_stat_t &st)
{
    constexpr zip_uint32_t DosDirectory = 0x10;
    if (!(st.valid & ZIP_STAT_SIZE) || st.size != 0
        || ((st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE))
        return false;
    zip_uint8_t host = 0;
    zip_uint32_t attributes = 0;
    if (zip_file_get_external_attributes(archive, index, 0, &host, &attributes) != 0)
        return false;
    switch (host) {
    case ZIP_OPSYS_DOS:
    case ZIP_OPSYS_WINDOWS_NTFS:
    case ZIP_OPSYS_VFAT:
        return (attributes & DosDirectory) != 0;
    case ZIP_OPSYS_UNIX:
        return S_ISDIR(attributes >> 16);
    default:
        return false;
    }
}

// Seconds since 1970 from a 32-bit Unix time of the UT or UX field. Writers
// differ on its sign; a value past 2038 with a DOS time before then is a
// time before 1970 (DOS times cannot hold those and are clamped to 1980).
qint64 unixTime32(const unsigned char *p, qint64 dosTime)
{
    const auto value = zip_uint32_t(little(p, 4));
    if (value > zip_uint32_t(INT32_MAX) && dosTime < qint64(INT32_MAX))
        return qint64(zip_int32_t(value));
    return qint64(value);
}

// The modification time in an NTFS (0x000a), extended timestamp (UT,
// 0x5455) or old Info-ZIP Unix (UX, 0x5855) extra field of the central or
// local header, in that order: these are UTC and to the second or finer,
// where the DOS time is local wall-clock time in 2-second steps from 1980.
std::optional<qint64> extendedMtime(zip_t *archive, zip_uint64_t index, zip_flags_t where, qint64 dosTime)
{
    constexpr zip_uint16_t Ntfs = 0x000a;
    constexpr zip_uint16_t ExtendedTimestamp = 0x5455;
    constexpr zip_uint16_t InfoZipUnix = 0x5855;
    zip_uint16_t length = 0;
    if (const zip_uint8_t *field = zip_file_extra_field_get_by_id(archive, index, Ntfs, 0, &length, where)) {
        // Four reserved bytes, then tagged attributes; tag 1 holds mtime,
        // atime and ctime as FILETIMEs, 100 ns steps since 1601.
        constexpr qint64 From1601To1970 = 11644473600;
        for (size_t at = 4; at + 4 <= length;) {
            const auto tag = little(field + at, 2);
            const auto size = size_t(little(field + at + 2, 2));
            if (at + 4 + size > length)
                break;
            if (tag == 1 && size >= 24) {
                const zip_uint64_t filetime = little(field + at + 4, 8);
                if (filetime != 0)
                    return qint64(filetime / 10000000) - From1601To1970;
                break;
            }
            at += 4 + size;
        }
    }
    if (const zip_uint8_t *field = zip_file_extra_field_get_by_id(archive, index, ExtendedTimestamp, 0, &length, where)) {
        // A flags byte; bit 0: the mtime follows.
        if (length >= 5 && (field[0] & 1))
            return unixTime32(field + 1, dosTime);
    }
    if (const zip_uint8_t *field = zip_file_extra_field_get_by_id(archive, index, InfoZipUnix, 0, &length, where)) {
        // atime, then mtime.
        if (length >= 8)
            return unixTime32(field + 4, dosTime);
    }
    return std::nullopt;
}

} // namespace

bool ZipEntryStat::read(zip_t *archive, zip_uint64_t index, ZipReader::Entry *entry, const char **name)
{
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(archive, index, ZIP_FL_ENC_GUESS, &st) != 0 || !(st.valid & ZIP_STAT_NAME))
        return false;
    entry->valid = zip_uint16_t(st.valid);
    entry->size = (st.valid & ZIP_STAT_SIZE) ? st.size : 0;
    entry->compressedSize = (st.valid & ZIP_STAT_COMP_SIZE) ? st.comp_size : 0;
    entry->crc = (st.valid & ZIP_STAT_CRC) ? st.crc : 0;
    entry->mtime = (st.valid & ZIP_STAT_MTIME) ? qint64(st.mtime) : 0;
    // The central header's fields first; only when it has none is the local
    // header read for them.
    std::optional<qint64> mtime = extendedMtime(archive, index, ZIP_FL_CENTRAL, entry->mtime);
    if (!mtime)
        mtime = extendedMtime(archive, index, ZIP_FL_LOCAL, entry->mtime);
    if (mtime) {
        entry->mtime = *mtime;
        entry->valid |= ZIP_STAT_MTIME;
    }
    entry->compressionMethod = (st.valid & ZIP_STAT_COMP_METHOD) ? st.comp_method : 0;
    entry->encryptionMethod = (st.valid & ZIP_STAT_ENCRYPTION_METHOD) ? st.encryption_method : 0;
    entry->folderByAttributes = folderByAttributes(archive, index, st);
    *name = st.name;
    return true;
}
