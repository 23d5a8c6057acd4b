// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <system_error>

// An error object: a domain, an integer code and a localized description.
// Operations that can fail return std::optional<Error>, empty on success.
class Error
{
public:
    static inline const QString PosixDomain = QStringLiteral("NSPOSIXErrorDomain");
    // The zip layer's faults: the code is a ZipError::Code, the description
    // the message its delegate was told. Callers decide by the code.
    static inline const QString ZipDomain = QStringLiteral("MTIZipErrorDomain");

    Error() = default;
    Error(QString domain, int code, QString localizedDescription);

    // A file-system error passed up unchanged: POSIX domain, errno-style code,
    // the system's message naming the path.
    [[nodiscard]] static Error fromErrorCode(const std::error_code &ec, const QString &path = {});

    const QString &domain() const { return _domain; }
    int code() const { return _code; }
    const QString &localizedDescription() const { return _localizedDescription; }

    bool isPermissionError() const;
    // The user or a signal stopped the operation: not a failure.
    bool isCancellation() const;
    [[nodiscard]] static Error cancelled();

    friend bool operator==(const Error &, const Error &) = default;

private:
    QString _domain;
    int _code = 0;
    QString _localizedDescription;
};
