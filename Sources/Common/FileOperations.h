// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Common/Error.h"
#include "Common/FileDescriptor.h"

#include <QByteArray>
#include <QString>

#include <filesystem>
#include <optional>
#include <system_error>

class ProgressListener;

// File-system work that reports failures as Error values (POSIX domain,
// errno codes), never by exceptions.
namespace FileOperations {

// A path in the file system's own encoding.
std::filesystem::path toFsPath(const QString &path);
// Writes all of data, going on after short writes and EINTR; false with errno
// set on failure.
[[nodiscard]] bool writeAll(int fd, const char *data, qsizetype size);

bool exists(const QString &path);   // anything at path, links not followed
bool isDirectory(const QString &path);

[[nodiscard]] std::optional<Error> createDirectories(const QString &path);
// Removes path and everything below it; a missing path is no error.
[[nodiscard]] std::optional<Error> removeAll(const QString &path);

// Sum of the sizes of the regular files at or below path.
qint64 treeSize(const QString &path);

// Copies the file or folder at source to destination, which must not exist.
// Regular files are cloned where the file system can (reflinks with
// FICLONE or copy_file_range on Linux, fclonefileat on macOS), keeping permissions
// and modification times; symbolic links are copied as links. `listener`, if
// given, hears the bytes copied so far, offset by `doneBefore`, of `total`;
// answering false stops the copy with ECANCELED.
[[nodiscard]] std::optional<Error> copyTree(const QString &source, const QString &destination,
                              ProgressListener *listener = nullptr,
                              qint64 doneBefore = 0, qint64 total = 0);

// Which file a name stood for: compared to see whether it was swapped since.
struct FileId
{
    quint64 device = 0;
    quint64 inode = 0;
    friend bool operator==(const FileId &, const FileId &) = default;
};
// What stands at `name` in the open folder `folder` (a link as itself).
std::optional<FileId> fileIdAt(int folder, const char *name);

// Where copyTreeInto copies to, and whom it tells how far it got.
struct CopyTarget
{
    int folder = -1;   // the open folder the copy is made in
    QByteArray name;   // as which (must not exist)
    QString shownAs;   // where the user looks for it: errors name it
    ProgressListener *listener = nullptr;
    qint64 doneBefore = 0;
    qint64 total = 0;
};

// copyTree into the open folder `target.folder`, as `target.name`, and only
// through descriptors: each folder the copy creates is opened without
// following links and written into through its descriptor, so a name
// someone swaps for a link meanwhile fails rather than leads elsewhere. The
// source (this process's own unpack folder) is read by path. Errors name
// `target.shownAs` and the paths below it; `created`, if given, learns what
// the copy made.
[[nodiscard]] std::optional<Error> copyTreeInto(const QString &source, const CopyTarget &target,
                                                std::optional<FileId> *created = nullptr);

// Opens the folder at path, following links: the caller chose it.
FileDescriptor openFolder(const QString &path, std::error_code &ec);
// What opening a folder does with a symbolic link on the way.
enum class LinksOnTheWay {
    Refuse,     // fails with ELOOP
    // Follows a link the effective user or root made (a kind folder moved to
    // a larger disk and linked back), so the folder opened may lie elsewhere;
    // refuses one anybody else made (ELOOP): they may have swapped it in.
    FollowOwn,
};
// Opens the entry `name` of the open folder `folder` as a folder.
FileDescriptor openSubfolder(int folder, const char *name, std::error_code &ec,
                             LinksOnTheWay links = LinksOnTheWay::Refuse);
// Opens `relative` ("/"-separated, without "." or ".."; EINVAL otherwise;
// empty: the folder itself) below the open folder `folder`, a link on the
// way treated as `links` says: with openat2 and RESOLVE_BENEATH |
// RESOLVE_NO_SYMLINKS where the Linux kernel has it, else (and to follow a
// link) one component at a time. A file on the way fails with ENOTDIR.
FileDescriptor openFolderBeneath(int folder, const QString &relative, std::error_code &ec,
                                 LinksOnTheWay links = LinksOnTheWay::Refuse);
// As openFolderBeneath, making the folders missing on the way; a folder it
// made is opened without following anything swapped in meanwhile.
FileDescriptor makeFolderBeneath(int folder, const QString &relative, std::error_code &ec,
                                 LinksOnTheWay links = LinksOnTheWay::Refuse);
// Renames root/from to root/to (which must not exist; the folders on the
// way to it are made) in one renameat between the two folders, each opened
// beneath the root: of links on the way only the user's own (or root's)
// are followed. EXDEV where the two lie on different volumes.
[[nodiscard]] std::optional<Error> moveBeneath(const QString &root, const QString &from, const QString &to);
// Writes root/relative whole (its folders made as needed), or removes it
// when `contents` is empty, through folders opened beneath the root without
// following any link: a small file of the system's own (a receipt) in a
// folder others may write into.
[[nodiscard]] std::optional<Error> replaceFileBeneath(const QString &root, const QString &relative,
                                                     const std::optional<QByteArray> &contents);
// For tests: false makes openFolderBeneath walk even where openat2 is there.
void setOpenat2Allowed(bool allowed);

// Renames `from` in the open folder `fromFolder` to `to` in `toFolder`
// (AT_FDCWD: by path), failing with EEXIST when anything stands at `to`.
std::error_code renameNoReplace(int fromFolder, const char *from, int toFolder, const char *to);

// Removes the entry `name` of the open folder `folder` and everything below
// it, links as links; a missing entry is no error.
std::error_code removeAllAt(int folder, const char *name);

// Renames source to destination (which must not exist): instant, but only
// within one file system; EXDEV otherwise.
[[nodiscard]] std::optional<Error> moveTree(const QString &source, const QString &destination);

// Moves path to the Trash of its volume; false where the volume has none
// (or the move failed), and then nothing changed.
[[nodiscard]] bool moveToTrash(const QString &path);

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
// missing path is no error. With LinksOnTheWay::FollowOwn, the user's own
// links on the way to it (a kind folder on another disk) are followed.
[[nodiscard]] std::optional<Error> removeAllBeneath(const QString &root, const QString &relative,
                                                   LinksOnTheWay links = LinksOnTheWay::Refuse);

} // namespace FileOperations
