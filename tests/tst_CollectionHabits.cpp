// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
// The collection window from the keyboard, and what its questions do with
// a key pressed in passing.
#include "CollectionTestTools.h"
#include "Collections/TemplateArchiveCollection.h"
#include "Collections/TemplateArchiveCollectionController.h"
#include "Collections/EffectsTableModel.h"
#include "Common/ByteSize.h"
#include "Common/UserSettings.h"
#include "Installer/EffectTemplateItem.h"
#include "Installer/InstallSpace.h"
#include "Interface/PasswordSheet.h"
#include "Interface/PreviewPanel.h"
#include "ZipArchive/ZipArchive.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QHeaderView>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QTemporaryDir>

using namespace CollectionTestTools;
using namespace TestSupport;

namespace {

const QString Titles = QStringLiteral("Titles.localized");
const QString LowerThirds = QStringLiteral("Lower Thirds");

TemplateArchiveCollectionController &registry()
{
    return TemplateArchiveCollectionController::sharedController();
}

QTableView *tableOf(const TemplateArchiveCollection *collection)
{
    return collection->window()->findChild<QTableView *>(QStringLiteral("effectsTable"));
}

QLineEdit *searchOf(const TemplateArchiveCollection *collection)
{
    return collection->window()->findChild<QLineEdit *>(QStringLiteral("searchField"));
}

// Selects the view's row and gives the table the focus, as a click would
// (which also makes its window the active one again after a sheet).
void selectRow(TemplateArchiveCollection *collection, int row)
{
    QTableView *table = tableOf(collection);
    collection->window()->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(collection->window()));
    table->setFocus();
    table->selectionModel()->setCurrentIndex(table->model()->index(row, 0),
                                             QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

const QString Secret = QStringLiteral("s3cret");

// Two templates whose files are all encrypted with `Secret`.
QString makeSecretArchive(const QString &folder)
{
    QTemporaryDir staging;
    const QString archive = folder + QStringLiteral("/LT_Secret.mtzip");
    ZipArchive zip;
    if (!staging.isValid() || !zip.CreateZipFile2(archive, Secret))
        return {};
    for (const QString &name : {QStringLiteral("LT_Secret_1"), QStringLiteral("LT_Secret_2")}) {
        const QString file = name + QLatin1Char('/') + name + QStringLiteral(".moti");
        if (!writeFile(staging.filePath(file), "template " + name.toUtf8())
            || !zip.addFileToZip(staging.filePath(file), file)) {
            zip.discardZipFile();
            return {};
        }
    }
    return zip.CloseZipFile2() ? archive : QString();
}

PasswordSheet *awaitPasswordSheet(QSet<PasswordSheet *> *seen)
{
    PasswordSheet *found = nullptr;
    const bool shown = QTest::qWaitFor(
        [&] {
            for (QWidget *widget : QApplication::topLevelWidgets()) {
                auto *sheet = qobject_cast<PasswordSheet *>(widget);
                if (sheet && sheet->isVisible() && !seen->contains(sheet))
                    found = sheet;
            }
            return found != nullptr;
        },
        20000);
    if (shown)
        seen->insert(found);
    return found;
}

// The unpack folders of this process in the temporary folder.
QStringList unpackFolders()
{
    return QDir::temp().entryList({QStringLiteral("*-mti%1-*").arg(QCoreApplication::applicationPid())},
                                  QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
}

} // namespace

class tst_CollectionHabits : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void findFocusesTheSearchAndEscapeClearsIt();
    void returnInstallsTheSelection();
    void deleteAsksAndReturnCancels_data();
    void deleteAsksAndReturnCancels();
    void spaceShowsThePreviewAndPutsItAway();
    void installThatDoesNotFitIsRefusedWithBothSizes();
    void openingAnOpenArchiveBringsItsWindowForward();
    void passwordSheetNamesTheEntryAndAsksAgain();
    void cancelledPasswordLeavesNothingBehind();
    void theNextWindowIsArrangedAsTheLastWasLeft();

private:
    // The window of one archive of four lower thirds, the first with a
    // preview, shown and active.
    TemplateArchiveCollection *openShown();

    std::unique_ptr<QTemporaryDir> _archives;
    QStringList _names;
};

void tst_CollectionHabits::initTestCase()
{
    QVERIFY(QStandardPaths::isTestModeEnabled());
    TemplateArchiveCollection::setTerminateHandler([] {});
}

void tst_CollectionHabits::init()
{
    QVERIFY(resetDestination());
    _archives = std::make_unique<QTemporaryDir>();
    QVERIFY(_archives->isValid());
    _names = templateNames(QStringLiteral("LT"), QStringLiteral("Third"), 4);
}

void tst_CollectionHabits::cleanup()
{
    InstallSpace::setAvailableForTesting(std::nullopt);
    registry().closeAllCollections();
    for (QMessageBox *box : visibleAlerts())
        box->done(0);
    QTRY_VERIFY(registry().collections().isEmpty());
    QVERIFY(resetDestination());
    _archives.reset();
    // Each case starts from the windows' defaults.
    UserSettings::store().clear();
}

TemplateArchiveCollection *tst_CollectionHabits::openShown()
{
    const QString path = makeArchive(_archives->path(), QStringLiteral("LT_Pack.mtzip"), _names,
                                     QStringLiteral("moti"), {_names.first()});
    const QList<TemplateArchiveCollection *> opened = openArchives(urlsOf({path}), true);
    if (opened.size() != 1)
        return nullptr;
    QWidget *window = opened.first()->window();
    window->show();
    window->activateWindow();
    if (!QTest::qWaitForWindowActive(window))
        return nullptr;
    return opened.first();
}

void tst_CollectionHabits::findFocusesTheSearchAndEscapeClearsIt()
{
    QPointer<TemplateArchiveCollection> collection = openShown();
    QVERIFY(collection);
    QLineEdit *search = searchOf(collection);
    QTableView *table = tableOf(collection);
    table->setFocus();
    QVERIFY(!search->hasFocus());

    QTest::keySequence(collection->window(), QKeySequence::Find);
    QTRY_VERIFY(search->hasFocus());
    QTest::keyClicks(search, QStringLiteral("3"));
    QTRY_COMPARE(table->model()->rowCount(), 1);

    // The first Escape empties the search and shows every row again ...
    QTest::keyClick(search, Qt::Key_Escape);
    QCOMPARE(search->text(), QString());
    QTRY_COMPARE(table->model()->rowCount(), 4);
    QVERIFY(search->hasFocus());
    // ... the next one goes back to the table.
    QTest::keyClick(search, Qt::Key_Escape);
    QTRY_VERIFY(table->hasFocus());
    // Find again selects what was typed, so typing replaces it.
    search->setText(QStringLiteral("old"));
    QTest::keySequence(collection->window(), QKeySequence::Find);
    QTRY_VERIFY(search->hasFocus());
    QCOMPARE(search->selectedText(), QStringLiteral("old"));
}

void tst_CollectionHabits::returnInstallsTheSelection()
{
    QPointer<TemplateArchiveCollection> collection = openShown();
    QVERIFY(collection);
    selectRow(collection, 1);
    const EffectTemplateItemList selected = collection->selectedEffects();
    QCOMPARE(selected.size(), size_t(1));
    const QString chosen = selected.front()->folderName();

    AlertWatcher alerts;
    alerts.answer(QStringLiteral("Installation Completed"), QStringLiteral("Cancel"));
    QTest::keyClick(tableOf(collection), Qt::Key_Return);
    QTRY_VERIFY(alerts.answered(QStringLiteral("Installation Completed")));
    QVERIFY(waitUntilIdle(collection));
    for (const QString &name : std::as_const(_names))
        QCOMPARE(QFileInfo::exists(installedPath(Titles, LowerThirds, name)), name == chosen);
}

void tst_CollectionHabits::deleteAsksAndReturnCancels_data()
{
    QTest::addColumn<int>("key");
    QTest::newRow("Delete") << int(Qt::Key_Delete);
    QTest::newRow("Backspace") << int(Qt::Key_Backspace);
}

void tst_CollectionHabits::deleteAsksAndReturnCancels()
{
    QFETCH(int, key);
    QPointer<TemplateArchiveCollection> collection = openShown();
    QVERIFY(collection);
    {
        AlertWatcher alerts;
        alerts.answer(QStringLiteral("Delete Template Archive?"), QStringLiteral("Keep"));
        alerts.answer(QStringLiteral("Installation Completed"), QStringLiteral("Cancel"));
        collection->installForCurrentUser();
        QTRY_VERIFY(alerts.answered(QStringLiteral("Installation Completed")));
    }
    QVERIFY(waitUntilIdle(collection));
    const QString first = installedPath(Titles, LowerThirds, _names.first());
    QVERIFY(QFileInfo::exists(first));

    selectRow(collection, 0);
    QTest::keyClick(tableOf(collection), Qt::Key(key));
    const QString question = QStringLiteral("Uninstall 1 template from Final Cut Pro's library?");
    QMessageBox *box = awaitAlert(question);
    QVERIFY(box);
    // The key alone removed nothing; Return, pressed again in passing, is Cancel.
    QVERIFY(QFileInfo::exists(first));
    QVERIFY(box->defaultButton());
    QCOMPARE(box->defaultButton()->text(), QStringLiteral("Cancel"));
    QTest::keyClick(box, Qt::Key_Return);
    QTRY_VERIFY(!visibleAlert(question));
    settle();
    QVERIFY(waitUntilIdle(collection));
    QVERIFY(QFileInfo::exists(first));
    QVERIFY(visibleAlerts().isEmpty());

    // Answered with Uninstall, the same key does remove it.
    selectRow(collection, 0);
    QTest::keyClick(tableOf(collection), Qt::Key(key));
    box = awaitAlert(question);
    QVERIFY(box);
    QVERIFY(press(box, QStringLiteral("Uninstall")));
    QVERIFY(awaitAlert(QStringLiteral("Uninstall Completed")));
    QVERIFY(!QFileInfo::exists(first));
    QVERIFY(QFileInfo::exists(installedPath(Titles, LowerThirds, _names.at(1))));
}

void tst_CollectionHabits::spaceShowsThePreviewAndPutsItAway()
{
    QPointer<TemplateArchiveCollection> collection = openShown();
    QVERIFY(collection);
    QTableView *table = tableOf(collection);
    // Nothing selected: Space shows nothing.
    table->clearSelection();
    QTest::keyClick(table, Qt::Key_Space);
    QVERIFY(!collection->window()->findChild<PreviewPanel *>());

    selectRow(collection, 0);
    QTest::keyClick(table, Qt::Key_Space);
    QPointer<PreviewPanel> panel = collection->window()->findChild<PreviewPanel *>();
    QVERIFY(panel);
    QTRY_VERIFY(panel->isVisible());
    QVERIFY(panel->hasImage());
    // The 160 x 90 red preview, larger, kept to its shape.
    QCOMPARE(panel->image().size(), PreviewPanel::MaximumSize);
    QCOMPARE(QColor(panel->image().pixel(480, 270)).red(), 255);
    QVERIFY(panel->windowTitle().contains(QStringLiteral("Third")));
    // The table keeps the keys: the panel follows the selection ...
    QVERIFY(table->hasFocus());
    QTest::keyClick(table, Qt::Key_Down);
    QTRY_VERIFY(!panel->hasImage());
    QVERIFY(panel->isVisible());
    QCOMPARE(panel->findChild<QLabel *>(QStringLiteral("previewPanelImage"))->text(), QStringLiteral("No Preview"));
    // ... and Space puts it away.
    QTest::keyClick(table, Qt::Key_Space);
    QTRY_VERIFY(!panel->isVisible());
    QCOMPARE(collection->selectedEffects().size(), size_t(1));

    // Escape does too, and so do Space and Escape on the panel itself once clicked.
    for (int key : {int(Qt::Key_Escape), -int(Qt::Key_Space), -int(Qt::Key_Escape)}) {
        QTest::keyClick(table, Qt::Key_Space);
        QCOMPARE(collection->window()->findChild<PreviewPanel *>(), panel.data());
        QTRY_VERIFY(panel->isVisible());
        if (key > 0)
            QTest::keyClick(table, Qt::Key(key));
        else
            QTest::keyClick(panel, Qt::Key(-key));
        QTRY_VERIFY(!panel->isVisible());
    }
}

void tst_CollectionHabits::installThatDoesNotFitIsRefusedWithBothSizes()
{
    QPointer<TemplateArchiveCollection> collection = openShown();
    QVERIFY(collection);
    const QStringList before = treeDigest(moviesFolder());
    InstallSpace::setAvailableForTesting(5000);
    collection->installForCurrentUser();
    QMessageBox *box = awaitAlert(QStringLiteral("Not Enough Free Space"));
    QVERIFY(box);
    QCOMPARE(box->parentWidget(), collection->window());
    const QString text = box->informativeText();
    QVERIFY2(text.contains(QStringLiteral("only %1 are free").arg(ByteSize::forDisplay(5000))), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("installing needs ")), qPrintable(text));
    QVERIFY2(text.endsWith(QStringLiteral("Nothing was changed.")), qPrintable(text));
    QVERIFY(waitUntilIdle(collection));
    QCOMPARE(treeDigest(moviesFolder()), before);
    QVERIFY(press(box, QStringLiteral("Ok")) || press(box, QStringLiteral("OK")));
}

void tst_CollectionHabits::openingAnOpenArchiveBringsItsWindowForward()
{
    QPointer<TemplateArchiveCollection> first = openShown();
    QVERIFY(first);
    const QString other = makeArchive(_archives->path(), QStringLiteral("OP_Other.mtzip"),
                                      templateNames(QStringLiteral("OP"), QStringLiteral("Open"), 1));
    const QList<TemplateArchiveCollection *> second = openArchives(urlsOf({other}), true);
    QCOMPARE(second.size(), 1);
    second.first()->window()->show();
    second.first()->window()->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(second.first()->window()));
    first->window()->showMinimized();

    AlertWatcher alerts;
    alerts.answer(QStringLiteral("Archive Already Open"), QStringLiteral("Ok"));
    QCOMPARE(openArchives(first->archiveURLs(), true).size(), 0);
    QTRY_VERIFY(alerts.answered(QStringLiteral("Archive Already Open")));
    QTRY_COMPARE(QApplication::activeWindow(), first->window());
    QVERIFY(!first->window()->isMinimized());
    QCOMPARE(registry().collections().size(), 2);
    settle();
    QCOMPARE(alerts.titlesSeen(), QStringList{QStringLiteral("Archive Already Open")});
}

void tst_CollectionHabits::passwordSheetNamesTheEntryAndAsksAgain()
{
    const QString archive = makeSecretArchive(_archives->path());
    QVERIFY(!archive.isEmpty());
    const QList<TemplateArchiveCollection *> opened =
        TemplateArchiveCollection::templateArchivesFromURLs(urlsOf({archive}), true);
    QCOMPARE(opened.size(), 1);
    QPointer<TemplateArchiveCollection> collection = opened.first();
    collection->showWhenOpened();

    QSet<PasswordSheet *> seen;
    PasswordSheet *sheet = awaitPasswordSheet(&seen);
    QVERIFY(sheet);
    QCOMPARE(sheet->parentWidget(), collection->window());
    QCOMPARE(sheet->windowModality(), Qt::WindowModal);
    QCOMPARE(sheet->messageLabel()->text(), QStringLiteral("“LT_Secret.mtzip” is protected by a password."));
    QVERIFY2(sheet->detailLabel()->text().contains(QStringLiteral("“LT_Secret_1/LT_Secret_1.moti”")),
             qPrintable(sheet->detailLabel()->text()));
    QVERIFY(sheet->retryLabel()->isHidden());
    QCOMPARE(sheet->passwordField()->echoMode(), QLineEdit::Password);
    QVERIFY(sheet->openButton()->isDefault());
    QVERIFY(collection->isOpening());

    QTest::keyClicks(sheet->passwordField(), QStringLiteral("wrong"));
    sheet->openButton()->click();
    // A wrong password asks again, saying so.
    sheet = awaitPasswordSheet(&seen);
    QVERIFY(sheet);
    QVERIFY(!sheet->retryLabel()->isHidden());
    QVERIFY(collection);
    QVERIFY(collection->isOpening());

    QTest::keyClicks(sheet->passwordField(), Secret);
    QTest::keyClick(sheet->passwordField(), Qt::Key_Return);
    QTRY_VERIFY_WITH_TIMEOUT(collection && !collection->isOpening(), 20000);
    QCOMPARE(collection->tableModel()->rowCount(), 2);
    QVERIFY(collection->window()->isVisible());
    settle();
    QVERIFY(visibleAlerts().isEmpty());
}

void tst_CollectionHabits::cancelledPasswordLeavesNothingBehind()
{
    const QString archive = makeSecretArchive(_archives->path());
    QVERIFY(!archive.isEmpty());
    const QStringList foldersBefore = unpackFolders();
    const QStringList archivesBefore = treeDigest(_archives->path());
    const QList<TemplateArchiveCollection *> opened =
        TemplateArchiveCollection::templateArchivesFromURLs(urlsOf({archive}), true);
    QCOMPARE(opened.size(), 1);
    QPointer<TemplateArchiveCollection> collection = opened.first();
    collection->showWhenOpened();

    QSet<PasswordSheet *> seen;
    PasswordSheet *sheet = awaitPasswordSheet(&seen);
    QVERIFY(sheet);
    QTest::keyClick(sheet, Qt::Key_Escape);
    // Nothing to show: the window goes, with no sheet of problems after it.
    QTRY_VERIFY(collection.isNull());
    settle();
    QVERIFY(visibleAlerts().isEmpty());
    QCOMPARE(unpackFolders(), foldersBefore);
    QCOMPARE(treeDigest(_archives->path()), archivesBefore);
    QVERIFY(registry().collections().isEmpty());
}

void tst_CollectionHabits::theNextWindowIsArrangedAsTheLastWasLeft()
{
    QPointer<TemplateArchiveCollection> collection = openShown();
    QVERIFY(collection);
    QWidget *window = collection->window();
    QTableView *table = tableOf(collection);
    auto *splitter = window->findChild<QSplitter *>(QStringLiteral("contentSplitter"));
    QVERIFY(splitter);
    // What a user does: a larger window, a wider column, sorted by title
    // backwards, the preview pane narrower.
    window->resize(window->width() + 120, window->height() + 90);
    const QSize size = window->size();
    table->horizontalHeader()->resizeSection(EffectsTableModel::CategoryColumn, 211);
    table->sortByColumn(EffectsTableModel::TitleColumn, Qt::DescendingOrder);
    const QList<int> division{splitter->sizes().at(0) + 60, splitter->sizes().at(1) - 60};
    splitter->setSizes(division);
    emit splitter->splitterMoved(division.at(0), 1);
    const QList<int> divided = splitter->sizes();
    const QString lastTitle = table->model()->index(0, EffectsTableModel::TitleColumn).data().toString();
    QVERIFY(lastTitle.endsWith(QLatin1Char('4')));
    collection->close();
    QTRY_VERIFY(collection.isNull());

    // The next window, of another archive, opens as that one was left.
    const QString other = makeArchive(_archives->path(), QStringLiteral("OP_Next.mtzip"),
                                      templateNames(QStringLiteral("OP"), QStringLiteral("Open"), 3));
    const QList<TemplateArchiveCollection *> opened = openArchives(urlsOf({other}), true);
    QCOMPARE(opened.size(), 1);
    window = opened.first()->window();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    table = tableOf(opened.first());
    QCOMPARE(window->size(), size);
    QCOMPARE(table->horizontalHeader()->sectionSize(EffectsTableModel::CategoryColumn), 211);
    QCOMPARE(table->horizontalHeader()->sortIndicatorSection(), int(EffectsTableModel::TitleColumn));
    QCOMPARE(table->horizontalHeader()->sortIndicatorOrder(), Qt::DescendingOrder);
    // Sorted so, not only marked.
    QVERIFY(table->model()->index(0, EffectsTableModel::TitleColumn).data().toString().endsWith(QLatin1Char('3')));
    QCOMPARE(window->findChild<QSplitter *>(QStringLiteral("contentSplitter"))->sizes(), divided);
}

MTI_COLLECTION_TEST_MAIN(tst_CollectionHabits)
#include "tst_CollectionHabits.moc"
