// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
// What the application keeps for the user and where it takes archives: the
// Preferences window, Open Recent, drops on any window, the start window
// from the Window menu.
#include "App/AppDelegate.h"
#include "App/PreferencesWindow.h"
#include "CollectionTestTools.h"
#include "Collections/TemplateArchiveCollection.h"
#include "Collections/TemplateArchiveCollectionController.h"
#include "Common/UserSettings.h"
#include "Interface/RecentArchives.h"
#include "Library/TemplateLibraryWindow.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QToolTip>

using namespace CollectionTestTools;
using namespace TestSupport;

namespace {

QAction *action(const AppDelegate *delegate, const char *name)
{
    return delegate->findChild<QAction *>(QLatin1String(name));
}

QList<TemplateArchiveCollection *> collections()
{
    return TemplateArchiveCollectionController::sharedController().collections();
}

bool allOpened()
{
    return QTest::qWaitFor([] {
        const QList<TemplateArchiveCollection *> open = collections();
        return std::none_of(open.begin(), open.end(), [](const TemplateArchiveCollection *c) {
            return c->isOpening() || c->isUnpacking();
        });
    }, 20000);
}

// What a file manager's drag delivers: an enter, then (when accepted) the drop.
bool dropFiles(QWidget *target, const QStringList &paths)
{
    QMimeData data;
    data.setUrls(urlsOf(paths));
    const QPoint middle = target->rect().center();
    QDragEnterEvent enter(middle, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent drop(QPointF(middle), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
    return drop.isAccepted();
}

} // namespace

class tst_AppHabits : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void preferencesStoreEveryChangeAtOnce();
    void preferencesRefuseAVersionThatDoesNotParse();
    void popUpsAndToolTipsAreDark_data();
    void popUpsAndToolTipsAreDark();
    void openRecentListsTheArchivesNewestFirst();
    void archivesDroppedOnAnyWindowOpen_data();
    void archivesDroppedOnAnyWindowOpen();
    void startWindowFromTheWindowMenu();

private:
    std::unique_ptr<AppDelegate> _delegate;
    std::unique_ptr<QTemporaryDir> _archives;
};

void tst_AppHabits::init()
{
    UserSettings::store().clear();
    _archives = std::make_unique<QTemporaryDir>();
    QVERIFY(_archives->isValid());
    _delegate = std::make_unique<AppDelegate>();
    _delegate->applicationWillFinishLaunching();
}

void tst_AppHabits::cleanup()
{
    TemplateArchiveCollectionController::sharedController().closeAllCollections();
    for (QMessageBox *box : visibleAlerts())
        box->done(0);
    QTRY_VERIFY(collections().isEmpty());
    _delegate.reset();
    _archives.reset();
    UserSettings::store().clear();
}

void tst_AppHabits::preferencesStoreEveryChangeAtOnce()
{
    QAction *preferences = action(_delegate.get(), "preferencesAction");
    QVERIFY(preferences);
    QCOMPARE(preferences->menuRole(), QAction::PreferencesRole);
    QVERIFY(!preferences->shortcut().isEmpty());
    preferences->trigger();
    PreferencesWindow *window = _delegate->preferencesWindow();
    QVERIFY(window);
    QTRY_VERIFY(window->isVisible());
    // The dark look, as every other window.
    QVERIFY(window->palette().color(QPalette::Window).lightness() < 100);
    QCOMPARE(window->templatesFolderLabel()->text(),
             QDir::toNativeSeparators(TemplateInstaller::userDestMotionTemplatesFolder()));

    // Where removed templates go: the Trash until told otherwise.
    QVERIFY(window->trashButton()->isChecked());
    window->deleteButton()->click();
    QCOMPARE(UserSettings::removeToTrash(), false);
    window->trashButton()->click();
    QCOMPARE(UserSettings::removeToTrash(), true);

    // Folders searched for archives: each once, only folders.
    const QString folder = _archives->path();
    QVERIFY(window->addSearchFolder(folder));
    QVERIFY(!window->addSearchFolder(folder));
    QVERIFY(!window->addSearchFolder(folder + QStringLiteral("/missing")));
    QCOMPARE(UserSettings::archiveSearchFolders(), QStringList{folder});
    QVERIFY(!window->removeFolderButton()->isEnabled());
    window->searchFolderList()->item(0)->setSelected(true);
    QVERIFY(window->removeFolderButton()->isEnabled());
    window->removeFolderButton()->click();
    QCOMPARE(UserSettings::archiveSearchFolders(), QStringList());

    // A known version from the list; empty is the newest installed.
    QComboBox *version = window->finalCutVersionBox();
    QVERIFY(version->count() > 1);
    QCOMPARE(version->itemText(0), QString());
    version->setCurrentIndex(1);
    emit version->activated(1);
    QCOMPARE(UserSettings::finalCutVersionOverride(), version->itemText(1));
    version->setCurrentIndex(0);
    emit version->activated(0);
    QCOMPARE(UserSettings::finalCutVersionOverride(), QString());

    // Changed elsewhere (mtzip reads the same store), the window shows it when it comes up again.
    UserSettings::setRemoveToTrash(false);
    UserSettings::setArchiveSearchFolders({folder});
    window->close();
    preferences->trigger();
    QTRY_VERIFY(window->isVisible());
    QVERIFY(window->deleteButton()->isChecked());
    QCOMPARE(window->searchFolderList()->count(), 1);
    QCOMPARE(_delegate->preferencesWindow(), window);
}

void tst_AppHabits::preferencesRefuseAVersionThatDoesNotParse()
{
    _delegate->showPreferences();
    PreferencesWindow *window = _delegate->preferencesWindow();
    QVERIFY(window);
    QLineEdit *edit = window->finalCutVersionBox()->lineEdit();
    edit->setText(QStringLiteral("10.6.2"));
    emit edit->editingFinished();
    QCOMPARE(UserSettings::finalCutVersionOverride(), QStringLiteral("10.6.2"));
    QVERIFY(window->finalCutProblemLabel()->isHidden());

    edit->setText(QStringLiteral("eleven"));
    emit edit->editingFinished();
    // Not stored: it would count as unset, which is not what was typed.
    QCOMPARE(UserSettings::finalCutVersionOverride(), QStringLiteral("10.6.2"));
    QVERIFY(!window->finalCutProblemLabel()->isHidden());
    QVERIFY(window->finalCutProblemLabel()->text().contains(QStringLiteral("eleven")));

    edit->setText(QString());
    emit edit->editingFinished();
    QCOMPARE(UserSettings::finalCutVersionOverride(), QString());
    QVERIFY(window->finalCutProblemLabel()->isHidden());
}

namespace {

bool isDark(const QColor &colour)
{
    return colour.lightness() < 100;
}

// A pixel well inside what the widget drew, away from its frame.
QColor drawnColour(QWidget *widget)
{
    const QImage image = widget->grab().toImage();
    return image.isNull() ? QColor(Qt::white) : QColor(image.pixel(image.width() - 4, image.height() - 4));
}

} // namespace

void tst_AppHabits::popUpsAndToolTipsAreDark_data()
{
    QTest::addColumn<QString>("window");
    QTest::newRow("Preferences, editable combo box") << QStringLiteral("preferences");
    QTest::newRow("library, filter combo box") << QStringLiteral("library");
}

void tst_AppHabits::popUpsAndToolTipsAreDark()
{
    QFETCH(QString, window);
    std::unique_ptr<TemplateLibraryWindow> library;
    QWidget *shown = nullptr;
    QComboBox *combo = nullptr;
    if (window == QLatin1String("preferences")) {
        _delegate->showPreferences();
        shown = _delegate->preferencesWindow();
        combo = _delegate->preferencesWindow()->finalCutVersionBox();
    } else {
        library = std::make_unique<TemplateLibraryWindow>(TemplateLibraryWindow::defaultLocations());
        library->show();
        shown = library.get();
        combo = library->findChild<QComboBox *>(QStringLiteral("kindFilter"));
    }
    QVERIFY(combo);
    QVERIFY(QTest::qWaitForWindowExposed(shown));

    // The pop-up is a window of its own; its palette changes the combo's would have lost.
    combo->setPalette(combo->palette());
    combo->showPopup();
    QWidget *popup = combo->view()->window();
    QVERIFY(popup != shown);
    QTRY_VERIFY(popup->isVisible());
    QVERIFY(isDark(combo->view()->palette().color(QPalette::Base)));
    QVERIFY(isDark(popup->palette().color(QPalette::Window)));
    QVERIFY2(isDark(drawnColour(combo->view()->viewport())), qPrintable(drawnColour(combo->view()->viewport()).name()));
    combo->hidePopup();

    // Tool tips: the label that shows them, and what it draws.
    QToolTip::showText(shown->mapToGlobal(QPoint(20, 20)), QStringLiteral("A tip"), shown);
    QWidget *tip = nullptr;
    QTRY_VERIFY((tip = [] {
        const QWidgetList all = QApplication::topLevelWidgets();
        for (QWidget *widget : all)
            if (widget->inherits("QTipLabel") && widget->isVisible())
                return widget;
        return static_cast<QWidget *>(nullptr);
    }()));
    QVERIFY(isDark(QToolTip::palette().color(QPalette::ToolTipBase)));
    QVERIFY(isDark(tip->palette().color(QPalette::ToolTipBase)));
    QVERIFY2(isDark(drawnColour(tip)), qPrintable(drawnColour(tip).name()));
    QToolTip::hideText();
}

void tst_AppHabits::openRecentListsTheArchivesNewestFirst()
{
    const QString one = makeArchive(_archives->path(), QStringLiteral("LT_One.mtzip"), {QStringLiteral("LT_One_A")});
    const QString two = makeArchive(_archives->path(), QStringLiteral("OP_Two.mtzip"), {QStringLiteral("OP_Two_A")});
    QVERIFY(!one.isEmpty() && !two.isEmpty());
    _delegate->openTemplateArchiveAtURLs(urlsOf({one}));
    QVERIFY(allOpened());
    _delegate->openTemplateArchiveAtURLs(urlsOf({two}));
    QVERIFY(allOpened());
    QCOMPARE(RecentArchives::paths(), QStringList({two, one}));

    // The menu as the user opens it.
    QMenu *recent = nullptr;
    for (QMenu *menu : _delegate->startWindow()->findChildren<QMenu *>()) {
        if (menu->objectName() == QLatin1String("recentMenu"))
            recent = menu;
    }
#ifndef Q_OS_MACOS
    QVERIFY(recent);
    emit recent->aboutToShow();
    QStringList shown;
    for (QAction *entry : recent->actions()) {
        if (!entry->isSeparator())
            shown.append(entry->text());
    }
    QCOMPARE(shown, QStringList({QStringLiteral("OP_Two.mtzip"), QStringLiteral("LT_One.mtzip"), QStringLiteral("Clear Menu")}));

    // An entry opens its archive again.
    TemplateArchiveCollectionController::sharedController().closeAllCollections();
    QTRY_VERIFY(collections().isEmpty());
    recent->actions().at(1)->trigger();
    QTRY_COMPARE(collections().size(), 1);
    QCOMPARE(collections().first()->archiveURLs(), urlsOf({one}));
    QVERIFY(allOpened());
    QCOMPARE(RecentArchives::paths(), QStringList({one, two}));

    // A file gone is no longer offered; Clear Menu forgets the rest.
    QVERIFY(QFile::remove(two));
    emit recent->aboutToShow();
    QCOMPARE(recent->actions().first()->text(), QStringLiteral("LT_One.mtzip"));
    QAction *clear = recent->findChild<QAction *>(QStringLiteral("clearRecentAction"));
    QVERIFY(clear && clear->isEnabled());
    clear->trigger();
    QCOMPARE(RecentArchives::paths(), QStringList());
    emit recent->aboutToShow();
    QVERIFY(!recent->findChild<QAction *>(QStringLiteral("clearRecentAction"))->isEnabled());
#else
    Q_UNUSED(recent)
#endif
}

void tst_AppHabits::archivesDroppedOnAnyWindowOpen_data()
{
    QTest::addColumn<QString>("window");
    QTest::newRow("the library window") << QStringLiteral("library");
    QTest::newRow("a collection window") << QStringLiteral("collection");
}

void tst_AppHabits::archivesDroppedOnAnyWindowOpen()
{
    QFETCH(QString, window);
    const QString first = makeArchive(_archives->path(), QStringLiteral("LT_First.mtzip"), {QStringLiteral("LT_First_A")});
    const QString dropped = makeArchive(_archives->path(), QStringLiteral("OP_Dropped.mtzip"), {QStringLiteral("OP_Dropped_A")});
    const QString notes = _archives->filePath(QStringLiteral("notes.txt"));
    QVERIFY(writeFile(notes, "not an archive"));

    QWidget *target = nullptr;
    if (window == QLatin1String("library")) {
        _delegate->showTemplateLibrary();
        target = QApplication::activeWindow() ? QApplication::activeWindow() : nullptr;
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (qobject_cast<TemplateLibraryWindow *>(widget))
                target = widget;
        }
    } else {
        _delegate->openTemplateArchiveAtURLs(urlsOf({first}));
        QVERIFY(allOpened());
        target = collections().first()->window();
    }
    QVERIFY(target);
    const qsizetype before = collections().size();

    // A drag of no archive is refused: nothing opens, nothing is said.
    QVERIFY(!dropFiles(target, {notes}));
    // Archives among other files open; the others are named as usual.
    AlertWatcher alerts;
    alerts.answer(QStringLiteral("“notes.txt” is not a template archive."), QStringLiteral("OK"));
    QVERIFY(dropFiles(target, {dropped, notes}));
    QTRY_COMPARE(collections().size(), before + 1);
    QVERIFY(allOpened());
    QCOMPARE(collections().last()->archiveURLs(), urlsOf({dropped}));
    QTRY_VERIFY(collections().last()->window()->isVisible());
}

void tst_AppHabits::startWindowFromTheWindowMenu()
{
    const QString archive = makeArchive(_archives->path(), QStringLiteral("LT_Only.mtzip"), {QStringLiteral("LT_Only_A")});
    _delegate->applicationOpenFiles({archive});
    _delegate->applicationDidFinishLaunching();
    QVERIFY(allOpened());
    QVERIFY(!_delegate->startWindow()->isVisible());
    QAction *start = action(_delegate.get(), "startWindowAction");
    QVERIFY(start);
    start->trigger();
    QTRY_VERIFY(_delegate->startWindow()->isVisible());
}

MTI_COLLECTION_TEST_MAIN(tst_AppHabits)
#include "tst_AppHabits.moc"
