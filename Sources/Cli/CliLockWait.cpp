// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Cli/CliLockWait.h"

#include "Cli/CliCommand.h"

#include <QCommandLineParser>

#include <cmath>

void CliLockWait::addOption(QCommandLineParser &parser) const
{
    parser.addOption(_wait);
}

bool CliLockWait::read(CliContext &context, const QCommandLineParser &parser,
                       std::optional<std::chrono::milliseconds> *wait) const
{
    *wait = std::nullopt;
    // Asked of commands without the option too, where isSet() would warn.
    if (!parser.optionNames().contains(_wait.names().constFirst()))
        return true;
    const QString text = parser.value(_wait);
    bool ok = false;
    const double seconds = text.toDouble(&ok);
    // A year is for ever as far as anyone waiting is concerned.
    if (!ok || !std::isfinite(seconds) || seconds < 0 || seconds > 365.0 * 24 * 3600) {
        context.error(QStringLiteral("--wait takes a number of seconds, not \"%1\"").arg(text));
        return false;
    }
    // Fractions are allowed: scripts and tests wait 0.5 s as readily as 5.
    *wait = std::chrono::milliseconds(std::llround(seconds * 1000));
    return true;
}
