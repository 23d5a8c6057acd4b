// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QTableView>

// A table whose cells can be whole widgets that belong to someone else.
//
// For each cell the model may answer ItemViewRole with a QWidget*; the table
// then shows that widget over the cell, sized to it, and sizes the row to the
// widget's height. Unlike index widgets, these are never deleted by the table
// (on reset or otherwise): their owners keep them.
class DownloadItemTableView : public QTableView
{
    Q_OBJECT

public:
    static constexpr int ItemViewRole = Qt::UserRole + 1;

    explicit DownloadItemTableView(QWidget *parent = nullptr);

protected:
    void updateGeometries() override;
    void rowsInserted(const QModelIndex &parent, int start, int end) override;
    int sizeHintForRow(int row) const override;

private:
    QWidget *_cellView(int row, int column) const;
    void _placeCellViews();
};
