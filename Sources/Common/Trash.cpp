// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Common/Trash.h"

#include "Common/FileOperations.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QUrl>

#include <cerrno>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Trash {

namespace {

QByteArray encoded(const QString &path)
{
    return QFile::encodeName(path);
}

// The user whose Trash takes what goes, when it is not this process's.
struct Owner
{
    bool set = false;
    uid_t uid = 0;
    gid_t gid = 0;
    QString home;
};
Owner sOwner;

// The folder `relative` below the open folder `base` (a home or a
// volume's top), made where missing: each folder on the way entered
// without following a link, those this process made given to the owner,
// and those that are someone else's refused. Those at or below `trash`
// are private to the owner, as a Trash is.
FileOperations::FileDescriptor openOwnerFolder(int base, const QString &relative, const QString &trash)
{
    FileOperations::FileDescriptor folder;
    QString step;
    for (const QString &part : relative.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        step = step.isEmpty() ? part : step + QLatin1Char('/') + part;
        std::error_code ec;
        folder = FileOperations::makeFolderBeneath(base, step, ec, FileOperations::LinksOnTheWay::Refuse);
        struct stat state;
        if (ec || ::fstat(folder.get(), &state) != 0)
            return {};
        if (state.st_uid == ::geteuid() && state.st_uid != sOwner.uid
            && (::fchown(folder.get(), sOwner.uid, sOwner.gid) != 0 || ::fstat(folder.get(), &state) != 0))
            return {};
        if (state.st_uid != sOwner.uid)
            return {};
        if (step.startsWith(trash))
            ::fchmod(folder.get(), 0700);
    }
    return folder;
}

// Gives the entry `name` of `folder`, and all below it, to the owner; links
// as links. What is inside a folder first: until the folder is theirs, the
// owner cannot swap what lies in it.
void giveToOwner(int folder, const char *name)
{
    struct stat state;
    if (::fstatat(folder, name, &state, AT_SYMLINK_NOFOLLOW) != 0)
        return;
    if (S_ISDIR(state.st_mode)) {
        const int inner = ::openat(folder, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (inner < 0)
            return;
        if (DIR *listing = ::fdopendir(::dup(inner))) {
            while (const dirent *entry = ::readdir(listing)) {
                if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
                    giveToOwner(inner, entry->d_name);
            }
            ::closedir(listing);
        }
        [[maybe_unused]] const int given = ::fchown(inner, sOwner.uid, sOwner.gid);
        ::close(inner);
        return;
    }
    [[maybe_unused]] const int given = ::fchownat(folder, name, sOwner.uid, sOwner.gid, AT_SYMLINK_NOFOLLOW);
}

#if !defined(Q_OS_MACOS)

// The owner's Trash below `base`: its "files" and "info" folders.
bool openOwnerTrash(int base, const QString &relative, FileOperations::FileDescriptor *files,
                    FileOperations::FileDescriptor *info)
{
    *files = openOwnerFolder(base, relative + QStringLiteral("/files"), relative);
    *info = openOwnerFolder(base, relative + QStringLiteral("/info"), relative);
    return files->isValid() && info->isValid();
}

// A Trash folder we may use: a real folder (not a link), ours, with the
// "files" and "info" folders the freedesktop.org layout asks for.
bool prepare(const QString &trash)
{
    for (const QString &path : QStringList{trash, trash + QStringLiteral("/files"), trash + QStringLiteral("/info")}) {
        if (::mkdir(encoded(path).constData(), 0700) != 0 && errno != EEXIST)
            return false;
        struct stat info;
        if (::lstat(encoded(path).constData(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::geteuid())
            return false;
    }
    return true;
}

dev_t deviceOf(const QString &path)
{
    struct stat info;
    return ::lstat(encoded(path).constData(), &info) == 0 ? info.st_dev : dev_t(-1);
}

// The volume's top folder: the highest folder above `path` on its device.
QString topFolderOf(const QString &path, dev_t device)
{
    QString top = QFileInfo(path).absolutePath();
    for (QString up = QFileInfo(top).path(); up != top && deviceOf(up) == device; up = QFileInfo(up).path())
        top = up;
    return top;
}

// The owner's Trash for items on `path`'s volume, as a folder to start from
// and the way below it: the home Trash on the home's volume, else the
// volume's .Trash-UID.
bool ownerTrashPlace(const QString &path, QString *base, QString *relative)
{
    struct stat home;
    if (::stat(encoded(sOwner.home).constData(), &home) != 0 || !S_ISDIR(home.st_mode))
        return false;
    const dev_t device = deviceOf(path);
    if (device == home.st_dev) {
        *base = sOwner.home;
        *relative = QStringLiteral(".local/share/Trash");
    } else {
        *base = topFolderOf(QFileInfo(QFileInfo(path).absolutePath()).canonicalFilePath() + QStringLiteral("/x"), device);
        *relative = QStringLiteral(".Trash-") + QString::number(sOwner.uid);
    }
    return true;
}

// Opens the owner's Trash for `path`, making it where missing.
QString openOwnerTrashFor(const QString &path, FileOperations::FileDescriptor *files, FileOperations::FileDescriptor *info)
{
    QString base;
    QString relative;
    std::error_code ec;
    if (!ownerTrashPlace(path, &base, &relative))
        return {};
    const FileOperations::FileDescriptor top = FileOperations::openFolder(base, ec);
    if (ec || !openOwnerTrash(top.get(), relative, files, info))
        return {};
    return base + QLatin1Char('/') + relative;
}

// The Trash for items on `path`'s volume: the home Trash on the home's
// volume, else the volume's own (.Trash/UID when an administrator made a
// sticky .Trash, else .Trash-UID).
QString trashFor(const QString &path)
{
    if (sOwner.set) {
        FileOperations::FileDescriptor files;
        FileOperations::FileDescriptor info;
        return openOwnerTrashFor(path, &files, &info);
    }
    const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    QDir().mkpath(dataHome);
    const QString home = dataHome + QStringLiteral("/Trash");
    const dev_t device = deviceOf(path);
    if (device == deviceOf(dataHome))
        return prepare(home) ? home : QString();
    // From the real folder: a link on the way (~/Videos to another disk)
    // would stop the climb at it and put the Trash inside the templates.
    const QString top = topFolderOf(QFileInfo(QFileInfo(path).absolutePath()).canonicalFilePath() + QStringLiteral("/x"),
                                    device);
    const QString uid = QString::number(::geteuid());
    struct stat info;
    const QString shared = top + QStringLiteral("/.Trash");
    if (::lstat(encoded(shared).constData(), &info) == 0 && S_ISDIR(info.st_mode) && (info.st_mode & S_ISVTX)
        && prepare(shared + QLatin1Char('/') + uid))
        return shared + QLatin1Char('/') + uid;
    const QString own = top + QStringLiteral("/.Trash-") + uid;
    return prepare(own) ? own : QString();
}

// Claims a name in the Trash by creating its info file; -1 when none could be had.
// A name whose info file (" NNNN.trashinfo" added) still fits in 255 bytes.
QString fitting(QString base)
{
    while (base.toUtf8().size() > 255 - 15 && !base.isEmpty())
        base.chop(base.size() > 1 && base.at(base.size() - 1).isLowSurrogate() ? 2 : 1);
    return base.isEmpty() ? QStringLiteral("item") : base;
}

int claimName(const QString &trash, const QString &longBase, QString *name)
{
    const QString base = fitting(longBase);
    for (int n = 1; n < 10000; ++n) {
        const QString candidate = n == 1 ? base : QStringLiteral("%1 %2").arg(base).arg(n);
        if (FileOperations::exists(trash + QStringLiteral("/files/") + candidate))
            continue;
        const QString info = trash + QStringLiteral("/info/") + candidate + QStringLiteral(".trashinfo");
        const int fd = ::open(encoded(info).constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0) {
            *name = candidate;
            return fd;
        }
        if (errno != EEXIST)
            return -1;
    }
    return -1;
}

#endif

#if !defined(Q_OS_MACOS)
QString infoFileOf(const QString &inTrash)
{
    const QFileInfo item(inTrash);
    return QFileInfo(item.path()).path() + QStringLiteral("/info/") + item.fileName() + QStringLiteral(".trashinfo");
}
#endif

} // namespace

#if !defined(Q_OS_MACOS)
QString recordedPlace(const QString &inTrash)
{
    QFile info(infoFileOf(inTrash));
    if (!info.open(QIODevice::ReadOnly))
        return {};
    for (const QByteArray &line : info.read(64 * 1024).split('\n')) {
        if (line.startsWith("Path="))
            return QFile::decodeName(QByteArray::fromPercentEncoding(line.mid(5)));
    }
    return {};
}
#else
QString recordedPlace(const QString &)
{
    return {};
}
#endif

namespace {

#if !defined(Q_OS_MACOS)
QByteArray trashRecord(const QString &original)
{
    return "[Trash Info]\nPath=" + QUrl::toPercentEncoding(original, "/") + "\nDeletionDate="
        + QDateTime::currentDateTime().toString(Qt::ISODate).left(19).toLatin1() + '\n';
}

// As trashEntry, into the owner's Trash through its opened folders only:
// nothing the owner swaps in the Trash meanwhile is followed.
QString ownerTrashEntry(int folder, const QByteArray &name, const QString &path, const QString &original)
{
    FileOperations::FileDescriptor files;
    FileOperations::FileDescriptor info;
    const QString trash = openOwnerTrashFor(QFileInfo(path).absoluteFilePath(), &files, &info);
    if (trash.isEmpty())
        return {};
    QString base = QFileInfo(original).fileName();
    if (base.isEmpty())
        base = QFileInfo(path).fileName();
    base = fitting(base);
    for (int n = 1; n < 10000; ++n) {
        const QString candidate = n == 1 ? base : QStringLiteral("%1 %2").arg(base).arg(n);
        const QByteArray entry = encoded(candidate);
        struct stat state;
        if (::fstatat(files.get(), entry.constData(), &state, AT_SYMLINK_NOFOLLOW) == 0)
            continue;
        const QByteArray infoName = entry + ".trashinfo";
        const int fd = ::openat(info.get(), infoName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return {};
        }
        const QByteArray record = trashRecord(original);
        const bool written = FileOperations::writeAll(fd, record.constData(), record.size())
            && ::fchown(fd, sOwner.uid, sOwner.gid) == 0;
        ::close(fd);
        if (!written || FileOperations::renameNoReplace(folder, name.constData(), files.get(), entry.constData())) {
            ::unlinkat(info.get(), infoName.constData(), 0);
            return {};
        }
        giveToOwner(files.get(), entry.constData());
        return trash + QStringLiteral("/files/") + candidate;
    }
    return {};
}

#else
// Run as root for a user: their Trash on the home's volume is ~/.Trash,
// which this process may enter only without following links. The
// .Trashes of other volumes are the system's: items there are refused.
// Finder keeps its own Put Back records, so none is written.
QString ownerTrashEntry(int folder, const QByteArray &name, const QString &path)
{
    struct stat home;
    struct stat item;
    if (::stat(encoded(sOwner.home).constData(), &home) != 0 || !S_ISDIR(home.st_mode)
        || ::fstatat(folder, name.constData(), &item, AT_SYMLINK_NOFOLLOW) != 0 || item.st_dev != home.st_dev)
        return {};
    std::error_code ec;
    const FileOperations::FileDescriptor top = FileOperations::openFolder(sOwner.home, ec);
    if (ec)
        return {};
    const QString relative = QStringLiteral(".Trash");
    const FileOperations::FileDescriptor trash = openOwnerFolder(top.get(), relative, relative);
    if (!trash.isValid())
        return {};
    const QString base = QFileInfo(path).fileName();
    for (int n = 1; n < 10000; ++n) {
        const QString candidate = n == 1 ? base : QStringLiteral("%1 %2").arg(base).arg(n);
        const QByteArray entry = encoded(candidate);
        const std::error_code moved = FileOperations::renameNoReplace(folder, name.constData(), trash.get(), entry.constData());
        if (moved == std::errc::file_exists)
            continue;
        if (moved)
            return {};
        giveToOwner(trash.get(), entry.constData());
        return sOwner.home + QLatin1Char('/') + relative + QLatin1Char('/') + candidate;
    }
    return {};
}
#endif

#if !defined(Q_OS_MACOS)
// Takes the entry `name` of the open folder `folder` (known to the user as
// `path`) into the Trash of its volume, recorded as coming from `original`.
QString trashEntry(int folder, const QByteArray &name, const QString &path, const QString &original)
{
    if (sOwner.set)
        return ownerTrashEntry(folder, name, path, original);
    const QString trash = trashFor(QFileInfo(path).absoluteFilePath());
    if (trash.isEmpty())
        return {};
    QString base = QFileInfo(original).fileName();
    if (base.isEmpty())
        base = QFileInfo(path).fileName();
    QString claimed;
    const int fd = claimName(trash, base, &claimed);
    if (fd < 0)
        return {};
    const QString info = trash + QStringLiteral("/info/") + claimed + QStringLiteral(".trashinfo");
    const QByteArray record = "[Trash Info]\nPath=" + QUrl::toPercentEncoding(original, "/") + "\nDeletionDate="
        + QDateTime::currentDateTime().toString(Qt::ISODate).left(19).toLatin1() + '\n';
    const bool written = FileOperations::writeAll(fd, record.constData(), record.size());
    ::close(fd);
    const QString inTrash = trash + QStringLiteral("/files/") + claimed;
    if (!written || FileOperations::renameNoReplace(folder, name.constData(), AT_FDCWD, encoded(inTrash).constData())) {
        QFile::remove(info);
        return {};
    }
    return inTrash;
}
#endif

} // namespace

void setOwner(uid_t owner, const QString &home)
{
    if (owner == ::geteuid()) {
        sOwner = {};
        return;
    }
    struct stat state;
    const gid_t group = ::stat(encoded(home).constData(), &state) == 0 ? state.st_gid : gid_t(owner);
    sOwner = {true, owner, group, home};
}

QString moveToTrash(const QString &path, const QString &originalPath)
{
    const QString original = QFileInfo(originalPath.isEmpty() ? path : originalPath).absoluteFilePath();
#if defined(Q_OS_MACOS)
    Q_UNUSED(original);
    if (sOwner.set)
        return ownerTrashEntry(AT_FDCWD, encoded(path), path);
    QString inTrash;
    return QFile::moveToTrash(path, &inTrash) ? inTrash : QString();
#else
    return trashEntry(AT_FDCWD, encoded(path), path, original);
#endif
}

QString moveToTrashBeneath(const QString &root, const QString &relative, const QString &originalPath)
{
    const QString path = root + QLatin1Char('/') + relative;
#if defined(Q_OS_MACOS)
    // The system's Trash takes paths only.
    return moveToTrash(path, originalPath);
#else
    const QString original = QFileInfo(originalPath.isEmpty() ? path : originalPath).absoluteFilePath();
    const qsizetype slash = relative.lastIndexOf(QLatin1Char('/'));
    const QString name = relative.mid(slash + 1);
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return {};
    std::error_code ec;
    const FileOperations::FileDescriptor top = FileOperations::openFolder(root, ec);
    const FileOperations::FileDescriptor folder = ec ? FileOperations::FileDescriptor()
        : FileOperations::openFolderBeneath(top.get(), slash < 0 ? QString() : relative.left(slash), ec,
                                            FileOperations::LinksOnTheWay::FollowOwn);
    if (ec)
        return {};
    return trashEntry(folder.get(), encoded(name), path, original);
#endif
}

bool hasTrash(const QString &path)
{
#if defined(Q_OS_MACOS)
    Q_UNUSED(path);
    return true;
#else
    return !trashFor(QFileInfo(path).absoluteFilePath()).isEmpty();
#endif
}

bool isInTrash(const QString &path)
{
    static const QRegularExpression pattern(QStringLiteral(
        "(/(Trash|\\.Trash-[0-9]+|\\.Trash/[0-9]+)/files/[^/]+$)|(/\\.Trash/[^/]+$)|(/\\.Trashes/[0-9]+/[^/]+$)"));
    return path.startsWith(QLatin1Char('/')) && !path.contains(QLatin1String("/../"))
        && !path.endsWith(QLatin1String("/..")) && pattern.match(path).hasMatch();
}

namespace {

Error notInTrash(const QString &original)
{
    return Error(Error::PosixDomain, ENOENT,
                 QCoreApplication::translate("Trash", "\"%1\" is no longer in the Trash.")
                     .arg(QFileInfo(original).fileName()));
}

// A name in the Trash is used again once it was emptied: only the item whose
// record names this place is this one.
std::optional<Error> checkRestorable(const QString &inTrash, const QString &original)
{
#if !defined(Q_OS_MACOS)
    if (recordedPlace(inTrash) != QFileInfo(original).absoluteFilePath())
        return notInTrash(original);
#endif
    if (!isInTrash(inTrash) || !FileOperations::exists(inTrash))
        return notInTrash(original);
    if (FileOperations::exists(original))
        return Error(Error::PosixDomain, EEXIST,
                     QCoreApplication::translate("Trash", "Something else now stands at '%1'.").arg(original));
    return std::nullopt;
}

} // namespace

std::optional<Error> restore(const QString &inTrash, const QString &original)
{
    if (std::optional<Error> error = checkRestorable(inTrash, original))
        return error;
    if (std::optional<Error> error = FileOperations::createDirectories(QFileInfo(original).path()))
        return error;
    if (std::optional<Error> error = FileOperations::moveTree(inTrash, original))
        return error;
#if !defined(Q_OS_MACOS)
    QFile::remove(infoFileOf(inTrash));
#endif
    return std::nullopt;
}

std::optional<Error> restoreBeneath(const QString &inTrash, const QString &root, const QString &relative)
{
    const QString original = root + QLatin1Char('/') + relative;
    if (std::optional<Error> error = checkRestorable(inTrash, original))
        return error;
    const qsizetype slash = relative.lastIndexOf(QLatin1Char('/'));
    const QByteArray name = encoded(relative.mid(slash + 1));
    if (name.isEmpty() || name == "." || name == "..")
        return Error::fromErrorCode(std::make_error_code(std::errc::invalid_argument), original);
    std::error_code ec;
    const FileOperations::FileDescriptor top = FileOperations::openFolder(root, ec);
    if (ec)
        return Error::fromErrorCode(ec, root);
    // The folders on the way are made and entered without following a link
    // someone else put there: the template goes back below the root or not at all.
    const FileOperations::FileDescriptor folder = FileOperations::makeFolderBeneath(
        top.get(), slash < 0 ? QString() : relative.left(slash), ec, FileOperations::LinksOnTheWay::FollowOwn);
    if (ec)
        return Error::fromErrorCode(ec, original);
    if ((ec = FileOperations::renameNoReplace(AT_FDCWD, encoded(inTrash).constData(), folder.get(), name.constData())))
        return Error::fromErrorCode(ec, original);
#if !defined(Q_OS_MACOS)
    QFile::remove(infoFileOf(inTrash));
#endif
    return std::nullopt;
}

} // namespace Trash
