// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Installer/DestinationLock.h"

#include "Common/FileOperations.h"
#include "Common/LogCategories.h"
#include "Common/ProgressListener.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMutex>
#include <QSet>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

DestinationLock::DestinationLock(const QString &root)
    : _root(root)
    , _file(root + QLatin1Char('/') + fileName())
{
    _file.setStaleLockTime(0);
}

DestinationLock::~DestinationLock()
{
    release();
}

QString DestinationLock::fileName()
{
    return QStringLiteral(".mti-lock");
}

std::optional<Error> DestinationLock::failure() const
{
    const int code = _file.error() == QLockFile::PermissionError ? EACCES : EIO;
    return Error::fromErrorCode(std::error_code(code, std::generic_category()), _root);
}

namespace {

// What QLockFile writes is a few short lines.
constexpr qint64 MaxLockSize = 4096;
// A QLockFile writes who holds it right after making the file; one that
// still names nobody after this long never will. (Breaking it takes its
// flock, which a live holder keeps, so a slow writer is safe even so.)
constexpr int UnnamedLockStaleMs = 2000;

// Why what stands at path is no lock file QLockFile made; empty when it may
// be one, or nothing is there. Any user's file may be one: in a folder
// several users share, the holder may be another of them, and what a lock
// says only decides how long to wait.
QString noLockProblem(const QString &path)
{
    const FileOperations::SmallFile file =
        FileOperations::readSmallFile(path, MaxLockSize, FileOperations::FileOwner::Anyone);
    // Unreadable for want of permission: QLockFile cannot read it either,
    // and waits as for a live holder.
    return file || file.error == ENOENT || file.error == EACCES ? QString() : file.problem;
}

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

} // namespace

bool DestinationLock::clearTheWay()
{
    const QString path = _file.fileName();
    // QLockFile's own lock for breaking a stale one is read as carelessly.
    for (const QString &name : QStringList{path, path + QStringLiteral(".rmlock")}) {
        if (noLockProblem(name).isEmpty())
            continue;
        // Under a lock on the root folder itself: two runs doing this at once
        // never take away a lock file one of them has just made.
        const int folder = ::open(QFile::encodeName(_root).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (folder < 0)
            return false;
        bool cleared = false;
        if (::flock(folder, LOCK_EX | LOCK_NB) == 0) {
            const QString problem = noLockProblem(name);
            QString aside = name + QStringLiteral("-invalid");
            struct stat info;
            for (int n = 1; ::lstat(QFile::encodeName(aside).constData(), &info) == 0; ++n)
                aside = name + QStringLiteral("-invalid-") + QString::number(n);
            // A rename moves a link itself, never what it leads to.
            cleared = problem.isEmpty()
                || ::rename(QFile::encodeName(name).constData(), QFile::encodeName(aside).constData()) == 0;
            const int error = errno;
            if (!problem.isEmpty()) {
                qCWarning(lcInstall).noquote() << "ignored" << name + QLatin1Char(':') << problem
                                               << (cleared ? QStringLiteral("; set aside as %1").arg(aside)
                                                           : QStringLiteral("; cannot set it aside: %1")
                                                                 .arg(QString::fromLocal8Bit(std::strerror(error))));
            }
        }
        ::close(folder);
        if (!cleared)
            return false;
    }
    qint64 pid = 0;
    const bool named = !FileOperations::exists(path) || _file.getLockInfo(&pid, nullptr, nullptr);
    // A big install holds the lock for minutes: only a dead holder makes a
    // lock that names one stale.
    _file.setStaleLockTime(named ? 0 : UnnamedLockStaleMs);
    return true;
}

std::optional<Error> DestinationLock::heldElsewhere(std::chrono::milliseconds waited)
{
    qint64 pid = 0;
    QString host;
    QString application;
    const QString seconds = QString::number(double(waited.count()) / 1000);
    if (noLockProblem(_file.fileName()).isEmpty() && _file.getLockInfo(&pid, &host, &application)) {
        return Error(Error::PosixDomain, EBUSY,
                     QCoreApplication::translate("DestinationLock",
                                                 "Another installation into %1 (process %2%3) still holds its lock; "
                                                 "gave up waiting after %4 s.")
                         .arg(_root)
                         .arg(pid)
                         .arg(application.isEmpty() ? QString() : QStringLiteral(", ") + application)
                         .arg(seconds));
    }
    return Error(Error::PosixDomain, EBUSY,
                 QCoreApplication::translate("DestinationLock",
                                             "The lock file %1 names no installation but stood in the way; "
                                             "gave up waiting after %2 s.")
                     .arg(_file.fileName(), seconds));
}

std::optional<Error> DestinationLock::acquire(ProgressListener *listener)
{
    if (_file.isLocked())
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
        if (clearTheWay()) {
            if (_file.tryLock(0))
                break;
            if (_file.error() != QLockFile::LockFailedError)
                return failure();
        }
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
    if (_file.isLocked())
        return true;
    if (heldHere().contains(_root) || !clearTheWay() || !_file.tryLock(0))
        return false;
    heldHere().insert(_root);
    return true;
}

void DestinationLock::release()
{
    if (_file.isLocked()) {
        _file.unlock();
        heldHere().remove(_root);
    }
}
