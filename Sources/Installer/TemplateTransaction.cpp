// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Installer/TemplateTransaction.h"

#include "Common/FileOperations.h"
#include "Installer/InstallJournal.h"
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

namespace {

FaultHook sFaultHook = nullptr;

std::optional<Error> injectedFault(Step step, qsizetype index, const QString &path)
{
    if (sFaultHook && sFaultHook(step, index))
        return Error::fromErrorCode(std::make_error_code(std::errc::io_error), path);
    return std::nullopt;
}

// A destination as the items give it ("/Titles.localized/ZT X/AB_Name"),
// without the leading "/"; empty when it would name the root or leave it.
QString relativeDestination(const QString &path)
{
    const QStringList parts = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (parts.isEmpty() || parts.contains(QLatin1String(".")) || parts.contains(QLatin1String("..")))
        return {};
    return parts.join(QLatin1Char('/'));
}

QString join(const QString &root, const QString &relative)
{
    return relative.isEmpty() ? root : root + QLatin1Char('/') + relative;
}

QString parentOf(const QString &relative)
{
    const qsizetype slash = relative.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : relative.left(slash);
}

// A name in folder that nothing uses yet.
QString unusedName(const QString &folder, const QString &base)
{
    QString name = base;
    for (int n = 1; FileOperations::exists(folder + QLatin1Char('/') + name); ++n)
        name = base + QLatin1Char('-') + QString::number(n);
    return name;
}

QString ownName(const char *kind, qsizetype index = -1)
{
    QString name = QStringLiteral(".mti-%1-%2").arg(QLatin1String(kind)).arg(QCoreApplication::applicationPid());
    if (index >= 0)
        name += QLatin1Char('-') + QString::number(index);
    return name;
}

// The folder in the Trash that holds the templates of one uninstall.
QString holderName(const QString &archiveTitle)
{
    QString name = archiveTitle;
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    return name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..") ? QStringLiteral("Templates")
                                                                                       : name;
}

std::optional<Error> errnoError(const QString &path)
{
    return Error::fromErrorCode(std::error_code(errno, std::generic_category()), path);
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
                            bool *replaced)
{
    const QString parentRelative = parentOf(relative);
    if (std::optional<Error> error = createFolders(journal, root, parentRelative))
        return error;
    const QString parent = join(root, parentRelative);
    const QString staging = unusedName(parent, ownName("stage", index));
    if (std::optional<Error> error = journal.addStaging(relative, staging))
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
    if (std::optional<Error> error = swapIn(journal, root, destination, index, prepare, &replacing))
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

    QSet<QString> taken;
    for (const InstallJob &job : jobs)
        taken.insert(relativeDestination(job.destination));
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

// Every template is in place: the older copies go, to the Trash as one
// folder named after the archive (edits made inside them may be wanted
// back), or deleted. The listener stays at the end it reached (`total`) and
// keeps the caller's windows painting.
void finishCommit(InstallJournal &journal, ProgressListener *listener, qint64 total)
{
    const QString &root = journal.root();
    const std::vector<InstallJournal::Template> &templates = journal.templates();
    QString holder;
    if (journal.toTrash()) {
        bool anyReplaced = false;
        for (const InstallJournal::Template &entry : templates)
            anyReplaced = anyReplaced || (!entry.backup.isEmpty() && !isReceipt(entry.destination));
        if (anyReplaced && journal.removalFolder().isEmpty())
            journal.addTrashing(unusedName(root, ownName("removed")));
        if (anyReplaced && !journal.removalFolder().isEmpty()) {
            holder = join(root, journal.removalFolder()) + QLatin1Char('/') + holderName(journal.archiveTitle());
            if (FileOperations::createDirectories(holder))
                holder.clear();
        }
    }
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
        if (!error && !holder.isEmpty() && !isReceipt(entry.destination)) {
            const QString into = holder + QLatin1Char('/') + entry.destination;
            error = FileOperations::createDirectories(QFileInfo(into).path());
            if (!error)
                error = FileOperations::moveTree(path, into);
            if (error)
                error = FileOperations::removeAll(path);
        } else if (!error) {
            error = FileOperations::removeAll(path);
        }
        // The install stands; a leftover is hidden and harms nothing.
        if (error)
            qCWarning(lcInstall).noquote() << "cannot remove a replaced copy:" << error->localizedDescription();
        if (listener)
            listener->progress(total, total);
    }
    if (!journal.removalFolder().isEmpty()) {
        if (!holder.isEmpty() && !FileOperations::moveToTrash(holder))
            FileOperations::removeAll(holder);
        FileOperations::removeAll(join(root, journal.removalFolder()));
    }
    journal.close();
}

// Sends what an uninstall took away to the Trash, or deletes it. A template
// that cannot be deleted entirely goes back to its place, so that what is
// left of it is seen and not hidden in the removal folder.
void dispose(const QString &root, const QString &holder, const QStringList &moved, Disposal disposal,
             ProgressListener *listener, RemovalReport &report)
{
    if (disposal == Disposal::Trash && FileOperations::moveToTrash(holder)) {
        report.removed += int(moved.size());
        report.trashed = true;
        return;
    }
    const qint64 count = qint64(moved.size());
    for (qint64 i = 0; i < count; ++i) {
        const QString held = holder + QLatin1Char('/') + moved.at(i);
        if (std::optional<Error> error = FileOperations::removeAll(held)) {
            ++report.failed;
            if (!report.firstError) {
                QString description = error->localizedDescription();
                description.replace(held, join(root, moved.at(i)));
                report.firstError = Error(error->domain(), error->code(), description);
            }
            FileOperations::moveTree(held, join(root, moved.at(i)));
        } else {
            ++report.removed;
        }
        if (listener)
            listener->progress(i + 1, count);
    }
    FileOperations::removeAll(holder);
}

// Puts back what an uninstall had taken away; answers what went back.
QStringList putBack(const QString &root, const QString &holder, const QStringList &moved)
{
    QStringList back;
    for (qsizetype i = moved.size() - 1; i >= 0; --i) {
        const QString held = holder + QLatin1Char('/') + moved.at(i);
        if (FileOperations::exists(held) && !FileOperations::moveTree(held, join(root, moved.at(i))))
            back.prepend(moved.at(i));
    }
    return back;
}

void completeRemoval(InstallJournal &journal)
{
    const QString &root = journal.root();
    if (!journal.removalFolder().isEmpty()) {
        const QString removal = join(root, journal.removalFolder());
        // The user had cancelled it: back where they were.
        if (journal.cancelled())
            putBack(root, removal + QLatin1Char('/') + holderName(journal.archiveTitle()), journal.removals());
        const QStringList held = QDir(removal).entryList(QDir::AllEntries | QDir::Hidden | QDir::System
                                                         | QDir::NoDotAndDotDot);
        for (const QString &name : held) {
            const QString path = removal + QLatin1Char('/') + name;
            if (!journal.toTrash() || !FileOperations::moveToTrash(path))
                FileOperations::removeAll(path);
        }
        FileOperations::removeAll(removal);
    }
    removeEmptiedFolders(root, journal.removals());
    Receipt::forgetRemoved(root, journal.removals());
    journal.close();
}

} // namespace

std::optional<Error> install(const QString &root, const QString &archiveTitle, const std::vector<InstallJob> &jobs,
                             ProgressListener *listener, InstallReport *report, Disposal replacedCopies,
                             const InstallRecord *record)
{
    InstallReport counts;
    if (report)
        *report = counts;
    if (jobs.empty())
        return std::nullopt;
    qint64 total = 0;
    for (const InstallJob &job : jobs)
        total += job.size;

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
        error = journal.addCommit(replacedCopies == Disposal::Trash);
    if (error) {
        if (listener)
            listener->setStatus(QCoreApplication::translate("TemplateTransaction",
                                                            "Restoring the templates folder as it was…"));
        rollBack(journal, listener);
        return error;
    }
    finishCommit(journal, listener, total);
    if (report)
        *report = counts;
    return std::nullopt;
}

std::optional<Error> remove(const QString &root, const QString &archiveTitle, const QStringList &destinations,
                            Disposal disposal, ProgressListener *listener, RemovalReport *report)
{
    RemovalReport local;
    RemovalReport &counts = report ? *report : local;
    counts = RemovalReport();

    QStringList present;
    for (const QString &destination : destinations) {
        const QString relative = relativeDestination(destination);
        if (!relative.isEmpty() && !present.contains(relative) && FileOperations::isDirectory(join(root, relative)))
            present.append(relative);
    }
    // A template nested in another one named here goes with it: taken on its
    // own first, it would leave the other template without part of itself.
    QSet<QString> named(present.cbegin(), present.cend());
    QStringList nested;
    present.removeIf([&named, &nested](const QString &relative) {
        for (qsizetype slash = relative.lastIndexOf(QLatin1Char('/')); slash > 0;
             slash = relative.lastIndexOf(QLatin1Char('/'), slash - 1)) {
            if (named.contains(relative.left(slash))) {
                nested.append(relative);
                return true;
            }
        }
        return false;
    });
    // Receipts forget, besides what this removes, what was already gone.
    QStringList relatives;
    for (const QString &destination : destinations)
        relatives.append(relativeDestination(destination));
    if (present.isEmpty()) {
        removeEmptiedFolders(root, destinations);
        Receipt::forgetRemoved(root, relatives);
        return std::nullopt;
    }

    const QString removal = unusedName(root, ownName("removed"));
    InstallJournal journal(root, InstallJournal::Operation::Uninstall, archiveTitle);
    if (std::optional<Error> error = journal.begin(removal, disposal == Disposal::Trash))
        return error;
    const QString holder = join(root, removal) + QLatin1Char('/') + holderName(archiveTitle);
    if (std::optional<Error> error = FileOperations::createDirectories(holder)) {
        FileOperations::removeAll(join(root, removal));
        journal.close();
        return error;
    }

    // Each template leaves its place in one rename, so that a template is
    // never seen half-removed, and 10,000 of them are one item in the Trash.
    QStringList moved;
    QSet<QString> made;
    bool cancelled = false;
    const qint64 count = qint64(present.size());
    for (qint64 i = 0; i < count; ++i) {
        const QString &relative = present.at(i);
        std::optional<Error> error = journal.addRemoval(relative);
        const QString into = holder + QLatin1Char('/') + relative;
        const QString intoParent = QFileInfo(into).path();
        if (!error && !made.contains(intoParent)) {
            error = FileOperations::createDirectories(intoParent);
            made.insert(intoParent);
        }
        if (!error)
            error = FileOperations::moveTree(join(root, relative), into);
        if (error && error->code() == EXDEV) {
            // A kind or category folder that links to another volume: the
            // template goes on its own.
            const QString path = join(root, relative);
            if (disposal == Disposal::Trash && FileOperations::moveToTrash(path)) {
                ++counts.removed;
                counts.trashed = true;
                error.reset();
            } else {
                error = FileOperations::removeAll(path);
                if (!error)
                    ++counts.removed;
            }
        }
        if (error) {
            ++counts.failed;
            if (!counts.firstError)
                counts.firstError = error;
        } else if (FileOperations::exists(into)) {
            moved.append(relative);
        }
        if (listener && !listener->progress(i + 1, count)) {
            cancelled = true;
            break;
        }
    }

    if (cancelled) {
        if (listener)
            listener->setStatus(QCoreApplication::translate("TemplateTransaction", "Putting the templates back…"));
        journal.addCancel();
        const QStringList back = putBack(root, holder, moved);
        QStringList stranded;
        for (const QString &relative : std::as_const(moved)) {
            if (!back.contains(relative))
                stranded.append(relative);
        }
        // What could not go back goes where the user sent it.
        RemovalReport strandedReport;
        if (!stranded.isEmpty())
            dispose(root, holder, stranded, disposal, nullptr, strandedReport);
        FileOperations::removeAll(join(root, removal));
        Receipt::forgetRemoved(root, stranded);
        journal.close();
        counts = strandedReport;
        return Error::cancelled();
    }

    dispose(root, holder, moved, disposal, listener, counts);
    for (const QString &relative : std::as_const(nested)) {
        if (!FileOperations::exists(join(root, relative)))
            ++counts.removed;
    }
    FileOperations::removeAll(join(root, removal));
    removeEmptiedFolders(root, destinations);
    Receipt::forgetRemoved(root, relatives);
    journal.close();
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

void removeEmptiedFolders(const QString &root, const QStringList &destinations)
{
    QSet<QString> folders;
    for (const QString &destination : destinations) {
        QString folder = parentOf(relativeDestination(destination));
        while (!folder.isEmpty() && !folders.contains(folder)) {
            folders.insert(folder);
            folder = parentOf(folder);
        }
    }
    // Deepest first, so that a kind folder is judged after its categories.
    QStringList ordered(folders.begin(), folders.end());
    std::sort(ordered.begin(), ordered.end(), [](const QString &a, const QString &b) {
        const qsizetype depthA = a.count(QLatin1Char('/'));
        const qsizetype depthB = b.count(QLatin1Char('/'));
        return depthA != depthB ? depthA > depthB : a < b;
    });
    for (const QString &folder : std::as_const(ordered)) {
        const QString path = join(root, folder);
        if (!FileOperations::isDirectory(path))
            continue;
        const QDir dir(path);
        if (!dir.isReadable())
            continue;
        // Finder metadata and other hidden files do not keep a folder alive;
        // anything else does, a hidden folder too (it may hold someone's work).
        if (!dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System).isEmpty()
            || !dir.entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot | QDir::NoSymLinks).isEmpty())
            continue;
        for (const QString &name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
            QFile::remove(dir.filePath(name));
        ::rmdir(QFile::encodeName(path).constData());
    }
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
