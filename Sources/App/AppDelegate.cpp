// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "App/AppDelegate.h"

#include "App/AppMenus.h"
#include "App/QuitSignals.h"
#include "App/OpenRequestQueue.h"
#include "App/PreferencesWindow.h"
#include "App/TemplateArchiveDropzoneView.h"
#include "Appearance/AppIcon.h"
#include "Appearance/DarkAppearance.h"
#include "Collections/TemplateArchiveCollection.h"
#include "Collections/TemplateArchiveCollectionController.h"
#include "Collections/TemplateArchiveCollectionWindow.h"
#include "Common/LogCategories.h"
#include "Common/Resources.h"
#include "Common/Version.h"
#include "Documents/CollectionOpeningRules.h"
#include "Documents/DeferredCleanup.h"
#include "Interface/Alert.h"
#include "Interface/OpenDialog.h"
#include "Interface/RecentArchives.h"
#include "Interface/WindowMemory.h"
#include "Library/TemplateLibraryWindow.h"
#include "Projects/ProjectCheckWindow.h"
#include "Projects/TemplateCollector.h"
#include "ui_AboutWindow.h"
#include "ui_StartWindow.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileOpenEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QTimer>

namespace {

const QString VersionFormat = QStringLiteral("Version: %1 (%2)");
const QString VersionString = QStringLiteral(MTI_VERSION_STRING);
constexpr int BuildNumber = MTI_BUILD_NUMBER;

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

QList<TemplateArchiveCollection *> openCollections()
{
    return TemplateArchiveCollectionController::sharedController().collections();
}

// Marks the windows that open archives dropped anywhere on them.
const char *const DropsArchivesProperty = "mtiDropsArchives";

// The template archives among a drag's files; empty when it carries none.
QList<QUrl> draggedArchives(const QMimeData *data)
{
    QList<QUrl> archives;
    if (!data || !data->hasUrls())
        return archives;
    for (const QUrl &url : data->urls()) {
        // The opener's own test, so a drag is refused exactly when nothing would open.
        if (url.isLocalFile() && QFileInfo(url.toLocalFile()).suffix() == QLatin1String("mtzip"))
            archives.append(url);
    }
    return archives;
}

} // namespace

AppDelegate::AppDelegate(QObject *parent)
    : QObject(parent)
    , _startWindow(std::make_unique<QMainWindow>())
    , _aboutWindow(std::make_unique<QDialog>())
    , _startUi(std::make_unique<Ui::StartWindow>())
    , _aboutUi(std::make_unique<Ui::AboutWindow>())
{
    loadWindows();
    _menus = new AppMenus(*this, [this] { return windows(); });
    _openRequests = new OpenRequestQueue([this](const QStringList &paths) { applicationOpenFiles(paths); }, this);
    connect(_startUi->openButton, &QPushButton::clicked, this, &AppDelegate::openTemplates);
    connect(_startUi->browseButton, &QPushButton::clicked, this, &AppDelegate::browseNewTemplates);
    connect(_startUi->libraryButton, &QPushButton::clicked, this, &AppDelegate::showTemplateLibrary);
    connect(_aboutUi->okButton, &QPushButton::clicked, this, &AppDelegate::aboutPanelOk);
#ifdef Q_OS_MACOS
    // A menu bar without a parent is the application's own on macOS.
    _menuBar = _menus->createMenuBar(nullptr);
    _ownsMenuBar = true;
#else
    decorateWindow(_startWindow.get());
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

// Loading the interface: both windows start hidden.
void AppDelegate::loadWindows()
{
    _startUi->setupUi(_startWindow.get());
    _aboutUi->setupUi(_aboutWindow.get());
    _startUi->dropzoneView->setDelegate(this);
    WindowMemory::remember(_startWindow.get(), QStringLiteral("start"));
    QPixmap dropImage(Resources::path(QStringLiteral("DropArchive.png")));
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
    for (QLabel *label : {_startUi->subtitleLabel, _startUi->shopHintLabel, _aboutUi->descriptionLabel,
                          _aboutUi->copyrightLabel})
        setSecondaryText(label);
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

void AppDelegate::decorateWindow(QMainWindow *window)
{
    if (!window)
        return;
    watchCollections();
    _menus->decorateWindow(window);
    // Archives dropped anywhere on it open as from the start window.
    window->setAcceptDrops(true);
    window->setProperty(DropsArchivesProperty, true);
}

QList<QWidget *> AppDelegate::windows() const
{
    QList<QWidget *> windows{_startWindow.get(), _aboutWindow.get(), _libraryWindow.data(), _preferencesWindow.data()};
    for (ProjectCheckWindow *window : projectWindows())
        windows.append(window);
    for (TemplateArchiveCollection *collection : openCollections())
        windows.append(collection->window());
    return windows;
}

void AppDelegate::applicationWillFinishLaunching()
{
    _menus->buildSupportMenu(_startUi->supportButton);
    DarkAppearance::apply(_startWindow.get());
    DarkAppearance::apply(_aboutWindow.get());
    // Popup menus are windows of their own and take no palette from the window.
    for (QMenu *menu : _startWindow->findChildren<QMenu *>())
        DarkAppearance::apply(menu);
    _aboutUi->aboutVersionField->setText(versionText());
}

void AppDelegate::applicationDidFinishLaunching()
{
    // A collection still unpacking shows its window once it has opened.
    bool collectionShown = false;
    for (TemplateArchiveCollection *collection : openCollections())
        collectionShown = collectionShown || collection->isOpening() || collection->window()->isVisible();
    // A project being read shows its window, or its alert, when it is read.
    collectionShown = collectionShown || !projectWindows().isEmpty();
    // Files of which none opened leave nothing else to show: without the
    // start window the process would run on invisibly, and later launches
    // would hand over to it.
    if (!launchedWithOpenFile() || !collectionShown)
        makeKeyAndOrderFront(_startWindow.get());
}

void AppDelegate::applicationOpenFiles(const QStringList &paths)
{
    if (paths.isEmpty())
        return;
    _openRequests->setLaunchedWithOpenFile();
    QList<QUrl> urls;
    QList<QUrl> projects;
    urls.reserve(paths.size());
    for (const QString &path : paths) {
        if (path.isEmpty())
            continue;
        (ProjectCheckWindow::isProjectPath(path) ? projects : urls).append(QUrl::fromLocalFile(path));
    }
    openTemplateArchiveAtURLs(urls);
    checkProjectsAtURLs(projects);
}

void AppDelegate::checkProjectsAtURLs(const QList<QUrl> &urls)
{
    for (const QUrl &url : urls) {
        if (url.isLocalFile())
            checkProject(url.toLocalFile());
    }
}

ProjectCheckWindow *AppDelegate::checkProject(const QString &path)
{
    ProjectCheckWindow::Environment environment = ProjectCheckWindow::Environment::standard();
    // The archives open in collection windows are searched first.
    environment.openArchives = [] {
        QStringList archives;
        for (TemplateArchiveCollection *collection : openCollections())
            for (const QUrl &url : collection->archiveURLs())
                archives.append(url.toLocalFile());
        return archives;
    };
    ProjectCheckWindow *window = ProjectCheckWindow::open(path, environment);
    decorateWindow(window);
    // Open Archive opens it as File > Open does.
    connect(window, &ProjectCheckWindow::openArchivesRequested, this, &AppDelegate::openTemplateArchiveAtURLs);
    connect(window, &QObject::destroyed, this, &AppDelegate::quitIfNothingLeft);
    _projectWindows.append(window);
    return window;
}

QList<ProjectCheckWindow *> AppDelegate::projectWindows() const
{
    QList<ProjectCheckWindow *> windows;
    for (const QPointer<ProjectCheckWindow> &window : _projectWindows)
        if (window)
            windows.append(window);
    return windows;
}

void AppDelegate::collectTemplates()
{
    const QString project = ProjectCheckWindow::chooseProject();
    if (project.isEmpty())
        return;
    const QString zip = TemplateCollector::chooseZip(project);
    if (!zip.isEmpty())
        TemplateCollector::start(project, zip, TemplateCollector::Roots::standard());
}

void AppDelegate::chooseProjectToCheck()
{
    const QString path = ProjectCheckWindow::chooseProject();
    if (!path.isEmpty())
        checkProject(path);
}

bool AppDelegate::applicationOpenFile(const QString &path)
{
    Q_UNUSED(path)
    _openRequests->setLaunchedWithOpenFile();
    return false;
}

bool AppDelegate::launchedWithOpenFile() const
{
    return _openRequests->launchedWithOpenFile();
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
    _openRequests->queueLaunchArguments(paths);
}

void AppDelegate::openPendingFiles()
{
    _openRequests->openPending();
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
        if (!CollectionOpeningRules::isTemplateArchive(url))
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
    for (ProjectCheckWindow *window : projectWindows())
        window->close();
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
        if (!nothingLeft())
            return;
        // Nothing is on screen any more: the unpack folders of closed
        // windows may be removed while the process still waits, briefly;
        // the rest is the next start's.
        emit quitting();
        DeferredCleanup::waitForAll(DeferredCleanup::QuitGraceMs);
        QCoreApplication::quit();
    });
}

bool AppDelegate::nothingLeft() const
{
    // Templates being moved to the Trash are not left half way; the
    // window's end asks again.
    if (!openCollections().isEmpty() || (_libraryWindow && _libraryWindow->isBusy()))
        return false;
    for (const ProjectCheckWindow *window : projectWindows())
        if (window->isBusy())
            return false;
    bool windowShown = false;
    for (const QWidget *window : QApplication::topLevelWidgets()) {
        const Qt::WindowType type = window->windowType();
        windowShown = windowShown || (window->isVisible() && (type == Qt::Window || type == Qt::Dialog));
    }
    // A collection that closed itself after its work was undone hides
    // its window, which Qt does not count as closing the last one.
    return _terminating || !windowShown;
}

void AppDelegate::orderFrontStandardAboutPanel()
{
    makeKeyAndOrderFront(_aboutWindow.get());
}

void AppDelegate::showTemplateLibrary()
{
    if (!_libraryWindow) {
        auto *window = new TemplateLibraryWindow();
        window->setAttribute(Qt::WA_DeleteOnClose);
        WindowMemory::remember(window, QStringLiteral("library"));
        decorateWindow(window);
        // Re-install opens the archive in a collection window, whose install
        // replaces the copies and writes the receipt afresh.
        connect(window, &TemplateLibraryWindow::reinstallRequested, this, &AppDelegate::openTemplateArchiveAtURLs);
        connect(window, &QObject::destroyed, this, &AppDelegate::quitIfNothingLeft);
        _libraryWindow = window;
    }
    makeKeyAndOrderFront(_libraryWindow);
}

void AppDelegate::showPreferences()
{
    if (!_preferencesWindow) {
        // Kept while the application runs: its controls are read afresh on each show.
        _preferencesWindow = new PreferencesWindow();
        _preferencesWindow->setAttribute(Qt::WA_QuitOnClose, false);
        WindowMemory::remember(_preferencesWindow, QStringLiteral("preferences"));
    }
    makeKeyAndOrderFront(_preferencesWindow);
}

PreferencesWindow *AppDelegate::preferencesWindow() const
{
    return _preferencesWindow;
}

void AppDelegate::showStartWindow()
{
    makeKeyAndOrderFront(_startWindow.get());
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
    for (QWidget *window : {static_cast<QWidget *>(_libraryWindow.data()), static_cast<QWidget *>(_startWindow.get()),
                            static_cast<QWidget *>(_aboutWindow.get())}) {
        if (window && window->isVisible()) {
            makeKeyAndOrderFront(window);
            return;
        }
    }
    // Nothing is on screen: a later launch without files gets the start window.
    makeKeyAndOrderFront(_startWindow.get());
}

bool AppDelegate::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == qApp && event->type() == QEvent::FileOpen) {
        _openRequests->queueOpenEvent(static_cast<QFileOpenEvent *>(event)->file());
        return true;
    }
    // Logout or restart on macOS: as for SIGTERM, work under way stops and
    // undoes itself without a question; the windows then close below.
    if (watched == qApp && event->type() == QEvent::Quit && QuitSignals::sessionEnding())
        QuitSignals::quitForSystem("at the session's end");
    if (watched == qApp && event->type() == QEvent::Quit
        && (!openCollections().isEmpty() || (_libraryWindow && _libraryWindow->isBusy()))) {
        // Refused for now, so Qt neither exits at once nor closes windows
        // that defer their close; terminate() asks again once all are gone.
        event->ignore();
        terminate();
        return true;
    }
    const QEvent::Type type = event->type();
    if ((type == QEvent::DragEnter || type == QEvent::DragMove || type == QEvent::Drop) && watched->isWidgetType()
        && static_cast<QWidget *>(watched)->property(DropsArchivesProperty).toBool()) {
        auto *drop = static_cast<QDropEvent *>(event);
        const QList<QUrl> archives = draggedArchives(drop->mimeData());
        if (archives.isEmpty())
            return QObject::eventFilter(watched, event);
        drop->acceptProposedAction();
        if (type == QEvent::Drop) {
            // After the drop has returned to the file manager: opening may ask questions.
            QTimer::singleShot(0, this, [this, archives] { openTemplateArchiveAtURLs(archives); });
        }
        return true;
    }
    if (event->type() == QEvent::Show) {
        if (auto *dialog = qobject_cast<QFileDialog *>(watched))
            OpenDialog::prepare(dialog);
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
    // In list order, so the last one ends up in front; one still unpacking
    // comes up once it has opened.
    for (TemplateArchiveCollection *collection : collections) {
        RecentArchives::add(collection->archiveURLs());
        TemplateArchiveCollectionWindow *window = collection->window();
        decorateWindow(window);
        collection->showWhenOpened();
    }
}
