// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Installer/TemplateInstallerV2.h"

#include "Installer/TemplateType.h"


Expected<std::unique_ptr<TemplateInstallerV2>> TemplateInstallerV2::open(const QUrl &archiveURL,
                                                                         const QString &templatesRootFolder,
                                                                         const Categories &categories)
{
    std::unique_ptr<TemplateInstallerV2> installer(new TemplateInstallerV2);
    if (std::optional<Error> refused = installer->init(archiveURL, templatesRootFolder, categories))
        return *refused;
    // A templates folder layout says where each template goes itself.
    if (installer->isLayout())
        return installer;
    // The prefix is the title's text before its first underscore.
    const QString prefix = installer->title().section(QLatin1Char('_'), 0, 0);
    if (prefix.size() != 2)
        return refusal(Refusal::UnexpectedPrefix, Q_FUNC_INFO, __LINE__);
    installer->_categoryTitle = categories.titleForPrefix(prefix);
    if (installer->_categoryTitle.isNull())
        return refusal(Refusal::UnrecognizedCategory, Q_FUNC_INFO, __LINE__);
    return installer;
}

std::unique_ptr<TemplateInstallerV2> TemplateInstallerV2::create(const QUrl &archiveURL,
                                                                 const QString &templatesRootFolder)
{
    return create(archiveURL, templatesRootFolder, Categories::shipped());
}

std::unique_ptr<TemplateInstallerV2> TemplateInstallerV2::create(const QUrl &archiveURL,
                                                                 const QString &templatesRootFolder,
                                                                 const Categories &categories)
{
    Expected<std::unique_ptr<TemplateInstallerV2>> installer = open(archiveURL, templatesRootFolder, categories);
    return installer ? std::move(*installer) : nullptr;
}

QString TemplateInstallerV2::categoryTitleForPrefix(const QString &key)
{
    return Categories::shipped().titleForPrefix(key);
}

QString TemplateInstallerV2::relativeDestinationPathFor(const EffectTemplateItem &item) const
{
    if (isLayout())
        return TemplateInstaller::relativeDestinationPathFor(item);
    return TemplateType::kindFolder(item.templateType()) + QStringLiteral("/ZT ") + _categoryTitle
        + QLatin1Char('/') + item.folderName();
}

QString TemplateInstallerV2::className() const
{
    return QStringLiteral("TemplateInstallerV2");
}
