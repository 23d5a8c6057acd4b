// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Common/Error.h"

#include <QString>

#include <filesystem>
#include <optional>

class ProgressListener;

// File-system work that reports failures as Error values (POSIX domain,
// errno codes), never by exceptions.
namespace FileOperations {

// A path in the file system's own encoding.
std::filesystem::path toFsPath(const QString &path);
// Writes all of data, going on after short writes and EINTR; false with errno
// set on failure.
bool writeAll(int fd, const char *data, qsizetype size);

bool exists(const QString &path);   // anything at path, links not followed
bool isDirectory(const QString &path);

std::optional<Error> createDirectories(const QString &path);
// Removes path and everything below it; a missing path is no error.
std::optional<Error> removeAll(const QString &path);

// Sum of the sizes of the regular files at or below path.
qint64 treeSize(const QString &path);

// Copies the file or folder at source to destination, which must not exist.
// Regular files are cloned where the file system can (reflinks with
// FICLONE or copy_file_range on Linux, fclonefileat on macOS), keeping permissions
// and modification times; symbolic links are copied as links. `listener`, if
// given, hears the bytes copied so far, offset by `doneBefore`, of `total`;
// answering false stops the copy with ECANCELED.
std::optional<Error> copyTree(const QString &source, const QString &destination,
                              ProgressListener *listener = nullptr,
                              qint64 doneBefore = 0, qint64 total = 0);

// Renames source to destination (which must not exist): instant, but only
// within one file system; EXDEV otherwise.
std::optional<Error> moveTree(const QString &source, const QString &destination);

// Moves path to the Trash of its volume; false where the volume has none
// (or the move failed), and then nothing changed.
bool moveToTrash(const QString &path);

// Whether a process with this id runs on this machine.
bool isProcessRunning(qint64 pid);

// Who may own a file readSmallFile reads.
enum class FileOwner {
    SelfOrRoot,  // the effective user, or root: what someone else planted is not trusted
    Anyone,
};

// A file read whole by readSmallFile, or why it was not.
struct SmallFile
{
    std::optional<QByteArray> contents;
    int error = 0;    // errno-style: ENOENT when nothing is there
    QString problem;  // for the log: "not a regular file", "a symbolic link", ...

    explicit operator bool() const { return contents.has_value(); }
};

// Reads a file of this system's own (a journal, a receipt, a lock) in a
// folder others may write into: only a regular file, never through a
// symbolic link, owned as `owner` says and of at most `limit` bytes. What
// else stands there (a FIFO, a device, a folder, a link to /dev/zero) is
// never opened or never read, so it cannot block the caller or fill its
// memory.
SmallFile readSmallFile(const QString &path, qint64 limit, FileOwner owner = FileOwner::SelfOrRoot);

// Removes root/relative and everything below it through folder
// descriptors: each folder on the way is opened from the one above without
// following links, so a folder swapped for a link is never followed; links
// below are removed as links. `relative` is "/"-separated, without "." or
// ".." (EINVAL otherwise); a link on the way fails with ELOOP, and a
// missing path is no error.
std::optional<Error> removeAllBeneath(const QString &root, const QString &relative);

} // namespace FileOperations
