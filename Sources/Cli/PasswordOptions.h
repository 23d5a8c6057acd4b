// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QCommandLineOption>
#include <QString>

#include <optional>

class QCommandLineParser;
struct CliContext;

// --password shows in `ps`; a file or the environment does not.
class PasswordOptions
{
public:
    void add(QCommandLineParser &parser) const;

    // The password to use, empty for none; nullopt after telling why there
    // is none to be had, with the exit code to end with in `exitCode`.
    std::optional<QString> resolve(CliContext &context, const QCommandLineParser &parser, int *exitCode) const;

private:
    // The first line of the file, without its line break.
    std::optional<QString> fromFile(CliContext &context, const QString &path, int *exitCode) const;

    QCommandLineOption _password{QStringLiteral("password"),
                                 QStringLiteral("Password: extract reads traditional PKWARE and AES entries, "
                                                "pack writes traditional ones (visible to other users in ps)."),
                                 QStringLiteral("PW")};
    QCommandLineOption _file{QStringLiteral("password-file"),
                             QStringLiteral("Read the password from the first line of FILE. "
                                            "Without either option, MTZIP_PASSWORD is used when set."),
                             QStringLiteral("FILE")};
};
