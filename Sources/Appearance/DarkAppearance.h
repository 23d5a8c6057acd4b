// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

class QPalette;
class QWidget;

// The dark look given to the start, about and collection windows, to the
// sheets and alerts shown for collections and to the open dialog; tool tips
// take it once any widget has.
namespace DarkAppearance {

QPalette palette();
void apply(QWidget *widget);

} // namespace DarkAppearance
