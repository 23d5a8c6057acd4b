// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Cli/Cli.h"
#include "Cli/CliSignals.h"
#include "Common/Version.h"

#include <QCommandLineParser>
#include <QFileDevice>
#include <QLoggingCategory>
#include <QTextStream>

#include <csignal>

namespace {

// The name users type, whatever the executable's path: messages and usage
// lines read as the command line did.
const QLatin1String Program("mtzip");

// Taken by every command, before or after its name.
struct GlobalOptions
{
    QCommandLineOption quiet{{QStringLiteral("q"), QStringLiteral("quiet")},
                             QStringLiteral("Print errors only: no progress and no summary lines.")};
    QCommandLineOption verbose{{QStringLiteral("v"), QStringLiteral("verbose")},
                               QStringLiteral("Also print the diagnostic log (the mtzip.* logging categories).")};
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help.")};
};

// While installed, every mtzip.* category logs at every level; the filter
// before it decides the rest.
QLoggingCategory::CategoryFilter previousFilter = nullptr;

void verboseFilter(QLoggingCategory *category)
{
    if (previousFilter)
        previousFilter(category);
    if (qstrncmp(category->categoryName(), "mtzip.", 6) == 0) {
        category->setEnabled(QtDebugMsg, true);
        category->setEnabled(QtInfoMsg, true);
        category->setEnabled(QtWarningMsg, true);
        category->setEnabled(QtCriticalMsg, true);
    }
}

// --verbose for one command's run: Cli runs in-process in tests, so the
// filter goes again with the run rather than staying for the process.
class VerboseLogging
{
public:
    explicit VerboseLogging(bool on)
        : _on(on)
    {
        if (_on)
            previousFilter = QLoggingCategory::installFilter(verboseFilter);
    }
    ~VerboseLogging()
    {
        if (_on)
            QLoggingCategory::installFilter(previousFilter);
    }
    VerboseLogging(const VerboseLogging &) = delete;
    VerboseLogging &operator=(const VerboseLogging &) = delete;

private:
    bool _on;
};

// Whether an argument before the command's name spells this option; the
// parser only sees what follows the name.
bool isOption(const QString &argument, const QCommandLineOption &option)
{
    for (const QString &name : option.names()) {
        if (argument == (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name)
            return true;
    }
    return false;
}

} // namespace

// Flushed at once: a message must not wait behind results for a pipe.
void CliContext::error(const QString &text)
{
    err << Program << ": " << text << '\n';
    err.flush();
}

void CliContext::info(const QString &text)
{
    if (quiet)
        return;
    out << text << '\n';
    out.flush();
}

// In the order of the general help: zip commands, then archives, then the folder.
std::vector<std::unique_ptr<CliCommand>> makeCliCommands()
{
    std::vector<std::unique_ptr<CliCommand>> commands;
    commands.push_back(makeExtractCommand());
    commands.push_back(makePackCommand());
    commands.push_back(makeListCommand());
    commands.push_back(makeInstallCommand());
    commands.push_back(makeUninstallCommand());
    commands.push_back(makeInstalledCommand());
    commands.push_back(makeVerifyCommand());
    commands.push_back(makeRemoveCommand());
    commands.push_back(makeOwnerCommand());
    commands.push_back(makeFilesCommand());
    commands.push_back(makeInfoCommand());
    commands.push_back(makeHideCommand());
    commands.push_back(makeShowCommand());
    return commands;
}

Cli::Cli(QTextStream &out, QTextStream &err, bool errIsTerminal)
    : _context{out, err, errIsTerminal}
    , _commands(makeCliCommands())
{
}

Cli::~Cli() = default;

int Cli::run(const QStringList &arguments)
{
    return checkedOutput(dispatch(arguments));
}

int Cli::checkedOutput(int result)
{
    // Results that never reached their reader (a full disk, a closed pipe)
    // are no success, however well the work went.
    _context.out.flush();
    if (_context.out.status() == QTextStream::Ok)
        return result;
    const auto *file = qobject_cast<const QFileDevice *>(_context.out.device());
    const QString reason = file && file->error() != QFileDevice::NoError ? file->errorString() : QString();
    _context.error(QStringLiteral("cannot write to standard output%1")
                       .arg(reason.isEmpty() ? QString() : QStringLiteral(": ") + reason));
    _context.out.resetStatus();
    return result == Success ? Failure : result;
}

int Cli::dispatch(const QStringList &arguments)
{
    const GlobalOptions global;
    QStringList rest = arguments.mid(1);
    // Options for every command may also come before it.
    QStringList leading;
    while (!rest.isEmpty() && rest.first().startsWith(QLatin1Char('-'))) {
        const QString argument = rest.first();
        if (isOption(argument, global.help) || argument == QLatin1String("help")) {
            _context.out << generalHelp();
            _context.out.flush();
            return Success;
        }
        if (argument == QLatin1String("--version")) {
            _context.out << "mtzip " MTI_VERSION_STRING "\n";
            _context.out.flush();
            return Success;
        }
        if (!isOption(argument, global.quiet) && !isOption(argument, global.verbose))
            return usageError(QStringLiteral("unknown option '%1'; try 'mtzip --help'").arg(argument));
        leading.append(rest.takeFirst());
    }
    if (rest.isEmpty())
        return usageError(QStringLiteral("no command given; try 'mtzip --help'"));

    const QString name = rest.takeFirst();
    if (name == QLatin1String("help")) {
        _context.out << generalHelp();
        _context.out.flush();
        return Success;
    }
    for (const std::unique_ptr<CliCommand> &command : _commands) {
        if (command->name() == name)
            return runCommand(*command, QStringList{Program + QLatin1Char(' ') + name} + leading + rest);
    }
    return usageError(QStringLiteral("unknown command '%1'; try 'mtzip --help'").arg(name));
}

int Cli::runCommand(CliCommand &command, const QStringList &arguments)
{
    const GlobalOptions global;
    QCommandLineParser parser;
    // "-dest" is read as "--dest", not as "-d -e -s -t".
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(command.description());
    parser.addOption(global.help);
    parser.addOption(global.quiet);
    parser.addOption(global.verbose);
    command.addOptions(parser);
    if (!parser.parse(arguments))
        return usageError(parser.errorText());
    if (parser.isSet(global.help)) {
        // QCommandLineParser names the executable's full path; users type
        // "mtzip <command>".
        QString text = parser.helpText();
        text = text.mid(text.indexOf(QLatin1Char('\n')) + 1);
        _context.out << "Usage: " << Program << ' ' << command.name() << " [options] " << command.synopsis()
                     << '\n' << text;
        _context.out.flush();
        return Success;
    }
    if (parser.isSet(global.quiet) && parser.isSet(global.verbose))
        return usageError(QStringLiteral("--quiet and --verbose exclude each other"));

    if (const std::optional<QString> wrong = positionalProblem(command, parser))
        return usageError(*wrong);

    _context.quiet = parser.isSet(global.quiet);
    _context.signalReported = false;
    const VerboseLogging logging(parser.isSet(global.verbose));
    return afterSignal(command.run(_context, parser));
}

std::optional<QString> Cli::positionalProblem(const CliCommand &command, const QCommandLineParser &parser)
{
    const qsizetype given = parser.positionalArguments().size();
    const std::optional<int> wanted = command.positionalCount();
    if (wanted && given != *wanted) {
        return QStringLiteral("%1 takes %2 arguments, got %3; see 'mtzip %1 --help'")
            .arg(command.name())
            .arg(*wanted)
            .arg(given);
    }
    if (!wanted && given == 0 && !command.positionalOptional()) {
        // "ARCHIVE..." asks for "at least one archive".
        return QStringLiteral("%1 needs at least one %2; see 'mtzip %1 --help'")
            .arg(command.name(), command.synopsis().section(QLatin1Char('.'), 0, 0).toLower());
    }
    return std::nullopt;
}

int Cli::afterSignal(int result)
{
    const int signal = CliSignals::received();
    if (!signal)
        return result;
    // Too late to stop anything: the work is done, and saying otherwise
    // would have a script redo or undo it.
    if (!_context.signalReported && result == 0) {
        _context.error(QStringLiteral("%1 arrived after the work was done; nothing was left undone")
                           .arg(QLatin1String(CliSignals::name(signal))));
        return result;
    }
    // Commands that were stopped say what they left; the rest get one line.
    if (!_context.signalReported) {
        _context.error(QStringLiteral("%1 by %2")
                           .arg(QLatin1String(signal == SIGINT ? "interrupted" : "terminated"),
                                QLatin1String(CliSignals::name(signal))));
    }
    // As shells report a process a signal ended.
    return 128 + signal;
}

int Cli::usageError(const QString &reason)
{
    _context.error(reason);
    return UsageError;
}

QString Cli::generalHelp() const
{
    QStringList left;
    qsizetype width = 0;
    for (const std::unique_ptr<CliCommand> &command : _commands) {
        left.append(QString(command->name() + QLatin1Char(' ') + command->synopsis()).trimmed());
        width = qMax(width, left.last().size());
    }
    QString text = QStringLiteral("Usage: mtzip [--quiet | --verbose] COMMAND [OPTIONS] ARGUMENTS\n"
                                  "\n"
                                  "Installs and inspects motion template archives (.mtzip) and other zip files.\n"
                                  "\n"
                                  "Commands:\n");
    for (size_t i = 0; i < _commands.size(); ++i)
        text += QStringLiteral("  ") + left.at(qsizetype(i)).leftJustified(width + 3) + _commands[i]->summary() + QLatin1Char('\n');
    text += QStringLiteral("\n"
                           "Options of every command:\n"
                           "  -q, --quiet      print errors only\n"
                           "  -v, --verbose    also print the diagnostic log\n"
                           "  -h, --help       show the help of mtzip or of a command\n"
                           "  --version        print the version\n"
                           "\n"
                           "Run 'mtzip COMMAND --help' for a command's options.\n"
                           "Exit status: 0 success, 1 failure, 2 usage error, 130 interrupted (SIGINT),\n"
                           "143 terminated (SIGTERM).\n");
    return text;
}

int runCli(const QStringList &arguments, QTextStream &out, QTextStream &err, bool errIsTerminal)
{
    return Cli(out, err, errIsTerminal).run(arguments);
}
