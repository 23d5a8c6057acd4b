// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "CliTestTools.h"
#include "Installer/Receipt.h"
#include "Cli/Cli.h"
#include "TestSupport.h"
#include "ZipTestTools.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

#include <sys/stat.h>

using namespace TestSupport;
using ZipTestTools::packFolder;

namespace {

void expectDiagnostic(const char *message)
{
    QTest::ignoreMessage(QtWarningMsg, diagnostic(QLatin1String(message)));
}

} // namespace

class tst_InstallCli : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void listJsonDescribesEveryArchive();
    void listTableShowsRunningNumbers();
    void listRefusesNamesNoFileSystemStores();
    void allUsersFolderIsReadableByAllWhateverTheUmask();
    void listNeedsNoUnpackFolder();
    void installThenUninstall();
    void installDeletesArchiveOnlyWhenAsked();
    void installOnlyTheFoldersAskedFor_data();
    void installOnlyTheFoldersAskedFor();
    void damagedPreviewCostsOnlyThePreview_data();
    void damagedPreviewCostsOnlyThePreview();
    void customCategoriesList();
    void usageErrors_data();
    void usageErrors();
    void unreadableArchivesAreNamedBeforeTheirNames_data();
    void unreadableArchivesAreNamedBeforeTheirNames();
    void installAndUninstallJson();
    void quietKeepsOnlyErrors();
    void verboseTurnsOnTheDiagnosticLog();
    void commandHelpNamesTheCommand_data();
    void commandHelpNamesTheCommand();

private:
    // An archive LT_<name>.mtzip with the given template folders, each
    // holding "<folder>.moti" (or another kind by the folder's suffix).
    QString makePack(const QString &name, const QStringList &templateFolders);

    std::unique_ptr<QTemporaryDir> _dir;
    QString _dest;
};

void tst_InstallCli::init()
{
    _dir = std::make_unique<QTemporaryDir>();
    QVERIFY(_dir->isValid());
    _dest = _dir->filePath(QStringLiteral("Movies/Motion Templates.localized"));
    QVERIFY(QDir().mkpath(_dir->filePath(QStringLiteral("Movies"))));
}

QString tst_InstallCli::makePack(const QString &name, const QStringList &templateFolders)
{
    const QString source = _dir->filePath(QStringLiteral("src-") + name);
    for (const QString &folder : templateFolders) {
        const QString base = folder.section(QLatin1Char('/'), -1);
        const QString extension = base.endsWith(QLatin1String("Wipe")) ? QStringLiteral("motr") : QStringLiteral("moti");
        writeFileOrFail(source + QLatin1Char('/') + folder + QLatin1Char('/') + base + QLatin1Char('.') + extension,
                        "<template/>");
        writeFileOrFail(source + QLatin1Char('/') + folder + QStringLiteral("/Media/clip.mov"), QByteArray(5000, 'x'));
    }
    const QString archive = _dir->filePath(name + QStringLiteral(".mtzip"));
    packFolder(source, archive);
    return archive;
}

void tst_InstallCli::listRefusesNamesNoFileSystemStores()
{
    // 256 bytes in one name: "é" is two.
    const QString name = QStringLiteral("LT_") + QString(127, QChar(0xe9)) + QStringLiteral("x");
    QCOMPARE(name.toUtf8().size(), 258);
    const QString archive = _dir->filePath(QStringLiteral("LT_Long.mtzip"));
    MTI_VERIFY_TOOL(ZipTestTools::writeZipWithPython(archive, {{name + QLatin1Char('/') + QStringLiteral("LT_A.moti"), "<t/>"},
                                                  {QStringLiteral("LT_Short/LT_Short.moti"), "<t/>"}}));
    for (const QString &command : {QStringLiteral("list"), QStringLiteral("install")}) {
        const CliRun run = runMtzip({command, QStringLiteral("--dest"), _dest, archive});
        QCOMPARE(run.exitCode, int(Cli::Failure));
        QVERIFY2(run.err.contains(QLatin1String("File name too long")), qPrintable(run.err));
        QVERIFY(!QFileInfo::exists(_dest));
    }
}

void tst_InstallCli::allUsersFolderIsReadableByAllWhateverTheUmask()
{
    const QString pack = makePack(QStringLiteral("LT_Pack"), {QStringLiteral("LT_Simple_Third"), QStringLiteral("LT_Other_Third")});
    QVERIFY(QDir().mkpath(_dir->filePath(QStringLiteral("usr/share"))));
    const QByteArray dirs = qgetenv("XDG_DATA_DIRS");
    qputenv("XDG_DATA_DIRS", (_dir->filePath(QStringLiteral("usr/local/share")) + QLatin1Char(':')
                              + _dir->filePath(QStringLiteral("usr/share"))).toUtf8());
    const mode_t umask = ::umask(077);
    const CliRun run = runMtzip({QStringLiteral("install"), QStringLiteral("--all-users"), pack});
    ::umask(umask);
    qputenv("XDG_DATA_DIRS", dirs);
    QVERIFY2(run.exitCode == Cli::Success, qPrintable(run.err));
    const QString root = _dir->filePath(QStringLiteral("usr/share/Final Cut Pro/Templates"));
    const auto mode = [](const QString &path) {
        struct stat info;
        return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
    };
    const QString folder = root + QStringLiteral("/Titles.localized/ZT Lower Thirds/LT_Simple_Third");
    for (const QString &path : QStringList{root, root + QStringLiteral("/Titles.localized"), folder, folder + QStringLiteral("/Media")})
        QCOMPARE(mode(path), 0755);
    for (const QString &path : QStringList{folder + QStringLiteral("/LT_Simple_Third.moti"),
                                           folder + QStringLiteral("/Media/clip.mov"),
                                           Receipt::pathFor(root, QStringLiteral("LT_Pack"))})
        QCOMPARE(mode(path), 0644);

    // Removing one rewrites the receipt for the other: still readable by all.
    qputenv("XDG_DATA_DIRS", (_dir->filePath(QStringLiteral("usr/local/share")) + QLatin1Char(':')
                              + _dir->filePath(QStringLiteral("usr/share"))).toUtf8());
    ::umask(077);
    const CliRun removal = runMtzip({QStringLiteral("remove"), QStringLiteral("--all-users"),
                                     QStringLiteral("Titles.localized/ZT Lower Thirds/LT_Other_Third")});
    ::umask(umask);
    qputenv("XDG_DATA_DIRS", dirs);
    QVERIFY2(removal.exitCode == Cli::Success, qPrintable(removal.err));
    QVERIFY(!QFileInfo::exists(root + QStringLiteral("/Titles.localized/ZT Lower Thirds/LT_Other_Third")));
    QCOMPARE(mode(Receipt::pathFor(root, QStringLiteral("LT_Pack"))), 0644);
    QCOMPARE(mode(root + QLatin1Char('/') + Receipt::folderName()), 0755);
}

void tst_InstallCli::listJsonDescribesEveryArchive()
{
    const QString good = makePack(QStringLiteral("LT_Pack"), {QStringLiteral("Lower/LT_Simple_Third"),
                                                              QStringLiteral("GL_Fast_Wipe")});
    const QString refused = _dir->filePath(QStringLiteral("ABC_Pack.mtzip"));
    QFile::copy(good, refused);
    const QString damaged = _dir->filePath(QStringLiteral("GL_Broken.mtzip"));
    writeFileOrFail(damaged, "this is no zip");
    expectDiagnostic("Unexpected category prefix");

    const CliRun run = runMtzip({QStringLiteral("list"), QStringLiteral("--json"), QStringLiteral("--dest"), _dest,
                                 good, refused, damaged});
    QCOMPARE(run.exitCode, int(Cli::Failure));

    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(run.out.toUtf8(), &parseError);
    QVERIFY2(parseError.error == QJsonParseError::NoError, qPrintable(run.out));
    const QJsonArray archives = document.object().value(QStringLiteral("archives")).toArray();
    QCOMPARE(archives.size(), 3);

    const QJsonObject first = archives.at(0).toObject();
    QCOMPARE(first.value(QStringLiteral("title")).toString(), QStringLiteral("LT_Pack"));
    QCOMPARE(first.value(QStringLiteral("accepted")).toBool(), true);
    QVERIFY(first.value(QStringLiteral("refusal")).isNull());
    QCOMPARE(first.value(QStringLiteral("unpacked")).toBool(), true);
    const QJsonArray templates = first.value(QStringLiteral("templates")).toArray();
    QCOMPARE(templates.size(), 2);
    QStringList destinations;
    for (const QJsonValue &value : templates) {
        const QJsonObject item = value.toObject();
        QCOMPARE(item.value(QStringLiteral("installed")).toBool(), false);
        destinations << item.value(QStringLiteral("destination")).toString();
        if (item.value(QStringLiteral("kind")).toString() == QLatin1String("transition")) {
            QCOMPARE(item.value(QStringLiteral("type")).toInt(), 4);
            QCOMPARE(item.value(QStringLiteral("category")).toString(), QStringLiteral("Glitch"));
            QCOMPARE(item.value(QStringLiteral("title")).toString(), QStringLiteral("Fast Wipe"));
        } else {
            QCOMPARE(item.value(QStringLiteral("type")).toInt(), 3);
            QCOMPARE(item.value(QStringLiteral("source")).toString(), QStringLiteral("/Lower/LT_Simple_Third"));
        }
    }
    destinations.sort();
    // The archive's prefix decides the category folder, not the template's.
    QCOMPARE(destinations, (QStringList{QStringLiteral("Titles.localized/ZT Lower Thirds/LT_Simple_Third"),
                                        QStringLiteral("Transitions.localized/ZT Lower Thirds/GL_Fast_Wipe")}));

    const QJsonObject second = archives.at(1).toObject();
    QCOMPARE(second.value(QStringLiteral("accepted")).toBool(), false);
    QCOMPARE(second.value(QStringLiteral("refusal")).toString(), QStringLiteral("Unexpected category prefix"));

    const QJsonObject third = archives.at(2).toObject();
    QCOMPARE(third.value(QStringLiteral("accepted")).toBool(), true);
    QCOMPARE(third.value(QStringLiteral("unpacked")).toBool(), false);
    QVERIFY(!third.value(QStringLiteral("error")).toString().isEmpty());
    QVERIFY(third.value(QStringLiteral("templates")).toArray().isEmpty());
}

void tst_InstallCli::listTableShowsRunningNumbers()
{
    const QString a = makePack(QStringLiteral("LT_One"), {QStringLiteral("LT_Alpha")});
    const QString b = makePack(QStringLiteral("LT_Two"), {QStringLiteral("LT_Beta"), QStringLiteral("LT_Gamma")});
    const CliRun run = runMtzip({QStringLiteral("list"), QStringLiteral("--dest"), _dest, a, b});
    QCOMPARE(run.exitCode, int(Cli::Success));
    const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 4); // header and three templates
    QVERIFY(lines.at(0).contains(QLatin1String("Destination")));
    QVERIFY(lines.at(3).trimmed().startsWith(QLatin1Char('3')));
}

void tst_InstallCli::listNeedsNoUnpackFolder()
{
    const QString pack = makePack(QStringLiteral("LT_Pack"), {QStringLiteral("Lower/LT_Simple_Third"),
                                                              QStringLiteral("GL_Fast_Wipe")});
    // A temporary folder that is a plain file: nothing can be unpacked below it.
    const QString blocked = _dir->filePath(QStringLiteral("not-a-folder"));
    writeFileOrFail(blocked, "file");
    const QByteArray saved = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(blocked));
    const auto restore = qScopeGuard([&saved] {
        if (saved.isNull())
            qunsetenv("TMPDIR");
        else
            qputenv("TMPDIR", saved);
    });

    CliRun run = runMtzip({QStringLiteral("list"), QStringLiteral("--dest"), _dest, pack});
    QCOMPARE(run.exitCode, int(Cli::Success));
    const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 3);
    // Sorted by name: "GL_Fast_Wipe" before "Lower".
    QVERIFY2(lines.at(1).endsWith(QLatin1String("Transitions.localized/ZT Lower Thirds/GL_Fast_Wipe")), qPrintable(run.out));
    QVERIFY2(lines.at(2).endsWith(QLatin1String("Titles.localized/ZT Lower Thirds/LT_Simple_Third")), qPrintable(run.out));
    QVERIFY(run.err.isEmpty());

    // Installing needs an unpack folder: the same setting stops it.
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^'Cannot create an unpack folder: .*' in ")));
    run = runMtzip({QStringLiteral("install"), QStringLiteral("--dest"), _dest, pack});
    QCOMPARE(run.exitCode, int(Cli::Failure));
    QVERIFY2(run.err.contains(QLatin1String("Cannot create an unpack folder")), qPrintable(run.err));
}

void tst_InstallCli::installThenUninstall()
{
    const QString pack = makePack(QStringLiteral("LT_Pack"), {QStringLiteral("LT_Simple_Third"),
                                                              QStringLiteral("LT_Bold_Third")});
    CliRun run = runMtzip({QStringLiteral("install"), QStringLiteral("--dest"), _dest, pack});
    QCOMPARE(run.exitCode, int(Cli::Success));
    QVERIFY2(run.out.contains(QLatin1String("2 of 2")), qPrintable(run.out));
    const QString installed = _dest + QStringLiteral("/Titles.localized/ZT Lower Thirds/LT_Bold_Third");
    QVERIFY(QFileInfo::exists(installed + QStringLiteral("/LT_Bold_Third.moti")));
    QCOMPARE(QFileInfo(installed + QStringLiteral("/Media/clip.mov")).size(), 5000);
    QVERIFY(QFileInfo::exists(pack));

    // A second install counts nothing new.
    run = runMtzip({QStringLiteral("install"), QStringLiteral("--dest"), _dest, pack});
    QCOMPARE(run.exitCode, int(Cli::Success));
    QVERIFY2(run.out.contains(QLatin1String("0 of 2")), qPrintable(run.out));

    run = runMtzip({QStringLiteral("uninstall"), QStringLiteral("--dest"), _dest, pack});
    QCOMPARE(run.exitCode, int(Cli::Success));
    QVERIFY2(run.out.contains(QLatin1String("2 templates removed")), qPrintable(run.out));
    // Emptied kind and category folders go; the root stays.
    QVERIFY(!QFileInfo::exists(_dest + QStringLiteral("/Titles.localized")));
    QVERIFY(QFileInfo(_dest).isDir());
}

void tst_InstallCli::damagedPreviewCostsOnlyThePreview_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("damaged");
    QTest::addColumn<bool>("spared");

    for (const char *command : {"extract", "install"}) {
        const QString name = QLatin1String(command);
        QTest::newRow(qPrintable(name + QStringLiteral(", preview.jpg")))
            << name << QStringLiteral("LT_Simple_Third/preview.jpg") << true;
        QTest::newRow(qPrintable(name + QStringLiteral(", small.png")))
            << name << QStringLiteral("LT_Simple_Third/small.png") << true;
        QTest::newRow(qPrintable(name + QStringLiteral(", the document")))
            << name << QStringLiteral("LT_Simple_Third/LT_Simple_Third.moti") << false;
        QTest::newRow(qPrintable(name + QStringLiteral(", a clip")))
            << name << QStringLiteral("LT_Simple_Third/Media/clip.mov") << false;
    }
}

void tst_InstallCli::damagedPreviewCostsOnlyThePreview()
{
    QFETCH(QString, command);
    QFETCH(QString, damaged);
    QFETCH(bool, spared);

    const QByteArray filler = QByteArray("Lorem ipsum dolor sit amet, consectetur ").repeated(2000);
    const ZipTestTools::EntryList entries{
        {QStringLiteral("LT_Simple_Third/LT_Simple_Third.moti"), "<template/>" + filler},
        {QStringLiteral("LT_Simple_Third/preview.jpg"), filler},
        {QStringLiteral("LT_Simple_Third/small.png"), filler},
        {QStringLiteral("LT_Simple_Third/Media/clip.mov"), filler},
        {QStringLiteral("LT_Bold_Third/LT_Bold_Third.moti"), "<template/>"}};
    const QString archive = _dir->filePath(QStringLiteral("LT_Pack.mtzip"));
    MTI_VERIFY_TOOL(ZipTestTools::writeZipWithPython(archive, entries));
    QVERIFY(ZipTestTools::damageEntryData(archive, damaged));

    const bool extract = command == QLatin1String("extract");
    const QString out = _dir->filePath(QStringLiteral("out"));
    const CliRun run = extract ? runMtzip({command, archive, out}) : runMtzip({command, QStringLiteral("--dest"), _dest, archive});
    QCOMPARE(run.exitCode, int(spared ? Cli::Success : Cli::Failure));
    QVERIFY2(run.err.contains(QStringLiteral("\"%1\" is damaged").arg(damaged)) != spared, qPrintable(run.err));
    QVERIFY2(run.err.contains(QStringLiteral("the preview image %1 is damaged; left out").arg(damaged)) == spared,
             qPrintable(run.err));
    const QString folder = extract ? out : _dest + QStringLiteral("/Titles.localized/ZT Lower Thirds");
    if (!spared) {
        if (!extract)
            QVERIFY(!QFileInfo::exists(folder));
        return;
    }
    QVERIFY(!QFileInfo::exists(folder + QLatin1Char('/') + damaged));
    for (const auto &[name, data] : entries) {
        if (name != damaged)
            QCOMPARE(readFile(folder + QLatin1Char('/') + name), data);
    }
    if (!extract) {
        // The receipt lists what was installed: nothing is missing.
        const CliRun verify = runMtzip({QStringLiteral("verify"), QStringLiteral("--dest"), _dest});
        QVERIFY2(verify.exitCode == Cli::Success, qPrintable(verify.out + verify.err));
    }
}

void tst_InstallCli::installDeletesArchiveOnlyWhenAsked()
{
    const QString pack = makePack(QStringLiteral("LT_Pack"), {QStringLiteral("LT_Simple_Third")});
    const QString other = makePack(QStringLiteral("ZZ_Unknown"), {QStringLiteral("LT_Other")});
    expectDiagnostic("Unrecognized category title");
    const CliRun run = runMtzip({QStringLiteral("install"), QStringLiteral("--delete-archive"),
                                 QStringLiteral("--dest"), _dest, pack, other});
    QCOMPARE(run.exitCode, int(Cli::Failure));
    QVERIFY(!QFileInfo::exists(pack));
    // A refused archive is never deleted.
    QVERIFY(QFileInfo::exists(other));
    QVERIFY(run.err.contains(QLatin1String("Unrecognized category title")));
    // Unpack folders are gone with their installers.
    // (This process's only: other test programs may be unpacking meanwhile.)
    QVERIFY(QDir(QDir::tempPath())
                .entryList({QStringLiteral("LT_Pack-mti%1-*").arg(QCoreApplication::applicationPid())}, QDir::Dirs)
                .isEmpty());

    // An archive in which no template was found is not "done with".
    const QString source = _dir->filePath(QStringLiteral("src-LT_Notes"));
    writeFileOrFail(source + QStringLiteral("/readme.txt"), "no templates here");
    const QString notes = _dir->filePath(QStringLiteral("LT_Notes.mtzip"));
    packFolder(source, notes);
    const CliRun empty = runMtzip({QStringLiteral("install"), QStringLiteral("--delete-archive"),
                                   QStringLiteral("--dest"), _dest, notes});
    QCOMPARE(empty.exitCode, int(Cli::Success));
    QVERIFY2(QFileInfo::exists(notes), qPrintable(empty.out + empty.err));
}

void tst_InstallCli::installOnlyTheFoldersAskedFor_data()
{
    QTest::addColumn<QStringList>("only");
    QTest::addColumn<QStringList>("installed");
    const QString folder = QStringLiteral("Titles.localized/ZT Lower Thirds/");
    QTest::newRow("one") << QStringList{folder + QStringLiteral("LT_Two")} << QStringList{QStringLiteral("LT_Two")};
    QTest::newRow("two, one with a trailing slash")
        << QStringList{folder + QStringLiteral("LT_One/"), folder + QStringLiteral("LT_Three")}
        << QStringList{QStringLiteral("LT_One"), QStringLiteral("LT_Three")};
    QTest::newRow("none of the archive's") << QStringList{folder + QStringLiteral("LT_Elsewhere")} << QStringList();
    QTest::newRow("the category folder is no template") << QStringList{folder} << QStringList();
}

// --only is how the window installs, elevated, just the templates a project
// misses: the rest of the archive stays out, and the archive stays too.
void tst_InstallCli::installOnlyTheFoldersAskedFor()
{
    QFETCH(QStringList, only);
    QFETCH(QStringList, installed);
    const QString pack = makePack(QStringLiteral("LT_Pack"), {QStringLiteral("LT_One"), QStringLiteral("LT_Two"),
                                                              QStringLiteral("LT_Three")});
    QStringList arguments{QStringLiteral("install"), QStringLiteral("--json"), QStringLiteral("--delete-archive"),
                          QStringLiteral("--dest"), _dest};
    for (const QString &folder : only)
        arguments << QStringLiteral("--only") << folder;
    const CliRun run = runMtzip(arguments << pack);
    QCOMPARE(run.exitCode, int(Cli::Success));
    const QJsonObject archive = QJsonDocument::fromJson(run.out.toUtf8()).object().value(QLatin1String("archives"))
                                    .toArray().at(0).toObject();
    QCOMPARE(archive.value(QLatin1String("newlyInstalled")).toInt(), installed.size());
    for (const QString &name : {QStringLiteral("LT_One"), QStringLiteral("LT_Two"), QStringLiteral("LT_Three")})
        QCOMPARE(QFileInfo::exists(_dest + QStringLiteral("/Titles.localized/ZT Lower Thirds/") + name), installed.contains(name));
    QVERIFY2(QFileInfo::exists(pack), "an archive only partly installed is not done with");
}

void tst_InstallCli::customCategoriesList()
{
    const QString plist = _dir->filePath(QStringLiteral("Categories.plist"));
    writeFileOrFail(plist, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                           "<plist version=\"1.0\"><dict><key>ZZ</key><string>Sleepy</string></dict></plist>\n");
    const QString pack = makePack(QStringLiteral("ZZ_Pack"), {QStringLiteral("ZZ_Nap")});
    CliRun run = runMtzip({QStringLiteral("install"), QStringLiteral("--categories"), plist,
                           QStringLiteral("--dest"), _dest, pack});
    QCOMPARE(run.exitCode, int(Cli::Success));
    QVERIFY(QFileInfo(_dest + QStringLiteral("/Titles.localized/ZT Sleepy/ZZ_Nap")).isDir());

    // The shipped list is back for the next command.
    expectDiagnostic("Unrecognized category title");
    run = runMtzip({QStringLiteral("list"), QStringLiteral("--dest"), _dest, pack});
    QCOMPARE(run.exitCode, int(Cli::Failure));
    QVERIFY(run.err.contains(QLatin1String("Unrecognized category title")));
}

void tst_InstallCli::usageErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("list without archives") << QStringList{QStringLiteral("list")};
    QTest::newRow("dest and all-users together")
        << QStringList{QStringLiteral("install"), QStringLiteral("--dest"), QStringLiteral("/tmp"),
                       QStringLiteral("--all-users"), QStringLiteral("a.mtzip")};
    QTest::newRow("unknown option") << QStringList{QStringLiteral("uninstall"), QStringLiteral("--bogus"),
                                                   QStringLiteral("a.mtzip")};
    QTest::newRow("delete-archive is only for install")
        << QStringList{QStringLiteral("uninstall"), QStringLiteral("--delete-archive"), QStringLiteral("a.mtzip")};
    QTest::newRow("quiet and verbose together")
        << QStringList{QStringLiteral("list"), QStringLiteral("-q"), QStringLiteral("--verbose"), QStringLiteral("a.mtzip")};
    QTest::newRow("unknown option before the command")
        << QStringList{QStringLiteral("--bogus"), QStringLiteral("list"), QStringLiteral("a.mtzip")};
    QTest::newRow("dest without a value") << QStringList{QStringLiteral("list"), QStringLiteral("--dest")};
}

void tst_InstallCli::usageErrors()
{
    QFETCH(QStringList, arguments);
    const CliRun run = runMtzip(arguments);
    QCOMPARE(run.exitCode, int(Cli::UsageError));
    QCOMPARE(run.err.count(QLatin1Char('\n')), 1);
    QVERIFY(run.out.isEmpty());
}

void tst_InstallCli::unreadableArchivesAreNamedBeforeTheirNames_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("says");

    for (const char *command : {"list", "install", "uninstall"}) {
        QTest::addRow("%s missing", command) << QString::fromLatin1(command) << "missing" << "no such file";
        QTest::addRow("%s folder", command) << QString::fromLatin1(command) << "folder" << "is a folder";
        QTest::addRow("%s dangling link", command) << QString::fromLatin1(command) << "link" << "does not exist";
    }
}

void tst_InstallCli::unreadableArchivesAreNamedBeforeTheirNames()
{
    QFETCH(QString, command);
    QFETCH(QString, kind);
    QFETCH(QString, says);

    // Names without a prefix, which would be refused for their name if the
    // file were looked at second.
    const QString path = _dir->filePath(QStringLiteral("NoPrefix.mtzip"));
    if (kind == QLatin1String("folder"))
        QVERIFY(QDir().mkpath(path));
    else if (kind == QLatin1String("link"))
        QVERIFY(QFile::link(_dir->filePath(QStringLiteral("gone.mtzip")), path));
    const QString good = makePack(QStringLiteral("LT_Pack"), {QStringLiteral("LT_Simple_Third")});

    const CliRun run = runMtzip({command, QStringLiteral("--dest"), _dest, path, good});
    QCOMPARE(run.exitCode, int(Cli::Failure));
    QVERIFY2(run.err.startsWith(QStringLiteral("mtzip: %1: ").arg(path)), qPrintable(run.err));
    QVERIFY2(run.err.contains(says), qPrintable(run.err));
    QVERIFY2(!run.err.contains(QLatin1String("refused")), qPrintable(run.err));
    // The next archive is still handled.
    if (command == QLatin1String("install"))
        QVERIFY(QFileInfo::exists(_dest + QStringLiteral("/Titles.localized/ZT Lower Thirds/LT_Simple_Third")));
}

void tst_InstallCli::installAndUninstallJson()
{
    const QString pack = makePack(QStringLiteral("LT_Pack"), {QStringLiteral("LT_Simple_Third"),
                                                              QStringLiteral("LT_Bold_Third")});
    QVERIFY(runMtzip({QStringLiteral("install"), QStringLiteral("--dest"), _dest, pack}).exitCode == Cli::Success);
    // One of the two is gone again, so the next install copies one; the other is in place already.
    QVERIFY(QDir(_dest + QStringLiteral("/Titles.localized/ZT Lower Thirds/LT_Bold_Third")).removeRecursively());

    const auto parse = [](const CliRun &run) {
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(run.out.toUtf8(), &error);
        return error.error == QJsonParseError::NoError ? document.object() : QJsonObject();
    };

    CliRun run = runMtzip({QStringLiteral("install"), QStringLiteral("--json"), QStringLiteral("--dest"), _dest, pack});
    QCOMPARE(run.exitCode, int(Cli::Success));
    QJsonObject document = parse(run);
    QVERIFY2(!document.isEmpty(), qPrintable(run.out));
    QCOMPARE(document.value(QStringLiteral("version")).toInt(), 1);
    QCOMPARE(document.value(QStringLiteral("command")).toString(), QStringLiteral("install"));
    QCOMPARE(document.value(QStringLiteral("destination")).toString(), _dest);
    QJsonObject archive = document.value(QStringLiteral("archives")).toArray().at(0).toObject();
    QCOMPARE(archive.value(QStringLiteral("newlyInstalled")).toInt(), 1);
    QCOMPARE(archive.value(QStringLiteral("replaced")).toInt(), 0);
    QCOMPARE(archive.value(QStringLiteral("identical")).toInt(), 1);
    QVERIFY(archive.value(QStringLiteral("error")).isNull());
    QJsonArray templates = archive.value(QStringLiteral("templates")).toArray();
    QCOMPARE(templates.size(), 2);
    QStringList states;
    for (const QJsonValue &value : std::as_const(templates)) {
        QVERIFY(!value.toObject().value(QStringLiteral("replaced")).toBool());
        states.append(value.toObject().value(QStringLiteral("state")).toString());
    }
    states.sort();
    QCOMPARE(states, QStringList({QStringLiteral("identical"), QStringLiteral("new")}));

    run = runMtzip({QStringLiteral("uninstall"), QStringLiteral("--json"), QStringLiteral("--dest"), _dest, pack});
    QCOMPARE(run.exitCode, int(Cli::Success));
    document = parse(run);
    QCOMPARE(document.value(QStringLiteral("version")).toInt(), 1);
    archive = document.value(QStringLiteral("archives")).toArray().at(0).toObject();
    QCOMPARE(archive.value(QStringLiteral("removed")).toInt(), 2);
    QCOMPARE(archive.value(QStringLiteral("failed")).toInt(), 0);
    QCOMPARE(archive.value(QStringLiteral("trashed")).toBool(), false);
    QCOMPARE(archive.value(QStringLiteral("templates")).toArray().size(), 2);

    // The list document carries the version too.
    run = runMtzip({QStringLiteral("list"), QStringLiteral("--json"), QStringLiteral("--dest"), _dest, pack});
    QCOMPARE(parse(run).value(QStringLiteral("version")).toInt(), 1);
}

void tst_InstallCli::quietKeepsOnlyErrors()
{
    const QString pack = makePack(QStringLiteral("LT_Pack"), {QStringLiteral("LT_Simple_Third")});
    const QString refused = makePack(QStringLiteral("ZZ_Unknown"), {QStringLiteral("LT_Other")});
    expectDiagnostic("Unrecognized category title");
    // Before the command or after it.
    CliRun run = runMtzip({QStringLiteral("--quiet"), QStringLiteral("install"), QStringLiteral("--dest"), _dest, pack,
                           refused});
    QCOMPARE(run.exitCode, int(Cli::Failure));
    QCOMPARE(run.out, QString());
    QVERIFY2(run.err.contains(QLatin1String("Unrecognized category title")), qPrintable(run.err));
    QVERIFY(QFileInfo::exists(_dest + QStringLiteral("/Titles.localized/ZT Lower Thirds/LT_Simple_Third")));

    run = runMtzip({QStringLiteral("uninstall"), QStringLiteral("-q"), QStringLiteral("--dest"), _dest, pack});
    QCOMPARE(run.exitCode, int(Cli::Success));
    QCOMPARE(run.out, QString());
    QCOMPARE(run.err, QString());
}

namespace {
QStringList loggedCategories;
QtMessageHandler previousHandler = nullptr;
void recordCategory(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (context.category && qstrncmp(context.category, "mtzip.", 6) == 0)
        loggedCategories.append(QString::fromLatin1(context.category));
    else if (previousHandler)
        previousHandler(type, context, message);
}
} // namespace

void tst_InstallCli::verboseTurnsOnTheDiagnosticLog()
{
    const QString pack = makePack(QStringLiteral("LT_Pack"), {QStringLiteral("LT_Simple_Third")});
    // The tool's own default: diagnostics off unless asked for.
    QLoggingCategory::setFilterRules(QStringLiteral("mtzip.*=false"));
    loggedCategories.clear();
    previousHandler = qInstallMessageHandler(recordCategory);
    const CliRun quietRun = runMtzip({QStringLiteral("install"), QStringLiteral("--dest"), _dest, pack});
    const qsizetype withoutVerbose = loggedCategories.size();
    const CliRun verboseRun = runMtzip({QStringLiteral("install"), QStringLiteral("--verbose"), QStringLiteral("--dest"),
                                        _dest, pack});
    const qsizetype withVerbose = loggedCategories.size() - withoutVerbose;
    // Off again once the command is done.
    runMtzip({QStringLiteral("install"), QStringLiteral("--dest"), _dest, pack});
    const qsizetype after = loggedCategories.size() - withoutVerbose - withVerbose;
    qInstallMessageHandler(previousHandler);
    QLoggingCategory::setFilterRules(QString());

    QCOMPARE(quietRun.exitCode, int(Cli::Success));
    QCOMPARE(verboseRun.exitCode, int(Cli::Success));
    QCOMPARE(withoutVerbose, 0);
    QVERIFY2(withVerbose > 0, "--verbose logged nothing");
    QCOMPARE(after, 0);
}

void tst_InstallCli::commandHelpNamesTheCommand_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("usage");
    QTest::newRow("list") << "list" << "Usage: mtzip list [options] ARCHIVE...\n";
    QTest::newRow("install") << "install" << "Usage: mtzip install [options] ARCHIVE...\n";
    QTest::newRow("uninstall") << "uninstall" << "Usage: mtzip uninstall [options] ARCHIVE...\n";
    QTest::newRow("extract") << "extract" << "Usage: mtzip extract [options] ARCHIVE DIR\n";
    QTest::newRow("pack") << "pack" << "Usage: mtzip pack [options] DIR ARCHIVE\n";
}

void tst_InstallCli::commandHelpNamesTheCommand()
{
    QFETCH(QString, command);
    QFETCH(QString, usage);
    const CliRun run = runMtzip({command, QStringLiteral("--help")});
    QCOMPARE(run.exitCode, int(Cli::Success));
    QVERIFY2(run.out.startsWith(usage), qPrintable(run.out));
    QVERIFY2(run.out.contains(QLatin1String("--quiet")), qPrintable(run.out));

    // The general help lists the command with its arguments, from the same table.
    const CliRun general = runMtzip({QStringLiteral("--help")});
    const QString line = usage.mid(QStringLiteral("Usage: mtzip ").size()).remove(QStringLiteral("[options] ")).trimmed();
    QVERIFY2(general.out.contains(QStringLiteral("  ") + line + QLatin1Char(' ')), qPrintable(general.out));
}

QTEST_GUILESS_MAIN(tst_InstallCli)
#include "tst_InstallCli.moc"
