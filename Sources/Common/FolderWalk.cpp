// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
// Folders below a root opened through descriptors, never through a link:
// what others can write into may change between two steps of ours.
#include "Common/FileOperations.h"

#include "Common/Error.h"

#include <QFile>
#include <QStringList>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#if defined(Q_OS_LINUX) && __has_include(<linux/openat2.h>)
#include <linux/openat2.h>
#include <sys/syscall.h>
#if defined(SYS_openat2)
#define MTI_HAVE_OPENAT2 1
#endif
#endif

namespace {

using FileOperations::FileDescriptor;
using FileOperations::LinksOnTheWay;

std::error_code lastErrno()
{
    return std::error_code(errno, std::generic_category());
}

// Cleared for good once the kernel says it has no openat2, or by tests.
std::atomic<bool> sOpenat2Allowed{true};

#if defined(MTI_HAVE_OPENAT2)
// Answers false when openat2 cannot say (no such call, or busy with a
// rename elsewhere): then the walk decides.
bool openWithOpenat2(int folder, const QByteArray &relative, FileDescriptor &opened, std::error_code &ec)
{
    if (!sOpenat2Allowed.load(std::memory_order_relaxed))
        return false;
    struct open_how how = {};
    how.flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
    for (int attempt = 0; attempt < 3; ++attempt) {
        const long fd = ::syscall(SYS_openat2, folder, relative.constData(), &how, sizeof how);
        if (fd >= 0) {
            opened.reset(int(fd));
            return true;
        }
        if (errno == EINTR || errno == EAGAIN)
            continue;
        if (errno == ENOSYS || errno == E2BIG || errno == EPERM) {
            // No openat2 here (or a seccomp filter refuses it): walk from now on.
            sOpenat2Allowed.store(false, std::memory_order_relaxed);
            return false;
        }
        // EXDEV: it would leave the folder, which only a link can make it do.
        ec = errno == EXDEV ? std::make_error_code(std::errc::too_many_symbolic_link_levels) : lastErrno();
        return true;
    }
    return false;
}
#endif

// Follows the link `name` of the open folder `folder` (`link` is what it
// is) when the effective user or root made it: nobody else can make a link
// of theirs, so where it leads is their own choice. Its target is read once
// and the link looked at again after the open, so that a link swapped in
// meanwhile is never followed.
FileDescriptor openOwnLink(int folder, const char *name, const struct stat &link, std::error_code &ec)
{
    ec = std::make_error_code(std::errc::too_many_symbolic_link_levels);
    if (link.st_uid != ::geteuid() && link.st_uid != 0)
        return FileDescriptor();
    std::string target(PATH_MAX, '\0');
    const ssize_t length = ::readlinkat(folder, name, target.data(), target.size());
    if (length <= 0 || size_t(length) >= target.size())
        return FileDescriptor();
    target.resize(size_t(length));
    FileDescriptor opened(::openat(folder, target.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!opened.isValid()) {
        ec = lastErrno();
        return opened;
    }
    struct stat again;
    if (::fstatat(folder, name, &again, AT_SYMLINK_NOFOLLOW) != 0 || again.st_dev != link.st_dev
        || again.st_ino != link.st_ino)
        return FileDescriptor();
    ec.clear();
    return opened;
}

} // namespace

namespace FileOperations {

void setOpenat2Allowed(bool allowed)
{
    sOpenat2Allowed.store(allowed, std::memory_order_relaxed);
}

FileDescriptor openFolder(const QString &path, std::error_code &ec)
{
    FileDescriptor folder(::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    ec = folder.isValid() ? std::error_code() : lastErrno();
    return folder;
}

FileDescriptor openSubfolder(int folder, const char *name, std::error_code &ec, LinksOnTheWay links)
{
    FileDescriptor opened(::openat(folder, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    ec = opened.isValid() ? std::error_code() : lastErrno();
    // Linux says ENOTDIR for a link opened this way.
    struct stat info;
    if ((ec == std::errc::not_a_directory || ec == std::errc::too_many_symbolic_link_levels)
        && ::fstatat(folder, name, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(info.st_mode)) {
        ec = std::make_error_code(std::errc::too_many_symbolic_link_levels);
        if (links == LinksOnTheWay::FollowOwn)
            return openOwnLink(folder, name, info, ec);
    }
    return opened;
}

FileDescriptor openFolderBeneath(int folder, const QString &relative, std::error_code &ec, LinksOnTheWay links)
{
    ec.clear();
    const QStringList parts = relative.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString &part : parts) {
        if (part == QLatin1String(".") || part == QLatin1String("..")) {
            ec = std::make_error_code(std::errc::invalid_argument);
            return FileDescriptor();
        }
    }
    FileDescriptor opened(::fcntl(folder, F_DUPFD_CLOEXEC, 0));
    if (!opened.isValid() || parts.isEmpty()) {
        ec = opened.isValid() ? std::error_code() : lastErrno();
        return opened;
    }
#if defined(MTI_HAVE_OPENAT2)
    FileDescriptor direct;
    // A link on the way may still be one to follow: the walk judges it.
    if (openWithOpenat2(folder, QFile::encodeName(parts.join(QLatin1Char('/'))), direct, ec)
        && !(ec == std::errc::too_many_symbolic_link_levels && links == LinksOnTheWay::FollowOwn))
        return direct;
    ec.clear();
#endif
    for (const QString &part : parts) {
        FileDescriptor next = openSubfolder(opened.get(), QFile::encodeName(part).constData(), ec, links);
        if (ec)
            return FileDescriptor();
        opened = std::move(next);
    }
    return opened;
}

std::error_code renameNoReplace(int fromFolder, const char *from, int toFolder, const char *to)
{
#if defined(Q_OS_LINUX)
    if (::renameat2(fromFolder, from, toFolder, to, RENAME_NOREPLACE) == 0)
        return {};
    // Some file systems (and old kernels) cannot promise it: look first.
    if (errno != EINVAL && errno != ENOSYS)
        return lastErrno();
#elif defined(Q_OS_MACOS)
    if (::renameatx_np(fromFolder, from, toFolder, to, RENAME_EXCL) == 0)
        return {};
    if (errno != ENOTSUP && errno != EINVAL)
        return lastErrno();
#endif
    struct stat info;
    if (::fstatat(toFolder, to, &info, AT_SYMLINK_NOFOLLOW) == 0)
        return std::make_error_code(std::errc::file_exists);
    if (errno != ENOENT)
        return lastErrno();
    return ::renameat(fromFolder, from, toFolder, to) == 0 ? std::error_code() : lastErrno();
}

FileDescriptor makeFolderBeneath(int folder, const QString &relative, std::error_code &ec, LinksOnTheWay links)
{
    FileDescriptor opened = openFolderBeneath(folder, relative, ec, links);
    if (ec != std::errc::no_such_file_or_directory)
        return opened;
    opened = openFolderBeneath(folder, QString(), ec);
    for (const QString &part : relative.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        const QByteArray name = QFile::encodeName(part);
        FileDescriptor next = openSubfolder(opened.get(), name.constData(), ec, links);
        if (ec == std::errc::no_such_file_or_directory) {
            if (::mkdirat(opened.get(), name.constData(), 0777) != 0 && errno != EEXIST) {
                ec = lastErrno();
                return FileDescriptor();
            }
            // Ours, just made: whatever stands there now is not followed.
            next = openSubfolder(opened.get(), name.constData(), ec);
        }
        if (ec)
            return FileDescriptor();
        opened = std::move(next);
    }
    return opened;
}

std::optional<Error> moveBeneath(const QString &root, const QString &from, const QString &to)
{
    const QString fromPath = root + QLatin1Char('/') + from;
    const QString toPath = root + QLatin1Char('/') + to;
    const qsizetype fromSlash = from.lastIndexOf(QLatin1Char('/'));
    const qsizetype toSlash = to.lastIndexOf(QLatin1Char('/'));
    const QByteArray fromName = QFile::encodeName(from.mid(fromSlash + 1));
    const QByteArray toName = QFile::encodeName(to.mid(toSlash + 1));
    if (fromName.isEmpty() || toName.isEmpty() || fromName == "." || fromName == ".." || toName == "."
        || toName == "..")
        return Error::fromErrorCode(std::make_error_code(std::errc::invalid_argument), fromPath);
    std::error_code ec;
    const FileDescriptor top = openFolder(root, ec);
    if (ec)
        return Error::fromErrorCode(ec, root);
    const FileDescriptor source =
        openFolderBeneath(top.get(), fromSlash < 0 ? QString() : from.left(fromSlash), ec, LinksOnTheWay::FollowOwn);
    if (ec)
        return Error::fromErrorCode(ec, fromPath);
    const FileDescriptor target =
        makeFolderBeneath(top.get(), toSlash < 0 ? QString() : to.left(toSlash), ec, LinksOnTheWay::FollowOwn);
    if (ec)
        return Error::fromErrorCode(ec, toPath);
    if ((ec = renameNoReplace(source.get(), fromName.constData(), target.get(), toName.constData())))
        return Error::fromErrorCode(ec, ec == std::errc::file_exists ? toPath : fromPath);
    return std::nullopt;
}

std::optional<Error> replaceFileBeneath(const QString &root, const QString &relative,
                                        const std::optional<QByteArray> &contents)
{
    const QString path = root + QLatin1Char('/') + relative;
    const qsizetype slash = relative.lastIndexOf(QLatin1Char('/'));
    const QByteArray name = QFile::encodeName(relative.mid(slash + 1));
    if (name.isEmpty() || name == "." || name == "..")
        return Error::fromErrorCode(std::make_error_code(std::errc::invalid_argument), path);
    std::error_code ec;
    const FileDescriptor top = openFolder(root, ec);
    const FileDescriptor folder = ec ? FileDescriptor()
        : contents ? makeFolderBeneath(top.get(), slash < 0 ? QString() : relative.left(slash), ec)
                   : openFolderBeneath(top.get(), slash < 0 ? QString() : relative.left(slash), ec);
    if (!contents && ec == std::errc::no_such_file_or_directory)
        return std::nullopt;
    if (ec)
        return Error::fromErrorCode(ec, path);
    if (!contents) {
        if (::unlinkat(folder.get(), name.constData(), 0) != 0 && errno != ENOENT)
            return Error::fromErrorCode(lastErrno(), path);
        return std::nullopt;
    }
    // Written beside it under a hidden name, then renamed over it: a reader
    // sees the old file or the new one, never half of one.
    QByteArray temporary;
    FileDescriptor file;
    for (int n = 0; !file.isValid() && n < 100; ++n) {
        temporary = "." + name + ".tmp-" + QByteArray::number(::getpid()) + "-" + QByteArray::number(n);
        file.reset(::openat(folder.get(), temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                            0644));
        if (!file.isValid() && errno != EEXIST)
            return Error::fromErrorCode(lastErrno(), path);
    }
    if (!file.isValid())
        return Error::fromErrorCode(std::make_error_code(std::errc::file_exists), path);
    const bool written = writeAll(file.get(), contents->constData(), contents->size()) && ::fsync(file.get()) == 0;
    const std::error_code writeError = written ? std::error_code() : lastErrno();
    file.reset();
    if (!written || ::renameat(folder.get(), temporary.constData(), folder.get(), name.constData()) != 0) {
        const std::error_code error = written ? lastErrno() : writeError;
        ::unlinkat(folder.get(), temporary.constData(), 0);
        return Error::fromErrorCode(error ? error : std::make_error_code(std::errc::io_error), path);
    }
    return std::nullopt;
}

} // namespace FileOperations
