// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Installer/Receipt.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QString>

// What every JSON document mtzip prints shares.
namespace CliJson {

// Every document carries it; raised when a field changes meaning or goes
// away, not when one is added.
constexpr int FormatVersion = 1;

// A null string as JSON null: "unknown" and "empty" differ for the reader.
inline QJsonValue nullable(const QString &text)
{
    return text.isNull() ? QJsonValue(QJsonValue::Null) : QJsonValue(text);
}

// "version", "command" and "destination", the fields every document begins with.
inline QJsonObject document(const QString &command, const QString &destination)
{
    return QJsonObject{{QStringLiteral("version"), FormatVersion},
                       {QStringLiteral("command"), command},
                       {QStringLiteral("destination"), destination}};
}

// What a receipt says of its archive: "title", "fileName", "path",
// "sha256" (null when not recorded), "installedAt" (ISO 8601 UTC) and
// "installedBy".
inline QJsonObject archive(const Receipt &receipt)
{
    return QJsonObject{{QStringLiteral("title"), receipt.archiveTitle},
                       {QStringLiteral("fileName"), receipt.archiveFileName},
                       {QStringLiteral("path"), receipt.archivePath},
                       {QStringLiteral("sha256"), nullable(receipt.archiveSha256.isEmpty() ? QString()
                                                                                           : receipt.archiveSha256)},
                       {QStringLiteral("installedAt"), receipt.installedAt.toUTC().toString(Qt::ISODate)},
                       {QStringLiteral("installedBy"), receipt.installedBy}};
}

} // namespace CliJson
