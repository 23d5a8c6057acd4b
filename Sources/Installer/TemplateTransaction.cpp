// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Installer/TemplateTransaction.h"

#include "Common/FileOperations.h"
#include "Installer/InstallJournal.h"
#include "Installer/ReceiptIndex.h"
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

std::optional<Error> injectedFault(Step step, qsizetype index, const QString &path)
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

// Creates the missing folders on the way to `relative`, each announced in the
// journal first, so that an undo removes exactly those.
std::optional<Error> createFolders(InstallJournal &journal, const QString &root, const QString &relative)
{
    if (relative.isEmpty())
        return std::nullopt;
    QString walked;
    for (const QString &part : relative.split(QLatin1Char('/'))) {
        walked = walked.isEmpty() ? part : walked + QLatin1Char('/') + part;
        const QString path = join(root, walked);
        if (FileOperations::isDirectory(path))
            continue;
        if (FileOperations::exists(path))
            return Error::fromErrorCode(std::make_error_code(std::errc::not_a_directory), path);
        if (std::optional<Error> error = journal.addDirectory(walked))
            return error;
        if (::mkdir(QFile::encodeName(path).constData(), 0777) != 0)
            return errnoError(path);
    }
    return std::nullopt;
}

// The swap a template and a receipt alike go through: prepared beside its
// place under a hidden name (by `prepare`), the older one renamed aside, the
// new one renamed in. Without `prepare` the older one is only set aside, so
// that the commit removes it. `replaced` tells whether anything stood there.
std::optional<Error> swapIn(InstallJournal &journal, const QString &root, const QString &relative, qsizetype index,
                            const std::function<std::optional<Error>(const QString &stagingPath)> &prepare,
                            bool *replaced, bool trashReplaced = false)
{
    const QString parentRelative = parentOf(relative);
    if (std::optional<Error> error = createFolders(journal, root, parentRelative))
        return error;
    const QString parent = join(root, parentRelative);
    const QString staging = unusedName(parent, ownName("stage", index));
    if (std::optional<Error> error = journal.addStaging(relative, staging, trashReplaced))
        return error;
    const QString stagingPath = parent + QLatin1Char('/') + staging;
    if (std::optional<Error> error = injectedFault(Step::Stage, index, stagingPath))
        return error;
    if (prepare) {
        if (std::optional<Error> error = prepare(stagingPath))
            return error;
    }

    const QString target = join(root, relative);
    const bool replacing = FileOperations::exists(target);
    *replaced = replacing;
    const QString backup = replacing ? unusedName(parent, ownName("backup", index)) : QString();
    if (std::optional<Error> error = journal.addSwap(backup))
        return error;
    if (replacing) {
        std::optional<Error> error = injectedFault(Step::SetAside, index, target);
        if (!error)
            error = FileOperations::moveTree(target, parent + QLatin1Char('/') + backup);
        if (error)
            return error;
    }
    if (!prepare)
        return std::nullopt;
    std::optional<Error> error = injectedFault(Step::Swap, index, target);
    if (!error)
        error = FileOperations::moveTree(stagingPath, target);
    return error;
}

std::optional<Error> installOne(InstallJournal &journal, const QString &root, const InstallJob &job, qsizetype index,
                                ProgressListener *listener, qint64 done, qint64 total, InstallReport &report)
{
    const QString destination = relativeDestination(job.destination);
    if (destination.isEmpty())
        return Error::fromErrorCode(std::make_error_code(std::errc::invalid_argument), join(root, job.destination));
    const QString target = join(root, destination);
    bool replacing = false;
    const auto prepare = [&](const QString &stagingPath) -> std::optional<Error> {
        if (job.move && !FileOperations::moveTree(job.source, stagingPath))
            return std::nullopt;
        std::optional<Error> error = FileOperations::copyTree(job.source, stagingPath, listener, done, total);
        if (!error)
            return std::nullopt;
        // Users know the template's place, not the hidden folder it was prepared in.
        QString description = error->localizedDescription();
        description.replace(stagingPath, target);
        return Error(error->domain(), error->code(), description);
    };
    const bool trashReplaced = job.replacedDisposal.value_or(Disposal::Delete) == Disposal::Trash;
    if (std::optional<Error> error = swapIn(journal, root, destination, index, prepare, &replacing, trashReplaced))
        return error;
    ++(replacing ? report.replaced : report.newlyInstalled);
    return std::nullopt;
}

// Puts a file (a receipt) in place as installOne does a template. Without
// contents the old one is only set aside, so the commit removes it.
std::optional<Error> replaceFile(InstallJournal &journal, const QString &root, const QString &relative,
                                 const std::optional<QByteArray> &contents, qsizetype index)
{
    std::function<std::optional<Error>(const QString &)> write;
    if (contents) {
        write = [&](const QString &stagingPath) -> std::optional<Error> {
            const int fd = ::open(QFile::encodeName(stagingPath).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                                  0644);
            if (fd < 0)
                return errnoError(stagingPath);
            // On disk before the rename makes it the receipt: a crash then
            // never leaves an empty one.
            const bool written =
                FileOperations::writeAll(fd, contents->constData(), contents->size()) && ::fsync(fd) == 0;
            std::optional<Error> error = written ? std::nullopt : errnoError(join(root, relative));
            ::close(fd);
            return error;
        };
    }
    bool replaced = false;
    return swapIn(journal, root, relative, index, write, &replaced);
}

// The install's own receipt, and the other receipts that lose the
// destinations it takes over.
std::optional<Error> writeRecord(InstallJournal &journal, const QString &root, const InstallRecord &record,
                                 const std::vector<InstallJob> &jobs, const std::function<bool()> &goOn)
{
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
    std::vector<std::pair<QString, std::optional<QByteArray>>> files;
    for (const QString &path : Receipt::paths(root)) {
        if (path == own)
            continue;
        if (path == earlierPath) {
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
    files.emplace_back(ownRelative, receipt.toJson());
    for (size_t i = 0; i < files.size(); ++i) {
        if (std::optional<Error> error =
                replaceFile(journal, root, files[i].first, files[i].second, qsizetype(jobs.size() + i)))
            return error;
    }
    return std::nullopt;
}

// Undoes an install that did not reach its commit, newest step first.
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
    const qint64 count = qint64(templates.size());
    for (qint64 i = count - 1; i >= 0; --i) {
        const InstallJournal::Template &entry = templates[size_t(i)];
        const QString parent = join(root, parentOf(entry.destination));
        const QString target = join(root, entry.destination);
        const QString stagingPath = parent + QLatin1Char('/') + entry.staging;
        if (entry.swapping) {
            if (!entry.backup.isEmpty()) {
                // The older copy still aside: whatever stands in its place is this run's.
                const QString backupPath = parent + QLatin1Char('/') + entry.backup;
                if (FileOperations::exists(backupPath)) {
                    std::optional<Error> error = FileOperations::removeAll(target);
                    failed(error);
                    if (!error)
                        failed(FileOperations::moveTree(backupPath, target));
                }
            } else if (!FileOperations::exists(stagingPath)) {
                // Nothing stood there before, and the new copy was renamed in.
                failed(FileOperations::removeAll(target));
            }
        }
        if (FileOperations::exists(stagingPath))
            failed(FileOperations::removeAll(stagingPath));
        // Its answer does not matter: an undo is never stopped half-way.
        if (listener)
            listener->progress(count - i, count);
    }
    const QStringList &directories = journal.directories();
    for (qsizetype i = directories.size() - 1; i >= 0; --i) {
        // Only when empty: something else may have been put there since.
        ::rmdir(QFile::encodeName(join(root, directories.at(i))).constData());
    }
    if (complete)
        journal.close();
    return complete;
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
        if (!error && keepable && (entry.toTrash || journal.toTrash())
            && !trashTemplate(root, path, entry.destination, receipt).isEmpty()) {
            // in the Trash
        } else if (!error) {
            error = FileOperations::removeAll(path);
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
            FileOperations::removeAll(removal);
    }
    journal.close();
}

// The receipts that name what these jobs replace, each holding only that
// template: what Restore puts back with it.
QHash<QString, Receipt> ownersOf(const QString &root, const std::vector<InstallJob> &jobs)
{
    QHash<QString, Receipt> owners;
    const ReceiptIndex receipts(root);
    for (const InstallJob &job : jobs) {
        const QString destination = relativeDestination(job.destination);
        const ReceiptIndex::Owner owner = receipts.ownerOf(destination);
        if (!owner.receipt || job.replacedDisposal.value_or(Disposal::Delete) != Disposal::Trash)
            continue;
        Receipt receipt = *owner.receipt;
        receipt.templates = {*owner.entry};
        owners.insert(destination, receipt);
    }
    return owners;
}

} // namespace

std::optional<Error> install(const QString &root, const QString &archiveTitle, const std::vector<InstallJob> &given,
                             ProgressListener *listener, InstallReport *report, Disposal replacedCopies,
                             const InstallRecord *record)
{
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
        job.replacedDisposal = job.replacedDisposal.value_or(replacedCopies);
    }
    const QHash<QString, Receipt> owners = ownersOf(root, jobs);

    InstallJournal journal(root, InstallJournal::Operation::Install, archiveTitle);
    if (std::optional<Error> error = journal.begin())
        return error;
    std::optional<Error> error;
    qint64 done = 0;
    for (size_t i = 0; i < jobs.size() && !error; ++i) {
        if (listener)
            listener->setCurrentItem(jobs[i].destination.section(QLatin1Char('/'), -1, -1, QString::SectionSkipEmpty));
        error = installOne(journal, root, jobs[i], qsizetype(i), listener, done, total, counts);
        done += jobs[i].size;
        // A moved folder reports nothing while it goes.
        if (!error && listener && !listener->progress(done, total))
            error = Error::cancelled();
    }
    if (!error && record) {
        const auto goOn = [listener, total] { return !listener || listener->progress(total, total); };
        error = writeRecord(journal, root, *record, jobs, goOn);
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
            FileOperations::removeAllBeneath(root, journal->removalFolder());
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
