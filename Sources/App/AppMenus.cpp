// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "App/AppMenus.h"

#include "App/AppDelegate.h"
#include "Appearance/DarkAppearance.h"
#include "Interface/RecentArchives.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>

namespace {

const QString MenuBarName = QStringLiteral("appMenuBar");
// How many entries of the Window menu stay; the list of windows follows them.
const char *const FixedEntriesProperty = "mtiFixedEntries";

struct SupportEntry
{
    const char *title;
    int tag;
};

// In display order; a null title is the separator.
constexpr SupportEntry SupportEntries[] = {
    {QT_TRANSLATE_NOOP("AppDelegate", "Using Templates Tutorial..."), 1},
    {QT_TRANSLATE_NOOP("AppDelegate", "Templates Performance..."), 2},
    {nullptr, 0},
    {QT_TRANSLATE_NOOP("AppDelegate", "Contact Quillfen Support..."), 3},
    {QT_TRANSLATE_NOOP("AppDelegate", "Knowledge Base..."), 4},
    {QT_TRANSLATE_NOOP("AppDelegate", "Quillfen on Facebook..."), 5},
    {QT_TRANSLATE_NOOP("AppDelegate", "Join Mailing List..."), 6},
};

QAction *newAction(QObject *owner, const QString &text, const char *name)
{
    auto *action = new QAction(text, owner);
    action->setObjectName(QLatin1String(name));
    return action;
}

} // namespace

AppMenus::AppMenus(AppDelegate &delegate, std::function<QList<QWidget *>()> windows)
    : QObject(&delegate)
    , _delegate(delegate)
    , _windows(std::move(windows))
{
    // One set of actions for every menu bar: a shortcut belongs to its
    // action, and answers in whichever window shows a menu holding it.
    createFileActions();
    createWindowActions();
    createSupportActions();
}

void AppMenus::createFileActions()
{
    _openAction = newAction(this, AppDelegate::tr("&Open..."), "openAction");
    _openAction->setShortcut(QKeySequence::Open);
    connect(_openAction, &QAction::triggered, &_delegate, &AppDelegate::openTemplates);

    _browseAction = newAction(this, AppDelegate::tr("&Browse New Templates..."), "browseAction");
    connect(_browseAction, &QAction::triggered, &_delegate, &AppDelegate::browseNewTemplates);

    _checkProjectAction = newAction(this, AppDelegate::tr("Check &Project..."), "checkProjectAction");
    connect(_checkProjectAction, &QAction::triggered, &_delegate, &AppDelegate::chooseProjectToCheck);
    _collectTemplatesAction = newAction(this, AppDelegate::tr("Collect &Templates..."), "collectTemplatesAction");
    connect(_collectTemplatesAction, &QAction::triggered, &_delegate, &AppDelegate::collectTemplates);

    _closeWindowAction = newAction(this, AppDelegate::tr("&Close Window"), "closeWindowAction");
    _closeWindowAction->setShortcut(QKeySequence::Close);
    connect(_closeWindowAction, &QAction::triggered, this, [] {
        if (QWidget *window = QApplication::activeWindow())
            window->close();
    });

    // On macOS Qt moves it into the application menu by its role.
    _preferencesAction = newAction(this, AppDelegate::tr("&Preferences..."), "preferencesAction");
    _preferencesAction->setMenuRole(QAction::PreferencesRole);
    _preferencesAction->setShortcut(QKeySequence::Preferences);
    if (_preferencesAction->shortcut().isEmpty())
        _preferencesAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    connect(_preferencesAction, &QAction::triggered, &_delegate, &AppDelegate::showPreferences);

    _quitAction = newAction(this, AppDelegate::tr("&Quit"), "quitAction");
    _quitAction->setShortcut(QKeySequence::Quit);
    _quitAction->setMenuRole(QAction::QuitRole);
    connect(_quitAction, &QAction::triggered, &_delegate, &AppDelegate::terminate);
}

void AppMenus::createWindowActions()
{
    _minimizeAction = newAction(this, AppDelegate::tr("&Minimize"), "minimizeAction");
    _minimizeAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
    connect(_minimizeAction, &QAction::triggered, this, [] {
        if (QWidget *window = QApplication::activeWindow())
            window->showMinimized();
    });

    _zoomAction = newAction(this, AppDelegate::tr("&Zoom"), "zoomAction");
    connect(_zoomAction, &QAction::triggered, this, [] {
        if (QWidget *window = QApplication::activeWindow())
            window->isMaximized() ? window->showNormal() : window->showMaximized();
    });

    _libraryAction = newAction(this, AppDelegate::tr("Template &Library"), "libraryAction");
    _libraryAction->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_L));
    connect(_libraryAction, &QAction::triggered, &_delegate, &AppDelegate::showTemplateLibrary);

    // Opened with an archive, the application shows no start window; here it is.
    _startWindowAction = newAction(this, AppDelegate::tr("&Start Window"), "startWindowAction");
    connect(_startWindowAction, &QAction::triggered, &_delegate, &AppDelegate::showStartWindow);

    // On macOS Qt moves About into the application menu by its role.
    _aboutAction = newAction(this, AppDelegate::tr("&About Motion Template Installer"), "aboutAction");
    _aboutAction->setMenuRole(QAction::AboutRole);
    connect(_aboutAction, &QAction::triggered, &_delegate, &AppDelegate::orderFrontStandardAboutPanel);
}

void AppMenus::createSupportActions()
{
    for (const SupportEntry &entry : SupportEntries) {
        if (!entry.title) {
            _supportActions.append(nullptr);
            continue;
        }
        auto *action = new QAction(AppDelegate::tr(entry.title), this);
        action->setData(entry.tag);
        action->setMenuRole(QAction::NoRole);
        connect(action, &QAction::triggered, &_delegate, [this, action] { _delegate.supportButtonAction(action); });
        _supportActions.append(action);
    }
}

QMenuBar *AppMenus::createMenuBar(QWidget *parent)
{
    auto *menuBar = new QMenuBar(parent);
    menuBar->setObjectName(MenuBarName);

    QMenu *fileMenu = menuBar->addMenu(AppDelegate::tr("&File"));
    fileMenu->addAction(_openAction);
    QMenu *recentMenu = fileMenu->addMenu(AppDelegate::tr("Open &Recent"));
    recentMenu->setObjectName(QStringLiteral("recentMenu"));
    connect(recentMenu, &QMenu::aboutToShow, this, [this, recentMenu] { fillRecentMenu(recentMenu); });
    fillRecentMenu(recentMenu);
    fileMenu->addAction(_browseAction);
    fileMenu->addSeparator();
    fileMenu->addAction(_preferencesAction);
    fileMenu->addSeparator();
    fileMenu->addActions({_checkProjectAction, _collectTemplatesAction});
    fileMenu->addSeparator();
    fileMenu->addAction(_closeWindowAction);
    fileMenu->addSeparator();
    fileMenu->addAction(_quitAction);

    QMenu *windowMenu = menuBar->addMenu(AppDelegate::tr("&Window"));
    windowMenu->setObjectName(QStringLiteral("windowMenu"));
    windowMenu->addAction(_libraryAction);
    windowMenu->addAction(_startWindowAction);
    windowMenu->addSeparator();
    windowMenu->addActions({_minimizeAction, _zoomAction});
    windowMenu->addSeparator();
    windowMenu->setProperty(FixedEntriesProperty, int(windowMenu->actions().size()));
    connect(windowMenu, &QMenu::aboutToShow, this, [this, windowMenu] { fillWindowMenu(windowMenu); });

    QMenu *supportMenu = menuBar->addMenu(AppDelegate::tr("&Support"));
    for (QAction *action : std::as_const(_supportActions)) {
        if (action)
            supportMenu->addAction(action);
        else
            supportMenu->addSeparator();
    }

    QMenu *helpMenu = menuBar->addMenu(AppDelegate::tr("&Help"));
    helpMenu->addAction(_aboutAction);

    // Popup menus are windows of their own and take no palette from the window.
    for (QMenu *menu : {fileMenu, recentMenu, windowMenu, supportMenu, helpMenu})
        DarkAppearance::apply(menu);
    return menuBar;
}

void AppMenus::fillWindowMenu(QMenu *menu)
{
    // The commands above the list stay; the list of windows is made afresh.
    const QList<QAction *> entries = menu->actions();
    for (qsizetype i = menu->property(FixedEntriesProperty).toInt(); i < entries.size(); ++i) {
        menu->removeAction(entries.at(i));
        delete entries.at(i);
    }
    const QWidget *active = QApplication::activeWindow();
    for (QWidget *window : _windows()) {
        if (!window || !window->isVisible())
            continue;
        QAction *entry = menu->addAction(window->windowTitle());
        entry->setCheckable(true);
        entry->setChecked(window == active);
        connect(entry, &QAction::triggered, this, [target = QPointer<QWidget>(window)] {
            if (target)
                AppDelegate::makeKeyAndOrderFront(target);
        });
    }
}

void AppMenus::fillRecentMenu(QMenu *menu)
{
    menu->clear();
    const QStringList recent = RecentArchives::paths();
    for (const QString &path : recent) {
        QAction *entry = menu->addAction(QFileInfo(path).fileName());
        entry->setToolTip(path);
        entry->setData(path);
        connect(entry, &QAction::triggered, &_delegate,
                [this, path] { _delegate.openTemplateArchiveAtURLs({QUrl::fromLocalFile(path)}); });
    }
    menu->addSeparator();
    QAction *clear = menu->addAction(AppDelegate::tr("Clear Menu"));
    clear->setObjectName(QStringLiteral("clearRecentAction"));
    clear->setEnabled(!recent.isEmpty());
    connect(clear, &QAction::triggered, this, [] { RecentArchives::clear(); });
    menu->setEnabled(true);
}

void AppMenus::decorateWindow(QMainWindow *window)
{
#ifdef Q_OS_MACOS
    Q_UNUSED(window)
#else
    if (!window || (window->menuWidget() && window->menuWidget()->objectName() == MenuBarName))
        return;
    window->setMenuBar(createMenuBar(window));
#endif
}

void AppMenus::buildSupportMenu(QPushButton *button)
{
    auto *menu = new QMenu(AppDelegate::tr("Support"), button);
    menu->setObjectName(QStringLiteral("supportMenu"));
    // The pull-down's title entry: it names the button and is not listed.
    QAction *titleEntry = menu->addAction(AppDelegate::tr("Support..."));
    titleEntry->setVisible(false);
    for (QAction *action : std::as_const(_supportActions)) {
        if (action)
            menu->addAction(action);
        else
            menu->addSeparator();
    }
    QMenu *previous = button->menu();
    button->setMenu(menu);
    button->setText(titleEntry->text());
    if (previous && previous->parent() == button)
        previous->deleteLater();
}
