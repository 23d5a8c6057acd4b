// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "CollectionTestTools.h"

#include "Interface/Elevation.h"
#include "Installer/DestinationLock.h"
#include "Installer/TemplateFolders.h"
#include "Installer/TemplateLibrary.h"
#include "Library/RecentlyRemovedModel.h"
#include "Library/TemplateLibraryFilterModel.h"
#include "Library/TemplateLibraryModel.h"
#include "Library/TemplateLibraryWindow.h"
#include "Library/TemplateVerificationDialog.h"
#include "Metadata/TemplateDocument.h"
#include "Metadata/TemplateHiding.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QDesktopServices>
#include <QDirIterator>
#include <QScopeGuard>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTableView>
#include <QTreeWidget>

#include <memory>

#include <sys/wait.h>
#include <unistd.h>

using namespace CollectionTestTools;
using TestSupport::writeFileOrFail;

namespace {

const QString Category = QStringLiteral("Titles.localized/ZT Lower Thirds/");

QString trashFiles()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Trash/files");
}

// Every folder name below the Trash's files, however the removal grouped them.
QStringList namesInTrash()
{
    QStringList names;
    QDirIterator it(trashFiles(), QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        names.append(QFileInfo(it.next()).fileName());
    return names;
}

QStringList keysOf(const QModelIndexList &indexes)
{
    QStringList keys;
    for (const QModelIndex &index : indexes)
        keys.append(index.data(TemplateLibraryModel::KeyRole).toString());
    keys.sort();
    return keys;
}

// The window's widgets by their names, as a user finds them on screen.
struct Controls
{
    explicit Controls(QWidget *window)
        : contentStack(find<QStackedWidget>(window, "contentStack"))
        , tablePage(find<QWidget>(window, "tablePage"))
        , emptyPage(find<QWidget>(window, "emptyPage"))
        , emptyLabel(find<QLabel>(window, "emptyLabel"))
        , searchField(find<QLineEdit>(window, "searchField"))
        , kindFilter(find<QComboBox>(window, "kindFilter"))
        , categoryFilter(find<QComboBox>(window, "categoryFilter"))
        , locationFilter(find<QComboBox>(window, "locationFilter"))
        , verifyButton(find<QPushButton>(window, "verifyButton"))
        , templatesTable(find<QTableView>(window, "templatesTable"))
    {
    }
    template<class T>
    static T *find(QWidget *window, const char *name)
    {
        T *widget = window->findChild<T *>(QLatin1String(name));
        if (!widget)
            qFatal("no widget %s", name);
        return widget;
    }
    QStackedWidget *contentStack;
    QWidget *tablePage;
    QWidget *emptyPage;
    QLabel *emptyLabel;
    QLineEdit *searchField;
    QComboBox *kindFilter;
    QComboBox *categoryFilter;
    QComboBox *locationFilter;
    QPushButton *verifyButton;
    QTableView *templatesTable;
};

} // namespace

class tst_TemplateLibraryWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void emptyLibraryFiltersAndStatusLine();
    void removeAsksNamingTheCountThenTrashes();
    void allUsersNeedElevationOnlyWhereNotWritable_data();
    void allUsersNeedElevationOnlyWhereNotWritable();
    void removeFromAllUsersRunsMtzipElevated_data();
    void removeFromAllUsersRunsMtzipElevated();
    void selectionAndScrollSurviveARescan();
    void verifyShowsWhatIsMissingOrChanged();
    void reinstallOffersOnlyArchivesStillThere();
    void revealOpensTheFolderHoldingTheTemplate();
    void recentlyRemovedListsAndRestores();
    void restoreRefusalIsShownAndChangesNothing_data();
    void restoreRefusalIsShownAndChangesNothing();
    void interruptedHidingIsSettledWhenTheWindowOpens();
    void longArchiveNamesKeepBothEnds();

private:
    std::unique_ptr<TemplateLibraryWindow> makeWindow();
    bool waitForScan(TemplateLibraryWindow &window, int rows);
    void putTemplates(const QStringList &names);
    QString installWithMtzip(const QString &archiveName, const QStringList &templates);
    // Shows the Recently Removed tab and waits until it lists `rows` items.
    bool showRemoved(TemplateLibraryWindow &window, int rows);
    // Selects the Recently Removed rows of these titles, and only them.
    void selectRemoved(TemplateLibraryWindow &window, const QStringList &titles);

    std::unique_ptr<QTemporaryDir> _work;
    QString _root;
    QString _shared;
};

void tst_TemplateLibraryWindow::init()
{
    QVERIFY(resetDestination());
    QVERIFY(QDir(trashFiles()).removeRecursively());
    _work = std::make_unique<QTemporaryDir>();
    QVERIFY(_work->isValid());
    _root = destinationRoot();
    _shared = _work->filePath(QStringLiteral("Shared/Templates"));
    QVERIFY(QDir().mkpath(_root));
}

void tst_TemplateLibraryWindow::cleanup()
{
    for (QMessageBox *box : visibleAlerts())
        box->done(0);
}

std::unique_ptr<TemplateLibraryWindow> tst_TemplateLibraryWindow::makeWindow()
{
    auto window = std::make_unique<TemplateLibraryWindow>(
        QList<TemplateLibraryWindow::Location>{{_root, QStringLiteral("My Templates")},
                                                {_shared, QStringLiteral("All Users")}});
    window->model()->setRescanDelay(100);
    window->resize(900, 520);
    window->show();
    return window;
}

bool tst_TemplateLibraryWindow::waitForScan(TemplateLibraryWindow &window, int rows)
{
    return QTest::qWaitFor(
        [&] { return window.model()->hasScanned() && !window.model()->isScanning() && window.model()->rowCount() == rows; },
        10000);
}

void tst_TemplateLibraryWindow::putTemplates(const QStringList &names)
{
    for (const QString &name : names)
        writeFileOrFail(_root + QLatin1Char('/') + Category + name + QLatin1Char('/') + name + QStringLiteral(".moti"),
                        "copied by hand");
}

QString tst_TemplateLibraryWindow::installWithMtzip(const QString &archiveName, const QStringList &templates)
{
    const QString archive = makeArchive(_work->path(), archiveName, templates);
    if (archive.isEmpty())
        return {};
    QProcess mtzip;
    mtzip.start(QStringLiteral(MTI_MTZIP_BINARY), {QStringLiteral("install"), QStringLiteral("--dest"), _root, archive});
    if (!mtzip.waitForFinished(30000) || mtzip.exitCode() != 0) {
        qWarning("mtzip install: %s", mtzip.readAllStandardError().constData());
        return {};
    }
    return archive;
}

void tst_TemplateLibraryWindow::emptyLibraryFiltersAndStatusLine()
{
    auto window = makeWindow();
    Controls ui(window.get());
    QVERIFY(waitForScan(*window, 0));
    QCOMPARE(ui.contentStack->currentWidget(), ui.emptyPage);
    QVERIFY2(ui.emptyLabel->text().startsWith(QLatin1String("No templates are installed")), qPrintable(ui.emptyLabel->text()));
    QCOMPARE(window->statusText(), QStringLiteral("0 templates"));
    QVERIFY(!window->verifyAction()->isEnabled());
    QVERIFY(!window->removeAction()->isEnabled());

    // Templates copied in while the window is open appear by themselves.
    putTemplates({QStringLiteral("LT_Bold_Third"), QStringLiteral("LT_Clean_Third")});
    QVERIFY(waitForScan(*window, 2));
    QCOMPARE(ui.contentStack->currentWidget(), ui.tablePage);
    QVERIFY2(window->statusText().startsWith(QLatin1String("2 templates, ")), qPrintable(window->statusText()));
    QVERIFY(window->verifyAction()->isEnabled());
    QCOMPARE(ui.verifyButton->text(), QStringLiteral("Verify All"));
    // Copied by hand: no archive to install from again.
    QVERIFY(window->selectTemplate(TemplateLibraryModel::key(0, Category + QStringLiteral("LT_Bold_Third"))));
    QVERIFY(window->removeAction()->isEnabled());
    QVERIFY(window->revealAction()->isEnabled());
    QVERIFY(!window->reinstallAction()->isEnabled());
    QVERIFY(window->statusText().endsWith(QLatin1String("1 selected")));
    QCOMPARE(window->contextMenu()->actions().size(), 8); // six commands and two separators

    QTest::keyClicks(ui.searchField, QStringLiteral("clean"));
    QCOMPARE(window->filterModel()->rowCount(), 1);
    QVERIFY2(window->statusText().startsWith(QLatin1String("1 of 2 templates shown")), qPrintable(window->statusText()));
    ui.searchField->setText(QStringLiteral("nothing like it"));
    QCOMPARE(ui.contentStack->currentWidget(), ui.emptyPage);
    QCOMPARE(ui.emptyLabel->text(), QStringLiteral("No template matches the search and the filters."));
    ui.searchField->clear();
    ui.kindFilter->setCurrentIndex(ui.kindFilter->findData(quint64(1))); // effects
    QCOMPARE(window->filterModel()->rowCount(), 0);
    ui.kindFilter->setCurrentIndex(ui.kindFilter->findData(quint64(3))); // titles
    QCOMPARE(window->filterModel()->rowCount(), 2);
    ui.locationFilter->setCurrentIndex(ui.locationFilter->findData(1));
    QCOMPARE(window->filterModel()->rowCount(), 0);
    ui.locationFilter->setCurrentIndex(ui.locationFilter->findData(0));
    QCOMPARE(window->filterModel()->rowCount(), 2);
    QCOMPARE(ui.categoryFilter->count(), 2); // every category, and the one there is
    ui.categoryFilter->setCurrentIndex(1);
    QCOMPARE(window->filterModel()->rowCount(), 2);
}

void tst_TemplateLibraryWindow::removeAsksNamingTheCountThenTrashes()
{
    putTemplates({QStringLiteral("LT_Keep_Me"), QStringLiteral("LT_Remove_One"), QStringLiteral("LT_Remove_Two")});
    auto window = makeWindow();
    QVERIFY(waitForScan(*window, 3));
    QTableView *table = Controls(window.get()).templatesTable;
    QVERIFY(window->selectTemplate(TemplateLibraryModel::key(0, Category + QStringLiteral("LT_Remove_One"))));
    const int two = window->filterModel()
                        ->mapFromSource(window->model()->index(
                            window->model()->rowForKey(TemplateLibraryModel::key(0, Category + QStringLiteral("LT_Remove_Two"))), 0))
                        .row();
    table->selectionModel()->select(window->filterModel()->index(two, 0),
                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QCOMPARE(window->selectedRows().size(), 2);

    // Cancel leaves everything where it was.
    window->removeAction()->trigger();
    QTRY_VERIFY(visibleAlert(QStringLiteral("Remove 2 templates?")));
    QMessageBox *question = visibleAlert(QStringLiteral("Remove 2 templates?"));
    QVERIFY2(question->informativeText().contains(QLatin1String("Trash")), qPrintable(question->informativeText()));
    QCOMPARE(question->windowModality(), Qt::WindowModal);
    // Return, pressed in passing, removes nothing.
    QCOMPARE(question->defaultButton()->text(), QStringLiteral("Cancel"));
    QVERIFY(press(question, QStringLiteral("Cancel")));
    settle();
    QVERIFY(!window->isBusy());
    QCOMPARE(window->model()->rowCount(), 3);
    QVERIFY(QFileInfo::exists(_root + QLatin1Char('/') + Category + QStringLiteral("LT_Remove_One")));

    window->removeAction()->trigger();
    QTRY_VERIFY(visibleAlert(QStringLiteral("Remove 2 templates?")));
    QVERIFY(press(visibleAlert(QStringLiteral("Remove 2 templates?")), QStringLiteral("Remove")));
    QTRY_COMPARE_WITH_TIMEOUT(window->model()->rowCount(), 1, 10000);
    QVERIFY(!window->isBusy());
    QVERIFY(visibleAlerts().isEmpty());
    QCOMPARE(window->model()->installedTemplate(0).title, QStringLiteral("Keep Me"));
    QVERIFY(!QFileInfo::exists(_root + QLatin1Char('/') + Category + QStringLiteral("LT_Remove_One")));
    QVERIFY(!QFileInfo::exists(_root + QLatin1Char('/') + Category + QStringLiteral("LT_Remove_Two")));
    const QStringList trashed = namesInTrash();
    QVERIFY2(trashed.contains(QStringLiteral("LT_Remove_One")) && trashed.contains(QStringLiteral("LT_Remove_Two")),
             qPrintable(trashed.join(QLatin1Char(','))));
    QVERIFY(!trashed.contains(QStringLiteral("LT_Keep_Me")));

    // One template: the question names it.
    QVERIFY(window->selectTemplate(TemplateLibraryModel::key(0, Category + QStringLiteral("LT_Keep_Me"))));
    window->removeAction()->trigger();
    QTRY_VERIFY(visibleAlert(QStringLiteral("Remove “Keep Me”?")));
    QVERIFY(press(visibleAlert(QStringLiteral("Remove “Keep Me”?")), QStringLiteral("Cancel")));
}

void tst_TemplateLibraryWindow::allUsersNeedElevationOnlyWhereNotWritable_data()
{
    QTest::addColumn<QString>("root");       // relative to the data folder; "*" the user's own
    QTest::addColumn<QString>("unwritable"); // the same
    QTest::addColumn<bool>("needed");
    const QString all = QStringLiteral("Final Cut Pro/Templates");
    QTest::newRow("all users, writable") << all << QString() << false;
    QTest::newRow("all users, not writable") << all << all << true;
    // Not made yet: the folder an install would make it in decides.
    QTest::newRow("all users missing, data folder not writable") << all << QString() << true;
    QTest::newRow("the user's own") << QStringLiteral("*") << QStringLiteral("*") << false;
}

void tst_TemplateLibraryWindow::allUsersNeedElevationOnlyWhereNotWritable()
{
    QFETCH(QString, root);
    QFETCH(QString, unwritable);
    QFETCH(bool, needed);
    const QString data = _work->filePath(QStringLiteral("usr/share"));
    AllUsersFolder allUsers(data);
    QCOMPARE(TemplateFolders::forAllUsers(), allUsers.root);
    const auto place = [&](const QString &relative) { return relative == QLatin1String("*") ? _root : data + QLatin1Char('/') + relative; };
    if (qstrcmp(QTest::currentDataTag(), "all users missing, data folder not writable") == 0) {
        QVERIFY(QDir().mkpath(data));
        allUsers.setUnwritable(data);
    } else {
        QVERIFY(QDir().mkpath(place(root)));
        allUsers.setUnwritable(unwritable.isEmpty() ? QString() : place(unwritable));
    }
    QCOMPARE(Elevation::isNeeded(place(root)), needed);
}

void tst_TemplateLibraryWindow::removeFromAllUsersRunsMtzipElevated_data()
{
    QTest::addColumn<QString>("mode");   // what the fake pkexec does
    QTest::addColumn<bool>("removed");
    QTest::addColumn<QString>("alert");  // the sheet that follows, if any
    QTest::newRow("administrator says yes") << QStringLiteral("run") << true << QString();
    QTest::newRow("prompt dismissed") << QStringLiteral("126") << false << QString();
    QTest::newRow("not authorized") << QStringLiteral("127") << false << QString();
    // pkexec's 127 also when nobody could be asked: a failure to tell, not a "no".
    QTest::newRow("no authentication agent") << QStringLiteral("noagent") << false
                                             << QStringLiteral("Some Templates Were Not Removed");
    QTest::newRow("mtzip fails") << QStringLiteral("fail") << false << QStringLiteral("Some Templates Were Not Removed");
    QTest::newRow("mtzip refuses the folder") << QStringLiteral("refuse") << false
                                              << QStringLiteral("Some Templates Were Not Removed");
}

// The whole way through a fake pkexec that records its arguments and runs
// them as this user: the argument list as the window built it, mtzip's
// answer and its exit code read back into the window's sheets.
void tst_TemplateLibraryWindow::removeFromAllUsersRunsMtzipElevated()
{
    QFETCH(QString, mode);
    QFETCH(bool, removed);
    QFETCH(QString, alert);
    AllUsersFolder allUsers(_work->filePath(QStringLiteral("usr/share")));
    _shared = allUsers.root;
    allUsers.setUnwritable(_shared);
    // A name a shell would split and unquote.
    const QString name = QStringLiteral("LT_It's \"Quoted\" $HOME");
    const QString destination = Category + name;
    writeFileOrFail(_shared + QLatin1Char('/') + destination + QLatin1Char('/') + name + QStringLiteral(".moti"), "shared");
    if (mode == QLatin1String("refuse") && ::geteuid() != 0)
        QSKIP("only root refuses a folder others can write into");
    if (mode == QLatin1String("refuse"))
        QVERIFY(QFile::setPermissions(_shared, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::WriteOther
                                                   | QFile::ReadOther | QFile::ExeOther));

    const FakePkexec pkexec(_work->path(), mode, QStringLiteral(MTI_MTZIP_BINARY));
    QVERIFY(pkexec.isValid());
    qunsetenv("XDG_DATA_HOME");

    // mtzip runs outside the test mode of the standard paths: its Trash is
    // the real one below HOME, which earlier rows may have filled.
    const QString trash = qEnvironmentVariable("HOME") + QStringLiteral("/.local/share/Trash");
    QVERIFY(QDir(trash).removeRecursively());

    auto window = makeWindow();
    QVERIFY(waitForScan(*window, 1));
    QVERIFY(window->selectTemplate(TemplateLibraryModel::key(1, destination)));
    window->removeAction()->trigger();
    QTRY_VERIFY(visibleAlert(QStringLiteral("Remove “It's \"Quoted\" $HOME”?")));
    QVERIFY(press(visibleAlert(QStringLiteral("Remove “It's \"Quoted\" $HOME”?")), QStringLiteral("Remove")));
    QTRY_VERIFY_WITH_TIMEOUT(!window->isBusy(), 20000);

    QStringList arguments = pkexec.recorded();
    QVERIFY(!arguments.isEmpty());
    QCOMPARE(arguments.takeLast(), QString()); // after the last NUL
    QCOMPARE(arguments, (QStringList{QStringLiteral(MTI_MTZIP_BINARY), QStringLiteral("remove"), QStringLiteral("--dest"),
                                     _shared, QStringLiteral("--trash"), QStringLiteral("--remove-edited"),
                                     QStringLiteral("--json"), QStringLiteral("--trash-owner"),
                                     QString::number(::getuid()), QStringLiteral("--"), destination}));

    const QString installed = _shared + QLatin1Char('/') + destination;
    const QString inTrash = trash + QStringLiteral("/files/") + name;
    QCOMPARE(QFileInfo::exists(installed), !removed);
    QCOMPARE(QFileInfo::exists(inTrash), removed);
    if (alert.isEmpty()) {
        QVERIFY(visibleAlerts().isEmpty());
    } else {
        QTRY_VERIFY(visibleAlert(alert));
        const QString text = visibleAlert(alert)->informativeText() + visibleAlert(alert)->text();
        // mtzip's own words, without its name: from stderr, or from its JSON answer.
        const QString expected = mode == QLatin1String("fail")      ? QStringLiteral("the disk is on fire")
                                 : mode == QLatin1String("noagent") ? QStringLiteral("No authentication agent found")
                                                                    : QStringLiteral("chmod go-w");
        QVERIFY2(text.contains(expected) && !text.contains(QLatin1String("mtzip:")), qPrintable(text));
    }
    QTRY_COMPARE(window->model()->rowCount(), removed ? 0 : 1);
}

void tst_TemplateLibraryWindow::selectionAndScrollSurviveARescan()
{
    const QStringList names = templateNames(QStringLiteral("LT"), QStringLiteral("Row"), 300);
    putTemplates(names);
    auto window = makeWindow();
    QVERIFY(waitForScan(*window, 300));
    QTableView *table = Controls(window.get()).templatesTable;
    TemplateLibraryFilterModel *filter = window->filterModel();
    table->selectionModel()->select(QItemSelection(filter->index(150, 0), filter->index(152, 0)),
                                    QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    table->selectionModel()->select(filter->index(170, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    table->scrollTo(filter->index(140, 0), QAbstractItemView::PositionAtTop);
    QCoreApplication::processEvents();
    const QStringList selected = keysOf(table->selectionModel()->selectedRows());
    QCOMPARE(selected.size(), 4);
    const QString top = table->indexAt(QPoint(0, 0)).data(TemplateLibraryModel::KeyRole).toString();
    QVERIFY(!top.isEmpty());

    // A template that sorts first and one of the selected going away
    // (by hand, as another tool would) move every row.
    QSignalSpy resets(window->model(), &QAbstractItemModel::modelReset);
    putTemplates({QStringLiteral("LT_AAA_First")});
    const QString gone = table->selectionModel()->selectedRows().last().data(TemplateLibraryModel::FolderPathRole).toString();
    QVERIFY(QDir(gone).removeRecursively());
    const QString first = TemplateLibraryModel::key(0, Category + QStringLiteral("LT_AAA_First"));
    QTRY_VERIFY_WITH_TIMEOUT(window->model()->rowForKey(first) >= 0, 5000);
    QTRY_VERIFY(!window->model()->isScanning());
    QCOMPARE(window->model()->rowCount(), 300);
    QVERIFY(resets.count() >= 1);

    QStringList expected = selected;
    expected.removeOne(TemplateLibraryModel::key(0, QDir(_root).relativeFilePath(gone)));
    QCOMPARE(keysOf(table->selectionModel()->selectedRows()), expected);
    QCOMPARE(table->indexAt(QPoint(0, 0)).data(TemplateLibraryModel::KeyRole).toString(), top);
}

void tst_TemplateLibraryWindow::verifyShowsWhatIsMissingOrChanged()
{
    const QString archive = installWithMtzip(QStringLiteral("LT_Verify_Pack.mtzip"),
                                             {QStringLiteral("LT_Damaged"), QStringLiteral("LT_Intact")});
    QVERIFY(!archive.isEmpty());
    const QString damaged = _root + QLatin1Char('/') + Category + QStringLiteral("LT_Damaged");
    QVERIFY(QFile::remove(damaged + QStringLiteral("/Media/notes.txt")));
    writeFileOrFail(damaged + QStringLiteral("/LT_Damaged.moti"), "edited by someone, longer than before");
    writeFileOrFail(damaged + QStringLiteral("/Media/extra.txt"), "added");
    putTemplates({QStringLiteral("LT_By_Hand")});

    auto window = makeWindow();
    QVERIFY(waitForScan(*window, 3));
    QSignalSpy shown(window.get(), &TemplateLibraryWindow::verificationShown);
    window->verifyAction()->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(shown.count(), 1, 10000);
    auto *dialog = qobject_cast<TemplateVerificationDialog *>(shown.first().first().value<QWidget *>());
    QVERIFY(dialog);
    QVERIFY(dialog->isVisible());
    QCOMPARE(dialog->summaryLabel()->text(),
             QStringLiteral("1 of 3 templates have missing or changed files. 1 of them has no receipt to compare with "
                            "(installed by other means)."));

    QTreeWidget *tree = dialog->resultsTree();
    QCOMPARE(tree->topLevelItemCount(), 3);
    // The damaged one first, open, naming its files.
    QTreeWidgetItem *first = tree->topLevelItem(0);
    QCOMPARE(first->text(0), QStringLiteral("Damaged"));
    QCOMPARE(first->text(1), QStringLiteral("1 missing, 1 changed, 1 added"));
    QVERIFY(first->isExpanded());
    QStringList files;
    for (int i = 0; i < first->childCount(); ++i)
        files.append(first->child(i)->text(0) + QLatin1Char(' ') + first->child(i)->text(1));
    QCOMPARE(files, TestSupport::strings({"Media/notes.txt missing", "LT_Damaged.moti changed", "Media/extra.txt added"}));
    QCOMPARE(tree->topLevelItem(1)->text(0), QStringLiteral("Intact"));
    QCOMPARE(tree->topLevelItem(1)->text(1), QStringLiteral("intact"));
    QCOMPARE(tree->topLevelItem(2)->text(0), QStringLiteral("By Hand"));
    QCOMPARE(tree->topLevelItem(2)->text(1), QStringLiteral("no receipt to compare with"));
    dialog->close();

    // With a selection, only the selected.
    QVERIFY(window->selectTemplate(TemplateLibraryModel::key(0, Category + QStringLiteral("LT_Intact"))));
    QCOMPARE(Controls(window.get()).verifyButton->text(), QStringLiteral("Verify"));
    window->verifyAction()->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(shown.count(), 2, 10000);
    dialog = qobject_cast<TemplateVerificationDialog *>(shown.last().first().value<QWidget *>());
    QVERIFY(dialog);
    QCOMPARE(dialog->resultsTree()->topLevelItemCount(), 1);
    QCOMPARE(dialog->summaryLabel()->text(), QStringLiteral("Every template with a receipt is as it was installed."));
    dialog->close();
}

void tst_TemplateLibraryWindow::reinstallOffersOnlyArchivesStillThere()
{
    const QString archive = installWithMtzip(QStringLiteral("LT_Again_Pack.mtzip"), {QStringLiteral("LT_Again")});
    QVERIFY(!archive.isEmpty());
    putTemplates({QStringLiteral("LT_By_Hand")});
    auto window = makeWindow();
    QVERIFY(waitForScan(*window, 2));
    const QString key = TemplateLibraryModel::key(0, Category + QStringLiteral("LT_Again"));
    QVERIFY(window->selectTemplate(key));
    QVERIFY(window->reinstallAction()->isEnabled());
    QSignalSpy requested(window.get(), &TemplateLibraryWindow::reinstallRequested);
    window->reinstallAction()->trigger();
    QCOMPARE(requested.count(), 1);
    const QList<QUrl> urls = requested.first().first().value<QList<QUrl>>();
    QCOMPARE(urls.size(), 1);
    QCOMPARE(QFileInfo(urls.first().toLocalFile()).canonicalFilePath(), QFileInfo(archive).canonicalFilePath());

    // The archive moved away: nothing to install from.
    QVERIFY(QFile::rename(archive, archive + QStringLiteral(".moved")));
    QVERIFY(window->selectTemplate(TemplateLibraryModel::key(0, Category + QStringLiteral("LT_By_Hand"))));
    QVERIFY(window->selectTemplate(key));
    QVERIFY(!window->reinstallAction()->isEnabled());
    window->reinstallAction()->trigger();
    QCOMPARE(requested.count(), 1);
}

void tst_TemplateLibraryWindow::revealOpensTheFolderHoldingTheTemplate()
{
#ifdef Q_OS_MACOS
    QSKIP("the Finder is asked through open -R");
#endif
    putTemplates({QStringLiteral("LT_Shown_Here")});
    auto window = makeWindow();
    QVERIFY(waitForScan(*window, 1));
    TestSupport::UrlRecorder fileManager;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &fileManager, "open");
    const auto restore = qScopeGuard([] { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); });
    window->revealAction()->trigger(); // nothing selected: nothing to reveal
    QVERIFY(fileManager.urls.isEmpty());
    QVERIFY(window->selectTemplate(TemplateLibraryModel::key(0, Category + QStringLiteral("LT_Shown_Here"))));
    window->revealAction()->trigger();
    QCOMPARE(fileManager.urls, QList<QUrl>{QUrl::fromLocalFile(_root + QLatin1Char('/') + Category.chopped(1))});
}

bool tst_TemplateLibraryWindow::showRemoved(TemplateLibraryWindow &window, int rows)
{
    auto *tabs = Controls::find<QTabWidget>(&window, "viewTabs");
    tabs->setCurrentWidget(Controls::find<QWidget>(&window, "removedTab"));
    return QTest::qWaitFor(
        [&] { return window.hasLoadedRemoved() && !window.isBusy() && window.removedModel()->rowCount() == rows; },
        10000);
}

void tst_TemplateLibraryWindow::selectRemoved(TemplateLibraryWindow &window, const QStringList &titles)
{
    auto *table = Controls::find<QTableView>(&window, "removedTable");
    table->clearSelection();
    for (int row = 0; row < window.removedModel()->rowCount(); ++row) {
        if (titles.contains(RecentlyRemovedModel::title(window.removedModel()->item(row))))
            table->selectionModel()->select(window.removedModel()->index(row, 0),
                                            QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
}

void tst_TemplateLibraryWindow::recentlyRemovedListsAndRestores()
{
    QVERIFY(!installWithMtzip(QStringLiteral("LT_Gone_Pack.mtzip"), {QStringLiteral("LT_Gone_One"), QStringLiteral("LT_Gone_Two")})
                 .isEmpty());
    putTemplates({QStringLiteral("LT_By_Hand")});
    auto window = makeWindow();
    QVERIFY(waitForScan(*window, 3));
    auto *removedStack = Controls::find<QStackedWidget>(window.get(), "removedStack");
    auto *restoreButton = Controls::find<QPushButton>(window.get(), "restoreButton");
    QVERIFY(showRemoved(*window, 0));
    QCOMPARE(removedStack->currentWidget()->objectName(), QStringLiteral("removedEmptyPage"));
    QVERIFY(Controls::find<QLabel>(window.get(), "removedEmptyLabel")->text().startsWith(QLatin1String("Nothing was removed recently.")));
    QVERIFY(!restoreButton->isEnabled());

    // Removed by the window, one folder each in the Trash.
    Controls::find<QTabWidget>(window.get(), "viewTabs")->setCurrentIndex(0);
    Controls(window.get()).templatesTable->selectAll();
    window->removeAction()->trigger();
    QTRY_VERIFY(visibleAlert(QStringLiteral("Remove 3 templates?")));
    QVERIFY(press(visibleAlert(QStringLiteral("Remove 3 templates?")), QStringLiteral("Remove")));
    QTRY_COMPARE_WITH_TIMEOUT(window->model()->rowCount(), 0, 10000);

    QVERIFY(showRemoved(*window, 3));
    QCOMPARE(removedStack->currentWidget()->objectName(), QStringLiteral("removedTablePage"));
    QStringList rows;
    for (int row = 0; row < 3; ++row) {
        QStringList cells;
        for (int column : {RecentlyRemovedModel::TitleColumn, RecentlyRemovedModel::ArchiveColumn,
                           RecentlyRemovedModel::PlaceColumn})
            cells.append(window->removedModel()->index(row, column).data().toString());
        QVERIFY(!window->removedModel()->index(row, RecentlyRemovedModel::RemovedColumn).data().toString().isEmpty());
        rows.append(cells.join(QLatin1Char('|')));
    }
    rows.sort();
    QCOMPARE(rows, QStringList({QStringLiteral("By Hand|hand copy|") + Category + QStringLiteral("LT_By_Hand"),
                                QStringLiteral("Gone One|LT_Gone_Pack|") + Category + QStringLiteral("LT_Gone_One"),
                                QStringLiteral("Gone Two|LT_Gone_Pack|") + Category + QStringLiteral("LT_Gone_Two")}));
    QVERIFY(!restoreButton->isEnabled());

    // Two at once, with the button.
    selectRemoved(*window, {QStringLiteral("Gone One"), QStringLiteral("By Hand")});
    QVERIFY(restoreButton->isEnabled());
    QTest::mouseClick(restoreButton, Qt::LeftButton);
    QVERIFY(showRemoved(*window, 1));
    QTRY_COMPARE_WITH_TIMEOUT(window->model()->rowCount(), 2, 10000);
    QVERIFY(visibleAlerts().isEmpty());
    QCOMPARE(RecentlyRemovedModel::title(window->removedModel()->item(0)), QStringLiteral("Gone Two"));
    const std::vector<TemplateLibrary::InstalledTemplate> back = TemplateLibrary::scan(_root);
    QCOMPARE(back.size(), size_t(2));
    // Back with their receipt entries: still the archive's, still intact.
    for (const TemplateLibrary::InstalledTemplate &item : back)
        QCOMPARE(item.originArchiveTitle, item.title == QLatin1String("Gone One") ? QStringLiteral("LT_Gone_Pack") : QString());
    QVERIFY(TemplateLibrary::verify(_root, {Category + QStringLiteral("LT_Gone_One")}).front().isIntact());

    // The last one by a double-click; then the list is empty.
    auto *table = Controls::find<QTableView>(window.get(), "removedTable");
    const QRect cell = table->visualRect(window->removedModel()->index(0, RecentlyRemovedModel::TitleColumn));
    // As the window system delivers it: the first click, then the second one.
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, cell.center());
    QVERIFY(showRemoved(*window, 0));
    QTRY_COMPARE_WITH_TIMEOUT(window->model()->rowCount(), 3, 10000);
    QCOMPARE(removedStack->currentWidget()->objectName(), QStringLiteral("removedEmptyPage"));
}

void tst_TemplateLibraryWindow::restoreRefusalIsShownAndChangesNothing_data()
{
    QTest::addColumn<QString>("obstacle");
    QTest::addColumn<bool>("selectBoth");
    QTest::addColumn<QString>("headline");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<int>("restored");
    QTest::addColumn<int>("left");
    QTest::newRow("something stands there now")
        << "stands" << true << "Some Templates Could Not Be Restored" << "“Blocked”: Something else now stands at" << 1 << 1;
    QTest::newRow("no longer in the Trash")
        << "gone" << false << "“Blocked” Could Not Be Restored" << "\"LT_Blocked\" is no longer in the Trash." << 0 << 1;
    QTest::newRow("the folder's lock is held")
        << "lock" << true << "Some Templates Could Not Be Restored" << "is under way in this application" << 0 << 2;
}

void tst_TemplateLibraryWindow::restoreRefusalIsShownAndChangesNothing()
{
    QFETCH(QString, obstacle);
    QFETCH(bool, selectBoth);
    QFETCH(QString, headline);
    QFETCH(QString, reason);
    QFETCH(int, restored);
    QFETCH(int, left);
    QVERIFY(!installWithMtzip(QStringLiteral("LT_Refused_Pack.mtzip"), {QStringLiteral("LT_Back"), QStringLiteral("LT_Blocked")})
                 .isEmpty());
    QVERIFY(!TemplateLibrary::remove(_root, {Category + QStringLiteral("LT_Back"), Category + QStringLiteral("LT_Blocked")},
                                     TemplateTransaction::Disposal::Trash));
    auto window = makeWindow();
    QVERIFY(waitForScan(*window, 0));
    QVERIFY(showRemoved(*window, 2));

    const QString blocked = _root + QLatin1Char('/') + Category + QStringLiteral("LT_Blocked");
    DestinationLock lock(_root);
    if (obstacle == QLatin1String("stands")) {
        writeFileOrFail(blocked + QStringLiteral("/LT_Blocked.moti"), "new one");
    } else if (obstacle == QLatin1String("gone")) {
        for (int row = 0; row < 2; ++row) {
            const RecentlyRemoved::Item &item = window->removedModel()->item(row);
            if (item.destination.endsWith(QLatin1String("LT_Blocked")))
                QVERIFY(QDir(item.inTrash).removeRecursively());
        }
    } else {
        QVERIFY(!lock.acquire(nullptr));
    }
    const QStringList before = TestSupport::treeDigest(_root);

    selectRemoved(*window, selectBoth ? QStringList{QStringLiteral("Back"), QStringLiteral("Blocked")}
                                      : QStringList{QStringLiteral("Blocked")});
    window->restoreAction()->trigger();
    QTRY_VERIFY(visibleAlert(headline));
    const QString text = visibleAlert(headline)->informativeText();
    QVERIFY2(text.contains(reason), qPrintable(text));
    QCOMPARE(text.contains(QLatin1String("1 template restored.")), restored == 1);
    if (obstacle == QLatin1String("lock"))
        QCOMPARE(text.count(QStringLiteral("is under way in this application")), 2);  // each refusal named
    QVERIFY(press(visibleAlert(headline), QStringLiteral("OK")));
    QVERIFY(showRemoved(*window, left));

    // The refused one: whatever stands there stays as it was.
    QCOMPARE(QFileInfo::exists(_root + QLatin1Char('/') + Category + QStringLiteral("LT_Back")), restored == 1);
    if (obstacle == QLatin1String("stands"))
        QCOMPARE(TestSupport::readFile(blocked + QStringLiteral("/LT_Blocked.moti")), QByteArray("new one"));
    else
        QVERIFY(!QFileInfo::exists(blocked));
    if (restored == 0)
        QCOMPARE(TestSupport::treeDigest(_root), before);
}

namespace {

void endAtSwap(TemplateHiding::Step step)
{
    if (step == TemplateHiding::Step::Swapped)
        ::_exit(137);
}

} // namespace

void tst_TemplateLibraryWindow::interruptedHidingIsSettledWhenTheWindowOpens()
{
    const QString name = QStringLiteral("LT_Half_Hidden");
    const QString archive = makeArchiveWithDocuments(_work->path(), QStringLiteral("LT_Halves.mtzip"), {{name, motionDocument("5.9")}});
    QVERIFY(!archive.isEmpty());
    QProcess mtzip;
    mtzip.start(QStringLiteral(MTI_MTZIP_BINARY), {QStringLiteral("install"), QStringLiteral("--dest"), _root, archive});
    QVERIFY(mtzip.waitForFinished(30000));
    QCOMPARE(mtzip.exitCode(), 0);
    const QString destination = Category + name;
    const QString document = _root + QLatin1Char('/') + destination + QLatin1Char('/') + name + QStringLiteral(".moti");
    const QString journal = _root + QLatin1Char('/') + TemplateHiding::journalName();

    // A hide that ended after the new document was swapped in, before its
    // receipt learnt it: the journal stays behind.
    TemplateHiding::setFaultHook(endAtSwap);
    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        (void)TemplateHiding::setHidden(_root, {destination}, true);
        ::_exit(0);
    }
    TemplateHiding::setFaultHook(nullptr);
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY(WIFEXITED(status));
    QCOMPARE(WEXITSTATUS(status), 137);
    QVERIFY(QFileInfo::exists(journal));

    auto window = makeWindow();
    QVERIFY(waitForScan(*window, 1));
    QVERIFY(!QFileInfo::exists(journal));
    QVERIFY(TemplateDocument::read(document)->isObsolete());
    // The receipt learnt the hidden bytes: the template verifies as hidden, not changed.
    const std::vector<TemplateLibrary::Verification> verified = TemplateLibrary::verify(_root, {destination});
    QCOMPARE(verified.size(), size_t(1));
    QVERIFY2(verified.front().isIntact(), qPrintable(verified.front().changed.join(QLatin1Char(','))));
    QVERIFY(verified.front().hidden);
}

void tst_TemplateLibraryWindow::longArchiveNamesKeepBothEnds()
{
    const QString title = QStringLiteral("LT_") + QString(QStringLiteral("Extremely_Long_Pack_Name_")).repeated(6) + QStringLiteral("v2");
    QVERIFY(!installWithMtzip(title + QStringLiteral(".mtzip"), {QStringLiteral("LT_Long_Origin")}).isEmpty());
    auto window = makeWindow();
    QVERIFY(waitForScan(*window, 1));
    QTableView *table = Controls(window.get()).templatesTable;
    const QModelIndex origin = window->filterModel()->index(0, TemplateLibraryModel::OriginColumn);
    const QString shown = origin.data(Qt::DisplayRole).toString();
    QVERIFY2(shown.contains(QLatin1String("Extremely_Long")), qPrintable(shown));
    // Wider than its column: the view shortens it in the middle, so that
    // its prefix and its version both stay, and the tool tip has it whole.
    QVERIFY(table->fontMetrics().horizontalAdvance(shown) > table->columnWidth(TemplateLibraryModel::OriginColumn));
    QCOMPARE(table->textElideMode(), Qt::ElideMiddle);
    QVERIFY2(origin.data(Qt::ToolTipRole).toString().contains(title), qPrintable(origin.data(Qt::ToolTipRole).toString()));
}

MTI_COLLECTION_TEST_MAIN(tst_TemplateLibraryWindow)
#include "tst_TemplateLibraryWindow.moc"
