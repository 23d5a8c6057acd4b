// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Interface/RecentArchives.h"

#include "Common/UserSettings.h"

#include <QFileInfo>

namespace {

const QString Key = QStringLiteral("recentArchives");

} // namespace

namespace RecentArchives {

QStringList paths()
{
    QStringList existing;
    for (const QString &path : UserSettings::store().value(Key).toStringList()) {
        if (QFileInfo(path).isFile())
            existing.append(path);
    }
    return existing;
}

void add(const QList<QUrl> &archives)
{
    QStringList list = UserSettings::store().value(Key).toStringList();
    // Backwards, so the first of `archives` ends up on top.
    for (auto it = archives.crbegin(); it != archives.crend(); ++it) {
        if (!it->isLocalFile())
            continue;
        const QString path = it->toLocalFile();
        list.removeAll(path);
        list.prepend(path);
    }
    UserSettings::store().setValue(Key, list.mid(0, Maximum));
}

void clear()
{
    UserSettings::store().remove(Key);
}

} // namespace RecentArchives
