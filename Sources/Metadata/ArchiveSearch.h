// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

// Where archives that may provide a project's missing templates are looked
// for: those the receipts remember (when the file is still there and is the
// one installed), and the .mtzip files of the Downloads folder and of the
// folders the user named. Nothing is unpacked here.
namespace ArchiveSearch {

// The Downloads folder and the user's archive search folders, in that order.
QStringList defaultFolders();

// The .mtzip files directly in each folder (a file named instead of a
// folder counts as itself, whatever its name), each once, in the order given.
QStringList archivesIn(const QStringList &folders);

// The archives the receipts of `roots` remember that installed one of
// `wantedFolders` (relative template folders, comparable form): only those
// still at their path with the checksum the receipt recorded, so that an
// archive replaced by another of the same name is not trusted.
QStringList rememberedArchives(const QStringList &roots, const QSet<QString> &wantedFolders);

} // namespace ArchiveSearch
