#include "DestinationLock.h"

#include "ProgressListener.h"

#include <QElapsedTimer>

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

std::optional<Error> DestinationLock::acquire(ProgressListener *listener)
{
    if (_file.isLocked())
        return std::nullopt;
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
            listener->setStatus(QStringLiteral("Waiting for another installation into %1 to finish").arg(_root));
        }
        if (!listener->progress(0, 0)) {
            if (told)
                listener->setStatus(QString());
            return Error::cancelled();
        }
    }
    if (told && listener)
        listener->setStatus(QString());
    return std::nullopt;
}

bool DestinationLock::tryAcquire()
{
    return _file.isLocked() || _file.tryLock(0);
}

void DestinationLock::release()
{
    if (_file.isLocked())
        _file.unlock();
}
