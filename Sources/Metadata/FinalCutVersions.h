// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>
#include <QVersionNumber>

#include <optional>
#include <vector>

// Which Final Cut Pro opens what a Motion release saved, and which Final Cut
// Pro this machine has. The table is data (FinalCutVersions.json, compiled in
// as a resource), so a new release is a new row, not new code.
namespace FinalCutVersions {

struct Row
{
    QVersionNumber motion;    // "5.10"
    QVersionNumber finalCut;  // "11.1"
};

// The oldest Final Cut Pro that opens a document, as far as the table knows.
struct Requirement
{
    // Null: saved by a Motion older than the table's first row, which every
    // Final Cut Pro the table knows opens.
    QVersionNumber finalCut;
    // Saved by a Motion newer than the table's last row: it needs a Final Cut
    // Pro newer than `finalCut`.
    bool newerThanTable = false;
};

// The shipped table, sorted by Motion version; read once.
const std::vector<Row> &table();
// The Final Cut Pro bundle identifiers of the shipped table (the App Store
// edition, its trial and the subscription edition as they become known).
const QStringList &bundleIdentifiers();
// A table from its JSON text; null when the text is no such table (a row
// without both versions, versions that do not parse, Motion versions
// repeated). Rows come back sorted by Motion version.
std::optional<std::vector<Row>> parseTable(const QByteArray &json);

// "10.4", "10.4.1", "11": one to four dot-separated numbers, nothing else
// (no suffix, no spaces); null otherwise.
std::optional<QVersionNumber> parse(const QString &text);

// A Motion version listed by major and minor (any patch) takes its row's
// Final Cut Pro. One between two rows (6.1 between 6.0 and 6.2) takes the
// later row's: the nearest release known to open it. Below the first row no
// requirement; above the last one, newer than the last row's Final Cut Pro.
Requirement requirementFor(const QVersionNumber &motion, const std::vector<Row> &rows = table());

// Whether a Final Cut Pro of version `installed` cannot open a document
// with this requirement.
bool isTooNew(const Requirement &requirement, const QVersionNumber &installed);

struct Installation
{
    QString path;              // the application bundle
    QString bundleIdentifier;
    QVersionNumber version;    // CFBundleShortVersionString
};

// The application bundle at `appPath` when its Info.plist (XML or binary)
// names one of `identifiers` and a version that parses; null otherwise.
std::optional<Installation> readBundle(const QString &appPath, const QStringList &identifiers = bundleIdentifiers());
// The Final Cut Pro applications installed on this Mac (in /Applications and
// wherever Launch Services knows them), newest first. Empty elsewhere.
std::vector<Installation> installed();

// The version to judge documents against: the override when it is set
// (a setting, or the --fcp-version option), else the newest installed
// application. Null when neither gives one. An override that does not parse
// counts as unset.
std::optional<QVersionNumber> effectiveVersion(const QString &overrideText);

} // namespace FinalCutVersions
