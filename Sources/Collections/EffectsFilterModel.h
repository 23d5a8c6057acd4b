// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QCollator>
#include <QSortFilterProxyModel>
#include <QStringList>

class EffectsTableModel;

// Sorting and searching over the collection's table. Sorting uses the
// model's SortRole, texts compared as people read them ("Title 2" before
// "Title 10", case aside); equal keys keep the archives' order either way.
// The search keeps the rows whose title or category holds every word of the
// text, case aside.
class EffectsFilterModel : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    explicit EffectsFilterModel(EffectsTableModel *source, QObject *parent = nullptr);

    void setSearchText(const QString &text);
    QString searchText() const { return _words.join(QLatin1Char(' ')); }
    // The source row of a row of this model, or -1.
    int sourceRow(int row) const;

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;
    bool lessThan(const QModelIndex &left, const QModelIndex &right) const override;

private:
    EffectsTableModel *_source;
    QStringList _words;
    QCollator _collator;
};
