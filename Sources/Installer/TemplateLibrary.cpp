// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Installer/TemplateLibrary.h"

#include "Common/FileNames.h"
#include "Common/FileOperations.h"
#include "Common/LogCategories.h"
#include "Common/ProgressListener.h"
#include "Installer/DestinationLock.h"
#include "Installer/RootPermissions.h"
#include "Installer/EffectTemplateItem.h"
#include "Installer/FolderTree.h"
#include "Installer/InstalledFiles.h"
#include "Installer/LibraryPaths.h"
#include "Installer/Receipt.h"
#include "Installer/ReceiptIndex.h"
#include "Installer/TemplateFolders.h"
#include "Installer/TemplateType.h"

#include <QCoreApplication>
#include <QFile>
#include <QHash>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <map>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace TemplateLibrary {

namespace {

qint64 modifiedMs(const struct stat &info)
{
#if defined(Q_OS_MACOS)
    return qint64(info.st_mtimespec.tv_sec) * 1000 + info.st_mtimespec.tv_nsec / 1000000;
#else
    return qint64(info.st_mtim.tv_sec) * 1000 + info.st_mtim.tv_nsec / 1000000;
#endif
}

bool isDotOrDotDot(const char *name)
{
    return name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0));
}

// Calls entry(name, type) for each entry of an open folder (its d_type:
// DT_DIR, DT_REG, DT_LNK, DT_UNKNOWN...); the folder stays open. On Linux
// through getdents64 with a buffer of its own: opendir costs two more
// system calls a folder, which 10,000 templates notice.
template<typename Entry>
void readFolder(int folder, Entry &&entry)
{
#if defined(Q_OS_LINUX)
    alignas(8) char buffer[32768];
    for (;;) {
        const ssize_t count = ::getdents64(folder, buffer, sizeof buffer);
        if (count <= 0)
            break;
        for (ssize_t offset = 0; offset < count;) {
            const auto *record = reinterpret_cast<const dirent64 *>(buffer + offset);
            offset += record->d_reclen;
            if (!isDotOrDotDot(record->d_name))
                entry(record->d_name, int(record->d_type));
        }
    }
#else
    DIR *dir = ::fdopendir(::dup(folder));
    if (!dir)
        return;
    while (const dirent *record = ::readdir(dir)) {
        if (!isDotOrDotDot(record->d_name))
            entry(record->d_name, int(record->d_type));
    }
    ::closedir(dir);
#endif
}

int openFolderAt(int parent, const char *path, bool followLink = false)
{
    return ::openat(parent, path, O_RDONLY | O_DIRECTORY | (followLink ? 0 : O_NOFOLLOW) | O_CLOEXEC);
}

// Bytes of the regular files below an open folder, which it closes; links
// are not followed.
qint64 sizeBelow(int folder)
{
    qint64 total = 0;
    std::vector<QByteArray> subfolders;
    readFolder(folder, [&](const char *name, int type) {
        if (type == DT_DIR) {
            subfolders.emplace_back(name);
            return;
        }
        struct stat info;
        if (type == DT_LNK || ::fstatat(folder, name, &info, AT_SYMLINK_NOFOLLOW) != 0)
            return;
        if (S_ISREG(info.st_mode))
            total += info.st_size;
        else if (S_ISDIR(info.st_mode))
            subfolders.emplace_back(name);
    });
    for (const QByteArray &name : subfolders) {
        const int child = openFolderAt(folder, name.constData());
        if (child >= 0)
            total += sizeBelow(child);
    }
    ::close(folder);
    return total;
}

// The destination root as the template scan walks it, hidden folders left
// out. Each folder is read once: with its entries come the sizes of its
// files, so a template folder's size needs only its subfolders read again.
// Kind and category folders may be links (to a larger disk, say): installing
// follows them, so listing does too; nothing deeper is followed.
class LibraryTree : public FolderTree
{
public:
    explicit LibraryTree(const QString &root)
        : _root(::open(QFile::encodeName(root).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC))
    {
    }
    ~LibraryTree() override
    {
        if (_root >= 0)
            ::close(_root);
    }
    LibraryTree(const LibraryTree &) = delete;
    LibraryTree &operator=(const LibraryTree &) = delete;

    std::vector<Entry> entries(const QString &relativeFolder) const override
    {
        std::vector<Entry> entries;
        const QByteArray path = QFile::encodeName(relativeFolder.mid(1));
        const qsizetype depth = relativeFolder.count(QLatin1Char('/'));
        const int folder = _root < 0 ? -1 : openFolderAt(_root, path.constData(), depth <= 2);
        if (folder < 0)
            return entries;
        Listed &listed = _listed[relativeFolder];
        listed = {};
        readFolder(folder, [&](const char *name, int type) {
            bool isFolder = type == DT_DIR;
            if (!isFolder) {
                struct stat info;
                if (::fstatat(folder, name, &info, AT_SYMLINK_NOFOLLOW) != 0)
                    return;
                // A kind folder's linked category folders count; other links do not.
                if (S_ISLNK(info.st_mode)
                    && (depth != 1 || ::fstatat(folder, name, &info, 0) != 0 || !S_ISDIR(info.st_mode)))
                    return;
                isFolder = S_ISDIR(info.st_mode);
                if (S_ISREG(info.st_mode))
                    listed.fileBytes += info.st_size;
            }
            if (isFolder)
                listed.folders.emplace_back(name);
            if (!isFolder || name[0] != '.')
                entries.push_back({QFile::decodeName(name), isFolder});
        });
        ::close(folder);
        sortByName(entries);
        return entries;
    }

    // The bytes of every file below a folder entries() listed, hidden ones
    // included; what was listed of it is forgotten.
    qint64 sizeOf(const QString &relativeFolder) const
    {
        const auto it = _listed.find(relativeFolder);
        if (it == _listed.end())
            return 0;
        qint64 total = it->fileBytes;
        const QByteArray path = QFile::encodeName(relativeFolder.mid(1)) + '/';
        for (const QByteArray &name : it->folders) {
            const int child = openFolderAt(_root, QByteArray(path + name).constData());
            if (child >= 0)
                total += sizeBelow(child);
        }
        _listed.erase(it);
        return total;
    }

    qint64 modifiedAt(const QString &relativeFolder) const
    {
        struct stat info;
        const QByteArray path = QFile::encodeName(relativeFolder.mid(1));
        return _root >= 0 && ::fstatat(_root, path.constData(), &info, 0) == 0 ? modifiedMs(info) : 0;
    }

    void forgetListings() const { _listed.clear(); }

private:
    struct Listed
    {
        qint64 fileBytes = 0;
        std::vector<QByteArray> folders;  // hidden ones too: they count in sizes
    };
    int _root;
    mutable QHash<QString, Listed> _listed;
};

using FileNames::comparable;
using InstalledFiles::DiskFile;
using InstalledFiles::fileCrc;
using InstalledFiles::filesBelow;
using namespace LibraryPaths;

// Whether what stands at a destination a receipt names, no template of
// the scan, is still the receipt's to remove: nothing there (only its
// record is left to forget), or a folder that lost its template file but
// holds files of the receipt's and neither holds nor lies in another
// template. Anything else standing there (a file, a folder reused for other
// things) is not the receipt's.
bool isTheReceipts(const QString &root, const Receipt::Template &entry, const QHash<QString, QString> &templates,
                   const QSet<QString> &aboveTemplates)
{
    const QString path = root + QLatin1Char('/') + entry.destination;
    if (!FileOperations::exists(path))
        return true;
    const QString key = comparable(entry.destination);
    if (!FileOperations::isDirectory(path) || aboveTemplates.contains(key))
        return false;
    for (const QString &folder : foldersAbove(key)) {
        if (templates.contains(folder))
            return false;
    }
    std::map<QString, DiskFile> files;
    filesBelow(path, QString(), files);
    return std::any_of(entry.files.cbegin(), entry.files.cend(),
                       [&files](const Receipt::File &file) { return files.count(comparable(file.path)) > 0; });
}

} // namespace

namespace {

// One template the scan found, with what its receipt says of it.
InstalledTemplate installedTemplate(const LibraryTree &tree, const ReceiptIndex &receipts,
                                    const EffectTemplateItem &item, const QString &folder, const QString &fileName)
{
    InstalledTemplate entry;
    entry.destination = folder.mid(1);
    entry.templateType = item.templateType();
    entry.category = item.category();
    entry.title = item.title();
    entry.templateFile = entry.destination + QLatin1Char('/') + fileName;
    entry.size = tree.sizeOf(folder);
    const ReceiptIndex::Owner owner = receipts.ownerOf(entry.destination);
    if (owner.receipt) {
        entry.installedAt = owner.receipt->installedAt;
        entry.originArchiveTitle = owner.receipt->archiveTitle;
        entry.originArchivePath = owner.receipt->archivePath;
    }
    // Without a receipt the folder's own time is the best guess.
    if (!entry.installedAt.isValid())
        entry.installedAt = QDateTime::fromMSecsSinceEpoch(tree.modifiedAt(folder), Qt::UTC);
    return entry;
}

// The walk is depth-first; the order promised is by path. `found` from
// `first` on are one category folder's templates, `prefix` characters
// of their destinations naming it.
void sortByPath(std::vector<InstalledTemplate> &found, size_t first, qsizetype prefix)
{
    std::vector<std::pair<QByteArray, size_t>> keys;
    keys.reserve(found.size() - first);
    for (size_t i = first; i < found.size(); ++i)
        keys.emplace_back(found[i].destination.mid(prefix).toUtf8(), i);
    if (std::is_sorted(keys.begin(), keys.end()))
        return;
    std::sort(keys.begin(), keys.end());
    std::vector<InstalledTemplate> ordered;
    ordered.reserve(keys.size());
    for (const auto &key : keys)
        ordered.push_back(std::move(found[key.second]));
    std::move(ordered.begin(), ordered.end(), found.begin() + qsizetype(first));
}

// A template inside another template's folder is part of that one (the
// archive installed it with it): listed on its own, removing it would
// take files out of the other.
void dropNested(std::vector<InstalledTemplate> &found)
{
    QSet<QString> destinations;
    for (const InstalledTemplate &item : found)
        destinations.insert(item.destination);
    const auto nested = [&destinations](const InstalledTemplate &item) {
        const QStringList above = foldersAbove(item.destination);
        return std::any_of(above.cbegin(), above.cend(),
                           [&destinations](const QString &folder) { return destinations.contains(folder); });
    };
    found.erase(std::remove_if(found.begin(), found.end(), nested), found.end());
}

// The receipts of one archive a user named: of this very title (equal in
// composed form; an earlier version may have left a second file of it),
// else of this archive file name. Never two titles that share a prefix or
// differ in case, "_" or "\\".
std::vector<const Receipt *> receiptsNamed(const ReceiptIndex &receipts, const QString &name)
{
    const QString composed = name.normalized(QString::NormalizationForm_C);
    std::vector<const Receipt *> matches;
    for (const Receipt &receipt : receipts.receipts()) {
        if (receipt.archiveTitle.normalized(QString::NormalizationForm_C) == composed)
            matches.push_back(&receipt);
    }
    if (!matches.empty())
        return matches;
    for (const Receipt &receipt : receipts.receipts()) {
        if (!receipt.archiveFileName.isEmpty()
            && receipt.archiveFileName.normalized(QString::NormalizationForm_C) == composed)
            matches.push_back(&receipt);
    }
    return matches;
}

// Every destination that may be removed, by its comparable form, as it
// stands on disk (or, when gone, as its receipt has it).
QHash<QString, QString> removableDestinations(const QString &root, const ReceiptIndex &receipts)
{
    QHash<QString, QString> known;
    QSet<QString> aboveTemplates;
    for (const InstalledTemplate &item : scan(root)) {
        const QString key = comparable(item.destination);
        known.insert(key, item.destination);
        for (const QString &folder : foldersAbove(key))
            aboveTemplates.insert(folder);
    }
    for (auto it = receipts.owners().cbegin(); it != receipts.owners().cend(); ++it) {
        if (!known.contains(it.key()) && isTheReceipts(root, *it->entry, known, aboveTemplates))
            known.insert(it.key(), it->entry->destination);
    }
    return known;
}

} // namespace

std::vector<InstalledTemplate> scan(const QString &root, const Categories &categories)
{
    std::vector<InstalledTemplate> found;
    if (root.isEmpty() || !FileOperations::isDirectory(root))
        return found;
    const ReceiptIndex receipts(root);
    // Hidden folders are this system's own (receipts, staged and set-aside
    // copies) or the file manager's: never templates.
    const LibraryTree tree(root);
    for (quint64 kindType = 1; kindType <= 4; ++kindType) {
        const QString kind = TemplateType::kindFolder(kindType);
        const QString kindFolder = QLatin1Char('/') + kind;
        for (const FolderTree::Entry &category : tree.entries(kindFolder)) {
            if (!category.isFolder)
                continue;
            const size_t firstOfCategory = found.size();
            tree.findTemplateFolders(kindFolder + QLatin1Char('/') + category.name,
                                     [&](const QString &folder, const QString &fileName, quint64 type) {
                const std::unique_ptr<EffectTemplateItem> item =
                    EffectTemplateItem::create(folder, root, type, categories);
                if (!item)
                    return false;
                found.push_back(installedTemplate(tree, receipts, *item, folder, fileName));
                found.back().categoryFolder = category.name;
                return true;
            });
            // Folders above templates, and those inside them that were listed.
            tree.forgetListings();
            sortByPath(found, firstOfCategory, kind.size() + category.name.size() + 2);
        }
    }
    dropNested(found);
    return found;
}

QStringList resolve(const QString &root, const QStringList &pathsOrArchiveTitles, QStringList *unknown)
{
    if (unknown)
        unknown->clear();
    const ReceiptIndex receipts(root);
    const QHash<QString, QString> known = removableDestinations(root, receipts);
    QStringList destinations;
    const auto add = [&destinations](const QString &destination) {
        if (!destinations.contains(destination))
            destinations.append(destination);
    };
    for (const QString &name : pathsOrArchiveTitles) {
        const auto it = known.constFind(comparable(asDestination(root, name)));
        if (it != known.cend()) {
            add(*it);
            continue;
        }
        const std::vector<const Receipt *> matches = receiptsNamed(receipts, name);
        if (matches.empty() && unknown)
            unknown->append(name);
        for (const Receipt *match : matches) {
            for (const Receipt::Template &entry : match->templates) {
                const auto found = known.constFind(comparable(entry.destination));
                if (found != known.cend())
                    add(*found);
            }
        }
    }
    return destinations;
}

std::optional<Error> remove(const QString &root, const QStringList &destinations,
                            TemplateTransaction::Disposal disposal, ProgressListener *listener,
                            TemplateTransaction::RemovalReport *report)
{
    return remove({.root = root, .destinations = destinations, .disposal = disposal, .listener = listener,
                   .report = report});
}

std::optional<Error> remove(const RemovalRequest &request)
{
    const QString &root = request.root;
    const QStringList &destinations = request.destinations;
    ProgressListener *listener = request.listener;
    if (request.report)
        *request.report = {};
    if (destinations.isEmpty())
        return std::nullopt;
    if (!FileOperations::isDirectory(root))
        return Error::fromErrorCode(std::make_error_code(std::errc::no_such_file_or_directory), root);

    if (std::optional<Error> error = RootPermissions::check(root))
        return error;
    DestinationLock lock(root);
    lock.setWaitLimit(request.lockWait);
    if (std::optional<Error> error = lock.acquire(listener))
        return error;
    TemplateTransaction::recover(root, listener);
    if (std::optional<Error> error = TemplateTransaction::unfinishedRun(root))
        return error;

    // Only what is a template here: a kind or category folder, or the root
    // itself, named by mistake, is refused before anything is touched.
    QStringList unknown;
    const QStringList resolved = resolve(root, destinations, &unknown);
    for (const QString &destination : destinations) {
        if (!resolved.contains(asDestination(root, destination)))
            unknown.append(destination);
    }
    if (!unknown.isEmpty()) {
        return Error(Error::PosixDomain, ENOENT,
                     QCoreApplication::translate("TemplateLibrary", "No installed template at \"%1\" in '%2'.")
                         .arg(unknown.first(), root));
    }
    QStringList wanted;
    for (const QString &destination : destinations)
        wanted.append(asDestination(root, destination));
    if (std::optional<Error> error = RootPermissions::check(root, wanted))
        return error;

    // The Trash folder is named after the archive when all came from one.
    const ReceiptIndex receipts(root);
    QString archiveTitle;
    for (qsizetype i = 0; i < wanted.size(); ++i) {
        const ReceiptIndex::Owner owner = receipts.ownerOf(wanted.at(i));
        const QString title = owner.receipt ? owner.receipt->archiveTitle : QString();
        if (i == 0)
            archiveTitle = title;
        else if (title != archiveTitle)
            archiveTitle.clear();
    }
    const std::optional<Error> error =
        TemplateTransaction::remove({root, archiveTitle, wanted, request.disposal, listener, request.report});
    // The receipts trimmed for what stays are written under this process's
    // umask: in the folder of all users everyone reads them.
    if (root == TemplateFolders::forAllUsers())
        RootPermissions::shareWithAllUsers(root, {Receipt::folderName()});
    return error;
}

std::vector<Provenance> provenance(const QString &root, const QString &archiveTitle, const QStringList &destinations,
                                   const std::vector<std::vector<Receipt::File>> &archiveFiles)
{
    // The owner of a destination two receipts name is the one the library
    // shows too.
    const ReceiptIndex receipts(root);
    const auto sameFiles = [](const std::vector<Receipt::File> &a, const std::vector<Receipt::File> &b) {
        return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const Receipt::File &x, const Receipt::File &y) {
            return x.path == y.path && x.size == y.size && x.crc32 == y.crc32;
        });
    };

    std::vector<Provenance> answers(size_t(destinations.size()));
    for (qsizetype i = 0; i < destinations.size(); ++i) {
        const QString destination = destinations[i].split(QLatin1Char('/'), Qt::SkipEmptyParts).join(QLatin1Char('/'));
        Provenance &answer = answers[size_t(i)];
        if (destination.isEmpty() || !FileOperations::isDirectory(root + QLatin1Char('/') + destination))
            continue;
        const auto [receipt, entry] = receipts.ownerOf(destination);
        if (!receipt) {
            answer.kind = Provenance::Unknown;
            continue;
        }
        answer.archiveTitle = receipt->archiveTitle;
        const std::vector<Receipt::File> *files = size_t(i) < archiveFiles.size() ? &archiveFiles[size_t(i)] : nullptr;
        if (receipt->archiveTitle != archiveTitle)
            answer.kind = Provenance::OtherArchive;
        else if (files && !files->empty() && !sameFiles(*files, entry->files))
            answer.kind = Provenance::OtherCopy;
        else
            answer.kind = Provenance::ThisArchive;
    }
    return answers;
}

} // namespace TemplateLibrary
