// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Downloads/DownloadItemTableView.h"

#include <QHeaderView>

DownloadItemTableView::DownloadItemTableView(QWidget *parent)
    : QTableView(parent)
{
    // A list of rows, each drawn by its own view: no headers, grid,
    // selection or editing of the table's own.
    horizontalHeader()->hide();
    horizontalHeader()->setStretchLastSection(true);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    setShowGrid(false);
    setAlternatingRowColors(true);
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setFocusPolicy(Qt::NoFocus);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

void DownloadItemTableView::updateGeometries()
{
    QTableView::updateGeometries();
    _placeCellViews();
}

void DownloadItemTableView::rowsInserted(const QModelIndex &parent, int start, int end)
{
    QTableView::rowsInserted(parent, start, end);
    _placeCellViews();
}

int DownloadItemTableView::sizeHintForRow(int row) const
{
    int height = 0;
    if (model()) {
        for (int column = 0; column < model()->columnCount(rootIndex()); ++column) {
            if (QWidget *view = _cellView(row, column))
                height = qMax(height, view->sizeHint().height());
        }
    }
    return height > 0 ? height : QTableView::sizeHintForRow(row);
}

QWidget *DownloadItemTableView::_cellView(int row, int column) const
{
    if (!model())
        return nullptr;
    const QModelIndex index = model()->index(row, column, rootIndex());
    return index.isValid() ? model()->data(index, ItemViewRole).value<QWidget *>() : nullptr;
}

void DownloadItemTableView::_placeCellViews()
{
    if (!model())
        return;
    const int rows = model()->rowCount(rootIndex());
    const int columns = model()->columnCount(rootIndex());
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < columns; ++column) {
            QWidget *view = _cellView(row, column);
            if (!view)
                continue;
            if (view->parentWidget() != viewport())
                view->setParent(viewport());
            view->setGeometry(visualRect(model()->index(row, column, rootIndex())));
            view->setVisible(!isRowHidden(row) && !isColumnHidden(column));
        }
    }
}
