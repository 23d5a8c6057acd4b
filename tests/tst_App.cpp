// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "App/AppDelegate.h"
#include "Appearance/DarkAppearance.h"
#include "App/OpenFilesChannel.h"
#include "Collections/TemplateArchiveCollection.h"
#include "Collections/TemplateArchiveCollectionController.h"
#include "App/TemplateArchiveDropzoneView.h"
#include "Installer/TemplateInstallerV2.h"
#include "TestSupport.h"
#include "ZipArchive/ZipArchive.h"

#include <QAction>
#include <QDesktopServices>
#include <QDialog>
#include <QDropEvent>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <thread>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

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
    void emptyOpenFilesRequestKeepsTheStartWindow();
    void launchToOpenTwoArchivesGivesOneCollection();
    void launchToOpenANonArchiveShowsNothing();
    void openingWhileRunningLeavesTheStartWindow();
    void onlyFileURLsArePassedOn();
    void dropOnTheStartWindowOpensTheArchive();
    void quittingClosesAllCollections();
    void openRequestsReachTheRunningInstance();
    void staleSocketIsReplaced();
    void liveSocketIsNotTakenOver();
    void closingTheLastWindowQuits();

private:
    // A category-prefixed archive with one title template in it.
    QString makeArchive(const QString &name, const QString &templateName);
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
}

QString tst_App::makeArchive(const QString &name, const QString &templateName)
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
    if (!zip.CreateZipFile2(archive)
        || !zip.addFileToZip(templateFile, templateName + QLatin1Char('/') + templateName + QStringLiteral(".moti"))
        || !zip.CloseZipFile2())
        return {};
    return archive;
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
    QMenu *menu = _delegate->supportButton()->menu();
    QVERIFY(menu);
    QCOMPARE(menu->title(), QStringLiteral("Support"));
    QCOMPARE(_delegate->supportButton()->text(), QStringLiteral("Support..."));

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
    QCOMPARE(_delegate->supportButton()->menu()->actions().size(), 8);
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
    _delegate->supportButton()->menu()->actions().at(position)->trigger();
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
    QDialog *about = _delegate->aboutWindow();
    QVERIFY(!about->isVisible());
    QCOMPARE(_delegate->aboutVersionField()->text(), QStringLiteral("Version: 1.0 (4)"));
    QCOMPARE(about->palette().color(QPalette::Window), DarkAppearance::palette().color(QPalette::Window));

    QSignalSpy lastWindowClosed(qApp, &QGuiApplication::lastWindowClosed);
    _delegate->aboutAction()->trigger();
    QVERIFY(QTest::qWaitForWindowExposed(about));
    _delegate->aboutWindow()->findChild<QPushButton *>(QStringLiteral("okButton"))->click();
    QVERIFY(!about->isVisible());
    QCOMPARE(lastWindowClosed.count(), 0);

    _delegate->orderFrontStandardAboutPanel();
    QCOMPARE(_delegate->aboutWindow(), about);
    QVERIFY(about->isVisible());
    QCOMPARE(_delegate->aboutVersionField()->text(), QStringLiteral("Version: 1.0 (4)"));
    _delegate->aboutPanelOk();
}

void tst_App::launchingShowsTheDarkStartWindow()
{
    QVERIFY(!_delegate->startWindow()->isVisible());
    _delegate->applicationWillFinishLaunching();
    QVERIFY2(!_delegate->startWindow()->isVisible(), "preparing shows no window");
    QCOMPARE(_delegate->startWindow()->palette().color(QPalette::Window),
             DarkAppearance::palette().color(QPalette::Window));
    _delegate->applicationDidFinishLaunching();
    QVERIFY(QTest::qWaitForWindowActive(_delegate->startWindow()));
    QCOMPARE(_delegate->openAction()->shortcut(), QKeySequence(QKeySequence::Open));
}

void tst_App::emptyOpenFilesRequestKeepsTheStartWindow()
{
    _delegate->applicationWillFinishLaunching();
    _delegate->applicationOpenFiles({});
    QVERIFY(!_delegate->launchedWithOpenFile());
    _delegate->applicationDidFinishLaunching();
    QVERIFY(_delegate->startWindow()->isVisible());
    QVERIFY(collections().isEmpty());
}

void tst_App::launchToOpenTwoArchivesGivesOneCollection()
{
    _delegate->applicationWillFinishLaunching();
    _delegate->applicationOpenFiles({_archiveA, _archiveB});
    _delegate->applicationDidFinishLaunching();

    QVERIFY(_delegate->launchedWithOpenFile());
    QCOMPARE(collections().size(), 1);
    TemplateArchiveCollection *collection = collections().first();
    QCOMPARE(collection->archiveURLs(),
             (QList<QUrl>{QUrl::fromLocalFile(_archiveA), QUrl::fromLocalFile(_archiveB)}));
    QCOMPARE(collection->effectsWithSearchOption(EffectSearchAll).size(), 2);
    QVERIFY(collection->window()->isVisible());
    QVERIFY2(!_delegate->startWindow()->isVisible(), "a launch made to open files shows no start window");
    QVERIFY(!_delegate->aboutWindow()->isVisible());
}

void tst_App::launchToOpenANonArchiveShowsNothing()
{
    _delegate->applicationWillFinishLaunching();
    _delegate->applicationOpenFiles({_notes});
    _delegate->applicationDidFinishLaunching();
    QCoreApplication::processEvents();
    QVERIFY(_delegate->launchedWithOpenFile());
    QVERIFY(collections().isEmpty());
    QVERIFY(!_delegate->startWindow()->isVisible());
    QVERIFY(!QApplication::activeModalWidget());
}

void tst_App::openingWhileRunningLeavesTheStartWindow()
{
    _delegate->applicationWillFinishLaunching();
    _delegate->applicationDidFinishLaunching();
    QVERIFY(QTest::qWaitForWindowActive(_delegate->startWindow()));

    _delegate->applicationOpenFiles({_archiveA});
    QCOMPARE(collections().size(), 1);
    QWidget *window = collections().first()->window();
    QVERIFY(QTest::qWaitForWindowActive(window));
    QVERIFY(_delegate->startWindow()->isVisible());

    // The menu's Open command answers in the collection window too.
    QVERIFY(window->actions().contains(_delegate->openAction()));
}

void tst_App::onlyFileURLsArePassedOn()
{
    const QUrl web(QStringLiteral("https://www.example.com/downloads/LT_Pack_Two.mtzip"));
    _delegate->openTemplateArchiveAtURLs({web, QUrl::fromLocalFile(_archiveA)});
    QCOMPARE(collections().size(), 1);
    QCOMPARE(collections().first()->archiveURLs(), QList<QUrl>{QUrl::fromLocalFile(_archiveA)});

    _delegate->openTemplateArchiveAtURLs({web});
    _delegate->openTemplateArchiveAtURLs({});
    QCOMPARE(collections().size(), 1);
    QVERIFY(_browser.urls.isEmpty());
}

void tst_App::dropOnTheStartWindowOpensTheArchive()
{
    _delegate->applicationWillFinishLaunching();
    _delegate->applicationDidFinishLaunching();
    TemplateArchiveDropzoneView *dropzone = _delegate->dropzoneView();
    QVERIFY(dropzone->window() == _delegate->startWindow());

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
    _delegate->applicationOpenFiles({_archiveB});
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

void tst_App::closingTheLastWindowQuits()
{
    const bool quitOnLastWindow = QGuiApplication::quitOnLastWindowClosed();
    QGuiApplication::setQuitOnLastWindowClosed(AppDelegate::applicationShouldTerminateAfterLastWindowClosed());
    connect(qApp, &QCoreApplication::aboutToQuit, _delegate.get(), &AppDelegate::applicationWillTerminate);

    _delegate->applicationWillFinishLaunching();
    _delegate->applicationOpenFiles({_archiveA});
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

QTEST_MAIN(tst_App)
#include "tst_App.moc"
