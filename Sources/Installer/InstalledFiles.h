// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <map>
#include <optional>

class ProgressListener;

// The files of an installed template folder, as compared with a receipt or
// an archive's directory.
namespace InstalledFiles {

struct DiskFile
{
    QString path;  // as on disk, relative to the template folder
    qint64 size = 0;
};
using Listing = std::map<QString, DiskFile>;  // by FileNames::comparable path

// Every regular file below a folder (links are not followed), by its
// comparable path relative to it, prefixed with `prefix`.
void filesBelow(const QString &folder, const QString &prefix, Listing &files);

// Reads a file for its CRC-32, telling the listener of every chunk (done
// grows by what was read, of total); false when it could not be read or
// the listener said stop (then `stopped`).
bool fileCrc(const QString &path, quint32 *crc, ProgressListener *listener, qint64 &done, qint64 total,
             bool &stopped);

// The CRC-32 of a file, remembered for this process by the file's identity
// and change time: one run judging the same copy twice reads it once.
std::optional<quint32> rememberedCrc(const QString &path);

} // namespace InstalledFiles
