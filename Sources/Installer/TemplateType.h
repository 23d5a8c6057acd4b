// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// Template types, by the extension of the template file: 1 effect ("moef"),
// 2 generator ("motn"), 3 title ("moti"), 4 transition ("motr").
namespace TemplateType {

// 0 when the file name's extension is none of the four (compared exactly).
quint64 forFileName(const QString &fileName);
// "Effects.localized" ... "Transitions.localized"; null for other types.
QString kindFolder(quint64 type);
// "effect" ... "transition"; null for other types.
QString kindName(quint64 type);

} // namespace TemplateType
