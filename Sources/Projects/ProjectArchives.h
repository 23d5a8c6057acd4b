// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

// The archives a project check looks in for missing templates: those open in
// the application, those the roots' receipts remember (still there, the
// same file), the .mtzip files of the Downloads folder and of the folders
// the user added in the settings. Listed from folders, never opened here;
// each path once, in that order. Any thread.
namespace ProjectArchives {

struct Places
{
    QStringList openArchives;  // open in collection windows now
    QStringList roots;         // whose receipts name archives
    QStringList folders;       // searched for *.mtzip, not below
};

// The Downloads folder and UserSettings::archiveSearchFolders().
QStringList defaultFolders();

QStringList gather(const Places &places);

// The archives the receipts of `root` name that are still at their path and
// still the file that was installed (size and time, else its checksum).
QStringList rememberedArchives(const QString &root);

} // namespace ProjectArchives
