// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QCommandLineOption>
#include <QString>

class QCommandLineParser;
struct CliContext;

// The templates folder a command works on: the user's Motion Templates
// folder, the one shared by all users (--all-users) or any other (--dest DIR).
class CliDestination
{
public:
    void addOptions(QCommandLineParser &parser) const;
    // The folder, as an absolute path; null after telling the user why there
    // is none, with the exit code to end with in `exitCode`.
    QString root(CliContext &context, const QCommandLineParser &parser, int *exitCode) const;
    // The same for commands that only read the folder: one that is missing or
    // cannot be read is an error, not an empty folder.
    QString existingRoot(CliContext &context, const QCommandLineParser &parser, int *exitCode) const;

private:
    QCommandLineOption _dest{QStringLiteral("dest"),
                             QStringLiteral("Use the templates folder DIR instead of the user's Motion Templates folder."),
                             QStringLiteral("DIR")};
    QCommandLineOption _allUsers{QStringLiteral("all-users"), QStringLiteral("Use the folder shared by all users.")};
};
