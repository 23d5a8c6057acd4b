// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Common/Error.h"
#include "Common/Expected.h"
#include "Installer/Categories.h"
#include "Installer/EffectTemplateItem.h"
#include "Installer/OwnershipPlan.h"
#include "Installer/TemplateFolders.h"
#include "Installer/TemplateOwnership.h"
#include "Installer/TemplateScanner.h"
#include "Installer/TemplateTransaction.h"
#include "Installer/UnpackFolder.h"
#include "ZipArchive/ZipArchiveDelegate.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <chrono>
#include <memory>
#include <optional>
#include <vector>

class ArchiveFacts;
class FolderTree;
class ProgressListener;
class TemplateInstallerDelegate;
class ZipEntryContents;
class ZipReader;

using EffectTemplateItemList = std::vector<const EffectTemplateItem *>;

// One opened template archive (a zip named *.mtzip): unpacks it into a folder
// of its own (UnpackFolder), finds its templates (TemplateScanner) and
// installs or removes them below its destination root as one transaction
// (TemplateTransaction). Destroying it removes the unpack folder and, when
// asked, the archive file.
class TemplateInstaller : public ZipArchiveDelegate
{
public:
    // Why create() refused: the codes of errors in RefusalDomain, whose
    // texts are the core's English words ("Not a Motion Template Archive").
    enum class Refusal {
        NoArchive = 1,
        NoRoot,
        RootMissing,
        NotAnArchive,
        UnexpectedPrefix,
        UnrecognizedCategory,
        OutsideKindFolder,  // a templates folder layout zip with a template outside its kind folder
    };
    static inline const QString RefusalDomain = QStringLiteral("TemplateInstallerRefusal");

    // The installer, or the refusal of a missing URL or root, a root whose
    // folder and parent are both missing, or a path not ending in ".mtzip"
    // (or in ".zip" for a zip whose top level is a templates folder layout:
    // see TemplateLayout).
    // The items take their categories from `categories`.
    [[nodiscard]] static Expected<std::unique_ptr<TemplateInstaller>> open(
        const QUrl &archiveURL, const QString &templatesRootFolder, const Categories &categories = Categories::shipped());
    // The same, null on a refusal (the diagnostic log says why).
    static std::unique_ptr<TemplateInstaller> create(const QUrl &archiveURL, const QString &templatesRootFolder);
    static std::unique_ptr<TemplateInstaller> create(const QUrl &archiveURL, const QString &templatesRootFolder,
                                                     const Categories &categories);
    ~TemplateInstaller() override;

    // Unpacks and scans. A failure removes the partly unpacked folder and
    // leaves no templates; unarchiveError() then says why.
    bool unarchive();
    // Scans the archive's directory instead, writing nothing: the same
    // templates, in the same order, with the same destinations as
    // unarchive(), and the same refusals where the directory shows them
    // (ZipDirectory); unarchiveError() says why. Damage only the data shows
    // goes unseen. The items have no files behind them: no preview, and
    // installEffects() refuses; deleteEffects() and the installed checks
    // work as after unpacking.
    // With `forInstall`, the directory's files and the archive's checksum
    // are kept for an install that copies nothing: one whose templates are
    // all in place already (or kept), which then needs no unpacking.
    bool listArchive(bool forInstall = false);
    // For a listed installer whose items others read meanwhile: unpacks
    // and scans on the calling thread, leaving the items untouched until
    // adoptUnpacked(), on the thread that owns them, gives the listed items
    // their files (they stay the same objects). A failure is unarchive()'s.
    bool unarchiveBesideListing();
    // Whether the unpacked tree holds the templates the directory listed,
    // in order. It may not: a volume that folds case or Unicode form makes
    // one folder of names the directory keeps apart.
    bool unpackedMatchesListing() const;
    // Gives the listed items their files when the tree matches them; else
    // the tree's templates replace the listed items, which are destroyed
    // (the caller resets what pointed at them around the call). False only
    // when nothing was unpacked beside the listing.
    bool adoptUnpacked();
    // After a failed unpack of a listed installer: its items go, as they
    // would never have come from a failed unarchive().
    void discardListing();
    // After listArchive(), the archive's entries as it read them, to read
    // files straight from the archive without reading its directory again;
    // null when it did not list. Handed out once.
    std::unique_ptr<ZipEntryContents> takeListedContents();
    QString unarchiveError() const { return _unarchiveError; }
    // The preview images the last unarchive() left out for damaged data
    // (entry names as stored): their templates have no preview.
    const QStringList &damagedPreviews() const { return _damagedPreviews; }
    // The password unarchive() reads encrypted entries with; empty for none.
    void setPassword(const QString &password) { _password = password; }
    // Whether the last unarchive() failed for want of the right password:
    // an entry is encrypted and none, or a wrong one, was given.
    bool unarchiveNeedsPassword() const { return _needsPassword; }
    // The first encrypted entry of the archive, to name when asking.
    QString encryptedEntry() const;

    EffectTemplateItems effectTemplateItemsInFolder(const QString &folder);
    // The scan over any tree; the items' source root is rootFolder.
    EffectTemplateItems effectTemplateItemsInTree(const FolderTree &tree, const QString &rootFolder);

    const QString &title() const { return _archiveTitle; }
    // A zip laid out as a templates folder: its templates go to exactly
    // their paths, no category derived from the title.
    bool isLayout() const { return _layoutRoot.has_value(); }
    const QUrl &archiveURL() const { return _archiveURL; }
    // The templates found; empty before a successful unarchive() or
    // listArchive().
    EffectTemplateItemList effects() const;
    bool isUnpacked() const { return _effects.has_value() && !_listedOnly; }
    bool isListed() const { return _effects.has_value() && _listedOnly; }
    const Categories &categories() const { return _categories; }
    const QString &templatesRootFolder() const { return _templatesRootFolder; }
    // Where the archive was unpacked; empty when it was not.
    QString effectsSourceFolder() const { return _unpackFolder ? _unpackFolder->path() : QString(); }

    TemplateInstallerDelegate *delegate() const { return _delegate; }
    void setDelegate(TemplateInstallerDelegate *delegate) { _delegate = delegate; }
    bool mustDeleteTemplatesArchive() const { return _mustDeleteTemplatesArchive; }
    void setMustDeleteTemplatesArchive(bool value) { _mustDeleteTemplatesArchive = value; }

    // Told of bytes unpacked and copied; answering false cancels.
    void setProgressListener(ProgressListener *listener) { _progressListener = listener; }
    // How long installs and removals wait for another run's lock on the
    // root (DestinationLock::setWaitLimit); unset, as long as the listener wants.
    void setLockWait(std::optional<std::chrono::milliseconds> wait) { _lockWait = wait; }

    void ErrorMessage(const QString &message) override;
    bool OverWriteOperation(const QString &path) override;

    // Destination roots; null when there is none to be found (no Movies
    // folder, or HOME unset and no user-dirs entry naming one).
    static QString userDestMotionTemplatesFolder() { return TemplateFolders::forThisUser(); }
    static QString localDestMotionTemplatesFolder() { return TemplateFolders::forAllUsers(); }

    // What copyEffects() installs, and where.
    struct CopyRequest
    {
        EffectTemplateItemList effects{};
        QString folder{};  // the destination root
        ProgressListener *listener = nullptr;
        InstallTransfer transfer = InstallTransfer::Copy;
        QString archiveTitle{};
        TemplateTransaction::InstallReport *report = nullptr;
        TemplateTransaction::Disposal replacedCopies = TemplateTransaction::Disposal::Delete;
        const TemplateTransaction::InstallRecord *record = nullptr;
        // Per relative destination, where the copy replaced there goes.
        const QHash<QString, TemplateTransaction::Disposal> *replaced = nullptr;
    };
    // Installs the templates as one transaction (TemplateTransaction::install);
    // of templates sharing a destination only the last is installed. The
    // caller holds the root's DestinationLock.
    [[nodiscard]] static std::optional<Error> copyEffects(const CopyRequest &request);
    [[nodiscard]] static std::optional<Error> copyEffects(const EffectTemplateItemList &effects, const QString &folder,
                                                          ProgressListener *listener = nullptr,
                                                          InstallTransfer transfer = InstallTransfer::Copy);

    // What deleteEffects() removes, from where.
    struct RemovalRequest
    {
        EffectTemplateItemList effects{};
        QString folder{};  // the destination root
        ProgressListener *listener = nullptr;
        TemplateTransaction::Disposal disposal = TemplateTransaction::Disposal::Delete;
        QString archiveTitle{};
        TemplateTransaction::RemovalReport *report = nullptr;
    };
    // Removes the installed templates (TemplateTransaction::remove). Answers
    // nothing but a cancellation; what could not be removed is in the report.
    [[nodiscard]] static std::optional<Error> deleteEffects(const RemovalRequest &request);

    // Installs every template, replacing older copies, holding the root's
    // lock (waiting for another writer, as the listener is told), and leaves
    // the archive's receipt (Receipt) in the root. On failure or cancel the
    // root is left exactly as it was and the error answered.
    // After a MoveSource install the templates are no longer in the unpack
    // folder, so the installer cannot install them again. Templates nested in
    // other templates are always copied.
    [[nodiscard]] std::optional<Error> installEffects(InstallTransfer transfer = InstallTransfer::Copy);
    // The same for some of this installer's templates (others are ignored).
    [[nodiscard]] std::optional<Error> installEffects(const EffectTemplateItemList &items,
                                                      InstallTransfer transfer = InstallTransfer::Copy);
    // Removes this archive's installed templates, holding the root's lock;
    // they go to the Trash unless the disposal says Delete.
    [[nodiscard]] std::optional<Error> deleteEffects();
    // The same for some of this installer's templates (others are ignored).
    [[nodiscard]] std::optional<Error> deleteEffects(const EffectTemplateItemList &items);
    EffectTemplateItemList installedEffects() const;
    // What the last installEffects / deleteEffects did.
    const TemplateTransaction::InstallReport &lastInstallReport() const { return _lastInstall; }
    const TemplateTransaction::RemovalReport &lastRemovalReport() const { return _lastRemoval; }

    // Who the receipts say installed: "Motion Template Installer <version>"
    // unless told otherwise ("mtzip <version>").
    const QString &installedBy() const { return _installedBy; }
    void setInstalledBy(const QString &installedBy) { _installedBy = installedBy; }

    // For each item, the files this archive holds for it as its receipt
    // would list them; empty lists when the archive was not unpacked.
    std::vector<std::vector<Receipt::File>> archiveFiles(const EffectTemplateItemList &items) const;

    using OwnershipPolicy = ::OwnershipPolicy;
    const OwnershipPolicy &ownershipPolicy() const { return _policy; }
    void setOwnershipPolicy(const OwnershipPolicy &policy) { _policy = policy; }
    // Where unchanged copies an install replaces go (the archive that put
    // them there can give them back): deleted unless told otherwise.
    void setUnchangedCopiesDisposal(TemplateTransaction::Disposal disposal) { _unchangedDisposal = disposal; }

    // The state of each item's installed copy, as an install would judge it
    // (byte-identical copies are known only after unpacking) and an
    // uninstall: one answer per item, in order.
    std::vector<TemplateOwnership::Copy> ownership(const EffectTemplateItemList &items) const;
    // Whether the root holds a receipt of this archive: without one (an
    // install older than receipts) its uninstall removes by path.
    bool hasReceipt() const;

    // Where uninstalled templates, copies replaced by an install and an
    // archive flagged for deletion go:
    // the Trash (the default, deleting only where the volume has none), or
    // straight to deletion.
    TemplateTransaction::Disposal disposal() const { return _disposal; }
    void setDisposal(TemplateTransaction::Disposal disposal) { _disposal = disposal; }

    // Finishes or undoes what a killed install or uninstall left in root,
    // unless another run holds the root now. Safe to call at any time.
    static void recoverInterruptedRun(const QString &root);
    // Removes the unpack folders whose owning process no longer runs;
    // answers how many.
    static int removeAbandonedUnpackFolders() { return UnpackFolder::removeAbandoned(); }

protected:
    TemplateInstaller();
    // The common checks of open(); an error refuses.
    [[nodiscard]] std::optional<Error> init(const QUrl &archiveURL, const QString &templatesRootFolder,
                                            const Categories &categories);
    // A .zip: its layout, or the refusal of one that is none.
    [[nodiscard]] std::optional<Error> readLayout(const QString &archive);
    // The refusal's error, logged where it was decided.
    static Error refusal(Refusal why, const char *function, int line);

    // Where an item found at relSourcePath goes below the destination root.
    virtual QString relativeDestinationPathFor(const EffectTemplateItem &item) const;
    // The entries of `items` that are this installer's, in their order.
    EffectTemplateItemList ownEffects(const EffectTemplateItemList &items) const;
    // ownEffects, each replaced by the last listed template of its destination.
    EffectTemplateItemList winningEffects(const EffectTemplateItemList &items) const;

    // The domain of the installer's own errors.
    virtual QString className() const;

private:
    TemplateScanner scanner() const;
    // Unpacks into a fresh folder and scans it; null on failure (unarchiveError()).
    std::optional<UnpackFolder> unpackAndScan(EffectTemplateItems &effects);
    TemplateTransaction::InstallRecord installRecord(const EffectTemplateItemList &list) const;
    // `work` with the root's permissions checked and its lock held, after
    // what a killed run left there was finished or undone.
    template<typename Work>
    [[nodiscard]] std::optional<Error> underLock(const EffectTemplateItemList &list, bool installing, Work work);
    [[nodiscard]] std::optional<Error> installOwned(const EffectTemplateItemList &list, InstallTransfer transfer);
    Error listedOnlyError() const;
    [[nodiscard]] std::optional<Error> removeOwned(const EffectTemplateItemList &list);

    QUrl _archiveURL;
    QString _archiveTitle;
    // Where a layout zip's templates folder begins: "" or "/Motion Templates.localized".
    std::optional<QString> _layoutRoot;
    std::optional<UnpackFolder> _unpackFolder;
    std::optional<EffectTemplateItems> _effects;
    bool _listedOnly = false;
    // What unarchiveBesideListing() found, until adoptUnpacked().
    std::optional<UnpackFolder> _stagedFolder;
    EffectTemplateItems _stagedEffects;
    QString _templatesRootFolder;
    bool _mustDeleteTemplatesArchive = false;
    TemplateInstallerDelegate *_delegate = nullptr;
    Categories _categories;
    ProgressListener *_progressListener = nullptr;
    std::optional<std::chrono::milliseconds> _lockWait;
    QString _unarchiveError;
    QStringList _damagedPreviews;
    std::unique_ptr<ZipReader> _listedReader;
    QString _password;
    bool _needsPassword = false;
    TemplateTransaction::Disposal _disposal = TemplateTransaction::Disposal::Trash;
    TemplateTransaction::InstallReport _lastInstall;
    TemplateTransaction::RemovalReport _lastRemoval;
    OwnershipPolicy _policy;
    TemplateTransaction::Disposal _unchangedDisposal = TemplateTransaction::Disposal::Delete;
    QString _installedBy;
    std::unique_ptr<ArchiveFacts> _archiveFacts;
};
