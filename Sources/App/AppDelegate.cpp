// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "App/AppDelegate.h"

#include "Collections/Alert.h"
#include "Appearance/AppIcon.h"
#include "Appearance/DarkAppearance.h"
#include "Common/LogCategories.h"
#include "Common/Resources.h"
#include "Collections/TemplateArchiveCollection.h"
#include "Collections/TemplateArchiveCollectionController.h"
#include "App/TemplateArchiveDropzoneView.h"
#include "ui_AboutWindow.h"
#include "ui_StartWindow.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QFileOpenEvent>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>
#include <QPushButton>

namespace {

const QString VersionFormat = QStringLiteral("Version: %1 (%2)");
const QString VersionString = QStringLiteral("1.0");
constexpr int BuildNumber = 4;

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
    connect(_aboutUi->okButton, &QPushButton::clicked, this, &AppDelegate::aboutPanelOk);

    buildMenuBar();
    // The platform's open requests (macOS) arrive at the application object.
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

void AppDelegate::buildMenuBar()
{
#ifdef Q_OS_MACOS
    // A menu bar without a parent is the application's own on macOS.
    _menuBar = new QMenuBar(nullptr);
    _ownsMenuBar = true;
#else
    _menuBar = _startWindow->menuBar();
#endif
    QMenu *fileMenu = _menuBar->addMenu(tr("&File"));
    _openAction = fileMenu->addAction(tr("&Open..."), this, &AppDelegate::openTemplates);
    _openAction->setObjectName(QStringLiteral("openAction"));
    _openAction->setShortcut(QKeySequence::Open);
    QAction *browseAction = fileMenu->addAction(tr("&Browse New Templates..."), this,
                                                &AppDelegate::browseNewTemplates);
    browseAction->setObjectName(QStringLiteral("browseAction"));
    fileMenu->addSeparator();
    QAction *closeAction = fileMenu->addAction(tr("&Close Window"), this, [] {
        if (QWidget *window = QApplication::activeWindow())
            window->close();
    });
    closeAction->setObjectName(QStringLiteral("closeWindowAction"));
    closeAction->setShortcut(QKeySequence::Close);
    fileMenu->addSeparator();
    QAction *quitAction = fileMenu->addAction(tr("&Quit"), qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    quitAction->setObjectName(QStringLiteral("quitAction"));
    quitAction->setShortcut(QKeySequence::Quit);
    quitAction->setMenuRole(QAction::QuitRole);

    // On macOS Qt moves About into the application menu by its role.
    QMenu *helpMenu = _menuBar->addMenu(tr("&Help"));
    _aboutAction = helpMenu->addAction(tr("&About Motion Template Installer"), this,
                                       &AppDelegate::orderFrontStandardAboutPanel);
    _aboutAction->setObjectName(QStringLiteral("aboutAction"));
    _aboutAction->setMenuRole(QAction::AboutRole);
}

void AppDelegate::buildSupportMenu()
{
    auto *menu = new QMenu(tr("Support"), _supportButton);
    menu->setObjectName(QStringLiteral("supportMenu"));
    // The pull-down's title entry: it names the button and is not listed.
    QAction *titleEntry = menu->addAction(tr("Support..."));
    titleEntry->setVisible(false);
    for (const SupportEntry &entry : SupportEntries) {
        if (!entry.title) {
            menu->addSeparator();
            continue;
        }
        QAction *action = menu->addAction(tr(entry.title));
        action->setData(entry.tag);
        connect(action, &QAction::triggered, this, [this, action] { supportButtonAction(action); });
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
    if (!_launchedWithOpenFile)
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

    std::optional<Error> error;
    const QList<TemplateArchiveCollection *> collections =
        TemplateArchiveCollection::templateArchivesFromURLs(fileURLs, true, &error);
    if (collections.isEmpty()) {
        // Archives that were open already are told by the collection itself.
        if (error)
            Alert::runModal(error->localizedDescription(), QString(), tr("OK"));
        return;
    }
    bringToFront(collections);
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

void AppDelegate::orderFrontStandardAboutPanel()
{
    makeKeyAndOrderFront(_aboutWindow);
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
    for (QWidget *window : {static_cast<QWidget *>(_startWindow), static_cast<QWidget *>(_aboutWindow)}) {
        if (window->isVisible()) {
            makeKeyAndOrderFront(window);
            return;
        }
    }
}

bool AppDelegate::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FileOpen && watched == qApp) {
        const QString path = static_cast<QFileOpenEvent *>(event)->file();
        if (!path.isEmpty()) {
            // Known at once, so a launch made to open files shows no start
            // window; the files of one turn of the event loop open together.
            _launchedWithOpenFile = true;
            if (_pendingOpenFiles.isEmpty())
                QTimer::singleShot(0, this, &AppDelegate::flushPendingOpenFiles);
            _pendingOpenFiles.append(path);
        }
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void AppDelegate::flushPendingOpenFiles()
{
    const QStringList paths = std::exchange(_pendingOpenFiles, {});
    applicationOpenFiles(paths);
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
    // In list order, so the last one ends up in front.
    for (TemplateArchiveCollection *collection : collections) {
        QWidget *window = collection->window();
        if (!window)
            continue;
#ifndef Q_OS_MACOS
        // The menu bar lives in the start window here, which may be hidden;
        // the collection windows answer its shortcuts too.
        for (const char *name : {"openAction", "closeWindowAction", "quitAction"}) {
            if (QAction *action = _menuBar->findChild<QAction *>(QLatin1String(name)))
                window->addAction(action);
        }
#endif
        makeKeyAndOrderFront(window);
    }
}
