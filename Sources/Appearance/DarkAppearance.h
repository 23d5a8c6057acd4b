// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

class QPalette;
class QWidget;

// The dark look given to the start, about and collection windows and to the
// sheets shown on collection windows (and to nothing else).
namespace DarkAppearance {

QPalette palette();
void apply(QWidget *widget);

} // namespace DarkAppearance
