// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Metadata/FinalCutVersions.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <plist/plist.h>

#include <algorithm>

namespace FinalCutVersions {

namespace {

struct Shipped
{
    std::vector<Row> rows;
    QStringList identifiers;
};

const Shipped &shipped()
{
    // Read once, on first use, from any thread (a function static). A resource
    // that does not read gives an empty table: nothing is too new, no crash.
    static const Shipped data = [] {
        Shipped result;
        QFile file(QStringLiteral(":/Metadata/FinalCutVersions.json"));
        if (!file.open(QIODevice::ReadOnly))
            return result;
        const QByteArray json = file.readAll();
        result.rows = parseTable(json).value_or(std::vector<Row>{});
        for (const QJsonValue &id : QJsonDocument::fromJson(json).object().value(u"finalCutBundleIdentifiers").toArray())
            if (id.isString())
                result.identifiers.append(id.toString());
        return result;
    }();
    return data;
}

// The table is by Motion major.minor: patch releases save the same format.
QVersionNumber majorMinor(const QVersionNumber &version)
{
    return QVersionNumber(version.majorVersion(), version.minorVersion());
}

// A string value of a plist dictionary, or a null string.
QString plistString(plist_t dict, const char *key)
{
    plist_t node = plist_dict_get_item(dict, key);
    if (!node || plist_get_node_type(node) != PLIST_STRING)
        return {};
    char *value = nullptr;
    plist_get_string_val(node, &value);
    const QString text = QString::fromUtf8(value);
    // libplist hands out a malloc'd copy: ours to free, with free().
    free(value);
    return text;
}

} // namespace

const std::vector<Row> &table()
{
    return shipped().rows;
}

const QStringList &bundleIdentifiers()
{
    return shipped().identifiers;
}

std::optional<std::vector<Row>> parseTable(const QByteArray &json)
{
    const QJsonDocument document = QJsonDocument::fromJson(json);
    if (!document.isObject())
        return std::nullopt;
    const QJsonValue rowsValue = document.object().value(u"motionToFinalCut");
    if (!rowsValue.isArray())
        return std::nullopt;
    std::vector<Row> rows;
    for (const QJsonValue &value : rowsValue.toArray()) {
        const std::optional<QVersionNumber> motion = parse(value[u"motion"].toString());
        const std::optional<QVersionNumber> finalCut = parse(value[u"finalCut"].toString());
        if (!motion || !finalCut)
            return std::nullopt;
        rows.push_back({majorMinor(*motion), *finalCut});
    }
    std::sort(rows.begin(), rows.end(), [](const Row &a, const Row &b) { return a.motion < b.motion; });
    const auto repeated = std::adjacent_find(rows.begin(), rows.end(),
                                             [](const Row &a, const Row &b) { return a.motion == b.motion; });
    if (repeated != rows.end())
        return std::nullopt;
    return rows;
}

std::optional<QVersionNumber> parse(const QString &text)
{
    // Bounded digits: a version from a plist or a setting must fit
    // QVersionNumber's ints. A suffix ("11.0b1") would compare as its numbers
    // alone, so it is refused rather than passed as 11.0.
    static const QRegularExpression shape(QStringLiteral("^\\d{1,6}(\\.\\d{1,6}){0,3}$"));
    if (!shape.match(text).hasMatch())
        return std::nullopt;
    return QVersionNumber::fromString(text);
}

Requirement requirementFor(const QVersionNumber &motion, const std::vector<Row> &rows)
{
    if (rows.empty() || motion.isNull())
        return {};
    const QVersionNumber key = majorMinor(motion);
    // The first row whose Motion is not older than the document's.
    const auto row = std::lower_bound(rows.begin(), rows.end(), key,
                                      [](const Row &r, const QVersionNumber &v) { return r.motion < v; });
    if (row == rows.end())
        return {rows.back().finalCut, true};
    if (row->motion == key)
        return {row->finalCut, false};
    if (row == rows.begin())
        return {};
    return {row->finalCut, false};
}

bool isTooNew(const Requirement &requirement, const QVersionNumber &installed)
{
    if (requirement.finalCut.isNull() || installed.isNull())
        return false;
    // Newer than the table: even the last row's Final Cut Pro cannot open it.
    if (requirement.newerThanTable)
        return installed <= requirement.finalCut;
    return installed < requirement.finalCut;
}

std::optional<Installation> readBundle(const QString &appPath, const QStringList &identifiers)
{
    QFile file(appPath + QStringLiteral("/Contents/Info.plist"));
    const QFileInfo info(file.fileName());
    // An Info.plist is a few kilobytes; anything else there is not read.
    if (!info.isFile() || info.size() > 4 * 1024 * 1024 || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    plist_t root = nullptr;
    // libplist 2.3 added a format argument; the build finds out which we have.
#if MTI_PLIST_FROM_MEMORY_TAKES_FORMAT
    plist_from_memory(bytes.constData(), uint32_t(bytes.size()), &root, nullptr);
#else
    plist_from_memory(bytes.constData(), uint32_t(bytes.size()), &root);
#endif
    if (!root)
        return std::nullopt;
    std::optional<Installation> result;
    if (plist_get_node_type(root) == PLIST_DICT) {
        const QString identifier = plistString(root, "CFBundleIdentifier");
        const std::optional<QVersionNumber> version = parse(plistString(root, "CFBundleShortVersionString"));
        if (identifiers.contains(identifier) && version)
            result = Installation{appPath, identifier, *version};
    }
    plist_free(root);
    return result;
}

std::optional<QVersionNumber> effectiveVersion(const QString &overrideText)
{
    // Trimmed: a version typed into the settings by hand often ends in a space.
    if (const std::optional<QVersionNumber> version = parse(overrideText.trimmed()))
        return version;
    const std::vector<Installation> apps = installed();
    if (apps.empty())
        return std::nullopt;
    return apps.front().version;
}

} // namespace FinalCutVersions
