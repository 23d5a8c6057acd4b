// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "CollectionTestTools.h"

#include "Interface/PreviewLoader.h"
#include "Library/TemplateLibraryFilterModel.h"
#include "Library/TemplateLibraryModel.h"

#include <QAbstractItemModelTester>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <filesystem>
#include <memory>

using TestSupport::writeFileOrFail;

namespace {

const QString Titles = QStringLiteral("Titles.localized");
const QString Effects = QStringLiteral("Effects.localized");
const QString Transitions = QStringLiteral("Transitions.localized");

struct Spec
{
    QString kindFolder;
    QString categoryFolder;
    QString name;
    int bytes = 100;
};

QString extensionFor(const QString &kindFolder)
{
    if (kindFolder == Effects)
        return QStringLiteral("moef");
    if (kindFolder == Transitions)
        return QStringLiteral("motr");
    if (kindFolder == QLatin1String("Generators.localized"))
        return QStringLiteral("motn");
    return QStringLiteral("moti");
}

// A template folder put below root by hand, as another tool would.
QString putTemplate(const QString &root, const Spec &spec)
{
    const QString folder = root + QLatin1Char('/') + spec.kindFolder + QLatin1Char('/') + spec.categoryFolder
        + QLatin1Char('/') + spec.name;
    writeFileOrFail(folder + QLatin1Char('/') + spec.name + QLatin1Char('.') + extensionFor(spec.kindFolder),
                    QByteArray(spec.bytes, 'x'));
    return folder;
}

void writePreview(const QString &folder, const char *name, QSize size, QColor colour)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    QVERIFY(image.save(folder + QLatin1Char('/') + QLatin1String(name)));
}

QStringList column(const QAbstractItemModel &model, int column, int role = Qt::DisplayRole)
{
    QStringList values;
    for (int row = 0; row < model.rowCount(); ++row)
        values.append(model.index(row, column).data(role).toString());
    return values;
}

bool scanned(TemplateLibraryModel &model)
{
    QSignalSpy finished(&model, &TemplateLibraryModel::scanFinished);
    model.rescan();
    return finished.wait(10000);
}

} // namespace

class tst_TemplateLibraryModel : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void passesTheItemModelTesterThroughScans();
    void rowsShowEveryColumn();
    void missingRootsGiveNoRows();
    void foldersNamedAnyHowKeepATitleAndCategory_data();
    void foldersNamedAnyHowKeepATitleAndCategory();
    void filtering_data();
    void filtering();
    void sorting_data();
    void sorting();
    void rescanWithoutChangesKeepsTheRows();
    void previewsLoadLazilyScaledAndCached();
    void previewLoaderPicksTheFirstReadableImage_data();
    void previewLoaderPicksTheFirstReadableImage();
    void watcherPicksUpChangesByHand_data();
    void watcherPicksUpChangesByHand();
    void watcherPicksUpAnInstallByAnotherProcess();

private:
    std::unique_ptr<QTemporaryDir> _dir;
    QString _root;
    QString _second;
};

void tst_TemplateLibraryModel::init()
{
    _dir = std::make_unique<QTemporaryDir>();
    QVERIFY(_dir->isValid());
    _root = _dir->filePath(QStringLiteral("Movies/Motion Templates.localized"));
    _second = _dir->filePath(QStringLiteral("Shared/Templates"));
    QVERIFY(QDir().mkpath(_root));
    QVERIFY(QDir().mkpath(_second));
}

void tst_TemplateLibraryModel::passesTheItemModelTesterThroughScans()
{
    TemplateLibraryModel model;
    TemplateLibraryFilterModel filter;
    filter.setSourceModel(&model);
    filter.sort(TemplateLibraryModel::TitleColumn);
    QAbstractItemModelTester sourceTester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QAbstractItemModelTester filterTester(&filter, QAbstractItemModelTester::FailureReportingMode::QtTest);

    putTemplate(_root, {Titles, QStringLiteral("ZT Lower Thirds"), QStringLiteral("LT_One")});
    putTemplate(_root, {Titles, QStringLiteral("ZT Lower Thirds"), QStringLiteral("LT_Two")});
    QSignalSpy finished(&model, &TemplateLibraryModel::scanFinished);
    model.setRoots({_root, _second});
    QVERIFY(finished.wait(10000));
    QCOMPARE(model.rowCount(), 2);

    // Added, changed (size), removed, and a root swapped: resets and
    // changes as the scan finds them.
    putTemplate(_second, {Effects, QStringLiteral("ZT Glitch"), QStringLiteral("GL_Three")});
    QVERIFY(scanned(model));
    QCOMPARE(model.rowCount(), 3);
    putTemplate(_root, {Titles, QStringLiteral("ZT Lower Thirds"), QStringLiteral("LT_One"), 5000});
    QVERIFY(scanned(model));
    QVERIFY(QDir(_root + QStringLiteral("/Titles.localized/ZT Lower Thirds/LT_Two")).removeRecursively());
    filter.setSearchText(QStringLiteral("o"));
    QVERIFY(scanned(model));
    QCOMPARE(model.rowCount(), 2);
    for (int row = 0; row < filter.rowCount(); ++row)
        filter.index(row, TemplateLibraryModel::PreviewColumn).data(Qt::DecorationRole);
    model.setRoots({_second});
    QCOMPARE(model.rowCount(), 0);
    QVERIFY(!model.hasScanned());
    QVERIFY(finished.wait(10000));
    QCOMPARE(column(model, TemplateLibraryModel::TitleColumn), QStringList{QStringLiteral("Three")});
}

void tst_TemplateLibraryModel::rowsShowEveryColumn()
{
    const QString folder = putTemplate(_root, {Transitions, QStringLiteral("ZT Glitch"), QStringLiteral("GL_Wipe"), 2500});
    const QDateTime modified = QFileInfo(folder).lastModified();
    TemplateLibraryModel model;
    QSignalSpy finished(&model, &TemplateLibraryModel::scanFinished);
    model.setRoots({_root});
    QVERIFY(finished.wait(10000));
    QCOMPARE(model.rowCount(), 1);

    auto cell = [&model](int column, int role = Qt::DisplayRole) { return model.index(0, column).data(role); };
    QCOMPARE(cell(TemplateLibraryModel::TitleColumn).toString(), QStringLiteral("Wipe"));
    QCOMPARE(cell(TemplateLibraryModel::KindColumn).toString(), QStringLiteral("Transition"));
    QCOMPARE(cell(TemplateLibraryModel::TitleColumn, TemplateLibraryModel::TemplateTypeRole).toULongLong(), quint64(4));
    QVERIFY(!cell(TemplateLibraryModel::CategoryColumn).toString().isEmpty());
    QCOMPARE(cell(TemplateLibraryModel::SizeColumn, TemplateLibraryModel::SortRole).toLongLong(), qint64(2500));
    QCOMPARE(cell(TemplateLibraryModel::SizeColumn).toString(), QStringLiteral("2.5 kB"));
    // Copied by hand: no receipt names an archive.
    QCOMPARE(cell(TemplateLibraryModel::OriginColumn).toString(), TemplateLibraryModel::originUnknownText());
    QVERIFY(cell(TemplateLibraryModel::OriginColumn, TemplateLibraryModel::OriginArchiveTitleRole).toString().isNull());
    QVERIFY(cell(TemplateLibraryModel::OriginColumn, Qt::FontRole).value<QFont>().italic());
    const QDateTime installed = cell(TemplateLibraryModel::InstalledColumn, TemplateLibraryModel::SortRole).toDateTime();
    QVERIFY2(qAbs(installed.secsTo(modified)) <= 2, qPrintable(installed.toString(Qt::ISODate)));
    QVERIFY(!cell(TemplateLibraryModel::InstalledColumn).toString().isEmpty());
    QCOMPARE(cell(TemplateLibraryModel::TitleColumn, TemplateLibraryModel::FolderPathRole).toString(), folder);
    QCOMPARE(cell(TemplateLibraryModel::TitleColumn, TemplateLibraryModel::DestinationRole).toString(),
             QStringLiteral("Transitions.localized/ZT Glitch/GL_Wipe"));
    QCOMPARE(model.rowForKey(cell(0, TemplateLibraryModel::KeyRole).toString()), 0);
    QCOMPARE(model.totalSize(), qint64(2500));
}

void tst_TemplateLibraryModel::missingRootsGiveNoRows()
{
    TemplateLibraryModel model;
    QSignalSpy finished(&model, &TemplateLibraryModel::scanFinished);
    model.setRoots({_dir->filePath(QStringLiteral("nowhere/Motion Templates.localized")), QString()});
    QVERIFY(finished.wait(10000));
    QCOMPARE(model.rowCount(), 0);
    QVERIFY(model.hasScanned());
}

void tst_TemplateLibraryModel::foldersNamedAnyHowKeepATitleAndCategory_data()
{
    QTest::addColumn<QString>("categoryFolder");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("category");

    QTest::newRow("named by the archive rule") << QStringLiteral("ZT Glitch") << QStringLiteral("GL_Rgb_Split")
                                               << QStringLiteral("Rgb Split") << QStringLiteral("Glitch");
    QTest::newRow("made in Motion, in a folder of the user's") << QStringLiteral("My Looks")
        << QStringLiteral("Warm Film") << QStringLiteral("Warm Film") << QStringLiteral("My Looks");
    QTest::newRow("plain name in an installer's category folder") << QStringLiteral("ZT Lower Thirds")
        << QStringLiteral("Plain Name") << QStringLiteral("Plain Name") << QStringLiteral("Lower Thirds");
}

void tst_TemplateLibraryModel::foldersNamedAnyHowKeepATitleAndCategory()
{
    QFETCH(QString, categoryFolder);
    QFETCH(QString, folder);
    QFETCH(QString, title);
    QFETCH(QString, category);
    putTemplate(_root, {Effects, categoryFolder, folder});
    TemplateLibraryModel model;
    TemplateLibraryFilterModel filter;
    filter.setSourceModel(&model);
    QSignalSpy finished(&model, &TemplateLibraryModel::scanFinished);
    model.setRoots({_root});
    QVERIFY(finished.wait(10000));
    QCOMPARE(column(model, TemplateLibraryModel::TitleColumn), QStringList{title});
    QCOMPARE(column(model, TemplateLibraryModel::CategoryColumn), QStringList{category});
    QCOMPARE(model.categories(), QStringList{category});
    // Found by what the table shows.
    filter.setSearchText(title.section(QLatin1Char(' '), -1).toLower());
    QCOMPARE(filter.rowCount(), 1);
    filter.setSearchText(QString());
    filter.setCategory(category);
    QCOMPARE(filter.rowCount(), 1);
}

void tst_TemplateLibraryModel::filtering_data()
{
    QTest::addColumn<QString>("search");
    QTest::addColumn<quint64>("templateType");
    QTest::addColumn<QString>("category");
    QTest::addColumn<int>("rootIndex");
    QTest::addColumn<QStringList>("expected");

    const QString any;
    QTest::newRow("no filter shows everything") << QString() << quint64(0) << any << -1
        << TestSupport::strings({"Big Opener", "Bold Third", "Clean Third", "Glitch Wipe", "Rgb Split"});
    QTest::newRow("search matches titles ignoring case") << QStringLiteral("third") << quint64(0) << any << -1
        << TestSupport::strings({"Bold Third", "Clean Third"});
    QTest::newRow("search matches the category folder's title") << QStringLiteral("glitch") << quint64(0) << any << -1
        << TestSupport::strings({"Glitch Wipe", "Rgb Split"});
    QTest::newRow("every word must match somewhere") << QStringLiteral("glitch  wipe") << quint64(0) << any << -1
        << TestSupport::strings({"Glitch Wipe"});
    QTest::newRow("search that matches nothing") << QStringLiteral("zzz") << quint64(0) << any << -1 << QStringList();
    QTest::newRow("kind filter") << QString() << quint64(4) << any << -1
        << TestSupport::strings({"Glitch Wipe"});
    QTest::newRow("root filter: the second root") << QString() << quint64(0) << any << 1
        << TestSupport::strings({"Big Opener"});
    QTest::newRow("search and kind together") << QStringLiteral("split") << quint64(1) << any << -1
        << TestSupport::strings({"Rgb Split"});
    QTest::newRow("search and root exclude each other") << QStringLiteral("third") << quint64(0) << any << 1
        << QStringList();
}

void tst_TemplateLibraryModel::filtering()
{
    QFETCH(QString, search);
    QFETCH(quint64, templateType);
    QFETCH(int, rootIndex);
    QFETCH(QStringList, expected);

    putTemplate(_root, {Titles, QStringLiteral("ZT Lower Thirds"), QStringLiteral("LT_Bold_Third")});
    putTemplate(_root, {Titles, QStringLiteral("ZT Lower Thirds"), QStringLiteral("LT_Clean_Third")});
    putTemplate(_root, {Transitions, QStringLiteral("ZT Glitch"), QStringLiteral("GL_Glitch_Wipe")});
    putTemplate(_root, {Effects, QStringLiteral("ZT Glitch"), QStringLiteral("GL_Rgb_Split")});
    putTemplate(_second, {Titles, QStringLiteral("ZT Openers"), QStringLiteral("OP_Big_Opener")});

    TemplateLibraryModel model;
    TemplateLibraryFilterModel filter;
    filter.setSourceModel(&model);
    filter.sort(TemplateLibraryModel::TitleColumn);
    QSignalSpy finished(&model, &TemplateLibraryModel::scanFinished);
    model.setRoots({_root, _second});
    QVERIFY(finished.wait(10000));
    QCOMPARE(model.rowCount(), 5);

    filter.setSearchText(search);
    filter.setTemplateType(templateType);
    filter.setRootIndex(rootIndex);
    QCOMPARE(column(filter, TemplateLibraryModel::TitleColumn), expected);
    QCOMPARE(filter.isFiltering(), !search.trimmed().isEmpty() || templateType != 0 || rootIndex >= 0);

    // The category filter takes the category as the model names it.
    const int glitchRow = model.rowForKey(TemplateLibraryModel::key(0, QStringLiteral("Effects.localized/ZT Glitch/GL_Rgb_Split")));
    QVERIFY(glitchRow >= 0);
    const QString glitch = model.index(glitchRow, 0).data(TemplateLibraryModel::CategoryRole).toString();
    QVERIFY(model.categories().contains(glitch));
    filter.setCategory(glitch);
    QStringList inCategory;
    for (const QString &title : std::as_const(expected)) {
        if (title == QLatin1String("Glitch Wipe") || title == QLatin1String("Rgb Split"))
            inCategory.append(title);
    }
    QCOMPARE(column(filter, TemplateLibraryModel::TitleColumn), inCategory);
    filter.setCategory(QString());
    QCOMPARE(column(filter, TemplateLibraryModel::TitleColumn), expected);
}

void tst_TemplateLibraryModel::sorting_data()
{
    QTest::addColumn<int>("sortColumn");
    QTest::addColumn<int>("order");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("title: numbers in titles count as numbers") << int(TemplateLibraryModel::TitleColumn)
        << int(Qt::AscendingOrder) << TestSupport::strings({"Alpha", "Title 2", "title 3", "Title 10"});
    QTest::newRow("title, descending") << int(TemplateLibraryModel::TitleColumn) << int(Qt::DescendingOrder)
        << TestSupport::strings({"Title 10", "title 3", "Title 2", "Alpha"});
    QTest::newRow("size: as numbers, not as text") << int(TemplateLibraryModel::SizeColumn) << int(Qt::AscendingOrder)
        << TestSupport::strings({"Title 10", "title 3", "Alpha", "Title 2"});
    QTest::newRow("installed: oldest first") << int(TemplateLibraryModel::InstalledColumn) << int(Qt::AscendingOrder)
        << TestSupport::strings({"title 3", "Alpha", "Title 2", "Title 10"});
    QTest::newRow("kind, ties by title") << int(TemplateLibraryModel::KindColumn) << int(Qt::AscendingOrder)
        << TestSupport::strings({"Alpha", "Title 2", "title 3", "Title 10"});
}

void tst_TemplateLibraryModel::sorting()
{
    QFETCH(int, sortColumn);
    QFETCH(int, order);
    QFETCH(QStringList, expected);

    // Sizes 9 < 80 < 700 < 6000 bytes; as text "6000" < "700" < "80" < "9".
    const struct
    {
        Spec spec;
        int ageDays;
    } templates[] = {
        {{Titles, QStringLiteral("ZT Lower Thirds"), QStringLiteral("LT_Title_2"), 6000}, 2},
        {{Titles, QStringLiteral("ZT Lower Thirds"), QStringLiteral("LT_title_3"), 80}, 30},
        {{Titles, QStringLiteral("ZT Lower Thirds"), QStringLiteral("LT_Title_10"), 9}, 1},
        {{Effects, QStringLiteral("ZT Openers"), QStringLiteral("OP_Alpha"), 700}, 10},
    };
    for (const auto &entry : templates) {
        const QString folder = putTemplate(_root, entry.spec);
        std::error_code error;
        std::filesystem::last_write_time(QFile::encodeName(folder).toStdString(),
                                         std::filesystem::file_time_type::clock::now() - std::chrono::hours(24 * entry.ageDays),
                                         error);
        QVERIFY2(!error, error.message().c_str());
    }
    TemplateLibraryModel model;
    TemplateLibraryFilterModel filter;
    filter.setSourceModel(&model);
    QSignalSpy finished(&model, &TemplateLibraryModel::scanFinished);
    model.setRoots({_root});
    QVERIFY(finished.wait(10000));
    filter.sort(sortColumn, Qt::SortOrder(order));
    QCOMPARE(column(filter, TemplateLibraryModel::TitleColumn), expected);
}

namespace {

// The changes a scan or a preview brings, without the marks column's, which
// follow on their own as the documents are read.
QList<QList<QVariant>> withoutMarks(const QSignalSpy &changes)
{
    QList<QList<QVariant>> kept;
    for (const QList<QVariant> &change : changes) {
        if (change.at(0).toModelIndex().column() != TemplateLibraryModel::MarksColumn
            || change.at(1).toModelIndex().column() != TemplateLibraryModel::MarksColumn)
            kept.append(change);
    }
    return kept;
}

} // namespace

void tst_TemplateLibraryModel::rescanWithoutChangesKeepsTheRows()
{
    putTemplate(_root, {Titles, QStringLiteral("ZT Lower Thirds"), QStringLiteral("LT_One")});
    putTemplate(_root, {Titles, QStringLiteral("ZT Lower Thirds"), QStringLiteral("LT_Two")});
    TemplateLibraryModel model;
    QSignalSpy finished(&model, &TemplateLibraryModel::scanFinished);
    model.setRoots({_root});
    QVERIFY(finished.wait(10000));

    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    QSignalSpy changes(&model, &QAbstractItemModel::dataChanged);
    QVERIFY(scanned(model));
    QCOMPARE(resets.count(), 0);
    QCOMPARE(withoutMarks(changes).count(), 0);

    // A template grows: its row changes, nothing moves.
    writeFileOrFail(_root + QStringLiteral("/Titles.localized/ZT Lower Thirds/LT_Two/Media/clip.mov"), QByteArray(4000, 'x'));
    QVERIFY(scanned(model));
    QCOMPARE(resets.count(), 0);
    QCOMPARE(withoutMarks(changes).count(), 1);
    const QModelIndex topLeft = withoutMarks(changes).first().at(0).toModelIndex();
    const QModelIndex bottomRight = withoutMarks(changes).first().at(1).toModelIndex();
    const int row = model.rowForKey(TemplateLibraryModel::key(0, QStringLiteral("Titles.localized/ZT Lower Thirds/LT_Two")));
    QCOMPARE(topLeft.row(), row);
    QCOMPARE(bottomRight.row(), row);
    QCOMPARE(model.index(row, TemplateLibraryModel::SizeColumn).data(TemplateLibraryModel::SortRole).toLongLong(),
             qint64(4100));

    // Asked for three times while one runs: one more scan, not three.
    QSignalSpy started(&model, &TemplateLibraryModel::scanStarted);
    model.rescan();
    model.rescan();
    model.rescan();
    QTRY_VERIFY(!model.isScanning());
    QCOMPARE(started.count(), 2);
}

void tst_TemplateLibraryModel::previewsLoadLazilyScaledAndCached()
{
    const QString withPreview = putTemplate(_root, {Titles, QStringLiteral("ZT Lower Thirds"), QStringLiteral("LT_Pictured")});
    writePreview(withPreview, "large.png", QSize(1920, 1080), Qt::red);
    putTemplate(_root, {Titles, QStringLiteral("ZT Lower Thirds"), QStringLiteral("LT_Plain")});
    TemplateLibraryModel model;
    QSignalSpy finished(&model, &TemplateLibraryModel::scanFinished);
    model.setRoots({_root});
    QVERIFY(finished.wait(10000));
    const int pictured = model.rowForKey(TemplateLibraryModel::key(0, QStringLiteral("Titles.localized/ZT Lower Thirds/LT_Pictured")));
    const int plain = model.rowForKey(TemplateLibraryModel::key(0, QStringLiteral("Titles.localized/ZT Lower Thirds/LT_Plain")));
    QVERIFY(pictured >= 0 && plain >= 0);

    QSignalSpy changes(&model, &QAbstractItemModel::dataChanged);
    const QModelIndex picturedCell = model.index(pictured, TemplateLibraryModel::PreviewColumn);
    // Nothing is read on the model's thread: the first answer is empty.
    QVERIFY(!picturedCell.data(Qt::DecorationRole).isValid());
    QTRY_VERIFY(picturedCell.data(Qt::DecorationRole).value<QPixmap>().isNull() == false);
    QCOMPARE(withoutMarks(changes).count(), 1);
    QCOMPARE(withoutMarks(changes).first().at(0).toModelIndex(), picturedCell);
    const QPixmap thumbnail = picturedCell.data(Qt::DecorationRole).value<QPixmap>();
    const QSizeF logical = thumbnail.deviceIndependentSize();
    QVERIFY2(logical.width() <= TemplateLibraryModel::thumbnailSize().width()
                 && logical.height() <= TemplateLibraryModel::thumbnailSize().height(),
             qPrintable(QStringLiteral("%1x%2").arg(logical.width()).arg(logical.height())));
    QCOMPARE(thumbnail.toImage().pixelColor(thumbnail.width() / 2, thumbnail.height() / 2), QColor(Qt::red));

    // Cached: the same pixmap again, without another load.
    QCOMPARE(picturedCell.data(Qt::DecorationRole).value<QPixmap>().cacheKey(), thumbnail.cacheKey());
    const QModelIndex plainCell = model.index(plain, TemplateLibraryModel::PreviewColumn);
    QVERIFY(!plainCell.data(Qt::DecorationRole).isValid());
    QTRY_COMPARE(withoutMarks(changes).count(), 2);
    QVERIFY(!plainCell.data(Qt::DecorationRole).isValid());
    QTest::qWait(100);
    QCOMPARE(withoutMarks(changes).count(), 2);

    // A template replaced by another copy brings its own preview.
    writePreview(withPreview, "preview.png", QSize(64, 36), Qt::blue);
    writeFileOrFail(withPreview + QStringLiteral("/extra.txt"), "more");
    QVERIFY(scanned(model));
    auto centre = [&picturedCell] {
        const QImage image = picturedCell.data(Qt::DecorationRole).value<QPixmap>().toImage();
        return image.isNull() ? QColor() : image.pixelColor(image.width() / 2, image.height() / 2);
    };
    QTRY_COMPARE(centre(), QColor(Qt::blue));
}

void tst_TemplateLibraryModel::previewLoaderPicksTheFirstReadableImage_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QColor>("expected");

    QTest::newRow("preview.png before large.png") << TestSupport::strings({"large.png", "preview.png"}) << QColor(Qt::green);
    QTest::newRow("small.png before large.png") << TestSupport::strings({"large.png", "small.png"}) << QColor(Qt::green);
    QTest::newRow("a damaged preview.png is passed over") << TestSupport::strings({"!preview.png", "small.png"})
                                                          << QColor(Qt::green);
    QTest::newRow("no preview at all") << QStringList() << QColor();
}

void tst_TemplateLibraryModel::previewLoaderPicksTheFirstReadableImage()
{
    QFETCH(QStringList, files);
    QFETCH(QColor, expected);
    const QString folder = _dir->filePath(QStringLiteral("LT_Folder"));
    QVERIFY(QDir().mkpath(folder));
    // The last file named wins the colour green; the others are grey.
    for (qsizetype i = 0; i < files.size(); ++i) {
        QString name = files.at(i);
        if (name.startsWith(QLatin1Char('!'))) {
            writeFileOrFail(folder + QLatin1Char('/') + name.mid(1), "not an image");
            continue;
        }
        writePreview(folder, name.toLatin1().constData(), QSize(400, 300), i + 1 == files.size() ? Qt::green : Qt::gray);
    }
    const QImage image = PreviewLoader::load(folder, QSize(64, 36));
    if (!expected.isValid()) {
        QVERIFY(image.isNull());
        return;
    }
    QCOMPARE(image.size(), QSize(48, 36)); // 4:3 fitted into 64x36
    QCOMPARE(image.pixelColor(24, 18), expected);
}

void tst_TemplateLibraryModel::watcherPicksUpChangesByHand_data()
{
    QTest::addColumn<bool>("rootExists");
    QTest::newRow("root there from the start") << true;
    QTest::newRow("root made after the watch began") << false;
}

void tst_TemplateLibraryModel::watcherPicksUpChangesByHand()
{
    QFETCH(bool, rootExists);
    const QString root = rootExists ? _root : _dir->filePath(QStringLiteral("Later/Motion Templates.localized"));
    QVERIFY(QDir().mkpath(QFileInfo(root).path()));
    TemplateLibraryModel model;
    model.setRescanDelay(100);
    QSignalSpy finished(&model, &TemplateLibraryModel::scanFinished);
    model.setRoots({root});
    model.setWatching(true);
    QTRY_VERIFY(model.hasScanned() && !model.isScanning());
    QCOMPARE(model.rowCount(), 0);

    // A new kind folder, category folder and template; then another
    // template in the category folder that is watched by now.
    putTemplate(root, {Titles, QStringLiteral("ZT Lower Thirds"), QStringLiteral("LT_By_Hand")});
    QTRY_COMPARE_WITH_TIMEOUT(model.rowCount(), 1, 5000);
    QTRY_VERIFY(model.watchedFolders().contains(root + QStringLiteral("/Titles.localized/ZT Lower Thirds")));
    putTemplate(root, {Titles, QStringLiteral("ZT Lower Thirds"), QStringLiteral("LT_Second")});
    QTRY_COMPARE_WITH_TIMEOUT(model.rowCount(), 2, 5000);

    QVERIFY(QDir(root + QStringLiteral("/Titles.localized/ZT Lower Thirds/LT_By_Hand")).removeRecursively());
    QTRY_COMPARE_WITH_TIMEOUT(model.rowCount(), 1, 5000);
    QCOMPARE(column(model, TemplateLibraryModel::TitleColumn), QStringList{QStringLiteral("Second")});

    // A burst of changes is one rescan, or a few, not one per change.
    QTRY_VERIFY(!model.isScanning());
    const int scansBefore = int(finished.count());
    for (int i = 0; i < 30; ++i)
        putTemplate(root, {Effects, QStringLiteral("ZT Glitch"), QStringLiteral("GL_Burst_%1").arg(i)});
    QTRY_COMPARE_WITH_TIMEOUT(model.rowCount(), 31, 5000);
    QTest::qWait(300);
    QVERIFY2(finished.count() - scansBefore <= 4, qPrintable(QString::number(finished.count() - scansBefore)));

    model.setWatching(false);
    QVERIFY(model.watchedFolders().isEmpty());
}

void tst_TemplateLibraryModel::watcherPicksUpAnInstallByAnotherProcess()
{
    const QString archive = CollectionTestTools::makeArchive(
        _dir->path(), QStringLiteral("LT_Other_Process.mtzip"),
        {QStringLiteral("LT_From_Afar"), QStringLiteral("LT_Also_Afar")});
    QVERIFY(!archive.isEmpty());
    TemplateLibraryModel model;
    model.setRoots({_root});
    model.setWatching(true);
    QTRY_VERIFY(model.hasScanned() && !model.isScanning());
    QCOMPARE(model.rowCount(), 0);

    QProcess mtzip;
    mtzip.start(QStringLiteral(MTI_MTZIP_BINARY), {QStringLiteral("install"), QStringLiteral("--dest"), _root, archive});
    QVERIFY(mtzip.waitForStarted());
    // The event loop runs while it installs; the watcher hears it.
    QTRY_COMPARE_WITH_TIMEOUT(mtzip.state(), QProcess::NotRunning, 20000);
    QVERIFY2(mtzip.exitCode() == 0, mtzip.readAllStandardError().constData());
    QTRY_COMPARE_WITH_TIMEOUT(model.rowCount(), 2, 5000);
    // The receipt came with the install: the rows name their archive.
    QTRY_COMPARE_WITH_TIMEOUT(column(model, TemplateLibraryModel::OriginColumn),
                              TestSupport::strings({"LT_Other_Process", "LT_Other_Process"}), 5000);
    QCOMPARE(QFileInfo(model.index(0, 0).data(TemplateLibraryModel::OriginArchivePathRole).toString()).canonicalFilePath(),
             QFileInfo(archive).canonicalFilePath());
}

MTI_COLLECTION_TEST_MAIN(tst_TemplateLibraryModel)
#include "tst_TemplateLibraryModel.moc"
