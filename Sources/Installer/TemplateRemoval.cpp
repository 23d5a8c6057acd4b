// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
// The removal half of TemplateTransaction: uninstalls that are completed or
// undone as a whole, also after a kill.
#include "Installer/TemplateTransaction.h"

#include "Common/FileOperations.h"
#include "Common/LogCategories.h"
#include "Common/ProgressListener.h"
#include "Common/Trash.h"
#include "Installer/InstallJournal.h"
#include "Installer/ReceiptIndex.h"
#include "Installer/TemplateOwnership.h"
#include "Installer/TransactionSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <algorithm>

#include <sys/stat.h>
#include <unistd.h>

namespace TemplateTransaction {

using namespace Support;

namespace {

// The folder below the removal folder that holds what is to be deleted.
QString holderName(const QString &archiveTitle)
{
    QString name = archiveTitle;
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    return name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..") ? QStringLiteral("Templates")
                                                                                       : name;
}

bool isRealFolder(const QString &path)
{
    struct stat info;
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

// One uninstall under way.
struct Removal
{
    InstallJournal &journal;
    QString root;
    QString holder;  // what is to be deleted waits here, out of sight
    Disposal disposal;
    QHash<QString, Receipt> receipts;  // each template's, for putting it back
    RemovalReport &counts;
    QStringList moved;  // into the holder
    std::vector<InstallJournal::Trashed> trashed;
};

// Takes one template from its place in one rename: to the Trash from there,
// or into the holder. A kind or category folder that links to another
// volume cannot rename into the holder: the template is deleted in place.
std::optional<Error> takeAway(Removal &removal, const QString &relative)
{
    const QString path = join(removal.root, relative);
    if (removal.disposal == Disposal::Trash) {
        const auto receipt = removal.receipts.constFind(relative);
        const QString inTrash = trashTemplate(removal.root, path, relative,
                                              receipt != removal.receipts.cend() ? std::optional<Receipt>(*receipt)
                                                                                 : std::nullopt);
        if (inTrash.isEmpty() && Trash::hasTrash(path)) {
            // Sent to the Trash means never deleted: it stays where it is.
            return Error(Error::PosixDomain, EIO,
                         QCoreApplication::translate("TemplateTransaction", "'%1' could not be moved to the Trash.")
                             .arg(path));
        }
        if (!inTrash.isEmpty()) {
            removal.trashed.push_back({relative, inTrash});
            ++removal.counts.removed;
            removal.counts.trashed = true;
            if (std::optional<Error> error = removal.journal.addTrashed(relative, inTrash))
                qCWarning(lcInstall).noquote() << "journal:" << error->localizedDescription();
            return std::nullopt;
        }
    }
    const QString into = removal.holder + QLatin1Char('/') + relative;
    std::optional<Error> error = FileOperations::createDirectories(QFileInfo(into).path());
    if (!error)
        error = FileOperations::moveTree(path, into);
    if (error && error->code() == EXDEV) {
        error = FileOperations::removeAll(path);
        if (!error)
            ++removal.counts.removed;
        return error;
    }
    if (!error)
        removal.moved.append(relative);
    return error;
}

// Deletes what waits in the holder. A template that cannot be deleted
// entirely goes back to its place, so that what is left of it is seen and
// not hidden in the removal folder.
void dispose(Removal &removal, ProgressListener *listener)
{
    const qint64 count = qint64(removal.moved.size());
    for (qint64 i = 0; i < count; ++i) {
        const QString &relative = removal.moved.at(i);
        const QString held = removal.holder + QLatin1Char('/') + relative;
        if (std::optional<Error> error = FileOperations::removeAll(held)) {
            ++removal.counts.failed;
            if (!removal.counts.firstError) {
                QString description = error->localizedDescription();
                description.replace(held, join(removal.root, relative));
                removal.counts.firstError = Error(error->domain(), error->code(), description);
            }
            warnIfFailed(FileOperations::moveTree(held, join(removal.root, relative)), "cannot put back what is left of a template");
        } else {
            ++removal.counts.removed;
        }
        if (listener)
            listener->progress(i + 1, count);
    }
}

// Puts back what an uninstall had taken away; answers what could not go back.
QStringList putBack(const QString &root, const QString &holder, const QStringList &moved,
                    const std::vector<InstallJournal::Trashed> &trashed)
{
    QStringList stranded;
    for (qsizetype i = moved.size() - 1; i >= 0; --i) {
        const QString held = holder + QLatin1Char('/') + moved.at(i);
        const QString place = join(root, moved.at(i));
        if (FileOperations::exists(held)
            && (FileOperations::createDirectories(QFileInfo(place).path()) || FileOperations::moveTree(held, place)))
            stranded.append(moved.at(i));
    }
    for (const InstallJournal::Trashed &item : trashed) {
        if (std::optional<Error> error = Trash::restore(item.inTrash, join(root, item.destination))) {
            qCWarning(lcInstall).noquote() << "cannot put back" << item.destination << ":"
                                           << error->localizedDescription();
            stranded.append(item.destination);
        }
    }
    return stranded;
}

// The templates named, present and not inside another one named: a nested
// template goes with its parent (`nested` gets it).
QStringList presentTemplates(const QString &root, const QStringList &destinations, QStringList &nested)
{
    QStringList present;
    for (const QString &destination : destinations) {
        const QString relative = relativeDestination(destination);
        if (!relative.isEmpty() && !present.contains(relative) && FileOperations::isDirectory(join(root, relative)))
            present.append(relative);
    }
    const QSet<QString> named(present.cbegin(), present.cend());
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
    return present;
}

void cancelRemoval(Removal &removal, ProgressListener *listener)
{
    if (listener)
        listener->setStatus(QCoreApplication::translate("TemplateTransaction", "Putting the templates back…"));
    if (std::optional<Error> error = removal.journal.addCancel())
        qCWarning(lcInstall).noquote() << "journal:" << error->localizedDescription();
    const QStringList stranded = putBack(removal.root, removal.holder, removal.moved, removal.trashed);
    // What could not go back is kept, in the Trash: the user chose to keep it.
    RemovalReport strandedReport;
    for (const QString &relative : stranded) {
        if (removal.moved.contains(relative)
            && !trashTemplate(removal.root, removal.holder + QLatin1Char('/') + relative, relative, std::nullopt)
                    .isEmpty())
            ++strandedReport.removed;
    }
    Receipt::forgetRemoved(removal.root, stranded);
    removal.counts = strandedReport;
}

} // namespace

std::optional<Error> remove(const QString &root, const QString &archiveTitle, const QStringList &destinations,
                            Disposal disposal, ProgressListener *listener, RemovalReport *report)
{
    RemovalReport local;
    RemovalReport &counts = report ? *report : local;
    counts = RemovalReport();

    QStringList nested;
    const QStringList present = presentTemplates(root, destinations, nested);
    // Receipts forget, besides what this removes, what was already gone.
    QStringList relatives;
    for (const QString &destination : destinations)
        relatives.append(relativeDestination(destination));
    if (present.isEmpty()) {
        removeEmptiedFolders(root, destinations);
        Receipt::forgetRemoved(root, relatives);
        return std::nullopt;
    }

    const QString removalFolder = unusedName(root, ownName("removed"));
    InstallJournal journal(root, InstallJournal::Operation::Uninstall, archiveTitle);
    if (std::optional<Error> error = journal.begin(removalFolder, disposal == Disposal::Trash))
        return error;
    // All of it is named before the first goes: a killed run is completed.
    if (std::optional<Error> error = journal.addPlan(present)) {
        journal.close();
        return error;
    }
    Removal removal{journal, root, join(root, removalFolder) + QLatin1Char('/') + holderName(archiveTitle),
                    disposal, disposal == Disposal::Trash ? receiptsOf(root, present) : QHash<QString, Receipt>(),
                    counts, {}, {}};

    bool cancelled = false;
    const qint64 count = qint64(present.size());
    for (qint64 i = 0; i < count && !cancelled; ++i) {
        std::optional<Error> error = journal.addRemoval(present.at(i));
        if (!error)
            error = takeAway(removal, present.at(i));
        if (error) {
            ++counts.failed;
            if (!counts.firstError)
                counts.firstError = error;
        }
        cancelled = listener && !listener->progress(i + 1, count);
    }

    if (cancelled) {
        cancelRemoval(removal, listener);
    } else {
        dispose(removal, listener);
        for (const QString &relative : std::as_const(nested)) {
            if (!FileOperations::exists(join(root, relative)))
                ++counts.removed;
        }
        removeEmptiedFolders(root, destinations);
        Receipt::forgetRemoved(root, relatives);
    }
    warnIfFailed(FileOperations::removeAllBeneath(root, removalFolder), "cannot remove the removal folder");
    journal.close();
    if (cancelled)
        return Error::cancelled();
    return std::nullopt;
}

namespace {

// Takes what the killed run had yet to take, judged again: a copy changed
// since (edited) or now another archive's stays.
void completePlanned(InstallJournal &journal, const QStringList &planned)
{
    using TemplateOwnership::State;
    const QString &root = journal.root();
    QSet<QString> gone;
    for (const InstallJournal::Trashed &item : journal.trashed())
        gone.insert(item.destination);
    QStringList left;
    for (const QString &relative : planned) {
        if (!gone.contains(relative) && FileOperations::exists(join(root, relative)))
            left.append(relative);
    }
    const std::vector<TemplateOwnership::Copy> copies =
        TemplateOwnership::assess(root, journal.archiveTitle(), left, {});
    const QHash<QString, Receipt> receipts = receiptsOf(root, left);
    for (qsizetype i = 0; i < left.size(); ++i) {
        const TemplateOwnership::Copy &copy = copies[size_t(i)];
        const bool othersNow = copy.state == State::Foreign && !copy.owner.isEmpty();
        if ((copy.state == State::Edited && !copy.onlyRemovals) || othersNow) {
            qCWarning(lcInstall).noquote() << "not completing the removal of" << left.at(i) << ": changed since";
            continue;
        }
        const QString path = join(root, left.at(i));
        const auto receipt = receipts.constFind(left.at(i));
        if (journal.toTrash()) {
            if (trashTemplate(root, path, left.at(i),
                              receipt != receipts.cend() ? std::optional<Receipt>(*receipt) : std::nullopt)
                    .isEmpty())
                qCWarning(lcInstall).noquote() << "not completing the removal of" << left.at(i) << ": no Trash";
            continue;
        }
        warnIfFailed(FileOperations::removeAll(path), "cannot complete a removal");
    }
}

} // namespace

namespace Support {

void completeRemoval(InstallJournal &journal)
{
    const QString &root = journal.root();
    const QString removal = journal.removalFolder().isEmpty() ? QString() : join(root, journal.removalFolder());
    const QString holder = removal.isEmpty() ? QString() : removal + QLatin1Char('/') + holderName(journal.archiveTitle());
    QStringList planned = journal.plan();
    for (const QString &relative : journal.removals()) {
        if (!planned.contains(relative))
            planned.append(relative);
    }
    if (journal.cancelled()) {
        // The user had cancelled it: back where they were; what cannot go
        // back goes to the Trash, and while anything is left the journal stays.
        for (const QString &relative : putBack(root, holder, journal.removals(), journal.trashed())) {
            const QString held = holder + QLatin1Char('/') + relative;
            if (FileOperations::exists(held) && trashTemplate(root, held, relative, std::nullopt).isEmpty())
                return;
        }
    } else {
        completePlanned(journal, planned);
    }
    // Only a real folder of ours: a link planted in its place is not followed.
    if (!removal.isEmpty() && isRealFolder(removal)) {
        // An earlier version sent a whole uninstall to the Trash from here.
        if (!journal.cancelled() && journal.toTrash() && isRealFolder(holder)
            && QDirIterator(holder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories).hasNext())
            static_cast<void>(FileOperations::moveToTrash(holder)); // what stays is removed next
        warnIfFailed(FileOperations::removeAllBeneath(root, journal.removalFolder()), "cannot remove the removal folder");
    }
    removeEmptiedFolders(root, planned);
    Receipt::forgetRemoved(root, planned);
    journal.close();
}

} // namespace Support

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
        // A linked kind or category folder stays, and so does what it links to.
        if (!isRealFolder(path))
            continue;
        const QDir dir(path);
        if (!dir.isReadable())
            continue;
        // Anything visible keeps a folder, and so does a hidden folder (it may hold someone's work).
        if (!dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System).isEmpty()
            || !dir.entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot | QDir::NoSymLinks).isEmpty())
            continue;
        const QStringList hidden = dir.entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        const bool onlyFinderMetadata = std::all_of(hidden.cbegin(), hidden.cend(), [](const QString &name) {
            return name == QLatin1String(".DS_Store");
        });
        // Hidden files someone put there go with their folder to the Trash
        // (deleted only where the volume has none); the file manager's
        // metadata is nothing anyone wants back.
        if (!onlyFinderMetadata && FileOperations::moveToTrash(path))
            continue;
        for (const QString &name : hidden)
            QFile::remove(dir.filePath(name));
        ::rmdir(QFile::encodeName(path).constData());
    }
}

} // namespace TemplateTransaction
