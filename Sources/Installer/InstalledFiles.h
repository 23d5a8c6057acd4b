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

// Progress over the reads of many files: `done` grows by what was read, of
// `total`; `stopped` once the listener said stop.
struct ReadProgress
{
    ProgressListener *listener = nullptr;
    qint64 done = 0;
    qint64 total = 0;
    bool stopped = false;
};

// Reads a file for its CRC-32, telling the listener of every chunk; nullopt
// when it could not be read or the listener said stop.
std::optional<quint32> fileCrc(const QString &path, ReadProgress &progress);

// The CRC-32 of a file, remembered for this process by the file's identity
// and change time: one run judging the same copy twice reads it once.
std::optional<quint32> rememberedCrc(const QString &path);

} // namespace InstalledFiles
