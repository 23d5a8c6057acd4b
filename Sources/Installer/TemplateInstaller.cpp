// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Installer/TemplateInstaller.h"
#include "Installer/TransactionSupport.h"

#include "Common/DiagnosticLog.h"
#include "Common/FileNames.h"
#include "Common/FileOperations.h"
#include "Common/LogCategories.h"
#include "Common/ProgressListener.h"
#include "Common/Version.h"
#include "Installer/ArchiveFacts.h"
#include "Installer/DestinationLock.h"
#include "Installer/FolderTree.h"
#include "Installer/InstallJournal.h"
#include "Installer/InstallSpace.h"
#include "Installer/Receipt.h"
#include "Installer/RootPermissions.h"
#include "Installer/TemplateLayout.h"
#include "ZipArchive/ZipEntryContents.h"
#include "ZipArchive/ZipReader.h"
#include "Installer/TemplateInstallerDelegate.h"
#include "ZipArchive/ZipDirectory.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <iterator>
#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>

namespace {

bool sameVolume(const QString &one, const QString &other)
{
    struct stat a;
    struct stat b;
    return !one.isEmpty() && ::stat(QFile::encodeName(one).constData(), &a) == 0
        && ::stat(QFile::encodeName(other).constData(), &b) == 0 && a.st_dev == b.st_dev;
}

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

QStringList destinationsOf(const EffectTemplateItemList &items)
{
    QStringList destinations;
    for (const EffectTemplateItem *item : items)
        destinations.append(item->relativeDestinationPath());
    return destinations;
}

// Names that differ only in Unicode form are one folder on a Mac, and one
// in receipts: one destination everywhere.
QString destinationKey(const EffectTemplateItem &item, const QString &root)
{
    return item.destinationPath(root).normalized(QString::NormalizationForm_C);
}

// Of templates with one destination the last one listed is what stays:
// `items` without the earlier ones, in their order.
EffectTemplateItemList lastPerDestination(const EffectTemplateItemList &items, const QString &root)
{
    EffectTemplateItemList kept;
    QSet<QString> later;
    for (auto it = items.rbegin(); it != items.rend(); ++it) {
        const QString destination = destinationKey(**it, root);
        if (destination.isEmpty() || later.contains(destination))
            continue;
        later.insert(destination);
        kept.push_back(*it);
    }
    std::reverse(kept.begin(), kept.end());
    return kept;
}

// Moving a folder that holds another template's folder would take that
// one along, or leave it out of its parent's install: such sets are copied.
InstallTransfer transferFor(const EffectTemplateItemList &effects, InstallTransfer asked)
{
    if (asked != InstallTransfer::MoveSource)
        return asked;
    QStringList sources;
    for (const EffectTemplateItem *item : effects)
        sources.append(QDir::cleanPath(item->sourceFolderPath()) + QLatin1Char('/'));
    sources.sort();
    for (qsizetype i = 1; i < sources.size(); ++i) {
        if (sources.at(i).startsWith(sources.at(i - 1)))
            return InstallTransfer::Copy;
    }
    return asked;
}

// The transaction's jobs for a copy request, or the refusal of a template
// that would replace the destination root (and with it every installed one).
Expected<std::vector<TemplateTransaction::InstallJob>> installJobs(const TemplateInstaller::CopyRequest &request)
{
    // The last such template is named, as the list is read from its end.
    for (auto it = request.effects.rbegin(); it != request.effects.rend(); ++it) {
        if ((*it)->destinationPath(request.folder).isEmpty())
            return Error(Error::PosixDomain, EINVAL,
                         QCoreApplication::translate("TemplateInstaller",
                                                     "The template \"%1\" has no folder of its own to install to.")
                             .arg((*it)->title()));
    }
    const InstallTransfer transfer = transferFor(request.effects, request.transfer);
    std::vector<TemplateTransaction::InstallJob> jobs;
    for (const EffectTemplateItem *item : lastPerDestination(request.effects, request.folder)) {
        // Sizes only matter to a listener; the tree walks cost little beside the copies.
        TemplateTransaction::InstallJob job{item->sourceFolderPath(), item->relativeDestinationPath(),
                                            request.listener ? FileOperations::treeSize(item->sourceFolderPath()) : 0,
                                            transfer == InstallTransfer::MoveSource, std::nullopt};
        if (request.replaced) {
            const auto it = request.replaced->constFind(
                TemplateTransaction::Support::relativeDestination(item->relativeDestinationPath()));
            if (it != request.replaced->cend())
                job.replacedDisposal = *it;
        }
        jobs.push_back(std::move(job));
    }
    return jobs;
}

} // namespace

Error TemplateInstaller::refusal(Refusal why, const char *function, int line)
{
    // The words are keys the callers choose their texts by: never translated.
    static const char *const words[] = {"", "archiveURL = nil", "templatesRootFolder = nil",
                                        "templatesRootFolder does not exist", "Not a Motion Template Archive",
                                        "Unexpected category prefix", "Unrecognized category title",
                                        "A template lies outside its kind folder"};
    static_assert(std::size(words) == size_t(Refusal::OutsideKindFolder) + 1, "a word for every refusal");
    const QString reason = QLatin1String(words[int(why)]);
    writeDiagnosticLog(lcInstall(), reason, function, line);
    return Error(RefusalDomain, int(why), reason);
}

Expected<std::unique_ptr<TemplateInstaller>> TemplateInstaller::open(const QUrl &archiveURL,
                                                                     const QString &templatesRootFolder,
                                                                     const Categories &categories)
{
    std::unique_ptr<TemplateInstaller> installer(new TemplateInstaller);
    if (std::optional<Error> refused = installer->init(archiveURL, templatesRootFolder, categories))
        return *refused;
    return installer;
}

std::unique_ptr<TemplateInstaller> TemplateInstaller::create(const QUrl &archiveURL, const QString &templatesRootFolder)
{
    return create(archiveURL, templatesRootFolder, Categories::shipped());
}

std::unique_ptr<TemplateInstaller> TemplateInstaller::create(const QUrl &archiveURL, const QString &templatesRootFolder,
                                                             const Categories &categories)
{
    Expected<std::unique_ptr<TemplateInstaller>> installer = open(archiveURL, templatesRootFolder, categories);
    return installer ? std::move(*installer) : nullptr;
}

std::optional<Error> TemplateInstaller::init(const QUrl &archiveURL, const QString &templatesRootFolder,
                                             const Categories &categories)
{
    if (archiveURL.isEmpty())
        return refusal(Refusal::NoArchive, Q_FUNC_INFO, __LINE__);
    if (templatesRootFolder.isNull())
        return refusal(Refusal::NoRoot, Q_FUNC_INFO, __LINE__);
    // A missing root is created by the first install, and so is a missing
    // Movies folder above it (a fresh home has none); further up, the path
    // is more likely wrong than new.
    const QString parent = QFileInfo(templatesRootFolder).path();
    if (!FileOperations::exists(templatesRootFolder) && !FileOperations::isDirectory(parent)
        && !FileOperations::isDirectory(QFileInfo(parent).path()))
        return refusal(Refusal::RootMissing, Q_FUNC_INFO, __LINE__);
    const QString path = archiveURL.isLocalFile() ? archiveURL.toLocalFile() : archiveURL.path();
    const QString fileName = QFileInfo(path).fileName();
    const QString extension = FileNames::lastExtension(fileName);
    if (extension == QLatin1String("zip")) {
        // A plain zip is taken only when laid out as a templates folder.
        if (std::optional<Error> refused = readLayout(path))
            return refused;
    } else if (extension != QLatin1String("mtzip")) {
        return refusal(Refusal::NotAnArchive, Q_FUNC_INFO, __LINE__);
    }

    _archiveURL = archiveURL;
    _archiveTitle = FileNames::withoutLastExtension(fileName);
    _templatesRootFolder = templatesRootFolder;
    _categories = categories;
    return std::nullopt;
}

std::optional<Error> TemplateInstaller::readLayout(const QString &archive)
{
    std::optional<std::vector<ZipDirectory::Entry>> entries = ZipDirectory::read(archive, nullptr);
    QString problem;
    std::optional<ArchiveFolderTree> tree =
        entries ? ArchiveFolderTree::fromEntries(std::move(*entries), &problem) : std::optional<ArchiveFolderTree>();
    if (!tree)
        return refusal(Refusal::NotAnArchive, Q_FUNC_INFO, __LINE__);
    Expected<QString> root = TemplateLayout::check(*tree);
    if (!root) {
        MTI_DIAGNOSTIC(lcInstall, root.error().localizedDescription());
        return refusal(root.error().code() == TemplateLayout::OutsideKindFolder ? Refusal::OutsideKindFolder
                                                                                 : Refusal::NotAnArchive,
                       Q_FUNC_INFO, __LINE__);
    }
    _layoutRoot = *root;
    return std::nullopt;
}

TemplateInstaller::TemplateInstaller() = default;

TemplateInstaller::~TemplateInstaller()
{
    // The worker reads the archive, which may be deleted below.
    _archiveFacts.reset();
    _effects.reset();
    _unpackFolder.reset();
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

TemplateScanner TemplateInstaller::scanner() const
{
    return TemplateScanner(_categories, _archiveTitle,
                           [this](const EffectTemplateItem &item) { return relativeDestinationPathFor(item); });
}

std::optional<UnpackFolder> TemplateInstaller::unpackAndScan(EffectTemplateItems &effects)
{
    if (_archiveTitle.isEmpty()) {
        MTI_DIAGNOSTIC(lcInstall, QStringLiteral("No archive title"));
        return std::nullopt;
    }
    _unarchiveError.clear();
    _damagedPreviews.clear();
    _listedReader.reset();
    Expected<UnpackFolder> folder = UnpackFolder::create(_archiveTitle);
    if (!folder) {
        _unarchiveError = folder.error().localizedDescription();
        return std::nullopt;
    }
    const QString archive = _archiveURL.toLocalFile();
    // For the receipt an install leaves, read beside the unpack.
    const auto startFacts = [&] { _archiveFacts = ArchiveFacts::start(archive, _templatesRootFolder, _archiveTitle); };
    if (const std::optional<Error> error =
            folder->unpack(archive, this, _progressListener, startFacts, _password, &_needsPassword, &_damagedPreviews)) {
        _unarchiveError = error->localizedDescription();
        _archiveFacts.reset();
        // The folder goes with what was written into it.
        return std::nullopt;
    }
    effects = scanner().scanFolder(folder->path());
    _archiveFacts->readEntries(archive);
    _archiveFacts->leaveOut(_damagedPreviews);
    return std::move(*folder);
}

bool TemplateInstaller::unarchive()
{
    EffectTemplateItems effects;
    std::optional<UnpackFolder> folder = unpackAndScan(effects);
    if (!folder)
        return false;
    _effects = std::move(effects);
    _listedOnly = false;
    _unpackFolder = std::move(folder);
    return true;
}

bool TemplateInstaller::unarchiveBesideListing()
{
    _stagedFolder.reset();
    _stagedEffects.clear();
    EffectTemplateItems effects;
    std::optional<UnpackFolder> folder = unpackAndScan(effects);
    if (!folder)
        return false;
    _stagedEffects = std::move(effects);
    _stagedFolder = std::move(folder);
    return true;
}

bool TemplateInstaller::unpackedMatchesListing() const
{
    if (!_stagedFolder || !_effects)
        return false;
    const auto same = [](const std::unique_ptr<EffectTemplateItem> &a, const std::unique_ptr<EffectTemplateItem> &b) {
        return a->relativeSourcePath() == b->relativeSourcePath()
            && a->relativeDestinationPath() == b->relativeDestinationPath() && a->templateType() == b->templateType();
    };
    return std::equal(_effects->begin(), _effects->end(), _stagedEffects.begin(), _stagedEffects.end(), same);
}

bool TemplateInstaller::adoptUnpacked()
{
    if (!_stagedFolder || !_effects)
        return false;
    const bool matches = unpackedMatchesListing();
    EffectTemplateItems staged = std::exchange(_stagedEffects, {});
    std::optional<UnpackFolder> folder = std::exchange(_stagedFolder, std::nullopt);
    if (matches) {
        for (size_t i = 0; i < staged.size(); ++i)
            *(*_effects)[i] = std::move(*staged[i]);
    } else {
        // What is on disk is what installs: the unpack checked it all.
        MTI_DIAGNOSTIC(lcInstall, QStringLiteral("The unpacked templates differ from the listed ones"));
        _effects = std::move(staged);
    }
    _unpackFolder = std::move(folder);
    _listedOnly = false;
    return true;
}

void TemplateInstaller::discardListing()
{
    _stagedFolder.reset();
    _stagedEffects.clear();
    _effects.reset();
    _listedOnly = false;
}

QString TemplateInstaller::encryptedEntry() const
{
    return ZipDirectory::firstEncryptedEntry(_archiveURL.toLocalFile());
}

bool TemplateInstaller::listArchive(bool forInstall)
{
    if (_archiveTitle.isEmpty()) {
        MTI_DIAGNOSTIC(lcInstall, QStringLiteral("No archive title"));
        return false;
    }
    _unarchiveError.clear();
    _listedReader.reset();
    const QString archive = _archiveURL.toLocalFile();
    Expected<EffectTemplateItems> items = scanner().scanDirectory(archive, &_listedReader);
    if (!items) {
        _unarchiveError = items.error().localizedDescription();
        return false;
    }
    _effects = std::move(*items);
    _listedOnly = true;
    if (forInstall) {
        // The scan took the entries' names; the receipt needs them whole.
        _archiveFacts = ArchiveFacts::start(archive, _templatesRootFolder, _archiveTitle);
        _archiveFacts->readEntries(archive);
    }
    return true;
}

std::unique_ptr<ZipEntryContents> TemplateInstaller::takeListedContents()
{
    if (!_listedReader)
        return nullptr;
    return ZipEntryContents::over(std::move(_listedReader));
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
    return scanner().scanFolder(folder);
}

EffectTemplateItems TemplateInstaller::effectTemplateItemsInTree(const FolderTree &tree, const QString &rootFolder)
{
    return scanner().scan(tree, rootFolder);
}

QString TemplateInstaller::relativeDestinationPathFor(const EffectTemplateItem &item) const
{
    if (_layoutRoot)
        return TemplateLayout::destinationOf(item.relativeSourcePath(), item.templateType(), *_layoutRoot);
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

std::optional<Error> TemplateInstaller::copyEffects(const EffectTemplateItemList &effects, const QString &folder,
                                                    ProgressListener *listener, InstallTransfer transfer)
{
    return copyEffects({.effects = effects, .folder = folder, .listener = listener, .transfer = transfer});
}

std::optional<Error> TemplateInstaller::copyEffects(const CopyRequest &request)
{
    if (request.report)
        *request.report = {};
    if (request.folder.isNull() || request.effects.empty())
        return std::nullopt;
    Expected<std::vector<TemplateTransaction::InstallJob>> jobs = installJobs(request);
    if (!jobs)
        return jobs.error();
    return TemplateTransaction::install({.root = request.folder,
                                         .archiveTitle = request.archiveTitle,
                                         .jobs = std::move(*jobs),
                                         .listener = request.listener,
                                         .report = request.report,
                                         .replacedCopies = request.replacedCopies,
                                         .record = request.record});
}

std::optional<Error> TemplateInstaller::deleteEffects(const RemovalRequest &request)
{
    if (request.report)
        *request.report = {};
    const QString &folder = request.folder;
    if (folder.isNull() || request.effects.empty() || !FileOperations::isDirectory(folder))
        return std::nullopt;
    QStringList destinations;
    destinations.reserve(qsizetype(request.effects.size()));
    for (const EffectTemplateItem *item : request.effects) {
        if (!item->destinationPath(folder).isEmpty())
            destinations.append(item->relativeDestinationPath());
    }
    return TemplateTransaction::remove(
        {folder, request.archiveTitle, destinations, request.disposal, request.listener, request.report});
}

std::optional<Error> TemplateInstaller::installEffects(InstallTransfer transfer)
{
    return installEffects(effects(), transfer);
}

EffectTemplateItemList TemplateInstaller::winningEffects(const EffectTemplateItemList &items) const
{
    // Asked for an earlier one of templates sharing a destination, the last
    // listed is what goes there, as when all are installed: otherwise a
    // second install of a part would put the earlier one beside or over it.
    QHash<QString, const EffectTemplateItem *> last;
    for (const EffectTemplateItem *item : effects()) {
        const QString key = destinationKey(*item, _templatesRootFolder);
        if (!key.isEmpty())
            last.insert(key, item);
    }
    EffectTemplateItemList list;
    QSet<const EffectTemplateItem *> taken;
    for (const EffectTemplateItem *item : ownEffects(items)) {
        const EffectTemplateItem *winner = last.value(destinationKey(*item, _templatesRootFolder), item);
        if (!taken.contains(winner)) {
            taken.insert(winner);
            list.push_back(winner);
        }
    }
    return list;
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

template<typename Work>
std::optional<Error> TemplateInstaller::underLock(const EffectTemplateItemList &list, bool installing, Work work)
{
    const QString &root = _templatesRootFolder;
    if (std::optional<Error> error = RootPermissions::check(root, destinationsOf(list)))
        return error;
    DestinationLock lock(root);
    lock.setWaitLimit(_lockWait);
    if (std::optional<Error> error = lock.acquire(_progressListener)) {
        // Another window of this process at work says so itself.
        if (installing && !error->isCancellation() && error->code() != EBUSY)
            return rootError(*error, root);
        return error;
    }
    TemplateTransaction::recover(root, _progressListener);
    // A journal still there is a run that could not be undone: changing
    // the root further could lose what it holds aside.
    if (std::optional<Error> error = TemplateTransaction::unfinishedRun(root))
        return error;
    return work();
}

std::optional<Error> TemplateInstaller::installEffects(const EffectTemplateItemList &items, InstallTransfer transfer)
{
    _lastInstall = {};
    const QString &root = _templatesRootFolder;
    if (root.isNull())
        return Error(className(), 0, QCoreApplication::translate("TemplateInstaller",
            "The install directory was not specified. Please contact support."));
    if (_listedOnly && !(_archiveFacts && _archiveFacts->hasEntries()))
        return listedOnlyError();
    bool createdRoot = false;
    if (!FileOperations::exists(root)) {
        if (std::optional<Error> created = FileOperations::createDirectories(root))
            return rootError(*created, root);
        createdRoot = true;
    }
    const EffectTemplateItemList list = winningEffects(items);
    std::optional<Error> error = underLock(list, true, [&]() -> std::optional<Error> {
        if (std::optional<Error> failed = installOwned(list, transfer))
            return failed;
        if (root == localDestMotionTemplatesFolder()) {
            QStringList tops{Receipt::folderName()};
            for (const EffectTemplateItem *item : list)
                tops.append(TemplateTransaction::Support::relativeDestination(item->relativeDestinationPath()));
            RootPermissions::shareWithAllUsers(root, tops);
        }
        return std::nullopt;
    });
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
    const EffectTemplateItemList list = ownEffects(items);
    if (_templatesRootFolder.isNull() || list.empty() || !FileOperations::isDirectory(_templatesRootFolder))
        return std::nullopt;
    return underLock(list, false, [&] {
        std::optional<Error> error = removeOwned(list);
        // Receipts trimmed for what stays: readable by all users there too.
        if (_templatesRootFolder == localDestMotionTemplatesFolder())
            RootPermissions::shareWithAllUsers(_templatesRootFolder, {Receipt::folderName()});
        return error;
    });
}

Error TemplateInstaller::listedOnlyError() const
{
    return Error(className(), EINVAL,
                 QCoreApplication::translate("TemplateInstaller",
                                             "The archive \"%1\" was only listed; unpack it to install its templates.")
                     .arg(_archiveTitle));
}

std::vector<std::vector<Receipt::File>> TemplateInstaller::archiveFiles(const EffectTemplateItemList &items) const
{
    if (!_archiveFacts)
        return std::vector<std::vector<Receipt::File>>(items.size());
    std::vector<QString> sources;
    sources.reserve(items.size());
    for (const EffectTemplateItem *item : items)
        sources.push_back(item->relativeSourcePath());
    return _archiveFacts->filesOf(sources);
}

std::vector<TemplateOwnership::Copy> TemplateInstaller::ownership(const EffectTemplateItemList &items) const
{
    std::vector<std::optional<std::vector<Receipt::File>>> files(items.size());
    // Without the directory's files nothing can be judged identical.
    if (_archiveFacts && _archiveFacts->hasEntries()) {
        std::vector<std::vector<Receipt::File>> known = archiveFiles(items);
        for (size_t i = 0; i < known.size(); ++i)
            files[i] = std::move(known[i]);
    }
    return TemplateOwnership::assess(_templatesRootFolder, _archiveTitle, destinationsOf(items), files);
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

TemplateTransaction::InstallRecord TemplateInstaller::installRecord(const EffectTemplateItemList &list) const
{
    TemplateTransaction::InstallRecord record;
    Receipt &receipt = record.receipt;
    const QFileInfo archive(_archiveURL.toLocalFile());
    receipt.archiveFileName = archive.fileName();
    receipt.archivePath = archive.absoluteFilePath();
    receipt.archiveTitle = _archiveTitle;
    receipt.installedBy = _installedBy.isEmpty() ? QStringLiteral(MTI_PRODUCT_NAME " " MTI_VERSION_STRING)
                                                 : _installedBy;
    // What copyEffects installs: of templates with one destination, the last.
    std::vector<QString> sources;
    for (const EffectTemplateItem *item : lastPerDestination(list, _templatesRootFolder)) {
        Receipt::Template entry;
        entry.templateType = item->templateType();
        entry.category = item->category();
        entry.title = item->title();
        entry.destination = item->relativeDestinationPath().split(QLatin1Char('/'), Qt::SkipEmptyParts)
                                .join(QLatin1Char('/'));
        receipt.templates.push_back(std::move(entry));
        sources.push_back(item->relativeSourcePath());
    }
    record.complete = ArchiveFacts::completion(_archiveFacts.get(), std::move(sources));
    return record;
}

std::optional<Error> TemplateInstaller::installOwned(const EffectTemplateItemList &list, InstallTransfer transfer)
{
    const InstallPlan plan = InstallPlan::make(list, ownership(list), _policy, _unchangedDisposal);
    if (_listedOnly && !plan.toCopy.empty())
        return listedOnlyError();
    // Before the first write: a move within one volume takes no room.
    if (!plan.toCopy.empty() && !(transfer == InstallTransfer::MoveSource && sameVolume(effectsSourceFolder(), _templatesRootFolder))) {
        if (std::optional<Error> full = InstallSpace::refusal(InstallSpace::bytesNeeded(plan.toCopy), _templatesRootFolder))
            return full;
    }
    const TemplateTransaction::InstallRecord record = installRecord(plan.recorded);
    std::optional<Error> error = copyEffects({.effects = plan.toCopy,
                                              .folder = _templatesRootFolder,
                                              .listener = _progressListener,
                                              .transfer = transfer,
                                              .archiveTitle = _archiveTitle,
                                              .report = &_lastInstall,
                                              .record = &record,
                                              .replaced = &plan.replaced});
    if (!error && plan.toCopy.empty() && !plan.recorded.empty()) {
        // Nothing to copy: the receipt alone, in a transaction of its own.
        error = TemplateTransaction::install({.root = _templatesRootFolder,
                                              .archiveTitle = _archiveTitle,
                                              .listener = _progressListener,
                                              .record = &record});
    }
    if (error)
        return error;
    _lastInstall.identical = plan.report.identical;
    _lastInstall.keptEdited = plan.report.keptEdited;
    _lastInstall.keptForeign = plan.report.keptForeign;
    _lastInstall.keptOwners = plan.report.keptOwners;
    return std::nullopt;
}

std::optional<Error> TemplateInstaller::removeOwned(const EffectTemplateItemList &list)
{
    // An archive the root holds no receipt of was installed before
    // receipts: its copies that no receipt claims go by path, to the Trash.
    const bool legacy = !hasReceipt();
    const RemovalPlan plan = RemovalPlan::make(list, ownership(list), _policy, legacy);
    RemovalRequest request{.effects = plan.own,
                           .folder = _templatesRootFolder,
                           .listener = _progressListener,
                           .disposal = legacy ? TemplateTransaction::Disposal::Trash : _disposal,
                           .archiveTitle = _archiveTitle,
                           .report = &_lastRemoval};
    std::optional<Error> error = deleteEffects(request);
    if (!error && !plan.edited.empty()) {
        // Edited copies are removed only to the Trash, whatever was asked.
        TemplateTransaction::RemovalReport more;
        request.effects = plan.edited;
        request.disposal = TemplateTransaction::Disposal::Trash;
        request.report = &more;
        error = deleteEffects(request);
        _lastRemoval.removed += more.removed;
        _lastRemoval.failed += more.failed;
        _lastRemoval.trashed = _lastRemoval.trashed || more.trashed;
        if (!_lastRemoval.firstError)
            _lastRemoval.firstError = more.firstError;
    }
    _lastRemoval.keptEdited = plan.kept.keptEdited;
    _lastRemoval.keptForeign = plan.kept.keptForeign;
    _lastRemoval.keptOwners = plan.kept.keptOwners;
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

EffectTemplateItemList TemplateInstaller::installedEffects() const
{
    EffectTemplateItemList installed;
    for (const EffectTemplateItem *item : effects()) {
        if (item->isInstalledInDestRootFolder(_templatesRootFolder))
            installed.push_back(item);
    }
    return installed;
}
