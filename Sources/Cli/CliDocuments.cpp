// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Cli/CliDocuments.h"

#include "Cli/CliCommand.h"
#include "Common/UserSettings.h"
#include "Metadata/FinalCutVersions.h"

#include <QCommandLineParser>
#include <QJsonArray>

void CliFinalCut::addOption(QCommandLineParser &parser) const
{
    parser.addOption(_option);
}

bool CliFinalCut::read(CliContext &context, const QCommandLineParser &parser, std::optional<QVersionNumber> *version) const
{
    if (!parser.optionNames().contains(_option.names().constFirst())) {
        *version = FinalCutVersions::effectiveVersion(UserSettings::finalCutVersionOverride());
        return true;
    }
    const QString text = parser.value(_option);
    const std::optional<QVersionNumber> given = FinalCutVersions::parse(text);
    if (!given) {
        context.error(QStringLiteral("--fcp-version takes a version such as 11.1, not \"%1\"").arg(text));
        return false;
    }
    *version = given;
    return true;
}

namespace CliDocuments {

namespace {

QJsonValue text(const QString &value)
{
    return value.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(value);
}

} // namespace

void addFields(QJsonObject &object, const Expected<TemplateDocument> &document, const TemplateMarks::Judgement &judgement)
{
    const QJsonValue null(QJsonValue::Null);
    QJsonArray marks;
    for (const TemplateMarks::Mark mark : judgement.marks)
        marks.append(TemplateMarks::name(mark));
    object.insert(QStringLiteral("marks"), marks);
    object.insert(QStringLiteral("detailsUnavailable"), !document.has_value());
    object.insert(QStringLiteral("detailsUnavailableReason"),
                  document ? null : QJsonValue(document.error().localizedDescription()));
    if (!document) {
        for (const char *key : {"formatVersion", "motionVersion", "finalCutRequired", "finalCutRequiredNewer", "theme",
                                "hidden", "flags", "description", "width", "height", "frameRate", "durationSeconds",
                                "parameters", "plugIns", "missingMedia", "incomplete"})
            object.insert(QLatin1String(key), null);
        return;
    }
    const TemplateDocument &doc = *document;
    object.insert(QStringLiteral("formatVersion"), text(doc.formatVersion));
    object.insert(QStringLiteral("motionVersion"), text(doc.motionVersionText));
    object.insert(QStringLiteral("finalCutRequired"), text(doc.finalCut.finalCut.toString()));
    object.insert(QStringLiteral("finalCutRequiredNewer"), doc.finalCut.newerThanTable);
    object.insert(QStringLiteral("theme"), text(doc.theme));
    object.insert(QStringLiteral("hidden"), doc.isObsolete());
    object.insert(QStringLiteral("flags"), doc.flags ? QJsonValue(qint64(*doc.flags)) : null);
    object.insert(QStringLiteral("description"), text(doc.description));
    object.insert(QStringLiteral("width"), doc.width > 0 ? QJsonValue(doc.width) : null);
    object.insert(QStringLiteral("height"), doc.height > 0 ? QJsonValue(doc.height) : null);
    object.insert(QStringLiteral("frameRate"), doc.frameRate > 0 ? QJsonValue(doc.frameRate) : null);
    object.insert(QStringLiteral("durationSeconds"), doc.durationSeconds() > 0 ? QJsonValue(doc.durationSeconds()) : null);
    object.insert(QStringLiteral("parameters"), QJsonArray::fromStringList(doc.parameters));
    QJsonArray plugIns;
    for (const TemplateDocument::PlugIn &plugIn : doc.plugIns)
        plugIns.append(QJsonObject{{QStringLiteral("name"), plugIn.name},
                                   {QStringLiteral("uuid"), plugIn.uuid},
                                   {QStringLiteral("version"), text(plugIn.version)}});
    object.insert(QStringLiteral("plugIns"), plugIns);
    object.insert(QStringLiteral("missingMedia"), QJsonArray::fromStringList(doc.missingMedia()));
    object.insert(QStringLiteral("incomplete"), doc.incomplete);
}

QString marksColumn(const TemplateMarks::Judgement &judgement)
{
    const QString marks = judgement.marksString();
    return marks.isEmpty() ? QStringLiteral("-") : marks;
}

} // namespace CliDocuments
