// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Installer/FolderTree.h"
#include "ZipArchive/ZipArchive.h"
#include "ZipArchive/ZipDirectory.h"
#include "ZipTestTools.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <ctime>

using namespace TestSupport;
using namespace ZipTestTools;

namespace {

const QString DittoFixture = QStringLiteral(MTI_TEST_DATA_DIR "/test-archive-ditto.zip");

// One entry "Folder" made on host argv[2] with external attributes argv[3]
// and contents argv[4]; with argv[5] == '1' a file inside it follows.
const char *const AttributedEntry = R"(
import sys, zipfile
archive, host, attributes, data, child = sys.argv[1:6]
with zipfile.ZipFile(archive, 'w', zipfile.ZIP_STORED) as z:
    info = zipfile.ZipInfo('Folder', (2021, 6, 1, 12, 0, 0))
    info.create_system = int(host)
    info.external_attr = int(attributes)
    z.writestr(info, data.encode())
    if child == '1':
        z.writestr('Folder/file.txt', b'in folder')
)";

// One stored entry "f.bin" with DOS time 12:00:00 on 1 June of year argv[4]
// and the extra fields argv[2] (central header) and argv[3] (local header),
// in hex.
const char *const TimedEntry = R"(
import struct, sys, zlib
archive, central, local = sys.argv[1], bytes.fromhex(sys.argv[2]), bytes.fromhex(sys.argv[3])
data, name = b'timed', b'f.bin'
dos_time, dos_date = 12 << 11, (int(sys.argv[4]) - 1980) << 9 | 6 << 5 | 1
crc = zlib.crc32(data)
lh = struct.pack('<IHHHHHIIIHH', 0x04034b50, 20, 0, 0, dos_time, dos_date, crc, len(data), len(data),
                 len(name), len(local)) + name + local + data
cd = struct.pack('<IHHHHHHIIIHHHHHII', 0x02014b50, 0x031e, 20, 0, 0, dos_time, dos_date, crc, len(data), len(data),
                 len(name), len(central), 0, 0, 0, 0o100644 << 16, 0) + name + central
end = struct.pack('<IHHHHIIH', 0x06054b50, 0, 0, 1, 1, len(cd), len(lh), 0)
open(archive, 'wb').write(lh + cd + end)
)";

QString utcTimeText(const QDateTime &time)
{
    return time.toUTC().toString(Qt::ISODate);
}

QByteArray hexLittle(quint64 value, int bytes)
{
    QByteArray out;
    for (int i = 0; i < bytes; ++i, value >>= 8)
        out.append(char(value & 0xff));
    return out.toHex();
}

// An extended timestamp field (UT) holding mtime only.
QByteArray utField(qint64 mtime)
{
    return QByteArray("5554050001" + hexLittle(quint64(mtime), 4));
}

// An NTFS field holding mtime (atime and ctime alike).
QByteArray ntfsField(qint64 mtime)
{
    const QByteArray filetime = hexLittle(quint64((mtime + 11644473600) * 10000000), 8);
    return QByteArray("0a0020000000000001001800" + filetime + filetime + filetime);
}

// Unpacks archive into out: what the delegate was told, after "failed"
// when opening or unpacking failed.
QStringList unpackingMessages(const QString &archive, const QString &out)
{
    RecordingDelegate delegate;
    ZipArchive zip;
    zip.setDelegate(&delegate);
    const bool unpacked = zip.UnzipOpenFile(archive) && zip.UnzipFileTo(out, true);
    zip.UnzipCloseFile();
    if (!unpacked)
        delegate.messages.prepend(QStringLiteral("failed"));
    return delegate.messages;
}

// Reads directories of more than one entry a window of one entry at a time.
struct Windowing
{
    explicit Windowing(bool on)
    {
        if (on)
            qputenv("MTI_ZIP_WINDOW_ENTRIES", "1");
    }
    ~Windowing() { qunsetenv("MTI_ZIP_WINDOW_ENTRIES"); }
};

qint64 utc(int year, int month, int day, int hour, int minute, int second)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second), Qt::UTC).toSecsSinceEpoch();
}

// Sets the zone for this process, what libzip, Qt and the tools it runs read.
void setZone(const QByteArray &zone)
{
    qputenv("TZ", zone);
    tzset();
}

} // namespace

// Archives whose tools say things beyond the entry names and DOS times, or
// that are not whole archives at all.
class tst_ZipToolQuirks : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void foldersMarkedByAttributes_data();
    void foldersMarkedByAttributes();

    void extendedTimesWin_data();
    void extendedTimesWin();
    void timesFromTools_data();
    void timesFromTools();

    void splitArchivesAreNamedAsSuch_data();
    void splitArchivesAreNamedAsSuch();
};

void tst_ZipToolQuirks::init()
{
    setZone("Asia/Kolkata");
}

void tst_ZipToolQuirks::foldersMarkedByAttributes_data()
{
    QTest::addColumn<int>("host");
    QTest::addColumn<quint32>("attributes");
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<bool>("isFolder");
    QTest::addColumn<bool>("windowed");

    constexpr quint32 DosDirectory = 0x10;
    constexpr quint32 DosArchive = 0x20;
    QTest::newRow("MS-DOS host, directory attribute") << 0 << DosDirectory << QByteArray() << true << false;
    QTest::newRow("MS-DOS host, directory attribute, read in windows")
        << 0 << DosDirectory << QByteArray() << true << true;
    QTest::newRow("NTFS host, directory and archive attributes")
        << 10 << (DosDirectory | DosArchive) << QByteArray() << true << false;
    QTest::newRow("VFAT host, directory attribute") << 14 << DosDirectory << QByteArray() << true << false;
    QTest::newRow("Unix host, folder mode") << 3 << (quint32(0040755) << 16) << QByteArray() << true << false;
    QTest::newRow("MS-DOS host, empty file") << 0 << DosArchive << QByteArray() << false << false;
    QTest::newRow("MS-DOS host, directory attribute on an entry with data")
        << 0 << DosDirectory << QByteArray("data") << false << false;
    QTest::newRow("Unix host, file mode beside the DOS directory bit")
        << 3 << ((quint32(0100644) << 16) | DosDirectory) << QByteArray() << false << false;
    QTest::newRow("classic Mac OS host, DOS directory bit") << 7 << DosDirectory << QByteArray() << false << false;
}

void tst_ZipToolQuirks::foldersMarkedByAttributes()
{
    QFETCH(int, host);
    QFETCH(quint32, attributes);
    QFETCH(QByteArray, contents);
    QFETCH(bool, isFolder);
    QFETCH(bool, windowed);
    const Windowing windowing(windowed);

    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    const QString archive = tmp.filePath(QStringLiteral("archive.zip"));
    MTI_VERIFY_TOOL(runPython(QString::fromLatin1(AttributedEntry),
                              {archive, QString::number(host), QString::number(attributes),
                               QString::fromLatin1(contents), isFolder ? QStringLiteral("1") : QStringLiteral("0")}));

    const QString out = tmp.filePath(QStringLiteral("out"));
    QCOMPARE(unpackingMessages(archive, out), QStringList());
    const Tree expected = isFolder ? Tree{{QStringLiteral("Folder/"), {}},
                                          {QStringLiteral("Folder/file.txt"), "in folder"}}
                                   : Tree{{QStringLiteral("Folder"), contents}};
    const QString difference = treeDifference(readTree(out), expected);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));

    // The listing, and the tree the template scan walks, say what unpacking did.
    RecordingDelegate delegate;
    std::optional<std::vector<ZipDirectory::Entry>> listed = ZipDirectory::read(archive, &delegate);
    QVERIFY(listed);
    QCOMPARE(listed->size(), size_t(isFolder ? 2 : 1));
    QCOMPARE(listed->front().name, QStringLiteral("Folder"));
    QCOMPARE(listed->front().relativePath, QStringLiteral("Folder"));
    QCOMPARE(listed->front().isDirectory, isFolder);
    QString problem;
    const std::optional<ArchiveFolderTree> tree = ArchiveFolderTree::fromEntries(std::move(*listed), &problem);
    QVERIFY2(tree, qPrintable(problem));
    const std::vector<FolderTree::Entry> fromArchive = tree->entries({});
    const std::vector<FolderTree::Entry> fromDisk = DiskFolderTree(out).entries({});
    QCOMPARE(fromArchive.size(), size_t(1));
    QCOMPARE(fromDisk.size(), size_t(1));
    QCOMPARE(fromArchive.front().name, fromDisk.front().name);
    QCOMPARE(fromArchive.front().isFolder, isFolder);
    QCOMPARE(fromDisk.front().isFolder, isFolder);
}

void tst_ZipToolQuirks::extendedTimesWin_data()
{
    QTest::addColumn<QByteArray>("zone");
    QTest::addColumn<QByteArray>("central");
    QTest::addColumn<QByteArray>("local");
    QTest::addColumn<int>("dosYear");
    QTest::addColumn<QDateTime>("expected");  // null: the DOS time, local in the zone

    const qint64 odd = utc(2021, 3, 4, 5, 6, 7);
    const qint64 other = utc(2022, 8, 9, 10, 11, 13);
    const QDateTime dosTime;
    const auto at = [](qint64 seconds) { return QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC); };

    for (const char *zone : {"Asia/Kolkata", "America/New_York", "UTC"}) {
        const auto row = [zone](const char *what) -> QTestData & {
            return QTest::addRow("%s, %s", what, zone) << QByteArray(zone);
        };
        const int year = 2021;
        row("no extra field: the DOS time as local time") << QByteArray() << QByteArray() << year << dosTime;
        row("UT in the central header") << utField(odd) << QByteArray() << year << at(odd);
        row("UT only in the local header") << QByteArray() << utField(odd) << year << at(odd);
        row("the central header's UT before the local one's") << utField(odd) << utField(other) << year << at(odd);
        row("NTFS before UT") << QByteArray(utField(other) + ntfsField(odd)) << QByteArray() << year << at(odd);
        row("UX: atime, then mtime") << QByteArray("55580800" + hexLittle(quint64(other), 4) + hexLittle(quint64(odd), 4))
                                     << QByteArray() << year << at(odd);
        row("UT without its mtime flag: the DOS time") << QByteArray("5554050002" + hexLittle(quint64(odd), 4))
                                                       << QByteArray() << year << dosTime;
        row("NTFS without a time: UT") << QByteArray("0a00040000000000") << utField(odd) << year << at(odd);
        // The sign bit set: past 2038 when the DOS time says so, before 1970
        // when it is clamped at 1980.
        row("UT past 2038") << utField(utc(2040, 1, 2, 3, 4, 5)) << QByteArray() << 2040
                            << at(utc(2040, 1, 2, 3, 4, 5));
        row("UT before 1970") << utField(utc(1969, 7, 20, 20, 17, 40)) << QByteArray() << 1980
                              << at(utc(1969, 7, 20, 20, 17, 40));
    }
}

void tst_ZipToolQuirks::extendedTimesWin()
{
    QFETCH(QByteArray, zone);
    QFETCH(QByteArray, central);
    QFETCH(QByteArray, local);
    QFETCH(int, dosYear);
    QFETCH(QDateTime, expected);

    setZone(zone);
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    const QString archive = tmp.filePath(QStringLiteral("archive.zip"));
    MTI_VERIFY_TOOL(runPython(QString::fromLatin1(TimedEntry),
                              {archive, QString::fromLatin1(central), QString::fromLatin1(local), QString::number(dosYear)}));
    QCOMPARE(unpackingMessages(archive, tmp.filePath(QStringLiteral("out"))), QStringList());
    const QFileInfo file(tmp.filePath(QStringLiteral("out/f.bin")));
    QCOMPARE(file.size(), qint64(5));
    // Built here: a local time takes its offset from the zone when made.
    if (expected.isNull())
        expected = QDateTime(QDate(dosYear, 6, 1), QTime(12, 0, 0), Qt::LocalTime);
    QCOMPARE(utcTimeText(file.lastModified()), utcTimeText(expected));
}

void tst_ZipToolQuirks::timesFromTools_data()
{
    QTest::addColumn<QByteArray>("zone");
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QDateTime>("mtime");  // the file's, when the tool packs one
    QTest::addColumn<bool>("windowed");

    const QDateTime odd = QDateTime(QDate(2021, 3, 4), QTime(5, 6, 7), Qt::UTC);
    const QDateTime before1980 = QDateTime(QDate(1975, 7, 8), QTime(9, 10, 11), Qt::UTC);
    for (const char *zone : {"Asia/Kolkata", "America/New_York"}) {
        const auto row = [zone](const char *what) -> QTestData & {
            return QTest::addRow("%s, %s", what, zone) << QByteArray(zone);
        };
        // What 7z and unzip give for it: 2019-05-20 04:04:10 UTC, wherever.
        const QDateTime ditto(QDate(2019, 5, 20), QTime(4, 4, 10), Qt::UTC);
        row("ditto fixture: UX") << QString() << QStringList() << ditto << false;
        row("ditto fixture: UX, read in windows") << QString() << QStringList() << ditto << true;
        row("Info-ZIP: UT") << QStringLiteral("zip") << strings({"-q", "../archive.zip", "f.bin"}) << odd << false;
        row("Info-ZIP: UT before 1980") << QStringLiteral("zip") << strings({"-q", "../archive.zip", "f.bin"})
                                        << before1980 << false;
        row("7z -mtc=on: NTFS") << QStringLiteral("7z")
                                << strings({"a", "-tzip", "-mtc=on", "-bd", "../archive.zip", "f.bin"}) << odd << false;
    }
}

void tst_ZipToolQuirks::timesFromTools()
{
    QFETCH(QByteArray, zone);
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    QFETCH(QDateTime, mtime);
    QFETCH(bool, windowed);
    const Windowing windowing(windowed);

    setZone(zone);
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    QString archive = DittoFixture;
    QString unpacked = QStringLiteral("lorem.bin");
    if (!program.isEmpty()) {
        const QString source = tmp.filePath(QStringLiteral("src/f.bin"));
        QVERIFY(writeFile(source, "timed"));
        QVERIFY(setModificationTime(source, mtime));
        archive = tmp.filePath(QStringLiteral("archive.zip"));
        unpacked = QStringLiteral("f.bin");
        MTI_VERIFY_TOOL(runTool(program, arguments, tmp.filePath(QStringLiteral("src"))));
    }
    QCOMPARE(unpackingMessages(archive, tmp.filePath(QStringLiteral("out"))), QStringList());
    QCOMPARE(utcTimeText(QFileInfo(tmp.filePath(QStringLiteral("out/") + unpacked)).lastModified()),
             utcTimeText(mtime));
}

void tst_ZipToolQuirks::splitArchivesAreNamedAsSuch_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("part");    // the file made that is opened
    QTest::addColumn<QString>("openAs");  // the name it is opened by
    QTest::addColumn<bool>("recognised");

    const QStringList zipSplit = strings({"-q", "-s", "100k", "../split.zip", "a.bin"});
    const QStringList sevenZipVolumes = strings({"a", "-tzip", "-v100k", "-bd", "../vol.zip", "a.bin"});
    QTest::newRow("zip -s: the last part") << "zip" << zipSplit << "split.zip" << "split.zip" << true;
    QTest::newRow("zip -s: the first part") << "zip" << zipSplit << "split.z01" << "split.z01" << true;
    QTest::newRow("zip -s: the first part, renamed") << "zip" << zipSplit << "split.z01" << "first.bin" << true;
    QTest::newRow("zip -s: the last part, renamed") << "zip" << zipSplit << "split.zip" << "last.bin" << true;
    QTest::newRow("7z -v: the first volume") << "7z" << sevenZipVolumes << "vol.zip.001" << "vol.zip.001" << true;
    QTest::newRow("7z -v: the last volume") << "7z" << sevenZipVolumes << "vol.zip.003" << "vol.zip.003" << true;
    // Nothing in it tells: a zip cut short.
    QTest::newRow("7z -v: the first volume, renamed") << "7z" << sevenZipVolumes << "vol.zip.001" << "first.zip"
                                                      << false;
}

void tst_ZipToolQuirks::splitArchivesAreNamedAsSuch()
{
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    QFETCH(QString, part);
    QFETCH(QString, openAs);
    QFETCH(bool, recognised);

    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    QVERIFY(writeFile(tmp.filePath(QStringLiteral("src/a.bin")), noise(300000)));
    MTI_VERIFY_TOOL(runTool(program, arguments, tmp.filePath(QStringLiteral("src"))));
    const QString archive = tmp.filePath(QStringLiteral("opened/") + openAs);
    QVERIFY(QDir().mkpath(tmp.filePath(QStringLiteral("opened"))));
    QVERIFY(QFile::copy(tmp.filePath(part), archive));

    const QString message = recognised
        ? QStringLiteral("\"%1\" is one part of an archive split into several files; join the parts into one file first")
        : QStringLiteral("\"%1\" is not a zip archive, or it is damaged");
    RecordingDelegate delegate;
    ZipArchive zip;
    zip.setDelegate(&delegate);
    QVERIFY(!zip.UnzipOpenFile(archive));
    QCOMPARE(zip.lastError().code, ZipError::NotAZip);
    QCOMPARE(delegate.messages, QStringList{message.arg(archive)});
    RecordingDelegate listing;
    QVERIFY(!ZipDirectory::read(archive, &listing));
    QCOMPARE(listing.messages, QStringList{message.arg(archive)});
    QCOMPARE(readFile(archive), readFile(tmp.filePath(part)));
}

QTEST_GUILESS_MAIN(tst_ZipToolQuirks)
#include "tst_ZipToolQuirks.moc"
