// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "ZipArchive/ZipReader.h"

#include <QByteArray>
#include <QString>

#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

// What unpacking an archive writes where, decided before anything is
// written: an archive that would escape the destination, cannot be decoded,
// shares data between entries or does not fit is refused with nothing on disk.
struct UnpackPlan
{
    // One record an entry, in central directory order: what extraction needs
    // besides the name, which the reader keeps (16 bytes).
    struct Entry
    {
        zip_uint64_t size = 0;
        qint64 mtime : 62 = 0;
        bool isDirectory : 1 = false;
        bool hasMtime : 1 = false;
    };
    static_assert(sizeof(Entry) == 16);
    std::vector<Entry> entries;
    QString destination;
    QByteArray password;
    quint64 totalBytes = 0;
    zip_uint64_t fileEntries = 0;
    bool encrypted = false;
    // Entries (by their names as stored) whose damage is left out instead of
    // failing the unpack; asked from worker threads too.
    std::function<bool(const QString &name)> spares;

    // Fills the plan from every entry's header for unpacking into path; the
    // refusal when nothing may be written. reader is null when no archive is open.
    [[nodiscard]] std::optional<ZipFault> build(const ZipReader *reader, const QString &path,
                                                const QByteArray &asciiPassword);

    qint64 progressTotal() const;
    // Where entry index goes; name, when given, is told the name as stored.
    QString targetOf(const ZipReader &reader, zip_uint64_t index, QString *name = nullptr) const;
    // The folder entry index needs: itself, or the one its file goes in.
    std::filesystem::path folderOf(const ZipReader &reader, zip_uint64_t index) const;

private:
    [[nodiscard]] std::optional<ZipFault> addEntries(const ZipReader &reader);
    [[nodiscard]] std::optional<ZipFault> spaceRefusal(const QString &path) const;
};

// Makes the folders entries need below a destination, one after another.
// A link on the way refuses: the folder it points to may lie anywhere, and
// nothing is written outside the destination.
class UnpackFolders
{
public:
    explicit UnpackFolders(const QString &destination);

    // Makes folder (below the destination) unless it is the one made last:
    // entries come folder by folder.
    [[nodiscard]] std::optional<ZipFault> make(const std::filesystem::path &folder);

private:
    std::filesystem::path _destination;
    std::filesystem::path _lastMade;
};

// Whether two entries would write one path, or a file where another entry
// needs a folder: then the order of writing matters and only the caller's
// thread keeps it.
bool targetsCollide(const ZipReader &reader);
