// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QLabel>
#include <QList>
#include <QUrl>

class QMimeData;
class TemplateArchiveDropzoneViewDelegate;

// The start window's drop target. It accepts a drag when at least one of its
// items is a file URL whose path ends in ".mtzip" (case matters) or names a
// Final Cut Pro project (".fcpxml", ".fcpxmld", any case) and hands those
// URLs, and only those, to its delegate after the drop: archives to be
// opened, projects to be checked. A dashed
// outline shows while an accepted drag is over it; it also works as a link
// to the shop page, darkened while the mouse button is held inside.
class TemplateArchiveDropzoneView : public QLabel
{
    Q_OBJECT

public:
    static constexpr const char *ArchiveExtension = "mtzip";

    explicit TemplateArchiveDropzoneView(QWidget *parent = nullptr);

    // Not owned; may be null, then drops have no effect.
    TemplateArchiveDropzoneViewDelegate *delegate() const { return _delegate; }
    void setDelegate(TemplateArchiveDropzoneViewDelegate *delegate) { _delegate = delegate; }

    // The image shown, scaled down (never up) to fit while keeping its shape.
    void setImage(const QPixmap &image);

    bool acceptingDrag() const { return _acceptingDrag; }
    bool highlight() const { return _highlight; }

    // The archive URLs a drag carries, in the order of its items.
    static QList<QUrl> archiveURLs(const QMimeData *mimeData);
    // The project URLs a drag carries, in the order of its items.
    static QList<QUrl> projectURLs(const QMimeData *mimeData);
    // Qt::CopyAction when the drag carries at least one archive or project, else Qt::IgnoreAction.
    static Qt::DropAction dragOperation(const QMimeData *mimeData);

    static QUrl shopURL();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void updateScaledImage();

    TemplateArchiveDropzoneViewDelegate *_delegate = nullptr;
    bool _acceptingDrag = false;
    bool _highlight = false;
    QPixmap _image;
};
