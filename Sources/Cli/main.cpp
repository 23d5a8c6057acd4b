// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Cli/Cli.h"
#include "Cli/CliSignals.h"
#include "Common/LocalTimeZone.h"
#include "Common/Version.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QTextStream>

#include <cstdio>
#include <unistd.h>

int main(int argc, char *argv[])
{
    LocalTimeZone::pin();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("mtzip"));
    QCoreApplication::setApplicationVersion(QStringLiteral(MTI_VERSION_STRING));
    // The tool tells its user what went wrong itself; the diagnostic lines
    // are for whoever asks for them with QT_LOGGING_RULES.
    if (qEnvironmentVariableIsEmpty("QT_LOGGING_RULES"))
        QLoggingCategory::setFilterRules(QStringLiteral("mtzip.*=false"));
    // Before any work: an install stopped by Ctrl-C must roll back, not die half done.
    CliSignals::install();
    QTextStream out(stdout);
    QTextStream err(stderr);
    // Progress goes to stderr and only to a terminal: a log file or a pipe
    // would fill with carriage returns.
    return runCli(QCoreApplication::arguments(), out, err, ::isatty(STDERR_FILENO) == 1);
}
