// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QSortFilterProxyModel>
#include <QStringList>

// The library's rows as the window shows them: narrowed by the search text
// (every word in the title, the category or the origin archive, ignoring
// case), by kind, category and root, and sorted by any column (sizes and
// dates as numbers, text in the user's collation; ties by title).
class TemplateLibraryFilterModel : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    explicit TemplateLibraryFilterModel(QObject *parent = nullptr);

    void setSearchText(const QString &text);
    QString searchText() const { return _searchText; }
    // 0: every kind.
    void setTemplateType(quint64 templateType);
    quint64 templateType() const { return _templateType; }
    // Null: every category.
    void setCategory(const QString &category);
    QString category() const { return _category; }
    // -1: every root.
    void setRootIndex(int rootIndex);
    int rootIndex() const { return _rootIndex; }

    bool isFiltering() const;

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;
    bool lessThan(const QModelIndex &left, const QModelIndex &right) const override;

private:
    QString _searchText;
    QStringList _words;
    quint64 _templateType = 0;
    QString _category;
    int _rootIndex = -1;
};
