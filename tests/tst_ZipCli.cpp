// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "CliTestTools.h"
#include "Cli/Cli.h"
#include "ZipTestTools.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

using namespace TestSupport;
using namespace ZipTestTools;

namespace {

Tree sampleTree()
{
    return withParentFolders({
        {QStringLiteral("Titles/Lower Third/Lower Third.moti"), compressibleText(30000, 1)},
        {QStringLiteral("Titles/Lower Third/large.png"), noise(200000)},
        {QString::fromUtf8("Effects/Ünïcødé/effect.moef"), compressibleText(800, 2)},
        {QStringLiteral("empty.txt"), {}},
    });
}

} // namespace

class tst_ZipCli : public QObject
{
    Q_OBJECT

private slots:
    void helpIsPrinted_data();
    void helpIsPrinted();
    void usageErrorsAreOneLine_data();
    void usageErrorsAreOneLine();
    void packThenExtractRoundTrip_data();
    void packThenExtractRoundTrip();
    void extractWithWrongOrMissingPasswordFails_data();
    void extractWithWrongOrMissingPasswordFails();
    void passwordFromFileOrEnvironment_data();
    void passwordFromFileOrEnvironment();
    void packRefusesAnEmptyPasswordFile();
    void extractReportsUnsafeArchives();
    void extractRefusesWhatIsNoArchive();
    void failedPackKeepsTheExistingArchive();
    void packRefusesAMissingFolder();
    void packSkipsAnArchiveInsideTheFolder();
    void packedArchiveIsReadByUnzip();
    void packWritesModesForFilesAndFolders_data();
    void packWritesModesForFilesAndFolders();
    void progressIsDrawnOnlyOnATerminal();
    void binaryPassesTheExitCodeOn();
};

void tst_ZipCli::helpIsPrinted_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("mentions");

    QTest::newRow("general help lists both commands") << strings({"--help"}) << "pack DIR ARCHIVE";
    QTest::newRow("extract help names its arguments") << strings({"extract", "--help"}) << "ARCHIVE";
    QTest::newRow("extract help lists the password option") << strings({"extract", "--help"}) << "--password";
    QTest::newRow("pack help names its arguments") << strings({"pack", "--help"}) << "DIR";
    QTest::newRow("pack help lists the password option") << strings({"pack", "-h"}) << "--password";
    // A command that borrows another's options must not declare one twice:
    // Qt complains on stderr at every run of it.
    for (const char *command : {"list", "install", "uninstall", "installed", "verify", "remove", "owner", "files", "info",
                                "hide", "show", "check", "collect"})
        QTest::addRow("%s help", command) << strings({command, "--help"}) << QStringLiteral("mtzip %1").arg(QLatin1String(command));
}

void tst_ZipCli::helpIsPrinted()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, mentions);

    const CliRun run = runMtzip(arguments);
    QCOMPARE(run.exitCode, int(Cli::Success));
    QVERIFY2(run.out.contains(mentions), qPrintable(run.out));
    QCOMPARE(run.err, QString());
}

void tst_ZipCli::usageErrorsAreOneLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("mentions");

    QTest::newRow("no command") << QStringList() << "no command";
    QTest::newRow("unknown command") << strings({"explode"}) << "explode";
    QTest::newRow("extract without a destination") << strings({"extract", "a.zip"}) << "got 1";
    QTest::newRow("extract with too many arguments") << strings({"extract", "a.zip", "b", "c"}) << "got 3";
    QTest::newRow("extract with an unknown option") << strings({"extract", "--bogus", "a.zip", "b"}) << "bogus";
    QTest::newRow("password and password file together")
        << strings({"extract", "a.zip", "b", "--password", "x", "--password-file", "f"}) << "exclude each other";
    QTest::newRow("extract with a password option lacking its value") << strings({"extract", "a.zip", "b", "--password"})
                                                                        << "password";
    QTest::newRow("pack without arguments") << strings({"pack"}) << "got 0";
}

void tst_ZipCli::usageErrorsAreOneLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, mentions);

    const CliRun run = runMtzip(arguments);
    QCOMPARE(run.exitCode, int(Cli::UsageError));
    QCOMPARE(run.out, QString());
    QVERIFY2(run.err.startsWith(QLatin1String("mtzip: ")), qPrintable(run.err));
    QVERIFY2(run.err.count(QLatin1Char('\n')) == 1 && run.err.endsWith(QLatin1Char('\n')), qPrintable(run.err));
    QVERIFY2(run.err.contains(mentions), qPrintable(run.err));
}

void tst_ZipCli::packThenExtractRoundTrip_data()
{
    QTest::addColumn<QString>("password");

    QTest::newRow("without a password") << QString();
    QTest::newRow("with a password") << QStringLiteral("c0rrect horse");
}

void tst_ZipCli::packThenExtractRoundTrip()
{
    QFETCH(QString, password);

    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    const Tree source = sampleTree();
    QVERIFY(writeTree(tmp.filePath(QStringLiteral("src")), source));
    const QString archive = tmp.filePath(QStringLiteral("pack.zip"));
    QStringList passwordArguments;
    if (!password.isNull())
        passwordArguments << QStringLiteral("--password") << password;

    CliRun run = runMtzip(QStringList{QStringLiteral("pack"), tmp.filePath(QStringLiteral("src")), archive} + passwordArguments);
    QCOMPARE(run.err, QString());
    QCOMPARE(run.exitCode, int(Cli::Success));

    const QString out = tmp.filePath(QStringLiteral("new/out"));
    run = runMtzip(QStringList{QStringLiteral("extract"), archive, out} + passwordArguments);
    QCOMPARE(run.err, QString());
    QCOMPARE(run.out, QString());
    QCOMPARE(run.exitCode, int(Cli::Success));
    const QString difference = treeDifference(readTree(out), source);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
}

void tst_ZipCli::extractWithWrongOrMissingPasswordFails_data()
{
    QTest::addColumn<QStringList>("passwordArguments");
    QTest::addColumn<QString>("mentions");

    QTest::addColumn<QString>("lastLine");  // %1: the archive

    QTest::newRow("wrong password") << strings({"--password", "wrong"}) << "mtzip: Error occurs\n"
                                    << "mtzip: extracting \"%1\" failed\n";
    QTest::newRow("no password") << QStringList() << "needs a password"
                                 << "mtzip: \"%1\" is encrypted: give a password with --password, "
                                    "--password-file or MTZIP_PASSWORD\n";
}

void tst_ZipCli::extractWithWrongOrMissingPasswordFails()
{
    QFETCH(QStringList, passwordArguments);
    QFETCH(QString, mentions);
    QFETCH(QString, lastLine);

    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    QVERIFY(writeTree(tmp.filePath(QStringLiteral("src")), sampleTree()));
    const QString archive = tmp.filePath(QStringLiteral("pack.zip"));
    QCOMPARE(runMtzip(strings({"pack", "--password", "right"}) << tmp.filePath(QStringLiteral("src")) << archive).exitCode,
             int(Cli::Success));

    const CliRun run = runMtzip(QStringList{QStringLiteral("extract"), archive, tmp.filePath(QStringLiteral("out"))}
                             + passwordArguments);
    QCOMPARE(run.exitCode, int(Cli::Failure));
    QVERIFY2(run.err.contains(mentions), qPrintable(run.err));
    QVERIFY2(run.err.endsWith(lastLine.arg(archive)), qPrintable(run.err));
    if (passwordArguments.isEmpty())
        QVERIFY2(!run.err.contains(QStringLiteral("Error occurs")), qPrintable(run.err));
}

void tst_ZipCli::passwordFromFileOrEnvironment_data()
{
    QTest::addColumn<QByteArray>("fileContents");  // null: no --password-file
    QTest::addColumn<QByteArray>("environment");   // null: MTZIP_PASSWORD unset
    QTest::addColumn<bool>("opens");

    QTest::newRow("file with a line break") << QByteArray("s3cret pass\n") << QByteArray() << true;
    QTest::newRow("file with CRLF and more lines") << QByteArray("s3cret pass\r\nignored\n") << QByteArray() << true;
    QTest::newRow("file with a wrong password") << QByteArray("nope\n") << QByteArray() << false;
    QTest::newRow("environment") << QByteArray() << QByteArray("s3cret pass") << true;
    QTest::newRow("file wins over environment") << QByteArray("s3cret pass") << QByteArray("nope") << true;
}

void tst_ZipCli::passwordFromFileOrEnvironment()
{
    QFETCH(QByteArray, fileContents);
    QFETCH(QByteArray, environment);
    QFETCH(bool, opens);

    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    QVERIFY(writeTree(tmp.filePath(QStringLiteral("src")), sampleTree()));
    const QString archive = tmp.filePath(QStringLiteral("pack.zip"));
    QCOMPARE(runMtzip(strings({"pack", "--password", "s3cret pass"}) << tmp.filePath(QStringLiteral("src")) << archive)
                 .exitCode,
             int(Cli::Success));

    QStringList arguments{QStringLiteral("extract"), archive, tmp.filePath(QStringLiteral("out"))};
    if (!fileContents.isNull()) {
        const QString passwordFile = tmp.filePath(QStringLiteral("password.txt"));
        QVERIFY(writeFile(passwordFile, fileContents));
        arguments << QStringLiteral("--password-file") << passwordFile;
    }
    if (!environment.isNull())
        qputenv("MTZIP_PASSWORD", environment);
    const CliRun run = runMtzip(arguments);
    qunsetenv("MTZIP_PASSWORD");
    QCOMPARE(run.exitCode, int(opens ? Cli::Success : Cli::Failure));
    if (opens) {
        const QString difference = treeDifference(readTree(tmp.filePath(QStringLiteral("out"))), sampleTree());
        QVERIFY2(difference.isEmpty(), qPrintable(difference));
    }
}

void tst_ZipCli::packRefusesAnEmptyPasswordFile()
{
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    QVERIFY(writeTree(tmp.filePath(QStringLiteral("src")), sampleTree()));
    const QString passwordFile = tmp.filePath(QStringLiteral("password.txt"));
    QVERIFY(writeFile(passwordFile, "\nthe second line is not read\n"));
    const QString archive = tmp.filePath(QStringLiteral("pack.zip"));
    // Asked for encryption, it never writes a plain archive instead.
    const CliRun run = runMtzip({QStringLiteral("pack"), QStringLiteral("--password-file"), passwordFile,
                              tmp.filePath(QStringLiteral("src")), archive});
    QCOMPARE(run.exitCode, int(Cli::Failure));
    QVERIFY2(run.err.contains(QLatin1String("holds no password")), qPrintable(run.err));
    QVERIFY(!QFileInfo::exists(archive));
}

void tst_ZipCli::extractReportsUnsafeArchives()
{
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    const QString archive = tmp.filePath(QStringLiteral("evil.zip"));
    MTI_VERIFY_TOOL(writeZipWithPython(archive, {{QStringLiteral("fine.txt"), "fine"},
                                                 {QStringLiteral("../evil.txt"), "evil"}}));

    const CliRun run = runMtzip({QStringLiteral("extract"), archive, tmp.filePath(QStringLiteral("out"))});
    QCOMPARE(run.exitCode, int(Cli::Failure));
    QVERIFY2(run.err.contains(QLatin1String("\"../evil.txt\"")), qPrintable(run.err));
    QCOMPARE(run.err.count(QLatin1Char('\n')), 2);
    QCOMPARE(readTree(tmp.path()), (Tree{{QStringLiteral("evil.zip"), readFile(archive)}}));
}

void tst_ZipCli::extractRefusesWhatIsNoArchive()
{
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    const QString text = tmp.filePath(QStringLiteral("notes.txt"));
    QVERIFY(writeFile(text, "not a zip"));

    const QString missing = tmp.filePath(QStringLiteral("missing.zip"));
    // One line each, saying why.
    const QList<std::pair<QString, QString>> cases = {
        {text, QStringLiteral("mtzip: \"%1\" is not a zip archive, or it is damaged\n").arg(text)},
        {missing, QStringLiteral("mtzip: Cannot open \"%1\": No such file or directory\n").arg(missing)},
        {tmp.path(), QStringLiteral("mtzip: \"%1\" is a folder, not a file\n").arg(tmp.path())},
    };
    for (const auto &[archive, message] : cases) {
        const CliRun run = runMtzip({QStringLiteral("extract"), archive, tmp.filePath(QStringLiteral("out"))});
        QCOMPARE(run.exitCode, int(Cli::Failure));
        QCOMPARE(run.err, message);
    }
    QVERIFY(!QFileInfo::exists(tmp.filePath(QStringLiteral("out"))));
}

void tst_ZipCli::failedPackKeepsTheExistingArchive()
{
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    QVERIFY(writeTree(tmp.filePath(QStringLiteral("src")), sampleTree()));
    const QString archive = tmp.filePath(QStringLiteral("pack.zip"));
    QVERIFY(writeFile(archive, "the previous archive"));

    // A password that traditional encryption cannot take refuses the pack.
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("password is not 7-bit ASCII")));
    const CliRun run = runMtzip({QStringLiteral("pack"), QStringLiteral("--password"), QString::fromUtf8("pässword"),
                              tmp.filePath(QStringLiteral("src")), archive});
    QCOMPARE(run.exitCode, int(Cli::Failure));
    QVERIFY2(run.err.startsWith(QLatin1String("mtzip: cannot add")), qPrintable(run.err));
    QCOMPARE(readFile(archive), QByteArray("the previous archive"));
}

void tst_ZipCli::packRefusesAMissingFolder()
{
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    const CliRun run = runMtzip({QStringLiteral("pack"), tmp.filePath(QStringLiteral("missing")),
                              tmp.filePath(QStringLiteral("pack.zip"))});
    QCOMPARE(run.exitCode, int(Cli::Failure));
    QVERIFY2(run.err.contains(QLatin1String("is not a folder")), qPrintable(run.err));
    QVERIFY(!QFileInfo::exists(tmp.filePath(QStringLiteral("pack.zip"))));
}

void tst_ZipCli::packSkipsAnArchiveInsideTheFolder()
{
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    const Tree source = {{QStringLiteral("a.txt"), "a"}};
    QVERIFY(writeTree(tmp.path(), source));
    const QString archive = tmp.filePath(QStringLiteral("self.zip"));
    QVERIFY(writeFile(archive, "an older archive"));

    QCOMPARE(runMtzip({QStringLiteral("pack"), tmp.path(), archive}).exitCode, int(Cli::Success));
    QTemporaryDir outDir;
    QVERIFY(outDir.isValid());
    QCOMPARE(runMtzip({QStringLiteral("extract"), archive, outDir.path()}).exitCode, int(Cli::Success));
    QCOMPARE(readTree(outDir.path()), source);
}

void tst_ZipCli::packedArchiveIsReadByUnzip()
{
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    const Tree source = sampleTree();
    QVERIFY(writeTree(tmp.filePath(QStringLiteral("src")), source));
    const QString archive = tmp.filePath(QStringLiteral("pack.zip"));
    QCOMPARE(runMtzip({QStringLiteral("pack"), QStringLiteral("--password"), QStringLiteral("pw"),
                    tmp.filePath(QStringLiteral("src")), archive}).exitCode,
             int(Cli::Success));

    MTI_VERIFY_TOOL(runTool(QStringLiteral("unzip"), {QStringLiteral("-q"), QStringLiteral("-P"), QStringLiteral("pw"), archive,
                                                      QStringLiteral("-d"), tmp.filePath(QStringLiteral("out"))}));
    // pack stores files only, so the empty-folder-free source is the expectation.
    const QString difference = treeDifference(readTree(tmp.filePath(QStringLiteral("out"))), source);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
}

void tst_ZipCli::progressIsDrawnOnlyOnATerminal()
{
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    QVERIFY(writeTree(tmp.filePath(QStringLiteral("src")), sampleTree()));
    const QString archive = tmp.filePath(QStringLiteral("pack.zip"));
    QCOMPARE(runMtzip({QStringLiteral("pack"), tmp.filePath(QStringLiteral("src")), archive}).exitCode, int(Cli::Success));

    CliRun run = runMtzip({QStringLiteral("extract"), archive, tmp.filePath(QStringLiteral("plain"))});
    QCOMPARE(run.exitCode, int(Cli::Success));
    QCOMPARE(run.err, QString());

    run = runMtzip({QStringLiteral("extract"), archive, tmp.filePath(QStringLiteral("terminal"))}, true);
    QCOMPARE(run.exitCode, int(Cli::Success));
    QVERIFY2(run.err.startsWith(QLatin1String("\rExtracting pack.zip ")), qPrintable(run.err));
    QVERIFY2(run.err.endsWith(QLatin1String("\rExtracting pack.zip 100%\n")), qPrintable(run.err));
}

void tst_ZipCli::binaryPassesTheExitCodeOn()
{
    const ToolResult usage = runTool(QStringLiteral(MTI_MTZIP_BINARY), {QStringLiteral("extract")});
    QVERIFY2(usage.started, qPrintable(usage.describe()));
    QCOMPARE(usage.exitCode, int(Cli::UsageError));
    QVERIFY2(usage.err.startsWith("mtzip: "), usage.err.constData());

    const ToolResult help = runTool(QStringLiteral(MTI_MTZIP_BINARY), {QStringLiteral("--help")});
    MTI_VERIFY_TOOL(help);
    QVERIFY(help.out.contains("extract ARCHIVE DIR"));
}

void tst_ZipCli::packWritesModesForFilesAndFolders_data()
{
    QTest::addColumn<QString>("password");
    QTest::newRow("plain") << QString();
    QTest::newRow("encrypted") << QStringLiteral("pw");
}

void tst_ZipCli::packWritesModesForFilesAndFolders()
{
    QFETCH(QString, password);
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    QVERIFY(writeTree(tmp.filePath(QStringLiteral("src")),
                      {{QStringLiteral("Titles/One.moti"), "one"}, {QStringLiteral("Empty/"), {}}}));
    const QString archive = tmp.filePath(QStringLiteral("pack.zip"));
    QStringList arguments{QStringLiteral("pack"), tmp.filePath(QStringLiteral("src")), archive};
    if (!password.isEmpty())
        arguments << QStringLiteral("--password") << password;
    QCOMPARE(runMtzip(arguments).exitCode, int(Cli::Success));

    // Read by an independent implementation: each entry's Unix mode.
    const ToolResult modes = runPython(QStringLiteral("import sys, zipfile\n"
                                                      "for i in zipfile.ZipFile(sys.argv[1]).infolist():\n"
                                                      "    print('%s %o' % (i.filename, i.external_attr >> 16))\n"),
                                       {archive});
    MTI_VERIFY_TOOL(modes);
    QCOMPARE(QString::fromUtf8(modes.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts),
             strings({"Empty/ 40755", "Titles/ 40755", "Titles/One.moti 100644"}));

    // The empty folder comes back too.
    const QString out = tmp.filePath(QStringLiteral("out"));
    arguments = QStringList{QStringLiteral("extract"), archive, out};
    if (!password.isEmpty())
        arguments << QStringLiteral("--password") << password;
    QCOMPARE(runMtzip(arguments).exitCode, int(Cli::Success));
    QVERIFY(QFileInfo(out + QStringLiteral("/Empty")).isDir());
}

QTEST_GUILESS_MAIN(tst_ZipCli)
#include "tst_ZipCli.moc"
