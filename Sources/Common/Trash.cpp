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

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Trash {

namespace {

QByteArray encoded(const QString &path)
{
    return QFile::encodeName(path);
}

#if !defined(Q_OS_MACOS)

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

// The Trash for items on `path`'s volume: the home Trash on the home's
// volume, else the volume's own (.Trash/UID when an administrator made a
// sticky .Trash, else .Trash-UID).
QString trashFor(const QString &path)
{
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
// Takes the entry `name` of the open folder `folder` (known to the user as
// `path`) into the Trash of its volume, recorded as coming from `original`.
QString trashEntry(int folder, const QByteArray &name, const QString &path, const QString &original)
{
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

QString moveToTrash(const QString &path, const QString &originalPath)
{
    const QString original = QFileInfo(originalPath.isEmpty() ? path : originalPath).absoluteFilePath();
#if defined(Q_OS_MACOS)
    Q_UNUSED(original);
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
