// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QObject>

class TemplateArchiveCollection;

// The process-wide registry of open collections. It never owns them: each
// collection registers itself while it is built and leaves when destroyed.
class TemplateArchiveCollectionController : public QObject
{
    Q_OBJECT

public:
    static TemplateArchiveCollectionController &sharedController();

    bool addCollection(TemplateArchiveCollection *collection);
    void removeCollection(TemplateArchiveCollection *collection);
    // A snapshot in registration order.
    QList<TemplateArchiveCollection *> collections() const { return _collections; }
    // Closes every collection registered now; always true.
    // A busy collection defers its close (see TemplateArchiveCollection), so
    // some may still be open afterwards; lastCollectionClosed() tells when
    // the last one has gone.
    bool closeAllCollections();

signals:
    void lastCollectionClosed();

private:
    TemplateArchiveCollectionController() = default;
    ~TemplateArchiveCollectionController() override = default;
    TemplateArchiveCollectionController(const TemplateArchiveCollectionController &) = delete;
    TemplateArchiveCollectionController &operator=(const TemplateArchiveCollectionController &) = delete;

    QList<TemplateArchiveCollection *> _collections;
};
