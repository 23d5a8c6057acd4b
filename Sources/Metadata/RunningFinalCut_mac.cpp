// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Metadata/RunningFinalCut.h"

#include "Metadata/FinalCutVersions.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QThread>

namespace {

// AppleScript's "is running" asks without launching the application, and
// quit reaches it the way the Dock's Quit does.
bool runScript(const QString &script, QString *output = nullptr)
{
    QProcess process;
    process.start(QStringLiteral("/usr/bin/osascript"), {QStringLiteral("-e"), script});
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return false;
    if (output)
        *output = QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    return true;
}

bool isRunning(const QString &identifier)
{
    QString answer;
    return runScript(QStringLiteral("application id \"%1\" is running").arg(identifier), &answer)
        && answer == QLatin1String("true");
}

} // namespace

QString RunningFinalCut::running()
{
    for (const QString &identifier : FinalCutVersions::bundleIdentifiers()) {
        if (isRunning(identifier))
            return identifier;
    }
    return {};
}

bool RunningFinalCut::quitAndReopen(const QString &bundleIdentifier, std::chrono::milliseconds timeout)
{
    if (!FinalCutVersions::bundleIdentifiers().contains(bundleIdentifier))
        return false;
    if (!runScript(QStringLiteral("tell application id \"%1\" to quit").arg(bundleIdentifier)))
        return false;
    const QDeadlineTimer deadline(timeout);
    while (isRunning(bundleIdentifier)) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(500);
    }
    return QProcess::execute(QStringLiteral("/usr/bin/open"), {QStringLiteral("-b"), bundleIdentifier}) == 0;
}
