// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Installer/TemplateInstaller.h"

// The installer for category-prefixed archives ("AB_Pack_Name.mtzip"): every
// template goes to "<kind folder>/ZT <category title>/<template folder name>",
// the category title coming from the archive's two-character prefix.
class TemplateInstallerV2 : public TemplateInstaller
{
public:
    // As TemplateInstaller::create, and refuses a prefix that is not two
    // characters ("Unexpected category prefix") or not in the Categories list
    // ("Unrecognized category title").
    static std::unique_ptr<TemplateInstallerV2> create(const QUrl &archiveURL, const QString &templatesRootFolder,
                                                       QString *refusalReason = nullptr);

    // The category title for a prefix from the Categories list, or a null
    // string. The list is read on first use and kept; while it cannot be
    // read, every call tries again.
    static QString categoryTitleForPrefix(const QString &key);
    // Reads the Categories list from another property list (any format)
    // from now on; a null path returns to the shipped one.
    static void setCategoriesFile(const QString &path);


    const QString &categoryTitle() const { return _categoryTitle; }

protected:
    QString relativeDestinationPathFor(const EffectTemplateItem &item) const override;
    QString className() const override;

private:
    TemplateInstallerV2() = default;

    QString _categoryTitle;
};
