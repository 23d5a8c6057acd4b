// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// Where the application's own resources (Categories.plist, AppIcon_128.png,
// the sample pack) live: inside the macOS bundle, under share/ when
// installed, or in the build tree during development. MTI_RESOURCES_DIR in
// the environment overrides the search.
namespace Resources {

QString folder();
// The path of a resource by file name, or a null string when it is missing.
QString path(const QString &fileName);

} // namespace Resources
