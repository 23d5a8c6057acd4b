// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "ZipArchive/ZipReader.h"

#include <QByteArray>
#include <QString>

#include <zip.h>

#include <ctime>
#include <functional>
#include <optional>

// The outcome of writing one file entry.
struct EntryResult
{
    enum Kind {
        Written,
        Damaged,      // written as far as it could be read; the walk goes on
        OpenFailed,   // the entry could not be opened: the walk stops
        WriteFailed,  // the walk stops; no partial file is left
        Stopped,      // told to stop; no partial file is left
    };
    Kind kind = Written;
    QString problem;
    int zipError = ZIP_ER_OK;
    int error = 0;
    // The file did not exist before: a parallel walk that must undo the work
    // of entries after a fatal one may remove it.
    bool created = false;

    // The messages the delegate is told for this outcome, which names the
    // entry as stored and the file it was to become.
    [[nodiscard]] ZipFault fault(const QString &name, const QString &target) const;
};

// Everything writing one file entry needs.
struct EntryJob
{
    zip_t *archive = nullptr;
    zip_uint64_t index = 0;
    // The size the directory declares; the data must match it exactly.
    zip_uint64_t declaredSize = 0;
    std::optional<time_t> mtime;
    // The PKWARE/AES password bytes; empty for an unencrypted entry.
    QByteArray password;
    QString target;
    // Scratch space of ZipEntryWriter::TransferBufferSize bytes.
    char *buffer = nullptr;
    // Told the bytes of each chunk written; answering false stops the entry.
    std::function<bool(qint64)> keepGoing;
};

namespace ZipEntryWriter {

// 64 KiB measured clearly faster than the classic 4 KiB; memory stays bounded
// whatever the archive's size. It is also the step at which a cancel stops.
constexpr size_t TransferBufferSize = 64 * 1024;

// Streams the entry into its target file, never through a symbolic link.
[[nodiscard]] EntryResult write(const EntryJob &job);

// A link stands where an entry would be written, or on its way there.
[[nodiscard]] ZipFault linkFault(const QString &path);
// The kind of fault a failed write or folder creation is, by its errno.
[[nodiscard]] ZipError::Code writeFault(int error);

} // namespace ZipEntryWriter
