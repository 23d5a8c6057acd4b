// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
// Copying a template's tree: cloned where the file system can, modes and
// times kept, written only through descriptors of the folders it creates.
#include "Common/FileOperations.h"

#include "Common/ProgressListener.h"

#include <QFile>

#include <array>
#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#if defined(Q_OS_LINUX)
#include <linux/fs.h>
#include <sys/ioctl.h>
#elif defined(Q_OS_MACOS)
#include <sys/clonefile.h>
#endif

namespace fs = std::filesystem;

namespace {

using FileOperations::FileDescriptor;
using FileOperations::FileId;

std::error_code lastErrno()
{
    return std::error_code(errno, std::generic_category());
}

QString decoded(const fs::path &path)
{
    return QFile::decodeName(path.c_str());
}

// Access and modification times, in the order futimens and utimensat take them.
std::array<struct timespec, 2> fileTimes(const struct stat &info)
{
#if defined(Q_OS_MACOS)
    return {info.st_atimespec, info.st_mtimespec};
#else
    return {info.st_atim, info.st_mtim};
#endif
}

FileId idOf(const struct stat &info)
{
    return FileId{quint64(info.st_dev), quint64(info.st_ino)};
}

struct CopyContext
{
    ProgressListener *listener = nullptr;
    qint64 done = 0;
    qint64 total = 0;

    bool report(qint64 bytes)
    {
        done += bytes;
        return !listener || listener->progress(done, total);
    }
};

// One entry to copy: read from `source` by path, made as `name` in the open
// folder `folder`, and shown to the user as `shown`.
struct CopyStep
{
    const fs::path &source;
    int folder;
    const char *name;
    const QString &shown;
};

// Copies the bytes of in to out; out is empty and `size` bytes are wanted.
std::error_code copyContents(int in, int out, qint64 size, CopyContext &context)
{
#if defined(Q_OS_LINUX)
    // A reflink shares the blocks on btrfs/XFS: instant, whatever the size.
    if (::ioctl(out, FICLONE, in) == 0)
        return context.report(size) ? std::error_code() : std::make_error_code(std::errc::operation_canceled);

    // copy_file_range stays in the kernel (and clones on NFS and friends).
    constexpr size_t Chunk = 16 * 1024 * 1024;
    qint64 copied = 0;
    bool kernelCopy = true;
    while (copied < size && kernelCopy) {
        const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, Chunk, 0);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (copied == 0 && (errno == EXDEV || errno == ENOSYS || errno == EOPNOTSUPP || errno == EINVAL)) {
                kernelCopy = false;
                break;
            }
            return lastErrno();
        }
        if (n == 0) {
            // Some file systems stop short (or the file shrank): let plain
            // reads carry on from where the kernel copy stopped.
            kernelCopy = copied >= size;
            break;
        }
        copied += n;
        if (!context.report(n))
            return std::make_error_code(std::errc::operation_canceled);
    }
    if (kernelCopy)
        return {};
#else
    Q_UNUSED(size);
#endif
    std::vector<char> buffer(256 * 1024);
    for (;;) {
        const ssize_t n = ::read(in, buffer.data(), buffer.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return lastErrno();
        }
        if (n == 0)
            return {};
        if (!FileOperations::writeAll(out, buffer.data(), n))
            return lastErrno();
        if (!context.report(n))
            return std::make_error_code(std::errc::operation_canceled);
    }
}

std::optional<Error> copyFile(const CopyStep &step, const struct stat &info, CopyContext &context,
                              std::optional<FileId> *created)
{
    FileDescriptor in(::open(step.source.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!in.isValid())
        return Error::fromErrorCode(lastErrno(), decoded(step.source));
    const std::array<struct timespec, 2> times = fileTimes(info);
#if defined(Q_OS_MACOS)
    // An APFS clone shares the blocks: instant, whatever the size.
    if (::fclonefileat(in.get(), step.folder, step.name, 0) == 0) {
        ::fchmodat(step.folder, step.name, info.st_mode & 07777, AT_SYMLINK_NOFOLLOW);
        ::utimensat(step.folder, step.name, times.data(), AT_SYMLINK_NOFOLLOW);
        if (created)
            *created = FileOperations::fileIdAt(step.folder, step.name);
        if (!context.report(info.st_size))
            return Error::fromErrorCode(std::make_error_code(std::errc::operation_canceled));
        return std::nullopt;
    }
#endif
    FileDescriptor out(::openat(step.folder, step.name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                                info.st_mode & 07777));
    if (!out.isValid())
        return Error::fromErrorCode(lastErrno(), step.shown);
    struct stat made;
    if (created && ::fstat(out.get(), &made) == 0)
        *created = idOf(made);

    std::error_code ec = copyContents(in.get(), out.get(), info.st_size, context);
    if (!ec) {
        // openat() left the mode cut by the umask; the copy keeps the source's.
        if (::fchmod(out.get(), info.st_mode & 07777) != 0)
            ec = lastErrno();
        ::futimens(out.get(), times.data());
        if (::close(out.release()) != 0 && !ec)
            ec = lastErrno();
    }
    if (ec)
        return Error::fromErrorCode(ec, step.shown);
    return std::nullopt;
}

std::optional<Error> copyLink(const CopyStep &step, std::optional<FileId> *created)
{
    std::string target(256, '\0');
    for (;;) {
        const ssize_t n = ::readlink(step.source.c_str(), target.data(), target.size());
        if (n < 0)
            return Error::fromErrorCode(lastErrno(), decoded(step.source));
        if (size_t(n) < target.size()) {
            target.resize(size_t(n));
            break;
        }
        target.resize(target.size() * 2);
    }
    if (::symlinkat(target.c_str(), step.folder, step.name) != 0)
        return Error::fromErrorCode(lastErrno(), step.shown);
    if (created)
        *created = FileOperations::fileIdAt(step.folder, step.name);
    return std::nullopt;
}

std::optional<Error> copyEntry(const CopyStep &step, CopyContext &context, std::optional<FileId> *created = nullptr);

// Copies what the folder `source` holds into the open folder `folder`.
std::optional<Error> copyFolderContents(const fs::path &source, int folder, const QString &shown, CopyContext &context)
{
    // The names first, and the listing closed: one descriptor per level.
    std::vector<fs::path> names;
    std::error_code ec;
    for (fs::directory_iterator it(source, ec), end; !ec && it != end; it.increment(ec))
        names.push_back(it->path().filename());
    if (ec)
        return Error::fromErrorCode(ec, decoded(source));
    for (const fs::path &name : names) {
        const fs::path from = source / name;
        const QString to = shown + QLatin1Char('/') + decoded(name);
        if (std::optional<Error> error = copyEntry(CopyStep{from, folder, name.c_str(), to}, context))
            return error;
    }
    return std::nullopt;
}

std::optional<Error> copyFolder(const CopyStep &step, const struct stat &info, CopyContext &context,
                                std::optional<FileId> *created)
{
    if (::mkdirat(step.folder, step.name, (info.st_mode & 07777) | S_IRWXU) != 0)
        return Error::fromErrorCode(lastErrno(), step.shown);
    std::error_code ec;
    // Made a moment ago, but others may have swapped it for a link since.
    const FileDescriptor made = FileOperations::openSubfolder(step.folder, step.name, ec);
    if (ec)
        return Error::fromErrorCode(ec, step.shown);
    struct stat madeInfo;
    if (created && ::fstat(made.get(), &madeInfo) == 0)
        *created = idOf(madeInfo);
    if (std::optional<Error> error = copyFolderContents(step.source, made.get(), step.shown, context))
        return error;
    const std::array<struct timespec, 2> times = fileTimes(info);
    // The source's mode despite the umask; the owner keeps full access so
    // that an installed copy can always be replaced or removed again.
    ::fchmod(made.get(), (info.st_mode & 07777) | S_IRWXU);
    ::futimens(made.get(), times.data());
    return std::nullopt;
}

std::optional<Error> copyEntry(const CopyStep &step, CopyContext &context, std::optional<FileId> *created)
{
    struct stat info;
    if (::lstat(step.source.c_str(), &info) != 0)
        return Error::fromErrorCode(lastErrno(), decoded(step.source));
    if (S_ISLNK(info.st_mode))
        return copyLink(step, created);
    if (S_ISREG(info.st_mode))
        return copyFile(step, info, context, created);
    if (S_ISDIR(info.st_mode))
        return copyFolder(step, info, context, created);
    // Sockets, fifos and devices have no place in a template; leave them out.
    return std::nullopt;
}

} // namespace

namespace FileOperations {

std::optional<FileId> fileIdAt(int folder, const char *name)
{
    struct stat info;
    if (::fstatat(folder, name, &info, AT_SYMLINK_NOFOLLOW) != 0)
        return std::nullopt;
    return idOf(info);
}

std::optional<Error> copyTreeInto(const QString &source, const CopyTarget &target, std::optional<FileId> *created)
{
    if (created)
        created->reset();
    CopyContext context{target.listener, target.doneBefore, target.total};
    const fs::path from = toFsPath(source);
    return copyEntry(CopyStep{from, target.folder, target.name.constData(), target.shownAs}, context, created);
}

std::optional<Error> copyTree(const QString &source, const QString &destination,
                              ProgressListener *listener, qint64 doneBefore, qint64 total)
{
    const fs::path to = toFsPath(destination);
    std::error_code ec;
    const fs::path parentPath = to.has_parent_path() ? to.parent_path() : fs::path(".");
    const FileDescriptor parent = openFolder(QFile::decodeName(parentPath.c_str()), ec);
    if (ec)
        return Error::fromErrorCode(ec, destination);
    return copyTreeInto(source, {parent.get(), QByteArray(to.filename().c_str()), destination, listener, doneBefore, total});
}

} // namespace FileOperations
