// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Installer/TemplateInstaller.h"
#include "Installer/TransactionSupport.h"

#include "Common/DiagnosticLog.h"
#include "Common/FileNames.h"
#include "Common/FileOperations.h"
#include "Common/LogCategories.h"
#include "Common/ProgressListener.h"
#include "Installer/DestinationLock.h"
#include "Installer/RootPermissions.h"
#include "Installer/FolderTree.h"
#include "Common/Version.h"
#include "Installer/InstallJournal.h"
#include "Installer/Receipt.h"
#include "Installer/Sha256.h"
#include "Installer/TemplateInstallerDelegate.h"
#include "Installer/TemplateType.h"
#include "ZipArchive/ZipArchive.h"
#include "ZipArchive/ZipDirectory.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <exception>
#include <filesystem>
#include <future>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool TemplateInstaller::refuse(const QString &reason, QString *refusalReason, const char *function, int line)
{
    writeDiagnosticLog(lcInstall(), reason, function, line);
    if (refusalReason)
        *refusalReason = reason;
    return false;
}

namespace {

// The files the archive's directory holds for each template folder
// (relative source paths, "" for the top level), as a receipt lists them:
// relative to the template folder, sorted by path. Nested templates lie in
// their parents' folders too.
std::vector<std::vector<Receipt::File>> filesOfTemplates(const std::vector<ZipDirectory::Entry> &entries,
                                                         const std::vector<QString> &sources)
{
    QHash<QString, std::vector<size_t>> byFolder;
    bool topLevel = false;
    for (size_t i = 0; i < sources.size(); ++i) {
        byFolder[sources[i]].push_back(i);
        topLevel = topLevel || sources[i].isEmpty();
    }
    std::vector<QHash<QString, Receipt::File>> files(sources.size());
    for (const ZipDirectory::Entry &entry : entries) {
        if (entry.isDirectory || entry.relativePath.isEmpty())
            continue;
        const QString path = QLatin1Char('/') + entry.relativePath;
        // Removed after unpacking, as the scan never sees it.
        if (path.startsWith(QLatin1String("/__MACOSX/")))
            continue;
        for (qsizetype slash = path.lastIndexOf(QLatin1Char('/')); slash >= 0;
             slash = slash > 0 ? path.lastIndexOf(QLatin1Char('/'), slash - 1) : -1) {
            const QString folder = path.left(slash);
            if (folder.isEmpty() && !topLevel)
                break;
            const auto it = byFolder.constFind(folder);
            if (it == byFolder.cend())
                continue;
            // A name stored twice is unpacked twice: the last one stays.
            for (size_t index : *it)
                files[index].insert(path.mid(slash + 1), {path.mid(slash + 1), qint64(entry.size), entry.crc32});
        }
    }
    std::vector<std::vector<Receipt::File>> lists(sources.size());
    for (size_t i = 0; i < sources.size(); ++i) {
        std::vector<Receipt::File> &list = lists[i];
        list.reserve(size_t(files[i].size()));
        for (const Receipt::File &file : std::as_const(files[i]))
            list.push_back(file);
        std::sort(list.begin(), list.end(),
                  [](const Receipt::File &a, const Receipt::File &b) { return a.path.toUtf8() < b.path.toUtf8(); });
    }
    return lists;
}

} // namespace

struct TemplateInstaller::ArchiveFacts
{
    std::atomic<bool> cancelled{false};
    std::future<void> work;
    // Written by the worker, read after `work` is ready.
    QString sha256;
    // The file as hashed, for the receipt.
    qint64 size = -1;
    QDateTime modified;
    // The sizes and CRC-32s of the files, read on the caller's thread once
    // unpacking succeeded (the directory alone: a few milliseconds).
    std::optional<std::vector<ZipDirectory::Entry>> entries;

    ~ArchiveFacts()
    {
        cancelled = true;
        if (work.valid())
            work.wait();
    }
};

void TemplateInstaller::startReadingArchiveFacts()
{
    _archiveFacts = std::make_unique<ArchiveFacts>();
    ArchiveFacts *facts = _archiveFacts.get();
    const QString archive = _archiveURL.toLocalFile();
    const QFileInfo file(archive);
    facts->size = file.size();
    facts->modified = file.lastModified().toUTC();
    // The same file, untouched since this root's receipt hashed it.
    const std::optional<Receipt> earlier = Receipt::read(Receipt::existingPathFor(_templatesRootFolder, _archiveTitle));
    if (earlier && !earlier->archiveSha256.isEmpty() && earlier->archivePath == file.absoluteFilePath()
        && earlier->archiveSize == facts->size && earlier->archiveModified.isValid()
        && earlier->archiveModified.toMSecsSinceEpoch() == facts->modified.toMSecsSinceEpoch()) {
        facts->sha256 = earlier->archiveSha256;
        return;
    }
    // Beside the unpack, which reads the same file: the checksum costs the
    // user no pass of its own. ArchiveFacts waits for it before it goes.
    facts->work = std::async(std::launch::async, [facts, archive] {
        QFile file(archive);
        if (!file.open(QIODevice::ReadOnly))
            return;
        Sha256 hash;
        QByteArray buffer(1 << 20, Qt::Uninitialized);
        while (!facts->cancelled) {
            const qint64 count = file.read(buffer.data(), buffer.size());
            if (count < 0)
                return;
            if (count == 0) {
                facts->sha256 = hash.hexResult();
                return;
            }
            hash.addData(buffer.constData(), count);
        }
    });
}

TemplateTransaction::InstallRecord TemplateInstaller::installRecord(const EffectTemplateItemList &list) const
{
    TemplateTransaction::InstallRecord record;
    Receipt &receipt = record.receipt;
    const QString archive = _archiveURL.toLocalFile();
    receipt.archiveFileName = QFileInfo(archive).fileName();
    receipt.archivePath = QFileInfo(archive).absoluteFilePath();
    receipt.archiveTitle = _archiveTitle;
    receipt.installedBy = _installedBy.isEmpty()
        ? QStringLiteral(MTI_PRODUCT_NAME " " MTI_VERSION_STRING) : _installedBy;

    // What copyEffects installs: of templates with one destination, the last.
    std::vector<const EffectTemplateItem *> recorded;
    QSet<QString> later;
    for (auto it = list.rbegin(); it != list.rend(); ++it) {
        const QString destination = (*it)->destinationPath(_templatesRootFolder);
        if (destination.isEmpty() || later.contains(destination))
            continue;
        later.insert(destination);
        recorded.push_back(*it);
    }
    std::reverse(recorded.begin(), recorded.end());
    for (const EffectTemplateItem *item : recorded) {
        Receipt::Template entry;
        entry.templateType = item->templateType();
        entry.category = item->category();
        entry.title = item->title();
        entry.destination = item->relativeDestinationPath().split(QLatin1Char('/'), Qt::SkipEmptyParts)
                                .join(QLatin1Char('/'));
        receipt.templates.push_back(std::move(entry));
    }

    ArchiveFacts *facts = _archiveFacts.get();
    std::vector<QString> sources;
    for (const EffectTemplateItem *item : recorded)
        sources.push_back(item->relativeSourcePath());
    record.complete = [facts, sources](Receipt &receipt, const std::function<bool()> &goOn) -> std::optional<Error> {
        if (!facts)
            return std::nullopt;
        while (facts->work.valid() && facts->work.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
            if (!goOn())
                return Error::cancelled();
        }
        receipt.archiveSha256 = facts->sha256;
        receipt.archiveSize = facts->size;
        receipt.archiveModified = facts->modified;
        if (!facts->entries) {
            qCWarning(lcInstall).noquote() << "the receipt of" << receipt.archiveTitle << "lists no files:"
                                           << "the archive's directory could not be read again";
            return std::nullopt;
        }
        std::vector<std::vector<Receipt::File>> files = filesOfTemplates(*facts->entries, sources);
        for (size_t i = 0; i < sources.size(); ++i)
            receipt.templates[i].files = std::move(files[i]);
        return std::nullopt;
    };
    return record;
}

std::vector<std::vector<Receipt::File>> TemplateInstaller::archiveFiles(const EffectTemplateItemList &items) const
{
    if (!_archiveFacts || !_archiveFacts->entries)
        return std::vector<std::vector<Receipt::File>>(items.size());
    std::vector<QString> sources;
    sources.reserve(items.size());
    for (const EffectTemplateItem *item : items)
        sources.push_back(item->relativeSourcePath());
    return filesOfTemplates(*_archiveFacts->entries, sources);
}

std::unique_ptr<TemplateInstaller> TemplateInstaller::create(const QUrl &archiveURL, const QString &templatesRootFolder,
                                                             QString *refusalReason)
{
    return create(archiveURL, templatesRootFolder, Categories::shipped(), refusalReason);
}

std::unique_ptr<TemplateInstaller> TemplateInstaller::create(const QUrl &archiveURL, const QString &templatesRootFolder,
                                                             const Categories &categories, QString *refusalReason)
{
    std::unique_ptr<TemplateInstaller> installer(new TemplateInstaller);
    if (!installer->init(archiveURL, templatesRootFolder, categories, refusalReason))
        return nullptr;
    return installer;
}

bool TemplateInstaller::init(const QUrl &archiveURL, const QString &templatesRootFolder, const Categories &categories,
                             QString *refusalReason)
{
    if (archiveURL.isEmpty())
        return refuse(QStringLiteral("archiveURL = nil"), refusalReason, Q_FUNC_INFO, __LINE__);
    if (templatesRootFolder.isNull())
        return refuse(QStringLiteral("templatesRootFolder = nil"), refusalReason, Q_FUNC_INFO, __LINE__);
    // A missing root is created by the first install, and so is a missing
    // Movies folder above it (a fresh home has none); further up, the path
    // is more likely wrong than new.
    const QString parent = QFileInfo(templatesRootFolder).path();
    if (!FileOperations::exists(templatesRootFolder) && !FileOperations::isDirectory(parent)
        && !FileOperations::isDirectory(QFileInfo(parent).path()))
        return refuse(QStringLiteral("templatesRootFolder does not exist"), refusalReason, Q_FUNC_INFO, __LINE__);
    const QString path = archiveURL.isLocalFile() ? archiveURL.toLocalFile() : archiveURL.path();
    const QString fileName = QFileInfo(path).fileName();
    if (FileNames::lastExtension(fileName) != QLatin1String("mtzip"))
        return refuse(QStringLiteral("Not a Motion Template Archive"), refusalReason, Q_FUNC_INFO, __LINE__);

    _archiveURL = archiveURL;
    _archiveTitle = FileNames::withoutLastExtension(fileName);
    _templatesRootFolder = templatesRootFolder;
    _categories = categories;
    return true;
}

TemplateInstaller::TemplateInstaller() = default;

TemplateInstaller::~TemplateInstaller()
{
    // The worker reads the archive, which may be deleted below.
    _archiveFacts.reset();
    _effects.reset();
    // What is left is removed by the next start's sweep of dead processes' folders.
    if (_mustDeleteEffectsSourceFolder && !_effectsSourceFolder.isEmpty())
        TemplateTransaction::Support::warnIfFailed(FileOperations::removeAll(_effectsSourceFolder),
                                                   "cannot remove the unpack folder");
    if (_mustDeleteTemplatesArchive) {
        const QString archive = _archiveURL.toLocalFile();
        if (_disposal == TemplateTransaction::Disposal::Delete || !FileOperations::moveToTrash(archive))
            QFile::remove(archive);
    }
}

QString TemplateInstaller::className() const
{
    return QStringLiteral("TemplateInstaller");
}

bool TemplateInstaller::unarchive()
{
    if (_archiveTitle.isEmpty()) {
        MTI_DIAGNOSTIC(lcInstall, QStringLiteral("No archive title"));
        return false;
    }
    _unarchiveError.clear();

    // A folder of its own: two archives of one title, or leftovers of an
    // earlier run, never mix.
    // It carries the owner's process id: a later run removes it if this
    // process dies without doing so. Long titles are cut to leave room.
    QTemporaryDir unpackDir(QDir::tempPath() + QLatin1Char('/') + _archiveTitle.left(120)
                            + QStringLiteral("-mti%1-XXXXXX").arg(QCoreApplication::applicationPid()));
    if (!unpackDir.isValid()) {
        _unarchiveError = QCoreApplication::translate("TemplateInstaller",
                                                      "Cannot create an unpack folder: %1").arg(unpackDir.errorString());
        MTI_DIAGNOSTIC(lcInstall, _unarchiveError);
        return false;
    }
    const QString unpackFolder = unpackDir.path();

    bool succeeded = false;
    ZipArchive zip;
    zip.setDelegate(this);
    zip.setProgressListener(_progressListener);
    try {
        if (!zip.UnzipOpenFile(_archiveURL.toLocalFile())) {
            // The zip layer says why (not a file, permission denied, not a zip).
            const ZipError error = zip.lastError();
            _unarchiveError = !error.detail.isEmpty() ? error.detail
                : error.code == ZipError::NotFound
                ? QCoreApplication::translate("TemplateInstaller", "The file does not exist.")
                : QCoreApplication::translate("TemplateInstaller", "The file is not a zip archive, or it is damaged.");
        } else {
            // For the receipt an install leaves.
            startReadingArchiveFacts();
            if (zip.UnzipFileTo(unpackFolder, true)) {
                // Left, it is only never scanned: the scan skips AppleDouble files.
                TemplateTransaction::Support::warnIfFailed(
                    FileOperations::removeAll(unpackFolder + QStringLiteral("/__MACOSX")), "cannot remove __MACOSX");
                _effects = effectTemplateItemsInFolder(unpackFolder);
                _listedOnly = false;
                _effectsSourceFolder = unpackFolder;
                _mustDeleteEffectsSourceFolder = true;
                unpackDir.setAutoRemove(false);
                _archiveFacts->entries = ZipDirectory::read(_archiveURL.toLocalFile(), nullptr);
                succeeded = true;
            } else {
                const ZipError error = zip.lastError();
                _unarchiveError = error.code == ZipError::NoEntries
                    ? QCoreApplication::translate("TemplateInstaller", "The archive holds no entries.")
                    : !error.detail.isEmpty()
                    ? error.detail
                    : QCoreApplication::translate("TemplateInstaller", "The archive could not be unpacked.");
            }
        }
    } catch (const std::exception &e) {
        MTI_DIAGNOSTIC(lcInstall, QString::fromLocal8Bit(e.what()));
        _unarchiveError = QString::fromLocal8Bit(e.what());
    }
    zip.UnzipCloseFile();
    zip.setDelegate(nullptr);
    if (!succeeded)
        _archiveFacts.reset();
    // On failure unpackDir removes what was written as it goes out of scope.
    return succeeded;
}

namespace {

// The generic lines come first, the particulars after; the most telling
// one is kept for the user.
class ListingMessages : public ZipArchiveDelegate
{
public:
    void ErrorMessage(const QString &message) override
    {
        MTI_DIAGNOSTIC(lcInstall, message);
        static const QStringList generic = {QStringLiteral("Failed"), QStringLiteral("Error occurs"),
                                            QStringLiteral("Failed to reading zip file")};
        if (!generic.contains(message))
            telling = message;
        else if (telling.isEmpty() && message == QLatin1String("Failed"))
            telling = QCoreApplication::translate("TemplateInstaller", "The archive holds no entries.");
    }

    QString telling;
};

} // namespace

bool TemplateInstaller::listArchive(bool forInstall)
{
    if (_archiveTitle.isEmpty()) {
        MTI_DIAGNOSTIC(lcInstall, QStringLiteral("No archive title"));
        return false;
    }
    _unarchiveError.clear();
    const QString archive = _archiveURL.toLocalFile();
    // The directory reader tells what the zip layer would, in words only.
    ListingMessages messages;
    std::optional<std::vector<ZipDirectory::Entry>> entries = ZipDirectory::read(archive, &messages);
    if (!entries) {
        _unarchiveError = messages.telling;
        if (_unarchiveError.isEmpty()) {
            _unarchiveError = QFileInfo::exists(archive)
                ? QCoreApplication::translate("TemplateInstaller", "The file is not a zip archive, or it is damaged.")
                : QCoreApplication::translate("TemplateInstaller", "The file does not exist.");
        }
        return false;
    }
    QString problem;
    const std::optional<ArchiveFolderTree> tree = ArchiveFolderTree::fromEntries(std::move(*entries), &problem);
    if (!tree) {
        MTI_DIAGNOSTIC(lcInstall, problem);
        _unarchiveError = problem;
        return false;
    }
    // The archive's own path as the items' root: nothing lies there to be
    // copied or previewed by mistake.
    _effects = effectTemplateItemsInTree(*tree, archive);
    _listedOnly = true;
    if (forInstall) {
        // The tree took the entries' names; the receipt needs them whole.
        startReadingArchiveFacts();
        _archiveFacts->entries = ZipDirectory::read(archive, nullptr);
    }
    return true;
}

void TemplateInstaller::ErrorMessage(const QString &message)
{
    // What the user sees comes from the zip layer's typed error afterwards.
    MTI_DIAGNOSTIC(lcInstall, message);
}

bool TemplateInstaller::OverWriteOperation(const QString &)
{
    return false;
}

EffectTemplateItems TemplateInstaller::effectTemplateItemsInFolder(const QString &folder)
{
    return effectTemplateItemsInTree(DiskFolderTree(folder), folder);
}

EffectTemplateItems TemplateInstaller::effectTemplateItemsInTree(const FolderTree &tree, const QString &rootFolder)
{
    EffectTemplateItems items;
    items.reserve(100);
    iterateSrcFolder(tree, QStringLiteral(""), rootFolder, items);
    return items;
}

void TemplateInstaller::iterateSrcFolder(const FolderTree &tree, const QString &relativeFolder,
                                         const QString &rootFolder, EffectTemplateItems &foundTemplates)
{
    tree.findTemplateFolders(relativeFolder, [&](const QString &folder, const QString &, quint64 type) {
        // A template lying at the archive's top level is named after the archive.
        std::unique_ptr<EffectTemplateItem> item = EffectTemplateItem::create(
            folder, rootFolder, type, _categories, folder.isEmpty() ? _archiveTitle : QString());
        if (!item)
            return false;
        item->setRelativeDestinationPath(relativeDestinationPathFor(*item));
        foundTemplates.push_back(std::move(item));
        return true;
    });
}

QString TemplateInstaller::relativeDestinationPathFor(const EffectTemplateItem &item) const
{
    return item.relativeSourcePath().isEmpty() ? QLatin1Char('/') + item.folderName() : item.relativeSourcePath();
}

EffectTemplateItemList TemplateInstaller::effects() const
{
    EffectTemplateItemList list;
    if (_effects) {
        list.reserve(_effects->size());
        for (const auto &item : *_effects)
            list.push_back(item.get());
    }
    return list;
}

QString TemplateInstaller::userDestMotionTemplatesFolder()
{
    static QString sFolder;
    if (sFolder.isEmpty()) {
        QStringList movies = QStandardPaths::standardLocations(QStandardPaths::MoviesLocation);
        // Qt's test mode keeps every other location out of the real home;
        // on Linux it leaves the Movies folder alone, so do it here.
        if (QStandardPaths::isTestModeEnabled())
            movies = {QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Movies")};
        // Without HOME, Qt builds the folder on "/" ("//Videos"): a place
        // nobody chose. One the user-dirs file names outright still counts.
        if (!movies.isEmpty() && qEnvironmentVariableIsEmpty("HOME")
            && QFileInfo(QDir::cleanPath(movies.first())).path() == QDir::rootPath())
            movies.clear();
        if (movies.isEmpty() || movies.first().isEmpty()) {
            MTI_DIAGNOSTIC(lcInstall, QStringLiteral("No movies directory found"));
            return {};
        }
        sFolder = movies.first() + QStringLiteral("/Motion Templates.localized");
    }
    return sFolder;
}

QString TemplateInstaller::localDestMotionTemplatesFolder()
{
#if defined(Q_OS_MACOS)
    const QString applicationSupport = QStringLiteral("/Library/Application Support");
#else
    // The all-users data folder: the last generic data location is the
    // system's own (/usr/share on most Linux systems).
    const QStringList locations = QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation);
    const QString applicationSupport = locations.size() > 1 ? locations.last() : QString();
#endif
    if (applicationSupport.isEmpty()) {
        MTI_DIAGNOSTIC(lcInstall, QStringLiteral("No local application support directory found"));
        return {};
    }
    return applicationSupport + QStringLiteral("/Final Cut Pro/Templates");
}

std::optional<Error> TemplateInstaller::copyEffects(const EffectTemplateItemList &effects, const QString &folder,
                                                    ProgressListener *listener, InstallTransfer transfer,
                                                    const QString &archiveTitle,
                                                    TemplateTransaction::InstallReport *report,
                                                    TemplateTransaction::Disposal replacedCopies,
                                                    const TemplateTransaction::InstallRecord *record,
                                                    const QHash<QString, TemplateTransaction::Disposal> *replaced)
{
    if (report)
        *report = {};
    if (folder.isNull() || effects.empty())
        return std::nullopt;
    if (transfer == InstallTransfer::MoveSource) {
        // Moving a folder that holds another template's folder would take
        // that one along, or leave it out of its parent's install.
        QStringList sources;
        for (const EffectTemplateItem *item : effects)
            sources.append(QDir::cleanPath(item->sourceFolderPath()) + QLatin1Char('/'));
        sources.sort();
        for (qsizetype i = 1; i < sources.size(); ++i) {
            if (sources.at(i).startsWith(sources.at(i - 1)))
                transfer = InstallTransfer::Copy;
        }
    }
    // Of templates with one destination the last one listed is what stays.
    QSet<QString> later;
    std::vector<TemplateTransaction::InstallJob> jobs;
    for (auto it = effects.rbegin(); it != effects.rend(); ++it) {
        const EffectTemplateItem *item = *it;
        const QString destination = item->destinationPath(folder);
        if (destination.isEmpty()) {
            // Replacing the destination root would wipe every installed template.
            return Error(Error::PosixDomain, EINVAL,
                         QCoreApplication::translate("TemplateInstaller",
                             "The template \"%1\" has no folder of its own to install to.").arg(item->title()));
        }
        if (later.contains(destination))
            continue;
        later.insert(destination);
        // Sizes only matter to a listener; the tree walks cost little beside the copies.
        TemplateTransaction::InstallJob job{item->sourceFolderPath(), item->relativeDestinationPath(),
                                            listener ? FileOperations::treeSize(item->sourceFolderPath()) : 0,
                                            transfer == InstallTransfer::MoveSource, std::nullopt};
        if (replaced) {
            const auto it = replaced->constFind(
                TemplateTransaction::Support::relativeDestination(item->relativeDestinationPath()));
            if (it != replaced->cend())
                job.replacedDisposal = *it;
        }
        jobs.push_back(std::move(job));
    }
    std::reverse(jobs.begin(), jobs.end());
    return TemplateTransaction::install(folder, archiveTitle, jobs, listener, report, replacedCopies, record);
}

std::optional<Error> TemplateInstaller::deleteEffects(const EffectTemplateItemList &effects, const QString &folder,
                                                      ProgressListener *listener,
                                                      TemplateTransaction::Disposal disposal,
                                                      const QString &archiveTitle,
                                                      TemplateTransaction::RemovalReport *report)
{
    if (report)
        *report = {};
    if (folder.isNull() || effects.empty() || !FileOperations::isDirectory(folder))
        return std::nullopt;
    QStringList destinations;
    destinations.reserve(qsizetype(effects.size()));
    for (const EffectTemplateItem *item : effects) {
        if (!item->destinationPath(folder).isEmpty())
            destinations.append(item->relativeDestinationPath());
    }
    return TemplateTransaction::remove(folder, archiveTitle, destinations, disposal, listener, report);
}

namespace {

// The install texts for a root that cannot be created or written.
Error rootError(const Error &cause, const QString &root)
{
    return cause.isPermissionError()
        ? Error(cause.domain(), cause.code(),
                QCoreApplication::translate("TemplateInstaller",
                    "You have no permission to install the Motion templates to the folder: '%1'.").arg(root))
        : Error(cause.domain(), cause.code(),
                QCoreApplication::translate("TemplateInstaller",
                                            "The Motion templates could not be copied to the folder: '%1', [%2].")
                    .arg(root).arg(cause.code()));
}

// After recovery, a journal still there is a run that could not be undone:
// changing the root further could lose what it holds aside.
std::optional<Error> stuckRun(const QString &root)
{
    return TemplateTransaction::unfinishedRun(root);
}

QStringList destinationsOf(const EffectTemplateItemList &items)
{
    QStringList destinations;
    for (const EffectTemplateItem *item : items)
        destinations.append(item->relativeDestinationPath());
    return destinations;
}

} // namespace

std::optional<Error> TemplateInstaller::installEffects(InstallTransfer transfer)
{
    return installEffects(effects(), transfer);
}

EffectTemplateItemList TemplateInstaller::ownEffects(const EffectTemplateItemList &items) const
{
    const EffectTemplateItemList all = effects();
    const QSet<const EffectTemplateItem *> own(all.begin(), all.end());
    EffectTemplateItemList list;
    for (const EffectTemplateItem *item : items) {
        if (own.contains(item))
            list.push_back(item);
    }
    return list;
}

std::optional<Error> TemplateInstaller::installEffects(const EffectTemplateItemList &items, InstallTransfer transfer)
{
    _lastInstall = {};
    const QString &root = _templatesRootFolder;
    if (root.isNull())
        return Error(className(), 0, QCoreApplication::translate("TemplateInstaller",
            "The install directory was not specified. Please contact support."));
    if (_listedOnly && !(_archiveFacts && _archiveFacts->entries))
        return listedOnlyError();
    bool createdRoot = false;
    if (!FileOperations::exists(root)) {
        if (std::optional<Error> created = FileOperations::createDirectories(root))
            return rootError(*created, root);
        createdRoot = true;
    }
    const EffectTemplateItemList list = ownEffects(items);
    std::optional<Error> error = RootPermissions::check(root, destinationsOf(list));
    if (!error) {
        DestinationLock lock(root);
        lock.setWaitLimit(_lockWait);
        error = lock.acquire(_progressListener);
        // Another window of this process at work says so itself.
        if (error && !error->isCancellation() && error->code() != EBUSY)
            error = rootError(*error, root);
        if (!error) {
            TemplateTransaction::recover(root, _progressListener);
            error = stuckRun(root);
        }
        if (!error)
            error = installOwned(list, transfer);
        if (!error && root == localDestMotionTemplatesFolder())
            shareWithAllUsers(list);
    }
    // A root made for nothing goes again (only if nothing else is in it).
    if (error && createdRoot)
        ::rmdir(QFile::encodeName(root).constData());
    return error;
}

std::optional<Error> TemplateInstaller::deleteEffects()
{
    return deleteEffects(effects());
}

std::optional<Error> TemplateInstaller::deleteEffects(const EffectTemplateItemList &items)
{
    _lastRemoval = {};
    const QString &root = _templatesRootFolder;
    const EffectTemplateItemList list = ownEffects(items);
    if (root.isNull() || list.empty() || !FileOperations::isDirectory(root))
        return std::nullopt;
    if (std::optional<Error> error = RootPermissions::check(root, destinationsOf(list)))
        return error;
    DestinationLock lock(root);
    lock.setWaitLimit(_lockWait);
    if (std::optional<Error> error = lock.acquire(_progressListener))
        return error;
    TemplateTransaction::recover(root, _progressListener);
    if (std::optional<Error> error = stuckRun(root))
        return error;
    return removeOwned(list);
}

// The folder of all users: everyone reads what is installed there, and only
// its owner changes it, whatever the umask of whoever installed it (links
// are left as they are, never followed).
void TemplateInstaller::shareWithAllUsers(const EffectTemplateItemList &list) const
{
    namespace fs = std::filesystem;
    const QString &root = _templatesRootFolder;
    const auto share = [](const fs::path &path, bool folder) {
        ::fchmodat(AT_FDCWD, path.c_str(), folder ? 0755 : 0644, 0);
    };
    QStringList tops{Receipt::folderName()};
    for (const EffectTemplateItem *item : list)
        tops.append(TemplateTransaction::Support::relativeDestination(item->relativeDestinationPath()));
    share(FileOperations::toFsPath(root), true);
    for (const QString &top : std::as_const(tops)) {
        QString walked;
        for (const QString &part : top.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
            walked += QLatin1Char('/') + part;
            struct stat info;
            const fs::path path = FileOperations::toFsPath(root + walked);
            if (::lstat(path.c_str(), &info) == 0 && (S_ISDIR(info.st_mode) || S_ISREG(info.st_mode)))
                share(path, S_ISDIR(info.st_mode));
        }
        std::error_code ec;
        for (fs::recursive_directory_iterator it(FileOperations::toFsPath(root + QLatin1Char('/') + top), ec), end;
             !ec && it != end; it.increment(ec)) {
            if (!it->is_symlink(ec) && (it->is_directory(ec) || it->is_regular_file(ec)))
                share(it->path(), it->is_directory(ec));
        }
    }
}

Error TemplateInstaller::listedOnlyError() const
{
    return Error(className(), EINVAL,
                 QCoreApplication::translate("TemplateInstaller",
                                             "The archive \"%1\" was only listed; unpack it to install its templates.")
                     .arg(_archiveTitle));
}

std::vector<TemplateOwnership::Copy> TemplateInstaller::ownership(const EffectTemplateItemList &items) const
{
    const QStringList destinations = destinationsOf(items);
    std::vector<std::optional<std::vector<Receipt::File>>> files(items.size());
    if (_archiveFacts && _archiveFacts->entries) {
        std::vector<std::vector<Receipt::File>> known = archiveFiles(items);
        for (size_t i = 0; i < known.size(); ++i)
            files[i] = std::move(known[i]);
    }
    return TemplateOwnership::assess(_templatesRootFolder, _archiveTitle, destinations, files);
}

bool TemplateInstaller::hasReceipt() const
{
    const QString title = _archiveTitle.normalized(QString::NormalizationForm_C);
    for (const Receipt &receipt : Receipt::readAll(_templatesRootFolder)) {
        if (receipt.archiveTitle.normalized(QString::NormalizationForm_C) == title)
            return true;
    }
    return false;
}

// Copies only what needs it: a copy already in place byte for byte is left
// (and recorded as this archive's), edited and others' copies are kept
// unless the policy says replace, and then go to the Trash.
std::optional<Error> TemplateInstaller::installOwned(const EffectTemplateItemList &list, InstallTransfer transfer)
{
    using TemplateOwnership::State;
    const std::vector<TemplateOwnership::Copy> copies = ownership(list);
    EffectTemplateItemList toCopy;
    EffectTemplateItemList recorded;
    QHash<QString, TemplateTransaction::Disposal> replaced;
    TemplateTransaction::InstallReport report;
    QStringList foreignOwners;
    for (size_t i = 0; i < list.size(); ++i) {
        const EffectTemplateItem *item = list[i];
        const State state = copies[i].state;
        if (state == State::Edited && !_policy.replaceEdited) {
            report.keptEdited.append(item->relativeDestinationPath());
            report.keptOwners.append(copies[i].owner);
            continue;
        }
        if (state == State::Foreign && copies[i].identical) {
            // Already in place as another archive's: left to it.
            ++report.identical;
            continue;
        }
        if (state == State::Foreign && !_policy.replaceForeign) {
            report.keptForeign.append(item->relativeDestinationPath());
            foreignOwners.append(copies[i].owner);
            continue;
        }
        recorded.push_back(item);
        if (state == State::Identical) {
            ++report.identical;
            continue;
        }
        toCopy.push_back(item);
        replaced.insert(TemplateTransaction::Support::relativeDestination(item->relativeDestinationPath()),
                        state == State::Unchanged ? _unchangedDisposal : TemplateTransaction::Disposal::Trash);
    }
    report.keptOwners += foreignOwners;

    if (_listedOnly && !toCopy.empty())
        return listedOnlyError();
    const TemplateTransaction::InstallRecord record = installRecord(recorded);
    std::optional<Error> error = copyEffects(toCopy, _templatesRootFolder, _progressListener, transfer, _archiveTitle,
                                             &_lastInstall, TemplateTransaction::Disposal::Delete, &record, &replaced);
    if (!error && toCopy.empty() && !recorded.empty()) {
        // Nothing to copy: the receipt alone, in a transaction of its own.
        error = TemplateTransaction::install(_templatesRootFolder, _archiveTitle, {}, _progressListener, nullptr,
                                             TemplateTransaction::Disposal::Delete, &record);
    }
    if (error)
        return error;
    _lastInstall.identical = report.identical;
    _lastInstall.keptEdited = report.keptEdited;
    _lastInstall.keptForeign = report.keptForeign;
    _lastInstall.keptOwners = report.keptOwners;
    return std::nullopt;
}

// Takes only this archive's copies: others' stay, edited ones stay unless
// the policy says remove (and then go to the Trash). An archive the root
// holds no receipt of was installed before receipts: its copies that no
// receipt claims are removed by path, to the Trash.
std::optional<Error> TemplateInstaller::removeOwned(const EffectTemplateItemList &list)
{
    using TemplateOwnership::State;
    const QString &root = _templatesRootFolder;
    const bool legacy = !hasReceipt();
    const std::vector<TemplateOwnership::Copy> copies = ownership(list);
    EffectTemplateItemList own;
    EffectTemplateItemList edited;
    TemplateTransaction::RemovalReport kept;
    QStringList foreignOwners;
    for (size_t i = 0; i < list.size(); ++i) {
        // A copy only missing files holds nothing of the user's to lose.
        const State state = copies[i].onlyRemovals ? State::Unchanged : copies[i].state;
        if (state == State::Edited && !_policy.removeEdited) {
            kept.keptEdited.append(list[i]->relativeDestinationPath());
            kept.keptOwners.append(copies[i].owner);
        } else if (state == State::Edited) {
            edited.push_back(list[i]);
        } else if (state == State::Foreign && !(legacy && copies[i].owner.isEmpty())) {
            kept.keptForeign.append(list[i]->relativeDestinationPath());
            foreignOwners.append(copies[i].owner);
        } else {
            own.push_back(list[i]);
        }
    }
    kept.keptOwners += foreignOwners;
    const TemplateTransaction::Disposal disposal = legacy ? TemplateTransaction::Disposal::Trash : _disposal;
    std::optional<Error> error = deleteEffects(own, root, _progressListener, disposal, _archiveTitle, &_lastRemoval);
    if (!error && !edited.empty()) {
        TemplateTransaction::RemovalReport more;
        error = deleteEffects(edited, root, _progressListener, TemplateTransaction::Disposal::Trash, _archiveTitle,
                              &more);
        _lastRemoval.removed += more.removed;
        _lastRemoval.failed += more.failed;
        _lastRemoval.trashed = _lastRemoval.trashed || more.trashed;
        if (!_lastRemoval.firstError)
            _lastRemoval.firstError = more.firstError;
    }
    _lastRemoval.keptEdited = kept.keptEdited;
    _lastRemoval.keptForeign = kept.keptForeign;
    _lastRemoval.keptOwners = kept.keptOwners;
    return error;
}

void TemplateInstaller::recoverInterruptedRun(const QString &root)
{
    if (root.isEmpty() || !FileOperations::exists(root + QLatin1Char('/') + InstallJournal::fileName()))
        return;
    // Nor acted on in a folder others can change: they may have forged it.
    if (const std::optional<Error> refused = RootPermissions::check(root)) {
        qCWarning(lcInstall).noquote() << "no recovery:" << refused->localizedDescription();
        return;
    }
    DestinationLock lock(root);
    // A holder is at work on it: its journal is no leftover.
    if (lock.tryAcquire())
        TemplateTransaction::recover(root);
}

int TemplateInstaller::removeAbandonedUnpackFolders()
{
    static const QRegularExpression pattern(QStringLiteral("-mti([0-9]+)-[A-Za-z0-9]{6}$"));
    const QString temp = QDir::tempPath();
    int removed = 0;
    const QStringList names = QDir(temp).entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot | QDir::NoSymLinks);
    for (const QString &name : names) {
        const QRegularExpressionMatch match = pattern.match(name);
        if (!match.hasMatch())
            continue;
        const qint64 pid = match.captured(1).toLongLong();
        if (pid == QCoreApplication::applicationPid() || FileOperations::isProcessRunning(pid))
            continue;
        const QString path = temp + QLatin1Char('/') + name;
        struct stat info;
        // Only this user's: a shared temporary folder holds others' too.
        if (::lstat(QFile::encodeName(path).constData(), &info) != 0 || !S_ISDIR(info.st_mode)
            || info.st_uid != ::getuid())
            continue;
        if (!FileOperations::removeAll(path))
            ++removed;
    }
    return removed;
}

EffectTemplateItemList TemplateInstaller::installedEffects() const
{
    EffectTemplateItemList installed;
    for (const EffectTemplateItem *item : effects()) {
        if (item->isInstalledInDestRootFolder(_templatesRootFolder))
            installed.push_back(item);
    }
    return installed;
}
