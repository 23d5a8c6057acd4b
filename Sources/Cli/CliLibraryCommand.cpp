// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Cli/CliLibraryCommand.h"

#include "Cli/Cli.h"
#include "Common/LogCategories.h"
#include "Installer/TemplateInstaller.h"
#include "Metadata/TemplateHiding.h"

#include <QCommandLineParser>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

QString cliPlural(qsizetype count, const char *singular, const char *plural)
{
    return QStringLiteral("%1 %2").arg(count).arg(QLatin1String(count == 1 ? singular : plural));
}

// The last column is not padded: trailing blanks would trip up scripts
// that split lines on whitespace.
void cliPrintTable(QTextStream &out, const QList<QStringList> &rows)
{
    if (rows.isEmpty())
        return;
    QList<qsizetype> widths(rows.first().size(), 0);
    for (const QStringList &row : rows) {
        for (qsizetype i = 0; i + 1 < row.size(); ++i)
            widths[i] = qMax(widths[i], row.at(i).size());
    }
    for (const QStringList &row : rows) {
        for (qsizetype i = 0; i < row.size(); ++i)
            out << (i + 1 < row.size() ? row.at(i).leftJustified(widths[i] + 2) : row.at(i));
        out << '\n';
    }
}

void LibraryCommand::addOptions(QCommandLineParser &parser)
{
    _destination.addOptions(parser);
    parser.addOption(_json);
    addOwnOptions(parser);
}

int LibraryCommand::run(CliContext &context, const QCommandLineParser &parser)
{
    int exitCode = Cli::Success;
    const QString root = _destination.existingRoot(context, parser, &exitCode);
    if (root.isNull())
        return exitCode;
    // A killed install's half-swapped copies would otherwise show as edits.
    TemplateInstaller::recoverInterruptedRun(root);
    // And a hide or show's half-made edit, which verify would call a change.
    TemplateHiding::recover(root);
    qCInfo(lcCli).noquote() << name() << "in" << root;
    return runIn(context, parser, root, parser.isSet(_json));
}

// Indented: people read it as often as programs do.
void LibraryCommand::print(CliContext &context, const QJsonObject &document)
{
    context.out << QJsonDocument(document).toJson(QJsonDocument::Indented);
    context.out.flush();
}
