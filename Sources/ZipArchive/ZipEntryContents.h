// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Common/Expected.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <zip.h>

#include <memory>
#include <optional>

class ZipReader;

// Files of an archive read into memory, nothing unpacked: for what is only
// looked at, such as the template documents a listing shows. Entries are
// named by their relative paths as unpacking writes them
// (ZipDirectory::Entry::relativePath); those of unsafe names are not there.
// Faults are Errors of the zip domain (ZipError::toError).
class ZipEntryContents
{
public:
    // Opens the archive and reads its directory.
    [[nodiscard]] static Expected<std::unique_ptr<ZipEntryContents>> open(const QString &zipFile);
    // Over a reader whose directory is read and kept already (ZipReader::load).
    [[nodiscard]] static std::unique_ptr<ZipEntryContents> over(std::unique_ptr<ZipReader> loaded);
    ~ZipEntryContents();
    ZipEntryContents(const ZipEntryContents &) = delete;
    ZipEntryContents &operator=(const ZipEntryContents &) = delete;

    // Whether a file (not a folder) lies at that relative path.
    bool contains(const QString &relativePath) const { return _files.contains(relativePath); }
    // The names of the files directly in a folder ("" for the top), in
    // directory order.
    QStringList filesIn(const QString &folder) const { return _folders.value(folder); }

    struct Contents
    {
        QByteArray bytes;
        bool truncated = false;  // the entry holds more than was read
    };
    // The first `maxBytes` of the file at that path. An entry read whole has
    // its CRC checked (Damaged when it does not match); a truncated read
    // stops before the CRC can be known. Inflating never goes beyond the
    // bound, whatever the entry claims.
    [[nodiscard]] Expected<Contents> read(const QString &relativePath, qint64 maxBytes);

    // read() in two steps, so that many entries inflate on many threads:
    // take() reads a deflated entry's data as the archive holds it (reading
    // the archive is this object's, one thread at a time); inflate() then
    // gives read()'s answer on any thread. Other entries are read whole by
    // take().
    struct Taken
    {
        QByteArray deflated;
        zip_uint32_t crc = 0;
        zip_uint64_t size = 0;   // as the directory states it
        qint64 maxBytes = 0;
        std::optional<Contents> contents;  // read already
    };
    [[nodiscard]] Expected<Taken> take(const QString &relativePath, qint64 maxBytes);
    [[nodiscard]] static Expected<Contents> inflate(Taken &&taken);

private:
    explicit ZipEntryContents(std::unique_ptr<ZipReader> reader);
    // read() of a directory index; of the data as stored when `compressed`.
    Expected<Contents> readIndex(zip_uint64_t index, qint64 maxBytes, bool compressed);

    std::unique_ptr<ZipReader> _reader;
    QHash<QString, quint64> _files;       // relative path -> directory index
    QHash<QString, QStringList> _folders; // folder -> names of its files
};
