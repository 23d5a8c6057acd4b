// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Cli/CliCommand.h"
#include "Cli/CliDestination.h"

#include <QCommandLineOption>
#include <QJsonArray>
#include <QList>
#include <QStringList>

class QJsonObject;

// "1 template", "2 templates".
QString cliPlural(qsizetype count, const char *singular, const char *plural);
// Columns padded to their widest cell; the last one is not padded.
void cliPrintTable(QTextStream &out, const QList<QStringList> &rows);

// What the commands over a templates folder share: the folder, which must
// exist and be readable, --json, and finishing or undoing what a killed run
// left there first. They need no archive.
class LibraryCommand : public CliCommand
{
public:
    // Final: every folder command takes --dest, --all-users and --json
    // alike; their own options come through addOwnOptions().
    void addOptions(QCommandLineParser &parser) final;
    int run(CliContext &context, const QCommandLineParser &parser) final;

protected:
    virtual void addOwnOptions(QCommandLineParser &) {}
    // Called only once the folder was found readable and recovered: the
    // commands never see a half-finished install's leftovers.
    virtual int runIn(CliContext &context, const QCommandLineParser &parser, const QString &root, bool json) = 0;

    static void print(CliContext &context, const QJsonObject &document);
    // Names given that match no installed template and no receipt, then
    // `nothingDone` ("nothing was removed"): a typo must not act on the rest.
    static void tellUnknown(CliContext &context, const QString &root, const QStringList &unknown,
                            const QString &nothingDone);

private:
    CliDestination _destination;
    QCommandLineOption _json{QStringLiteral("json"),
                             QStringLiteral("Print one JSON document on stdout instead of lines for people.")};
};
