// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "ZipTestTools.h"

#include "ZipArchive/ZipArchive.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QTest>

#include <filesystem>

namespace ZipTestTools {

using namespace TestSupport;

bool damageEntryData(const QString &archive, const QString &name)
{
    QByteArray bytes = readFile(archive);
    const QByteArray stored = name.toUtf8();
    const qsizetype local = bytes.indexOf(stored);
    const qsizetype central = bytes.lastIndexOf(stored);
    if (local < 30 || central < 46 || central <= local || !bytes.mid(local - 30).startsWith("PK\x03\x04")
        || !bytes.mid(central - 46).startsWith("PK\x01\x02"))
        return false;
    const auto at = [&bytes](qsizetype offset, int width) {
        quint32 value = 0;
        for (int i = width - 1; i >= 0; --i)
            value = (value << 8) | uchar(bytes[offset + i]);
        return value;
    };
    const quint32 size = at(central - 46 + 20, 4);
    const qsizetype data = local + stored.size() + qsizetype(at(local - 30 + 28, 2));
    if (size == 0 || data + qsizetype(size) > bytes.size())
        return false;
    bytes[data + size / 2] = char(bytes[data + size / 2] ^ 0x55);
    return writeFile(archive, bytes);
}

TestSupport::ToolResult writeZipWithPython(const QString &archive, const EntryList &entries,
                                           const PythonZipOptions &options)
{
    static const QString script = QStringLiteral(R"(
import base64, json, sys, zipfile
path, method, zip64, cp437 = sys.argv[1], int(sys.argv[2]), sys.argv[3] == '1', sys.argv[4] == '1'
when = tuple(int(part) for part in sys.argv[5].split(','))
with open(sys.argv[6], encoding='utf-8') as listing:
    entries = json.load(listing)
if cp437:
    zipfile.ZipInfo._encodeFilenameFlags = lambda self: (self.filename.encode('cp437'), self.flag_bits & ~0x800)
with zipfile.ZipFile(path, 'w') as archive:
    for name, data in entries:
        info = zipfile.ZipInfo(name, date_time=when)
        if name.endswith(('/', chr(92))):
            info.external_attr = (0o40755 << 16) | 0x10
            archive.writestr(info, b'')
            continue
        info.compress_type = method
        info.external_attr = 0o644 << 16
        with archive.open(info, 'w', force_zip64=zip64) as entry:
            entry.write(base64.b64decode(data))
)");
    QJsonArray list;
    for (const auto &[name, data] : entries)
        list.append(QJsonArray{name, QString::fromLatin1(data.toBase64())});
    const QString listing = archive + QStringLiteral(".entries.json");
    if (!writeFile(listing, QJsonDocument(list).toJson())) {
        ToolResult failed;
        failed.started = true;
        failed.command = QStringLiteral("writing ") + listing;
        failed.err = "cannot write the entry listing";
        return failed;
    }
    const QDateTime &t = options.time;
    const QString when = QStringLiteral("%1,%2,%3,%4,%5,%6")
                             .arg(t.date().year()).arg(t.date().month()).arg(t.date().day())
                             .arg(t.time().hour()).arg(t.time().minute()).arg(t.time().second());
    ToolResult result = runPython(script, {archive, QString::number(int(options.method)),
                                           options.forceZip64 ? QStringLiteral("1") : QStringLiteral("0"),
                                           options.cp437Names ? QStringLiteral("1") : QStringLiteral("0"),
                                           when, listing});
    QFile::remove(listing);
    return result;
}

TestSupport::ToolResult writeCraftedZip(const QString &archive, CraftedZip kind, const QByteArray &stub)
{
    static const QString script = QStringLiteral(R"(
import struct, sys, zlib
path, kind, stub = sys.argv[1], sys.argv[2], sys.argv[3].encode()
def local(name, crc, csize, usize, method=8, extra=b''):
    return struct.pack('<IHHHHHIIIHH', 0x04034b50, 45, 0, method, 0, 0x21, crc, csize, usize,
                       len(name), len(extra)) + name + extra
def central(name, crc, csize, usize, offset, method=8, extra=b''):
    return struct.pack('<IHHHHHHIIIHHHHHII', 0x02014b50, 45, 45, 0, method, 0, 0x21, crc, csize, usize,
                       len(name), len(extra), 0, 0, 0, 0, offset) + name + extra
# crc32(a + b) from crc32(a), crc32(b) and len(b), as zlib's crc32_combine.
def multmodp(a, b):
    m, p = 1 << 31, 0
    while True:
        if a & m:
            p ^= b
            if a & (m - 1) == 0:
                return p
        m >>= 1
        b = (b >> 1) ^ 0xEDB88320 if b & 1 else b >> 1
powers = [1 << 30]
for _ in range(31):
    powers.append(multmodp(powers[-1], powers[-1]))
def combine(crc1, crc2, length2):
    p, k = 1 << 31, 3
    while length2:
        if length2 & 1:
            p = multmodp(powers[k & 31], p)
        length2 >>= 1
        k += 1
    return multmodp(p, crc1) ^ crc2
names = [b'f%02d' % i for i in range(20 if kind != 'zip64' else 3)]
n = len(names)
if kind == 'zip64':
    body = directory = b''
    for i, name in enumerate(names):
        data = b'entry %d of a Zip64 directory\n' % i * (i + 1)
        crc = zlib.crc32(data)
        directory += central(name, crc, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0,
                             struct.pack('<HHQQQ', 1, 24, len(data), len(data), len(body)))
        body += local(name, crc, 0xFFFFFFFF, 0xFFFFFFFF, 0, struct.pack('<HHQQ', 1, 16, len(data), len(data))) + data
    record = struct.pack('<IQHHIIQQQQ', 0x06064b50, 44, 45, 45, 0, 0, n, n, len(directory), len(body))
    locator = struct.pack('<IIQI', 0x07064b50, 0, len(body) + len(directory), 1)
    end = record + locator + struct.pack('<IHHHHIIH', 0x06054b50, 0, 0, 0xFFFF, 0xFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0)
else:
    # The kernel every entry ends in: 100 MiB of zeros, deflated.
    chunk, chunks = bytes(1 << 20), 100
    compressor = zlib.compressobj(9, zlib.DEFLATED, -15)
    kernel = b''.join(compressor.compress(chunk) for _ in range(chunks)) + compressor.flush()
    crc, size = 0, len(chunk) * chunks
    for _ in range(chunks):
        crc = zlib.crc32(chunk, crc)
    if kind == 'shared':
        body = local(names[0], crc, len(kernel), size) + kernel
        directory = b''.join(central(name, crc, len(kernel), size, 0) for name in names)
    else:
        data, entries = kernel, []
        for name in reversed(names):
            header = local(name, crc, len(data), size)
            entries.insert(0, (name, crc, len(data), size))
            quote = struct.pack('<BHH', 0, len(header), len(header) ^ 0xFFFF)
            data = quote + header + data
            crc, size = combine(zlib.crc32(header), crc, size), size + len(header)
        body = data[5:]  # the first local header needs no quote
        directory, offset = b'', 0
        for name, crc, csize, usize in entries:
            directory += central(name, crc, csize, usize, offset)
            offset += 30 + len(name) + 5
    end = struct.pack('<IHHHHIIH', 0x06054b50, 0, 0, n, n, len(directory), len(body), 0)
with open(path, 'wb') as out:
    out.write(stub + body + directory + end)
)");
    const char *kinds[] = {"nested", "shared", "zip64"};
    return runPython(script, {archive, QLatin1String(kinds[int(kind)]), QString::fromLatin1(stub)});
}

void packFolder(const QString &folder, const QString &archive)
{
    ZipArchive zip;
    QVERIFY(zip.CreateZipFile2(archive));
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        QVERIFY2(zip.addFileToZip(file, QDir(folder).relativeFilePath(file)), qPrintable(file));
    }
    QVERIFY(zip.CloseZipFile2());
}

bool writeTree(const QString &root, const Tree &tree)
{
    for (auto it = tree.cbegin(); it != tree.cend(); ++it) {
        const QString path = root + QLatin1Char('/') + it.key();
        const bool ok = it.key().endsWith(QLatin1Char('/')) ? QDir().mkpath(path) : writeFile(path, it.value());
        if (!ok)
            return false;
    }
    return true;
}

Tree readTree(const QString &root)
{
    Tree tree;
    const QDir base(root);
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info = it.fileInfo();
        const QString relative = base.relativeFilePath(path);
        if (info.isSymLink())
            tree.insert(relative, '@' + QByteArray::fromStdString(
                                      std::filesystem::read_symlink(QFile::encodeName(path).toStdString()).string()));
        else if (info.isDir())
            tree.insert(relative + QLatin1Char('/'), QByteArray());
        else
            tree.insert(relative, readFile(path));
    }
    return tree;
}

QString treeDifference(const Tree &actual, const Tree &expected)
{
    QStringList lines;
    for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
        if (!actual.contains(it.key()))
            lines << QStringLiteral("missing: ") + it.key();
        else if (actual.value(it.key()) != it.value())
            lines << QStringLiteral("differs: %1 (%2 bytes, expected %3)")
                         .arg(it.key())
                         .arg(actual.value(it.key()).size())
                         .arg(it.value().size());
    }
    for (auto it = actual.cbegin(); it != actual.cend(); ++it) {
        if (!expected.contains(it.key()))
            lines << QStringLiteral("unexpected: ") + it.key();
    }
    return lines.join(QLatin1Char('\n'));
}

Tree withParentFolders(Tree tree)
{
    const QStringList keys = tree.keys();
    for (const QString &key : keys) {
        QString path = key.endsWith(QLatin1Char('/')) ? key.chopped(1) : key;
        for (qsizetype slash = path.lastIndexOf(QLatin1Char('/')); slash > 0;
             slash = path.lastIndexOf(QLatin1Char('/'))) {
            path.truncate(slash);
            tree.insert(path + QLatin1Char('/'), QByteArray());
        }
    }
    return tree;
}

QByteArray compressibleText(int size, int seed)
{
    QByteArray text;
    text.reserve(size + 64);
    for (int line = 0; text.size() < size; ++line)
        text += "line " + QByteArray::number(line) + " of sample " + QByteArray::number(seed)
            + ": the quick brown fox jumps over the lazy dog\n";
    text.truncate(size);
    return text;
}

QByteArray noise(int size, quint32 seed)
{
    QRandomGenerator generator(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    for (char &byte : bytes)
        byte = char(generator.bounded(256));
    return bytes;
}

bool setModificationTime(const QString &path, const QDateTime &time)
{
    QFile file(path);
    return file.open(QIODevice::ReadWrite) && file.setFileTime(time, QFileDevice::FileModificationTime);
}

bool RecordingProgress::progress(qint64 done, qint64 total)
{
    const bool goOn = _cancelAt < 0 || reports.size() < _cancelAt;
    reports.append({done, total});
    return goOn;
}

} // namespace ZipTestTools
