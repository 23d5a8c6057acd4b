// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
// mtzip owner, files, info and installed --archives, run in-process over a
// folder holding two archives' templates, a hand copy, an edited, a missing
// and a replaced template.
#include "CliTestTools.h"
#include "Cli/Cli.h"
#include "Common/FileOperations.h"
#include "Installer/Receipt.h"
#include "TestSupport.h"
#include "ZipTestTools.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace TestSupport;
using ZipTestTools::packFolder;

namespace {

QJsonObject parse(const CliRun &run)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(run.out.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError)
        qWarning("not JSON: %s", qPrintable(run.out));
    return document.object();
}

QStringList lines(const QString &text)
{
    return text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

const QString LowerThirds = QStringLiteral("Titles.localized/ZT Lower Thirds");
const QString Hand = QStringLiteral("Titles.localized/Mine/LT_Hand");

QString at(const QString &name)
{
    return LowerThirds + QLatin1Char('/') + name;
}

} // namespace

class tst_ArchiveQueriesCli : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void ownerTellsWhoInstalledAPath_data();
    void ownerTellsWhoInstalledAPath();
    void ownerAnswersEveryPathInOrder();
    void filesListsWhatAReceiptNames_data();
    void filesListsWhatAReceiptNames();
    void filesOfNothingExitsWithOne();
    void infoTellsTheStateOfEachTemplate();
    void infoComparesAGivenArchive_data();
    void infoComparesAGivenArchive();
    void infoOfNothingExitsWithOne();
    void installedArchivesListsOneLinePerArchive();
    void decomposedNamesMatchComposedArguments_data();
    void decomposedNamesMatchComposedArguments();

private:
    QString makePack(const QString &name, const QStringList &templates);
    void install(const QString &archive);
    CliRun run(QStringList arguments);

    std::unique_ptr<QTemporaryDir> _dir;
    QString _dest;
    QString _alpha;
    QString _beta;
};

QString tst_ArchiveQueriesCli::makePack(const QString &name, const QStringList &templates)
{
    const QString source = _dir->filePath(QStringLiteral("src-") + name);
    for (const QString &folder : templates) {
        writeFileOrFail(source + QLatin1Char('/') + folder + QLatin1Char('/') + folder + QStringLiteral(".moti"),
                        folder.toUtf8());
        writeFileOrFail(source + QLatin1Char('/') + folder + QStringLiteral("/Media/clip.mov"), QByteArray(300, 'x'));
    }
    const QString archive = _dir->filePath(name + QStringLiteral(".mtzip"));
    packFolder(source, archive);
    return archive;
}

void tst_ArchiveQueriesCli::install(const QString &archive)
{
    const CliRun installed = run({QStringLiteral("install"), archive});
    QVERIFY2(installed.exitCode == 0, qPrintable(installed.err));
}

CliRun tst_ArchiveQueriesCli::run(QStringList arguments)
{
    arguments.insert(1, QStringLiteral("--dest"));
    arguments.insert(2, _dest);
    return runMtzip(arguments);
}

// LT_Alpha: One (edited), Two (unchanged), Four (missing) and, by an older
// receipt entry, Three, which LT_Beta installed since. A hand copy beside.
void tst_ArchiveQueriesCli::init()
{
    _dir = std::make_unique<QTemporaryDir>();
    QVERIFY(_dir->isValid());
    _dest = _dir->filePath(QStringLiteral("Motion Templates.localized"));
    QVERIFY(QDir().mkpath(_dest));
    _alpha = makePack(QStringLiteral("LT_Alpha"), {QStringLiteral("LT_One"), QStringLiteral("LT_Two"),
                                                    QStringLiteral("LT_Four")});
    _beta = makePack(QStringLiteral("LT_Beta"), {QStringLiteral("LT_Three")});
    install(_alpha);
    install(_beta);

    const QString alphaReceipt = Receipt::pathFor(_dest, QStringLiteral("LT_Alpha"));
    std::optional<Receipt> alpha = Receipt::read(alphaReceipt);
    const std::optional<Receipt> beta = Receipt::read(Receipt::pathFor(_dest, QStringLiteral("LT_Beta")));
    QVERIFY(alpha && beta);
    alpha->installedAt = alpha->installedAt.addSecs(-3600);
    alpha->templates.push_back(beta->templates.front());
    writeFileOrFail(alphaReceipt, alpha->toJson());

    writeFileOrFail(_dest + QLatin1Char('/') + at(QStringLiteral("LT_One/Media/clip.mov")), QByteArray(300, 'y'));
    writeFileOrFail(_dest + QLatin1Char('/') + at(QStringLiteral("LT_One/notes.txt")), "mine");
    QVERIFY(!FileOperations::removeAll(_dest + QLatin1Char('/') + at(QStringLiteral("LT_Four"))));
    writeFileOrFail(_dest + QLatin1Char('/') + Hand + QStringLiteral("/LT_Hand.moti"), "hand");
}

void tst_ArchiveQueriesCli::ownerTellsWhoInstalledAPath_data()
{
    QTest::addColumn<QString>("path");   // %1: the templates folder
    QTest::addColumn<QString>("owner");  // as printed; the JSON's member in parentheses
    QTest::addColumn<QString>("json");
    QTest::addColumn<QString>("templateFolder");
    QTest::newRow("a file of a template") << at(QStringLiteral("LT_Two/Media/clip.mov")) << QStringLiteral("LT_Alpha")
                                          << QStringLiteral("archive") << at(QStringLiteral("LT_Two"));
    QTest::newRow("a template folder, absolute") << QStringLiteral("%1/") + at(QStringLiteral("LT_One"))
                                                 << QStringLiteral("LT_Alpha") << QStringLiteral("archive")
                                                 << at(QStringLiteral("LT_One"));
    QTest::newRow("a file added to a template") << at(QStringLiteral("LT_One/notes.txt")) << QStringLiteral("LT_Alpha")
                                                << QStringLiteral("archive") << at(QStringLiteral("LT_One"));
    QTest::newRow("a template two receipts name: the newer") << at(QStringLiteral("LT_Three/LT_Three.moti"))
                                                             << QStringLiteral("LT_Beta") << QStringLiteral("archive")
                                                             << at(QStringLiteral("LT_Three"));
    QTest::newRow("a file of a hand copy") << Hand + QStringLiteral("/LT_Hand.moti") << QStringLiteral("(hand copy)")
                                           << QStringLiteral("handCopy") << Hand;
    QTest::newRow("a category folder") << LowerThirds << QStringLiteral("(not installed)")
                                       << QStringLiteral("notInstalled") << QString();
    QTest::newRow("the templates folder") << QStringLiteral("%1") << QStringLiteral("(not installed)")
                                          << QStringLiteral("notInstalled") << QString();
    QTest::newRow("a file no longer there") << at(QStringLiteral("LT_Four/LT_Four.moti"))
                                            << QStringLiteral("(not installed)") << QStringLiteral("notInstalled")
                                            << QString();
    QTest::newRow("outside the templates folder") << QStringLiteral("%1/../src-LT_Beta/LT_Three/LT_Three.moti")
                                                  << QStringLiteral("(not installed)")
                                                  << QStringLiteral("notInstalled") << QString();
}

void tst_ArchiveQueriesCli::ownerTellsWhoInstalledAPath()
{
    QFETCH(QString, path);
    QFETCH(QString, owner);
    QFETCH(QString, json);
    QFETCH(QString, templateFolder);
    path = path.contains(QLatin1String("%1")) ? path.arg(_dest) : path;
    const int exitCode = json == QLatin1String("notInstalled") ? 1 : 0;

    const CliRun text = run({QStringLiteral("owner"), path});
    QCOMPARE(text.exitCode, exitCode);
    QCOMPARE(text.out, owner + QStringLiteral(": ") + path + QLatin1Char('\n'));

    const CliRun asJson = run({QStringLiteral("owner"), QStringLiteral("--json"), path});
    QCOMPARE(asJson.exitCode, exitCode);
    const QJsonObject document = parse(asJson);
    QCOMPARE(document.value(QStringLiteral("command")).toString(), QStringLiteral("owner"));
    QCOMPARE(document.value(QStringLiteral("destination")).toString(), _dest);
    const QJsonArray paths = document.value(QStringLiteral("paths")).toArray();
    QCOMPARE(paths.size(), 1);
    const QJsonObject answer = paths.first().toObject();
    QCOMPARE(answer.value(QStringLiteral("path")).toString(), path);
    QCOMPARE(answer.value(QStringLiteral("owner")).toString(), json);
    QCOMPARE(answer.value(QStringLiteral("archiveTitle")).toString(), json == QLatin1String("archive") ? owner : QString());
    QCOMPARE(answer.value(QStringLiteral("template")).toString(), templateFolder);
}

void tst_ArchiveQueriesCli::ownerAnswersEveryPathInOrder()
{
    const CliRun answer = run({QStringLiteral("owner"), at(QStringLiteral("LT_Three")), QStringLiteral("nothing"),
                               Hand});
    QCOMPARE(answer.exitCode, 1);
    QCOMPARE(lines(answer.out), QStringList({QStringLiteral("LT_Beta: ") + at(QStringLiteral("LT_Three")),
                                             QStringLiteral("(not installed): nothing"),
                                             QStringLiteral("(hand copy): ") + Hand}));
}

void tst_ArchiveQueriesCli::filesListsWhatAReceiptNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("templates");  // whose files come out, in order
    QTest::newRow("an archive title") << QStringLiteral("LT_Beta") << QStringList{QStringLiteral("LT_Three")};
    QTest::newRow("an archive file name") << QStringLiteral("LT_Beta.mtzip") << QStringList{QStringLiteral("LT_Three")};
    QTest::newRow("every template of a receipt, gone or not")
        << QStringLiteral("LT_Alpha")
        << QStringList{QStringLiteral("LT_Four"), QStringLiteral("LT_One"), QStringLiteral("LT_Two"),
                       QStringLiteral("LT_Three")};
    QTest::newRow("a template title") << QStringLiteral("Two") << QStringList{QStringLiteral("LT_Two")};
    QTest::newRow("a template folder name") << QStringLiteral("LT_Two") << QStringList{QStringLiteral("LT_Two")};
    QTest::newRow("a destination") << at(QStringLiteral("LT_Two")) << QStringList{QStringLiteral("LT_Two")};
    QTest::newRow("a template two receipts name") << QStringLiteral("Three")
                                                  << QStringList{QStringLiteral("LT_Three"), QStringLiteral("LT_Three")};
}

void tst_ArchiveQueriesCli::filesListsWhatAReceiptNames()
{
    QFETCH(QString, name);
    QFETCH(QStringList, templates);
    QStringList expected;
    for (const QString &folder : std::as_const(templates)) {
        // The receipt's order: by path, UTF-8.
        const QString base = _dest + QLatin1Char('/') + at(folder) + QLatin1Char('/');
        expected << base + folder + QStringLiteral(".moti") << base + QStringLiteral("Media/clip.mov");
    }

    const CliRun text = run({QStringLiteral("files"), name});
    QCOMPARE(text.exitCode, 0);
    QCOMPARE(text.err, QString());
    QCOMPARE(lines(text.out), expected);

    const CliRun asJson = run({QStringLiteral("files"), QStringLiteral("--json"), name});
    QCOMPARE(asJson.exitCode, 0);
    const QJsonObject document = parse(asJson);
    QCOMPARE(document.value(QStringLiteral("command")).toString(), QStringLiteral("files"));
    QCOMPARE(document.value(QStringLiteral("name")).toString(), name);
    const QJsonArray found = document.value(QStringLiteral("templates")).toArray();
    QCOMPARE(found.size(), templates.size());
    QStringList paths;
    for (const QJsonValue &entry : found) {
        const QJsonObject object = entry.toObject();
        QVERIFY(object.value(QStringLiteral("archiveTitle")).toString().startsWith(QLatin1String("LT_")));
        QVERIFY(object.value(QStringLiteral("destination")).toString().startsWith(LowerThirds));
        for (const QJsonValue &path : object.value(QStringLiteral("files")).toArray())
            paths.append(path.toString());
    }
    QCOMPARE(paths, expected);
}

void tst_ArchiveQueriesCli::filesOfNothingExitsWithOne()
{
    for (const QString &name : {QStringLiteral("LT_Gamma"), QStringLiteral("LT_Hand"), LowerThirds}) {
        const CliRun text = run({QStringLiteral("files"), name});
        QCOMPARE(text.exitCode, 1);
        QCOMPARE(text.out, QString());
        QVERIFY2(text.err.contains(QLatin1Char('"') + name + QLatin1Char('"')), qPrintable(text.err));
        const CliRun asJson = run({QStringLiteral("files"), QStringLiteral("--json"), name});
        QCOMPARE(asJson.exitCode, 1);
        QCOMPARE(parse(asJson).value(QStringLiteral("templates")).toArray().size(), 0);
    }
}

void tst_ArchiveQueriesCli::infoTellsTheStateOfEachTemplate()
{
    const CliRun text = run({QStringLiteral("info"), QStringLiteral("LT_Alpha")});
    QCOMPARE(text.exitCode, 0);
    const QStringList printed = lines(text.out);
    QVERIFY2(printed.contains(QStringLiteral("Archive:       LT_Alpha.mtzip")), qPrintable(text.out));
    QVERIFY2(printed.contains(QStringLiteral("Path:          ") + _alpha), qPrintable(text.out));
    QVERIFY2(printed.contains(QStringLiteral("Installed by:  mtzip 1.0")), qPrintable(text.out));
    QVERIFY2(printed.contains(QStringLiteral("Templates:     4 (1 unchanged, 1 edited, 1 missing, 1 replaced)")),
             qPrintable(text.out));
    const QStringList table = printed.mid(printed.indexOf(QRegularExpression(QStringLiteral("State .*"))));
    QCOMPARE(table.size(), 5);
    QCOMPARE(table.at(1).simplified(), QStringLiteral("missing Four ") + at(QStringLiteral("LT_Four")));
    QCOMPARE(table.at(2).simplified(), QStringLiteral("edited (1 changed, 1 added) One ") + at(QStringLiteral("LT_One")));
    QCOMPARE(table.at(3).simplified(), QStringLiteral("unchanged Two ") + at(QStringLiteral("LT_Two")));
    QCOMPARE(table.at(4).simplified(), QStringLiteral("replaced by LT_Beta Three ") + at(QStringLiteral("LT_Three")));

    const CliRun asJson = run({QStringLiteral("info"), QStringLiteral("--json"), QStringLiteral("LT_Alpha")});
    QCOMPARE(asJson.exitCode, 0);
    const QJsonObject document = parse(asJson);
    QCOMPARE(document.value(QStringLiteral("command")).toString(), QStringLiteral("info"));
    QVERIFY(document.value(QStringLiteral("givenArchive")).isNull());
    const QJsonObject archive = document.value(QStringLiteral("archive")).toObject();
    QCOMPARE(archive.value(QStringLiteral("title")).toString(), QStringLiteral("LT_Alpha"));
    QCOMPARE(archive.value(QStringLiteral("fileName")).toString(), QStringLiteral("LT_Alpha.mtzip"));
    QCOMPARE(archive.value(QStringLiteral("sha256")).toString().size(), 64);
    QVERIFY(QDateTime::fromString(archive.value(QStringLiteral("installedAt")).toString(), Qt::ISODate).isValid());
    const QJsonArray templates = archive.value(QStringLiteral("templates")).toArray();
    QCOMPARE(templates.size(), 4);
    QMap<QString, QJsonObject> byTitle;
    for (const QJsonValue &entry : templates)
        byTitle.insert(entry.toObject().value(QStringLiteral("title")).toString(), entry.toObject());
    QCOMPARE(byTitle[QStringLiteral("One")].value(QStringLiteral("state")).toString(), QStringLiteral("edited"));
    QCOMPARE(byTitle[QStringLiteral("One")].value(QStringLiteral("changed")).toArray(),
             QJsonArray({QStringLiteral("Media/clip.mov")}));
    QCOMPARE(byTitle[QStringLiteral("One")].value(QStringLiteral("added")).toArray(), QJsonArray({QStringLiteral("notes.txt")}));
    QCOMPARE(byTitle[QStringLiteral("Two")].value(QStringLiteral("state")).toString(), QStringLiteral("unchanged"));
    QCOMPARE(byTitle[QStringLiteral("Four")].value(QStringLiteral("state")).toString(), QStringLiteral("missing"));
    QCOMPARE(byTitle[QStringLiteral("Three")].value(QStringLiteral("state")).toString(), QStringLiteral("replaced"));
    QCOMPARE(byTitle[QStringLiteral("Three")].value(QStringLiteral("replacedBy")).toString(), QStringLiteral("LT_Beta"));
    QVERIFY(byTitle[QStringLiteral("Two")].value(QStringLiteral("replacedBy")).isNull());
}

void tst_ArchiveQueriesCli::infoComparesAGivenArchive_data()
{
    QTest::addColumn<bool>("changed");
    QTest::newRow("the archive installed") << false;
    QTest::newRow("another archive of that name") << true;
}

void tst_ArchiveQueriesCli::infoComparesAGivenArchive()
{
    QFETCH(bool, changed);
    QString archive = _beta;
    if (changed) {
        archive = _dir->filePath(QStringLiteral("elsewhere/LT_Beta.mtzip"));
        QVERIFY(QDir().mkpath(QFileInfo(archive).path()));
        writeFileOrFail(_dir->filePath(QStringLiteral("src-other/LT_Three/LT_Three.moti")), "newer");
        packFolder(_dir->filePath(QStringLiteral("src-other")), archive);
    }
    const CliRun text = run({QStringLiteral("info"), archive});
    QCOMPARE(text.exitCode, 0);
    const QString verdict = changed ? QStringLiteral("has another SHA-256") : QStringLiteral("has the same SHA-256");
    QVERIFY2(text.out.contains(QStringLiteral("Given file:    %1 %2").arg(archive, verdict)), qPrintable(text.out));

    const CliRun asJson = run({QStringLiteral("info"), QStringLiteral("--json"), archive});
    QCOMPARE(asJson.exitCode, 0);
    const QJsonObject given = parse(asJson).value(QStringLiteral("givenArchive")).toObject();
    QCOMPARE(given.value(QStringLiteral("path")).toString(), archive);
    QCOMPARE(given.value(QStringLiteral("matches")).toBool(), !changed);
    QCOMPARE(given.value(QStringLiteral("sha256")).toString().size(), 64);
}

void tst_ArchiveQueriesCli::infoOfNothingExitsWithOne()
{
    const CliRun text = run({QStringLiteral("info"), QStringLiteral("LT_Gamma")});
    QCOMPARE(text.exitCode, 1);
    QCOMPARE(text.out, QString());
    QVERIFY2(text.err.contains(QStringLiteral("\"LT_Gamma\"")), qPrintable(text.err));
    const CliRun asJson = run({QStringLiteral("info"), QStringLiteral("--json"), QStringLiteral("LT_Gamma")});
    QCOMPARE(asJson.exitCode, 1);
    QVERIFY(parse(asJson).value(QStringLiteral("archive")).isNull());
}

void tst_ArchiveQueriesCli::installedArchivesListsOneLinePerArchive()
{
    const CliRun text = run({QStringLiteral("installed"), QStringLiteral("--archives")});
    QCOMPARE(text.exitCode, 0);
    const QStringList printed = lines(text.out);
    QCOMPARE(printed.size(), 4);
    QCOMPARE(printed.at(0).simplified(), QStringLiteral("Archive Templates Installed Path"));
    QVERIFY2(printed.at(1).simplified().startsWith(QStringLiteral("LT_Alpha 4 ")), qPrintable(printed.at(1)));
    QVERIFY2(printed.at(1).endsWith(QLatin1String("  ") + _alpha), qPrintable(printed.at(1)));
    QVERIFY2(printed.at(2).simplified().startsWith(QStringLiteral("LT_Beta 1 ")), qPrintable(printed.at(2)));
    QCOMPARE(printed.at(3), QStringLiteral("2 archives in %1").arg(_dest));

    const CliRun asJson = run({QStringLiteral("installed"), QStringLiteral("--archives"), QStringLiteral("--json")});
    QCOMPARE(asJson.exitCode, 0);
    const QJsonObject document = parse(asJson);
    QCOMPARE(document.value(QStringLiteral("command")).toString(), QStringLiteral("installed"));
    QVERIFY(!document.contains(QStringLiteral("templates")));
    const QJsonArray archives = document.value(QStringLiteral("archives")).toArray();
    QCOMPARE(archives.size(), 2);
    const QJsonObject beta = archives.at(1).toObject();
    QCOMPARE(beta.value(QStringLiteral("title")).toString(), QStringLiteral("LT_Beta"));
    QCOMPARE(beta.value(QStringLiteral("templateCount")).toInt(), 1);
    QCOMPARE(beta.value(QStringLiteral("path")).toString(), _beta);
    QVERIFY(beta.value(QStringLiteral("installedBy")).toString().startsWith(QLatin1String("mtzip ")));
    QCOMPARE(archives.at(0).toObject().value(QStringLiteral("templateCount")).toInt(), 4);

    // A receipt that cannot be read leaves the list short: said, and exit 1.
    writeFileOrFail(Receipt::pathFor(_dest, QStringLiteral("LT_Torn")), "{\"version\": 1, \"archiveTi");
    const CliRun torn = run({QStringLiteral("installed"), QStringLiteral("--archives"), QStringLiteral("--json")});
    QCOMPARE(torn.exitCode, 1);
    QVERIFY2(torn.err.contains(QStringLiteral("LT_Torn.json cannot be read")), qPrintable(torn.err));
    QCOMPARE(parse(torn).value(QStringLiteral("unreadableReceipts")).toArray().size(), 1);
}

void tst_ArchiveQueriesCli::decomposedNamesMatchComposedArguments_data()
{
    // ARCHIVE and FOLDER stand for the names: composed in the arguments,
    // decomposed, as they are on disk and in the receipt, in the output.
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("expected");
    QTest::newRow("owner") << strings({"owner", "Titles.localized/ZT Lower Thirds/FOLDER/Media/clip.mov"})
                           << QStringLiteral("ARCHIVE: Titles.localized");
    QTest::newRow("owner, absolute") << strings({"owner", "ROOT/Titles.localized/ZT Lower Thirds/FOLDER"})
                                     << QStringLiteral("ARCHIVE: ROOT");
    QTest::newRow("files by archive title") << strings({"files", "ARCHIVE"}) << QStringLiteral("/FOLDER/Media/clip.mov");
    QTest::newRow("files by folder name") << strings({"files", "FOLDER"}) << QStringLiteral("/FOLDER/FOLDER.moti");
    QTest::newRow("info by archive title") << strings({"info", "ARCHIVE"}) << QStringLiteral("Archive:       ARCHIVE.mtzip");
    QTest::newRow("verify by archive title") << strings({"verify", "ARCHIVE"})
                                             << QStringLiteral("1 template checked: 1 intact");
    QTest::newRow("verify by folder name") << strings({"verify", "FOLDER"}) << QStringLiteral("1 template checked: 1 intact");
    QTest::newRow("remove by path") << strings({"remove", "Titles.localized/ZT Lower Thirds/FOLDER"})
                                    << QStringLiteral("1 template removed");
    QTest::newRow("remove by archive title") << strings({"remove", "ARCHIVE"}) << QStringLiteral("1 template removed");
}

void tst_ArchiveQueriesCli::decomposedNamesMatchComposedArguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, expected);
    // A Mac-made archive: its name and its folders' names decomposed.
    const QString archive = QStringLiteral("LT_Cr\u00e8me");
    const QString folder = QStringLiteral("LT_Caf\u00e9");
    const QString archiveOnDisk = archive.normalized(QString::NormalizationForm_D);
    const QString folderOnDisk = folder.normalized(QString::NormalizationForm_D);
    QVERIFY(folder != folderOnDisk);
    install(makePack(archiveOnDisk, {folderOnDisk}));
    const QString installed = _dest + QLatin1Char('/') + at(folderOnDisk);
    QVERIFY(QFileInfo::exists(installed));

    for (QString &argument : arguments)
        argument.replace(QLatin1String("ARCHIVE"), archive).replace(QLatin1String("FOLDER"), folder)
            .replace(QLatin1String("ROOT"), _dest);
    expected.replace(QLatin1String("ARCHIVE"), archiveOnDisk).replace(QLatin1String("FOLDER"), folderOnDisk)
        .replace(QLatin1String("ROOT"), _dest);
    const CliRun answer = run(arguments);
    QVERIFY2(answer.exitCode == 0, qPrintable(answer.err));
    QVERIFY2(answer.out.contains(expected), qPrintable(answer.out));
    // Nothing was renamed; only remove takes it away.
    QCOMPARE(QFileInfo::exists(installed), arguments.first() != QLatin1String("remove"));
    QVERIFY(!QFileInfo::exists(_dest + QLatin1Char('/') + at(folder)));
}

QTEST_GUILESS_MAIN(tst_ArchiveQueriesCli)
#include "tst_ArchiveQueriesCli.moc"
