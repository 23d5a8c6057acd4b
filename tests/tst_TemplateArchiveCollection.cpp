// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "CollectionTestTools.h"
#include "Collections/EffectsTableModel.h"
#include "Documents/DeferredCleanup.h"
#include "Interface/BackgroundWork.h"
#include "Collections/TemplateArchiveCollection.h"
#include "Collections/TemplateArchiveCollectionController.h"
#include "Installer/TemplateInstallerV2.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableView>

using namespace CollectionTestTools;
using namespace TestSupport;

namespace {

const QString Multiple = QStringLiteral("Multiple Template Archives");
const QString AlreadyOpen = QStringLiteral("Archive Already Open");

TemplateArchiveCollectionController &registry()
{
    return TemplateArchiveCollectionController::sharedController();
}

QStringList column(const TemplateArchiveCollection *collection, const QString &identifier)
{
    QStringList values;
    const EffectsTableModel *model = collection->tableModel();
    for (int row = 0; row < model->rowCount(); ++row)
        values.append(model->objectValue(identifier, row).toString());
    return values;
}

QString statusLine(const TemplateArchiveCollection *collection)
{
    const auto *label = collection->window()->findChild<QLabel *>(QStringLiteral("infoStr"));
    return label ? label->text() : QStringLiteral("<no status line>");
}

bool buttonEnabled(const TemplateArchiveCollection *collection, const char *name)
{
    const auto *button = collection->window()->findChild<QPushButton *>(QLatin1String(name));
    return button && button->isEnabled();
}

QStringList unpackFolders(const TemplateArchiveCollection *collection)
{
    QStringList folders;
    for (const auto &installer : collection->templateInstallers())
        folders.append(installer->effectsSourceFolder());
    return folders;
}

} // namespace

class tst_TemplateArchiveCollection : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void twoArchivesMakeOneCollectionListedArchiveByArchive();
    void title_data();
    void title();
    void separateCollectionsWithoutMerge();
    void alreadyOpenArchiveIsRefused_data();
    void alreadyOpenArchiveIsRefused();
    void closingFreesTheArchiveForReopening();
    void duplicateURLsOpenOnce();
    void otherExtensionsAreIgnoredSilently_data();
    void otherExtensionsAreIgnoredSilently();
    void collectionWithoutInstallers();
    void statusLineAndButtons_data();
    void statusLineAndButtons();
    void countsFollowTheDestinationAtTheNextAdjustment();
    void unknownSearchOptionSelectsNothing();
    void closingTheWindowDestroysTheCollection();
    void damagedArchiveIsToldWhenTheWindowShows();
    void nothingToListIsToldWithoutAnEmptyWindow_data();
    void nothingToListIsToldWithoutAnEmptyWindow();
    void tabLeavesTheTable();
    void secondLineCountsTheSearchAndTheSelection();
    void openDialogOpensTheChosenArchives();
    void cancelledOpenDialogOpensNothing();
    void openDialogStartsInTheFolderLastUsed();
    void openDialogRaisesArchivesAlreadyOpen();

    void registryCloseAllOnEmpty();
    void registryCloseAllClosesEveryCollection();
    void registryRefusesAddingTwice();
    void registryRefusesRemovingUnknown();
    void registryRefusesNull();

private:
    QString archive(const QString &name, const QStringList &templates);

    std::unique_ptr<QTemporaryDir> _archives;
};

void tst_TemplateArchiveCollection::initTestCase()
{
    QVERIFY(QStandardPaths::isTestModeEnabled());
    QVERIFY(QDir(moviesFolder()).exists());
}

void tst_TemplateArchiveCollection::init()
{
    QVERIFY(resetDestination());
    _archives = std::make_unique<QTemporaryDir>();
    QVERIFY(_archives->isValid());
    QVERIFY(registry().collections().isEmpty());
}

void tst_TemplateArchiveCollection::cleanup()
{
    registry().closeAllCollections();
    // One still unpacking goes once its unpacking has stopped.
    QTRY_COMPARE(registry().collections().size(), 0);
    // Windows go with deleteLater; alerts left open by a failed test too.
    for (QMessageBox *box : visibleAlerts())
        box->done(0);
    settle();
    QVERIFY(resetDestination());
    _archives.reset();
}

QString tst_TemplateArchiveCollection::archive(const QString &name, const QStringList &templates)
{
    return makeArchive(_archives->path(), name, templates);
}

void tst_TemplateArchiveCollection::twoArchivesMakeOneCollectionListedArchiveByArchive()
{
    const QString one = archive(QStringLiteral("LT_Pack_One.mtzip"), templateNames(QStringLiteral("LT"), QStringLiteral("Third"), 2));
    const QString two = archive(QStringLiteral("KT_Pack_Two.mtzip"), templateNames(QStringLiteral("KT"), QStringLiteral("Word"), 3));
    QVERIFY(!one.isEmpty() && !two.isEmpty());

    AlertWatcher alerts;
    const QList<TemplateArchiveCollection *> opened = openArchives(
        urlsOf({one, two}), true);
    QCOMPARE(opened.size(), 1);
    TemplateArchiveCollection *collection = opened.first();
    QCOMPARE(collection->window()->windowTitle(), Multiple);
    QCOMPARE(collection->archiveURLs(), urlsOf({one, two}));
    QCOMPARE(collection->templateInstallers().size(), size_t(2));
    QCOMPARE(registry().collections(), opened);

    // Archive by archive: the Lower Thirds first, then the Kinetic Type.
    QCOMPARE(column(collection, QStringLiteral("category")),
             QStringList({QStringLiteral("Lower Thirds"), QStringLiteral("Lower Thirds"), QStringLiteral("Kinetic Type"),
                          QStringLiteral("Kinetic Type"), QStringLiteral("Kinetic Type")}));
    QStringList firstTitles = column(collection, QStringLiteral("title")).mid(0, 2);
    firstTitles.sort();
    QCOMPARE(firstTitles, QStringList({QStringLiteral("Third 1"), QStringLiteral("Third 2")}));
    QCOMPARE(column(collection, QStringLiteral("index")),
             QStringList({QStringLiteral("1."), QStringLiteral("2."), QStringLiteral("3."), QStringLiteral("4."),
                          QStringLiteral("5.")}));
    QCOMPARE(statusLine(collection), QStringLiteral("5 effects,  0 installed"));

    settle();
    QCOMPARE(alerts.titlesSeen(), QStringList());
}

void tst_TemplateArchiveCollection::title_data()
{
    QTest::addColumn<QStringList>("archives"); // "!" before a name: a damaged file
    QTest::addColumn<QString>("expectedTitle");
    QTest::addColumn<int>("expectedRows");

    QTest::newRow("one archive is titled with its file name without extension")
        << QStringList{QStringLiteral("LT_Pack_One.mtzip")} << QStringLiteral("LT_Pack_One") << 2;
    QTest::newRow("a name with several dots keeps all but the extension")
        << QStringList{QStringLiteral("LT_Pack.v2.mtzip")} << QStringLiteral("LT_Pack.v2") << 2;
    QTest::newRow("two archives are titled as multiple")
        << QStringList{QStringLiteral("LT_Pack_One.mtzip"), QStringLiteral("OP_Pack_Two.mtzip")} << Multiple << 4;
    QTest::newRow("an archive refused by its prefix leaves the other archive's title")
        << QStringList{QStringLiteral("XX_Unknown.mtzip"), QStringLiteral("LT_Pack_One.mtzip")}
        << QStringLiteral("LT_Pack_One") << 2;
    QTest::newRow("a damaged archive keeps its title and shows nothing")
        << QStringList{QStringLiteral("!LT_Broken.mtzip")} << QStringLiteral("LT_Broken") << 0;
}

void tst_TemplateArchiveCollection::title()
{
    QFETCH(QStringList, archives);
    QFETCH(QString, expectedTitle);
    QFETCH(int, expectedRows);

    QStringList paths;
    for (const QString &name : std::as_const(archives)) {
        if (name.startsWith(QLatin1Char('!'))) {
            paths.append(makeDamagedArchive(_archives->path(), name.mid(1)));
        } else {
            const QString prefix = name.left(2);
            paths.append(archive(name, templateNames(prefix, QStringLiteral("T"), 2)));
        }
        QVERIFY(!paths.last().isEmpty());
    }
    const QList<TemplateArchiveCollection *> opened =
        openArchives(urlsOf(paths), true);
    QCOMPARE(opened.size(), 1);
    QCOMPARE(opened.first()->window()->windowTitle(), expectedTitle);
    QCOMPARE(opened.first()->tableModel()->rowCount(), expectedRows);
}

void tst_TemplateArchiveCollection::separateCollectionsWithoutMerge()
{
    const QString one = archive(QStringLiteral("LT_Pack_One.mtzip"), templateNames(QStringLiteral("LT"), QStringLiteral("A"), 1));
    const QString two = archive(QStringLiteral("OP_Pack_Two.mtzip"), templateNames(QStringLiteral("OP"), QStringLiteral("B"), 2));
    const QList<TemplateArchiveCollection *> opened =
        openArchives(urlsOf({one, two}), false);
    QCOMPARE(opened.size(), 2);
    QCOMPARE(opened.at(0)->archiveURLs(), urlsOf({one}));
    QCOMPARE(opened.at(1)->archiveURLs(), urlsOf({two}));
    QCOMPARE(opened.at(0)->window()->windowTitle(), QStringLiteral("LT_Pack_One"));
    QCOMPARE(opened.at(1)->window()->windowTitle(), QStringLiteral("OP_Pack_Two"));
    QCOMPARE(registry().collections(), opened);
}

void tst_TemplateArchiveCollection::alreadyOpenArchiveIsRefused_data()
{
    QTest::addColumn<bool>("withNewArchive");
    QTest::newRow("the open archive alone makes no collection") << false;
    QTest::newRow("with a new archive only the new one is opened") << true;
}

void tst_TemplateArchiveCollection::alreadyOpenArchiveIsRefused()
{
    QFETCH(bool, withNewArchive);
    const QString open = archive(QStringLiteral("LT_Open.mtzip"), templateNames(QStringLiteral("LT"), QStringLiteral("A"), 1));
    const QString fresh = archive(QStringLiteral("OP_Fresh.mtzip"), templateNames(QStringLiteral("OP"), QStringLiteral("B"), 1));
    const QList<TemplateArchiveCollection *> first = openArchives(urlsOf({open}), true);
    QCOMPARE(first.size(), 1);
    QVERIFY(!first.first()->window()->isVisible());

    AlertWatcher alerts;
    alerts.answer(AlreadyOpen, QStringLiteral("Ok"));
    const QStringList request = withNewArchive ? QStringList{open, fresh} : QStringList{open};
    const QList<TemplateArchiveCollection *> second =
        TemplateArchiveCollection::templateArchivesFromURLs(urlsOf(request), true);
    for (TemplateArchiveCollection *collection : second)
        QTRY_VERIFY(!collection->isOpening());

    if (withNewArchive) {
        QCOMPARE(second.size(), 1);
        QCOMPARE(second.first()->archiveURLs(), urlsOf({fresh}));
        QCOMPARE(second.first()->window()->windowTitle(), QStringLiteral("OP_Fresh"));
        QCOMPARE(registry().collections(), first + second);
    } else {
        QCOMPARE(second.size(), 0);
        QCOMPARE(registry().collections(), first);
    }

    QTRY_VERIFY(alerts.answered(AlreadyOpen));
    QCOMPARE(alerts.seen.size(), 1);
    const SeenAlert &alert = alerts.seen.first();
    QCOMPARE(alert.informativeText,
             QStringLiteral("Some of the archives are already open in another window, you cannot open them in a new "
                            "window. Please close the other window, and try again."));
    QCOMPARE(alert.buttons, QStringList{QStringLiteral("Ok")});
    QCOMPARE(alert.modality, Qt::ApplicationModal);
    QVERIFY2(alert.dark, "the alert has the light look");
    // The window that shows it comes forward instead of a question.
    QVERIFY(first.first()->window()->isVisible());
    settle();
    QCOMPARE(alerts.titlesSeen(), QStringList{AlreadyOpen});
}

void tst_TemplateArchiveCollection::closingFreesTheArchiveForReopening()
{
    // A damaged archive is open too: what blocks is the URL, not the templates.
    const QString broken = makeDamagedArchive(_archives->path(), QStringLiteral("LT_Broken.mtzip"));
    QList<TemplateArchiveCollection *> opened = openArchives(urlsOf({broken}), true);
    QCOMPARE(opened.size(), 1);
    QPointer<TemplateArchiveCollection> first = opened.first();

    // Nothing new opens while its problem message is up, and the alert says why.
    AlertWatcher alerts;
    alerts.answer(AlreadyOpen, QStringLiteral("Ok"));
    QCOMPARE(openArchives(urlsOf({broken}), true).size(), 0);
    QTRY_VERIFY(alerts.answered(AlreadyOpen));

    first->close();
    QVERIFY(first.isNull());
    alerts.seen.clear();
    opened = openArchives(urlsOf({broken}), true);
    QCOMPARE(opened.size(), 1);
    settle();
    QVERIFY(!alerts.titlesSeen().contains(AlreadyOpen));
}

void tst_TemplateArchiveCollection::duplicateURLsOpenOnce()
{
    const QString one = archive(QStringLiteral("LT_Pack_One.mtzip"), templateNames(QStringLiteral("LT"), QStringLiteral("A"), 2));
    AlertWatcher alerts;
    const QList<TemplateArchiveCollection *> opened =
        openArchives(urlsOf({one, one, one}), true);
    QCOMPARE(opened.size(), 1);
    QCOMPARE(opened.first()->archiveURLs(), urlsOf({one}));
    QCOMPARE(opened.first()->templateInstallers().size(), size_t(1));
    QCOMPARE(opened.first()->window()->windowTitle(), QStringLiteral("LT_Pack_One"));
    QCOMPARE(opened.first()->tableModel()->rowCount(), 2);
    settle();
    QCOMPARE(alerts.titlesSeen(), QStringList());
}

void tst_TemplateArchiveCollection::otherExtensionsAreIgnoredSilently_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::newRow("an empty request") << QStringList();
    QTest::newRow("a zip file") << QStringList{QStringLiteral("LT_Pack.zip")};
    QTest::newRow("the extension in upper case") << QStringList{QStringLiteral("LT_Pack.MTZIP")};
    QTest::newRow("the extension in mixed case") << QStringList{QStringLiteral("LT_Pack.MtZip")};
    QTest::newRow("no extension at all") << QStringList{QStringLiteral("LT_Pack")};
    QTest::newRow("mtzip followed by another extension") << QStringList{QStringLiteral("LT_Pack.mtzip.bak")};
    QTest::newRow("several wrong ones together")
        << QStringList{QStringLiteral("LT_A.zip"), QStringLiteral("LT_B.MTZIP"), QStringLiteral("LT_C.txt")};
}

void tst_TemplateArchiveCollection::otherExtensionsAreIgnoredSilently()
{
    QFETCH(QStringList, names);
    QStringList paths;
    for (const QString &name : std::as_const(names)) {
        // Real archives inside: only the name may keep them out.
        paths.append(archive(name, templateNames(QStringLiteral("LT"), QStringLiteral("A"), 1)));
        QVERIFY(!paths.last().isEmpty());
    }
    AlertWatcher alerts;
    std::optional<Error> error;
    const QList<TemplateArchiveCollection *> opened =
        TemplateArchiveCollection::templateArchivesFromURLs(urlsOf(paths), true, &error);
    QCOMPARE(opened.size(), 0);
    QVERIFY(!error.has_value());
    QVERIFY(registry().collections().isEmpty());
    settle();
    QCOMPARE(alerts.titlesSeen(), QStringList());
}

void tst_TemplateArchiveCollection::collectionWithoutInstallers()
{
    // Neither name carries a prefix from the Categories list.
    const QString unknown = archive(QStringLiteral("XX_Pack.mtzip"), templateNames(QStringLiteral("LT"), QStringLiteral("A"), 2));
    const QString unprefixed = archive(QStringLiteral("Pack.mtzip"), templateNames(QStringLiteral("LT"), QStringLiteral("B"), 2));
    const QList<TemplateArchiveCollection *> opened =
        openArchives(urlsOf({unknown, unprefixed}), true);
    QCOMPARE(opened.size(), 1);
    TemplateArchiveCollection *collection = opened.first();
    QCOMPARE(collection->templateInstallers().size(), size_t(0));
    QCOMPARE(collection->archiveURLs(), urlsOf({unknown, unprefixed}));
    QCOMPARE(collection->window()->windowTitle(), Multiple);
    QCOMPARE(collection->tableModel()->rowCount(), 0);
    QCOMPARE(statusLine(collection), QStringLiteral("0 effects,  0 installed"));
    QVERIFY(!buttonEnabled(collection, "installButton"));
    QVERIFY(!buttonEnabled(collection, "deleteButton"));
}

void tst_TemplateArchiveCollection::statusLineAndButtons_data()
{
    QTest::addColumn<int>("installedBefore");
    QTest::addColumn<QString>("status");
    QTest::addColumn<bool>("installEnabled");
    QTest::addColumn<bool>("deleteEnabled");
    QTest::newRow("none installed: install only") << 0 << QStringLiteral("3 effects,  0 installed") << true << false;
    QTest::newRow("some installed: both") << 1 << QStringLiteral("3 effects,  1 installed") << true << true;
    QTest::newRow("all installed: delete only") << 3 << QStringLiteral("3 effects,  3 installed") << false << true;
}

void tst_TemplateArchiveCollection::statusLineAndButtons()
{
    QFETCH(int, installedBefore);
    QFETCH(QString, status);
    QFETCH(bool, installEnabled);
    QFETCH(bool, deleteEnabled);

    const QStringList names = templateNames(QStringLiteral("LT"), QStringLiteral("Third"), 3);
    const QString pack = archive(QStringLiteral("LT_Pack.mtzip"), names);
    for (int i = 0; i < installedBefore; ++i)
        QVERIFY(installByHand(QStringLiteral("Titles.localized"), QStringLiteral("Lower Thirds"), names.at(i)));

    const QList<TemplateArchiveCollection *> opened = openArchives(urlsOf({pack}), true);
    QCOMPARE(opened.size(), 1);
    TemplateArchiveCollection *collection = opened.first();
    QCOMPARE(statusLine(collection), status);
    QCOMPARE(buttonEnabled(collection, "installButton"), installEnabled);
    QCOMPARE(buttonEnabled(collection, "deleteButton"), deleteEnabled);
    QCOMPARE(int(collection->effectsWithSearchOption(EffectSearchInstalled).size()), installedBefore);
    QCOMPARE(int(collection->effectsWithSearchOption(EffectSearchNotInstalled).size()), 3 - installedBefore);
    QCOMPARE(int(collection->effectsWithSearchOption(EffectSearchAll).size()), 3);
}

void tst_TemplateArchiveCollection::countsFollowTheDestinationAtTheNextAdjustment()
{
    const QStringList names = templateNames(QStringLiteral("LT"), QStringLiteral("Third"), 2);
    const QString pack = archive(QStringLiteral("LT_Pack.mtzip"), names);
    TemplateArchiveCollection *collection = openArchives(urlsOf({pack}), true).value(0);
    QVERIFY(collection);
    QCOMPARE(statusLine(collection), QStringLiteral("2 effects,  0 installed"));

    QVERIFY(installByHand(QStringLiteral("Titles.localized"), QStringLiteral("Lower Thirds"), names.at(1)));
    collection->adjustInstallButtonState();
    QCOMPARE(statusLine(collection), QStringLiteral("2 effects,  1 installed"));
    QVERIFY(buttonEnabled(collection, "deleteButton"));

    QVERIFY(installByHand(QStringLiteral("Titles.localized"), QStringLiteral("Lower Thirds"), names.at(0)));
    collection->adjustInstallButtonState();
    QCOMPARE(statusLine(collection), QStringLiteral("2 effects,  2 installed"));
    QVERIFY(!buttonEnabled(collection, "installButton"));

    // A plain file where a template folder goes is no installed template.
    QVERIFY(QDir(installedPath(QStringLiteral("Titles.localized"), QStringLiteral("Lower Thirds"), names.at(0)))
                .removeRecursively());
    QFile stray(installedPath(QStringLiteral("Titles.localized"), QStringLiteral("Lower Thirds"), names.at(0)));
    QVERIFY(stray.open(QIODevice::WriteOnly));
    stray.close();
    collection->adjustInstallButtonState();
    QCOMPARE(statusLine(collection), QStringLiteral("2 effects,  1 installed"));
    QVERIFY(buttonEnabled(collection, "installButton"));
}

void tst_TemplateArchiveCollection::unknownSearchOptionSelectsNothing()
{
    const QString pack = archive(QStringLiteral("LT_Pack.mtzip"), templateNames(QStringLiteral("LT"), QStringLiteral("A"), 2));
    TemplateArchiveCollection *collection = openArchives(urlsOf({pack}), true).value(0);
    QVERIFY(collection);
    QCOMPARE(collection->effectsWithSearchOption(EffectSearchAll).size(), size_t(2));
    for (quint64 option : {quint64(3), quint64(4), quint64(0xffffffffffffffffULL)})
        QVERIFY2(collection->effectsWithSearchOption(option).empty(), qPrintable(QString::number(option)));
}

void tst_TemplateArchiveCollection::closingTheWindowDestroysTheCollection()
{
    const QString one = archive(QStringLiteral("LT_Pack_One.mtzip"), templateNames(QStringLiteral("LT"), QStringLiteral("A"), 2));
    const QString two = archive(QStringLiteral("OP_Pack_Two.mtzip"), templateNames(QStringLiteral("OP"), QStringLiteral("B"), 1));
    QList<TemplateArchiveCollection *> opened = openArchives(urlsOf({one, two}), true);
    QCOMPARE(opened.size(), 1);
    QPointer<TemplateArchiveCollection> collection = opened.first();
    const QStringList folders = unpackFolders(collection);
    QCOMPARE(folders.size(), 2);
    for (const QString &folder : folders)
        QVERIFY2(QDir(folder).exists(), qPrintable(folder));

    QPointer<QWidget> window = collection->window();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QVERIFY(window->close());
    QVERIFY(collection.isNull());
    QVERIFY(registry().collections().isEmpty());
    QVERIFY(window.isNull() || !window->isVisible());
    QTRY_VERIFY(window.isNull());
    for (const QString &folder : folders)
        QTRY_VERIFY2(!QFileInfo::exists(folder), qPrintable(folder));
    // Not flagged for deletion: the archives stay.
    QVERIFY(QFileInfo::exists(one));
    QVERIFY(QFileInfo::exists(two));
}

void tst_TemplateArchiveCollection::damagedArchiveIsToldWhenTheWindowShows()
{
    const QString good = archive(QStringLiteral("LT_Good.mtzip"), templateNames(QStringLiteral("LT"), QStringLiteral("A"), 2));
    const QString broken = makeDamagedArchive(_archives->path(), QStringLiteral("OP_Broken.mtzip"));
    const QString other = archive(QStringLiteral("KT_Other.mtzip"), templateNames(QStringLiteral("KT"), QStringLiteral("B"), 1));
    TemplateArchiveCollection *collection =
        openArchives(urlsOf({good, broken, other}), true).value(0);
    QVERIFY(collection);
    QCOMPARE(collection->templateInstallers().size(), size_t(3));
    QCOMPARE(collection->tableModel()->rowCount(), 3);
    QCOMPARE(statusLine(collection), QStringLiteral("3 effects,  0 installed"));
    QVERIFY(buttonEnabled(collection, "installButton"));
    QVERIFY(visibleAlerts().isEmpty()); // not before the window is on screen

    collection->window()->show();
    QTRY_COMPARE(visibleAlerts().size(), 1);
    QMessageBox *sheet = visibleAlerts().first();
    QCOMPARE(sheet->parentWidget(), collection->window());
    QCOMPARE(sheet->windowModality(), Qt::WindowModal);
    QVERIFY2(sheet->informativeText().contains(QLatin1String("OP_Broken.mtzip")), qPrintable(sheet->informativeText()));
    QVERIFY(!sheet->informativeText().contains(QLatin1String("LT_Good")));
    QVERIFY(!sheet->informativeText().contains(QLatin1String("KT_Other")));
    QCOMPARE(buttonTexts(sheet), QStringList{QStringLiteral("OK")});
    QVERIFY(press(sheet, QStringLiteral("OK")));
    QTRY_VERIFY(visibleAlerts().isEmpty());

    // Told once, not at every showing.
    collection->window()->hide();
    collection->window()->show();
    settle();
    QVERIFY(visibleAlerts().isEmpty());
}

void tst_TemplateArchiveCollection::nothingToListIsToldWithoutAnEmptyWindow_data()
{
    QTest::addColumn<bool>("damaged");
    QTest::addColumn<QString>("told");
    QTest::newRow("a zip without template files") << false << QStringLiteral("holds no templates");
    QTest::newRow("a damaged archive") << true << QStringLiteral("could not be unpacked");
}

void tst_TemplateArchiveCollection::nothingToListIsToldWithoutAnEmptyWindow()
{
    QFETCH(bool, damaged);
    QFETCH(QString, told);
    // Folders with text files only: a zip, but no template in it.
    const QString path = damaged ? makeDamagedArchive(_archives->path(), QStringLiteral("LT_Nothing.mtzip"))
                                 : makeArchive(_archives->path(), QStringLiteral("LT_Nothing.mtzip"),
                                               templateNames(QStringLiteral("LT"), QStringLiteral("Notes"), 2),
                                               QStringLiteral("txt"));
    QVERIFY(!path.isEmpty());
    QPointer<TemplateArchiveCollection> collection = openArchives(urlsOf({path}), true).value(0);
    QVERIFY(collection);
    collection->showWhenOpened();
    QTRY_COMPARE(visibleAlerts().size(), 1);
    QMessageBox *alert = visibleAlerts().first();
    QVERIFY2(alert->informativeText().contains(QLatin1String("LT_Nothing.mtzip"))
                 && alert->informativeText().contains(told),
             qPrintable(alert->informativeText()));
    QVERIFY2(!collection->window()->isVisible(), "an empty window behind the message");
    QCOMPARE(buttonTexts(alert), QStringList{QStringLiteral("OK")});
    QVERIFY(press(alert, QStringLiteral("OK")));
    QTRY_VERIFY(collection.isNull());
    QVERIFY(registry().collections().isEmpty());
    QVERIFY(QFileInfo::exists(path));
}

void tst_TemplateArchiveCollection::tabLeavesTheTable()
{
    const QString path = archive(QStringLiteral("LT_Pack.mtzip"), templateNames(QStringLiteral("LT"), QStringLiteral("A"), 3));
    TemplateArchiveCollection *collection = openArchives(urlsOf({path}), true).value(0);
    QVERIFY(collection);
    collection->showWhenOpened();
    QVERIFY(QTest::qWaitForWindowActive(collection->window()));
    auto *table = collection->window()->findChild<QTableView *>(QStringLiteral("effectsTable"));
    QVERIFY(table);
    table->setFocus(Qt::TabFocusReason);
    QTRY_COMPARE(QApplication::focusWidget(), table);
    QTest::keyClick(table, Qt::Key_Tab);
    QVERIFY2(QApplication::focusWidget() != table, "Tab moved within the table");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    QCOMPARE(QApplication::focusWidget(), table);
}

void tst_TemplateArchiveCollection::secondLineCountsTheSearchAndTheSelection()
{
    const QString one = archive(QStringLiteral("LT_Pack_One.mtzip"), templateNames(QStringLiteral("LT"), QStringLiteral("Third"), 2));
    const QString two = archive(QStringLiteral("KT_Pack_Two.mtzip"), templateNames(QStringLiteral("KT"), QStringLiteral("Word"), 3));
    TemplateArchiveCollection *collection = openArchives(urlsOf({one, two}), true).value(0);
    QVERIFY(collection);
    const auto *line = collection->window()->findChild<QLabel *>(QStringLiteral("filterStr"));
    auto *search = collection->window()->findChild<QLineEdit *>(QStringLiteral("searchField"));
    auto *table = collection->window()->findChild<QTableView *>(QStringLiteral("effectsTable"));
    QVERIFY(line && search && table);
    QCOMPARE(line->text(), QString());

    search->setText(QStringLiteral("Word"));
    QCOMPARE(line->text(), QStringLiteral("3 shown"));
    table->selectRow(0);
    QCOMPARE(line->text(), QStringLiteral("3 shown, 1 selected"));
    table->selectAll();
    QCOMPARE(line->text(), QStringLiteral("3 shown, 3 selected"));
    search->setText(QStringLiteral("nothing like it"));
    QCOMPARE(line->text(), QStringLiteral("0 shown"));
    search->clear();
    table->selectRow(4);
    QCOMPARE(line->text(), QStringLiteral("1 selected"));
    // The count line above the search's keeps its words.
    QCOMPARE(statusLine(collection), QStringLiteral("5 effects,  0 installed"));
}

void tst_TemplateArchiveCollection::openDialogOpensTheChosenArchives()
{
    const QString one = archive(QStringLiteral("LT_Pack_One.mtzip"), templateNames(QStringLiteral("LT"), QStringLiteral("A"), 1));
    const QString two = archive(QStringLiteral("OP_Pack_Two.mtzip"), templateNames(QStringLiteral("OP"), QStringLiteral("B"), 2));
    FileDialogAnswerer dialog({one, two});
    const QList<TemplateArchiveCollection *> opened = TemplateArchiveCollection::openNewTemplateArchives();
    QVERIFY(dialog.done);
    for (TemplateArchiveCollection *collection : opened)
        QTRY_VERIFY(!collection->isOpening());
    QCOMPARE(dialog.fileMode, int(QFileDialog::ExistingFiles));
    QVERIFY2(dialog.nameFilters.join(QLatin1Char(' ')).contains(QLatin1String("*.mtzip")),
             qPrintable(dialog.nameFilters.join(QLatin1Char(' '))));
    QCOMPARE(dialog.acceptLabel, QStringLiteral("Open"));
    QCOMPARE(opened.size(), 1);
    QList<QUrl> urls = opened.first()->archiveURLs();
    std::sort(urls.begin(), urls.end());
    QList<QUrl> expected = urlsOf({one, two});
    std::sort(expected.begin(), expected.end());
    QCOMPARE(urls, expected);
    QCOMPARE(opened.first()->window()->windowTitle(), Multiple);
    QCOMPARE(opened.first()->tableModel()->rowCount(), 3);
}

void tst_TemplateArchiveCollection::openDialogStartsInTheFolderLastUsed()
{
    const QString one = archive(QStringLiteral("LT_Pack_One.mtzip"), templateNames(QStringLiteral("LT"), QStringLiteral("A"), 1));
    {
        FileDialogAnswerer dialog({one});
        QCOMPARE(TemplateArchiveCollection::openNewTemplateArchives().size(), 1);
        QVERIFY(dialog.done);
        QVERIFY(dialog.dark);
    }
    FileDialogAnswerer again;
    QVERIFY(TemplateArchiveCollection::openNewTemplateArchives().isEmpty());
    QVERIFY(again.done);
    QCOMPARE(again.directory, QFileInfo(one).absolutePath());
}

void tst_TemplateArchiveCollection::openDialogRaisesArchivesAlreadyOpen()
{
    const QString one = archive(QStringLiteral("LT_Pack_One.mtzip"), templateNames(QStringLiteral("LT"), QStringLiteral("A"), 1));
    const QString two = archive(QStringLiteral("OP_Pack_Two.mtzip"), templateNames(QStringLiteral("OP"), QStringLiteral("B"), 1));
    TemplateArchiveCollection *first = openArchives(urlsOf({one}), true).value(0);
    TemplateArchiveCollection *second = openArchives(urlsOf({two}), true).value(0);
    QVERIFY(first && second);
    first->window()->show();
    second->window()->show();
    second->window()->activateWindow();
    QTRY_COMPARE(QApplication::activeWindow(), second->window());

    AlertWatcher alerts;
    alerts.answer(AlreadyOpen, QStringLiteral("Ok"));
    FileDialogAnswerer dialog({one});
    QVERIFY(TemplateArchiveCollection::openNewTemplateArchives().isEmpty());
    QVERIFY(dialog.done);
    QTRY_COMPARE(QApplication::activeWindow(), first->window());
    settle();
    QCOMPARE(alerts.titlesSeen(), QStringList{AlreadyOpen});
}

void tst_TemplateArchiveCollection::cancelledOpenDialogOpensNothing()
{
    AlertWatcher alerts;
    FileDialogAnswerer dialog;
    QVERIFY(TemplateArchiveCollection::openNewTemplateArchives().isEmpty());
    QVERIFY(dialog.done);
    QVERIFY(registry().collections().isEmpty());
    settle();
    QCOMPARE(alerts.titlesSeen(), QStringList());
}

void tst_TemplateArchiveCollection::registryCloseAllOnEmpty()
{
    QVERIFY(registry().collections().isEmpty());
    QVERIFY(registry().closeAllCollections());
    QVERIFY(registry().collections().isEmpty());
}

void tst_TemplateArchiveCollection::registryCloseAllClosesEveryCollection()
{
    const QString one = archive(QStringLiteral("LT_Pack_One.mtzip"), templateNames(QStringLiteral("LT"), QStringLiteral("A"), 1));
    const QString two = archive(QStringLiteral("OP_Pack_Two.mtzip"), templateNames(QStringLiteral("OP"), QStringLiteral("B"), 1));
    const QString three = archive(QStringLiteral("KT_Pack_Three.mtzip"), templateNames(QStringLiteral("KT"), QStringLiteral("C"), 1));
    const QList<TemplateArchiveCollection *> opened =
        openArchives(urlsOf({one, two, three}), false);
    QCOMPARE(opened.size(), 3);
    QCOMPARE(registry().collections(), opened); // registration order

    const QList<TemplateArchiveCollection *> snapshot = registry().collections();
    QStringList folders;
    QList<QPointer<TemplateArchiveCollection>> alive;
    for (TemplateArchiveCollection *collection : opened) {
        folders += unpackFolders(collection);
        alive.append(collection);
    }
    opened.at(1)->close();
    QCOMPARE(snapshot.size(), 3); // a snapshot, not the live list
    QCOMPARE(registry().collections(), QList<TemplateArchiveCollection *>({opened.at(0), opened.at(2)}));

    QVERIFY(registry().closeAllCollections());
    QVERIFY(registry().collections().isEmpty());
    for (const auto &collection : std::as_const(alive))
        QVERIFY(collection.isNull());
    for (const QString &folder : std::as_const(folders))
        QTRY_VERIFY2(!QFileInfo::exists(folder), qPrintable(folder));
}

void tst_TemplateArchiveCollection::registryRefusesAddingTwice()
{
    const QString one = archive(QStringLiteral("LT_Pack_One.mtzip"), templateNames(QStringLiteral("LT"), QStringLiteral("A"), 1));
    TemplateArchiveCollection *collection = openArchives(urlsOf({one}), true).value(0);
    QVERIFY(collection);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^'collection was already added' in .* line \\d+$")));
    QVERIFY(!registry().addCollection(collection));
    QCOMPARE(registry().collections(), QList<TemplateArchiveCollection *>{collection});
}

void tst_TemplateArchiveCollection::registryRefusesRemovingUnknown()
{
    const QString one = archive(QStringLiteral("LT_Pack_One.mtzip"), templateNames(QStringLiteral("LT"), QStringLiteral("A"), 1));
    const QString two = archive(QStringLiteral("OP_Pack_Two.mtzip"), templateNames(QStringLiteral("OP"), QStringLiteral("B"), 1));
    const QList<TemplateArchiveCollection *> opened =
        openArchives(urlsOf({one, two}), false);
    QCOMPARE(opened.size(), 2);

    registry().removeCollection(opened.at(0));
    QCOMPARE(registry().collections(), QList<TemplateArchiveCollection *>{opened.at(1)});
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^'collection was not contained' in .* line \\d+$")));
    registry().removeCollection(opened.at(0));
    QCOMPARE(registry().collections(), QList<TemplateArchiveCollection *>{opened.at(1)});

    // Back in, at the end, so that it leaves quietly when closed.
    QVERIFY(registry().addCollection(opened.at(0)));
    QCOMPARE(registry().collections(), QList<TemplateArchiveCollection *>({opened.at(1), opened.at(0)}));
}

void tst_TemplateArchiveCollection::registryRefusesNull()
{
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^'collection = nil' in .* line \\d+$")));
    QVERIFY(!registry().addCollection(nullptr));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^'collection = nil' in .* line \\d+$")));
    registry().removeCollection(nullptr);
    QVERIFY(registry().collections().isEmpty());
}

MTI_COLLECTION_TEST_MAIN(tst_TemplateArchiveCollection)
#include "tst_TemplateArchiveCollection.moc"
