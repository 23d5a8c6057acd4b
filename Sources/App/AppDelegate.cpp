// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "App/AppDelegate.h"

#include "Collections/Alert.h"
#include "Appearance/AppIcon.h"
#include "Appearance/DarkAppearance.h"
#include "Collections/BackgroundWork.h"
#include "Common/LogCategories.h"
#include "Common/Resources.h"
#include "Common/Version.h"
#include "Collections/TemplateArchiveCollection.h"
#include "Collections/TemplateArchiveCollectionController.h"
#include "App/TemplateArchiveDropzoneView.h"
#include "Library/TemplateLibraryWindow.h"
#include "ui_AboutWindow.h"
#include "ui_StartWindow.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileOpenEvent>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTimer>

namespace {

const QString VersionFormat = QStringLiteral("Version: %1 (%2)");
const QString VersionString = QStringLiteral(MTI_VERSION_STRING);
constexpr int BuildNumber = MTI_BUILD_NUMBER;

const QString MenuBarName = QStringLiteral("appMenuBar");
const QString LastOpenFolderKey = QStringLiteral("OpenDialog/lastFolder");
const char *const PreparedProperty = "mtiOpenDialogPrepared";
// How many entries of the Window menu stay; the list of windows follows them.
const char *const FixedEntriesProperty = "mtiFixedEntries";

struct SupportEntry
{
    const char *title;
    int tag;
};

// In display order; a null title is the separator.
constexpr SupportEntry SupportEntries[] = {
    {"Using Templates Tutorial...", 1},
    {"Templates Performance...", 2},
    {nullptr, 0},
    {"Contact Quillfen Support...", 3},
    {"Knowledge Base...", 4},
    {"Quillfen on Facebook...", 5},
    {"Join Mailing List...", 6},
};

void setSecondaryText(QLabel *label)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, QColor(0xa8, 0xa8, 0xb0));
    label->setPalette(palette);
}

void scaleFont(QLabel *label, qreal factor, bool bold)
{
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * factor);
    font.setBold(bold);
    label->setFont(font);
}

} // namespace

AppDelegate::AppDelegate(QObject *parent)
    : QObject(parent)
    , _startWindowOwner(std::make_unique<QMainWindow>())
    , _aboutWindowOwner(std::make_unique<QDialog>())
    , _startUi(std::make_unique<Ui::StartWindow>())
    , _aboutUi(std::make_unique<Ui::AboutWindow>())
{
    // Loading the interface: both windows start hidden.
    _startUi->setupUi(_startWindowOwner.get());
    _aboutUi->setupUi(_aboutWindowOwner.get());
    _startWindow = _startWindowOwner.get();
    _aboutWindow = _aboutWindowOwner.get();
    _aboutVersionField = _aboutUi->aboutVersionField;
    _supportButton = _startUi->supportButton;

    _startUi->dropzoneView->setDelegate(this);
    const QString illustration = Resources::path(QStringLiteral("DropArchive.png"));
    QPixmap dropImage(illustration);
    if (!dropImage.isNull()) {
        dropImage.setDevicePixelRatio(2.0); // drawn at twice its size for sharp screens
        _startUi->dropzoneView->setImage(dropImage);
    } else {
        qCWarning(lcGui) << "The drop zone's picture is missing from the resources";
        _startUi->dropzoneView->setText(tr("Drop template archives here"));
    }

    const QIcon icon = appIcon();
    if (!icon.isNull()) {
        _startUi->iconLabel->setPixmap(icon.pixmap(56, 56));
        _aboutUi->iconLabel->setPixmap(icon.pixmap(128, 128));
    }
    scaleFont(_startUi->titleLabel, 1.5, true);
    scaleFont(_startUi->dropHintLabel, 1.15, true);
    scaleFont(_aboutUi->nameLabel, 1.35, true);
    setSecondaryText(_startUi->subtitleLabel);
    setSecondaryText(_startUi->shopHintLabel);
    setSecondaryText(_aboutUi->descriptionLabel);
    setSecondaryText(_aboutUi->copyrightLabel);

    connect(_startUi->openButton, &QPushButton::clicked, this, &AppDelegate::openTemplates);
    connect(_startUi->browseButton, &QPushButton::clicked, this, &AppDelegate::browseNewTemplates);
    connect(_startUi->libraryButton, &QPushButton::clicked, this, &AppDelegate::showTemplateLibrary);
    connect(_aboutUi->okButton, &QPushButton::clicked, this, &AppDelegate::aboutPanelOk);

    createActions();
#ifdef Q_OS_MACOS
    // A menu bar without a parent is the application's own on macOS.
    _menuBar = createMenuBar(nullptr);
    _ownsMenuBar = true;
#else
    decorateWindow(_startWindow);
    _menuBar = _startWindow->menuBar();
#endif
    // The platform's open and quit requests arrive at the application
    // object; open dialogs are caught there as they come up.
    qApp->installEventFilter(this);
}

AppDelegate::~AppDelegate()
{
    if (_ownsMenuBar)
        delete _menuBar;
}

QIcon AppDelegate::appIcon()
{
    return AppIcon::icon();
}

QUrl AppDelegate::supportPageURL(int tag)
{
    switch (tag) {
    case 1: return QUrl(QStringLiteral("https://www.quillfen.com/tutorials/installing-motion-templates"));
    case 2: return QUrl(QStringLiteral("https://support.quillfen.com/en-gb/articles/motion-templates-realtime-playback"));
    case 3: return QUrl(QStringLiteral("https://help.quillfen.com/"));
    case 4: return QUrl(QStringLiteral("https://support.quillfen.com/en-gb"));
    case 5: return QUrl(QStringLiteral("https://www.facebook.com/quillfen"));
    case 6: return QUrl(QStringLiteral("https://www.quillfen.com/newsletter/sign-up"));
    default: return {};
    }
}

QUrl AppDelegate::templatePacksShopURL()
{
    return QUrl(QStringLiteral("https://www.quillfen.com/shop/template-packs"));
}

QString AppDelegate::versionText()
{
    return VersionFormat.arg(VersionString).arg(BuildNumber);
}

TemplateArchiveDropzoneView *AppDelegate::dropzoneView() const
{
    return _startUi->dropzoneView;
}

void AppDelegate::createActions()
{
    // One set of actions for every menu bar: a shortcut belongs to its
    // action, and answers in whichever window shows a menu holding it.
    _openAction = new QAction(tr("&Open..."), this);
    _openAction->setObjectName(QStringLiteral("openAction"));
    _openAction->setShortcut(QKeySequence::Open);
    connect(_openAction, &QAction::triggered, this, &AppDelegate::openTemplates);

    _browseAction = new QAction(tr("&Browse New Templates..."), this);
    _browseAction->setObjectName(QStringLiteral("browseAction"));
    connect(_browseAction, &QAction::triggered, this, &AppDelegate::browseNewTemplates);

    _closeWindowAction = new QAction(tr("&Close Window"), this);
    _closeWindowAction->setObjectName(QStringLiteral("closeWindowAction"));
    _closeWindowAction->setShortcut(QKeySequence::Close);
    connect(_closeWindowAction, &QAction::triggered, this, [] {
        if (QWidget *window = QApplication::activeWindow())
            window->close();
    });

    _quitAction = new QAction(tr("&Quit"), this);
    _quitAction->setObjectName(QStringLiteral("quitAction"));
    _quitAction->setShortcut(QKeySequence::Quit);
    _quitAction->setMenuRole(QAction::QuitRole);
    connect(_quitAction, &QAction::triggered, this, &AppDelegate::terminate);

    _minimizeAction = new QAction(tr("&Minimize"), this);
    _minimizeAction->setObjectName(QStringLiteral("minimizeAction"));
    _minimizeAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
    connect(_minimizeAction, &QAction::triggered, this, [] {
        if (QWidget *window = QApplication::activeWindow())
            window->showMinimized();
    });

    _zoomAction = new QAction(tr("&Zoom"), this);
    _zoomAction->setObjectName(QStringLiteral("zoomAction"));
    connect(_zoomAction, &QAction::triggered, this, [] {
        if (QWidget *window = QApplication::activeWindow())
            window->isMaximized() ? window->showNormal() : window->showMaximized();
    });

    _libraryAction = new QAction(tr("Template &Library"), this);
    _libraryAction->setObjectName(QStringLiteral("libraryAction"));
    _libraryAction->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_L));
    connect(_libraryAction, &QAction::triggered, this, &AppDelegate::showTemplateLibrary);

    // On macOS Qt moves About into the application menu by its role.
    _aboutAction = new QAction(tr("&About Motion Template Installer"), this);
    _aboutAction->setObjectName(QStringLiteral("aboutAction"));
    _aboutAction->setMenuRole(QAction::AboutRole);
    connect(_aboutAction, &QAction::triggered, this, &AppDelegate::orderFrontStandardAboutPanel);

    for (const SupportEntry &entry : SupportEntries) {
        if (!entry.title) {
            _supportActions.append(nullptr);
            continue;
        }
        auto *action = new QAction(tr(entry.title), this);
        action->setData(entry.tag);
        action->setMenuRole(QAction::NoRole);
        connect(action, &QAction::triggered, this, [this, action] { supportButtonAction(action); });
        _supportActions.append(action);
    }
}

QMenuBar *AppDelegate::createMenuBar(QWidget *parent)
{
    auto *menuBar = new QMenuBar(parent);
    menuBar->setObjectName(MenuBarName);

    QMenu *fileMenu = menuBar->addMenu(tr("&File"));
    fileMenu->addAction(_openAction);
    fileMenu->addAction(_browseAction);
    fileMenu->addSeparator();
    fileMenu->addAction(_closeWindowAction);
    fileMenu->addSeparator();
    fileMenu->addAction(_quitAction);

    QMenu *windowMenu = menuBar->addMenu(tr("&Window"));
    windowMenu->setObjectName(QStringLiteral("windowMenu"));
    windowMenu->addAction(_libraryAction);
    windowMenu->addSeparator();
    windowMenu->addAction(_minimizeAction);
    windowMenu->addAction(_zoomAction);
    windowMenu->addSeparator();
    windowMenu->setProperty(FixedEntriesProperty, int(windowMenu->actions().size()));
    connect(windowMenu, &QMenu::aboutToShow, this, [this, windowMenu] { fillWindowMenu(windowMenu); });

    QMenu *supportMenu = menuBar->addMenu(tr("&Support"));
    for (QAction *action : std::as_const(_supportActions)) {
        if (action)
            supportMenu->addAction(action);
        else
            supportMenu->addSeparator();
    }

    QMenu *helpMenu = menuBar->addMenu(tr("&Help"));
    helpMenu->addAction(_aboutAction);

    // Popup menus are windows of their own and take no palette from the window.
    for (QMenu *menu : {fileMenu, windowMenu, supportMenu, helpMenu})
        DarkAppearance::apply(menu);
    return menuBar;
}

void AppDelegate::fillWindowMenu(QMenu *menu)
{
    // The commands above the list stay; the list of windows is made afresh.
    const QList<QAction *> entries = menu->actions();
    for (qsizetype i = menu->property(FixedEntriesProperty).toInt(); i < entries.size(); ++i) {
        menu->removeAction(entries.at(i));
        delete entries.at(i);
    }
    QList<QWidget *> windows{_startWindow, _aboutWindow, _libraryWindow.data()};
    for (TemplateArchiveCollection *collection : TemplateArchiveCollectionController::sharedController().collections())
        windows.append(collection->window());
    const QWidget *active = QApplication::activeWindow();
    for (QWidget *window : std::as_const(windows)) {
        if (!window || !window->isVisible())
            continue;
        QAction *entry = menu->addAction(window->windowTitle());
        entry->setCheckable(true);
        entry->setChecked(window == active);
        connect(entry, &QAction::triggered, this, [target = QPointer<QWidget>(window)] {
            if (target)
                makeKeyAndOrderFront(target);
        });
    }
}

void AppDelegate::decorateWindow(QMainWindow *window)
{
    if (!window)
        return;
    watchCollections();
#ifdef Q_OS_MACOS
    Q_UNUSED(window)
#else
    if (window->menuWidget() && window->menuWidget()->objectName() == MenuBarName)
        return;
    window->setMenuBar(createMenuBar(window));
#endif
}

void AppDelegate::buildSupportMenu()
{
    auto *menu = new QMenu(tr("Support"), _supportButton);
    menu->setObjectName(QStringLiteral("supportMenu"));
    // The pull-down's title entry: it names the button and is not listed.
    QAction *titleEntry = menu->addAction(tr("Support..."));
    titleEntry->setVisible(false);
    for (QAction *action : std::as_const(_supportActions)) {
        if (action)
            menu->addAction(action);
        else
            menu->addSeparator();
    }
    QMenu *previous = _supportButton->menu();
    _supportButton->setMenu(menu);
    _supportButton->setText(titleEntry->text());
    if (previous && previous->parent() == _supportButton)
        previous->deleteLater();
}

void AppDelegate::applicationWillFinishLaunching()
{
    buildSupportMenu();
    DarkAppearance::apply(_startWindow);
    DarkAppearance::apply(_aboutWindow);
    // Popup menus are windows of their own and take no palette from the window.
    for (QMenu *menu : _startWindow->findChildren<QMenu *>())
        DarkAppearance::apply(menu);
    _aboutVersionField->setText(versionText());
}

void AppDelegate::applicationDidFinishLaunching()
{
    bool collectionShown = false;
    for (TemplateArchiveCollection *collection : TemplateArchiveCollectionController::sharedController().collections())
        collectionShown = collectionShown || (collection->window() && collection->window()->isVisible());
    // Files of which none opened leave nothing else to show: without the
    // start window the process would run on invisibly, and later launches
    // would hand over to it.
    if (!_launchedWithOpenFile || !collectionShown)
        makeKeyAndOrderFront(_startWindow);
}

void AppDelegate::applicationOpenFiles(const QStringList &paths)
{
    if (paths.isEmpty())
        return;
    _launchedWithOpenFile = true;
    QList<QUrl> urls;
    urls.reserve(paths.size());
    for (const QString &path : paths) {
        if (path.isEmpty())
            continue;
        urls.append(QUrl::fromLocalFile(path));
    }
    openTemplateArchiveAtURLs(urls);
}

bool AppDelegate::applicationOpenFile(const QString &path)
{
    Q_UNUSED(path)
    _launchedWithOpenFile = true;
    return false;
}

QStringList AppDelegate::launchArgumentPaths(const QStringList &arguments)
{
    QStringList paths;
    for (const QString &argument : arguments.mid(1)) {
        if (argument.isEmpty() || argument.startsWith(QLatin1String("-psn_")))
            continue;
        const QString path = argument.startsWith(QLatin1String("file:")) ? QUrl(argument).toLocalFile() : argument;
        if (!path.isEmpty())
            paths.append(QFileInfo(path).absoluteFilePath());
    }
    return paths;
}

void AppDelegate::openLaunchArguments(const QStringList &paths)
{
    for (const QString &path : paths) {
        _launchArguments.append(path);
        queueOpenFile(path);
    }
}

void AppDelegate::queueOpenFile(const QString &path)
{
    if (path.isEmpty() || _pendingOpenFiles.contains(path))
        return;
    // Known at once, so a launch made to open files shows no start window;
    // the files of one turn of the event loop open together.
    _launchedWithOpenFile = true;
    if (_pendingOpenFiles.isEmpty())
        QTimer::singleShot(0, this, &AppDelegate::openPendingFiles);
    _pendingOpenFiles.append(path);
}

void AppDelegate::openPendingFiles()
{
    const QStringList paths = std::exchange(_pendingOpenFiles, {});
    applicationOpenFiles(paths);
}

void AppDelegate::applicationWillTerminate()
{
    TemplateArchiveCollectionController::sharedController().closeAllCollections();
}

void AppDelegate::openTemplateArchiveAtURLs(const QList<QUrl> &urls)
{
    if (urls.isEmpty())
        return;
    QList<QUrl> fileURLs;
    for (const QUrl &url : urls) {
        if (url.isLocalFile())
            fileURLs.append(url);
    }
    if (fileURLs.isEmpty())
        return;

    QList<QPointer<QWidget>> alreadyOpen;
    for (TemplateArchiveCollection *collection : TemplateArchiveCollectionController::sharedController().collections()) {
        for (const QUrl &url : std::as_const(fileURLs)) {
            if (collection->archiveURLs().contains(url) && collection->window()) {
                alreadyOpen.append(collection->window());
                break;
            }
        }
    }

    std::optional<Error> error;
    const QList<TemplateArchiveCollection *> collections =
        TemplateArchiveCollection::templateArchivesFromURLs(fileURLs, true, &error);
    // Archives that were open already are told by the collection itself;
    // their windows come forward, behind any new one.
    for (const QPointer<QWidget> &window : std::as_const(alreadyOpen)) {
        if (window)
            makeKeyAndOrderFront(window);
    }
    if (collections.isEmpty()) {
        if (error)
            Alert::runModal(error->localizedDescription(), QString(), tr("OK"));
    } else {
        bringToFront(collections);
    }
    tellNotArchives(fileURLs);
}

void AppDelegate::tellNotArchives(const QList<QUrl> &urls)
{
    // The same test as the collection's, which passes these over silently.
    QStringList names;
    for (const QUrl &url : urls) {
        if (QFileInfo(url.path()).suffix() != QLatin1String("mtzip"))
            names.append(QFileInfo(url.toLocalFile()).fileName());
    }
    if (names.isEmpty())
        return;
    const QString message = names.size() == 1
        ? tr("“%1” is not a template archive.").arg(names.first())
        : tr("These files are not template archives: %1.").arg(names.join(QStringLiteral(", ")));
    Alert::runModal(message, tr("Only template archives, files whose names end in “.mtzip”, can be opened."),
                    tr("OK"));
}

QString AppDelegate::openDialogFolder()
{
    const QString last = QSettings().value(LastOpenFolderKey).toString();
    if (!last.isEmpty() && QFileInfo(last).isDir())
        return last;
    const QString downloads = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    if (!downloads.isEmpty() && QFileInfo(downloads).isDir())
        return downloads;
    return QDir::homePath();
}

void AppDelegate::prepareOpenDialog(QFileDialog *dialog)
{
    if (!dialog || dialog->property(PreparedProperty).toBool())
        return;
    dialog->setProperty(PreparedProperty, true);
    dialog->setDirectory(openDialogFolder());
    DarkAppearance::apply(dialog);
    connect(dialog, &QDialog::accepted, dialog, [dialog] {
        const QStringList chosen = dialog->selectedFiles();
        const QString folder = chosen.isEmpty() ? dialog->directory().absolutePath()
                                                : QFileInfo(chosen.first()).absolutePath();
        QSettings().setValue(LastOpenFolderKey, folder);
    });
}

void AppDelegate::openTemplates()
{
    bringToFront(TemplateArchiveCollection::openNewTemplateArchives());
}

void AppDelegate::browseNewTemplates()
{
    QDesktopServices::openUrl(templatePacksShopURL());
}

void AppDelegate::supportButtonAction(QAction *sender)
{
    const int tag = sender ? sender->data().toInt() : 0;
    const QUrl page = supportPageURL(tag);
    if (page.isEmpty())
        return;
    QDesktopServices::openUrl(page);
}

void AppDelegate::terminate()
{
    _terminating = true;
    watchCollections();
    const QList<TemplateArchiveCollection *> open = TemplateArchiveCollectionController::sharedController().collections();
    QList<QPointer<TemplateArchiveCollection>> collections(open.cbegin(), open.cend());
    for (const QPointer<TemplateArchiveCollection> &collection : std::as_const(collections)) {
        if (!collection)
            continue;
        // Through the window, so a busy one can put its close off until its
        // work is stopped and undone.
        if (QWidget *window = collection->window())
            window->close();
        else
            collection->close();
    }
    // A library window that is removing templates closes when that is done.
    if (_libraryWindow)
        _libraryWindow->close();
    quitIfNothingLeft();
}

void AppDelegate::watchCollections()
{
    for (TemplateArchiveCollection *collection : TemplateArchiveCollectionController::sharedController().collections())
        connect(collection, &QObject::destroyed, this, &AppDelegate::quitIfNothingLeft, Qt::UniqueConnection);
}

void AppDelegate::quitIfNothingLeft()
{
    if (_quitScheduled)
        return;
    _quitScheduled = true;
    // On a later turn: a collection that goes away is still being destroyed,
    // and the window that follows (the open dialog after "Yes") not yet up.
    QTimer::singleShot(0, this, [this] {
        _quitScheduled = false;
        if (!TemplateArchiveCollectionController::sharedController().collections().isEmpty())
            return;
        // Templates being moved to the Trash are not left half way; the
        // window's end asks again.
        if (_libraryWindow && _libraryWindow->isBusy())
            return;
        bool windowShown = false;
        const QList<QWidget *> windows = QApplication::topLevelWidgets();
        for (const QWidget *window : windows) {
            const Qt::WindowType type = window->windowType();
            windowShown = windowShown || (window->isVisible() && (type == Qt::Window || type == Qt::Dialog));
        }
        // A collection that closed itself after its work was undone hides
        // its window, which Qt does not count as closing the last one.
        if (_terminating || !windowShown) {
            // Nothing is on screen any more: the unpack folders of closed
            // windows may be removed while the process still waits.
            DeferredCleanup::waitForAll();
            QCoreApplication::quit();
        }
    });
}

void AppDelegate::orderFrontStandardAboutPanel()
{
    makeKeyAndOrderFront(_aboutWindow);
}

TemplateLibraryWindow *AppDelegate::templateLibraryWindow() const
{
    return _libraryWindow;
}

void AppDelegate::showTemplateLibrary()
{
    if (!_libraryWindow) {
        auto *window = new TemplateLibraryWindow();
        window->setAttribute(Qt::WA_DeleteOnClose);
        decorateWindow(window);
        // Re-install opens the archive in a collection window, whose install
        // replaces the copies and writes the receipt afresh.
        connect(window, &TemplateLibraryWindow::reinstallRequested, this, &AppDelegate::openTemplateArchiveAtURLs);
        connect(window, &QObject::destroyed, this, &AppDelegate::quitIfNothingLeft);
        _libraryWindow = window;
    }
    makeKeyAndOrderFront(_libraryWindow);
}

void AppDelegate::aboutPanelOk()
{
    // Hidden, not closed: it is shown again by the next About.
    _aboutWindow->hide();
}

void AppDelegate::activateFrontWindow()
{
    const QList<TemplateArchiveCollection *> collections =
        TemplateArchiveCollectionController::sharedController().collections();
    for (auto it = collections.crbegin(); it != collections.crend(); ++it) {
        QWidget *window = (*it)->window();
        if (window && window->isVisible()) {
            makeKeyAndOrderFront(window);
            return;
        }
    }
    for (QWidget *window : {static_cast<QWidget *>(_libraryWindow.data()), static_cast<QWidget *>(_startWindow),
                            static_cast<QWidget *>(_aboutWindow)}) {
        if (window && window->isVisible()) {
            makeKeyAndOrderFront(window);
            return;
        }
    }
    // Nothing is on screen: a later launch without files gets the start window.
    makeKeyAndOrderFront(_startWindow);
}

bool AppDelegate::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == qApp && event->type() == QEvent::FileOpen) {
        const QString path = static_cast<QFileOpenEvent *>(event)->file();
        // A path from the command line that the platform passes on as well
        // is opened once.
        if (!_launchArguments.removeOne(path))
            queueOpenFile(path);
        return true;
    }
    if (watched == qApp && event->type() == QEvent::Quit
        && (!TemplateArchiveCollectionController::sharedController().collections().isEmpty()
            || (_libraryWindow && _libraryWindow->isBusy()))) {
        // Refused for now, so Qt neither exits at once nor closes windows
        // that defer their close; terminate() asks again once all are gone.
        event->ignore();
        terminate();
        return true;
    }
    if (event->type() == QEvent::Show) {
        if (auto *dialog = qobject_cast<QFileDialog *>(watched))
            prepareOpenDialog(dialog);
    }
    return QObject::eventFilter(watched, event);
}

void AppDelegate::makeKeyAndOrderFront(QWidget *window)
{
    if (!window)
        return;
    if (window->isMinimized())
        window->showNormal();
    else
        window->show();
    window->raise();
    window->activateWindow();
}

void AppDelegate::bringToFront(const QList<TemplateArchiveCollection *> &collections)
{
    watchCollections();
    // In list order, so the last one ends up in front.
    for (TemplateArchiveCollection *collection : collections) {
        QWidget *window = collection->window();
        if (!window)
            continue;
        if (auto *mainWindow = qobject_cast<QMainWindow *>(window)) {
            decorateWindow(mainWindow);
        } else {
#ifndef Q_OS_MACOS
            // A window without a menu bar of its own still answers the
            // menus' shortcuts.
            window->addActions({_openAction, _closeWindowAction, _quitAction, _minimizeAction, _libraryAction});
#endif
        }
        makeKeyAndOrderFront(window);
    }
}
