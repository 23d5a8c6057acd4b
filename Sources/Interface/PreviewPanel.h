// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QDialog>
#include <QImage>

class QLabel;

// A larger look at one template's preview, as Space brings it up over a
// table: the image at up to MaximumSize and the title under it. It leaves
// the keys to the table (whose owner shows the next selection in it and
// puts it away on Space or Escape); clicked, it puts itself away on Space,
// Escape or Return.
class PreviewPanel : public QDialog
{
    Q_OBJECT

public:
    static constexpr QSize MaximumSize{960, 540};

    explicit PreviewPanel(QWidget *parent = nullptr);

    // Shows `title` with the preview read from the template folder
    // `folder` (the same files the tables look for); "No Preview" when
    // there is none. Shown already, it changes to that template. With
    // `unpacking`, the files are still on their way: it says so instead.
    void showTemplate(const QString &title, const QString &folder, bool unpacking = false);
    // Whether the last showTemplate() found an image.
    bool hasImage() const { return !_image.isNull(); }
    const QImage &image() const { return _image; }

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    QLabel *_picture;
    QLabel *_title;
    QImage _image;
};
