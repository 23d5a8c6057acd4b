// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Common/FileOperations.h"

#include "Common/ProgressListener.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

#include <array>
#include <cerrno>
#include <filesystem>
#include <vector>

#include <csignal>

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

using FileOperations::toFsPath;


std::error_code lastErrno()
{
    return std::error_code(errno, std::generic_category());
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

class FileDescriptor
{
public:
    explicit FileDescriptor(int fd) : _fd(fd) {}
    ~FileDescriptor() { if (_fd >= 0) ::close(_fd); }
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;
    int get() const { return _fd; }
    // close() can report a late write error; the destructor would lose it.
    int release() { return std::exchange(_fd, -1); }

private:
    int _fd;
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

std::optional<Error> copyFile(const fs::path &source, const fs::path &destination,
                              const struct stat &info, CopyContext &context)
{
    FileDescriptor in(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0)
        return Error::fromErrorCode(lastErrno(), QFile::decodeName(source.c_str()));
#if defined(Q_OS_MACOS)
    // An APFS clone shares the blocks: instant, whatever the size.
    if (::fclonefileat(in.get(), AT_FDCWD, destination.c_str(), 0) == 0) {
        const std::array<struct timespec, 2> times = fileTimes(info);
        ::chmod(destination.c_str(), info.st_mode & 07777);
        ::utimensat(AT_FDCWD, destination.c_str(), times.data(), 0);
        if (!context.report(info.st_size))
            return Error::fromErrorCode(std::make_error_code(std::errc::operation_canceled));
        return std::nullopt;
    }
#endif
    FileDescriptor out(::open(destination.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                              info.st_mode & 07777));
    if (out.get() < 0)
        return Error::fromErrorCode(lastErrno(), QFile::decodeName(destination.c_str()));

    std::error_code ec = copyContents(in.get(), out.get(), info.st_size, context);
    if (!ec) {
        const std::array<struct timespec, 2> times = fileTimes(info);
        // open() left the mode cut by the umask; the copy keeps the source's.
        if (::fchmod(out.get(), info.st_mode & 07777) != 0)
            ec = lastErrno();
        ::futimens(out.get(), times.data());
        if (::close(out.release()) != 0 && !ec)
            ec = lastErrno();
    }
    if (ec)
        return Error::fromErrorCode(ec, QFile::decodeName(destination.c_str()));
    return std::nullopt;
}

std::optional<Error> copyRecursive(const fs::path &source, const fs::path &destination, CopyContext &context)
{
    struct stat info;
    if (::lstat(source.c_str(), &info) != 0)
        return Error::fromErrorCode(lastErrno(), QFile::decodeName(source.c_str()));

    std::error_code ec;
    if (S_ISLNK(info.st_mode)) {
        fs::copy_symlink(source, destination, ec);
    } else if (S_ISREG(info.st_mode)) {
        return copyFile(source, destination, info, context);
    } else if (S_ISDIR(info.st_mode)) {
        if (::mkdir(destination.c_str(), (info.st_mode & 07777) | S_IRWXU) != 0)
            return Error::fromErrorCode(lastErrno(), QFile::decodeName(destination.c_str()));
        for (fs::directory_iterator it(source, ec), end; !ec && it != end; it.increment(ec)) {
            if (std::optional<Error> error = copyRecursive(it->path(), destination / it->path().filename(), context))
                return error;
        }
        if (!ec) {
            const std::array<struct timespec, 2> times = fileTimes(info);
            // The source's mode despite the umask; the owner keeps full
            // access so that an installed copy can always be replaced or
            // removed again.
            ::chmod(destination.c_str(), (info.st_mode & 07777) | S_IRWXU);
            ::utimensat(AT_FDCWD, destination.c_str(), times.data(), 0);
        }
    }
    // Sockets, fifos and devices have no place in a template; leave them out.
    if (ec)
        return Error::fromErrorCode(ec, QFile::decodeName(source.c_str()));
    return std::nullopt;
}

} // namespace

namespace FileOperations {

fs::path toFsPath(const QString &path)
{
    return fs::path(QFile::encodeName(path).toStdString());
}

bool writeAll(int fd, const char *data, qsizetype size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size_t(size));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

bool exists(const QString &path)
{
    std::error_code ec;
    return !path.isEmpty() && fs::exists(fs::symlink_status(toFsPath(path), ec));
}

bool isDirectory(const QString &path)
{
    std::error_code ec;
    return !path.isEmpty() && fs::is_directory(toFsPath(path), ec);
}

std::optional<Error> createDirectories(const QString &path)
{
    std::error_code ec;
    fs::create_directories(toFsPath(path), ec);
    if (ec)
        return Error::fromErrorCode(ec, path);
    return std::nullopt;
}

std::optional<Error> removeAll(const QString &path)
{
    std::error_code ec;
    fs::remove_all(toFsPath(path), ec);
    if (ec)
        return Error::fromErrorCode(ec, path);
    return std::nullopt;
}

qint64 treeSize(const QString &path)
{
    std::error_code ec;
    const fs::path root = toFsPath(path);
    if (fs::is_regular_file(fs::symlink_status(root, ec)))
        return qint64(fs::file_size(root, ec));
    qint64 total = 0;
    for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->is_regular_file(ec) && !it->is_symlink(ec))
            total += qint64(it->file_size(ec));
    }
    return total;
}

std::optional<Error> copyTree(const QString &source, const QString &destination,
                              ProgressListener *listener, qint64 doneBefore, qint64 total)
{
    CopyContext context{listener, doneBefore, total};
    return copyRecursive(toFsPath(source), toFsPath(destination), context);
}

bool moveToTrash(const QString &path)
{
#if !defined(Q_OS_MACOS) && !defined(Q_OS_WIN)
    // Qt makes the home Trash below the data folder; when that folder is
    // missing it files the item below the working folder instead.
    QDir().mkpath(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
#endif
    QString inTrash;
    if (!QFile::moveToTrash(path, &inTrash))
        return false;
#if !defined(Q_OS_MACOS) && !defined(Q_OS_WIN)
    // Anywhere but in a Trash's "files" folder it would be lost to the user: undo.
    static const QRegularExpression trashed(QStringLiteral("/(Trash|\\.Trash-[0-9]+|\\.Trash/[0-9]+)/files/[^/]+$"));
    if (!trashed.match(inTrash).hasMatch()) {
        const QFileInfo moved(inTrash);
        if (::rename(QFile::encodeName(inTrash).constData(), QFile::encodeName(path).constData()) != 0)
            return true; // it stays where Qt put it; better there than gone
        QFile::remove(moved.dir().filePath(QStringLiteral("../info/") + moved.fileName() + QStringLiteral(".trashinfo")));
        return false;
    }
#endif
    return true;
}

bool isProcessRunning(qint64 pid)
{
    if (pid <= 0)
        return false;
    // EPERM: it runs, under another user.
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
}

std::optional<Error> moveTree(const QString &source, const QString &destination)
{
    if (exists(destination))
        return Error::fromErrorCode(std::make_error_code(std::errc::file_exists), destination);
    std::error_code ec;
    fs::rename(toFsPath(source), toFsPath(destination), ec);
    if (ec)
        return Error::fromErrorCode(ec, source);
    return std::nullopt;
}

} // namespace FileOperations
