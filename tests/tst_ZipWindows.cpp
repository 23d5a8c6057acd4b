// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
// Reading a directory a window of entries at a time must be indistinguishable
// from reading it whole: same files, messages, answer, typed error, progress
// and listing, whatever wrote the archive and however it is damaged.
#include "ZipArchive/ZipArchive.h"
#include "ZipArchive/ZipDirectory.h"
#include "ZipTestTools.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace TestSupport;
using namespace ZipTestTools;

namespace {

// Reads whole however many entries there are.
constexpr int Whole = 1000000;

// Sets the entries to a window (and the most read whole) while alive; 0
// keeps the built-in windowing.
class Windowing
{
public:
    explicit Windowing(int entries)
    {
        if (entries > 0)
            qputenv("MTI_ZIP_WINDOW_ENTRIES", QByteArray::number(entries));
    }
    ~Windowing() { qunsetenv("MTI_ZIP_WINDOW_ENTRIES"); }
    Windowing(const Windowing &) = delete;
    Windowing &operator=(const Windowing &) = delete;
};

// How the zip layer read the directories it opened, from its log.
enum class Reading { Whole, Windowed, GaveWay };

struct ReadingNotes
{
    int windowed = 0;
    int gaveWay = 0;
};
ReadingNotes *currentNotes = nullptr;
QtMessageHandler previousHandler = nullptr;

void noteReading(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (currentNotes && qstrcmp(context.category, "mtzip.zip") == 0) {
        if (message.contains(QLatin1String("entries at a time")))
            ++currentNotes->windowed;
        if (message.contains(QLatin1String("whole: window")))
            ++currentNotes->gaveWay;
        return;
    }
    previousHandler(type, context, message);
}

class NotingReading
{
public:
    explicit NotingReading(ReadingNotes *notes)
    {
        currentNotes = notes;
        previousHandler = qInstallMessageHandler(noteReading);
    }
    ~NotingReading()
    {
        qInstallMessageHandler(previousHandler);
        currentNotes = nullptr;
    }
    NotingReading(const NotingReading &) = delete;
    NotingReading &operator=(const NotingReading &) = delete;
};

Reading readingOf(const ReadingNotes &notes)
{
    return notes.gaveWay > 0 ? Reading::GaveWay : notes.windowed > 0 ? Reading::Windowed : Reading::Whole;
}

struct Outcome
{
    bool answer = false;
    QStringList messages;
    ZipError error;
    QStringList digest;
    QList<QPair<qint64, qint64>> reports;
    Reading reading = Reading::Whole;
};

Outcome unpack(const QString &archive, const QString &destination, int window, const QString &password = {},
               int cancelAt = -1)
{
    const Windowing windowing(window);
    ReadingNotes notes;
    const NotingReading noting(&notes);
    ZipArchive zip;
    RecordingDelegate delegate;
    RecordingProgress progress(cancelAt);
    zip.setDelegate(&delegate);
    zip.setProgressListener(&progress);
    Outcome outcome;
    if (password.isEmpty() ? zip.UnzipOpenFile(archive) : zip.UnzipOpenFile(archive, password))
        outcome.answer = zip.UnzipFileTo(destination, true);
    outcome.error = zip.lastError();
    zip.UnzipCloseFile();
    for (const QString &message : std::as_const(delegate.messages))
        outcome.messages.append(QString(message).replace(destination, QStringLiteral("<out>")));
    outcome.error.detail.replace(destination, QStringLiteral("<out>"));
    outcome.digest = treeDigest(destination);
    outcome.reports = progress.reports;
    outcome.reading = readingOf(notes);
    return outcome;
}

struct Listing
{
    bool read = false;
    QStringList messages;
    QStringList entries;
    Reading reading = Reading::Whole;
};

Listing list(const QString &archive, int window)
{
    const Windowing windowing(window);
    ReadingNotes notes;
    const NotingReading noting(&notes);
    RecordingDelegate delegate;
    Listing listing;
    const std::optional<std::vector<ZipDirectory::Entry>> entries = ZipDirectory::read(archive, &delegate);
    listing.read = entries.has_value();
    for (const ZipDirectory::Entry &entry : entries.value_or(std::vector<ZipDirectory::Entry>()))
        listing.entries.append(QStringLiteral("%1 -> %2 %3 %4 %5")
                                   .arg(entry.name, entry.relativePath)
                                   .arg(entry.isDirectory ? QLatin1String("folder") : QLatin1String("file"))
                                   .arg(entry.size)
                                   .arg(entry.crc32, 8, 16, QLatin1Char('0')));
    listing.messages = delegate.messages;
    listing.reading = readingOf(notes);
    return listing;
}

Tree sampleTree()
{
    Tree tree;
    tree.insert(QStringLiteral("Titles/Glow/Glow.moti"), compressibleText(30000, 1));
    tree.insert(QStringLiteral("Titles/Glow/large.png"), noise(20000, 2));
    tree.insert(QStringLiteral("Titles/Glow/Media/clip.mov"), noise(70000, 3));
    tree.insert(QStringLiteral("Effects/Blur/Blur.moef"), compressibleText(5000, 4));
    tree.insert(QStringLiteral("Effects/empty/"), {});
    tree.insert(QStringLiteral("zero.bin"), {});
    return withParentFolders(tree);
}

EntryList entriesOf(const Tree &tree)
{
    EntryList entries;
    for (auto it = tree.cbegin(); it != tree.cend(); ++it)
        entries.append({it.key(), it.value()});
    return entries;
}

// Archives Python's zipfile writes with a twist no option of ours covers.
ToolResult writeOddZip(const QString &archive, const QString &kind)
{
    static const QString script = QStringLiteral(R"(
import struct, sys, warnings, zipfile
warnings.simplefilter('ignore')
path, kind = sys.argv[1], sys.argv[2]
with zipfile.ZipFile(path, 'w', zipfile.ZIP_DEFLATED) as z:
    if kind == 'duplicates':
        z.writestr('x/', b'')
        z.writestr('x/a.txt', b'first copy')
        z.writestr('x/a.txt', b'second copy, written last')
        z.writestr('x/b.txt', b'b')
    elif kind == 'unsafe':
        for name in ('a.txt', 'b.txt', 'c.txt', '../escaped.txt'):
            z.writestr(name, name.encode() * 100)
    elif kind == 'bad extra':
        for i in range(4):
            info = zipfile.ZipInfo('f%d.txt' % i)
            if i == 2:
                # claims 16 bytes of data and holds 4
                info.extra = struct.pack('<HH', 0x9999, 16) + b'abcd'
            z.writestr(info, b'data %d' % i)
    elif kind == 'comment':
        for i in range(4):
            z.writestr('f%d.txt' % i, b'data %d' % i)
        z.comment = b'an end record signature PK\x05\x06 in the comment'
)");
    return runPython(script, {archive, kind});
}

QByteArray stub()
{
    return QByteArray("#!/bin/sh\necho a stub that unpacks what follows\n").repeated(50);
}

} // namespace

class tst_ZipWindows : public QObject
{
    Q_OBJECT

private slots:
    void windowedReadingEqualsWhole_data();
    void windowedReadingEqualsWhole();
    void manyEntriesAcrossDefaultWindows();
};

void tst_ZipWindows::windowedReadingEqualsWhole_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<int>("window");
    QTest::addColumn<QString>("password");
    // Where to spoil the archive's data (-1: nowhere).
    QTest::addColumn<qsizetype>("damageAt");
    QTest::addColumn<int>("reading");

    const QString none;
    // A directory of as many entries as a window holds is read whole.
    QTest::newRow("three entries, three to a window") << "python cp437" << 3 << none << qsizetype(-1)
                                                     << int(Reading::Whole);
    QTest::newRow("three Zip64 entries, three to a window") << "crafted zip64" << 3 << none << qsizetype(-1)
                                                           << int(Reading::Whole);
    QTest::newRow("duplicate names, three to a window") << "duplicates" << 3 << none << qsizetype(-1)
                                                       << int(Reading::Windowed);
    for (const int window : {1, 2}) {
        const auto row = [window](const char *what) -> QTestData & {
            return QTest::addRow("%s, %d to a window", what, window);
        };
        row("python deflated") << "python" << window << none << qsizetype(-1) << int(Reading::Windowed);
        row("python bzip2") << "python bzip2" << window << none << qsizetype(-1) << int(Reading::Windowed);
        row("python Zip64 headers") << "python zip64" << window << none << qsizetype(-1) << int(Reading::Windowed);
        row("python CP437 names") << "python cp437" << window << none << qsizetype(-1) << int(Reading::Windowed);
        row("Info-ZIP") << "zip" << window << none << qsizetype(-1) << int(Reading::Windowed);
        row("Info-ZIP forced to Zip64") << "zip -fz" << window << none << qsizetype(-1) << int(Reading::Windowed);
        row("7z") << "7z" << window << none << qsizetype(-1) << int(Reading::Windowed);
        row("7z AES") << "7z aes" << window << QStringLiteral("s3cret") << qsizetype(-1) << int(Reading::Windowed);
        row("7z AES without the password") << "7z aes" << window << none << qsizetype(-1) << int(Reading::Windowed);
        row("bsdtar") << "bsdtar" << window << none << qsizetype(-1) << int(Reading::Windowed);
        row("our writer, encrypted") << "ours encrypted" << window << QStringLiteral("s3cret") << qsizetype(-1)
                                     << int(Reading::Windowed);
        row("our writer, wrong password") << "ours encrypted" << window << QStringLiteral("wrong") << qsizetype(-1)
                                          << int(Reading::Windowed);
        row("stub before, offsets unadjusted") << "stub" << window << none << qsizetype(-1) << int(Reading::Windowed);
        row("stub before, offsets adjusted by zip -A") << "stub -A" << window << none << qsizetype(-1)
                                                       << int(Reading::Windowed);
        row("Zip64 fields only") << "crafted zip64" << window << none << qsizetype(-1) << int(Reading::Windowed);
        row("entries sharing a local header") << "crafted shared" << window << none << qsizetype(-1)
                                              << int(Reading::Windowed);
        row("duplicate names across windows") << "duplicates" << window << none << qsizetype(-1) << int(Reading::Windowed);
        row("an unsafe name in the last window") << "unsafe" << window << none << qsizetype(-1) << int(Reading::Windowed);
        row("damaged data") << "python" << window << none << qsizetype(9000) << int(Reading::Windowed);
        // libzip refuses the archive for one malformed extra field: the
        // window holding it gives way, and the whole directory is refused.
        row("a malformed extra field") << "bad extra" << window << none << qsizetype(-1) << int(Reading::GaveWay);
        // Two candidate end records: libzip weighs them, so it reads whole.
        row("an end record signature in the comment") << "comment" << window << none << qsizetype(-1)
                                                      << int(Reading::Whole);
    }
}

void tst_ZipWindows::windowedReadingEqualsWhole()
{
    QFETCH(QString, source);
    QFETCH(int, window);
    QFETCH(QString, password);
    QFETCH(qsizetype, damageAt);
    QFETCH(int, reading);

    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    const Tree tree = sampleTree();
    const QString src = tmp.filePath(QStringLiteral("src"));
    QVERIFY(writeTree(src, tree));
    QString archive = tmp.filePath(QStringLiteral("archive.zip"));
    const auto tool = [&](const char *program, QStringList arguments) {
        if (!isInstalled(QLatin1String(program)))
            return false;
        const ToolResult result = runTool(QLatin1String(program), arguments, src);
        return result.succeeded();
    };
    const auto needTool = [&](const char *program) {
        if (!isInstalled(QLatin1String(program)))
            QSKIP(qPrintable(QLatin1String(program) + QStringLiteral(" is not installed")));
    };

    if (source.startsWith(QLatin1String("python"))) {
        PythonZipOptions options;
        options.method = source.endsWith(QLatin1String("bzip2")) ? Bzip2 : Deflated;
        options.forceZip64 = source.endsWith(QLatin1String("zip64"));
        EntryList entries = entriesOf(tree);
        if (source.endsWith(QLatin1String("cp437"))) {
            options.cp437Names = true;
            entries = {{QString::fromUtf8("Caf\xc3\xa9/"), {}},
                       {QString::fromUtf8("Caf\xc3\xa9/na\xc3\xafve.moti"), compressibleText(3000, 5)},
                       {QString::fromUtf8("\xc3\x85ngstr\xc3\xb6m.txt"), "small"}};
        }
        MTI_VERIFY_TOOL(writeZipWithPython(archive, entries, options));
    } else if (source == QLatin1String("zip") || source == QLatin1String("zip -fz")) {
        needTool("zip");
        QStringList arguments = strings({"-r", "-q", "../archive.zip", "."});
        if (source.endsWith(QLatin1String("-fz")))
            arguments.prepend(QStringLiteral("-fz"));
        QVERIFY(tool("zip", arguments));
    } else if (source.startsWith(QLatin1String("7z"))) {
        needTool("7z");
        QStringList arguments = strings({"a", "-tzip", "-bd", "../archive.zip", "."});
        if (source.endsWith(QLatin1String("aes")))
            arguments << QStringLiteral("-ps3cret") << QStringLiteral("-mem=AES256");
        QVERIFY(tool("7z", arguments));
    } else if (source == QLatin1String("bsdtar")) {
        needTool("bsdtar");
        QVERIFY(tool("bsdtar", strings({"-a", "-cf", "../archive.zip", "."})));
    } else if (source == QLatin1String("ours encrypted")) {
        ZipArchive writer;
        QVERIFY(writer.CreateZipFile2(archive, QStringLiteral("s3cret")));
        for (auto it = tree.cbegin(); it != tree.cend(); ++it) {
            if (!it.key().endsWith(QLatin1Char('/')))
                QVERIFY(writer.addFileToZip(src + QLatin1Char('/') + it.key(), it.key()));
        }
        QVERIFY(writer.CloseZipFile2());
    } else if (source.startsWith(QLatin1String("stub"))) {
        needTool("zip");
        QVERIFY(tool("zip", strings({"-r", "-q", "../plain.zip", "."})));
        QVERIFY(writeFile(archive, stub() + readFile(tmp.filePath(QStringLiteral("plain.zip")))));
        if (source.endsWith(QLatin1String("-A")))
            MTI_VERIFY_TOOL(runTool(QStringLiteral("zip"), strings({"-q", "-A", "archive.zip"}), tmp.path()));
    } else if (source == QLatin1String("crafted zip64")) {
        MTI_VERIFY_TOOL(writeCraftedZip(archive, CraftedZip::Zip64Fields));
    } else if (source == QLatin1String("crafted shared")) {
        MTI_VERIFY_TOOL(writeCraftedZip(archive, CraftedZip::SharedLocalHeader));
    } else {
        MTI_VERIFY_TOOL(writeOddZip(archive, source));
    }
    if (damageAt >= 0) {
        QByteArray bytes = readFile(archive);
        QVERIFY(damageAt < bytes.size());
        bytes[damageAt] = char(bytes[damageAt] ^ 0x5a);
        archive = tmp.filePath(QStringLiteral("damaged.zip"));
        QVERIFY(writeFile(archive, bytes));
    }

    const Outcome whole = unpack(archive, tmp.filePath(QStringLiteral("whole")), Whole, password);
    const Outcome windowed = unpack(archive, tmp.filePath(QStringLiteral("windowed")), window, password);
    QCOMPARE(int(whole.reading), int(Reading::Whole));
    QCOMPARE(int(windowed.reading), reading);
    QCOMPARE(windowed.answer, whole.answer);
    QCOMPARE(windowed.messages, whole.messages);
    QCOMPARE(windowed.error.code, whole.error.code);
    QCOMPARE(windowed.error.detail, whole.error.detail);
    QCOMPARE(windowed.digest, whole.digest);
    QCOMPARE(windowed.reports, whole.reports);

    const Listing wholeListing = list(archive, Whole);
    const Listing windowedListing = list(archive, window);
    QCOMPARE(int(windowedListing.reading), reading);
    QCOMPARE(windowedListing.read, wholeListing.read);
    QCOMPARE(windowedListing.messages, wholeListing.messages);
    QCOMPARE(windowedListing.entries, wholeListing.entries);

    // What each archive is for: the comparison above must not pass on two
    // equally empty results.
    if (source == QLatin1String("duplicates")) {
        QVERIFY(whole.answer);
        QCOMPARE(readFile(tmp.filePath(QStringLiteral("windowed/x/a.txt"))), QByteArray("second copy, written last"));
    } else if (source == QLatin1String("unsafe")) {
        QCOMPARE(whole.error.code, ZipError::UnsafeName);
        QVERIFY(windowed.digest.isEmpty());
    } else if (source == QLatin1String("bad extra")) {
        QCOMPARE(whole.error.code, ZipError::NotAZip);
        QVERIFY(!wholeListing.read);
    } else if (source == QLatin1String("crafted shared")) {
        QCOMPARE(whole.error.code, ZipError::Overlap);
    } else if (damageAt >= 0) {
        QCOMPARE(whole.error.code, ZipError::Damaged);
    } else if (source.endsWith(QLatin1String("aes")) || source.endsWith(QLatin1String("encrypted"))) {
        // Listing knows no password: it refuses what unpacking without one refuses.
        QVERIFY(!wholeListing.read);
        QVERIFY(wholeListing.messages.constLast().endsWith(QLatin1String("is encrypted and needs a password")));
        if (password.isEmpty())
            QCOMPARE(whole.error.code, ZipError::PasswordNeeded);
        else if (password == QLatin1String("wrong"))
            QCOMPARE(whole.error.code, ZipError::WrongPassword);
        else if (source.endsWith(QLatin1String("encrypted")))
            QVERIFY(whole.answer);
        // libzip 1.7.3 checks the CRC that AE-2 entries leave at 0, so 7z's
        // AES entries fail alike on both readings.
    } else {
        QVERIFY2(whole.answer, qPrintable(whole.messages.join(QLatin1Char('\n'))));
        QVERIFY(wholeListing.read);
        QVERIFY(!wholeListing.entries.isEmpty());
    }
}

void tst_ZipWindows::manyEntriesAcrossDefaultWindows()
{
    // More entries than are read whole, one byte each, so that every entry
    // is one progress report and a cancel lands in a window of its own.
    constexpr int Count = 20500;
    constexpr int CancelAt = 13000;
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    const QString archive = tmp.filePath(QStringLiteral("many.zip"));
    MTI_VERIFY_TOOL(runPython(QStringLiteral(R"(
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_STORED) as z:
    for i in range(int(sys.argv[2])):
        z.writestr('f%03d/e%05d.txt' % (i // 500, i), bytes([65 + i % 26]))
)"),
                              {archive, QString::number(Count)}));

    const Listing wholeListing = list(archive, Whole);
    const Listing windowedListing = list(archive, 0);
    QCOMPARE(int(windowedListing.reading), int(Reading::Windowed));
    QCOMPARE(windowedListing.entries.size(), qsizetype(Count));
    QCOMPARE(windowedListing.entries, wholeListing.entries);

    const Outcome whole = unpack(archive, tmp.filePath(QStringLiteral("whole")), Whole, {}, CancelAt);
    const Outcome windowed = unpack(archive, tmp.filePath(QStringLiteral("windowed")), 0, {}, CancelAt);
    QCOMPARE(int(windowed.reading), int(Reading::Windowed));
    QCOMPARE(windowed.error.code, ZipError::Cancelled);
    QCOMPARE(windowed.messages, whole.messages);
    QCOMPARE(windowed.reports, whole.reports);
    QCOMPARE(windowed.digest, whole.digest);
    // Report 0 comes before any data: the entry that was being written when
    // the cancel came is removed, the one before it stays.
    const auto written = [&](int index) {
        return QFileInfo::exists(tmp.filePath(QStringLiteral("windowed/f%1/e%2.txt")
                                                  .arg(index / 500, 3, 10, QLatin1Char('0'))
                                                  .arg(index, 5, 10, QLatin1Char('0'))));
    };
    QVERIFY(written(CancelAt - 2));
    QVERIFY(!written(CancelAt - 1));

    const Outcome complete = unpack(archive, tmp.filePath(QStringLiteral("complete")), 0);
    QVERIFY(complete.answer);
    QCOMPARE(int(complete.reading), int(Reading::Windowed));
    QCOMPARE(readFile(tmp.filePath(QStringLiteral("complete/f040/e20499.txt"))), QByteArray(1, char(65 + 20499 % 26)));
    // Every entry and each of its 41 folders.
    QCOMPARE(complete.digest.size(), qsizetype(Count + 41));
}

QTEST_GUILESS_MAIN(tst_ZipWindows)
#include "tst_ZipWindows.moc"
