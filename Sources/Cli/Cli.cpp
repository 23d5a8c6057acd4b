// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Cli/Cli.h"
#include "Cli/CliSignals.h"
#include "Common/Version.h"

#include <QCommandLineParser>
#include <QTextStream>

#include <csignal>

namespace {

const char *const GeneralHelp =
    "Usage: mtzip COMMAND [OPTIONS] ARGUMENTS\n"
    "\n"
    "Installs and inspects motion template archives (.mtzip) and other zip files.\n"
    "\n"
    "Commands:\n"
    "  extract ARCHIVE DIR    unpack every entry of a zip archive into DIR\n"
    "  pack DIR ARCHIVE       write every file below DIR into a new zip archive\n"
    "  list ARCHIVE...        list the templates of template archives\n"
    "  install ARCHIVE...     install the templates of template archives\n"
    "  uninstall ARCHIVE...   remove the installed templates of template archives\n"
    "\n"
    "Run 'mtzip COMMAND --help' for a command's options.\n"
    "Exit status: 0 success, 1 failure, 2 usage error.\n";

} // namespace

Cli::Cli(QTextStream &out, QTextStream &err, bool errIsTerminal)
    : _out(out)
    , _err(err)
    , _errIsTerminal(errIsTerminal)
{
}

int Cli::run(const QStringList &arguments)
{
    const QStringList rest = arguments.mid(1);
    if (rest.isEmpty())
        return usageError(QStringLiteral("no command given; try 'mtzip --help'"));

    const QString command = rest.first();
    if (command == QLatin1String("--help") || command == QLatin1String("-h")
        || command == QLatin1String("help")) {
        printHelp();
        return Success;
    }
    if (command == QLatin1String("--version")) {
        _out << "mtzip " MTI_VERSION_STRING "\n";
        _out.flush();
        return Success;
    }

    const QStringList commandArguments = QStringList{QStringLiteral("mtzip ") + command} + rest.mid(1);
    int result = UsageError;
    if (command == QLatin1String("extract"))
        result = extract(commandArguments);
    else if (command == QLatin1String("pack"))
        result = pack(commandArguments);
    else if (command == QLatin1String("list"))
        result = installerCommand(commandArguments, List);
    else if (command == QLatin1String("install"))
        result = installerCommand(commandArguments, Install);
    else if (command == QLatin1String("uninstall"))
        result = installerCommand(commandArguments, Uninstall);
    else
        return usageError(QStringLiteral("unknown command '%1'; try 'mtzip --help'").arg(command));
    if (const int signal = CliSignals::received()) {
        if (!_signalReported) {
            _err << "mtzip: " << (signal == SIGINT ? "interrupted" : "terminated") << " by " << CliSignals::name(signal)
                 << '\n';
            _err.flush();
        }
        return 128 + signal;
    }
    return result;
}

int Cli::usageError(const QString &reason)
{
    _err << "mtzip: " << reason << '\n';
    _err.flush();
    return UsageError;
}

std::optional<int> Cli::parseCommand(QCommandLineParser &parser, const QStringList &arguments, int positionalCount)
{
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help."));
    parser.addOption(help);
    if (!parser.parse(arguments))
        return usageError(parser.errorText());
    if (parser.isSet(help)) {
        _out << parser.helpText();
        _out.flush();
        return Success;
    }
    const qsizetype given = parser.positionalArguments().size();
    if (positionalCount >= 0 && given != positionalCount) {
        return usageError(QStringLiteral("%1 takes %2 arguments, got %3; see '%4 --help'")
                              .arg(arguments.first().section(QLatin1Char(' '), 1))
                              .arg(positionalCount)
                              .arg(given)
                              .arg(arguments.first()));
    }
    return std::nullopt;
}

void Cli::printHelp()
{
    _out << GeneralHelp;
    _out.flush();
}

int runCli(const QStringList &arguments, QTextStream &out, QTextStream &err, bool errIsTerminal)
{
    return Cli(out, err, errIsTerminal).run(arguments);
}
