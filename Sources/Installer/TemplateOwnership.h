// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Installer/Receipt.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// Whose an installed copy is, and whether it is as it was installed: what an
// install may replace and an uninstall may take without asking. Judged from
// the receipts and the files on disk.
namespace TemplateOwnership {

enum class State {
    NotInstalled,
    Identical,  // byte for byte what the archive would install
    Unchanged,  // this archive's receipt names it, with exactly these files
    Edited,     // this archive's receipt names it, and files were changed, added or removed
    Foreign,    // another archive's receipt names it, or none does (a hand copy, an older install)
};

struct Copy
{
    State state = State::NotInstalled;
    QString owner;               // the archive title of the receipt naming it; empty for none
    QStringList onlyInstalled;   // files of the installed copy the archive lacks (paths in it)
    // Edited only by files taken away: removing the copy loses nothing the
    // receipt's archive cannot give back.
    bool onlyRemovals = false;
    // Another archive's copy that is byte for byte this archive's: nothing
    // to copy, and still the other archive's.
    bool identical = false;
};

// One answer per destination (relative to the root) for the archive with
// this title; with a null title, each copy as its own receipt's (Unchanged
// or Edited, Foreign only without a receipt). `archiveFiles` holds, per destination, the files the archive
// would put there; nullopt where unknown (an archive only listed), and then
// nothing is Identical. A receipt entry without files cannot tell edits:
// such a copy counts as unchanged. Files named .DS_Store are the file
// manager's, never edits. Installed files are read only where sizes agree.
std::vector<Copy> assess(const QString &root, const QString &archiveTitle, const QStringList &destinations,
                         const std::vector<std::optional<std::vector<Receipt::File>>> &archiveFiles);

// "new", "identical", "unchanged", "edited", "foreign": for plans and JSON.
QString stateName(State state);

} // namespace TemplateOwnership
