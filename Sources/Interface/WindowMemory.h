// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

class QHeaderView;
class QSplitter;
class QString;
class QWidget;

// What the user arranged, kept in the settings under a key per kind of
// window ("collection", "library") and given back the next time: the
// window's size and place, a table's column widths, order and sort, a
// splitter's division. Each call restores what is stored now and keeps the
// store up to date from then on; nothing stored leaves the widget as it is.
namespace WindowMemory {

// Stored whenever the window is hidden (closing hides it first).
void remember(QWidget *window, const QString &key);
// Stored whenever a column is resized or moved, or the sort changes. The
// view's sort is not redone here: callers sort by the restored indicator.
void remember(QHeaderView *header, const QString &key);
void remember(QSplitter *splitter, const QString &key);

} // namespace WindowMemory
