// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
// Replays the archives kept from fuzzing (tests/data/fuzz/) through the same
// unpacking the fuzz target does: each must come back without crashing, leave
// the archive as it was, and write nothing outside its destination folder.
#include "TestSupport.h"
#include "ZipArchive/ZipArchive.h"
#include "ZipTestTools.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>

using TestSupport::entryNames;

namespace {

const QString FuzzDataDir = QStringLiteral(MTI_TEST_DATA_DIR "/fuzz");

// The outcomes we know for the hand-picked inputs. Inputs the fuzzer found
// (crash-*, leak-*, ...) are only held to confinement.
enum class Outcome { NotAnArchive, Refused, Fails, Succeeds };

const QHash<QString, Outcome> &knownOutcomes()
{
    static const QHash<QString, Outcome> outcomes = {
        {QStringLiteral("truncated-half.zip"), Outcome::NotAnArchive},
        {QStringLiteral("truncated-no-end.zip"), Outcome::NotAnArchive},
        {QStringLiteral("bad-parent.zip"), Outcome::Refused},
        {QStringLiteral("bad-nested-parent.zip"), Outcome::Refused},
        {QStringLiteral("bad-absolute.zip"), Outcome::Refused},
        {QStringLiteral("bad-drive.zip"), Outcome::Refused},
        {QStringLiteral("bad-backslash.zip"), Outcome::Refused},
        {QStringLiteral("bad-dotdot-dir.zip"), Outcome::Refused},
        {QStringLiteral("corrupt-data.zip"), Outcome::Fails},
        {QStringLiteral("file-then-folder.zip"), Outcome::Fails},
        {QStringLiteral("py-dot-slash.zip"), Outcome::Succeeds},
        {QStringLiteral("fuzzed-one-byte.zip"), Outcome::NotAnArchive},
        {QStringLiteral("fuzzed-unknown-method.zip"), Outcome::Refused},
        {QStringLiteral("fuzzed-unknown-encryption.zip"), Outcome::Refused},
        {QStringLiteral("fuzzed-inflate-error.zip"), Outcome::Fails},
        {QStringLiteral("fuzzed-premature-end.zip"), Outcome::Fails},
        {QStringLiteral("fuzzed-size-mismatch.zip"), Outcome::Fails},
    };
    return outcomes;
}

QByteArray sha256Of(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

int filesBelow(const QString &folder)
{
    int count = 0;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        ++count;
    }
    return count;
}

struct Run
{
    bool opened = false;
    bool unpacked = false;
    QStringList messages;
};

Run unpack(const QString &archive, const QString &destination, const QString *password, bool overWrite)
{
    // Answers every overwrite question with no.
    ZipTestTools::RecordingDelegate delegate(false);
    ZipArchive zip;
    zip.setDelegate(&delegate);
    Run run;
    run.opened = password ? zip.UnzipOpenFile(archive, *password) : zip.UnzipOpenFile(archive);
    if (run.opened)
        run.unpacked = zip.UnzipFileTo(destination, overWrite);
    zip.UnzipCloseFile();
    run.messages = delegate.messages;
    return run;
}

} // namespace

class tst_FuzzRegressions : public QObject
{
    Q_OBJECT

private slots:
    void replay_data();
    void replay();
    void replayInstall_data();
    void replayInstall();
};

void tst_FuzzRegressions::replay_data()
{
    QTest::addColumn<QString>("input");

    const QStringList names = QDir(FuzzDataDir).entryList(QDir::Files, QDir::Name);
    QVERIFY2(!names.isEmpty(), qPrintable(QStringLiteral("no inputs in ") + FuzzDataDir));
    for (const QString &name : names)
        QTest::newRow(qPrintable(name)) << FuzzDataDir + QLatin1Char('/') + name;
    for (auto it = knownOutcomes().cbegin(); it != knownOutcomes().cend(); ++it)
        QVERIFY2(names.contains(it.key()), qPrintable(it.key() + QStringLiteral(" is missing")));
}

void tst_FuzzRegressions::replay()
{
    QFETCH(QString, input);

    QTemporaryDir base;
    QVERIFY(base.isValid());
    const QString archive = base.filePath(QStringLiteral("input.zip"));
    const QString parent = base.filePath(QStringLiteral("parent"));
    const QString destination = parent + QStringLiteral("/dest");
    QVERIFY(QFile::copy(input, archive));
    QVERIFY(QDir().mkpath(parent));
    const QByteArray before = sha256Of(archive);

    const QString password = QStringLiteral("secret");
    const Run plain = unpack(archive, destination, nullptr, true);
    const Run withPassword = unpack(archive, destination, &password, false);

    QCOMPARE(sha256Of(archive), before);
    // Every failure names its cause; libzip's "No error" is no cause.
    for (const QString &message : plain.messages + withPassword.messages)
        QVERIFY2(!message.endsWith(QLatin1String(": No error")), qPrintable(message));
    QCOMPARE(entryNames(base.path(), QDir::Name), QStringList({QStringLiteral("input.zip"), QStringLiteral("parent")}));
    const QStringList inParent = entryNames(parent, QDir::Name);
    QVERIFY2(inParent.isEmpty() || inParent == QStringList(QStringLiteral("dest")),
             qPrintable(inParent.join(QLatin1String(", "))));
    QDirIterator it(destination, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo entry(it.next());
        QVERIFY2(!entry.isSymLink(), qPrintable(entry.filePath()));
    }

    const auto known = knownOutcomes().constFind(QFileInfo(input).fileName());
    if (known == knownOutcomes().cend())
        return;
    switch (*known) {
    case Outcome::NotAnArchive:
        QVERIFY(!plain.opened);
        QVERIFY(!withPassword.opened);
        QVERIFY(!QFileInfo::exists(destination));
        break;
    case Outcome::Refused:
        // Refused as a whole: not even the harmless entries are written.
        QVERIFY(plain.opened);
        QVERIFY(!plain.unpacked);
        QVERIFY(!withPassword.unpacked);
        QCOMPARE(filesBelow(parent), 0);
        break;
    case Outcome::Fails:
        // The second run keeps what the first wrote, so only the first counts.
        QVERIFY(plain.opened);
        QVERIFY(!plain.unpacked);
        break;
    case Outcome::Succeeds:
        QVERIFY(plain.unpacked);
        QVERIFY(withPassword.unpacked);
        QVERIFY(filesBelow(destination) > 0);
        break;
    }
}

// What fuzz_install found (tests/data/fuzz/install/) goes the way the target
// takes it, through mtzip: in a build with sanitizers (see fuzz/README.md)
// the same faults end the process.
void tst_FuzzRegressions::replayInstall_data()
{
    QTest::addColumn<QString>("input");
    const QString folder = FuzzDataDir + QStringLiteral("/install");
    const QStringList names = QDir(folder).entryList(QDir::Files, QDir::Name);
    QVERIFY(!names.isEmpty());
    for (const QString &name : names)
        QTest::newRow(qPrintable(name)) << folder + QLatin1Char('/') + name;
}

void tst_FuzzRegressions::replayInstall()
{
    QFETCH(QString, input);
    QTemporaryDir base;
    QVERIFY(base.isValid());
    const QString archive = base.filePath(QStringLiteral("LT_Fuzz.mtzip"));
    const QString root = base.filePath(QStringLiteral("root"));
    QVERIFY(QFile::copy(input, archive));
    QVERIFY(QDir().mkpath(root));
    const QByteArray before = sha256Of(archive);
    for (const QString &command : {QStringLiteral("install"), QStringLiteral("install"), QStringLiteral("verify"),
                                   QStringLiteral("uninstall")}) {
        QProcess mtzip;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), base.path());
        environment.insert(QStringLiteral("XDG_DATA_HOME"), base.filePath(QStringLiteral("home")));
        mtzip.setProcessEnvironment(environment);
        QStringList arguments{command, QStringLiteral("--dest"), root};
        if (command != QLatin1String("verify"))
            arguments.append(archive);
        mtzip.start(QStringLiteral(MTI_MTZIP_BINARY), arguments);
        QVERIFY(mtzip.waitForFinished(60000));
        // Refusing the archive is fine; crashing on it is not.
        QCOMPARE(mtzip.exitStatus(), QProcess::NormalExit);
        QVERIFY2(mtzip.exitCode() <= 1, mtzip.readAllStandardError().constData());
    }
    QCOMPARE(sha256Of(archive), before);
    QDirIterator left(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (left.hasNext()) {
        const QString relative = QDir(root).relativeFilePath(left.next());
        QVERIFY2(relative.startsWith(QLatin1String(".mti-")) || relative.startsWith(QLatin1String(".receipts/")),
                 qPrintable(relative + QStringLiteral(" was left after the uninstall")));
    }
}

QTEST_GUILESS_MAIN(tst_FuzzRegressions)
#include "tst_FuzzRegressions.moc"
