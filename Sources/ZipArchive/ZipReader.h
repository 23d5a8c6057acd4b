// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "ZipArchive/ZipArchive.h"
#include "ZipArchive/ZipEntrySpans.h"
#include "ZipArchive/ZipHandles.h"
#include "ZipArchive/ZipWindowLayout.h"

#include <QString>

#include <zip.h>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

// A refusal or fault with the messages the delegate is told: generic (when
// not empty), then detail.
struct ZipFault
{
    ZipError::Code code = ZipError::None;
    QString generic;
    QString detail;
};

// An archive open for reading, shared by unpacking and listing so that both
// open, check and refuse alike by construction.
//
// libzip keeps about 270 bytes of its own for every entry of a directory it
// reads. An archive of many entries whose end records and directory are
// plainly sound is therefore read a window of entries at a time: libzip is
// shown the file with a copy of those central headers and end records naming
// only them placed after the directory, so every local header and all data
// stay where the offsets say. Whatever is not plainly sound, and any window
// libzip would not read, goes to libzip whole, as small archives do: its
// verdict on the whole archive is the one that counts.
class ZipReader
{
public:
    // What libzip's zip_stat tells of one entry, compactly.
    struct Entry
    {
        zip_uint64_t size = 0;
        zip_uint64_t compressedSize = 0;
        qint64 mtime = 0;
        zip_uint32_t crc = 0;
        zip_uint16_t compressionMethod = 0;
        zip_uint16_t encryptionMethod = 0;
        zip_uint16_t valid = 0;  // ZIP_STAT_* bits; none when the entry could not be read
        // Empty and marked a folder by its attributes alone, without the
        // trailing slash, as some Windows tools write folders.
        bool folderByAttributes = false;
    };
    // Whether the entry of that name is a folder: the one test unpacking and
    // listing both use.
    static bool isFolder(const QString &name, const Entry &entry);
    // Called for every entry in directory order with its name as unpacking
    // decodes it; entry is null when libzip could not read it. Starts over
    // at index 0 when a window had to give way to the whole directory.
    using Visitor = std::function<void(zip_uint64_t index, const Entry *entry, const char *name)>;

    // Opens path when it is a regular file (or a link to one), without ever
    // blocking on a pipe or acting on a device; null with the fault set.
    [[nodiscard]] static std::unique_ptr<ZipReader> open(const QString &path, ZipFault *fault);
    ~ZipReader();
    ZipReader(const ZipReader &) = delete;
    ZipReader &operator=(const ZipReader &) = delete;

    // Goes over every entry; false with the fault set when libzip cannot
    // read the archive's directory (then it is no zip).
    [[nodiscard]] bool visit(const Visitor &visitor, ZipFault *fault);
    // visit, keeping every entry for entry() and name(); `also`, when set,
    // is shown each entry as visit shows it.
    [[nodiscard]] bool load(ZipFault *fault, const Visitor &also = {});

    zip_uint64_t count() const { return _windowed ? _layout.count : _wholeCount; }
    const Entry &entry(zip_uint64_t index) const { return _entries[size_t(index)]; }
    QString name(zip_uint64_t index) const;
    bool windowed() const { return _windowed; }
    const QString &path() const { return _path; }
    int fd() const { return _fd; }

    // The libzip archive that holds entry index, and the index in it; null
    // with libzip's reason in problem when its window cannot be read again.
    // The caller's thread only: a window replaces the one before.
    [[nodiscard]] zip_t *archiveFor(zip_uint64_t index, zip_uint64_t *indexInArchive, QString *problem);
    // A libzip archive over the whole directory on its own descriptor, for a
    // worker thread; null when windowed or it cannot be opened.
    [[nodiscard]] ZipHandles::ArchivePtr openWholeCopy() const;

    // Refuses archives whose entries share data, or whose directory cannot
    // be read again to tell; agrees compares with what libzip read, nameOf
    // names entries for the message.
    [[nodiscard]] std::optional<ZipFault> overlapRefusal(const ZipEntrySpans::Agrees &agrees,
                                           const std::function<QString(zip_uint64_t)> &nameOf) const;

    // Directories of more entries than this are read in windows of
    // WindowEntries; MTI_ZIP_WINDOW_ENTRIES, when set, sets both instead.
    // Unpacking on workers wants the whole directory, so the first is the
    // largest count workers unpack.
    static constexpr zip_uint64_t WholeDirectoryMaximum = ZipWindowLayout::WholeDirectoryMaximum;
    static constexpr zip_uint64_t WindowEntries = ZipWindowLayout::WindowEntries;

    // The shared refusals.
    static ZipFault noEntries();
    static ZipFault statFailed();
    // An entry that may not be unpacked: an unsafe name, a method that cannot
    // be decoded, encryption without a password. Folders are refused for
    // their names only.
    [[nodiscard]] static std::optional<ZipFault> entryRefusal(const QString &name, bool isDirectory, const Entry &entry,
                                                bool havePassword);

private:
    ZipReader(const QString &path, int fd);
    [[nodiscard]] bool openWhole(ZipFault *fault);
    [[nodiscard]] ZipHandles::ArchivePtr openWindow(size_t window, zip_error_t *error) const;
    ZipFault notAZip(const zip_error_t &error) const;

    QString _path;
    int _fd = -1;
    zip_uint64_t _base = 0;
    ZipHandles::ArchivePtr _whole;
    zip_uint64_t _wholeCount = 0;
    bool _windowed = false;
    ZipWindowLayout _layout;
    ZipHandles::ArchivePtr _window;
    size_t _windowIndex = 0;
    std::vector<Entry> _entries;
    // Every entry's name, one after the other, and where each ends.
    std::vector<char> _names;
    std::vector<zip_uint64_t> _nameEnds;
};
