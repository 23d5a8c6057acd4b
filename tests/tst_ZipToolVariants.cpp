// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "ZipArchive/ZipArchive.h"
#include "ZipTestTools.h"

#include <QTemporaryDir>
#include <QTest>

using namespace TestSupport;
using namespace ZipTestTools;

namespace {

// Names with blanks and non-ASCII letters, an empty folder, an empty file and
// data both compressible and not, larger than one transfer chunk.
Tree sourceTree()
{
    return withParentFolders({
        {QStringLiteral("Titles.localized/Lower Thirds/LT_Café Título/LT_Café Título.moti"),
         compressibleText(30000, 3)},
        {QStringLiteral("Titles.localized/Lower Thirds/LT_Café Título/Media/clip.mov"), noise(200000, 4)},
        {QStringLiteral("Titles.localized/Lower Thirds/LT_Café Título/Media/Empty/"), {}},
        {QStringLiteral("Effects.localized/Blurs/BG_Soft/BG_Soft.moef"), compressibleText(8000, 5)},
        {QStringLiteral("Effects.localized/Blurs/BG_Soft/zero.txt"), {}},
    });
}

Tree withoutEmptyFolders(Tree tree)
{
    tree.remove(QStringLiteral("Titles.localized/Lower Thirds/LT_Café Título/Media/Empty/"));
    return tree;
}

// Python's zipfile writing to a stream without seek: every entry gets a data
// descriptor after its data, as archives streamed over a network do.
const char *const PythonStreamed = R"(
import io, os, sys, zipfile
class Pipe(io.RawIOBase):
    def __init__(self, f): self.f = f
    def writable(self): return True
    def write(self, b): return self.f.write(b)
method = zipfile.ZIP_STORED if sys.argv[2] == 'stored' else zipfile.ZIP_DEFLATED
with open(sys.argv[1], 'wb') as out, zipfile.ZipFile(Pipe(out), 'w', method) as z:
    for root, dirs, files in sorted(os.walk('.')):
        for d in sorted(dirs):
            z.writestr(os.path.relpath(os.path.join(root, d), '.') + '/', b'')
        for n in sorted(files):
            with z.open(os.path.relpath(os.path.join(root, n), '.'), 'w', force_zip64=sys.argv[3] == '1') as f:
                f.write(open(os.path.join(root, n), 'rb').read())
)";

} // namespace

// Archives from tools and options that template packs arrive in, each
// unpacked and compared file by file with the tree it was made from.
class tst_ZipToolVariants : public QObject
{
    Q_OBJECT

private slots:
    void unpacksWhatToolsWrite_data();
    void unpacksWhatToolsWrite();
};

void tst_ZipToolVariants::unpacksWhatToolsWrite_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("keepsEmptyFolders");

    const QString none;
    const QString secret = QStringLiteral("s3cret pass");
    const QString python = QStringLiteral("python3");
    auto streamed = [&](const char *method, const char *zip64) {
        return QStringList{QStringLiteral("-c"), QString::fromLatin1(PythonStreamed),
                           QStringLiteral("../archive.zip"), QLatin1String(method), QLatin1String(zip64)};
    };

    QTest::newRow("Info-ZIP to a pipe: data descriptors")
        << "sh" << strings({"-c", "find . -type f | LC_ALL=C sort | zip -q -fd - -@ > ../archive.zip"}) << none
        << false;
    QTest::newRow("Info-ZIP -9 -X") << "zip" << strings({"-r", "-q", "-9", "-X", "../archive.zip", "."}) << none
                                    << true;
    QTest::newRow("Info-ZIP traditional encryption")
        << "zip" << QStringList{QStringLiteral("-r"), QStringLiteral("-q"), QStringLiteral("-P"), secret,
                                QStringLiteral("../archive.zip"), QStringLiteral(".")}
        << secret << true;
    QTest::newRow("bsdtar stored") << "bsdtar"
                                   << strings({"--format", "zip", "--options", "zip:compression=store", "-cf",
                                               "../archive.zip", "."})
                                   << none << true;
    QTest::newRow("bsdtar Zip64")
        << "bsdtar" << strings({"--format", "zip", "--options", "zip:zip64", "-cf", "../archive.zip", "."})
        << none << true;
    QTest::newRow("bsdtar to a pipe: data descriptors")
        << "sh" << strings({"-c", "bsdtar --format zip -cf - . | cat > ../archive.zip"}) << none << true;
    QTest::newRow("bsdtar traditional encryption")
        << "bsdtar"
        << QStringList{QStringLiteral("--format"), QStringLiteral("zip"), QStringLiteral("--options"),
                       QStringLiteral("zip:encryption=zipcrypt"), QStringLiteral("--passphrase"), secret,
                       QStringLiteral("-cf"), QStringLiteral("../archive.zip"), QStringLiteral(".")}
        << secret << true;
    QTest::newRow("bsdtar AES-256")
        << "bsdtar"
        << QStringList{QStringLiteral("--format"), QStringLiteral("zip"), QStringLiteral("--options"),
                       QStringLiteral("zip:encryption=aes256"), QStringLiteral("--passphrase"), secret,
                       QStringLiteral("-cf"), QStringLiteral("../archive.zip"), QStringLiteral(".")}
        << secret << true;
    QTest::newRow("7z Copy") << "7z" << strings({"a", "-tzip", "-mm=Copy", "-bd", "../archive.zip", "."}) << none
                             << true;
    QTest::newRow("7z -mx9") << "7z" << strings({"a", "-tzip", "-mx=9", "-bd", "../archive.zip", "."}) << none
                             << true;
    QTest::newRow("7z UTF-8 names forced, NTFS times")
        << "7z" << strings({"a", "-tzip", "-mcu=on", "-mtc=on", "-bd", "../archive.zip", "."}) << none << true;
    QTest::newRow("7z ZipCrypto")
        << "7z"
        << QStringList{QStringLiteral("a"), QStringLiteral("-tzip"), QStringLiteral("-mem=ZipCrypto"),
                       QStringLiteral("-p") + secret, QStringLiteral("-bd"), QStringLiteral("../archive.zip"),
                       QStringLiteral(".")}
        << secret << true;
    QTest::newRow("jar") << "jar" << strings({"cfM", "../archive.zip", "."}) << none << true;
    QTest::newRow("jar stored") << "jar" << strings({"cfM0", "../archive.zip", "."}) << none << true;
    QTest::newRow("Python streamed, deflated") << python << streamed("deflated", "0") << none << true;
    QTest::newRow("Python streamed, stored") << python << streamed("stored", "0") << none << true;
    QTest::newRow("Python streamed, Zip64 on every entry") << python << streamed("deflated", "1") << none << true;
}

void tst_ZipToolVariants::unpacksWhatToolsWrite()
{
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    QFETCH(QString, password);
    QFETCH(bool, keepsEmptyFolders);

    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    const Tree source = sourceTree();
    QVERIFY(writeTree(tmp.filePath(QStringLiteral("src")), source));
    MTI_VERIFY_TOOL(runTool(program, arguments, tmp.filePath(QStringLiteral("src"))));

    RecordingDelegate delegate;
    ZipArchive zip;
    zip.setDelegate(&delegate);
    const QString archive = tmp.filePath(QStringLiteral("archive.zip"));
    QVERIFY(password.isNull() ? zip.UnzipOpenFile(archive) : zip.UnzipOpenFile(archive, password));
    QVERIFY(zip.UnzipFileTo(tmp.filePath(QStringLiteral("out")), true));
    zip.UnzipCloseFile();
    QCOMPARE(delegate.messages, QStringList());
    const QString difference = treeDifference(readTree(tmp.filePath(QStringLiteral("out"))),
                                              keepsEmptyFolders ? source : withoutEmptyFolders(source));
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
}

QTEST_GUILESS_MAIN(tst_ZipToolVariants)
#include "tst_ZipToolVariants.moc"
