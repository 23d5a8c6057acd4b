// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

// The archives a project check looks in for missing templates: those open in
// the application first, then those the roots' receipts remember and the
// .mtzip files of the searched folders (ArchiveSearch). Each file once,
// also when reached through a link. Nothing is unpacked. Any thread.
namespace ProjectArchives {

struct Places
{
    QStringList openArchives;  // open in collection windows now
    QStringList roots;         // whose receipts name archives
    QStringList folders;       // searched for *.mtzip, not below
};

// `wantedFolders`: the missing templates' folders, comparable form; only
// receipts that installed one of them are worth a checksum.
QStringList gather(const Places &places, const QSet<QString> &wantedFolders);

} // namespace ProjectArchives
