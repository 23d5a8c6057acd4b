// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Installer/RecentlyRemoved.h"

#include <QAbstractTableModel>

#include <vector>

// The library window's list of templates that were sent to the Trash and
// can be put back: one row per RecentlyRemoved::Item, sortable by column.
class RecentlyRemovedModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { TitleColumn, RemovedColumn, ArchiveColumn, PlaceColumn, ColumnCount };
    // Where the template lies in the Trash: names a row across a reload.
    static constexpr int InTrashRole = Qt::UserRole + 1;

    explicit RecentlyRemovedModel(QObject *parent = nullptr);

    void setItems(std::vector<RecentlyRemoved::Item> items);
    const RecentlyRemoved::Item &item(int row) const { return _items.at(size_t(row)); }
    // The receipt's title, else the folder's name as the archive scan reads it.
    static QString title(const RecentlyRemoved::Item &item);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

private:
    QString text(const RecentlyRemoved::Item &item, int column) const;

    std::vector<RecentlyRemoved::Item> _items;
    int _sortColumn = RemovedColumn;
    Qt::SortOrder _sortOrder = Qt::DescendingOrder;
};
