#include "Cli.h"

#include <QTextStream>

namespace {

const char *const GeneralHelp =
    "Usage: mtzip COMMAND [OPTIONS] ARGUMENTS\n"
    "\n"
    "Installs and inspects motion template archives (.mtzip) and other zip files.\n"
    "\n"
    "Commands:\n"
    "  extract ARCHIVE DIR    unpack every entry of a zip archive into DIR\n"
    "  pack DIR ARCHIVE       write every file below DIR into a new zip archive\n"
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
        _out << "mtzip 1.0\n";
        _out.flush();
        return Success;
    }

    const QStringList commandArguments = QStringList{QStringLiteral("mtzip ") + command} + rest.mid(1);
    if (command == QLatin1String("extract"))
        return extract(commandArguments);
    if (command == QLatin1String("pack"))
        return pack(commandArguments);
    return usageError(QStringLiteral("unknown command '%1'; try 'mtzip --help'").arg(command));
}

int Cli::usageError(const QString &reason)
{
    _err << "mtzip: " << reason << '\n';
    _err.flush();
    return UsageError;
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
