// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Library/TemplateLibraryFilterModel.h"

#include "Library/TemplateLibraryModel.h"

#include <QDateTime>
#include <QLocale>

TemplateLibraryFilterModel::TemplateLibraryFilterModel(QObject *parent)
    : QSortFilterProxyModel(parent)
    // The C locale's collation compares code points and knows no numbers.
    , _collator(QLocale().language() == QLocale::C ? QLocale(QLocale::English) : QLocale())
{
    _collator.setCaseSensitivity(Qt::CaseInsensitive);
    _collator.setNumericMode(true);
    setSortRole(TemplateLibraryModel::SortRole);
    setDynamicSortFilter(true);
}

void TemplateLibraryFilterModel::setSearchText(const QString &text)
{
    const QStringList words = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    _searchText = text;
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
    if (!_category.isNull() && item.category != _category)
        return false;
    for (const QString &word : _words) {
        if (!item.title.contains(word, Qt::CaseInsensitive) && !item.category.contains(word, Qt::CaseInsensitive)
            && !item.originArchiveTitle.contains(word, Qt::CaseInsensitive))
            return false;
    }
    return true;
}

bool TemplateLibraryFilterModel::lessThan(const QModelIndex &left, const QModelIndex &right) const
{
    const QVariant a = left.data(sortRole());
    const QVariant b = right.data(sortRole());
    int order = 0;
    if (a.userType() == QMetaType::QString && b.userType() == QMetaType::QString) {
        const QString sa = a.toString();
        const QString sb = b.toString();
        // Empty text (origin unknown) after everything named.
        if (sa.isEmpty() != sb.isEmpty())
            order = sa.isEmpty() ? 1 : -1;
        else
            order = _collator.compare(sa, sb);
    } else {
        const QPartialOrdering partial = QVariant::compare(a, b);
        order = partial == QPartialOrdering::Less ? -1 : partial == QPartialOrdering::Greater ? 1 : 0;
    }
    if (order != 0)
        return order < 0;
    // Equal keys: by title, then by place, so the order never depends on
    // the order the rows came in.
    if (left.column() != TemplateLibraryModel::TitleColumn) {
        const int titles = _collator.compare(left.siblingAtColumn(TemplateLibraryModel::TitleColumn).data(sortRole()).toString(),
                                             right.siblingAtColumn(TemplateLibraryModel::TitleColumn).data(sortRole()).toString());
        if (titles != 0)
            return titles < 0;
    }
    return left.data(TemplateLibraryModel::KeyRole).toString() < right.data(TemplateLibraryModel::KeyRole).toString();
}
