// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "CollectionTestTools.h"
#include "FaultHooks.h"
#include "Collections/EffectsTableModel.h"
#include "Documents/DeferredCleanup.h"
#include "Interface/BackgroundWork.h"
#include "Collections/TemplateArchiveCollection.h"
#include "Collections/TemplateArchiveCollectionController.h"
#include "Installer/TemplateInstallerV2.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QElapsedTimer>
#include <QLabel>
#include <QLocale>
#include <QPalette>
#include <QPushButton>
#include <QRegularExpression>
#include <QProgressDialog>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTableView>
#include <QThread>
#include <QTimer>

using namespace CollectionTestTools;
using namespace TestSupport;

namespace {

const QString DeleteQuestion = QStringLiteral("Delete Template Archive?");
const QString Completed = QStringLiteral("Installation Completed");
const QString Failed = QStringLiteral("Installation Failed");
const QString Titles = QStringLiteral("Titles.localized");

TemplateArchiveCollectionController &registry()
{
    return TemplateArchiveCollectionController::sharedController();
}

QString statusLine(const TemplateArchiveCollection *collection)
{
    const auto *label = collection->window()->findChild<QLabel *>(QStringLiteral("infoStr"));
    return label ? label->text() : QStringLiteral("<no status line>");
}

QPushButton *button(const TemplateArchiveCollection *collection, const char *name)
{
    return collection->window()->findChild<QPushButton *>(QLatin1String(name));
}

QString completedText(int count, const QString &kinds = QStringLiteral("titles"))
{
    return QStringLiteral("%1 templates were installed and will be visible under categories starting with 'ZT' in "
                          "%2 in your FCP X browser.\nDo you want to install more templates?")
        .arg(count)
        .arg(kinds);
}

// Answers "Uninstall N templates from Final Cut Pro's library?" with Uninstall.
bool confirmUninstall(int count)
{
    const QString question = QStringLiteral("Uninstall %1 templates from Final Cut Pro's library?").arg(count);
    QMessageBox *box = awaitAlert(question);
    return box && press(box, QStringLiteral("Uninstall"));
}

// A sheet as every flow shows it: on the collection window, window-modal, dark.
QString sheetProblem(const QMessageBox *box, const TemplateArchiveCollection *collection)
{
    if (!box)
        return QStringLiteral("no such sheet is visible");
    if (box->parentWidget() != collection->window())
        return QStringLiteral("not a sheet on the collection window");
    if (box->windowModality() != Qt::WindowModal)
        return QStringLiteral("not window-modal");
    if (box->palette().color(QPalette::Window).lightness() >= 128)
        return QStringLiteral("not dark");
    if (box->iconPixmap().isNull())
        return QStringLiteral("no icon");
    return {};
}

#define MTI_VERIFY_SHEET(box, collection)                                  \
    do {                                                                   \
        const QString mtiProblem_ = sheetProblem((box), (collection));     \
        QVERIFY2(mtiProblem_.isEmpty(), qPrintable(mtiProblem_));          \
    } while (false)

} // namespace

class tst_TemplateArchiveCollectionFlows : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void installCountsOnlyNewlyInstalledTemplates();
    void answersAfterInstalling_data();
    void answersAfterInstalling();
    void closingTheWindowDuringTheQuestionEndsTheFlow();
    void errorFromSecondOfThreeInstallers();
    void uninstallCountsRemovedTemplates();
    void uninstallWithNothingOfOursInstalledLeavesOthersAlone();
    void uninstallCountsOnlyTemplatesThatWent();
    void deleteSparesArchivesThatInstalledNothing();
    void closingDuringAnInstallAsksFirst_data();
    void closingDuringAnInstallAsksFirst();
    void closingWhileItStillUnpacksCancelsTheOpening();
    void closeButtonDuringAnInstallAsksToStop();
    void yesKeepsAWindowWithTemplatesLeftToInstall();
    void installSelectedInstallsOnlyTheSelection();
    void uninstallSelectedRemovesOnlyTheSelection();
    void selectionControlsFollowTheSelection();
    void uninstallQuestionNamesTheCount_data();
    void uninstallQuestionNamesTheCount();
    void progressNamesTheTemplateAndTheMegabytes();
    void progressDialogKeepsItsSizeAndShortensLongNames();

private:
    // Selects the rows of these titles in the window's table.
    static void selectTitles(TemplateArchiveCollection *collection, const QStringList &titles);
    // Three archives: Lower Thirds (4), Kinetic Type (3), Openers (3) templates.
    void makeThreeArchives();
    TemplateArchiveCollection *openThree();

    std::unique_ptr<QTemporaryDir> _archives;
    QStringList _paths;
    QList<QStringList> _names;
    QStringList _categories{QStringLiteral("Lower Thirds"), QStringLiteral("Kinetic Type"), QStringLiteral("Openers")};
    int _terminations = 0;
};

void tst_TemplateArchiveCollectionFlows::initTestCase()
{
    QVERIFY(QStandardPaths::isTestModeEnabled());
    QVERIFY(QDir(moviesFolder()).exists());
    TemplateArchiveCollection::setTerminateHandler([this] { ++_terminations; });
}

void tst_TemplateArchiveCollectionFlows::init()
{
    QVERIFY(resetDestination());
    // Each case looks at the Trash as it leaves it.
    QVERIFY(QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Trash"))
                .removeRecursively());
    _archives = std::make_unique<QTemporaryDir>();
    QVERIFY(_archives->isValid());
    _terminations = 0;
    makeThreeArchives();
}

void tst_TemplateArchiveCollectionFlows::cleanup()
{
    FaultHooks::clear();
    registry().closeAllCollections();
    for (QMessageBox *box : visibleAlerts())
        box->done(0);
    QTRY_VERIFY(registry().collections().isEmpty());
    QVERIFY(resetDestination());
    _archives.reset();
}

void tst_TemplateArchiveCollectionFlows::makeThreeArchives()
{
    _paths.clear();
    _names = {templateNames(QStringLiteral("LT"), QStringLiteral("Third"), 4),
              templateNames(QStringLiteral("KT"), QStringLiteral("Word"), 3),
              templateNames(QStringLiteral("OP"), QStringLiteral("Open"), 3)};
    const QStringList archives{QStringLiteral("LT_Pack.mtzip"), QStringLiteral("KT_Pack.mtzip"), QStringLiteral("OP_Pack.mtzip")};
    for (int i = 0; i < 3; ++i) {
        _paths.append(makeArchive(_archives->path(), archives.at(i), _names.at(i)));
        QVERIFY(!_paths.last().isEmpty());
    }
}

TemplateArchiveCollection *tst_TemplateArchiveCollectionFlows::openThree()
{
    const QList<TemplateArchiveCollection *> opened = openArchives(urlsOf(_paths), true);
    if (opened.size() != 1)
        return nullptr;
    opened.first()->window()->show();
    return opened.first();
}

void tst_TemplateArchiveCollectionFlows::installCountsOnlyNewlyInstalledTemplates()
{
    // Four of the ten are there already.
    QVERIFY(installByHand(Titles, _categories.at(0), _names.at(0).at(0)));
    QVERIFY(installByHand(Titles, _categories.at(0), _names.at(0).at(3)));
    QVERIFY(installByHand(Titles, _categories.at(1), _names.at(1).at(1)));
    QVERIFY(installByHand(Titles, _categories.at(2), _names.at(2).at(2)));
    QPointer<TemplateArchiveCollection> collection = openThree();
    QVERIFY(collection);
    QCOMPARE(statusLine(collection), QStringLiteral("10 effects,  4 installed"));

    button(collection, "installButton")->click();
    // Copies made by hand are the user's: asked about first, nothing written yet.
    QMessageBox *replace = awaitAlert(QStringLiteral("Replace Templates?"));
    MTI_VERIFY_SHEET(replace, collection);
    QVERIFY2(replace->informativeText().startsWith(
                 QStringLiteral("4 templates installed by another archive or copied in by hand will be replaced:\n")),
             qPrintable(replace->informativeText()));
    QCOMPARE(buttonTexts(replace),
             QStringList({QStringLiteral("Cancel"), QStringLiteral("Keep My Versions"), QStringLiteral("Replace")}));
    QCOMPARE(statusLine(collection), QStringLiteral("10 effects,  4 installed"));
    QVERIFY(press(replace, QStringLiteral("Replace")));

    QMessageBox *question = awaitAlert(DeleteQuestion);
    MTI_VERIFY_SHEET(question, collection);
    // The archives it would delete are named below the question.
    QCOMPARE(question->informativeText(),
             QStringLiteral("The template archive file is no longer needed, do you want to delete or keep it?\n\n"
                            "LT_Pack.mtzip\nKT_Pack.mtzip\nOP_Pack.mtzip"));
    QCOMPARE(buttonTexts(question), QStringList({QStringLiteral("Delete"), QStringLiteral("Keep")}));
    QCOMPARE(question->defaultButton()->text(), QStringLiteral("Keep"));
    // Refreshed at once, while the question is still open.
    QCOMPARE(statusLine(collection), QStringLiteral("10 effects,  10 installed"));
    QVERIFY(!button(collection, "installButton")->isEnabled());
    QVERIFY(button(collection, "deleteButton")->isEnabled());
    for (int archive = 0; archive < 3; ++archive) {
        for (const QString &name : _names.at(archive)) {
            QVERIFY2(QFileInfo(installedPath(Titles, _categories.at(archive), name) + QLatin1Char('/') + name
                               + QStringLiteral(".moti")).isFile(),
                     qPrintable(name));
        }
    }

    QVERIFY(press(question, QStringLiteral("Keep")));
    QMessageBox *completed = awaitAlert(Completed);
    MTI_VERIFY_SHEET(completed, collection);
    QCOMPARE(completed->informativeText(), completedText(6));
    QCOMPARE(buttonTexts(completed), QStringList({QStringLiteral("Cancel"), QStringLiteral("Quit"), QStringLiteral("Yes")}));
    QCOMPARE(completed->defaultButton()->text(), QStringLiteral("Yes"));
    QCOMPARE(completed->escapeButton()->text(), QStringLiteral("Cancel"));
    QVERIFY(press(completed, QStringLiteral("Cancel")));
    settle();
    QVERIFY(collection);
    QVERIFY(visibleAlerts().isEmpty());
    QCOMPARE(_terminations, 0);
    for (const QString &path : std::as_const(_paths))
        QVERIFY(QFileInfo::exists(path));
}

void tst_TemplateArchiveCollectionFlows::answersAfterInstalling_data()
{
    QTest::addColumn<QString>("deleteAnswer");
    QTest::addColumn<QString>("completedAnswer");
    QTest::addColumn<bool>("closesCollection");
    QTest::addColumn<bool>("asksForMore");
    QTest::addColumn<bool>("terminates");
    QTest::addColumn<bool>("archivesLeftAtTheEnd");

    QTest::newRow("Keep then Cancel: the window stays and the archives stay")
        << QStringLiteral("Keep") << QStringLiteral("Cancel") << false << false << false << true;
    QTest::newRow("Delete then Cancel: the archives stay until the window closes")
        << QStringLiteral("Delete") << QStringLiteral("Cancel") << false << false << false << false;
    QTest::newRow("Keep then Yes: the window closes, the archives stay, the open dialog comes")
        << QStringLiteral("Keep") << QStringLiteral("Yes") << true << true << false << true;
    QTest::newRow("Delete then Yes: the window closes with its archives, the open dialog comes")
        << QStringLiteral("Delete") << QStringLiteral("Yes") << true << true << false << false;
    QTest::newRow("Keep then Quit: the application quits, the archives stay")
        << QStringLiteral("Keep") << QStringLiteral("Quit") << false << false << true << true;
    QTest::newRow("Delete then Quit: the archives go as the collections close on quitting")
        << QStringLiteral("Delete") << QStringLiteral("Quit") << false << false << true << false;
}

void tst_TemplateArchiveCollectionFlows::answersAfterInstalling()
{
    QFETCH(QString, deleteAnswer);
    QFETCH(QString, completedAnswer);
    QFETCH(bool, closesCollection);
    QFETCH(bool, asksForMore);
    QFETCH(bool, terminates);
    QFETCH(bool, archivesLeftAtTheEnd);

    QPointer<TemplateArchiveCollection> collection = openThree();
    QVERIFY(collection);
    QStringList unpackFolders;
    for (const auto &installer : collection->templateInstallers())
        unpackFolders.append(installer->effectsSourceFolder());
    button(collection, "installButton")->click();
    QVERIFY(press(awaitAlert(DeleteQuestion), deleteAnswer));
    QMessageBox *completed = awaitAlert(Completed);
    QVERIFY(completed);
    QCOMPARE(completed->informativeText(), completedText(10));

    FileDialogAnswerer dialog; // rejects the open dialog if it comes
    QVERIFY(press(completed, completedAnswer));
    // Yes and Quit act on a later turn of the event loop, never inside the answer.
    QVERIFY(collection);
    QCOMPARE(_terminations, 0);
    if (asksForMore)
        QTRY_VERIFY(dialog.done);
    else if (terminates)
        QTRY_COMPARE(_terminations, 1);
    settle();
    QCOMPARE(collection.isNull(), closesCollection);
    QCOMPARE(dialog.done, asksForMore);
    QCOMPARE(_terminations, terminates ? 1 : 0);
    QVERIFY(visibleAlerts().isEmpty());
    // Nothing is deleted before the collection closes; then on a worker.
    if (!collection)
        DeferredCleanup::waitForAll();
    for (const QString &path : std::as_const(_paths))
        QCOMPARE(QFileInfo::exists(path), collection ? true : archivesLeftAtTheEnd);

    if (collection) {
        QVERIFY(collection->window()->isVisible());
        if (terminates)
            QVERIFY(registry().closeAllCollections()); // what quitting does
        else
            QVERIFY(collection->window()->close());
    }
    QVERIFY(collection.isNull());
    QVERIFY(registry().collections().isEmpty());
    // The unpack folders and the archives go on a worker after the window.
    DeferredCleanup::waitForAll();
    for (const QString &path : std::as_const(_paths))
        QCOMPARE(QFileInfo::exists(path), archivesLeftAtTheEnd);
    for (const QString &folder : std::as_const(unpackFolders))
        QVERIFY2(!QFileInfo::exists(folder), qPrintable(folder));
    // The templates stay installed either way.
    QVERIFY(QFileInfo(installedPath(Titles, _categories.at(2), _names.at(2).at(0))).isDir());
}

void tst_TemplateArchiveCollectionFlows::closingTheWindowDuringTheQuestionEndsTheFlow()
{
    QPointer<TemplateArchiveCollection> collection = openThree();
    QVERIFY(collection);
    button(collection, "installButton")->click();
    QPointer<QMessageBox> question = awaitAlert(DeleteQuestion);
    QVERIFY(question);
    QVERIFY(collection->window()->close());
    QVERIFY(collection.isNull());
    QTRY_VERIFY(question.isNull());
    settle();
    QVERIFY(visibleAlerts().isEmpty()); // no completion message for a gone window
    for (const QString &path : std::as_const(_paths))
        QVERIFY2(QFileInfo::exists(path), qPrintable(path));
}

void tst_TemplateArchiveCollectionFlows::errorFromSecondOfThreeInstallers()
{
    // A plain file where the second archive's category folder must go.
    const QString blocker = destinationRoot() + QStringLiteral("/Titles.localized/ZT ") + _categories.at(1);
    QVERIFY(QDir().mkpath(QFileInfo(blocker).path()));
    {
        QFile file(blocker);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.write("in the way") > 0);
    }
    QPointer<TemplateArchiveCollection> collection = openThree();
    QVERIFY(collection);
    button(collection, "installButton")->click();
    QVERIFY(waitUntilIdle(collection));

    const QList<QMessageBox *> alerts = visibleAlerts();
    QCOMPARE(alerts.size(), 1);
    QMessageBox *failed = alerts.first();
    QCOMPARE(failed->text(), Failed);
    MTI_VERIFY_SHEET(failed, collection);
    QCOMPARE(buttonTexts(failed), QStringList{QStringLiteral("Ok")});

    // The second archive's own message, as its installer gives it.
    {
        std::unique_ptr<TemplateInstallerV2> second = TemplateInstallerV2::create(urlOf(_paths.at(1)), destinationRoot());
        QVERIFY(second);
        QVERIFY(second->unarchive());
        const std::optional<Error> error = second->installEffects();
        QVERIFY(error);
        QVERIFY(!error->localizedDescription().isEmpty());
        QCOMPARE(failed->informativeText(), error->localizedDescription());
    }

    for (const QString &name : _names.at(0))
        QVERIFY2(QFileInfo(installedPath(Titles, _categories.at(0), name)).isDir(), qPrintable(name));
    for (int archive = 1; archive < 3; ++archive) {
        for (const QString &name : _names.at(archive))
            QVERIFY2(!QFileInfo::exists(installedPath(Titles, _categories.at(archive), name)), qPrintable(name));
    }
    QVERIFY(QFileInfo(blocker).isFile()); // left as it was
    QCOMPARE(statusLine(collection), QStringLiteral("10 effects,  4 installed"));
    QVERIFY(button(collection, "installButton")->isEnabled());
    QVERIFY(button(collection, "deleteButton")->isEnabled());

    QVERIFY(press(failed, QStringLiteral("Ok")));
    settle();
    QVERIFY(visibleAlerts().isEmpty()); // no question about the archives
    QVERIFY(collection);
    QVERIFY(registry().closeAllCollections());
    for (const QString &path : std::as_const(_paths))
        QVERIFY2(QFileInfo::exists(path), qPrintable(path));
}

void tst_TemplateArchiveCollectionFlows::uninstallCountsRemovedTemplates()
{
    QVERIFY(installByHand(Titles, _categories.at(0), _names.at(0).at(1)));
    QVERIFY(installByHand(Titles, _categories.at(1), _names.at(1).at(0)));
    QVERIFY(installByHand(Titles, _categories.at(2), _names.at(2).at(2)));
    // Another template of a category we touch, not ours: it stays.
    QVERIFY(installByHand(Titles, _categories.at(0), QStringLiteral("LT_Someone_Elses")));
    QPointer<TemplateArchiveCollection> collection = openThree();
    QVERIFY(collection);
    QCOMPARE(statusLine(collection), QStringLiteral("10 effects,  3 installed"));

    button(collection, "deleteButton")->click();
    QVERIFY(confirmUninstall(3));
    QVERIFY(awaitAlert(QStringLiteral("Uninstall Completed")));
    const QList<QMessageBox *> alerts = visibleAlerts();
    QCOMPARE(alerts.size(), 1);
    QMessageBox *done = alerts.first();
    QCOMPARE(done->text(), QStringLiteral("Uninstall Completed"));
    MTI_VERIFY_SHEET(done, collection);
    QCOMPARE(done->informativeText(),
             QStringLiteral("3 effects were uninstalled successfully.\nThey were moved to the Trash."));
    QCOMPARE(buttonTexts(done), QStringList{QStringLiteral("Ok")});
    // Each template in the Trash under its own name, recorded at its own place.
    const QString trash = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
        + QStringLiteral("/Trash/");
    const int installedOf[3] = {1, 0, 2};
    for (int archive = 0; archive < 3; ++archive) {
        const QString name = _names.at(archive).at(installedOf[archive]);
        const QString trashed = trash + QStringLiteral("files/") + name;
        QVERIFY2(QFileInfo(trashed).isDir(), qPrintable(trashed));
        const QString place = installedPath(Titles, _categories.at(archive), name);
        QVERIFY(trashInfoRecords(trash + QStringLiteral("info/") + name + QStringLiteral(".trashinfo"), place));
    }

    QCOMPARE(statusLine(collection), QStringLiteral("10 effects,  0 installed"));
    QVERIFY(button(collection, "installButton")->isEnabled());
    QVERIFY(!button(collection, "deleteButton")->isEnabled());
    for (int archive = 0; archive < 3; ++archive) {
        for (const QString &name : _names.at(archive))
            QVERIFY2(!QFileInfo::exists(installedPath(Titles, _categories.at(archive), name)), qPrintable(name));
    }
    QVERIFY(QFileInfo(installedPath(Titles, _categories.at(0), QStringLiteral("LT_Someone_Elses"))).isDir());
    QVERIFY(press(done, QStringLiteral("Ok")));
    settle();
    QVERIFY(collection);
    QVERIFY(visibleAlerts().isEmpty());
}

void tst_TemplateArchiveCollectionFlows::uninstallWithNothingOfOursInstalledLeavesOthersAlone()
{
    QPointer<TemplateArchiveCollection> collection = openThree();
    QVERIFY(collection);
    QVERIFY(!button(collection, "deleteButton")->isEnabled());
    QVERIFY(installByHand(Titles, _categories.at(1), QStringLiteral("KT_Not_Ours")));
    collection->uninstallEffects(); // as a stale window would
    QMessageBox *done = awaitAlert(QStringLiteral("Uninstall Completed"));
    QVERIFY(done);
    QCOMPARE(done->informativeText(), QStringLiteral("0 effects were uninstalled successfully."));
    QVERIFY(QFileInfo(installedPath(Titles, _categories.at(1), QStringLiteral("KT_Not_Ours"))).isDir());
}

void tst_TemplateArchiveCollectionFlows::uninstallCountsOnlyTemplatesThatWent()
{
    for (const QString &name : _names.at(0))
        QVERIFY(installByHand(Titles, _categories.at(0), name));
    // One installed template cannot be moved away: its folder is immutable.
    const QString stuck = installedPath(Titles, _categories.at(0), _names.at(0).at(2));
    if (!setImmutable(stuck, true))
        QSKIP("This file system cannot make a folder immutable here.");
    struct Release
    {
        QString path;
        ~Release() { setImmutable(path, false); }
    } release{stuck};

    QPointer<TemplateArchiveCollection> collection = openThree();
    QVERIFY(collection);
    QCOMPARE(statusLine(collection), QStringLiteral("10 effects,  4 installed"));
    button(collection, "deleteButton")->click();
    QVERIFY(confirmUninstall(4));
    QMessageBox *done = awaitAlert(QStringLiteral("Uninstall Failed"));
    QVERIFY(done);
    QVERIFY2(done->informativeText().startsWith(QStringLiteral("3 effects were uninstalled successfully.\n"
                                                               "1 template could not be removed: ")),
             qPrintable(done->informativeText()));
    QCOMPARE(statusLine(collection), QStringLiteral("10 effects,  1 installed"));
    QVERIFY(button(collection, "deleteButton")->isEnabled());
    QVERIFY(QFileInfo(stuck + QLatin1Char('/') + _names.at(0).at(2) + QStringLiteral(".moti")).isFile());
}

void tst_TemplateArchiveCollectionFlows::deleteSparesArchivesThatInstalledNothing()
{
    // The third archive cannot be unpacked: it installs nothing.
    QVERIFY(QFile::remove(_paths.at(2)));
    writeFileOrFail(_paths.at(2), "PK but no zip");
    QPointer<TemplateArchiveCollection> collection = openThree();
    QVERIFY(collection);
    QTRY_VERIFY(visibleAlert(QStringLiteral("An Archive Could Not Be Opened")));
    QVERIFY(press(awaitAlert(QStringLiteral("An Archive Could Not Be Opened")), QStringLiteral("OK")));
    settle();

    button(collection, "installButton")->click();
    QMessageBox *question = awaitAlert(DeleteQuestion);
    QVERIFY(question);
    QVERIFY2(question->informativeText().endsWith(QStringLiteral("\n\nLT_Pack.mtzip\nKT_Pack.mtzip")),
             qPrintable(question->informativeText()));
    QVERIFY(press(question, QStringLiteral("Delete")));
    QVERIFY(press(awaitAlert(Completed), QStringLiteral("Cancel")));
    settle();
    collection->close();
    DeferredCleanup::waitForAll();

    // The two go to the Trash; the one that failed stays where it was.
    const QString trash = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
        + QStringLiteral("/Trash/files/");
    for (int archive = 0; archive < 2; ++archive) {
        QVERIFY(!QFileInfo::exists(_paths.at(archive)));
        QVERIFY(QFileInfo(trash + QFileInfo(_paths.at(archive)).fileName()).isFile());
        QVERIFY(QFile::remove(trash + QFileInfo(_paths.at(archive)).fileName()));
    }
    QCOMPARE(readFile(_paths.at(2)), QByteArray("PK but no zip"));

    // Alone, it leaves nothing to show: its window closes once the sheet is answered.
    QPointer<TemplateArchiveCollection> alone =
        openArchives(urlsOf({_paths.at(2)}), true).value(0);
    QVERIFY(alone);
    alone->window()->show();
    QTRY_VERIFY(visibleAlert(QStringLiteral("An Archive Could Not Be Opened")));
    QVERIFY(press(awaitAlert(QStringLiteral("An Archive Could Not Be Opened")), QStringLiteral("OK")));
    QTRY_VERIFY(alone.isNull());
    QVERIFY(registry().collections().isEmpty());
}


void tst_TemplateArchiveCollectionFlows::closingDuringAnInstallAsksFirst_data()
{
    QTest::addColumn<QString>("answer");
    QTest::newRow("Stop undoes the install, then closes") << QStringLiteral("Stop");
    QTest::newRow("Continue lets the install finish") << QStringLiteral("Continue");
}

void tst_TemplateArchiveCollectionFlows::closingDuringAnInstallAsksFirst()
{
    QFETCH(QString, answer);
    // Slow steps keep the install running when the close comes, however
    // busy or idle the machine.
    FaultHooks::delayEachStep(20);
    const QStringList names = templateNames(QStringLiteral("LT"), QStringLiteral("Long"), 60);
    const QString archive = makeArchive(_archives->path(), QStringLiteral("LT_Long_Pack.mtzip"), names);
    QVERIFY(!archive.isEmpty());
    const QList<TemplateArchiveCollection *> opened =
        openArchives(urlsOf({archive}), true);
    QCOMPARE(opened.size(), 1);
    QPointer<TemplateArchiveCollection> collection = opened.first();
    collection->window()->show();
    const QString root = TemplateInstaller::userDestMotionTemplatesFolder();
    const QStringList before = TestSupport::treeDigest(root);

    bool asked = false;
    bool answered = false;
    // While the install runs, on the event loop's first turn after the click.
    QTimer::singleShot(0, collection->window(), [&] {
        if (!collection || !collection->isBusy())
            return;
        collection->window()->close();
        QMessageBox *question = awaitAlert(QStringLiteral("Stop installing?"));
        asked = question != nullptr;
        answered = press(question, answer);
    });
    button(collection, "installButton")->click();
    QTRY_VERIFY(asked);
    QVERIFY(answered);

    if (answer == QLatin1String("Stop")) {
        QTRY_VERIFY_WITH_TIMEOUT(collection.isNull(), 30000);
        // Not one template of the archive is left, nor anything else changed.
        QCOMPARE(TestSupport::treeDigest(root), before);
        QVERIFY2(QFileInfo::exists(archive), "the archive stays");
    } else {
        QTRY_VERIFY_WITH_TIMEOUT(collection.isNull() || visibleAlert(QStringLiteral("Delete Template Archive?"))
                                     || visibleAlert(QStringLiteral("Installation Completed")),
                                 30000);
        for (const QString &name : names)
            QVERIFY2(QFileInfo(installedPath(Titles, _categories.at(0), name)).isDir(), qPrintable(name));
    }
}

void tst_TemplateArchiveCollectionFlows::closingWhileItStillUnpacksCancelsTheOpening()
{
    // Big enough that the unpack is still running when the close comes, as
    // when the application quits or is sent SIGTERM during an open.
    const QStringList names = templateNames(QStringLiteral("LT"), QStringLiteral("Opening"), 600);
    const QString archive = makeArchive(_archives->path(), QStringLiteral("LT_Opening_Pack.mtzip"), names);
    QVERIFY(!archive.isEmpty());
    bool closedWhileUnpacking = false;
    QTimer::singleShot(0, qApp, [&] {
        const QList<TemplateArchiveCollection *> open = registry().collections();
        if (open.size() != 1)
            return;
        closedWhileUnpacking = true;
        open.first()->window()->close();
    });
    const QList<TemplateArchiveCollection *> opened =
        openArchives(urlsOf({archive}), true);
    QVERIFY(closedWhileUnpacking);
    QVERIFY(opened.isEmpty());
    QVERIFY(registry().collections().isEmpty());
    DeferredCleanup::waitForAll();
    QVERIFY(QDir(QDir::tempPath())
                .entryList({QStringLiteral("LT_Opening_Pack-mti%1-*").arg(QCoreApplication::applicationPid())},
                           QDir::Dirs)
                .isEmpty());
    QVERIFY(QFileInfo::exists(archive));
}

void tst_TemplateArchiveCollectionFlows::closeButtonDuringAnInstallAsksToStop()
{
    // Slow steps keep the install running until its progress dialog is up.
    FaultHooks::delayEachStep(30);
    const QString archive = makeArchive(_archives->path(), QStringLiteral("LT_Forty_Pack.mtzip"),
                                        templateNames(QStringLiteral("LT"), QStringLiteral("Slow"), 40));
    QVERIFY(!archive.isEmpty());
    QPointer<TemplateArchiveCollection> collection = openArchives(urlsOf({archive}), true).value(0);
    QVERIFY(collection);
    collection->window()->show();
    QVERIFY(QTest::qWaitForWindowExposed(collection->window()));
    const QString root = TemplateInstaller::userDestMotionTemplatesFolder();
    const QStringList before = TestSupport::treeDigest(root);

    button(collection, "installButton")->click();
    QPointer<QProgressDialog> dialog;
    QTRY_VERIFY_WITH_TIMEOUT(
        (dialog = collection->window()->findChild<QProgressDialog *>(QStringLiteral("progressDialog"))) && dialog->isVisible(),
        15000);
    // The platform drops the close button's request on a window that a
    // modal dialog blocks; the install's own guards are the buttons.
    QCOMPARE(dialog->windowModality(), Qt::NonModal);
    // It names the templates by the titles the table shows, not by folder.
    static const QRegularExpression titleLine(QStringLiteral("\nSlow \\d+\n"));
    QTRY_VERIFY2(titleLine.match(dialog->labelText()).hasMatch(), qPrintable(dialog->labelText()));
    QVERIFY2(!dialog->labelText().contains(QLatin1String("LT_Slow_")), qPrintable(dialog->labelText()));
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
    QVERIFY(!button(collection, "installButton")->isEnabled());
    // The window goes on answering: the selection's count follows.
    collection->window()->findChild<QTableView *>(QStringLiteral("effectsTable"))->selectRow(2);
    QCOMPARE(collection->window()->findChild<QLabel *>(QStringLiteral("filterStr"))->text(),
             QStringLiteral("1 selected"));
    QVERIFY(!collection->window()->close());
    QVERIFY(press(awaitAlert(QStringLiteral("Stop installing?")), QStringLiteral("Stop")));
    QTRY_VERIFY_WITH_TIMEOUT(collection.isNull(), 30000);
    FaultHooks::clear();
    QCOMPARE(TestSupport::treeDigest(root), before);
}

void tst_TemplateArchiveCollectionFlows::yesKeepsAWindowWithTemplatesLeftToInstall()
{
    QPointer<TemplateArchiveCollection> collection = openThree();
    QVERIFY(collection);
    selectTitles(collection, {QStringLiteral("Third 2")});
    button(collection, "installSelectedButton")->click();
    QMessageBox *done = awaitAlert(Completed);
    QVERIFY(done);
    FileDialogAnswerer dialog; // rejects the open dialog
    QVERIFY(press(done, QStringLiteral("Yes")));
    QTRY_VERIFY(dialog.done);
    settle();
    QVERIFY2(collection, "closed with 9 templates still to install");
    QVERIFY(collection->window()->isVisible());
    QCOMPARE(statusLine(collection), QStringLiteral("10 effects,  1 installed"));
}

void tst_TemplateArchiveCollectionFlows::selectTitles(TemplateArchiveCollection *collection, const QStringList &titles)
{
    auto *table = collection->window()->findChild<QTableView *>(QStringLiteral("effectsTable"));
    table->clearSelection();
    const QAbstractItemModel *shown = table->model();
    for (int row = 0; row < shown->rowCount(); ++row) {
        if (titles.contains(shown->index(row, EffectsTableModel::TitleColumn).data().toString()))
            table->selectionModel()->select(shown->index(row, 0),
                                            QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
}

void tst_TemplateArchiveCollectionFlows::installSelectedInstallsOnlyTheSelection()
{
    QPointer<TemplateArchiveCollection> collection = openThree();
    QVERIFY(collection);
    selectTitles(collection, {QStringLiteral("Third 2"), QStringLiteral("Open 3")});
    QCOMPARE(collection->selectedEffects().size(), size_t(2));
    QPushButton *installSelected = button(collection, "installSelectedButton");
    QVERIFY(installSelected && installSelected->isEnabled());
    installSelected->click();
    // Only part of each archive: no question about deleting them.
    QVERIFY(!visibleAlert(DeleteQuestion));
    QMessageBox *done = awaitAlert(Completed);
    QVERIFY(done);
    MTI_VERIFY_SHEET(done, collection);
    QVERIFY2(done->informativeText().startsWith(QStringLiteral("2 templates were installed")),
             qPrintable(done->informativeText()));
    for (int archive = 0; archive < 3; ++archive) {
        for (const QString &name : _names.at(archive)) {
            const bool wanted = name == _names.at(0).at(1) || name == _names.at(2).at(2);
            QCOMPARE(QFileInfo(installedPath(Titles, _categories.at(archive), name)).isDir(), wanted);
        }
    }
    QCOMPARE(statusLine(collection), QStringLiteral("10 effects,  2 installed"));
    // The selection stays, and its marks show it installed.
    QCOMPARE(collection->selectedEffects().size(), size_t(2));
    QVERIFY(button(collection, "uninstallSelectedButton")->isEnabled());
    QVERIFY(press(done, QStringLiteral("Cancel")));

    // The context menu's entry does the same for what is selected now.
    selectTitles(collection, {QStringLiteral("Word 1")});
    auto *action = collection->window()->findChild<QAction *>(QStringLiteral("installSelectedAction"));
    QVERIFY(action && action->isEnabled());
    action->trigger();
    done = awaitAlert(Completed);
    QVERIFY(done);
    QVERIFY2(done->informativeText().startsWith(QStringLiteral("1 template was installed")),
             qPrintable(done->informativeText()));
    QCOMPARE(statusLine(collection), QStringLiteral("10 effects,  3 installed"));
}

void tst_TemplateArchiveCollectionFlows::uninstallSelectedRemovesOnlyTheSelection()
{
    for (const QString &name : _names.at(1))
        QVERIFY(installByHand(Titles, _categories.at(1), name));
    QPointer<TemplateArchiveCollection> collection = openThree();
    QVERIFY(collection);
    QCOMPARE(statusLine(collection), QStringLiteral("10 effects,  3 installed"));
    // One installed and one not installed template selected: one to remove.
    selectTitles(collection, {QStringLiteral("Word 2"), QStringLiteral("Third 1")});
    QPushButton *uninstallSelected = button(collection, "uninstallSelectedButton");
    QVERIFY(uninstallSelected->isEnabled());
    uninstallSelected->click();
    QMessageBox *question = awaitAlert(QStringLiteral("Uninstall 1 template from Final Cut Pro's library?"));
    QVERIFY(question);
    MTI_VERIFY_SHEET(question, collection);
    QVERIFY(press(question, QStringLiteral("Uninstall")));
    QMessageBox *done = awaitAlert(QStringLiteral("Uninstall Completed"));
    QVERIFY(done);
    QVERIFY2(done->informativeText().startsWith(QStringLiteral("1 effect was uninstalled successfully.")),
             qPrintable(done->informativeText()));
    QVERIFY(!QFileInfo::exists(installedPath(Titles, _categories.at(1), _names.at(1).at(1))));
    QVERIFY(QFileInfo(installedPath(Titles, _categories.at(1), _names.at(1).at(0))).isDir());
    QVERIFY(QFileInfo(installedPath(Titles, _categories.at(1), _names.at(1).at(2))).isDir());
    QCOMPARE(statusLine(collection), QStringLiteral("10 effects,  2 installed"));
    // Nothing installed is selected any more.
    QVERIFY(!uninstallSelected->isEnabled());
    QVERIFY(press(done, QStringLiteral("Ok")));

    // Cancel removes nothing.
    selectTitles(collection, {QStringLiteral("Word 1")});
    collection->window()->findChild<QAction *>(QStringLiteral("uninstallSelectedAction"))->trigger();
    question = awaitAlert(QStringLiteral("Uninstall 1 template from Final Cut Pro's library?"));
    QVERIFY(question);
    QVERIFY(press(question, QStringLiteral("Cancel")));
    settle();
    QVERIFY(QFileInfo(installedPath(Titles, _categories.at(1), _names.at(1).at(0))).isDir());
    QVERIFY(visibleAlerts().isEmpty());
}

void tst_TemplateArchiveCollectionFlows::selectionControlsFollowTheSelection()
{
    QVERIFY(installByHand(Titles, _categories.at(2), _names.at(2).at(0)));
    QPointer<TemplateArchiveCollection> collection = openThree();
    QVERIFY(collection);
    const auto enabled = [&collection] {
        QStringList on;
        for (const char *name : {"installSelectedButton", "uninstallSelectedButton"})
            if (button(collection, name)->isEnabled())
                on.append(QLatin1String(name));
        for (const char *name : {"installSelectedAction", "uninstallSelectedAction", "revealAction"})
            if (collection->window()->findChild<QAction *>(QLatin1String(name))->isEnabled())
                on.append(QLatin1String(name));
        return on.join(QLatin1Char(' '));
    };
    QCOMPARE(enabled(), QString());
    selectTitles(collection, {QStringLiteral("Third 1")});
    QCOMPARE(enabled(), QStringLiteral("installSelectedButton installSelectedAction"));
    selectTitles(collection, {QStringLiteral("Open 1")});
    QCOMPARE(enabled(), QStringLiteral("installSelectedButton uninstallSelectedButton installSelectedAction "
                                       "uninstallSelectedAction revealAction"));
    // Revealing is for one template at a time.
    selectTitles(collection, {QStringLiteral("Open 1"), QStringLiteral("Third 1")});
    QCOMPARE(enabled(), QStringLiteral("installSelectedButton uninstallSelectedButton installSelectedAction "
                                       "uninstallSelectedAction"));
}

void tst_TemplateArchiveCollectionFlows::uninstallQuestionNamesTheCount_data()
{
    QTest::addColumn<int>("installed");
    QTest::addColumn<QString>("question");
    QTest::newRow("one") << 1 << QStringLiteral("Uninstall 1 template from Final Cut Pro's library?");
    QTest::newRow("two") << 2 << QStringLiteral("Uninstall 2 templates from Final Cut Pro's library?");
    QTest::newRow("all four") << 4 << QStringLiteral("Uninstall 4 templates from Final Cut Pro's library?");
}

void tst_TemplateArchiveCollectionFlows::uninstallQuestionNamesTheCount()
{
    QFETCH(int, installed);
    QFETCH(QString, question);
    QPointer<TemplateArchiveCollection> collection = openThree();
    QVERIFY(collection);
    // Installed after the window opened: the question counts the folder as it is now.
    for (int i = 0; i < installed; ++i)
        QVERIFY(installByHand(Titles, _categories.at(0), _names.at(0).at(i)));
    collection->uninstallEffects();
    QMessageBox *box = awaitAlert(question);
    QVERIFY2(box, qPrintable(visibleAlerts().isEmpty() ? QStringLiteral("no alert") : visibleAlerts().first()->text()));
    MTI_VERIFY_SHEET(box, collection);
    QCOMPARE(buttonTexts(box), QStringList({QStringLiteral("Cancel"), QStringLiteral("Uninstall")}));
    QVERIFY(press(box, QStringLiteral("Cancel")));
    settle();
    QCOMPARE(int(collection->effectsWithSearchOption(EffectSearchInstalled).size()), installed);
}

void tst_TemplateArchiveCollectionFlows::progressNamesTheTemplateAndTheMegabytes()
{
    QWidget window;
    window.show();
    BackgroundWork work(&window, QStringLiteral("Installing “LT_Pack”…"));
    std::atomic<bool> seen{false};
    QString label;
    QTimer watcher;
    connect(&watcher, &QTimer::timeout, this, [&] {
        QProgressDialog *dialog = work.dialog();
        if (dialog && dialog->isVisible() && dialog->labelText().contains(QStringLiteral(" MB of "))) {
            label = dialog->labelText();
            seen = true;
        }
    });
    watcher.start(5);
    QElapsedTimer elapsed;
    elapsed.start();
    // The work goes on until the dialog has shown what it was told (or 10 s).
    QSignalSpy finished(&work, &BackgroundWork::finished);
    work.start([&](ProgressListener &listener) {
        work.setLabel(QStringLiteral("Installing “LT_Pack”…"));
        listener.setCurrentItem(QStringLiteral("LT_Simple_Third"));
        listener.progress(3 * 1024 * 1024 + 512 * 1024, 48 * 1024 * 1024);
        while (!seen && elapsed.elapsed() < 10000)
            QThread::yieldCurrentThread();
    });
    QVERIFY(finished.wait(20000));
    QVERIFY2(seen, "the progress dialog never showed");
    QCOMPARE(label, QStringLiteral("Installing “LT_Pack”…\nLT_Simple_Third\n%1 MB of %2 MB")
                        .arg(QLocale().toString(3.5, 'f', 1), QLocale().toString(48.0, 'f', 1)));
}

void tst_TemplateArchiveCollectionFlows::progressDialogKeepsItsSizeAndShortensLongNames()
{
    QWidget window;
    window.show();
    const QString archiveName = QStringLiteral("LT_") + QString(QStringLiteral("Very_Long_Archive_Name_")).repeated(12)
        + QStringLiteral("Final_v2.mtzip");
    BackgroundWork work(&window, QStringLiteral("Installing “%1”…").arg(archiveName));
    std::atomic<int> stage{0};
    QElapsedTimer elapsed;
    elapsed.start();
    QSignalSpy finished(&work, &BackgroundWork::finished);
    work.start([&](ProgressListener &listener) {
        listener.setCurrentItem(QStringLiteral("Short"));
        listener.progress(1, 10);
        for (int seen = 0; seen < 2; ++seen) {
            // Each step waits for the test to look (or 20 s).
            while (stage == seen * 2 && elapsed.elapsed() < 20000)
                QThread::yieldCurrentThread();
            // Told to go on: a longer text than the dialog has room for.
            if (seen == 0)
                listener.setCurrentItem(QStringLiteral("Title ") + QString(QLatin1Char('x')).repeated(400) + QStringLiteral(" End"));
            else
                listener.setStatus(QStringLiteral("Restoring the templates folder as it was…"));
            ++stage;
        }
        // Until the test has seen the last of it.
        while (stage == 4 && elapsed.elapsed() < 20000)
            QThread::yieldCurrentThread();
    });
    QTRY_VERIFY_WITH_TIMEOUT(work.dialog() && work.dialog()->isVisible(), 10000);
    QProgressDialog *dialog = work.dialog();
    QTRY_VERIFY(dialog->labelText().contains(QLatin1String("\nShort\n")));
    const QSize size = dialog->size();
    QLabel *label = dialog->findChild<QLabel *>();
    QVERIFY(label);
    const auto fits = [&] {
        const QStringList lines = dialog->labelText().split(QLatin1Char('\n'));
        return std::all_of(lines.begin(), lines.end(),
                           [&](const QString &line) { return label->fontMetrics().horizontalAdvance(line) <= label->width(); });
    };
    // The archive's name keeps its start and its end, and is whole in the tool tip.
    const QString first = dialog->labelText().section(QLatin1Char('\n'), 0, 0);
    QVERIFY2(first.startsWith(QStringLiteral("Installing “LT_Very_Long")) && first.endsWith(QStringLiteral("Final_v2.mtzip”…"))
                 && first.contains(QChar(0x2026)) && first.size() < archiveName.size(),
             qPrintable(first));
    QVERIFY2(fits(), qPrintable(dialog->labelText()));
    QVERIFY(dialog->toolTip().contains(archiveName));

    ++stage;
    QTRY_VERIFY(dialog->labelText().contains(QLatin1String(" End\n")));
    QVERIFY2(fits(), qPrintable(dialog->labelText()));
    QCOMPARE(dialog->size(), size);
    ++stage;
    // The template being undone is named under the status.
    QTRY_VERIFY(dialog->labelText().startsWith(QLatin1String("Restoring")));
    QVERIFY2(dialog->labelText().section(QLatin1Char('\n'), 1, 1).endsWith(QLatin1String(" End")), qPrintable(dialog->labelText()));
    QCOMPARE(dialog->size(), size);
    stage = 5;
    QVERIFY(finished.wait(20000));
}

MTI_COLLECTION_TEST_MAIN(tst_TemplateArchiveCollectionFlows)
#include "tst_TemplateArchiveCollectionFlows.moc"
