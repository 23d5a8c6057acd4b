// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
//
// Build-time tool: makes the icons of the desktop integration and the macOS
// bundle from a large rendering of the application's SVG icon.
//
//   mti-icontool SOURCE.png KIND:SIZE:OUTPUT.png ...
//
// KIND "app" is the application icon scaled to SIZE; "document" is the icon
// of an .mtzip archive: a page with a folded corner that carries the
// application icon.
#include <QByteArray>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QString>

#include <cstdio>

namespace {

QImage scaled(const QImage &source, int size)
{
    return source.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

QImage documentIcon(const QImage &source, int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);

    // A portrait page of about 3:4 in the square, as document icons are.
    const qreal height = size * 0.94;
    const qreal width = height * 0.76;
    const QRectF page((size - width) / 2, (size - height) / 2, width, height);
    const qreal fold = width * 0.28;
    const qreal outline = qMax(1.0, size / 64.0);

    QPainterPath sheet;
    sheet.moveTo(page.topLeft());
    sheet.lineTo(page.right() - fold, page.top());
    sheet.lineTo(page.right(), page.top() + fold);
    sheet.lineTo(page.bottomRight());
    sheet.lineTo(page.bottomLeft());
    sheet.closeSubpath();
    painter.setPen(QPen(QColor(0x9a, 0x9a, 0xa0), outline));
    painter.setBrush(QColor(0xfb, 0xfb, 0xfd));
    painter.drawPath(sheet);

    QPainterPath corner;
    corner.moveTo(page.right() - fold, page.top());
    corner.lineTo(page.right() - fold, page.top() + fold);
    corner.lineTo(page.right(), page.top() + fold);
    corner.closeSubpath();
    painter.setBrush(QColor(0xdc, 0xdc, 0xe2));
    painter.drawPath(corner);

    const int badge = qRound(width * 0.78);
    const QImage icon = scaled(source, badge);
    painter.drawImage(QPointF(page.center().x() - icon.width() / 2.0, page.bottom() - icon.height() - height * 0.12), icon);
    painter.end();
    return image;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: mti-icontool SOURCE.png KIND:SIZE:OUTPUT.png ...\n");
        return 2;
    }
    const QImage source(QString::fromLocal8Bit(argv[1]));
    if (source.isNull()) {
        std::fprintf(stderr, "mti-icontool: cannot read %s\n", argv[1]);
        return 1;
    }
    for (int i = 2; i < argc; ++i) {
        // The output path may hold colons itself: split at the first two only.
        const QByteArray spec(argv[i]);
        const qsizetype first = spec.indexOf(':');
        const qsizetype second = first < 0 ? -1 : spec.indexOf(':', first + 1);
        const QByteArray kind = spec.left(first);
        bool sizeOk = false;
        const int size = second < 0 ? 0 : spec.mid(first + 1, second - first - 1).toInt(&sizeOk);
        const QByteArray output = second < 0 ? QByteArray() : spec.mid(second + 1);
        if (!sizeOk || size < 16 || size > 1024 || output.isEmpty() || (kind != "app" && kind != "document")) {
            std::fprintf(stderr, "mti-icontool: bad output %s\n", argv[i]);
            return 2;
        }
        const QImage image = kind == "app" ? scaled(source, size) : documentIcon(source, size);
        if (!image.save(QString::fromLocal8Bit(output), "PNG")) {
            std::fprintf(stderr, "mti-icontool: cannot write %s\n", output.constData());
            return 1;
        }
    }
    return 0;
}
