// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// How the library's functions read the names users give them and order the
// destinations they answer.
namespace LibraryPaths {

QString withoutSlashes(QString path);

// A name given by a user as a destination: relative to the root, or an
// absolute path inside it.
QString asDestination(const QString &root, const QString &name);

QString lastComponent(const QString &path);

// Kind folder first, then category folder, then the rest of the path, each
// by its UTF-8 bytes.
struct OrderKey
{
    int kind = 0;
    QByteArray category;
    QByteArray rest;
    bool operator<(const OrderKey &other) const
    {
        if (kind != other.kind)
            return kind < other.kind;
        if (category != other.category)
            return category < other.category;
        return rest < other.rest;
    }
};

OrderKey orderKey(const QString &destination);

// "a/b/c" gives "a/b" and "a".
QStringList foldersAbove(const QString &path);

} // namespace LibraryPaths
