#include "Cli.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>
#include <unistd.h>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("mtzip"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0"));
    QTextStream out(stdout);
    QTextStream err(stderr);
    return runCli(QCoreApplication::arguments(), out, err, ::isatty(STDERR_FILENO) == 1);
}
