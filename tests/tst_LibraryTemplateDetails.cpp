// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
// What the library window reads from installed templates' documents: the
// marks column, duplicates across the two roots, and the preview pane.
#include "CollectionTestTools.h"

#include "Common/UserSettings.h"
#include "Interface/FinalCutNotice.h"
#include "Library/LibraryPreviewPane.h"
#include "Library/TemplateLibraryFilterModel.h"
#include "Library/TemplateLibraryModel.h"
#include "Library/TemplateLibraryWindow.h"

#include <QAbstractItemModelTester>
#include <QDir>
#include <QHeaderView>
#include <QImage>
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScopeGuard>
#include <QTableView>

#include <memory>

using namespace CollectionTestTools;
using TestSupport::writeFileOrFail;

namespace {

const QString Category = QStringLiteral("Titles.localized/ZT Lower Thirds/");

QString destinationOf(const QString &name)
{
    return Category + name;
}

} // namespace

class tst_LibraryTemplateDetails : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void marksAndDuplicates_data();
    void marksAndDuplicates();
    void previewPaneShowsImageAndDetails();
    void hideThenShowGivesBackTheBytes();
    void runningFinalCutIsToldAfterARemoval();

private:
    std::unique_ptr<TemplateLibraryWindow> makeWindow();
    void put(const QString &root, const QString &name, const QByteArray &document, bool withPreview = false);
    int rowOf(const TemplateLibraryWindow &window, int rootIndex, const QString &name) const;

    std::unique_ptr<QTemporaryDir> _work;
    QString _root;
    QString _shared;
};

void tst_LibraryTemplateDetails::init()
{
    QVERIFY(resetDestination());
    _work = std::make_unique<QTemporaryDir>();
    QVERIFY(_work->isValid());
    _root = destinationRoot();
    _shared = _work->filePath(QStringLiteral("Shared/Templates"));
    QVERIFY(QDir().mkpath(_root));
    UserSettings::setFinalCutVersionOverride(QStringLiteral("11.0"));
    // Good in the user's root and, a second copy, in the shared one; too new;
    // hidden; and a binary file where the document should be.
    put(_root, QStringLiteral("LT_Both"), motionDocument("5.9"), true);
    put(_shared, QStringLiteral("LT_Both"), motionDocument("5.9"));
    put(_root, QStringLiteral("LT_New"), motionDocument("6.0"));
    put(_root, QStringLiteral("LT_Hidden"), motionDocument("5.9").replace("<flags>0</flags>", "<flags>2</flags>"));
    put(_shared, QStringLiteral("LT_Binary"), QByteArray("\x00\x01\x02\x03 not xml", 13));
}

void tst_LibraryTemplateDetails::cleanup()
{
    UserSettings::setFinalCutVersionOverride(QString());
    for (QMessageBox *box : visibleAlerts())
        box->done(0);
}

void tst_LibraryTemplateDetails::put(const QString &root, const QString &name, const QByteArray &document,
                                     bool withPreview)
{
    const QString folder = root + QLatin1Char('/') + destinationOf(name);
    writeFileOrFail(folder + QLatin1Char('/') + name + QStringLiteral(".moti"), document);
    if (withPreview) {
        QImage image(160, 90, QImage::Format_RGB32);
        image.fill(Qt::blue);
        QVERIFY(image.save(folder + QStringLiteral("/preview.png")));
    }
}

std::unique_ptr<TemplateLibraryWindow> tst_LibraryTemplateDetails::makeWindow()
{
    auto window = std::make_unique<TemplateLibraryWindow>(
        QList<TemplateLibraryWindow::Location>{{_root, QStringLiteral("My Templates")},
                                                {_shared, QStringLiteral("All Users")}});
    window->model()->setRescanDelay(100);
    window->resize(1100, 560);
    window->show();
    return window;
}

int tst_LibraryTemplateDetails::rowOf(const TemplateLibraryWindow &window, int rootIndex, const QString &name) const
{
    return window.model()->rowForKey(TemplateLibraryModel::key(rootIndex, destinationOf(name)));
}

void tst_LibraryTemplateDetails::marksAndDuplicates_data()
{
    QTest::addColumn<int>("rootIndex");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("marks");
    QTest::addColumn<QString>("tip");
    const QString both = TemplateLibraryModel::duplicateText();
    QTest::newRow("in both roots, the user's") << 0 << "LT_Both" << "D" << both;
    QTest::newRow("in both roots, the shared") << 1 << "LT_Both" << "D" << both;
    QTest::newRow("too new") << 0 << "LT_New" << "N" << "Needs Final Cut Pro 12.0 or later; this Mac has 11.0";
    QTest::newRow("hidden") << 0 << "LT_Hidden" << "H" << "Hidden from Final Cut Pro's browser";
    QTest::newRow("binary document") << 1 << "LT_Binary" << "?" << "Details unavailable";
}

void tst_LibraryTemplateDetails::marksAndDuplicates()
{
    QFETCH(int, rootIndex);
    QFETCH(QString, name);
    QFETCH(QString, marks);
    QFETCH(QString, tip);
    auto window = makeWindow();
    TemplateLibraryModel *model = window->model();
    QAbstractItemModelTester tester(model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QAbstractItemModelTester proxyTester(window->filterModel(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    QTRY_VERIFY_WITH_TIMEOUT(model->hasScanned() && !model->isScanning() && model->rowCount() == 5, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(model->hasReadDocuments(), 10000);
    const int row = rowOf(*window, rootIndex, name);
    QVERIFY(row >= 0);
    const QModelIndex cell = model->index(row, TemplateLibraryModel::MarksColumn);
    QCOMPARE(cell.data().toString(), marks);
    QVERIFY2(cell.data(Qt::ToolTipRole).toString().contains(tip), qPrintable(cell.data(Qt::ToolTipRole).toString()));
    QCOMPARE(model->isDuplicate(row), marks.contains(TemplateLibraryModel::duplicateLetter()));
    // The column sits beside the title.
    const QHeaderView *header = window->findChild<QTableView *>(QStringLiteral("templatesTable"))->horizontalHeader();
    QCOMPARE(header->visualIndex(TemplateLibraryModel::MarksColumn), header->visualIndex(TemplateLibraryModel::TitleColumn) + 1);

    // A template gone from one root is no duplicate in the other any more.
    if (name == QLatin1String("LT_Both")) {
        QVERIFY(QDir(_shared + QLatin1Char('/') + destinationOf(name)).removeRecursively());
        model->rescan();
        QTRY_VERIFY_WITH_TIMEOUT(!model->isScanning() && model->rowCount() == 4, 10000);
        const int left = rowOf(*window, 0, name);
        QVERIFY(left >= 0);
        QVERIFY(!model->isDuplicate(left));
        QTRY_COMPARE(model->index(left, TemplateLibraryModel::MarksColumn).data().toString(), QString());
    }
}

void tst_LibraryTemplateDetails::previewPaneShowsImageAndDetails()
{
    auto window = makeWindow();
    TemplateLibraryModel *model = window->model();
    QTRY_VERIFY_WITH_TIMEOUT(model->hasScanned() && !model->isScanning() && model->rowCount() == 5, 10000);
    LibraryPreviewPane *pane = window->previewPane();
    QVERIFY(pane);
    QVERIFY(pane->isVisible());
    QVERIFY(pane->imageLabel()->pixmap().isNull());
    QVERIFY(pane->factsLabel()->text().isEmpty());

    QVERIFY(window->selectTemplate(TemplateLibraryModel::key(0, destinationOf(QStringLiteral("LT_Both")))));
    QCOMPARE(pane->shownRow(), rowOf(*window, 0, QStringLiteral("LT_Both")));
    QCOMPARE(pane->titleLabel()->text(), model->title(pane->shownRow()));
    // The image arrives from a worker, scaled into the pane's frame.
    QTRY_VERIFY_WITH_TIMEOUT(!pane->imageLabel()->pixmap().isNull(), 10000);
    const QImage shown = pane->imageLabel()->pixmap().toImage();
    QVERIFY(shown.width() <= LibraryPreviewPane::ImageSize.width());
    QCOMPARE(QColor(shown.pixel(shown.width() / 2, shown.height() / 2)), QColor(Qt::blue));
    QTRY_VERIFY_WITH_TIMEOUT(pane->factsLabel()->text().contains(QStringLiteral("Resolution: 1920 x 1080")), 10000);
    QVERIFY(pane->factsLabel()->text().contains(TemplateLibraryModel::duplicateText()));
    QVERIFY(pane->factsLabel()->text().contains(QStringLiteral("Parameters: Name, Role")));
    QCOMPARE(pane->factsLabel()->textFormat(), Qt::PlainText);

    // A template without a preview, and one whose document does not read.
    QVERIFY(window->selectTemplate(TemplateLibraryModel::key(1, destinationOf(QStringLiteral("LT_Binary")))));
    QTRY_COMPARE(pane->imageLabel()->text(), QStringLiteral("No Preview"));
    QTRY_VERIFY(pane->factsLabel()->text().contains(QStringLiteral("Details: Unavailable")));
    QVERIFY(!pane->factsLabel()->text().contains(TemplateLibraryModel::duplicateText()));

    window->findChild<QTableView *>(QStringLiteral("templatesTable"))->clearSelection();
    QCOMPARE(pane->shownRow(), -1);
    QVERIFY(pane->factsLabel()->text().isEmpty());
}

void tst_LibraryTemplateDetails::hideThenShowGivesBackTheBytes()
{
    const QString document = _root + QLatin1Char('/') + destinationOf(QStringLiteral("LT_New")) + QStringLiteral("/LT_New.moti");
    const QByteArray original = TestSupport::readFile(document);
    auto window = makeWindow();
    TemplateLibraryModel *model = window->model();
    QAbstractItemModelTester tester(model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QTRY_VERIFY_WITH_TIMEOUT(model->rowCount() == 5 && model->hasReadDocuments(), 10000);
    const QString key = TemplateLibraryModel::key(0, destinationOf(QStringLiteral("LT_New")));
    auto marks = [&] { return model->index(model->rowForKey(key), TemplateLibraryModel::MarksColumn).data().toString(); };
    QCOMPARE(marks(), QStringLiteral("N"));
    QVERIFY(window->selectTemplate(key));
    QVERIFY(window->hideAction()->isEnabled());
    QVERIFY(!window->showAction()->isEnabled());
    auto *button = window->findChild<QPushButton *>(QStringLiteral("hideButton"));
    QVERIFY(button && button->isEnabled());
    QCOMPARE(button->text(), window->hideAction()->text());
    // Both commands are in the context menu and the window's own menu.
    for (QMenu *menu : {window->contextMenu(), window->templatesMenu()}) {
        QVERIFY(menu->actions().contains(window->hideAction()));
        QVERIFY(menu->actions().contains(window->showAction()));
    }

    button->click();
    QTRY_COMPARE_WITH_TIMEOUT(marks(), QStringLiteral("NH"), 10000);
    QVERIFY(!window->isBusy());
    QVERIFY(TestSupport::readFile(document) != original);
    QVERIFY(window->selectTemplate(key));
    QTRY_VERIFY(window->showAction()->isEnabled());
    QVERIFY(!window->hideAction()->isEnabled());
    QCOMPARE(button->text(), window->showAction()->text());
    QTRY_VERIFY(window->previewPane()->factsLabel()->text().contains(QStringLiteral("Hidden")));

    window->showAction()->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(marks(), QStringLiteral("N"), 10000);
    QCOMPARE(TestSupport::readFile(document), original);
    // The other templates were left alone.
    QCOMPARE(model->index(model->rowForKey(TemplateLibraryModel::key(0, destinationOf(QStringLiteral("LT_Hidden")))),
                          TemplateLibraryModel::MarksColumn).data().toString(), QStringLiteral("H"));
}

void tst_LibraryTemplateDetails::runningFinalCutIsToldAfterARemoval()
{
    const QString bundle = QStringLiteral("com.apple.FinalCutTrial");
    FinalCutNotice::setRunningQuery([bundle] { return bundle; });
    QStringList reopened;
    FinalCutNotice::setReopenAction([&reopened](const QString &identifier) {
        reopened.append(identifier);
        return true;
    });
    auto restore = qScopeGuard([] {
        FinalCutNotice::setRunningQuery({});
        FinalCutNotice::setReopenAction({});
    });
    auto window = makeWindow();
    QTRY_VERIFY_WITH_TIMEOUT(window->model()->rowCount() == 5, 10000);
    const QString key = TemplateLibraryModel::key(0, destinationOf(QStringLiteral("LT_New")));
    QVERIFY(window->selectTemplate(key));
    const QString title = window->model()->title(window->model()->rowForKey(key));
    window->removeAction()->trigger();
    QVERIFY(press(awaitAlert(QStringLiteral("Remove “%1”?").arg(title)), QStringLiteral("Remove")));
    QMessageBox *done = awaitAlert(QStringLiteral("Templates Removed"));
    QVERIFY(done);
    QVERIFY(done->informativeText().contains(FinalCutNotice::note()));
    QVERIFY(press(done, FinalCutNotice::reopenButton()));
    QTRY_COMPARE(reopened, QStringList({bundle}));
}

MTI_COLLECTION_TEST_MAIN(tst_LibraryTemplateDetails)
#include "tst_LibraryTemplateDetails.moc"
