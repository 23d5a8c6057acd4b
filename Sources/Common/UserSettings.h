// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QSettings>
#include <QString>
#include <QStringList>

// The user's choices that the application's Preferences window sets and
// both the application and mtzip read: one store, under the application's
// organisation and name whichever program reads it, so that a choice made in
// the window holds on the command line too (where options override it).
namespace UserSettings {

// The application's store (QSettings with its organisation and name, not
// those of the program that happens to run).
QSettings store();

// The Final Cut Pro version to judge templates against ("11.1"); empty:
// the newest one installed.
QString finalCutVersionOverride();
void setFinalCutVersionOverride(const QString &version);

// Folders, besides Downloads, where missing templates are looked for in
// archives.
QStringList archiveSearchFolders();
void setArchiveSearchFolders(const QStringList &folders);

// Whether removed templates go to the Trash (the default) or are deleted.
bool removeToTrash();
void setRemoveToTrash(bool toTrash);

} // namespace UserSettings
