// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
// mtzip installed, verify and remove, run in-process.
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
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

#include <unistd.h>

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

const QString LowerThirds = QStringLiteral("Titles.localized/ZT Lower Thirds");

} // namespace

class tst_LibraryCli : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void installedJsonListsEveryTemplateWithItsOrigin();
    void installedTableIsReadable();
    void verifyExitsWithOneWhenAFileIsMissingOrChanged_data();
    void verifyExitsWithOneWhenAFileIsMissingOrChanged();
    void verifyExitsWithOneWhenAReceiptCannotBeRead();
    void verifySummaryCountsTemplatesAndFilesApart();
    void removeByPathThenByArchiveTitle();
    void removeOfAnUnknownNameRemovesNothing();
    void removeTakesATemplateWhoseTemplateFileIsGone_data();
    void removeTakesATemplateWhoseTemplateFileIsGone();
    void usageErrors_data();
    void usageErrors();
    void aFolderThatCannotBeReadIsAnError_data();
    void aFolderThatCannotBeReadIsAnError();
    void withoutHomeTheFolderIsNamedOrRefused_data();
    void withoutHomeTheFolderIsNamedOrRefused();
    void manPageAndCompletionsKnowEveryCommand_data();
    void manPageAndCompletionsKnowEveryCommand();
    void aWriteErrorOnStandardOutputFails_data();
    void aWriteErrorOnStandardOutputFails();

private:
    QString makePack(const QString &name, const QStringList &templates);
    void installPack(const QString &archive);

    std::unique_ptr<QTemporaryDir> _dir;
    QString _dest;
};

void tst_LibraryCli::init()
{
    _dir = std::make_unique<QTemporaryDir>();
    QVERIFY(_dir->isValid());
    _dest = _dir->filePath(QStringLiteral("Motion Templates.localized"));
    QVERIFY(QDir().mkpath(_dest));
}

QString tst_LibraryCli::makePack(const QString &name, const QStringList &templates)
{
    const QString source = _dir->filePath(QStringLiteral("src-") + name);
    for (const QString &folder : templates) {
        writeFileOrFail(source + QLatin1Char('/') + folder + QLatin1Char('/') + folder + QStringLiteral(".moti"),
                        "<template/>");
        writeFileOrFail(source + QLatin1Char('/') + folder + QStringLiteral("/Media/clip.mov"), QByteArray(5000, 'x'));
    }
    const QString archive = _dir->filePath(name + QStringLiteral(".mtzip"));
    packFolder(source, archive);
    return archive;
}

void tst_LibraryCli::installPack(const QString &archive)
{
    const CliRun run = runMtzip({QStringLiteral("install"), QStringLiteral("--dest"), _dest, archive});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
}

void tst_LibraryCli::installedJsonListsEveryTemplateWithItsOrigin()
{
    const QString archive = makePack(QStringLiteral("LT_Pack"), {QStringLiteral("LT_One"), QStringLiteral("LT_Two")});
    installPack(archive);
    writeFileOrFail(_dest + QStringLiteral("/Effects.localized/Mine/AB_Glow/AB_Glow.moef"), "glow");

    const CliRun run = runMtzip({QStringLiteral("installed"), QStringLiteral("--json"), QStringLiteral("--dest"), _dest});
    QCOMPARE(run.exitCode, 0);
    const QJsonObject document = parse(run);
    QCOMPARE(document.value(QStringLiteral("version")).toInt(), 1);
    QCOMPARE(document.value(QStringLiteral("command")).toString(), QStringLiteral("installed"));
    QCOMPARE(document.value(QStringLiteral("destination")).toString(), _dest);
    const QJsonArray templates = document.value(QStringLiteral("templates")).toArray();
    QCOMPARE(templates.size(), 3);
    const QJsonObject glow = templates.at(0).toObject();
    QCOMPARE(glow.value(QStringLiteral("destination")).toString(), QStringLiteral("Effects.localized/Mine/AB_Glow"));
    QCOMPARE(glow.value(QStringLiteral("kind")).toString(), QStringLiteral("effect"));
    QCOMPARE(glow.value(QStringLiteral("type")).toInt(), 1);
    QCOMPARE(glow.value(QStringLiteral("categoryFolder")).toString(), QStringLiteral("Mine"));
    QCOMPARE(glow.value(QStringLiteral("size")).toInteger(), qint64(4));
    QVERIFY(glow.value(QStringLiteral("origin")).isNull());
    QVERIFY(glow.contains(QStringLiteral("category")));

    const QJsonObject one = templates.at(1).toObject();
    QCOMPARE(one.value(QStringLiteral("destination")).toString(), LowerThirds + QStringLiteral("/LT_One"));
    QCOMPARE(one.value(QStringLiteral("title")).toString(), QStringLiteral("One"));
    QCOMPARE(one.value(QStringLiteral("category")).toString(), QStringLiteral("Lower Thirds"));
    QCOMPARE(one.value(QStringLiteral("templateFile")).toString(), LowerThirds + QStringLiteral("/LT_One/LT_One.moti"));
    QCOMPARE(one.value(QStringLiteral("size")).toInteger(), qint64(11 + 5000));
    const QJsonObject origin = one.value(QStringLiteral("origin")).toObject();
    QCOMPARE(origin.value(QStringLiteral("archiveTitle")).toString(), QStringLiteral("LT_Pack"));
    QCOMPARE(origin.value(QStringLiteral("archivePath")).toString(), archive);
    const QDateTime installedAt =
        QDateTime::fromString(one.value(QStringLiteral("installedAt")).toString(), Qt::ISODate);
    QVERIFY(installedAt.isValid());
    QVERIFY(qAbs(installedAt.secsTo(QDateTime::currentDateTimeUtc())) < 120);
    QCOMPARE(templates.at(2).toObject().value(QStringLiteral("destination")).toString(),
             LowerThirds + QStringLiteral("/LT_Two"));

    // mtzip says it was mtzip.
    const std::optional<Receipt> receipt = Receipt::read(Receipt::pathFor(_dest, QStringLiteral("LT_Pack")));
    QVERIFY(receipt);
    QVERIFY2(receipt->installedBy.startsWith(QStringLiteral("mtzip ")), qPrintable(receipt->installedBy));
}

void tst_LibraryCli::installedTableIsReadable()
{
    CliRun run = runMtzip({QStringLiteral("installed"), QStringLiteral("--dest"), _dest});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, QStringLiteral("No templates installed in %1\n").arg(_dest));

    installPack(makePack(QStringLiteral("LT_Pack"), {QStringLiteral("LT_One")}));
    writeFileOrFail(_dest + QStringLiteral("/Titles.localized/Mine/LT_Hand/LT_Hand.moti"), "hand");
    run = runMtzip({QStringLiteral("installed"), QStringLiteral("--dest"), _dest});
    QCOMPARE(run.exitCode, 0);
    const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 4);
    QVERIFY(lines[0].startsWith(QStringLiteral("Kind ")));
    QVERIFY(lines[0].endsWith(QStringLiteral("Destination")));
    // Columns line up: every row's destination starts where the header's does.
    const qsizetype column = lines[0].indexOf(QStringLiteral("Destination"));
    QCOMPARE(lines[1].mid(column), QStringLiteral("Titles.localized/Mine/LT_Hand"));
    QVERIFY(lines[1].contains(QStringLiteral("(unknown)")));
    QCOMPARE(lines[2].mid(column), LowerThirds + QStringLiteral("/LT_One"));
    QVERIFY(lines[2].contains(QStringLiteral("LT_Pack")));
    QCOMPARE(lines[3], QStringLiteral("2 templates in %1, 1 of unknown origin").arg(_dest));
}

void tst_LibraryCli::verifyExitsWithOneWhenAFileIsMissingOrChanged_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("field");  // the list of the changed template that is not empty
    QTest::newRow("an intact root exits with 0") << QString() << QStringList() << 0 << QString();
    QTest::newRow("a changed file exits with 1") << QStringLiteral("change") << QStringList() << 1 << QStringLiteral("changed");
    QTest::newRow("a missing file exits with 1") << QStringLiteral("delete") << QStringList() << 1 << QStringLiteral("missing");
    QTest::newRow("an added file is told and exits with 0") << QStringLiteral("add") << QStringList() << 0
                                                            << QStringLiteral("added");
    QTest::newRow("a change outside the templates named exits with 0")
        << QStringLiteral("change") << QStringList{QStringLiteral("Two")} << 0 << QString();
    QTest::newRow("a name that matches nothing exits with 1")
        << QString() << QStringList{QStringLiteral("LT_Pack"), QStringLiteral("Nothing")} << 1 << QString();
}

void tst_LibraryCli::verifyExitsWithOneWhenAReceiptCannotBeRead()
{
    installPack(makePack(QStringLiteral("LT_Pack"), {QStringLiteral("LT_One")}));
    const QString receipt = Receipt::pathFor(_dest, QStringLiteral("LT_Pack"));
    QFile file(receipt);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray whole = file.readAll();
    file.close();
    // Torn in half: the template's files can no longer be compared.
    writeFileOrFail(receipt, whole.left(whole.size() / 2));
    const CliRun json = runMtzip({QStringLiteral("verify"), QStringLiteral("--json"), QStringLiteral("--dest"), _dest});
    QCOMPARE(json.exitCode, 1);
    const QJsonObject document = parse(json);
    QCOMPARE(document.value(QStringLiteral("intact")).toBool(), false);
    QCOMPARE(document.value(QStringLiteral("unreadableReceipts")).toArray().size(), 1);
    QVERIFY(json.err.contains(QStringLiteral("cannot be read")));
}

void tst_LibraryCli::verifyExitsWithOneWhenAFileIsMissingOrChanged()
{
    QFETCH(QString, change);
    QFETCH(QStringList, names);
    QFETCH(int, exitCode);
    QFETCH(QString, field);
    installPack(makePack(QStringLiteral("LT_Pack"), {QStringLiteral("LT_One"), QStringLiteral("LT_Two")}));
    const QString one = _dest + QLatin1Char('/') + LowerThirds + QStringLiteral("/LT_One");
    if (change == QLatin1String("change"))
        writeFileOrFail(one + QStringLiteral("/Media/clip.mov"), QByteArray(5000, 'y'));
    else if (change == QLatin1String("delete"))
        QVERIFY(QFile::remove(one + QStringLiteral("/Media/clip.mov")));
    else if (change == QLatin1String("add"))
        writeFileOrFail(one + QStringLiteral("/Media/extra.png"), "png");

    const CliRun json = runMtzip(QStringList{QStringLiteral("verify"), QStringLiteral("--json"),
                                             QStringLiteral("--dest"), _dest} + names);
    QCOMPARE(json.exitCode, exitCode);
    const QJsonObject document = parse(json);
    QCOMPARE(document.value(QStringLiteral("version")).toInt(), 1);
    QCOMPARE(document.value(QStringLiteral("command")).toString(), QStringLiteral("verify"));
    const QJsonArray templates = document.value(QStringLiteral("templates")).toArray();
    QCOMPARE(templates.size(), names == QStringList{QStringLiteral("Two")} ? 1 : 2);
    const QJsonObject first = templates.at(0).toObject();
    QVERIFY(first.value(QStringLiteral("hasReceipt")).toBool());
    for (const char *list : {"missing", "changed", "added"}) {
        const QJsonArray paths = first.value(QLatin1String(list)).toArray();
        if (field == QLatin1String(list) && first.value(QStringLiteral("title")).toString() == QLatin1String("One"))
            QCOMPARE(paths.size(), 1);
        else
            QCOMPARE(paths.size(), 0);
    }
    // The verdict agrees with the exit status: a name that matched nothing was not verified.
    QCOMPARE(document.value(QStringLiteral("intact")).toBool(), exitCode == 0);
    QCOMPARE(document.value(QStringLiteral("unreadableReceipts")).toArray().size(), 0);

    // The same verdict for people, naming the file.
    const CliRun human = runMtzip(QStringList{QStringLiteral("verify"), QStringLiteral("--dest"), _dest} + names);
    QCOMPARE(human.exitCode, exitCode);
    if (!field.isEmpty())
        QVERIFY2(human.out.contains(QRegularExpression(QStringLiteral("^  %1 +Media/").arg(field),
                                                      QRegularExpression::MultilineOption)),
                 qPrintable(human.out));
    if (names.contains(QStringLiteral("Nothing")))
        QVERIFY2(human.err.contains(QStringLiteral("\"Nothing\"")), qPrintable(human.err));
}

void tst_LibraryCli::verifySummaryCountsTemplatesAndFilesApart()
{
    installPack(makePack(QStringLiteral("LT_Pack"),
                         {QStringLiteral("LT_One"), QStringLiteral("LT_Two"), QStringLiteral("LT_Three")}));
    const QString folder = _dest + QLatin1Char('/') + LowerThirds;
    writeFileOrFail(folder + QStringLiteral("/LT_One/Media/clip.mov"), QByteArray(5000, 'y'));
    writeFileOrFail(folder + QStringLiteral("/LT_One/notes.txt"), "mine");
    writeFileOrFail(folder + QStringLiteral("/LT_One/more.txt"), "mine too");
    QVERIFY(QFile::remove(folder + QStringLiteral("/LT_Two/Media/clip.mov")));
    writeFileOrFail(_dest + QStringLiteral("/Titles.localized/Mine/LT_Hand/LT_Hand.moti"), "hand");

    const CliRun run = runMtzip({QStringLiteral("verify"), QStringLiteral("--dest"), _dest});
    QCOMPARE(run.exitCode, 1);
    const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QVERIFY(!lines.isEmpty());
    QCOMPARE(lines.last(), QStringLiteral("4 templates checked: 1 intact, 2 with missing or changed files, "
                                          "1 without a receipt; 1 file missing, 1 file changed, 2 files added"));
}

void tst_LibraryCli::removeByPathThenByArchiveTitle()
{
    installPack(makePack(QStringLiteral("LT_Pack"),
                         {QStringLiteral("LT_One"), QStringLiteral("LT_Two"), QStringLiteral("LT_Three")}));
    CliRun run = runMtzip({QStringLiteral("remove"), QStringLiteral("--dest"), _dest,
                           LowerThirds + QStringLiteral("/LT_Two")});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, QStringLiteral("1 template removed from %1\n").arg(_dest));
    QVERIFY(!QFileInfo::exists(_dest + QLatin1Char('/') + LowerThirds + QStringLiteral("/LT_Two")));
    std::optional<Receipt> receipt = Receipt::read(Receipt::pathFor(_dest, QStringLiteral("LT_Pack")));
    QVERIFY(receipt);
    QCOMPARE(receipt->templates.size(), size_t(2));

    run = runMtzip({QStringLiteral("remove"), QStringLiteral("--json"), QStringLiteral("--dest"), _dest,
                    QStringLiteral("LT_Pack")});
    QCOMPARE(run.exitCode, 0);
    const QJsonObject document = parse(run);
    QCOMPARE(document.value(QStringLiteral("version")).toInt(), 1);
    QCOMPARE(document.value(QStringLiteral("command")).toString(), QStringLiteral("remove"));
    QCOMPARE(document.value(QStringLiteral("destination")).toString(), _dest);
    QCOMPARE(document.value(QStringLiteral("removed")).toInt(), 2);
    QCOMPARE(document.value(QStringLiteral("templates")).toArray().size(), 2);
    QVERIFY(document.value(QStringLiteral("error")).isNull());
    QVERIFY(!QFileInfo::exists(Receipt::pathFor(_dest, QStringLiteral("LT_Pack"))));
    // Emptied folders went, the root stays.
    QCOMPARE(entryNames(_dest, QDir::Name), QStringList());
}

void tst_LibraryCli::removeOfAnUnknownNameRemovesNothing()
{
    installPack(makePack(QStringLiteral("LT_Pack"), {QStringLiteral("LT_One")}));
    const QStringList before = treeDigest(_dest);
    for (const QString &name : {QStringLiteral("LT_Other"), QStringLiteral("Titles.localized"), LowerThirds}) {
        const CliRun run = runMtzip({QStringLiteral("remove"), QStringLiteral("--dest"), _dest,
                                     LowerThirds + QStringLiteral("/LT_One"), name});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(QLatin1Char('"') + name + QLatin1Char('"')), qPrintable(run.err));
        QVERIFY(run.err.contains(QStringLiteral("nothing was removed")));
        QCOMPARE(treeDigest(_dest), before);
    }
}

void tst_LibraryCli::removeTakesATemplateWhoseTemplateFileIsGone_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("by path") << LowerThirds + QStringLiteral("/LT_One");
    QTest::newRow("by absolute path") << QStringLiteral("%1/") + LowerThirds + QStringLiteral("/LT_One");
    QTest::newRow("by archive title") << QStringLiteral("LT_Pack");
}

void tst_LibraryCli::removeTakesATemplateWhoseTemplateFileIsGone()
{
    QFETCH(QString, name);
    installPack(makePack(QStringLiteral("LT_Pack"), {QStringLiteral("LT_One"), QStringLiteral("LT_Two")}));
    const QString one = _dest + QLatin1Char('/') + LowerThirds + QStringLiteral("/LT_One");
    QVERIFY(QFile::remove(one + QStringLiteral("/LT_One.moti")));

    const CliRun run = runMtzip({QStringLiteral("remove"), QStringLiteral("--dest"), _dest, name.arg(_dest)});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QVERIFY(!QFileInfo::exists(one));
    const std::optional<Receipt> receipt = Receipt::read(Receipt::pathFor(_dest, QStringLiteral("LT_Pack")));
    if (name == QLatin1String("LT_Pack")) {
        QVERIFY(!receipt);
        QVERIFY(!QFileInfo::exists(_dest + QLatin1Char('/') + LowerThirds + QStringLiteral("/LT_Two")));
        return;
    }
    QVERIFY(receipt);
    QCOMPARE(receipt->templates.size(), size_t(1));
    QCOMPARE(receipt->templates.front().destination, LowerThirds + QStringLiteral("/LT_Two"));
}

void tst_LibraryCli::usageErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("installed with --dest and --all-users")
        << QStringList{QStringLiteral("installed"), QStringLiteral("--dest"), QStringLiteral("x"), QStringLiteral("--all-users")};
    QTest::newRow("remove with --dest and --all-users")
        << QStringList{QStringLiteral("remove"), QStringLiteral("--all-users"), QStringLiteral("--dest"), QStringLiteral("x"),
                       QStringLiteral("LT_Pack")};
    QTest::newRow("installed with an argument") << QStringList{QStringLiteral("installed"), QStringLiteral("LT_Pack")};
    QTest::newRow("remove without a name") << QStringList{QStringLiteral("remove"), QStringLiteral("--dest"), QStringLiteral("x")};
    QTest::newRow("verify with an unknown option") << QStringList{QStringLiteral("verify"), QStringLiteral("--fast")};
}

void tst_LibraryCli::usageErrors()
{
    QFETCH(QStringList, arguments);
    const CliRun run = runMtzip(arguments);
    QCOMPARE(run.exitCode, int(Cli::UsageError));
    QVERIFY(run.out.isEmpty());
    QVERIFY(run.err.startsWith(QStringLiteral("mtzip: ")));
}

void tst_LibraryCli::aFolderThatCannotBeReadIsAnError_data()
{
    QTest::addColumn<QString>("folder");  // "missing", "file" or "unreadable"
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("mentions");
    QTest::newRow("installed in a missing folder") << QStringLiteral("missing") << strings({"installed"}) << 1
                                                   << QStringLiteral("does not exist");
    QTest::newRow("installed --json in a missing folder")
        << QStringLiteral("missing") << strings({"installed", "--json"}) << 1 << QStringLiteral("does not exist");
    QTest::newRow("verify in a missing folder") << QStringLiteral("missing") << strings({"verify"}) << 1
                                                << QStringLiteral("does not exist");
    QTest::newRow("verify in an unreadable folder") << QStringLiteral("unreadable") << strings({"verify"}) << 1
                                                    << QStringLiteral("cannot be read");
    QTest::newRow("installed with --dest naming a file") << QStringLiteral("file") << strings({"installed"}) << 2
                                                         << QStringLiteral("is not a folder");
    QTest::newRow("install with --dest naming a file") << QStringLiteral("file") << strings({"install", "LT_Pack.mtzip"})
                                                       << 2 << QStringLiteral("is not a folder");
    QTest::newRow("list with --dest naming a file") << QStringLiteral("file") << strings({"list", "LT_Pack.mtzip"})
                                                    << 2 << QStringLiteral("is not a folder");
}

void tst_LibraryCli::aFolderThatCannotBeReadIsAnError()
{
    QFETCH(QString, folder);
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, mentions);
    const QString root = _dir->filePath(QStringLiteral("Templates"));
    if (folder == QLatin1String("file")) {
        writeFileOrFail(root, "not a folder");
    } else if (folder == QLatin1String("unreadable")) {
        if (::geteuid() == 0)
            QSKIP("root reads any folder");
        QVERIFY(QDir().mkpath(root));
        QVERIFY(QFile::setPermissions(root, QFileDevice::Permissions()));
    }
    const CliRun run = runMtzip(arguments << QStringLiteral("--dest") << root);
    if (folder == QLatin1String("unreadable"))
        QFile::setPermissions(root, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QCOMPARE(run.exitCode, exitCode);
    QCOMPARE(run.out, QString());
    QVERIFY2(run.err.contains(mentions) && run.err.contains(root.section(QLatin1Char('/'), -1)), qPrintable(run.err));
    if (folder == QLatin1String("file"))
        QCOMPARE(readFile(root), QByteArray("not a folder"));
}

void tst_LibraryCli::withoutHomeTheFolderIsNamedOrRefused_data()
{
    QTest::addColumn<bool>("userDirs");  // a user-dirs file names the videos folder outright
    QTest::addColumn<QString>("mentions");
    QTest::newRow("no videos folder to be found") << false << QStringLiteral("HOME is not set");
    QTest::newRow("the user-dirs file names one") << true << QStringLiteral("/videos/Motion Templates.localized");
}

void tst_LibraryCli::withoutHomeTheFolderIsNamedOrRefused()
{
    QFETCH(bool, userDirs);
    QFETCH(QString, mentions);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("HOME"));
    environment.remove(QStringLiteral("XDG_CONFIG_HOME"));
    if (userDirs) {
        const QString config = _dir->filePath(QStringLiteral("config"));
        writeFileOrFail(config + QStringLiteral("/user-dirs.dirs"),
                        "XDG_VIDEOS_DIR=\"" + _dir->filePath(QStringLiteral("videos")).toUtf8() + "\"\n");
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
    }
    QProcess mtzip;
    mtzip.setProcessEnvironment(environment);
    mtzip.start(QStringLiteral(MTI_MTZIP_BINARY), strings({"installed"}));
    QVERIFY(mtzip.waitForFinished(60000));
    const QString err = QString::fromUtf8(mtzip.readAllStandardError());
    // Either way nothing is listed: that folder does not exist.
    QCOMPARE(mtzip.exitCode(), 1);
    QCOMPARE(mtzip.readAllStandardOutput(), QByteArray());
    QVERIFY2(err.contains(mentions), qPrintable(err));
    QVERIFY2(!err.contains(QStringLiteral("//")), qPrintable(err));
}

void tst_LibraryCli::manPageAndCompletionsKnowEveryCommand_data()
{
    QTest::addColumn<QString>("command");
    for (const std::unique_ptr<CliCommand> &command : makeCliCommands())
        QTest::newRow(qPrintable(command->name())) << command->name();
}

void tst_LibraryCli::manPageAndCompletionsKnowEveryCommand()
{
    QFETCH(QString, command);
    const QString sources = QStringLiteral(MTI_TEST_DATA_DIR "/../..");
    const QString man = QString::fromUtf8(readFile(sources + QStringLiteral("/docs/mtzip.1")));
    const QString bash = QString::fromUtf8(readFile(sources + QStringLiteral("/completions/mtzip.bash")));
    const QString zsh = QString::fromUtf8(readFile(sources + QStringLiteral("/completions/_mtzip")));
    QVERIFY(!man.isEmpty() && !bash.isEmpty() && !zsh.isEmpty());

    // The command's own options, as its help lists them.
    const CliRun help = runMtzip({command, QStringLiteral("--help")});
    QStringList options;
    for (const QRegularExpressionMatch &match : QRegularExpression(QStringLiteral("--[a-z-]+")).globalMatch(help.out)) {
        if (!strings({"--help", "--quiet", "--verbose"}).contains(match.captured()) && !options.contains(match.captured()))
            options.append(match.captured());
    }

    // The man page: in the synopsis, among the commands, and every option.
    QVERIFY2(man.contains(QStringLiteral(".SY mtzip\n.B %1\n").arg(command)), "synopsis");
    QVERIFY2(man.contains(QRegularExpression(QStringLiteral("\\n\\.TP\\n\\.BI? \"?%1[ \"\\n]").arg(command))), "commands");
    for (const QString &option : std::as_const(options))
        QVERIFY2(man.contains(QString(option).replace(QLatin1Char('-'), QStringLiteral("\\-"))), qPrintable(option));

    // bash: among the commands, and its options in its case branch.
    const QRegularExpressionMatch commands = QRegularExpression(QStringLiteral("compgen -W \"([^\"]*)\"")).match(bash);
    QVERIFY(commands.captured(1).split(QLatin1Char(' ')).contains(command));
    const QRegularExpressionMatch branch =
        QRegularExpression(QStringLiteral("\\s(?:[a-z]+\\|)*%1(?:\\|[a-z]+)*\\) options=\"([^\"]*)\"").arg(command)).match(bash);
    QVERIFY2(branch.hasMatch(), "bash options");
    for (const QString &option : std::as_const(options))
        QVERIFY2(branch.captured(1).split(QLatin1Char(' ')).contains(option), qPrintable(option));

    // zsh: described, and its options in its branch or the arrays it uses.
    QVERIFY(zsh.contains(QStringLiteral("    '%1:").arg(command)));
    const QRegularExpressionMatch zshBranch =
        QRegularExpression(QStringLiteral("\\n +%1\\)\\n(.*?);;").arg(command), QRegularExpression::DotMatchesEverythingOption)
            .match(zsh);
    QVERIFY2(zshBranch.hasMatch(), "zsh branch");
    QString offered = zshBranch.captured(1);
    for (const QRegularExpressionMatch &array : QRegularExpression(QStringLiteral("\\$([a-z]+)")).globalMatch(offered)) {
        offered += QRegularExpression(QStringLiteral("\\n%1=\\((.*?)\\n\\)").arg(array.captured(1)),
                                      QRegularExpression::DotMatchesEverythingOption)
                       .match(zsh)
                       .captured(1);
    }
    for (const QString &option : std::as_const(options))
        QVERIFY2(offered.contains(option), qPrintable(option));
}

void tst_LibraryCli::aWriteErrorOnStandardOutputFails_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("installed --json") << strings({"installed", "--json"});
    QTest::newRow("installed") << strings({"installed"});
    QTest::newRow("verify") << strings({"verify"});
    QTest::newRow("list") << strings({"list"});
    QTest::newRow("help") << strings({"--help"});
}

void tst_LibraryCli::aWriteErrorOnStandardOutputFails()
{
    QFETCH(QStringList, arguments);
    if (!QFileInfo(QStringLiteral("/dev/full")).exists())
        QSKIP("no /dev/full here");
    const QString archive = makePack(QStringLiteral("LT_Pack"), {QStringLiteral("LT_One")});
    installPack(archive);
    if (arguments.first() != QLatin1String("--help"))
        arguments << QStringLiteral("--dest") << _dest;
    if (arguments.first() == QLatin1String("list"))
        arguments << archive;

    QProcess mtzip;
    mtzip.setStandardOutputFile(QStringLiteral("/dev/full"));
    mtzip.start(QStringLiteral(MTI_MTZIP_BINARY), arguments);
    QVERIFY(mtzip.waitForFinished(60000));
    QCOMPARE(mtzip.exitStatus(), QProcess::NormalExit);
    const QString err = QString::fromUtf8(mtzip.readAllStandardError());
    QCOMPARE(mtzip.exitCode(), 1);
    QVERIFY2(err.contains(QStringLiteral("cannot write to standard output")), qPrintable(err));
}

QTEST_GUILESS_MAIN(tst_LibraryCli)
#include "tst_LibraryCli.moc"
