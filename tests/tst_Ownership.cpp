// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
// Installed templates belong to the user: what an install replaces and an
// uninstall removes, judged by the receipts and the files on disk.
#include "CliTestTools.h"
#include "Common/FileOperations.h"
#include "Common/Trash.h"
#include "Installer/InstallJournal.h"
#include "Installer/Receipt.h"
#include "Installer/RecentlyRemoved.h"
#include "Installer/TemplateLibrary.h"
#include "Installer/TemplateTransaction.h"
#include "TestSupport.h"
#include "ZipTestTools.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/stat.h>

using namespace TestSupport;
using namespace ZipTestTools;

namespace {

const QString Place = QStringLiteral("Titles.localized/ZT Lower Thirds/LT_Name");

ino_t inodeOf(const QString &path)
{
    struct stat info;
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_ino : 0;
}

} // namespace

class tst_Ownership : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void installJudgesEachCopy_data();
    void installJudgesEachCopy();
    void sharedPathInEveryOrder_data();
    void sharedPathInEveryOrder();
    void uninstallKeepsEditedUnlessTold();
    void removeKeepsEditedUnlessTold();
    void dryRunsChangeNothing_data();
    void dryRunsChangeNothing();
    void restoreFromRecentlyRemoved();
    void killedUninstallIsCompletedOrUndone_data();
    void killedUninstallIsCompletedOrUndone();
    void decomposedArchiveNamesMatchComposedOnes();

private:
    // An archive whose one template (LT_Name, or `names`) holds `contents`.
    QString pack(const QString &title, const QByteArray &contents, const QStringList &names = {QStringLiteral("LT_Name")});
    CliRun mtzip(const QStringList &arguments);
    QString trash() const;

    std::unique_ptr<QTemporaryDir> _dir;
    QString _root;
};

void tst_Ownership::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void tst_Ownership::init()
{
    _dir = std::make_unique<QTemporaryDir>();
    QVERIFY(_dir->isValid());
    _root = _dir->filePath(QStringLiteral("Motion Templates.localized"));
    qputenv("MTI_RECENTLY_REMOVED", _dir->filePath(QStringLiteral("recently-removed.jsonl")).toUtf8());
    QVERIFY(!FileOperations::removeAll(trash()));
}

QString tst_Ownership::pack(const QString &title, const QByteArray &contents, const QStringList &names)
{
    const QString source = _dir->filePath(QStringLiteral("src-") + title + QString::number(qHash(contents)));
    for (const QString &name : names) {
        writeFileOrFail(source + QLatin1Char('/') + name + QLatin1Char('/') + name + QStringLiteral(".moti"), contents);
        writeFileOrFail(source + QLatin1Char('/') + name + QStringLiteral("/Media/logo.png"), contents + "-logo");
    }
    const QString archive = _dir->filePath(title + QStringLiteral(".mtzip"));
    QFile::remove(archive);
    packFolder(source, archive);
    return archive;
}

CliRun tst_Ownership::mtzip(const QStringList &arguments)
{
    return runMtzip(arguments + QStringList{QStringLiteral("--dest"), _root});
}

QString tst_Ownership::trash() const
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Trash");
}

void tst_Ownership::installJudgesEachCopy_data()
{
    QTest::addColumn<QString>("before");   // what stands at the place
    QTest::addColumn<QString>("flag");     // given to the second install
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("after");  // the template document afterwards
    QTest::addColumn<bool>("trashed");      // the older copy went to the Trash
    QTest::newRow("identical: not copied") << QStringLiteral("same") << QString() << 0 << QByteArray("v1") << false;
    QTest::newRow("unchanged older version: replaced, deleted") << QStringLiteral("older") << QString() << 0 << QByteArray("v2") << false;
    QTest::newRow("edited: kept") << QStringLiteral("edited") << QString() << 1 << QByteArray("mine") << false;
    QTest::newRow("edited, --replace-edited") << QStringLiteral("edited") << QStringLiteral("--replace-edited") << 0 << QByteArray("v2") << true;
    QTest::newRow("edited, --replace-foreign is not enough") << QStringLiteral("edited") << QStringLiteral("--replace-foreign") << 1 << QByteArray("mine") << false;
    QTest::newRow("another archive's: kept") << QStringLiteral("other") << QString() << 1 << QByteArray("theirs") << false;
    QTest::newRow("another archive's, --replace-foreign") << QStringLiteral("other") << QStringLiteral("--replace-foreign") << 0 << QByteArray("v2") << true;
    QTest::newRow("hand copy: kept") << QStringLiteral("hand") << QString() << 1 << QByteArray("by hand") << false;
    QTest::newRow("hand copy, --replace-foreign") << QStringLiteral("hand") << QStringLiteral("--replace-foreign") << 0 << QByteArray("v2") << true;
}

void tst_Ownership::installJudgesEachCopy()
{
    QFETCH(QString, before);
    QFETCH(QString, flag);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, after);
    QFETCH(bool, trashed);
    const QString document = _root + QLatin1Char('/') + Place + QStringLiteral("/LT_Name.moti");
    if (before == QLatin1String("hand")) {
        writeFileOrFail(document, "by hand");
    } else if (before == QLatin1String("other")) {
        QCOMPARE(mtzip({QStringLiteral("install"), pack(QStringLiteral("LT_Other"), "theirs")}).exitCode, 0);
    } else {
        QCOMPARE(mtzip({QStringLiteral("install"), pack(QStringLiteral("LT_Pack"), "v1")}).exitCode, 0);
        if (before == QLatin1String("edited"))
            writeFileOrFail(document, "mine");
    }
    const ino_t inode = inodeOf(document);
    const QByteArray contents = before == QLatin1String("same") ? "v1" : "v2";
    QStringList arguments{QStringLiteral("install"), QStringLiteral("--json"), pack(QStringLiteral("LT_Pack"), contents)};
    if (!flag.isEmpty())
        arguments.append(flag);
    const CliRun run = mtzip(arguments);
    QCOMPARE(run.exitCode, exitCode);
    QCOMPARE(readFile(document), after);
    QCOMPARE(readFile(trash() + QStringLiteral("/files/LT_Name/LT_Name.moti")).isEmpty(), !trashed);
    if (trashed)
        QVERIFY(trashInfoRecords(trash() + QStringLiteral("/info/LT_Name.trashinfo"), _root + QLatin1Char('/') + Place));

    const QJsonObject archive =
        QJsonDocument::fromJson(run.out.toUtf8()).object().value(QStringLiteral("archives")).toArray().at(0).toObject();
    if (before == QLatin1String("same")) {
        QCOMPARE(archive.value(QStringLiteral("identical")).toInt(), 1);
        QCOMPARE(inodeOf(document), inode);
    }
    // The kept copy keeps its owner; a replaced one is this archive's now.
    const std::vector<TemplateLibrary::InstalledTemplate> installed = TemplateLibrary::scan(_root);
    QCOMPARE(installed.size(), size_t(1));
    const QString owner = exitCode == 0 ? QStringLiteral("LT_Pack")
        : before == QLatin1String("other") ? QStringLiteral("LT_Other")
        : before == QLatin1String("hand")  ? QString()
                                           : QStringLiteral("LT_Pack");
    QCOMPARE(installed.front().originArchiveTitle, owner);
    if (exitCode != 0)
        QCOMPARE(archive.value(QStringLiteral("kept")).toArray().size(), 1);
}

void tst_Ownership::sharedPathInEveryOrder_data()
{
    QTest::addColumn<QStringList>("steps");  // "+A" installs, "+A!" with --replace-foreign, "-A" uninstalls
    QTest::addColumn<QByteArray>("left");    // the document left at the shared place; empty: none
    QTest::addColumn<QString>("owner");
    QTest::newRow("A, B: B keeps off A's") << QStringList{QStringLiteral("+A"), QStringLiteral("+B")} << QByteArray("a") << QStringLiteral("LT_A");
    QTest::newRow("A, B taking over, uninstall A") << QStringList{QStringLiteral("+A"), QStringLiteral("+B!"), QStringLiteral("-A")} << QByteArray("b") << QStringLiteral("LT_B");
    QTest::newRow("A, B taking over, uninstall B") << QStringList{QStringLiteral("+A"), QStringLiteral("+B!"), QStringLiteral("-B")} << QByteArray() << QStringLiteral("");
    QTest::newRow("B, A taking over, uninstall B") << QStringList{QStringLiteral("+B"), QStringLiteral("+A!"), QStringLiteral("-B")} << QByteArray("a") << QStringLiteral("LT_A");
    QTest::newRow("A, uninstall B") << QStringList{QStringLiteral("+A"), QStringLiteral("-B")} << QByteArray("a") << QStringLiteral("LT_A");
    // C ships A's template byte for byte: it is left to A, and C's uninstall leaves it.
    QTest::newRow("A, identical C, uninstall C") << QStringList{QStringLiteral("+A"), QStringLiteral("+C"), QStringLiteral("-C")}
                                                 << QByteArray("a") << QStringLiteral("LT_A");
}

void tst_Ownership::sharedPathInEveryOrder()
{
    QFETCH(QStringList, steps);
    QFETCH(QByteArray, left);
    QFETCH(QString, owner);
    const QString a = pack(QStringLiteral("LT_A"), "a");
    const QString b = pack(QStringLiteral("LT_B"), "b");
    const QString c = pack(QStringLiteral("LT_C"), "a");
    for (const QString &step : std::as_const(steps)) {
        const QString archive = step.at(1) == QLatin1Char('A') ? a : step.at(1) == QLatin1Char('B') ? b : c;
        QStringList arguments{step.startsWith(QLatin1Char('+')) ? QStringLiteral("install") : QStringLiteral("uninstall"),
                              archive};
        if (step.endsWith(QLatin1Char('!')))
            arguments.append(QStringLiteral("--replace-foreign"));
        mtzip(arguments);
    }
    QCOMPARE(readFile(_root + QLatin1Char('/') + Place + QStringLiteral("/LT_Name.moti")), left);
    const std::vector<TemplateLibrary::InstalledTemplate> installed = TemplateLibrary::scan(_root);
    QCOMPARE(installed.size(), size_t(left.isEmpty() ? 0 : 1));
    if (!left.isEmpty())
        QCOMPARE(installed.front().originArchiveTitle, owner);
    // Whatever is left is intact against its receipt.
    for (const TemplateLibrary::Verification &result : TemplateLibrary::verify(_root))
        QVERIFY2(result.isIntact() && result.added.isEmpty(), qPrintable(result.destination));
}

void tst_Ownership::uninstallKeepsEditedUnlessTold()
{
    const QString archive = pack(QStringLiteral("LT_Pack"), "v1", {QStringLiteral("LT_Name"), QStringLiteral("LT_Two")});
    QCOMPARE(mtzip({QStringLiteral("install"), archive}).exitCode, 0);
    writeFileOrFail(_root + QLatin1Char('/') + Place + QStringLiteral("/notes.txt"), "mine");
    CliRun run = mtzip({QStringLiteral("uninstall"), QStringLiteral("--trash"), archive});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains(QLatin1String("--remove-edited")), qPrintable(run.err));
    QCOMPARE(readFile(_root + QLatin1Char('/') + Place + QStringLiteral("/notes.txt")), QByteArray("mine"));
    QVERIFY(!QFileInfo::exists(_root + QStringLiteral("/Titles.localized/ZT Lower Thirds/LT_Two")));
    // Told, it goes to the Trash even without --trash.
    run = mtzip({QStringLiteral("uninstall"), QStringLiteral("--remove-edited"), archive});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(readFile(trash() + QStringLiteral("/files/LT_Name/notes.txt")), QByteArray("mine"));
    QVERIFY(!QFileInfo::exists(_root + QStringLiteral("/Titles.localized")));
    QVERIFY(!QFileInfo::exists(Receipt::pathFor(_root, QStringLiteral("LT_Pack"))));
}

void tst_Ownership::removeKeepsEditedUnlessTold()
{
    const QString archive = pack(QStringLiteral("LT_Pack"), "v1", {QStringLiteral("LT_Name"), QStringLiteral("LT_Two")});
    QCOMPARE(mtzip({QStringLiteral("install"), archive}).exitCode, 0);
    writeFileOrFail(_root + QLatin1Char('/') + Place + QStringLiteral("/LT_Name.moti"), "mine");
    const QStringList before = treeDigest(_root);
    CliRun run = mtzip({QStringLiteral("remove"), QStringLiteral("-n"), QStringLiteral("LT_Pack")});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.out.contains(QStringLiteral("keep     edited     ") + Place), qPrintable(run.out));
    QCOMPARE(treeDigest(_root), before);

    run = mtzip({QStringLiteral("remove"), QStringLiteral("LT_Pack")});
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(readFile(_root + QLatin1Char('/') + Place + QStringLiteral("/LT_Name.moti")), QByteArray("mine"));
    QVERIFY(!QFileInfo::exists(_root + QStringLiteral("/Titles.localized/ZT Lower Thirds/LT_Two")));
    run = mtzip({QStringLiteral("remove"), QStringLiteral("--remove-edited"), Place});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(readFile(trash() + QStringLiteral("/files/LT_Name/LT_Name.moti")), QByteArray("mine"));
    QVERIFY(!QFileInfo::exists(_root + QStringLiteral("/Titles.localized")));
}

void tst_Ownership::dryRunsChangeNothing_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("expected");  // a line of the plan
    QTest::newRow("install") << QStringLiteral("install") << QStringLiteral("keep     edited     ") + Place;
    QTest::newRow("install, replacing") << QStringLiteral("install --replace-edited") << QStringLiteral("replace  edited     ") + Place;
    QTest::newRow("uninstall") << QStringLiteral("uninstall") << QStringLiteral("keep     edited     ") + Place;
    QTest::newRow("uninstall, removing") << QStringLiteral("uninstall --remove-edited") << QStringLiteral("remove   edited     ") + Place;
}

void tst_Ownership::dryRunsChangeNothing()
{
    QFETCH(QString, command);
    QFETCH(QString, expected);
    QCOMPARE(mtzip({QStringLiteral("install"), pack(QStringLiteral("LT_Pack"), "v1")}).exitCode, 0);
    writeFileOrFail(_root + QLatin1Char('/') + Place + QStringLiteral("/notes.txt"), "mine");
    const QString newer = pack(QStringLiteral("LT_Pack"), "v2");
    const QStringList before = treeDigest(_dir->path());
    const CliRun run = mtzip(command.split(QLatin1Char(' ')) + QStringList{QStringLiteral("-n"), newer});
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.out.contains(expected), qPrintable(run.out));
    QCOMPARE(treeDigest(_dir->path()), before);
    QVERIFY(!QFileInfo::exists(trash() + QStringLiteral("/files")));
}

void tst_Ownership::restoreFromRecentlyRemoved()
{
    const QString archive = pack(QStringLiteral("LT_Pack"), "v1", {QStringLiteral("LT_Name"), QStringLiteral("LT_Two")});
    QCOMPARE(mtzip({QStringLiteral("install"), archive}).exitCode, 0);
    const QByteArray receipt = readFile(Receipt::pathFor(_root, QStringLiteral("LT_Pack")));
    QCOMPARE(mtzip({QStringLiteral("uninstall"), QStringLiteral("--trash"), archive}).exitCode, 0);
    QVERIFY(!QFileInfo::exists(_root + QStringLiteral("/Titles.localized")));

    std::vector<RecentlyRemoved::Item> items = RecentlyRemoved::items(_root);
    QCOMPARE(items.size(), size_t(2));
    const auto named = [&items](const QString &name) {
        return *std::find_if(items.begin(), items.end(),
                             [&name](const RecentlyRemoved::Item &item) { return item.destination.endsWith(name); });
    };
    QVERIFY(!RecentlyRemoved::restore(named(QStringLiteral("/LT_Name"))));
    QCOMPARE(readFile(_root + QLatin1Char('/') + Place + QStringLiteral("/LT_Name.moti")), QByteArray("v1"));
    QCOMPARE(RecentlyRemoved::items(_root).size(), size_t(1));
    // Its receipt entry came back: the template is this archive's and intact.
    const std::vector<TemplateLibrary::InstalledTemplate> installed = TemplateLibrary::scan(_root);
    QCOMPARE(installed.size(), size_t(1));
    QCOMPARE(installed.front().originArchiveTitle, QStringLiteral("LT_Pack"));
    QVERIFY(TemplateLibrary::verify(_root).front().isIntact());

    // Something standing at the place now refuses the restore, changing nothing.
    const QString two = _root + QStringLiteral("/Titles.localized/ZT Lower Thirds/LT_Two");
    writeFileOrFail(two + QStringLiteral("/LT_Two.moti"), "new one");
    const std::optional<Error> refused = RecentlyRemoved::restore(named(QStringLiteral("/LT_Two")));
    QVERIFY(refused);
    QCOMPARE(refused->code(), EEXIST);
    QCOMPARE(readFile(two + QStringLiteral("/LT_Two.moti")), QByteArray("new one"));
    QCOMPARE(RecentlyRemoved::items(_root).size(), size_t(1));
    Q_UNUSED(receipt);
}

void tst_Ownership::killedUninstallIsCompletedOrUndone_data()
{
    QTest::addColumn<bool>("cancelled");
    QTest::addColumn<bool>("toTrash");
    QTest::addColumn<bool>("editedSince");  // one not yet taken is changed before the next run
    QTest::newRow("deleting, killed half-way") << false << false << false;
    QTest::newRow("to the Trash, killed half-way") << false << true << false;
    QTest::newRow("cancelled, killed while putting back") << true << false << false;
    QTest::newRow("deleting, one edited since: kept") << false << false << true;
}

void tst_Ownership::killedUninstallIsCompletedOrUndone()
{
    QFETCH(bool, cancelled);
    QFETCH(bool, toTrash);
    QFETCH(bool, editedSince);
    QStringList names;
    for (int i = 0; i < 4; ++i)
        names.append(QStringLiteral("LT_T%1").arg(i));
    const QString archive = pack(QStringLiteral("LT_Pack"), "v1", names);
    QCOMPARE(mtzip({QStringLiteral("install"), archive}).exitCode, 0);
    const QStringList installedDigest = treeDigest(_root);

    // What a run killed after taking the first of four leaves behind.
    const QString category = QStringLiteral("Titles.localized/ZT Lower Thirds/");
    QStringList plan;
    for (const QString &name : names)
        plan.append(category + name);
    const QString removal = QStringLiteral(".mti-removed-99999");
    const QString holder = _root + QLatin1Char('/') + removal + QStringLiteral("/LT_Pack/") + category;
    QVERIFY(QDir().mkpath(holder));
    QString inTrash;
    if (toTrash) {
        inTrash = Trash::moveToTrash(_root + QLatin1Char('/') + plan.first());
        QVERIFY(!inTrash.isEmpty());
    } else {
        QVERIFY(!FileOperations::moveTree(_root + QLatin1Char('/') + plan.first(), holder + names.first()));
    }
    QByteArray journal = QJsonDocument(QJsonObject{{QStringLiteral("journal"), 1}, {QStringLiteral("operation"), QStringLiteral("uninstall")}, {QStringLiteral("archive"), QStringLiteral("LT_Pack")},
                                                   {QStringLiteral("pid"), 99999}, {QStringLiteral("removal"), removal}, {QStringLiteral("trash"), toTrash}})
                             .toJson(QJsonDocument::Compact) + '\n';
    journal += QJsonDocument(QJsonObject{{QStringLiteral("plan"), QJsonArray::fromStringList(plan)}}).toJson(QJsonDocument::Compact) + '\n';
    journal += QJsonDocument(QJsonObject{{QStringLiteral("remove"), plan.first()}}).toJson(QJsonDocument::Compact) + '\n';
    if (toTrash) {
        journal += QJsonDocument(QJsonObject{{QStringLiteral("trashed"), plan.first()}, {QStringLiteral("to"), inTrash}})
                       .toJson(QJsonDocument::Compact) + '\n';
    }
    if (cancelled)
        journal += QByteArray("{\"cancelled\":true}\n");
    writeFileOrFail(_root + QLatin1Char('/') + InstallJournal::fileName(), journal);

    if (editedSince)
        writeFileOrFail(_root + QLatin1Char('/') + plan.last() + QStringLiteral("/notes.txt"), "mine");

    // Any later command finishes the work first.
    QCOMPARE(mtzip({QStringLiteral("list"), archive}).exitCode, 0);
    if (editedSince) {
        QCOMPARE(readFile(_root + QLatin1Char('/') + plan.last() + QStringLiteral("/notes.txt")), QByteArray("mine"));
        QCOMPARE(entryNames(_root + QLatin1Char('/') + category, QDir::Name), QStringList{names.last()});
    } else if (cancelled) {
        QCOMPARE(treeDigest(_root), installedDigest);
    } else {
        QCOMPARE(entryNames(_root, QDir::Name), QStringList());
        QCOMPARE(entryNames(trash() + QStringLiteral("/files"), QDir::Name).size(), toTrash ? 4 : 0);
    }
}

void tst_Ownership::decomposedArchiveNamesMatchComposedOnes()
{
    // A Mac-made copy of the archive carries its name decomposed.
    const QString composed = QStringLiteral("LT_Caf\u00e9");
    const QString decomposed = composed.normalized(QString::NormalizationForm_D);
    QVERIFY(composed != decomposed);
    const QString archive = pack(decomposed, "v1");
    QCOMPARE(mtzip({QStringLiteral("install"), archive}).exitCode, 0);
    QVERIFY(QFile::rename(archive, _dir->filePath(composed + QStringLiteral(".mtzip"))));
    const CliRun run = mtzip({QStringLiteral("uninstall"), _dir->filePath(composed + QStringLiteral(".mtzip"))});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QVERIFY(!QFileInfo::exists(_root + QLatin1Char('/') + Place));
}

QTEST_GUILESS_MAIN(tst_Ownership)
#include "tst_Ownership.moc"
