// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "ZipArchive/ZipArchive.h"
#include "ZipArchive/WinZipAes.h"
#include "ZipTestTools.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QScopeGuard>

#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <cstdio>
#include <ctime>
#include <future>
#include <memory>

#include <fcntl.h>
#include <unistd.h>

using namespace TestSupport;
using namespace ZipTestTools;

Q_DECLARE_METATYPE(ZipError::Code)

namespace {

// A copy of the shared fixture, so that a clone on its own passes (tests/data/README.md).
const QString DittoFixture = QStringLiteral(MTI_TEST_DATA_DIR "/test-archive-ditto.zip");

// A tree that exercises the interesting shapes: nested folders, an empty
// folder, an empty file, and a file larger than one transfer chunk.
Tree sourceTree()
{
    return withParentFolders({
        {QStringLiteral("a.txt"), compressibleText(5000, 1)},
        {QStringLiteral("docs/readme.md"), compressibleText(20000, 2)},
        {QStringLiteral("docs/empty/"), {}},
        {QStringLiteral("media/deep/noise.bin"), noise(150000)},
        {QStringLiteral("zero.bin"), {}},
    });
}

Tree withoutEmptyFolders(Tree tree)
{
    tree.remove(QStringLiteral("docs/empty/"));
    return tree;
}

EntryList entriesOf(const Tree &tree)
{
    EntryList entries;
    for (auto it = tree.cbegin(); it != tree.cend(); ++it)
        entries.append({it.key(), it.value()});
    return entries;
}

// Opens archive, unpacks it to destination and closes it again.
bool unzip(const QString &archive, const QString &destination, RecordingDelegate *delegate,
           const QString &password = {}, bool overWrite = true)
{
    ZipArchive zip;
    zip.setDelegate(delegate);
    if (!(password.isNull() ? zip.UnzipOpenFile(archive) : zip.UnzipOpenFile(archive, password)))
        return false;
    const bool ok = zip.UnzipFileTo(destination, overWrite);
    zip.UnzipCloseFile();
    return ok;
}

int openFileDescriptors()
{
    return TestSupport::openDescriptorCount();
}

} // namespace

class tst_ZipArchive : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    // Reading archives made by other tools.
    void unpacksArchivesMadeByOtherTools_data();
    void unpacksArchivesMadeByOtherTools();
    void unpacksZipAppendedToOtherData_data();
    void unpacksZipAppendedToOtherData();
    void unpacksArchivesWrittenByPython_data();
    void unpacksArchivesWrittenByPython();
    void unpacksTheMacOSFixtureLikeUnzip();
    void lzmaEntryUnpacksOrFailsCleanly();
    void deflate64EntryFailsBeforeWriting();

    // Damaged and unusual archives.
    void refusesDamagedArchives_data();
    void refusesDamagedArchives();
    void damagedDeflatedEntriesKeepWhatPrecedesTheFault_data();
    void damagedDeflatedEntriesKeepWhatPrecedesTheFault();
    void streamsEndingJustPastAReadUnpack_data();
    void streamsEndingJustPastAReadUnpack();
    void archiveWithoutEntriesFails();
    void unpackingWithNoArchiveOpenFails();
    void refusesEntriesLeavingTheDestination_data();
    void refusesEntriesLeavingTheDestination();
    void neverWritesThroughALinkInTheDestination_data();
    void neverWritesThroughALinkInTheDestination();
    void refusesDeclaredSizesBeyondFreeSpace();
    void refusesWhatIsNotARegularFile_data();
    void refusesWhatIsNotARegularFile();
    void unreadableArchiveSaysPermissionDenied();
    void refusesOverlappingEntries_data();
    void refusesOverlappingEntries();
    void unpacksZip64DirectoryFields();

    // Where and how entries are written.
    void overwriteDecision_data();
    void overwriteDecision();
    void folderEntriesOnlyCreateFolders();
    void createsTheDestinationWithItsParents();
    void targetThatIsAFolderIsReported();
    void unpackStopsAtTheFirstFailedWrite_data();
    void unpackStopsAtTheFirstFailedWrite();
    void filesCarryTheEntryTimeAsLocalWallClock_data();
    void filesCarryTheEntryTimeAsLocalWallClock();

    // Passwords on reading.
    void encryptedArchivesFromInfoZip_data();
    void encryptedArchivesFromInfoZip();
    void aesArchivesFrom7Zip_data();
    void aesArchivesFrom7Zip();
    void aesKeysMatchPublishedVectors_data();
    void aesKeysMatchPublishedVectors();
    void aesCodesMatchPublishedVectors();

    // Progress and cancelling.
    void progressRisesToTheTotal_data();
    void progressRisesToTheTotal();
    void cancellingLeavesNoPartialFile_data();
    void cancellingLeavesNoPartialFile();

    // Writing.
    void roundTripThroughOurReader_data();
    void roundTripThroughOurReader();
    void addingManyFilesHoldsNoDescriptorPerFile();
    void encryptedArchiveIsReadByOtherTools();
    void addedEntriesStoreTheSourceTime();
    void sourceChangedAfterAddingKeepsWhatWasAdded();
    void filesReadAtCloseRefuseAChangedSource_data();
    void filesReadAtCloseRefuseAChangedSource();
    void compressionLevelIsTheOneAsked();
    void createReplacesAnExistingFile();
    void unreadableSourceIsRefused_data();
    void unreadableSourceIsRefused();
    void nonAsciiPasswordRefusesToWrite();
    void emptyArchiveIsAValidZip();
    void writingNeedsAnOpenArchive();
    void createRefusesUnusablePaths();
    void destructorFinishesAnArchiveBeingWritten();
    void destructorReleasesAnArchiveOpenForReading();
    void date1980IsLocalMidnight();

private:
    // A fresh folder for each test's archives and output, removed after it.
    std::unique_ptr<QTemporaryDir> _tmp;
};

void tst_ZipArchive::initTestCase()
{
    // A zone with a half-hour offset and no daylight saving: mistaking UTC for
    // local time shows, and results do not depend on the season.
    qputenv("TZ", "Asia/Kolkata");
    tzset();
    QVERIFY2(QFileInfo::exists(DittoFixture), qPrintable(DittoFixture));
}

void tst_ZipArchive::init()
{
    _tmp = std::make_unique<QTemporaryDir>();
    QVERIFY(_tmp->isValid());
}

void tst_ZipArchive::cleanup()
{
    _tmp.reset();
}

// ---------------------------------------------------------------- other tools

void tst_ZipArchive::unpacksArchivesMadeByOtherTools_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("keepsEmptyFolders");

    QTest::newRow("Info-ZIP archive with folder entries")
        << "zip" << strings({"-r", "-q", "../archive.zip", "."}) << true;
    QTest::newRow("Info-ZIP archive without folder entries still gets parent folders")
        << "zip" << strings({"-r", "-q", "-D", "../archive.zip", "."}) << false;
    QTest::newRow("Info-ZIP archive of stored entries")
        << "zip" << strings({"-r", "-q", "-0", "../archive.zip", "."}) << true;
    QTest::newRow("Info-ZIP archive forced to Zip64")
        << "zip" << strings({"-r", "-q", "-fz", "../archive.zip", "."}) << true;
    QTest::newRow("bsdtar archive with ./ names")
        << "bsdtar" << strings({"-a", "-cf", "../archive.zip", "."}) << true;
    QTest::newRow("7z archive")
        << "7z" << strings({"a", "-tzip", "-bd", "../archive.zip", "."}) << true;
    QTest::newRow("7z archive with bzip2 entries")
        << "7z" << strings({"a", "-tzip", "-mm=BZip2", "-bd", "../archive.zip", "."}) << true;
}

void tst_ZipArchive::unpacksArchivesMadeByOtherTools()
{
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    QFETCH(bool, keepsEmptyFolders);

    const Tree source = sourceTree();
    QVERIFY(writeTree(_tmp->filePath(QStringLiteral("src")), source));
    MTI_VERIFY_TOOL(runTool(program, arguments, _tmp->filePath(QStringLiteral("src"))));

    RecordingDelegate delegate;
    QVERIFY(unzip(_tmp->filePath(QStringLiteral("archive.zip")), _tmp->filePath(QStringLiteral("out")), &delegate));
    QCOMPARE(delegate.messages, QStringList());
    const QString difference = treeDifference(readTree(_tmp->filePath(QStringLiteral("out"))),
                                              keepsEmptyFolders ? source : withoutEmptyFolders(source));
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
}

void tst_ZipArchive::unpacksZipAppendedToOtherData_data()
{
    QTest::addColumn<bool>("adjusted");
    QTest::addColumn<QString>("comment");
    QTest::newRow("offsets left as they were (a stub cat'ed before the zip)") << false << QString();
    QTest::newRow("offsets left as they were, with an archive comment") << false << QStringLiteral("a comment");
    QTest::newRow("offsets adjusted by zip -A") << true << QString();
}

void tst_ZipArchive::unpacksZipAppendedToOtherData()
{
    QFETCH(bool, adjusted);
    QFETCH(QString, comment);

    const Tree source = withoutEmptyFolders(sourceTree());
    QVERIFY(writeTree(_tmp->filePath(QStringLiteral("src")), source));
    MTI_VERIFY_TOOL(runTool(QStringLiteral("zip"), strings({"-q", "-r", "../plain.zip", "."}), _tmp->filePath(QStringLiteral("src"))));
    if (!comment.isEmpty()) {
        MTI_VERIFY_TOOL(runPython(QStringLiteral("import sys, zipfile\n"
                                                 "with zipfile.ZipFile(sys.argv[1], 'a') as z: z.comment = sys.argv[2].encode()\n"),
                                  {_tmp->filePath(QStringLiteral("plain.zip")), comment}));
    }
    const QString archive = _tmp->filePath(QStringLiteral("archive.zip"));
    QVERIFY(writeFile(archive, QByteArray("#!/bin/sh\necho a stub that unpacks what follows\n").repeated(100)
                                   + readFile(_tmp->filePath(QStringLiteral("plain.zip")))));
    if (adjusted)
        MTI_VERIFY_TOOL(runTool(QStringLiteral("zip"), strings({"-q", "-A", "archive.zip"}), _tmp->path()));

    RecordingDelegate delegate;
    QVERIFY(unzip(archive, _tmp->filePath(QStringLiteral("out")), &delegate));
    QCOMPARE(delegate.messages, QStringList());
    const QString difference = treeDifference(readTree(_tmp->filePath(QStringLiteral("out"))), source);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
}

void tst_ZipArchive::unpacksArchivesWrittenByPython_data()
{
    QTest::addColumn<int>("method");
    QTest::addColumn<bool>("forceZip64");
    QTest::addColumn<bool>("cp437Names");
    QTest::addColumn<Tree>("entries");
    QTest::addColumn<Tree>("expected");

    const Tree plain = sourceTree();
    QTest::newRow("deflated entries") << int(Deflated) << false << false << plain << plain;
    QTest::newRow("stored entries") << int(Stored) << false << false << plain << plain;
    QTest::newRow("bzip2 entries") << int(Bzip2) << false << false << plain << plain;
    QTest::newRow("Zip64 headers") << int(Deflated) << true << false << plain << plain;

    const Tree unicode = {
        {QString::fromUtf8("Titres/Ünïcødé.moti"), "title"},
        {QString::fromUtf8("日本/テンプレート.motn"), "generator"},
        {QStringLiteral("plain.txt"), "ascii"},
    };
    QTest::newRow("UTF-8 names keep their characters")
        << int(Deflated) << false << false << unicode << withParentFolders(unicode);

    const Tree dos = {
        {QString::fromUtf8("Über/Straße.txt"), "street"},
        {QString::fromUtf8("Café.txt"), "coffee"},
        {QStringLiteral("plain.txt"), "ascii"},
    };
    QTest::newRow("CP437 names without the UTF-8 flag are read as CP437")
        << int(Deflated) << false << true << dos << withParentFolders(dos);

    const Tree backslashed = {
        {QStringLiteral("tpl\\"), {}},
        {QStringLiteral("tpl\\sub\\file.txt"), "inside"},
        {QStringLiteral("top.txt"), "top"},
    };
    const Tree unbackslashed = {
        {QStringLiteral("tpl/"), {}},
        {QStringLiteral("tpl/sub/"), {}},
        {QStringLiteral("tpl/sub/file.txt"), "inside"},
        {QStringLiteral("top.txt"), "top"},
    };
    QTest::newRow("backslash separators become folders")
        << int(Deflated) << false << false << backslashed << unbackslashed;
}

void tst_ZipArchive::unpacksArchivesWrittenByPython()
{
    QFETCH(int, method);
    QFETCH(bool, forceZip64);
    QFETCH(bool, cp437Names);
    QFETCH(Tree, entries);
    QFETCH(Tree, expected);

    const QString archive = _tmp->filePath(QStringLiteral("archive.zip"));
    PythonZipOptions options;
    options.method = Method(method);
    options.forceZip64 = forceZip64;
    options.cp437Names = cp437Names;
    MTI_VERIFY_TOOL(writeZipWithPython(archive, entriesOf(entries), options));

    RecordingDelegate delegate;
    QVERIFY(unzip(archive, _tmp->filePath(QStringLiteral("out")), &delegate));
    QCOMPARE(delegate.messages, QStringList());
    const QString difference = treeDifference(readTree(_tmp->filePath(QStringLiteral("out"))), expected);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
}

void tst_ZipArchive::unpacksTheMacOSFixtureLikeUnzip()
{
    const QString reference = _tmp->filePath(QStringLiteral("unzip"));
    MTI_VERIFY_TOOL(runTool(QStringLiteral("unzip"), {QStringLiteral("-q"), DittoFixture, QStringLiteral("-d"), reference}));

    RecordingDelegate delegate;
    QVERIFY(unzip(DittoFixture, _tmp->filePath(QStringLiteral("ours")), &delegate));
    QCOMPARE(delegate.messages, QStringList());

    // unzip recreates the symbolic links the archive holds; we never create
    // links from an archive, so each comes out as a file holding its target.
    Tree expected = readTree(reference);
    int links = 0;
    for (auto it = expected.begin(); it != expected.end(); ++it) {
        if (it.value().startsWith('@')) {
            it.value().remove(0, 1);
            ++links;
        }
    }
    QCOMPARE(links, 5);
    QVERIFY(expected.contains(QStringLiteral("__MACOSX/._file-rsrc-content.bin")));
    QCOMPARE(expected.value(QStringLiteral("dir/sub/lorem.bin")).size(), 89656);
    const QString difference = treeDifference(readTree(_tmp->filePath(QStringLiteral("ours"))), expected);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
}

void tst_ZipArchive::lzmaEntryUnpacksOrFailsCleanly()
{
    const QString archive = _tmp->filePath(QStringLiteral("archive.zip"));
    const Tree entries = {{QStringLiteral("packed.txt"), compressibleText(30000)}};
    PythonZipOptions options;
    options.method = Lzma;
    MTI_VERIFY_TOOL(writeZipWithPython(archive, entriesOf(entries), options));

    RecordingDelegate delegate;
    const QString out = _tmp->filePath(QStringLiteral("out"));
    if (unzip(archive, out, &delegate)) {
        QCOMPARE(delegate.messages, QStringList());
        QCOMPARE(readTree(out), entries);
    } else {
        QVERIFY(delegate.messages.size() >= 2);
        QCOMPARE(delegate.messages.first(), QStringLiteral("Error occurs"));
        QVERIFY2(delegate.messages.last().contains(QLatin1String("packed.txt")), qPrintable(delegate.messages.last()));
        QCOMPARE(readTree(out), Tree());
    }
}

void tst_ZipArchive::deflate64EntryFailsBeforeWriting()
{
    QVERIFY(writeTree(_tmp->filePath(QStringLiteral("src")), {{QStringLiteral("big.txt"), compressibleText(200000)}}));
    MTI_VERIFY_TOOL(runTool(QStringLiteral("7z"),
                            {QStringLiteral("a"), QStringLiteral("-tzip"), QStringLiteral("-mm=Deflate64"),
                             QStringLiteral("-bd"), QStringLiteral("../archive.zip"), QStringLiteral(".")},
                            _tmp->filePath(QStringLiteral("src"))));
    // Make sure 7z really used Deflate64 (method 9); otherwise this proves nothing.
    const ToolResult listing = runTool(QStringLiteral("zipinfo"), {_tmp->filePath(QStringLiteral("archive.zip"))});
    MTI_VERIFY_TOOL(listing);
    QVERIFY2(listing.out.contains(" d64"), listing.out.constData());

    RecordingDelegate delegate;
    QVERIFY(!unzip(_tmp->filePath(QStringLiteral("archive.zip")), _tmp->filePath(QStringLiteral("out")), &delegate));
    QCOMPARE(delegate.messages.size(), 2);
    QCOMPARE(delegate.messages.at(0), QStringLiteral("Error occurs"));
    QVERIFY2(delegate.messages.at(1).contains(QLatin1String("big.txt")), qPrintable(delegate.messages.at(1)));
    QVERIFY2(delegate.messages.at(1).contains(QLatin1String("compression method 9")), qPrintable(delegate.messages.at(1)));
    QCOMPARE(readTree(_tmp->filePath(QStringLiteral("out"))), Tree());
}

// ---------------------------------------------------------------- damaged archives

void tst_ZipArchive::refusesDamagedArchives_data()
{
    QTest::addColumn<QString>("damage");
    QTest::addColumn<bool>("opens");
    QTest::addColumn<QString>("openMessage");
    // The fault's code, as the Error the layers above receive carries it.
    QTest::addColumn<ZipError::Code>("code");

    const QString notAZip = QStringLiteral("\"%1\" is not a zip archive, or it is damaged");
    QTest::newRow("archive cut in half does not open") << "truncate" << false << notAZip << ZipError::NotAZip;
    QTest::newRow("stored entry with one flipped byte is a CRC mismatch")
        << "flip stored" << true << QString() << ZipError::Damaged;
    QTest::newRow("deflated entry with one flipped byte is damaged")
        << "flip deflated" << true << QString() << ZipError::Damaged;
    QTest::newRow("text file does not open") << "text" << false << notAZip << ZipError::NotAZip;
    QTest::newRow("empty file does not open") << "empty" << false << notAZip << ZipError::NotAZip;
    QTest::newRow("missing file does not open")
        << "missing" << false << QStringLiteral("Cannot open \"%1\": No such file or directory") << ZipError::NotFound;
    QTest::newRow("folder does not open")
        << "folder" << false << QStringLiteral("\"%1\" is a folder, not a file") << ZipError::NotAFile;
}

void tst_ZipArchive::refusesDamagedArchives()
{
    QFETCH(QString, damage);
    QFETCH(bool, opens);
    QFETCH(QString, openMessage);
    QFETCH(ZipError::Code, code);

    const QString archive = _tmp->filePath(QStringLiteral("archive.zip"));
    const QByteArray payload = compressibleText(40000);
    QVERIFY(writeFile(_tmp->filePath(QStringLiteral("src/first.txt")), "intact"));
    QVERIFY(writeFile(_tmp->filePath(QStringLiteral("src/payload.txt")), payload));
    MTI_VERIFY_TOOL(runTool(QStringLiteral("zip"),
                            {QStringLiteral("-q"), damage == QLatin1String("flip stored") ? QStringLiteral("-0") : QStringLiteral("-9"),
                             QStringLiteral("../archive.zip"), QStringLiteral("first.txt"), QStringLiteral("payload.txt")},
                            _tmp->filePath(QStringLiteral("src"))));
    QByteArray bytes = readFile(archive);
    QVERIFY(!bytes.isEmpty());

    if (damage == QLatin1String("truncate")) {
        bytes.truncate(bytes.size() / 2);
    } else if (damage == QLatin1String("flip stored")) {
        const qsizetype at = bytes.indexOf(payload.left(100));
        QVERIFY(at > 0);
        bytes[at + 20000] = char(bytes.at(at + 20000) ^ 0x01);
    } else if (damage == QLatin1String("flip deflated")) {
        const qsizetype at = bytes.indexOf("payload.txt") + 200; // inside the compressed data
        bytes[at] = char(bytes.at(at) ^ 0x40);
    } else if (damage == QLatin1String("text")) {
        bytes = "this is not a zip file\n";
    } else if (damage == QLatin1String("empty")) {
        bytes.clear();
    }
    if (damage == QLatin1String("missing")) {
        QVERIFY(QFile::remove(archive));
    } else if (damage == QLatin1String("folder")) {
        QVERIFY(QFile::remove(archive));
        QVERIFY(QDir().mkpath(archive));
    } else {
        QVERIFY(writeFile(archive, bytes));
    }

    ZipArchive zip;
    RecordingDelegate delegate;
    zip.setDelegate(&delegate);
    QCOMPARE(zip.UnzipOpenFile(archive), opens);
    if (!opens) {
        const std::optional<Error> failure = zip.lastFailure();
        QVERIFY(failure);
        QCOMPARE(failure->domain(), Error::ZipDomain);
        QCOMPARE(ZipError::codeOf(*failure), code);
        QCOMPARE(failure->localizedDescription(), openMessage.arg(archive));
        // A later unpack must not find a stale archive either.
        QVERIFY(!zip.UnzipFileTo(_tmp->filePath(QStringLiteral("out")), true));
        QCOMPARE(ZipError::codeOf(zip.lastFailure().value_or(Error())), ZipError::NotOpen);
        QCOMPARE(delegate.messages,
                 (QStringList{openMessage.arg(archive), QStringLiteral("Failed"), QStringLiteral("Error occurs")}));
        return;
    }
    QVERIFY(!zip.lastFailure());
    QVERIFY(!zip.UnzipFileTo(_tmp->filePath(QStringLiteral("out")), true));
    QCOMPARE(ZipError::codeOf(zip.lastFailure().value_or(Error())), code);
    // Any other domain's error is no zip fault, whatever its number.
    QCOMPARE(ZipError::codeOf(Error(Error::PosixDomain, int(code), {})), ZipError::None);
    QVERIFY(zip.UnzipCloseFile());
    QVERIFY2(delegate.messages.size() >= 2, qPrintable(delegate.messages.join(QLatin1Char('|'))));
    QCOMPARE(delegate.messages.first(), QStringLiteral("Failed to reading zip file"));
    QVERIFY2(delegate.messages.at(1).contains(QLatin1String("payload.txt")), qPrintable(delegate.messages.at(1)));
    // The intact entry before the damaged one is still there.
    QCOMPARE(readFile(_tmp->filePath(QStringLiteral("out/first.txt"))), QByteArray("intact"));
}

void tst_ZipArchive::damagedDeflatedEntriesKeepWhatPrecedesTheFault_data()
{
    QTest::addColumn<QString>("damage");
    QTest::addColumn<QString>("problem");
    QTest::addColumn<int>("atLeast");  // bytes written; -1: all

    QTest::newRow("CRC in both headers changed") << "crc" << "CRC error" << -1;
    QTest::newRow("compressed data overwritten") << "garbage" << "Zlib error: data error" << 0;
    QTest::newRow("compressed size halved") << "short" << "Compressed data invalid" << 1000;
    QTest::newRow("uncompressed size too small") << "size" << "it holds more than the 1000 bytes its header declares"
                                                 << 0;
}

void tst_ZipArchive::damagedDeflatedEntriesKeepWhatPrecedesTheFault()
{
    QFETCH(QString, damage);
    QFETCH(QString, problem);
    QFETCH(int, atLeast);

    const QString archive = _tmp->filePath(QStringLiteral("archive.zip"));
    const QByteArray payload = noise(1000, 3) + compressibleText(300000);
    QVERIFY(writeFile(_tmp->filePath(QStringLiteral("payload.bin")), payload));
    // Offsets 14 (CRC), 18 (compressed size) and 22 (size) of the local
    // header; 16, 20 and 24 of the central one.
    MTI_VERIFY_TOOL(runPython(QStringLiteral(
        "import sys, struct, zipfile\n"
        "archive, payload, damage = sys.argv[1:]\n"
        "zipfile.ZipFile(archive, 'w', zipfile.ZIP_DEFLATED).write(payload, 'payload.bin')\n"
        "b = bytearray(open(archive, 'rb').read())\n"
        "local, central = b.find(b'PK\\x03\\x04'), b.find(b'PK\\x01\\x02')\n"
        "def field(at, value): b[at:at + 4] = struct.pack('<I', value)\n"
        "comp = struct.unpack('<I', b[local + 18:local + 22])[0]\n"
        "if damage == 'crc':\n"
        "    crc = struct.unpack('<I', b[local + 14:local + 18])[0] ^ 1\n"
        "    field(local + 14, crc); field(central + 16, crc)\n"
        "elif damage == 'garbage':\n"
        "    data = local + 30 + len('payload.bin')\n"
        "    b[data:data + 40] = b'\\xff' * 40\n"
        "elif damage == 'short':\n"
        "    field(local + 18, comp // 2); field(central + 20, comp // 2)\n"
        "elif damage == 'size':\n"
        "    field(local + 22, 1000); field(central + 24, 1000)\n"
        "open(archive, 'wb').write(b)\n"),
        {archive, _tmp->filePath(QStringLiteral("payload.bin")), damage}));

    RecordingDelegate delegate;
    const QString out = _tmp->filePath(QStringLiteral("out"));
    QVERIFY(!unzip(archive, out, &delegate));
    QCOMPARE(delegate.messages,
             (QStringList{QStringLiteral("Failed to reading zip file"),
                          QStringLiteral("Entry \"payload.bin\" is damaged: ") + problem}));
    const QByteArray written = readFile(out + QStringLiteral("/payload.bin"));
    if (atLeast < 0) {
        QCOMPARE(written, payload);
    } else {
        // What inflated before the fault, and only that.
        QVERIFY2(written.size() >= atLeast && written.size() < payload.size(), qPrintable(QString::number(written.size())));
        QCOMPARE(written, payload.left(written.size()));
    }
}

void tst_ZipArchive::streamsEndingJustPastAReadUnpack_data()
{
    QTest::addColumn<QString>("strategy");
    // Fixed Huffman codes (zlib's choice for a short last block) end a
    // stream in a few bits, often in a byte read with the output before.
    QTest::newRow("fixed Huffman codes") << "Z_FIXED";
    QTest::newRow("zlib's default") << "Z_DEFAULT_STRATEGY";
}

void tst_ZipArchive::streamsEndingJustPastAReadUnpack()
{
    QFETCH(QString, strategy);

    const QString archive = _tmp->filePath(QStringLiteral("archive.zip"));
    const QString expected = _tmp->filePath(QStringLiteral("expected"));
    // Entries a few bytes longer than one read of the unpacking loop
    // (64 KiB less 16), or two.
    MTI_VERIFY_TOOL(runPython(QStringLiteral(
        "import os, random, sys, zipfile, zlib\n"
        "archive, expected, strategy = sys.argv[1:]\n"
        "plain = zipfile._get_compressor\n"
        "zipfile._get_compressor = lambda kind, level=None: (zlib.compressobj(6, zlib.DEFLATED, -15, 8,\n"
        "    getattr(zlib, strategy)) if kind == zipfile.ZIP_DEFLATED else plain(kind, level))\n"
        "os.makedirs(expected)\n"
        "with zipfile.ZipFile(archive, 'w', zipfile.ZIP_DEFLATED) as z:\n"
        "    for seed in range(12):\n"
        "        random.seed(seed)\n"
        "        data = bytes(random.choice(range(32, 80)) for _ in range(2 * 65520 + 8))\n"
        "        for size in (65521, 65522, 65523, 2 * 65520 + 2):\n"
        "            name = '%d-%d.bin' % (seed, size)\n"
        "            z.writestr(name, data[:size])\n"
        "            open(os.path.join(expected, name), 'wb').write(data[:size])\n"),
        {archive, expected, strategy}));

    RecordingDelegate delegate;
    const QString out = _tmp->filePath(QStringLiteral("out"));
    QVERIFY2(unzip(archive, out, &delegate), qPrintable(delegate.messages.join(QLatin1Char('|'))));
    QCOMPARE(readTree(out), readTree(expected));
}

void tst_ZipArchive::archiveWithoutEntriesFails()
{
    const QString archive = _tmp->filePath(QStringLiteral("empty.zip"));
    MTI_VERIFY_TOOL(writeZipWithPython(archive, {}));
    QCOMPARE(QFileInfo(archive).size(), 22);

    ZipArchive zip;
    RecordingDelegate delegate;
    zip.setDelegate(&delegate);
    QVERIFY(zip.UnzipOpenFile(archive));
    QVERIFY(!zip.UnzipFileTo(_tmp->filePath(QStringLiteral("out")), true));
    QCOMPARE(delegate.messages, (QStringList{QStringLiteral("Failed"), QStringLiteral("Error occurs")}));
    QVERIFY(!QFileInfo::exists(_tmp->filePath(QStringLiteral("out"))));
    QVERIFY(zip.UnzipCloseFile());
}

void tst_ZipArchive::unpackingWithNoArchiveOpenFails()
{
    ZipArchive zip;
    RecordingDelegate delegate;
    zip.setDelegate(&delegate);
    QVERIFY(!zip.UnzipFileTo(_tmp->filePath(QStringLiteral("out")), true));
    QCOMPARE(delegate.messages, (QStringList{QStringLiteral("Failed"), QStringLiteral("Error occurs")}));
    QVERIFY(!QFileInfo::exists(_tmp->filePath(QStringLiteral("out"))));
    // Closing when nothing is open is fine.
    QVERIFY(zip.UnzipCloseFile());
}

void tst_ZipArchive::refusesEntriesLeavingTheDestination_data()
{
    QTest::addColumn<QString>("name");

    QTest::newRow("entry in the parent folder refuses the archive") << "../escaped.txt";
    QTest::newRow("entry climbing after a descent refuses the archive") << "a/../../escaped.txt";
    QTest::newRow("absolute entry refuses the archive") << "%TMP%/escaped.txt";
    QTest::newRow("drive-letter entry refuses the archive") << "C:\\escaped.txt";
    QTest::newRow("backslash climb refuses the archive") << "a\\..\\..\\escaped.txt";
}

void tst_ZipArchive::refusesEntriesLeavingTheDestination()
{
    QFETCH(QString, name);

    name.replace(QLatin1String("%TMP%"), _tmp->path());
    const QString archive = _tmp->filePath(QStringLiteral("archive.zip"));
    // The harmless entry comes first: nothing at all may be written.
    MTI_VERIFY_TOOL(writeZipWithPython(archive, {{QStringLiteral("harmless.txt"), "fine"}, {name, "escaped"}}));

    RecordingDelegate delegate;
    const QString destination = _tmp->filePath(QStringLiteral("out/dest"));
    QVERIFY(!unzip(archive, destination, &delegate));
    QCOMPARE(delegate.messages.size(), 1);
    QVERIFY2(delegate.messages.first().contains(name), qPrintable(delegate.messages.first()));
    QCOMPARE(readTree(_tmp->path()), (Tree{{QStringLiteral("archive.zip"), readFile(archive)}}));
}

void tst_ZipArchive::neverWritesThroughALinkInTheDestination_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("link");  // made in the destination, to a folder outside it
    QTest::addColumn<int>("workers");

    for (int workers : {1, 2}) {
        const char *how = workers == 1 ? "one thread" : "workers";
        QTest::addRow("file below a linked folder, %s", how) << "link/evil.txt" << "link" << workers;
        QTest::addRow("file deeper below a linked folder, %s", how) << "a/link/b/evil.txt" << "a/link" << workers;
        QTest::addRow("folder entry below a linked folder, %s", how) << "link/sub/" << "link" << workers;
        QTest::addRow("file where a link stands, %s", how) << "link" << "link" << workers;
    }
}

void tst_ZipArchive::neverWritesThroughALinkInTheDestination()
{
    QFETCH(QString, entry);
    QFETCH(QString, link);
    QFETCH(int, workers);

    const QString archive = _tmp->filePath(QStringLiteral("archive.zip"));
    MTI_VERIFY_TOOL(writeZipWithPython(archive, {{QStringLiteral("first.txt"), "fine"},
                                                 {entry, entry.endsWith(QLatin1Char('/')) ? "" : "escaped"}}));
    const QString outside = _tmp->filePath(QStringLiteral("outside"));
    const QString destination = _tmp->filePath(QStringLiteral("dest"));
    QVERIFY(QDir().mkpath(outside));
    QVERIFY(QDir().mkpath(QFileInfo(destination + QLatin1Char('/') + link).path()));
    QVERIFY(QFile::link(outside, destination + QLatin1Char('/') + link));

    ZipArchive zip;
    RecordingDelegate delegate;
    zip.setDelegate(&delegate);
    zip.setWorkerCount(workers);
    QVERIFY(zip.UnzipOpenFile(archive));
    QVERIFY(!zip.UnzipFileTo(destination, true));
    QCOMPARE(zip.lastError().code, ZipError::UnsafeName);
    QVERIFY2(delegate.messages.last().contains(QLatin1String("symbolic link")), qPrintable(delegate.messages.last()));
    QCOMPARE(readTree(outside), Tree());
    QVERIFY(QFileInfo(destination + QLatin1Char('/') + link).isSymLink());
}

void tst_ZipArchive::refusesDeclaredSizesBeyondFreeSpace()
{
    // A hand-built archive: a small entry, then one whose central directory
    // declares 2^60 bytes through its Zip64 field while holding four.
    static const QString script = QStringLiteral(R"(
import struct, sys, zlib
def entry(name, data, declared, offset):
    name = name.encode()
    crc = zlib.crc32(data)
    local_extra = struct.pack('<HHQQ', 1, 16, len(data), len(data))
    local = struct.pack('<IHHHHHIIIHH', 0x04034b50, 45, 0, 0, 0, 0x21, crc,
                        0xFFFFFFFF, 0xFFFFFFFF, len(name), len(local_extra)) + name + local_extra + data
    central_extra = struct.pack('<HHQQ', 1, 16, declared, len(data))
    central = struct.pack('<IHHHHHHIIIHHHHHII', 0x02014b50, 45, 45, 0, 0, 0, 0x21, crc,
                          0xFFFFFFFF, 0xFFFFFFFF, len(name), len(central_extra), 0, 0, 0, 0,
                          offset) + name + central_extra
    return local, central
first_local, first_central = entry('small.txt', b'small', 5, 0)
huge_local, huge_central = entry('huge.bin', b'tiny', 1 << 60, len(first_local))
body = first_local + huge_local
directory = first_central + huge_central
end = struct.pack('<IHHHHIIH', 0x06054b50, 0, 0, 2, 2, len(directory), len(body), 0)
open(sys.argv[1], 'wb').write(body + directory + end)
)");
    const QString archive = _tmp->filePath(QStringLiteral("huge.zip"));
    MTI_VERIFY_TOOL(runPython(script, {archive}));
    // The archive is well formed: unzip lists the declared size.
    const ToolResult listing = runTool(QStringLiteral("unzip"), {QStringLiteral("-l"), archive});
    MTI_VERIFY_TOOL(listing);
    QVERIFY2(listing.out.contains("1152921504606846976"), listing.out.constData());

    RecordingDelegate delegate;
    QVERIFY(!unzip(archive, _tmp->filePath(QStringLiteral("out")), &delegate));
    QCOMPARE(delegate.messages.size(), 1);
    QVERIFY2(delegate.messages.first().startsWith(QLatin1String("Not enough free space")),
             qPrintable(delegate.messages.first()));
    QVERIFY(!QFileInfo::exists(_tmp->filePath(QStringLiteral("out"))));
}

void tst_ZipArchive::refusesWhatIsNotARegularFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("message");

    QTest::newRow("named pipe") << "fifo" << "\"%1\" is a named pipe (FIFO), not a file";
    QTest::newRow("link to a named pipe") << "link" << "\"%1\" is a named pipe (FIFO), not a file";
    QTest::newRow("device") << "device" << "\"%1\" is a device, not a file";
}

void tst_ZipArchive::refusesWhatIsNotARegularFile()
{
    QFETCH(QString, kind);
    QFETCH(QString, message);

    const QString fifo = _tmp->filePath(QStringLiteral("LT_x.mtzip"));
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);
    QString archive = fifo;
    if (kind == QLatin1String("link")) {
        archive = _tmp->filePath(QStringLiteral("link.mtzip"));
        QVERIFY(QFile::link(fifo, archive));
    } else if (kind == QLatin1String("device")) {
        archive = QStringLiteral("/dev/null");
    }

    ZipArchive zip;
    RecordingDelegate delegate;
    zip.setDelegate(&delegate);
    auto opened = std::async(std::launch::async, [&] { return zip.UnzipOpenFile(archive); });
    if (opened.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
        // Opening a FIFO for reading waits for a writer: come as one to end the wait.
        ::close(::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK));
        opened.wait();
        QFAIL("UnzipOpenFile blocked");
    }
    QVERIFY(!opened.get());
    QCOMPARE(delegate.messages, QStringList{message.arg(archive)});
}

void tst_ZipArchive::unreadableArchiveSaysPermissionDenied()
{
    const QString archive = _tmp->filePath(QStringLiteral("locked.zip"));
    MTI_VERIFY_TOOL(writeZipWithPython(archive, {{QStringLiteral("a.txt"), "a"}}));
    QVERIFY(QFile::setPermissions(archive, {}));

    // Root reads every file; as root the open runs as the unprivileged user
    // nobody, who may reach the folder but not read the file.
    const bool root = ::geteuid() == 0;
    if (root) {
        QVERIFY(QFile::setPermissions(_tmp->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                                      | QFile::ReadOther | QFile::ExeOther));
        if (::seteuid(65534) != 0)
            QSKIP("running as root without leave to change the effective user: no file is unreadable to root");
    }
    ZipArchive zip;
    RecordingDelegate delegate;
    zip.setDelegate(&delegate);
    const bool opened = zip.UnzipOpenFile(archive);
    if (root)
        QCOMPARE(::seteuid(0), 0);
    QVERIFY(!opened);
    QCOMPARE(delegate.messages, QStringList{QStringLiteral("Cannot open \"%1\": Permission denied").arg(archive)});
}

void tst_ZipArchive::refusesOverlappingEntries_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QByteArray>("stub");

    QTest::newRow("local headers inside one another's data") << int(CraftedZip::NestedOverlap) << QByteArray();
    QTest::newRow("every entry at one local header") << int(CraftedZip::SharedLocalHeader) << QByteArray();
    QTest::newRow("nested after a stub, offsets unadjusted")
        << int(CraftedZip::NestedOverlap) << QByteArray("#!/bin/sh\necho a stub\n");
}

void tst_ZipArchive::refusesOverlappingEntries()
{
    QFETCH(int, kind);
    QFETCH(QByteArray, stub);

    const QString archive = _tmp->filePath(QStringLiteral("bomb.zip"));
    MTI_VERIFY_TOOL(writeCraftedZip(archive, CraftedZip(kind), stub));
    QVERIFY(QFileInfo(archive).size() < 200 * 1024);
    // Other readers see a bomb too: gigabytes declared, and Info-ZIP's unzip
    // refuses the overlap.
    const ToolResult declared = runPython(QStringLiteral("import sys, zipfile\n"
                                                         "print(sum(i.file_size for i in zipfile.ZipFile(sys.argv[1]).infolist()))\n"),
                                          {archive});
    MTI_VERIFY_TOOL(declared);
    QVERIFY2(declared.out.trimmed().toLongLong() > 2'000'000'000, declared.out.constData());
    const ToolResult tested = runTool(QStringLiteral("unzip"), {QStringLiteral("-tq"), archive});
    if (tested.missing)
        QSKIP(qPrintable(tested.describe()));
    QVERIFY2(tested.started && tested.exitCode != 0 && tested.out.contains("overlapped"), qPrintable(tested.describe()));

    ZipArchive zip;
    RecordingDelegate delegate;
    RecordingProgress progress(1); // should the refusal fail, stops after the first chunk
    zip.setDelegate(&delegate);
    zip.setProgressListener(&progress);
    const QString out = _tmp->filePath(QStringLiteral("out"));
    QElapsedTimer timer;
    timer.start();
    QVERIFY(zip.UnzipOpenFile(archive));
    QVERIFY(!zip.UnzipFileTo(out, true));
    QVERIFY2(timer.elapsed() < 2000, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(delegate.messages, QStringList{QStringLiteral("Refused: entry \"f01\" overlaps the data of entry \"f00\"")});
    QCOMPARE(progress.reports.size(), 0);
    QVERIFY(!QFileInfo::exists(out));
}

void tst_ZipArchive::unpacksZip64DirectoryFields()
{
    // The overlap check reads sizes and offsets from the Zip64 fields as
    // libzip does; misread, the entries would all sit at 0xFFFFFFFF.
    const QString archive = _tmp->filePath(QStringLiteral("zip64.zip"));
    MTI_VERIFY_TOOL(writeCraftedZip(archive, CraftedZip::Zip64Fields));
    const QString reference = _tmp->filePath(QStringLiteral("unzip"));
    MTI_VERIFY_TOOL(runTool(QStringLiteral("unzip"), {QStringLiteral("-q"), archive, QStringLiteral("-d"), reference}));
    QCOMPARE(readTree(reference).size(), 3);

    RecordingDelegate delegate;
    QVERIFY(unzip(archive, _tmp->filePath(QStringLiteral("out")), &delegate));
    QCOMPARE(delegate.messages, QStringList());
    QCOMPARE(readTree(_tmp->filePath(QStringLiteral("out"))), readTree(reference));
}

// ---------------------------------------------------------------- writing entries

void tst_ZipArchive::overwriteDecision_data()
{
    QTest::addColumn<bool>("overWrite");
    QTest::addColumn<QString>("delegateKind");
    QTest::addColumn<bool>("replaced");
    QTest::addColumn<bool>("asked");

    QTest::newRow("overwrite YES replaces without asking") << true << "answers no" << true << false;
    QTest::newRow("overwrite NO without a delegate replaces") << false << "none" << true << false;
    QTest::newRow("overwrite NO with a delegate keeping the default replaces") << false << "default" << true << false;
    QTest::newRow("overwrite NO asks and YES replaces") << false << "answers yes" << true << true;
    QTest::newRow("overwrite NO asks and NO keeps the file and its date") << false << "answers no" << false << true;
}

void tst_ZipArchive::overwriteDecision()
{
    QFETCH(bool, overWrite);
    QFETCH(QString, delegateKind);
    QFETCH(bool, replaced);
    QFETCH(bool, asked);

    const QString archive = _tmp->filePath(QStringLiteral("archive.zip"));
    MTI_VERIFY_TOOL(writeZipWithPython(archive, {{QStringLiteral("sub/existing.txt"), "from the archive"},
                                                 {QStringLiteral("sub/new.txt"), "new"}}));
    const QString out = _tmp->filePath(QStringLiteral("out"));
    const QString existing = out + QStringLiteral("/sub/existing.txt");
    QVERIFY(writeFile(existing, "already here, and longer than the entry"));
    const QDateTime oldTime(QDate(2005, 5, 5), QTime(5, 5, 5));
    QVERIFY(setModificationTime(existing, oldTime));

    ZipArchive zip;
    ZipArchiveDelegate defaultDelegate;
    RecordingDelegate recording(delegateKind == QLatin1String("answers yes"));
    if (delegateKind == QLatin1String("default"))
        zip.setDelegate(&defaultDelegate);
    else if (delegateKind != QLatin1String("none"))
        zip.setDelegate(&recording);
    QVERIFY(zip.UnzipOpenFile(archive));
    QVERIFY(zip.UnzipFileTo(out, overWrite));
    QVERIFY(zip.UnzipCloseFile());

    QCOMPARE(recording.messages, QStringList());
    QCOMPARE(recording.overwriteQuestions, asked ? QStringList{existing} : QStringList());
    QCOMPARE(readFile(out + QStringLiteral("/sub/new.txt")), QByteArray("new"));
    if (replaced) {
        QCOMPARE(readFile(existing), QByteArray("from the archive"));
    } else {
        QCOMPARE(readFile(existing), QByteArray("already here, and longer than the entry"));
        QCOMPARE(QFileInfo(existing).lastModified(), oldTime);
    }
}

void tst_ZipArchive::folderEntriesOnlyCreateFolders()
{
    const QString archive = _tmp->filePath(QStringLiteral("archive.zip"));
    MTI_VERIFY_TOOL(writeZipWithPython(archive, {{QStringLiteral("docs/"), {}}, {QStringLiteral("fresh/"), {}},
                                                 {QStringLiteral("fresh/inner/"), {}}}));
    const QString out = _tmp->filePath(QStringLiteral("out"));
    QVERIFY(writeFile(out + QStringLiteral("/docs/kept.txt"), "kept"));

    RecordingDelegate delegate(false);
    QVERIFY(unzip(archive, out, &delegate, {}, false));
    QCOMPARE(delegate.overwriteQuestions, QStringList());
    QCOMPARE(delegate.messages, QStringList());
    QCOMPARE(readTree(out), (Tree{{QStringLiteral("docs/"), {}},
                                  {QStringLiteral("docs/kept.txt"), "kept"},
                                  {QStringLiteral("fresh/"), {}},
                                  {QStringLiteral("fresh/inner/"), {}}}));
}

void tst_ZipArchive::createsTheDestinationWithItsParents()
{
    const QString archive = _tmp->filePath(QStringLiteral("archive.zip"));
    MTI_VERIFY_TOOL(writeZipWithPython(archive, {{QStringLiteral("a.txt"), "a"}}));
    const QString out = _tmp->filePath(QStringLiteral("x/y/z/"));

    RecordingDelegate delegate;
    QVERIFY(unzip(archive, out, &delegate));
    QCOMPARE(readFile(out + QStringLiteral("a.txt")), QByteArray("a"));
}

void tst_ZipArchive::targetThatIsAFolderIsReported()
{
    const QString archive = _tmp->filePath(QStringLiteral("archive.zip"));
    MTI_VERIFY_TOOL(writeZipWithPython(archive, {{QStringLiteral("clash"), "data"}, {QStringLiteral("other.txt"), "other"}}));
    const QString out = _tmp->filePath(QStringLiteral("out"));
    QVERIFY(writeFile(out + QStringLiteral("/clash/inside.txt"), "inside"));

    RecordingDelegate delegate;
    QVERIFY(!unzip(archive, out, &delegate));
    QCOMPARE(delegate.messages.size(), 1);
    QVERIFY2(delegate.messages.first().contains(out + QStringLiteral("/clash")), qPrintable(delegate.messages.first()));
    // The unpack stops there: other.txt, after it, is not written.
    QCOMPARE(readTree(out), (Tree{{QStringLiteral("clash/"), {}},
                                  {QStringLiteral("clash/inside.txt"), "inside"}}));
}

void tst_ZipArchive::unpackStopsAtTheFirstFailedWrite_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<bool>("sizeLimit");
    QTest::addColumn<QString>("message");

    QTest::newRow("folder entry where a file is")
        << "blocked/" << false << "Cannot create the folder \"%1/blocked\": Not a directory";
    QTest::newRow("file in a folder where a file is")
        << "blocked/inner.bin" << false << "Cannot create the folder \"%1/blocked\": Not a directory";
    QTest::newRow("write beyond the file size limit removes the partial file")
        << "big.bin" << true << "Cannot write \"%1/big.bin\": File too large";
}

void tst_ZipArchive::unpackStopsAtTheFirstFailedWrite()
{
    QFETCH(QString, entry);
    QFETCH(bool, sizeLimit);
    QFETCH(QString, message);

    const QString archive = _tmp->filePath(QStringLiteral("archive.zip"));
    MTI_VERIFY_TOOL(writeZipWithPython(archive, {{QStringLiteral("first.txt"), "first"},
                                                 {entry, entry.endsWith(QLatin1Char('/')) ? QByteArray() : noise(1000000)},
                                                 {QStringLiteral("last.txt"), "last"}}));
    const QString out = _tmp->filePath(QStringLiteral("out"));
    Tree expected{{QStringLiteral("first.txt"), "first"}};
    if (!sizeLimit) {
        QVERIFY(writeFile(out + QStringLiteral("/blocked"), "in the way"));
        expected.insert(QStringLiteral("blocked"), "in the way");
    }

    struct rlimit saved;
    QCOMPARE(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    const auto restore = qScopeGuard([&] {
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);
    });
    if (sizeLimit) {
        struct rlimit low = saved;
        low.rlim_cur = 256 * 1024;
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &low), 0);
    }
    RecordingDelegate delegate;
    QVERIFY(!unzip(archive, out, &delegate));
    QCOMPARE(delegate.messages, QStringList{message.arg(out)});
    QCOMPARE(readTree(out), expected);
}

void tst_ZipArchive::filesCarryTheEntryTimeAsLocalWallClock_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QDateTime>("entryTime");
    QTest::addColumn<QDateTime>("expected");

    const QDateTime even(QDate(2001, 2, 3), QTime(4, 5, 6));
    QTest::newRow("file with data") << QByteArray("data") << even << even;
    QTest::newRow("zero-length file") << QByteArray() << even << even;
    QTest::newRow("odd seconds are stored rounded down")
        << QByteArray("data") << QDateTime(QDate(2019, 12, 31), QTime(23, 59, 59))
        << QDateTime(QDate(2019, 12, 31), QTime(23, 59, 58));
    QTest::newRow("earliest DOS time") << QByteArray("data") << ZipArchive::Date1980() << ZipArchive::Date1980();
}

void tst_ZipArchive::filesCarryTheEntryTimeAsLocalWallClock()
{
    QFETCH(QByteArray, contents);
    QFETCH(QDateTime, entryTime);
    QFETCH(QDateTime, expected);

    const QString archive = _tmp->filePath(QStringLiteral("archive.zip"));
    PythonZipOptions options;
    options.time = entryTime;
    MTI_VERIFY_TOOL(writeZipWithPython(archive, {{QStringLiteral("f.bin"), contents}}, options));

    RecordingDelegate delegate;
    QVERIFY(unzip(archive, _tmp->filePath(QStringLiteral("out")), &delegate));
    const QFileInfo file(_tmp->filePath(QStringLiteral("out/f.bin")));
    QCOMPARE(file.size(), contents.size());
    QCOMPARE(file.lastModified(), expected);
}

// ---------------------------------------------------------------- passwords

namespace {

// The local header of the entry called name in a zip whose local headers
// carry their sizes: where it and the entry's data start, and the data's length.
struct LocalEntry
{
    qsizetype header = -1;
    qsizetype data = -1;
    qsizetype length = 0;
};

LocalEntry localEntryOf(const QByteArray &bytes, const QByteArray &name)
{
    for (qsizetype at = bytes.indexOf("PK\x03\x04"); at >= 0 && at + 30 <= bytes.size();
         at = bytes.indexOf("PK\x03\x04", at + 1)) {
        const auto le16 = [&](qsizetype i) { return qsizetype(uchar(bytes[at + i])) | qsizetype(uchar(bytes[at + i + 1])) << 8; };
        const qsizetype nameLength = le16(26);
        if (bytes.mid(at + 30, nameLength) == name)
            return {at, at + 30 + nameLength + le16(28), le16(18) | le16(20) << 16};
    }
    return {};
}

} // namespace


void tst_ZipArchive::encryptedArchivesFromInfoZip_data()
{
    QTest::addColumn<bool>("encrypted");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("succeeds");
    QTest::addColumn<QString>("detail");

    QTest::newRow("right password unpacks") << true << "s3cret" << true << "";
    QTest::newRow("wrong password fails") << true << "wrong" << false << "";
    QTest::newRow("no password fails and says one is needed") << true << QString() << false << "needs a password";
    QTest::newRow("empty password is no password") << true << "" << false << "needs a password";
    QTest::newRow("non-ASCII password counts as none") << true << QString::fromUtf8("s3crét") << false
                                                       << "needs a password";
    QTest::newRow("password on a plain archive is ignored") << false << "s3cret" << true << "";
    QTest::newRow("non-ASCII password on a plain archive is ignored") << false << QString::fromUtf8("s3crét") << true
                                                                      << "";
}

void tst_ZipArchive::encryptedArchivesFromInfoZip()
{
    QFETCH(bool, encrypted);
    QFETCH(QString, password);
    QFETCH(bool, succeeds);
    QFETCH(QString, detail);

    const Tree source = withoutEmptyFolders(sourceTree());
    QVERIFY(writeTree(_tmp->filePath(QStringLiteral("src")), source));
    QStringList arguments{QStringLiteral("-r"), QStringLiteral("-q")};
    if (encrypted)
        arguments << QStringLiteral("-P") << QStringLiteral("s3cret");
    arguments << QStringLiteral("../archive.zip") << QStringLiteral(".");
    MTI_VERIFY_TOOL(runTool(QStringLiteral("zip"), arguments, _tmp->filePath(QStringLiteral("src"))));

    RecordingDelegate delegate;
    const QString out = _tmp->filePath(QStringLiteral("out"));
    QCOMPARE(unzip(_tmp->filePath(QStringLiteral("archive.zip")), out, &delegate, password), succeeds);
    if (succeeds) {
        QCOMPARE(delegate.messages, QStringList());
        const QString difference = treeDifference(readTree(out), source);
        QVERIFY2(difference.isEmpty(), qPrintable(difference));
        return;
    }
    QVERIFY(!delegate.messages.isEmpty());
    if (!detail.isEmpty()) {
        // One line that says what is wrong, no generic one before it.
        QCOMPARE(delegate.messages.size(), 1);
        QVERIFY2(delegate.messages.last().contains(detail), qPrintable(delegate.messages.last()));
        // Refused before anything was written.
        QCOMPARE(readTree(out), Tree());
    }
}

void tst_ZipArchive::aesArchivesFrom7Zip_data()
{
    QTest::addColumn<QString>("strength");
    QTest::addColumn<bool>("stored");
    QTest::addColumn<QString>("damage");

    for (const char *strength : {"AES128", "AES192", "AES256"}) {
        QTest::addRow("%s, deflated", strength) << QString::fromLatin1(strength) << false << QString();
        QTest::addRow("%s, stored", strength) << QString::fromLatin1(strength) << true << QString();
    }
    // A flipped bit of a stored entry's ciphertext flips one bit of what is
    // written; only the authentication code can tell.
    QTest::newRow("stored, encrypted data changed") << "AES256" << true << "data";
    QTest::newRow("stored, authentication code changed") << "AES256" << true << "code";
    QTest::newRow("deflated, encrypted data changed") << "AES128" << false << "data";
    QTest::newRow("deflated, authentication code changed") << "AES128" << false << "code";
}

void tst_ZipArchive::aesArchivesFrom7Zip()
{
    QFETCH(QString, strength);
    QFETCH(bool, stored);
    QFETCH(QString, damage);

    // 7-Zip stores the CRC only for files under 20 bytes (AE-1) and leaves
    // it 0 for the others (AE-2).
    const Tree tree({
        {QStringLiteral("empty.txt"), {}},
        {QStringLiteral("fifteen.txt"), QByteArray("fifteen bytes!!")},
        {QStringLiteral("sixteen.txt"), QByteArray("sixteen bytes!!!")},
        {QStringLiteral("media/noise.bin"), noise(100000, 7)},
        {QStringLiteral("text.txt"), compressibleText(200000)},
    });
    QVERIFY(writeTree(_tmp->filePath(QStringLiteral("src")), tree));
    QStringList arguments{QStringLiteral("a"), QStringLiteral("-tzip"), QStringLiteral("-bd"),
                          QStringLiteral("-mem=") + strength, QStringLiteral("-pS3cret")};
    if (stored)
        arguments << QStringLiteral("-mx0");
    arguments << QStringLiteral("../archive.zip") << QStringLiteral(".");
    MTI_VERIFY_TOOL(runTool(QStringLiteral("7z"), arguments, _tmp->filePath(QStringLiteral("src"))));

    const QString archive = _tmp->filePath(QStringLiteral("archive.zip"));
    QByteArray bytes = readFile(archive);
    const LocalEntry entry = localEntryOf(bytes, "media/noise.bin");
    QVERIFY(entry.data > 0 && entry.length > 100000);
    // An AE-2 entry, or this proves nothing: CRC 0 in its local header.
    QCOMPARE(bytes.mid(entry.header + 14, 4), QByteArray(4, '\0'));
    if (damage == QLatin1String("data"))
        bytes[entry.data + 5000] = char(bytes.at(entry.data + 5000) ^ 0x04);
    else if (damage == QLatin1String("code"))
        bytes[entry.data + entry.length - 3] = char(bytes.at(entry.data + entry.length - 3) ^ 0x04);
    QVERIFY(writeFile(archive, bytes));

    RecordingDelegate delegate;
    const QString out = _tmp->filePath(QStringLiteral("out"));
    if (damage.isEmpty()) {
        QVERIFY2(unzip(archive, out, &delegate, QStringLiteral("S3cret")), qPrintable(delegate.messages.join(QLatin1Char('|'))));
        QCOMPARE(readTree(out), withParentFolders(tree));
        return;
    }
    ZipArchive zip;
    zip.setDelegate(&delegate);
    QVERIFY(zip.UnzipOpenFile(archive, QStringLiteral("S3cret")));
    QVERIFY(!zip.UnzipFileTo(out, true));
    QCOMPARE(zip.lastError().code, ZipError::Damaged);
    QCOMPARE(delegate.messages,
             (QStringList{QStringLiteral("Failed to reading zip file"),
                          QStringLiteral("Entry \"media/noise.bin\" is damaged: its data fail their authentication check")}));
    // The other entries are intact; what fails the check is not kept.
    QCOMPARE(readFile(_tmp->filePath(QStringLiteral("out/sixteen.txt"))), QByteArray("sixteen bytes!!!"));
    QVERIFY(!QFileInfo::exists(_tmp->filePath(QStringLiteral("out/media/noise.bin"))));
}

void tst_ZipArchive::aesKeysMatchPublishedVectors_data()
{
    QTest::addColumn<QByteArray>("password");
    QTest::addColumn<QByteArray>("salt");
    QTest::addColumn<int>("iterations");
    QTest::addColumn<QByteArray>("expected");

    // RFC 6070; the last needs more than one block of output.
    QTest::newRow("1 iteration") << QByteArray("password") << QByteArray("salt") << 1
                                 << QByteArray::fromHex("0c60c80f961f0e71f3a9b524af6012062fe037a6");
    QTest::newRow("2 iterations") << QByteArray("password") << QByteArray("salt") << 2
                                  << QByteArray::fromHex("ea6c014dc72d6f8ccd1ed92ace1d41f0d8de8957");
    QTest::newRow("4096 iterations") << QByteArray("password") << QByteArray("salt") << 4096
                                     << QByteArray::fromHex("4b007901b765489abead49d926f721d065a429c1");
    QTest::newRow("25 bytes") << QByteArray("passwordPASSWORDpassword")
                              << QByteArray("saltSALTsaltSALTsaltSALTsaltSALTsalt") << 4096
                              << QByteArray::fromHex("3d2eec4fe41c849b80c8d83662c0e44a8b291a964cf2f07038");
}

void tst_ZipArchive::aesKeysMatchPublishedVectors()
{
    QFETCH(QByteArray, password);
    QFETCH(QByteArray, salt);
    QFETCH(int, iterations);
    QFETCH(QByteArray, expected);

    QCOMPARE(WinZipAes::pbkdf2Sha1(password, salt, iterations, int(expected.size())).toHex(), expected.toHex());
}

void tst_ZipArchive::aesCodesMatchPublishedVectors()
{
    // RFC 2202's HMAC-SHA1 cases 1 and 2.
    QCOMPARE(WinZipAes::hmacSha1(QByteArray(20, '\x0b'), "Hi There").toHex(),
             QByteArray("b617318655057264e28bc0b6fb378c8ef146be00"));
    QCOMPARE(WinZipAes::hmacSha1("Jefe", "what do ya want for nothing?").toHex(),
             QByteArray("effcdf6ae5eb2fa2d27416d5f184df9c259a7c79"));
}

// ---------------------------------------------------------------- progress

void tst_ZipArchive::progressRisesToTheTotal_data()
{
    QTest::addColumn<bool>("skipExisting");

    QTest::newRow("every entry written") << false;
    QTest::newRow("entries the delegate skips still count") << true;
}

void tst_ZipArchive::progressRisesToTheTotal()
{
    QFETCH(bool, skipExisting);

    const QString archive = _tmp->filePath(QStringLiteral("archive.zip"));
    const Tree source = sourceTree();
    MTI_VERIFY_TOOL(writeZipWithPython(archive, entriesOf(source)));
    qint64 total = 0;
    for (const QByteArray &contents : source)
        total += contents.size();

    const QString out = _tmp->filePath(QStringLiteral("out"));
    if (skipExisting)
        QVERIFY(writeFile(out + QStringLiteral("/media/deep/noise.bin"), "kept"));

    ZipArchive zip;
    RecordingDelegate delegate(false);
    RecordingProgress progress;
    zip.setDelegate(&delegate);
    zip.setProgressListener(&progress);
    QVERIFY(zip.UnzipOpenFile(archive));
    QVERIFY(zip.UnzipFileTo(out, !skipExisting));
    QVERIFY(zip.UnzipCloseFile());
    QCOMPARE(delegate.overwriteQuestions.size(), skipExisting ? 1 : 0);

    QVERIFY(progress.reports.size() >= 3);
    QCOMPARE(progress.reports.first(), (QPair<qint64, qint64>(0, total)));
    QCOMPARE(progress.reports.last(), (QPair<qint64, qint64>(total, total)));
    for (qsizetype i = 1; i < progress.reports.size(); ++i) {
        QCOMPARE(progress.reports.at(i).second, total);
        QVERIFY2(progress.reports.at(i).first >= progress.reports.at(i - 1).first, qPrintable(QString::number(i)));
    }
}

void tst_ZipArchive::cancellingLeavesNoPartialFile_data()
{
    QTest::addColumn<int>("cancelAt");
    QTest::addColumn<Tree>("left");

    QTest::newRow("cancel before the first byte writes nothing") << 0 << Tree();
    // Report 1 follows the first chunk of big.bin, which has more chunks to come.
    QTest::newRow("cancel inside a file removes that file") << 2 << Tree{{QStringLiteral("a.txt"), "first"}};
}

void tst_ZipArchive::cancellingLeavesNoPartialFile()
{
    QFETCH(int, cancelAt);
    QFETCH(Tree, left);

    const QString archive = _tmp->filePath(QStringLiteral("archive.zip"));
    MTI_VERIFY_TOOL(writeZipWithPython(archive, {{QStringLiteral("a.txt"), "first"},
                                                 {QStringLiteral("big.bin"), noise(1000000)},
                                                 {QStringLiteral("z.txt"), "last"}}));

    ZipArchive zip;
    RecordingDelegate delegate;
    RecordingProgress progress(cancelAt);
    zip.setDelegate(&delegate);
    zip.setProgressListener(&progress);
    // Which files are whole at a cancel depends on the order of writing: the
    // caller's thread writes in archive order.
    zip.setWorkerCount(1);
    QVERIFY(zip.UnzipOpenFile(archive));
    const QString out = _tmp->filePath(QStringLiteral("out"));
    QVERIFY(!zip.UnzipFileTo(out, true));
    QVERIFY(zip.UnzipCloseFile());
    QCOMPARE(progress.reports.size(), cancelAt + 1);
    QCOMPARE(delegate.messages, QStringList{QStringLiteral("Cancelled")});
    QCOMPARE(readTree(out), left);
}

// ---------------------------------------------------------------- writing

void tst_ZipArchive::roundTripThroughOurReader_data()
{
    QTest::addColumn<QString>("password");

    QTest::newRow("plain archive") << QString();
    QTest::newRow("encrypted archive") << QStringLiteral("pa55 word");
}

void tst_ZipArchive::roundTripThroughOurReader()
{
    QFETCH(QString, password);

    Tree source = withoutEmptyFolders(sourceTree());
    source.insert(QString::fromUtf8("Titres/Ünïcødé.moti"), "title");
    source = withParentFolders(source);
    const QString src = _tmp->filePath(QStringLiteral("src"));
    QVERIFY(writeTree(src, source));

    const QString archive = _tmp->filePath(QStringLiteral("archive.zip"));
    ZipArchive writer;
    QVERIFY(password.isNull() ? writer.CreateZipFile2(archive) : writer.CreateZipFile2(archive, password));
    for (auto it = source.cbegin(); it != source.cend(); ++it) {
        if (!it.key().endsWith(QLatin1Char('/')))
            QVERIFY2(writer.addFileToZip(src + QLatin1Char('/') + it.key(), it.key()), qPrintable(it.key()));
    }
    QVERIFY(writer.CloseZipFile2());

    RecordingDelegate delegate;
    const QString out = _tmp->filePath(QStringLiteral("out"));
    QVERIFY(unzip(archive, out, &delegate, password));
    QCOMPARE(delegate.messages, QStringList());
    const QString difference = treeDifference(readTree(out), source);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));

    // Every entry is encrypted exactly when a password was given.
    const ToolResult listing = runPython(QStringLiteral(
        "import sys, zipfile\n"
        "print(sorted({bool(i.flag_bits & 1) for i in zipfile.ZipFile(sys.argv[1]).infolist()}))\n"), {archive});
    MTI_VERIFY_TOOL(listing);
    QCOMPARE(listing.out.trimmed(), password.isNull() ? QByteArray("[False]") : QByteArray("[True]"));
}

void tst_ZipArchive::addingManyFilesHoldsNoDescriptorPerFile()
{
    constexpr int Files = 300;
    Tree source;
    for (int i = 0; i < Files; ++i)
        source.insert(QStringLiteral("f%1.txt").arg(i), compressibleText(100, i));
    const QString src = _tmp->filePath(QStringLiteral("src"));
    QVERIFY(writeTree(src, source));

    // macOS gives a process 256 descriptors by default.
    struct rlimit saved;
    QCOMPARE(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    struct rlimit low = saved;
    low.rlim_cur = 64;
    QCOMPARE(::setrlimit(RLIMIT_NOFILE, &low), 0);
    const auto restore = qScopeGuard([&saved] { ::setrlimit(RLIMIT_NOFILE, &saved); });

    const QString archive = _tmp->filePath(QStringLiteral("many.zip"));
    ZipArchive writer;
    QVERIFY(writer.CreateZipFile2(archive));
    for (auto it = source.cbegin(); it != source.cend(); ++it)
        QVERIFY2(writer.addFileToZip(src + QLatin1Char('/') + it.key(), it.key()), qPrintable(it.key()));
    QVERIFY(writer.CloseZipFile2());

    const QString out = _tmp->filePath(QStringLiteral("out"));
    RecordingDelegate delegate;
    QVERIFY(unzip(archive, out, &delegate));
    const QString difference = treeDifference(readTree(out), source);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
}

void tst_ZipArchive::encryptedArchiveIsReadByOtherTools()
{
    const Tree source = withoutEmptyFolders(sourceTree());
    const QString src = _tmp->filePath(QStringLiteral("src"));
    QVERIFY(writeTree(src, source));
    // Files older than a few minutes: the encryption header's check byte
    // comes from the entry's time, which must then be the file's, not now.
    const QDateTime old(QDate(2001, 2, 3), QTime(4, 5, 6));
    for (auto it = source.cbegin(); it != source.cend(); ++it) {
        QFile file(src + QLatin1Char('/') + it.key());
        if (!it.key().endsWith(QLatin1Char('/')))
            QVERIFY(file.open(QIODevice::ReadWrite) && file.setFileTime(old, QFileDevice::FileModificationTime));
    }

    const QString archive = _tmp->filePath(QStringLiteral("archive.zip"));
    ZipArchive writer;
    QVERIFY(writer.CreateZipFile2(archive, QStringLiteral("s3cret")));
    for (auto it = source.cbegin(); it != source.cend(); ++it) {
        if (!it.key().endsWith(QLatin1Char('/')))
            QVERIFY(writer.addFileToZip(src + QLatin1Char('/') + it.key(), it.key()));
    }
    QVERIFY(writer.CloseZipFile2());

    const QString byUnzip = _tmp->filePath(QStringLiteral("unzip"));
    MTI_VERIFY_TOOL(runTool(QStringLiteral("unzip"), {QStringLiteral("-q"), QStringLiteral("-P"), QStringLiteral("s3cret"),
                                                      archive, QStringLiteral("-d"), byUnzip}));
    QString difference = treeDifference(readTree(byUnzip), source);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));

    const QString byPython = _tmp->filePath(QStringLiteral("python"));
    MTI_VERIFY_TOOL(runPython(QStringLiteral("import sys, zipfile\n"
                                             "zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2], pwd=b's3cret')\n"),
                              {archive, byPython}));
    difference = treeDifference(readTree(byPython), source);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));

    // And it really is encrypted: a wrong password gets nothing.
    const ToolResult wrong = runTool(QStringLiteral("unzip"), {QStringLiteral("-P"), QStringLiteral("wrong"), QStringLiteral("-p"),
                                                               archive, QStringLiteral("a.txt")});
    QVERIFY(wrong.started);
    QVERIFY2(wrong.exitCode != 0, qPrintable(wrong.describe()));
}

void tst_ZipArchive::addedEntriesStoreTheSourceTime()
{
    const QString source = _tmp->filePath(QStringLiteral("source.txt"));
    QVERIFY(writeFile(source, "timed"));
    QVERIFY(setModificationTime(source, QDateTime(QDate(2010, 6, 15), QTime(13, 45, 31))));

    const QString archive = _tmp->filePath(QStringLiteral("archive.zip"));
    ZipArchive writer;
    QVERIFY(writer.CreateZipFile2(archive));
    QVERIFY(writer.addFileToZip(source, QStringLiteral("timed.txt")));
    QVERIFY(writer.CloseZipFile2());

    const ToolResult time = runPython(QStringLiteral("import sys, zipfile\n"
                                                     "print(zipfile.ZipFile(sys.argv[1]).getinfo('timed.txt').date_time)\n"),
                                      {archive});
    MTI_VERIFY_TOOL(time);
    QCOMPARE(time.out.trimmed(), QByteArray("(2010, 6, 15, 13, 45, 30)"));
}

void tst_ZipArchive::sourceChangedAfterAddingKeepsWhatWasAdded()
{
    // addFileToZip answers for the entry it added: what the file held then is
    // what the archive holds, whatever happens to the file before closing.
    const QString shrunk = _tmp->filePath(QStringLiteral("shrunk.txt"));
    const QString removed = _tmp->filePath(QStringLiteral("removed.txt"));
    QVERIFY(writeFile(shrunk, compressibleText(10000)));
    QVERIFY(writeFile(removed, "removed"));

    const QString archive = _tmp->filePath(QStringLiteral("archive.zip"));
    ZipArchive writer;
    QVERIFY(writer.CreateZipFile2(archive));
    QVERIFY(writer.addFileToZip(shrunk, QStringLiteral("shrunk.txt")));
    QVERIFY(writer.addFileToZip(removed, QStringLiteral("removed.txt")));
    QVERIFY(writeFile(shrunk, "short"));
    QVERIFY(QFile::remove(removed));
    QVERIFY(writer.CloseZipFile2());

    RecordingDelegate delegate;
    QVERIFY(unzip(archive, _tmp->filePath(QStringLiteral("out")), &delegate));
    QCOMPARE(readTree(_tmp->filePath(QStringLiteral("out"))),
             (Tree{{QStringLiteral("shrunk.txt"), compressibleText(10000)}, {QStringLiteral("removed.txt"), "removed"}}));
}

void tst_ZipArchive::filesReadAtCloseRefuseAChangedSource_data()
{
    QTest::addColumn<QString>("change");
    QTest::newRow("unchanged: read whole at close") << QStringLiteral("none");
    QTest::newRow("rewritten in place, same size") << QStringLiteral("rewritten");
    QTest::newRow("another file renamed over it") << QStringLiteral("replaced");
    QTest::newRow("grown") << QStringLiteral("grown");
    QTest::newRow("removed") << QStringLiteral("removed");
}

void tst_ZipArchive::filesReadAtCloseRefuseAChangedSource()
{
    QFETCH(QString, change);
    const QString first = _tmp->filePath(QStringLiteral("first.txt"));
    const QString second = _tmp->filePath(QStringLiteral("second.txt"));
    QVERIFY(writeFile(first, compressibleText(300000, 1)));
    QVERIFY(writeFile(second, compressibleText(10000, 2)));
    const QString archive = _tmp->filePath(QStringLiteral("archive.zip"));
    QVERIFY(writeFile(archive, "the previous archive"));

    ZipArchive writer;
    writer.setReadsFilesAtClose(true);
    QVERIFY(writer.CreateZipFile2(archive));
    QVERIFY(writer.addFileToZip(first, QStringLiteral("first.txt")));
    QVERIFY(writer.addFileToZip(second, QStringLiteral("second.txt")));
    const QString other = _tmp->filePath(QStringLiteral("other.txt"));
    if (change == QLatin1String("rewritten")) {
        QVERIFY(writeFile(second, compressibleText(10000, 3)));
    } else if (change == QLatin1String("replaced")) {
        QVERIFY(writeFile(other, compressibleText(10000, 2)));
        QCOMPARE(std::rename(QFile::encodeName(other).constData(), QFile::encodeName(second).constData()), 0);
    } else if (change == QLatin1String("grown")) {
        QVERIFY(writeFile(second, compressibleText(10001, 2)));
    } else if (change == QLatin1String("removed")) {
        QVERIFY(QFile::remove(second));
    }
    const bool written = writer.CloseZipFile2();
    // Rewritten in place is the same file of the same size: read as it is
    // now, which is what reading at close means.
    const bool same = change == QLatin1String("none") || change == QLatin1String("rewritten");
    QCOMPARE(written, same);
    if (!same) {
        // The old archive stays; nothing half-written takes its name.
        QCOMPARE(readFile(archive), QByteArray("the previous archive"));
        return;
    }
    RecordingDelegate delegate;
    QVERIFY(unzip(archive, _tmp->filePath(QStringLiteral("out")), &delegate));
    QCOMPARE(readTree(_tmp->filePath(QStringLiteral("out"))),
             (Tree{{QStringLiteral("first.txt"), compressibleText(300000, 1)},
                   {QStringLiteral("second.txt"), readFile(second)}}));
}

void tst_ZipArchive::compressionLevelIsTheOneAsked()
{
    const QString source = _tmp->filePath(QStringLiteral("text.txt"));
    QVERIFY(writeFile(source, compressibleText(400000, 4)));
    QMap<int, qint64> sizes;
    for (const int level : {1, 6, 9}) {
        const QString archive = _tmp->filePath(QStringLiteral("level%1.zip").arg(level));
        ZipArchive writer;
        writer.setCompressionLevel(level);
        QVERIFY(writer.CreateZipFile2(archive));
        QVERIFY(writer.addFileToZip(source, QStringLiteral("text.txt")));
        QVERIFY(writer.CloseZipFile2());
        sizes[level] = QFileInfo(archive).size();
        RecordingDelegate delegate;
        const QString out = _tmp->filePath(QStringLiteral("out%1").arg(level));
        QVERIFY(unzip(archive, out, &delegate));
        QCOMPARE(readFile(out + QStringLiteral("/text.txt")), compressibleText(400000, 4));
    }
    // Each level deflates differently; the fastest gives the largest.
    QVERIFY2(sizes[1] > sizes[6] && sizes[6] >= sizes[9], qPrintable(QStringLiteral("%1 %2 %3").arg(sizes[1]).arg(sizes[6]).arg(sizes[9])));
}

void tst_ZipArchive::createReplacesAnExistingFile()
{
    const QString archive = _tmp->filePath(QStringLiteral("archive.zip"));
    MTI_VERIFY_TOOL(writeZipWithPython(archive, {{QStringLiteral("old.txt"), "old"}}));
    const QString source = _tmp->filePath(QStringLiteral("new.txt"));
    QVERIFY(writeFile(source, "new"));

    ZipArchive writer;
    QVERIFY(writer.CreateZipFile2(archive));
    QVERIFY(writer.addFileToZip(source, QStringLiteral("new.txt")));
    QVERIFY(writer.CloseZipFile2());

    RecordingDelegate delegate;
    QVERIFY(unzip(archive, _tmp->filePath(QStringLiteral("out")), &delegate));
    QCOMPARE(readTree(_tmp->filePath(QStringLiteral("out"))), (Tree{{QStringLiteral("new.txt"), "new"}}));
}

void tst_ZipArchive::unreadableSourceIsRefused_data()
{
    QTest::addColumn<QString>("source");

    QTest::newRow("missing source is refused") << "missing.txt";
    QTest::newRow("folder as source is refused") << "folder";
}

void tst_ZipArchive::unreadableSourceIsRefused()
{
    QFETCH(QString, source);

    QVERIFY(QDir().mkpath(_tmp->filePath(QStringLiteral("folder"))));
    QVERIFY(writeFile(_tmp->filePath(QStringLiteral("good.txt")), "good"));

    const QString archive = _tmp->filePath(QStringLiteral("archive.zip"));
    ZipArchive writer;
    QVERIFY(writer.CreateZipFile2(archive));
    QVERIFY(writer.addFileToZip(_tmp->filePath(QStringLiteral("good.txt")), QStringLiteral("good.txt")));
    QVERIFY(!writer.addFileToZip(_tmp->filePath(source), QStringLiteral("bad.txt")));
    // The archive goes on without the refused entry.
    QVERIFY(writer.CloseZipFile2());

    RecordingDelegate delegate;
    QVERIFY(unzip(archive, _tmp->filePath(QStringLiteral("out")), &delegate));
    QCOMPARE(readTree(_tmp->filePath(QStringLiteral("out"))), (Tree{{QStringLiteral("good.txt"), "good"}}));
}

void tst_ZipArchive::nonAsciiPasswordRefusesToWrite()
{
    QVERIFY(writeFile(_tmp->filePath(QStringLiteral("secret.txt")), "secret"));
    const QString archive = _tmp->filePath(QStringLiteral("archive.zip"));

    ZipArchive writer;
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("password is not 7-bit ASCII")));
    QVERIFY(writer.CreateZipFile2(archive, QString::fromUtf8("pässword")));
    QVERIFY(!writer.addFileToZip(_tmp->filePath(QStringLiteral("secret.txt")), QStringLiteral("secret.txt")));
    QVERIFY(writer.CloseZipFile2());
    // Nothing readable without the password was written.
    const ToolResult names = runPython(QStringLiteral("import sys, zipfile\nprint(zipfile.ZipFile(sys.argv[1]).namelist())\n"),
                                       {archive});
    MTI_VERIFY_TOOL(names);
    QCOMPARE(names.out.trimmed(), QByteArray("[]"));
}

void tst_ZipArchive::emptyArchiveIsAValidZip()
{
    const QString archive = _tmp->filePath(QStringLiteral("empty.zip"));
    QVERIFY(writeFile(archive, "previous contents"));
    ZipArchive writer;
    QVERIFY(writer.CreateZipFile2(archive));
    QVERIFY(writer.CloseZipFile2());

    const ToolResult check = runPython(QStringLiteral("import sys, zipfile\n"
                                                      "z = zipfile.ZipFile(sys.argv[1])\n"
                                                      "print(z.testzip(), z.namelist())\n"),
                                       {archive});
    MTI_VERIFY_TOOL(check);
    QCOMPARE(check.out.trimmed(), QByteArray("None []"));
    ZipArchive reader;
    QVERIFY(reader.UnzipOpenFile(archive));
    QVERIFY(reader.UnzipCloseFile());
}

void tst_ZipArchive::writingNeedsAnOpenArchive()
{
    QVERIFY(writeFile(_tmp->filePath(QStringLiteral("a.txt")), "a"));

    ZipArchive zip;
    QVERIFY(!zip.addFileToZip(_tmp->filePath(QStringLiteral("a.txt")), QStringLiteral("a.txt")));
    QVERIFY(!zip.CloseZipFile2());
    QCOMPARE(readTree(_tmp->path()), (Tree{{QStringLiteral("a.txt"), "a"}}));
}

void tst_ZipArchive::createRefusesUnusablePaths()
{
    QVERIFY(QDir().mkpath(_tmp->filePath(QStringLiteral("folder"))));

    ZipArchive zip;
    QVERIFY(!zip.CreateZipFile2(_tmp->filePath(QStringLiteral("missing/archive.zip"))));
    QVERIFY(!zip.CreateZipFile2(_tmp->filePath(QStringLiteral("folder"))));
    QVERIFY(!zip.CloseZipFile2());
    QCOMPARE(readTree(_tmp->path()), (Tree{{QStringLiteral("folder/"), {}}}));
}

void tst_ZipArchive::destructorFinishesAnArchiveBeingWritten()
{
    QVERIFY(writeFile(_tmp->filePath(QStringLiteral("a.txt")), "a"));
    const QString archive = _tmp->filePath(QStringLiteral("archive.zip"));
    {
        ZipArchive writer;
        QVERIFY(writer.CreateZipFile2(archive));
        QVERIFY(writer.addFileToZip(_tmp->filePath(QStringLiteral("a.txt")), QStringLiteral("a.txt")));
    }
    RecordingDelegate delegate;
    QVERIFY(unzip(archive, _tmp->filePath(QStringLiteral("out")), &delegate));
    QCOMPARE(readTree(_tmp->filePath(QStringLiteral("out"))), (Tree{{QStringLiteral("a.txt"), "a"}}));
}

void tst_ZipArchive::destructorReleasesAnArchiveOpenForReading()
{
    const int before = openFileDescriptors();
    {
        auto zip = std::make_unique<ZipArchive>();
        QVERIFY(zip->UnzipOpenFile(DittoFixture));
        QVERIFY(openFileDescriptors() > before);
    }
    QCOMPARE(openFileDescriptors(), before);
}

void tst_ZipArchive::date1980IsLocalMidnight()
{
    const QDateTime date = ZipArchive::Date1980();
    QCOMPARE(date.date(), QDate(1980, 1, 1));
    QCOMPARE(date.time(), QTime(0, 0, 0));
    QCOMPARE(date.timeSpec(), Qt::LocalTime);
    // Kolkata is 5:30 ahead of UTC.
    QCOMPARE(date.toUTC(), QDateTime(QDate(1979, 12, 31), QTime(18, 30, 0), Qt::UTC));
}

QTEST_GUILESS_MAIN(tst_ZipArchive)
#include "tst_ZipArchive.moc"
