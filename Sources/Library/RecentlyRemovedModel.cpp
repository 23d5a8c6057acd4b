// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Library/RecentlyRemovedModel.h"

#include <QCollator>
#include <QLocale>

#include <algorithm>

RecentlyRemovedModel::RecentlyRemovedModel(QObject *parent)
    : QAbstractTableModel(parent)
{
}

void RecentlyRemovedModel::setItems(std::vector<RecentlyRemoved::Item> items)
{
    beginResetModel();
    _items = std::move(items);
    endResetModel();
    // In the order the user chose last; the pane puts the selection back after.
    sort(_sortColumn, _sortOrder);
}

QString RecentlyRemovedModel::title(const RecentlyRemoved::Item &item)
{
    if (item.receipt) {
        for (const Receipt::Template &entry : item.receipt->templates) {
            if (entry.destination == item.destination && !entry.title.isEmpty())
                return entry.title;
        }
    }
    // "LT_Clean_Lower_Third": the words after the category's prefix.
    const QString folder = item.destination.section(QLatin1Char('/'), -1);
    const QStringList words = folder.split(QLatin1Char('_'));
    return words.size() > 1 ? words.mid(1).join(QLatin1Char(' ')) : folder;
}

int RecentlyRemovedModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(_items.size());
}

int RecentlyRemovedModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString RecentlyRemovedModel::text(const RecentlyRemoved::Item &item, int column) const
{
    switch (column) {
    case TitleColumn:
        return title(item);
    case RemovedColumn:
        return QLocale().toString(item.removedAt.toLocalTime(), QLocale::ShortFormat);
    case ArchiveColumn:
        // No receipt: the template was not installed from an archive by us.
        return item.receipt ? item.receipt->archiveTitle : tr("hand copy");
    case PlaceColumn:
        return item.destination;
    default:
        return {};
    }
}

QVariant RecentlyRemovedModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const RecentlyRemoved::Item &entry = item(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return text(entry, index.column());
    case Qt::ToolTipRole:
        if (index.column() == ArchiveColumn && !entry.receipt)
            return tr("No receipt names it: it was copied in by hand or installed by other means.");
        return QString(entry.root + QLatin1Char('/') + entry.destination);
    case InTrashRole:
        return entry.inTrash;
    default:
        return {};
    }
}

QVariant RecentlyRemovedModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case TitleColumn: return tr("Template");
    case RemovedColumn: return tr("Removed");
    case ArchiveColumn: return tr("Archive");
    case PlaceColumn: return tr("Place");
    default: return {};
    }
}

void RecentlyRemovedModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= ColumnCount)
        return;
    _sortColumn = column;
    _sortOrder = order;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    QCollator collator;
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    // Texts once per row, not once per comparison.
    std::vector<QString> texts;
    if (column != RemovedColumn) {
        texts.reserve(_items.size());
        for (const RecentlyRemoved::Item &entry : _items)
            texts.push_back(text(entry, column));
    }
    const auto less = [&](int a, int b) {
        if (column == RemovedColumn)
            return _items[size_t(a)].removedAt < _items[size_t(b)].removedAt;
        return collator.compare(texts[size_t(a)], texts[size_t(b)]) < 0;
    };
    std::vector<int> rows(_items.size());
    for (size_t i = 0; i < rows.size(); ++i)
        rows[i] = int(i);
    // Stable: equal texts keep the log's order, newest first.
    std::stable_sort(rows.begin(), rows.end(),
                     [&](int a, int b) { return order == Qt::AscendingOrder ? less(a, b) : less(b, a); });
    std::vector<RecentlyRemoved::Item> sorted;
    sorted.reserve(_items.size());
    std::vector<int> newRow(_items.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        newRow[size_t(rows[i])] = int(i);
        sorted.push_back(std::move(_items[size_t(rows[i])]));
    }
    _items = std::move(sorted);

    // Selections and the current row follow their items.
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex &old : before)
        after.append(index(newRow[size_t(old.row())], old.column()));
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}
