// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
// The Check Project window: its rows for a project written here against the
// test's own root and archives, Install Missing from start to end, the
// re-check when templates arrive from elsewhere, hostile projects, and the
// application routing projects to it rather than to the archive opener.
#include "App/AppDelegate.h"
#include "CollectionTestTools.h"
#include "Installer/InstalledArchives.h"
#include "Installer/Receipt.h"
#include "Installer/TemplateFolders.h"
#include "Projects/ProjectArchives.h"
#include "Projects/ProjectCheckModel.h"
#include "Projects/ProjectCheckWindow.h"
#include "Projects/TemplateCollector.h"
#include "TestSupport.h"

#include <QAbstractItemModelTester>
#include <QFileDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTreeView>
#include <QtTest>

#include <unistd.h>

using namespace CollectionTestTools;
using TestSupport::writeFileOrFail;
using RowState = ProjectCheckModel::RowState;

namespace {

struct Effect
{
    QByteArray name;
    QByteArray uid;
    QByteArray clip;  // the clip element using it: title, video, or a filter on a clip
};

// A project in Apple's published shape: the effects as resources, each used
// by one clip of one project.
QByteArray fcpxml(const QList<Effect> &effects)
{
    QByteArray resources;
    QByteArray spine;
    int id = 2;
    for (const Effect &effect : effects) {
        const QByteArray ref = "r" + QByteArray::number(id++);
        resources += "    <effect id=\"" + ref + "\" name=\"" + effect.name + "\" uid=\"" + effect.uid + "\"/>\n";
        if (effect.clip == "filter")
            spine += "        <gap name=\"Gap " + effect.name + "\" duration=\"5s\"><filter-video ref=\"" + ref
                + "\" name=\"" + effect.name + "\"/></gap>\n";
        else
            spine += "        <" + effect.clip + " name=\"Clip " + effect.name + "\" ref=\"" + ref + "\" duration=\"5s\"/>\n";
    }
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE fcpxml>\n<fcpxml version=\"1.11\">\n  <resources>\n"
        + resources + "  </resources>\n  <library>\n    <event name=\"Week 1\">\n      <project name=\"Episode 1\">\n"
        "        <sequence duration=\"60s\"><spine>\n" + spine
        + "        </spine></sequence>\n      </project>\n    </event>\n  </library>\n</fcpxml>\n";
}

QByteArray plainMotionDocument(const QByteArray &displayVersion, const QByteArray &extra = QByteArray())
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE ozxmlscene>\n<ozml version=\"5.11\">\n<displayversion>"
        + displayVersion + "</displayversion>\n" + extra
        + "<scene><sceneSettings><width>1920</width></sceneSettings></scene></ozml>\n";
}

int rowNamed(const ProjectCheckModel *model, const QString &name)
{
    for (int row = 0; row < model->rowCount(); ++row)
        if (model->index(row, ProjectCheckModel::TemplateColumn).data().toString() == name)
            return row;
    return -1;
}

// Waits until the window has shown its first check (or has gone).
bool waitForCheck(const QPointer<ProjectCheckWindow> &window, QSignalSpy &checked, int count = 1)
{
    return QTest::qWaitFor([&] { return !window || (checked.count() >= count && !window->isBusy()); }, 20000) && window;
}

} // namespace

class tst_ProjectCheckWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void rowStates_data();
    void rowStates();
    void archivesSearched();
    void installMissing();
    void installAsksBeforeReplacing();
    void installForAllUsersRunsMtzipElevated_data();
    void installForAllUsersRunsMtzipElevated();
    void updatesWhenInstalledElsewhere();
    void hostileProject_data();
    void hostileProject();
    void openRequestRoutesProjects();
    void collectTemplates();
    void chooseProject();

private:
    ProjectCheckWindow *openWindow(const QString &project);
    ProjectCheckWindow::Environment environment() const;

    std::unique_ptr<QTemporaryDir> _dir;
    QString _archives;  // the searched folder
};

void tst_ProjectCheckWindow::init()
{
    QVERIFY(resetDestination());
    _dir = std::make_unique<QTemporaryDir>();
    _archives = _dir->filePath(QStringLiteral("Archives"));
    QVERIFY(QDir().mkpath(_archives));
}

void tst_ProjectCheckWindow::cleanup()
{
    // Alerts may be children of the windows: each goes once, whichever first.
    QList<QPointer<QWidget>> left;
    for (QWidget *window : QApplication::topLevelWidgets())
        if (qobject_cast<ProjectCheckWindow *>(window) || qobject_cast<QMessageBox *>(window))
            left.append(window);
    for (const QPointer<QWidget> &window : std::as_const(left))
        delete window.data();
    settle();
    _dir.reset();
}

ProjectCheckWindow::Environment tst_ProjectCheckWindow::environment() const
{
    ProjectCheckWindow::Environment environment;
    environment.userRoot = destinationRoot();
    environment.searchFolders = {_archives};
    environment.finalCut = QVersionNumber(11, 0);
    return environment;
}

ProjectCheckWindow *tst_ProjectCheckWindow::openWindow(const QString &project)
{
    return ProjectCheckWindow::open(project, environment());
}

void tst_ProjectCheckWindow::rowStates_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<RowState>("state");
    QTest::addColumn<QString>("where");  // a part of the Where column
    QTest::addColumn<QString>("clips");

    QTest::newRow("installed from an archive") << "LT_Name" << RowState::Installed << "LT_Names" << "Episode 1: Clip LT_Name";
    QTest::newRow("copied in by hand, obsolete") << "TR_Old" << RowState::Hidden << "copied in by hand" << "";
    QTest::newRow("saved by a newer Motion") << "LT_New" << RowState::TooNew << "copied in by hand" << "";
    QTest::newRow("needing a plug-in") << "FX_Glow" << RowState::NeedsPlugIn << "copied in by hand" << "Episode 1: Gap FX_Glow";
    QTest::newRow("missing, in an archive searched") << "BG_Waves" << RowState::Missing << "BG_Backgrounds.mtzip" << "";
    QTest::newRow("missing, found nowhere, with its category") << "LT_Gone" << RowState::NotFound
                                                               << "LT_Gone, Title in “ZT Lower Thirds”" << "";
    QTest::newRow("Final Cut Pro's own") << "Basic Title" << RowState::FinalCut << "" << "Episode 1: Clip Basic Title";
    QTest::newRow("leading out of the templates folder") << "Sneaky" << RowState::Refused << "" << "1 clip";
}

void tst_ProjectCheckWindow::rowStates()
{
    QFETCH(QString, name);
    QFETCH(RowState, state);
    QFETCH(QString, where);
    QFETCH(QString, clips);

    const QString root = destinationRoot();
    writeFileOrFail(root + QStringLiteral("/Titles.localized/ZT Lower Thirds/LT_Name/LT_Name.moti"), plainMotionDocument("5.4"));
    Receipt receipt;
    receipt.archiveFileName = QStringLiteral("LT_Names.mtzip");
    receipt.archiveTitle = QStringLiteral("LT_Names");
    receipt.templates.push_back({3, QStringLiteral("Lower Thirds"), QStringLiteral("Name"),
                                 QStringLiteral("Titles.localized/ZT Lower Thirds/LT_Name"), {}, std::nullopt});
    writeFileOrFail(Receipt::pathFor(root, receipt.archiveTitle), receipt.toJson());
    writeFileOrFail(root + QStringLiteral("/Transitions.localized/ZT Swipes/TR_Old/TR_Old.motr"),
                    plainMotionDocument("5.4", "<template><flags>2</flags></template>"));
    writeFileOrFail(root + QStringLiteral("/Titles.localized/ZT Lower Thirds/LT_New/LT_New.moti"), plainMotionDocument("5.11"));
    writeFileOrFail(root + QStringLiteral("/Effects.localized/ZT Glows/FX_Glow/FX_Glow.moef"),
                    plainMotionDocument("5.4", "<filter pluginName=\"Glower\" pluginUUID=\"G-1\"/>"));
    QVERIFY(!makeArchive(_archives, QStringLiteral("BG_Backgrounds.mtzip"), {QStringLiteral("BG_Waves")},
                         QStringLiteral("motn")).isEmpty());
    const QString project = _dir->filePath(QStringLiteral("Show.fcpxml"));
    writeFileOrFail(project, fcpxml({
        {"LT_Name", "~/Titles.localized/ZT Lower Thirds/LT_Name/LT_Name.moti", "title"},
        {"TR_Old", "~/Transitions.localized/ZT Swipes/TR_Old/TR_Old.motr", "title"},
        {"LT_New", "~/Titles.localized/ZT Lower Thirds/LT_New/LT_New.moti", "title"},
        {"FX_Glow", "~/Effects.localized/ZT Glows/FX_Glow/FX_Glow.moef", "filter"},
        {"BG_Waves", "~/Generators.localized/ZT Backgrounds/BG_Waves/BG_Waves.motn", "video"},
        {"LT_Gone", "~/Titles.localized/ZT Lower Thirds/LT_Gone/LT_Gone.moti", "title"},
        {"Basic Title", ".../Titles.localized/Bumper:Opener.localized/Basic Title.localized/Basic Title.moti", "title"},
        {"Sneaky", "~/Titles.localized/../../../../etc/passwd.moti", "title"},
    }));

    QPointer<ProjectCheckWindow> window = openWindow(project);
    QSignalSpy checked(window.data(), &ProjectCheckWindow::checked);
    QVERIFY(waitForCheck(window, checked));
    QAbstractItemModelTester tester(window->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    QVERIFY(window->isVisible());
    ProjectCheckModel *model = window->model();
    QCOMPARE(model->rowCount(), 8);

    const int row = rowNamed(model, name);
    QVERIFY2(row >= 0, qPrintable(name));
    QCOMPARE(model->state(row), state);
    QCOMPARE(model->index(row, 0).data(ProjectCheckModel::StateRole).toInt(), int(state));
    QCOMPARE(model->index(row, ProjectCheckModel::StateColumn).data().toString(), ProjectCheckModel::stateText(state));
    const QString whereText = model->index(row, ProjectCheckModel::WhereColumn).data().toString();
    QVERIFY2(whereText.contains(where), qPrintable(whereText));
    if (!clips.isEmpty())
        QCOMPARE(model->index(row, ProjectCheckModel::ClipsColumn).data().toString(), clips);
    // What needs doing comes first.
    QCOMPARE(model->state(0), RowState::Missing);
    QCOMPARE(model->state(1), RowState::NotFound);
    QVERIFY2(window->summaryText().contains(QStringLiteral("6 templates")), qPrintable(window->summaryText()));

    // Reveal and Open Archive follow the selection: a missing one's archive.
    window->view()->selectionModel()->select(model->index(rowNamed(model, QStringLiteral("BG_Waves")), 0),
                                              QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    QVERIFY(window->openArchiveButton()->isEnabled());
    QSignalSpy opened(window.data(), &ProjectCheckWindow::openArchivesRequested);
    window->openArchiveButton()->click();
    QCOMPARE(opened.count(), 1);
    QCOMPARE(opened.first().first().value<QList<QUrl>>(),
             QList<QUrl>{QUrl::fromLocalFile(_archives + QStringLiteral("/BG_Backgrounds.mtzip"))});
    window->view()->selectionModel()->select(model->index(rowNamed(model, QStringLiteral("LT_Gone")), 0),
                                              QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    QVERIFY(!window->openArchiveButton()->isEnabled());
    QVERIFY(!window->revealButton()->isEnabled());
}

void tst_ProjectCheckWindow::archivesSearched()
{
    // Open ones first, then what receipts remember (only while it is the
    // same file, and only for a template wanted), then the folders; each
    // file once, also through a link.
    const QString open = makeArchive(_dir->path(), QStringLiteral("LT_Open.mtzip"), {QStringLiteral("LT_A")});
    const QString remembered = makeArchive(_dir->path(), QStringLiteral("LT_Kept.mtzip"), {QStringLiteral("LT_B")});
    const QString changed = makeArchive(_dir->path(), QStringLiteral("LT_Changed.mtzip"), {QStringLiteral("LT_C")});
    const QString downloaded = makeArchive(_archives, QStringLiteral("LT_Downloaded.mtzip"), {QStringLiteral("LT_D")});
    QVERIFY(!open.isEmpty() && !remembered.isEmpty() && !changed.isEmpty() && !downloaded.isEmpty());
    writeFileOrFail(_archives + QStringLiteral("/notes.txt"), "no archive");
    const QString link = _dir->filePath(QStringLiteral("link.mtzip"));
    QVERIFY(QFile::link(downloaded, link));
    const QString root = destinationRoot();
    QVERIFY(QDir().mkpath(root));
    const QString wanted = QStringLiteral("Titles.localized/ZT Lower Thirds/LT_B");
    for (const QString &archive : {remembered, changed}) {
        Receipt receipt;
        receipt.archiveTitle = QFileInfo(archive).completeBaseName();
        receipt.archiveFileName = QFileInfo(archive).fileName();
        receipt.archivePath = archive;
        receipt.archiveSha256 = InstalledArchives::sha256OfFile(archive);
        receipt.archiveSize = QFileInfo(archive).size();
        receipt.templates.push_back({3, QStringLiteral("Lower Thirds"), QStringLiteral("B"), wanted, {}, std::nullopt});
        writeFileOrFail(Receipt::pathFor(root, receipt.archiveTitle), receipt.toJson());
    }
    // Another file now stands where the receipt's archive was.
    writeFileOrFail(changed, "something else, of another size");

    ProjectArchives::Places places;
    places.openArchives = {open, link};
    places.roots = {root};
    places.folders = {_archives, _dir->filePath(QStringLiteral("not-there"))};
    QCOMPARE(ProjectArchives::gather(places, {wanted}), QStringList({open, link, remembered}));
    places.openArchives.clear();
    QCOMPARE(ProjectArchives::gather(places, {wanted}), QStringList({remembered, downloaded}));
    QCOMPARE(ProjectArchives::gather(places, {QStringLiteral("Titles.localized/ZT Lower Thirds/LT_X")}),
             QStringList{downloaded});
}

void tst_ProjectCheckWindow::installMissing()
{
    // Two archives, so two transactions; one of them provides two templates
    // and a third the project does not use.
    QVERIFY(!makeArchive(_archives, QStringLiteral("BG_Backgrounds.mtzip"),
                         {QStringLiteral("BG_Waves"), QStringLiteral("BG_Dots"), QStringLiteral("BG_Unused")},
                         QStringLiteral("motn")).isEmpty());
    QVERIFY(!makeArchive(_archives, QStringLiteral("LT_Names.mtzip"), {QStringLiteral("LT_Name")}).isEmpty());
    const QString project = _dir->filePath(QStringLiteral("Show.fcpxmld"));
    writeFileOrFail(project + QStringLiteral("/Info.fcpxml"), fcpxml({
        {"BG_Waves", "~/Generators.localized/ZT Backgrounds/BG_Waves/BG_Waves.motn", "video"},
        {"BG_Dots", "~/Generators.localized/ZT Backgrounds/BG_Dots/BG_Dots.motn", "video"},
        {"LT_Name", "~/Titles.localized/ZT Lower Thirds/LT_Name/LT_Name.moti", "title"},
    }));

    QPointer<ProjectCheckWindow> window = openWindow(project);
    QSignalSpy checked(window.data(), &ProjectCheckWindow::checked);
    QVERIFY(waitForCheck(window, checked));
    QCOMPARE(window->model()->count(RowState::Missing), 3);
    QVERIFY(window->installButton()->isEnabled());

    AlertWatcher alerts;
    alerts.answer(QStringLiteral("Missing Templates Installed"), QStringLiteral("OK"));
    QSignalSpy installed(window.data(), &ProjectCheckWindow::installFinished);
    window->installButton()->click();
    QVERIFY(installed.wait(30000));
    QVERIFY(QTest::qWaitFor([&] { return alerts.answered(QStringLiteral("Missing Templates Installed")); }, 10000));
    QCOMPARE(alerts.seen.last().informativeText, QStringLiteral("3 templates were installed."));
    QVERIFY(waitForCheck(window, checked, checked.count() + 1));

    ProjectCheckModel *model = window->model();
    QCOMPARE(model->count(RowState::Missing) + model->count(RowState::NotFound), 0);
    QCOMPARE(model->count(RowState::Installed), 3);
    QVERIFY(model->index(rowNamed(model, QStringLiteral("BG_Dots")), ProjectCheckModel::WhereColumn)
                .data().toString().contains(QStringLiteral("BG_Backgrounds")));
    QVERIFY(!window->installButton()->isEnabled());
    QVERIFY(QFileInfo::exists(installedPath(QStringLiteral("Generators.localized"), QStringLiteral("Backgrounds"),
                                            QStringLiteral("BG_Waves")) + QStringLiteral("/BG_Waves.motn")));
    QVERIFY2(!QFileInfo::exists(installedPath(QStringLiteral("Generators.localized"), QStringLiteral("Backgrounds"),
                                              QStringLiteral("BG_Unused"))),
             "only the templates the project uses are installed");
    // One receipt per archive: one transaction each.
    QCOMPARE(Receipt::readAll(destinationRoot()).size(), size_t(2));
}

void tst_ProjectCheckWindow::installForAllUsersRunsMtzipElevated_data()
{
    QTest::addColumn<QString>("mode");     // what the fake pkexec does
    QTest::addColumn<bool>("alsoForMe");   // the project also misses one of this user's
    QTest::addColumn<QString>("summary");  // the closing sheet's text; empty: none
    QTest::newRow("administrator says yes") << QStringLiteral("run") << true << QStringLiteral("2 templates were installed.");
    QTest::newRow("prompt dismissed, this user's part still installs")
        << QStringLiteral("126") << true
        << QStringLiteral("1 template was installed.\n\nThe templates for all users were not installed: the "
                          "administrator's password was not given.");
    QTest::newRow("prompt dismissed, nothing else to do") << QStringLiteral("126") << false << QString();
}

// The folder of all users, which this process may not write: that part of
// the install goes through mtzip behind a fake pkexec that records its
// arguments and runs them as this user; the rest installs as always.
void tst_ProjectCheckWindow::installForAllUsersRunsMtzipElevated()
{
    QFETCH(QString, mode);
    QFETCH(bool, alsoForMe);
    QFETCH(QString, summary);
    const QString data = _dir->filePath(QStringLiteral("usr/share"));
    AllUsersFolder folder(data);
    const QString allUsers = TemplateFolders::forAllUsers();
    QVERIFY(allUsers.startsWith(data));
    QVERIFY(QDir().mkpath(allUsers));
    folder.setUnwritable(allUsers);
    const FakePkexec pkexec(_dir->path(), mode, QStringLiteral(MTI_MTZIP_BINARY));
    QVERIFY(pkexec.isValid());

    // The archive also holds a template the project does not use: mtzip
    // installs only the one asked for.
    const QString pack = makeArchive(_archives, QStringLiteral("LT_Names.mtzip"),
                                     {QStringLiteral("LT_Shared"), QStringLiteral("LT_Mine"), QStringLiteral("LT_Unused")});
    QVERIFY(!pack.isEmpty());
    QList<Effect> effects{{"LT_Shared",
                           "/Library/Application Support/Final Cut Pro/Templates.localized/Titles.localized/"
                           "ZT Lower Thirds/LT_Shared/LT_Shared.moti",
                           "title"}};
    if (alsoForMe)
        effects.append({"LT_Mine", "~/Titles.localized/ZT Lower Thirds/LT_Mine/LT_Mine.moti", "title"});
    const QString project = _dir->filePath(QStringLiteral("Show.fcpxml"));
    writeFileOrFail(project, fcpxml(effects));

    ProjectCheckWindow::Environment env = environment();
    env.allUsersRoot = allUsers;
    QPointer<ProjectCheckWindow> window = ProjectCheckWindow::open(project, env);
    QSignalSpy checked(window.data(), &ProjectCheckWindow::checked);
    QVERIFY(waitForCheck(window, checked));
    QCOMPARE(window->model()->count(RowState::Missing), alsoForMe ? 2 : 1);

    AlertWatcher alerts;
    alerts.answer(QStringLiteral("Missing Templates Installed"), QStringLiteral("OK"));
    QSignalSpy installed(window.data(), &ProjectCheckWindow::installFinished);
    const int checksBefore = int(checked.count());
    window->installButton()->click();
    if (summary.isEmpty()) {
        QVERIFY(waitForCheck(window, checked, checksBefore + 1));
        QVERIFY2(alerts.seen.isEmpty(), "a declined password changes nothing and needs no sheet");
        QCOMPARE(installed.count(), 0);
    } else {
        QVERIFY(installed.wait(30000));
        QVERIFY(QTest::qWaitFor([&] { return alerts.answered(QStringLiteral("Missing Templates Installed")); }, 10000));
        QCOMPARE(alerts.seen.last().informativeText, summary);
    }

    QStringList arguments = pkexec.recorded();
    QVERIFY(!arguments.isEmpty());
    QCOMPARE(arguments.takeLast(), QString());
    QCOMPARE(arguments, (QStringList{QStringLiteral(MTI_MTZIP_BINARY), QStringLiteral("install"), QStringLiteral("--dest"),
                                     allUsers, QStringLiteral("--trash"), QStringLiteral("--json"), QStringLiteral("--only"),
                                     QStringLiteral("Titles.localized/ZT Lower Thirds/LT_Shared"), QStringLiteral("--"), pack}));
    const QString category = allUsers + QStringLiteral("/Titles.localized/ZT Lower Thirds/");
    QCOMPARE(QFileInfo::exists(category + QStringLiteral("LT_Shared/LT_Shared.moti")), mode == QLatin1String("run"));
    QVERIFY2(!QFileInfo::exists(category + QStringLiteral("LT_Unused")), "only what the project misses");
    QVERIFY2(!QFileInfo::exists(category + QStringLiteral("LT_Mine")), "this user's templates stay this user's");
    QCOMPARE(QFileInfo::exists(installedPath(QStringLiteral("Titles.localized"), QStringLiteral("Lower Thirds"),
                                             QStringLiteral("LT_Mine"))),
             alsoForMe);
}

void tst_ProjectCheckWindow::installAsksBeforeReplacing()
{
    QVERIFY(!makeArchive(_archives, QStringLiteral("LT_Names.mtzip"), {QStringLiteral("LT_Name")}).isEmpty());
    // A folder someone left where the template goes, without its document.
    writeFileOrFail(installedPath(QStringLiteral("Titles.localized"), QStringLiteral("Lower Thirds"),
                                  QStringLiteral("LT_Name")) + QStringLiteral("/notes.txt"), "mine");
    const QString project = _dir->filePath(QStringLiteral("Show.fcpxml"));
    writeFileOrFail(project, fcpxml({{"LT_Name", "~/Titles.localized/ZT Lower Thirds/LT_Name/LT_Name.moti", "title"}}));

    QPointer<ProjectCheckWindow> window = openWindow(project);
    QSignalSpy checked(window.data(), &ProjectCheckWindow::checked);
    QVERIFY(waitForCheck(window, checked));
    QCOMPARE(window->model()->count(RowState::Missing), 1);

    AlertWatcher alerts;
    alerts.answer(QStringLiteral("Replace Templates?"), QStringLiteral("Replace"));
    alerts.answer(QStringLiteral("Missing Templates Installed"), QStringLiteral("OK"));
    QSignalSpy installed(window.data(), &ProjectCheckWindow::installFinished);
    window->installButton()->click();
    QVERIFY(installed.wait(30000));
    QVERIFY(alerts.answered(QStringLiteral("Replace Templates?")));
    QVERIFY(waitForCheck(window, checked, checked.count() + 1));
    QCOMPARE(window->model()->count(RowState::Installed), 1);
}

void tst_ProjectCheckWindow::updatesWhenInstalledElsewhere()
{
    const QString project = _dir->filePath(QStringLiteral("Show.fcpxml"));
    writeFileOrFail(project, fcpxml({{"LT_Name", "~/Titles.localized/ZT Lower Thirds/LT_Name/LT_Name.moti", "title"}}));
    QVERIFY(QDir().mkpath(destinationRoot()));
    QPointer<ProjectCheckWindow> window = openWindow(project);
    QSignalSpy checked(window.data(), &ProjectCheckWindow::checked);
    QVERIFY(waitForCheck(window, checked));
    QCOMPARE(window->model()->count(RowState::NotFound), 1);
    QVERIFY(window->watchedFolders().contains(destinationRoot()));

    // Another window, mtzip or a file manager puts it in place.
    writeFileOrFail(installedPath(QStringLiteral("Titles.localized"), QStringLiteral("Lower Thirds"),
                                  QStringLiteral("LT_Name")) + QStringLiteral("/LT_Name.moti"), plainMotionDocument("5.4"));
    QTRY_COMPARE_WITH_TIMEOUT(window->model()->count(RowState::Installed), 1, 15000);
    QVERIFY(window->model()->index(0, ProjectCheckModel::WhereColumn).data().toString().contains(
        QStringLiteral("copied in by hand")));
}

void tst_ProjectCheckWindow::hostileProject_data()
{
    QTest::addColumn<QByteArray>("contents");  // empty: no file at all
    QTest::addColumn<QString>("name");

    QByteArray bomb = "<?xml version=\"1.0\"?>\n<!DOCTYPE fcpxml [\n<!ENTITY a0 \"lol\">\n";
    for (int i = 1; i <= 12; ++i)
        bomb += "<!ENTITY a" + QByteArray::number(i) + " \"&a" + QByteArray::number(i - 1) + ";&a"
            + QByteArray::number(i - 1) + ";&a" + QByteArray::number(i - 1) + ";\">\n";
    bomb += "]>\n<fcpxml version=\"1.10\"><resources><effect id=\"r1\" name=\"&a12;\" uid=\"~/x\"/></resources></fcpxml>";
    QTest::newRow("entity bomb") << bomb << QStringLiteral("Bomb.fcpxml");
    QTest::newRow("truncated") << fcpxml({{"LT_Name", "~/Titles.localized/ZT Lower Thirds/LT_Name/LT_Name.moti", "title"}})
                                      .left(200)
                               << QStringLiteral("Cut.fcpxml");
    QTest::newRow("external entity")
        << QByteArray("<!DOCTYPE fcpxml [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><fcpxml version=\"1.10\">&x;</fcpxml>")
        << QStringLiteral("Outside.fcpxml");
    QTest::newRow("not there") << QByteArray() << QStringLiteral("Gone.fcpxml");
    QTest::newRow("a bundle without its document") << QByteArray() << QStringLiteral("Empty.fcpxmld");
}

void tst_ProjectCheckWindow::hostileProject()
{
    QFETCH(QByteArray, contents);
    QFETCH(QString, name);
    const QString path = _dir->filePath(name);
    if (!contents.isEmpty())
        writeFileOrFail(path, contents);
    else if (name.endsWith(QLatin1String(".fcpxmld")))
        QVERIFY(QDir().mkpath(path));

    QPointer<ProjectCheckWindow> window = openWindow(path);
    QSignalSpy unreadable(window.data(), &ProjectCheckWindow::unreadable);
    const QString title = QStringLiteral("“%1” cannot be checked.").arg(name);
    QMessageBox *alert = awaitAlert(title);
    QVERIFY2(alert, qPrintable(title));
    QCOMPARE(unreadable.count(), 1);
    QVERIFY(!unreadable.first().first().toString().isEmpty());
    QVERIFY(!alert->informativeText().isEmpty());
    QVERIFY(press(alert, QStringLiteral("OK")));
    // The message and nothing else: the window never showed, and is gone.
    QTRY_VERIFY(!window);
    for (QWidget *widget : QApplication::topLevelWidgets())
        QVERIFY(!qobject_cast<ProjectCheckWindow *>(widget));
}

void tst_ProjectCheckWindow::openRequestRoutesProjects()
{
    const QString project = _dir->filePath(QStringLiteral("Show.fcpxml"));
    writeFileOrFail(project, fcpxml({{"LT_Name", "~/Titles.localized/ZT Lower Thirds/LT_Name/LT_Name.moti", "title"}}));
    const QString bundle = _dir->filePath(QStringLiteral("Other.FCPXMLD"));
    writeFileOrFail(bundle + QStringLiteral("/Info.fcpxml"), fcpxml({}));
    AlertWatcher alerts;
    AppDelegate delegate;
    delegate.applicationOpenFiles({project, bundle + QLatin1Char('/')});
    settle();
    const QList<ProjectCheckWindow *> windows = delegate.projectWindows();
    QCOMPARE(windows.size(), 2);
    QCOMPARE(windows.at(0)->projectPath(), project);
    QCOMPARE(windows.at(1)->projectPath(), bundle);
    // Nothing went to the archive opener, which would have said it is no archive.
    QVERIFY2(alerts.seen.isEmpty(), qPrintable(alerts.titlesSeen().join(QLatin1Char('\n'))));
    for (ProjectCheckWindow *window : windows) {
        QPointer<ProjectCheckWindow> alive(window);
        QTRY_VERIFY_WITH_TIMEOUT(!alive || alive->isVisible(), 20000);
        QVERIFY(alive);
    }
    QVERIFY(ProjectCheckWindow::isProjectPath(QStringLiteral("/x/Show.fcpxml")));
    QVERIFY(!ProjectCheckWindow::isProjectPath(QStringLiteral("/x/LT_Pack.mtzip")));
}

void tst_ProjectCheckWindow::collectTemplates()
{
    const QString root = destinationRoot();
    writeFileOrFail(root + QStringLiteral("/Titles.localized/ZT Lower Thirds/LT_Name/LT_Name.moti"), plainMotionDocument("5.4"));
    writeFileOrFail(root + QStringLiteral("/Titles.localized/ZT Lower Thirds/LT_Name/Media/a.png"), "png");
    writeFileOrFail(root + QStringLiteral("/Titles.localized/ZT Lower Thirds/LT_Other/LT_Other.moti"), plainMotionDocument("5.4"));
    writeFileOrFail(root + QStringLiteral("/Generators.localized/ZT Backgrounds/BG_Waves/BG_Waves.motn"), plainMotionDocument("5.4"));
    const QString project = _dir->filePath(QStringLiteral("Show.fcpxml"));
    writeFileOrFail(project, fcpxml({
        {"LT_Name", "~/Titles.localized/ZT Lower Thirds/LT_Name/LT_Name.moti", "title"},
        {"BG_Waves", "~/Generators.localized/ZT Backgrounds/BG_Waves/BG_Waves.motn", "video"},
        {"LT_Gone", "~/Titles.localized/ZT Lower Thirds/LT_Gone/LT_Gone.moti", "title"},
        {"Basic Title", ".../Titles.localized/Bumper:Opener.localized/Basic Title.localized/Basic Title.moti", "title"},
    }));
    const QString zip = _dir->filePath(QStringLiteral("Show Templates.zip"));

    AlertWatcher alerts;
    alerts.answer(QStringLiteral("Templates Collected"), QStringLiteral("OK"));
    QSignalSpy finished(TemplateCollector::start(project, zip, {root, QString()}), &TemplateCollector::finished);
    QVERIFY(finished.wait(20000));
    QTRY_VERIFY(alerts.answered(QStringLiteral("Templates Collected")));
    const QString text = alerts.seen.last().informativeText;
    QVERIFY2(text.contains(QStringLiteral("2 templates were written to “Show Templates.zip”.")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("1 template is not installed here and is not in the zip:\nLT_Gone (Title in “ZT Lower Thirds”)")),
             qPrintable(text));

    const TestSupport::ToolResult listed = TestSupport::runPython(
        QStringLiteral("import sys, zipfile\nprint('\\n'.join(sorted(n for n in zipfile.ZipFile(sys.argv[1]).namelist() if not n.endswith('/'))))"),
        {zip});
    MTI_VERIFY_TOOL(listed);
    QCOMPARE(QString::fromUtf8(listed.out).trimmed().split(QLatin1Char('\n')),
             QStringList({QStringLiteral("Generators.localized/ZT Backgrounds/BG_Waves/BG_Waves.motn"),
                          QStringLiteral("Titles.localized/ZT Lower Thirds/LT_Name/LT_Name.moti"),
                          QStringLiteral("Titles.localized/ZT Lower Thirds/LT_Name/Media/a.png")}));

    // A project that cannot be read: said so, and no zip.
    const QString bad = _dir->filePath(QStringLiteral("Cut.fcpxml"));
    writeFileOrFail(bad, "<fcpxml version=\"1.11\"><resources><effect id=\"r1\"");
    const QString badZip = _dir->filePath(QStringLiteral("Cut Templates.zip"));
    alerts.answer(QStringLiteral("“Cut.fcpxml” cannot be read."), QStringLiteral("OK"));
    QSignalSpy failed(TemplateCollector::start(bad, badZip, {root, QString()}), &TemplateCollector::finished);
    QVERIFY(failed.wait(20000));
    QTRY_VERIFY(alerts.answered(QStringLiteral("“Cut.fcpxml” cannot be read.")));
    QVERIFY(!QFileInfo::exists(badZip));
}

void tst_ProjectCheckWindow::chooseProject()
{
    const QString project = _dir->filePath(QStringLiteral("Show.fcpxml"));
    writeFileOrFail(project, fcpxml({}));
    {
        FileDialogAnswerer answerer({project});
        QCOMPARE(ProjectCheckWindow::chooseProject(), project);
        QVERIFY(answerer.done);
        QVERIFY2(answerer.nameFilters.join(QLatin1Char(' ')).contains(QStringLiteral("*.fcpxml *.fcpxmld")),
                 qPrintable(answerer.nameFilters.join(QLatin1Char(' '))));
    }
    // A bundle is a folder here: entering it chooses it.
    const QString bundle = _dir->filePath(QStringLiteral("Other.fcpxmld"));
    writeFileOrFail(bundle + QStringLiteral("/Info.fcpxml"), fcpxml({}));
    QTimer enter;
    enter.setInterval(20);
    connect(&enter, &QTimer::timeout, this, [&enter, bundle] {
        for (QWidget *window : QApplication::topLevelWidgets()) {
            if (auto *dialog = qobject_cast<QFileDialog *>(window); dialog && dialog->isVisible()) {
                enter.stop();
                // What a double click on it in the dialog's list does.
                dialog->setDirectory(bundle);
                emit dialog->directoryEntered(bundle);
                // Had entering not chosen it, nothing else would end the dialog.
                QTimer::singleShot(2000, dialog, &QFileDialog::reject);
            }
        }
    });
    enter.start();
    QCOMPARE(ProjectCheckWindow::chooseProject(), bundle);
}

MTI_COLLECTION_TEST_MAIN(tst_ProjectCheckWindow)
#include "tst_ProjectCheckWindow.moc"
