// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Cli/CliDestination.h"

#include "Cli/Cli.h"
#include "Installer/TemplateInstaller.h"

#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

#include <dirent.h>

namespace {

// Why a templates folder cannot be read; null when it can.
QString unreadableFolder(const QString &root)
{
    const QFileInfo info(root);
    if (!info.exists())
        return QStringLiteral("the templates folder \"%1\" does not exist").arg(root);
    if (!info.isDir())
        return QStringLiteral("the templates folder \"%1\" is not a folder").arg(root);
    // Opened, not only stat'ed: a folder without read permission looks
    // fine to QFileInfo and would list as empty.
    DIR *dir = ::opendir(QFile::encodeName(root).constData());
    if (!dir)
        return QStringLiteral("the templates folder \"%1\" cannot be read: %2")
            .arg(root, QString::fromLocal8Bit(std::strerror(errno)));
    ::closedir(dir);
    return {};
}

} // namespace

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
    if (parser.isSet(_dest)) {
        const QString given = parser.value(_dest);
        // Whatever a command would make of a file there, it is not what was meant.
        if (given.isEmpty() || (QFileInfo::exists(given) && !QFileInfo(given).isDir())) {
            context.error(given.isEmpty() ? QStringLiteral("--dest needs a folder")
                                          : QStringLiteral("--dest \"%1\" is not a folder").arg(given));
            *exitCode = Cli::UsageError;
            return {};
        }
        // Absolute, so receipts and JSON name it the same from any folder.
        return QFileInfo(given).absoluteFilePath();
    }
    const QString root = parser.isSet(_allUsers) ? TemplateInstaller::localDestMotionTemplatesFolder()
                                                 : TemplateInstaller::userDestMotionTemplatesFolder();
    if (root.isEmpty()) {
        // The common cause (a service or cron without HOME) gets its own words.
        context.error(!parser.isSet(_allUsers) && qEnvironmentVariableIsEmpty("HOME")
                          ? QStringLiteral("HOME is not set, so there is no Movies folder to find the Motion "
                                           "Templates folder in; use --dest")
                          : QStringLiteral("no destination folder could be determined; use --dest"));
        *exitCode = Cli::Failure;
        return {};
    }
    return root;
}

QString CliDestination::existingRoot(CliContext &context, const QCommandLineParser &parser, int *exitCode) const
{
    const QString folder = root(context, parser, exitCode);
    if (folder.isNull())
        return folder;
    const QString problem = unreadableFolder(folder);
    if (problem.isNull())
        return folder;
    context.error(problem);
    *exitCode = Cli::Failure;
    return {};
}
