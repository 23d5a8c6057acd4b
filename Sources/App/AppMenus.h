// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QObject>

#include <functional>

class AppDelegate;
class QAction;
class QMainWindow;
class QMenu;
class QMenuBar;
class QPushButton;
class QWidget;

// The application's menus: one set of actions (each with its shortcut and
// objectName), the menu bars built from them, the Window menu's list of
// windows and the start window's support pull-down.
class AppMenus : public QObject
{
    Q_OBJECT

public:
    // `windows` lists the application's windows for the Window menu.
    AppMenus(AppDelegate &delegate, std::function<QList<QWidget *>()> windows);

    // A menu bar: the application's own (no parent, macOS) or a window's.
    QMenuBar *createMenuBar(QWidget *parent);
    // Gives window the application's menus, with their shortcuts: on macOS
    // the application's one menu bar serves every window already, elsewhere
    // the window gets a menu bar of its own. Doing it twice changes nothing.
    void decorateWindow(QMainWindow *window);
    // The support pages as the button's pull-down.
    void buildSupportMenu(QPushButton *button);

private:
    void createFileActions();
    void createWindowActions();
    void createSupportActions();
    void fillWindowMenu(QMenu *menu);
    // The archives opened lately, and Clear Menu.
    void fillRecentMenu(QMenu *menu);

    AppDelegate &_delegate;
    std::function<QList<QWidget *>()> _windows;
    QAction *_openAction = nullptr;
    QAction *_browseAction = nullptr;
    QAction *_checkProjectAction = nullptr;
    QAction *_collectTemplatesAction = nullptr;
    QAction *_closeWindowAction = nullptr;
    QAction *_quitAction = nullptr;
    QAction *_minimizeAction = nullptr;
    QAction *_zoomAction = nullptr;
    QAction *_aboutAction = nullptr;
    QAction *_libraryAction = nullptr;
    QAction *_preferencesAction = nullptr;
    QAction *_startWindowAction = nullptr;
    // The support pages, shared by the support button and the menu bars;
    // null is a separator.
    QList<QAction *> _supportActions;
};
