// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// Where templates are installed: the destination roots the editor reads.
namespace TemplateFolders {

// "Motion Templates.localized" in the user's Movies folder; null when there
// is none to be found (no Movies folder, or HOME unset and no user-dirs
// entry naming one). Found once per process.
QString forThisUser();
// The templates folder of all users, below the system's data folder; null
// where the system has none.
QString forAllUsers();

} // namespace TemplateFolders
