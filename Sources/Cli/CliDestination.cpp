// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Cli/CliDestination.h"

#include "Cli/Cli.h"
#include "Installer/TemplateInstaller.h"

#include <QCommandLineParser>
#include <QFileInfo>

void CliDestination::addOptions(QCommandLineParser &parser) const
{
    parser.addOption(_dest);
    parser.addOption(_allUsers);
}

QString CliDestination::root(CliContext &context, const QCommandLineParser &parser, int *exitCode) const
{
    if (parser.isSet(_dest) && parser.isSet(_allUsers)) {
        context.error(QStringLiteral("--dest and --all-users exclude each other"));
        *exitCode = Cli::UsageError;
        return {};
    }
    QString root;
    if (parser.isSet(_dest))
        root = QFileInfo(parser.value(_dest)).absoluteFilePath();
    else if (parser.isSet(_allUsers))
        root = TemplateInstaller::localDestMotionTemplatesFolder();
    else
        root = TemplateInstaller::userDestMotionTemplatesFolder();
    if (root.isEmpty()) {
        context.error(QStringLiteral("no destination folder could be determined; use --dest"));
        *exitCode = Cli::Failure;
        return {};
    }
    return root;
}
