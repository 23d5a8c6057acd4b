// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Common/Error.h"
#include "Installer/Receipt.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

class InstallJournal;
class ProgressListener;

// Installing and removing the templates of one archive below a destination
// root as one transaction: the root ends either with the whole change made or
// exactly as it was, also after a failure, a cancel or a killed process
// (through the journal the next run finds). The caller holds the root's
// DestinationLock.
namespace TemplateTransaction {

// Where what is taken away goes: deleted, or to the Trash (deleted where the
// volume has none).
enum class Disposal { Delete, Trash };

struct InstallJob
{
    QString source;       // the template folder in the unpack folder
    QString destination;  // relative to the root
    qint64 size = 0;      // bytes, for progress
    bool move = false;    // may be renamed out of the unpack folder
    // Where a copy it replaces goes; unset: as install() is told.
    std::optional<Disposal> replacedDisposal;
};

struct InstallReport
{
    int newlyInstalled = 0;  // nothing stood at the destination before
    int replaced = 0;
    int identical = 0;       // already in place byte for byte: not copied again
    QStringList keptEdited;   // destinations of copies the user changed, left as they were
    QStringList keptForeign;  // destinations of others' copies, left as they were
    QStringList keptOwners;   // per kept destination (edited first): its archive title; empty for a hand copy
};

// The receipt an install leaves in the root, written in the same
// transaction as its templates: staged, swapped and undone like one of them.
// Receipts of other archives that name a destination this install replaces
// lose that entry (or go, when it was their last) in the same way.
struct InstallRecord
{
    Receipt receipt;
    // Called once every template is in place, before the receipt is written,
    // to fill in what was found out meanwhile (the archive's checksum, its
    // files); `goOn` answers false once the user cancelled. An error (the
    // cancel) undoes the install.
    std::function<std::optional<Error>(Receipt &receipt, const std::function<bool()> &goOn)> complete;
};

// Each template is copied (or moved) into a hidden folder beside its
// destination; only then is an older copy renamed aside and the new one
// renamed into place. When all are in place the older copies are removed
// (as each job or else the request's `replacedCopies` says: to the Trash one template at a
// time, where Restore finds its place); on any failure or cancel every change
// is undone and the error answered. With a record its receipt is written
// too, also when there is no job (every template was found in place).
struct InstallRequest
{
    QString root{};
    QString archiveTitle{};
    std::vector<InstallJob> jobs{};
    ProgressListener *listener = nullptr;
    InstallReport *report = nullptr;
    // Where replaced copies go unless their job says otherwise.
    Disposal replacedCopies = Disposal::Delete;
    const InstallRecord *record = nullptr;
};
[[nodiscard]] std::optional<Error> install(const InstallRequest &request);

struct RemovalReport
{
    int removed = 0;
    int failed = 0;
    std::optional<Error> firstError;
    bool trashed = false;  // went to the Trash, rather than deleted
    QStringList keptEdited;   // destinations of copies the user changed, left in place
    QStringList keptForeign;  // destinations another archive or the user owns, left in place
    QStringList keptOwners;   // per kept destination (edited first): its archive title; empty for a hand copy
};

// Removes the installed templates at these destinations, then every folder
// above them (below the root) left empty, and their entries in the
// receipts. With Trash each template goes to the Trash from its own place,
// so that Restore puts it back there (deleted where the volume has no
// Trash). A cancel while they are taken away puts them all back and
// answers a cancellation; failures to remove one template are counted in the
// report, never stop the others. A run killed on the way is completed by the
// next one (recover).
struct UninstallRequest
{
    QString root;
    QString archiveTitle;       // whose templates they are; names the journal
    QStringList destinations;   // relative to the root
    Disposal disposal = Disposal::Delete;
    ProgressListener *listener = nullptr;
    RemovalReport *report = nullptr;
};
[[nodiscard]] std::optional<Error> remove(const UninstallRequest &request);

// Folders above these destinations, up to but not including the root, that
// hold nothing but hidden files (no hidden folders) are removed: each looked
// at once. Hidden files someone put there (not the file manager's
// .DS_Store) go to the Trash with their folder.
void removeEmptiedFolders(const QString &root, const QStringList &destinations);

// Finishes or undoes what a run that did not end left in root: an install
// that had every template in place is completed, any other undone; an
// uninstall is completed. False when there was nothing to do or it could not
// all be done (the journal then stays for the next try).
bool recover(const QString &root, ProgressListener *listener = nullptr);

// After recovery, a journal still in root is a run that could not be
// undone: changing the root further could lose what it holds aside.
[[nodiscard]] std::optional<Error> unfinishedRun(const QString &root);

// For tests: called before each step of an install; answering true makes
// that step fail (with EIO), as a full disk or a locked folder would. The
// receipts an install writes count after its templates (from index
// jobs.size() on).
enum class Step { Stage, SetAside, Swap, Commit, RemoveBackup };
using FaultHook = bool (*)(Step step, qsizetype templateIndex);
void setFaultHook(FaultHook hook);

} // namespace TemplateTransaction
