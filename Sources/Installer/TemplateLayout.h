// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Common/Expected.h"

#include <QString>

#include <optional>

class FolderTree;

// A zip whose top level is a templates folder as it stands on disk: kind
// folders ("Titles.localized", ...), or one "Motion Templates.localized"
// holding them. Its templates install at exactly their paths below the
// kind folders; no category is derived or added.
namespace TemplateLayout {

// "Motion Templates.localized": the one folder a layout may be wrapped in.
extern const QString WholeFolder;

// One of the four kind folders.
bool isKindFolder(const QString &name);

// Where the layout begins in the tree: "" at its top, or
// "/Motion Templates.localized"; null when the top level is no layout
// (hidden entries such as ".DS_Store" aside, only kind folders).
std::optional<QString> rootOf(const FolderTree &tree);

// The destination, "Titles.localized/ZT Lower Thirds/LT_Name", of the
// template folder `folder` (tree-relative, "/..."), of the type `type`,
// in a layout beginning at `root`: null when the folder is not below the
// kind folder of its type (a template lying at the top, in the kind
// folder itself, in another kind's folder, or outside the layout).
QString destinationOf(const QString &folder, quint64 type, const QString &root);

// Why the archive is no layout (NotALayout) or has a template leaving its
// kind folder (OutsideKindFolder, naming it); else the layout's root.
enum Code { NotALayout = 1, OutsideKindFolder };
[[nodiscard]] Expected<QString> check(const FolderTree &tree);

// Whether the zip file's directory reads and its top level is a layout (a
// template outside its kind folder is left for opening to refuse in words).
bool isLayoutZip(const QString &archive);

} // namespace TemplateLayout
