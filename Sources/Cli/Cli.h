// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QStringList>

#include <optional>

class QCommandLineParser;
class QTextStream;

// The `mtzip` tool. Commands write their results to `out` and their messages
// to `err`; progress is drawn on `err` only when it is a terminal.
class Cli
{
public:
    enum ExitCode { Success = 0, Failure = 1, UsageError = 2 };

    Cli(QTextStream &out, QTextStream &err, bool errIsTerminal = false);

    // arguments[0] is the program name, as in QCoreApplication::arguments().
    int run(const QStringList &arguments);

private:
    enum InstallerAction { List, Install, Uninstall };

    int extract(const QStringList &arguments);
    int pack(const QStringList &arguments);
    int installerCommand(const QStringList &arguments, InstallerAction action);

    // Adds --help and parses. Answers an exit code when the command is done
    // (help shown, or a usage error told in one line), else nothing.
    // positionalCount -1 accepts any number.
    std::optional<int> parseCommand(QCommandLineParser &parser, const QStringList &arguments,
                                    int positionalCount);

    int usageError(const QString &reason);
    void printHelp();

    QTextStream &_out;
    QTextStream &_err;
    bool _errIsTerminal;
    bool _signalReported = false;
};

int runCli(const QStringList &arguments, QTextStream &out, QTextStream &err,
           bool errIsTerminal = false);
