// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QMainWindow>

class QAction;
#include <functional>
#include <memory>

namespace Ui { class TemplateArchiveCollection; }

// The window of one collection: the table, the status line and the buttons
// of TemplateArchiveCollection.ui. It holds no state of the collection; the
// collection decides what a close does (closeHandler) and the window only
// carries that out.
class TemplateArchiveCollectionWindow : public QMainWindow
{
    Q_OBJECT

public:
    TemplateArchiveCollectionWindow();
    ~TemplateArchiveCollectionWindow() override;

    Ui::TemplateArchiveCollection &ui() const { return *_ui; }
    // The table's context menu: its texts and what they do are the collection's.
    QAction *installSelectedAction() const { return _installSelected; }
    QAction *uninstallSelectedAction() const { return _uninstallSelected; }
    QAction *revealAction() const { return _reveal; }

    // Called once for every new collection window before it is first shown
    // (the application adds its menus here). Collections never include App.
    static void setDecorator(std::function<void(QMainWindow *)> decorator);
    static void decorate(QMainWindow *window);

    // Answers whether a close may go ahead now; a busy collection answers
    // false, asks, and closes the window itself later.
    void setCloseHandler(std::function<bool()> handler) { _closeHandler = std::move(handler); }
    // Whether an install or uninstall runs (asked by the application when quitting).
    void setBusyQuery(std::function<bool()> query) { _busyQuery = std::move(query); }
    bool isBusy() const { return _busyQuery && _busyQuery(); }

signals:
    void shown();
    // The close went ahead: the window is about to go.
    void closing();

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    std::unique_ptr<Ui::TemplateArchiveCollection> _ui;
    QAction *_installSelected;
    QAction *_uninstallSelected;
    QAction *_reveal;
    std::function<bool()> _closeHandler;
    std::function<bool()> _busyQuery;
};
