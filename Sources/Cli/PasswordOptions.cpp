// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Cli/PasswordOptions.h"

#include "Cli/Cli.h"

#include <QCommandLineParser>
#include <QFile>

void PasswordOptions::add(QCommandLineParser &parser) const
{
    parser.addOption(_password);
    parser.addOption(_file);
}

std::optional<QString> PasswordOptions::resolve(CliContext &context, const QCommandLineParser &parser,
                                                int *exitCode) const
{
    if (parser.isSet(_password) && parser.isSet(_file)) {
        context.error(QStringLiteral("--password and --password-file exclude each other"));
        *exitCode = Cli::UsageError;
        return std::nullopt;
    }
    if (parser.isSet(_password))
        return parser.value(_password);
    if (parser.isSet(_file))
        return fromFile(context, parser.value(_file), exitCode);
    // Last, so a script's environment never overrides what a person typed.
    return qEnvironmentVariable("MTZIP_PASSWORD");
}

std::optional<QString> PasswordOptions::fromFile(CliContext &context, const QString &path, int *exitCode) const
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        context.error(QStringLiteral("cannot read the password file \"%1\": %2").arg(path, file.errorString()));
        *exitCode = Cli::Failure;
        return std::nullopt;
    }
    QByteArray line = file.readLine();
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    // Asked for a password, never silently go without one.
    if (line.isEmpty()) {
        context.error(QStringLiteral("the password file \"%1\" holds no password on its first line").arg(path));
        *exitCode = Cli::Failure;
        return std::nullopt;
    }
    return QString::fromUtf8(line);
}
