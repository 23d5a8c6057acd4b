// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QCommandLineOption>

#include <chrono>
#include <optional>

class QCommandLineParser;
struct CliContext;

// --wait SECONDS of the commands that take the templates folder's lock
// (install, uninstall, remove): how long to wait for another run holding it.
class CliLockWait
{
public:
    void addOption(QCommandLineParser &parser) const;
    // The bound given, or nullopt (wait as long as it takes). False after
    // telling the user that the value is no number of seconds.
    bool read(CliContext &context, const QCommandLineParser &parser,
              std::optional<std::chrono::milliseconds> *wait) const;

private:
    QCommandLineOption _wait{QStringLiteral("wait"),
                             QStringLiteral("Wait at most SECONDS for another installation into the templates folder "
                                            "to finish, then fail naming its process (default: as long as it takes)."),
                             QStringLiteral("SECONDS")};
};
