// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>

// The folder of all users belongs to an administrator: a window that
// changes it while this process may not write there runs the bundled mtzip
// for that one operation with the platform's elevation (pkexec on Linux,
// the authorization prompt on macOS), and reads mtzip's --json answer back.
namespace Elevation {

struct Result
{
    enum class Outcome {
        Done,      // mtzip ran and succeeded
        Declined,  // the password prompt was cancelled or refused: nothing was changed
        Failed,    // mtzip failed, or the elevation could not be started
    };
    Outcome outcome = Outcome::Failed;
    int exitCode = -1;
    // mtzip's --json document, when it printed one (also when it failed).
    QJsonObject document;
    // For Failed: what mtzip or the helper said, for the window's message.
    QString message;
};

// Whether changing `root` needs the elevation: it is the folder of all
// users and this process may not write into it (or, while it does not
// exist, into the nearest folder above it).
bool isNeeded(const QString &root);

// The mtzip that runs elevated: beside the application's executable (in the
// bundle's MacOS folder on macOS), or MTI_ELEVATE_MTZIP.
QString mtzipPath();

// Runs mtzip with `arguments` elevated, and waits for it: call it on a
// worker. The helper is pkexec, or osascript on macOS; MTI_ELEVATE_HELPER
// names another.
Result run(const QStringList &arguments);

// The command line the helper gets, in the order it runs (for the tests).
QStringList helperCommand(const QStringList &arguments);

// Test seam: the check whether this process may write a folder (as root
// it always may, so the tests answer for it).
void setWritableCheckForTesting(bool (*check)(const QString &folder));

} // namespace Elevation
