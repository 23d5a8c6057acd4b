// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Common/Error.h"

#include <cerrno>
#include <QCoreApplication>

Error::Error(QString domain, int code, QString localizedDescription)
    : _domain(std::move(domain))
    , _code(code)
    , _localizedDescription(std::move(localizedDescription))
{
}

Error Error::fromErrorCode(const std::error_code &ec, const QString &path)
{
    const QString reason = QString::fromStdString(ec.message());
    const QString text = path.isEmpty()
        ? reason
        : QCoreApplication::translate("Error", "\"%1\": %2").arg(path, reason);
    // std::filesystem reports generic (errno) values on POSIX systems.
    return Error(PosixDomain, ec.value(), text);
}

bool Error::isPermissionError() const
{
    return _domain == PosixDomain && (_code == EACCES || _code == EPERM || _code == EROFS);
}

bool Error::isCancellation() const
{
    return _domain == PosixDomain && _code == ECANCELED;
}

Error Error::cancelled()
{
    return fromErrorCode(std::make_error_code(std::errc::operation_canceled));
}
