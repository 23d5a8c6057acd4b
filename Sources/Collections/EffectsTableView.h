// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QTableView>

// The collection's table. Rows are what one selects, so Home and End go to
// the first and last row (QTableView would go to the first and last column
// of the current row), with Shift extending the selection as usual.
class EffectsTableView : public QTableView
{
    Q_OBJECT

public:
    explicit EffectsTableView(QWidget *parent = nullptr);

protected:
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
};
