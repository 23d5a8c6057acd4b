// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Installer/LibraryPaths.h"

#include "Installer/TemplateType.h"

namespace LibraryPaths {

QString withoutSlashes(QString path)
{
    while (path.startsWith(QLatin1Char('/')))
        path.remove(0, 1);
    while (path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path;
}

QString asDestination(const QString &root, const QString &name)
{
    const QString prefix = root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/');
    if (name.startsWith(prefix))
        return withoutSlashes(name.mid(prefix.size()));
    return withoutSlashes(name);
}

QString lastComponent(const QString &path)
{
    return path.section(QLatin1Char('/'), -1);
}

OrderKey orderKey(const QString &destination)
{
    OrderKey key;
    const QString kindFolder = destination.section(QLatin1Char('/'), 0, 0);
    key.kind = 5;
    for (quint64 type = 1; type <= 4; ++type) {
        if (TemplateType::kindFolder(type) == kindFolder)
            key.kind = int(type);
    }
    key.category = destination.section(QLatin1Char('/'), 1, 1).toUtf8();
    key.rest = destination.section(QLatin1Char('/'), 2).toUtf8();
    if (key.kind == 5)
        key.rest = destination.toUtf8();
    return key;
}

QStringList foldersAbove(const QString &path)
{
    QStringList folders;
    for (qsizetype slash = path.lastIndexOf(QLatin1Char('/')); slash > 0;
         slash = path.lastIndexOf(QLatin1Char('/'), slash - 1))
        folders.append(path.left(slash));
    return folders;
}

} // namespace LibraryPaths
