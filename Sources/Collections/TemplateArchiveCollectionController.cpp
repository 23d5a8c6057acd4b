// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Collections/TemplateArchiveCollectionController.h"

#include "Common/DiagnosticLog.h"
#include "Common/LogCategories.h"
#include "Documents/DeferredCleanup.h"
#include "Collections/TemplateArchiveCollection.h"

TemplateArchiveCollectionController &TemplateArchiveCollectionController::sharedController()
{
    static TemplateArchiveCollectionController *const sController = new TemplateArchiveCollectionController;
    return *sController;
}

bool TemplateArchiveCollectionController::addCollection(TemplateArchiveCollection *collection)
{
    if (!collection) {
        MTI_DIAGNOSTIC(lcGui, QStringLiteral("collection = nil"));
        return false;
    }
    if (_collections.contains(collection)) {
        MTI_DIAGNOSTIC(lcGui, QStringLiteral("collection was already added"));
        return false;
    }
    _collections.append(collection);
    return true;
}

void TemplateArchiveCollectionController::removeCollection(TemplateArchiveCollection *collection)
{
    if (!collection) {
        MTI_DIAGNOSTIC(lcGui, QStringLiteral("collection = nil"));
        return;
    }
    if (!_collections.removeOne(collection)) {
        MTI_DIAGNOSTIC(lcGui, QStringLiteral("collection was not contained"));
        return;
    }
    if (_collections.isEmpty())
        emit lastCollectionClosed();
}

bool TemplateArchiveCollectionController::closeAllCollections()
{
    // Closing destroys a collection, which unregisters it: walk a copy.
    const QList<TemplateArchiveCollection *> snapshot = _collections;
    for (TemplateArchiveCollection *collection : snapshot)
        collection->close();
    // Quitting: every window is off the screen now, so the unpack folders
    // may be waited for here, briefly: what is left is the next start's.
    DeferredCleanup::waitForAll(DeferredCleanup::QuitGraceMs);
    return true;
}
