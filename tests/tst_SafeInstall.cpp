// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
// Installs and removals never lose what the destination held: failures,
// cancels, killed processes and concurrent writers all leave a root that is
// either exactly as before or completely changed.
#include "Installer/DestinationLock.h"
#include "Common/FileOperations.h"
#include "Installer/InstallJournal.h"
#include "Installer/Receipt.h"
#include "Common/ProgressListener.h"
#include "Installer/TemplateInstaller.h"
#include "Installer/TemplateInstallerV2.h"
#include "Installer/TemplateTransaction.h"
#include "FaultHooks.h"
#include "TestSupport.h"
#include "ZipTestTools.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QLockFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QScopeGuard>
#include <QTest>
#include <QThread>

#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace TestSupport;
using ZipTestTools::packFolder;

namespace {

using Step = TemplateTransaction::Step;

class StatusRecorder : public ProgressListener
{
public:
    bool progress(qint64, qint64) override { return true; }
    void setStatus(const QString &status) override { statuses.append(status); }
    QStringList statuses;
};

// A template folder whose template file is named `name` (by default the folder's own name).
void makeTemplate(const QString &folder, const QByteArray &content, QString name = QString())
{
    if (name.isEmpty())
        name = QFileInfo(folder).fileName();
    writeFileOrFail(folder + QLatin1Char('/') + name + QStringLiteral(".moti"), content);
    writeFileOrFail(folder + QStringLiteral("/Media/clip.mov"), QByteArray(3000, 'c') + content);
}

QProcessEnvironment environmentWithTemp(const QString &temp, const QString &home)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TMPDIR"), temp);
    environment.insert(QStringLiteral("HOME"), home);
    return environment;
}

} // namespace

class tst_SafeInstall : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void failureAtAnyStepLeavesTheRootAsItWas_data();
    void failureAtAnyStepLeavesTheRootAsItWas();
    void failureToRemoveAReplacedCopyKeepsTheInstall();
    void cancelAtEveryProgressStepLeavesTheRootAsItWas();
    void rollBackReportsItsProgress_data();
    void rollBackReportsItsProgress();
    void killedAtEveryStepIsUndoneOrCompletedByTheNextRun();
    void journalLeftByAKilledRunIsActedOnByMtzip_data();
    void journalLeftByAKilledRunIsActedOnByMtzip();
    void stagingAndBackupFoldersNeverCountAsInstalled();

    void uninstallKeepsEditedCopiesAndTrashesEachTemplate();
    void cancelledUninstallPutsEverythingBack();
    void uninstallOfManyTemplatesInOneCategory();
    void replacedCopiesGoToTheTrash();
    void templateThatCannotBeDeletedStaysInPlace();
    void hiddenFolderKeepsItsCategoryFolder();
    void cancelledUninstallLeftByAKilledRunIsPutBack();
    void unreadableJournalIsSetAside();

    void secondWriterWaitsAndSaysSo();
    void sigtermWhileWaitingRollsBackAndExits143();
    void sigtermAfterTheWorkIsDoneChangesNothing();
    void sigtermBetweenArchivesLeavesTheRestAndExits143();
    void twoConcurrentInstallsEndWithOneCompleteInstall();
    void abandonedUnpackFoldersAreRemoved();

private:
    // An archive LT_<name>.mtzip with `count` templates; the root gets older
    // copies of every other one, one of them with a file the user added.
    QString makeArchive(const QString &name, int count);
    void installOlderCopies(int count);
    std::unique_ptr<TemplateInstallerV2> open(const QString &archive);
    QString kindFolder() const { return _root + QStringLiteral("/Titles.localized/ZT Lower Thirds"); }

    QTemporaryDir _home;
    QTemporaryDir _tmp;
    std::unique_ptr<QTemporaryDir> _dir;
    QString _root;
};

void tst_SafeInstall::initTestCase()
{
    QVERIFY(_home.isValid());
    QVERIFY(_tmp.isValid());
    // The Trash lives in the test home, beside the roots.
    qputenv("HOME", QFile::encodeName(_home.path()));
    qunsetenv("XDG_DATA_HOME");
    QStandardPaths::setTestModeEnabled(true);
    qputenv("TMPDIR", QFile::encodeName(_tmp.path()));
    QCOMPARE(QDir::tempPath(), _tmp.path());
}

void tst_SafeInstall::init()
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    QVERIFY(QDir().mkpath(data));
    _dir = std::make_unique<QTemporaryDir>(data + QStringLiteral("/case-XXXXXX"));
    QVERIFY(_dir->isValid());
    _root = _dir->filePath(QStringLiteral("Motion Templates.localized"));
    QVERIFY(QDir().mkpath(_root));
    // Each case looks at the Trash as it leaves it.
    QVERIFY(!FileOperations::removeAll(data + QStringLiteral("/Trash")));
}

void tst_SafeInstall::cleanup()
{
    FaultHooks::clear();
    _dir.reset();
    QCOMPARE(entryNames(_tmp.path(), QDir::Name), QStringList());
}

QString tst_SafeInstall::makeArchive(const QString &name, int count)
{
    const QString source = _dir->filePath(QStringLiteral("src-") + name);
    for (int i = 0; i < count; ++i)
        makeTemplate(source + QStringLiteral("/Pack/LT_Template_%1").arg(i), "new " + QByteArray::number(i));
    const QString archive = _dir->filePath(QStringLiteral("LT_%1.mtzip").arg(name));
    packFolder(source, archive);
    return archive;
}

void tst_SafeInstall::installOlderCopies(int count)
{
    for (int i = 0; i < count; i += 2)
        makeTemplate(kindFolder() + QStringLiteral("/LT_Template_%1").arg(i), "old " + QByteArray::number(i));
    writeFileOrFail(kindFolder() + QStringLiteral("/LT_Template_0/added by the user.txt"), "mine");
    // Someone else's template in the same category.
    makeTemplate(kindFolder() + QStringLiteral("/LT_Not_Ours"), "theirs");
}

std::unique_ptr<TemplateInstallerV2> tst_SafeInstall::open(const QString &archive)
{
    auto installer = TemplateInstallerV2::create(QUrl::fromLocalFile(archive), _root);
    if (installer && !installer->unarchive())
        qWarning("unarchive failed: %s", qPrintable(installer->unarchiveError()));
    // The older copies here are hand copies: replaced as if the user agreed.
    if (installer)
        installer->setOwnershipPolicy({true, true, false});
    return installer;
}

void tst_SafeInstall::failureAtAnyStepLeavesTheRootAsItWas_data()
{
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("index");  // in the order of the install
    // Five templates, in the scan's order; the root holds older copies of
    // some (which ones depends on that order: the setting-aside rows pick
    // one that has).
    QTest::newRow("staging the first") << int(Step::Stage) << 0;
    QTest::newRow("staging the middle one") << int(Step::Stage) << 2;
    QTest::newRow("staging the last") << int(Step::Stage) << 4;
    QTest::newRow("setting aside the first older copy") << int(Step::SetAside) << -1;
    QTest::newRow("setting aside the last older copy") << int(Step::SetAside) << -2;
    QTest::newRow("swapping in the first") << int(Step::Swap) << 0;
    QTest::newRow("swapping in the middle one") << int(Step::Swap) << 3;
    QTest::newRow("swapping in the last") << int(Step::Swap) << 4;
    QTest::newRow("committing") << int(Step::Commit) << 5;
}

void tst_SafeInstall::failureAtAnyStepLeavesTheRootAsItWas()
{
    QFETCH(int, step);
    QFETCH(int, index);
    const QString archive = makeArchive(QStringLiteral("Five"), 5);
    installOlderCopies(5);
    const QStringList before = treeDigest(_root);
    auto installer = open(archive);
    QVERIFY(installer);
    QCOMPARE(installer->effects().size(), size_t(5));
    if (index < 0) {
        QList<qsizetype> replacing;
        const EffectTemplateItemList items = installer->effects();
        for (size_t i = 0; i < items.size(); ++i) {
            if (items[i]->isInstalledInDestRootFolder(_root))
                replacing.append(qsizetype(i));
        }
        QCOMPARE(replacing.size(), 3);
        index = int(index == -1 ? replacing.first() : replacing.last());
    }

    FaultHooks::failAt(Step(step), index);
    const std::optional<Error> error = installer->installEffects();
    QVERIFY(error);
    QCOMPARE(error->code(), EIO);
    QCOMPARE(treeDigest(_root), before);
    QCOMPARE(installer->lastInstallReport().newlyInstalled, 0);

    // The same install goes through once nothing fails.
    TemplateTransaction::setFaultHook(nullptr);
    QVERIFY(!installer->installEffects());
    QCOMPARE(installer->lastInstallReport().newlyInstalled, 2);
    QCOMPARE(installer->lastInstallReport().replaced, 3);
    QCOMPARE(readFile(kindFolder() + QStringLiteral("/LT_Template_2/LT_Template_2.moti")), QByteArray("new 2"));
    QVERIFY(!QFileInfo::exists(kindFolder() + QStringLiteral("/LT_Template_0/added by the user.txt")));
    QCOMPARE(readFile(kindFolder() + QStringLiteral("/LT_Not_Ours/LT_Not_Ours.moti")), QByteArray("theirs"));
    QCOMPARE(entryNames(kindFolder(), QDir::Name).filter(QStringLiteral(".mti-")), QStringList());
    QCOMPARE(entryNames(_root, QDir::Name), QStringList({Receipt::folderName(), QStringLiteral("Titles.localized")}));
}

void tst_SafeInstall::failureToRemoveAReplacedCopyKeepsTheInstall()
{
    const QString archive = makeArchive(QStringLiteral("Three"), 3);
    installOlderCopies(3);
    auto installer = open(archive);
    QVERIFY(installer);
    qsizetype installedIndex = -1;
    const EffectTemplateItemList items = installer->effects();
    for (size_t i = 0; i < items.size() && installedIndex < 0; ++i) {
        if (items[i]->isInstalledInDestRootFolder(_root))
            installedIndex = qsizetype(i);
    }
    FaultHooks::failAt(Step::RemoveBackup, installedIndex);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("cannot remove a replaced copy")));
    // Every template was in place: the install stands.
    QVERIFY(!installer->installEffects());
    QCOMPARE(installer->installedEffects().size(), size_t(3));
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(readFile(kindFolder() + QStringLiteral("/LT_Template_%1/LT_Template_%1.moti").arg(i)),
                 QByteArray("new ") + QByteArray::number(i));
    }
    QVERIFY(!QFileInfo::exists(_root + QLatin1Char('/') + InstallJournal::fileName()));
}

void tst_SafeInstall::cancelAtEveryProgressStepLeavesTheRootAsItWas()
{
    const QString archive = makeArchive(QStringLiteral("Cancel"), 4);
    installOlderCopies(4);
    const QStringList before = treeDigest(_root);
    auto installer = open(archive);
    QVERIFY(installer);

    // How often a whole install reports before its commit, in a root of its
    // own (holding no older copies, whose removal reports too).
    auto counting = TemplateInstallerV2::create(QUrl::fromLocalFile(archive), _dir->filePath(QStringLiteral("other")));
    QVERIFY(counting && counting->unarchive());
    CancelAt never(-1);
    counting->setProgressListener(&never);
    QVERIFY(!counting->installEffects());
    QVERIFY(never.calls >= 4);

    for (int call = 1; call <= never.calls; ++call) {
        CancelAt listener(call);
        installer->setProgressListener(&listener);
        const std::optional<Error> error = installer->installEffects();
        installer->setProgressListener(nullptr);
        QVERIFY2(error, qPrintable(QStringLiteral("not cancelled at call %1").arg(call)));
        QVERIFY2(error->isCancellation(), qPrintable(error->localizedDescription()));
        QVERIFY2(treeDigest(_root) == before, qPrintable(QStringLiteral("cancelled at call %1").arg(call)));
    }
}

void tst_SafeInstall::killedAtEveryStepIsUndoneOrCompletedByTheNextRun()
{
    const QString archive = makeArchive(QStringLiteral("Killed"), 4);
    installOlderCopies(4);
    const QString pristine = _dir->filePath(QStringLiteral("pristine"));
    QVERIFY(!FileOperations::copyTree(_root, pristine));
    const QStringList before = treeDigest(_root);
    auto installer = open(archive);
    QVERIFY(installer);
    const EffectTemplateItemList items = installer->effects();

    const QString finished = _dir->filePath(QStringLiteral("finished"));
    QVERIFY(!FileOperations::copyTree(pristine, finished));
    QVERIFY(!TemplateInstaller::copyEffects(items, finished));
    const QStringList after = treeDigest(finished);
    QVERIFY(after != before);

    int killedRuns = 0;
    for (int call = 1;; ++call) {
        QVERIFY(!FileOperations::removeAll(_root));
        QVERIFY(!FileOperations::copyTree(pristine, _root));
        FaultHooks::killAtCall(call);
        const pid_t child = ::fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            const std::optional<Error> error = TemplateInstaller::copyEffects(items, _root);
            ::_exit(error ? 1 : 0);
        }
        TemplateTransaction::setFaultHook(nullptr);
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY(WIFEXITED(status));
        if (WEXITSTATUS(status) == 0) {
            // The kill point lay past the last step: a complete run.
            QCOMPARE(treeDigest(_root), after);
            break;
        }
        QCOMPARE(WEXITSTATUS(status), 137);
        ++killedRuns;
        const bool journalLeft = QFileInfo::exists(_root + QLatin1Char('/') + InstallJournal::fileName());
        QVERIFY(journalLeft);
        const bool committed = InstallJournal::read(_root)->committed();
        QVERIFY(TemplateTransaction::recover(_root));
        QVERIFY(!QFileInfo::exists(_root + QLatin1Char('/') + InstallJournal::fileName()));
        QVERIFY2(treeDigest(_root) == (committed ? after : before),
                 qPrintable(QStringLiteral("killed at step %1, committed %2").arg(call).arg(committed)));
    }
    // Stage, swap and (for the two replaced) set-aside per template, commit,
    // and the removal of the two older copies.
    QCOMPARE(killedRuns, 4 * 2 + 2 + 1 + 2);
}

void tst_SafeInstall::journalLeftByAKilledRunIsActedOnByMtzip_data()
{
    QTest::addColumn<bool>("committed");
    QTest::newRow("half-way: undone") << false;
    QTest::newRow("every template in place: completed") << true;
}

void tst_SafeInstall::journalLeftByAKilledRunIsActedOnByMtzip()
{
    QFETCH(bool, committed);
    // What a run of process 999999999 left: Template_0 replaced (the older copy
    // aside, the new one in place), Template_1 new and in place; half-way,
    // Template_2 was staged and never swapped.
    makeTemplate(kindFolder() + QStringLiteral("/.mti-backup-999999999-0"), "old 0", QStringLiteral("LT_Template_0"));
    writeFileOrFail(kindFolder() + QStringLiteral("/.mti-backup-999999999-0/added by the user.txt"), "mine");
    makeTemplate(kindFolder() + QStringLiteral("/LT_Template_0"), "new 0");
    makeTemplate(kindFolder() + QStringLiteral("/LT_Template_1"), "new 1");
    if (!committed)
        makeTemplate(kindFolder() + QStringLiteral("/.mti-stage-999999999-2"), "new 2", QStringLiteral("LT_Template_2"));
    makeTemplate(kindFolder() + QStringLiteral("/LT_Not_Ours"), "theirs");
    const QString kind = QStringLiteral("Titles.localized/ZT Lower Thirds");
    QByteArray journal =
        "{\"journal\":1,\"operation\":\"install\",\"archive\":\"LT_Killed\",\"pid\":999999999,\"host\":\"x\"}\n"
        "{\"stage\":\"" + kind.toUtf8() + "/LT_Template_0\",\"staging\":\".mti-stage-999999999-0\"}\n"
        "{\"swap\":\".mti-backup-999999999-0\"}\n"
        "{\"stage\":\"" + kind.toUtf8() + "/LT_Template_1\",\"staging\":\".mti-stage-999999999-1\"}\n"
        "{\"swap\":\"\"}\n";
    journal += committed
        ? QByteArray("{\"committed\":true}\n")
        : "{\"stage\":\"" + kind.toUtf8() + "/LT_Template_2\",\"staging\":\".mti-stage-999999999-2\"}\n";
    // A torn last line, as a kill in the middle of a write leaves.
    journal += "{\"stage\":\"Titles.loc";
    writeFileOrFail(_root + QLatin1Char('/') + InstallJournal::fileName(), journal);

    // Any command on the root acts on it.
    QProcess mtzip;
    mtzip.setProcessEnvironment(environmentWithTemp(_tmp.path(), _home.path()));
    mtzip.start(QStringLiteral(MTI_MTZIP_BINARY),
                {QStringLiteral("list"), QStringLiteral("--dest"), _root, _dir->filePath(QStringLiteral("LT_None.mtzip"))});
    QVERIFY(mtzip.waitForFinished(30000));

    QVERIFY(!QFileInfo::exists(_root + QLatin1Char('/') + InstallJournal::fileName()));
    QStringList expected = {QStringLiteral("LT_Not_Ours"), QStringLiteral("LT_Template_0")};
    if (committed)
        expected.insert(2, QStringLiteral("LT_Template_1"));
    QCOMPARE(entryNames(kindFolder(), QDir::Name), expected);
    QCOMPARE(readFile(kindFolder() + QStringLiteral("/LT_Template_0/LT_Template_0.moti")),
             committed ? QByteArray("new 0") : QByteArray("old 0"));
    QCOMPARE(QFileInfo::exists(kindFolder() + QStringLiteral("/LT_Template_0/added by the user.txt")), !committed);
}

void tst_SafeInstall::stagingAndBackupFoldersNeverCountAsInstalled()
{
    const QString archive = makeArchive(QStringLiteral("Hidden"), 1);
    auto installer = open(archive);
    QVERIFY(installer);
    makeTemplate(kindFolder() + QStringLiteral("/.mti-stage-1-0"), "staged");
    makeTemplate(kindFolder() + QStringLiteral("/.mti-backup-1-0"), "aside");
    QVERIFY(installer->installedEffects().empty());
}

void tst_SafeInstall::uninstallKeepsEditedCopiesAndTrashesEachTemplate()
{
    const QString archive = makeArchive(QStringLiteral("Trash"), 3);
    auto installer = open(archive);
    QVERIFY(installer);
    installer->setOwnershipPolicy({});
    makeTemplate(kindFolder() + QStringLiteral("/LT_Not_Ours"), "theirs");
    QVERIFY(!installer->installEffects());
    writeFileOrFail(kindFolder() + QStringLiteral("/LT_Template_1/my notes.txt"), "mine");

    // The edited one stays until the user says it may go.
    QVERIFY(!installer->deleteEffects());
    QCOMPARE(installer->lastRemovalReport().removed, 2);
    QCOMPARE(installer->lastRemovalReport().keptEdited,
             QStringList{QStringLiteral("Titles.localized/ZT Lower Thirds/LT_Template_1")});
    installer->setOwnershipPolicy({false, false, true});
    QVERIFY(!installer->deleteEffects());
    const TemplateTransaction::RemovalReport &report = installer->lastRemovalReport();
    QCOMPARE(report.removed, 1);
    QCOMPARE(report.failed, 0);
    QVERIFY(report.trashed);
    QCOMPARE(entryNames(kindFolder(), QDir::Name), QStringList{QStringLiteral("LT_Not_Ours")});
    QCOMPARE(entryNames(_root, QDir::Name), QStringList{QStringLiteral("Titles.localized")});

    // Each template on its own, recorded at its own place.
    const QString trash = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Trash");
    QCOMPARE(entryNames(trash + QStringLiteral("/files"), QDir::Name),
             QStringList({QStringLiteral("LT_Template_0"), QStringLiteral("LT_Template_1"),
                          QStringLiteral("LT_Template_2")}));
    QCOMPARE(readFile(trash + QStringLiteral("/files/LT_Template_1/my notes.txt")), QByteArray("mine"));
    for (int i = 0; i < 3; ++i) {
        const QString name = QStringLiteral("LT_Template_%1").arg(i);
        QVERIFY(trashInfoRecords(trash + QStringLiteral("/info/") + name + QStringLiteral(".trashinfo"),
                                 kindFolder() + QLatin1Char('/') + name));
    }

    // Deleting, as mtzip does unless asked for the Trash: nothing is left anywhere.
    QVERIFY(!installer->installEffects());
    installer->setDisposal(TemplateTransaction::Disposal::Delete);
    QVERIFY(!installer->deleteEffects());
    QCOMPARE(installer->lastRemovalReport().removed, 3);
    QVERIFY(!installer->lastRemovalReport().trashed);
    QCOMPARE(entryNames(kindFolder(), QDir::Name), QStringList{QStringLiteral("LT_Not_Ours")});
    QCOMPARE(entryNames(trash + QStringLiteral("/files"), QDir::Name).size(), 3);
}

void tst_SafeInstall::cancelledUninstallPutsEverythingBack()
{
    const QString archive = makeArchive(QStringLiteral("Back"), 5);
    auto installer = open(archive);
    QVERIFY(installer);
    QVERIFY(!installer->installEffects());
    const QStringList before = treeDigest(_root);
    for (int call = 1; call <= 5; ++call) {
        CancelAt listener(call);
        installer->setProgressListener(&listener);
        const std::optional<Error> error = installer->deleteEffects();
        installer->setProgressListener(nullptr);
        QVERIFY(error);
        QVERIFY(error->isCancellation());
        QCOMPARE(installer->lastRemovalReport().removed, 0);
        QCOMPARE(treeDigest(_root), before);
    }
}

void tst_SafeInstall::uninstallOfManyTemplatesInOneCategory()
{
    // 600 templates in one category: removal is one pass, and the category
    // folder goes with the last of them.
    const QString source = _dir->filePath(QStringLiteral("unpack"));
    std::vector<std::unique_ptr<EffectTemplateItem>> owned;
    EffectTemplateItemList items;
    for (int i = 0; i < 600; ++i) {
        const QString name = QStringLiteral("LT_Many_%1").arg(i);
        writeFileOrFail(source + QLatin1Char('/') + name + QLatin1Char('/') + name + QStringLiteral(".moti"), "t");
        owned.push_back(EffectTemplateItem::create(QLatin1Char('/') + name, source, 3));
        owned.back()->setRelativeDestinationPath(QStringLiteral("Titles.localized/ZT Lower Thirds/") + name);
        items.push_back(owned.back().get());
    }
    QVERIFY(!TemplateInstaller::copyEffects(items, _root));
    QCOMPARE(entryNames(kindFolder(), QDir::Name).size(), 600);
    TemplateTransaction::RemovalReport report;
    QVERIFY(!TemplateInstaller::deleteEffects(
        {.effects = items, .folder = _root, .archiveTitle = QStringLiteral("LT_Many"), .report = &report}));
    QCOMPARE(report.removed, 600);
    QCOMPARE(entryNames(_root, QDir::Name), QStringList());
}

void tst_SafeInstall::replacedCopiesGoToTheTrash()
{
    const QString archive = makeArchive(QStringLiteral("Again"), 3);
    installOlderCopies(3);
    auto installer = open(archive);
    QVERIFY(installer);
    QVERIFY(!installer->installEffects());
    QCOMPARE(installer->lastInstallReport().replaced, 2);
    // The older copies, the user's file among them, each where Restore finds its place.
    const QString trash = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Trash");
    QCOMPARE(entryNames(trash + QStringLiteral("/files"), QDir::Name),
             QStringList({QStringLiteral("LT_Template_0"), QStringLiteral("LT_Template_2")}));
    QCOMPARE(readFile(trash + QStringLiteral("/files/LT_Template_0/added by the user.txt")), QByteArray("mine"));
    QVERIFY(trashInfoRecords(trash + QStringLiteral("/info/LT_Template_0.trashinfo"),
                             kindFolder() + QStringLiteral("/LT_Template_0")));
    QCOMPARE(entryNames(_root, QDir::Name), QStringList({Receipt::folderName(), QStringLiteral("Titles.localized")}));
}

void tst_SafeInstall::templateThatCannotBeDeletedStaysInPlace()
{
    const QString archive = makeArchive(QStringLiteral("Stuck"), 3);
    auto installer = open(archive);
    QVERIFY(installer);
    QVERIFY(!installer->installEffects());
    const QString stuck = kindFolder() + QStringLiteral("/LT_Template_1/Media/clip.mov");
    if (!setImmutable(stuck, true))
        QSKIP("This file system cannot make a file immutable here.");
    installer->setDisposal(TemplateTransaction::Disposal::Delete);
    QVERIFY(!installer->deleteEffects());
    setImmutable(kindFolder() + QStringLiteral("/LT_Template_1/Media/clip.mov"), false);
    const TemplateTransaction::RemovalReport &report = installer->lastRemovalReport();
    QCOMPARE(report.removed, 2);
    QCOMPARE(report.failed, 1);
    QVERIFY(report.firstError);
    QVERIFY2(report.firstError->localizedDescription().contains(kindFolder() + QStringLiteral("/LT_Template_1")),
             qPrintable(report.firstError->localizedDescription()));
    // What is left of it is where the user looks, not in a hidden folder.
    QVERIFY(QFileInfo(stuck).isFile());
    QCOMPARE(entryNames(kindFolder(), QDir::Name), QStringList{QStringLiteral("LT_Template_1")});
    // Its receipt still names what is still there.
    const std::optional<Receipt> receipt = Receipt::read(Receipt::pathFor(_root, QStringLiteral("LT_Stuck")));
    QVERIFY(receipt);
    QCOMPARE(receipt->templates.size(), size_t(1));
    QCOMPARE(receipt->templates[0].destination, QStringLiteral("Titles.localized/ZT Lower Thirds/LT_Template_1"));
    QCOMPARE(entryNames(_root, QDir::Name), QStringList({Receipt::folderName(), QStringLiteral("Titles.localized")}));
}

void tst_SafeInstall::hiddenFolderKeepsItsCategoryFolder()
{
    const QString archive = makeArchive(QStringLiteral("Hidden"), 1);
    auto installer = open(archive);
    QVERIFY(installer);
    QVERIFY(!installer->installEffects());
    writeFileOrFail(kindFolder() + QStringLiteral("/.My Hidden Work/work.moti"), "work");
    writeFileOrFail(kindFolder() + QStringLiteral("/.DS_Store"), "finder");
    QVERIFY(!installer->deleteEffects());
    QCOMPARE(entryNames(kindFolder(), QDir::Name),
             QStringList({QStringLiteral(".DS_Store"), QStringLiteral(".My Hidden Work")}));
    QCOMPARE(readFile(kindFolder() + QStringLiteral("/.My Hidden Work/work.moti")), QByteArray("work"));
}

void tst_SafeInstall::cancelledUninstallLeftByAKilledRunIsPutBack()
{
    // Killed while putting back the templates of a cancelled uninstall: one
    // is back, one still in the removal folder.
    makeTemplate(kindFolder() + QStringLiteral("/LT_Template_0"), "zero");
    const QString held = _root + QStringLiteral("/.mti-removed-999999999/LT_Back/Titles.localized/ZT Lower Thirds");
    makeTemplate(held + QStringLiteral("/LT_Template_1"), "one");
    const QByteArray kind = "Titles.localized/ZT Lower Thirds";
    writeFileOrFail(_root + QLatin1Char('/') + InstallJournal::fileName(),
                    "{\"journal\":1,\"operation\":\"uninstall\",\"archive\":\"LT_Back\",\"pid\":999999999,"
                    "\"removal\":\".mti-removed-999999999\",\"trash\":false}\n"
                    "{\"remove\":\"" + kind + "/LT_Template_0\"}\n"
                    "{\"remove\":\"" + kind + "/LT_Template_1\"}\n"
                    "{\"cancelled\":true}\n");
    TemplateInstaller::recoverInterruptedRun(_root);
    QCOMPARE(entryNames(kindFolder(), QDir::Name), QStringList({QStringLiteral("LT_Template_0"), QStringLiteral("LT_Template_1")}));
    QCOMPARE(readFile(kindFolder() + QStringLiteral("/LT_Template_1/LT_Template_1.moti")), QByteArray("one"));
    QCOMPARE(entryNames(_root, QDir::Name), QStringList{QStringLiteral("Titles.localized")});
}

void tst_SafeInstall::unreadableJournalIsSetAside()
{
    const QString archive = makeArchive(QStringLiteral("Later"), 1);
    auto installer = open(archive);
    QVERIFY(installer);
    writeFileOrFail(_root + QLatin1Char('/') + InstallJournal::fileName(), "{\"journal\":2,\"operation\":\"x\"}\n");
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("unreadable journal")));
    // Kept for whoever looks, but it blocks nothing.
    QVERIFY(!installer->installEffects());
    QCOMPARE(readFile(_root + QLatin1Char('/') + InstallJournal::fileName() + QStringLiteral("-unreadable")),
             QByteArray("{\"journal\":2,\"operation\":\"x\"}\n"));
    QVERIFY(!QFileInfo::exists(_root + QLatin1Char('/') + InstallJournal::fileName()));
}

void tst_SafeInstall::secondWriterWaitsAndSaysSo()
{
    const QString archive = makeArchive(QStringLiteral("Wait"), 2);
    auto installer = open(archive);
    QVERIFY(installer);
    // Held as another process would hold it.
    QLockFile held(_root + QLatin1Char('/') + DestinationLock::fileName());
    QVERIFY(held.tryLock(0));

    // The listener gives up after the wait was told.
    class GiveUp : public StatusRecorder
    {
    public:
        bool progress(qint64, qint64) override { return statuses.isEmpty(); }
    } listener;
    installer->setProgressListener(&listener);
    QElapsedTimer timer;
    timer.start();
    const std::optional<Error> error = installer->installEffects();
    QVERIFY(error && error->isCancellation());
    QVERIFY(timer.elapsed() >= 900);
    QCOMPARE(listener.statuses.value(0),
             QStringLiteral("Waiting for another installation into %1 to finish").arg(_root));
    QVERIFY(installer->installedEffects().empty());

    // Free again: it goes through.
    held.unlock();
    StatusRecorder quiet;
    installer->setProgressListener(&quiet);
    QVERIFY(!installer->installEffects());
    QVERIFY(quiet.statuses.isEmpty());

    // Held by this process (another window at work): no waiting for itself.
    DestinationLock mine(_root);
    QVERIFY(mine.tryAcquire());
    timer.restart();
    const std::optional<Error> busy = installer->deleteEffects();
    QVERIFY(busy);
    QCOMPARE(busy->code(), EBUSY);
    QVERIFY(timer.elapsed() < 900);
    QCOMPARE(installer->installedEffects().size(), size_t(2));
}

void tst_SafeInstall::sigtermWhileWaitingRollsBackAndExits143()
{
    const QString archive = makeArchive(QStringLiteral("Term"), 3);
    installOlderCopies(3);
    const QStringList before = treeDigest(_root);
    DestinationLock held(_root);
    QVERIFY(held.tryAcquire());

    QProcess mtzip;
    mtzip.setProcessEnvironment(environmentWithTemp(_tmp.path(), _home.path()));
    mtzip.start(QStringLiteral(MTI_MTZIP_BINARY), {QStringLiteral("install"), QStringLiteral("--dest"), _root, archive});
    QVERIFY(mtzip.waitForStarted());
    QByteArray err;
    QElapsedTimer timer;
    timer.start();
    while (!err.contains("Waiting for another installation") && timer.elapsed() < 20000) {
        mtzip.waitForReadyRead(200);
        err += mtzip.readAllStandardError();
    }
    QVERIFY2(err.contains(QByteArray("Waiting for another installation into " + QFile::encodeName(_root) + " to finish")),
             err.constData());
    // Unpacked by now, waiting for the lock.
    QCOMPARE(entryNames(_tmp.path(), QDir::Name).size(), 1);
    ::kill(pid_t(mtzip.processId()), SIGTERM);
    QVERIFY(mtzip.waitForFinished(20000));
    err += mtzip.readAllStandardError();
    QCOMPARE(mtzip.exitStatus(), QProcess::NormalExit);
    QCOMPARE(mtzip.exitCode(), 143);
    const QList<QByteArray> lines = err.trimmed().split('\n');
    QVERIFY2(lines.last().startsWith("mtzip: terminated by SIGTERM; ") && lines.last().contains("was not installed"),
             err.constData());
    QCOMPARE(lines.size(), 2);  // the wait, and the one line about the signal
    QCOMPARE(treeDigest(_root).filter(QStringLiteral(".mti-lock")).size(), 1);  // ours, still held
    held.release();
    QCOMPARE(treeDigest(_root), before);
    // cleanup() checks that the unpack folder went.
}

void tst_SafeInstall::sigtermAfterTheWorkIsDoneChangesNothing()
{
    // A report larger than a pipe holds: with nothing read, mtzip blocks
    // writing it once the templates are in and the unpack folder is gone.
    const int count = 200;
    const QString archive = makeArchive(QStringLiteral("Late"), count);
    QProcess mtzip;
    mtzip.setProcessEnvironment(environmentWithTemp(_tmp.path(), _home.path()));
    mtzip.start(QStringLiteral(MTI_MTZIP_BINARY),
                {QStringLiteral("install"), QStringLiteral("--json"), QStringLiteral("--dest"), _root, archive});
    QVERIFY(mtzip.waitForStarted());
    const QString receipt = Receipt::pathFor(_root, QStringLiteral("LT_Late"));
    const QString journal = _root + QLatin1Char('/') + InstallJournal::fileName();
    QElapsedTimer timer;
    timer.start();
    // No waitFor call and no event loop: QProcess reads nothing meanwhile.
    while (!(QFileInfo::exists(receipt) && !QFileInfo::exists(journal) && entryNames(_tmp.path(), QDir::Name).isEmpty())
           && timer.elapsed() < 60000)
        QThread::msleep(20);
    QVERIFY(QFileInfo::exists(receipt));
    QThread::msleep(200);
    QCOMPARE(mtzip.state(), QProcess::Running);
    ::kill(pid_t(mtzip.processId()), SIGTERM);
    QVERIFY(mtzip.waitForFinished(20000));
    QCOMPARE(mtzip.exitStatus(), QProcess::NormalExit);
    const QByteArray err = mtzip.readAllStandardError();
    QCOMPARE(mtzip.exitCode(), 0);
    QVERIFY2(err.trimmed().endsWith("mtzip: SIGTERM arrived after the work was done; nothing was left undone"),
             err.constData());
    QJsonParseError parsed;
    const QJsonDocument report = QJsonDocument::fromJson(mtzip.readAllStandardOutput(), &parsed);
    QCOMPARE(parsed.error, QJsonParseError::NoError);
    QVERIFY(report.isObject());
    QCOMPARE(entryNames(kindFolder(), QDir::Name).size(), count);
}

void tst_SafeInstall::sigtermBetweenArchivesLeavesTheRestAndExits143()
{
    const QString first = makeArchive(QStringLiteral("First"), 2);
    const QString second = makeArchive(QStringLiteral("Second"), 2);
    // Standard output is a pipe filled beforehand: mtzip blocks telling of
    // the first archive, installed by then, until it is read.
    const QByteArray fifo = QFile::encodeName(_dir->filePath(QStringLiteral("out.fifo")));
    QCOMPARE(::mkfifo(fifo.constData(), 0600), 0);
    const int reader = ::open(fifo.constData(), O_RDONLY | O_NONBLOCK);
    const int writer = ::open(fifo.constData(), O_WRONLY | O_NONBLOCK);
    QVERIFY(reader >= 0 && writer >= 0);
    const auto closeBoth = qScopeGuard([&] {
        ::close(reader);
        ::close(writer);
    });
    const QByteArray filler(4096, 'x');
    while (::write(writer, filler.constData(), size_t(filler.size())) > 0) {
    }
    QCOMPARE(errno, EAGAIN);

    QProcess mtzip;
    mtzip.setProcessEnvironment(environmentWithTemp(_tmp.path(), _home.path()));
    mtzip.setStandardOutputFile(QFile::decodeName(fifo));
    mtzip.start(QStringLiteral(MTI_MTZIP_BINARY), {QStringLiteral("install"), QStringLiteral("--dest"), _root, first, second});
    QVERIFY(mtzip.waitForStarted());
    const QString firstReceipt = Receipt::pathFor(_root, QStringLiteral("LT_First"));
    QElapsedTimer timer;
    timer.start();
    while (!QFileInfo::exists(firstReceipt) && timer.elapsed() < 60000)
        QThread::msleep(20);
    QThread::msleep(300);
    QCOMPARE(mtzip.state(), QProcess::Running);
    ::kill(pid_t(mtzip.processId()), SIGTERM);
    QThread::msleep(100);
    char drain[65536];
    while (!mtzip.waitForFinished(50)) {
        while (::read(reader, drain, sizeof drain) > 0) {
        }
    }
    QCOMPARE(mtzip.exitCode(), 143);
    const QByteArray err = mtzip.readAllStandardError().trimmed();
    QCOMPARE(err, QByteArray("mtzip: terminated by SIGTERM; " + QFile::encodeName(second) + " was left alone"));
    QVERIFY(!QFileInfo::exists(Receipt::pathFor(_root, QStringLiteral("LT_Second"))));
    QCOMPARE(entryNames(kindFolder(), QDir::Name).size(), 2);
}

void tst_SafeInstall::twoConcurrentInstallsEndWithOneCompleteInstall()
{
    const QString archive = makeArchive(QStringLiteral("Twice"), 40);
    QProcess first;
    QProcess second;
    for (QProcess *process : {&first, &second}) {
        process->setProcessEnvironment(environmentWithTemp(_tmp.path(), _home.path()));
        process->start(QStringLiteral(MTI_MTZIP_BINARY), {QStringLiteral("install"), QStringLiteral("--dest"), _root, archive});
    }
    int newly = 0;
    for (QProcess *process : {&first, &second}) {
        QVERIFY(process->waitForFinished(60000));
        const QString out = QString::fromUtf8(process->readAllStandardOutput());
        QCOMPARE(process->exitCode(), 0);
        const QRegularExpressionMatch match =
            QRegularExpression(QStringLiteral("^LT_Twice: (\\d+) of 40 templates newly installed")).match(out);
        QVERIFY2(match.hasMatch(), qPrintable(out));
        newly += match.captured(1).toInt();
    }
    QCOMPARE(newly, 40);
    QStringList names = entryNames(kindFolder(), QDir::Name);
    QCOMPARE(names.size(), 40);
    QCOMPARE(names.filter(QStringLiteral(".mti-")), QStringList());
    QCOMPARE(entryNames(_root, QDir::Name), QStringList({Receipt::folderName(), QStringLiteral("Titles.localized")}));
    for (int i = 0; i < 40; ++i)
        QCOMPARE(QFileInfo(kindFolder() + QStringLiteral("/LT_Template_%1/Media/clip.mov").arg(i)).size(),
                 qint64(3000 + 4 + QByteArray::number(i).size()));
}

void tst_SafeInstall::abandonedUnpackFoldersAreRemoved()
{
    // A process id above any the system hands out runs nowhere.
    const QString dead = _tmp.filePath(QStringLiteral("LT_Pack-mti999999999-AbC123"));
    const QString alive = _tmp.filePath(QStringLiteral("LT_Pack-mti%1-XyZ789").arg(QCoreApplication::applicationPid()));
    const QString unrelated = _tmp.filePath(QStringLiteral("someone-elses-999999999"));
    for (const QString &folder : {dead, alive, unrelated})
        writeFileOrFail(folder + QStringLiteral("/file"), "x");
    QCOMPARE(TemplateInstaller::removeAbandonedUnpackFolders(), 1);
    QVERIFY(!QFileInfo::exists(dead));
    QVERIFY(QFileInfo::exists(alive));
    QVERIFY(QFileInfo::exists(unrelated));
    QVERIFY(!FileOperations::removeAll(alive));
    QVERIFY(!FileOperations::removeAll(unrelated));
}

namespace {

// What a progress dialog is told, from the moment the roll-back says so.
class RollBackRecorder : public ProgressListener
{
public:
    explicit RollBackRecorder(int cancelAt) : _cancelAt(cancelAt) {}
    bool progress(qint64 done, qint64 total) override
    {
        ++_calls;
        if (restoring) {
            values.append(done);
            totals.append(total);
        }
        return _cancelAt < 1 || _calls < _cancelAt;
    }
    void setStatus(const QString &status) override { restoring = restoring || !status.isEmpty(); }
    void setCurrentItem(const QString &name) override
    {
        if (restoring)
            items.append(name);
    }
    bool restoring = false;
    QList<qint64> values;
    QList<qint64> totals;
    QStringList items;

private:
    int _cancelAt;
    int _calls = 0;
};

} // namespace

void tst_SafeInstall::rollBackReportsItsProgress_data()
{
    QTest::addColumn<int>("cancelAt"); // the report answered with a cancel; 0: the commit fails
    QTest::newRow("failed commit") << 0;
    QTest::newRow("cancel after the third template") << 3;
}

void tst_SafeInstall::rollBackReportsItsProgress()
{
    QFETCH(int, cancelAt);
    const QString archive = makeArchive(QStringLiteral("Five"), 5);
    installOlderCopies(5);
    const QStringList before = treeDigest(_root);
    auto installer = open(archive);
    QVERIFY(installer);
    if (cancelAt == 0)
        FaultHooks::failAt(Step::Commit, 5);
    RollBackRecorder recorder(cancelAt);
    installer->setProgressListener(&recorder);
    QVERIFY(installer->installEffects());
    installer->setProgressListener(nullptr);
    QCOMPARE(treeDigest(_root), before);

    // The bar starts again from nothing and moves with every template undone, to its end.
    QVERIFY(recorder.restoring);
    QVERIFY2(recorder.values.size() >= 2, qPrintable(QString::number(recorder.values.size())));
    const qint64 total = recorder.totals.first();
    QVERIFY(total > 0);
    QCOMPARE(recorder.values.first(), 0);
    QCOMPARE(recorder.values.last(), total);
    for (qsizetype i = 1; i < recorder.values.size(); ++i) {
        QCOMPARE(recorder.totals.at(i), total);
        QVERIFY(recorder.values.at(i) > recorder.values.at(i - 1));
    }
    QCOMPARE(recorder.values.size(), total + 1);
    // Each template undone is named while it goes.
    QCOMPARE(recorder.items.size(), total);
}

QTEST_GUILESS_MAIN(tst_SafeInstall)
#include "tst_SafeInstall.moc"
