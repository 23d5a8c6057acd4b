// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Documents/TemplateArchiveDocument.h"

#include <QCoreApplication>

#include <utility>

#include "Documents/DeferredCleanup.h"
#include "Documents/CollectionOpeningRules.h"
#include "Common/ProgressListener.h"
#include "Installer/TemplateInstallerV2.h"

#include <algorithm>

TemplateArchiveDocument::TemplateArchiveDocument(QList<QUrl> sourceArchiveURLs)
    : _sourceArchiveURLs(std::move(sourceArchiveURLs))
{
}

TemplateArchiveDocument::~TemplateArchiveDocument()
{
    // Removing the unpack folders takes seconds for big packs.
    DeferredCleanup::discard(std::move(_templateInstallers));
}

void TemplateArchiveDocument::addInstaller(std::unique_ptr<TemplateInstallerV2> installer)
{
    if (installer)
        _templateInstallers.push_back(std::move(installer));
}

bool TemplateArchiveDocument::hasUnpackedArchive() const
{
    return std::any_of(_templateInstallers.begin(), _templateInstallers.end(),
                       [](const auto &installer) { return installer->isUnpacked() || installer->isListed(); });
}

EffectTemplateItemList TemplateArchiveDocument::effectsWithSearchOption(quint64 option) const
{
    EffectTemplateItemList list;
    if (option > EffectSearchNotInstalled)
        return list;
    const QString root = TemplateInstaller::userDestMotionTemplatesFolder();
    for (const auto &installer : _templateInstallers) {
        for (const EffectTemplateItem *item : installer->effects()) {
            if (option == EffectSearchAll || item->isInstalledInDestRootFolder(root) == (option == EffectSearchInstalled))
                list.push_back(item);
        }
    }
    return list;
}

std::vector<bool> TemplateArchiveDocument::installedStates() const
{
    const QString root = TemplateInstaller::userDestMotionTemplatesFolder();
    std::vector<bool> states;
    std::vector<TemplateLibrary::Provenance> provenances;
    for (const auto &installer : _templateInstallers) {
        const EffectTemplateItemList items = installer->effects();
        QStringList destinations;
        destinations.reserve(qsizetype(items.size()));
        for (const EffectTemplateItem *item : items) {
            states.push_back(item->isInstalledInDestRootFolder(root));
            destinations.append(item->relativeDestinationPath());
        }
        std::vector<TemplateLibrary::Provenance> found =
            TemplateLibrary::provenance(root, installer->title(), destinations, installer->archiveFiles(items));
        provenances.insert(provenances.end(), std::make_move_iterator(found.begin()),
                           std::make_move_iterator(found.end()));
    }
    const QMutexLocker locker(&_provenanceLock);
    _provenances = std::move(provenances);
    return states;
}

std::vector<TemplateLibrary::Provenance> TemplateArchiveDocument::provenances() const
{
    const QMutexLocker locker(&_provenanceLock);
    return _provenances;
}

EffectTemplateItemList TemplateArchiveDocument::selected(const TemplateInstallerV2 &installer,
                                                         const Selection &selection) const
{
    EffectTemplateItemList items = installer.effects();
    if (selection) {
        items.erase(std::remove_if(items.begin(), items.end(),
                                   [&selection](const EffectTemplateItem *item) { return !selection->contains(item); }),
                    items.end());
    }
    return items;
}

void TemplateArchiveDocument::forEachSelection(
    const Selection &selection, ProgressListener *listener, const ArchiveStarted &archiveStarted,
    const std::function<bool(TemplateInstallerV2 &, const EffectTemplateItemList &)> &work)
{
    for (const auto &installer : _templateInstallers) {
        const EffectTemplateItemList items = selected(*installer, selection);
        if (items.empty())
            continue;
        if (archiveStarted)
            archiveStarted(*installer);
        installer->setProgressListener(listener);
        const bool goOn = work(*installer, items);
        installer->setProgressListener(nullptr);
        if (!goOn)
            break;
    }
}

bool TemplateArchiveDocument::isCompletelyInstalled(const TemplateInstallerV2 &installer) const
{
    const EffectTemplateItemList items = installer.effects();
    return installer.isUnpacked() && !items.empty()
        && std::all_of(items.begin(), items.end(), [this](const EffectTemplateItem *item) { return _installedHere.contains(item); });
}

TemplateArchiveDocument::InstallOutcome TemplateArchiveDocument::install(const Selection &selection,
                                                                         ProgressListener *listener,
                                                                         const ArchiveStarted &archiveStarted)
{
    InstallOutcome outcome;
    if (!std::exchange(_policyChosen, false)) {
        const Conflicts found = conflicts(selection);
        if (!found.isEmpty()) {
            outcome.editedCopies = found.edited;
            outcome.foreignCopies = found.foreign;
            outcome.installed = installedStates();
            return outcome;
        }
        setOwnershipPolicy({});
        _policyChosen = false;
    }
    forEachSelection(selection, listener, archiveStarted,
                     [&](TemplateInstallerV2 &installer, const EffectTemplateItemList &items) {
        outcome.error = installer.installEffects(items);
        if (outcome.error)
            return false;
        // The transaction put every one of them in place, or none.
        const TemplateTransaction::InstallReport &report = installer.lastInstallReport();
        // Kept copies are not this window's doing.
        const QStringList kept = report.keptEdited + report.keptForeign;
        for (const EffectTemplateItem *item : items) {
            if (!kept.contains(item->relativeDestinationPath()))
                _installedHere.insert(item);
        }
        outcome.kept += int(kept.size());
        outcome.alreadyInstalled += report.identical;
        outcome.newlyInstalled += report.newlyInstalled;
        if (report.newlyInstalled + report.replaced > 0) {
            for (const EffectTemplateItem *item : items) {
                if (!outcome.kinds.contains(item->templateType()))
                    outcome.kinds.append(item->templateType());
            }
        }
        return true;
    });
    if (!outcome.error) {
        for (const auto &installer : _templateInstallers) {
            if (isCompletelyInstalled(*installer))
                outcome.deletableArchives.append(CollectionOpeningRules::archiveFileName(installer->archiveURL()));
        }
    }
    outcome.installed = installedStates();
    return outcome;
}

void TemplateArchiveDocument::setDeleteArchives(bool deleteArchives)
{
    for (const auto &installer : _templateInstallers)
        installer->setMustDeleteTemplatesArchive(deleteArchives && isCompletelyInstalled(*installer));
}

TemplateArchiveDocument::UninstallOutcome TemplateArchiveDocument::uninstall(const Selection &selection,
                                                                             ProgressListener *listener,
                                                                             const ArchiveStarted &archiveStarted)
{
    UninstallOutcome outcome;
    const QString root = TemplateInstaller::userDestMotionTemplatesFolder();
    forEachSelection(selection, listener, archiveStarted,
                     [&](TemplateInstallerV2 &installer, const EffectTemplateItemList &items) {
        outcome.error = installer.deleteEffects(items);
        const TemplateTransaction::RemovalReport &report = installer.lastRemovalReport();
        outcome.removed += report.removed;
        outcome.failed += report.failed;
        outcome.trashed = outcome.trashed || report.trashed;
        outcome.keptEdited += int(report.keptEdited.size());
        outcome.keptForeign += int(report.keptForeign.size());
        if (report.removed > 0) {
            for (const EffectTemplateItem *item : items) {
                if (!item->isInstalledInDestRootFolder(root))
                    _installedHere.remove(item);
            }
            // Its templates are gone again: its archive is no longer spare.
            if (!isCompletelyInstalled(installer))
                installer.setMustDeleteTemplatesArchive(false);
        }
        if (!outcome.error && report.failed > 0 && report.firstError)
            outcome.error = report.firstError;
        return !outcome.error;
    });
    outcome.installed = installedStates();
    return outcome;
}

TemplateArchiveDocument::Conflicts TemplateArchiveDocument::conflicts(const Selection &selection,
                                                                     bool forRemoval) const
{
    using TemplateOwnership::State;
    Conflicts found;
    for (const auto &installer : _templateInstallers) {
        const EffectTemplateItemList items = selected(*installer, selection);
        const std::vector<TemplateOwnership::Copy> copies = installer->ownership(items);
        for (size_t i = 0; i < items.size(); ++i) {
            if (copies[i].state == State::Edited && !(forRemoval && copies[i].onlyRemovals)) {
                found.edited.append(items[i]->title());
            } else if (copies[i].state == State::Foreign && !copies[i].identical) {
                found.foreign.append(copies[i].owner.isEmpty()
                                         ? QCoreApplication::translate("TemplateArchiveDocument", "%1 (copied in by hand)")
                                               .arg(items[i]->title())
                                         : QCoreApplication::translate("TemplateArchiveDocument", "%1 (installed by %2)")
                                               .arg(items[i]->title(), copies[i].owner));
            }
        }
    }
    return found;
}

void TemplateArchiveDocument::setOwnershipPolicy(const TemplateInstaller::OwnershipPolicy &policy)
{
    for (const auto &installer : _templateInstallers)
        installer->setOwnershipPolicy(policy);
    _policyChosen = true;
}
