// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// File names split at their last extension: everything from the last "." of
// the name on, where a leading dot (".hidden") is not one. "Pack.2024.mtzip"
// gives "Pack.2024" and "mtzip"; "AB_Glow_1.5" gives "AB_Glow_1" and "5".
namespace FileNames {

QString withoutLastExtension(const QString &fileName);
// Without the dot; empty when there is none.
QString lastExtension(const QString &fileName);

} // namespace FileNames
