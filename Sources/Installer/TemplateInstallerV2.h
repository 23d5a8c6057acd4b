// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Installer/TemplateInstaller.h"

// The installer for category-prefixed archives ("AB_Pack_Name.mtzip"): every
// template goes to "<kind folder>/ZT <category title>/<template folder name>",
// the category title coming from the archive's two-character prefix. A zip
// laid out as a templates folder (TemplateLayout) needs no prefix: its
// templates keep their own paths.
class TemplateInstallerV2 : public TemplateInstaller
{
public:
    // As TemplateInstaller::open, and refuses a prefix that is not two
    // characters (Refusal::UnexpectedPrefix) or not in `categories`
    // (Refusal::UnrecognizedCategory), which also give the items their
    // categories.
    [[nodiscard]] static Expected<std::unique_ptr<TemplateInstallerV2>> open(
        const QUrl &archiveURL, const QString &templatesRootFolder, const Categories &categories = Categories::shipped());
    // The same, null on a refusal; the first form uses the shipped list.
    static std::unique_ptr<TemplateInstallerV2> create(const QUrl &archiveURL, const QString &templatesRootFolder);
    static std::unique_ptr<TemplateInstallerV2> create(const QUrl &archiveURL, const QString &templatesRootFolder,
                                                       const Categories &categories);

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
