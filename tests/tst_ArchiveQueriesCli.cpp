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
    void ownerTellsWhoInstalledEachPath();
    void filesListsWhatAReceiptNames_data();
    void filesListsWhatAReceiptNames();
    void filesOrInfoOfNothingExitsWithOne_data();
    void filesOrInfoOfNothingExitsWithOne();
    void infoTellsTheStateOfEachTemplate();
    void infoComparesAGivenArchive_data();
    void infoComparesAGivenArchive();
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

void tst_ArchiveQueriesCli::ownerTellsWhoInstalledEachPath()
{
    // Path (ROOT: the templates folder), as printed, the JSON's owner, its template.
    const QList<QStringList> cases{
        {at(QStringLiteral("LT_Two/Media/clip.mov")), QStringLiteral("LT_Alpha"), QStringLiteral("archive"),
         at(QStringLiteral("LT_Two"))},
        {QStringLiteral("ROOT/") + at(QStringLiteral("LT_One")), QStringLiteral("LT_Alpha"), QStringLiteral("archive"),
         at(QStringLiteral("LT_One"))},
        {at(QStringLiteral("LT_One/notes.txt")), QStringLiteral("LT_Alpha"), QStringLiteral("archive"),
         at(QStringLiteral("LT_One"))},
        // Two receipts name it: the newer install speaks for it.
        {at(QStringLiteral("LT_Three/LT_Three.moti")), QStringLiteral("LT_Beta"), QStringLiteral("archive"),
         at(QStringLiteral("LT_Three"))},
        {Hand + QStringLiteral("/LT_Hand.moti"), QStringLiteral("(hand copy)"), QStringLiteral("handCopy"), Hand},
        {LowerThirds, QStringLiteral("(not installed)"), QStringLiteral("notInstalled"), QString()},
        {QStringLiteral("ROOT"), QStringLiteral("(not installed)"), QStringLiteral("notInstalled"), QString()},
        {at(QStringLiteral("LT_Four/LT_Four.moti")), QStringLiteral("(not installed)"), QStringLiteral("notInstalled"),
         QString()},
        {QStringLiteral("ROOT/../src-LT_Beta/LT_Three/LT_Three.moti"), QStringLiteral("(not installed)"),
         QStringLiteral("notInstalled"), QString()}};
    QStringList paths, printed;
    for (const QStringList &row : cases) {
        paths.append(QString(row.at(0)).replace(QLatin1String("ROOT"), _dest));
        printed.append(row.at(1) + QStringLiteral(": ") + paths.last());
    }
    const CliRun text = run(QStringList{QStringLiteral("owner")} + paths);
    QCOMPARE(text.exitCode, 1);
    QCOMPARE(lines(text.out), printed);
    // Exit 0 once every path is installed.
    QCOMPARE(run(QStringList{QStringLiteral("owner")} + paths.first(5)).exitCode, 0);

    const CliRun asJson = run(QStringList{QStringLiteral("owner"), QStringLiteral("--json")} + paths);
    QCOMPARE(asJson.exitCode, 1);
    const QJsonObject document = parse(asJson);
    QCOMPARE(document.value(QStringLiteral("command")).toString(), QStringLiteral("owner"));
    const QJsonArray answers = document.value(QStringLiteral("paths")).toArray();
    QCOMPARE(answers.size(), cases.size());
    for (qsizetype i = 0; i < cases.size(); ++i) {
        const QJsonObject answer = answers.at(i).toObject();
        const bool archive = cases[i][2] == QLatin1String("archive");
        QCOMPARE(answer.value(QStringLiteral("path")).toString(), paths.at(i));
        QCOMPARE(answer.value(QStringLiteral("owner")).toString(), cases[i][2]);
        QCOMPARE(answer.value(QStringLiteral("archiveTitle")).toString(), archive ? cases[i][1] : QString());
        QCOMPARE(answer.value(QStringLiteral("template")).toString(), cases[i][3]);
    }
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
    QCOMPARE(lines(text.out), expected);

    const CliRun asJson = run({QStringLiteral("files"), QStringLiteral("--json"), name});
    QCOMPARE(asJson.exitCode, 0);
    const QJsonArray found = parse(asJson).value(QStringLiteral("templates")).toArray();
    QCOMPARE(found.size(), templates.size());
    QStringList paths;
    for (const QJsonValue &entry : found) {
        QVERIFY(entry[QStringLiteral("archiveTitle")].toString().startsWith(QLatin1String("LT_")));
        for (const QJsonValue &path : entry[QStringLiteral("files")].toArray())
            paths.append(path.toString());
    }
    QCOMPARE(paths, expected);
}

void tst_ArchiveQueriesCli::filesOrInfoOfNothingExitsWithOne_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("emptyMember");  // in the JSON
    QTest::newRow("files of no archive") << strings({"files", "LT_Gamma"}) << QStringLiteral("templates");
    QTest::newRow("files of a hand copy") << strings({"files", "LT_Hand"}) << QStringLiteral("templates");
    QTest::newRow("files of a category folder") << QStringList{QStringLiteral("files"), LowerThirds}
                                                << QStringLiteral("templates");
    QTest::newRow("info of no archive") << strings({"info", "LT_Gamma"}) << QStringLiteral("archive");
}

void tst_ArchiveQueriesCli::filesOrInfoOfNothingExitsWithOne()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, emptyMember);
    const CliRun text = run(arguments);
    QCOMPARE(text.exitCode, 1);
    QCOMPARE(text.out, QString());
    QVERIFY2(text.err.contains(QLatin1Char('"') + arguments.last() + QLatin1Char('"')), qPrintable(text.err));
    const CliRun asJson = run(arguments << QStringLiteral("--json"));
    QCOMPARE(asJson.exitCode, 1);
    const QJsonValue empty = parse(asJson).value(emptyMember);
    QVERIFY(empty.isNull() || empty.toArray().isEmpty());
}

void tst_ArchiveQueriesCli::infoTellsTheStateOfEachTemplate()
{
    const CliRun text = run({QStringLiteral("info"), QStringLiteral("LT_Alpha")});
    QCOMPARE(text.exitCode, 0);
    const QStringList printed = lines(text.out);
    for (const QString &fact : QStringList{QStringLiteral("Archive:       LT_Alpha.mtzip"),
                                           QStringLiteral("Path:          ") + _alpha,
                                           QStringLiteral("Installed by:  mtzip 1.0"),
                                           QStringLiteral("Templates:     4 (1 unchanged, 1 edited, 1 missing, 1 replaced)")})
        QVERIFY2(printed.contains(fact), qPrintable(fact));
    QStringList table = printed.mid(printed.indexOf(QRegularExpression(QStringLiteral("State .*"))) + 1);
    for (QString &row : table)
        row = row.simplified();
    // The marks: none for what is gone or replaced; "?" for these documents, which are no template documents.
    QCOMPARE(table, QStringList({QStringLiteral("missing - Four ") + at(QStringLiteral("LT_Four")),
                                 QStringLiteral("edited (1 changed, 1 added) ? One ") + at(QStringLiteral("LT_One")),
                                 QStringLiteral("unchanged ? Two ") + at(QStringLiteral("LT_Two")),
                                 QStringLiteral("replaced by LT_Beta - Three ") + at(QStringLiteral("LT_Three"))}));

    const CliRun asJson = run({QStringLiteral("info"), QStringLiteral("--json"), QStringLiteral("LT_Alpha")});
    QCOMPARE(asJson.exitCode, 0);
    const QJsonObject document = parse(asJson);
    QVERIFY(document.value(QStringLiteral("givenArchive")).isNull());
    const QJsonObject archive = document.value(QStringLiteral("archive")).toObject();
    QCOMPARE(archive.value(QStringLiteral("fileName")).toString(), QStringLiteral("LT_Alpha.mtzip"));
    QCOMPARE(archive.value(QStringLiteral("sha256")).toString().size(), 64);
    // Title, state, replacedBy and the files verify names, of each template.
    QStringList states;
    for (const QJsonValue &entry : archive.value(QStringLiteral("templates")).toArray()) {
        QStringList fields{entry[QStringLiteral("title")].toString(), entry[QStringLiteral("state")].toString(),
                           entry[QStringLiteral("replacedBy")].toString()};
        for (const char *list : {"missing", "changed", "added"}) {
            for (const QJsonValue &path : entry[QLatin1String(list)].toArray())
                fields.append(QLatin1String(list) + QLatin1Char(' ') + path.toString());
        }
        states.append(fields.join(QLatin1Char('|')));
    }
    QCOMPARE(states, QStringList({QStringLiteral("Four|missing|"),
                                  QStringLiteral("One|edited||changed Media/clip.mov|added notes.txt"),
                                  QStringLiteral("Two|unchanged|"), QStringLiteral("Three|replaced|LT_Beta")}));
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
}

void tst_ArchiveQueriesCli::installedArchivesListsOneLinePerArchive()
{
    const CliRun text = run({QStringLiteral("installed"), QStringLiteral("--archives")});
    QCOMPARE(text.exitCode, 0);
    QStringList printed = lines(text.out);
    QCOMPARE(printed.size(), 4);
    QCOMPARE(printed.takeLast(), QStringLiteral("2 archives in %1").arg(_dest));
    const QRegularExpression time(QStringLiteral(" \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d "));
    for (QString &row : printed)
        row = row.simplified().replace(time, QStringLiteral(" TIME "));
    QCOMPARE(printed, QStringList({QStringLiteral("Archive Templates Installed Path"),
                                   QStringLiteral("LT_Alpha 4 TIME ") + _alpha, QStringLiteral("LT_Beta 1 TIME ") + _beta}));

    const CliRun asJson = run({QStringLiteral("installed"), QStringLiteral("--archives"), QStringLiteral("--json")});
    QCOMPARE(asJson.exitCode, 0);
    const QJsonArray archives = parse(asJson).value(QStringLiteral("archives")).toArray();
    QCOMPARE(archives.size(), 2);
    QCOMPARE(archives.at(1)[QStringLiteral("title")].toString(), QStringLiteral("LT_Beta"));
    QCOMPARE(archives.at(1)[QStringLiteral("path")].toString(), _beta);
    QCOMPARE(archives.at(0)[QStringLiteral("templateCount")].toInt(), 4);
    QVERIFY(archives.at(1)[QStringLiteral("installedBy")].toString().startsWith(QLatin1String("mtzip ")));

    // A receipt that cannot be read leaves the list short: said, and exit 1.
    writeFileOrFail(Receipt::pathFor(_dest, QStringLiteral("LT_Torn")), "{\"version\": 1, \"archiveTi");
    const CliRun torn = run({QStringLiteral("installed"), QStringLiteral("--archives"), QStringLiteral("--json")});
    QCOMPARE(torn.exitCode, 1);
    QVERIFY2(torn.err.contains(QFileInfo(Receipt::pathFor(_dest, QStringLiteral("LT_Torn"))).fileName() + QStringLiteral(" cannot be read")), qPrintable(torn.err));
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
