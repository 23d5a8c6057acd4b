// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Installer/TemplateInstallerV2.h"

#include "Common/FileNames.h"
#include "Installer/TemplateType.h"


std::unique_ptr<TemplateInstallerV2> TemplateInstallerV2::create(const QUrl &archiveURL,
                                                                 const QString &templatesRootFolder,
                                                                 QString *refusalReason)
{
    return create(archiveURL, templatesRootFolder, Categories::shipped(), refusalReason);
}

std::unique_ptr<TemplateInstallerV2> TemplateInstallerV2::create(const QUrl &archiveURL,
                                                                 const QString &templatesRootFolder,
                                                                 const Categories &categories,
                                                                 QString *refusalReason)
{
    std::unique_ptr<TemplateInstallerV2> installer(new TemplateInstallerV2);
    if (!installer->init(archiveURL, templatesRootFolder, categories, refusalReason))
        return nullptr;

    const QString prefix = installer->title().section(QLatin1Char('_'), 0, 0);
    if (prefix.size() != 2) {
        refuse(QStringLiteral("Unexpected category prefix"), refusalReason, Q_FUNC_INFO, __LINE__);
        return nullptr;
    }
    installer->_categoryTitle = categories.titleForPrefix(prefix);
    if (installer->_categoryTitle.isNull()) {
        refuse(QStringLiteral("Unrecognized category title"), refusalReason, Q_FUNC_INFO, __LINE__);
        return nullptr;
    }
    return installer;
}

QString TemplateInstallerV2::categoryTitleForPrefix(const QString &key)
{
    return Categories::shipped().titleForPrefix(key);
}

QString TemplateInstallerV2::relativeDestinationPathFor(const EffectTemplateItem &item) const
{
    return TemplateType::kindFolder(item.templateType()) + QStringLiteral("/ZT ") + _categoryTitle
        + QLatin1Char('/') + item.folderName();
}

QString TemplateInstallerV2::className() const
{
    return QStringLiteral("TemplateInstallerV2");
}
