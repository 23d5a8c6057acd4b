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

// A name or path in the form names are compared in: composed Unicode (NFC).
// Mac-made zips store decomposed names and macOS hands out composed ones, so
// one name may come in either form; only comparisons use this, nothing is
// renamed by it.
QString comparable(const QString &name);

} // namespace FileNames
