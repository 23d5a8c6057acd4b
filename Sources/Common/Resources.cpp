// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Common/Resources.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {

bool holdsResources(const QString &folder)
{
    return !folder.isEmpty() && QFileInfo::exists(folder + QStringLiteral("/Categories.plist"));
}

} // namespace

namespace Resources {

QString folder()
{
    const QString fromEnvironment = qEnvironmentVariable("MTI_RESOURCES_DIR");
    if (holdsResources(fromEnvironment))
        return QDir::cleanPath(fromEnvironment);

    const QString appDir = QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QString();
    QStringList candidates;
    if (!appDir.isEmpty()) {
        candidates << appDir + QStringLiteral("/../Resources")                          // macOS bundle
                   << appDir + QStringLiteral("/../share/motion-template-installer");   // installed
    }
    candidates << QStringLiteral(MTI_BUILD_RESOURCES_DIR);                              // build tree
    for (const QString &candidate : std::as_const(candidates)) {
        if (holdsResources(candidate))
            return QDir::cleanPath(candidate);
    }
    return {};
}

QString path(const QString &fileName)
{
    const QString base = folder();
    if (base.isEmpty())
        return {};
    const QString candidate = base + QLatin1Char('/') + fileName;
    return QFileInfo::exists(candidate) ? candidate : QString();
}

} // namespace Resources
