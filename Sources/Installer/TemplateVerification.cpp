// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
// TemplateLibrary::verify: installed files against their receipts.
#include "Installer/TemplateLibrary.h"

#include "Common/FileNames.h"
#include "Common/ProgressListener.h"
#include "Installer/InstalledFiles.h"
#include "Installer/LibraryPaths.h"
#include "Installer/ReceiptIndex.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <map>

namespace TemplateLibrary {

namespace {

using FileNames::comparable;
using InstalledFiles::DiskFile;
using InstalledFiles::ReadProgress;

// The names a user selected templates by, each as it may be meant (a
// destination, a folder name, a title, an archive title), and which of them
// matched anything. No names select everything.
class Selection
{
public:
    Selection(const QString &root, const QStringList &names) : _names(names), _matched(size_t(names.size()), false)
    {
        for (qsizetype i = 0; i < names.size(); ++i) {
            for (const QString &name : {names.at(i), LibraryPaths::asDestination(root, names.at(i))}) {
                QList<qsizetype> &indexes = _wanted[comparable(name)];
                if (!indexes.contains(i))
                    indexes.append(i);
            }
        }
    }

    bool selects(const QString &destination, const QString &title, const Receipt *receipt)
    {
        if (_wanted.isEmpty())
            return true;
        bool any = false;
        for (const QString &key : {destination, LibraryPaths::lastComponent(destination), title,
                                   receipt ? receipt->archiveTitle : QString()}) {
            const auto it = _wanted.constFind(comparable(key));
            if (!key.isEmpty() && it != _wanted.cend()) {
                for (qsizetype index : *it)
                    _matched[size_t(index)] = true;
                any = true;
            }
        }
        return any;
    }

    QStringList unmatched() const
    {
        QStringList names;
        for (qsizetype i = 0; i < _names.size(); ++i) {
            if (!_matched[size_t(i)])
                names.append(_names.at(i));
        }
        return names;
    }

private:
    QStringList _names;
    QHash<QString, QList<qsizetype>> _wanted;
    std::vector<bool> _matched;
};

struct Job
{
    QString destination;
    QString title;
    const Receipt::Template *entry = nullptr;
    InstalledFiles::Listing files;  // what is on disk, as it is compared
};

// Every selected template on disk, and every one a receipt names that is
// gone altogether (missing too), in the library's order.
std::vector<Job> jobsFor(const QString &root, const ReceiptIndex &receipts, Selection &selection)
{
    std::vector<Job> jobs;
    QSet<QString> onDisk;
    for (const InstalledTemplate &item : scan(root)) {
        onDisk.insert(comparable(item.destination));
        const ReceiptIndex::Owner owner = receipts.ownerOf(item.destination);
        if (selection.selects(item.destination, item.title, owner.receipt))
            jobs.push_back({item.destination, item.title, owner.entry, {}});
    }
    for (auto it = receipts.owners().cbegin(); it != receipts.owners().cend(); ++it) {
        if (!onDisk.contains(it.key()) && selection.selects(it->entry->destination, it->entry->title, it->receipt))
            jobs.push_back({it->entry->destination, it->entry->title, it->entry, {}});
    }
    std::stable_sort(jobs.begin(), jobs.end(), [](const Job &a, const Job &b) {
        return LibraryPaths::orderKey(a.destination) < LibraryPaths::orderKey(b.destination);
    });
    return jobs;
}

// Lists the jobs' files on disk; answers the bytes to be read. Only files
// whose size matches need their data read: the progress total.
qint64 listFiles(const QString &root, std::vector<Job> &jobs)
{
    qint64 total = 0;
    for (Job &job : jobs) {
        if (!job.entry)
            continue;
        InstalledFiles::filesBelow(root + QLatin1Char('/') + job.destination, QString(), job.files);
        for (const Receipt::File &file : job.entry->files) {
            const auto it = job.files.find(comparable(file.path));
            const std::optional<Receipt::File> &hidden = job.entry->hidden;
            if (it != job.files.end()
                && (it->second.size == file.size
                    || (hidden && comparable(hidden->path) == comparable(file.path) && it->second.size == hidden->size)))
                total += it->second.size;
        }
    }
    return total;
}

// Compares one template's files with its receipt entry, taking each found
// file out of job.files: what is left there was added. False when the
// listener stopped it.
bool compare(const QString &root, Job &job, Verification &result, ReadProgress &progress)
{
    for (const Receipt::File &file : job.entry->files) {
        const auto it = job.files.find(comparable(file.path));
        if (it == job.files.end()) {
            result.missing.append(file.path);
            continue;
        }
        const DiskFile found = it->second;
        job.files.erase(it);
        const std::optional<Receipt::File> &hidden = job.entry->hidden;
        const bool mayBeHidden = hidden && comparable(hidden->path) == comparable(file.path) && found.size == hidden->size;
        if (found.size != file.size && !mayBeHidden) {
            result.changed.append(file.path);
            continue;
        }
        const std::optional<quint32> crc =
            InstalledFiles::fileCrc(root + QLatin1Char('/') + job.destination + QLatin1Char('/') + found.path, progress);
        if (progress.stopped)
            return false;
        if (crc && mayBeHidden && *crc == hidden->crc32) {
            result.hidden = true;
            continue;
        }
        // Unreadable: not what was installed, as far as anyone can tell.
        if (!crc || found.size != file.size || *crc != file.crc32)
            result.changed.append(file.path);
    }
    for (const auto &[key, file] : job.files)
        result.added.append(file.path);
    return true;
}

} // namespace

std::vector<Verification> verify(const QString &root, const QStringList &selection, ProgressListener *listener,
                                 QStringList *unmatched)
{
    const ReceiptIndex receipts(root);
    Selection selected(root, selection);
    std::vector<Job> jobs = jobsFor(root, receipts, selected);
    if (unmatched)
        *unmatched = selected.unmatched();
    ReadProgress progress{listener, 0, listFiles(root, jobs), false};

    std::vector<Verification> results;
    results.reserve(jobs.size());
    for (Job &job : jobs) {
        Verification result;
        result.destination = job.destination;
        result.title = job.title;
        result.hasReceipt = job.entry != nullptr;
        // A stop keeps what was compared before the template it came in.
        if (job.entry && !compare(root, job, result, progress))
            return results;
        results.push_back(std::move(result));
        if (listener && !listener->progress(progress.done, progress.total))
            return results;
    }
    return results;
}

} // namespace TemplateLibrary
