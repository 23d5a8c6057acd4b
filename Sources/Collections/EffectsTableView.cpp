// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Collections/EffectsTableView.h"

EffectsTableView::EffectsTableView(QWidget *parent)
    : QTableView(parent)
{
    // Tab leaves the table for the next control, as in any list; the arrows
    // move within it.
    setTabKeyNavigation(false);
    // Titles and archive names differ at their ends as often as at their
    // starts ("…_v2"): both stay, the middle goes.
    setTextElideMode(Qt::ElideMiddle);
}

QModelIndex EffectsTableView::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers)
{
    if ((cursorAction == MoveHome || cursorAction == MoveEnd) && model() && model()->rowCount(rootIndex()) > 0) {
        const int row = cursorAction == MoveHome ? 0 : model()->rowCount(rootIndex()) - 1;
        const int column = currentIndex().isValid() ? currentIndex().column() : 0;
        return model()->index(row, column, rootIndex());
    }
    return QTableView::moveCursor(cursorAction, modifiers);
}
