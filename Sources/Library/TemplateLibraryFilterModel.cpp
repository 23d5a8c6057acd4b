// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Library/TemplateLibraryFilterModel.h"

#include "Library/TemplateLibraryModel.h"


TemplateLibraryFilterModel::TemplateLibraryFilterModel(QObject *parent)
    : QSortFilterProxyModel(parent)
{
    setSortRole(TemplateLibraryModel::SortRole);
    // Rows a rescan brings or changes are filtered and sorted as they arrive.
    setDynamicSortFilter(true);
}

void TemplateLibraryFilterModel::setSearchText(const QString &text)
{
    const QStringList words = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    _searchText = text;
    // Only a change of words filters again: a trailing space is typed often and
    // must not refilter ten thousand rows.
    if (words == _words)
        return;
    _words = words;
    invalidateFilter();
}

void TemplateLibraryFilterModel::setTemplateType(quint64 templateType)
{
    if (templateType == _templateType)
        return;
    _templateType = templateType;
    invalidateFilter();
}

void TemplateLibraryFilterModel::setCategory(const QString &category)
{
    // Null (every category) and an empty category name are different filters.
    if (category == _category && category.isNull() == _category.isNull())
        return;
    _category = category;
    invalidateFilter();
}

void TemplateLibraryFilterModel::setRootIndex(int rootIndex)
{
    if (rootIndex == _rootIndex)
        return;
    _rootIndex = rootIndex;
    invalidateFilter();
}

bool TemplateLibraryFilterModel::isFiltering() const
{
    return !_words.isEmpty() || _templateType != 0 || !_category.isNull() || _rootIndex >= 0;
}

bool TemplateLibraryFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const
{
    const auto *library = qobject_cast<const TemplateLibraryModel *>(sourceModel());
    if (!library || sourceParent.isValid())
        return QSortFilterProxyModel::filterAcceptsRow(sourceRow, sourceParent);
    // Straight from the rows: 10,000 of them are tested at every keystroke.
    const TemplateLibrary::InstalledTemplate &item = library->installedTemplate(sourceRow);
    if (_rootIndex >= 0 && library->rootIndex(sourceRow) != _rootIndex)
        return false;
    if (_templateType != 0 && item.templateType != _templateType)
        return false;
    const QString &category = library->category(sourceRow);
    if (!_category.isNull() && category != _category)
        return false;
    const QString &title = library->title(sourceRow);
    for (const QString &word : _words) {
        if (!title.contains(word, Qt::CaseInsensitive) && !category.contains(word, Qt::CaseInsensitive)
            && !item.originArchiveTitle.contains(word, Qt::CaseInsensitive))
            return false;
    }
    return true;
}

bool TemplateLibraryFilterModel::lessThan(const QModelIndex &left, const QModelIndex &right) const
{
    // Straight from the rows, with the collation keys the scan made: the
    // sort of 10,000 rows runs on the GUI thread.
    if (const auto *library = qobject_cast<const TemplateLibraryModel *>(sourceModel()))
        return library->compare(left.row(), right.row(), left.column()) < 0;
    return QSortFilterProxyModel::lessThan(left, right);
}
