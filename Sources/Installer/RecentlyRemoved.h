// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Common/Error.h"
#include "Installer/Receipt.h"

#include <QDateTime>
#include <QString>

#include <optional>
#include <vector>

class ProgressListener;

// What this user's installs and uninstalls sent to the Trash, so that it
// can be put back: the template's place, where it lies in the Trash, and its
// receipt entry. Kept per user (beside the user's Trash, not in a templates
// folder others may write into), one JSON object a line.
namespace RecentlyRemoved {

struct Item
{
    QDateTime removedAt;      // UTC
    QString root;             // the templates folder
    QString destination;      // relative to the root
    QString inTrash;          // where it lies now
    std::optional<Receipt> receipt;  // its archive's receipt, holding only this template; none for a hand copy
};

// The log's file; MTI_RECENTLY_REMOVED overrides it (tests).
QString logPath();

// Adds an item; failing to record never fails the removal itself.
void record(const Item &item);

// The items still in the Trash, newest first; with a root only its own.
// Items whose Trash copy is gone are dropped from the log.
std::vector<Item> items(const QString &root = {});

// Puts an item back where it was, holding its root's lock, and its receipt
// entry back into its archive's receipt; refused with a reason when
// something stands there now or it left the Trash. The item leaves the log.
// While another run holds the lock, the listener is told and may give up
// (a cancellation); without one it waits for ever.
[[nodiscard]] std::optional<Error> restore(const Item &item, ProgressListener *listener = nullptr);

} // namespace RecentlyRemoved
