// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QHash>
#include <QString>

// The Categories list: category prefixes ("AB") and their display titles.
// A value, cheap to copy; an empty list answers none for every prefix.
class Categories
{
public:
    Categories() = default;

    // The list shipped as the Categories.plist resource. Read on first
    // successful use and kept for the process; while the resource is missing
    // or unreadable every call tries again and answers an empty list.
    // Safe to call from any thread.
    static Categories shipped();
    // The list in another property list file (XML or binary); empty, with a
    // diagnostic line for a read error, when it cannot be read or parsed.
    static Categories fromFile(const QString &path);
    // The list in property list bytes whose top level is a dictionary;
    // entries whose value is no string are left out.
    static Categories fromPropertyList(const QByteArray &bytes);

    // The title for a prefix (exact, case-sensitive match), or a null string.
    QString titleForPrefix(const QString &prefix) const;
    bool isEmpty() const { return _titles.isEmpty(); }

private:
    QHash<QString, QString> _titles;
};
