// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Common/FileOperations.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

#include <csignal>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

using FileOperations::toFsPath;


std::error_code lastErrno()
{
    return std::error_code(errno, std::generic_category());
}

using FileOperations::FileDescriptor;

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

std::error_code removeAllAt(int folder, const char *name)
{
    return removeBelow(folder, name, 0);
}

std::optional<Error> removeAllBeneath(const QString &root, const QString &relative, LinksOnTheWay links)
{
    const QStringList parts = relative.split(QLatin1Char('/'));
    for (const QString &part : parts) {
        if (part.isEmpty() || part == QLatin1String(".") || part == QLatin1String(".."))
            return Error::fromErrorCode(std::make_error_code(std::errc::invalid_argument), root + QLatin1Char('/') + relative);
    }
    const QString path = root + QLatin1Char('/') + relative;
    // The root itself is the caller's to trust; below it nothing is followed.
    std::error_code ec;
    const FileDescriptor top = openFolder(root, ec);
    if (ec)
        return Error::fromErrorCode(ec, root);
    const QString parent = parts.mid(0, parts.size() - 1).join(QLatin1Char('/'));
    const FileDescriptor folder = openFolderBeneath(top.get(), parent, ec, links);
    if (ec == std::errc::no_such_file_or_directory)
        return std::nullopt;
    if (ec)
        return Error::fromErrorCode(ec, path);
    if (const std::error_code removed = removeBelow(folder.get(), QFile::encodeName(parts.last()).constData(), 0))
        return Error::fromErrorCode(removed, path);
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
