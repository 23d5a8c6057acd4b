// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
// mtzip check and collect over Final Cut Pro projects, and zips laid out as
// a templates folder.
#include "CliTestTools.h"
#include "Documents/CollectionOpeningRules.h"
#include "Installer/Receipt.h"
#include "TestSupport.h"
#include "ZipArchive/ZipDirectory.h"
#include "ZipTestTools.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

using namespace TestSupport;
using ZipTestTools::packFolder;

namespace {

const QString LowerThird = QStringLiteral("Titles.localized/ZT Lower Thirds/LT_Name");
const QString Waves = QStringLiteral("Generators.localized/ZT Backgrounds/BG_Waves");
const QString Swipe = QStringLiteral("Transitions.localized/ZT Swipes/TR_Swipe");
const QString Glow = QStringLiteral("Effects.localized/ZT Glows/GL_Soft");

// The shared project (every reference form: title, generator, filter,
// transition wrapping a filter, inside a compound clip and a multicam
// angle; a Final Cut Pro title, an FxPlug filter and a uid climbing out)
// in the given FCPXML version. `userGlow` moves GL_Soft to the user's root.
QByteArray episodes(const QByteArray &version, bool userGlow = false)
{
    QByteArray text = readFile(QStringLiteral(MTI_TEST_DATA_DIR "/metadata/Episodes.fcpxml")).replace("@VERSION@", version);
    if (userGlow)
        text.replace("uid=\"/Library/Application Support/Final Cut Pro/Templates.localized/Effects.localized/",
                     "uid=\"~/Effects.localized/");
    return text;
}

// A project using LT_Name from one title.
QByteArray oneTitle()
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE fcpxml>\n<fcpxml version=\"1.11\"><resources>"
           "<format id=\"r1\" frameDuration=\"100/2500s\" width=\"1920\" height=\"1080\"/>"
           "<effect id=\"r2\" name=\"LT_Name\" uid=\"~/Titles.localized/ZT Lower Thirds/LT_Name/LT_Name.moti\"/>"
           "</resources><library><event name=\"Week 1\"><project name=\"Promo\"><sequence format=\"r1\" duration=\"10s\">"
           "<spine><gap name=\"Gap\" offset=\"0s\" duration=\"10s\"><title name=\"Hello\" ref=\"r2\" lane=\"1\" "
           "offset=\"0s\" duration=\"5s\"/></gap></spine></sequence></project></event></library></fcpxml>\n";
}

QByteArray templateDocument(const QByteArray &displayVersion, const QByteArray &extra = QByteArray())
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE ozxmlscene>\n<ozml version=\"5.11\">\n<displayversion>"
        + displayVersion + "</displayversion>\n" + extra
        + "<scene><sceneSettings><width>1920</width></sceneSettings></scene></ozml>\n";
}

// The document of a template folder: its kind by its kind folder, or for a
// bare folder name (in a pack) by its prefix.
QString documentName(const QString &folder)
{
    const QString name = folder.section(QLatin1Char('/'), -1);
    QString kind = folder.section(QLatin1Char('/'), 0, 0);
    if (!folder.contains(QLatin1Char('/')))
        kind = name.startsWith(QLatin1String("BG_"))   ? QStringLiteral("Generators")
            : name.startsWith(QLatin1String("TR_"))    ? QStringLiteral("Transitions")
            : name.startsWith(QLatin1String("GL_"))    ? QStringLiteral("Effects")
                                                       : QStringLiteral("Titles");
    const char *extension = kind.startsWith(QLatin1String("Titles"))        ? "moti"
        : kind.startsWith(QLatin1String("Generators"))                        ? "motn"
        : kind.startsWith(QLatin1String("Transitions"))                       ? "motr"
                                                                              : "moef";
    return name + QLatin1Char('.') + QLatin1String(extension);
}

// A template folder at `root/folder`: its document and a media file.
void writeTemplate(const QString &root, const QString &folder, const QByteArray &document = templateDocument("5.4"))
{
    writeFileOrFail(root + QLatin1Char('/') + folder + QLatin1Char('/') + documentName(folder), document);
    writeFileOrFail(root + QLatin1Char('/') + folder + QStringLiteral("/Media/still.png"), ZipTestTools::noise(3000));
}

QJsonObject jsonOf(const CliRun &run)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(run.out.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError)
        qWarning("not JSON: %s\n%s", qPrintable(error.errorString()), qPrintable(run.out));
    return document.object();
}

// The template entry of the first project named `name`.
QJsonObject templateNamed(const QJsonObject &json, const QString &name)
{
    for (const QJsonValue &value : json.value(QStringLiteral("projects")).toArray().at(0).toObject().value(QStringLiteral("templates")).toArray())
        if (value.toObject().value(QStringLiteral("name")).toString() == name)
            return value.toObject();
    return {};
}

QStringList zipNames(const QString &archive)
{
    QStringList names;
    const std::optional<std::vector<ZipDirectory::Entry>> entries = ZipDirectory::read(archive, nullptr);
    if (entries)
        for (const ZipDirectory::Entry &entry : *entries)
            names.append(entry.name);
    return names;
}

// Every file below root, relative, sorted; the root's own hidden entries
// (receipts, the lock) left out.
QStringList filesBelow(const QString &root)
{
    QStringList files;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = QDir(root).relativeFilePath(it.next());
        if (!file.startsWith(QLatin1Char('.')))
            files.append(file);
    }
    files.sort();
    return files;
}

} // namespace

class tst_ProjectCli : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void eachState_data();
    void eachState();
    void everyReferenceFormInEveryVersion_data();
    void everyReferenceFormInEveryVersion();
    void realExports_data();
    void realExports();
    void installMissingEndToEnd();
    void installMissingTakesInstallOptions();
    void collectThenInstallIntoEmptyRoot();
    void collectLeavesOutWhatIsNotBeneathTheRoot();
    void hostileProjects_data();
    void hostileProjects();
    void usageErrors_data();
    void usageErrors();
    void layoutZips_data();
    void layoutZips();
    void refusedLayoutZips_data();
    void refusedLayoutZips();
    void windowsOpenLayoutZipsOnly();

private:
    QString path(const QString &relative) const { return _dir->filePath(relative); }
    // LT_<name>.mtzip (or another prefix) holding the given template folder names.
    QString makePack(const QString &fileName, const QStringList &folders, const QString &where);

    QTemporaryDir _home;
    std::unique_ptr<QTemporaryDir> _dir;
    QString _dest;
    QString _allUsers;
    QString _downloads;
};

void tst_ProjectCli::initTestCase()
{
    // Downloads, the settings and the all-users folder come from here: the
    // tests never see the machine's.
    QVERIFY(_home.isValid());
    qputenv("HOME", _home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", _home.filePath(QStringLiteral("config")).toUtf8());
    qputenv("XDG_DATA_DIRS", _home.filePath(QStringLiteral("usr/share")).toUtf8());
    _downloads = _home.filePath(QStringLiteral("Downloads"));
    _allUsers = _home.filePath(QStringLiteral("usr/share/Final Cut Pro/Templates"));
}

void tst_ProjectCli::init()
{
    _dir = std::make_unique<QTemporaryDir>();
    QVERIFY(_dir->isValid());
    _dest = path(QStringLiteral("Movies/Motion Templates.localized"));
    QVERIFY(QDir().mkpath(_dest));
    for (const QString &folder : {_downloads, _allUsers}) {
        QDir(folder).removeRecursively();
        QVERIFY(QDir().mkpath(folder));
    }
}

QString tst_ProjectCli::makePack(const QString &fileName, const QStringList &folders, const QString &where)
{
    QTemporaryDir source;
    for (const QString &folder : folders)
        writeTemplate(source.path(), folder);
    QDir().mkpath(where);
    const QString archive = where + QLatin1Char('/') + fileName;
    packFolder(source.path(), archive);
    return archive;
}

void tst_ProjectCli::eachState_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("state");
    QTest::addColumn<QString>("source");   // in the table line
    QTest::addColumn<int>("exitCode");

    QTest::newRow("installed by an archive") << "archive" << QStringList() << "installed" << "from LT_Names" << 0;
    QTest::newRow("a hand copy") << "hand" << QStringList() << "installed" << "a hand copy" << 0;
    QTest::newRow("hidden") << "hidden" << QStringList() << "hidden" << "a hand copy" << 0;
    QTest::newRow("too new for the Final Cut Pro asked for")
        << "new" << QStringList{QStringLiteral("--fcp-version"), QStringLiteral("10.4")} << "too-new" << "needs Final Cut Pro" << 0;
    QTest::newRow("not too new for a newer one")
        << "new" << QStringList{QStringLiteral("--fcp-version"), QStringLiteral("99.0")} << "installed" << "a hand copy" << 0;
    QTest::newRow("needs a plug-in") << "plugin" << QStringList() << "needs-plug-in" << "plug-ins: Swiper" << 0;
    QTest::newRow("missing, in a search folder") << "search" << QStringList() << "missing" << "in @search/LT_Names.mtzip" << 1;
    QTest::newRow("missing, in Downloads") << "downloads" << QStringList() << "missing" << "in @downloads/LT_Names.mtzip" << 1;
    QTest::newRow("missing, remembered by a receipt") << "remembered" << QStringList() << "missing" << "in @kept/LT_Names.mtzip" << 1;
    QTest::newRow("missing, the remembered archive changed since")
        << "changed" << QStringList() << "missing" << "found nowhere: \"LT_Name\" (Titles, ZT Lower Thirds)" << 1;
    QTest::newRow("missing, an archive with another template only")
        << "other" << QStringList() << "missing" << "found nowhere: \"LT_Name\" (Titles, ZT Lower Thirds)" << 1;
}

void tst_ProjectCli::eachState()
{
    QFETCH(QString, setup);
    QFETCH(QStringList, options);
    QFETCH(QString, source);
    const QString project = path(QStringLiteral("Promo.fcpxml"));
    writeFileOrFail(project, oneTitle());
    const QString search = path(QStringLiteral("search"));
    const QString kept = path(QStringLiteral("kept"));
    QVERIFY(QDir().mkpath(search));
    if (setup == QLatin1String("archive") || setup == QLatin1String("remembered") || setup == QLatin1String("changed")) {
        const QString archive = makePack(QStringLiteral("LT_Names.mtzip"), {QStringLiteral("LT_Name")}, kept);
        const CliRun installed = runMtzip({QStringLiteral("install"), QStringLiteral("--dest"), _dest, archive});
        QVERIFY2(installed.exitCode == 0, qPrintable(installed.err));
        if (setup != QLatin1String("archive"))
            QVERIFY(QDir(_dest + QLatin1Char('/') + LowerThird).removeRecursively());
        if (setup == QLatin1String("changed"))
            makePack(QStringLiteral("LT_Names.mtzip"), {QStringLiteral("LT_Name"), QStringLiteral("LT_More")}, kept);
    } else if (setup == QLatin1String("hand")) {
        writeTemplate(_dest, LowerThird);
    } else if (setup == QLatin1String("hidden")) {
        writeTemplate(_dest, LowerThird, templateDocument("5.4", "<template><flags>2</flags></template>"));
    } else if (setup == QLatin1String("new")) {
        writeTemplate(_dest, LowerThird, templateDocument("5.11"));
    } else if (setup == QLatin1String("plugin")) {
        writeTemplate(_dest, LowerThird, templateDocument("5.4", "<filter pluginName=\"Swiper\" pluginUUID=\"S-1\"/>"));
    } else if (setup == QLatin1String("search")) {
        makePack(QStringLiteral("LT_Names.mtzip"), {QStringLiteral("LT_Name")}, search);
    } else if (setup == QLatin1String("downloads")) {
        makePack(QStringLiteral("LT_Names.mtzip"), {QStringLiteral("LT_Name")}, _downloads);
    } else if (setup == QLatin1String("other")) {
        makePack(QStringLiteral("LT_Names.mtzip"), {QStringLiteral("LT_Other")}, search);
    }

    const QStringList arguments = QStringList{QStringLiteral("check"), QStringLiteral("--dest"), _dest,
                                              QStringLiteral("--search"), search} + options + QStringList{project};
    const CliRun table = runMtzip(arguments);
    QFETCH(int, exitCode);
    QVERIFY2(table.exitCode == exitCode, qPrintable(table.out + table.err));
    const QString expected = QString(source).replace(QLatin1String("@search"), search)
                                 .replace(QLatin1String("@downloads"), _downloads)
                                 .replace(QLatin1String("@kept"), kept);
    QString line;
    for (const QString &candidate : table.out.split(QLatin1Char('\n')))
        if (candidate.contains(LowerThird))
            line = candidate;
    QVERIFY2(line.contains(expected), qPrintable(table.out));
    QFETCH(QString, state);
    QVERIFY2(line.startsWith(state + QLatin1Char(' ')), qPrintable(line));
    QVERIFY2(line.contains(QLatin1String("1 use ")), qPrintable(line));
    QVERIFY2(table.out.contains(QLatin1String("Promo/Hello")), qPrintable(table.out));

    const CliRun json = runMtzip(QStringList{arguments.first(), QStringLiteral("--json")} + arguments.mid(1));
    QTEST(json.exitCode, "exitCode");
    const QJsonObject entry = templateNamed(jsonOf(json), QStringLiteral("LT_Name"));
    QCOMPARE(entry.value(QStringLiteral("state")).toString(), state);
    QCOMPARE(entry.value(QStringLiteral("folder")).toString(), LowerThird);
    QCOMPARE(entry.value(QStringLiteral("category")).toString(), QStringLiteral("ZT Lower Thirds"));
    QCOMPARE(entry.value(QStringLiteral("providers")).toArray().isEmpty(), !expected.startsWith(QLatin1String("in ")));
}

void tst_ProjectCli::everyReferenceFormInEveryVersion_data()
{
    QTest::addColumn<QByteArray>("version");
    for (const char *version : {"1.6", "1.8", "1.9", "1.10", "1.11", "1.13"})
        QTest::newRow(version) << QByteArray(version);
}

void tst_ProjectCli::everyReferenceFormInEveryVersion()
{
    QFETCH(QByteArray, version);
    const QString project = path(QStringLiteral("Episodes.fcpxml"));
    writeFileOrFail(project, episodes(version));
    writeTemplate(_dest, LowerThird);
    writeTemplate(_allUsers, Glow);
    // BG_Waves in an archive of the search folder; TR_Swipe nowhere.
    const QString search = path(QStringLiteral("search"));
    const QString backgrounds = makePack(QStringLiteral("BG_Backgrounds.mtzip"), {QStringLiteral("BG_Waves")}, search);

    const CliRun run = runMtzip({QStringLiteral("check"), QStringLiteral("--json"), QStringLiteral("--dest"), _dest,
                                 QStringLiteral("--search"), search, project});
    QCOMPARE(run.exitCode, 1);
    const QJsonObject json = jsonOf(run);
    QCOMPARE(json.value(QStringLiteral("projects")).toArray().at(0).toObject().value(QStringLiteral("fcpxmlVersion")).toString(),
             QString::fromLatin1(version));
    struct Expected
    {
        const char *name;
        QString folder;
        const char *state;
        int uses;
        const char *root;
    };
    for (const Expected &e : {Expected{"LT_Name", LowerThird, "installed", 2, "user"},
                              Expected{"BG_Waves", Waves, "missing", 1, "user"},
                              Expected{"GL_Soft", Glow, "installed", 2, "all-users"},
                              Expected{"TR_Swipe", Swipe, "missing", 1, "user"}}) {
        const QJsonObject entry = templateNamed(json, QLatin1String(e.name));
        QCOMPARE(entry.value(QStringLiteral("folder")).toString(), e.folder);
        QCOMPARE(entry.value(QStringLiteral("state")).toString(), QLatin1String(e.state));
        QCOMPARE(entry.value(QStringLiteral("uses")).toInt(), e.uses);
        QCOMPARE(entry.value(QStringLiteral("root")).toString(), QLatin1String(e.root));
    }
    QCOMPARE(templateNamed(json, QStringLiteral("BG_Waves")).value(QStringLiteral("providers")).toArray(),
             QJsonArray{backgrounds});
    QCOMPARE(templateNamed(json, QStringLiteral("LT_Name")).value(QStringLiteral("clips")).toArray(),
             QJsonArray({QStringLiteral("[Opening Compound]/Name inside"), QStringLiteral("Episode 1/Ann, Host")}));
    const QJsonObject first = json.value(QStringLiteral("projects")).toArray().at(0).toObject();
    QCOMPARE(first.value(QStringLiteral("finalCutTemplates")).toArray().size(), 1);
    const QJsonArray refused = first.value(QStringLiteral("refused")).toArray();
    QCOMPARE(refused.size(), 1);
    QCOMPARE(refused.at(0).toObject().value(QStringLiteral("name")).toString(), QStringLiteral("Sneaky"));
}

void tst_ProjectCli::realExports_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("own");  // Final Cut Pro's templates, listed apart
    QTest::newRow("1.11, generators and titles")
        << "RolesList.fcpxml" << QStringList{QStringLiteral("Metal"), QStringLiteral("Basic Title"), QStringLiteral("Gradient"),
                                             QStringLiteral("Grey Scale"), QStringLiteral("Vivid"), QStringLiteral("Pastel")};
    QTest::newRow("1.11, effects beside built-in ones")
        << "29.97.fcpxml" << QStringList{QStringLiteral("50s TV"), QStringLiteral("Aged Paper"), QStringLiteral("Background Squares")};
}

// Exports of Final Cut Pro itself, using only its own templates: nothing is
// missing, and collect writes a zip with nothing in it.
void tst_ProjectCli::realExports()
{
    QFETCH(QString, file);
    QFETCH(QStringList, own);
    const QString project = QStringLiteral(MTI_SHARED_FIXTURES_DIR "/fcpxml/") + file;
    if (!QFile::exists(project))
        QSKIP("the shared fixtures are not there");
    const CliRun run = runMtzip({QStringLiteral("check"), QStringLiteral("--dest"), _dest, project});
    QVERIFY2(run.exitCode == 0, qPrintable(run.out + run.err));
    QStringList listed;
    for (const QString &line : run.out.split(QLatin1Char('\n')))
        if (line.startsWith(QLatin1String("final-cut ")))
            listed.append(line.mid(23));
    QCOMPARE(listed, own);
    QVERIFY2(run.out.contains(QLatin1String("0 templates: 0 installed, 0 missing")), qPrintable(run.out));

    const QString zip = path(QStringLiteral("own.zip"));
    const CliRun collect = runMtzip({QStringLiteral("collect"), QStringLiteral("--dest"), _dest, project, QStringLiteral("-o"), zip});
    QCOMPARE(collect.exitCode, 0);
    QVERIFY(QFileInfo::exists(zip));
    QVERIFY(zipNames(zip).isEmpty());
}

void tst_ProjectCli::installMissingEndToEnd()
{
    const QString project = path(QStringLiteral("Episodes.fcpxml"));
    writeFileOrFail(project, episodes("1.10", true));
    const QString search = path(QStringLiteral("search"));
    makePack(QStringLiteral("LT_Names.mtzip"), {QStringLiteral("LT_Name")}, search);
    makePack(QStringLiteral("BG_Backgrounds.mtzip"), {QStringLiteral("BG_Waves")}, search);
    makePack(QStringLiteral("OV_Unrelated.mtzip"), {QStringLiteral("OV_Leaves")}, search);
    // TR_Swipe and GL_Soft have no archive with their prefix: hand copies.
    writeTemplate(_dest, Swipe);
    writeTemplate(_dest, Glow);

    const CliRun run = runMtzip({QStringLiteral("check"), QStringLiteral("--install"), QStringLiteral("--dest"), _dest,
                                 QStringLiteral("--search"), search, project});
    QVERIFY2(run.exitCode == 0, qPrintable(run.out + run.err));
    QVERIFY2(run.out.contains(QLatin1String("4 templates: 4 installed, 0 missing")), qPrintable(run.out));
    // One transaction, one receipt per archive; the unrelated one untouched.
    QVERIFY(QFileInfo::exists(Receipt::pathFor(_dest, QStringLiteral("LT_Names"))));
    QVERIFY(QFileInfo::exists(Receipt::pathFor(_dest, QStringLiteral("BG_Backgrounds"))));
    QVERIFY(!QFileInfo::exists(Receipt::pathFor(_dest, QStringLiteral("OV_Unrelated"))));
    QVERIFY(QFileInfo::exists(_dest + QLatin1Char('/') + Waves + QStringLiteral("/BG_Waves.motn")));

    const CliRun again = runMtzip({QStringLiteral("check"), QStringLiteral("--json"), QStringLiteral("--install"),
                                   QStringLiteral("--dest"), _dest, project});
    QCOMPARE(again.exitCode, 0);
    const QJsonObject json = jsonOf(again);
    QCOMPARE(json.value(QStringLiteral("missing")).toBool(), false);
    QCOMPARE(templateNamed(json, QStringLiteral("LT_Name")).value(QStringLiteral("archive")).toString(), QStringLiteral("LT_Names"));
    QCOMPARE(json.value(QStringLiteral("install")).toObject(), QJsonObject());
}

void tst_ProjectCli::installMissingTakesInstallOptions()
{
    // A prefix the shipped list lacks: only --categories makes the archive
    // readable, for the search and for the install alike; --json gathers
    // install's document into check's.
    const QString project = path(QStringLiteral("Promo.fcpxml"));
    writeFileOrFail(project, QByteArray(oneTitle()).replace("ZT Lower Thirds", "ZT Names"));
    const QString search = path(QStringLiteral("search"));
    makePack(QStringLiteral("XY_Names.mtzip"), {QStringLiteral("LT_Name")}, search);
    const QString plist = path(QStringLiteral("categories.plist"));
    writeFileOrFail(plist, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
                           "<key>XY</key><string>Names</string></dict></plist>\n");
    const QStringList base{QStringLiteral("check"), QStringLiteral("--install"), QStringLiteral("--json"),
                           QStringLiteral("--dest"), _dest, QStringLiteral("--search"), search};

    const CliRun without = runMtzip(base + QStringList{project});
    QCOMPARE(without.exitCode, 1);
    QVERIFY(filesBelow(_dest).isEmpty());

    const CliRun dryRun = runMtzip(base + QStringList{QStringLiteral("--categories"), plist, QStringLiteral("-n"), project});
    QCOMPARE(dryRun.exitCode, 1);
    QVERIFY2(filesBelow(_dest).isEmpty(), qPrintable(filesBelow(_dest).join(u',')));

    const CliRun with = runMtzip(base + QStringList{QStringLiteral("--categories"), plist, project});
    QVERIFY2(with.exitCode == 0, qPrintable(with.out + with.err));
    const QJsonObject json = jsonOf(with);
    const QJsonArray archives = json.value(QStringLiteral("install")).toObject().value(QStringLiteral("archives")).toArray();
    QCOMPARE(archives.size(), 1);
    QCOMPARE(archives.at(0).toObject().value(QStringLiteral("newlyInstalled")).toInt(), 1);
    QCOMPARE(templateNamed(json, QStringLiteral("LT_Name")).value(QStringLiteral("state")).toString(), QStringLiteral("installed"));
}

void tst_ProjectCli::collectThenInstallIntoEmptyRoot()
{
    const QString project = path(QStringLiteral("Episodes.fcpxml"));
    writeFileOrFail(project, episodes("1.13", true));
    for (const QString &folder : {LowerThird, Waves, Swipe, Glow})
        writeTemplate(_dest, folder);
    writeFileOrFail(_dest + QLatin1Char('/') + LowerThird + QStringLiteral("/Media/Fonts/.hidden"), "kept");
    // Templates the project does not use stay out.
    writeTemplate(_dest, QStringLiteral("Titles.localized/ZT Lower Thirds/LT_Unused"));

    const QString zip = path(QStringLiteral("out/Episodes Templates.zip"));
    QVERIFY(QDir().mkpath(path(QStringLiteral("out"))));
    const CliRun collected = runMtzip({QStringLiteral("collect"), QStringLiteral("--dest"), _dest, project,
                                       QStringLiteral("-o"), zip});
    QVERIFY2(collected.exitCode == 0, qPrintable(collected.err));
    QVERIFY2(collected.out.contains(QLatin1String("4 templates")), qPrintable(collected.out));
    // Only the zip is left in its folder: the temporary file was renamed.
    QCOMPARE(QDir(path(QStringLiteral("out"))).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("Episodes Templates.zip")});
    QStringList files;
    for (const QString &name : zipNames(zip))
        if (!name.endsWith(QLatin1Char('/')))
            files.append(name);
    files.sort();
    QStringList expected;
    for (const QString &folder : {LowerThird, Waves, Swipe, Glow})
        expected << folder + QLatin1Char('/') + documentName(folder) << folder + QStringLiteral("/Media/still.png");
    expected << LowerThird + QStringLiteral("/Media/Fonts/.hidden");
    expected.sort();
    QCOMPARE(files, expected);
    // Info-ZIP reads it whole.
    if (isInstalled(QStringLiteral("unzip")))
        MTI_VERIFY_TOOL(runTool(QStringLiteral("unzip"), {QStringLiteral("-tq"), zip}));

    const QString empty = path(QStringLiteral("Colleague/Motion Templates.localized"));
    QVERIFY(QDir().mkpath(empty));
    const CliRun installed = runMtzip({QStringLiteral("install"), QStringLiteral("--dest"), empty, zip});
    QVERIFY2(installed.exitCode == 0, qPrintable(installed.out + installed.err));
    QVERIFY(QFileInfo::exists(Receipt::pathFor(empty, QStringLiteral("Episodes Templates"))));
    QCOMPARE(filesBelow(empty), expected);

    const CliRun check = runMtzip({QStringLiteral("check"), QStringLiteral("--dest"), empty, project});
    QVERIFY2(check.exitCode == 0, qPrintable(check.out + check.err));
    QVERIFY2(check.out.contains(QLatin1String("4 templates: 4 installed, 0 missing")), qPrintable(check.out));
    QVERIFY2(check.out.contains(QLatin1String("from Episodes Templates")), qPrintable(check.out));

    // Uninstalled by the same rules: its templates go, the rest stays.
    const CliRun uninstalled = runMtzip({QStringLiteral("uninstall"), QStringLiteral("--dest"), empty, zip});
    QVERIFY2(uninstalled.exitCode == 0, qPrintable(uninstalled.err));
    QVERIFY(!QFileInfo::exists(empty + QLatin1Char('/') + LowerThird));
}

void tst_ProjectCli::collectLeavesOutWhatIsNotBeneathTheRoot()
{
    const QString project = path(QStringLiteral("Episodes.fcpxml"));
    writeFileOrFail(project, episodes("1.10", true));
    const QString outside = path(QStringLiteral("outside"));
    writeFileOrFail(outside + QStringLiteral("/secret.txt"), "secret");
    writeTemplate(outside, QStringLiteral("BG_Waves"));
    // LT_Name holds links out; BG_Waves is itself a link out; TR_Swipe is
    // missing; GL_Soft is plain.
    writeTemplate(_dest, LowerThird);
    QVERIFY(QFile::link(outside + QStringLiteral("/secret.txt"), _dest + QLatin1Char('/') + LowerThird + QStringLiteral("/Media/linked.txt")));
    QVERIFY(QFile::link(outside, _dest + QLatin1Char('/') + LowerThird + QStringLiteral("/Outside")));
    QVERIFY(QDir().mkpath(_dest + QStringLiteral("/Generators.localized/ZT Backgrounds")));
    QVERIFY(QFile::link(outside + QStringLiteral("/BG_Waves"), _dest + QLatin1Char('/') + Waves));
    writeTemplate(_dest, Glow);
    // Where the climbing uid would lead, were it followed.
    writeFileOrFail(path(QStringLiteral("etc/passwd.moti")), "not to be collected");

    const QString zip = path(QStringLiteral("Episodes.zip"));
    const CliRun run = runMtzip({QStringLiteral("collect"), QStringLiteral("--dest"), _dest, project, QStringLiteral("-o"), zip});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains(QLatin1String("not installed here, left out: ") + Swipe), qPrintable(run.err));
    QVERIFY2(run.err.contains(QLatin1String("not installed here, left out: ") + Waves), qPrintable(run.err));
    QVERIFY2(run.err.contains(QLatin1String("a link, left out: ") + LowerThird + QStringLiteral("/Media/linked.txt")), qPrintable(run.err));
    QVERIFY2(run.err.contains(QLatin1String("refused, left out: ~/Titles.localized/../")), qPrintable(run.err));
    const QStringList names = zipNames(zip);
    QVERIFY(!names.isEmpty());
    for (const QString &name : names) {
        QVERIFY2(name.startsWith(LowerThird) || name.startsWith(Glow) || name == QLatin1String("Titles.localized/")
                     || name == QLatin1String("Titles.localized/ZT Lower Thirds/") || name == QLatin1String("Effects.localized/")
                     || name == QLatin1String("Effects.localized/ZT Glows/"),
                 qPrintable(name));
        QVERIFY2(!name.contains(QLatin1String("linked")) && !name.contains(QLatin1String("Outside")), qPrintable(name));
    }

    // A zip that cannot be written leaves nothing, not even a part.
    const CliRun unwritable = runMtzip({QStringLiteral("collect"), QStringLiteral("--dest"), _dest, project,
                                        QStringLiteral("-o"), path(QStringLiteral("no/such/folder/x.zip"))});
    QCOMPARE(unwritable.exitCode, 1);
    QVERIFY(!QFileInfo::exists(path(QStringLiteral("no"))));
}

void tst_ProjectCli::hostileProjects_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<QString>("kind");  // "file", "bundle link"
    QByteArray bomb = "<?xml version=\"1.0\"?>\n<!DOCTYPE fcpxml [\n<!ENTITY a0 \"ha\">\n";
    for (int i = 1; i < 12; ++i)
        bomb += QStringLiteral("<!ENTITY a%1 \"&a%2;&a%2;&a%2;&a%2;&a%2;&a%2;&a%2;&a%2;&a%2;&a%2;\">\n").arg(i).arg(i - 1).toUtf8();
    bomb += "]>\n<fcpxml version=\"1.10\"><resources><effect id=\"r1\" name=\"&a11;\" uid=\"~/x\"/></resources></fcpxml>";
    QTest::newRow("entity bomb") << bomb << "file";
    QTest::newRow("external entity")
        << QByteArray("<!DOCTYPE fcpxml [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><fcpxml version=\"1.10\">&x;</fcpxml>") << "file";
    QTest::newRow("truncated") << episodes("1.10").left(1500) << "file";
    QTest::newRow("a bundle that is a link") << episodes("1.10") << "bundle link";
}

void tst_ProjectCli::hostileProjects()
{
    QFETCH(QByteArray, document);
    QFETCH(QString, kind);
    QString project = path(QStringLiteral("Hostile.fcpxml"));
    if (kind == QLatin1String("bundle link")) {
        writeFileOrFail(path(QStringLiteral("Real.fcpxmld/Info.fcpxml")), document);
        project = path(QStringLiteral("Hostile.fcpxmld"));
        QVERIFY(QFile::link(path(QStringLiteral("Real.fcpxmld")), project));
    } else {
        writeFileOrFail(project, document);
    }
    const QString search = path(QStringLiteral("search"));
    makePack(QStringLiteral("LT_Names.mtzip"), {QStringLiteral("LT_Name")}, search);

    const CliRun check = runMtzip({QStringLiteral("check"), QStringLiteral("--install"), QStringLiteral("--dest"), _dest,
                                   QStringLiteral("--search"), search, project});
    QCOMPARE(check.exitCode, 2);
    QVERIFY2(check.err.contains(QLatin1String("cannot read the project")), qPrintable(check.err));
    QVERIFY(filesBelow(_dest).isEmpty());

    const QString zip = path(QStringLiteral("out.zip"));
    const CliRun collect = runMtzip({QStringLiteral("collect"), QStringLiteral("--dest"), _dest, project, QStringLiteral("-o"), zip});
    QCOMPARE(collect.exitCode, 2);
    QVERIFY(!QFileInfo::exists(zip));
}

void tst_ProjectCli::usageErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");
    QTest::newRow("check without a project") << QStringList{QStringLiteral("check")} << "at least one project";
    QTest::newRow("a version that is none")
        << QStringList{QStringLiteral("check"), QStringLiteral("--fcp-version"), QStringLiteral("eleven"), QStringLiteral("@project")}
        << "is not a version";
    QTest::newRow("--dest and --all-users")
        << QStringList{QStringLiteral("check"), QStringLiteral("--dest"), QStringLiteral("@dest"), QStringLiteral("--all-users"),
                       QStringLiteral("@project")}
        << "exclude each other";
    QTest::newRow("collect without -o") << QStringList{QStringLiteral("collect"), QStringLiteral("@project")} << "needs -o";
    QTest::newRow("collect of two projects")
        << QStringList{QStringLiteral("collect"), QStringLiteral("@project"), QStringLiteral("@project")} << "takes 1 arguments";
    QTest::newRow("a project that is not there")
        << QStringList{QStringLiteral("check"), QStringLiteral("@dest/none.fcpxml")} << "cannot read the project";
}

void tst_ProjectCli::usageErrors()
{
    QFETCH(QStringList, arguments);
    const QString project = path(QStringLiteral("Promo.fcpxml"));
    writeFileOrFail(project, oneTitle());
    for (QString &argument : arguments)
        argument.replace(QLatin1String("@project"), project).replace(QLatin1String("@dest"), _dest);
    const CliRun run = runMtzip(arguments);
    QCOMPARE(run.exitCode, 2);
    QFETCH(QString, message);
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
}

void tst_ProjectCli::layoutZips_data()
{
    QTest::addColumn<QString>("writer");   // "ours", "python", "zip"
    QTest::addColumn<QString>("wrapper");  // "" or "Motion Templates.localized/"
    for (const char *writer : {"ours", "python", "zip"}) {
        QTest::addRow("%s, kind folders at the top", writer) << QString::fromLatin1(writer) << QString();
        QTest::addRow("%s, below Motion Templates.localized", writer) << QString::fromLatin1(writer)
                                                                      << QStringLiteral("Motion Templates.localized/");
    }
}

void tst_ProjectCli::layoutZips()
{
    QFETCH(QString, writer);
    QFETCH(QString, wrapper);
    // Category folders no prefix gives, and a template at depth three.
    const QStringList folders{QStringLiteral("Titles.localized/Vendor Pack/LT_Name"),
                              QStringLiteral("Transitions.localized/Vendor Pack/Wipes/Soft Wipe")};
    const QString zip = path(QStringLiteral("Vendor Pack.zip"));
    ZipTestTools::EntryList entries;
    for (const QString &folder : folders) {
        entries.append({wrapper + folder + QLatin1Char('/') + documentName(folder), templateDocument("5.4")});
        entries.append({wrapper + folder + QStringLiteral("/Media/still.png"), ZipTestTools::noise(2000)});
    }
    entries.append({QStringLiteral(".DS_Store"), "finder"});
    if (writer == QLatin1String("python")) {
        MTI_VERIFY_TOOL(ZipTestTools::writeZipWithPython(zip, entries));
    } else {
        const QString source = path(QStringLiteral("source"));
        for (const auto &entry : entries)
            writeFileOrFail(source + QLatin1Char('/') + entry.first, entry.second);
        if (writer == QLatin1String("ours")) {
            packFolder(source, zip);
        } else {
            if (!isInstalled(QStringLiteral("zip")))
                QSKIP("Info-ZIP zip is not installed");
            MTI_VERIFY_TOOL(runTool(QStringLiteral("zip"), {QStringLiteral("-rq"), zip, QStringLiteral(".")}, source));
        }
    }

    const CliRun list = runMtzip({QStringLiteral("list"), QStringLiteral("--json"), QStringLiteral("--dest"), _dest, zip});
    QVERIFY2(list.exitCode == 0, qPrintable(list.err));
    QStringList destinations;
    for (const QJsonValue &t : jsonOf(list).value(QStringLiteral("archives")).toArray().at(0).toObject().value(QStringLiteral("templates")).toArray())
        destinations.append(t.toObject().value(QStringLiteral("destination")).toString());
    QCOMPARE(destinations, folders);

    const CliRun install = runMtzip({QStringLiteral("install"), QStringLiteral("--dest"), _dest, zip});
    QVERIFY2(install.exitCode == 0, qPrintable(install.err));
    QStringList expected;
    for (const QString &folder : folders)
        expected << folder + QLatin1Char('/') + documentName(folder) << folder + QStringLiteral("/Media/still.png");
    expected.sort();
    QCOMPARE(filesBelow(_dest), expected);
    const std::optional<Receipt> receipt = Receipt::read(Receipt::pathFor(_dest, QStringLiteral("Vendor Pack")));
    QVERIFY(receipt);
    QCOMPARE(receipt->templates.size(), size_t(2));

    const CliRun uninstall = runMtzip({QStringLiteral("uninstall"), QStringLiteral("--dest"), _dest, zip});
    QVERIFY2(uninstall.exitCode == 0, qPrintable(uninstall.err));
    QCOMPARE(filesBelow(_dest), QStringList());
}

void tst_ProjectCli::refusedLayoutZips_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<ZipTestTools::EntryList>("entries");
    QTest::addColumn<QString>("refusal");   // empty: installs, by the .mtzip rules
    QTest::addColumn<QString>("installed"); // the document where the .mtzip rules put it

    const QByteArray doc = templateDocument("5.4");
    QTest::newRow("a name climbing out of its kind folder")
        << "Pack.zip" << ZipTestTools::EntryList{{QStringLiteral("Titles.localized/ZT A/LT_A/LT_A.moti"), doc},
                                                  {QStringLiteral("Titles.localized/../../../LT_B/LT_B.moti"), doc}}
        << "" << "";
    QTest::newRow("a template lying in the kind folder itself")
        << "Pack.zip" << ZipTestTools::EntryList{{QStringLiteral("Titles.localized/LT_A.moti"), doc}}
        << "A template lies outside its kind folder" << "";
    QTest::newRow("a title in the effects folder")
        << "Pack.zip" << ZipTestTools::EntryList{{QStringLiteral("Effects.localized/ZT A/LT_A/LT_A.moti"), doc}}
        << "A template lies outside its kind folder" << "";
    QTest::newRow("a template in a hidden folder beside the kind folders")
        << "Pack.zip" << ZipTestTools::EntryList{{QStringLiteral("Titles.localized/ZT A/LT_A/LT_A.moti"), doc},
                                                  {QStringLiteral(".hidden/LT_B/LT_B.moti"), doc}}
        << "A template lies outside its kind folder" << "";
    QTest::newRow("a top level that is no layout")
        << "Pack.zip" << ZipTestTools::EntryList{{QStringLiteral("Stuff/LT_A/LT_A.moti"), doc}}
        << "Not a Motion Template Archive" << "";
    QTest::newRow("two wrappers")
        << "Pack.zip" << ZipTestTools::EntryList{{QStringLiteral("Motion Templates.localized/Motion Templates.localized/Titles.localized/ZT A/LT_A/LT_A.moti"), doc}}
        << "Not a Motion Template Archive" << "";
    QTest::newRow("an .mtzip laid out keeps the category rules")
        << "LT_Pack.mtzip" << ZipTestTools::EntryList{{QStringLiteral("Titles.localized/Vendor/LT_A/LT_A.moti"), doc}}
        << "" << "Titles.localized/ZT Lower Thirds/LT_A/LT_A.moti";
}

void tst_ProjectCli::refusedLayoutZips()
{
    QFETCH(QString, fileName);
    QFETCH(ZipTestTools::EntryList, entries);
    QFETCH(QString, refusal);
    QFETCH(QString, installed);
    const QString zip = path(fileName);
    MTI_VERIFY_TOOL(ZipTestTools::writeZipWithPython(zip, entries));
    const CliRun run = runMtzip({QStringLiteral("install"), QStringLiteral("--dest"), _dest, zip});
    if (installed.isEmpty()) {
        QCOMPARE(run.exitCode, 1);
        if (!refusal.isEmpty())
            QVERIFY2(run.err.contains(QLatin1String("refused: ") + refusal), qPrintable(run.err));
        QCOMPARE(filesBelow(_dest), QStringList());
        QVERIFY(filesBelow(path(QString())).filter(QStringLiteral("LT_B")).isEmpty());
    } else {
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QVERIFY(QFileInfo::exists(_dest + QLatin1Char('/') + installed));
    }
}

// The drop, the open dialog and the Dock take the same test.
void tst_ProjectCli::windowsOpenLayoutZipsOnly()
{
    const QString layout = path(QStringLiteral("Layout.zip"));
    const QString plain = path(QStringLiteral("LT_Plain.zip"));
    const QString wrapped = path(QStringLiteral("Wrapped.zip"));
    MTI_VERIFY_TOOL(ZipTestTools::writeZipWithPython(layout, {{QStringLiteral("Titles.localized/V/LT_A/LT_A.moti"), "<t/>"}}));
    MTI_VERIFY_TOOL(ZipTestTools::writeZipWithPython(plain, {{QStringLiteral("LT_A/LT_A.moti"), "<t/>"}}));
    MTI_VERIFY_TOOL(ZipTestTools::writeZipWithPython(
        wrapped, {{QStringLiteral("Motion Templates.localized/Generators.localized/V/BG_A/BG_A.motn"), "<t/>"}}));
    writeFileOrFail(path(QStringLiteral("Broken.zip")), "not a zip\n");
    const QList<QUrl> given = urlsOf({layout, plain, wrapped, path(QStringLiteral("Broken.zip")),
                                      path(QStringLiteral("LT_Pack.mtzip")), layout});
    bool alreadyOpen = true;
    QCOMPARE(CollectionOpeningRules::acceptedURLs(given, {}, &alreadyOpen),
             urlsOf({layout, wrapped, path(QStringLiteral("LT_Pack.mtzip"))}));
    QVERIFY(!alreadyOpen);
}

QTEST_GUILESS_MAIN(tst_ProjectCli)
#include "tst_ProjectCli.moc"
