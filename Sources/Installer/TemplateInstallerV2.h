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
    // The prefix is looked up in `categories`, which also give the items
    // their categories; the first form uses the shipped list.
    static std::unique_ptr<TemplateInstallerV2> create(const QUrl &archiveURL, const QString &templatesRootFolder,
                                                       QString *refusalReason = nullptr);
    static std::unique_ptr<TemplateInstallerV2> create(const QUrl &archiveURL, const QString &templatesRootFolder,
                                                       const Categories &categories,
                                                       QString *refusalReason = nullptr);

    // The category title for a prefix from the shipped Categories list, or a
    // null string (Categories::shipped()).
    static QString categoryTitleForPrefix(const QString &key);

    const QString &categoryTitle() const { return _categoryTitle; }

protected:
    QString relativeDestinationPathFor(const EffectTemplateItem &item) const override;
    QString className() const override;

private:
    TemplateInstallerV2() = default;

    QString _categoryTitle;
};
