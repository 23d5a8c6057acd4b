// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "CliTestTools.h"
#include "TestSupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <chrono>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace TestSupport;

// Archive arguments that are not regular files are refused with a reason,
// without waiting on them.
class tst_CliSpecialFiles : public QObject
{
    Q_OBJECT

private slots:
    void refusesFifoWithoutOpeningIt_data();
    void refusesFifoWithoutOpeningIt();
};

void tst_CliSpecialFiles::refusesFifoWithoutOpeningIt_data()
{
    QTest::addColumn<QString>("command");
    QTest::newRow("list") << "list";
    QTest::newRow("install") << "install";
    QTest::newRow("uninstall") << "uninstall";
    QTest::newRow("extract") << "extract";
}

void tst_CliSpecialFiles::refusesFifoWithoutOpeningIt()
{
    QFETCH(QString, command);

    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    const QString fifo = tmp.filePath(QStringLiteral("LT_Pipe.mtzip"));
    const QString dest = tmp.filePath(QStringLiteral("dest"));
    QVERIFY(QDir().mkpath(dest));
    QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);

    // A reader blocked in open() of the FIFO is released by opening its write
    // end, which succeeds only while a reader waits: so a hang becomes a
    // recorded failure instead of a test that never ends.
    std::atomic<bool> done{false};
    std::atomic<bool> readerWasWaiting{false};
    std::thread releaser([&] {
        const QByteArray path = QFile::encodeName(fifo);
        while (!done) {
            const int fd = ::open(path.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0) {
                readerWasWaiting = true;
                ::close(fd);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });

    const QStringList arguments = command == QLatin1String("extract")
        ? QStringList{command, fifo, tmp.filePath(QStringLiteral("out"))}
        : QStringList{command, QStringLiteral("--dest"), dest, fifo};
    const CliRun run = runMtzip(arguments);
    done = true;
    releaser.join();

    QVERIFY2(!readerWasWaiting, "mtzip blocked opening the FIFO");
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains(QLatin1String("named pipe")), qPrintable(run.err));
    QVERIFY(!QFileInfo::exists(tmp.filePath(QStringLiteral("out"))));
}

QTEST_GUILESS_MAIN(tst_CliSpecialFiles)
#include "tst_CliSpecialFiles.moc"
