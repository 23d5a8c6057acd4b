// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Installer/FolderTree.h"
#include "ZipArchive/ZipArchive.h"
#include "ZipArchive/ZipDirectory.h"
#include "ZipTestTools.h"

#include <QTemporaryDir>
#include <QTest>

using namespace TestSupport;
using namespace ZipTestTools;

namespace {

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

} // namespace

// Archives whose tools say things beyond the entry names.
class tst_ZipToolQuirks : public QObject
{
    Q_OBJECT

private slots:
    void foldersMarkedByAttributes_data();
    void foldersMarkedByAttributes();
};

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
    RecordingDelegate delegate;
    ZipArchive zip;
    zip.setDelegate(&delegate);
    QVERIFY(zip.UnzipOpenFile(archive));
    QVERIFY(zip.UnzipFileTo(out, true));
    zip.UnzipCloseFile();
    QCOMPARE(delegate.messages, QStringList());
    const Tree expected = isFolder ? Tree{{QStringLiteral("Folder/"), {}},
                                          {QStringLiteral("Folder/file.txt"), "in folder"}}
                                   : Tree{{QStringLiteral("Folder"), contents}};
    const QString difference = treeDifference(readTree(out), expected);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));

    // The listing, and the tree the template scan walks, say what unpacking did.
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

QTEST_GUILESS_MAIN(tst_ZipToolQuirks)
#include "tst_ZipToolQuirks.moc"
