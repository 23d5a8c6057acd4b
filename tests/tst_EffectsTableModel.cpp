// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "CollectionTestTools.h"
#include "Collections/EffectsFilterModel.h"
#include "Collections/EffectsTableModel.h"
#include "Collections/TemplateArchiveCollection.h"
#include "Collections/TemplateArchiveCollectionController.h"
#include "Common/UserSettings.h"
#include "Installer/TemplateInstallerV2.h"

#include <QAbstractItemModelTester>
#include <QDesktopServices>
#include <QFileInfo>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QImage>
#include <QPixmap>
#include <QTableView>

using namespace CollectionTestTools;
using namespace TestSupport;

namespace {

const QString Titles = QStringLiteral("Titles.localized");

QImage imageOf(const QVariant &value)
{
    return value.canConvert<QPixmap>() ? value.value<QPixmap>().toImage() : QImage();
}

QTableView *tableOf(const TemplateArchiveCollection *collection)
{
    return collection->window()->findChild<QTableView *>(QStringLiteral("effectsTable"));
}

// The titles as the window's table shows them, top to bottom.
QStringList shownTitles(const TemplateArchiveCollection *collection)
{
    const QAbstractItemModel *shown = tableOf(collection)->model();
    QStringList titles;
    for (int row = 0; row < shown->rowCount(); ++row)
        titles.append(shown->index(row, EffectsTableModel::TitleColumn).data().toString());
    return titles;
}

// Receives the URLs the window asks the desktop to open.
class UrlCatcher : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> urls;

public slots:
    void open(const QUrl &url) { urls.append(url); }
};

} // namespace

class tst_EffectsTableModel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void columnIdentifiers();
    void columnEnumMatchesTheIdentifiers();
    void cellValuesAcrossArchives();
    void rowsKeepTheArchivesScanOrder();
    void clickingAHeaderSorts_data();
    void clickingAHeaderSorts();
    void sortingByInstalledUsesTheStatesHandedIn();
    void searchFiltersByTitleAndCategory_data();
    void searchFiltersByTitleAndCategory();
    void searchHidingTheSelectionEmptiesThePreview();
    void homeAndEndGoToTheFirstAndLastRow();
    void previewPaneShowsThePreviewOrAPlaceholder();
    void installedColumnHasAToolTipPerRow();
    void copiesFromElsewhereAreMarked();
    void folderNameStandsInForAMissingTitle();
    void doubleClickRevealsOnlyInstalledTemplates();
    void outOfRangeRowsHaveNoValue_data();
    void outOfRangeRowsHaveNoValue();
    void otherIdentifiersHaveNoValue_data();
    void otherIdentifiersHaveNoValue();
    void installedByOtherMeansShowsAtTheNextQuery();
    void statusImages();
    void modelTesterThroughInstallAndUninstall();
    void emptyCollectionHasNoRows();

private:
    TemplateArchiveCollection *openTwo();
    TemplateArchiveCollection *openMixed();

    std::unique_ptr<QTemporaryDir> _archives;
    QStringList _lowerThirds;
    QStringList _openers;
};

void tst_EffectsTableModel::initTestCase()
{
    QVERIFY(QDir(moviesFolder()).exists());
}

void tst_EffectsTableModel::init()
{
    // A fresh profile each case: the windows remember the sort a case clicked.
    UserSettings::store().clear();
    QVERIFY(resetDestination());
    _archives = std::make_unique<QTemporaryDir>();
    QVERIFY(_archives->isValid());
    _lowerThirds = templateNames(QStringLiteral("LT"), QStringLiteral("Third"), 2);
    _openers = {QStringLiteral("OP_Big_Bold_Open")};
}

void tst_EffectsTableModel::cleanup()
{
    TemplateArchiveCollectionController::sharedController().closeAllCollections();
    for (QMessageBox *box : visibleAlerts())
        box->done(0);
    QTRY_VERIFY(TemplateArchiveCollectionController::sharedController().collections().isEmpty());
    QVERIFY(resetDestination());
    _archives.reset();
}

TemplateArchiveCollection *tst_EffectsTableModel::openTwo()
{
    const QString one = makeArchive(_archives->path(), QStringLiteral("LT_Pack.mtzip"), _lowerThirds);
    const QString two = makeArchive(_archives->path(), QStringLiteral("OP_Pack.mtzip"), _openers);
    if (one.isEmpty() || two.isEmpty())
        return nullptr;
    return openArchives(urlsOf({one, two}), true).value(0);
}

void tst_EffectsTableModel::columnIdentifiers()
{
    TemplateArchiveCollection *collection = openTwo();
    QVERIFY(collection);
    const EffectsTableModel *model = collection->tableModel();
    QCOMPARE(model->columnCount(), 7);
    QStringList identifiers;
    for (int section = 0; section < model->columnCount(); ++section)
        identifiers.append(model->headerData(section, Qt::Horizontal, EffectsTableModel::ColumnIdentifierRole).toString());
    QCOMPARE(identifiers, QStringList({QStringLiteral("index"), QStringLiteral("installed"), QStringLiteral("marks"),
                                       QStringLiteral("kind"), QStringLiteral("category"), QStringLiteral("title"),
                                       QStringLiteral("preview")}));
    QCOMPARE(EffectsTableModel::columnIdentifiers(), identifiers);
    // The window's table shows this model, through the sorting and searching proxy.
    const QTableView *table = tableOf(collection);
    QVERIFY(table);
    QCOMPARE(table->model(), collection->filterModel());
    QCOMPARE(collection->filterModel()->sourceModel(), model);
    // Every column has a header, the installed mark's too.
    for (int section = 0; section < model->columnCount(); ++section)
        QVERIFY2(!model->headerData(section, Qt::Horizontal).toString().isEmpty(), qPrintable(QString::number(section)));
}

void tst_EffectsTableModel::columnEnumMatchesTheIdentifiers()
{
    TemplateArchiveCollection *collection = openTwo();
    QVERIFY(collection);
    const EffectsTableModel *model = collection->tableModel();
    for (int column = 0; column < EffectsTableModel::ColumnCount; ++column) {
        const QString identifier = EffectsTableModel::columnIdentifiers().at(column);
        QCOMPARE(EffectsTableModel::columnForIdentifier(identifier), std::optional(EffectsTableModel::Column(column)));
        for (int row = 0; row < model->rowCount(); ++row) {
            const QVariant byName = model->objectValue(identifier, row);
            const QVariant byColumn = model->objectValue(EffectsTableModel::Column(column), row);
            if (column == EffectsTableModel::InstalledColumn)
                QCOMPARE(imageOf(byName), imageOf(byColumn));
            else
                QCOMPARE(byName, byColumn);
        }
    }
    QVERIFY(!EffectsTableModel::columnForIdentifier(QStringLiteral("Title")));
}

void tst_EffectsTableModel::cellValuesAcrossArchives()
{
    TemplateArchiveCollection *collection = openTwo();
    QVERIFY(collection);
    const EffectsTableModel *model = collection->tableModel();
    QCOMPARE(model->rowCount(), 3);

    QStringList indexes, kinds, categories, titles;
    for (int row = 0; row < 3; ++row) {
        indexes.append(model->objectValue(QStringLiteral("index"), row).toString());
        kinds.append(model->objectValue(QStringLiteral("kind"), row).toString());
        categories.append(model->objectValue(QStringLiteral("category"), row).toString());
        titles.append(model->objectValue(QStringLiteral("title"), row).toString());
        // What the table displays is the same value.
        QCOMPARE(model->data(model->index(row, EffectsTableModel::TitleColumn)).toString(), titles.last());
    }
    QCOMPARE(indexes, QStringList({QStringLiteral("1."), QStringLiteral("2."), QStringLiteral("3.")}));
    QCOMPARE(kinds, QStringList({QStringLiteral("Title"), QStringLiteral("Title"), QStringLiteral("Title")}));
    QCOMPARE(categories, QStringList({QStringLiteral("Lower Thirds"), QStringLiteral("Lower Thirds"), QStringLiteral("Openers")}));
    QCOMPARE(titles.mid(0, 2), QStringList({QStringLiteral("Third 1"), QStringLiteral("Third 2")}));
    QCOMPARE(titles.at(2), QStringLiteral("Big Bold Open"));
    QVERIFY(!model->objectValue(QStringLiteral("preview"), 0).isValid());
}

TemplateArchiveCollection *tst_EffectsTableModel::openMixed()
{
    // Written in an order unlike the scan's, which goes by name.
    const QString titles = makeArchive(_archives->path(), QStringLiteral("LT_Mixed.mtzip"),
                                       {QStringLiteral("LT_Zebra_Crossing"), QStringLiteral("LT_Alpha_Line"),
                                        QStringLiteral("LT_Title_10"), QStringLiteral("LT_Title_2")},
                                       QStringLiteral("moti"), {QStringLiteral("LT_Alpha_Line")});
    const QString effects = makeArchive(_archives->path(), QStringLiteral("OP_Effects.mtzip"),
                                        {QStringLiteral("OP_Mellow_Glow"), QStringLiteral("OP_Bright_Flash")},
                                        QStringLiteral("moef"));
    if (titles.isEmpty() || effects.isEmpty())
        return nullptr;
    return openArchives(urlsOf({titles, effects}), true).value(0);
}

void tst_EffectsTableModel::rowsKeepTheArchivesScanOrder()
{
    // The same archives give the same rows, archive by archive, every time.
    for (int round = 0; round < 2; ++round) {
        TemplateArchiveCollection *collection = openMixed();
        QVERIFY(collection);
        QCOMPARE(shownTitles(collection), QStringList({QStringLiteral("Alpha Line"), QStringLiteral("Title 10"),
                                                       QStringLiteral("Title 2"), QStringLiteral("Zebra Crossing"),
                                                       QStringLiteral("Bright Flash"), QStringLiteral("Mellow Glow")}));
        TemplateArchiveCollectionController::sharedController().closeAllCollections();
        QVERIFY(TemplateArchiveCollectionController::sharedController().collections().isEmpty());
    }
}

void tst_EffectsTableModel::clickingAHeaderSorts_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("clicks");
    QTest::addColumn<QStringList>("titles");

    QTest::newRow("title ascending, numbers as numbers")
        << int(EffectsTableModel::TitleColumn) << 1
        << QStringList({QStringLiteral("Alpha Line"), QStringLiteral("Bright Flash"), QStringLiteral("Mellow Glow"),
                        QStringLiteral("Title 2"), QStringLiteral("Title 10"), QStringLiteral("Zebra Crossing")});
    QTest::newRow("title descending on a second click")
        << int(EffectsTableModel::TitleColumn) << 2
        << QStringList({QStringLiteral("Zebra Crossing"), QStringLiteral("Title 10"), QStringLiteral("Title 2"),
                        QStringLiteral("Mellow Glow"), QStringLiteral("Bright Flash"), QStringLiteral("Alpha Line")});
    QTest::newRow("kind: effects first, equal kinds keep the archives' order")
        << int(EffectsTableModel::KindColumn) << 1
        << QStringList({QStringLiteral("Bright Flash"), QStringLiteral("Mellow Glow"), QStringLiteral("Alpha Line"),
                        QStringLiteral("Title 10"), QStringLiteral("Title 2"), QStringLiteral("Zebra Crossing")});
    QTest::newRow("kind descending: ties still in the archives' order")
        << int(EffectsTableModel::KindColumn) << 2
        << QStringList({QStringLiteral("Alpha Line"), QStringLiteral("Title 10"), QStringLiteral("Title 2"),
                        QStringLiteral("Zebra Crossing"), QStringLiteral("Bright Flash"), QStringLiteral("Mellow Glow")});
    QTest::newRow("number descending reverses the archives' order")
        << int(EffectsTableModel::IndexColumn) << 2
        << QStringList({QStringLiteral("Mellow Glow"), QStringLiteral("Bright Flash"), QStringLiteral("Zebra Crossing"),
                        QStringLiteral("Title 2"), QStringLiteral("Title 10"), QStringLiteral("Alpha Line")});
}

void tst_EffectsTableModel::clickingAHeaderSorts()
{
    QFETCH(int, column);
    QFETCH(int, clicks);
    QFETCH(QStringList, titles);
    TemplateArchiveCollection *collection = openMixed();
    QVERIFY(collection);
    collection->window()->show();
    QVERIFY(QTest::qWaitForWindowExposed(collection->window()));
    QHeaderView *header = tableOf(collection)->horizontalHeader();
    if (column == EffectsTableModel::IndexColumn)
        --clicks; // the table starts sorted by number, ascending
    for (int click = 0; click < clicks; ++click) {
        const QPoint centre(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                            header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, centre);
    }
    QCOMPARE(shownTitles(collection), titles);
    // The running numbers stay with their templates.
    const QAbstractItemModel *shown = tableOf(collection)->model();
    const int alpha = int(titles.indexOf(QStringLiteral("Alpha Line")));
    QCOMPARE(shown->index(alpha, EffectsTableModel::IndexColumn).data().toString(), QStringLiteral("1."));
}

void tst_EffectsTableModel::sortingByInstalledUsesTheStatesHandedIn()
{
    QVERIFY(installByHand(Titles, QStringLiteral("Lower Thirds"), QStringLiteral("LT_Title_2")));
    TemplateArchiveCollection *collection = openMixed();
    QVERIFY(collection);
    // The states looked at while opening.
    QCOMPARE(collection->tableModel()->installedCount(), 1);
    collection->filterModel()->sort(EffectsTableModel::InstalledColumn, Qt::DescendingOrder);
    QCOMPARE(shownTitles(collection).first(), QStringLiteral("Title 2"));
    std::vector<bool> states(6, false);
    states[5] = true; // Mellow Glow
    collection->tableModel()->setInstalledStates(states);
    QCOMPARE(collection->tableModel()->installedCount(), 1);
    QCOMPARE(shownTitles(collection).first(), QStringLiteral("Mellow Glow"));
    // States for other rows than the model's are refused.
    collection->tableModel()->setInstalledStates(std::vector<bool>(2, true));
    QCOMPARE(collection->tableModel()->installedCount(), 1);
}

void tst_EffectsTableModel::searchFiltersByTitleAndCategory_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("titles");
    QTest::newRow("a word of a title, any case") << QStringLiteral("zeBRA") << QStringList{QStringLiteral("Zebra Crossing")};
    QTest::newRow("a part of a word") << QStringLiteral("itle")
                                      << QStringList({QStringLiteral("Title 10"), QStringLiteral("Title 2")});
    QTest::newRow("a category") << QStringLiteral("openers")
                                << QStringList({QStringLiteral("Bright Flash"), QStringLiteral("Mellow Glow")});
    QTest::newRow("every word must match, in title or category")
        << QStringLiteral("lower  alpha") << QStringList{QStringLiteral("Alpha Line")};
    QTest::newRow("nothing matches") << QStringLiteral("nothing like it") << QStringList();
    QTest::newRow("blanks only show everything") << QStringLiteral("   ")
                                                 << QStringList({QStringLiteral("Alpha Line"), QStringLiteral("Title 10"),
                                                                 QStringLiteral("Title 2"), QStringLiteral("Zebra Crossing"),
                                                                 QStringLiteral("Bright Flash"), QStringLiteral("Mellow Glow")});
}

void tst_EffectsTableModel::searchFiltersByTitleAndCategory()
{
    QFETCH(QString, text);
    QFETCH(QStringList, titles);
    TemplateArchiveCollection *collection = openMixed();
    QVERIFY(collection);
    auto *search = collection->window()->findChild<QLineEdit *>(QStringLiteral("searchField"));
    QVERIFY(search);
    collection->window()->show();
    search->setFocus();
    // As typed: the table follows every key.
    QTest::keyClicks(search, text);
    QCOMPARE(shownTitles(collection), titles);
    search->clear();
    QCOMPARE(shownTitles(collection).size(), 6);
}

void tst_EffectsTableModel::searchHidingTheSelectionEmptiesThePreview()
{
    TemplateArchiveCollection *collection = openMixed();
    QVERIFY(collection);
    collection->window()->show();
    tableOf(collection)->selectRow(1);
    auto *title = collection->window()->findChild<QLabel *>(QStringLiteral("previewTitle"));
    QCOMPARE(title->text(), QStringLiteral("Title 10"));
    collection->window()->findChild<QLineEdit *>(QStringLiteral("searchField"))->setText(QStringLiteral("zebra"));
    QCOMPARE(shownTitles(collection), QStringList{QStringLiteral("Zebra Crossing")});
    // Nothing shown is selected: the pane does not show the row that happens to be current.
    QVERIFY(collection->selectedEffects().empty());
    QCOMPARE(title->text(), QString());
    QCOMPARE(collection->window()->findChild<QLabel *>(QStringLiteral("previewImage"))->text(),
             QStringLiteral("Select a template to see its preview."));
    QVERIFY(!collection->window()->findChild<QPushButton *>(QStringLiteral("installSelectedButton"))->isEnabled());
}

void tst_EffectsTableModel::homeAndEndGoToTheFirstAndLastRow()
{
    TemplateArchiveCollection *collection = openMixed();
    QVERIFY(collection);
    collection->window()->show();
    QVERIFY(QTest::qWaitForWindowExposed(collection->window()));
    QTableView *table = tableOf(collection);
    table->setFocus();
    table->setCurrentIndex(table->model()->index(2, EffectsTableModel::TitleColumn));
    QTest::keyClick(table, Qt::Key_End);
    QCOMPARE(table->currentIndex().row(), 5);
    QCOMPARE(collection->selectedEffects().size(), size_t(1));
    QCOMPARE(collection->selectedEffects().front()->title(), QStringLiteral("Mellow Glow"));
    QTest::keyClick(table, Qt::Key_Home, Qt::ShiftModifier);
    QCOMPARE(table->currentIndex().row(), 0);
    // Shift extends the selection over every row between.
    QCOMPARE(collection->selectedEffects().size(), size_t(6));
    QTest::keyClick(table, Qt::Key_End);
    QCOMPARE(table->currentIndex().row(), 5);
    QCOMPARE(collection->selectedEffects().size(), size_t(1));
}

void tst_EffectsTableModel::previewPaneShowsThePreviewOrAPlaceholder()
{
    TemplateArchiveCollection *collection = openMixed();
    QVERIFY(collection);
    collection->window()->show();
    auto *image = collection->window()->findChild<QLabel *>(QStringLiteral("previewImage"));
    auto *title = collection->window()->findChild<QLabel *>(QStringLiteral("previewTitle"));
    QVERIFY(image && title);
    QCOMPARE(image->text(), QStringLiteral("Select a template to see its preview."));
    QTableView *table = tableOf(collection);

    // "Alpha Line" has a preview.png: it arrives from a worker, scaled to the pane.
    table->selectRow(0);
    QCOMPARE(title->text(), QStringLiteral("Alpha Line"));
    QTRY_VERIFY(!image->pixmap().isNull());
    QCOMPARE(image->pixmap().size(), EffectsTableModel::PreviewSize);
    const QColor centre = image->pixmap().toImage().pixelColor(192, 108);
    QVERIFY2(centre.red() > 200 && centre.green() < 50, qPrintable(centre.name()));
    // Its thumbnail in the table, from the same read.
    const QAbstractItemModel *shown = table->model();
    QTRY_VERIFY(!imageOf(shown->index(0, EffectsTableModel::PreviewColumn).data(Qt::DecorationRole)).isNull());
    QCOMPARE(imageOf(shown->index(0, EffectsTableModel::PreviewColumn).data(Qt::DecorationRole)).size(),
             EffectsTableModel::ThumbnailSize);

    // "Title 10" has none: a placeholder, no picture.
    table->selectRow(1);
    QCOMPARE(title->text(), QStringLiteral("Title 10"));
    QTRY_COMPARE(image->text(), QStringLiteral("No Preview"));
    QVERIFY(image->pixmap().isNull());
    QCOMPARE(collection->tableModel()->previewState(1), EffectsTableModel::PreviewState::None);
    QVERIFY(!shown->index(1, EffectsTableModel::PreviewColumn).data(Qt::DecorationRole).isValid());
}

void tst_EffectsTableModel::installedColumnHasAToolTipPerRow()
{
    QVERIFY(installByHand(Titles, QStringLiteral("Lower Thirds"), QStringLiteral("LT_Title_2")));
    TemplateArchiveCollection *collection = openMixed();
    QVERIFY(collection);
    EffectsTableModel *model = collection->tableModel();
    const auto tip = [model](int row) {
        return model->data(model->index(row, EffectsTableModel::InstalledColumn), Qt::ToolTipRole).toString();
    };
    // Copied by hand: no receipt names it.
    QCOMPARE(tip(2), QStringLiteral("Installed; origin unknown"));
    QCOMPARE(tip(1), QStringLiteral("Not installed"));
    model->setInstalledToolTip([](const EffectTemplateItem &item, bool installed) {
        return installed ? QStringLiteral("%1 came from elsewhere").arg(item.title()) : QString();
    });
    QCOMPARE(tip(2), QStringLiteral("Title 2 came from elsewhere"));
    QCOMPARE(tip(1), QString());
}

void tst_EffectsTableModel::copiesFromElsewhereAreMarked()
{
    // LT_Pack_v1 installed; LT_Pack_v2 holds the same first template and a new one.
    const QString v1 = makeArchive(_archives->path(), QStringLiteral("LT_Pack_v1.mtzip"), {_lowerThirds[0]});
    auto installer = TemplateInstallerV2::create(QUrl::fromLocalFile(v1), TemplateInstaller::userDestMotionTemplatesFolder());
    QVERIFY(installer && installer->unarchive());
    QVERIFY(!installer->installEffects());
    installer.reset();

    const QString v2 = makeArchive(_archives->path(), QStringLiteral("LT_Pack_v2.mtzip"), _lowerThirds);
    TemplateArchiveCollection *collection = openArchives(urlsOf({v2}), true).value(0);
    QVERIFY(collection);
    const EffectsTableModel *model = collection->tableModel();
    QCOMPARE(model->rowCount(), 2);
    const auto cell = [model](int row, int role) {
        return model->data(model->index(row, EffectsTableModel::InstalledColumn), role);
    };
    QCOMPARE(cell(0, Qt::ToolTipRole).toString(), QStringLiteral("Installed from “LT_Pack_v1”"));
    QCOMPARE(imageOf(cell(0, Qt::DecorationRole)), TemplateArchiveCollection::effectInstalledElsewhereImage().toImage());
    QCOMPARE(cell(1, Qt::ToolTipRole).toString(), QStringLiteral("Not installed"));
    QCOMPARE(imageOf(cell(1, Qt::DecorationRole)), TemplateArchiveCollection::effectNotInstalledImage().toImage());
    QVERIFY(TemplateArchiveCollection::effectInstalledElsewhereImage().toImage()
            != TemplateArchiveCollection::effectInstalledImage().toImage());
}

void tst_EffectsTableModel::folderNameStandsInForAMissingTitle()
{
    // No "<prefix>_" in the folder's name: the item has no title to show.
    const QString pack = makeArchive(_archives->path(), QStringLiteral("LT_Plain.mtzip"),
                                     {QStringLiteral("Vapor Orbit 0001"), QStringLiteral("LT_Named_One")});
    TemplateArchiveCollection *collection = openArchives(urlsOf({pack}), true).value(0);
    QVERIFY(collection);
    const EffectsTableModel *model = collection->tableModel();
    QCOMPARE(model->objectValue(EffectsTableModel::TitleColumn, 1).toString(), QString());
    QCOMPARE(shownTitles(collection), QStringList({QStringLiteral("Named One"), QStringLiteral("Vapor Orbit 0001")}));
    collection->window()->findChild<QLineEdit *>(QStringLiteral("searchField"))->setText(QStringLiteral("orbit"));
    QCOMPARE(shownTitles(collection), QStringList{QStringLiteral("Vapor Orbit 0001")});
}

void tst_EffectsTableModel::doubleClickRevealsOnlyInstalledTemplates()
{
    QVERIFY(installByHand(Titles, QStringLiteral("Lower Thirds"), QStringLiteral("LT_Title_2")));
    TemplateArchiveCollection *collection = openMixed();
    QVERIFY(collection);
    collection->window()->show();
    QVERIFY(QTest::qWaitForWindowExposed(collection->window()));
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "open");
    const auto unset = qScopeGuard([] { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); });
    QTableView *table = tableOf(collection);
    const auto doubleClick = [table](int row) {
        const QRect cell = table->visualRect(table->model()->index(row, EffectsTableModel::TitleColumn));
        // A double click as the window system delivers it: the first click, then the second one.
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, cell.center());
    };
    doubleClick(2); // Title 2
    // Without a file manager that selects it, the folder holding it opens.
    const QString installed = installedPath(Titles, QStringLiteral("Lower Thirds"), QStringLiteral("LT_Title_2"));
    QTRY_COMPARE(catcher.urls, QList<QUrl>{QUrl::fromLocalFile(QFileInfo(installed).absolutePath())});
    doubleClick(1); // Title 10: not installed
    QCOMPARE(catcher.urls.size(), 1);
}

void tst_EffectsTableModel::outOfRangeRowsHaveNoValue_data()
{
    QTest::addColumn<QString>("identifier");
    for (const QString &identifier : EffectsTableModel::columnIdentifiers())
        QTest::newRow(qPrintable(QStringLiteral("%1 has no value outside the rows").arg(identifier))) << identifier;
}

void tst_EffectsTableModel::outOfRangeRowsHaveNoValue()
{
    QFETCH(QString, identifier);
    TemplateArchiveCollection *collection = openTwo();
    QVERIFY(collection);
    const EffectsTableModel *model = collection->tableModel();
    const int count = model->rowCount();
    QCOMPARE(count, 3);
    for (int row : {-1, -100, count, count + 1, 1 << 30})
        QVERIFY2(!model->objectValue(identifier, row).isValid(), qPrintable(QString::number(row)));
    if (identifier != QLatin1String("preview"))
        QVERIFY(model->objectValue(identifier, count - 1).isValid());
}

void tst_EffectsTableModel::otherIdentifiersHaveNoValue_data()
{
    QTest::addColumn<QString>("identifier");
    QTest::newRow("an unknown identifier") << QStringLiteral("size");
    QTest::newRow("an empty identifier") << QString();
    QTest::newRow("identifiers compare case-sensitively: Index") << QStringLiteral("Index");
    QTest::newRow("identifiers compare case-sensitively: TITLE") << QStringLiteral("TITLE");
    QTest::newRow("no blanks around an identifier") << QStringLiteral(" title");
}

void tst_EffectsTableModel::otherIdentifiersHaveNoValue()
{
    QFETCH(QString, identifier);
    TemplateArchiveCollection *collection = openTwo();
    QVERIFY(collection);
    QVERIFY(!collection->tableModel()->objectValue(identifier, 0).isValid());
}

void tst_EffectsTableModel::installedByOtherMeansShowsAtTheNextQuery()
{
    TemplateArchiveCollection *collection = openTwo();
    QVERIFY(collection);
    const EffectsTableModel *model = collection->tableModel();
    const QImage installed = TemplateArchiveCollection::effectInstalledImage().toImage();
    const QImage notInstalled = TemplateArchiveCollection::effectNotInstalledImage().toImage();
    QVERIFY(installed != notInstalled);

    const int openerRow = 2;
    QCOMPARE(imageOf(model->objectValue(QStringLiteral("installed"), openerRow)), notInstalled);
    const int installedColumn = EffectsTableModel::InstalledColumn;
    QCOMPARE(imageOf(model->data(model->index(openerRow, installedColumn), Qt::DecorationRole)), notInstalled);

    QVERIFY(installByHand(Titles, QStringLiteral("Openers"), _openers.first()));
    // No reload in between.
    QCOMPARE(imageOf(model->objectValue(QStringLiteral("installed"), openerRow)), installed);
    QCOMPARE(imageOf(model->data(model->index(openerRow, installedColumn), Qt::DecorationRole)), installed);
    QCOMPARE(imageOf(model->objectValue(QStringLiteral("installed"), 0)), notInstalled);

    QVERIFY(QDir(installedPath(Titles, QStringLiteral("Openers"), _openers.first())).removeRecursively());
    QCOMPARE(imageOf(model->objectValue(QStringLiteral("installed"), openerRow)), notInstalled);
}

void tst_EffectsTableModel::statusImages()
{
    const QImage installed = TemplateArchiveCollection::effectInstalledImage().toImage();
    const QImage notInstalled = TemplateArchiveCollection::effectNotInstalledImage().toImage();
    QCOMPARE(installed.size(), QSize(20, 20));
    QCOMPARE(notInstalled.size(), QSize(20, 20));
    // Filled green inside the circle when installed, empty otherwise; nothing
    // outside the circle either way.
    const QColor centre = installed.pixelColor(10, 10);
    QVERIFY2(centre.green() > centre.red() && centre.green() > centre.blue() && centre.alpha() > 0,
             qPrintable(centre.name(QColor::HexArgb)));
    QCOMPARE(notInstalled.pixelColor(10, 10).alpha(), 0);
    for (const QImage &image : {installed, notInstalled}) {
        QCOMPARE(image.pixelColor(1, 1).alpha(), 0);
        QCOMPARE(image.pixelColor(18, 18).alpha(), 0);
        QVERIFY(image.pixelColor(5, 10).alpha() > 0); // the outline
    }
}

void tst_EffectsTableModel::modelTesterThroughInstallAndUninstall()
{
    TemplateArchiveCollection *collection = openTwo();
    QVERIFY(collection);
    QAbstractItemModelTester tester(collection->tableModel(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    collection->window()->show();

    AlertWatcher alerts;
    alerts.answer(QStringLiteral("Delete Template Archive?"), QStringLiteral("Keep"));
    alerts.answer(QStringLiteral("Installation Completed"), QStringLiteral("Cancel"));
    alerts.answer(QStringLiteral("Uninstall 3 templates from Final Cut Pro's library?"), QStringLiteral("Uninstall"));
    alerts.answer(QStringLiteral("Uninstall Completed"), QStringLiteral("Ok"));
    collection->installForCurrentUser();
    QTRY_VERIFY(alerts.answered(QStringLiteral("Installation Completed")));
    QCOMPARE(collection->tableModel()->rowCount(), 3);
    const QImage installed = TemplateArchiveCollection::effectInstalledImage().toImage();
    for (int row = 0; row < 3; ++row)
        QCOMPARE(imageOf(collection->tableModel()->objectValue(QStringLiteral("installed"), row)), installed);

    collection->uninstallEffects();
    QTRY_VERIFY(alerts.answered(QStringLiteral("Uninstall Completed")));
    QCOMPARE(collection->tableModel()->rowCount(), 3);
}

void tst_EffectsTableModel::emptyCollectionHasNoRows()
{
    const QString broken = makeDamagedArchive(_archives->path(), QStringLiteral("LT_Broken.mtzip"));
    TemplateArchiveCollection *collection = openArchives(urlsOf({broken}), true).value(0);
    QVERIFY(collection);
    QAbstractItemModelTester tester(collection->tableModel(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(collection->tableModel()->rowCount(), 0);
    for (const QString &identifier : EffectsTableModel::columnIdentifiers())
        QVERIFY(!collection->tableModel()->objectValue(identifier, 0).isValid());
}

MTI_COLLECTION_TEST_MAIN(tst_EffectsTableModel)
#include "tst_EffectsTableModel.moc"
