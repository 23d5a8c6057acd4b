// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Common/Error.h"
#include "Installer/Categories.h"
#include "Installer/TemplateTransaction.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <chrono>
#include <optional>
#include <vector>

class ProgressListener;

// What is installed below a destination root: every template folder in the
// four kind folders and their category folders, found by the rule the
// archive scan uses, whoever put it there, joined with the receipts. Hidden
// folders (receipts, an install's staged and set-aside copies) are never
// templates. The functions share no state: any thread may call them.
namespace TemplateLibrary {

struct InstalledTemplate
{
    QString destination;       // relative to the root: "Titles.localized/ZT Lower Thirds/LT_Name"
    quint64 templateType = 0;  // TemplateType
    QString categoryFolder;    // the category folder's name on disk
    QString category;          // as the collection shows it
    QString title;
    QString templateFile;      // relative to the root: the template file, for its preview
    qint64 size = 0;           // bytes of its files
    QDateTime installedAt;     // the receipt's time, else the folder's modification time
    QString originArchiveTitle;  // null when no receipt names it ("origin unknown")
    QString originArchivePath;   // where that archive was at install time
};

// Every installed template, ordered by kind folder, category folder and
// the rest of its path (UTF-8 bytes): the same order on every run. Where
// receipts disagree about a destination, the newest install speaks for it.
// One pass over the folders: 10,000 templates take well under a second.
std::vector<InstalledTemplate> scan(const QString &root, const Categories &categories = Categories::shipped());

struct Verification
{
    QString destination;
    QString title;
    bool hasReceipt = false;
    QStringList missing;  // in the receipt, not on disk; paths relative to the template folder
    QStringList changed;  // size or CRC-32 differ
    QStringList added;    // on disk, not in the receipt
    // The document is the one the user hid (TemplateHiding): not a change.
    bool hidden = false;
    bool isIntact() const { return missing.isEmpty() && changed.isEmpty(); }
};

// Compares installed files with their receipts; with `selection` (titles,
// destinations or archive titles) only the templates it names. Templates
// without a receipt come back with hasReceipt false and nothing to compare;
// those a receipt names that are gone altogether, with every file missing.
// Only files whose size matches are read (for their CRC-32); names are
// compared in composed Unicode form.
// A listener that answers false stops it with what was compared so far.
// Names of the selection that match nothing come back in `unmatched`.
std::vector<Verification> verify(const QString &root, const QStringList &selection = {},
                                 ProgressListener *listener = nullptr, QStringList *unmatched = nullptr);

// The destinations a selection names: a destination itself, or every
// template of the receipt with that archive title (names in any Unicode
// normalisation form; the destinations as they stand on disk). A receipt's
// template whose template file is gone still counts while its folder holds
// no other template. Names that match nothing come back in `unknown`.
QStringList resolve(const QString &root, const QStringList &pathsOrArchiveTitles, QStringList *unknown = nullptr);

// What remove() takes away, from where, and how.
struct RemovalRequest
{
    QString root{};
    QStringList destinations{};
    TemplateTransaction::Disposal disposal = TemplateTransaction::Disposal::Trash;
    ProgressListener *listener = nullptr;
    TemplateTransaction::RemovalReport *report = nullptr;
    // Bounds the wait for another run's lock (DestinationLock::setWaitLimit).
    std::optional<std::chrono::milliseconds> lockWait = std::nullopt;
};

// Removes installed templates by destination, holding the root's lock, as
// uninstall does (emptied folders go, receipts are trimmed or removed).
// A destination that is neither an installed template nor in a receipt (a
// kind or category folder, the root) refuses the whole call with ENOENT
// before anything is touched.
[[nodiscard]] std::optional<Error> remove(const RemovalRequest &request);
[[nodiscard]] std::optional<Error> remove(const QString &root, const QStringList &destinations,
                                          TemplateTransaction::Disposal disposal, ProgressListener *listener = nullptr,
                                          TemplateTransaction::RemovalReport *report = nullptr);

// Where the copy installed at a destination came from, against the files
// an archive would put there.
struct Provenance
{
    enum Kind {
        NotInstalled,
        ThisArchive,   // its receipt names this archive, with the same files
        OtherArchive,  // its receipt names another archive
        OtherCopy,     // its receipt names this archive's title, with other files
        Unknown,       // installed, but no receipt names it
    };
    Kind kind = NotInstalled;
    QString archiveTitle;  // the receipt's, for OtherArchive and OtherCopy
};

// One answer per destination (relative to the root), reading the receipts
// once. `archiveFiles` holds, per destination, the files the archive would
// install there (TemplateInstaller::archiveFiles); an empty list compares
// equal to anything, as for an archive only listed.
std::vector<Provenance> provenance(const QString &root, const QString &archiveTitle, const QStringList &destinations,
                                   const std::vector<std::vector<Receipt::File>> &archiveFiles);

} // namespace TemplateLibrary
