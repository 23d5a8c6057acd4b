// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Interface/PreviewPanel.h"

#include "Appearance/DarkAppearance.h"
#include "Interface/PreviewLoader.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>

PreviewPanel::PreviewPanel(QWidget *parent)
    : QDialog(parent)
    , _picture(new QLabel(this))
    , _title(new QLabel(this))
{
    setObjectName(QStringLiteral("previewPanel"));
    // Over the table without taking its keys: arrows move the selection and
    // the panel follows, Space puts it away again.
    setWindowFlag(Qt::Tool);
    setAttribute(Qt::WA_ShowWithoutActivating);
    _picture->setObjectName(QStringLiteral("previewPanelImage"));
    _title->setObjectName(QStringLiteral("previewPanelTitle"));
    _picture->setAlignment(Qt::AlignCenter);
    _title->setAlignment(Qt::AlignCenter);
    _title->setTextFormat(Qt::PlainText);
    QFont font = _title->font();
    font.setBold(true);
    _title->setFont(font);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(_picture, 1);
    layout->addWidget(_title);
    // Laid out from its content: the image decides the size.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    DarkAppearance::apply(this);
}

void PreviewPanel::showTemplate(const QString &title, const QString &folder, bool unpacking)
{
    setWindowTitle(title);
    _title->setText(title);
    // One file, read here: the user waits for exactly this image.
    _image = folder.isEmpty() || unpacking ? QImage() : PreviewLoader::load(folder, MaximumSize);
    if (_image.isNull()) {
        _picture->setPixmap(QPixmap());
        _picture->setText(unpacking ? tr("Unpacking…") : tr("No Preview"));
        _picture->setMinimumSize(320, 180);
    } else {
        _picture->setMinimumSize(0, 0);
        _picture->setPixmap(QPixmap::fromImage(_image));
    }
    if (!isVisible())
        show();
    raise();
}

void PreviewPanel::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        close();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}
