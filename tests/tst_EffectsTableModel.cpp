// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "CollectionTestTools.h"
#include "Collections/EffectsTableModel.h"
#include "Collections/TemplateArchiveCollection.h"
#include "Collections/TemplateArchiveCollectionController.h"

#include <QAbstractItemModelTester>
#include <QDir>
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

} // namespace

class tst_EffectsTableModel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void columnIdentifiers();
    void cellValuesAcrossArchives();
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
    QTest::qWait(0);
    QVERIFY(resetDestination());
    _archives.reset();
}

TemplateArchiveCollection *tst_EffectsTableModel::openTwo()
{
    const QString one = makeArchive(_archives->path(), QStringLiteral("LT_Pack.mtzip"), _lowerThirds);
    const QString two = makeArchive(_archives->path(), QStringLiteral("OP_Pack.mtzip"), _openers);
    if (one.isEmpty() || two.isEmpty())
        return nullptr;
    return TemplateArchiveCollection::templateArchivesFromURLs(urlsOf({one, two}), true).value(0);
}

void tst_EffectsTableModel::columnIdentifiers()
{
    TemplateArchiveCollection *collection = openTwo();
    QVERIFY(collection);
    const EffectsTableModel *model = collection->tableModel();
    QCOMPARE(model->columnCount(), 5);
    QStringList identifiers;
    for (int section = 0; section < model->columnCount(); ++section)
        identifiers.append(model->headerData(section, Qt::Horizontal, EffectsTableModel::ColumnIdentifierRole).toString());
    QCOMPARE(identifiers, QStringList({QStringLiteral("index"), QStringLiteral("installed"), QStringLiteral("category"),
                                       QStringLiteral("title"), QStringLiteral("preview")}));
    QCOMPARE(EffectsTableModel::columnIdentifiers(), identifiers);
    // The window's table shows this model.
    const auto *table = collection->window()->findChild<QTableView *>(QStringLiteral("effectsTable"));
    QVERIFY(table);
    QCOMPARE(table->model(), model);
}

void tst_EffectsTableModel::cellValuesAcrossArchives()
{
    TemplateArchiveCollection *collection = openTwo();
    QVERIFY(collection);
    const EffectsTableModel *model = collection->tableModel();
    QCOMPARE(model->rowCount(), 3);

    QStringList indexes, categories, titles;
    for (int row = 0; row < 3; ++row) {
        indexes.append(model->objectValue(QStringLiteral("index"), row).toString());
        categories.append(model->objectValue(QStringLiteral("category"), row).toString());
        titles.append(model->objectValue(QStringLiteral("title"), row).toString());
        // What the table displays is the same value.
        const int titleColumn = int(EffectsTableModel::columnIdentifiers().indexOf(QStringLiteral("title")));
        QCOMPARE(model->data(model->index(row, titleColumn)).toString(), titles.last());
    }
    QCOMPARE(indexes, QStringList({QStringLiteral("1."), QStringLiteral("2."), QStringLiteral("3.")}));
    QCOMPARE(categories, QStringList({QStringLiteral("Lower Thirds"), QStringLiteral("Lower Thirds"), QStringLiteral("Openers")}));
    QStringList firstArchive = titles.mid(0, 2);
    firstArchive.sort();
    QCOMPARE(firstArchive, QStringList({QStringLiteral("Third 1"), QStringLiteral("Third 2")}));
    QCOMPARE(titles.at(2), QStringLiteral("Big Bold Open"));
    QVERIFY(!model->objectValue(QStringLiteral("preview"), 0).isValid());
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
    const int installedColumn = int(EffectsTableModel::columnIdentifiers().indexOf(QStringLiteral("installed")));
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
    TemplateArchiveCollection *collection = TemplateArchiveCollection::templateArchivesFromURLs(urlsOf({broken}), true).value(0);
    QVERIFY(collection);
    QAbstractItemModelTester tester(collection->tableModel(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(collection->tableModel()->rowCount(), 0);
    for (const QString &identifier : EffectsTableModel::columnIdentifiers())
        QVERIFY(!collection->tableModel()->objectValue(identifier, 0).isValid());
}

MTI_COLLECTION_TEST_MAIN(tst_EffectsTableModel)
#include "tst_EffectsTableModel.moc"
