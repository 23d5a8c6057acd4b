#include "AppDelegate.h"

#include "Resources.h"

#include <QImageReader>

QIcon AppDelegate::appIcon()
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
