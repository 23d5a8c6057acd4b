// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Installer/TemplateTransaction.h"

#include "Common/FileOperations.h"
#include "Installer/InstallJournal.h"
#include "Installer/ReceiptIndex.h"
#include "Installer/TransactionStaging.h"
#include "Installer/TransactionSupport.h"
#include "Common/LogCategories.h"
#include "Common/ProgressListener.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace TemplateTransaction {

using namespace Support;

namespace {

FaultHook sFaultHook = nullptr;

[[nodiscard]] std::optional<Error> injectedFault(Step step, qsizetype index, const QString &path)
{
    if (sFaultHook && sFaultHook(step, index))
        return Error::fromErrorCode(std::make_error_code(std::errc::io_error), path);
    return std::nullopt;
}

// Receipts are journalled as templates are, below the receipts folder.
bool isReceipt(const QString &destination)
{
    return destination.startsWith(Receipt::folderName() + QLatin1Char('/'));
}

using FileOperations::FileDescriptor;
using FileOperations::FileId;
using FileOperations::LinksOnTheWay;
using namespace Staging;

// Makes the copy to put in place as `staging` in the open folder, and says
// what it made there.
using Prepare = std::function<std::optional<Error>(int folder, const QByteArray &staging, std::optional<FileId> &made)>;

// One place the swap below changes: `relative` to the root, `index` its
// number in the journal (and for injected faults).
struct Swap
{
    QString relative;
    qsizetype index = 0;
    Prepare prepare;
    bool trashReplaced = false;
};

// The swap a template and a receipt alike go through: prepared beside its
// place under a hidden name (by `prepare`), the older one renamed aside, the
// new one renamed in, all relative to the descriptor of the folder they are
// in. Without `prepare` the older one is only set aside, so that the commit
// removes it. `replaced` tells whether anything stood there.
[[nodiscard]] std::optional<Error> swapIn(InstallJournal &journal, int root, const Swap &swap, bool *replaced)
{
    const QString &relative = swap.relative;
    const qsizetype index = swap.index;
    const Prepare &prepare = swap.prepare;
    const QString parentRelative = parentOf(relative);
    std::optional<Error> error;
    const FileDescriptor parent = openParent(journal, root, parentRelative, error);
    if (error)
        return error;
    const QString staging = unusedNameIn(parent.get(), ownName("stage", index));
    if ((error = journal.addStaging(relative, staging, swap.trashReplaced)))
        return error;
    const QByteArray stagingName = QFile::encodeName(staging);
    if ((error = injectedFault(Step::Stage, index, join(journal.root(), parentRelative) + QLatin1Char('/') + staging)))
        return error;
    std::optional<FileId> made;
    if (prepare && (error = prepare(parent.get(), stagingName, made)))
        return error;

    const QString target = join(journal.root(), relative);
    const QByteArray name = lastName(relative);
    const bool replacing = FileOperations::fileIdAt(parent.get(), name.constData()).has_value();
    *replaced = replacing;
    const QString backup = replacing ? unusedNameIn(parent.get(), ownName("backup", index)) : QString();
    if ((error = journal.addSwap(backup)))
        return error;
    if (replacing) {
        if ((error = injectedFault(Step::SetAside, index, target)))
            return error;
        const QByteArray aside = QFile::encodeName(backup);
        const std::error_code ec =
            FileOperations::renameNoReplace(parent.get(), name.constData(), parent.get(), aside.constData());
        if (ec)
            return Error::fromErrorCode(ec, target);
    }
    if (!prepare)
        return std::nullopt;
    if ((error = injectedFault(Step::Swap, index, target)))
        return error;
    return renameStagedIn(parent.get(), stagingName, name, made, target);
}

// Moves a template out of the unpack folder to `staging` in the open
// folder: false when it cannot (another volume), and then it is copied.
bool moveInto(const QString &source, int folder, const QByteArray &staging, std::optional<FileId> &made)
{
    struct stat info;
    const QByteArray from = QFile::encodeName(source);
    if (::lstat(from.constData(), &info) != 0
        || FileOperations::renameNoReplace(AT_FDCWD, from.constData(), folder, staging.constData()))
        return false;
    made = FileId{quint64(info.st_dev), quint64(info.st_ino)};
    return true;
}

// An install under way: where it writes, whom it tells, what it counts.
struct Installing
{
    InstallJournal &journal;
    int root;
    ProgressListener *listener;
    qint64 total;
    InstallReport &report;
};

// `done` bytes of the total were installed before this job.
[[nodiscard]] std::optional<Error> installOne(Installing &run, const InstallJob &job, qsizetype index, qint64 done)
{
    InstallJournal &journal = run.journal;
    ProgressListener *listener = run.listener;
    const qint64 total = run.total;
    const QString destination = relativeDestination(job.destination);
    if (destination.isEmpty())
        return Error::fromErrorCode(std::make_error_code(std::errc::invalid_argument),
                                    join(journal.root(), job.destination));
    const QString target = join(journal.root(), destination);
    bool replacing = false;
    const Prepare prepare = [&](int folder, const QByteArray &staging,
                                std::optional<FileId> &made) -> std::optional<Error> {
        if (job.move && moveInto(job.source, folder, staging, made))
            return std::nullopt;
        // Errors name the template's place, which users know, not the hidden folder it is prepared in.
        return FileOperations::copyTreeInto(job.source, {folder, staging, target, listener, done, total}, &made);
    };
    const bool trashReplaced = job.replacedDisposal.value_or(Disposal::Delete) == Disposal::Trash;
    if (std::optional<Error> error = swapIn(journal, run.root, {destination, index, prepare, trashReplaced}, &replacing))
        return error;
    ++(replacing ? run.report.replaced : run.report.newlyInstalled);
    return std::nullopt;
}

// Puts a file (a receipt) in place as installOne does a template. Without
// contents the old one is only set aside, so the commit removes it.
[[nodiscard]] std::optional<Error> replaceFile(InstallJournal &journal, int root, const QString &relative,
                                 const std::optional<QByteArray> &contents, qsizetype index)
{
    Prepare write;
    if (contents) {
        write = [&](int folder, const QByteArray &staging, std::optional<FileId> &made) -> std::optional<Error> {
            const QString shown = join(journal.root(), relative);
            FileDescriptor fd(
                ::openat(folder, staging.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
            if (!fd.isValid())
                return errnoError(shown);
            struct stat info;
            if (::fstat(fd.get(), &info) == 0)
                made = FileId{quint64(info.st_dev), quint64(info.st_ino)};
            // On disk before the rename makes it the receipt: a crash then
            // never leaves an empty one.
            const bool written =
                FileOperations::writeAll(fd.get(), contents->constData(), contents->size()) && ::fsync(fd.get()) == 0;
            std::optional<Error> error = written ? std::nullopt : errnoError(shown);
            if (::close(fd.release()) != 0 && !error)
                error = errnoError(shown);
            return error;
        };
    }
    bool replaced = false;
    return swapIn(journal, root, {relative, index, write}, &replaced);
}

// Receipt files to write (relative to the root), or to remove (no contents).
using ReceiptFiles = std::vector<std::pair<QString, std::optional<QByteArray>>>;

// The other receipts in root without the destinations `taken`: trimmed, or
// removed when nothing is left of them. `own` holds the install's own
// receipt path, skipped, and the earlier name of it, removed.
ReceiptFiles othersWithout(const QString &root, const QSet<QString> &taken, const std::pair<QString, QString> &own)
{
    ReceiptFiles files;
    for (const QString &path : Receipt::paths(root)) {
        if (path == own.first)
            continue;
        if (path == own.second) {
            files.emplace_back(path.mid(root.size() + 1), std::nullopt);
            continue;
        }
        std::optional<Receipt> other = Receipt::read(path);
        if (!other)
            continue;
        const auto replaced = [&taken](const Receipt::Template &entry) { return taken.contains(entry.destination); };
        const auto kept = std::remove_if(other->templates.begin(), other->templates.end(), replaced);
        if (kept == other->templates.end())
            continue;
        other->templates.erase(kept, other->templates.end());
        files.emplace_back(path.mid(root.size() + 1),
                           other->templates.empty() ? std::nullopt : std::optional<QByteArray>(other->toJson()));
    }
    return files;
}

// The install's own receipt, and the other receipts that lose the
// destinations it takes over.
[[nodiscard]] std::optional<Error> writeRecord(InstallJournal &journal, int rootFolder, const InstallRecord &record,
                                 const std::vector<InstallJob> &jobs, const std::function<bool()> &goOn)
{
    const QString &root = journal.root();
    if (!Receipt::folderIsOwn(root)) {
        qCWarning(lcInstall).noquote() << "no receipt written:" << Receipt::folderName() << "in" << root
                                       << "is not a folder of its own";
        return std::nullopt;
    }
    Receipt receipt = record.receipt;
    if (record.complete) {
        if (std::optional<Error> error = record.complete(receipt, goOn))
            return error;
    }
    receipt.installedAt = QDateTime::currentDateTimeUtc();
    const QString own = Receipt::pathFor(root, receipt.archiveTitle);
    const QString ownRelative = own.mid(root.size() + 1);
    // Maybe under the name an earlier version gave it: taken over, and gone.
    const QString earlierPath = Receipt::existingPathFor(root, receipt.archiveTitle);

    // Every destination the receipt names is this archive's now, also those
    // it found already in place and did not copy again.
    QSet<QString> taken;
    for (const InstallJob &job : jobs)
        taken.insert(relativeDestination(job.destination));
    for (const Receipt::Template &entry : receipt.templates)
        taken.insert(entry.destination);
    // What an earlier version of the archive installed and this one no
    // longer holds stays installed: it keeps its record, and its origin.
    if (const std::optional<Receipt> earlier = Receipt::read(earlierPath)) {
        for (const Receipt::Template &entry : earlier->templates) {
            if (!taken.contains(entry.destination) && !receipt.templateAt(entry.destination)
                && FileOperations::isDirectory(join(root, entry.destination)))
                receipt.templates.push_back(entry);
        }
    }
    ReceiptFiles files = othersWithout(root, taken, {own, earlierPath});
    files.emplace_back(ownRelative, receipt.toJson());
    for (size_t i = 0; i < files.size(); ++i) {
        if (std::optional<Error> error =
                replaceFile(journal, rootFolder, files[i].first, files[i].second, qsizetype(jobs.size() + i)))
            return error;
    }
    return std::nullopt;
}

[[nodiscard]] std::optional<Error> installAll(Installing &run, const std::vector<InstallJob> &jobs)
{
    ProgressListener *listener = run.listener;
    const qint64 total = run.total;
    qint64 done = 0;
    for (size_t i = 0; i < jobs.size(); ++i) {
        if (listener)
            listener->setCurrentItem(jobs[i].destination.section(QLatin1Char('/'), -1, -1, QString::SectionSkipEmpty));
        std::optional<Error> error = installOne(run, jobs[i], qsizetype(i), done);
        if (error)
            return error;
        done += jobs[i].size;
        // A moved folder reports nothing while it goes.
        if (listener && !listener->progress(done, total))
            return Error::cancelled();
    }
    return std::nullopt;
}

// Undoes the swap of one template in its open folder `parent`: the older
// copy, still aside, goes back in place of whatever this run put there.
void undoSwap(int parent, const QString &target, const InstallJournal::Template &entry,
              const std::function<void(const std::optional<Error> &)> &failed)
{
    const QByteArray name = lastName(entry.destination);
    const auto fail = [&failed, &target](const std::error_code &ec) {
        if (ec)
            failed(Error::fromErrorCode(ec, target));
        return bool(ec);
    };
    if (!entry.backup.isEmpty()) {
        const QByteArray backup = QFile::encodeName(entry.backup);
        if (FileOperations::fileIdAt(parent, backup.constData())
            && !fail(FileOperations::removeAllAt(parent, name.constData())))
            fail(FileOperations::renameNoReplace(parent, backup.constData(), parent, name.constData()));
    } else if (!FileOperations::fileIdAt(parent, QFile::encodeName(entry.staging).constData())) {
        // Nothing stood there before, and the new copy was renamed in.
        fail(FileOperations::removeAllAt(parent, name.constData()));
    }
}

// Undoes an install that did not reach its commit, newest step first,
// through descriptors: a link someone else swapped in for a folder on the
// way is not followed (that step is left undone, and the journal kept).
bool rollBack(InstallJournal &journal, ProgressListener *listener)
{
    const QString &root = journal.root();
    const std::vector<InstallJournal::Template> &templates = journal.templates();
    bool complete = true;
    const auto failed = [&complete](const std::optional<Error> &error) {
        if (error) {
            qCWarning(lcInstall).noquote() << "roll-back:" << error->localizedDescription();
            complete = false;
        }
    };
    std::error_code ec;
    const FileDescriptor top = FileOperations::openFolder(root, ec);
    if (ec) {
        failed(Error::fromErrorCode(ec, root));
        return false;
    }
    const qint64 count = qint64(templates.size());
    // The bar starts again from nothing: what it showed was the install's
    // bytes, not the templates left to undo.
    if (listener && count > 0)
        listener->progress(0, count);
    for (qint64 i = count - 1; i >= 0; --i) {
        const InstallJournal::Template &entry = templates[size_t(i)];
        if (listener)
            listener->setCurrentItem(entry.destination.section(QLatin1Char('/'), -1, -1, QString::SectionSkipEmpty));
        const QString parentPath = join(root, parentOf(entry.destination));
        const FileDescriptor parent =
            FileOperations::openFolderBeneath(top.get(), parentOf(entry.destination), ec, LinksOnTheWay::FollowOwn);
        // A folder never made holds nothing of this run.
        if (ec && ec != std::errc::no_such_file_or_directory)
            failed(Error::fromErrorCode(ec, parentPath));
        if (parent.isValid()) {
            if (entry.swapping)
                undoSwap(parent.get(), join(root, entry.destination), entry, failed);
            const QByteArray staging = QFile::encodeName(entry.staging);
            if (FileOperations::fileIdAt(parent.get(), staging.constData())) {
                if (const std::error_code removed = FileOperations::removeAllAt(parent.get(), staging.constData()))
                    failed(Error::fromErrorCode(removed, parentPath + QLatin1Char('/') + entry.staging));
            }
        }
        // Its answer does not matter: an undo is never stopped half-way.
        if (listener)
            listener->progress(count - i, count);
    }
    const QStringList &directories = journal.directories();
    for (qsizetype i = directories.size() - 1; i >= 0; --i) {
        // Only when empty: something else may have been put there since.
        const FileDescriptor parent =
            FileOperations::openFolderBeneath(top.get(), parentOf(directories.at(i)), ec, LinksOnTheWay::FollowOwn);
        if (parent.isValid())
            ::unlinkat(parent.get(), lastName(directories.at(i)).constData(), AT_REMOVEDIR);
    }
    if (complete)
        journal.close();
    return complete;
}

// Through descriptors, as the swap put it aside: its folder may have been
// swapped for a link since.
[[nodiscard]] std::optional<Error> removeBackup(const QString &root, const InstallJournal::Template &entry)
{
    const QString parentPath = join(root, parentOf(entry.destination));
    std::error_code ec;
    const FileDescriptor top = FileOperations::openFolder(root, ec);
    const FileDescriptor parent = ec ? FileDescriptor()
        : FileOperations::openFolderBeneath(top.get(), parentOf(entry.destination), ec, LinksOnTheWay::FollowOwn);
    if (!ec)
        ec = FileOperations::removeAllAt(parent.get(), QFile::encodeName(entry.backup).constData());
    if (ec)
        return Error::fromErrorCode(ec, parentPath + QLatin1Char('/') + entry.backup);
    return std::nullopt;
}

// Every template is in place: the older copies go. Those that may be wanted
// back go to the Trash one template at a time, under the template's own name
// and place, so that Restore brings each back where it was; the rest are
// deleted, and one that cannot be deleted goes to the Trash rather than stay
// hidden. `owners` holds the receipts the replaced copies had, for putting
// them back. The listener stays at the end it reached (`total`) and keeps the
// caller's windows painting.
void finishCommit(InstallJournal &journal, ProgressListener *listener, qint64 total,
                  const QHash<QString, Receipt> &owners = {})
{
    const QString &root = journal.root();
    const std::vector<InstallJournal::Template> &templates = journal.templates();
    const qint64 count = qint64(templates.size());
    for (qint64 i = 0; i < count; ++i) {
        const InstallJournal::Template &entry = templates[size_t(i)];
        if (entry.backup.isEmpty())
            continue;
        const QString path = join(root, parentOf(entry.destination)) + QLatin1Char('/') + entry.backup;
        if (!FileOperations::exists(path))
            continue; // a recovery after a kill half-way through this
        std::optional<Error> error = injectedFault(Step::RemoveBackup, qsizetype(i), path);
        // An old receipt is nothing anyone wants back.
        const bool keepable = !isReceipt(entry.destination);
        const auto owner = owners.constFind(entry.destination);
        const std::optional<Receipt> receipt =
            owner != owners.cend() ? std::optional<Receipt>(*owner) : std::nullopt;
        if (!error && keepable && (entry.toTrash || journal.toTrash())) {
            // A copy the user may want back is never deleted because the
            // Trash failed: it stays aside, hidden but whole, and is said.
            if (trashTemplate(root, path, entry.destination, receipt).isEmpty())
                qCWarning(lcInstall).noquote() << "the replaced copy of" << entry.destination
                                               << "could not go to the Trash; it is kept as" << path;
        } else if (!error) {
            error = removeBackup(root, entry);
            if (error && keepable && !trashTemplate(root, path, entry.destination, receipt).isEmpty())
                error.reset();
        }
        if (error)
            qCWarning(lcInstall).noquote() << "cannot remove a replaced copy:" << error->localizedDescription();
        if (listener)
            listener->progress(total, total);
    }
    // Left by an earlier version, which trashed the copies as one folder.
    if (!journal.removalFolder().isEmpty()) {
        const QString removal = join(root, journal.removalFolder());
        if (!FileOperations::moveToTrash(removal))
            warnIfFailed(FileOperations::removeAll(removal), "cannot remove the removal folder");
    }
    journal.close();
}

// The receipts that name what these jobs replace, each holding only that
// template: what Restore puts back with it.
QHash<QString, Receipt> ownersOf(const QString &root, const std::vector<InstallJob> &jobs)
{
    QStringList trashed;
    for (const InstallJob &job : jobs) {
        if (job.replacedDisposal.value_or(Disposal::Delete) == Disposal::Trash)
            trashed.append(relativeDestination(job.destination));
    }
    return receiptsOf(root, trashed);
}

} // namespace

std::optional<Error> install(const InstallRequest &request)
{
    const QString &root = request.root;
    const std::vector<InstallJob> &given = request.jobs;
    ProgressListener *listener = request.listener;
    InstallReport *report = request.report;
    const InstallRecord *record = request.record;
    InstallReport counts;
    if (report)
        *report = counts;
    // With nothing to copy a receipt may still have to be written: the
    // templates it names were found in place.
    if (given.empty() && (!record || record->receipt.templates.empty()))
        return std::nullopt;
    std::vector<InstallJob> jobs = given;
    qint64 total = 0;
    for (InstallJob &job : jobs) {
        total += job.size;
        job.replacedDisposal = job.replacedDisposal.value_or(request.replacedCopies);
    }
    const QHash<QString, Receipt> owners = ownersOf(root, jobs);

    // Opened once: every step below goes through descriptors from here.
    std::error_code ec;
    const FileDescriptor rootFolder = FileOperations::openFolder(root, ec);
    if (ec)
        return Error::fromErrorCode(ec, root);
    InstallJournal journal(root, InstallJournal::Operation::Install, request.archiveTitle);
    if (std::optional<Error> error = journal.begin())
        return error;
    Installing run{journal, rootFolder.get(), listener, total, counts};
    std::optional<Error> error = installAll(run, jobs);
    if (!error && record) {
        const auto goOn = [listener, total] { return !listener || listener->progress(total, total); };
        error = writeRecord(journal, rootFolder.get(), *record, jobs, goOn);
    }
    if (!error)
        error = injectedFault(Step::Commit, qsizetype(jobs.size()), root);
    if (!error)
        error = journal.addCommit();
    if (error) {
        if (listener)
            listener->setStatus(QCoreApplication::translate("TemplateTransaction",
                                                            "Restoring the templates folder as it was…"));
        rollBack(journal, listener);
        return error;
    }
    finishCommit(journal, listener, total, owners);
    if (report)
        *report = counts;
    return std::nullopt;
}

std::optional<Error> unfinishedRun(const QString &root)
{
    const QString journal = root + QLatin1Char('/') + InstallJournal::fileName();
    if (!FileOperations::exists(journal))
        return std::nullopt;
    return Error(Error::PosixDomain, EBUSY,
                 QCoreApplication::translate("TemplateInstaller",
                     "An earlier installation into '%1' was interrupted and could not be undone completely. "
                     "Its record is kept in '%2'.")
                     .arg(root, journal));
}

void setFaultHook(FaultHook hook)
{
    sFaultHook = hook;
}

bool recover(const QString &root, ProgressListener *listener)
{
    const QString path = root + QLatin1Char('/') + InstallJournal::fileName();
    if (!FileOperations::exists(path))
        return false;
    std::optional<InstallJournal> journal = InstallJournal::read(root);
    if (!journal) {
        InstallJournal::setAside(root);
        return false;
    }
    qCInfo(lcInstall).noquote() << "completing or undoing an interrupted" << journal->archiveTitle()
                                << "run of process" << journal->pid() << "in" << root;
    if (journal->operation() == InstallJournal::Operation::Uninstall) {
        // Deleted through descriptors: a folder in there swapped for a link since is not followed.
        if (!journal->toTrash() && !journal->cancelled() && !journal->removalFolder().isEmpty())
            warnIfFailed(FileOperations::removeAllBeneath(root, journal->removalFolder()), "cannot remove the removal folder");
        completeRemoval(*journal);
        return true;
    }
    if (journal->committed()) {
        finishCommit(*journal, listener, 0);
        return true;
    }
    return rollBack(*journal, listener);
}

} // namespace TemplateTransaction
