// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Collections/TemplateArchiveCollectionWindow.h"
#include "ui_TemplateArchiveCollection.h"

#include <QAction>
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
    , _installSelected(new QAction(this))
    , _uninstallSelected(new QAction(this))
    , _reveal(new QAction(this))
{
    _installSelected->setObjectName(QStringLiteral("installSelectedAction"));
    _uninstallSelected->setObjectName(QStringLiteral("uninstallSelectedAction"));
    _reveal->setObjectName(QStringLiteral("revealAction"));
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
