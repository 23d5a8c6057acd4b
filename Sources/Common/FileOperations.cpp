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
#include <cstring>
#include <filesystem>
#include <vector>

#include <csignal>

#include <dirent.h>
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
    void swap(FileDescriptor &other) { std::swap(_fd, other._fd); }

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

// Below this depth removeBelow gives up: each level costs a descriptor and
// a frame, and worker threads have small stacks. Templates nest a few deep.
constexpr int MaxRemovalDepth = 256;

std::error_code removeBelow(int parent, const char *name, int depth);

// Removes everything in the open folder `folder`.
std::error_code emptyFolder(int folder, int depth)
{
    if (depth > MaxRemovalDepth)
        return std::make_error_code(std::errc::filename_too_long);
    // The names first, and the listing closed, so that only one descriptor
    // per level stays open while the levels below are removed.
    std::vector<std::string> names;
    {
        const int listing = ::dup(folder);
        DIR *dir = listing >= 0 ? ::fdopendir(listing) : nullptr;
        if (!dir) {
            const std::error_code ec = lastErrno();
            if (listing >= 0)
                ::close(listing);
            return ec;
        }
        while (const dirent *entry = ::readdir(dir)) {
            const char *name = entry->d_name;
            if (!(name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))))
                names.emplace_back(name);
        }
        ::closedir(dir);
    }
    std::error_code first;
    for (const std::string &name : names) {
        const std::error_code ec = removeBelow(folder, name.c_str(), depth + 1);
        if (ec && !first)
            first = ec;
    }
    return first;
}

// Removes the entry `name` of the open folder `parent`, and all below it.
std::error_code removeBelow(int parent, const char *name, int depth)
{
    struct stat info;
    if (::fstatat(parent, name, &info, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT ? std::error_code() : lastErrno();
    if (!S_ISDIR(info.st_mode))
        return ::unlinkat(parent, name, 0) == 0 || errno == ENOENT ? std::error_code() : lastErrno();
    const int folder = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder < 0) {
        // Swapped for a link (or a file) since: that goes, not what it leads to.
        if (errno == ELOOP || errno == ENOTDIR)
            return ::unlinkat(parent, name, 0) == 0 ? std::error_code() : lastErrno();
        return errno == ENOENT ? std::error_code() : lastErrno();
    }
    const std::error_code ec = emptyFolder(folder, depth);
    ::close(folder);
    if (ec)
        return ec;
    return ::unlinkat(parent, name, AT_REMOVEDIR) == 0 || errno == ENOENT ? std::error_code() : lastErrno();
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

SmallFile readSmallFile(const QString &path, qint64 limit, FileOwner owner)
{
    SmallFile result;
    const auto fail = [&result](int error, QString problem) {
        result.error = error;
        result.problem = std::move(problem);
        return result;
    };
    const auto failWithErrno = [&fail]() {
        const int error = errno;
        return fail(error, QString::fromLocal8Bit(std::strerror(error)));
    };
    const QByteArray name = QFile::encodeName(path);
    // Looked at before it is opened: opening some devices does something.
    struct stat before;
    if (name.isEmpty() || ::lstat(name.constData(), &before) != 0)
        return name.isEmpty() ? fail(ENOENT, QString::fromLocal8Bit(std::strerror(ENOENT))) : failWithErrno();
    if (S_ISLNK(before.st_mode))
        return fail(ELOOP, QStringLiteral("a symbolic link"));
    if (!S_ISREG(before.st_mode))
        return fail(EINVAL, QStringLiteral("not a regular file"));

    // O_NONBLOCK: a FIFO put there since opens at once rather than waiting for a writer.
    FileDescriptor fd(::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0)
        return errno == ELOOP ? fail(ELOOP, QStringLiteral("a symbolic link")) : failWithErrno();
    struct stat info;
    if (::fstat(fd.get(), &info) != 0)
        return failWithErrno();
    if (!S_ISREG(info.st_mode) || info.st_dev != before.st_dev || info.st_ino != before.st_ino)
        return fail(EINVAL, QStringLiteral("not a regular file"));
    if (owner == FileOwner::SelfOrRoot && info.st_uid != ::geteuid() && info.st_uid != 0)
        return fail(EPERM, QStringLiteral("owned by another user"));
    if (info.st_size > limit)
        return fail(EFBIG, QStringLiteral("larger than %1 bytes").arg(limit));

    // Never more than the limit, even when the file grows meanwhile.
    QByteArray contents(qsizetype(info.st_size) + 1, Qt::Uninitialized);
    qsizetype size = 0;
    for (;;) {
        if (size == contents.size()) {
            if (size > limit)
                return fail(EFBIG, QStringLiteral("larger than %1 bytes").arg(limit));
            contents.resize(qsizetype(std::min<qint64>(limit + 1, qint64(size) * 2 + 4096)));
        }
        const ssize_t n = ::read(fd.get(), contents.data() + size, size_t(contents.size() - size));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return failWithErrno();
        }
        if (n == 0)
            break;
        size += n;
    }
    if (size > limit)
        return fail(EFBIG, QStringLiteral("larger than %1 bytes").arg(limit));
    contents.truncate(size);
    result.contents = std::move(contents);
    return result;
}

std::optional<Error> removeAllBeneath(const QString &root, const QString &relative)
{
    const QStringList parts = relative.split(QLatin1Char('/'));
    for (const QString &part : parts) {
        if (part.isEmpty() || part == QLatin1String(".") || part == QLatin1String(".."))
            return Error::fromErrorCode(std::make_error_code(std::errc::invalid_argument), root + QLatin1Char('/') + relative);
    }
    const QString path = root + QLatin1Char('/') + relative;
    // The root itself is the caller's to trust; below it nothing is followed.
    FileDescriptor folder(::open(QFile::encodeName(root).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() < 0)
        return Error::fromErrorCode(lastErrno(), root);
    for (qsizetype i = 0; i + 1 < parts.size(); ++i) {
        const QByteArray part = QFile::encodeName(parts.at(i));
        FileDescriptor next(::openat(folder.get(), part.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (next.get() < 0) {
            if (errno == ENOENT)
                return std::nullopt;
            std::error_code ec = lastErrno();
            // Linux says ENOTDIR for a link opened this way.
            struct stat info;
            if (ec == std::errc::not_a_directory && ::fstatat(folder.get(), part.constData(), &info, AT_SYMLINK_NOFOLLOW) == 0
                && S_ISLNK(info.st_mode))
                ec = std::make_error_code(std::errc::too_many_symbolic_link_levels);
            return Error::fromErrorCode(ec, path);
        }
        folder.swap(next);
    }
    if (const std::error_code ec = removeBelow(folder.get(), QFile::encodeName(parts.last()).constData(), 0))
        return Error::fromErrorCode(ec, path);
    return std::nullopt;
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
