// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
// The file source serves libzip from a read-ahead block and, for larger
// reads, straight from the file: whichever way a read goes, and wherever it
// starts or ends against the block, the window and the trailer, it must yield
// exactly the bytes libzip is to see.
#include "ZipArchive/ZipFileSource.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace {

// The source's read-ahead block.
constexpr qint64 Block = 256 * 1024;

enum class Kind { Whole, Slice, Window };

struct Layout
{
    Kind kind = Kind::Whole;
    qint64 base = 0;
    // Window: the file's bytes up to directoryEnd, then windowLength bytes
    // from windowStart, then a trailer of trailerLength bytes.
    qint64 directoryEnd = 0;
    qint64 windowStart = 0;
    qint64 windowLength = 0;
    qint64 trailerLength = 0;
};

QByteArray trailerBytes(qint64 length)
{
    QByteArray trailer(length, Qt::Uninitialized);
    for (qint64 i = 0; i < length; ++i)
        trailer[i] = char(0xa5 ^ (i * 7));
    return trailer;
}

// What libzip is to read from the source over file.
QByteArray expectedBytes(const QByteArray &file, const Layout &layout)
{
    const QByteArray stretch = file.mid(layout.base);
    if (layout.kind != Kind::Window)
        return stretch;
    return stretch.left(layout.directoryEnd) + stretch.mid(layout.windowStart, layout.windowLength)
        + trailerBytes(layout.trailerLength);
}

zip_source_t *createSource(int fd, const Layout &layout, qint64 fileSize)
{
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t *source = nullptr;
    switch (layout.kind) {
    case Kind::Whole:
        source = ZipFileSource::create(fd, &error, zip_uint64_t(layout.base));
        break;
    case Kind::Slice:
        source = ZipFileSource::createSlice(fd, zip_uint64_t(layout.base), zip_uint64_t(fileSize - layout.base), 0,
                                            &error);
        break;
    case Kind::Window: {
        const QByteArray trailer = trailerBytes(layout.trailerLength);
        ZipFileSource::Window window{zip_uint64_t(layout.base), zip_uint64_t(layout.directoryEnd),
                                     zip_uint64_t(layout.windowStart), zip_uint64_t(layout.windowLength),
                                     std::vector<unsigned char>(trailer.begin(), trailer.end())};
        source = ZipFileSource::createWindow(fd, std::move(window), &error);
        break;
    }
    }
    zip_error_fini(&error);
    return source;
}

// Reads length bytes at offset; what it got, or a null array when the read failed.
QByteArray readAt(zip_source_t *source, qint64 offset, qint64 length)
{
    if (zip_source_seek(source, offset, SEEK_SET) != 0)
        return {};
    QByteArray data(length, Qt::Uninitialized);
    const zip_int64_t n = zip_source_read(source, data.data(), zip_uint64_t(length));
    if (n < 0)
        return {};
    data.truncate(qsizetype(n));
    return data.isNull() ? QByteArray("") : data;
}

} // namespace

Q_DECLARE_METATYPE(Layout)

class tst_ZipFileSource : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void readsAcrossEveryEdge_data();
    void readsAcrossEveryEdge();
    void readsThroughInSteps_data();
    void readsThroughInSteps();
    void fileShorterThanSaidIsReadError();

private:
    void addLayouts();

    QTemporaryDir _dir;
    QString _path;
    QByteArray _file;
};

void tst_ZipFileSource::initTestCase()
{
    QVERIFY(_dir.isValid());
    _path = _dir.filePath(QStringLiteral("data.bin"));
    // Three blocks and a ragged end, random so no stretch looks like another.
    _file.resize(3 * Block + 4321);
    QRandomGenerator generator(20261209);
    generator.fillRange(reinterpret_cast<quint32 *>(_file.data()), _file.size() / 4);
    QFile out(_path);
    QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(out.write(_file), _file.size());
}

void tst_ZipFileSource::addLayouts()
{
    QTest::addColumn<Layout>("layout");
    const qint64 size = 3 * Block + 4321;
    QTest::newRow("whole file") << Layout{Kind::Whole, 0, 0, 0, 0, 0};
    QTest::newRow("whole file after leading data") << Layout{Kind::Whole, 1000, 0, 0, 0, 0};
    QTest::newRow("slice not on a page boundary") << Layout{Kind::Slice, 4095, 0, 0, 0, 0};
    QTest::newRow("window inside the first block")
        << Layout{Kind::Window, 0, 70000, 100000, 30000, 98};
    QTest::newRow("window straddling a block's end, from leading data")
        << Layout{Kind::Window, 777, Block - 5000, 2 * Block - 100, 9000, 22};
    QTest::newRow("window longer than a block, to the file's end")
        << Layout{Kind::Window, 0, Block + 3, Block + 3, size - Block - 3, 4096 + 22};
    QTest::newRow("empty window, trailer right after the data")
        << Layout{Kind::Window, 0, 2 * Block, 0, 0, 22};
}

void tst_ZipFileSource::readsAcrossEveryEdge_data()
{
    addLayouts();
}

// A read of every size that matters (small, just under, at and over the
// direct-read threshold, libzip's own, more than a block) starting just
// before, at and after every edge, each with the block cold, holding the
// start, or ending just past it.
void tst_ZipFileSource::readsAcrossEveryEdge()
{
    QFETCH(Layout, layout);
    const QByteArray expected = expectedBytes(_file, layout);
    const qint64 size = expected.size();
    std::vector<qint64> edges = {0, Block, 2 * Block, size};
    if (layout.kind == Kind::Window) {
        edges.push_back(layout.directoryEnd);
        edges.push_back(layout.directoryEnd + layout.windowLength);
        edges.push_back(layout.directoryEnd + layout.windowLength + layout.trailerLength / 2);
    }
    const qint64 sizes[] = {1, 30, 4095, 4096, 4097, 8192, 65520, Block + 17};

    const int fd = ::open(QFile::encodeName(_path).constData(), O_RDONLY | O_CLOEXEC);
    QVERIFY(fd >= 0);
    zip_source_t *source = createSource(fd, layout, _file.size());
    QVERIFY(source);
    for (const qint64 edge : edges) {
        for (const qint64 length : sizes) {
            // Ending before, at and just after the edge, across it, and
            // starting just before, at and after it.
            const qint64 starts[] = {edge - length - 1, edge - length, edge - length + 1, edge - length / 2,
                                     edge - 1, edge, edge + 1};
            for (const qint64 unclamped : starts) {
                const qint64 start = std::clamp<qint64>(unclamped, 0, size);
                for (int prime = 0; prime < 4; ++prime) {
                    QVERIFY(zip_source_open(source) == 0);
                    // 0: cold; 1: the block starts at start; 2: it holds start
                    // well inside; 3: it ends just after start.
                    const qint64 primeAt = prime == 1 ? start : prime == 2 ? start - 100 : start - Block + 10;
                    if (prime > 0 && primeAt >= 0 && primeAt < size)
                        QCOMPARE(readAt(source, primeAt, 30), expected.mid(primeAt, 30));
                    const QByteArray got = readAt(source, start, length);
                    QVERIFY2(got == expected.mid(start, length),
                             qPrintable(QStringLiteral("read of %1 at %2 (prime %3): %4 bytes, %5 expected")
                                            .arg(length).arg(start).arg(prime).arg(got.size())
                                            .arg(expected.mid(start, length).size())));
                    QCOMPARE(zip_source_close(source), 0);
                }
            }
        }
    }
    zip_source_free(source);
    ::close(fd);
}

void tst_ZipFileSource::readsThroughInSteps_data()
{
    addLayouts();
}

// Front to back as libzip reads an entry: a header's worth, then steps of
// one size, the last one short at the end, then nothing.
void tst_ZipFileSource::readsThroughInSteps()
{
    QFETCH(Layout, layout);
    const QByteArray expected = expectedBytes(_file, layout);
    const int fd = ::open(QFile::encodeName(_path).constData(), O_RDONLY | O_CLOEXEC);
    QVERIFY(fd >= 0);
    zip_source_t *source = createSource(fd, layout, _file.size());
    QVERIFY(source);
    for (const qint64 step : {qint64(1000), qint64(4095), qint64(4096), qint64(8192), qint64(65520), Block,
                              Block + 1}) {
        QVERIFY(zip_source_open(source) == 0);
        QByteArray got;
        QByteArray chunk(step, Qt::Uninitialized);
        zip_int64_t n = zip_source_read(source, chunk.data(), 46);
        while (n > 0) {
            got.append(chunk.constData(), qsizetype(n));
            n = zip_source_read(source, chunk.data(), zip_uint64_t(step));
        }
        QCOMPARE(n, zip_int64_t(0));
        QVERIFY2(got == expected, qPrintable(QStringLiteral("steps of %1: %2 bytes of %3, or other bytes")
                                                 .arg(step).arg(got.size()).arg(expected.size())));
        QCOMPARE(zip_source_close(source), 0);
    }
    zip_source_free(source);
    ::close(fd);
}

// A slice that claims more than the file holds must fail the read that
// reaches past the end, whether it goes through the block or not.
void tst_ZipFileSource::fileShorterThanSaidIsReadError()
{
    const int fd = ::open(QFile::encodeName(_path).constData(), O_RDONLY | O_CLOEXEC);
    QVERIFY(fd >= 0);
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t *source = ZipFileSource::createSlice(fd, 0, zip_uint64_t(_file.size() + 5000), 0, &error);
    zip_error_fini(&error);
    QVERIFY(source);
    for (const qint64 length : {qint64(30), qint64(8192)}) {
        QVERIFY(zip_source_open(source) == 0);
        const qint64 start = _file.size() - 10;
        QVERIFY(readAt(source, start, length).isNull());
        QCOMPARE(zip_error_code_zip(zip_source_error(source)), ZIP_ER_READ);
        QCOMPARE(zip_source_close(source), 0);
    }
    zip_source_free(source);
    ::close(fd);
}

QTEST_GUILESS_MAIN(tst_ZipFileSource)
#include "tst_ZipFileSource.moc"
