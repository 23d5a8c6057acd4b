// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Interface/Elevation.h"

#include "Installer/TemplateFolders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QProcess>

#include <unistd.h>

namespace Elevation {

namespace {

bool mayWrite(const QString &folder)
{
    return ::access(QFile::encodeName(folder).constData(), W_OK) == 0;
}

bool (*sWritable)(const QString &) = mayWrite;

// pkexec's answers when no administrator said yes: 126 the prompt was
// dismissed, 127 not authorized (or no agent to ask).
#if !defined(Q_OS_MACOS)
constexpr int PkexecDismissed = 126;
constexpr int PkexecNotAuthorized = 127;
#endif

#if defined(Q_OS_MACOS)
// For `do shell script`: each argument in single quotes for the shell,
// then the whole line escaped for AppleScript's string.
QString shellQuoted(const QString &argument)
{
    QString quoted = argument;
    quoted.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

QString appleScriptString(QString text)
{
    text.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    text.replace(QLatin1Char('"'), QStringLiteral("\\\""));
    return QLatin1Char('"') + text + QLatin1Char('"');
}
#endif

} // namespace

bool isNeeded(const QString &root)
{
    const QString allUsers = TemplateFolders::forAllUsers();
    if (root.isEmpty() || allUsers.isEmpty() || QDir::cleanPath(root) != QDir::cleanPath(allUsers))
        return false;
    // An install makes the folders it lacks: the nearest one there decides.
    QString folder = QDir::cleanPath(root);
    while (!QFileInfo::exists(folder) && QFileInfo(folder).path() != folder)
        folder = QFileInfo(folder).path();
    return !sWritable(folder);
}

QString mtzipPath()
{
    const QString chosen = qEnvironmentVariable("MTI_ELEVATE_MTZIP");
    if (!chosen.isEmpty())
        return chosen;
    return QCoreApplication::applicationDirPath() + QStringLiteral("/mtzip");
}

QStringList helperCommand(const QStringList &arguments)
{
    QStringList command{mtzipPath()};
    command += arguments;
    QString helper = qEnvironmentVariable("MTI_ELEVATE_HELPER");
#if defined(Q_OS_MACOS)
    // The authorization prompt through osascript rather than the Security
    // framework: AuthorizationExecuteWithPrivileges is deprecated, and its
    // replacement (a privileged helper tool through SMJobBless) is a
    // launchd service to sign and install, much for one operation now and
    // then. `do shell script … with administrator privileges` asks with the
    // system's own prompt and runs the one command line as root.
    if (helper.isEmpty())
        helper = QStringLiteral("/usr/bin/osascript");
    QStringList quoted;
    for (const QString &argument : std::as_const(command))
        quoted.append(shellQuoted(argument));
    return {helper, QStringLiteral("-e"),
            QStringLiteral("do shell script %1 with administrator privileges")
                .arg(appleScriptString(quoted.join(QLatin1Char(' '))))};
#else
    if (helper.isEmpty())
        helper = QStringLiteral("pkexec");
    // pkexec takes the program and its arguments as they are: no shell.
    return QStringList{helper} + command;
#endif
}

Result run(const QStringList &arguments)
{
    const QStringList command = helperCommand(arguments);
    QProcess process;
    process.start(command.first(), command.mid(1));
    Result result;
    if (!process.waitForStarted(-1)) {
        result.message = QCoreApplication::translate("Elevation", "The administrator's permission could not be asked "
                                                     "for: %1 did not start.").arg(command.first());
        return result;
    }
    // The prompt waits for the user, the operation for the disk: no limit.
    process.waitForFinished(-1);
    const QByteArray out = process.readAllStandardOutput();
    const QString err = QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    const QJsonDocument document = QJsonDocument::fromJson(out);
    if (document.isObject())
        result.document = document.object();
#if defined(Q_OS_MACOS)
    // osascript says "User canceled. (-128)" when the prompt is cancelled.
    const bool declined = result.exitCode != 0 && err.contains(QLatin1String("(-128)"));
#else
    const bool declined = result.exitCode == PkexecDismissed || result.exitCode == PkexecNotAuthorized;
#endif
    if (declined) {
        result.outcome = Result::Outcome::Declined;
    } else if (result.exitCode == 0) {
        result.outcome = Result::Outcome::Done;
    } else {
        result.outcome = Result::Outcome::Failed;
        // mtzip's own words, without its name before them.
        QString said = err.section(QLatin1Char('\n'), -1);
        if (said.startsWith(QLatin1String("mtzip: ")))
            said = said.mid(7);
        result.message = said.isEmpty() ? QCoreApplication::translate("Elevation", "mtzip ended with status %1.")
                                              .arg(result.exitCode)
                                        : said;
    }
    return result;
}

void setWritableCheckForTesting(bool (*check)(const QString &folder))
{
    sWritable = check ? check : mayWrite;
}

} // namespace Elevation
