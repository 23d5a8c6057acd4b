// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Common/Expected.h"
#include "Metadata/TemplateDocument.h"
#include "Metadata/TemplateMarks.h"

#include <QCommandLineOption>
#include <QJsonObject>
#include <QVersionNumber>

#include <optional>

class QCommandLineParser;
struct CliContext;

// --fcp-version: the Final Cut Pro the commands that judge templates judge
// them against. It overrides the setting, which overrides the newest
// installed application.
class CliFinalCut
{
public:
    void addOption(QCommandLineParser &parser) const;
    // The version to judge against, or nullopt when none is known. False
    // after telling the user that the value given is no version.
    bool read(CliContext &context, const QCommandLineParser &parser, std::optional<QVersionNumber> *version) const;

private:
    QCommandLineOption _option{QStringLiteral("fcp-version"),
                               QStringLiteral("Judge templates against Final Cut Pro VERSION (such as 11.1) instead of "
                                              "the setting or the newest one installed."),
                               QStringLiteral("VERSION")};
};

// What a template's document says, as the JSON of list, installed and info
// carry it, and as the tables' marks column shows it.
namespace CliDocuments {

// Adds formatVersion, motionVersion, finalCutRequired, finalCutRequiredNewer,
// theme, hidden, flags, description, width, height, frameRate,
// durationSeconds, parameters, plugIns, missingMedia, incomplete, marks,
// detailsUnavailable and detailsUnavailableReason; every key is there for
// every template, null where the document did not say.
void addFields(QJsonObject &object, const Expected<TemplateDocument> &document,
               const TemplateMarks::Judgement &judgement);

// The marks string, or "-" when there is none.
QString marksColumn(const TemplateMarks::Judgement &judgement);

} // namespace CliDocuments
