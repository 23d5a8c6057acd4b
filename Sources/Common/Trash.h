// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Common/Error.h"

#include <QString>

#include <optional>

#include <sys/types.h>

// The user's Trash, for items that should come back to where they were.
namespace Trash {

// From now on, what this process (running as root for another user) moves
// to the Trash goes to the Trash of user `owner`, whose home is `home`: the
// home Trash for the home's volume, else the volume's .Trash-UID, made as
// theirs where missing, and each item moved there becomes theirs. Every
// folder on the way below the home or the volume's top is entered without
// following a link, so a link the owner planted there leads nowhere. On
// macOS their ~/.Trash, for items on the home's volume only. An owner equal
// to this process's user changes nothing.
void setOwner(uid_t owner, const QString &home);

// Moves `path` to the Trash of its volume as if it had been trashed from
// `originalPath` (default: `path`): under that name, and recorded so that
// the file manager's Restore puts it back there. A copy set aside under a
// hidden name is thus restored to the place it was replaced at. Answers
// where the item now lies, or an empty string when the volume has no Trash
// or the move failed (then nothing changed). On macOS the Finder records
// the place the item left from.
[[nodiscard]] QString moveToTrash(const QString &path, const QString &originalPath = {});
// As moveToTrash for root/relative, taken from its folder opened beneath the
// root: a folder on the way that someone else swapped for a link is refused
// (nothing moves), never followed out of the root. On macOS the system's
// Trash takes only a path, which it resolves itself.
[[nodiscard]] QString moveToTrashBeneath(const QString &root, const QString &relative, const QString &originalPath = {});

// Whether the volume `path` lies on has a Trash this user can use: where it
// has none, what would go there is deleted instead.
bool hasTrash(const QString &path);

// Whether a path names an item directly in a Trash (the freedesktop.org
// layout's "files" folder, or macOS's .Trash and .Trashes), not a path that
// leads out of one.
bool isInTrash(const QString &path);

// Where the Trash's record says an item came from (freedesktop.org layout);
// empty where there is none.
QString recordedPlace(const QString &inTrash);

// Puts an item back from the Trash to `original` (creating missing folders
// above it) and forgets its Trash record. Refused when something stands at
// `original` or the item is no longer in the Trash.
[[nodiscard]] std::optional<Error> restore(const QString &inTrash, const QString &original);
// As restore, to root/relative: the folders on the way are made and entered
// beneath the root, never through a link someone else put there.
[[nodiscard]] std::optional<Error> restoreBeneath(const QString &inTrash, const QString &root, const QString &relative);

} // namespace Trash
