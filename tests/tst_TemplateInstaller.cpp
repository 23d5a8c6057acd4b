// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Common/FileOperations.h"
#include "Common/ProgressListener.h"
#include "Installer/Categories.h"
#include "Installer/FolderTree.h"
#include "Installer/TemplateInstaller.h"
#include "Installer/TemplateInstallerV2.h"
#include "Installer/TemplateLibrary.h"
#include "Installer/TemplateType.h"
#include "TestSupport.h"
#include "ZipTestTools.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLoggingCategory>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <algorithm>
#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>

using namespace TestSupport;
using ZipTestTools::packFolder;

namespace {

template<typename T>
std::optional<Error> refusalOf(const Expected<T> &opened)
{
    return opened ? std::nullopt : std::optional<Error>(opened.error());
}

// Template folders given by their relative paths; the file name of each
// template file is the folder's own name with the given extension.
void makeTemplates(const QString &root, const QStringList &folders, const QString &extension = QStringLiteral("moti"))
{
    for (const QString &folder : folders) {
        const QString name = QFileInfo(folder).fileName();
        writeFileOrFail(root + QLatin1Char('/') + folder + QLatin1Char('/') + name + QLatin1Char('.') + extension,
                        folder.toUtf8());
        writeFileOrFail(root + QLatin1Char('/') + folder + QStringLiteral("/Media/clip.mov"), QByteArray(2048, 'c'));
    }
}

QStringList names(const EffectTemplateItemList &items, QString (*field)(const EffectTemplateItem &))
{
    QStringList list;
    for (const EffectTemplateItem *item : items)
        list << field(*item);
    return list;
}

QString sourceOf(const EffectTemplateItem &item) { return item.relativeSourcePath(); }
QString destinationOf(const EffectTemplateItem &item) { return item.relativeDestinationPath(); }
QString typeOf(const EffectTemplateItem &item) { return QString::number(item.templateType()); }

// Everything a listing shows of an item, one line each.
QStringList describe(const EffectTemplateItemList &items)
{
    QStringList lines;
    for (const EffectTemplateItem *item : items) {
        lines << QStringList{item->relativeSourcePath(), item->relativeDestinationPath(), item->folderName(),
                             item->title(), item->category().isNull() ? QStringLiteral("<none>") : item->category(),
                             QString::number(item->templateType())}
                     .join(QLatin1Char('|'));
    }
    return lines;
}

// Failures that only the entries' data or the unpack volume can show: a
// listing cannot see them.
bool onlyUnpackingCanSee(const QString &error)
{
    static const QRegularExpression pattern(
        QStringLiteral("is damaged|^Cannot write|^Cannot create the folder|^Not enough free space|^Cannot create an unpack folder"));
    return pattern.match(error).hasMatch();
}

// The names of a folder in the order the file system lists them.
QStringList listing(const QString &folder)
{
    return entryNames(folder, QDir::Unsorted);
}

class Counter : public ProgressListener
{
public:
    bool progress(qint64 done, qint64 total) override
    {
        last = done;
        lastTotal = total;
        return true;
    }
    qint64 last = -1;
    qint64 lastTotal = -1;
};

const char CategoriesXml[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<plist version=\"1.0\"><dict>\n"
    "<key>AB</key><string>Glows</string>\n"
    "<key>LT</key><string>Lower Thirds</string>\n"
    "<key>..</key><string>Dots</string>\n"
    "</dict></plist>\n";

} // namespace

class tst_TemplateInstaller : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void refusals_data();
    void refusals();
    void acceptedNames_data();
    void acceptedNames();

    void scanFollowsTheNameOrder();
    void scanIsTheSameOnTwoFileSystems();
    void firstTemplateFileByNameEndsAFolder_data();
    void firstTemplateFileByNameEndsAFolder();
    void subfolderTemplateFoundOnlyWhenSortedFirst();
    void listingRefusesWhatUnpackingRefuses_data();
    void listingRefusesWhatUnpackingRefuses();
    void listedTemplatesCannotBeInstalledButCanBeRemoved();
    void namesWithDotsAndWithoutUnderscores();
    void finderArchiveLosesItsMetadataFolder();
    void looseTemplateFilesBecomeOneItemNamedAfterTheArchive_data();
    void looseTemplateFilesBecomeOneItemNamedAfterTheArchive();
    void scanSkipsLinksAndRemovesOnlyTheRootPrefix();

    void unpackFoldersAreUniqueAndRemovedOnDestruction_data();
    void unpackFoldersAreUniqueAndRemovedOnDestruction();
    void failedUnpacksLeaveNothing_data();
    void failedUnpacksLeaveNothing();
    void damagedPreviewIsLeftOutOtherDamageRefuses_data();
    void damagedPreviewIsLeftOutOtherDamageRefuses();

    void installTwiceKeepsEditsUnlessTold();
    void movingInstallMatchesCopying_data();
    void movingInstallMatchesCopying();
    void sameNameInTwoPlacesLeavesTheLastListed();
    void failureAtTheThirdOfFiveRollsBackTheArchive_data();
    void failureAtTheThirdOfFiveRollsBackTheArchive();
    void uninstallRemovesEmptiedCategoryAndKindFolders();
    void missingRootInsideAnExistingFolderIsCreated_data();
    void missingRootInsideAnExistingFolderIsCreated();
    void rootThatCannotBeCreated_data();
    void rootThatCannotBeCreated();
    void destinationRoots();

private:
    std::unique_ptr<TemplateInstallerV2> openV2(const QString &archive, const QString &root);
    // Unpacks and lists archive with both installers and fails on any
    // difference between the two scans.
    void compareScans(const QString &archive);

    QTemporaryDir _lists;
    Categories _categories;
    QTemporaryDir _tmp;     // stands in for the process's temporary folder
    QByteArray _savedTmpdir;
    std::unique_ptr<QTemporaryDir> _dir;
};

void tst_TemplateInstaller::initTestCase()
{
    QVERIFY(_lists.isValid());
    writeFileOrFail(_lists.filePath(QStringLiteral("Categories.plist")), CategoriesXml);
    _categories = Categories::fromFile(_lists.filePath(QStringLiteral("Categories.plist")));
    QVERIFY(!_categories.isEmpty());
    QVERIFY(_tmp.isValid());
    _savedTmpdir = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(_tmp.path()));
    QCOMPARE(QDir::tempPath(), _tmp.path());
}

void tst_TemplateInstaller::cleanupTestCase()
{
    if (_savedTmpdir.isNull())
        qunsetenv("TMPDIR");
    else
        qputenv("TMPDIR", _savedTmpdir);
}

void tst_TemplateInstaller::init()
{
    _dir = std::make_unique<QTemporaryDir>(_lists.filePath(QStringLiteral("case-XXXXXX")));
    QVERIFY(_dir->isValid());
}

void tst_TemplateInstaller::cleanup()
{
    // Every archive the test built is scanned both ways too.
    if (_dir) {
        QDirIterator it(_dir->path(), {QStringLiteral("*.mtzip")}, QDir::Files | QDir::System | QDir::Hidden,
                        QDirIterator::Subdirectories);
        QStringList archives;
        while (it.hasNext())
            archives << it.next();
        archives.sort();
        for (const QString &archive : std::as_const(archives)) {
            compareScans(archive);
            if (QTest::currentTestFailed())
                break;
        }
    }
    _dir.reset();
    // Every installer of the test is gone: no unpack folder may be left.
    QCOMPARE(listing(_tmp.path()), QStringList());
}

void tst_TemplateInstaller::compareScans(const QString &archive)
{
    // Both scans tell the diagnostic log what they meet; the test says it here.
    QLoggingCategory::setFilterRules(QStringLiteral("mtzip.*=false"));
    const auto restore = qScopeGuard([] { QLoggingCategory::setFilterRules(QString()); });
    const QUrl url = QUrl::fromLocalFile(archive);
    const QString root = _dir->path();
    for (const bool v2 : {false, true}) {
        const auto make = [&]() -> std::unique_ptr<TemplateInstaller> {
            return v2 ? std::unique_ptr<TemplateInstaller>(TemplateInstallerV2::create(url, root, _categories))
                      : TemplateInstaller::create(url, root, _categories);
        };
        std::unique_ptr<TemplateInstaller> unpacking = make();
        std::unique_ptr<TemplateInstaller> listing = make();
        QCOMPARE(bool(listing), bool(unpacking));
        if (!unpacking)
            continue;
        const QString context = QStringLiteral("%1 (%2)").arg(archive, v2 ? QStringLiteral("v2") : QStringLiteral("base"));
        const bool listed = listing->listArchive();
        // Listing writes nothing, not even an empty unpack folder.
        QVERIFY2(TestSupport::entryNames(_tmp.path(), QDir::Unsorted).isEmpty(), qPrintable(context));
        const bool unpacked = unpacking->unarchive();
        QCOMPARE(listing->isListed(), listed);
        QVERIFY(!listing->isUnpacked());
        if (!listed) {
            QVERIFY2(!unpacked, qPrintable(context + QStringLiteral(": listing refused, unpacking did not: ")
                                           + listing->unarchiveError()));
            // Paths in the unpack folder are named relative to it in a listing.
            static const QRegularExpression unpackFolder(QStringLiteral("\"[^\"]*-mti[0-9]+-[A-Za-z0-9]{6}/"));
            QCOMPARE(listing->unarchiveError(), unpacking->unarchiveError().replace(unpackFolder, QStringLiteral("\"")));
            QVERIFY(listing->effects().empty());
        } else if (!unpacked) {
            QVERIFY2(onlyUnpackingCanSee(unpacking->unarchiveError()),
                     qPrintable(context + QStringLiteral(": unpacking alone refused: ") + unpacking->unarchiveError()));
        } else {
            QCOMPARE(describe(listing->effects()), describe(unpacking->effects()));
            QVERIFY2(!listing->effects().empty() || unpacking->effects().empty(), qPrintable(context));
        }
    }
}

std::unique_ptr<TemplateInstallerV2> tst_TemplateInstaller::openV2(const QString &archive, const QString &root)
{
    auto installer = TemplateInstallerV2::create(QUrl::fromLocalFile(archive), root, _categories);
    if (installer && !installer->unarchive())
        qWarning("unarchive failed: %s", qPrintable(installer->unarchiveError()));
    return installer;
}

void tst_TemplateInstaller::refusals_data()
{
    QTest::addColumn<QString>("archive");
    QTest::addColumn<QString>("root");   // relative to the test folder; "<null>" for none
    QTest::addColumn<bool>("v2");
    QTest::addColumn<QString>("reason");

    const QString root = QStringLiteral("Movies/Motion Templates.localized");
    QTest::newRow("an upper-case extension is not a template archive")
        << QStringLiteral("Pack.MTZIP") << root << false << QStringLiteral("Not a Motion Template Archive");
    QTest::newRow("the category installer checks the extension too")
        << QStringLiteral("AB_Pack.MTZIP") << root << true << QStringLiteral("Not a Motion Template Archive");
    QTest::newRow("the extension is checked before the prefix")
        << QStringLiteral("ABC_Pack.zip") << root << true << QStringLiteral("Not a Motion Template Archive");
    QTest::newRow("a three-character prefix")
        << QStringLiteral("ABC_Pack.mtzip") << root << true << QStringLiteral("Unexpected category prefix");
    QTest::newRow("a one-character prefix")
        << QStringLiteral("A_Pack.mtzip") << root << true << QStringLiteral("Unexpected category prefix");
    QTest::newRow("a dotted title without underscore is one long prefix")
        << QStringLiteral("Pack.2024.mtzip") << root << true << QStringLiteral("Unexpected category prefix");
    QTest::newRow("a prefix that Categories lacks")
        << QStringLiteral("XY_Pack.mtzip") << root << true << QStringLiteral("Unrecognized category title");
    QTest::newRow("prefixes are case-sensitive")
        << QStringLiteral("ab_Pack.mtzip") << root << true << QStringLiteral("Unrecognized category title");
    QTest::newRow("neither the root nor the two folders above it exist")
        << QStringLiteral("AB_Pack.mtzip") << QStringLiteral("Gone/Deeper/Motion Templates.localized") << true
        << QStringLiteral("templatesRootFolder does not exist");
    QTest::newRow("the root is checked before the extension")
        << QStringLiteral("Pack.zip") << QStringLiteral("Gone/Deeper/Motion Templates.localized") << false
        << QStringLiteral("templatesRootFolder does not exist");
    QTest::newRow("no root at all")
        << QStringLiteral("AB_Pack.mtzip") << QStringLiteral("<null>") << true
        << QStringLiteral("templatesRootFolder = nil");
    QTest::newRow("no archive at all")
        << QString() << root << true << QStringLiteral("archiveURL = nil");
}

void tst_TemplateInstaller::refusals()
{
    QFETCH(QString, archive);
    QFETCH(QString, root);
    QFETCH(bool, v2);
    QFETCH(QString, reason);

    QVERIFY(QDir().mkpath(_dir->filePath(QStringLiteral("Movies"))));
    const QUrl url = archive.isEmpty() ? QUrl() : QUrl::fromLocalFile(_dir->filePath(archive));
    const QString rootPath = root == QLatin1String("<null>") ? QString() : _dir->filePath(root);

    QTest::ignoreMessage(QtWarningMsg, diagnostic(reason));
    const std::optional<Error> refusal = v2 ? refusalOf(TemplateInstallerV2::open(url, rootPath, _categories))
                                            : refusalOf(TemplateInstaller::open(url, rootPath, _categories));
    QVERIFY(refusal);
    // Callers choose their words by the domain and code, shown the words as they stand.
    QCOMPARE(refusal->domain(), TemplateInstaller::RefusalDomain);
    QVERIFY(refusal->code() != 0);
    QCOMPARE(refusal->localizedDescription(), reason);
    // Refusing touches nothing.
    QVERIFY(!QFileInfo::exists(_dir->filePath(root)) || root.startsWith(QLatin1String("Movies")));
    QVERIFY(!QFileInfo::exists(_dir->filePath(QStringLiteral("Movies/Motion Templates.localized"))));
}

void tst_TemplateInstaller::acceptedNames_data()
{
    QTest::addColumn<QString>("archive");
    QTest::addColumn<bool>("v2");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("categoryTitle");

    QTest::newRow("the base installer keeps every dot but the last in the title")
        << QStringLiteral("Pack.2024.mtzip") << false << QStringLiteral("Pack.2024") << QString();
    QTest::newRow("a name without underscore is the prefix itself")
        << QStringLiteral("AB.mtzip") << true << QStringLiteral("AB") << QStringLiteral("Glows");
    QTest::newRow("a prefix, an underscore and words")
        << QStringLiteral("LT_Winter_Pack.mtzip") << true << QStringLiteral("LT_Winter_Pack")
        << QStringLiteral("Lower Thirds");
}

void tst_TemplateInstaller::acceptedNames()
{
    QFETCH(QString, archive);
    QFETCH(bool, v2);
    QFETCH(QString, title);
    QFETCH(QString, categoryTitle);

    // The archive need not exist yet, and a plain file as root passes too.
    for (const QString &root : {_dir->filePath(QStringLiteral("root")), _dir->filePath(QStringLiteral("file root"))}) {
        if (root.endsWith(QLatin1String("file root")))
            writeFileOrFail(root, "plain");
        else
            QVERIFY(QDir().mkpath(root));
        const QUrl url = QUrl::fromLocalFile(_dir->filePath(archive));
        if (v2) {
            const auto installer = TemplateInstallerV2::create(url, root, _categories);
            QVERIFY(installer);
            QCOMPARE(installer->title(), title);
            QCOMPARE(installer->categoryTitle(), categoryTitle);
        } else {
            const auto installer = TemplateInstaller::create(url, root);
            QVERIFY(installer);
            QCOMPARE(installer->title(), title);
            QCOMPARE(installer->templatesRootFolder(), root);
            QVERIFY(installer->effects().empty());
        }
    }
}

namespace {

// Folder names in the byte order of their UTF-8 names: "." before capitals
// before small letters, "É" (C3 89) before fullwidth "Ａ" (EF BC A1) before
// an emoji (F0 9F ...), whose UTF-16 surrogates would sort before "Ａ".
const QStringList SortedFolders = {
    QStringLiteral("AB_.Dot"), QStringLiteral("AB_Bravo"), QStringLiteral("AB_Golf"), QStringLiteral("AB_alpha"),
    QStringLiteral("AB_\u00c9cho"), QStringLiteral("AB_\uff21"), QStringLiteral("AB_\U0001F600")};

QStringList reversed(QStringList list)
{
    std::reverse(list.begin(), list.end());
    return list;
}

QStringList withSlash(const QStringList &names)
{
    QStringList paths;
    for (const QString &name : names)
        paths << QLatin1Char('/') + name;
    return paths;
}

EffectTemplateItemList itemsOf(const EffectTemplateItems &owned)
{
    EffectTemplateItemList list;
    for (const auto &item : owned)
        list.push_back(item.get());
    return list;
}

} // namespace

void tst_TemplateInstaller::scanFollowsTheNameOrder()
{
    const QString content = _dir->filePath(QStringLiteral("content"));
    // Created, and packed, in another order than the one expected.
    makeTemplates(content, reversed(SortedFolders));
    const QString archive = _dir->filePath(QStringLiteral("AB_Order.mtzip"));
    packFolder(content, archive);
    const QString root = _dir->filePath(QStringLiteral("root"));
    QVERIFY(QDir().mkpath(root));

    auto installer = openV2(archive, root);
    QVERIFY(installer);
    QVERIFY(installer->isUnpacked());
    QStringList expected = withSlash(SortedFolders);
    QCOMPARE(names(installer->effects(), sourceOf), expected);
    for (QString &path : expected)
        path = QStringLiteral("Titles.localized/ZT Glows") + path;
    QCOMPARE(names(installer->effects(), destinationOf), expected);
}

void tst_TemplateInstaller::scanIsTheSameOnTwoFileSystems()
{
    QTemporaryDir shm(QStringLiteral("/dev/shm/mti-scan-XXXXXX"));
    if (!shm.isValid())
        QSKIP("no tmpfs at /dev/shm");
    // Each tree is made in one order; the file systems list them in their own.
    const auto make = [](const QString &root, const QStringList &order) {
        for (const QString &folder : order) {
            const QString path = root + QLatin1Char('/') + folder;
            writeFileOrFail(path + QStringLiteral("/title.moti"), "title");
            writeFileOrFail(path + QStringLiteral("/generator.motn"), "generator");
            writeFileOrFail(path + QStringLiteral("/Media/clip.mov"), "clip");
        }
    };
    QStringList many;
    for (int i = 0; i < 40; ++i)
        many << QStringLiteral("AB_Many_%1").arg(i * 7919 % 40, 2, 10, QLatin1Char('0'));
    const QString disk = _dir->filePath(QStringLiteral("disk"));
    make(disk, SortedFolders + many);
    make(shm.path(), reversed(SortedFolders + many));

    const auto installer = TemplateInstaller::create(QUrl::fromLocalFile(_dir->filePath(QStringLiteral("X.mtzip"))),
                                                     _dir->path(), _categories);
    QVERIFY(installer);
    const EffectTemplateItems onDisk = installer->effectTemplateItemsInFolder(disk);
    const EffectTemplateItems inMemory = installer->effectTemplateItemsInFolder(shm.path());
    many.sort();
    QCOMPARE(names(itemsOf(onDisk), sourceOf), withSlash(SortedFolders.mid(0, 3) + many + SortedFolders.mid(3)));
    QCOMPARE(describe(itemsOf(inMemory)), describe(itemsOf(onDisk)));
    // "generator.motn" sorts before "title.moti" in every folder.
    QCOMPARE(names(itemsOf(onDisk), typeOf), QStringList(qsizetype(onDisk.size()), QStringLiteral("2")));
}

void tst_TemplateInstaller::firstTemplateFileByNameEndsAFolder_data()
{
    QTest::addColumn<QStringList>("files");   // in the order they are created
    QTest::addColumn<quint64>("type");

    QTest::newRow("a generator named before a title")
        << QStringList{QStringLiteral("title.moti"), QStringLiteral("generator.motn")} << quint64(2);
    QTest::newRow("a title named before a generator")
        << QStringList{QStringLiteral("b.motn"), QStringLiteral("a.moti")} << quint64(3);
    QTest::newRow("capitals sort before small letters")
        << QStringList{QStringLiteral("a.moef"), QStringLiteral("Z.motr")} << quint64(4);
    QTest::newRow("a file that is no template does not count")
        << QStringList{QStringLiteral("z.motn"), QStringLiteral("a.txt"), QStringLiteral("b.moef")} << quint64(1);
}

void tst_TemplateInstaller::firstTemplateFileByNameEndsAFolder()
{
    QFETCH(QStringList, files);
    QFETCH(quint64, type);

    // One folder made in the given order, one in the reverse order.
    const QString content = _dir->filePath(QStringLiteral("content"));
    for (const QString &name : files)
        writeFileOrFail(content + QStringLiteral("/AB_Forward/") + name, name.toUtf8());
    for (const QString &name : reversed(files))
        writeFileOrFail(content + QStringLiteral("/AB_Backward/") + name, name.toUtf8());
    const QString archive = _dir->filePath(QStringLiteral("AB_Dual.mtzip"));
    packFolder(content, archive);
    const QString root = _dir->filePath(QStringLiteral("root"));
    QVERIFY(QDir().mkpath(root));
    auto installer = openV2(archive, root);
    QVERIFY(installer);

    QCOMPARE(names(installer->effects(), sourceOf),
             QStringList({QStringLiteral("/AB_Backward"), QStringLiteral("/AB_Forward")}));
    for (const EffectTemplateItem *item : installer->effects()) {
        QCOMPARE(item->templateType(), type);
        QCOMPARE(item->relativeDestinationPath(),
                 TemplateType::kindFolder(type) + QStringLiteral("/ZT Glows") + item->relativeSourcePath());
    }
}

void tst_TemplateInstaller::subfolderTemplateFoundOnlyWhenSortedFirst()
{
    const QString content = _dir->filePath(QStringLiteral("content"));
    // "AB_Parent_N.moti" sorts before "Child", after "0 Child".
    for (int i = 0; i < 3; ++i) {
        writeFileOrFail(content + QStringLiteral("/AB_Parent_%1/AB_Parent_%1.moti").arg(i), "parent");
        writeFileOrFail(content + QStringLiteral("/AB_Parent_%1/Child/AB_Child_%1.motn").arg(i), "late child");
        writeFileOrFail(content + QStringLiteral("/AB_Parent_%1/0 Child/AB_Early_%1.motn").arg(i), "early child");
    }
    const QString archive = _dir->filePath(QStringLiteral("Nested.mtzip"));
    packFolder(content, archive);
    const QString root = _dir->filePath(QStringLiteral("root"));
    QVERIFY(QDir().mkpath(root));
    auto installer = TemplateInstaller::create(QUrl::fromLocalFile(archive), root, _categories);
    QVERIFY(installer);
    QVERIFY(installer->unarchive());

    const QStringList expected = {QStringLiteral("/AB_Parent_0/0 Child"), QStringLiteral("/AB_Parent_0"),
                                  QStringLiteral("/AB_Parent_1/0 Child"), QStringLiteral("/AB_Parent_1"),
                                  QStringLiteral("/AB_Parent_2/0 Child"), QStringLiteral("/AB_Parent_2")};
    QCOMPARE(names(installer->effects(), sourceOf), expected);
    // The base installer mirrors the archive's layout.
    QCOMPARE(names(installer->effects(), destinationOf), expected);
}

void tst_TemplateInstaller::listingRefusesWhatUnpackingRefuses_data()
{
    QTest::addColumn<QString>("script");   // writes the archive named by sys.argv[1]
    QTest::addColumn<QString>("error");

    const QString head = QStringLiteral("import zipfile,sys\nz=zipfile.ZipFile(sys.argv[1],'w')\n");
    // Patches the first local header (offset 0) and the first directory record.
    const auto patched = [&](const char *body, const char *patch) -> QString {
        return head + QLatin1String(body)
            + QStringLiteral("z.close()\nb=bytearray(open(sys.argv[1],'rb').read())\nc=b.index(b'PK\\x01\\x02')\n")
            + QLatin1String(patch) + QStringLiteral("open(sys.argv[1],'wb').write(bytes(b))\n");
    };
    QTest::newRow("an entry that climbs out of the folder")
        << QString(head + QStringLiteral("z.writestr('AB_Ok/AB_Ok.moti',b'ok')\nz.writestr('../AB_Out/AB_Out.moti',b'out')\nz.close()\n"))
        << QStringLiteral("Refused: entry \"../AB_Out/AB_Out.moti\" would be written outside the destination folder");
    QTest::newRow("an absolute entry name")
        << QString(head + QStringLiteral("z.writestr('/etc/AB_Abs.moti',b'abs')\nz.close()\n"))
        << QStringLiteral("Refused: entry \"/etc/AB_Abs.moti\" would be written outside the destination folder");
    QTest::newRow("an entry whose method cannot be decoded")
        << patched("z.writestr('AB_Ok/AB_Ok.moti',b'ok')\n", "b[8]=9\nb[c+10]=9\n")
        << QStringLiteral("Entry \"AB_Ok/AB_Ok.moti\" uses compression method 9, which cannot be decoded");
    QTest::newRow("an encrypted entry")
        << patched("z.writestr('AB_Ok/AB_Ok.moti',b'ok')\n", "b[6]|=1\nb[c+8]|=1\n")
        << QStringLiteral("Entry \"AB_Ok/AB_Ok.moti\" is encrypted and needs a password");
    QTest::newRow("two directory records sharing one entry's data")
        << patched("z.writestr('AB_A/AB_A.moti',b'x'*100)\n",
                   "e=b.index(b'PK\\x05\\x06')\ncd=b[c:e]\ncd2=cd.replace(b'AB_A/AB_A.moti',b'AB_B/AB_B.moti')\n"
                   "end=b[e:]\nend[8:10]=(2).to_bytes(2,'little')\nend[10:12]=(2).to_bytes(2,'little')\n"
                   "end[12:16]=(len(cd)*2).to_bytes(4,'little')\nb=b[:c]+cd+cd2+end\n")
        << QStringLiteral("Refused: entry \"AB_B/AB_B.moti\" overlaps the data of entry \"AB_A/AB_A.moti\"");
    QTest::newRow("a file where a folder must go")
        << QString(head + QStringLiteral("z.writestr('AB_A',b'file')\nz.writestr('AB_A/AB_A.moti',b'ok')\nz.close()\n"))
        << QStringLiteral("Cannot create the folder");
    QTest::newRow("a folder where a file must go")
        << QString(head + QStringLiteral("z.writestr('AB_A/AB_A.moti',b'ok')\nz.writestr('AB_A',b'file')\nz.close()\n"))
        << QStringLiteral("Cannot write");
    QTest::newRow("no entries at all")
        << QString(head + QStringLiteral("z.close()\n")) << QStringLiteral("The archive holds no entries.");
}

void tst_TemplateInstaller::listingRefusesWhatUnpackingRefuses()
{
    QFETCH(QString, script);
    QFETCH(QString, error);
    if (!isInstalled(QStringLiteral("python3")))
        QSKIP("python3 is needed to build these archives");
    const QString archive = _dir->filePath(QStringLiteral("AB_Refused.mtzip"));
    MTI_VERIFY_TOOL(runPython(script, {archive}));

    QLoggingCategory::setFilterRules(QStringLiteral("mtzip.*=false"));
    const auto restore = qScopeGuard([] { QLoggingCategory::setFilterRules(QString()); });
    auto installer = TemplateInstallerV2::create(QUrl::fromLocalFile(archive), _dir->path(), _categories);
    QVERIFY(installer);
    QVERIFY(!installer->listArchive());
    QVERIFY2(installer->unarchiveError().startsWith(error), qPrintable(installer->unarchiveError()));
    QVERIFY(!installer->isListed());
    QVERIFY(installer->effects().empty());
    // cleanup() unpacks the same archive and expects the same refusal.
}

void tst_TemplateInstaller::listedTemplatesCannotBeInstalledButCanBeRemoved()
{
    const QString content = _dir->filePath(QStringLiteral("content"));
    makeTemplates(content, {QStringLiteral("AB_One"), QStringLiteral("Deep/AB_Two")});
    QImage image(5, 4, QImage::Format_RGB32);
    image.fill(Qt::red);
    QVERIFY(image.save(content + QStringLiteral("/AB_One/preview.png")));
    const QString archive = _dir->filePath(QStringLiteral("AB_Listed.mtzip"));
    packFolder(content, archive);
    const QString root = _dir->filePath(QStringLiteral("root"));
    QVERIFY(QDir().mkpath(root));

    auto unpacked = openV2(archive, root);
    QVERIFY(unpacked && unpacked->isUnpacked());
    QVERIFY(!unpacked->installEffects());
    QCOMPARE(unpacked->installedEffects().size(), size_t(2));

    auto listed = TemplateInstallerV2::create(QUrl::fromLocalFile(archive), root, _categories);
    QVERIFY(listed && listed->listArchive());
    QVERIFY(listed->effectsSourceFolder().isEmpty());
    QCOMPARE(listed->installedEffects().size(), size_t(2));
    // The listing shows no preview: it reads no entry's data.
    QVERIFY(listed->effects().front()->preview().isNull());
    QVERIFY(!unpacked->effects().front()->preview().isNull());
    const QStringList before = treeDigest(root);
    const std::optional<Error> error = listed->installEffects();
    QVERIFY(error);
    QCOMPARE(error->localizedDescription(),
             QStringLiteral("The archive \"AB_Listed\" was only listed; unpack it to install its templates."));
    QCOMPARE(treeDigest(root), before);

    listed->setDisposal(TemplateTransaction::Disposal::Delete);
    QVERIFY(!listed->deleteEffects());
    QVERIFY(listed->installedEffects().empty());
    QVERIFY(!QFileInfo::exists(root + QStringLiteral("/Titles.localized")));
}

void tst_TemplateInstaller::namesWithDotsAndWithoutUnderscores()
{
    // Written by Info-ZIP, an independent writer.
    const QString zip = QStandardPaths::findExecutable(QStringLiteral("zip"));
    if (zip.isEmpty())
        QSKIP("Info-ZIP's zip is needed");
    const QString content = _dir->filePath(QStringLiteral("content"));
    makeTemplates(content, {QStringLiteral("Effects/AB_Glow_1.5")}, QStringLiteral("moef"));
    makeTemplates(content, {QStringLiteral("Sparkle")}, QStringLiteral("motn"));
    makeTemplates(content, {QStringLiteral("Misc/Deep/Er/LT_Wipe")}, QStringLiteral("motr"));
    const QString archive = _dir->filePath(QStringLiteral("AB_Info.Zip_Pack.mtzip"));
    QProcess process;
    process.setWorkingDirectory(content);
    process.start(zip, {QStringLiteral("-q"), QStringLiteral("-r"), archive, QStringLiteral(".")});
    QVERIFY(process.waitForFinished());
    QCOMPARE(process.exitCode(), 0);

    const QString root = _dir->filePath(QStringLiteral("root"));
    QVERIFY(QDir().mkpath(root));
    auto installer = openV2(archive, root);
    QVERIFY(installer);
    QCOMPARE(installer->title(), QStringLiteral("AB_Info.Zip_Pack"));
    QCOMPARE(installer->effects().size(), size_t(3));

    QHash<QString, const EffectTemplateItem *> bySource;
    for (const EffectTemplateItem *item : installer->effects())
        bySource.insert(item->relativeSourcePath(), item);
    const EffectTemplateItem *glow = bySource.value(QStringLiteral("/Effects/AB_Glow_1.5"));
    QVERIFY(glow);
    QCOMPARE(glow->title(), QStringLiteral("Glow 1"));
    QCOMPARE(glow->category(), QStringLiteral("Glows"));
    QCOMPARE(glow->relativeDestinationPath(), QStringLiteral("Effects.localized/ZT Glows/AB_Glow_1.5"));
    const EffectTemplateItem *sparkle = bySource.value(QStringLiteral("/Sparkle"));
    QVERIFY(sparkle);
    QCOMPARE(sparkle->title(), QString());
    QVERIFY(sparkle->category().isNull());
    QCOMPARE(sparkle->relativeDestinationPath(), QStringLiteral("Generators.localized/ZT Glows/Sparkle"));
    // Category shown from the folder's name, category folder from the archive's prefix.
    const EffectTemplateItem *wipe = bySource.value(QStringLiteral("/Misc/Deep/Er/LT_Wipe"));
    QVERIFY(wipe);
    QCOMPARE(wipe->category(), QStringLiteral("Lower Thirds"));
    QCOMPARE(wipe->relativeDestinationPath(), QStringLiteral("Transitions.localized/ZT Glows/LT_Wipe"));

    QVERIFY(!installer->installEffects());
    QCOMPARE(installer->installedEffects().size(), size_t(3));
    QVERIFY(QFileInfo(root + QStringLiteral("/Transitions.localized/ZT Glows/LT_Wipe/LT_Wipe.motr")).isFile());
    QVERIFY(QFileInfo(root + QStringLiteral("/Effects.localized/ZT Glows/AB_Glow_1.5/Media/clip.mov")).isFile());
}

void tst_TemplateInstaller::finderArchiveLosesItsMetadataFolder()
{
    if (!isInstalled(QStringLiteral("python3")))
        QSKIP("python3 is needed for a Finder-like archive");
    const QString archive = _dir->filePath(QStringLiteral("AB_Finder.mtzip"));
    // Folder entries, a top folder, and AppleDouble files whose names end in
    // template extensions: scanned, they would become templates.
    QVERIFY(runPython(QStringLiteral(
        "import zipfile,sys\n"
        "z=zipfile.ZipFile(sys.argv[1],'w',zipfile.ZIP_DEFLATED)\n"
        "for d in ['Pack/','Pack/AB_Glow/','Pack/Extras/','Pack/Extras/__MACOSX/','Pack/Extras/__MACOSX/AB_Deep/',"
        "'__MACOSX/','__MACOSX/Pack/','__MACOSX/Pack/AB_Glow/']:\n"
        "  z.writestr(d,b'')\n"
        "z.writestr('Pack/AB_Glow/AB_Glow.moef',b'effect')\n"
        "z.writestr('Pack/AB_Glow/.DS_Store',b'ds')\n"
        "z.writestr('Pack/Extras/__MACOSX/AB_Deep/AB_Deep.moti',b'deep')\n"
        "z.writestr('__MACOSX/Pack/AB_Glow/._AB_Glow.moef',b'\\x00\\x05\\x16\\x07')\n"
        "z.writestr('__MACOSX/Pack/._AB_Stray.motn',b'\\x00\\x05\\x16\\x07')\n"
        // A Finder archive zipped again: its metadata folder is no longer at
        // the top, and AppleDouble files copied beside the real ones.
        "z.writestr('Pack/AB_Glow/._AB_Glow.moef',b'\\x00\\x05\\x16\\x07')\n"
        "z.writestr('Again/Pack/AB_Real/AB_Real.moef',b'real')\n"
        "z.writestr('Again/__MACOSX/Pack/AB_Real/._AB_Real.moef',b'\\x00\\x05\\x16\\x07')\n"
        "z.close()\n"), {archive}).succeeded());

    const QString root = _dir->filePath(QStringLiteral("root"));
    QVERIFY(QDir().mkpath(root));
    auto installer = openV2(archive, root);
    QVERIFY(installer);
    QVERIFY(!QFileInfo::exists(installer->effectsSourceFolder() + QStringLiteral("/__MACOSX")));
    QStringList sources = names(installer->effects(), sourceOf);
    sources.sort();
    QCOMPARE(sources, QStringList({QStringLiteral("/Again/Pack/AB_Real"), QStringLiteral("/Pack/AB_Glow"),
                                   QStringLiteral("/Pack/Extras/__MACOSX/AB_Deep")}));
}

void tst_TemplateInstaller::looseTemplateFilesBecomeOneItemNamedAfterTheArchive_data()
{
    QTest::addColumn<QString>("archiveName");
    QTest::addColumn<bool>("v2");
    QTest::addColumn<QString>("destination");   // empty: refused

    QTest::newRow("the category installer puts it in a folder of the archive's title")
        << QStringLiteral("AB_Loose_Pack.mtzip") << true << QStringLiteral("Titles.localized/ZT Glows/AB_Loose_Pack");
    QTest::newRow("the base installer puts it in a folder of the archive's title")
        << QStringLiteral("Loose.mtzip") << false << QStringLiteral("/Loose");
    QTest::newRow("a title of two dots never reaches above the root")
        << QStringLiteral("...mtzip") << false << QString();
    QTest::newRow("a title of two dots never replaces a kind folder")
        << QStringLiteral("...mtzip") << true << QString();
}

void tst_TemplateInstaller::looseTemplateFilesBecomeOneItemNamedAfterTheArchive()
{
    QFETCH(QString, archiveName);
    QFETCH(bool, v2);
    QFETCH(QString, destination);

    const QString content = _dir->filePath(QStringLiteral("content"));
    writeFileOrFail(content + QStringLiteral("/Loose.moti"), "loose title");
    writeFileOrFail(content + QStringLiteral("/Media/clip.mov"), "clip");
    QImage image(12, 7, QImage::Format_RGB32);
    image.fill(Qt::yellow);
    QVERIFY(image.save(content + QStringLiteral("/preview.png")));
    const QString archive = _dir->filePath(archiveName);
    packFolder(content, archive);

    const QString root = _dir->filePath(QStringLiteral("top/root"));
    writeFileOrFail(root + QStringLiteral("/Titles.localized/ZT Glows/AB_Other/AB_Other.moti"), "other");
    writeFileOrFail(_dir->filePath(QStringLiteral("top/beside.txt")), "beside");

    std::unique_ptr<TemplateInstaller> installer;
    if (v2)
        installer = TemplateInstallerV2::create(QUrl::fromLocalFile(archive), root, _categories);
    else
        installer = TemplateInstaller::create(QUrl::fromLocalFile(archive), root, _categories);
    QVERIFY(installer);
    QVERIFY(installer->unarchive());
    QCOMPARE(installer->effects().size(), size_t(1));
    const EffectTemplateItem *item = installer->effects().front();
    QCOMPARE(item->relativeSourcePath(), QString());
    QCOMPARE(item->sourceFolderPath(), installer->effectsSourceFolder());
    QCOMPARE(readFile(installer->effectsSourceFolder() + QStringLiteral("/preview.png")),
             readFile(content + QStringLiteral("/preview.png")));
    QCOMPARE(item->preview().size(), QSize(12, 7));

    const std::optional<Error> error = installer->installEffects();
    if (destination.isEmpty()) {
        QVERIFY(error);
        QVERIFY(installer->installedEffects().empty());
    } else {
        QVERIFY2(!error, error ? qPrintable(error->localizedDescription()) : "");
        QCOMPARE(item->relativeDestinationPath(), destination);
        QCOMPARE(readFile(root + QLatin1Char('/') + destination + QStringLiteral("/Loose.moti")),
                 QByteArrayLiteral("loose title"));
        QVERIFY(installer->deleteEffects() == std::nullopt);
        QVERIFY(!item->isInstalledInDestRootFolder(root));
    }
    // Whatever happened, the rest of the destination and its surroundings stay.
    QCOMPARE(readFile(root + QStringLiteral("/Titles.localized/ZT Glows/AB_Other/AB_Other.moti")),
             QByteArrayLiteral("other"));
    QCOMPARE(readFile(_dir->filePath(QStringLiteral("top/beside.txt"))), QByteArrayLiteral("beside"));
    QVERIFY(!QFileInfo::exists(root + QStringLiteral("/Loose.moti")));
    QVERIFY(!QFileInfo::exists(_dir->filePath(QStringLiteral("top/Loose.moti"))));
}

void tst_TemplateInstaller::scanSkipsLinksAndRemovesOnlyTheRootPrefix()
{
    const QString root = _dir->filePath(QStringLiteral("scan"));
    makeTemplates(_dir->filePath(QStringLiteral("outside")), {QStringLiteral("AB_Outside")});
    makeTemplates(root, {QStringLiteral("AB_Inside")});
    // A folder path that holds the root's own path again further down.
    makeTemplates(root, {root.mid(1) + QStringLiteral("/AB_Echo")});
    QVERIFY(QFile::link(_dir->filePath(QStringLiteral("outside/AB_Outside")), root + QStringLiteral("/AB_Link")));
    QVERIFY(QFile::link(_dir->filePath(QStringLiteral("outside/AB_Outside/AB_Outside.moti")),
                        root + QStringLiteral("/AB_Inside/Media/linked.moti")));

    QVERIFY(QDir().mkpath(_dir->filePath(QStringLiteral("root"))));
    auto installer = TemplateInstaller::create(QUrl::fromLocalFile(_dir->filePath(QStringLiteral("X.mtzip"))),
                                               _dir->filePath(QStringLiteral("root")));
    QVERIFY(installer);
    const EffectTemplateItems items = installer->effectTemplateItemsInFolder(root);
    QStringList sources;
    for (const auto &item : items)
        sources << item->relativeSourcePath();
    sources.sort();
    QCOMPARE(sources, QStringList({QStringLiteral("/AB_Inside"), root + QStringLiteral("/AB_Echo")}));
}

void tst_TemplateInstaller::unpackFoldersAreUniqueAndRemovedOnDestruction_data()
{
    QTest::addColumn<bool>("deleteArchive");
    QTest::newRow("the archive stays unless asked") << false;
    QTest::newRow("the archive goes when asked") << true;
}

void tst_TemplateInstaller::unpackFoldersAreUniqueAndRemovedOnDestruction()
{
    QFETCH(bool, deleteArchive);

    const QString content = _dir->filePath(QStringLiteral("content"));
    makeTemplates(content, {QStringLiteral("AB_One")});
    const QString archive1 = _dir->filePath(QStringLiteral("first/AB_Same.mtzip"));
    const QString archive2 = _dir->filePath(QStringLiteral("second/AB_Same.mtzip"));
    QVERIFY(QDir().mkpath(QFileInfo(archive1).path()));
    QVERIFY(QDir().mkpath(QFileInfo(archive2).path()));
    packFolder(content, archive1);
    QVERIFY(QFile::copy(archive1, archive2));
    // Leftovers of an earlier run under the plain title are never scanned.
    makeTemplates(_tmp.path(), {QStringLiteral("AB_Same/AB_Leftover")});

    const QString root = _dir->filePath(QStringLiteral("root"));
    QVERIFY(QDir().mkpath(root));
    auto first = openV2(archive1, root);
    auto second = openV2(archive2, root);
    QVERIFY(first && second);
    QVERIFY(first->effectsSourceFolder() != second->effectsSourceFolder());
    for (const auto *installer : {first.get(), second.get()}) {
        QVERIFY(installer->effectsSourceFolder().startsWith(_tmp.path() + QStringLiteral("/AB_Same-")));
        QCOMPARE(names(installer->effects(), sourceOf), QStringList{QStringLiteral("/AB_One")});
    }

    const QString firstFolder = first->effectsSourceFolder();
    first->setMustDeleteTemplatesArchive(deleteArchive);
    first.reset();
    QVERIFY(!QFileInfo::exists(firstFolder));
    QCOMPARE(QFileInfo::exists(archive1), !deleteArchive);
    QVERIFY(QFileInfo(second->effectsSourceFolder()).isDir());
    QVERIFY(QFileInfo::exists(_tmp.path() + QStringLiteral("/AB_Same/AB_Leftover")));
    second.reset();
    QVERIFY(QFileInfo::exists(archive2));
    QVERIFY(FileOperations::removeAll(_tmp.path() + QStringLiteral("/AB_Same")) == std::nullopt);
}

void tst_TemplateInstaller::failedUnpacksLeaveNothing_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QStringList>("diagnostics");
    QTest::addColumn<QString>("error");

    QTest::newRow("an archive file that does not exist")
        << QStringLiteral("missing") << QStringList() << QStringLiteral("AB_Broken.mtzip\": No such file or directory");
    QTest::newRow("a text file named like an archive")
        << QStringLiteral("text") << QStringList() << QStringLiteral("AB_Broken.mtzip\" is not a zip archive, or it is damaged");
    QTest::newRow("a zero-byte file")
        << QStringLiteral("zero") << QStringList() << QStringLiteral("AB_Broken.mtzip\" is not a zip archive, or it is damaged");
    QTest::newRow("a named pipe is refused at once, never opened")
        << QStringLiteral("fifo") << QStringList() << QStringLiteral("AB_Broken.mtzip\" is a named pipe (FIFO), not a file");
    QTest::newRow("a zip without entries")
        << QStringLiteral("empty") << QStringList{QStringLiteral("Failed"), QStringLiteral("Error occurs")}
        << QStringLiteral("The archive holds no entries.");
    QTest::newRow("a zip whose second entry is damaged after the first was written")
        << QStringLiteral("damaged")
        << QStringList{QStringLiteral("Failed to reading zip file"), QStringLiteral("Entry \"AB_Two/data.bin\" is damaged")}
        << QStringLiteral("Entry \"AB_Two/data.bin\" is damaged");
}

void tst_TemplateInstaller::failedUnpacksLeaveNothing()
{
    QFETCH(QString, kind);
    QFETCH(QStringList, diagnostics);
    QFETCH(QString, error);

    const QString archive = _dir->filePath(QStringLiteral("AB_Broken.mtzip"));
    if (kind == QLatin1String("text")) {
        writeFileOrFail(archive, "PK but not really a zip file at all");
    } else if (kind == QLatin1String("zero")) {
        writeFileOrFail(archive, QByteArray());
    } else if (kind == QLatin1String("fifo")) {
        QCOMPARE(::mkfifo(QFile::encodeName(archive).constData(), 0644), 0);
    } else if (kind != QLatin1String("missing")) {
        if (!isInstalled(QStringLiteral("python3")))
            QSKIP("python3 is needed to build this archive");
        // Stored entries, so that one flipped byte breaks the second CRC only.
        QVERIFY(runPython(QStringLiteral(
            "import zipfile,sys\n"
            "z=zipfile.ZipFile(sys.argv[1],'w',zipfile.ZIP_STORED)\n"
            "if sys.argv[2]=='damaged':\n"
            "  z.writestr('AB_One/AB_One.moti',b'one'*1000)\n"
            "  z.writestr('AB_Two/data.bin',b'Z'*5000)\n"
            "z.close()\n"
            "if sys.argv[2]=='damaged':\n"
            "  b=bytearray(open(sys.argv[1],'rb').read())\n"
            "  i=b.index(b'Z'*5000)+2500\n"
            "  b[i]=ord('Y')\n"
            "  open(sys.argv[1],'wb').write(bytes(b))\n"), {archive, kind}).succeeded());
    }
    for (const QString &message : std::as_const(diagnostics))
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^'%1.*' in .* line \\d+$")
                                                              .arg(QRegularExpression::escape(message))));

    // The root does not exist yet: installing nothing still creates it.
    const QString root = _dir->filePath(QStringLiteral("Motion Templates.localized"));
    auto installer = TemplateInstallerV2::create(QUrl::fromLocalFile(archive), root, _categories);
    QVERIFY(installer);
    QVERIFY(!installer->unarchive());
    QVERIFY(!installer->isUnpacked());
    QVERIFY(installer->effects().empty());
    QVERIFY2(installer->unarchiveError().contains(error), qPrintable(installer->unarchiveError()));
    // Nothing of a partial unpack stays in the temporary folder.
    QCOMPARE(listing(_tmp.path()), QStringList());

    QVERIFY(!installer->installEffects());
    QVERIFY(QFileInfo(root).isDir());
    QVERIFY(QDir(root).isEmpty());
    QVERIFY(installer->installedEffects().empty());
    QVERIFY(!installer->deleteEffects());
    installer.reset();
    QCOMPARE(QFileInfo::exists(archive), kind != QLatin1String("missing"));
}

void tst_TemplateInstaller::damagedPreviewIsLeftOutOtherDamageRefuses_data()
{
    QTest::addColumn<QString>("damaged");
    QTest::addColumn<QString>("workers");
    QTest::addColumn<bool>("spared");

    for (const char *workers : {"1", "2"}) {
        const QString suffix = QStringLiteral(", %1 thread(s)").arg(QLatin1String(workers));
        QTest::newRow(qPrintable(QStringLiteral("preview.png") + suffix))
            << QStringLiteral("AB_Two/preview.png") << QString::fromLatin1(workers) << true;
        QTest::newRow(qPrintable(QStringLiteral("large.png") + suffix))
            << QStringLiteral("AB_One/large.png") << QString::fromLatin1(workers) << true;
        QTest::newRow(qPrintable(QStringLiteral("the template document") + suffix))
            << QStringLiteral("AB_Two/AB_Two.moti") << QString::fromLatin1(workers) << false;
        QTest::newRow(qPrintable(QStringLiteral("a media image named like no preview") + suffix))
            << QStringLiteral("AB_Two/Media/preview-old.png") << QString::fromLatin1(workers) << false;
    }
}

// A byte flipped inside an entry's deflated data: a CRC or inflate error
// that only reading the data shows.
void tst_TemplateInstaller::damagedPreviewIsLeftOutOtherDamageRefuses()
{
    QFETCH(QString, damaged);
    QFETCH(QString, workers);
    QFETCH(bool, spared);
    // Compressible data of 600,000 bytes an entry: deflated, and big
    // enough that a flipped byte lands inside the deflate stream.
    QRandomGenerator random(7);
    ZipTestTools::EntryList entries;
    for (const char *name : {"AB_One/AB_One.moti", "AB_One/large.png", "AB_Two/AB_Two.moti", "AB_Two/preview.png",
                             "AB_Two/Media/preview-old.png"}) {
        QByteArray data(600000, Qt::Uninitialized);
        for (char &c : data)
            c = char('a' + random.bounded(8));
        entries.append({QLatin1String(name), data});
    }
    const QString archive = _dir->filePath(QStringLiteral("AB_Pack.mtzip"));
    MTI_VERIFY_TOOL(ZipTestTools::writeZipWithPython(archive, entries));
    QVERIFY(ZipTestTools::damageEntryData(archive, damaged));

    const QByteArray saved = qgetenv("MTI_UNZIP_WORKERS");
    qputenv("MTI_UNZIP_WORKERS", workers.toLatin1());
    const auto restore = qScopeGuard([&saved] {
        if (saved.isNull())
            qunsetenv("MTI_UNZIP_WORKERS");
        else
            qputenv("MTI_UNZIP_WORKERS", saved);
    });
    if (!spared) {
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^'Failed to reading zip file' in")));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^'Entry \"%1\" is damaged")
                                                                  .arg(QRegularExpression::escape(damaged))));
    } else {
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^'Damaged preview left out: %1'")
                                                                  .arg(QRegularExpression::escape(damaged))));
    }
    const QString root = _dir->filePath(QStringLiteral("root"));
    QVERIFY(QDir().mkpath(root));
    auto installer = openV2(archive, root);
    QVERIFY(installer);
    QCOMPARE(installer->unarchive(), spared);
    if (!spared) {
        QVERIFY2(installer->unarchiveError().contains(QStringLiteral("Entry \"%1\" is damaged").arg(damaged)),
                 qPrintable(installer->unarchiveError()));
        QVERIFY(installer->effects().empty());
        QCOMPARE(listing(_tmp.path()), QStringList());
        return;
    }
    QCOMPARE(installer->damagedPreviews(), QStringList{damaged});
    const QString unpacked = installer->effectsSourceFolder();
    QVERIFY(!QFileInfo::exists(unpacked + QLatin1Char('/') + damaged));
    for (const QString &name : {QStringLiteral("AB_One/AB_One.moti"), QStringLiteral("AB_Two/AB_Two.moti"),
                                QStringLiteral("AB_Two/Media/preview-old.png")})
        QCOMPARE(QFileInfo(unpacked + QLatin1Char('/') + name).size(), qint64(600000));
    QCOMPARE(installer->effects().size(), size_t(2));
    for (const EffectTemplateItem *item : installer->effects()) {
        if (damaged.startsWith(item->relativeSourcePath().mid(1) + QLatin1Char('/')))
            QVERIFY(item->preview().isNull());
    }

    // Installed without it, and the receipt does not miss it.
    QVERIFY(!installer->installEffects());
    QCOMPARE(installer->installedEffects().size(), size_t(2));
    const std::vector<TemplateLibrary::Verification> checks = TemplateLibrary::verify(root);
    QCOMPARE(checks.size(), size_t(2));
    for (const TemplateLibrary::Verification &check : checks) {
        QVERIFY(check.hasReceipt);
        QVERIFY2(check.isIntact() && check.added.isEmpty(), qPrintable(check.destination + check.missing.join(u',')));
    }
}

void tst_TemplateInstaller::installTwiceKeepsEditsUnlessTold()
{
    const QString trash = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Trash");
    QVERIFY(!FileOperations::removeAll(trash));
    const QString content = _dir->filePath(QStringLiteral("content"));
    makeTemplates(content, {QStringLiteral("Lower/AB_Name_Bar"), QStringLiteral("AB_Credits")});
    const QString archive = _dir->filePath(QStringLiteral("AB_Twice.mtzip"));
    packFolder(content, archive);
    const QString root = _dir->filePath(QStringLiteral("root"));
    QVERIFY(QDir().mkpath(root));
    auto installer = openV2(archive, root);
    QVERIFY(installer);
    Counter counter;
    installer->setProgressListener(&counter);

    QVERIFY(installer->installedEffects().empty());
    QVERIFY(!installer->installEffects());
    QCOMPARE(installer->installedEffects().size(), size_t(2));
    QCOMPARE(counter.last, counter.lastTotal);
    QCOMPARE(counter.lastTotal, FileOperations::treeSize(installer->effectsSourceFolder()));

    // Again: nothing to copy.
    QVERIFY(!installer->installEffects());
    QCOMPARE(installer->lastInstallReport().identical, 2);
    QCOMPARE(installer->lastInstallReport().replaced, 0);

    // An edited copy is the user's: kept unless they say replace.
    const QString installed = root + QStringLiteral("/Titles.localized/ZT Glows/AB_Name_Bar");
    writeFileOrFail(installed + QStringLiteral("/added by the user.txt"), "mine");
    QVERIFY(QFile::remove(installed + QStringLiteral("/Media/clip.mov")));
    QVERIFY(!installer->installEffects());
    QCOMPARE(installer->lastInstallReport().keptEdited,
             QStringList{QStringLiteral("Titles.localized/ZT Glows/AB_Name_Bar")});
    QCOMPARE(installer->lastInstallReport().identical, 1);
    QCOMPARE(readFile(installed + QStringLiteral("/added by the user.txt")), QByteArray("mine"));
    QVERIFY(!QFileInfo::exists(installed + QStringLiteral("/Media/clip.mov")));

    installer->setOwnershipPolicy({true, false, false});
    QVERIFY(!installer->installEffects());
    QCOMPARE(installer->lastInstallReport().replaced, 1);
    QVERIFY(!QFileInfo::exists(installed + QStringLiteral("/added by the user.txt")));
    QCOMPARE(QFileInfo(installed + QStringLiteral("/Media/clip.mov")).size(), 2048);
    QCOMPARE(installer->installedEffects().size(), size_t(2));
    // The edited copy is in the Trash, where Restore finds its place.
    QCOMPARE(readFile(trash + QStringLiteral("/files/AB_Name_Bar/added by the user.txt")), QByteArray("mine"));
    QVERIFY(trashInfoRecords(trash + QStringLiteral("/info/AB_Name_Bar.trashinfo"), installed));
}

void tst_TemplateInstaller::movingInstallMatchesCopying_data()
{
    QTest::addColumn<bool>("nested");
    QTest::newRow("separate template folders are moved out of the unpack folder") << false;
    QTest::newRow("a template inside another template's folder makes it copy") << true;
}

void tst_TemplateInstaller::movingInstallMatchesCopying()
{
    QFETCH(bool, nested);
    const QString content = _dir->filePath(QStringLiteral("content"));
    QStringList parents;
    for (int i = 0; i < 12; ++i)
        parents << QStringLiteral("AB_Credits_%1").arg(i);
    makeTemplates(content, parents);
    if (nested) {
        // The scan finds an inner template only when its folder's name sorts
        // before the parent's template file: "A Inner" before "AB_Credits_N.moti".
        for (const QString &parent : std::as_const(parents))
            writeFileOrFail(content + QLatin1Char('/') + parent + QStringLiteral("/A Inner/AB_Inner.motn"), "inner");
    }
    const QString archive = _dir->filePath(QStringLiteral("AB_Moved.mtzip"));
    packFolder(content, archive);
    const QString root = _dir->filePath(QStringLiteral("root"));
    QVERIFY(QDir().mkpath(root));
    auto installer = openV2(archive, root);
    QVERIFY(installer);
    const QStringList sources = names(installer->effects(), sourceOf);
    QCOMPARE(sources.filter(QStringLiteral("/A Inner")).size(), nested ? parents.size() : 0);
    // Of the inner templates, which share one destination, only the last is installed.
    QMap<QString, qint64> sizes;
    for (const EffectTemplateItem *item : installer->effects())
        sizes[item->relativeDestinationPath()] = FileOperations::treeSize(item->sourceFolderPath());
    qint64 total = 0;
    for (const qint64 size : std::as_const(sizes))
        total += size;
    Counter counter;
    installer->setProgressListener(&counter);

    QVERIFY(!installer->installEffects(InstallTransfer::MoveSource));
    // Every template complete at its destination, progress at the total.
    QCOMPARE(installer->installedEffects().size(), installer->effects().size());
    for (const QString &parent : std::as_const(parents)) {
        const QString installed = root + QStringLiteral("/Titles.localized/ZT Glows/") + parent;
        QCOMPARE(QFileInfo(installed + QStringLiteral("/Media/clip.mov")).size(), 2048);
        QCOMPARE(QFileInfo::exists(installed + QStringLiteral("/A Inner/AB_Inner.motn")), nested);
    }
    QCOMPARE(counter.last, counter.lastTotal);
    QCOMPARE(counter.lastTotal, total);
    // Moved templates have left the unpack folder; copied ones are still there.
    QCOMPARE(listing(installer->effectsSourceFolder()).isEmpty(), !nested);
}

void tst_TemplateInstaller::sameNameInTwoPlacesLeavesTheLastListed()
{
    const QString content = _dir->filePath(QStringLiteral("content"));
    makeTemplates(content, {QStringLiteral("One/AB_Same"), QStringLiteral("Two/AB_Same")});
    const QString archive = _dir->filePath(QStringLiteral("AB_Twins.mtzip"));
    packFolder(content, archive);
    const QString root = _dir->filePath(QStringLiteral("root"));
    QVERIFY(QDir().mkpath(root));
    auto installer = openV2(archive, root);
    QVERIFY(installer);
    const EffectTemplateItemList items = installer->effects();
    QCOMPARE(items.size(), size_t(2));
    QCOMPARE(items[0]->relativeDestinationPath(), items[1]->relativeDestinationPath());

    QVERIFY(!installer->installEffects());
    const QString last = items[1]->relativeSourcePath().mid(1);   // "One/AB_Same" or "Two/AB_Same"
    const QString installed = root + QStringLiteral("/Titles.localized/ZT Glows/AB_Same/AB_Same.moti");
    QCOMPARE(readFile(installed), last.toUtf8());
    // Asking for the earlier one alone still leaves the last listed there.
    QVERIFY(!installer->installEffects({items[0]}, InstallTransfer::Copy));
    QCOMPARE(readFile(installed), last.toUtf8());
}

void tst_TemplateInstaller::failureAtTheThirdOfFiveRollsBackTheArchive_data()
{
    QTest::addColumn<bool>("neighbour");
    QTest::newRow("another archive's template in the category folder stays") << true;
    QTest::newRow("alone in the destination") << false;
}

void tst_TemplateInstaller::failureAtTheThirdOfFiveRollsBackTheArchive()
{
    QFETCH(bool, neighbour);

    const QString content = _dir->filePath(QStringLiteral("content"));
    makeTemplates(content, {QStringLiteral("AB_T1"), QStringLiteral("AB_T2"), QStringLiteral("AB_T3"),
                            QStringLiteral("AB_T4"), QStringLiteral("AB_T5")});
    const QString archive = _dir->filePath(QStringLiteral("AB_Five.mtzip"));
    packFolder(content, archive);
    const QString root = _dir->filePath(QStringLiteral("root"));
    QVERIFY(QDir().mkpath(root));
    if (neighbour)
        writeFileOrFail(root + QStringLiteral("/Titles.localized/ZT Glows/XY_Other/XY_Other.moti"), "other");

    auto installer = openV2(archive, root);
    QVERIFY(installer);
    const EffectTemplateItemList items = installer->effects();
    QCOMPARE(items.size(), size_t(5));
    // An earlier install left copies of the first two, one with the user's edits.
    QVERIFY(!TemplateInstaller::copyEffects({items[0], items[1]}, root));
    const QString edited = root + QLatin1Char('/') + items[1]->relativeDestinationPath();
    writeFileOrFail(edited + QStringLiteral("/added by the user.txt"), "mine");
    writeFileOrFail(edited + QStringLiteral("/Media/clip.mov"), "edited");
    const QStringList before = treeDigest(root);

    // The third template's folder vanished from the unpack folder: its copy
    // fails whoever runs the test, root included.
    QVERIFY(FileOperations::removeAll(items[2]->sourceFolderPath()) == std::nullopt);
    const std::optional<Error> error = installer->installEffects();
    QVERIFY(error);
    QCOMPARE(error->domain(), Error::PosixDomain);
    QCOMPARE(error->code(), ENOENT);

    // Exactly as before: the older copies with the user's edits, nothing of
    // the other three, no folder made for them.
    QCOMPARE(treeDigest(root), before);
    QCOMPARE(installer->installedEffects().size(), size_t(2));
    QCOMPARE(installer->lastInstallReport().newlyInstalled, 0);
    if (neighbour) {
        QCOMPARE(readFile(root + QStringLiteral("/Titles.localized/ZT Glows/XY_Other/XY_Other.moti")),
                 QByteArrayLiteral("other"));
    }
}

void tst_TemplateInstaller::uninstallRemovesEmptiedCategoryAndKindFolders()
{
    const QString content = _dir->filePath(QStringLiteral("content"));
    makeTemplates(content, {QStringLiteral("AB_Glow_One")}, QStringLiteral("moef"));
    makeTemplates(content, {QStringLiteral("AB_Title_One")}, QStringLiteral("moti"));
    const QString archive = _dir->filePath(QStringLiteral("AB_Remove.mtzip"));
    packFolder(content, archive);
    const QString root = _dir->filePath(QStringLiteral("root"));
    // Titles.localized holds another category, which keeps it.
    writeFileOrFail(root + QStringLiteral("/Titles.localized/ZT Lower Thirds/LT_Bar/LT_Bar.moti"), "bar");
    auto installer = openV2(archive, root);
    QVERIFY(installer);

    // Never installed: only already-empty category and kind folders go.
    writeFileOrFail(root + QStringLiteral("/Effects.localized/ZT Glows/.DS_Store"), "finder");
    QVERIFY(installer->deleteEffects() == std::nullopt);
    QVERIFY(!QFileInfo::exists(root + QStringLiteral("/Effects.localized")));
    QVERIFY(QFileInfo::exists(root + QStringLiteral("/Titles.localized/ZT Lower Thirds/LT_Bar/LT_Bar.moti")));

    QVERIFY(!installer->installEffects());
    writeFileOrFail(root + QStringLiteral("/Effects.localized/ZT Glows/.DS_Store"), "finder");
    writeFileOrFail(root + QStringLiteral("/Effects.localized/.localized"), "");
    writeFileOrFail(root + QStringLiteral("/Titles.localized/ZT Glows/._AB_Title_One"), "appledouble");
    QVERIFY(installer->deleteEffects() == std::nullopt);
    QVERIFY(installer->installedEffects().empty());
    QVERIFY(!QFileInfo::exists(root + QStringLiteral("/Effects.localized")));
    QVERIFY(!QFileInfo::exists(root + QStringLiteral("/Titles.localized/ZT Glows")));
    QVERIFY(QFileInfo::exists(root + QStringLiteral("/Titles.localized/ZT Lower Thirds/LT_Bar/LT_Bar.moti")));
    QVERIFY(QFileInfo(root).isDir());
}

void tst_TemplateInstaller::missingRootInsideAnExistingFolderIsCreated_data()
{
    QTest::addColumn<bool>("moviesFolderExists");
    QTest::newRow("a Movies folder without the root") << true;
    QTest::newRow("a home without a Movies folder") << false;
}

void tst_TemplateInstaller::missingRootInsideAnExistingFolderIsCreated()
{
    QFETCH(bool, moviesFolderExists);
    const QString content = _dir->filePath(QStringLiteral("content"));
    makeTemplates(content, {QStringLiteral("AB_Fresh")});
    const QString archive = _dir->filePath(QStringLiteral("AB_Fresh.mtzip"));
    packFolder(content, archive);
    if (moviesFolderExists)
        QVERIFY(QDir().mkpath(_dir->filePath(QStringLiteral("Movies"))));
    const QString root = _dir->filePath(QStringLiteral("Movies/Motion Templates.localized"));

    auto installer = openV2(archive, root);
    QVERIFY(installer);
    QVERIFY(!QFileInfo::exists(root));
    QVERIFY(!installer->installEffects());
    QVERIFY(QFileInfo(root + QStringLiteral("/Titles.localized/ZT Glows/AB_Fresh/AB_Fresh.moti")).isFile());
}

void tst_TemplateInstaller::rootThatCannotBeCreated_data()
{
    QTest::addColumn<bool>("permission");
    QTest::newRow("a plain file in place of the parent gives the copy text with the code") << false;
    QTest::newRow("a locked parent gives the permission text") << true;
}

void tst_TemplateInstaller::rootThatCannotBeCreated()
{
    QFETCH(bool, permission);

    const QString content = _dir->filePath(QStringLiteral("content"));
    makeTemplates(content, {QStringLiteral("AB_Blocked")});
    const QString archive = _dir->filePath(QStringLiteral("AB_Blocked.mtzip"));
    packFolder(content, archive);
    const QString movies = _dir->filePath(QStringLiteral("Movies"));
    QVERIFY(QDir().mkpath(movies));
    const QString root = movies + QStringLiteral("/Motion Templates.localized");
    auto installer = openV2(archive, root);
    QVERIFY(installer);

    bool locked = false;
    if (permission) {
        // Root ignores permission bits; the immutable flag stops it too.
        locked = setImmutable(movies, true);
        if (!locked) {
            if (::geteuid() == 0)
                QSKIP("neither permission bits nor the immutable flag can stop this user");
            QVERIFY(QFile::setPermissions(movies, QFile::ReadOwner | QFile::ExeOwner));
        }
    } else {
        // The Movies folder was replaced by a file after the installer was made.
        QVERIFY(QDir(movies).removeRecursively());
        writeFileOrFail(movies, "not a folder");
    }
    const std::optional<Error> error = installer->installEffects();
    if (permission) {
        if (locked)
            QVERIFY(setImmutable(movies, false));
        else
            QVERIFY(QFile::setPermissions(movies, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }
    QVERIFY(error);
    QVERIFY(!QFileInfo::exists(root));
    if (permission) {
        QVERIFY(error->isPermissionError());
        QCOMPARE(error->localizedDescription(),
                 QStringLiteral("You have no permission to install the Motion templates to the folder: '%1'.").arg(root));
    } else {
        QVERIFY(!error->isPermissionError());
        QVERIFY(error->code() != 0);
        QCOMPARE(error->localizedDescription(),
                 QStringLiteral("The Motion templates could not be copied to the folder: '%1', [%2].")
                     .arg(root).arg(error->code()));
        QCOMPARE(readFile(movies), QByteArrayLiteral("not a folder"));
    }
}

void tst_TemplateInstaller::destinationRoots()
{
    QStandardPaths::setTestModeEnabled(true);
    const QString user = TemplateInstaller::userDestMotionTemplatesFolder();
    const bool existed = QFileInfo::exists(user);
    QVERIFY(user.endsWith(QLatin1String("/Motion Templates.localized")));
    QCOMPARE(TemplateInstaller::userDestMotionTemplatesFolder(), user);
    // Asking does not create it.
    QCOMPARE(QFileInfo::exists(user), existed);
    const QString local = TemplateInstaller::localDestMotionTemplatesFolder();
    if (!local.isEmpty())
        QVERIFY(local.endsWith(QLatin1String("/Final Cut Pro/Templates")));
    QStandardPaths::setTestModeEnabled(false);
}

QTEST_GUILESS_MAIN(tst_TemplateInstaller)
#include "tst_TemplateInstaller.moc"
