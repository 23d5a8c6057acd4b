// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "App/TemplateArchiveDropzoneView.h"

#include "App/TemplateArchiveDropzoneViewDelegate.h"

#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDragLeaveEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QTimer>

namespace {

constexpr qreal OutlineInset = 2.0;
constexpr qreal OutlineRadius = 8.0;
constexpr qreal OutlineWidth = 2.0;
constexpr qreal OutlineDash = 8.0; // painted and gap length, in device-independent pixels

// The local paths a drag carries, each with its URL; a folder named like a
// file arrives with a trailing slash, which is dropped.
template<typename Accept>
QList<QUrl> localURLs(const QMimeData *mimeData, Accept accept)
{
    QList<QUrl> found;
    if (!mimeData || !mimeData->hasUrls())
        return found;
    const QList<QUrl> urls = mimeData->urls();
    for (const QUrl &url : urls) {
        // Only local files count; a web address in the list is not a file.
        if (!url.isValid() || !url.isLocalFile())
            continue;
        QString path = url.path();
        while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
            path.chop(1);
        if (accept(QFileInfo(path).suffix()))
            found.append(url);
    }
    return found;
}

} // namespace

TemplateArchiveDropzoneView::TemplateArchiveDropzoneView(QWidget *parent)
    : QLabel(parent)
{
    setAcceptDrops(true);
    setAlignment(Qt::AlignCenter);
    setCursor(Qt::PointingHandCursor);
    setMinimumSize(120, 80);
}

void TemplateArchiveDropzoneView::setImage(const QPixmap &image)
{
    _image = image;
    updateScaledImage();
}

void TemplateArchiveDropzoneView::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    updateScaledImage();
}

void TemplateArchiveDropzoneView::updateScaledImage()
{
    if (_image.isNull()) {
        setPixmap(QPixmap());
        return;
    }
    const qreal ratio = devicePixelRatioF();
    const QSize logical = _image.deviceIndependentSize().toSize();
    const QSize room = contentsRect().size();
    if (logical.width() <= room.width() && logical.height() <= room.height()) {
        setPixmap(_image);
        return;
    }
    QPixmap scaled = _image.scaled(logical.scaled(room, Qt::KeepAspectRatio) * ratio, Qt::KeepAspectRatio,
                                   Qt::SmoothTransformation);
    scaled.setDevicePixelRatio(ratio);
    setPixmap(scaled);
}

QUrl TemplateArchiveDropzoneView::shopURL()
{
    return QUrl(QStringLiteral("https://www.quillfen.com/shop/motion-templates"));
}

QList<QUrl> TemplateArchiveDropzoneView::archiveURLs(const QMimeData *mimeData)
{
    return localURLs(mimeData, [](const QString &suffix) { return suffix == QLatin1String(ArchiveExtension); });
}

QList<QUrl> TemplateArchiveDropzoneView::projectURLs(const QMimeData *mimeData)
{
    return localURLs(mimeData, [](const QString &suffix) {
        return suffix.compare(QLatin1String("fcpxml"), Qt::CaseInsensitive) == 0
            || suffix.compare(QLatin1String("fcpxmld"), Qt::CaseInsensitive) == 0;
    });
}

Qt::DropAction TemplateArchiveDropzoneView::dragOperation(const QMimeData *mimeData)
{
    return archiveURLs(mimeData).isEmpty() && projectURLs(mimeData).isEmpty() ? Qt::IgnoreAction : Qt::CopyAction;
}

void TemplateArchiveDropzoneView::dragEnterEvent(QDragEnterEvent *event)
{
    // The outline waits for the first move, which Qt sends right after an
    // accepted enter. A refused drag gets no moves and no leave here, so the
    // refusal has to clear an outline that a finished drop left behind.
    if (dragOperation(event->mimeData()) == Qt::CopyAction) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
        return;
    }
    event->ignore();
    if (_acceptingDrag) {
        _acceptingDrag = false;
        update();
    }
}

void TemplateArchiveDropzoneView::dragMoveEvent(QDragMoveEvent *event)
{
    const bool accepting = dragOperation(event->mimeData()) == Qt::CopyAction;
    if (accepting) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
    if (accepting != _acceptingDrag) {
        _acceptingDrag = accepting;
        update();
    }
}

void TemplateArchiveDropzoneView::dragLeaveEvent(QDragLeaveEvent *event)
{
    event->accept();
    _acceptingDrag = false;
    update();
}

void TemplateArchiveDropzoneView::dropEvent(QDropEvent *event)
{
    // Qt sends no leave after a drop: the drop itself clears the outline.
    if (_acceptingDrag) {
        _acceptingDrag = false;
        update();
    }
    const QList<QUrl> archives = archiveURLs(event->mimeData());
    const QList<QUrl> projects = projectURLs(event->mimeData());
    if (archives.isEmpty() && projects.isEmpty()) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    // Opening unpacks and may ask questions; doing that on a later turn lets
    // the drag source (the file manager) finish its drag first.
    QTimer::singleShot(0, this, [view = QPointer<TemplateArchiveDropzoneView>(this), archives, projects] {
        if (view && view->_delegate && !archives.isEmpty())
            view->_delegate->openTemplateArchiveAtURLs(archives);
        if (view && view->_delegate && !projects.isEmpty())
            view->_delegate->checkProjectsAtURLs(projects);
    });
}

void TemplateArchiveDropzoneView::mousePressEvent(QMouseEvent *event)
{
    QLabel::mousePressEvent(event);
    if (event->button() != Qt::LeftButton)
        return;
    _highlight = true;
    update();
}

void TemplateArchiveDropzoneView::mouseMoveEvent(QMouseEvent *event)
{
    QLabel::mouseMoveEvent(event);
    if (!(event->buttons() & Qt::LeftButton))
        return;
    const bool inside = rect().contains(event->position().toPoint());
    if (inside != _highlight) {
        _highlight = inside;
        update();
    }
}

void TemplateArchiveDropzoneView::mouseReleaseEvent(QMouseEvent *event)
{
    QLabel::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton)
        return;
    // Released inside opens the page, even when the pointer left and came back.
    if (rect().contains(event->position().toPoint()))
        QDesktopServices::openUrl(shopURL());
    _highlight = false;
    update();
}

void TemplateArchiveDropzoneView::paintEvent(QPaintEvent *event)
{
    QLabel::paintEvent(event);
    if (!_acceptingDrag && !_highlight)
        return;

    QPainter painter(this);
    const QRectF bounds = rect();
    if (_acceptingDrag) {
        painter.setRenderHint(QPainter::Antialiasing);
        // Flat caps: Qt's default square caps would lengthen every dash by
        // a pen width. Qt also measures dash lengths in pen widths.
        QPen pen(QColor::fromRgbF(1.0, 1.0, 1.0, 0.8), OutlineWidth, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
        pen.setDashPattern({OutlineDash / OutlineWidth, OutlineDash / OutlineWidth});
        pen.setDashOffset(0.0);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(bounds.adjusted(OutlineInset, OutlineInset, -OutlineInset, -OutlineInset),
                                OutlineRadius, OutlineRadius);
    }
    if (_highlight) {
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.fillRect(bounds, QColor::fromRgbF(0.0, 0.0, 0.0, 0.25));
    }
}
