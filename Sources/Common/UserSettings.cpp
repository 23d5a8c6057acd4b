// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Common/UserSettings.h"

namespace {

const QString Organization = QStringLiteral("Quillfen");
const QString Application = QStringLiteral("Motion Template Installer");

const QString FinalCutVersionKey = QStringLiteral("templates/finalCutVersion");
const QString SearchFoldersKey = QStringLiteral("projects/archiveSearchFolders");
const QString RemoveToTrashKey = QStringLiteral("templates/removeToTrash");

} // namespace

namespace UserSettings {

QSettings store()
{
    return QSettings(QSettings::UserScope, Organization, Application);
}

QString finalCutVersionOverride()
{
    return store().value(FinalCutVersionKey).toString().trimmed();
}

void setFinalCutVersionOverride(const QString &version)
{
    QSettings settings = store();
    if (version.trimmed().isEmpty())
        settings.remove(FinalCutVersionKey);
    else
        settings.setValue(FinalCutVersionKey, version.trimmed());
}

QStringList archiveSearchFolders()
{
    return store().value(SearchFoldersKey).toStringList();
}

void setArchiveSearchFolders(const QStringList &folders)
{
    store().setValue(SearchFoldersKey, folders);
}

bool removeToTrash()
{
    return store().value(RemoveToTrashKey, true).toBool();
}

void setRemoveToTrash(bool toTrash)
{
    store().setValue(RemoveToTrashKey, toTrash);
}

} // namespace UserSettings
