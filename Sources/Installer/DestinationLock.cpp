// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Installer/DestinationLock.h"

#include "Common/ProgressListener.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMutex>
#include <QSet>

#include <cerrno>
#include <system_error>

DestinationLock::DestinationLock(const QString &root)
    : _root(root)
    , _file(root + QLatin1Char('/') + fileName())
{
    // A big install holds the lock for minutes; only a dead holder makes it stale.
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
    QElapsedTimer waited;
    waited.start();
    bool told = false;
    for (;;) {
        if (_file.tryLock(told ? 100 : 250))
            break;
        if (_file.error() != QLockFile::LockFailedError)
            return failure();
        if (!listener)
            continue;
        if (!told && waited.elapsed() >= 1000) {
            told = true;
            listener->setStatus(QCoreApplication::translate("DestinationLock",
                "Waiting for another installation into %1 to finish").arg(_root));
        }
        if (!listener->progress(0, 0)) {
            if (told)
                listener->setStatus(QString());
            return Error::cancelled();
        }
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
    if (heldHere().contains(_root) || !_file.tryLock(0))
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
