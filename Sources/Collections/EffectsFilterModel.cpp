// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Collections/EffectsFilterModel.h"

#include "Collections/EffectsTableModel.h"

namespace {

// Runs of digits compare by their value ("Title 2" before "Title 10"), the
// rest by the collator: QCollator's own numeric mode needs ICU and a locale,
// which not every system gives it.
int naturalCompare(const QCollator &collator, const QString &a, const QString &b)
{
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        const bool digitA = a.at(i).isDigit();
        const bool digitB = b.at(j).isDigit();
        qsizetype endA = i;
        qsizetype endB = j;
        while (endA < a.size() && a.at(endA).isDigit() == digitA)
            ++endA;
        while (endB < b.size() && b.at(endB).isDigit() == digitB)
            ++endB;
        const QStringView partA = QStringView(a).mid(i, endA - i);
        const QStringView partB = QStringView(b).mid(j, endB - j);
        int order = 0;
        if (digitA && digitB) {
            QStringView valueA = partA;
            QStringView valueB = partB;
            while (valueA.size() > 1 && valueA.front() == QLatin1Char('0'))
                valueA = valueA.mid(1);
            while (valueB.size() > 1 && valueB.front() == QLatin1Char('0'))
                valueB = valueB.mid(1);
            order = valueA.size() != valueB.size() ? (valueA.size() < valueB.size() ? -1 : 1)
                                                   : valueA.compare(valueB);
        } else {
            order = collator.compare(partA, partB);
        }
        if (order != 0)
            return order;
        i = endA;
        j = endB;
    }
    return (i < a.size()) - (j < b.size());
}

} // namespace

EffectsFilterModel::EffectsFilterModel(EffectsTableModel *source, QObject *parent)
    : QSortFilterProxyModel(parent)
    , _source(source)
{
    setSourceModel(source);
    setSortRole(EffectsTableModel::SortRole);
    setSortCaseSensitivity(Qt::CaseInsensitive);
    _collator.setCaseSensitivity(Qt::CaseInsensitive);
}

void EffectsFilterModel::setSearchText(const QString &text)
{
    const QStringList words = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words == _words)
        return;
    _words = words;
    invalidateFilter();
}

int EffectsFilterModel::sourceRow(int row) const
{
    const QModelIndex source = mapToSource(index(row, 0));
    return source.isValid() ? source.row() : -1;
}

bool EffectsFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex &) const
{
    if (_words.isEmpty())
        return true;
    const EffectTemplateItem *item = _source->item(sourceRow);
    if (!item)
        return false;
    const QString title = EffectsTableModel::shownTitle(*item);
    const QString category = item->category();
    for (const QString &word : _words) {
        if (!title.contains(word, Qt::CaseInsensitive) && !category.contains(word, Qt::CaseInsensitive))
            return false;
    }
    return true;
}

bool EffectsFilterModel::lessThan(const QModelIndex &left, const QModelIndex &right) const
{
    const QVariant a = left.data(EffectsTableModel::SortRole);
    const QVariant b = right.data(EffectsTableModel::SortRole);
    int order = 0;
    if (a.typeId() == QMetaType::Int && b.typeId() == QMetaType::Int)
        order = a.toInt() - b.toInt();
    else
        order = naturalCompare(_collator, a.toString(), b.toString());
    if (order != 0)
        return order < 0;
    // Equal keys: the archives' order, whichever way the column sorts.
    return sortOrder() == Qt::AscendingOrder ? left.row() < right.row() : left.row() > right.row();
}
