// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Common/Error.h"
#include "Installer/TemplateInstaller.h"
#include "Installer/TemplateLibrary.h"

#include <QList>
#include <QMutex>
#include <QSet>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class ProgressListener;
class TemplateInstallerV2;

enum EffectSearchOption : quint64 {
    EffectSearchAll = 0,
    EffectSearchInstalled = 1,
    EffectSearchNotInstalled = 2,
};

// What a collection holds apart from its window: the archives, their
// installers, and what installing and uninstalling did to them. No widgets:
// the flows' work runs here, on whatever thread the caller picks (the window
// runs it on a worker), and tests drive it directly.
//
// A selection is a set of the collection's items; none means every template.
// install() and uninstall() must not run at the same time as each other.
class TemplateArchiveDocument
{
public:
    using Selection = std::optional<QSet<const EffectTemplateItem *>>;
    // Told, on the working thread, when the work moves on to an archive.
    using ArchiveStarted = std::function<void(const TemplateInstallerV2 &)>;

    struct InstallOutcome
    {
        std::optional<Error> error;
        int newlyInstalled = 0;
        // Template types of the archives that put templates in place.
        QList<quint64> kinds;
        // File names of the archives whose every template this collection
        // has installed: the ones "Delete" may take away.
        QStringList deletableArchives;
        // installedStates() after the work.
        std::vector<bool> installed;
        // Copies left in place: the user's edits, others' templates.
        int kept = 0;
        int alreadyInstalled = 0;
        // Set when nothing was done because copies the user changed, or
        // others', stand where the selection goes: the user decides
        // (setOwnershipPolicy) and the install runs again.
        QStringList editedCopies;
        QStringList foreignCopies;
    };

    struct UninstallOutcome
    {
        std::optional<Error> error;
        int removed = 0;
        int failed = 0;
        bool trashed = false;
        std::vector<bool> installed;
        int keptEdited = 0;
        int keptForeign = 0;  // another archive's templates, hand copies
    };

    // Installed copies of the selection that are not plainly the
    // archives' own: what to ask about before an install or uninstall.
    struct Conflicts
    {
        QStringList edited;   // titles of copies the user changed
        QStringList foreign;  // "title (installed by X)" or "title (copied in by hand)"
        bool isEmpty() const { return edited.isEmpty() && foreign.isEmpty(); }
    };
    // Reads the installed files (any thread but the GUI's, for big packs).
    // For a removal, copies only missing files are no conflict.
    Conflicts conflicts(const Selection &selection, bool forRemoval = false) const;
    // How the next install or uninstall treats those copies; until it is
    // set, an install finding any does nothing and names them.
    void setOwnershipPolicy(const TemplateInstaller::OwnershipPolicy &policy);

    explicit TemplateArchiveDocument(QList<QUrl> sourceArchiveURLs);
    // Hands the installers to DeferredCleanup: their unpack folders (and
    // archives flagged for deletion) go on a worker thread.
    ~TemplateArchiveDocument();

    const QList<QUrl> &archiveURLs() const { return _sourceArchiveURLs; }
    const std::vector<std::unique_ptr<TemplateInstallerV2>> &templateInstallers() const { return _templateInstallers; }
    void addInstaller(std::unique_ptr<TemplateInstallerV2> installer);
    // Whether any archive was unpacked or listed (even one without templates).
    bool hasUnpackedArchive() const;

    // The templates of every archive, archive by archive in scan order,
    // selected by their state in the user's destination root (asked now).
    EffectTemplateItemList effectsWithSearchOption(quint64 option) const;
    // For each template of effectsWithSearchOption(EffectSearchAll), whether
    // it is installed now: one look at the file system per template.
    // Also finds, from the receipts, where each installed copy came from
    // (provenances()).
    std::vector<bool> installedStates() const;
    // For each template, as the last installedStates() saw it: this archive,
    // another archive, another copy of this one, or unknown. Empty before.
    std::vector<TemplateLibrary::Provenance> provenances() const;

    // Installs the selected templates (all: none given), archive by archive,
    // until one fails or is cancelled; what earlier archives installed stays.
    InstallOutcome install(const Selection &selection, ProgressListener *listener = nullptr,
                           const ArchiveStarted &archiveStarted = {});
    // The answer to "Delete Template Archive?": only archives all of whose
    // templates this collection installed are flagged; the others never.
    void setDeleteArchives(bool deleteArchives);
    // Removes the selected templates that are installed, archive by archive.
    // An archive that lost templates is no longer one to delete.
    UninstallOutcome uninstall(const Selection &selection, ProgressListener *listener = nullptr,
                               const ArchiveStarted &archiveStarted = {});

private:
    EffectTemplateItemList selected(const TemplateInstallerV2 &installer, const Selection &selection) const;
    // Calls work for each archive with selected templates, archiveStarted
    // told first and the listener attached; stops when work answers false.
    void forEachSelection(const Selection &selection, ProgressListener *listener,
                          const ArchiveStarted &archiveStarted,
                          const std::function<bool(TemplateInstallerV2 &, const EffectTemplateItemList &)> &work);
    bool isCompletelyInstalled(const TemplateInstallerV2 &installer) const;

    QList<QUrl> _sourceArchiveURLs;
    std::vector<std::unique_ptr<TemplateInstallerV2>> _templateInstallers;
    // The templates an install of this collection put in place and no
    // uninstall of it has taken away since.
    QSet<const EffectTemplateItem *> _installedHere;
    // installedStates() runs on a worker, provenances() on the GUI thread.
    bool _policyChosen = false;
    mutable QMutex _provenanceLock;
    mutable std::vector<TemplateLibrary::Provenance> _provenances;
};
