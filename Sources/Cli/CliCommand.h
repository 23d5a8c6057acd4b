// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

class QCommandLineParser;
class QTextStream;

// What every command writes to and how much it may say.
struct CliContext
{
    QTextStream &out;
    QTextStream &err;
    // Decided once by main (isatty on the real stderr); false in tests.
    bool errIsTerminal = false;
    bool quiet = false;
    // Set once the last line about a signal has been written.
    bool signalReported = false;

    // Progress is drawn only on a terminal and never under --quiet.
    bool drawsProgress() const { return errIsTerminal && !quiet; }
    // "mtzip: <text>" on stderr.
    void error(const QString &text);
    // A line on stdout that --quiet silences.
    void info(const QString &text);
};

// One `mtzip` command: its name, its arguments, its options and its work.
class CliCommand
{
public:
    virtual ~CliCommand() = default;

    virtual QString name() const = 0;
    // The arguments after the options, as in the usage line: "ARCHIVE DIR".
    virtual QString synopsis() const = 0;
    // One line for the table of commands.
    virtual QString summary() const = 0;
    // A paragraph for the command's own help.
    virtual QString description() const = 0;
    // How many positional arguments it takes exactly; nullopt: at least one.
    virtual std::optional<int> positionalCount() const = 0;
    // With positionalCount() nullopt: none will do too ("verify" checks
    // everything when given no names).
    virtual bool positionalOptional() const { return false; }

    // Called on a parser of its own for every run: options are the
    // command's own, never shared with another command's parse.
    virtual void addOptions(QCommandLineParser &parser) = 0;
    // Runs with the parsed arguments; answers the exit code.
    virtual int run(CliContext &context, const QCommandLineParser &parser) = 0;
};

std::vector<std::unique_ptr<CliCommand>> makeCliCommands();

// The factories makeCliCommands() lists, one per command file.
std::unique_ptr<CliCommand> makeExtractCommand();
std::unique_ptr<CliCommand> makePackCommand();
std::unique_ptr<CliCommand> makeListCommand();
std::unique_ptr<CliCommand> makeInstallCommand();
std::unique_ptr<CliCommand> makeUninstallCommand();
std::unique_ptr<CliCommand> makeInstalledCommand();
std::unique_ptr<CliCommand> makeVerifyCommand();
std::unique_ptr<CliCommand> makeRemoveCommand();
std::unique_ptr<CliCommand> makeOwnerCommand();
std::unique_ptr<CliCommand> makeFilesCommand();
std::unique_ptr<CliCommand> makeInfoCommand();
std::unique_ptr<CliCommand> makeHideCommand();
std::unique_ptr<CliCommand> makeShowCommand();
