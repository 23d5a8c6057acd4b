// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Installer/TemplateInstaller.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QPixmap>
#include <QStringList>

class TemplateArchiveCollection;

// The collection window's table: one row per template of the collection,
// archive by archive. Column identifiers are "index", "installed",
// "category", "title" and "preview". The installed state is asked of the
// destination folder at every query, so the table shows templates installed
// by other means at their next redraw.
class EffectsTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Role { ColumnIdentifierRole = Qt::UserRole + 1 };

    explicit EffectsTableModel(const TemplateArchiveCollection *collection, QObject *parent = nullptr);

    static const QStringList &columnIdentifiers();

    // The cell value for a column identifier: "index" the running number
    // ("1."), "installed" one of the two status images, "category" and
    // "title" the item's texts; an invalid value for "preview", unknown
    // identifiers and rows outside the list.
    QVariant objectValue(const QString &identifier, int row) const;

    // Takes the collection's templates afresh.
    void reload();
    // The installed marks are asked again (templates land while installing).
    void refreshInstalledMarks();

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    bool isInstalled(const EffectTemplateItem *item) const;
    QPixmap thumbnail(int row) const;

    const TemplateArchiveCollection *_collection;
    EffectTemplateItemList _items;
    QString _destinationRoot;
    mutable QHash<int, QPixmap> _thumbnails;
};
