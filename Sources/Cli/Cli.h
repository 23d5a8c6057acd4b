// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Cli/CliCommand.h"

#include <QStringList>

#include <optional>

#include <memory>
#include <vector>

class QCommandLineParser;
class QTextStream;

// The `mtzip` tool: finds the command, parses its options, runs it. Commands
// write their results to `out` and their messages to `err`; progress is drawn
// on `err` only when it is a terminal.
class Cli
{
public:
    enum ExitCode { Success = 0, Failure = 1, UsageError = 2 };

    Cli(QTextStream &out, QTextStream &err, bool errIsTerminal = false);
    ~Cli();

    // arguments[0] is the program name, as in QCoreApplication::arguments().
    int run(const QStringList &arguments);

private:
    int dispatch(const QStringList &arguments);
    // The result, or a failure when standard output could not take it all.
    int checkedOutput(int result);
    int runCommand(CliCommand &command, const QStringList &arguments);
    // Why the positional arguments do not fit the command, if they do not.
    static std::optional<QString> positionalProblem(const CliCommand &command, const QCommandLineParser &parser);
    // The exit code, and the last line, once a signal arrived during the run.
    int afterSignal(int result);
    int usageError(const QString &reason);
    QString generalHelp() const;

    CliContext _context;
    std::vector<std::unique_ptr<CliCommand>> _commands;
};

int runCli(const QStringList &arguments, QTextStream &out, QTextStream &err,
           bool errIsTerminal = false);
