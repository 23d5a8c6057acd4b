// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// Where the application's own resources (Categories.plist, AppIcon_128.png,
// the sample pack) live, searched in this order:
//   - MTI_RESOURCES_DIR in the environment;
//   - Contents/Resources of the macOS bundle the executable lies in
//     (the application and the mtzip shipped beside it in Contents/MacOS);
//   - share/motion-template-installer of the prefix the executable is
//     installed in;
//   - on macOS, the bundle installed beside the executable, or in
//     /Applications;
//   - the build tree the executable was built in (a folder holding both
//     CMakeCache.txt and Resources/), found relative to the executable, so
//     no absolute path is compiled into it.
namespace Resources {

// The folder, or a null string when no candidate holds Categories.plist.
QString folder();
// The path of a resource by file name, or a null string when it is missing.
QString path(const QString &fileName);

} // namespace Resources
