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

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace TemplateTransaction {

using namespace Support;
using FileOperations::FileDescriptor;

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
    QString holderRelative;  // the same, below the root
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
    std::optional<Error> error =
        FileOperations::moveBeneath(removal.root, relative, removal.holderRelative + QLatin1Char('/') + relative);
    if (error && error->code() == EXDEV) {
        error = FileOperations::removeAllBeneath(removal.root, relative, FileOperations::LinksOnTheWay::FollowOwn);
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
        const QString heldRelative = removal.holderRelative + QLatin1Char('/') + relative;
        if (std::optional<Error> error = FileOperations::removeAllBeneath(removal.root, heldRelative)) {
            ++removal.counts.failed;
            if (!removal.counts.firstError) {
                QString description = error->localizedDescription();
                description.replace(held, join(removal.root, relative));
                removal.counts.firstError = Error(error->domain(), error->code(), description);
            }
            warnIfFailed(FileOperations::moveBeneath(removal.root, heldRelative, relative),
                         "cannot put back what is left of a template");
        } else {
            ++removal.counts.removed;
        }
        if (listener)
            listener->progress(i + 1, count);
    }
}

// Puts back what an uninstall had taken away; answers what could not go back.
// Everything goes back through folders opened beneath the root.
QStringList putBack(const QString &root, const QString &holderRelative, const QStringList &moved,
                    const std::vector<InstallJournal::Trashed> &trashed)
{
    QStringList stranded;
    for (qsizetype i = moved.size() - 1; i >= 0; --i) {
        const QString held = holderRelative + QLatin1Char('/') + moved.at(i);
        if (FileOperations::exists(join(root, held)) && FileOperations::moveBeneath(root, held, moved.at(i)))
            stranded.append(moved.at(i));
    }
    for (const InstallJournal::Trashed &item : trashed) {
        if (std::optional<Error> error = Trash::restoreBeneath(item.inTrash, root, item.destination)) {
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

// Puts back what was taken; answers what stays in the holder (neither back
// nor in the Trash): the journal and the removal folder must then stay, so
// that the next run tries again rather than delete it.
QStringList cancelRemoval(Removal &removal, ProgressListener *listener)
{
    if (listener)
        listener->setStatus(QCoreApplication::translate("TemplateTransaction", "Putting the templates back…"));
    if (std::optional<Error> error = removal.journal.addCancel())
        qCWarning(lcInstall).noquote() << "journal:" << error->localizedDescription();
    const QStringList stranded = putBack(removal.root, removal.holderRelative, removal.moved, removal.trashed);
    // What could not go back is kept, in the Trash: the user chose to keep it.
    RemovalReport strandedReport;
    QStringList held;
    for (const QString &relative : stranded) {
        if (!removal.moved.contains(relative))
            continue;
        if (!trashTemplate(removal.root, removal.holder + QLatin1Char('/') + relative, relative, std::nullopt).isEmpty())
            ++strandedReport.removed;
        else
            held.append(relative);
    }
    Receipt::forgetRemoved(removal.root, stranded);
    removal.counts = strandedReport;
    return held;
}

} // namespace

namespace {

// Takes each present template away, one journal line ahead of it; answers
// whether the listener cancelled.
bool takeAll(Removal &removal, const QStringList &present, ProgressListener *listener)
{
    const qint64 count = qint64(present.size());
    for (qint64 i = 0; i < count; ++i) {
        std::optional<Error> error = removal.journal.addRemoval(present.at(i));
        if (!error)
            error = takeAway(removal, present.at(i));
        if (error) {
            ++removal.counts.failed;
            if (!removal.counts.firstError)
                removal.counts.firstError = error;
        }
        if (listener && !listener->progress(i + 1, count))
            return true;
    }
    return false;
}

} // namespace

std::optional<Error> remove(const UninstallRequest &request)
{
    const QString &root = request.root;
    RemovalReport local;
    RemovalReport &counts = request.report ? *request.report : local;
    counts = RemovalReport();

    QStringList nested;
    const QStringList present = presentTemplates(root, request.destinations, nested);
    // Receipts forget, besides what this removes, what was already gone.
    QStringList relatives;
    for (const QString &destination : request.destinations)
        relatives.append(relativeDestination(destination));
    if (present.isEmpty()) {
        removeEmptiedFolders(root, request.destinations);
        Receipt::forgetRemoved(root, relatives);
        return std::nullopt;
    }

    const QString removalFolder = unusedName(root, ownName("removed"));
    InstallJournal journal(root, InstallJournal::Operation::Uninstall, request.archiveTitle);
    const bool toTrash = request.disposal == Disposal::Trash;
    if (std::optional<Error> error = journal.begin(removalFolder, toTrash))
        return error;
    // All of it is named before the first goes: a killed run is completed.
    if (std::optional<Error> error = journal.addPlan(present)) {
        journal.close();
        return error;
    }
    const QString holderRelative = removalFolder + QLatin1Char('/') + holderName(request.archiveTitle);
    Removal removal{journal, root, join(root, holderRelative), holderRelative, request.disposal,
                    toTrash ? receiptsOf(root, present) : QHash<QString, Receipt>(), counts, {}, {}};

    const bool cancelled = takeAll(removal, present, request.listener);
    if (cancelled) {
        if (const QStringList held = cancelRemoval(removal, request.listener); !held.isEmpty()) {
            return Error(Error::PosixDomain, EEXIST,
                         QCoreApplication::translate("TemplateTransaction",
                                                     "'%1' could not be put back; it is kept in %2.")
                             .arg(join(root, held.constFirst()), removal.holder));
        }
    } else {
        dispose(removal, request.listener);
        for (const QString &relative : std::as_const(nested)) {
            if (!FileOperations::exists(join(root, relative)))
                ++counts.removed;
        }
        removeEmptiedFolders(root, request.destinations);
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
        warnIfFailed(FileOperations::removeAllBeneath(root, left.at(i), FileOperations::LinksOnTheWay::FollowOwn),
                     "cannot complete a removal");
    }
}

} // namespace

namespace Support {

void completeRemoval(InstallJournal &journal)
{
    const QString &root = journal.root();
    const QString removal = journal.removalFolder().isEmpty() ? QString() : join(root, journal.removalFolder());
    const QString holderRelative = removal.isEmpty() ? QString()
        : journal.removalFolder() + QLatin1Char('/') + holderName(journal.archiveTitle());
    const QString holder = holderRelative.isEmpty() ? QString() : join(root, holderRelative);
    QStringList planned = journal.plan();
    for (const QString &relative : journal.removals()) {
        if (!planned.contains(relative))
            planned.append(relative);
    }
    if (journal.cancelled()) {
        // The user had cancelled it: back where they were; what cannot go
        // back goes to the Trash, and while anything is left the journal stays.
        for (const QString &relative : putBack(root, holderRelative, journal.removals(), journal.trashed())) {
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
            static_cast<void>(Trash::moveToTrashBeneath(root, holderRelative)); // what stays is removed next
        warnIfFailed(FileOperations::removeAllBeneath(root, journal.removalFolder()), "cannot remove the removal folder");
    }
    removeEmptiedFolders(root, planned);
    Receipt::forgetRemoved(root, planned);
    journal.close();
}

} // namespace Support

namespace {

// What is left in a folder whose templates are gone.
struct Leftovers
{
    bool keepsFolder = false;   // anything visible, or a hidden folder: it may hold someone's work
    QList<QByteArray> hidden;   // hidden files and links
    bool onlyFinderMetadata = true;
};

Leftovers leftoversIn(int folder)
{
    Leftovers left;
    const int copy = ::fcntl(folder, F_DUPFD_CLOEXEC, 0);
    DIR *listing = copy < 0 ? nullptr : ::fdopendir(copy);
    if (!listing) {
        if (copy >= 0)
            ::close(copy);
        left.keepsFolder = true;
        return left;
    }
    while (const struct dirent *entry = ::readdir(listing)) {
        const QByteArray name(entry->d_name);
        if (name == "." || name == "..")
            continue;
        struct stat info;
        const bool isFolder = ::fstatat(folder, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(info.st_mode);
        if (!name.startsWith('.') || isFolder) {
            left.keepsFolder = true;
            break;
        }
        left.hidden.append(name);
        left.onlyFinderMetadata = left.onlyFinderMetadata && name == ".DS_Store";
    }
    ::closedir(listing);
    return left;
}

// Removes root/folder if nothing but hidden files is left in it, through
// descriptors opened beneath the root. Hidden files someone put there go
// with their folder to the Trash (deleted only where the volume has none);
// the file manager's metadata is nothing anyone wants back.
void removeIfEmptied(const QString &root, int top, const QString &folder)
{
    std::error_code ec;
    const FileDescriptor parent =
        FileOperations::openFolderBeneath(top, parentOf(folder), ec, FileOperations::LinksOnTheWay::FollowOwn);
    const QByteArray name = QFile::encodeName(folder.mid(folder.lastIndexOf(QLatin1Char('/')) + 1));
    // A linked kind or category folder stays, and so does what it links to.
    const FileDescriptor opened = ec ? FileDescriptor() : FileOperations::openSubfolder(parent.get(), name.constData(), ec);
    if (ec)
        return;
    const Leftovers left = leftoversIn(opened.get());
    if (left.keepsFolder)
        return;
    // Deleted only where the volume has no Trash: a Trash that failed keeps the folder.
    if (!left.onlyFinderMetadata
        && (!Trash::moveToTrashBeneath(root, folder).isEmpty() || Trash::hasTrash(root + QLatin1Char('/') + folder)))
        return;
    for (const QByteArray &hidden : left.hidden)
        ::unlinkat(opened.get(), hidden.constData(), 0);
    ::unlinkat(parent.get(), name.constData(), AT_REMOVEDIR);
}

} // namespace

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
    std::error_code ec;
    const FileDescriptor top = FileOperations::openFolder(root, ec);
    if (ec)
        return;
    for (const QString &folder : std::as_const(ordered))
        removeIfEmptied(root, top.get(), folder);
}

} // namespace TemplateTransaction
