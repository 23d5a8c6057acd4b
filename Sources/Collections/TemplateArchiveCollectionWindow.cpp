// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Collections/TemplateArchiveCollectionWindow.h"
#include "ui_TemplateArchiveCollection.h"

#include <QCloseEvent>

namespace {

std::function<void(QMainWindow *)> &decorator()
{
    static std::function<void(QMainWindow *)> sDecorator;
    return sDecorator;
}

} // namespace

TemplateArchiveCollectionWindow::TemplateArchiveCollectionWindow()
    : _ui(std::make_unique<Ui::TemplateArchiveCollection>())
{
    auto *central = new QWidget(this);
    _ui->setupUi(central);
    setCentralWidget(central);
    // The form's own size and title are the window's.
    setWindowTitle(central->windowTitle());
    resize(central->size());
    setMinimumSize(central->minimumSize());
    setObjectName(QStringLiteral("TemplateArchiveCollectionWindow"));
}

TemplateArchiveCollectionWindow::~TemplateArchiveCollectionWindow() = default;

void TemplateArchiveCollectionWindow::setDecorator(std::function<void(QMainWindow *)> value)
{
    decorator() = std::move(value);
}

void TemplateArchiveCollectionWindow::decorate(QMainWindow *window)
{
    if (decorator())
        decorator()(window);
}

void TemplateArchiveCollectionWindow::closeEvent(QCloseEvent *event)
{
    if (_closeHandler && !_closeHandler()) {
        event->ignore();
        return;
    }
    event->accept();
    emit closing();
}

void TemplateArchiveCollectionWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    emit shown();
}
