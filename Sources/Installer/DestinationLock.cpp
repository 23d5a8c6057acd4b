// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Installer/DestinationLock.h"

#include "Common/LogCategories.h"
#include "Common/ProgressListener.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMutex>
#include <QSet>
#include <QSysInfo>
#include <QThread>

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using FileOperations::FileDescriptor;

namespace {

// Roots this process holds: a second writer here (another window, started
// while the first one's progress processes events) would wait for itself.
// Installs and removals take it from worker threads, several at a time.
class HeldRoots
{
public:
    bool contains(const QString &root)
    {
        const QMutexLocker locker(&_mutex);
        return _roots.contains(root);
    }
    void insert(const QString &root)
    {
        const QMutexLocker locker(&_mutex);
        _roots.insert(root);
    }
    void remove(const QString &root)
    {
        const QMutexLocker locker(&_mutex);
        _roots.remove(root);
    }

private:
    QMutex _mutex;
    QSet<QString> _roots;
};

HeldRoots &heldHere()
{
    static HeldRoots roots;
    return roots;
}

std::error_code lastErrno()
{
    return std::error_code(errno, std::generic_category());
}

QByteArray lockName()
{
    return QFile::encodeName(DestinationLock::fileName());
}

// Opens the lock file without following a link and without blocking on a
// FIFO; read-only where another user's file may not be written (a kernel
// lock needs no more).
FileDescriptor openLockFile(int root, std::error_code &ec, bool create = true)
{
    const int flags = O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    FileDescriptor file(::openat(root, lockName().constData(), O_RDWR | flags | (create ? O_CREAT : 0), 0644));
    if (!file.isValid() && errno == EACCES) {
        file.reset(::openat(root, lockName().constData(), O_RDONLY | flags));
        // Missing and not to be made here: the folder is not ours to write.
        if (!file.isValid() && errno == ENOENT)
            errno = EACCES;
    }
    ec = file.isValid() ? std::error_code() : lastErrno();
    return file;
}

// Only a lock file of this user's own, with no other name, is written into:
// a hard link someone else planted at the lock's path may be any file of
// the user's, which writing the holder's lines would destroy.
bool mayWriteInto(int file)
{
    struct stat info;
    return ::fstat(file, &info) == 0 && info.st_uid == ::geteuid() && info.st_nlink == 1;
}

// Why the open file is no lock file; empty when it may be one.
QString noLockProblem(int file)
{
    struct stat info;
    if (::fstat(file, &info) != 0)
        return QStringLiteral("cannot be examined");
    if (S_ISDIR(info.st_mode))
        return QStringLiteral("a folder");
    if (!S_ISREG(info.st_mode))
        return QStringLiteral("not a regular file");
    return {};
}

// Whether `file` is still what stands at the lock's path: a holder that
// let go removes the file, and a lock on a removed file guards nothing.
bool stillInPlace(int root, int file)
{
    struct stat opened;
    struct stat there;
    return ::fstat(file, &opened) == 0 && ::fstatat(root, lockName().constData(), &there, AT_SYMLINK_NOFOLLOW) == 0
        && opened.st_dev == there.st_dev && opened.st_ino == there.st_ino;
}

struct Holder
{
    qint64 pid = 0;
    QString application;
};

// The holder as it wrote itself down (the lines QLockFile writes: process
// id, application, host). At most a few hundred bytes are read.
Holder holderOf(int file)
{
    char head[256] = {};
    const ssize_t got = ::pread(file, head, sizeof head - 1, 0);
    if (got <= 0)
        return {};
    const QList<QByteArray> lines = QByteArray(head, int(got)).split('\n');
    bool ok = false;
    const qint64 pid = lines.value(0).trimmed().toLongLong(&ok);
    if (!ok || pid <= 0)
        return {};
    return {pid, QString::fromUtf8(lines.value(1).trimmed()).left(64)};
}

void writeHolder(int file)
{
    const QByteArray lines = QByteArray::number(QCoreApplication::applicationPid()) + '\n'
        + QCoreApplication::applicationName().toUtf8() + '\n' + QSysInfo::machineHostName().toUtf8() + '\n';
    if (!mayWriteInto(file))
        return;
    if (::ftruncate(file, 0) == 0 && ::pwrite(file, lines.constData(), size_t(lines.size()), 0) < 0)
        qCDebug(lcInstall) << "cannot write the lock's holder:" << lastErrno().message().c_str();
}

} // namespace

DestinationLock::DestinationLock(const QString &root)
    : _root(root)
{
}

DestinationLock::~DestinationLock()
{
    release();
}

QString DestinationLock::fileName()
{
    return QStringLiteral(".mti-lock");
}

bool DestinationLock::setAside(int root, const QString &problem)
{
    QByteArray aside = lockName() + "-invalid";
    struct stat info;
    for (int n = 1; ::fstatat(root, aside.constData(), &info, AT_SYMLINK_NOFOLLOW) == 0; ++n)
        aside = lockName() + "-invalid-" + QByteArray::number(n);
    // A rename moves a link itself, never what it leads to.
    const bool moved = ::renameat(root, lockName().constData(), root, aside.constData()) == 0;
    const QString path = _root + QLatin1Char('/') + fileName();
    qCWarning(lcInstall).noquote() << "ignored" << path + QLatin1Char(':') << problem
                                   << (moved ? QStringLiteral("; set aside as %1").arg(QFile::decodeName(aside))
                                             : QStringLiteral("; cannot set it aside: %1")
                                                   .arg(QString::fromStdString(lastErrno().message())));
    return moved;
}

DestinationLock::Attempt DestinationLock::attempt(std::error_code &ec)
{
    const FileDescriptor root(::open(QFile::encodeName(_root).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!root.isValid()) {
        ec = lastErrno();
        return Attempt::Failed;
    }
    // What someone planted is set aside; planted again at once, it is
    // treated as a holder: the wait is bounded, the loop is not ours to lose.
    for (int planted = 0; planted < 3; ++planted) {
        FileDescriptor file = openLockFile(root.get(), ec);
        QString problem;
        if (ec == std::errc::too_many_symbolic_link_levels)
            problem = QStringLiteral("a symbolic link");
        else if (ec == std::errc::is_a_directory)
            problem = QStringLiteral("a folder");
        else if (ec)
            return Attempt::Failed;
        else
            problem = noLockProblem(file.get());
        if (!problem.isEmpty()) {
            file.reset();
            ec.clear();
            if (!setAside(root.get(), problem))
                return Attempt::Failed;
            continue;
        }
        if (::flock(file.get(), LOCK_EX | LOCK_NB) != 0) {
            if (errno == EWOULDBLOCK || errno == EINTR)
                return Attempt::HeldElsewhere;
            // A volume without kernel locks (some network shares): refusing
            // would make every install there fail, so it goes on, unguarded
            // against a second run at the same moment.
            if (errno != ENOLCK && errno != EOPNOTSUPP) {
                ec = lastErrno();
                return Attempt::Failed;
            }
            qCWarning(lcInstall).noquote() << "no kernel lock on" << _root << "; going on without one";
        }
        // Taken from a holder that removed the file as we opened it: next round.
        if (!stillInPlace(root.get(), file.get()))
            return Attempt::HeldElsewhere;
        writeHolder(file.get());
        _file = std::move(file);
        return Attempt::Taken;
    }
    return Attempt::HeldElsewhere;
}

Error DestinationLock::heldElsewhere(std::chrono::milliseconds waited) const
{
    const QString seconds = QString::number(double(waited.count()) / 1000);
    std::error_code ec;
    const FileDescriptor root(::open(QFile::encodeName(_root).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    const FileDescriptor file = root.isValid() ? openLockFile(root.get(), ec, false) : FileDescriptor();
    const Holder holder = file.isValid() && noLockProblem(file.get()).isEmpty() ? holderOf(file.get()) : Holder();
    if (holder.pid > 0) {
        return Error(Error::PosixDomain, EBUSY,
                     QCoreApplication::translate("DestinationLock",
                                                 "Another installation into %1 (process %2%3) still holds its lock; "
                                                 "gave up waiting after %4 s.")
                         .arg(_root)
                         .arg(holder.pid)
                         .arg(holder.application.isEmpty() ? QString() : QStringLiteral(", ") + holder.application)
                         .arg(seconds));
    }
    return Error(Error::PosixDomain, EBUSY,
                 QCoreApplication::translate("DestinationLock",
                                             "The lock file %1 names no installation but stood in the way; "
                                             "gave up waiting after %2 s.")
                     .arg(_root + QLatin1Char('/') + fileName(), seconds));
}

std::optional<Error> DestinationLock::acquire(ProgressListener *listener)
{
    if (isHeld())
        return std::nullopt;
    if (heldHere().contains(_root)) {
        return Error(Error::PosixDomain, EBUSY,
                     QCoreApplication::translate("DestinationLock",
                                                 "Another installation into %1 is under way in this application. "
                                                 "Try again when it has finished.")
                         .arg(_root));
    }
    using std::chrono::milliseconds;
    QElapsedTimer waited;
    waited.start();
    bool told = false;
    for (;;) {
        std::error_code ec;
        const Attempt result = attempt(ec);
        if (result == Attempt::Taken)
            break;
        if (result == Attempt::Failed)
            return Error::fromErrorCode(ec ? ec : std::make_error_code(std::errc::io_error), _root);
        const milliseconds elapsed(waited.elapsed());
        if (_waitLimit && elapsed >= *_waitLimit)
            return heldElsewhere(*_waitLimit);
        if (listener && !told && elapsed >= milliseconds(1000)) {
            told = true;
            listener->setStatus(QCoreApplication::translate("DestinationLock",
                "Waiting for another installation into %1 to finish").arg(_root));
        }
        if (listener && !listener->progress(0, 0)) {
            if (told)
                listener->setStatus(QString());
            return Error::cancelled();
        }
        milliseconds pause(told ? 100 : 250);
        if (_waitLimit)
            pause = std::clamp(*_waitLimit - elapsed, milliseconds(1), pause);
        QThread::msleep(static_cast<unsigned long>(pause.count()));
    }
    if (told && listener)
        listener->setStatus(QString());
    heldHere().insert(_root);
    return std::nullopt;
}

bool DestinationLock::tryAcquire()
{
    if (isHeld())
        return true;
    std::error_code ec;
    if (heldHere().contains(_root) || attempt(ec) != Attempt::Taken)
        return false;
    heldHere().insert(_root);
    return true;
}

void DestinationLock::release()
{
    if (!isHeld())
        return;
    // Removed while still locked, so that a waiter who opened it meanwhile
    // sees it gone and opens afresh.
    const FileDescriptor root(::open(QFile::encodeName(_root).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (root.isValid() && stillInPlace(root.get(), _file.get()))
        ::unlinkat(root.get(), lockName().constData(), 0);
    _file.reset();
    heldHere().remove(_root);
}
