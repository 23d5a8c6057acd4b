// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Common/Expected.h"
#include "Installer/Categories.h"
#include "Installer/EffectTemplateItem.h"

#include <QString>

#include <functional>
#include <memory>
#include <vector>

class FolderTree;
class ZipReader;

using EffectTemplateItems = std::vector<std::unique_ptr<EffectTemplateItem>>;

// Finds the templates of one archive: in the tree it unpacked to, or in its
// directory without unpacking. Both walk a FolderTree, which visits each
// folder's entries sorted by name, so an archive gives the same templates,
// types and order on every machine, and a listing the same as an unpack.
class TemplateScanner
{
public:
    // Where an item goes below the destination root (relative path).
    using DestinationRule = std::function<QString(const EffectTemplateItem &item)>;

    TemplateScanner(const Categories &categories, const QString &archiveTitle, DestinationRule destinationFor);

    // The scan over any tree; the items' source root is rootFolder.
    EffectTemplateItems scan(const FolderTree &tree, const QString &rootFolder) const;
    EffectTemplateItems scanFolder(const QString &folder) const;
    // The archive's directory as the tree, the archive's own path as the
    // items' root: nothing lies there to be copied or previewed by mistake.
    // The error's text is the one shown to users. `loaded`, when given, is
    // handed the reader with the directory kept (ZipDirectory::read).
    [[nodiscard]] Expected<EffectTemplateItems> scanDirectory(const QString &archive,
                                                              std::unique_ptr<ZipReader> *loaded = nullptr) const;

private:
    const Categories &_categories;
    QString _archiveTitle;
    DestinationRule _destinationFor;
};
