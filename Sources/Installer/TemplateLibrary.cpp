// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Installer/TemplateLibrary.h"

#include "Common/FileOperations.h"
#include "Common/LogCategories.h"
#include "Common/ProgressListener.h"
#include "Installer/DestinationLock.h"
#include "Installer/EffectTemplateItem.h"
#include "Installer/FolderTree.h"
#include "Installer/Receipt.h"
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
#include <zlib.h>

namespace TemplateLibrary {

namespace {

// Which receipt speaks for each destination: the newest install of it.
class ReceiptIndex
{
public:
    explicit ReceiptIndex(const QString &root)
        : _receipts(Receipt::readAll(root))
    {
        for (const Receipt &receipt : _receipts) {
            for (const Receipt::Template &entry : receipt.templates) {
                auto it = _owners.find(entry.destination);
                if (it == _owners.end() || it->receipt->installedAt < receipt.installedAt)
                    _owners.insert(entry.destination, {&receipt, &entry});
            }
        }
    }
    ReceiptIndex(const ReceiptIndex &) = delete;
    ReceiptIndex &operator=(const ReceiptIndex &) = delete;

    struct Owner
    {
        const Receipt *receipt = nullptr;
        const Receipt::Template *entry = nullptr;
    };
    Owner ownerOf(const QString &destination) const { return _owners.value(destination); }
    const std::vector<Receipt> &receipts() const { return _receipts; }
    const QHash<QString, Owner> &owners() const { return _owners; }

private:
    std::vector<Receipt> _receipts;
    QHash<QString, Owner> _owners;
};

struct FolderFacts
{
    qint64 size = 0;
    qint64 modified = 0;  // ms since the epoch
};

qint64 modifiedMs(const struct stat &info)
{
#if defined(Q_OS_MACOS)
    return qint64(info.st_mtimespec.tv_sec) * 1000 + info.st_mtimespec.tv_nsec / 1000000;
#else
    return qint64(info.st_mtim.tv_sec) * 1000 + info.st_mtim.tv_nsec / 1000000;
#endif
}

// Bytes of the regular files below an open folder; links are not followed.
qint64 sizeBelow(int folder)
{
    DIR *dir = ::fdopendir(folder);
    if (!dir) {
        ::close(folder);
        return 0;
    }
    qint64 total = 0;
    while (const dirent *entry = ::readdir(dir)) {
        const char *name = entry->d_name;
        if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
            continue;
        if (entry->d_type == DT_LNK)
            continue;
        if (entry->d_type == DT_DIR) {
            const int child = ::openat(::dirfd(dir), name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (child >= 0)
                total += sizeBelow(child);
            continue;
        }
        struct stat info;
        if (::fstatat(::dirfd(dir), name, &info, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (S_ISREG(info.st_mode)) {
            total += info.st_size;
        } else if (S_ISDIR(info.st_mode)) {
            const int child = ::openat(::dirfd(dir), name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (child >= 0)
                total += sizeBelow(child);
        }
    }
    ::closedir(dir);
    return total;
}

FolderFacts folderFacts(const QString &path)
{
    FolderFacts facts;
    const int folder = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder < 0)
        return facts;
    struct stat info;
    if (::fstat(folder, &info) == 0)
        facts.modified = modifiedMs(info);
    facts.size = sizeBelow(folder);
    return facts;
}

// Every regular file below a folder, by its path relative to it, with its size.
void filesBelow(const QString &folder, const QString &prefix, std::map<QString, qint64> &files)
{
    DIR *dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return;
    while (const dirent *entry = ::readdir(dir)) {
        const char *name = entry->d_name;
        if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
            continue;
        struct stat info;
        if (::fstatat(::dirfd(dir), name, &info, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        const QString fileName = QFile::decodeName(name);
        const QString relative = prefix.isEmpty() ? fileName : prefix + QLatin1Char('/') + fileName;
        if (S_ISDIR(info.st_mode))
            filesBelow(folder + QLatin1Char('/') + fileName, relative, files);
        else if (S_ISREG(info.st_mode))
            files[relative] = info.st_size;
    }
    ::closedir(dir);
}

// Reads a file for its CRC-32, telling the listener of every chunk; false
// when it could not be read or the listener said stop (then `stopped`).
bool fileCrc(const QString &path, quint32 *crc, ProgressListener *listener, qint64 &done, qint64 total, bool &stopped)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    uLong value = ::crc32(0L, Z_NULL, 0);
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    for (;;) {
        const qint64 count = file.read(buffer.data(), buffer.size());
        if (count < 0)
            return false;
        if (count == 0)
            break;
        value = ::crc32(value, reinterpret_cast<const Bytef *>(buffer.constData()), uInt(count));
        done += count;
        if (listener && !listener->progress(done, total)) {
            stopped = true;
            return false;
        }
    }
    *crc = quint32(value);
    return true;
}

QString withoutSlashes(QString path)
{
    while (path.startsWith(QLatin1Char('/')))
        path.remove(0, 1);
    while (path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path;
}

// A name given by a user as a destination: relative to the root, or an
// absolute path inside it.
QString asDestination(const QString &root, const QString &name)
{
    const QString prefix = root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/');
    if (name.startsWith(prefix))
        return withoutSlashes(name.mid(prefix.size()));
    return withoutSlashes(name);
}

QString lastComponent(const QString &path)
{
    return path.section(QLatin1Char('/'), -1);
}

// Kind folder first, then category folder, then the rest of the path, each
// by its UTF-8 bytes.
struct OrderKey
{
    int kind = 0;
    QByteArray category;
    QByteArray rest;
    bool operator<(const OrderKey &other) const
    {
        if (kind != other.kind)
            return kind < other.kind;
        if (category != other.category)
            return category < other.category;
        return rest < other.rest;
    }
};

OrderKey orderKey(const QString &destination)
{
    OrderKey key;
    const QString kindFolder = destination.section(QLatin1Char('/'), 0, 0);
    key.kind = 5;
    for (quint64 type = 1; type <= 4; ++type) {
        if (TemplateType::kindFolder(type) == kindFolder)
            key.kind = int(type);
    }
    key.category = destination.section(QLatin1Char('/'), 1, 1).toUtf8();
    key.rest = destination.section(QLatin1Char('/'), 2).toUtf8();
    if (key.kind == 5)
        key.rest = destination.toUtf8();
    return key;
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
    const DiskFolderTree tree(root, false);
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
                InstalledTemplate entry;
                entry.destination = folder.mid(1);
                entry.templateType = type;
                entry.categoryFolder = category.name;
                entry.category = item->category();
                entry.title = item->title();
                entry.templateFile = entry.destination + QLatin1Char('/') + fileName;
                const FolderFacts facts = folderFacts(root + folder);
                entry.size = facts.size;
                const ReceiptIndex::Owner owner = receipts.ownerOf(entry.destination);
                if (owner.receipt) {
                    entry.installedAt = owner.receipt->installedAt;
                    entry.originArchiveTitle = owner.receipt->archiveTitle;
                    entry.originArchivePath = owner.receipt->archivePath;
                }
                if (!entry.installedAt.isValid())
                    entry.installedAt = QDateTime::fromMSecsSinceEpoch(facts.modified, Qt::UTC);
                found.push_back(std::move(entry));
                return true;
            });
            // The walk is depth-first; the order promised is by path.
            std::stable_sort(found.begin() + qsizetype(firstOfCategory), found.end(),
                             [](const InstalledTemplate &a, const InstalledTemplate &b) {
                                 return a.destination.section(QLatin1Char('/'), 2).toUtf8()
                                     < b.destination.section(QLatin1Char('/'), 2).toUtf8();
                             });
        }
    }
    return found;
}

std::vector<Verification> verify(const QString &root, const QStringList &selection, ProgressListener *listener)
{
    const std::vector<InstalledTemplate> installed = scan(root);
    const ReceiptIndex receipts(root);
    QSet<QString> wanted(selection.begin(), selection.end());
    for (const QString &name : selection)
        wanted.insert(asDestination(root, name));
    const auto selected = [&](const QString &destination, const QString &title, const Receipt *receipt) {
        return wanted.isEmpty() || wanted.contains(destination)
            || wanted.contains(lastComponent(destination)) || wanted.contains(title)
            || (receipt && wanted.contains(receipt->archiveTitle));
    };

    struct Job
    {
        QString destination;
        QString title;
        const Receipt::Template *entry = nullptr;
    };
    std::vector<Job> jobs;
    QSet<QString> onDisk;
    for (const InstalledTemplate &item : installed) {
        onDisk.insert(item.destination);
        const ReceiptIndex::Owner owner = receipts.ownerOf(item.destination);
        if (selected(item.destination, item.title, owner.receipt))
            jobs.push_back({item.destination, item.title, owner.entry});
    }
    // What a receipt names and is gone altogether is missing too.
    for (auto it = receipts.owners().cbegin(); it != receipts.owners().cend(); ++it) {
        if (!onDisk.contains(it.key()) && selected(it.key(), it->entry->title, it->receipt))
            jobs.push_back({it.key(), it->entry->title, it->entry});
    }
    std::stable_sort(jobs.begin(), jobs.end(),
                     [](const Job &a, const Job &b) { return orderKey(a.destination) < orderKey(b.destination); });

    // Only files whose size matches need their data read.
    struct Compared
    {
        std::map<QString, qint64> files;
    };
    std::vector<Compared> disk(jobs.size());
    qint64 total = 0;
    for (size_t i = 0; i < jobs.size(); ++i) {
        if (!jobs[i].entry)
            continue;
        filesBelow(root + QLatin1Char('/') + jobs[i].destination, QString(), disk[i].files);
        for (const Receipt::File &file : jobs[i].entry->files) {
            const auto it = disk[i].files.find(file.path);
            if (it != disk[i].files.end() && it->second == file.size)
                total += file.size;
        }
    }

    std::vector<Verification> results;
    results.reserve(jobs.size());
    qint64 done = 0;
    for (size_t i = 0; i < jobs.size(); ++i) {
        const Job &job = jobs[i];
        Verification result;
        result.destination = job.destination;
        result.title = job.title;
        result.hasReceipt = job.entry != nullptr;
        if (job.entry) {
            std::map<QString, qint64> &files = disk[i].files;
            for (const Receipt::File &file : job.entry->files) {
                const auto it = files.find(file.path);
                if (it == files.end()) {
                    result.missing.append(file.path);
                    continue;
                }
                const qint64 size = it->second;
                files.erase(it);
                if (size != file.size) {
                    result.changed.append(file.path);
                    continue;
                }
                quint32 crc = 0;
                bool stopped = false;
                const QString path = root + QLatin1Char('/') + job.destination + QLatin1Char('/') + file.path;
                if (!fileCrc(path, &crc, listener, done, total, stopped)) {
                    if (stopped)
                        return results;
                    // Unreadable: not what was installed, as far as anyone can tell.
                    result.changed.append(file.path);
                } else if (crc != file.crc32) {
                    result.changed.append(file.path);
                }
            }
            for (const auto &[path, size] : files)
                result.added.append(path);
        }
        results.push_back(std::move(result));
        if (listener && !listener->progress(done, total))
            return results;
    }
    return results;
}

QStringList resolve(const QString &root, const QStringList &pathsOrArchiveTitles, QStringList *unknown)
{
    if (unknown)
        unknown->clear();
    QSet<QString> known;
    for (const InstalledTemplate &item : scan(root))
        known.insert(item.destination);
    const ReceiptIndex receipts(root);
    for (auto it = receipts.owners().cbegin(); it != receipts.owners().cend(); ++it)
        known.insert(it.key());

    QStringList destinations;
    const auto add = [&destinations](const QString &destination) {
        if (!destinations.contains(destination))
            destinations.append(destination);
    };
    for (const QString &name : pathsOrArchiveTitles) {
        const QString destination = asDestination(root, name);
        if (known.contains(destination)) {
            add(destination);
            continue;
        }
        const Receipt *match = nullptr;
        for (const Receipt &receipt : receipts.receipts()) {
            if (receipt.archiveTitle == name || (!receipt.archiveFileName.isEmpty() && receipt.archiveFileName == name))
                match = &receipt;
        }
        if (!match) {
            if (unknown)
                unknown->append(name);
            continue;
        }
        for (const Receipt::Template &entry : match->templates)
            add(entry.destination);
    }
    return destinations;
}

std::optional<Error> remove(const QString &root, const QStringList &destinations,
                            TemplateTransaction::Disposal disposal, ProgressListener *listener,
                            TemplateTransaction::RemovalReport *report)
{
    if (report)
        *report = {};
    if (destinations.isEmpty())
        return std::nullopt;
    if (!FileOperations::isDirectory(root))
        return Error::fromErrorCode(std::make_error_code(std::errc::no_such_file_or_directory), root);

    DestinationLock lock(root);
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
    return TemplateTransaction::remove(root, archiveTitle, wanted, disposal, listener, report);
}

} // namespace TemplateLibrary
