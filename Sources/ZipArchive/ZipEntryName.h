// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <optional>

// The one place that decides where an archive entry may be written.
//
// Backslashes count as separators (archives written on Windows use them).
// The result is the entry's path relative to the destination folder, with
// "." and empty components dropped; a trailing slash is not kept. An entry
// whose name is empty, absolute (leading slash or drive letter) or climbs
// with ".." is refused: the result is empty.
[[nodiscard]] std::optional<QString> safeRelativeEntryPath(const QString &entryName);

// A directory entry is one whose name ends in a slash or a backslash.
bool isDirectoryEntryName(const QString &entryName);
