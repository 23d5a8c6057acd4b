// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Installer/TemplateInstallerV2.h"

#include "Common/DiagnosticLog.h"
#include "Common/LogCategories.h"
#include "Common/Resources.h"
#include "Installer/TemplateType.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <plist/plist.h>

#include <cstdlib>

namespace {

struct CategoriesTable
{
    bool loaded = false;
    QString overridePath;
    QHash<QString, QString> titles;
};

CategoriesTable &categoriesTable()
{
    static CategoriesTable table;
    return table;
}

// Reads a property list whose top level is a dictionary of strings; any
// other value is left out. Empty optional when the file cannot be used.
std::optional<QHash<QString, QString>> readCategories(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        MTI_DIAGNOSTIC(lcInstall, file.errorString());
        return std::nullopt;
    }
    const QByteArray bytes = file.readAll();
    if (bytes.isEmpty() || bytes.size() > 64 * 1024 * 1024)
        return std::nullopt;

    plist_t root = nullptr;
    if (bytes.startsWith("bplist00"))
        plist_from_bin(bytes.constData(), uint32_t(bytes.size()), &root);
    else
        plist_from_xml(bytes.constData(), uint32_t(bytes.size()), &root);
    if (!root)
        return std::nullopt;
    if (plist_get_node_type(root) != PLIST_DICT) {
        plist_free(root);
        return std::nullopt;
    }

    QHash<QString, QString> titles;
    plist_dict_iter it = nullptr;
    plist_dict_new_iter(root, &it);
    for (;;) {
        char *key = nullptr;
        plist_t value = nullptr;
        plist_dict_next_item(root, it, &key, &value);
        if (!key)
            break;
        if (value && plist_get_node_type(value) == PLIST_STRING) {
            char *title = nullptr;
            plist_get_string_val(value, &title);
            if (title)
                titles.insert(QString::fromUtf8(key), QString::fromUtf8(title));
            std::free(title);
        }
        std::free(key);
    }
    std::free(it);
    plist_free(root);
    return titles;
}

} // namespace

std::unique_ptr<TemplateInstallerV2> TemplateInstallerV2::create(const QUrl &archiveURL,
                                                                 const QString &templatesRootFolder,
                                                                 QString *refusalReason)
{
    std::unique_ptr<TemplateInstallerV2> installer(new TemplateInstallerV2);
    if (!installer->init(archiveURL, templatesRootFolder, refusalReason))
        return nullptr;

    const QString path = archiveURL.isLocalFile() ? archiveURL.toLocalFile() : archiveURL.path();
    const QString prefix = QFileInfo(path).completeBaseName().section(QLatin1Char('_'), 0, 0);
    if (prefix.size() != 2) {
        refuse(QStringLiteral("Unexpected category prefix"), refusalReason, Q_FUNC_INFO, __LINE__);
        return nullptr;
    }
    installer->_categoryTitle = categoryTitleForPrefix(prefix);
    if (installer->_categoryTitle.isNull()) {
        refuse(QStringLiteral("Unrecognized category title"), refusalReason, Q_FUNC_INFO, __LINE__);
        return nullptr;
    }
    return installer;
}

QString TemplateInstallerV2::categoryTitleForPrefix(const QString &key)
{
    if (key.isNull())
        return {};
    CategoriesTable &table = categoriesTable();
    if (!table.loaded) {
        const QString path = table.overridePath.isNull()
            ? Resources::path(QStringLiteral("Categories.plist"))
            : table.overridePath;
        if (path.isEmpty())
            return {};
        std::optional<QHash<QString, QString>> titles = readCategories(path);
        if (!titles)
            return {};
        table.titles = std::move(*titles);
        table.loaded = true;
    }
    return table.titles.value(key);
}

void TemplateInstallerV2::setCategoriesFile(const QString &path)
{
    CategoriesTable &table = categoriesTable();
    table.overridePath = path;
    table.loaded = false;
    table.titles.clear();
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
