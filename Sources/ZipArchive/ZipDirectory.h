// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <memory>
#include <optional>
#include <vector>

class ZipArchiveDelegate;
class ZipReader;

// An archive's central directory, read without unpacking anything.
//
// Refuses an archive exactly where ZipArchive::UnzipOpenFile and
// UnzipFileTo (without a password) refuse it before writing anything, with
// the same messages to the delegate in the same order: not a regular file,
// not a zip, no entries, an unsafe name, a method that cannot be decoded, an
// encrypted entry, overlapping data. What only the entries' data shows (CRC
// errors, short entries) and what depends on the destination (free space,
// failed writes) cannot be seen here.
namespace ZipDirectory {

struct Entry
{
    QString name;          // as stored, decoded as unpacking decodes it
    QString relativePath;  // where unpacking writes it below its destination
    bool isDirectory = false;
    quint64 size = 0;      // uncompressed bytes
    quint32 crc32 = 0;     // as the directory records it
};

// The entries in directory order, or none when the archive is refused.
// `loaded`, when given and the archive is not refused, is handed the reader
// with every entry kept (ZipReader::load): whatever reads entries next
// needs not read the directory again.
[[nodiscard]] std::optional<std::vector<Entry>> read(const QString &zipFile, ZipArchiveDelegate *delegate,
                                                     std::unique_ptr<ZipReader> *loaded = nullptr);

// The name of the first encrypted file entry, as stored: the one a
// password is asked for. Empty when none is, or the archive cannot be read.
QString firstEncryptedEntry(const QString &zipFile);

} // namespace ZipDirectory
