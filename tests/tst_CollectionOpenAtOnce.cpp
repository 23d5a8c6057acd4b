// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
// The collection window opens on the archive's directory and unpacks behind
// it: what needs the files waits, a failure afterwards still refuses, and a
// cancelled wait leaves nothing behind.
#include "CollectionTestTools.h"
#include "Collections/EffectsTableModel.h"
#include "Collections/TemplateArchiveCollection.h"
#include "Collections/TemplateArchiveCollectionController.h"
#include "Installer/EffectTemplateItem.h"
#include "Interface/PreviewPanel.h"
#include "ZipTestTools.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QSemaphore>
#include <QTableView>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>

using namespace CollectionTestTools;
using namespace TestSupport;

namespace {

const QString Titles = QStringLiteral("Titles.localized");
const QString LowerThirds = QStringLiteral("Lower Thirds");

TemplateArchiveCollectionController &registry()
{
    return TemplateArchiveCollectionController::sharedController();
}

QPushButton *button(const TemplateArchiveCollection *collection, const char *name)
{
    return collection->window()->findChild<QPushButton *>(QLatin1String(name));
}

// The visible progress dialog of `window`, or null.
QProgressDialog *progressDialog(const QWidget *window)
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        auto *dialog = qobject_cast<QProgressDialog *>(widget);
        if (dialog && dialog->isVisible() && (!dialog->parentWidget() || dialog->parentWidget() == window))
            return dialog;
    }
    return nullptr;
}

// The unpack folders of this process in the temporary folder.
QStringList unpackFolders()
{
    return QDir::temp().entryList({QStringLiteral("*-mti%1-*").arg(QCoreApplication::applicationPid())},
                                  QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
}

// Holds the background unpacks until opened (or a minute has passed, so
// that a failing case cannot leave a worker waiting for ever).
class UnpackGate
{
public:
    UnpackGate()
    {
        TemplateArchiveCollection::setUnpackHook([semaphore = _semaphore] {
            semaphore->tryAcquire(1, 60000);
            semaphore->release();
        });
    }
    ~UnpackGate()
    {
        open();
        TemplateArchiveCollection::setUnpackHook({});
    }
    void open() { _semaphore->release(); }

private:
    std::shared_ptr<QSemaphore> _semaphore = std::make_shared<QSemaphore>(0);
};

} // namespace

class tst_CollectionOpenAtOnce : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void rowsShowBeforeTheUnpackEnds();
    void installWaitsForTheUnpack_data();
    void installWaitsForTheUnpack();
    void cancelledWaitLeavesNothingBehind();
    void closingDuringTheUnpackLeavesNothingBehind_data();
    void closingDuringTheUnpackLeavesNothingBehind();
    void damagedPreviewIsLeftOutBehindTheList();
    void failingUnpackAfterTheListingRefuses_data();
    void failingUnpackAfterTheListingRefuses();
    void unpackedTreeDifferingFromTheListTakesItsPlace();

private:
    // Opens the archives and waits for the listing only; the window shown.
    TemplateArchiveCollection *openListed(const QStringList &archives);

    std::unique_ptr<QTemporaryDir> _archives;
    QStringList _names;
};

void tst_CollectionOpenAtOnce::initTestCase()
{
    QVERIFY(QStandardPaths::isTestModeEnabled());
    TemplateArchiveCollection::setTerminateHandler([] {});
}

void tst_CollectionOpenAtOnce::init()
{
    QVERIFY(resetDestination());
    _archives = std::make_unique<QTemporaryDir>();
    QVERIFY(_archives->isValid());
    _names = templateNames(QStringLiteral("LT"), QStringLiteral("Third"), 3);
}

void tst_CollectionOpenAtOnce::cleanup()
{
    TemplateArchiveCollection::setUnpackHook({});
    registry().closeAllCollections();
    for (QMessageBox *box : visibleAlerts())
        box->done(0);
    QTRY_VERIFY(registry().collections().isEmpty());
    QTRY_VERIFY(unpackFolders().isEmpty());
    QVERIFY(resetDestination());
    _archives.reset();
}

TemplateArchiveCollection *tst_CollectionOpenAtOnce::openListed(const QStringList &archives)
{
    const QList<TemplateArchiveCollection *> opened =
        TemplateArchiveCollection::templateArchivesFromURLs(urlsOf(archives), true);
    if (opened.size() != 1)
        return nullptr;
    QPointer<TemplateArchiveCollection> collection = opened.first();
    collection->showWhenOpened();
    if (!QTest::qWaitFor([&] { return !collection || !collection->isOpening(); }, 20000) || !collection)
        return nullptr;
    return collection;
}

void tst_CollectionOpenAtOnce::rowsShowBeforeTheUnpackEnds()
{
    const QString archive = makeArchive(_archives->path(), QStringLiteral("LT_Pack.mtzip"), _names,
                                        QStringLiteral("moti"), {_names.first()});
    QVERIFY(installByHand(Titles, LowerThirds, _names.at(1)));
    UnpackGate gate;
    QPointer<TemplateArchiveCollection> collection = openListed({archive});
    QVERIFY(collection);

    // Listed, shown and judged while the unpack has not even begun.
    QVERIFY(collection->isUnpacking());
    QVERIFY(unpackFolders().isEmpty());
    QVERIFY(collection->window()->isVisible());
    EffectsTableModel *model = collection->tableModel();
    QCOMPARE(model->rowCount(), 3);
    QStringList titles;
    for (int row = 0; row < model->rowCount(); ++row) {
        titles.append(model->item(row)->title());
        QCOMPARE(model->item(row)->category(), LowerThirds);
        QCOMPARE(model->installedState(row), row == 1);
    }
    QCOMPARE(titles, QStringList({QStringLiteral("Third 1"), QStringLiteral("Third 2"), QStringLiteral("Third 3")}));
    const EffectTemplateItem *first = model->item(0);
    // Files still to come are not files missing: no "No Preview", no
    // unreadable mark, no document read in vain.
    model->preview(0);
    settle();
    QCOMPARE(model->previewState(0), EffectsTableModel::PreviewState::Loading);
    QVERIFY(!model->document(0));
    QVERIFY(model->judgement(0).marks.empty());
    auto *filterLine = collection->window()->findChild<QLabel *>(QStringLiteral("filterStr"));
    QVERIFY(filterLine);
    QCOMPARE(filterLine->text(), QStringLiteral("unpacking the previews…"));
    // The large preview waits too, and says why.
    auto *table = collection->window()->findChild<QTableView *>(QStringLiteral("effectsTable"));
    QVERIFY(table);
    collection->window()->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(collection->window()));
    table->setFocus();
    table->selectionModel()->setCurrentIndex(table->model()->index(0, 0),
                                             QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    QTest::keyClick(table, Qt::Key_Space);
    QPointer<PreviewPanel> panel = collection->window()->findChild<PreviewPanel *>();
    QVERIFY(panel);
    auto *picture = panel->findChild<QLabel *>(QStringLiteral("previewPanelImage"));
    QVERIFY(picture);
    QCOMPARE(picture->text(), QStringLiteral("Unpacking…"));

    gate.open();
    QTRY_VERIFY_WITH_TIMEOUT(!collection->isUnpacking(), 20000);
    // The unpacking note goes; the selection's stays.
    QCOMPARE(filterLine->text(), QStringLiteral("1 selected"));
    // Once the files are there, the panel shows the picture.
    QTRY_VERIFY(panel->hasImage());
    // The same rows, now with files behind them: the preview fills in.
    QCOMPARE(model->rowCount(), 3);
    QCOMPARE(model->item(0), first);
    QVERIFY(QFileInfo(first->sourceFolderPath() + QStringLiteral("/preview.png")).isFile());
    model->preview(0);
    QTRY_COMPARE(model->previewState(0), EffectsTableModel::PreviewState::Ready);
    QTRY_VERIFY(model->document(0));
    QVERIFY(visibleAlerts().isEmpty());
}

void tst_CollectionOpenAtOnce::installWaitsForTheUnpack_data()
{
    QTest::addColumn<bool>("selectedOnly");
    QTest::newRow("Install All") << false;
    // The selection is taken before the unpack: its rows must still be the templates.
    QTest::newRow("Install Selected") << true;
}

void tst_CollectionOpenAtOnce::installWaitsForTheUnpack()
{
    QFETCH(bool, selectedOnly);
    const QString archive = makeArchive(_archives->path(), QStringLiteral("LT_Pack.mtzip"), _names);
    UnpackGate gate;
    QPointer<TemplateArchiveCollection> collection = openListed({archive});
    QVERIFY(collection);
    AlertWatcher alerts;
    alerts.answer(QStringLiteral("Delete Template Archive?"), QStringLiteral("Keep"));

    if (selectedOnly) {
        auto *table = collection->window()->findChild<QTableView *>(QStringLiteral("effectsTable"));
        QVERIFY(table);
        table->selectRow(1);
        QCOMPARE(collection->selectedEffects().size(), size_t(1));
        button(collection, "installSelectedButton")->click();
    } else {
        button(collection, "installButton")->click();
    }
    // The unpack's progress comes up for the waiting install; nothing is written yet.
    QProgressDialog *dialog = nullptr;
    QVERIFY(QTest::qWaitFor([&] { return (dialog = progressDialog(collection->window())) != nullptr; }, 20000));
    QVERIFY2(dialog->labelText().startsWith(QStringLiteral("Unpacking “LT_Pack.mtzip”…")),
             qPrintable(dialog->labelText()));
    QVERIFY(!QFileInfo::exists(destinationRoot() + QLatin1Char('/') + Titles));
    QVERIFY(!collection->isBusy());

    gate.open();
    QVERIFY(awaitAlert(QStringLiteral("Installation Completed")));
    for (int i = 0; i < _names.size(); ++i) {
        const QString &name = _names.at(i);
        const bool wanted = !selectedOnly || i == 1;
        QVERIFY2(QFileInfo(installedPath(Titles, LowerThirds, name) + QLatin1Char('/') + name + QStringLiteral(".moti"))
                         .isFile()
                     == wanted,
                 qPrintable(name));
    }
    // Only an archive installed whole is offered for deletion.
    QCOMPARE(alerts.answered(QStringLiteral("Delete Template Archive?")), !selectedOnly);
}

void tst_CollectionOpenAtOnce::cancelledWaitLeavesNothingBehind()
{
    const QString archive = makeArchive(_archives->path(), QStringLiteral("LT_Pack.mtzip"), _names,
                                        QStringLiteral("moti"), {_names.first()});
    const QStringList archivesBefore = treeDigest(_archives->path());
    UnpackGate gate;
    QPointer<TemplateArchiveCollection> collection = openListed({archive});
    QVERIFY(collection);

    button(collection, "installButton")->click();
    QProgressDialog *dialog = nullptr;
    QVERIFY(QTest::qWaitFor([&] { return (dialog = progressDialog(collection->window())) != nullptr; }, 20000));
    QPushButton *cancel = dialog->findChild<QPushButton *>();
    QVERIFY(cancel);
    cancel->click();
    QTRY_VERIFY(!progressDialog(collection->window()));
    // Asked again while it still runs, the wait shows again; given up again.
    button(collection, "installButton")->click();
    QVERIFY(QTest::qWaitFor([&] { return (dialog = progressDialog(collection->window())) != nullptr; }, 20000));
    QVERIFY((cancel = dialog->findChild<QPushButton *>()));
    cancel->click();
    QTRY_VERIFY(!progressDialog(collection->window()));
    // The wait is given up, not the unpack: it ends unseen, and nothing follows it.
    QVERIFY(collection->isUnpacking());
    gate.open();
    QTRY_VERIFY_WITH_TIMEOUT(!collection->isUnpacking(), 20000);
    settle();
    QVERIFY(!progressDialog(collection->window()));
    QVERIFY(visibleAlerts().isEmpty());
    QVERIFY(!QFileInfo::exists(destinationRoot() + QLatin1Char('/') + Titles));
    QCOMPARE(collection->tableModel()->rowCount(), 3);
    QCOMPARE(treeDigest(_archives->path()), archivesBefore);
    collection->tableModel()->preview(0);
    QTRY_COMPARE(collection->tableModel()->previewState(0), EffectsTableModel::PreviewState::Ready);

    // Asked again, the install goes through at once.
    AlertWatcher alerts;
    alerts.answer(QStringLiteral("Delete Template Archive?"), QStringLiteral("Keep"));
    button(collection, "installButton")->click();
    QVERIFY(awaitAlert(QStringLiteral("Installation Completed")));
    QVERIFY(QFileInfo(installedPath(Titles, LowerThirds, _names.first())).isDir());
}

void tst_CollectionOpenAtOnce::closingDuringTheUnpackLeavesNothingBehind_data()
{
    QTest::addColumn<bool>("installWaiting");
    QTest::addColumn<bool>("quitting");
    QTest::newRow("window closed") << false << false;
    QTest::newRow("window closed while an install waits") << true << false;
    QTest::newRow("application quits") << false << true;
}

void tst_CollectionOpenAtOnce::closingDuringTheUnpackLeavesNothingBehind()
{
    QFETCH(bool, installWaiting);
    QFETCH(bool, quitting);
    const QString archive = makeArchive(_archives->path(), QStringLiteral("LT_Pack.mtzip"), _names);
    const QStringList archivesBefore = treeDigest(_archives->path());
    UnpackGate gate;
    QPointer<TemplateArchiveCollection> collection = openListed({archive});
    QVERIFY(collection);
    if (installWaiting) {
        button(collection, "installButton")->click();
        QVERIFY(QTest::qWaitFor([&] { return progressDialog(collection->window()) != nullptr; }, 20000));
    }
    if (quitting) {
        registry().closeAllCollections();
    } else {
        // Nothing is installed or removed: the window closes without asking.
        collection->window()->close();
        QVERIFY(!collection || !collection->window()->isVisible());
    }
    gate.open();
    QTRY_VERIFY_WITH_TIMEOUT(collection.isNull(), 20000);
    QTRY_VERIFY(unpackFolders().isEmpty());
    settle();
    QVERIFY(visibleAlerts().isEmpty());
    QVERIFY(!QFileInfo::exists(destinationRoot() + QLatin1Char('/') + Titles));
    QCOMPARE(treeDigest(_archives->path()), archivesBefore);
}

void tst_CollectionOpenAtOnce::damagedPreviewIsLeftOutBehindTheList()
{
    const QString archive = makeArchive(_archives->path(), QStringLiteral("LT_Pack.mtzip"), _names,
                                        QStringLiteral("moti"), _names);
    QVERIFY(ZipTestTools::damageEntryData(archive, _names.at(1) + QStringLiteral("/preview.png")));
    UnpackGate gate;
    QPointer<TemplateArchiveCollection> collection = openListed({archive});
    QVERIFY(collection);
    gate.open();
    QTRY_VERIFY_WITH_TIMEOUT(!collection->isUnpacking(), 20000);
    settle();
    // The pack stays whole but for that one image: no alert, every row kept.
    QVERIFY(visibleAlerts().isEmpty());
    EffectsTableModel *model = collection->tableModel();
    QCOMPARE(model->rowCount(), 3);
    for (int row = 0; row < 3; ++row)
        model->preview(row);
    QTRY_COMPARE(model->previewState(0), EffectsTableModel::PreviewState::Ready);
    QTRY_COMPARE(model->previewState(2), EffectsTableModel::PreviewState::Ready);
    QTRY_COMPARE(model->previewState(1), EffectsTableModel::PreviewState::None);
    QVERIFY(!QFileInfo::exists(model->item(1)->sourceFolderPath() + QStringLiteral("/preview.png")));

    AlertWatcher alerts;
    alerts.answer(QStringLiteral("Delete Template Archive?"), QStringLiteral("Keep"));
    button(collection, "installButton")->click();
    QVERIFY(awaitAlert(QStringLiteral("Installation Completed")));
    QVERIFY(QFileInfo(installedPath(Titles, LowerThirds, _names.at(1))).isDir());
    QVERIFY(!QFileInfo::exists(installedPath(Titles, LowerThirds, _names.at(1)) + QStringLiteral("/preview.png")));
    QVERIFY(QFileInfo(installedPath(Titles, LowerThirds, _names.at(0)) + QStringLiteral("/preview.png")).isFile());
}

void tst_CollectionOpenAtOnce::failingUnpackAfterTheListingRefuses_data()
{
    QTest::addColumn<bool>("withGoodArchive");
    QTest::newRow("alone") << false;
    QTest::newRow("beside a good one") << true;
}

void tst_CollectionOpenAtOnce::failingUnpackAfterTheListingRefuses()
{
    QFETCH(bool, withGoodArchive);
    const QString damaged = makeArchive(_archives->path(), QStringLiteral("LT_Broken.mtzip"), _names);
    QVERIFY(ZipTestTools::damageEntryData(damaged, _names.first() + QLatin1Char('/') + _names.first() + QStringLiteral(".moti")));
    QStringList archives{damaged};
    const QStringList good = templateNames(QStringLiteral("OP"), QStringLiteral("Good"), 2);
    if (withGoodArchive)
        archives.append(makeArchive(_archives->path(), QStringLiteral("OP_Good.mtzip"), good));
    auto gate = std::make_unique<UnpackGate>();
    QPointer<TemplateArchiveCollection> collection = openListed(archives);
    QVERIFY(collection);
    QCOMPARE(collection->tableModel()->rowCount(), withGoodArchive ? 5 : 3);
    // Asked for while the unpack still runs: it must not go ahead on the damaged archive.
    button(collection, "installButton")->click();
    gate.reset();

    QMessageBox *problem = awaitAlert(QStringLiteral("An Archive Could Not Be Opened"));
    QVERIFY(problem);
    QVERIFY2(problem->informativeText().startsWith(QStringLiteral("“LT_Broken.mtzip” could not be unpacked: ")),
             qPrintable(problem->informativeText()));
    // Its templates left the table: nothing of it can be installed.
    QCOMPARE(collection->tableModel()->rowCount(), withGoodArchive ? 2 : 0);
    settle();
    QVERIFY(!QFileInfo::exists(destinationRoot() + QLatin1Char('/') + Titles));
    QVERIFY(press(problem, QStringLiteral("OK")));
    if (!withGoodArchive) {
        // Nothing left to show: the window goes.
        QTRY_VERIFY(collection.isNull());
        return;
    }
    QTRY_VERIFY_WITH_TIMEOUT(!collection->isUnpacking(), 20000);
    AlertWatcher alerts;
    alerts.answer(QStringLiteral("Delete Template Archive?"), QStringLiteral("Keep"));
    button(collection, "installButton")->click();
    QVERIFY(awaitAlert(QStringLiteral("Installation Completed")));
    QVERIFY(QFileInfo(installedPath(Titles, QStringLiteral("Openers"), good.first())).isDir());
    QVERIFY(!QFileInfo::exists(installedPath(Titles, LowerThirds, _names.first())));
}

// The unpacked tree may hold other templates than the directory listed (a
// disk that folds case or Unicode form; here, the file replaced after it
// was listed): the tree's templates take the rows' place, the install that
// waited does not go ahead on rows that are gone, and the user is told.
void tst_CollectionOpenAtOnce::unpackedTreeDifferingFromTheListTakesItsPlace()
{
    const QString archive = makeArchive(_archives->path(), QStringLiteral("LT_Pack.mtzip"), _names);
    auto gate = std::make_unique<UnpackGate>();
    QPointer<TemplateArchiveCollection> collection = openListed({archive});
    QVERIFY(collection);
    QCOMPARE(collection->tableModel()->rowCount(), 3);

    const QStringList fewer = templateNames(QStringLiteral("LT"), QStringLiteral("Other"), 2);
    QVERIFY(QDir().mkpath(_archives->filePath(QStringLiteral("next"))));
    const QString replacement = makeArchive(_archives->filePath(QStringLiteral("next")), QStringLiteral("LT_Pack.mtzip"), fewer);
    QVERIFY(!replacement.isEmpty());
    QVERIFY(::rename(QFile::encodeName(replacement).constData(), QFile::encodeName(archive).constData()) == 0);
    button(collection, "installButton")->click();
    gate.reset();

    QMessageBox *changed = awaitAlert(QStringLiteral("The List of Templates Changed"));
    QVERIFY(changed);
    QVERIFY2(changed->informativeText().endsWith(QStringLiteral("Nothing was installed.")), qPrintable(changed->informativeText()));
    QCOMPARE(collection->tableModel()->rowCount(), 2);
    QCOMPARE(collection->tableModel()->index(0, 0).isValid(), true);
    settle();
    QVERIFY(!QFileInfo::exists(destinationRoot() + QLatin1Char('/') + Titles));
    QVERIFY(press(changed, QStringLiteral("OK")));

    QTRY_VERIFY_WITH_TIMEOUT(!collection->isUnpacking(), 20000);
    AlertWatcher alerts;
    alerts.answer(QStringLiteral("Delete Template Archive?"), QStringLiteral("Keep"));
    button(collection, "installButton")->click();
    QVERIFY(awaitAlert(QStringLiteral("Installation Completed")));
    for (const QString &name : fewer)
        QVERIFY2(QFileInfo(installedPath(Titles, LowerThirds, name)).isDir(), qPrintable(name));
    QVERIFY(!QFileInfo::exists(installedPath(Titles, LowerThirds, _names.first())));
}

MTI_COLLECTION_TEST_MAIN(tst_CollectionOpenAtOnce)
#include "tst_CollectionOpenAtOnce.moc"
