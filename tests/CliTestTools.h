// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Cli/Cli.h"

#include <QString>
#include <QStringList>
#include <QTextStream>

// mtzip run in this process, its output caught.
struct CliRun
{
    int exitCode = -1;
    QString out;
    QString err;
};

inline CliRun runMtzip(const QStringList &arguments, bool errIsTerminal = false)
{
    CliRun run;
    QTextStream out(&run.out);
    QTextStream err(&run.err);
    run.exitCode = runCli(QStringList{QStringLiteral("mtzip")} + arguments, out, err, errIsTerminal);
    out.flush();
    err.flush();
    return run;
}
