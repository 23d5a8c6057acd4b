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
    const QString top = topFolderOf(path, device);
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
int claimName(const QString &trash, const QString &base, QString *name)
{
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

} // namespace

QString moveToTrash(const QString &path, const QString &originalPath)
{
    const QString original = QFileInfo(originalPath.isEmpty() ? path : originalPath).absoluteFilePath();
#if defined(Q_OS_MACOS)
    Q_UNUSED(original);
    QString inTrash;
    return QFile::moveToTrash(path, &inTrash) ? inTrash : QString();
#else
    const QString trash = trashFor(QFileInfo(path).absoluteFilePath());
    if (trash.isEmpty())
        return {};
    QString base = QFileInfo(original).fileName();
    if (base.isEmpty())
        base = QFileInfo(path).fileName();
    QString name;
    const int fd = claimName(trash, base, &name);
    if (fd < 0)
        return {};
    const QString info = trash + QStringLiteral("/info/") + name + QStringLiteral(".trashinfo");
    const QByteArray record = "[Trash Info]\nPath=" + QUrl::toPercentEncoding(original, "/") + "\nDeletionDate="
        + QDateTime::currentDateTime().toString(Qt::ISODate).left(19).toLatin1() + '\n';
    const bool written = FileOperations::writeAll(fd, record.constData(), record.size());
    ::close(fd);
    const QString inTrash = trash + QStringLiteral("/files/") + name;
    if (!written || ::rename(encoded(path).constData(), encoded(inTrash).constData()) != 0) {
        QFile::remove(info);
        return {};
    }
    return inTrash;
#endif
}

bool isInTrash(const QString &path)
{
    static const QRegularExpression pattern(QStringLiteral(
        "(/(Trash|\\.Trash-[0-9]+|\\.Trash/[0-9]+)/files/[^/]+$)|(/\\.Trash/[^/]+$)|(/\\.Trashes/[0-9]+/[^/]+$)"));
    return path.startsWith(QLatin1Char('/')) && !path.contains(QLatin1String("/../"))
        && !path.endsWith(QLatin1String("/..")) && pattern.match(path).hasMatch();
}

std::optional<Error> restore(const QString &inTrash, const QString &original)
{
    if (!isInTrash(inTrash) || !FileOperations::exists(inTrash))
        return Error(Error::PosixDomain, ENOENT,
                     QCoreApplication::translate("Trash", "\"%1\" is no longer in the Trash.")
                         .arg(QFileInfo(original).fileName()));
    if (FileOperations::exists(original))
        return Error(Error::PosixDomain, EEXIST,
                     QCoreApplication::translate("Trash", "Something else now stands at '%1'.").arg(original));
    if (std::optional<Error> error = FileOperations::createDirectories(QFileInfo(original).path()))
        return error;
    if (std::optional<Error> error = FileOperations::moveTree(inTrash, original))
        return error;
#if !defined(Q_OS_MACOS)
    const QFileInfo item(inTrash);
    QFile::remove(item.path() + QStringLiteral("/../info/") + item.fileName() + QStringLiteral(".trashinfo"));
#endif
    return std::nullopt;
}

} // namespace Trash
