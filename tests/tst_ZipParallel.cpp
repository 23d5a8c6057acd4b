// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
// Unpacking on worker threads must be indistinguishable from unpacking on
// the caller's thread: same files, messages, answer and typed error.
#include "ZipArchive/ZipArchive.h"
#include "ZipTestTools.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace TestSupport;
using namespace ZipTestTools;

namespace {

// Several entries of several chunks each, so that workers overlap, plus a
// nested folder, an empty folder and an empty file.
Tree sampleTree()
{
    Tree tree;
    for (int i = 0; i < 6; ++i) {
        tree.insert(QStringLiteral("media/clip%1.bin").arg(i), noise(150000 + 40000 * i, quint32(i + 1)));
        tree.insert(QStringLiteral("text/t%1.txt").arg(i), compressibleText(90000, i));
    }
    tree.insert(QStringLiteral("empty/"), {});
    tree.insert(QStringLiteral("zero.bin"), {});
    return withParentFolders(tree);
}

struct Outcome
{
    bool answer = false;
    QStringList messages;
    ZipError error;
    QStringList digest;
    QList<QPair<qint64, qint64>> reports;
    int workers = 0;
};

// Unpacks archive into destination with that many workers (1: the caller's thread).
Outcome unpack(const QString &archive, const QString &destination, int workers, int cancelAt = -1)
{
    ZipArchive zip;
    RecordingDelegate delegate;
    RecordingProgress progress(cancelAt);
    zip.setDelegate(&delegate);
    zip.setProgressListener(&progress);
    zip.setWorkerCount(workers);
    Outcome outcome;
    if (zip.UnzipOpenFile(archive)) {
        outcome.answer = zip.UnzipFileTo(destination, true);
        outcome.workers = zip.lastWorkers();
    }
    outcome.error = zip.lastError();
    zip.UnzipCloseFile();
    // Messages name the destination: compare them as if both were one.
    for (const QString &message : std::as_const(delegate.messages))
        outcome.messages.append(QString(message).replace(destination, QStringLiteral("<out>")));
    outcome.error.detail.replace(destination, QStringLiteral("<out>"));
    outcome.digest = treeDigest(destination);
    outcome.reports = progress.reports;
    return outcome;
}

// A copy of archive whose byte at offset is flipped.
QString corrupted(const QString &archive, const QString &copy, qsizetype offset)
{
    QByteArray bytes = readFile(archive);
    bytes[offset] = char(bytes[offset] ^ 0x5a);
    return writeFile(copy, bytes) ? copy : QString();
}

} // namespace

class tst_ZipParallel : public QObject
{
    Q_OBJECT

private slots:
    void bothPathsGiveTheSameResult_data();
    void bothPathsGiveTheSameResult();
    void cancelAtEveryStepStopsBothPathsAlike();
    void lowDescriptorLimitMeansFewerWorkersNotFailure();
    void namesOneFileSystemWouldMergeStayOnOneThread_data();
    void namesOneFileSystemWouldMergeStayOnOneThread();
};

void tst_ZipParallel::bothPathsGiveTheSameResult_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");
    // Where to spoil the archive (-1: nowhere), or a file put where the
    // archive needs a folder.
    QTest::addColumn<qsizetype>("damageAt");
    QTest::addColumn<QString>("blocker");

    QTest::newRow("our writer") << "ours" << QStringList() << qsizetype(-1) << QString();
    QTest::newRow("python zipfile") << "python" << QStringList() << qsizetype(-1) << QString();
    QTest::newRow("Info-ZIP") << "zip" << strings({"-r", "-q", "../archive.zip", "."}) << qsizetype(-1) << QString();
    QTest::newRow("Info-ZIP stored") << "zip" << strings({"-r", "-q", "-0", "../archive.zip", "."}) << qsizetype(-1)
                                     << QString();
    QTest::newRow("bsdtar") << "bsdtar" << strings({"-a", "-cf", "../archive.zip", "."}) << qsizetype(-1) << QString();
    QTest::newRow("7z") << "7z" << strings({"a", "-tzip", "-bd", "../archive.zip", "."}) << qsizetype(-1) << QString();
    QTest::newRow("7z bzip2") << "7z" << strings({"a", "-tzip", "-mm=BZip2", "-bd", "../archive.zip", "."})
                              << qsizetype(-1) << QString();
    // Inside the deflated data of an early entry: a CRC or inflate error,
    // reported and the walk goes on.
    QTest::newRow("damaged entry data") << "zip" << strings({"-r", "-q", "../archive.zip", "."}) << qsizetype(5000)
                                        << QString();
    QTest::newRow("a file where a folder must go") << "zip" << strings({"-r", "-q", "../archive.zip", "."})
                                                   << qsizetype(-1) << QStringLiteral("text");
}

void tst_ZipParallel::bothPathsGiveTheSameResult()
{
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    QFETCH(qsizetype, damageAt);
    QFETCH(QString, blocker);

    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    const Tree source = sampleTree();
    const QString src = tmp.filePath(QStringLiteral("src"));
    QString archive = tmp.filePath(QStringLiteral("archive.zip"));
    QVERIFY(writeTree(src, source));
    if (program == QLatin1String("ours")) {
        packFolder(src, archive);
    } else if (program == QLatin1String("python")) {
        EntryList entries;
        for (auto it = source.cbegin(); it != source.cend(); ++it)
            entries.append({it.key(), it.value()});
        MTI_VERIFY_TOOL(writeZipWithPython(archive, entries));
    } else {
        if (!isInstalled(program))
            QSKIP(qPrintable(program + QStringLiteral(" is not installed")));
        MTI_VERIFY_TOOL(runTool(program, arguments, src));
    }
    if (damageAt >= 0) {
        archive = corrupted(archive, tmp.filePath(QStringLiteral("damaged.zip")), damageAt);
        QVERIFY(!archive.isEmpty());
    }

    const QString sequentialOut = tmp.filePath(QStringLiteral("seq"));
    const QString parallelOut = tmp.filePath(QStringLiteral("par"));
    if (!blocker.isEmpty()) {
        QVERIFY(writeFile(sequentialOut + QLatin1Char('/') + blocker, "in the way"));
        QVERIFY(writeFile(parallelOut + QLatin1Char('/') + blocker, "in the way"));
    }
    const Outcome sequential = unpack(archive, sequentialOut, 1);
    const Outcome parallel = unpack(archive, parallelOut, 2);
    QCOMPARE(sequential.workers, 0);
    QCOMPARE(parallel.workers, 2);
    QCOMPARE(parallel.answer, sequential.answer);
    QCOMPARE(parallel.messages, sequential.messages);
    QCOMPARE(parallel.error.code, sequential.error.code);
    QCOMPARE(parallel.error.detail, sequential.error.detail);
    QCOMPARE(parallel.digest, sequential.digest);
    // Every chunk is reported on both paths; the order of chunks differs.
    QCOMPARE(parallel.reports.size(), sequential.reports.size());
    QCOMPARE(parallel.reports.constLast(), sequential.reports.constLast());
    for (qsizetype i = 1; i < parallel.reports.size(); ++i)
        QVERIFY(parallel.reports.at(i).first >= parallel.reports.at(i - 1).first);

    if (damageAt < 0 && blocker.isEmpty()) {
        QVERIFY(sequential.answer);
        QCOMPARE(sequential.error.code, ZipError::None);
    } else {
        QVERIFY(!sequential.answer);
        QCOMPARE(sequential.error.code, damageAt >= 0 ? ZipError::Damaged : ZipError::WriteFailed);
    }
}

void tst_ZipParallel::cancelAtEveryStepStopsBothPathsAlike()
{
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    const Tree source = sampleTree();
    const QString archive = tmp.filePath(QStringLiteral("archive.zip"));
    QVERIFY(writeTree(tmp.filePath(QStringLiteral("src")), source));
    packFolder(tmp.filePath(QStringLiteral("src")), archive);

    const Outcome whole = unpack(archive, tmp.filePath(QStringLiteral("whole")), 1);
    QVERIFY(whole.answer);
    const qsizetype steps = whole.reports.size();
    QVERIFY(steps > 10);
    const Tree full = readTree(tmp.filePath(QStringLiteral("whole")));

    for (int workers : {1, 2}) {
        for (int cancelAt = 0; cancelAt < steps; ++cancelAt) {
            const QString out = tmp.filePath(QStringLiteral("cancel-%1-%2").arg(workers).arg(cancelAt));
            const Outcome cancelled = unpack(archive, out, workers, cancelAt);
            const QString where = QStringLiteral("workers %1, cancel at %2").arg(workers).arg(cancelAt);
            QVERIFY2(!cancelled.answer, qPrintable(where));
            QCOMPARE(cancelled.messages, QStringList{QStringLiteral("Cancelled")});
            QCOMPARE(cancelled.error.code, ZipError::Cancelled);
            // Not one report after the cancel: every worker stopped at once.
            QCOMPARE(cancelled.reports.size(), cancelAt + 1);
            // What is left is whole files only.
            const Tree left = readTree(out);
            for (auto it = left.cbegin(); it != left.cend(); ++it)
                QVERIFY2(full.value(it.key()) == it.value(), qPrintable(it.key() + QLatin1Char(' ') + where));
        }
    }
}

void tst_ZipParallel::namesOneFileSystemWouldMergeStayOnOneThread_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<int>("workers");
    QTest::newRow("case") << "Titles/Glow/x.moti" << "titles/glow/X.moti" << 0;
    QTest::newRow("composed and decomposed")
        << QString::fromUtf8("Titles/Caf\u00e9.moti") << QString::fromUtf8("Titles/Cafe\u0301.moti") << 0;
    QTest::newRow("distinct names may go to workers") << "Titles/a.moti" << "Titles/b.moti" << 2;
}

// On a case-insensitive or normalizing file system (macOS's) both entries
// land in one file: two workers would write it at once.
void tst_ZipParallel::namesOneFileSystemWouldMergeStayOnOneThread()
{
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(int, workers);
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    const QString archive = tmp.filePath(QStringLiteral("archive.zip"));
    MTI_VERIFY_TOOL(writeZipWithPython(archive, {{first, noise(300000)}, {second, noise(300000)}}));
    const Outcome outcome = unpack(archive, tmp.filePath(QStringLiteral("out")), 2);
    QVERIFY(outcome.answer);
    QCOMPARE(outcome.workers, workers);
}

void tst_ZipParallel::lowDescriptorLimitMeansFewerWorkersNotFailure()
{
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    const QString archive = tmp.filePath(QStringLiteral("archive.zip"));
    QVERIFY(writeTree(tmp.filePath(QStringLiteral("src")), sampleTree()));
    packFolder(tmp.filePath(QStringLiteral("src")), archive);
    const QStringList expected = unpack(archive, tmp.filePath(QStringLiteral("expected")), 1).digest;

    const int open = TestSupport::openDescriptorCount();
    QList<int> workersSeen;
    // From just enough for the caller's thread to room for every worker.
    for (int spare = 3; spare <= 12; ++spare) {
        const QString out = tmp.filePath(QStringLiteral("out-%1").arg(spare));
        const pid_t child = ::fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            const rlimit limit{rlim_t(open + spare), rlim_t(open + spare)};
            if (::setrlimit(RLIMIT_NOFILE, &limit) != 0)
                ::_exit(100);
            ZipArchive zip;
            zip.setWorkerCount(4);
            if (!zip.UnzipOpenFile(archive))
                ::_exit(101);
            const bool ok = zip.UnzipFileTo(out, true);
            const int workers = zip.lastWorkers();
            zip.UnzipCloseFile();
            ::_exit(ok ? workers : 102);
        }
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY(WIFEXITED(status));
        const int code = WEXITSTATUS(status);
        QVERIFY2(code <= 4, qPrintable(QStringLiteral("spare %1: child exited with %2").arg(spare).arg(code)));
        QCOMPARE(treeDigest(out), expected);
        workersSeen.append(code);
    }
    // The lowest limits leave no room for workers, the highest for all four.
    QCOMPARE(workersSeen.constFirst(), 0);
    QCOMPARE(workersSeen.constLast(), 4);
}

QTEST_GUILESS_MAIN(tst_ZipParallel)
#include "tst_ZipParallel.moc"
