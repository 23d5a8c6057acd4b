// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
// What mtzip says of templates' documents: list, installed and info with
// their fields and marks, --fcp-version, install's too-new warnings, and
// hide and show.
#include "CliTestTools.h"
#include "Common/UserSettings.h"
#include "TestSupport.h"
#include "ZipTestTools.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using TestSupport::readFile;
using TestSupport::strings;
using TestSupport::writeFileOrFail;

namespace {

QByteArray document(const QByteArray &header, const QByteArray &scene = QByteArray())
{
    return QByteArrayLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE ozxmlscene>\n<ozml version=\"5.11\">\n")
        + header
        + QByteArrayLiteral("\n<scene><sceneSettings><width>1920</width><height>1080</height><duration>250</duration>"
                            "<frameRate>25</frameRate></sceneSettings><publishSettings>"
                            "<target object=\"1\" name=\"Name\"/><target object=\"2\" name=\"Role\"/></publishSettings>")
        + scene + QByteArrayLiteral("</scene>\n</ozml>\n");
}

const QByteArray GoodHeader = QByteArrayLiteral(
    "<factory id=\"2\" uuid=\"b2\"><description>Glow Pro</description><manufacturer>Example FX</manufacturer></factory>"
    "<displayversion>5.10</displayversion><description>Slides in.</description>"
    "<template><theme>Corporate</theme><flags>0</flags></template>");
const QByteArray GoodScene = QByteArrayLiteral(
    "<layer><filter factoryID=\"2\" pluginName=\"Glow Pro\" pluginUUID=\"U-1\" pluginVersion=\"3\"/></layer>"
    "<clip><relativeURL>Media/a.png</relativeURL></clip><clip><relativeURL>Media/gone.png</relativeURL></clip>");

QByteArray entityBomb()
{
    QByteArray bomb = "<?xml version=\"1.0\"?>\n<!DOCTYPE ozxmlscene [\n<!ENTITY a0 \"ha\">\n";
    for (int i = 1; i < 12; ++i)
        bomb += QStringLiteral("<!ENTITY a%1 \"&a%2;&a%2;&a%2;&a%2;&a%2;&a%2;&a%2;&a%2;\">\n").arg(i).arg(i - 1).toUtf8();
    return bomb + "]>\n<ozml version=\"5.11\"><description>&a11;</description></ozml>";
}

QJsonObject parseObject(const QString &text)
{
    return QJsonDocument::fromJson(text.toUtf8()).object();
}

QStringList names(const QJsonValue &array)
{
    QStringList list;
    for (const QJsonValue &value : array.toArray())
        list << value.toString();
    return list;
}

// The templates of a list, installed or info document, by folder name.
QHash<QString, QJsonObject> byFolder(const QJsonArray &templates)
{
    QHash<QString, QJsonObject> found;
    for (const QJsonValue &value : templates) {
        const QJsonObject object = value.toObject();
        found.insert(object.value(QLatin1String("destination")).toString().section(QLatin1Char('/'), -1), object);
    }
    return found;
}

} // namespace

class tst_DocumentsCli : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void listFields();
    void listTableMarks();
    void finalCutVersionPrecedence_data();
    void finalCutVersionPrecedence();
    void badFinalCutVersion_data();
    void badFinalCutVersion();
    void installWarnsOfTooNew();
    void installSkipsTooNew();
    void installedAndInfoFields();
    void hideThenShow();
    void hideRefusesWhatItCannotEdit();

private:
    QString templateFolder(const QString &name) const
    {
        return _dest + QStringLiteral("/Titles.localized/ZT Lower Thirds/") + name;
    }
    QString install(const QStringList &extra = {});

    std::unique_ptr<QTemporaryDir> _dir;
    QString _dest;
    QString _pack;
    QString _source;
};

void tst_DocumentsCli::initTestCase()
{
    // The settings store of the tests' own, not the user's.
    QStandardPaths::setTestModeEnabled(true);
}

void tst_DocumentsCli::init()
{
    UserSettings::setFinalCutVersionOverride(QString());
    _dir = std::make_unique<QTemporaryDir>();
    QVERIFY(_dir->isValid());
    _dest = _dir->filePath(QStringLiteral("Movies/Motion Templates.localized"));
    QVERIFY(QDir().mkpath(_dir->filePath(QStringLiteral("Movies"))));
    _source = _dir->filePath(QStringLiteral("src"));
    writeFileOrFail(_source + QStringLiteral("/LT_Good/LT_Good.moti"), document(GoodHeader, GoodScene));
    writeFileOrFail(_source + QStringLiteral("/LT_Good/Media/a.png"), "png");
    writeFileOrFail(_source + QStringLiteral("/LT_Old/LT_Old.moti"),
                    document("<displayversion>5.4</displayversion><template><flags>2</flags></template>"));
    writeFileOrFail(_source + QStringLiteral("/LT_Plain/LT_Plain.moti"), document("<displayversion>5.8</displayversion>"));
    writeFileOrFail(_source + QStringLiteral("/LT_Bomb/LT_Bomb.moti"), entityBomb());
    writeFileOrFail(_source + QStringLiteral("/LT_Cut/LT_Cut.moti"), document(GoodHeader).left(300));
    writeFileOrFail(_source + QStringLiteral("/LT_Binary/LT_Binary.moti"), ZipTestTools::noise(4000));
    _pack = _dir->filePath(QStringLiteral("LT_Docs.mtzip"));
    ZipTestTools::packFolder(_source, _pack);
}

void tst_DocumentsCli::cleanup()
{
    UserSettings::setFinalCutVersionOverride(QString());
    _dir.reset();
}

QString tst_DocumentsCli::install(const QStringList &extra)
{
    const CliRun run = runMtzip(QStringList{QStringLiteral("install"), QStringLiteral("--dest"), _dest} + extra + QStringList{_pack});
    if (run.exitCode != 0)
        return run.err;
    return QString();
}

void tst_DocumentsCli::listFields()
{
    const CliRun run = runMtzip({QStringLiteral("list"), QStringLiteral("--json"), QStringLiteral("--fcp-version"),
                                 QStringLiteral("10.8"), QStringLiteral("--dest"), _dest, _pack});
    QCOMPARE(run.exitCode, 0);
    const QJsonArray archives = parseObject(run.out).value(QLatin1String("archives")).toArray();
    QCOMPARE(archives.size(), 1);
    const QHash<QString, QJsonObject> templates = byFolder(archives.at(0).toObject().value(QLatin1String("templates")).toArray());
    QCOMPARE(templates.size(), 6);

    const QJsonObject good = templates.value(QStringLiteral("LT_Good"));
    QCOMPARE(names(good.value(QLatin1String("marks"))), strings({"tooNew", "needsPlugIn", "missingMedia"}));
    QCOMPARE(good.value(QLatin1String("formatVersion")).toString(), QStringLiteral("5.11"));
    QCOMPARE(good.value(QLatin1String("motionVersion")).toString(), QStringLiteral("5.10"));
    QCOMPARE(good.value(QLatin1String("finalCutRequired")).toString(), QStringLiteral("11.1"));
    QCOMPARE(good.value(QLatin1String("theme")).toString(), QStringLiteral("Corporate"));
    QCOMPARE(good.value(QLatin1String("description")).toString(), QStringLiteral("Slides in."));
    QCOMPARE(good.value(QLatin1String("hidden")).toBool(), false);
    QCOMPARE(good.value(QLatin1String("width")).toInt(), 1920);
    QCOMPARE(good.value(QLatin1String("height")).toInt(), 1080);
    QCOMPARE(good.value(QLatin1String("frameRate")).toDouble(), 25.0);
    QCOMPARE(good.value(QLatin1String("durationSeconds")).toDouble(), 10.0);
    QCOMPARE(names(good.value(QLatin1String("parameters"))), strings({"Name", "Role"}));
    QCOMPARE(good.value(QLatin1String("plugIns")).toArray().at(0).toObject().value(QLatin1String("name")).toString(),
             QStringLiteral("Glow Pro"));
    // Media present in the archive's template folder are not missing.
    QCOMPARE(names(good.value(QLatin1String("missingMedia"))), strings({"Media/gone.png"}));
    QCOMPARE(good.value(QLatin1String("detailsUnavailable")).toBool(), false);

    const QJsonObject old = templates.value(QStringLiteral("LT_Old"));
    QCOMPARE(names(old.value(QLatin1String("marks"))), strings({"hidden"}));
    QCOMPARE(old.value(QLatin1String("hidden")).toBool(), true);
    QCOMPARE(old.value(QLatin1String("flags")).toInt(), 2);
    QCOMPARE(names(templates.value(QStringLiteral("LT_Plain")).value(QLatin1String("marks"))), QStringList());

    // Hostile documents: details unavailable with a reason, every field null.
    for (const char *hostile : {"LT_Bomb", "LT_Cut", "LT_Binary"}) {
        const QJsonObject object = templates.value(QLatin1String(hostile));
        QVERIFY2(object.value(QLatin1String("detailsUnavailable")).toBool(), hostile);
        QVERIFY(!object.value(QLatin1String("detailsUnavailableReason")).toString().isEmpty());
        QCOMPARE(names(object.value(QLatin1String("marks"))), strings({"detailsUnavailable"}));
        QVERIFY(object.value(QLatin1String("width")).isNull());
        QVERIFY(object.value(QLatin1String("parameters")).isNull());
    }
    // Listing wrote nothing, not even the templates folder.
    QVERIFY(!QFileInfo::exists(_dest));
}

void tst_DocumentsCli::listTableMarks()
{
    const CliRun run = runMtzip({QStringLiteral("list"), QStringLiteral("--fcp-version"), QStringLiteral("10.8"),
                                 QStringLiteral("--dest"), _dest, _pack});
    QCOMPARE(run.exitCode, 0);
    QHash<QString, QString> marks;
    const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QVERIFY(lines.at(0).contains(QLatin1String("Marks")));
    for (const QString &line : lines.mid(1)) {
        const QStringList cells = line.simplified().split(QLatin1Char(' '));
        marks.insert(cells.last().section(QLatin1Char('/'), -1), cells.at(2));
    }
    QCOMPARE(marks.value(QStringLiteral("LT_Good")), QStringLiteral("NPM"));
    QCOMPARE(marks.value(QStringLiteral("LT_Old")), QStringLiteral("H"));
    QCOMPARE(marks.value(QStringLiteral("LT_Plain")), QStringLiteral("-"));
    QCOMPARE(marks.value(QStringLiteral("LT_Bomb")), QStringLiteral("?"));
    QCOMPARE(marks.value(QStringLiteral("LT_Binary")), QStringLiteral("?"));
}

void tst_DocumentsCli::finalCutVersionPrecedence_data()
{
    QTest::addColumn<QString>("setting");
    QTest::addColumn<QString>("option");
    QTest::addColumn<bool>("tooNew");
    // No Final Cut Pro on the test machine: without either, nothing is too new.
    QTest::newRow("neither") << QString() << QString() << false;
    QTest::newRow("setting too old") << QStringLiteral("10.8") << QString() << true;
    QTest::newRow("setting new enough") << QStringLiteral("11.1") << QString() << false;
    QTest::newRow("option overrides the setting") << QStringLiteral("11.1") << QStringLiteral("11.0") << true;
    QTest::newRow("option overrides the other way") << QStringLiteral("10.4") << QStringLiteral("12") << false;
    QTest::newRow("a setting that is no version counts as unset") << QStringLiteral("new") << QString() << false;
}

void tst_DocumentsCli::finalCutVersionPrecedence()
{
    QFETCH(QString, setting);
    QFETCH(QString, option);
    QFETCH(bool, tooNew);
    UserSettings::setFinalCutVersionOverride(setting);
    QStringList arguments{QStringLiteral("list"), QStringLiteral("--json"), QStringLiteral("--dest"), _dest};
    if (!option.isEmpty())
        arguments << QStringLiteral("--fcp-version") << option;
    const CliRun run = runMtzip(arguments << _pack);
    QCOMPARE(run.exitCode, 0);
    const QHash<QString, QJsonObject> templates = byFolder(
        parseObject(run.out).value(QLatin1String("archives")).toArray().at(0).toObject().value(QLatin1String("templates")).toArray());
    QCOMPARE(names(templates.value(QStringLiteral("LT_Good")).value(QLatin1String("marks"))).contains(QLatin1String("tooNew")),
             tooNew);
}

void tst_DocumentsCli::badFinalCutVersion_data()
{
    QTest::addColumn<QStringList>("command");
    QTest::addColumn<QString>("value");
    const QStringList list{QStringLiteral("list")};
    QTest::newRow("list, words") << list << QStringLiteral("eleven");
    QTest::newRow("list, suffix") << list << QStringLiteral("11.1b");
    QTest::newRow("list, empty") << list << QString();
    QTest::newRow("install") << QStringList{QStringLiteral("install")} << QStringLiteral("11.x");
    QTest::newRow("installed") << QStringList{QStringLiteral("installed")} << QStringLiteral("-1");
    QTest::newRow("info") << QStringList{QStringLiteral("info")} << QStringLiteral("1..2");
}

void tst_DocumentsCli::badFinalCutVersion()
{
    QFETCH(QStringList, command);
    QFETCH(QString, value);
    QVERIFY(QDir().mkpath(_dest));
    QStringList arguments = command;
    arguments << QStringLiteral("--dest") << _dest << (QStringLiteral("--fcp-version=") + value);
    if (command.first() == QLatin1String("list") || command.first() == QLatin1String("install"))
        arguments << _pack;
    else if (command.first() == QLatin1String("info"))
        arguments << QStringLiteral("LT_Docs");
    const CliRun run = runMtzip(arguments);
    QCOMPARE(run.exitCode, int(Cli::UsageError));
    QVERIFY2(run.err.contains(QStringLiteral("--fcp-version takes a version such as 11.1, not \"%1\"").arg(value)),
             qPrintable(run.err));
    // Nothing was installed for it.
    QVERIFY(!QFileInfo::exists(templateFolder(QStringLiteral("LT_Good"))));
}

void tst_DocumentsCli::installWarnsOfTooNew()
{
    const CliRun run = runMtzip({QStringLiteral("install"), QStringLiteral("--fcp-version"), QStringLiteral("10.8"),
                                 QStringLiteral("--dest"), _dest, _pack});
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.err.contains(QStringLiteral("LT_Good needs Final Cut Pro 11.1 or later; this Mac has 10.8")),
             qPrintable(run.err));
    // One warning: the others open in 10.8, or cannot be read (not held against them).
    QCOMPARE(run.err.count(QLatin1String("needs")), 1);
    for (const char *name : {"LT_Good", "LT_Old", "LT_Plain", "LT_Bomb", "LT_Cut", "LT_Binary"})
        QVERIFY2(QFileInfo(templateFolder(QLatin1String(name))).isDir(), name);
}

void tst_DocumentsCli::installSkipsTooNew()
{
    const CliRun run = runMtzip({QStringLiteral("install"), QStringLiteral("--json"), QStringLiteral("--skip-too-new"),
                                 QStringLiteral("--fcp-version"), QStringLiteral("10.4"), QStringLiteral("--dest"), _dest, _pack});
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.err.contains(QStringLiteral("LT_Good needs Final Cut Pro 11.1 or later; this Mac has 10.4; left out")),
             qPrintable(run.err));
    QVERIFY(run.err.contains(QStringLiteral("LT_Plain needs Final Cut Pro 10.8 or later; this Mac has 10.4; left out")));
    QVERIFY(!QFileInfo::exists(templateFolder(QStringLiteral("LT_Good"))));
    QVERIFY(!QFileInfo::exists(templateFolder(QStringLiteral("LT_Plain"))));
    for (const char *name : {"LT_Old", "LT_Bomb", "LT_Cut", "LT_Binary"})
        QVERIFY2(QFileInfo(templateFolder(QLatin1String(name))).isDir(), name);
    const QJsonObject archive = parseObject(run.out).value(QLatin1String("archives")).toArray().at(0).toObject();
    QCOMPARE(archive.value(QLatin1String("newlyInstalled")).toInt(), 4);
    const QHash<QString, QJsonObject> templates = byFolder(archive.value(QLatin1String("templates")).toArray());
    QCOMPARE(templates.value(QStringLiteral("LT_Good")).value(QLatin1String("action")).toString(), QStringLiteral("skip-too-new"));
    QCOMPARE(templates.value(QStringLiteral("LT_Old")).value(QLatin1String("tooNew")).toBool(), false);

    // Every template too new: nothing installed, nothing failed.
    const CliRun none = runMtzip({QStringLiteral("install"), QStringLiteral("--skip-too-new"), QStringLiteral("--fcp-version"),
                                  QStringLiteral("9.0"), QStringLiteral("--dest"), _dest, _pack});
    QCOMPARE(none.exitCode, 0);
    QVERIFY(!QFileInfo::exists(templateFolder(QStringLiteral("LT_Good"))));
}

void tst_DocumentsCli::installedAndInfoFields()
{
    QCOMPARE(install(), QString());
    // A hostile document that lands on disk is no failure either.
    const CliRun installed = runMtzip({QStringLiteral("installed"), QStringLiteral("--json"), QStringLiteral("--fcp-version"),
                                       QStringLiteral("11.0"), QStringLiteral("--dest"), _dest});
    QCOMPARE(installed.exitCode, 0);
    QHash<QString, QJsonObject> templates = byFolder(parseObject(installed.out).value(QLatin1String("templates")).toArray());
    QCOMPARE(templates.size(), 6);
    QCOMPARE(names(templates.value(QStringLiteral("LT_Good")).value(QLatin1String("marks"))),
             strings({"tooNew", "needsPlugIn", "missingMedia"}));
    QCOMPARE(names(templates.value(QStringLiteral("LT_Good")).value(QLatin1String("missingMedia"))), strings({"Media/gone.png"}));
    QCOMPARE(templates.value(QStringLiteral("LT_Old")).value(QLatin1String("hidden")).toBool(), true);
    QVERIFY(templates.value(QStringLiteral("LT_Bomb")).value(QLatin1String("detailsUnavailable")).toBool());

    const CliRun table = runMtzip({QStringLiteral("installed"), QStringLiteral("--fcp-version"), QStringLiteral("12"),
                                   QStringLiteral("--dest"), _dest});
    QCOMPARE(table.exitCode, 0);
    QVERIFY(table.out.section(QLatin1Char('\n'), 0, 0).contains(QLatin1String("Marks")));
    QString goodRow;
    for (const QString &line : table.out.split(QLatin1Char('\n'))) {
        if (line.endsWith(QLatin1String("/LT_Good")))
            goodRow = line;
    }
    QCOMPARE(goodRow.simplified().section(QLatin1Char(' '), 1, 1), QStringLiteral("PM"));

    const CliRun info = runMtzip({QStringLiteral("info"), QStringLiteral("--json"), QStringLiteral("--fcp-version"),
                                  QStringLiteral("10.8"), QStringLiteral("--dest"), _dest, QStringLiteral("LT_Docs")});
    QCOMPARE(info.exitCode, 0);
    templates = byFolder(parseObject(info.out).value(QLatin1String("archive")).toObject().value(QLatin1String("templates")).toArray());
    QCOMPARE(templates.size(), 6);
    QCOMPARE(templates.value(QStringLiteral("LT_Good")).value(QLatin1String("finalCutRequired")).toString(), QStringLiteral("11.1"));
    QCOMPARE(names(templates.value(QStringLiteral("LT_Good")).value(QLatin1String("marks"))).first(), QStringLiteral("tooNew"));
    QVERIFY(templates.value(QStringLiteral("LT_Binary")).value(QLatin1String("detailsUnavailable")).toBool());
}

void tst_DocumentsCli::hideThenShow()
{
    QCOMPARE(install(), QString());
    const QString documentPath = templateFolder(QStringLiteral("LT_Good")) + QStringLiteral("/LT_Good.moti");
    const QByteArray original = readFile(_source + QStringLiteral("/LT_Good/LT_Good.moti"));
    QCOMPARE(readFile(documentPath), original);
    const auto verifyGood = [&] {
        const CliRun run = runMtzip({QStringLiteral("verify"), QStringLiteral("--json"), QStringLiteral("--dest"), _dest,
                                     QStringLiteral("Titles.localized/ZT Lower Thirds/LT_Good")});
        const QJsonObject document = parseObject(run.out);
        const QJsonObject entry = document.value(QLatin1String("templates")).toArray().at(0).toObject();
        return std::make_pair(run.exitCode == 0 && document.value(QLatin1String("intact")).toBool() && entry.value(QLatin1String("intact")).toBool(),
                              entry.value(QLatin1String("hidden")).toBool());
    };
    QCOMPARE(verifyGood(), std::make_pair(true, false));

    CliRun run = runMtzip({QStringLiteral("hide"), QStringLiteral("--dest"), _dest, QStringLiteral("Titles.localized/ZT Lower Thirds/LT_Good")});
    QCOMPARE(run.exitCode, 0);
    QVERIFY(run.out.startsWith(QLatin1String("hidden  Titles.localized/ZT Lower Thirds/LT_Good")));
    QVERIFY(readFile(documentPath) != original);
    QCOMPARE(verifyGood(), std::make_pair(true, true));
    const CliRun verifyText = runMtzip({QStringLiteral("verify"), QStringLiteral("--dest"), _dest});
    QCOMPARE(verifyText.exitCode, 0);
    QVERIFY2(verifyText.out.contains(QLatin1String("LT_Good: hidden")), qPrintable(verifyText.out));
    const CliRun installed = runMtzip({QStringLiteral("installed"), QStringLiteral("--json"), QStringLiteral("--dest"), _dest});
    QVERIFY(byFolder(parseObject(installed.out).value(QLatin1String("templates")).toArray())
                .value(QStringLiteral("LT_Good")).value(QLatin1String("hidden")).toBool());
    // info counts it unchanged: hidden is no edit.
    const CliRun info = runMtzip({QStringLiteral("info"), QStringLiteral("--json"), QStringLiteral("--dest"), _dest, QStringLiteral("LT_Docs")});
    QCOMPARE(byFolder(parseObject(info.out).value(QLatin1String("archive")).toObject().value(QLatin1String("templates")).toArray())
                 .value(QStringLiteral("LT_Good")).value(QLatin1String("state")).toString(),
             QStringLiteral("unchanged"));

    // Again: nothing to do. By archive title: every template of it.
    run = runMtzip({QStringLiteral("hide"), QStringLiteral("--json"), QStringLiteral("--dest"), _dest, QStringLiteral("LT_Docs")});
    QCOMPARE(run.exitCode, 1);  // the hostile documents cannot be edited
    QHash<QString, QString> results;
    for (const QJsonValue &value : parseObject(run.out).value(QLatin1String("templates")).toArray())
        results.insert(value[QLatin1String("destination")].toString().section(QLatin1Char('/'), -1), value[QLatin1String("result")].toString());
    QCOMPARE(results.value(QStringLiteral("LT_Good")), QStringLiteral("already-hidden"));
    QCOMPARE(results.value(QStringLiteral("LT_Old")), QStringLiteral("already-hidden"));
    QCOMPARE(results.value(QStringLiteral("LT_Plain")), QStringLiteral("hidden"));
    QCOMPARE(results.value(QStringLiteral("LT_Bomb")), QStringLiteral("refused"));

    run = runMtzip({QStringLiteral("show"), QStringLiteral("--dest"), _dest, QStringLiteral("Titles.localized/ZT Lower Thirds/LT_Good"),
                    QStringLiteral("Titles.localized/ZT Lower Thirds/LT_Plain")});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(readFile(documentPath), original);
    QCOMPARE(readFile(templateFolder(QStringLiteral("LT_Plain")) + QStringLiteral("/LT_Plain.moti")),
             readFile(_source + QStringLiteral("/LT_Plain/LT_Plain.moti")));
    QCOMPARE(verifyGood(), std::make_pair(true, false));
    // A hidden copy is no edit of the user's: installing the archive again
    // replaces it as an unchanged one, shown as the archive has it.
    QCOMPARE(runMtzip({QStringLiteral("hide"), QStringLiteral("--dest"), _dest,
                       QStringLiteral("Titles.localized/ZT Lower Thirds/LT_Good")}).exitCode, 0);
    QCOMPARE(install(), QString());
    QCOMPARE(readFile(documentPath), original);
    QCOMPARE(verifyGood(), std::make_pair(true, false));
    // Showing the one the archive hid gives a changed document, as any edit would.
    run = runMtzip({QStringLiteral("show"), QStringLiteral("--dest"), _dest, QStringLiteral("Titles.localized/ZT Lower Thirds/LT_Old")});
    QCOMPARE(run.exitCode, 0);
    const CliRun verifyOld = runMtzip({QStringLiteral("verify"), QStringLiteral("--dest"), _dest, QStringLiteral("Titles.localized/ZT Lower Thirds/LT_Old")});
    QCOMPARE(verifyOld.exitCode, 1);
}

void tst_DocumentsCli::hideRefusesWhatItCannotEdit()
{
    QCOMPARE(install(), QString());
    const QString cut = templateFolder(QStringLiteral("LT_Cut")) + QStringLiteral("/LT_Cut.moti");
    const QByteArray before = readFile(cut);
    const CliRun run = runMtzip({QStringLiteral("hide"), QStringLiteral("--dest"), _dest,
                                 QStringLiteral("Titles.localized/ZT Lower Thirds/LT_Cut"), QStringLiteral("nothing/like/this")});
    // An unknown name changes nothing at all.
    QCOMPARE(run.exitCode, 1);
    QVERIFY(run.err.contains(QLatin1String("nothing was changed")));
    const CliRun cutOnly = runMtzip({QStringLiteral("hide"), QStringLiteral("--dest"), _dest,
                                     QStringLiteral("Titles.localized/ZT Lower Thirds/LT_Cut")});
    QCOMPARE(cutOnly.exitCode, 1);
    QVERIFY2(cutOnly.err.contains(QLatin1String("cannot hide Titles.localized/ZT Lower Thirds/LT_Cut")), qPrintable(cutOnly.err));
    QCOMPARE(readFile(cut), before);
    QCOMPARE(TestSupport::entryNames(templateFolder(QStringLiteral("LT_Cut")), QDir::Name), strings({"LT_Cut.moti"}));

    // --quiet keeps the error and drops the lines of what was done.
    const QString good = templateFolder(QStringLiteral("LT_Good")) + QStringLiteral("/LT_Good.moti");
    const QByteArray shown = readFile(good);
    const CliRun quiet = runMtzip({QStringLiteral("-q"), QStringLiteral("hide"), QStringLiteral("--dest"), _dest,
                                   QStringLiteral("Titles.localized/ZT Lower Thirds/LT_Good"),
                                   QStringLiteral("Titles.localized/ZT Lower Thirds/LT_Cut")});
    QCOMPARE(quiet.exitCode, 1);
    QCOMPARE(quiet.out, QString());
    QVERIFY2(quiet.err.contains(QLatin1String("cannot hide Titles.localized/ZT Lower Thirds/LT_Cut")), qPrintable(quiet.err));
    QVERIFY(readFile(good) != shown);
}

QTEST_GUILESS_MAIN(tst_DocumentsCli)
#include "tst_DocumentsCli.moc"
