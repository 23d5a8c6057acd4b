// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Appearance/AppIcon.h"

#include "Common/Resources.h"

#include <QByteArray>
#include <QIcon>
#include <QImageReader>
#include <QList>
#include <QPixmap>

namespace AppIcon {

QIcon icon()
{
    static QIcon sAppIcon;
    if (sAppIcon.isNull()) {
        // Found by base name among the image types the platform can read.
        const QList<QByteArray> formats = QImageReader::supportedImageFormats();
        for (const QByteArray &format : formats) {
            const QString path = Resources::path(QStringLiteral("AppIcon_128.") + QString::fromLatin1(format));
            if (path.isEmpty())
                continue;
            const QPixmap pixmap(path);
            if (!pixmap.isNull()) {
                sAppIcon = QIcon(pixmap);
                break;
            }
        }
    }
    return sAppIcon;
}

} // namespace AppIcon
