// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Installer/EffectTemplateItem.h"
#include "Common/FileOperations.h"
#include "Common/Resources.h"
#include "Installer/Categories.h"
#include "Installer/TemplateInstallerV2.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace TestSupport;

namespace {

const char CategoriesXml[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
    "<plist version=\"1.0\">\n"
    "<dict>\n"
    "\t<key>AB</key>\n"
    "\t<string>Glows</string>\n"
    "\t<key>LT</key>\n"
    "\t<string>Test Lower Thirds</string>\n"
    "\t<key>Sparkle</key>\n"
    "\t<string>Whole-name key</string>\n"
    "\t<key>NU</key>\n"
    "\t<integer>3</integer>\n"
    "</dict>\n"
    "</plist>\n";

// A template folder below root with the template file and the given extra files.
QString makeTemplate(const QString &root, const QString &relPath, const QString &extension = QStringLiteral("moef"))
{
    const QString folder = root + relPath;
    const QString name = QFileInfo(folder).fileName();
    writeFileOrFail(folder + QLatin1Char('/') + name + QLatin1Char('.') + extension, "template of " + name.toUtf8());
    writeFileOrFail(folder + QStringLiteral("/Media/clip.mov"), QByteArray(4096, 'c'));
    return folder;
}

} // namespace

class tst_EffectTemplateItem : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    // First: the shipped list is read once per process.
    void shippedListIsRetriedUntilItCanBeReadThenKept();
    void titleAndCategoryComeFromTheFolderName_data();
    void titleAndCategoryComeFromTheFolderName();
    void missingArgumentsAreRefused();
    void categoriesListIsReadFromBinaryPlistsToo();
    void unusableListsAreEmpty_data();
    void unusableListsAreEmpty();
    void shippedCategoriesListKnowsItsPrefixes();

    void previewIsTheFirstNameThatDecodes_data();
    void previewIsTheFirstNameThatDecodes();
    void previewIsKeptOnceDecoded();

    void installedStateNeedsAFolder();
    void installReplacesWhateverStandsAtTheDestination();
    void installPassesUpTheFileSystemError();
    void destinationsNamingTheRootOrAboveAreRefused_data();
    void destinationsNamingTheRootOrAboveAreRefused();
    void uninstallRemovesEmptiedParentsButNeverTheRoot_data();
    void uninstallRemovesEmptiedParentsButNeverTheRoot();
    void uninstallLeavesAPlainFileAndItsFolder();
    void uninstallWithoutParentRemovalKeepsParents();

private:
    QTemporaryDir _lists;
    QString _xmlList;
    Categories _categories;
};

void tst_EffectTemplateItem::initTestCase()
{
    QVERIFY(_lists.isValid());
    _xmlList = _lists.filePath(QStringLiteral("Categories.plist"));
    writeFileOrFail(_xmlList, CategoriesXml);
    _categories = Categories::fromFile(_xmlList);
    QVERIFY(!_categories.isEmpty());
}

void tst_EffectTemplateItem::shippedListIsRetriedUntilItCanBeReadThenKept()
{
    QTemporaryDir resources;
    QVERIFY(resources.isValid());
    const QString path = resources.filePath(QStringLiteral("Categories.plist"));
    writeFileOrFail(path, "just some text");
    qputenv("MTI_RESOURCES_DIR", QFile::encodeName(resources.path()));
    const auto restore = qScopeGuard([] { qunsetenv("MTI_RESOURCES_DIR"); });

    // Unusable: each lookup tries again.
    QVERIFY(Categories::shipped().isEmpty());
    QVERIFY(TemplateInstallerV2::categoryTitleForPrefix(QStringLiteral("AB")).isNull());
    writeFileOrFail(path, "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><string>AB</string></array></plist>");
    QVERIFY(Categories::shipped().isEmpty());
    // Unreadable: the reason goes to the diagnostic log.
    if (::getuid() != 0) {
        QVERIFY(QFile::setPermissions(path, QFileDevice::WriteOwner));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^'.*' in .* line \\d+$")));
        QVERIFY(Categories::shipped().isEmpty());
        QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    }

    writeFileOrFail(path, CategoriesXml);
    QCOMPARE(Categories::shipped().titleForPrefix(QStringLiteral("AB")), QStringLiteral("Glows"));
    // Items and installers made without a list of their own use it.
    QCOMPARE(EffectTemplateItem::create(QStringLiteral("/AB_X"), QStringLiteral("/root"), 1)->category(),
             QStringLiteral("Glows"));

    // Once read, it stays as it was.
    writeFileOrFail(path, QByteArray(CategoriesXml).replace("Glows", "Changed"));
    QCOMPARE(Categories::shipped().titleForPrefix(QStringLiteral("AB")), QStringLiteral("Glows"));
    QVERIFY(QFile::remove(path));
    QCOMPARE(TemplateInstallerV2::categoryTitleForPrefix(QStringLiteral("AB")), QStringLiteral("Glows"));
}

void tst_EffectTemplateItem::titleAndCategoryComeFromTheFolderName_data()
{
    QTest::addColumn<QString>("relPath");
    QTest::addColumn<QString>("category");
    QTest::addColumn<QString>("title");

    QTest::newRow("prefix and title words")
        << QStringLiteral("/Effects.localized/Glows/AB_Soft_Glow_2") << QStringLiteral("Glows")
        << QStringLiteral("Soft Glow 2");
    QTest::newRow("a dot drops everything from the last dot before splitting")
        << QStringLiteral("/AB_Glow_1.5") << QStringLiteral("Glows") << QStringLiteral("Glow 1");
    QTest::newRow("a dot inside an earlier word cuts the name there")
        << QStringLiteral("/AB_Glow.v2_Final") << QStringLiteral("Glows") << QStringLiteral("Glow");
    QTest::newRow("a name without underscore is the lookup key and leaves no title")
        << QStringLiteral("/Pack/Sparkle") << QStringLiteral("Whole-name key") << QString();
    QTest::newRow("a name without underscore and unknown has neither")
        << QStringLiteral("/Shine") << QString() << QString();
    QTest::newRow("the prefix alone is a category without title")
        << QStringLiteral("/AB") << QStringLiteral("Glows") << QString();
    QTest::newRow("neighbouring underscores make an empty word")
        << QStringLiteral("/AB__Double") << QStringLiteral("Glows") << QStringLiteral(" Double");
    QTest::newRow("the lookup is case-sensitive")
        << QStringLiteral("/ab_Soft_Glow") << QString() << QStringLiteral("Soft Glow");
    QTest::newRow("an unknown prefix gives no category")
        << QStringLiteral("/XY_Wipe") << QString() << QStringLiteral("Wipe");
    QTest::newRow("a value that is not a string is no category")
        << QStringLiteral("/NU_Counter") << QString() << QStringLiteral("Counter");
    QTest::newRow("the category comes from the folder, not from the folders above")
        << QStringLiteral("/AB_Pack/LT_Name_Bar") << QStringLiteral("Test Lower Thirds") << QStringLiteral("Name Bar");
}

void tst_EffectTemplateItem::titleAndCategoryComeFromTheFolderName()
{
    QFETCH(QString, relPath);
    QFETCH(QString, category);
    QFETCH(QString, title);

    const auto item = EffectTemplateItem::create(relPath, QStringLiteral("/nonexistent-root"), 1, _categories);
    QVERIFY(item);
    QCOMPARE(item->category(), category);
    QCOMPARE(item->category().isNull(), category.isNull());
    QCOMPARE(item->title(), title);
    QVERIFY(!item->title().isNull());
    QCOMPARE(item->relativeSourcePath(), relPath);
    QCOMPARE(item->templateType(), quint64(1));
}

void tst_EffectTemplateItem::missingArgumentsAreRefused()
{
    QTest::ignoreMessage(QtWarningMsg, diagnostic(QStringLiteral("relPath = nil")));
    QVERIFY(!EffectTemplateItem::create(QString(), QStringLiteral("/root"), 1));
    QTest::ignoreMessage(QtWarningMsg, diagnostic(QStringLiteral("rootFolder = nil")));
    QVERIFY(!EffectTemplateItem::create(QStringLiteral("/AB_X"), QString(), 1));

    // The destination operations want a root too.
    const auto item = EffectTemplateItem::create(QStringLiteral("/AB_X"), QStringLiteral("/root"), 1);
    QVERIFY(item);
    item->setRelativeDestinationPath(QStringLiteral("Effects.localized/ZT Glows/AB_X"));
    QTest::ignoreMessage(QtWarningMsg, diagnostic(QStringLiteral("dstRootFolder = nil")));
    QVERIFY(!item->isInstalledInDestRootFolder(QString()));
    QTest::ignoreMessage(QtWarningMsg, diagnostic(QStringLiteral("dstRootFolder = nil")));
    QVERIFY(!item->installInDestRootFolder(QString()));
    QTest::ignoreMessage(QtWarningMsg, diagnostic(QStringLiteral("dstRootFolder = nil")));
    QVERIFY(!item->uninstallInDestRootFolder(QString(), true));
}

void tst_EffectTemplateItem::categoriesListIsReadFromBinaryPlistsToo()
{
    const QString python = QStandardPaths::findExecutable(QStringLiteral("python3"));
    if (python.isEmpty())
        QSKIP("python3 is needed to write a binary property list");
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString binary = dir.filePath(QStringLiteral("Categories.bplist"));
    QProcess process;
    process.start(python, {QStringLiteral("-c"),
                           QStringLiteral("import plistlib,sys\n"
                                          "open(sys.argv[1],'wb').write(plistlib.dumps("
                                          "{'CD':'Binary \\u00c9l\\u00e9ments','AB':'Other Glows'},"
                                          "fmt=plistlib.FMT_BINARY))"),
                           binary});
    QVERIFY(process.waitForFinished());
    QCOMPARE(process.exitCode(), 0);
    QVERIFY(readFile(binary).startsWith("bplist00"));

    const Categories binaryList = Categories::fromFile(binary);
    QCOMPARE(binaryList.titleForPrefix(QStringLiteral("CD")), QStringLiteral("Binary Éléments"));
    QCOMPARE(binaryList.titleForPrefix(QStringLiteral("AB")), QStringLiteral("Other Glows"));
    QVERIFY(binaryList.titleForPrefix(QStringLiteral("LT")).isNull());
    // Each item takes the list it is given.
    QCOMPARE(EffectTemplateItem::create(QStringLiteral("/AB_X"), QStringLiteral("/root"), 1, binaryList)->category(),
             QStringLiteral("Other Glows"));
    QCOMPARE(EffectTemplateItem::create(QStringLiteral("/AB_X"), QStringLiteral("/root"), 1, _categories)->category(),
             QStringLiteral("Glows"));
}

void tst_EffectTemplateItem::unusableListsAreEmpty_data()
{
    QTest::addColumn<QByteArray>("contents");   // "<missing>": no file
    QTest::newRow("a missing file") << QByteArray("<missing>");
    QTest::newRow("an empty file") << QByteArray();
    QTest::newRow("text that is no property list") << QByteArray("just some text");
    QTest::newRow("a property list whose top level is an array")
        << QByteArray("<?xml version=\"1.0\"?><plist version=\"1.0\"><array><string>AB</string></array></plist>");
    QTest::newRow("a binary header with nothing after it") << QByteArray("bplist00");
}

void tst_EffectTemplateItem::unusableListsAreEmpty()
{
    QFETCH(QByteArray, contents);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("List.plist"));
    if (contents == "<missing>")
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^'.*' in .* line \\d+$")));
    else
        writeFileOrFail(path, contents);
    const Categories list = Categories::fromFile(path);
    QVERIFY(list.isEmpty());
    QVERIFY(list.titleForPrefix(QStringLiteral("AB")).isNull());
    QVERIFY(_categories.titleForPrefix(QString()).isNull());
}

void tst_EffectTemplateItem::shippedCategoriesListKnowsItsPrefixes()
{
    // The shipped file itself: this process's shipped() was given a stand-in.
    const Categories shipped = Categories::fromFile(Resources::path(QStringLiteral("Categories.plist")));
    QCOMPARE(shipped.titleForPrefix(QStringLiteral("LT")), QStringLiteral("Lower Thirds"));
    QCOMPARE(shipped.titleForPrefix(QStringLiteral("GL")), QStringLiteral("Glitch"));
    QCOMPARE(shipped.titleForPrefix(QStringLiteral("TX")), QStringLiteral("Transitions"));
    QVERIFY(shipped.titleForPrefix(QStringLiteral("lt")).isNull());
    const auto item = EffectTemplateItem::create(QStringLiteral("/GL_RGB_Split"), QStringLiteral("/root"), 1, shipped);
    QVERIFY(item);
    QCOMPARE(item->category(), QStringLiteral("Glitch"));
}

void tst_EffectTemplateItem::previewIsTheFirstNameThatDecodes_data()
{
    QTest::addColumn<QStringList>("goodImages");
    QTest::addColumn<QStringList>("brokenImages");
    QTest::addColumn<QString>("expected");

    QTest::newRow("preview.png comes before everything")
        << QStringList{QStringLiteral("preview.png"), QStringLiteral("preview.jpg"), QStringLiteral("small.png"),
                       QStringLiteral("large.png")}
        << QStringList() << QStringLiteral("preview.png");
    QTest::newRow("preview.jpg beats large.png")
        << QStringList{QStringLiteral("large.png"), QStringLiteral("preview.jpg")} << QStringList()
        << QStringLiteral("preview.jpg");
    QTest::newRow("an undecodable preview.png falls through to small.png")
        << QStringList{QStringLiteral("small.png"), QStringLiteral("large.png")}
        << QStringList{QStringLiteral("preview.png")} << QStringLiteral("small.png");
    QTest::newRow("large.png is the last resort")
        << QStringList{QStringLiteral("large.png")}
        << QStringList{QStringLiteral("preview.png"), QStringLiteral("preview.jpg"), QStringLiteral("small.png")}
        << QStringLiteral("large.png");
    QTest::newRow("other image names are not previews")
        << QStringList{QStringLiteral("Preview.png"), QStringLiteral("thumb.png")} << QStringList() << QString();
    QTest::newRow("only broken images give no preview")
        << QStringList() << QStringList{QStringLiteral("preview.png"), QStringLiteral("small.png")} << QString();
}

void tst_EffectTemplateItem::previewIsTheFirstNameThatDecodes()
{
    QFETCH(QStringList, goodImages);
    QFETCH(QStringList, brokenImages);
    QFETCH(QString, expected);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString folder = makeTemplate(dir.path(), QStringLiteral("/AB_Soft_Glow"));
    // Each name gets its own size, so the preview tells which file it came from.
    QHash<QString, QSize> sizes;
    int side = 8;
    for (const QString &name : std::as_const(goodImages)) {
        const QSize size(side, side + 1);
        side += 3;
        QImage image(size, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        QVERIFY(image.save(folder + QLatin1Char('/') + name));
        sizes.insert(name, size);
    }
    for (const QString &name : std::as_const(brokenImages))
        writeFileOrFail(folder + QLatin1Char('/') + name, "this is not an image at all");

    const auto item = EffectTemplateItem::create(QStringLiteral("/AB_Soft_Glow"), dir.path(), 1);
    QVERIFY(item);
    const QImage preview = item->preview();
    if (expected.isEmpty()) {
        QVERIFY(preview.isNull());
    } else {
        QVERIFY(!preview.isNull());
        QCOMPARE(preview.size(), sizes.value(expected));
    }
}

void tst_EffectTemplateItem::previewIsKeptOnceDecoded()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString folder = makeTemplate(dir.path(), QStringLiteral("/AB_Soft_Glow"));
    QImage image(16, 9, QImage::Format_RGB32);
    image.fill(Qt::red);
    QVERIFY(image.save(folder + QStringLiteral("/preview.png")));

    const auto item = EffectTemplateItem::create(QStringLiteral("/AB_Soft_Glow"), dir.path(), 1);
    QVERIFY(item);
    QCOMPARE(item->preview().size(), QSize(16, 9));
    QVERIFY(QFile::remove(folder + QStringLiteral("/preview.png")));
    QCOMPARE(item->preview().size(), QSize(16, 9));
}

void tst_EffectTemplateItem::installedStateNeedsAFolder()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString root = dir.filePath(QStringLiteral("root"));
    const auto item = EffectTemplateItem::create(QStringLiteral("/AB_Soft_Glow"), dir.filePath(QStringLiteral("src")), 1);
    QVERIFY(item);
    item->setRelativeDestinationPath(QStringLiteral("Effects.localized/ZT Glows/AB_Soft_Glow"));

    QVERIFY(!item->isInstalledInDestRootFolder(root));
    writeFileOrFail(root + QStringLiteral("/Effects.localized/ZT Glows/AB_Soft_Glow"), "a plain file");
    QVERIFY(!item->isInstalledInDestRootFolder(root));
    QVERIFY(QFile::remove(root + QStringLiteral("/Effects.localized/ZT Glows/AB_Soft_Glow")));
    QVERIFY(QDir().mkpath(root + QStringLiteral("/Effects.localized/ZT Glows/AB_Soft_Glow")));
    QVERIFY(item->isInstalledInDestRootFolder(root));
    // The root is joined as given, with or without a trailing slash.
    QVERIFY(item->isInstalledInDestRootFolder(root + QLatin1Char('/')));
}

void tst_EffectTemplateItem::installReplacesWhateverStandsAtTheDestination()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString src = dir.filePath(QStringLiteral("unpack"));
    const QString root = dir.filePath(QStringLiteral("root"));
    makeTemplate(src, QStringLiteral("/Pack/AB_Soft_Glow"));
    QVERIFY(QDir().mkpath(root));
    const auto item = EffectTemplateItem::create(QStringLiteral("/Pack/AB_Soft_Glow"), src, 1);
    QVERIFY(item);
    item->setRelativeDestinationPath(QStringLiteral("Effects.localized/ZT Glows/AB_Soft_Glow"));
    const QString installed = root + QStringLiteral("/Effects.localized/ZT Glows/AB_Soft_Glow");

    // A plain file in the way is replaced by the folder; missing parents are made.
    writeFileOrFail(installed, "in the way");
    QVERIFY(!item->installInDestRootFolder(root));
    QVERIFY(item->isInstalledInDestRootFolder(root));
    QCOMPARE(readFile(installed + QStringLiteral("/AB_Soft_Glow.moef")), QByteArrayLiteral("template of AB_Soft_Glow"));
    QCOMPARE(QFileInfo(installed + QStringLiteral("/Media/clip.mov")).size(), 4096);

    // Installing again gives a fresh copy: what the user added is gone.
    writeFileOrFail(installed + QStringLiteral("/user note.txt"), "mine");
    writeFileOrFail(installed + QStringLiteral("/Media/clip.mov"), "edited");
    QVERIFY(!item->installInDestRootFolder(root));
    QVERIFY(!QFileInfo::exists(installed + QStringLiteral("/user note.txt")));
    QCOMPARE(QFileInfo(installed + QStringLiteral("/Media/clip.mov")).size(), 4096);
    // The source stays as it was.
    QVERIFY(QFileInfo::exists(src + QStringLiteral("/Pack/AB_Soft_Glow/AB_Soft_Glow.moef")));
}

void tst_EffectTemplateItem::installPassesUpTheFileSystemError()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString src = dir.filePath(QStringLiteral("unpack"));
    const QString root = dir.filePath(QStringLiteral("root"));
    makeTemplate(src, QStringLiteral("/AB_Soft_Glow"));
    // The kind folder is a plain file: its category folder cannot be made.
    writeFileOrFail(root + QStringLiteral("/Effects.localized"), "not a folder");
    const auto item = EffectTemplateItem::create(QStringLiteral("/AB_Soft_Glow"), src, 1);
    QVERIFY(item);
    item->setRelativeDestinationPath(QStringLiteral("Effects.localized/ZT Glows/AB_Soft_Glow"));

    const std::optional<Error> error = item->installInDestRootFolder(root);
    QVERIFY(error);
    QCOMPARE(error->domain(), Error::PosixDomain);
    QVERIFY(error->code() == ENOTDIR || error->code() == EEXIST);
    QVERIFY(!error->localizedDescription().isEmpty());
    QCOMPARE(readFile(root + QStringLiteral("/Effects.localized")), QByteArrayLiteral("not a folder"));

    // A vanished source is reported too.
    const auto gone = EffectTemplateItem::create(QStringLiteral("/AB_Gone"), src, 1);
    QVERIFY(gone);
    gone->setRelativeDestinationPath(QStringLiteral("Titles.localized/ZT Glows/AB_Gone"));
    const std::optional<Error> missing = gone->installInDestRootFolder(root);
    QVERIFY(missing);
    QCOMPARE(missing->code(), ENOENT);
}

void tst_EffectTemplateItem::destinationsNamingTheRootOrAboveAreRefused_data()
{
    QTest::addColumn<QString>("relativeDestination");

    QTest::newRow("an empty destination is the root itself") << QString();
    QTest::newRow("a lone slash is the root itself") << QStringLiteral("/");
    QTest::newRow("a dot is the root itself") << QStringLiteral(".");
    QTest::newRow("two dots lead above the root") << QStringLiteral("/..");
    QTest::newRow("two dots at the end name a kind folder") << QStringLiteral("Titles.localized/ZT Glows/..");
    QTest::newRow("a dot at the end names a category folder") << QStringLiteral("Titles.localized/ZT Glows/.");
}

void tst_EffectTemplateItem::destinationsNamingTheRootOrAboveAreRefused()
{
    QFETCH(QString, relativeDestination);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString src = dir.filePath(QStringLiteral("unpack"));
    const QString root = dir.filePath(QStringLiteral("top/root"));
    makeTemplate(src, QStringLiteral("/AB_Loose"), QStringLiteral("moti"));
    writeFileOrFail(root + QStringLiteral("/Titles.localized/ZT Glows/AB_Other/AB_Other.moti"), "other");
    writeFileOrFail(dir.filePath(QStringLiteral("top/beside.txt")), "beside");

    const auto item = EffectTemplateItem::create(QStringLiteral("/AB_Loose"), src, 3);
    QVERIFY(item);
    item->setRelativeDestinationPath(relativeDestination);

    QVERIFY(!item->isInstalledInDestRootFolder(root));
    const std::optional<Error> error = item->installInDestRootFolder(root);
    QVERIFY(error);
    QVERIFY(!item->uninstallInDestRootFolder(root, true));

    QCOMPARE(readFile(root + QStringLiteral("/Titles.localized/ZT Glows/AB_Other/AB_Other.moti")),
             QByteArrayLiteral("other"));
    QCOMPARE(readFile(dir.filePath(QStringLiteral("top/beside.txt"))), QByteArrayLiteral("beside"));
    QVERIFY(!QFileInfo::exists(root + QStringLiteral("/AB_Loose.moti")));
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("top/AB_Loose.moti"))));
}

void tst_EffectTemplateItem::uninstallRemovesEmptiedParentsButNeverTheRoot_data()
{
    QTest::addColumn<QString>("relativeDestination");
    QTest::addColumn<bool>("installedBefore");

    QTest::newRow("a destination path starting with a slash")
        << QStringLiteral("/Effects.localized/ZT Glows/AB_Soft_Glow") << true;
    QTest::newRow("a destination path without a leading slash")
        << QStringLiteral("Effects.localized/ZT Glows/AB_Soft_Glow") << true;
    QTest::newRow("a template folder already gone still has its empty parents removed")
        << QStringLiteral("Effects.localized/ZT Glows/AB_Soft_Glow") << false;
    QTest::newRow("every folder between template and root is examined")
        << QStringLiteral("Effects.localized/ZT Glows/Deep/Deeper/AB_Soft_Glow") << true;
}

void tst_EffectTemplateItem::uninstallRemovesEmptiedParentsButNeverTheRoot()
{
    QFETCH(QString, relativeDestination);
    QFETCH(bool, installedBefore);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString src = dir.filePath(QStringLiteral("unpack"));
    const QString root = dir.filePath(QStringLiteral("root"));
    makeTemplate(src, QStringLiteral("/AB_Soft_Glow"));
    const auto item = EffectTemplateItem::create(QStringLiteral("/AB_Soft_Glow"), src, 1);
    QVERIFY(item);
    item->setRelativeDestinationPath(relativeDestination);
    if (installedBefore) {
        QVERIFY(!item->installInDestRootFolder(root));
        QVERIFY(item->isInstalledInDestRootFolder(root));
    } else {
        QVERIFY(QDir().mkpath(root + QLatin1Char('/') + QFileInfo(relativeDestination).path()));
    }
    // Finder litter in every parent, and in the root, which holds nothing else.
    QString parent = QFileInfo(relativeDestination).path();
    while (parent != QLatin1String(".") && parent != QLatin1String("/")) {
        writeFileOrFail(root + QLatin1Char('/') + parent + QStringLiteral("/.DS_Store"), "finder");
        parent = QFileInfo(parent).path();
    }
    writeFileOrFail(root + QStringLiteral("/.DS_Store"), "finder");
    // Another kind folder with content is left alone.
    writeFileOrFail(root + QStringLiteral("/Titles.localized/ZT Glows/AB_Other/AB_Other.moti"), "other");

    QVERIFY(!item->uninstallInDestRootFolder(root, true));
    QVERIFY(!item->isInstalledInDestRootFolder(root));
    QVERIFY(!QFileInfo::exists(root + QStringLiteral("/Effects.localized")));
    QVERIFY(QFileInfo(root).isDir());
    QVERIFY(QFileInfo::exists(root + QStringLiteral("/.DS_Store")));
    QVERIFY(QFileInfo::exists(root + QStringLiteral("/Titles.localized/ZT Glows/AB_Other/AB_Other.moti")));

    // With nothing but hidden files left, the root still stays.
    QVERIFY(FileOperations::removeAll(root + QStringLiteral("/Titles.localized")) == std::nullopt);
    QVERIFY(!item->uninstallInDestRootFolder(root, true));
    QVERIFY(QFileInfo(root).isDir());
}

void tst_EffectTemplateItem::uninstallLeavesAPlainFileAndItsFolder()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString root = dir.filePath(QStringLiteral("root"));
    const auto item = EffectTemplateItem::create(QStringLiteral("/AB_Soft_Glow"), dir.filePath(QStringLiteral("src")), 1);
    QVERIFY(item);
    item->setRelativeDestinationPath(QStringLiteral("Effects.localized/ZT Glows/AB_Soft_Glow"));
    const QString installed = root + QStringLiteral("/Effects.localized/ZT Glows/AB_Soft_Glow");
    writeFileOrFail(installed, "a plain file");

    QVERIFY(!item->uninstallInDestRootFolder(root, true));
    QCOMPARE(readFile(installed), QByteArrayLiteral("a plain file"));
}

void tst_EffectTemplateItem::uninstallWithoutParentRemovalKeepsParents()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString src = dir.filePath(QStringLiteral("unpack"));
    const QString root = dir.filePath(QStringLiteral("root"));
    makeTemplate(src, QStringLiteral("/AB_Soft_Glow"));
    const auto item = EffectTemplateItem::create(QStringLiteral("/AB_Soft_Glow"), src, 1);
    QVERIFY(item);
    item->setRelativeDestinationPath(QStringLiteral("Effects.localized/ZT Glows/AB_Soft_Glow"));
    QVERIFY(!item->installInDestRootFolder(root));

    QVERIFY(!item->uninstallInDestRootFolder(root, false));
    QVERIFY(!item->isInstalledInDestRootFolder(root));
    QVERIFY(QFileInfo(root + QStringLiteral("/Effects.localized/ZT Glows")).isDir());
}

QTEST_GUILESS_MAIN(tst_EffectTemplateItem)
#include "tst_EffectTemplateItem.moc"
