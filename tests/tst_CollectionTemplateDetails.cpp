// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
// What the collection window reads from template documents: the marks
// column, the preview pane's details, the question before installing
// templates too new for Final Cut Pro, and the note when Final Cut Pro runs.
#include "CollectionTestTools.h"
#include "Collections/CollectionFlows.h"
#include "Collections/EffectsFilterModel.h"
#include "Collections/EffectsTableModel.h"
#include "Collections/TemplateArchiveCollection.h"
#include "Collections/TemplateArchiveCollectionController.h"
#include "Common/UserSettings.h"
#include "Interface/FinalCutNotice.h"
#include "Metadata/TemplateDocumentEdit.h"

#include <QAbstractItemModelTester>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTableView>

using namespace CollectionTestTools;
using namespace TestSupport;

namespace {

const QString Titles = QStringLiteral("Titles.localized");
const QString Category = QStringLiteral("Lower Thirds");
const QString Completed = QStringLiteral("Installation Completed");
const QString DeleteQuestion = QStringLiteral("Delete Template Archive?");

// One template per shape a document comes in; the names sort in this order.
const QList<QPair<QString, QByteArray>> &shapes()
{
    static const QList<QPair<QString, QByteArray>> documents = {
        {QStringLiteral("LT_A_Good"), motionDocument("5.9")},
        {QStringLiteral("LT_B_New"), motionDocument("6.0")},
        {QStringLiteral("LT_C_PlugIn"),
         motionDocument("5.9", "<layer><filter name=\"Glow\" pluginName=\"Glow Pro\" pluginUUID=\"U-1\" "
                               "pluginVersion=\"3\"/></layer>")},
        {QStringLiteral("LT_D_Media"),
         motionDocument("5.9", "<clip><relativeURL>Media/gone.png</relativeURL></clip>")},
        {QStringLiteral("LT_E_Hidden"), motionDocument("5.9").replace("<flags>0</flags>", "<flags>2</flags>")},
        {QStringLiteral("LT_F_Bomb"),
         QByteArray("<?xml version=\"1.0\"?><!DOCTYPE ozml [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;\">]>"
                    "<ozml version=\"5.11\"><description>&b;</description></ozml>")},
        {QStringLiteral("LT_G_Binary"), QByteArray("\x00\x01\x02\xff\xfe binary", 16)},
        {QStringLiteral("LT_H_Truncated"), motionDocument("5.9").left(120)},
    };
    return documents;
}

QString marksOf(const EffectsTableModel *model, int row)
{
    return model->data(model->index(row, EffectsTableModel::MarksColumn)).toString();
}

QString tipOf(const EffectsTableModel *model, int row)
{
    return model->data(model->index(row, EffectsTableModel::MarksColumn), Qt::ToolTipRole).toString();
}

int rowOf(const EffectsTableModel *model, const QString &folder)
{
    for (int row = 0; row < model->rowCount(); ++row) {
        if (model->item(row)->folderName() == folder)
            return row;
    }
    return -1;
}

bool installedNow(const QString &folder)
{
    return QFileInfo::exists(installedPath(Titles, Category, folder));
}

} // namespace

class tst_CollectionTemplateDetails : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void marksAndToolTipsPerDocumentShape_data();
    void marksAndToolTipsPerDocumentShape();
    void marksColumnUnderTheModelTester();
    void previewPaneShowsTheDetails_data();
    void previewPaneShowsTheDetails();
    void hostileDocumentsStopNeitherListingNorInstall();
    void tooNewTemplatesAreAskedAbout_data();
    void tooNewTemplatesAreAskedAbout();
    void noFinalCutKnownAsksNothing();
    void tooNewQuestionText();
    void runningFinalCutIsToldAfterInstallAndUninstall();
    void hiddenInstalledCopyIsMarked();

private:
    TemplateArchiveCollection *openShapes(const QString &finalCut);
    TemplateArchiveCollection *openThree(const QString &finalCut);

    std::unique_ptr<QTemporaryDir> _archives;
};

void tst_CollectionTemplateDetails::init()
{
    QVERIFY(resetDestination());
    _archives = std::make_unique<QTemporaryDir>();
    QVERIFY(_archives->isValid());
}

void tst_CollectionTemplateDetails::cleanup()
{
    TemplateArchiveCollectionController::sharedController().closeAllCollections();
    for (QMessageBox *box : visibleAlerts())
        box->done(0);
    QTRY_VERIFY(TemplateArchiveCollectionController::sharedController().collections().isEmpty());
    UserSettings::setFinalCutVersionOverride(QString());
    FinalCutNotice::setRunningQuery({});
    FinalCutNotice::setReopenAction({});
    QVERIFY(resetDestination());
    _archives.reset();
}

TemplateArchiveCollection *tst_CollectionTemplateDetails::openShapes(const QString &finalCut)
{
    UserSettings::setFinalCutVersionOverride(finalCut);
    const QString archive = makeArchiveWithDocuments(_archives->path(), QStringLiteral("LT_Shapes.mtzip"), shapes());
    if (archive.isEmpty())
        return nullptr;
    TemplateArchiveCollection *collection = openArchives(urlsOf({archive})).value(0);
    if (collection && !QTest::qWaitFor([collection] { return collection->tableModel()->hasReadDocuments(); }, 20000))
        return nullptr;
    return collection;
}

// Fits 11.0 (saved by Motion 5.9), needs 12.0 (6.0), needs 11.1 (5.10).
TemplateArchiveCollection *tst_CollectionTemplateDetails::openThree(const QString &finalCut)
{
    UserSettings::setFinalCutVersionOverride(finalCut);
    const QString archive = makeArchiveWithDocuments(_archives->path(), QStringLiteral("LT_Three.mtzip"),
                                                     {{QStringLiteral("LT_Fits"), motionDocument("5.9")},
                                                      {QStringLiteral("LT_Newest"), motionDocument("6.0")},
                                                      {QStringLiteral("LT_Newer"), motionDocument("5.10")}});
    if (archive.isEmpty())
        return nullptr;
    return openArchives(urlsOf({archive})).value(0);
}

void tst_CollectionTemplateDetails::marksAndToolTipsPerDocumentShape_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("marks");
    QTest::addColumn<QString>("tip");  // a part of the tool tip; empty: none
    QTest::newRow("fits this Final Cut Pro") << "LT_A_Good" << "" << "";
    QTest::newRow("too new") << "LT_B_New" << "N" << "Needs Final Cut Pro 12.0 or later; this Mac has 11.0";
    QTest::newRow("plug-in") << "LT_C_PlugIn" << "P" << "Needs the plug-in Glow Pro";
    QTest::newRow("media missing") << "LT_D_Media" << "M" << "Media missing: Media/gone.png";
    QTest::newRow("hidden") << "LT_E_Hidden" << "H" << "Hidden from Final Cut Pro's browser";
    QTest::newRow("entity bomb") << "LT_F_Bomb" << "?" << "Details unavailable";
    QTest::newRow("binary") << "LT_G_Binary" << "?" << "Details unavailable";
    QTest::newRow("truncated") << "LT_H_Truncated" << "?" << "Details unavailable";
}

void tst_CollectionTemplateDetails::marksAndToolTipsPerDocumentShape()
{
    QFETCH(QString, folder);
    QFETCH(QString, marks);
    QFETCH(QString, tip);
    TemplateArchiveCollection *collection = openShapes(QStringLiteral("11.0"));
    QVERIFY(collection);
    const EffectsTableModel *model = collection->tableModel();
    QCOMPARE(model->rowCount(), int(shapes().size()));
    QCOMPARE(model->finalCutVersion(), std::optional(QVersionNumber(11, 0)));
    const int row = rowOf(model, folder);
    QVERIFY(row >= 0);
    QCOMPARE(marksOf(model, row), marks);
    QCOMPARE(model->objectValue(QStringLiteral("marks"), row).toString(), marks);
    if (tip.isEmpty())
        QVERIFY(!model->data(model->index(row, EffectsTableModel::MarksColumn), Qt::ToolTipRole).isValid());
    else
        QVERIFY2(tipOf(model, row).contains(tip), qPrintable(tipOf(model, row)));
    // The view sorts by the marks like any column.
    QCOMPARE(model->data(model->index(row, EffectsTableModel::MarksColumn), EffectsTableModel::SortRole).toString(),
             marks);
}

void tst_CollectionTemplateDetails::marksColumnUnderTheModelTester()
{
    UserSettings::setFinalCutVersionOverride(QStringLiteral("10.8"));
    const QString archive = makeArchiveWithDocuments(_archives->path(), QStringLiteral("LT_Shapes.mtzip"), shapes());
    QVERIFY(!archive.isEmpty());
    TemplateArchiveCollection *collection = openArchives(urlsOf({archive})).value(0);
    QVERIFY(collection);
    EffectsTableModel *model = collection->tableModel();
    // Attached while the documents still arrive: every dataChanged they bring is checked.
    QAbstractItemModelTester tester(model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QAbstractItemModelTester proxyTester(collection->filterModel(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    QTRY_VERIFY_WITH_TIMEOUT(model->hasReadDocuments(), 20000);
    // Against 10.8 even Motion 5.9's template is too new.
    QCOMPARE(marksOf(model, rowOf(model, QStringLiteral("LT_A_Good"))), QStringLiteral("N"));
    // A new version judges again without reading the documents again.
    model->setFinalCutVersion(std::nullopt);
    QCOMPARE(marksOf(model, rowOf(model, QStringLiteral("LT_A_Good"))), QString());
    QCOMPARE(marksOf(model, rowOf(model, QStringLiteral("LT_C_PlugIn"))), QStringLiteral("P"));
    model->reload();
    QTRY_VERIFY_WITH_TIMEOUT(model->hasReadDocuments(), 20000);
    QCOMPARE(marksOf(model, rowOf(model, QStringLiteral("LT_F_Bomb"))), QStringLiteral("?"));
}

void tst_CollectionTemplateDetails::previewPaneShowsTheDetails_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("too new") << "LT_B_New"
                             << QStringList{QStringLiteral("Resolution: 1920 x 1080"), QStringLiteral("Frame rate: 25 fps"), QStringLiteral("Length: 10 s"), QStringLiteral("Needs Final Cut Pro 12.0 or later"), QStringLiteral("Theme: Corporate"), QStringLiteral("Parameters: Name, Role")};
    QTest::newRow("plug-in") << "LT_C_PlugIn" << QStringList{QStringLiteral("Plug-ins: Glow Pro 3")};
    QTest::newRow("media") << "LT_D_Media" << QStringList{QStringLiteral("Missing media: Media/gone.png")};
    QTest::newRow("unreadable") << "LT_F_Bomb" << QStringList{QStringLiteral("Details: Unavailable")};
}

void tst_CollectionTemplateDetails::previewPaneShowsTheDetails()
{
    QFETCH(QString, folder);
    QFETCH(QStringList, lines);
    TemplateArchiveCollection *collection = openShapes(QStringLiteral("11.0"));
    QVERIFY(collection);
    collection->window()->show();
    auto *table = collection->window()->findChild<QTableView *>(QStringLiteral("effectsTable"));
    auto *facts = collection->window()->findChild<QLabel *>(QStringLiteral("previewFacts"));
    QVERIFY(table && facts);
    QVERIFY(facts->text().isEmpty());
    const int row = rowOf(collection->tableModel(), folder);
    const QModelIndex shown = collection->filterModel()->mapFromSource(collection->tableModel()->index(row, 0));
    table->selectRow(shown.row());
    for (const QString &line : std::as_const(lines))
        QVERIFY2(facts->text().contains(line), qPrintable(facts->text()));
    // Names from archives are shown as written, never as markup.
    QCOMPARE(facts->textFormat(), Qt::PlainText);
    table->clearSelection();
    QVERIFY(facts->text().isEmpty());
}

void tst_CollectionTemplateDetails::hostileDocumentsStopNeitherListingNorInstall()
{
    // No Final Cut Pro known: nothing is too new, nothing is asked.
    TemplateArchiveCollection *collection = openShapes(QString());
    QVERIFY(collection);
    QCOMPARE(collection->tableModel()->rowCount(), int(shapes().size()));
    AlertWatcher watcher;
    watcher.answer(DeleteQuestion, QStringLiteral("Keep"));
    watcher.answer(Completed, QStringLiteral("Cancel"));
    collection->installForCurrentUser();
    QTRY_VERIFY_WITH_TIMEOUT(watcher.answered(Completed), 20000);
    for (const auto &[folder, bytes] : shapes()) {
        QVERIFY2(installedNow(folder), qPrintable(folder));
        // Installed as they came, the hostile ones too.
        QCOMPARE(readFile(installedPath(Titles, Category, folder) + QLatin1Char('/') + folder + QStringLiteral(".moti")),
                 bytes);
    }
}

void tst_CollectionTemplateDetails::tooNewTemplatesAreAskedAbout_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QStringList>("installed");
    QTest::newRow("install anyway") << "Install Anyway" << QStringList{QStringLiteral("LT_Fits"), QStringLiteral("LT_Newest"), QStringLiteral("LT_Newer")};
    QTest::newRow("skip those") << "Skip Those" << QStringList{QStringLiteral("LT_Fits")};
    QTest::newRow("cancel") << "Cancel" << QStringList{};
}

void tst_CollectionTemplateDetails::tooNewTemplatesAreAskedAbout()
{
    QFETCH(QString, answer);
    QFETCH(QStringList, installed);
    TemplateArchiveCollection *collection = openThree(QStringLiteral("11.0"));
    QVERIFY(collection);
    collection->window()->show();
    // Asked at once, whether or not the table has read the documents yet.
    collection->installForCurrentUser();
    const QString question = QStringLiteral("2 templates need Final Cut Pro 12.0 or later; this Mac has 11.0");
    QMessageBox *box = awaitAlert(question);
    QVERIFY(box);
    QCOMPARE(buttonTexts(box).size(), 3);
    QVERIFY(buttonTexts(box).contains(QStringLiteral("Install Anyway")));
    QVERIFY(buttonTexts(box).contains(QStringLiteral("Skip Those")));
    // Cancel is the default and Escape's, and not the destructive place.
    QCOMPARE(box->defaultButton()->text(), QStringLiteral("Cancel"));
    QCOMPARE(box->escapeButton()->text(), QStringLiteral("Cancel"));
    QCOMPARE(box->buttonRole(box->defaultButton()), QMessageBox::RejectRole);
    QVERIFY(box->informativeText().contains(QStringLiteral("Newest")));
    QVERIFY(box->informativeText().contains(QStringLiteral("Newer")));
    QVERIFY(!box->informativeText().contains(QStringLiteral("Fits")));

    AlertWatcher watcher;
    watcher.answer(DeleteQuestion, QStringLiteral("Keep"));
    watcher.answer(Completed, QStringLiteral("Cancel"));
    QVERIFY(press(box, answer));
    if (installed.isEmpty()) {
        settle();
        QVERIFY(waitUntilIdle(collection));
        QTest::qWait(200);
        QVERIFY(watcher.seen.isEmpty());
        QVERIFY(!QFileInfo::exists(destinationRoot()) || !installedNow(QStringLiteral("LT_Fits")));
    } else {
        QTRY_VERIFY_WITH_TIMEOUT(watcher.answered(Completed), 20000);
    }
    for (const QString &folder : {QStringLiteral("LT_Fits"), QStringLiteral("LT_Newest"), QStringLiteral("LT_Newer")})
        QCOMPARE(installedNow(folder), installed.contains(folder));
}

void tst_CollectionTemplateDetails::noFinalCutKnownAsksNothing()
{
    TemplateArchiveCollection *collection = openThree(QString());
    QVERIFY(collection);
    AlertWatcher watcher;
    watcher.answer(DeleteQuestion, QStringLiteral("Keep"));
    watcher.answer(Completed, QStringLiteral("Cancel"));
    collection->installForCurrentUser();
    QTRY_VERIFY_WITH_TIMEOUT(watcher.answered(Completed), 20000);
    QCOMPARE(watcher.titlesSeen(), QStringList({DeleteQuestion, Completed}));
    QVERIFY(installedNow(QStringLiteral("LT_Newest")));
}

void tst_CollectionTemplateDetails::tooNewQuestionText()
{
    FinalCutVersions::Requirement needs111{QVersionNumber(11, 1), false};
    QCOMPARE(CollectionFlows::tooNewQuestion(3, needs111, QVersionNumber(10, 8)),
             QStringLiteral("3 templates need Final Cut Pro 11.1 or later; this Mac has 10.8"));
    QCOMPARE(CollectionFlows::tooNewQuestion(1, needs111, QVersionNumber(10, 8)),
             QStringLiteral("1 template needs Final Cut Pro 11.1 or later; this Mac has 10.8"));
    FinalCutVersions::Requirement beyond{QVersionNumber(12, 2), true};
    QCOMPARE(CollectionFlows::tooNewQuestion(2, beyond, QVersionNumber(12, 2)),
             QStringLiteral("2 templates need a Final Cut Pro newer than 12.2; this Mac has 12.2"));
}

void tst_CollectionTemplateDetails::runningFinalCutIsToldAfterInstallAndUninstall()
{
    const QString bundle = QStringLiteral("com.apple.FinalCut");
    FinalCutNotice::setRunningQuery([bundle] { return bundle; });
    QStringList reopened;
    FinalCutNotice::setReopenAction([&reopened](const QString &identifier) {
        reopened.append(identifier);
        return true;
    });
    TemplateArchiveCollection *collection = openThree(QString());
    QVERIFY(collection);
    collection->window()->show();
    collection->installForCurrentUser();
    QVERIFY(press(awaitAlert(DeleteQuestion), QStringLiteral("Keep")));
    QMessageBox *done = awaitAlert(Completed);
    QVERIFY(done);
    QVERIFY2(done->informativeText().contains(FinalCutNotice::note()), qPrintable(done->informativeText()));
    QVERIFY(!done->informativeText().contains(QStringLiteral("install more")));
    QVERIFY(press(done, FinalCutNotice::reopenButton()));
    QTRY_COMPARE(reopened, QStringList({bundle}));

    AlertWatcher watcher;
    watcher.answer(QStringLiteral("Uninstall 3 templates from Final Cut Pro's library?"), QStringLiteral("Uninstall"));
    collection->uninstallEffects();
    QMessageBox *removed = awaitAlert(QStringLiteral("Uninstall Completed"));
    QVERIFY(removed);
    QVERIFY(removed->informativeText().contains(FinalCutNotice::note()));
    QVERIFY(press(removed, FinalCutNotice::reopenButton()));
    QTRY_COMPARE(reopened.size(), 2);

    // Not running (every system but macOS): the usual question, no note.
    FinalCutNotice::setRunningQuery([] { return QString(); });
    collection->installForCurrentUser();
    QVERIFY(press(awaitAlert(DeleteQuestion), QStringLiteral("Keep")));
    done = awaitAlert(Completed);
    QVERIFY(done);
    QVERIFY(!done->informativeText().contains(FinalCutNotice::note()));
    QCOMPARE(buttonTexts(done).size(), 3);
    QVERIFY(buttonTexts(done).contains(QStringLiteral("Yes")));
    QVERIFY(press(done, QStringLiteral("Cancel")));
    QCOMPARE(reopened.size(), 2);
}

void tst_CollectionTemplateDetails::hiddenInstalledCopyIsMarked()
{
    TemplateArchiveCollection *collection = openThree(QString());
    QVERIFY(collection);
    EffectsTableModel *model = collection->tableModel();
    QAbstractItemModelTester tester(model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    AlertWatcher watcher;
    watcher.answer(DeleteQuestion, QStringLiteral("Keep"));
    watcher.answer(Completed, QStringLiteral("Cancel"));
    collection->installForCurrentUser();
    QTRY_VERIFY_WITH_TIMEOUT(watcher.answered(Completed), 20000);
    QTRY_VERIFY_WITH_TIMEOUT(model->hasReadDocuments(), 20000);
    const int row = rowOf(model, QStringLiteral("LT_Fits"));
    QCOMPARE(marksOf(model, row), QString());

    // Hidden in the library (or by mtzip): the archive's copy is not, the installed one is.
    const QString installed = installedPath(Titles, Category, QStringLiteral("LT_Fits")) + QStringLiteral("/LT_Fits.moti");
    QVERIFY(!TemplateDocumentEdit::setObsoleteInFile(installed, true));
    collection->adjustInstallButtonState();
    QTRY_COMPARE(marksOf(model, row), QStringLiteral("H"));
    QVERIFY(model->installedCopyHidden(row));
    QVERIFY2(tipOf(model, row).contains(QStringLiteral("installed copy is hidden")), qPrintable(tipOf(model, row)));
    QCOMPARE(marksOf(model, rowOf(model, QStringLiteral("LT_Newer"))), QString());

    QVERIFY(!TemplateDocumentEdit::setObsoleteInFile(installed, false));
    collection->adjustInstallButtonState();
    QTRY_COMPARE(marksOf(model, row), QString());
}

MTI_COLLECTION_TEST_MAIN(tst_CollectionTemplateDetails)
#include "tst_CollectionTemplateDetails.moc"
