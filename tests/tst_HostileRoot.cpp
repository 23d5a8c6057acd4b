// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
// A templates folder someone else can write into: what they plant there (a
// forged journal, a FIFO, a link to /dev/zero, a lock file that is none, a
// receipt of a lookalike title, a damaged archive entry, a link swapped in
// for a staging folder) never makes a run delete or write outside the
// folder, hang, or take another archive's templates; and runs as root refuse
// such a folder outright.
#include "Common/FileOperations.h"
#include "Installer/DestinationLock.h"
#include "Installer/InstallJournal.h"
#include "Installer/Receipt.h"
#include "Installer/RecentlyRemoved.h"
#include "Installer/TemplateInstallerV2.h"
#include "Installer/TemplateTransaction.h"
#include "StagingThief.h"
#include "TestSupport.h"
#include "ZipArchive/ZipArchive.h"
#include "ZipTestTools.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QUrl>

#include <atomic>
#include <memory>

#include <sys/stat.h>
#include <unistd.h>

using namespace TestSupport;
using ZipTestTools::packFolder;
using ZipTestTools::RecordingDelegate;

namespace {

const QString LowerThirds = QStringLiteral("Titles.localized/ZT Lower Thirds");

void makeTemplate(const QString &folder, const QByteArray &content)
{
    writeFileOrFail(folder + QLatin1Char('/') + QFileInfo(folder).fileName() + QStringLiteral(".moti"), content);
}

// What a planted file is: the kinds a writer into the root can make.
enum class Plant { Fifo, LinkToDevZero, DanglingLink, Folder, Huge, Empty, Garbage, OtherUser };

bool plant(const QString &path, Plant kind, const QByteArray &contents = {})
{
    const QByteArray name = QFile::encodeName(path);
    switch (kind) {
    case Plant::Fifo:
        return ::mkfifo(name.constData(), 0644) == 0;
    case Plant::LinkToDevZero:
        return ::symlink("/dev/zero", name.constData()) == 0;
    case Plant::DanglingLink:
        return ::symlink("/nonexistent/mti-lock", name.constData()) == 0;
    case Plant::Folder:
        return QDir().mkpath(path);
    case Plant::Huge: {
        // Sparse: a gibibyte that costs nothing until someone reads it.
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.resize(qint64(1) << 30);
    }
    case Plant::Empty:
        return writeFile(path, QByteArray());
    case Plant::Garbage:
        return writeFile(path, "not a lock\n\x01\x02 at all");
    case Plant::OtherUser:
        return writeFile(path, contents) && ::chown(name.constData(), 65534, 65534) == 0;
    }
    return false;
}

} // namespace

class tst_HostileRoot : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void forgedJournalNeverReachesOutsideTheRoot_data();
    void forgedJournalNeverReachesOutsideTheRoot();
    void plantedJournalIsSetAsideWithoutHanging_data();
    void plantedJournalIsSetAsideWithoutHanging();

    void plantedLockNeitherHangsNorBlocksForEver_data();
    void plantedLockNeitherHangsNorBlocksForEver();
    void lockFileNamingALiveProcessIsNoHolder();
    void lockHardLinkedToAFileOutsideIsNeverWritten();
    void lockSwappedForAFifoMeanwhileNeverHangs();
    void lockOfALiveRunFailsAfterTheWaitNamingItsProcess_data();
    void lockOfALiveRunFailsAfterTheWaitNamingItsProcess();

    void lookalikeTitlesGetReceiptsOfTheirOwn_data();
    void lookalikeTitlesGetReceiptsOfTheirOwn();
    void removeByTitleTakesOnlyThatArchivesTemplates_data();
    void removeByTitleTakesOnlyThatArchivesTemplates();
    void receiptUnderAnEarlierNameIsTakenOverOnlyByItsOwnTitle();
    void plantedOwnReceiptDoesNotStopTheInstall_data();
    void plantedOwnReceiptDoesNotStopTheInstall();

    void zeroLengthEntryWithANonZeroCrcIsDamaged();

    void stagingFolderSwappedForALinkNeverRedirectsTheCopy_data();
    void stagingFolderSwappedForALinkNeverRedirectsTheCopy();
    void othersLinkOnTheWayIsRefusedNeverWrittenThrough_data();
    void othersLinkOnTheWayIsRefusedNeverWrittenThrough();
    void othersLinkIsNeverFollowedByAnUninstall_data();
    void othersLinkIsNeverFollowedByAnUninstall();
    void restoreNeverFollowsOthersLinkOutOfTheRoot();
    void rootOthersCanChangeIsRefusedToRoot_data();
    void rootOthersCanChangeIsRefusedToRoot();

private:
    struct Run
    {
        bool finished = false;
        int exitCode = -1;
        QByteArray err;
        qint64 elapsed = 0;
    };
    // mtzip with the test's home and temporary folder; killed when it has
    // not finished within the timeout.
    Run mtzip(const QStringList &arguments, int timeoutMs = 30000);
    // LT_<name>.mtzip (the name may hold any character a file name can)
    // with one template LT_<template> of this content.
    QString makeArchive(const QString &name, const QString &templateName, const QByteArray &content = "new");
    void installInProcess(const QString &archive);
    // LT_Many.mtzip: one template of many files, whose copy takes a while.
    QString makeLargeArchive(QString *templateFolder);
    QString journalPath() const { return _root + QLatin1Char('/') + InstallJournal::fileName(); }

    QTemporaryDir _home;
    QTemporaryDir _tmp;
    std::unique_ptr<QTemporaryDir> _dir;
    QString _root;
    QString _outside;  // a folder beside the root, with files of its own
};

void tst_HostileRoot::initTestCase()
{
    QVERIFY(_home.isValid());
    QVERIFY(_tmp.isValid());
    qputenv("HOME", QFile::encodeName(_home.path()));
    qunsetenv("XDG_DATA_HOME");
    QStandardPaths::setTestModeEnabled(true);
    qputenv("TMPDIR", QFile::encodeName(_tmp.path()));
    qputenv("MTI_RECENTLY_REMOVED", QFile::encodeName(_home.filePath(QStringLiteral("recently-removed.jsonl"))));
}

void tst_HostileRoot::init()
{
    _dir = std::make_unique<QTemporaryDir>(_home.filePath(QStringLiteral("case-XXXXXX")));
    QVERIFY(_dir->isValid());
    _root = _dir->filePath(QStringLiteral("Motion Templates.localized"));
    QVERIFY(QDir().mkpath(_root));
    _outside = _dir->filePath(QStringLiteral("outside"));
    writeFileOrFail(_outside + QStringLiteral("/precious.txt"), "keep me");
    makeTemplate(_outside + QLatin1Char('/') + LowerThirds + QStringLiteral("/LT_Victim"), "theirs");
}

tst_HostileRoot::Run tst_HostileRoot::mtzip(const QStringList &arguments, int timeoutMs)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), _home.path());
    environment.insert(QStringLiteral("TMPDIR"), _tmp.path());
    process.setProcessEnvironment(environment);
    process.setStandardOutputFile(QProcess::nullDevice());
    Run run;
    QElapsedTimer timer;
    timer.start();
    process.start(QStringLiteral(MTI_MTZIP_BINARY), arguments);
    run.finished = process.waitForStarted() && process.waitForFinished(timeoutMs);
    run.elapsed = timer.elapsed();
    if (!run.finished) {
        process.kill();
        process.waitForFinished();
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.err = process.readAllStandardError();
    return run;
}

QString tst_HostileRoot::makeArchive(const QString &name, const QString &templateName, const QByteArray &content)
{
    const QString source = _dir->filePath(QStringLiteral("src-%1").arg(templateName));
    makeTemplate(source + QStringLiteral("/Pack/LT_") + templateName, content);
    const QString archive = _dir->filePath(QStringLiteral("LT_%1.mtzip").arg(name));
    packFolder(source, archive);
    return archive;
}

void tst_HostileRoot::installInProcess(const QString &archive)
{
    auto installer = TemplateInstallerV2::create(QUrl::fromLocalFile(archive), _root);
    QVERIFY(installer);
    QVERIFY2(installer->unarchive(), qPrintable(installer->unarchiveError()));
    const std::optional<Error> error = installer->installEffects();
    QVERIFY2(!error, error ? qPrintable(error->localizedDescription()) : "");
}

void tst_HostileRoot::forgedJournalNeverReachesOutsideTheRoot_data()
{
    QTest::addColumn<QString>("journal");
    QTest::addColumn<QStringList>("links");  // "name in the root=relative path below the outside folder"
    QTest::addColumn<QStringList>("folders");  // made in the root first

    QTest::newRow("an uninstall's removal folder linked elsewhere")
        << QStringLiteral("{\"journal\":1,\"operation\":\"uninstall\",\"archive\":\"x\",\"pid\":1,"
                          "\"removal\":\".mti-removed-1\"}\n")
        << QStringList{QStringLiteral(".mti-removed-1=")} << QStringList();
    QTest::newRow("the archive's folder in a cancelled uninstall's removal folder linked elsewhere")
        << QStringLiteral("{\"journal\":1,\"operation\":\"uninstall\",\"archive\":\"x\",\"pid\":1,"
                          "\"removal\":\".mti-removed-2\",\"trash\":false}\n"
                          "{\"remove\":\"%1/LT_Victim\"}\n{\"cancelled\":true}\n")
               .arg(LowerThirds)
        << QStringList{QStringLiteral(".mti-removed-2/x=")} << QStringList{QStringLiteral(".mti-removed-2"), LowerThirds};
    QTest::newRow("a folder on the way in the removal folder linked elsewhere")
        << QStringLiteral("{\"journal\":1,\"operation\":\"uninstall\",\"archive\":\"x\",\"pid\":1,"
                          "\"removal\":\".mti-removed-3\",\"trash\":true}\n"
                          "{\"remove\":\"%1/LT_Victim\"}\n{\"cancelled\":true}\n")
               .arg(LowerThirds)
        << QStringList{QStringLiteral(".mti-removed-3/x/Titles.localized=Titles.localized")}
        << QStringList{QStringLiteral(".mti-removed-3/x"), LowerThirds};
    QTest::newRow("a staging folder swapped for a link")
        << QStringLiteral("{\"journal\":1,\"operation\":\"install\",\"archive\":\"x\",\"pid\":1}\n"
                          "{\"stage\":\"%1/LT_New\",\"staging\":\".mti-stage-1-0\"}\n")
               .arg(LowerThirds)
        << QStringList{LowerThirds + QStringLiteral("/.mti-stage-1-0=")} << QStringList{LowerThirds};
}

void tst_HostileRoot::forgedJournalNeverReachesOutsideTheRoot()
{
    QFETCH(QString, journal);
    QFETCH(QStringList, links);
    QFETCH(QStringList, folders);
    for (const QString &folder : std::as_const(folders))
        QVERIFY(QDir().mkpath(_root + QLatin1Char('/') + folder));
    for (const QString &link : std::as_const(links)) {
        const QString target = _outside + QLatin1Char('/') + link.section(QLatin1Char('='), 1);
        QVERIFY(QFile::link(target, _root + QLatin1Char('/') + link.section(QLatin1Char('='), 0, 0)));
    }
    writeFileOrFail(journalPath(), journal.toUtf8());
    const QStringList outsideBefore = treeDigest(_outside);

    // Even the command that only lists acts on a journal it finds.
    const Run run = mtzip({QStringLiteral("-v"), QStringLiteral("installed"), QStringLiteral("--dest"), _root});
    QVERIFY(run.finished);
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(treeDigest(_outside), outsideBefore);
    QVERIFY2(run.err.contains("ignored .mti-journal: "), run.err.constData());
    // Set aside, so that later runs go on.
    QVERIFY(!QFileInfo::exists(journalPath()));
    QCOMPARE(readFile(journalPath() + QStringLiteral("-unreadable")), journal.toUtf8());
    QVERIFY(!QFileInfo::exists(_root + QLatin1Char('/') + LowerThirds + QStringLiteral("/LT_Victim")));
}

void tst_HostileRoot::plantedJournalIsSetAsideWithoutHanging_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("problem");
    QTest::newRow("a FIFO") << int(Plant::Fifo) << QStringLiteral("not a regular file");
    QTest::newRow("a link to /dev/zero") << int(Plant::LinkToDevZero) << QStringLiteral("a symbolic link");
    QTest::newRow("a folder") << int(Plant::Folder) << QStringLiteral("not a regular file");
    QTest::newRow("a gibibyte") << int(Plant::Huge) << QStringLiteral("larger than 67108864 bytes");
    QTest::newRow("another user's") << int(Plant::OtherUser) << QStringLiteral("owned by another user");
}

void tst_HostileRoot::plantedJournalIsSetAsideWithoutHanging()
{
    QFETCH(int, kind);
    QFETCH(QString, problem);
    if (Plant(kind) == Plant::OtherUser && ::geteuid() != 0)
        QSKIP("only root can give a file to another user");
    // Another user's journal is believed by nobody, however well-formed.
    QVERIFY(QFile::link(_outside, _root + QStringLiteral("/.mti-removed-1")));
    QVERIFY(plant(journalPath(), Plant(kind),
                  "{\"journal\":1,\"operation\":\"uninstall\",\"archive\":\"x\",\"pid\":1,\"removal\":\".mti-removed-1\"}\n"));
    const QStringList outsideBefore = treeDigest(_outside);

    const Run run = mtzip({QStringLiteral("-v"), QStringLiteral("installed"), QStringLiteral("--dest"), _root});
    QVERIFY2(run.finished, "mtzip did not finish within 30 s");
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.err.contains(QByteArray("ignored .mti-journal: " + problem.toUtf8())), run.err.constData());
    QVERIFY(!FileOperations::exists(journalPath()));
    QVERIFY(FileOperations::exists(journalPath() + QStringLiteral("-unreadable")));
    QCOMPARE(treeDigest(_outside), outsideBefore);
}

void tst_HostileRoot::plantedLockNeitherHangsNorBlocksForEver_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("fifoForItsRemoval");  // and a FIFO where QLockFile locks to break a stale lock
    QTest::newRow("an empty file") << int(Plant::Empty) << false;
    QTest::newRow("garbage") << int(Plant::Garbage) << false;
    QTest::newRow("garbage, a FIFO beside") << int(Plant::Garbage) << true;
    QTest::newRow("a folder") << int(Plant::Folder) << false;
    QTest::newRow("a dangling link") << int(Plant::DanglingLink) << false;
    QTest::newRow("a link to /dev/zero") << int(Plant::LinkToDevZero) << false;
    QTest::newRow("a FIFO") << int(Plant::Fifo) << false;
    QTest::newRow("a gibibyte") << int(Plant::Huge) << false;
}

void tst_HostileRoot::plantedLockNeitherHangsNorBlocksForEver()
{
    QFETCH(int, kind);
    QFETCH(bool, fifoForItsRemoval);
    const QString archive = makeArchive(QStringLiteral("Pack"), QStringLiteral("One"));
    const QString lock = _root + QLatin1Char('/') + DestinationLock::fileName();
    if (fifoForItsRemoval)
        QVERIFY(plant(lock + QStringLiteral(".rmlock"), Plant::Fifo));

    // Planted again for the second command where the first set it aside.
    for (const QString &command : {QStringLiteral("install"), QStringLiteral("uninstall")}) {
        if (!FileOperations::exists(lock))
            QVERIFY(plant(lock, Plant(kind)));
        const Run run = mtzip({command, QStringLiteral("--dest"), _root, archive});
        QVERIFY2(run.finished, qPrintable(command + QStringLiteral(" did not finish within 30 s")));
        QVERIFY2(run.exitCode == 0, run.err.constData());
        QCOMPARE(QFileInfo::exists(_root + QLatin1Char('/') + LowerThirds + QStringLiteral("/LT_One")),
                 command == QLatin1String("install"));
    }
    // Whatever stood there is gone, or set aside; no run holds the lock now.
    DestinationLock after(_root);
    QVERIFY(after.tryAcquire());
}

void tst_HostileRoot::lockFileNamingALiveProcessIsNoHolder()
{
    const QString archive = makeArchive(QStringLiteral("Pack"), QStringLiteral("One"));
    // What the file says is anyone's to write: only the kernel's lock holds.
    writeFileOrFail(_root + QLatin1Char('/') + DestinationLock::fileName(), "1\nmtzip\nelsewhere\n");
    const Run run = mtzip({QStringLiteral("install"), QStringLiteral("--wait"), QStringLiteral("5"), QStringLiteral("--dest"),
                           _root, archive});
    QVERIFY(run.finished);
    QVERIFY2(run.exitCode == 0, run.err.constData());
    QVERIFY2(run.elapsed < 5000, qPrintable(QString::number(run.elapsed)));
}

void tst_HostileRoot::lockHardLinkedToAFileOutsideIsNeverWritten()
{
    const QString archive = makeArchive(QStringLiteral("Pack"), QStringLiteral("One"));
    const QString precious = _outside + QStringLiteral("/precious.txt");
    const QString lock = _root + QLatin1Char('/') + DestinationLock::fileName();
    QVERIFY(::link(QFile::encodeName(precious).constData(), QFile::encodeName(lock).constData()) == 0);
    const Run run = mtzip({QStringLiteral("install"), QStringLiteral("--dest"), _root, archive});
    QVERIFY(run.finished);
    QVERIFY2(run.exitCode == 0, run.err.constData());
    // The lock was taken on it, but the holder's lines went nowhere.
    QCOMPARE(readFile(precious), QByteArray("keep me"));
}

void tst_HostileRoot::lockSwappedForAFifoMeanwhileNeverHangs()
{
    const QString archive = makeArchive(QStringLiteral("Pack"), QStringLiteral("One"));
    const QByteArray lock = QFile::encodeName(_root + QLatin1Char('/') + DestinationLock::fileName());
    const QByteArray fifo = QFile::encodeName(_dir->filePath(QStringLiteral("fifo")));
    std::atomic<bool> stop{false};
    // Puts a FIFO at the lock's path over and over, whatever stands there.
    QThread *swapper = QThread::create([&stop, &lock, &fifo] {
        while (!stop.load()) {
            if (::mkfifo(fifo.constData(), 0644) == 0)
                ::rename(fifo.constData(), lock.constData());
            QThread::usleep(200);
        }
    });
    swapper->start();
    for (int i = 0; i < 4; ++i) {
        const QString command = i % 2 ? QStringLiteral("uninstall") : QStringLiteral("install");
        const Run run = mtzip({command, QStringLiteral("--wait"), QStringLiteral("10"), QStringLiteral("--dest"), _root, archive});
        if (!run.finished) {
            stop = true;
            swapper->wait();
            delete swapper;
            QFAIL(qPrintable(command + QStringLiteral(" hung on a FIFO at the lock's path")));
        }
        // It either took the lock between two plantings or gave up after the wait.
        QVERIFY2(run.exitCode == 0 || run.err.contains("gave up waiting"), run.err.constData());
    }
    stop = true;
    swapper->wait();
    delete swapper;
}

void tst_HostileRoot::lockOfALiveRunFailsAfterTheWaitNamingItsProcess_data()
{
    QTest::addColumn<QString>("command");
    QTest::newRow("install") << QStringLiteral("install");
    QTest::newRow("uninstall") << QStringLiteral("uninstall");
    QTest::newRow("remove") << QStringLiteral("remove");
}

void tst_HostileRoot::lockOfALiveRunFailsAfterTheWaitNamingItsProcess()
{
    QFETCH(QString, command);
    const QString archive = makeArchive(QStringLiteral("Pack"), QStringLiteral("One"));
    installInProcess(archive);
    // Held as another run holds it: this process is alive, and says so in the file.
    QLockFile held(_root + QLatin1Char('/') + DestinationLock::fileName());
    QVERIFY(held.tryLock(0));

    const QString target = command == QLatin1String("remove") ? QStringLiteral("LT_Pack") : archive;
    const Run run = mtzip({command, QStringLiteral("--wait"), QStringLiteral("1.5"), QStringLiteral("--dest"), _root, target});
    QVERIFY(run.finished);
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.elapsed >= 1500, qPrintable(QString::number(run.elapsed)));
    QVERIFY2(run.err.contains(QStringLiteral("(process %1").arg(QCoreApplication::applicationPid()).toUtf8()),
             run.err.constData());
    QVERIFY2(run.err.contains("gave up waiting after 1.5 s"), run.err.constData());
    QVERIFY(QFileInfo::exists(_root + QLatin1Char('/') + LowerThirds + QStringLiteral("/LT_One")));

    const Run wrong = mtzip({command, QStringLiteral("--wait"), QStringLiteral("soon"), QStringLiteral("--dest"), _root, target});
    QCOMPARE(wrong.exitCode, 2);
    QVERIFY2(wrong.err.contains("--wait takes a number of seconds, not \"soon\""), wrong.err.constData());

    // Free again: the same command goes through at once.
    held.unlock();
    const Run free = mtzip({command, QStringLiteral("--wait"), QStringLiteral("0"), QStringLiteral("--dest"), _root, target});
    QVERIFY2(free.exitCode == 0, free.err.constData());
}

void tst_HostileRoot::lookalikeTitlesGetReceiptsOfTheirOwn_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<bool>("sameArchive");
    QTest::newRow("_ and \\") << QStringLiteral("LT_a_b") << QStringLiteral("LT_a\\b") << false;
    QTest::newRow("_ and /") << QStringLiteral("LT_a_b") << QStringLiteral("LT_a/b") << false;
    QTest::newRow("\\ and /") << QStringLiteral("LT_a\\b") << QStringLiteral("LT_a/b") << false;
    QTest::newRow("an escape and what it stands for") << QStringLiteral("LT_a%5Cb") << QStringLiteral("LT_a\\b") << false;
    QTest::newRow("_ and a control character") << QStringLiteral("LT_a_b") << QStringLiteral("LT_a\tb") << false;
    QTest::newRow("case") << QStringLiteral("LT_Pack") << QStringLiteral("LT_pack") << false;
    QTest::newRow("case beyond ASCII") << QStringLiteral("LT_\u00c9t\u00e9") << QStringLiteral("LT_\u00e9t\u00e9") << false;
    QTest::newRow("a leading dot and _") << QStringLiteral(".LT") << QStringLiteral("_LT") << false;
    QTest::newRow("titles long enough to be cut short")
        << QStringLiteral("LT_") + QString(300, QLatin1Char('x')) + QLatin1Char('1')
        << QStringLiteral("LT_") + QString(300, QLatin1Char('x')) + QLatin1Char('2') << false;
    QTest::newRow("composed and decomposed") << QStringLiteral("LT_Caf\u00e9") << QStringLiteral("LT_Cafe\u0301") << true;
}

void tst_HostileRoot::lookalikeTitlesGetReceiptsOfTheirOwn()
{
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(bool, sameArchive);
    const QString firstPath = Receipt::pathFor(_root, first);
    const QString secondPath = Receipt::pathFor(_root, second);
    for (const QString &path : {firstPath, secondPath}) {
        QCOMPARE(QFileInfo(path).path(), _root + QLatin1Char('/') + Receipt::folderName());
        QVERIFY(!QFileInfo(path).fileName().startsWith(QLatin1Char('.')));
        QVERIFY(QFileInfo(path).fileName().toUtf8().size() <= 255);
    }
    if (sameArchive) {
        QCOMPARE(firstPath, secondPath);
    } else {
        // Apart also where the file system ignores case.
        QVERIFY2(firstPath.toCaseFolded() != secondPath.toCaseFolded(), qPrintable(firstPath));
    }
}

void tst_HostileRoot::removeByTitleTakesOnlyThatArchivesTemplates_data()
{
    QTest::addColumn<QString>("kept");
    QTest::addColumn<QString>("removed");
    QTest::newRow("_ kept, \\ removed") << QStringLiteral("a_b") << QStringLiteral("a\\b");
    QTest::newRow("\\ kept, _ removed") << QStringLiteral("a\\b") << QStringLiteral("a_b");
    QTest::newRow("a longer title kept") << QStringLiteral("a_b_c") << QStringLiteral("a_b");
}

void tst_HostileRoot::removeByTitleTakesOnlyThatArchivesTemplates()
{
    QFETCH(QString, kept);
    QFETCH(QString, removed);
    installInProcess(makeArchive(kept, QStringLiteral("Kept")));
    installInProcess(makeArchive(removed, QStringLiteral("Removed")));
    QCOMPARE(Receipt::paths(_root).size(), 2);

    const Run run = mtzip({QStringLiteral("remove"), QStringLiteral("--dest"), _root, QStringLiteral("LT_") + removed});
    QVERIFY2(run.exitCode == 0, run.err.constData());
    const QString category = _root + QLatin1Char('/') + LowerThirds;
    QCOMPARE(entryNames(category, QDir::Name), QStringList{QStringLiteral("LT_Kept")});
    const std::optional<Receipt> receipt = Receipt::read(Receipt::pathFor(_root, QStringLiteral("LT_") + kept));
    QVERIFY(receipt);
    QCOMPARE(receipt->archiveTitle, QStringLiteral("LT_") + kept);
    QCOMPARE(receipt->templates.size(), size_t(1));
    QCOMPARE(Receipt::paths(_root).size(), 1);
}

void tst_HostileRoot::receiptUnderAnEarlierNameIsTakenOverOnlyByItsOwnTitle()
{
    // As earlier versions left them: "LT_Pack.json" for LT_Pack, which also
    // names a template the next version no longer has, and "LT_a_b.json"
    // for the title LT_a\b.
    const QString category = _root + QLatin1Char('/') + LowerThirds;
    makeTemplate(category + QStringLiteral("/LT_Old"), "old");
    makeTemplate(category + QStringLiteral("/LT_Backslash"), "b");
    const auto legacy = [&](const QString &title, const QString &templateName) {
        return QStringLiteral("{\"version\":1,\"archiveTitle\":\"%1\",\"archiveFileName\":\"%1.mtzip\","
                              "\"installedAt\":\"2025-01-01T00:00:00Z\",\"templates\":[{\"type\":3,"
                              "\"title\":\"%2\",\"destination\":\"%3/%2\",\"files\":[]}]}")
            .arg(QString(title).replace(QLatin1Char('\\'), QStringLiteral("\\\\")), templateName, LowerThirds)
            .toUtf8();
    };
    writeFileOrFail(_root + QStringLiteral("/.receipts/LT_Pack.json"), legacy(QStringLiteral("LT_Pack"), QStringLiteral("LT_Old")));
    writeFileOrFail(_root + QStringLiteral("/.receipts/LT_a_b.json"), legacy(QStringLiteral("LT_a\\b"), QStringLiteral("LT_Backslash")));

    installInProcess(makeArchive(QStringLiteral("Pack"), QStringLiteral("New")));
    installInProcess(makeArchive(QStringLiteral("a_b"), QStringLiteral("Underscore")));

    // LT_Pack's receipt moved to its new name, keeping what is still installed.
    const std::optional<Receipt> pack = Receipt::read(Receipt::pathFor(_root, QStringLiteral("LT_Pack")));
    QVERIFY(pack);
    QCOMPARE(pack->templates.size(), size_t(2));
    QVERIFY(pack->templateAt(LowerThirds + QStringLiteral("/LT_Old")));
    QVERIFY(!QFileInfo::exists(_root + QStringLiteral("/.receipts/LT_Pack.json")));
    // LT_a_b's install left the receipt of LT_a\b alone.
    const std::optional<Receipt> underscore = Receipt::read(Receipt::pathFor(_root, QStringLiteral("LT_a_b")));
    QVERIFY(underscore);
    QCOMPARE(underscore->templates.size(), size_t(1));
    QCOMPARE(Receipt::read(_root + QStringLiteral("/.receipts/LT_a_b.json"))->archiveTitle, QStringLiteral("LT_a\\b"));
    QCOMPARE(Receipt::paths(_root).size(), 3);

    const Run run = mtzip({QStringLiteral("remove"), QStringLiteral("--dest"), _root, QStringLiteral("LT_a_b")});
    QVERIFY2(run.exitCode == 0, run.err.constData());
    QCOMPARE(entryNames(category, QDir::Name),
             QStringList({QStringLiteral("LT_Backslash"), QStringLiteral("LT_New"), QStringLiteral("LT_Old")}));

    // Its own title's install takes the old name over.
    installInProcess(makeArchive(QStringLiteral("a\\b"), QStringLiteral("Backslash"), "b2"));
    QVERIFY(!QFileInfo::exists(_root + QStringLiteral("/.receipts/LT_a_b.json")));
    QCOMPARE(Receipt::paths(_root).size(), 2);
}

void tst_HostileRoot::plantedOwnReceiptDoesNotStopTheInstall_data()
{
    QTest::addColumn<int>("kind");
    QTest::newRow("a FIFO") << int(Plant::Fifo);
    QTest::newRow("a link to /dev/zero") << int(Plant::LinkToDevZero);
    QTest::newRow("a gibibyte") << int(Plant::Huge);
}

void tst_HostileRoot::plantedOwnReceiptDoesNotStopTheInstall()
{
    QFETCH(int, kind);
    const QString archive = makeArchive(QStringLiteral("Pack"), QStringLiteral("One"));
    const QString receipt = Receipt::pathFor(_root, QStringLiteral("LT_Pack"));
    QVERIFY(QDir().mkpath(QFileInfo(receipt).path()));
    QVERIFY(plant(receipt, Plant(kind)));

    const Run run = mtzip({QStringLiteral("install"), QStringLiteral("--dest"), _root, archive});
    QVERIFY2(run.finished, "mtzip did not finish within 30 s");
    QVERIFY2(run.exitCode == 0, run.err.constData());
    // Put aside by the install's swap like any older receipt.
    const std::optional<Receipt> written = Receipt::read(receipt);
    QVERIFY(written);
    QCOMPARE(written->archiveTitle, QStringLiteral("LT_Pack"));
    QCOMPARE(entryNames(QFileInfo(receipt).path(), QDir::Name), QStringList{QFileInfo(receipt).fileName()});
}

void tst_HostileRoot::zeroLengthEntryWithANonZeroCrcIsDamaged()
{
    const QString archive = _dir->filePath(QStringLiteral("LT_Empty.mtzip"));
    // A zero-length entry between two sound ones; its CRC, in the local and
    // the central header, claims data it does not have.
    MTI_VERIFY_TOOL(runPython(QStringLiteral(
        "import sys, struct, zipfile\n"
        "with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_STORED) as z:\n"
        "    z.writestr('Pack/LT_One/LT_One.moti', b'one')\n"
        "    z.writestr('Pack/LT_One/empty.txt', b'')\n"
        "    z.writestr('Pack/LT_One/last.txt', b'last')\n"
        "b = bytearray(open(sys.argv[1], 'rb').read())\n"
        "name = b'Pack/LT_One/empty.txt'\n"
        "local = b.find(name) - 30\n"
        "central = b.find(name, local + 30 + len(name)) - 46\n"
        "assert b[local:local + 4] == b'PK\\x03\\x04' and b[central:central + 4] == b'PK\\x01\\x02'\n"
        "b[local + 14:local + 18] = struct.pack('<I', 0xdeadbeef)\n"
        "b[central + 16:central + 20] = struct.pack('<I', 0xdeadbeef)\n"
        "open(sys.argv[1], 'wb').write(b)\n"),
        {archive}));

    RecordingDelegate delegate;
    ZipArchive zip;
    zip.setDelegate(&delegate);
    QVERIFY(zip.UnzipOpenFile(archive));
    const QString out = _dir->filePath(QStringLiteral("out"));
    QVERIFY(!zip.UnzipFileTo(out, true));
    zip.UnzipCloseFile();
    QVERIFY2(delegate.messages.contains(QStringLiteral("Entry \"Pack/LT_One/empty.txt\" is damaged: CRC error")),
             qPrintable(delegate.messages.join(QLatin1Char('|'))));
    // Like any damaged entry: what is sound is unpacked all the same.
    QCOMPARE(readFile(out + QStringLiteral("/Pack/LT_One/last.txt")), QByteArray("last"));

    // An install of it fails and changes nothing.
    const Run run = mtzip({QStringLiteral("install"), QStringLiteral("--dest"), _root, archive});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains("CRC error"), run.err.constData());
    QCOMPARE(entryNames(_root, QDir::Name), QStringList());
}

QString tst_HostileRoot::makeLargeArchive(QString *templateFolder)
{
    const QString source = _dir->filePath(QStringLiteral("src-many"));
    *templateFolder = source + QStringLiteral("/Pack/LT_Many");
    makeTemplate(*templateFolder, "many");
    for (int i = 0; i < 300; ++i) {
        writeFileOrFail(*templateFolder + QStringLiteral("/Media/clip%1.bin").arg(i, 3, 10, QLatin1Char('0')),
                        QByteArray(4096, char('a' + i % 26)));
    }
    const QString archive = _dir->filePath(QStringLiteral("LT_Many.mtzip"));
    packFolder(source, archive);
    return archive;
}

namespace {

// Gives a watcher time to act between the staging and the swap, which a
// moved folder otherwise passes through in microseconds.
bool pauseBeforeTheSwap(TemplateTransaction::Step step, qsizetype)
{
    if (step == TemplateTransaction::Step::Swap)
        QThread::msleep(30);
    return false;
}

// What the watcher put there itself, maybe after the install had undone
// its work: the attacker's own doing, not the install's.
QStringList withoutLinksTo(QStringList digest, const QString &target)
{
    digest.removeIf([&target](const QString &line) { return line.endsWith(QStringLiteral("\tlink ") + target); });
    return digest;
}

// Paths and contents below root, without modes: what an install must bring over.
QStringList contentsOf(const QString &root)
{
    QStringList lines = treeDigest(root);
    for (QString &line : lines)
        line = line.section(QLatin1Char('\t'), 0, 0) + QLatin1Char('\t') + line.section(QLatin1Char('\t'), 2);
    return lines;
}

} // namespace

void tst_HostileRoot::stagingFolderSwappedForALinkNeverRedirectsTheCopy_data()
{
    QTest::addColumn<bool>("move");
    QTest::newRow("copied, as the application does") << false;
    QTest::newRow("moved out of the unpack folder, as mtzip does") << true;
}

void tst_HostileRoot::stagingFolderSwappedForALinkNeverRedirectsTheCopy()
{
    QFETCH(bool, move);
#if !defined(Q_OS_LINUX)
    QSKIP("The watcher needs inotify.");
#endif
    QString templateFolder;
    const QString archive = makeLargeArchive(&templateFolder);
    const QString target = _dir->filePath(QStringLiteral("target"));
    QVERIFY(QDir().mkpath(target));

    int swaps = 0;
    int installed = 0;
    QElapsedTimer timer;
    timer.start();
    // A race: bounded in tries and in time.
    for (int attempt = 0; attempt < 20 && timer.elapsed() < 20000; ++attempt) {
        const QString root = _dir->filePath(QStringLiteral("root-%1").arg(attempt));
        const QString category = root + QLatin1Char('/') + LowerThirds;
        QVERIFY(QDir().mkpath(category));
        const QStringList before = treeDigest(root);
        auto installer = TemplateInstallerV2::create(QUrl::fromLocalFile(archive), root);
        QVERIFY(installer);
        QVERIFY2(installer->unarchive(), qPrintable(installer->unarchiveError()));

        StagingThief thief(category, _dir->filePath(QStringLiteral("stolen-%1").arg(attempt)), target);
        QVERIFY(thief.isWatching());
        TemplateTransaction::setFaultHook(pauseBeforeTheSwap);
        const std::optional<Error> error =
            installer->installEffects(move ? InstallTransfer::MoveSource : InstallTransfer::Copy);
        TemplateTransaction::setFaultHook(nullptr);
        const int swapped = thief.stop();
        swaps += swapped;
        const QStringList outside = entryNames(target, QDir::Name);
        QVERIFY2(outside.isEmpty(), qPrintable(QStringLiteral("try %1 wrote outside the root: %2")
                                                   .arg(attempt).arg(outside.join(QLatin1Char(' ')))));
        const QString copy = category + QStringLiteral("/LT_Many");
        if (!error) {
            ++installed;
            QVERIFY(!QFileInfo(copy).isSymLink());
            QCOMPARE(contentsOf(copy), contentsOf(templateFolder));
        } else {
            // Failed as any install fails: the folder as it was, and the
            // template's place named, not the hidden folder.
            QVERIFY2(swapped > 0, qPrintable(error->localizedDescription()));
            QVERIFY2(error->localizedDescription().contains(copy), qPrintable(error->localizedDescription()));
            QCOMPARE(withoutLinksTo(treeDigest(root), target), before);
        }
    }
    qInfo("%d staging folders swapped for a link; %d installs went through untouched", swaps, installed);
    QVERIFY2(swaps > 0, "the watcher never swapped a staging folder");
}

void tst_HostileRoot::othersLinkOnTheWayIsRefusedNeverWrittenThrough_data()
{
    QTest::addColumn<QString>("linked");  // in the root, linked to the same place in the outside folder
    QTest::addColumn<bool>("openat2");    // else the walk, one folder at a time
    for (const bool openat2 : {true, false}) {
        const char *how = openat2 ? "openat2" : "walk";
        QTest::addRow("the kind folder, %s", how) << QStringLiteral("Titles.localized") << openat2;
        QTest::addRow("the category folder, %s", how) << LowerThirds << openat2;
    }
}

void tst_HostileRoot::othersLinkOnTheWayIsRefusedNeverWrittenThrough()
{
    QFETCH(QString, linked);
    QFETCH(bool, openat2);
    if (::geteuid() != 0)
        QSKIP("Only root can make a link another user's.");
    const QString archive = makeArchive(QStringLiteral("Pack"), QStringLiteral("One"));
    const QString link = _root + QLatin1Char('/') + linked;
    QVERIFY(QDir().mkpath(QFileInfo(link).path()));
    // Planted by someone else: the user's own links (a folder moved to
    // another disk) are followed.
    QVERIFY(QFile::link(_outside + QLatin1Char('/') + linked, link));
    QCOMPARE(::lchown(QFile::encodeName(link).constData(), 65534, 65534), 0);
    const QStringList outsideBefore = treeDigest(_outside);

    FileOperations::setOpenat2Allowed(openat2);
    auto installer = TemplateInstallerV2::create(QUrl::fromLocalFile(archive), _root);
    QVERIFY(installer);
    QVERIFY2(installer->unarchive(), qPrintable(installer->unarchiveError()));
    const std::optional<Error> error = installer->installEffects();
    FileOperations::setOpenat2Allowed(true);
    QVERIFY(error);
    QVERIFY2(error->localizedDescription().contains(link), qPrintable(error->localizedDescription()));
    QCOMPARE(treeDigest(_outside), outsideBefore);
    // Nothing of the install stays in the root either: its journal is closed.
    QVERIFY(!FileOperations::exists(journalPath()));
}

// Someone else swaps root/linked for a link of theirs to the same place in
// the outside folder, where a template of the same name and contents waits
// (so that it passes for the installed copy).
static bool swapForOthersLink(const QString &root, const QString &outside, const QString &linked, const QString &aside)
{
    const QString link = root + QLatin1Char('/') + linked;
    makeTemplate(outside + QLatin1Char('/') + LowerThirds + QStringLiteral("/LT_One"), "new");
    return QDir().rename(link, aside) && QFile::link(outside + QLatin1Char('/') + linked, link)
        && ::lchown(QFile::encodeName(link).constData(), 65534, 65534) == 0;
}

void tst_HostileRoot::othersLinkIsNeverFollowedByAnUninstall_data()
{
    QTest::addColumn<QString>("linked");
    QTest::addColumn<bool>("toTrash");
    for (const bool toTrash : {true, false}) {
        const char *how = toTrash ? "to the Trash" : "deleted";
        QTest::addRow("the kind folder, %s", how) << QStringLiteral("Titles.localized") << toTrash;
        QTest::addRow("the category folder, %s", how) << LowerThirds << toTrash;
    }
}

void tst_HostileRoot::othersLinkIsNeverFollowedByAnUninstall()
{
    QFETCH(QString, linked);
    QFETCH(bool, toTrash);
    if (::geteuid() != 0)
        QSKIP("Only root can make a link another user's.");
    const QString archive = makeArchive(QStringLiteral("Pack"), QStringLiteral("One"));
    installInProcess(archive);
    QVERIFY(swapForOthersLink(_root, _outside, linked, _dir->filePath(QStringLiteral("aside"))));
    const QStringList outsideBefore = treeDigest(_outside);

    QStringList arguments{QStringLiteral("uninstall"), QStringLiteral("--dest"), _root, archive};
    if (toTrash)
        arguments.append(QStringLiteral("--trash"));
    const Run run = mtzip(arguments);
    QVERIFY(run.finished);
    // Taking it through the link would have taken theirs, to the Trash or for good.
    QCOMPARE(treeDigest(_outside), outsideBefore);
    QVERIFY(!FileOperations::exists(_home.filePath(QStringLiteral(".local/share/Trash/files/LT_One"))));
}

void tst_HostileRoot::restoreNeverFollowsOthersLinkOutOfTheRoot()
{
    if (::geteuid() != 0)
        QSKIP("Only root can make a link another user's.");
    const QString archive = makeArchive(QStringLiteral("Pack"), QStringLiteral("One"));
    installInProcess(archive);
    const Run run = mtzip({QStringLiteral("uninstall"), QStringLiteral("--dest"), _root, QStringLiteral("--trash"), archive});
    QCOMPARE(run.exitCode, 0);
    std::vector<RecentlyRemoved::Item> items = RecentlyRemoved::items(_root);
    QCOMPARE(items.size(), size_t(1));

    // The emptied folders went with the uninstall; someone plants theirs.
    QVERIFY(QDir().mkpath(_root + QStringLiteral("/Titles.localized")));
    QVERIFY(QFile::link(_outside + QLatin1Char('/') + LowerThirds, _root + QLatin1Char('/') + LowerThirds));
    QCOMPARE(::lchown(QFile::encodeName(_root + QLatin1Char('/') + LowerThirds).constData(), 65534, 65534), 0);
    const QStringList outsideBefore = treeDigest(_outside);

    QVERIFY(RecentlyRemoved::restore(items.front()));
    QCOMPARE(treeDigest(_outside), outsideBefore);
    // Still in the Trash, to be restored once the folder is the user's again.
    QVERIFY(FileOperations::exists(items.front().inTrash));
    QCOMPARE(RecentlyRemoved::items(_root).size(), size_t(1));
}

void tst_HostileRoot::rootOthersCanChangeIsRefusedToRoot_data()
{
    QTest::addColumn<QString>("folder");  // relative to the root; empty: the root
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("anotherOwner");
    QTest::addColumn<QString>("why");  // empty: not refused
    const QString writable = QStringLiteral("can be written by other users");
    QTest::newRow("a world-writable root") << QString() << 0777 << false << writable;
    QTest::newRow("a group-writable root") << QString() << 0775 << false << writable;
    QTest::newRow("a world-writable root with the sticky bit") << QString() << 01777 << false << writable;
    QTest::newRow("a world-writable kind folder") << QStringLiteral("Titles.localized") << 0777 << false << writable;
    QTest::newRow("a group-writable category folder") << LowerThirds << 0770 << false << writable;
    QTest::newRow("a root of another user") << QString() << 0755 << true << QStringLiteral("belongs to another user");
    QTest::newRow("a root only root can change") << QString() << 0755 << false << QString();
}

void tst_HostileRoot::rootOthersCanChangeIsRefusedToRoot()
{
    QFETCH(QString, folder);
    QFETCH(int, mode);
    QFETCH(bool, anotherOwner);
    QFETCH(QString, why);
    if (::geteuid() != 0)
        QSKIP("Its owner may work in a folder others can change: the refusal is for root's runs.");
    installInProcess(makeArchive(QStringLiteral("Pack"), QStringLiteral("One")));
    installInProcess(makeArchive(QStringLiteral("Other"), QStringLiteral("Two")));
    const QString third = makeArchive(QStringLiteral("Third"), QStringLiteral("Three"));
    const QString path = folder.isEmpty() ? _root : _root + QLatin1Char('/') + folder;
    QCOMPARE(::chmod(QFile::encodeName(path).constData(), mode_t(mode)), 0);
    if (anotherOwner)
        QCOMPARE(::chown(QFile::encodeName(path).constData(), 65534, 65534), 0);

    const QList<QStringList> commands = {
        {QStringLiteral("install"), QStringLiteral("--dest"), _root, third},
        {QStringLiteral("uninstall"), QStringLiteral("--dest"), _root, _dir->filePath(QStringLiteral("LT_Pack.mtzip"))},
        {QStringLiteral("remove"), QStringLiteral("--dest"), _root, QStringLiteral("LT_Other")},
    };
    for (const QStringList &command : commands) {
        const QStringList before = treeDigest(_root);
        const Run run = mtzip(command);
        QVERIFY(run.finished);
        if (why.isEmpty()) {
            QVERIFY2(run.exitCode == 0, run.err.constData());
            continue;
        }
        QVERIFY2(run.exitCode == 1, qPrintable(command.first() + QLatin1Char(' ') + QString::fromUtf8(run.err)));
        QVERIFY2(run.err.contains(QStringLiteral("'%1' %2").arg(path, why).toUtf8()), run.err.constData());
        const QString fix = anotherOwner ? QStringLiteral("chown root '%1'") : QStringLiteral("chmod go-w '%1'");
        QVERIFY2(run.err.contains(fix.arg(path).toUtf8()), run.err.constData());
        QCOMPARE(treeDigest(_root), before);
    }
    const QString category = _root + QLatin1Char('/') + LowerThirds;
    QCOMPARE(entryNames(category, QDir::Name),
             why.isEmpty() ? QStringList{QStringLiteral("LT_Three")}
                           : QStringList({QStringLiteral("LT_One"), QStringLiteral("LT_Two")}));
}

QTEST_GUILESS_MAIN(tst_HostileRoot)
#include "tst_HostileRoot.moc"
