// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

class QIcon;

namespace AppIcon {

// The "AppIcon_128" image of the resources folder, loaded on the first
// successful call and kept for the rest of the run; a null icon while it is
// missing or unreadable, and the next call tries again. Main thread only.
QIcon icon();

} // namespace AppIcon
