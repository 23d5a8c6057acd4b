// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

class QString;

// The platform's file manager, as every window asks for it.
namespace FileManager {

// Shows `path` selected in its enclosing folder: the Finder on macOS, a
// freedesktop file manager (FileManager1.ShowItems over D-Bus) elsewhere.
// Where neither answers, the enclosing folder opens without a selection.
void reveal(const QString &path);

} // namespace FileManager
