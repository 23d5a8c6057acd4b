// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Installer/Categories.h"

#include "Common/DiagnosticLog.h"
#include "Common/LogCategories.h"
#include "Common/Resources.h"

#include <QFile>

#include <plist/plist.h>

#include <cstdlib>
#include <mutex>
#include <optional>

namespace {

// Larger than any list of prefixes could be; refused unread.
constexpr qint64 MaxListBytes = 64 * 1024 * 1024;

// Null when the file cannot be read; a read error goes to the diagnostic log.
std::optional<QByteArray> readList(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        MTI_DIAGNOSTIC(lcInstall, file.errorString());
        return std::nullopt;
    }
    if (file.size() > MaxListBytes)
        return std::nullopt;
    return file.readAll();
}

} // namespace

Categories Categories::shipped()
{
    static std::mutex sMutex;
    static std::optional<Categories> sCategories;
    const std::lock_guard<std::mutex> lock(sMutex);
    if (!sCategories) {
        const QString path = Resources::path(QStringLiteral("Categories.plist"));
        if (path.isEmpty())
            return {};
        const std::optional<QByteArray> bytes = readList(path);
        if (!bytes)
            return {};
        Categories categories = fromPropertyList(*bytes);
        if (categories.isEmpty())
            return {};
        sCategories = std::move(categories);
    }
    return *sCategories;
}

Categories Categories::fromFile(const QString &path)
{
    const std::optional<QByteArray> bytes = readList(path);
    return bytes ? fromPropertyList(*bytes) : Categories();
}

Categories Categories::fromPropertyList(const QByteArray &bytes)
{
    Categories categories;
    if (bytes.isEmpty() || bytes.size() > MaxListBytes)
        return categories;
    plist_t root = nullptr;
#if MTI_PLIST_FROM_MEMORY_TAKES_FORMAT
    plist_from_memory(bytes.constData(), uint32_t(bytes.size()), &root, nullptr);
#else
    plist_from_memory(bytes.constData(), uint32_t(bytes.size()), &root);
#endif
    if (!root)
        return categories;
    if (plist_get_node_type(root) != PLIST_DICT) {
        plist_free(root);
        return categories;
    }

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
                categories._titles.insert(QString::fromUtf8(key), QString::fromUtf8(title));
            std::free(title);
        }
        std::free(key);
    }
    std::free(it);
    plist_free(root);
    return categories;
}

QString Categories::titleForPrefix(const QString &prefix) const
{
    if (prefix.isNull())
        return {};
    return _titles.value(prefix);
}
