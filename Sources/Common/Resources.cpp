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

// The executable's folder with links resolved, so that a link in bin/ to
// the mtzip inside the bundle still finds the bundle.
QString executableFolder()
{
    if (!QCoreApplication::instance())
        return {};
    const QFileInfo executable(QCoreApplication::applicationFilePath());
    const QString canonical = executable.canonicalPath();
    return canonical.isEmpty() ? executable.absolutePath() : canonical;
}

QStringList candidates(const QString &appDir)
{
    const QString bundleName = QStringLiteral(MTI_BUNDLE_NAME);
    QStringList result;
    result << appDir + QStringLiteral("/../Resources")
           << appDir + QLatin1Char('/') + QStringLiteral(MTI_DATA_DIR_FROM_BIN_DIR);
#ifdef Q_OS_MACOS
    // mtzip beside the bundle, or in bin/ of the prefix the bundle is in.
    result << appDir + QLatin1Char('/') + bundleName + QStringLiteral("/Contents/Resources")
           << appDir + QStringLiteral("/../") + bundleName + QStringLiteral("/Contents/Resources")
           << QStringLiteral("/Applications/") + bundleName + QStringLiteral("/Contents/Resources");
#else
    Q_UNUSED(bundleName);
#endif
    // A build tree: the executables lie one or two levels below its top
    // (tests/, Sources/Cli/, Sources/App/), or inside the bundle there.
    QString up = appDir;
    for (int level = 0; level < 5; ++level) {
        up += QStringLiteral("/..");
        if (QFileInfo::exists(up + QStringLiteral("/CMakeCache.txt")))
            result << up + QStringLiteral("/Resources");
    }
    return result;
}

} // namespace

namespace Resources {

QString folder()
{
    const QString fromEnvironment = qEnvironmentVariable("MTI_RESOURCES_DIR");
    if (holdsResources(fromEnvironment))
        return QDir::cleanPath(fromEnvironment);

    const QString appDir = executableFolder();
    if (appDir.isEmpty())
        return {};
    const QStringList found = candidates(appDir);
    for (const QString &candidate : found) {
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
