// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "App/AppDelegate.h"
#include "Appearance/DarkAppearance.h"
#include "App/OpenFilesChannel.h"
#include "App/QuitSignals.h"
#include "Collections/TemplateArchiveCollection.h"
#include "Collections/TemplateArchiveCollectionController.h"
#include "App/TemplateArchiveDropzoneView.h"
#include "Documents/DeferredCleanup.h"
#include "Interface/OpenDialog.h"
#include "Library/TemplateLibraryWindow.h"
#include "Installer/TemplateInstallerV2.h"
#include "FaultHooks.h"
#include "TestSupport.h"
#include "ZipArchive/ZipArchive.h"

#include <QAction>
#include <QDesktopServices>
#include <QDialog>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileOpenEvent>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QTableView>
#include <QHeaderView>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <thread>

#ifdef Q_OS_UNIX
#include <csignal>
#include <unistd.h>
#endif

namespace {

// The application's windows, found as the user sees them: by their names.
template <class Window>
Window *shownOrHidden(const QString &name)
{
    const QList<QWidget *> windows = QApplication::topLevelWidgets();
    for (QWidget *widget : windows) {
        auto *window = qobject_cast<Window *>(widget);
        if (window && window->objectName() == name)
            return window;
    }
    return nullptr;
}

QMainWindow *startWindow()
{
    return shownOrHidden<QMainWindow>(QStringLiteral("StartWindow"));
}

QDialog *aboutWindow()
{
    return shownOrHidden<QDialog>(QStringLiteral("AboutWindow"));
}

QLabel *aboutVersionField()
{
    return aboutWindow()->findChild<QLabel *>(QStringLiteral("aboutVersionField"));
}

QPushButton *supportButton()
{
    return startWindow()->findChild<QPushButton *>(QStringLiteral("supportButton"));
}

TemplateArchiveDropzoneView *dropzoneView()
{
    return startWindow()->findChild<TemplateArchiveDropzoneView *>(QStringLiteral("dropzoneView"));
}

// The library window while it is on screen (a closed one is on its way out).
TemplateLibraryWindow *libraryWindow()
{
    auto *window = shownOrHidden<TemplateLibraryWindow>(QStringLiteral("TemplateLibraryWindow"));
    return window && window->isVisible() ? window : nullptr;
}

// Collections unpack on a worker: true once none is still opening (and the
// windows of those opened are up).
bool collectionsOpened()
{
    return QTest::qWaitFor([] {
        const QList<TemplateArchiveCollection *> open = TemplateArchiveCollectionController::sharedController().collections();
        return std::none_of(open.cbegin(), open.cend(),
                            [](const TemplateArchiveCollection *collection) {
                                return collection->isOpening() || collection->isUnpacking();
                            });
    }, 20000);
}

QAction *action(const AppDelegate *delegate, const char *name)
{
    return delegate->findChild<QAction *>(QLatin1String(name));
}

// Presses the first button of every alert that comes up, also inside a
// modal loop, and keeps what each said.
class AlertAnswerer : public QObject
{
public:
    AlertAnswerer()
    {
        connect(&_timer, &QTimer::timeout, this, [this] {
            const QList<QWidget *> windows = QApplication::topLevelWidgets();
            for (QWidget *window : windows) {
                auto *box = qobject_cast<QMessageBox *>(window);
                if (!box || !box->isVisible() || box->buttons().isEmpty())
                    continue;
                seen.append(box->text() + QLatin1Char('\n') + box->informativeText());
                box->buttons().first()->click();
            }
        });
        _timer.start(20);
    }
    QStringList seen;

private:
    QTimer _timer;
};

// Rejects the next open dialog, noting where it started and how it looked.
class OpenDialogWatcher : public QObject
{
public:
    OpenDialogWatcher()
    {
        connect(&_timer, &QTimer::timeout, this, [this] {
            for (QWidget *window : QApplication::topLevelWidgets()) {
                auto *dialog = qobject_cast<QFileDialog *>(window);
                if (!dialog || !dialog->isVisible())
                    continue;
                folder = dialog->directory().absolutePath();
                windowColour = dialog->palette().color(QPalette::Window);
                ++shown;
                dialog->reject();
            }
        });
        _timer.start(20);
    }
    int shown = 0;
    QString folder;
    QColor windowColour;

private:
    QTimer _timer;
};

} // namespace

class tst_App : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void appIconIsLoadedOnceAndKept();
    void supportMenuEntries();
    void supportEntryOpensItsPage_data();
    void supportEntryOpensItsPage();
    void entriesWithoutAPageOpenNothing();
    void aboutWindowShowsTheFixedVersion();
    void launchingShowsTheDarkStartWindow();
    void tabOnTheStartWindowGoesLeftToRight();
    void startWindowFitsItsGermanTexts();
    void emptyOpenFilesRequestKeepsTheStartWindow();
    void launchToOpenTwoArchivesGivesOneCollection();
    void launchWithoutArchivesTellsAndShowsTheStartWindow_data();
    void launchWithoutArchivesTellsAndShowsTheStartWindow();
    void laterLaunchWithoutFilesShowsAWindow();
    void openingWhileRunningLeavesTheStartWindow();
    void openingAnOpenArchiveBringsItsWindowForward();
    void launchArgumentPaths_data();
    void launchArgumentPaths();
    void commandLinePathAlsoSentByThePlatformOpensOnce();
    void everyWindowGetsTheMenus();
    void oneLibraryWindowFromTheMenuAndTheStartWindow();
    void headersAlignAlikeInBothWindows();
    void menuShortcutsAnswerInADecoratedWindow_data();
    void menuShortcutsAnswerInADecoratedWindow();
    void openDialogStartsInTheLastFolderElseDownloads_data();
    void openDialogStartsInTheLastFolderElseDownloads();
    void openDialogRemembersItsFolder();
    void onlyFileURLsArePassedOn();
    void dropOnTheStartWindowOpensTheArchive();
    void quittingClosesAllCollections();
    void openRequestsReachTheRunningInstance();
    void staleSocketIsReplaced();
    void liveSocketIsNotTakenOver();
    void simultaneousLaunchesMeetInOneInstance();
    void aSlowCleanUpHoldsNeitherTheQuitNorTheChannel();
    void closingTheLastWindowQuits();
    void quittingDuringAnInstallUndoesItAndQuits_data();
    void quittingDuringAnInstallUndoesItAndQuits();
    void signalEndsTheLaunchAlert_data();
    void signalEndsTheLaunchAlert();
    void signalEndsTheDeleteArchiveQuestion_data();
    void signalEndsTheDeleteArchiveQuestion();
    void signalDuringAnInstallStopsItWithoutAsking_data();
    void signalDuringAnInstallStopsItWithoutAsking();

public:
    // A launch's first step, played by a child process of this test: claims
    // the channel for `path`; as the instance, prints every path it is given
    // until it has `expected` of them, one a line after "instance".
    // It waits until the wall clock reaches `startAt` (ms since the epoch),
    // so that all of them claim at the same moment.
    static int claimChannel(const QString &name, const QString &path, int expected, qint64 startAt);
    // Another child: opens `archive` as the application does, catching the
    // quit signals as it does, installs it, and prints "question" once
    // "Delete Template Archive?" is up and "quit" when the event loop ends.
    static int installAndWaitAtTheDeleteQuestion(const QString &archive);
    // Another: starts installing `archive` and sends itself SIGTERM while
    // the install runs; prints "asked" if "Stop installing?" came up, and
    // "quit" when the event loop ends.
    // The quit comes as SIGTERM, or as the session manager's request at logout.
    static int signalItselfDuringAnInstall(const QString &archive, bool sessionEnd);

private:
    // The environment of a child that must meet no other instance: its own
    // temporary folder (the single-instance channel's socket lies there).
    static QProcessEnvironment childEnvironment(const QString &home, const QString &temp);
    // A category-prefixed archive with `count` title templates in it.
    QString makeArchive(const QString &name, const QString &templateName, int count = 1);
    // Runs the event loop like main() until the application quits; false
    // when it had not quit after ten seconds.
    static bool runUntilQuit(const std::function<void()> &start);
    static QList<TemplateArchiveCollection *> collections()
    {
        return TemplateArchiveCollectionController::sharedController().collections();
    }

    QTemporaryDir _home;
    QTemporaryDir _work;
    std::unique_ptr<AppDelegate> _delegate;
    TestSupport::UrlRecorder _browser;
    QString _archiveA;
    QString _archiveB;
    QString _notes;
};

void tst_App::initTestCase()
{
    QVERIFY(_home.isValid());
    QVERIFY(_work.isValid());
    // Installs and their destination stay inside the temporary home.
    qputenv("HOME", _home.path().toLocal8Bit());
    QStandardPaths::setTestModeEnabled(true);
    const QString destinationRoot = TemplateInstaller::userDestMotionTemplatesFolder();
    QVERIFY2(destinationRoot.startsWith(_home.path()), qPrintable(destinationRoot));
    QVERIFY(QDir().mkpath(QFileInfo(destinationRoot).path())); // the Movies folder

    _archiveA = makeArchive(QStringLiteral("LT_Pack_One.mtzip"), QStringLiteral("LT_Clean_Title"));
    _archiveB = makeArchive(QStringLiteral("LT_Pack_Two.mtzip"), QStringLiteral("LT_Slide_Title"));
    QVERIFY(!_archiveA.isEmpty() && !_archiveB.isEmpty());
    _notes = _work.filePath(QStringLiteral("notes.txt"));
    QFile notes(_notes);
    QVERIFY(notes.open(QIODevice::WriteOnly));
    notes.write("not an archive\n");
    QVERIFY(QDir().mkpath(QStandardPaths::writableLocation(QStandardPaths::DownloadLocation)));
    QCoreApplication::setOrganizationName(QStringLiteral("Quillfen"));
}

QString tst_App::makeArchive(const QString &name, const QString &templateName, int count)
{
    const QString source = _work.filePath(QStringLiteral("source-") + name);
    if (!QDir().mkpath(source))
        return {};
    const QString templateFile = source + QStringLiteral("/template.moti");
    QFile file(templateFile);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write("<?xml version=\"1.0\"?>\n<ozml version=\"5.11\"/>\n");
    file.close();

    const QString archive = _work.filePath(name);
    ZipArchive zip;
    if (!zip.CreateZipFile2(archive))
        return {};
    for (int i = 1; i <= count; ++i) {
        const QString folder = count == 1 ? templateName : templateName + QString::number(i);
        if (!zip.addFileToZip(templateFile, folder + QLatin1Char('/') + folder + QStringLiteral(".moti")))
            return {};
    }
    return zip.CloseZipFile2() ? archive : QString();
}

bool tst_App::runUntilQuit(const std::function<void()> &start)
{
    bool timedOut = false;
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, qApp, [&timedOut] {
        timedOut = true;
        // Whatever still holds the quit back is closed by force.
        TemplateArchiveCollectionController::sharedController().closeAllCollections();
        QCoreApplication::exit(1);
    });
    watchdog.start(10000);
    QTimer::singleShot(0, qApp, start);
    QCoreApplication::exec();
    return !timedOut;
}

void tst_App::init()
{
    _delegate = std::make_unique<AppDelegate>();
    _browser.urls.clear();
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &_browser, "open");
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &_browser, "open");
}

void tst_App::cleanup()
{
    TemplateArchiveCollectionController::sharedController().closeAllCollections();
    QSettings().remove(QStringLiteral("OpenDialog"));
    _delegate.reset();
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
}

void tst_App::appIconIsLoadedOnceAndKept()
{
    const QIcon first = AppDelegate::appIcon();
    QVERIFY2(!first.isNull(), "AppIcon_128.png is among the build's resources");
    QCOMPARE(AppDelegate::appIcon().cacheKey(), first.cacheKey());
    QCOMPARE(first.availableSizes().value(0), QSize(128, 128));
}

void tst_App::supportMenuEntries()
{
    _delegate->applicationWillFinishLaunching();
    QMenu *menu = supportButton()->menu();
    QVERIFY(menu);
    QCOMPARE(menu->title(), QStringLiteral("Support"));
    QCOMPARE(supportButton()->text(), QStringLiteral("Support..."));

    const QList<QAction *> entries = menu->actions();
    const QStringList titles{QStringLiteral("Support..."),
                             QStringLiteral("Using Templates Tutorial..."),
                             QStringLiteral("Templates Performance..."),
                             QString(),
                             QStringLiteral("Contact Quillfen Support..."),
                             QStringLiteral("Knowledge Base..."),
                             QStringLiteral("Quillfen on Facebook..."),
                             QStringLiteral("Join Mailing List...")};
    const QList<int> tags{0, 1, 2, 0, 3, 4, 5, 6};
    QCOMPARE(entries.size(), 8);
    int separators = 0;
    for (int i = 0; i < entries.size(); ++i) {
        QAction *entry = entries.at(i);
        QCOMPARE(entry->isSeparator(), i == 3);
        separators += entry->isSeparator();
        QCOMPARE(entry->text(), titles.at(i));
        QCOMPARE(entry->data().toInt(), tags.at(i));
        QVERIFY2(entry->shortcut().isEmpty(), qPrintable(entry->text()));
    }
    QCOMPARE(separators, 1);
    QVERIFY2(!entries.first()->data().isValid(), "the title entry carries no tag");

    // Building again replaces the menu rather than adding to it.
    _delegate->applicationWillFinishLaunching();
    QCOMPARE(supportButton()->menu()->actions().size(), 8);
}

void tst_App::supportEntryOpensItsPage_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("tag");

    QTest::newRow("the title entry opens nothing") << 0 << 0;
    QTest::newRow("the tutorial entry opens the tutorial page") << 1 << 1;
    QTest::newRow("the performance entry opens the knowledge-base article") << 2 << 2;
    QTest::newRow("the contact entry opens the help desk") << 4 << 3;
    QTest::newRow("the knowledge base entry opens its British English home") << 5 << 4;
    QTest::newRow("the Facebook entry opens the maker's page there") << 6 << 5;
    QTest::newRow("Join Mailing List opens the sign-up form and nothing else") << 7 << 6;
}

void tst_App::supportEntryOpensItsPage()
{
    QFETCH(int, position);
    QFETCH(int, tag);
    _delegate->applicationWillFinishLaunching();
    supportButton()->menu()->actions().at(position)->trigger();
    if (tag == 0) {
        QVERIFY(_browser.urls.isEmpty());
        return;
    }
    QCOMPARE(_browser.urls, QList<QUrl>{AppDelegate::supportPageURL(tag)});
    QCOMPARE(_browser.urls.first().scheme(), QStringLiteral("https"));
    if (tag == 4)
        QVERIFY(_browser.urls.first().path().contains(QLatin1String("en-gb")));
    // Six different pages.
    QSet<QUrl> pages;
    for (int t = 1; t <= 6; ++t)
        pages.insert(AppDelegate::supportPageURL(t));
    QCOMPARE(pages.size(), 6);
}

void tst_App::entriesWithoutAPageOpenNothing()
{
    QAction seven;
    seven.setData(7);
    _delegate->supportButtonAction(&seven);
    QAction untagged;
    _delegate->supportButtonAction(&untagged);
    _delegate->supportButtonAction(nullptr);
    QVERIFY(_browser.urls.isEmpty());
    QVERIFY(AppDelegate::supportPageURL(7).isEmpty());
    QVERIFY(AppDelegate::supportPageURL(0).isEmpty());
}

void tst_App::aboutWindowShowsTheFixedVersion()
{
    QCoreApplication::setApplicationVersion(QStringLiteral("9.9")); // not to be read
    _delegate->applicationWillFinishLaunching();
    QDialog *about = aboutWindow();
    QVERIFY(!about->isVisible());
    QCOMPARE(aboutVersionField()->text(), QStringLiteral("Version: 1.0 (4)"));
    QCOMPARE(about->palette().color(QPalette::Window), DarkAppearance::palette().color(QPalette::Window));

    QSignalSpy lastWindowClosed(qApp, &QGuiApplication::lastWindowClosed);
    action(_delegate.get(), "aboutAction")->trigger();
    QVERIFY(QTest::qWaitForWindowExposed(about));
    aboutWindow()->findChild<QPushButton *>(QStringLiteral("okButton"))->click();
    QVERIFY(!about->isVisible());
    QCOMPARE(lastWindowClosed.count(), 0);

    _delegate->orderFrontStandardAboutPanel();
    QCOMPARE(aboutWindow(), about);
    QVERIFY(about->isVisible());
    QCOMPARE(aboutVersionField()->text(), QStringLiteral("Version: 1.0 (4)"));
    _delegate->aboutPanelOk();
}

void tst_App::launchingShowsTheDarkStartWindow()
{
    QVERIFY(!startWindow()->isVisible());
    _delegate->applicationWillFinishLaunching();
    QVERIFY2(!startWindow()->isVisible(), "preparing shows no window");
    QCOMPARE(startWindow()->palette().color(QPalette::Window),
             DarkAppearance::palette().color(QPalette::Window));
    _delegate->applicationDidFinishLaunching();
    QVERIFY(QTest::qWaitForWindowActive(startWindow()));
    QCOMPARE(action(_delegate.get(), "openAction")->shortcut(), QKeySequence(QKeySequence::Open));
}

void tst_App::tabOnTheStartWindowGoesLeftToRight()
{
    _delegate->applicationWillFinishLaunching();
    _delegate->applicationDidFinishLaunching();
    QVERIFY(QTest::qWaitForWindowActive(startWindow()));
    QList<QPushButton *> buttons = startWindow()->findChildren<QPushButton *>();
    QCOMPARE(buttons.size(), 4);
    std::sort(buttons.begin(), buttons.end(), [](const QPushButton *a, const QPushButton *b) {
        return a->mapToGlobal(QPoint()).x() < b->mapToGlobal(QPoint()).x();
    });
    buttons.first()->setFocus(Qt::OtherFocusReason);
    QTRY_COMPARE(QApplication::focusWidget(), buttons.first());
    QStringList order{buttons.first()->objectName()};
    for (int press = 1; press < buttons.size(); ++press) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        order.append(QApplication::focusWidget()->objectName());
    }
    QStringList leftToRight;
    for (const QPushButton *button : std::as_const(buttons))
        leftToRight.append(button->objectName());
    QCOMPARE(order, leftToRight);
}

void tst_App::startWindowFitsItsGermanTexts()
{
    QTranslator german;
    QVERIFY(german.load(QStringLiteral(MTI_GERMAN_QM)));
    QCoreApplication::installTranslator(&german);
    // The windows take their texts as the delegate loads them.
    _delegate.reset();
    _delegate = std::make_unique<AppDelegate>();
    _delegate->applicationWillFinishLaunching();
    _delegate->applicationDidFinishLaunching();
    QVERIFY(QTest::qWaitForWindowExposed(startWindow()));
    const QList<QPushButton *> buttons = startWindow()->findChildren<QPushButton *>();
    QCOMPARE(buttons.size(), 4);
    for (const QPushButton *button : buttons) {
        QVERIFY2(button->width() >= button->sizeHint().width(),
                 qPrintable(QStringLiteral("%1: %2 < %3").arg(button->text()).arg(button->width()).arg(button->sizeHint().width())));
    }
    QCOMPARE(startWindow()->findChild<QPushButton *>(QStringLiteral("libraryButton"))->text(),
             QStringLiteral("Vorlagenbibliothek …"));
    QCoreApplication::removeTranslator(&german);
}

void tst_App::emptyOpenFilesRequestKeepsTheStartWindow()
{
    _delegate->applicationWillFinishLaunching();
    _delegate->applicationOpenFiles({});
    QVERIFY(collectionsOpened());
    QVERIFY(!_delegate->launchedWithOpenFile());
    _delegate->applicationDidFinishLaunching();
    QVERIFY(startWindow()->isVisible());
    QVERIFY(collections().isEmpty());
}

void tst_App::launchToOpenTwoArchivesGivesOneCollection()
{
    _delegate->applicationWillFinishLaunching();
    _delegate->applicationOpenFiles({_archiveA, _archiveB});
    QVERIFY(collectionsOpened());
    _delegate->applicationDidFinishLaunching();

    QVERIFY(_delegate->launchedWithOpenFile());
    QCOMPARE(collections().size(), 1);
    TemplateArchiveCollection *collection = collections().first();
    QCOMPARE(collection->archiveURLs(),
             (QList<QUrl>{QUrl::fromLocalFile(_archiveA), QUrl::fromLocalFile(_archiveB)}));
    QCOMPARE(collection->effectsWithSearchOption(EffectSearchAll).size(), 2);
    QVERIFY(collection->window()->isVisible());
    QVERIFY2(!startWindow()->isVisible(), "a launch made to open files shows no start window");
    QVERIFY(!aboutWindow()->isVisible());
}

void tst_App::launchWithoutArchivesTellsAndShowsTheStartWindow_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("told");
    QTest::addColumn<bool>("startWindowShown");

    QTest::newRow("a text file alone is named and the start window comes up")
        << QStringList{QStringLiteral("notes.txt")} << QStringLiteral("“notes.txt” is not a template archive.") << true;
    QTest::newRow("two files that are not archives are named together")
        << QStringList{QStringLiteral("notes.txt"), QStringLiteral("LT_Pack_One.zip")}
        << QStringLiteral("These files are not template archives: notes.txt, LT_Pack_One.zip.") << true;
    QTest::newRow("beside an archive the text file is named and the collection shows instead")
        << QStringList{QStringLiteral("LT_Pack_One.mtzip"), QStringLiteral("notes.txt")}
        << QStringLiteral("“notes.txt” is not a template archive.") << false;
}

void tst_App::launchWithoutArchivesTellsAndShowsTheStartWindow()
{
    QFETCH(QStringList, files);
    QFETCH(QString, told);
    QFETCH(bool, startWindowShown);
    QStringList paths;
    for (const QString &file : std::as_const(files))
        paths.append(_work.filePath(file));
    TestSupport::writeFileOrFail(_work.filePath(QStringLiteral("LT_Pack_One.zip")), "not a zip either\n");

    AlertAnswerer alerts;
    _delegate->applicationWillFinishLaunching();
    _delegate->applicationOpenFiles(paths);
    QVERIFY(collectionsOpened());
    _delegate->applicationDidFinishLaunching();
    QCOMPARE(alerts.seen.size(), 1);
    QVERIFY2(alerts.seen.first().startsWith(told + QLatin1Char('\n')), qPrintable(alerts.seen.first()));
    QVERIFY(alerts.seen.first().contains(QLatin1String(".mtzip")));
    QVERIFY(_delegate->launchedWithOpenFile());
    QCOMPARE(startWindow()->isVisible(), startWindowShown);
    QCOMPARE(collections().size(), startWindowShown ? 0 : 1);
}

void tst_App::laterLaunchWithoutFilesShowsAWindow()
{
    // A running instance whose windows are all gone answers a launch without
    // files with the start window, not with nothing.
    _delegate->applicationWillFinishLaunching();
    _delegate->applicationOpenFiles({_archiveA});
    QVERIFY(collectionsOpened());
    _delegate->applicationDidFinishLaunching();
    QVERIFY(!startWindow()->isVisible());
    collections().first()->window()->hide();
    _delegate->activateFrontWindow();
    QVERIFY(QTest::qWaitForWindowActive(startWindow()));
}

void tst_App::openingWhileRunningLeavesTheStartWindow()
{
    _delegate->applicationWillFinishLaunching();
    _delegate->applicationDidFinishLaunching();
    QVERIFY(QTest::qWaitForWindowActive(startWindow()));

    _delegate->applicationOpenFiles({_archiveA});
    QVERIFY(collectionsOpened());
    QCOMPARE(collections().size(), 1);
    QWidget *window = collections().first()->window();
    QVERIFY(QTest::qWaitForWindowActive(window));
    QVERIFY(startWindow()->isVisible());

    // The menu's Open command answers in the collection window too.
    if (auto *mainWindow = qobject_cast<QMainWindow *>(window))
        QVERIFY(mainWindow->menuBar()->findChild<QMenu *>()->actions().contains(action(_delegate.get(), "openAction")));
    else
        QVERIFY(window->actions().contains(action(_delegate.get(), "openAction")));
}

void tst_App::openingAnOpenArchiveBringsItsWindowForward()
{
    AlertAnswerer alerts;
    _delegate->applicationWillFinishLaunching();
    _delegate->applicationOpenFiles({_archiveA});
    QVERIFY(collectionsOpened());
    QWidget *window = collections().first()->window();
    _delegate->applicationDidFinishLaunching();
    startWindow()->show();
    startWindow()->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(startWindow()));

    _delegate->applicationOpenFiles({_archiveA});
    QVERIFY(collectionsOpened());
    QCOMPARE(collections().size(), 1);
    // The window comes forward, no second window opens, and the alert says why.
    QTRY_COMPARE(alerts.seen.size(), 1);
    QVERIFY2(alerts.seen.first().startsWith(QLatin1String("Archive Already Open\n")), qPrintable(alerts.seen.first()));
    QVERIFY(QTest::qWaitForWindowActive(window));
    QCoreApplication::processEvents();
    QCOMPARE(alerts.seen.size(), 1);
}

void tst_App::launchArgumentPaths_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("paths");

    const QString here = QDir::currentPath();
    QTest::newRow("no arguments names no file") << QStringList{QStringLiteral("app")} << QStringList{};
    QTest::newRow("a relative path becomes absolute")
        << QStringList{QStringLiteral("app"), QStringLiteral("packs/LT_One.mtzip")}
        << QStringList{here + QStringLiteral("/packs/LT_One.mtzip")};
    QTest::newRow("a file URL becomes its path")
        << QStringList{QStringLiteral("app"), QStringLiteral("file:///tmp/My%20Packs/LT_One.mtzip")}
        << QStringList{QStringLiteral("/tmp/My Packs/LT_One.mtzip")};
    QTest::newRow("the process serial number of old macOS launches is no file")
        << QStringList{QStringLiteral("app"), QStringLiteral("-psn_0_1234567"), QStringLiteral("/tmp/LT_One.mtzip"),
                       QString()}
        << QStringList{QStringLiteral("/tmp/LT_One.mtzip")};
}

void tst_App::launchArgumentPaths()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, paths);
    QCOMPARE(AppDelegate::launchArgumentPaths(arguments), paths);
}

void tst_App::commandLinePathAlsoSentByThePlatformOpensOnce()
{
    AlertAnswerer alerts;
    _delegate->applicationWillFinishLaunching();
    _delegate->openLaunchArguments({_archiveA});
    QVERIFY(_delegate->launchedWithOpenFile());
    // The platform's event may come after the command line's file opened.
    _delegate->openPendingFiles();
    QVERIFY(collectionsOpened());
    QCOMPARE(collections().size(), 1);
    QFileOpenEvent sameFile(_archiveA);
    QCoreApplication::sendEvent(qApp, &sameFile);
    // A queued path would open on the queue's zero-time timer: give it its turn.
    QCoreApplication::processEvents();
    QCOMPARE(collections().size(), 1);
    QCOMPARE(collections().first()->archiveURLs(), QList<QUrl>{QUrl::fromLocalFile(_archiveA)});

    // Only once: the same file sent again later is a request of its own.
    QFileOpenEvent otherFile(_archiveB);
    QCoreApplication::sendEvent(qApp, &otherFile);
    QTRY_COMPARE(collections().size(), 2);
    // An "already open" alert would come on a zero-time timer.
    QCoreApplication::processEvents();
    QVERIFY2(alerts.seen.isEmpty(), qPrintable(alerts.seen.join(QLatin1Char('|'))));
    // Sent again later, it brings its window forward, opens nothing, and
    // the alert says why.
    QCoreApplication::sendEvent(qApp, &sameFile);
    QCoreApplication::processEvents();
    QCOMPARE(collections().size(), 2);
    QVERIFY(collections().first()->window()->isVisible());
    QTRY_COMPARE(alerts.seen.size(), 1);
    QVERIFY2(alerts.seen.first().startsWith(QLatin1String("Archive Already Open\n")), qPrintable(alerts.seen.first()));
    QTRY_COMPARE(QApplication::activeWindow(), collections().first()->window());
}

void tst_App::everyWindowGetsTheMenus()
{
    _delegate->applicationWillFinishLaunching();
    QMainWindow plain;
    _delegate->decorateWindow(&plain);
#ifdef Q_OS_MACOS
    QSKIP("the application's one menu bar serves every window");
#endif
    for (QMainWindow *window : {&plain, startWindow()}) {
        QMenuBar *bar = window->menuBar();
        QStringList titles;
        for (QAction *menu : bar->actions())
            titles.append(menu->text());
        QCOMPARE(titles, (QStringList{QStringLiteral("&File"), QStringLiteral("&Window"), QStringLiteral("&Support"),
                                      QStringLiteral("&Help")}));
        QMenu *file = bar->actions().at(0)->menu();
        QVERIFY(file->actions().contains(action(_delegate.get(), "openAction")));
        QVERIFY(file->actions().contains(action(_delegate.get(), "quitAction")));
        QVERIFY(bar->actions().at(3)->menu()->actions().contains(action(_delegate.get(), "aboutAction")));
        QList<int> tags;
        for (QAction *entry : bar->actions().at(2)->menu()->actions())
            tags.append(entry->data().toInt());
        QCOMPARE(tags, (QList<int>{1, 2, 0, 3, 4, 5, 6}));
        QCOMPARE(file->palette().color(QPalette::Window), DarkAppearance::palette().color(QPalette::Window));
    }
    QMenuBar *first = plain.menuBar();
    _delegate->decorateWindow(&plain);
    QCOMPARE(plain.menuBar(), first);

    // The support pages and About answer from any window's menus.
    plain.menuBar()->actions().at(2)->menu()->actions().last()->trigger();
    QCOMPARE(_browser.urls, QList<QUrl>{AppDelegate::supportPageURL(6)});
    plain.menuBar()->actions().at(3)->menu()->actions().first()->trigger();
    QVERIFY(aboutWindow()->isVisible());
    _delegate->aboutPanelOk();

    // The Window menu lists what is on screen.
    plain.setWindowTitle(QStringLiteral("LT_Pack_One"));
    _delegate->applicationOpenFiles({_archiveA});
    QVERIFY(collectionsOpened());
    QMenu *windowMenu = plain.menuBar()->actions().at(1)->menu();
    emit windowMenu->aboutToShow();
    QStringList listed;
    for (QAction *entry : windowMenu->actions())
        listed.append(entry->text());
    QCOMPARE(listed, (QStringList{QStringLiteral("Template &Library"), QStringLiteral("&Start Window"), QString(),
                                  QStringLiteral("&Minimize"),
                                  QStringLiteral("&Zoom"), QString(), collections().first()->window()->windowTitle()}));
    // Listed the same once more: the commands above the list stay.
    emit windowMenu->aboutToShow();
    QCOMPARE(windowMenu->actions().size(), listed.size());
}

void tst_App::oneLibraryWindowFromTheMenuAndTheStartWindow()
{
    _delegate->applicationWillFinishLaunching();
    _delegate->applicationDidFinishLaunching();
    QAction *library = action(_delegate.get(), "libraryAction");
    QCOMPARE(library->shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_L));
#ifndef Q_OS_MACOS
    auto *windowMenu = startWindow()->menuBar()->findChild<QMenu *>(QStringLiteral("windowMenu"));
    QVERIFY(windowMenu);
    QCOMPARE(windowMenu->actions().first(), library);
#endif
    QVERIFY(!libraryWindow());

    library->trigger();
    QPointer<TemplateLibraryWindow> window = libraryWindow();
    QVERIFY(window);
    QVERIFY(window->isVisible());
    QCOMPARE(window->palette().color(QPalette::Window), DarkAppearance::palette().color(QPalette::Window));
#ifndef Q_OS_MACOS
    QVERIFY(window->menuBar()->findChild<QMenu *>(QStringLiteral("windowMenu")));
#endif
    // Once more, from the menu and from the start window's button: the same window.
    library->trigger();
    auto *button = startWindow()->findChild<QPushButton *>(QStringLiteral("libraryButton"));
    QVERIFY(button);
    button->click();
    QCOMPARE(libraryWindow(), window.data());
    int libraries = 0;
    for (QWidget *topLevel : QApplication::topLevelWidgets())
        libraries += qobject_cast<TemplateLibraryWindow *>(topLevel) ? 1 : 0;
    QCOMPARE(libraries, 1);

    // Re-install opens the archive in a collection window.
    emit window->reinstallRequested({QUrl::fromLocalFile(_archiveA)});
    QCOMPARE(collections().size(), 1);
    QCOMPARE(collections().first()->archiveURLs(), QList<QUrl>{QUrl::fromLocalFile(_archiveA)});
    QTRY_VERIFY(collections().first()->window()->isVisible());
    TemplateArchiveCollectionController::sharedController().closeAllCollections();

    // Closed, it goes; the next request makes a new one.
    window->close();
    QTRY_VERIFY(!window);
    QVERIFY(!libraryWindow());
    QVERIFY(startWindow()->isVisible());
    button->click();
    QVERIFY(libraryWindow());
    libraryWindow()->close();
}

void tst_App::headersAlignAlikeInBothWindows()
{
    _delegate->applicationOpenFiles({_archiveA});
    QVERIFY(collectionsOpened());
    QCOMPARE(collections().size(), 1);
    _delegate->showTemplateLibrary();
    QTRY_VERIFY(libraryWindow());
    const auto *collectionTable = collections().first()->window()->findChild<QTableView *>(QStringLiteral("effectsTable"));
    const auto *libraryTable = libraryWindow()->findChild<QTableView *>(QStringLiteral("templatesTable"));
    QVERIFY(collectionTable && libraryTable);
    const Qt::Alignment alignment = collectionTable->horizontalHeader()->defaultAlignment();
    QCOMPARE(alignment, Qt::AlignLeft | Qt::AlignVCenter);
    QCOMPARE(libraryTable->horizontalHeader()->defaultAlignment(), alignment);
    libraryWindow()->close();
}

void tst_App::menuShortcutsAnswerInADecoratedWindow_data()
{
    QTest::addColumn<QKeySequence>("keys");
    QTest::addColumn<QString>("effect");

    QTest::newRow("Close Window closes it") << QKeySequence(QKeySequence::Close) << QStringLiteral("closed");
    QTest::newRow("Minimize minimizes it") << QKeySequence(Qt::CTRL | Qt::Key_M) << QStringLiteral("minimized");
    QTest::newRow("Open brings up the open dialog") << QKeySequence(QKeySequence::Open) << QStringLiteral("dialog");
    QTest::newRow("Template Library opens the library")
        << QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_L) << QStringLiteral("library");
}

void tst_App::menuShortcutsAnswerInADecoratedWindow()
{
    QFETCH(QKeySequence, keys);
    QFETCH(QString, effect);
    _delegate->applicationWillFinishLaunching();
    // A window such as "Yes" after an install brings up, which the
    // application never brought forward itself.
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Collection"));
    _delegate->decorateWindow(&window);
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));

    OpenDialogWatcher dialogs;
    QTest::keySequence(&window, keys);
    if (effect == QLatin1String("closed")) {
        QTRY_VERIFY(!window.isVisible());
    } else if (effect == QLatin1String("minimized")) {
        QTRY_VERIFY(window.isMinimized());
    } else if (effect == QLatin1String("library")) {
        QTRY_VERIFY(libraryWindow() && libraryWindow()->isVisible());
        libraryWindow()->close();
    } else {
        QTRY_COMPARE(dialogs.shown, 1);
        QCOMPARE(dialogs.folder, QStandardPaths::writableLocation(QStandardPaths::DownloadLocation));
        QCOMPARE(dialogs.windowColour, DarkAppearance::palette().color(QPalette::Window));
    }
}

void tst_App::openDialogStartsInTheLastFolderElseDownloads_data()
{
    QTest::addColumn<QString>("lastFolder");
    QTest::addColumn<bool>("lastFolderExists");
    QTest::addColumn<bool>("startsInLastFolder");

    QTest::newRow("the first time it starts in Downloads") << QString() << false << false;
    QTest::newRow("afterwards in the folder last used") << QStringLiteral("packs") << true << true;
    QTest::newRow("a last folder since removed gives Downloads") << QStringLiteral("gone") << false << false;
}

void tst_App::openDialogStartsInTheLastFolderElseDownloads()
{
    QFETCH(QString, lastFolder);
    QFETCH(bool, lastFolderExists);
    QFETCH(bool, startsInLastFolder);
    const QString folder = lastFolder.isEmpty() ? QString() : _work.filePath(lastFolder);
    if (lastFolderExists)
        QVERIFY(QDir().mkpath(folder));
    if (!folder.isEmpty())
        QSettings().setValue(QStringLiteral("OpenDialog/lastFolder"), folder);
    const QString expected =
        startsInLastFolder ? folder : QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    QCOMPARE(OpenDialog::startFolder(), expected);

    OpenDialogWatcher dialogs;
    _delegate->openTemplates();
    QCOMPARE(dialogs.shown, 1);
    QCOMPARE(dialogs.folder, expected);
    QVERIFY(collections().isEmpty());
}

void tst_App::openDialogRemembersItsFolder()
{
    QFileDialog dialog;
    OpenDialog::prepare(&dialog);
    QCOMPARE(dialog.directory().absolutePath(), QStandardPaths::writableLocation(QStandardPaths::DownloadLocation));
    dialog.setDirectory(_work.path());
    dialog.selectFile(_archiveA);
    static_cast<QDialog &>(dialog).accept(); // QFileDialog::accept, checks and all
    QCOMPARE(QSettings().value(QStringLiteral("OpenDialog/lastFolder")).toString(), QFileInfo(_archiveA).absolutePath());
    QCOMPARE(OpenDialog::startFolder(), QFileInfo(_archiveA).absolutePath());

    // A dialog that was cancelled leaves the folder as it was.
    QFileDialog cancelled;
    OpenDialog::prepare(&cancelled);
    cancelled.setDirectory(_home.path());
    cancelled.reject();
    QCOMPARE(OpenDialog::startFolder(), QFileInfo(_archiveA).absolutePath());
}

void tst_App::onlyFileURLsArePassedOn()
{
    const QUrl web(QStringLiteral("https://www.example.com/downloads/LT_Pack_Two.mtzip"));
    _delegate->openTemplateArchiveAtURLs({web, QUrl::fromLocalFile(_archiveA)});
    QVERIFY(collectionsOpened());
    QCOMPARE(collections().size(), 1);
    QCOMPARE(collections().first()->archiveURLs(), QList<QUrl>{QUrl::fromLocalFile(_archiveA)});

    _delegate->openTemplateArchiveAtURLs({web});
    QVERIFY(collectionsOpened());
    _delegate->openTemplateArchiveAtURLs({});
    QVERIFY(collectionsOpened());
    QCOMPARE(collections().size(), 1);
    QVERIFY(_browser.urls.isEmpty());
}

void tst_App::dropOnTheStartWindowOpensTheArchive()
{
    _delegate->applicationWillFinishLaunching();
    _delegate->applicationDidFinishLaunching();
    TemplateArchiveDropzoneView *dropzone = dropzoneView();
    QVERIFY(dropzone->window() == startWindow());

    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(_notes), QUrl::fromLocalFile(_archiveB)});
    const QPointF centre = QRectF(dropzone->rect()).center();
    QDragEnterEvent enter(centre.toPoint(), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(dropzone, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(centre, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(dropzone, &drop);
    QTRY_COMPARE(collections().size(), 1);
    QCOMPARE(collections().first()->archiveURLs(), QList<QUrl>{QUrl::fromLocalFile(_archiveB)});
}

void tst_App::quittingClosesAllCollections()
{
    _delegate->applicationOpenFiles({_archiveA});
    QVERIFY(collectionsOpened());
    _delegate->applicationOpenFiles({_archiveB});
    QVERIFY(collectionsOpened());
    QCOMPARE(collections().size(), 2);
    QStringList unpackFolders;
    for (TemplateArchiveCollection *collection : collections()) {
        for (const auto &installer : collection->templateInstallers())
            unpackFolders.append(installer->effectsSourceFolder());
    }
    QCOMPARE(unpackFolders.size(), 2);
    for (const QString &folder : std::as_const(unpackFolders))
        QVERIFY2(QFileInfo(folder).isDir(), qPrintable(folder));

    _delegate->applicationWillTerminate();
    QVERIFY(collections().isEmpty());
    for (const QString &folder : std::as_const(unpackFolders))
        QVERIFY2(!QFileInfo::exists(folder), qPrintable(folder));
    QVERIFY2(QFileInfo::exists(_archiveA) && QFileInfo::exists(_archiveB), "archives stay unless asked");
}

void tst_App::openRequestsReachTheRunningInstance()
{
    const QString name = QStringLiteral("mti-test-%1").arg(QCoreApplication::applicationPid());
    OpenFilesChannel first(name);
    QVERIFY2(!first.handOver({_archiveA}, 200), "no instance runs yet");
    QVERIFY(first.listen());

    QSignalSpy requests(&first, &OpenFilesChannel::openFilesRequested);
    OpenFilesChannel second(name);
    // handOver blocks until answered, and the answer comes from this
    // thread's event loop: a second launch is played by another thread.
    std::atomic<bool> handedOver = false;
    std::thread secondLaunch([&] { handedOver = second.handOver({_archiveA, _archiveB}); });
    QTRY_COMPARE(requests.count(), 1);
    secondLaunch.join();
    QVERIFY(handedOver);
    QCOMPARE(requests.first().first().toStringList(), (QStringList{_archiveA, _archiveB}));

#ifdef Q_OS_UNIX
    QVERIFY(OpenFilesChannel::defaultServerName().contains(QString::number(::getuid())));
#endif
}

void tst_App::staleSocketIsReplaced()
{
    // What a crashed instance leaves behind: a socket path nobody listens on.
    const QString name = QStringLiteral("mti-stale-%1").arg(QCoreApplication::applicationPid());
    const QString path = QDir::tempPath() + QLatin1Char('/') + name;
    QFile stale(path);
    QVERIFY(stale.open(QIODevice::WriteOnly));
    stale.close();

    OpenFilesChannel channel(name);
    QVERIFY(!channel.handOver({}, 200));
    QVERIFY(channel.listen());
    QVERIFY(channel.isListening());
}

void tst_App::liveSocketIsNotTakenOver()
{
    // Two launches at once: the one that loses the race to listen must leave
    // the winner's socket alone (and hand its files over instead).
    const QString name = QStringLiteral("mti-race-%1").arg(QCoreApplication::applicationPid());
    OpenFilesChannel first(name);
    QVERIFY(first.listen());
    OpenFilesChannel second(name);
    QVERIFY(!second.listen());
    QVERIFY(!second.isListening());
    QVERIFY(first.isListening());
}

int tst_App::claimChannel(const QString &name, const QString &path, int expected, qint64 startAt)
{
    const qint64 wait = startAt - QDateTime::currentMSecsSinceEpoch();
    if (wait > 0)
        QThread::msleep(unsigned(wait));
    OpenFilesChannel channel(name);
    QStringList received{path};
    QObject::connect(&channel, &OpenFilesChannel::openFilesRequested, &channel, [&](const QStringList &paths) {
        received += paths;
        if (received.size() >= expected)
            QCoreApplication::quit();
    });
    switch (channel.claim({path})) {
    case OpenFilesChannel::Claim::HandedOver:
        std::printf("handed over\n");
        return 0;
    case OpenFilesChannel::Claim::Alone:
        std::printf("alone\n");
        return 1;
    case OpenFilesChannel::Claim::Listening:
        break;
    }
    if (received.size() < expected) {
        QTimer::singleShot(15000, qApp, &QCoreApplication::quit);
        QCoreApplication::exec();
    }
    std::printf("instance\n%s\n", qPrintable(received.join(QLatin1Char('\n'))));
    return 0;
}

void tst_App::simultaneousLaunchesMeetInOneInstance()
{
    // Launches started together, as a file manager does for a selection it
    // opens file by file: one becomes the instance and gets every file.
    const QString name = QStringLiteral("mti-together-%1").arg(QCoreApplication::applicationPid());
    constexpr int Launches = 10;
    std::vector<std::unique_ptr<QProcess>> launches;
    QStringList files;
    for (int i = 0; i < Launches; ++i) {
        files.append(_work.filePath(QStringLiteral("LT_Launch_%1.mtzip").arg(i)));
        auto launch = std::make_unique<QProcess>();
        launch->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        launches.push_back(std::move(launch));
    }
    const QString startAt = QString::number(QDateTime::currentMSecsSinceEpoch() + 2000);
    for (int i = 0; i < Launches; ++i) {
        launches[size_t(i)]->start(QCoreApplication::applicationFilePath(),
                                   {QStringLiteral("--claim-channel"), name, files.at(i), QString::number(Launches),
                                    startAt});
    }
    int instances = 0;
    QStringList received;
    for (const auto &launch : launches) {
        QVERIFY(launch->waitForFinished(30000));
        QCOMPARE(launch->exitCode(), 0);
        const QStringList lines = QString::fromLocal8Bit(launch->readAllStandardOutput()).split(
            QLatin1Char('\n'), Qt::SkipEmptyParts);
        QVERIFY(!lines.isEmpty());
        if (lines.first() == QLatin1String("instance")) {
            ++instances;
            received = lines.mid(1);
        } else {
            QCOMPARE(lines, QStringList{QStringLiteral("handed over")});
        }
    }
    QCOMPARE(instances, 1);
    received.sort();
    QCOMPARE(received, files);
}

void tst_App::aSlowCleanUpHoldsNeitherTheQuitNorTheChannel()
{
    // Two launches of the application itself: the first quits while its
    // unpack folder is still being removed (a slow disk, played by a delay),
    // the second starts meanwhile and must become the instance.
    QTemporaryDir home;
    QTemporaryDir temp;
    QVERIFY(home.isValid() && temp.isValid());
    QVERIFY(QDir().mkpath(home.filePath(QStringLiteral("Videos"))));
    const QString archive = makeArchive(QStringLiteral("LT_Pack_Slow.mtzip"), QStringLiteral("LT_Slow_Title"), 3);
    QVERIFY(!archive.isEmpty());
    QProcessEnvironment environment = childEnvironment(home.path(), temp.path());
    environment.insert(QStringLiteral("MTI_CLEANUP_DELAY_MS"), QStringLiteral("60000"));
    const QString socket = temp.filePath(OpenFilesChannel::defaultServerName());
    OpenFilesChannel probe(socket);
    const auto unpackFolders = [&temp](qint64 pid) {
        return QDir(temp.path()).entryList({QStringLiteral("*-mti%1-*").arg(pid)}, QDir::Dirs | QDir::Hidden);
    };

    QProcess first;
    first.setProcessEnvironment(environment);
    first.setProcessChannelMode(QProcess::MergedChannels);
    first.start(QStringLiteral(MTI_APP_BINARY), {archive});
    QVERIFY(first.waitForStarted());
    const qint64 firstPid = first.processId();
    QTRY_VERIFY_WITH_TIMEOUT(!unpackFolders(firstPid).isEmpty() && probe.handOver({}, 1000), 20000);
    // The window lists the pack before it is unpacked behind it; a quit in
    // the middle of that unpack would have it take its own folder away. The
    // clean-up tested here is of a finished one: all three documents in
    // place, and a moment for the unpack to hand them over.
    const auto documentsUnpacked = [&] {
        int documents = 0;
        for (const QString &folder : unpackFolders(firstPid)) {
            QDirIterator it(temp.filePath(folder), {QStringLiteral("*.moti")}, QDir::Files, QDirIterator::Subdirectories);
            while (it.hasNext())
                documents += QFileInfo(it.next()).size() > 0 ? 1 : 0;
        }
        return documents;
    };
    QTRY_COMPARE_WITH_TIMEOUT(documentsUnpacked(), 3, 20000);
    QTest::qWait(500);

    QElapsedTimer sinceQuit;
    sinceQuit.start();
    QCOMPARE(::kill(pid_t(firstPid), SIGTERM), 0);
    // It stops answering first of all, so that a launch now need not wait.
    QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(socket), 10000);
    QProcess second;
    second.setProcessEnvironment(environment);
    second.setProcessChannelMode(QProcess::MergedChannels);
    second.start(QStringLiteral(MTI_APP_BINARY), QStringList());
    QVERIFY(second.waitForStarted());

    QVERIFY2(first.waitForFinished(10000), "the clean-up held the quit");
    QVERIFY2(sinceQuit.elapsed() < 5000, QByteArray::number(sinceQuit.elapsed()).constData());
    const QByteArray firstLog = first.readAll();
    QCOMPARE(first.exitStatus(), QProcess::NormalExit);
    QVERIFY2(firstLog.contains("clean-ups to the next start"), firstLog.constData());
    // Left to the next start's sweep, which only takes a dead process's.
    QVERIFY(!unpackFolders(firstPid).isEmpty());

    // The first is gone, so whoever answers now is the second, and later
    // launches keep reaching it.
    QTRY_VERIFY_WITH_TIMEOUT(probe.handOver({}, 1000), 20000);
    QVERIFY(probe.handOver({}, 1000));
    QCOMPARE(second.state(), QProcess::Running);
    QCOMPARE(::kill(pid_t(second.processId()), SIGTERM), 0);
    QVERIFY(second.waitForFinished(10000));
    const QByteArray secondLog = second.readAll();
    QVERIFY2(!secondLog.contains("did not answer"), secondLog.constData());
}

void tst_App::closingTheLastWindowQuits()
{
    const bool quitOnLastWindow = QGuiApplication::quitOnLastWindowClosed();
    QGuiApplication::setQuitOnLastWindowClosed(AppDelegate::applicationShouldTerminateAfterLastWindowClosed());
    connect(qApp, &QCoreApplication::aboutToQuit, _delegate.get(), &AppDelegate::applicationWillTerminate);

    _delegate->applicationWillFinishLaunching();
    _delegate->applicationOpenFiles({_archiveA});
    QVERIFY(collectionsOpened());
    _delegate->applicationDidFinishLaunching();
    QCOMPARE(collections().size(), 1);
    const QString unpackFolder = collections().first()->templateInstallers().front()->effectsSourceFolder();
    QWidget *window = collections().first()->window();

    bool timedOut = false;
    QTimer watchdog;
    watchdog.setSingleShot(true);
    connect(&watchdog, &QTimer::timeout, qApp, [&timedOut] {
        timedOut = true;
        QCoreApplication::quit();
    });
    watchdog.start(10000);
    QTimer::singleShot(0, window, &QWidget::close);
    QCoreApplication::exec();
    QGuiApplication::setQuitOnLastWindowClosed(quitOnLastWindow);
    QVERIFY2(!timedOut, "closing the only window did not quit");
    QVERIFY(collections().isEmpty());
    QVERIFY(!QFileInfo::exists(unpackFolder));
}

void tst_App::quittingDuringAnInstallUndoesItAndQuits_data()
{
    QTest::addColumn<bool>("byTheQuitCommand");
    QTest::newRow("the Quit command (Ctrl+Q)") << true;
    QTest::newRow("the platform's quit request (the application menu, logging out)") << false;
}

void tst_App::quittingDuringAnInstallUndoesItAndQuits()
{
    QFETCH(bool, byTheQuitCommand);
    // Big enough that the install is still running when the quit comes.
    const QString archive = makeArchive(QStringLiteral("LT_Pack_Large.mtzip"), QStringLiteral("LT_Large_Title"), 400);
    QVERIFY(!archive.isEmpty());
    AlertAnswerer alerts;
    _delegate->applicationWillFinishLaunching();
    _delegate->applicationOpenFiles({archive});
    QVERIFY(collectionsOpened());
    _delegate->applicationDidFinishLaunching();
    QCOMPARE(collections().size(), 1);
    QPointer<TemplateArchiveCollection> collection = collections().first();
    const QString unpackFolder = collection->templateInstallers().front()->effectsSourceFolder();
    auto *install = collection->window()->findChild<QPushButton *>(QStringLiteral("installButton"));
    QVERIFY(install && install->isEnabled());
    const QString destination = TemplateInstaller::userDestMotionTemplatesFolder();
    QVERIFY(QDir(destination).removeRecursively());
    const QStringList before = TestSupport::treeDigest(destination);

    bool quitDuringInstall = false;
    const bool quit = runUntilQuit([&] {
        // Fires inside the install, when it first lets events through.
        QTimer::singleShot(0, qApp, [&] {
            quitDuringInstall = collection && !install->isEnabled();
            if (byTheQuitCommand)
                action(_delegate.get(), "quitAction")->trigger();
            else
                QCoreApplication::quit();
        });
        install->click();
    });
    QVERIFY2(quit, "the application was still running with its windows gone");
    QVERIFY(quitDuringInstall);
    QVERIFY(collection.isNull());
    QVERIFY(collections().isEmpty());
    // Removed on a worker, which quitting waits for only a moment.
    DeferredCleanup::waitForAll();
    QVERIFY(!QFileInfo::exists(unpackFolder));
    QCOMPARE(TestSupport::treeDigest(destination), before);
    QVERIFY2(QFileInfo::exists(archive), "the archive stays");
}

QProcessEnvironment tst_App::childEnvironment(const QString &home, const QString &temp)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home);
    for (const char *name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"})
        environment.remove(QLatin1String(name));
    environment.insert(QStringLiteral("TMPDIR"), temp);
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), temp);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("mtzip.gui.debug=true"));
    environment.insert(QStringLiteral("LANGUAGE"), QStringLiteral("en"));
    return environment;
}

void tst_App::signalEndsTheLaunchAlert_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
}

void tst_App::signalEndsTheLaunchAlert()
{
    QFETCH(int, signalNumber);
    QTemporaryDir home;
    QTemporaryDir temp;
    QVERIFY(home.isValid() && temp.isValid());
    const QString templates = home.filePath(QStringLiteral("Videos/Motion Templates.localized"));
    QVERIFY(QDir().mkpath(templates));
    TestSupport::writeFileOrFail(templates + QStringLiteral("/kept.txt"), "a file of the user's");
    const QStringList before = TestSupport::treeDigest(templates);

    QProcess app;
    app.setProcessEnvironment(childEnvironment(home.path(), temp.path()));
    app.setProcessChannelMode(QProcess::MergedChannels);
    app.start(QStringLiteral(MTI_APP_BINARY), {_notes});
    QVERIFY(app.waitForStarted());
    // The launch alert writes its headline to the log as it comes up.
    QByteArray log;
    QElapsedTimer waited;
    waited.start();
    while (!log.contains("alert:") && app.state() == QProcess::Running && waited.elapsed() < 20000) {
        app.waitForReadyRead(100);
        log += app.readAll();
    }
    QVERIFY2(log.contains("alert: “notes.txt” is not a template archive."), log.constData());
    QCOMPARE(app.state(), QProcess::Running);

    QElapsedTimer sinceSignal;
    sinceSignal.start();
    QCOMPARE(::kill(pid_t(app.processId()), signalNumber), 0);
    QVERIFY2(app.waitForFinished(2000), "the alert kept the application running");
    QVERIFY2(sinceSignal.elapsed() < 2000, QByteArray::number(sinceSignal.elapsed()).constData());
    log += app.readAll();
    // Ended by its own handler, not by the signal's default action.
    QCOMPARE(app.exitStatus(), QProcess::NormalExit);
    QCOMPARE(app.exitCode(), 0);
    QVERIFY2(log.contains("Quitting on a signal"), log.constData());
    QCOMPARE(TestSupport::treeDigest(templates), before);
}

int tst_App::installAndWaitAtTheDeleteQuestion(const QString &archive)
{
    AppDelegate delegate;
    QuitSignals::install(&delegate);
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, &delegate, &AppDelegate::applicationWillTerminate);
    delegate.applicationWillFinishLaunching();
    delegate.applicationOpenFiles({archive});
    if (!collectionsOpened())
        return 2;
    delegate.applicationDidFinishLaunching();
    if (collections().size() != 1)
        return 2;
    auto *install = collections().first()->window()->findChild<QPushButton *>(QStringLiteral("installButton"));
    if (!install)
        return 2;
    QTimer::singleShot(0, install, &QPushButton::click);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &poll, [&poll] {
        for (QWidget *window : QApplication::topLevelWidgets()) {
            auto *box = qobject_cast<QMessageBox *>(window);
            if (box && box->isVisible() && box->text() == QLatin1String("Delete Template Archive?")) {
                std::printf("question\n");
                std::fflush(stdout);
                poll.stop();
            }
        }
    });
    poll.start(20);
    const int status = QCoreApplication::exec();
    DeferredCleanup::waitForAll();
    std::printf("quit\n");
    return status;
}

void tst_App::signalEndsTheDeleteArchiveQuestion_data()
{
    signalEndsTheLaunchAlert_data();
}

void tst_App::signalEndsTheDeleteArchiveQuestion()
{
    QFETCH(int, signalNumber);
    QTemporaryDir home;
    QTemporaryDir temp;
    QVERIFY(home.isValid() && temp.isValid());
    const QString templates = home.filePath(QStringLiteral("Videos/Motion Templates.localized"));
    QVERIFY(QDir().mkpath(QFileInfo(templates).path()));
    const QString archive = makeArchive(QStringLiteral("LT_Pack_Asked.mtzip"), QStringLiteral("LT_Asked_Title"), 3);
    QVERIFY(!archive.isEmpty());

    QProcess child;
    child.setProcessEnvironment(childEnvironment(home.path(), temp.path()));
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--wait-at-delete-question"), archive});
    QVERIFY(child.waitForStarted());
    QByteArray out;
    QElapsedTimer waited;
    waited.start();
    while (!out.contains("question") && child.state() == QProcess::Running && waited.elapsed() < 30000) {
        child.waitForReadyRead(100);
        out += child.readAllStandardOutput();
    }
    QVERIFY2(out.contains("question"), out.constData());

    QCOMPARE(::kill(pid_t(child.processId()), signalNumber), 0);
    QVERIFY2(child.waitForFinished(2000), "the question kept the application running");
    out += child.readAllStandardOutput();
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.exitCode(), 0);
    QVERIFY2(out.endsWith("quit\n"), out.constData());
    // The install had finished: its templates and receipt stay, nothing of
    // the run is left, and the question's cancel answer keeps the archive.
    const QStringList after = TestSupport::treeDigest(templates);
    for (int i = 1; i <= 3; ++i) {
        const QString name = QStringLiteral("LT_Asked_Title%1").arg(i);
        QVERIFY2(QFileInfo::exists(templates + QStringLiteral("/Titles.localized/ZT Lower Thirds/") + name + QLatin1Char('/')
                                   + name + QStringLiteral(".moti")),
                 qPrintable(after.join(QLatin1Char('\n'))));
    }
    QVERIFY(QDir(templates + QStringLiteral("/.receipts")).entryList(QDir::Files).size() == 1);
    const QStringList leftovers =
        QDir(templates).entryList({QStringLiteral(".mti-*")}, QDir::AllEntries | QDir::Hidden | QDir::System);
    QVERIFY2(leftovers.isEmpty(), qPrintable(leftovers.join(QLatin1Char(','))));
    QVERIFY(QFileInfo::exists(archive));
    QVERIFY2(QDir(temp.path()).entryList({QStringLiteral("*-mti*")}, QDir::Dirs | QDir::NoDotAndDotDot).isEmpty(),
             "an unpack folder was left");
}

int tst_App::signalItselfDuringAnInstall(const QString &archive, bool sessionEnd)
{
    // Slow steps keep the install running when the signal comes.
    FaultHooks::delayEachStep(20);
    AppDelegate delegate;
    QuitSignals::install(&delegate);
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, &delegate, &AppDelegate::applicationWillTerminate);
    delegate.applicationWillFinishLaunching();
    delegate.applicationOpenFiles({archive});
    if (!collectionsOpened())
        return 2;
    delegate.applicationDidFinishLaunching();
    if (collections().size() != 1)
        return 2;
    auto *install = collections().first()->window()->findChild<QPushButton *>(QStringLiteral("installButton"));
    if (!install)
        return 2;
    struct QuestionSpy : QObject
    {
        bool asked = false;
        bool eventFilter(QObject *watched, QEvent *event) override
        {
            auto *box = qobject_cast<QMessageBox *>(watched);
            if (event->type() == QEvent::Show && box && box->text() == QLatin1String("Stop installing?"))
                asked = true;
            return false;
        }
    } spy;
    qApp->installEventFilter(&spy);
    QPointer<TemplateArchiveCollection> collection = collections().first();
    QTimer::singleShot(0, install, &QPushButton::click);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &poll, [&poll, collection, sessionEnd] {
        if (collection && collection->isBusy()) {
            poll.stop();
            if (sessionEnd) {
                // What the session manager's commitDataRequest is connected to.
                QuitSignals::quitForSystem("at the session's end");
            } else {
                ::raise(SIGTERM);
            }
        }
    });
    poll.start(5);
    const int status = QCoreApplication::exec();
    qApp->removeEventFilter(&spy);
    DeferredCleanup::waitForAll();
    std::printf("%s", spy.asked ? "asked\n" : "");
    std::printf("quit\n");
    return status;
}

void tst_App::signalDuringAnInstallStopsItWithoutAsking_data()
{
    QTest::addColumn<QString>("mode");
    QTest::newRow("SIGTERM") << QStringLiteral("--signal-during-install");
    QTest::newRow("logout") << QStringLiteral("--session-end-during-install");
}

void tst_App::signalDuringAnInstallStopsItWithoutAsking()
{
    QFETCH(QString, mode);
    QTemporaryDir home;
    QTemporaryDir temp;
    QVERIFY(home.isValid() && temp.isValid());
    const QString templates = home.filePath(QStringLiteral("Videos/Motion Templates.localized"));
    QVERIFY(QDir().mkpath(QFileInfo(templates).path()));
    const QStringList before = TestSupport::treeDigest(templates);
    const QString archive = makeArchive(QStringLiteral("LT_Pack_Signalled.mtzip"), QStringLiteral("LT_Signalled_Title"), 40);
    QVERIFY(!archive.isEmpty());

    QProcess child;
    child.setProcessEnvironment(childEnvironment(home.path(), temp.path()));
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), {mode, archive});
    QVERIFY(child.waitForStarted());
    QVERIFY2(child.waitForFinished(60000), "the signal did not end the install and the application");
    const QByteArray out = child.readAllStandardOutput();
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.exitCode(), 0);
    QCOMPARE(out, QByteArray("quit\n"));
    // Rolled back: not one template of the archive is left.
    QCOMPARE(TestSupport::treeDigest(templates), before);
    QVERIFY(QFileInfo::exists(archive));
}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() == 6 && arguments.at(1) == QLatin1String("--claim-channel"))
        return tst_App::claimChannel(arguments.at(2), arguments.at(3), arguments.at(4).toInt(),
                                     arguments.at(5).toLongLong());
    if (arguments.size() == 3 && arguments.at(1) == QLatin1String("--wait-at-delete-question"))
        return tst_App::installAndWaitAtTheDeleteQuestion(arguments.at(2));
    if (arguments.size() == 3 && arguments.at(1) == QLatin1String("--signal-during-install"))
        return tst_App::signalItselfDuringAnInstall(arguments.at(2), false);
    if (arguments.size() == 3 && arguments.at(1) == QLatin1String("--session-end-during-install"))
        return tst_App::signalItselfDuringAnInstall(arguments.at(2), true);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    tst_App test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_App.moc"
