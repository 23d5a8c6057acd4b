// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Installer/TemplateFolders.h"

#include "Common/DiagnosticLog.h"
#include "Common/LogCategories.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace TemplateFolders {

QString forThisUser()
{
    static QString sFolder;
    if (sFolder.isEmpty()) {
        QStringList movies = QStandardPaths::standardLocations(QStandardPaths::MoviesLocation);
        // Qt's test mode keeps every other location out of the real home;
        // on Linux it leaves the Movies folder alone, so do it here.
        if (QStandardPaths::isTestModeEnabled())
            movies = {QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Movies")};
        // Without HOME, Qt builds the folder on "/" ("//Videos"): a place
        // nobody chose. One the user-dirs file names outright still counts.
        if (!movies.isEmpty() && qEnvironmentVariableIsEmpty("HOME")
            && QFileInfo(QDir::cleanPath(movies.first())).path() == QDir::rootPath())
            movies.clear();
        if (movies.isEmpty() || movies.first().isEmpty()) {
            MTI_DIAGNOSTIC(lcInstall, QStringLiteral("No movies directory found"));
            return {};
        }
        sFolder = movies.first() + QStringLiteral("/Motion Templates.localized");
    }
    return sFolder;
}

QString forAllUsers()
{
#if defined(Q_OS_MACOS)
    const QString applicationSupport = QStringLiteral("/Library/Application Support");
#else
    // The all-users data folder: the last generic data location is the
    // system's own (/usr/share on most Linux systems).
    const QStringList locations = QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation);
    const QString applicationSupport = locations.size() > 1 ? locations.last() : QString();
#endif
    if (applicationSupport.isEmpty()) {
        MTI_DIAGNOSTIC(lcInstall, QStringLiteral("No local application support directory found"));
        return {};
    }
    return applicationSupport + QStringLiteral("/Final Cut Pro/Templates");
}

} // namespace TemplateFolders
