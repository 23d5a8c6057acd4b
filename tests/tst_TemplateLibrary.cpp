// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
// Receipts written in the install's own transaction, and the library over a
// destination root: what is installed, whether it is intact, removing it.
#include "Common/FileOperations.h"
#include "Common/ProgressListener.h"
#include "Installer/InstallJournal.h"
#include "Installer/Receipt.h"
#include "Installer/TemplateInstaller.h"
#include "Installer/TemplateInstallerV2.h"
#include "Installer/TemplateLibrary.h"
#include "Installer/TemplateTransaction.h"
#include "FaultHooks.h"
#include "TestSupport.h"
#include "ZipTestTools.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <sys/wait.h>
#include <unistd.h>

using namespace TestSupport;
using ZipTestTools::packFolder;

namespace {

using Step = TemplateTransaction::Step;

const QString LowerThirds = QStringLiteral("Titles.localized/ZT Lower Thirds");

QStringList destinations(const std::vector<TemplateLibrary::InstalledTemplate> &installed)
{
    QStringList list;
    for (const TemplateLibrary::InstalledTemplate &item : installed)
        list.append(item.destination);
    return list;
}

QStringList receiptDestinations(const Receipt &receipt)
{
    QStringList list;
    for (const Receipt::Template &entry : receipt.templates)
        list.append(entry.destination);
    return list;
}

// The root's files without the receipts, which carry the time of the install.
QStringList digestWithoutReceipts(const QString &root)
{
    QStringList digest = treeDigest(root);
    digest.erase(std::remove_if(digest.begin(), digest.end(),
                                [](const QString &line) { return line.startsWith(Receipt::folderName()); }),
                 digest.end());
    return digest;
}

} // namespace

class tst_TemplateLibrary : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void installWritesAReceiptOfEveryFile();
    void reinstallReplacesTheReceipt();
    void installOverAnotherArchivesTemplateTakesItOverInItsReceipt();
    void failedInstallLeavesTheReceiptsAsTheyWere_data();
    void failedInstallLeavesTheReceiptsAsTheyWere();
    void cancelledInstallLeavesTheReceiptAsItWas();
    void killedInstallIsRecoveredWithReceiptAndTemplatesAgreeing();
    void uninstallRemovesTheReceipt();
    void killedUninstallIsCompletedWithItsReceiptTrimmed_data();
    void killedUninstallIsCompletedWithItsReceiptTrimmed();
    void receiptRefusesWhatLeadsOutsideTheRoot_data();
    void receiptRefusesWhatLeadsOutsideTheRoot();
    void receiptFileNamesStayInTheReceiptsFolder_data();
    void receiptFileNamesStayInTheReceiptsFolder();

    void scanFindsEveryTemplateWhoeverPutItThere();
    void scanNeverListsHiddenFolders();
    void scanFollowsLinkedKindAndCategoryFolders();
    void verifyReportsMissingChangedAndAddedFiles();
    void verifyStopsWhenTheListenerSaysSo();
    void verifyMatchesNamesInEitherUnicodeForm();
    void resolveNamesDestinationsAndArchiveTitles();
    void removeByPathTrimsTheReceipt();
    void removeByArchiveTitleRemovesTheReceipt();
    void removeRefusesWhatIsNoTemplate_data();
    void removeRefusesWhatIsNoTemplate();
    void removeByTitleLeavesWhatIsNoLongerTheReceiptsTemplate();
    void nestedTemplatesGoWithTheirParent();
    void linkedReceiptsFolderIsNeverWrittenThrough();
    void provenanceTellsWhereTheInstalledCopyCameFrom_data();
    void provenanceTellsWhereTheInstalledCopyCameFrom();

private:
    // LT_<name>.mtzip holding the named templates below Pack/.
    QString makeArchive(const QString &name, const QStringList &templates, const QByteArray &salt = "");
    std::unique_ptr<TemplateInstallerV2> open(const QString &archive);
    void install(const QString &archive);
    QString receiptPath(const QString &name) const { return Receipt::pathFor(_root, QStringLiteral("LT_") + name); }

    QTemporaryDir _home;
    QTemporaryDir _tmp;
    std::unique_ptr<QTemporaryDir> _dir;
    QString _root;
};

void tst_TemplateLibrary::initTestCase()
{
    QVERIFY(_home.isValid());
    QVERIFY(_tmp.isValid());
    qputenv("HOME", QFile::encodeName(_home.path()));
    qunsetenv("XDG_DATA_HOME");
    QStandardPaths::setTestModeEnabled(true);
    qputenv("TMPDIR", QFile::encodeName(_tmp.path()));
}

void tst_TemplateLibrary::init()
{
    _dir = std::make_unique<QTemporaryDir>();
    QVERIFY(_dir->isValid());
    _root = _dir->filePath(QStringLiteral("Motion Templates.localized"));
    QVERIFY(QDir().mkpath(_root));
}

void tst_TemplateLibrary::cleanup()
{
    FaultHooks::clear();
    _dir.reset();
}

QString tst_TemplateLibrary::makeArchive(const QString &name, const QStringList &templates, const QByteArray &salt)
{
    const QString source = _dir->filePath(QStringLiteral("src-") + name);
    if (FileOperations::removeAll(source))
        qWarning("cannot empty %s", qPrintable(source));
    for (const QString &folder : templates) {
        const QString path = source + QStringLiteral("/Pack/") + folder;
        writeFileOrFail(path + QLatin1Char('/') + folder + QStringLiteral(".moti"), folder.toUtf8() + salt);
        writeFileOrFail(path + QStringLiteral("/Media/clip.mov"), QByteArray(3000, 'c') + salt);
    }
    // Finder metadata beside the contents is no template's file.
    writeFileOrFail(source + QStringLiteral("/__MACOSX/Pack/._x"), "meta");
    const QString archive = _dir->filePath(QStringLiteral("LT_%1.mtzip").arg(name));
    QFile::remove(archive);
    packFolder(source, archive);
    return archive;
}

std::unique_ptr<TemplateInstallerV2> tst_TemplateLibrary::open(const QString &archive)
{
    auto installer = TemplateInstallerV2::create(QUrl::fromLocalFile(archive), _root);
    if (installer && !installer->unarchive())
        qWarning("unarchive failed: %s", qPrintable(installer->unarchiveError()));
    if (installer) {
        installer->setDisposal(TemplateTransaction::Disposal::Delete);
        // These tests follow the receipts through replacements the user agreed to.
        installer->setOwnershipPolicy({true, true, false});
    }
    return installer;
}

void tst_TemplateLibrary::install(const QString &archive)
{
    auto installer = open(archive);
    QVERIFY(installer);
    const std::optional<Error> error = installer->installEffects();
    QVERIFY2(!error, error ? qPrintable(error->localizedDescription()) : "");
}

void tst_TemplateLibrary::installWritesAReceiptOfEveryFile()
{
    const QString archive = makeArchive(QStringLiteral("Pack"), {QStringLiteral("LT_One"), QStringLiteral("LT_Two")});
    const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-1);
    install(archive);

    const std::optional<Receipt> receipt = Receipt::read(receiptPath(QStringLiteral("Pack")));
    QVERIFY(receipt);
    QCOMPARE(receipt->archiveTitle, QStringLiteral("LT_Pack"));
    QCOMPARE(receipt->archiveFileName, QStringLiteral("LT_Pack.mtzip"));
    QCOMPARE(receipt->archivePath, archive);
    QFile file(archive);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(receipt->archiveSha256,
             QString::fromLatin1(QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex()));
    QVERIFY(receipt->installedAt >= before && receipt->installedAt <= QDateTime::currentDateTimeUtc());
    QCOMPARE(receipt->installedAt.timeSpec(), Qt::UTC);
    QVERIFY(receipt->installedBy.startsWith(QStringLiteral("Motion Template Installer ")));
    QCOMPARE(receiptDestinations(*receipt),
             QStringList({LowerThirds + QStringLiteral("/LT_One"), LowerThirds + QStringLiteral("/LT_Two")}));
    const Receipt::Template *one = receipt->templateAt(LowerThirds + QStringLiteral("/LT_One"));
    QVERIFY(one);
    QCOMPARE(one->templateType, quint64(3));
    QCOMPARE(one->title, QStringLiteral("One"));
    QCOMPARE(one->category, QStringLiteral("Lower Thirds"));
    QCOMPARE(one->files.size(), size_t(2));
    QCOMPARE(one->files[0].path, QStringLiteral("LT_One.moti"));
    QCOMPARE(one->files[0].size, qint64(6));
    QCOMPARE(one->files[1].path, QStringLiteral("Media/clip.mov"));
    QCOMPARE(one->files[1].size, qint64(3000));
    // zlib's CRC over the installed bytes against the archive's directory.
    for (const TemplateLibrary::Verification &result : TemplateLibrary::verify(_root)) {
        QVERIFY(result.hasReceipt);
        QVERIFY2(result.isIntact(), qPrintable(result.changed.join(QLatin1Char(','))));
        QVERIFY(result.added.isEmpty());
    }
    // The JSON says what the struct does.
    const std::optional<Receipt> again = Receipt::fromJson(receipt->toJson());
    QVERIFY(again);
    QCOMPARE(again->toJson(), receipt->toJson());
}

void tst_TemplateLibrary::reinstallReplacesTheReceipt()
{
    install(makeArchive(QStringLiteral("Pack"), {QStringLiteral("LT_One"), QStringLiteral("LT_Two")}));
    install(makeArchive(QStringLiteral("Pack"), {QStringLiteral("LT_One"), QStringLiteral("LT_Three")}, "v2"));
    std::optional<Receipt> receipt = Receipt::read(receiptPath(QStringLiteral("Pack")));
    QVERIFY(receipt);
    // LT_Two, which the new version no longer holds, is still installed and
    // still this archive's.
    QCOMPARE(receiptDestinations(*receipt),
             QStringList({LowerThirds + QStringLiteral("/LT_One"), LowerThirds + QStringLiteral("/LT_Three"),
                          LowerThirds + QStringLiteral("/LT_Two")}));
    QCOMPARE(receipt->templateAt(LowerThirds + QStringLiteral("/LT_One"))->files[0].size, qint64(8));
    QCOMPARE(receipt->templateAt(LowerThirds + QStringLiteral("/LT_Two"))->files[0].size, qint64(6));
    // Once it is gone, a re-install forgets it.
    QVERIFY(!FileOperations::removeAll(_root + QLatin1Char('/') + LowerThirds + QStringLiteral("/LT_Two")));
    install(_dir->filePath(QStringLiteral("LT_Pack.mtzip")));
    receipt = Receipt::read(receiptPath(QStringLiteral("Pack")));
    QVERIFY(receipt);
    QCOMPARE(receiptDestinations(*receipt),
             QStringList({LowerThirds + QStringLiteral("/LT_One"), LowerThirds + QStringLiteral("/LT_Three")}));
    QCOMPARE(Receipt::paths(_root).size(), 1);
    // Nothing of the swap is left beside it.
    QCOMPARE(entryNames(_root + QLatin1Char('/') + Receipt::folderName(), QDir::Name),
             QStringList{QFileInfo(receiptPath(QStringLiteral("Pack"))).fileName()});
}

void tst_TemplateLibrary::installOverAnotherArchivesTemplateTakesItOverInItsReceipt()
{
    install(makeArchive(QStringLiteral("First"), {QStringLiteral("LT_One"), QStringLiteral("LT_Two")}));
    install(makeArchive(QStringLiteral("Second"), {QStringLiteral("LT_Two")}, "second"));
    const std::optional<Receipt> first = Receipt::read(receiptPath(QStringLiteral("First")));
    QVERIFY(first);
    QCOMPARE(receiptDestinations(*first), QStringList{LowerThirds + QStringLiteral("/LT_One")});
    const std::vector<TemplateLibrary::InstalledTemplate> installed = TemplateLibrary::scan(_root);
    QCOMPARE(installed.size(), size_t(2));
    QCOMPARE(installed[1].originArchiveTitle, QStringLiteral("LT_Second"));

    // Its last template taken over, a receipt goes.
    install(makeArchive(QStringLiteral("Third"), {QStringLiteral("LT_One")}, "third"));
    QVERIFY(!QFileInfo::exists(receiptPath(QStringLiteral("First"))));
}

void tst_TemplateLibrary::failedInstallLeavesTheReceiptsAsTheyWere_data()
{
    QTest::addColumn<bool>("earlierInstall");
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("index");
    // Two templates (0, 1); the receipts come after them: with an earlier
    // install of another archive holding LT_Two, its trimmed receipt is 2
    // and this archive's own is 3; without, the own one is 2.
    QTest::newRow("first install, staging a template") << false << int(Step::Stage) << 1;
    QTest::newRow("first install, staging the receipt") << false << int(Step::Stage) << 2;
    QTest::newRow("first install, swapping the receipt in") << false << int(Step::Swap) << 2;
    QTest::newRow("first install, committing") << false << int(Step::Commit) << 2;
    QTest::newRow("over another's, setting its receipt aside") << true << int(Step::SetAside) << 2;
    QTest::newRow("over another's, swapping its trimmed receipt") << true << int(Step::Swap) << 2;
    QTest::newRow("over another's, staging the own receipt") << true << int(Step::Stage) << 3;
    QTest::newRow("over another's, committing") << true << int(Step::Commit) << 2;
}

void tst_TemplateLibrary::failedInstallLeavesTheReceiptsAsTheyWere()
{
    QFETCH(bool, earlierInstall);
    QFETCH(int, step);
    QFETCH(int, index);
    if (earlierInstall)
        install(makeArchive(QStringLiteral("Earlier"), {QStringLiteral("LT_Two"), QStringLiteral("LT_Zero")}, "earlier"));
    const QStringList before = treeDigest(_root);
    auto installer = open(makeArchive(QStringLiteral("Pack"), {QStringLiteral("LT_One"), QStringLiteral("LT_Two")}));
    QVERIFY(installer);

    FaultHooks::failAt(Step(step), index);
    const std::optional<Error> error = installer->installEffects();
    QVERIFY(error);
    QCOMPARE(error->code(), EIO);
    QCOMPARE(treeDigest(_root), before);
    if (!earlierInstall)
        QVERIFY(!QFileInfo::exists(_root + QLatin1Char('/') + Receipt::folderName()));
}

void tst_TemplateLibrary::cancelledInstallLeavesTheReceiptAsItWas()
{
    install(makeArchive(QStringLiteral("Pack"), {QStringLiteral("LT_One"), QStringLiteral("LT_Two")}));
    const QStringList before = digestWithoutReceipts(_root);
    const QByteArray receiptBefore = readFile(receiptPath(QStringLiteral("Pack")));
    QVERIFY(!receiptBefore.isEmpty());
    const QString archive =
        makeArchive(QStringLiteral("Pack"), {QStringLiteral("LT_One"), QStringLiteral("LT_Three")}, "v2");

    // How often a whole install reports, in a root of its own.
    CancelAt never(-1);
    {
        auto counting = TemplateInstallerV2::create(QUrl::fromLocalFile(archive), _dir->filePath(QStringLiteral("other")));
        QVERIFY(counting && counting->unarchive());
        counting->setProgressListener(&never);
        QVERIFY(!counting->installEffects());
    }
    QVERIFY(never.calls >= 2);

    auto installer = open(archive);
    QVERIFY(installer);
    int cancelled = 0;
    for (int call = 1; call <= never.calls + 1; ++call) {
        CancelAt listener(call);
        installer->setProgressListener(&listener);
        const std::optional<Error> error = installer->installEffects();
        installer->setProgressListener(nullptr);
        if (!error) {
            // Cancelling after the commit changes nothing: it stands.
            QVERIFY(readFile(receiptPath(QStringLiteral("Pack"))) != receiptBefore);
            break;
        }
        ++cancelled;
        QVERIFY2(error->isCancellation(), qPrintable(error->localizedDescription()));
        QCOMPARE(digestWithoutReceipts(_root), before);
        QCOMPARE(readFile(receiptPath(QStringLiteral("Pack"))), receiptBefore);
        QCOMPARE(Receipt::paths(_root).size(), 1);
    }
    QVERIFY(cancelled >= 2);
}

void tst_TemplateLibrary::killedInstallIsRecoveredWithReceiptAndTemplatesAgreeing()
{
    install(makeArchive(QStringLiteral("Earlier"), {QStringLiteral("LT_Two"), QStringLiteral("LT_Zero")}));
    install(makeArchive(QStringLiteral("Pack"), {QStringLiteral("LT_One")}));
    const QString pristine = _dir->filePath(QStringLiteral("pristine"));
    QVERIFY(!FileOperations::copyTree(_root, pristine));
    const QStringList before = treeDigest(_root);
    auto installer =
        open(makeArchive(QStringLiteral("Pack"), {QStringLiteral("LT_One"), QStringLiteral("LT_Two")}, "v2"));
    QVERIFY(installer);
    const EffectTemplateItemList items = installer->effects();

    // The record as installEffects makes it, without the worker (a forked
    // child has none): every file is listed up front.
    TemplateTransaction::InstallRecord record;
    record.receipt.archiveTitle = QStringLiteral("LT_Pack");
    for (const EffectTemplateItem *item : items) {
        Receipt::Template entry;
        entry.templateType = item->templateType();
        entry.title = item->title();
        entry.destination = item->relativeDestinationPath();
        entry.files = {{item->folderName() + QStringLiteral(".moti"), 0, 0}};
        record.receipt.templates.push_back(entry);
    }

    int killedRuns = 0;
    for (int call = 1;; ++call) {
        QVERIFY(!FileOperations::removeAll(_root));
        QVERIFY(!FileOperations::copyTree(pristine, _root));
        FaultHooks::killAtCall(call);
        const pid_t child = ::fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            const std::optional<Error> error = TemplateInstaller::copyEffects(
                {.effects = items, .folder = _root, .archiveTitle = QStringLiteral("LT_Pack"), .record = &record});
            ::_exit(error ? 1 : 0);
        }
        TemplateTransaction::setFaultHook(nullptr);
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY(WIFEXITED(status));
        const bool complete = WEXITSTATUS(status) == 0;
        if (!complete) {
            QCOMPARE(WEXITSTATUS(status), 137);
            ++killedRuns;
            const bool committed = InstallJournal::read(_root)->committed();
            QVERIFY(TemplateTransaction::recover(_root));
            if (!committed) {
                QVERIFY2(treeDigest(_root) == before, qPrintable(QStringLiteral("killed at call %1").arg(call)));
                continue;
            }
        }
        // Completed: both templates this archive's, the earlier archive's
        // receipt without the one taken over.
        const std::optional<Receipt> own = Receipt::read(receiptPath(QStringLiteral("Pack")));
        QVERIFY(own);
        QCOMPARE(receiptDestinations(*own),
                 QStringList({LowerThirds + QStringLiteral("/LT_One"), LowerThirds + QStringLiteral("/LT_Two")}));
        const std::optional<Receipt> earlier = Receipt::read(receiptPath(QStringLiteral("Earlier")));
        QVERIFY(earlier);
        QCOMPARE(receiptDestinations(*earlier), QStringList{LowerThirds + QStringLiteral("/LT_Zero")});
        QCOMPARE(readFile(_root + QLatin1Char('/') + LowerThirds + QStringLiteral("/LT_Two/LT_Two.moti")),
                 QByteArray("LT_Twov2"));
        QCOMPARE(entryNames(_root + QLatin1Char('/') + Receipt::folderName(), QDir::Name),
                 QStringList({QFileInfo(receiptPath(QStringLiteral("Earlier"))).fileName(),
                              QFileInfo(receiptPath(QStringLiteral("Pack"))).fileName()}));
        if (complete)
            break;
    }
    // Per template stage, set-aside, swap; per receipt (the earlier one
    // trimmed, the own one replaced) the same; the commit; the removal of
    // the four older copies.
    QCOMPARE(killedRuns, 2 * 3 + 2 * 3 + 1 + 4);
}

void tst_TemplateLibrary::uninstallRemovesTheReceipt()
{
    const QString archive = makeArchive(QStringLiteral("Pack"), {QStringLiteral("LT_One"), QStringLiteral("LT_Two")});
    install(archive);
    auto installer = open(archive);
    QVERIFY(!installer->deleteEffects());
    QCOMPARE(installer->lastRemovalReport().removed, 2);
    QVERIFY(!QFileInfo::exists(receiptPath(QStringLiteral("Pack"))));
    // The root is as before the first install.
    QCOMPARE(entryNames(_root, QDir::Name), QStringList());
}

void tst_TemplateLibrary::killedUninstallIsCompletedWithItsReceiptTrimmed_data()
{
    QTest::addColumn<bool>("cancelled");
    QTest::newRow("killed while removing: completed") << false;
    QTest::newRow("killed while putting back a cancel: put back") << true;
}

void tst_TemplateLibrary::killedUninstallIsCompletedWithItsReceiptTrimmed()
{
    QFETCH(bool, cancelled);
    install(makeArchive(QStringLiteral("Pack"), {QStringLiteral("LT_One"), QStringLiteral("LT_Two")}));
    // What an uninstall of LT_One by process 999999999 left: the template
    // moved into its removal folder, the receipt not yet trimmed.
    const QString held = _root + QStringLiteral("/.mti-removed-999999999/LT_Pack/") + LowerThirds;
    QVERIFY(QDir().mkpath(held));
    QVERIFY(!FileOperations::moveTree(_root + QLatin1Char('/') + LowerThirds + QStringLiteral("/LT_One"),
                                      held + QStringLiteral("/LT_One")));
    QByteArray journal = "{\"journal\":1,\"operation\":\"uninstall\",\"archive\":\"LT_Pack\",\"pid\":999999999,"
                         "\"removal\":\".mti-removed-999999999\",\"trash\":false}\n"
                         "{\"remove\":\"" + LowerThirds.toUtf8() + "/LT_One\"}\n";
    if (cancelled)
        journal += "{\"cancelled\":true}\n";
    writeFileOrFail(_root + QLatin1Char('/') + InstallJournal::fileName(), journal);

    TemplateInstaller::recoverInterruptedRun(_root);
    QVERIFY(!QFileInfo::exists(_root + QLatin1Char('/') + InstallJournal::fileName()));
    QVERIFY(!QFileInfo::exists(_root + QStringLiteral("/.mti-removed-999999999")));
    const QStringList expected = cancelled
        ? QStringList({LowerThirds + QStringLiteral("/LT_One"), LowerThirds + QStringLiteral("/LT_Two")})
        : QStringList{LowerThirds + QStringLiteral("/LT_Two")};
    QCOMPARE(destinations(TemplateLibrary::scan(_root)), expected);
    // The receipt names exactly what is installed.
    const std::optional<Receipt> receipt = Receipt::read(receiptPath(QStringLiteral("Pack")));
    QVERIFY(receipt);
    QCOMPARE(receiptDestinations(*receipt), expected);
}

void tst_TemplateLibrary::receiptRefusesWhatLeadsOutsideTheRoot_data()
{
    QTest::addColumn<QByteArray>("destination");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("a template below a category is accepted") << QByteArray("Titles.localized/ZT A/LT_X")
                                                             << QByteArray("Media/a.png") << true;
    QTest::newRow("a destination with .. is refused") << QByteArray("Titles.localized/../../x") << QByteArray("a") << false;
    QTest::newRow("an absolute destination is refused") << QByteArray("/etc") << QByteArray("a") << false;
    QTest::newRow("an empty destination is refused") << QByteArray("") << QByteArray("a") << false;
    QTest::newRow("a destination in the receipts folder is refused") << QByteArray(".receipts/x") << QByteArray("a") << false;
    // Removing by archive title would take all that is in them.
    QTest::newRow("a kind folder is refused") << QByteArray("Titles.localized") << QByteArray("a") << false;
    QTest::newRow("a category folder is refused") << QByteArray("Titles.localized/ZT A") << QByteArray("a") << false;
    QTest::newRow("a folder outside the kind folders is refused") << QByteArray("Pictures/ZT A/LT_X")
                                                                  << QByteArray("a") << false;
    QTest::newRow("a file path with .. is refused") << QByteArray("Titles.localized/ZT A/LT_X")
                                                   << QByteArray("../../../etc/passwd") << false;
    QTest::newRow("an absolute file path is refused") << QByteArray("Titles.localized/ZT A/LT_X")
                                                     << QByteArray("/etc/passwd") << false;
}

void tst_TemplateLibrary::receiptRefusesWhatLeadsOutsideTheRoot()
{
    QFETCH(QByteArray, destination);
    QFETCH(QByteArray, file);
    QFETCH(bool, accepted);
    const QByteArray json = "{\"version\":1,\"archiveTitle\":\"LT_X\",\"templates\":[{\"destination\":\"" + destination
        + "\",\"files\":[{\"path\":\"" + file + "\",\"size\":1,\"crc32\":\"0000abcd\"}]}]}";
    const std::optional<Receipt> receipt = Receipt::fromJson(json);
    QCOMPARE(receipt.has_value(), accepted);
    if (accepted)
        QCOMPARE(receipt->templates.at(0).files.at(0).crc32, quint32(0xabcd));
    QVERIFY(!Receipt::fromJson(QByteArray(json).replace("\"version\":1", "\"version\":2")));
    QVERIFY(!Receipt::fromJson(json.left(json.size() / 2)));
}

void tst_TemplateLibrary::receiptFileNamesStayInTheReceiptsFolder_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("readable");  // the name before "~" and the hash
    QTest::newRow("a plain title") << QStringLiteral("LT_Pack") << QStringLiteral("LT_Pack");
    QTest::newRow("a hidden title") << QStringLiteral(".hidden") << QStringLiteral("%2Ehidden");
    QTest::newRow("a title with a slash") << QStringLiteral("../x") << QStringLiteral("%2E.%2Fx");
    QTest::newRow("an empty title") << QString() << QString();
    QTest::newRow("a control character") << QStringLiteral("a\nb") << QStringLiteral("a%0Ab");
    QTest::newRow("a percent sign") << QStringLiteral("a%0Ab") << QStringLiteral("a%250Ab");
    QTest::newRow("beyond ASCII") << QStringLiteral("caf\u00e9") << QStringLiteral("caf%C3%A9");
}

void tst_TemplateLibrary::receiptFileNamesStayInTheReceiptsFolder()
{
    QFETCH(QString, title);
    QFETCH(QString, readable);
    const QString path = Receipt::pathFor(QStringLiteral("/r"), title);
    QVERIFY2(QRegularExpression(QStringLiteral("^/r/\\.receipts/") + QRegularExpression::escape(readable)
                                + QStringLiteral("~[0-9a-f]{16}\\.json$"))
                 .match(path)
                 .hasMatch(),
             qPrintable(path));
    QVERIFY(QFileInfo(Receipt::pathFor(QStringLiteral("/r"), QString(300, QLatin1Char('x')))).fileName().toUtf8().size()
            <= 255);
}

void tst_TemplateLibrary::scanFindsEveryTemplateWhoeverPutItThere()
{
    install(makeArchive(QStringLiteral("Pack"), {QStringLiteral("LT_One"), QStringLiteral("LT_Two")}));
    // Copied by hand: a generator in a category of its own, a title beside
    // the installed ones, and one nested a level deeper.
    writeFileOrFail(_root + QStringLiteral("/Generators.localized/Mine/BG_Waves/BG_Waves.motn"), "waves");
    writeFileOrFail(_root + QStringLiteral("/Generators.localized/Mine/BG_Waves/preview.png"), "12345");
    writeFileOrFail(_root + QLatin1Char('/') + LowerThirds + QStringLiteral("/LT_Hand/LT_Hand.moti"), "hand");
    writeFileOrFail(_root + QStringLiteral("/Effects.localized/ZT Glows/Set/AB_Glow/AB_Glow.moef"), "glow");
    // Loose files and a template file lying in a kind folder are no templates.
    writeFileOrFail(_root + QStringLiteral("/Titles.localized/Loose.moti"), "x");
    writeFileOrFail(_root + QStringLiteral("/Titles.localized/ZT Empty/readme.txt"), "x");

    const std::vector<TemplateLibrary::InstalledTemplate> installed = TemplateLibrary::scan(_root);
    QCOMPARE(destinations(installed),
             QStringList({QStringLiteral("Effects.localized/ZT Glows/Set/AB_Glow"),
                          QStringLiteral("Generators.localized/Mine/BG_Waves"),
                          LowerThirds + QStringLiteral("/LT_Hand"), LowerThirds + QStringLiteral("/LT_One"),
                          LowerThirds + QStringLiteral("/LT_Two")}));
    const TemplateLibrary::InstalledTemplate &waves = installed[1];
    QCOMPARE(waves.templateType, quint64(2));
    QCOMPARE(waves.categoryFolder, QStringLiteral("Mine"));
    QCOMPARE(waves.category, QStringLiteral("Backgrounds"));
    QCOMPARE(waves.title, QStringLiteral("Waves"));
    QCOMPARE(waves.templateFile, QStringLiteral("Generators.localized/Mine/BG_Waves/BG_Waves.motn"));
    QCOMPARE(waves.size, qint64(10));
    QVERIFY(waves.originArchiveTitle.isNull());
    QVERIFY(waves.installedAt.isValid());
    QVERIFY(installed[2].originArchiveTitle.isNull());

    const TemplateLibrary::InstalledTemplate &one = installed[3];
    QCOMPARE(one.originArchiveTitle, QStringLiteral("LT_Pack"));
    QCOMPARE(one.originArchivePath, _dir->filePath(QStringLiteral("LT_Pack.mtzip")));
    QCOMPARE(one.installedAt, Receipt::read(receiptPath(QStringLiteral("Pack")))->installedAt);
    QCOMPARE(one.size, qint64(6 + 3000));
    QCOMPARE(one.categoryFolder, QStringLiteral("ZT Lower Thirds"));
    QCOMPARE(one.title, QStringLiteral("One"));
    // The same on every run.
    QCOMPARE(destinations(TemplateLibrary::scan(_root)), destinations(installed));
}

void tst_TemplateLibrary::scanNeverListsHiddenFolders()
{
    install(makeArchive(QStringLiteral("Pack"), {QStringLiteral("LT_One")}));
    const QString category = _root + QLatin1Char('/') + LowerThirds;
    // What a killed install leaves, a hidden category, a hidden folder inside
    // a template's category, Finder metadata.
    writeFileOrFail(category + QStringLiteral("/.mti-stage-99-0/LT_One.moti"), "staged");
    writeFileOrFail(category + QStringLiteral("/.mti-backup-99-0/LT_One.moti"), "old");
    writeFileOrFail(_root + QStringLiteral("/Titles.localized/.Hidden/LT_X/LT_X.moti"), "x");
    writeFileOrFail(_root + QStringLiteral("/.receipts/LT_Y/LT_Y.moti"), "x");
    writeFileOrFail(category + QStringLiteral("/.DS_Store"), "x");
    writeFileOrFail(_root + QLatin1Char('/') + InstallJournal::fileName(), "");
    QCOMPARE(destinations(TemplateLibrary::scan(_root)), QStringList{LowerThirds + QStringLiteral("/LT_One")});
    QCOMPARE(TemplateLibrary::scan(_dir->filePath(QStringLiteral("missing"))).size(), size_t(0));
}

void tst_TemplateLibrary::scanFollowsLinkedKindAndCategoryFolders()
{
    // Kind and category folders moved to a larger disk and linked back.
    const QString elsewhere = _dir->filePath(QStringLiteral("elsewhere"));
    QVERIFY(QDir().mkpath(elsewhere + QStringLiteral("/Titles")));
    QVERIFY(QDir().mkpath(_root + QStringLiteral("/Generators.localized")));
    QVERIFY(QFile::link(elsewhere + QStringLiteral("/Titles"), _root + QStringLiteral("/Titles.localized")));
    install(makeArchive(QStringLiteral("Pack"), {QStringLiteral("LT_One")}));
    QVERIFY(QFileInfo::exists(elsewhere + QStringLiteral("/Titles/ZT Lower Thirds/LT_One/LT_One.moti")));
    writeFileOrFail(elsewhere + QStringLiteral("/Waves/BG_Waves/BG_Waves.motn"), "waves");
    QVERIFY(QFile::link(elsewhere + QStringLiteral("/Waves"), _root + QStringLiteral("/Generators.localized/Waves")));
    // Deeper links are not followed: a linked template folder, a link inside a template.
    writeFileOrFail(elsewhere + QStringLiteral("/Other/LT_Linked/LT_Linked.moti"), "linked");
    const QString category = _root + QLatin1Char('/') + LowerThirds;
    QVERIFY(QFile::link(elsewhere + QStringLiteral("/Other/LT_Linked"), category + QStringLiteral("/LT_Linked")));
    QVERIFY(QFile::link(elsewhere + QStringLiteral("/Other"), category + QStringLiteral("/LT_One/Other")));

    const std::vector<TemplateLibrary::InstalledTemplate> installed = TemplateLibrary::scan(_root);
    QCOMPARE(destinations(installed), QStringList({QStringLiteral("Generators.localized/Waves/BG_Waves"),
                                                   LowerThirds + QStringLiteral("/LT_One")}));
    QCOMPARE(installed[0].size, qint64(5));
    QCOMPARE(installed[1].originArchiveTitle, QStringLiteral("LT_Pack"));
    QCOMPARE(installed[1].size, qint64(6 + 3000));

    // Removing takes the templates and leaves the links.
    QVERIFY(!TemplateLibrary::remove(_root, destinations(installed), TemplateTransaction::Disposal::Delete));
    QVERIFY(TemplateLibrary::scan(_root).empty());
    QVERIFY(QFileInfo(_root + QStringLiteral("/Titles.localized")).isSymLink());
    QVERIFY(QFileInfo(_root + QStringLiteral("/Generators.localized/Waves")).isSymLink());
    QVERIFY(!QFileInfo::exists(elsewhere + QStringLiteral("/Waves/BG_Waves")));
    QCOMPARE(readFile(elsewhere + QStringLiteral("/Other/LT_Linked/LT_Linked.moti")), QByteArray("linked"));
}

void tst_TemplateLibrary::verifyReportsMissingChangedAndAddedFiles()
{
    install(makeArchive(QStringLiteral("Pack"),
                        {QStringLiteral("LT_Changed"), QStringLiteral("LT_Gone"), QStringLiteral("LT_Intact")}));
    writeFileOrFail(_root + QStringLiteral("/Titles.localized/Mine/LT_Hand/LT_Hand.moti"), "hand");
    const QString changed = _root + QLatin1Char('/') + LowerThirds + QStringLiteral("/LT_Changed");
    // Same size, other bytes: only the CRC tells.
    writeFileOrFail(changed + QStringLiteral("/Media/clip.mov"), QByteArray(3000, 'd'));
    writeFileOrFail(changed + QStringLiteral("/LT_Changed.moti"), "longer than it was");
    writeFileOrFail(changed + QStringLiteral("/notes.txt"), "mine");
    QVERIFY(!FileOperations::removeAll(_root + QLatin1Char('/') + LowerThirds + QStringLiteral("/LT_Gone")));
    const QString intact = _root + QLatin1Char('/') + LowerThirds + QStringLiteral("/LT_Intact");

    const std::vector<TemplateLibrary::Verification> results = TemplateLibrary::verify(_root);
    QStringList seen;
    for (const TemplateLibrary::Verification &result : results)
        seen.append(result.destination);
    QCOMPARE(seen, QStringList({QStringLiteral("Titles.localized/Mine/LT_Hand"),
                                LowerThirds + QStringLiteral("/LT_Changed"), LowerThirds + QStringLiteral("/LT_Gone"),
                                LowerThirds + QStringLiteral("/LT_Intact")}));
    QVERIFY(!results[0].hasReceipt);
    QVERIFY(results[0].isIntact());
    QCOMPARE(results[1].changed, QStringList({QStringLiteral("LT_Changed.moti"), QStringLiteral("Media/clip.mov")}));
    QCOMPARE(results[1].added, QStringList{QStringLiteral("notes.txt")});
    QVERIFY(results[1].missing.isEmpty());
    QCOMPARE(results[2].missing, QStringList({QStringLiteral("LT_Gone.moti"), QStringLiteral("Media/clip.mov")}));
    QVERIFY(!results[2].isIntact());
    QVERIFY(results[3].isIntact());
    QVERIFY(results[3].added.isEmpty());

    // A selection by title, folder name, destination or archive.
    QCOMPARE(TemplateLibrary::verify(_root, {QStringLiteral("Intact")}).size(), size_t(1));
    QCOMPARE(TemplateLibrary::verify(_root, {QStringLiteral("LT_Hand")}).at(0).destination,
             QStringLiteral("Titles.localized/Mine/LT_Hand"));
    QCOMPARE(TemplateLibrary::verify(_root, {intact}).size(), size_t(1));
    QCOMPARE(TemplateLibrary::verify(_root, {QStringLiteral("LT_Pack")}).size(), size_t(3));
    QCOMPARE(TemplateLibrary::verify(_root, {QStringLiteral("nothing")}).size(), size_t(0));
}

void tst_TemplateLibrary::verifyStopsWhenTheListenerSaysSo()
{
    install(makeArchive(QStringLiteral("Pack"), {QStringLiteral("LT_One"), QStringLiteral("LT_Two")}));
    CancelAt listener(1);
    const std::vector<TemplateLibrary::Verification> results = TemplateLibrary::verify(_root, {}, &listener);
    QCOMPARE(listener.calls, 1);
    QVERIFY(results.size() < 2);
}

void tst_TemplateLibrary::verifyMatchesNamesInEitherUnicodeForm()
{
    const QString composed = QStringLiteral("Caf\u00e9.png");
    const QString source = _dir->filePath(QStringLiteral("src-Unicode/LT_Cafe"));
    writeFileOrFail(source + QStringLiteral("/LT_Cafe.moti"), "cafe");
    writeFileOrFail(source + QLatin1Char('/') + composed, "png");
    const QString archive = _dir->filePath(QStringLiteral("LT_Unicode.mtzip"));
    packFolder(_dir->filePath(QStringLiteral("src-Unicode")), archive);
    install(archive);
    // As a file system that decomposes names gives it back.
    const QString folder = _root + QLatin1Char('/') + LowerThirds + QStringLiteral("/LT_Cafe/");
    const QString decomposed = composed.normalized(QString::NormalizationForm_D);
    QVERIFY(decomposed != composed);
    QVERIFY(QFile::rename(folder + composed, folder + decomposed));
    const std::vector<TemplateLibrary::Verification> results = TemplateLibrary::verify(_root);
    QCOMPARE(results.size(), size_t(1));
    QVERIFY(results[0].isIntact());
    QVERIFY(results[0].added.isEmpty());
    // And its bytes are still read.
    writeFileOrFail(folder + decomposed, "PNG");
    QCOMPARE(TemplateLibrary::verify(_root).at(0).changed, QStringList{composed});
}

void tst_TemplateLibrary::resolveNamesDestinationsAndArchiveTitles()
{
    install(makeArchive(QStringLiteral("Pack"), {QStringLiteral("LT_One"), QStringLiteral("LT_Two")}));
    writeFileOrFail(_root + QStringLiteral("/Titles.localized/Mine/LT_Hand/LT_Hand.moti"), "hand");
    QStringList unknown;
    const QStringList resolved = TemplateLibrary::resolve(
        _root,
        {QStringLiteral("LT_Pack"), _root + QStringLiteral("/Titles.localized/Mine/LT_Hand/"),
         QStringLiteral("/") + LowerThirds + QStringLiteral("/LT_One"), QStringLiteral("Titles.localized"),
         QStringLiteral("LT_Other")},
        &unknown);
    QCOMPARE(resolved, QStringList({LowerThirds + QStringLiteral("/LT_One"), LowerThirds + QStringLiteral("/LT_Two"),
                                    QStringLiteral("Titles.localized/Mine/LT_Hand")}));
    QCOMPARE(unknown, QStringList({QStringLiteral("Titles.localized"), QStringLiteral("LT_Other")}));
    QCOMPARE(TemplateLibrary::resolve(_root, {QStringLiteral("LT_Pack.mtzip")}).size(), 2);
}

void tst_TemplateLibrary::removeByPathTrimsTheReceipt()
{
    install(makeArchive(QStringLiteral("Pack"), {QStringLiteral("LT_One"), QStringLiteral("LT_Two")}));
    writeFileOrFail(_root + QStringLiteral("/Titles.localized/Mine/LT_Hand/LT_Hand.moti"), "hand");
    TemplateTransaction::RemovalReport report;
    QVERIFY(!TemplateLibrary::remove(_root,
                                     {LowerThirds + QStringLiteral("/LT_One"), QStringLiteral("Titles.localized/Mine/LT_Hand")},
                                     TemplateTransaction::Disposal::Delete, nullptr, &report));
    QCOMPARE(report.removed, 2);
    QCOMPARE(destinations(TemplateLibrary::scan(_root)), QStringList{LowerThirds + QStringLiteral("/LT_Two")});
    const std::optional<Receipt> receipt = Receipt::read(receiptPath(QStringLiteral("Pack")));
    QVERIFY(receipt);
    QCOMPARE(receiptDestinations(*receipt), QStringList{LowerThirds + QStringLiteral("/LT_Two")});
    // The emptied category goes, the kind folder holding another stays.
    QVERIFY(!QFileInfo::exists(_root + QStringLiteral("/Titles.localized/Mine")));
    QVERIFY(QFileInfo::exists(_root + QStringLiteral("/Titles.localized")));
    QVERIFY(!QFileInfo::exists(_root + QLatin1Char('/') + InstallJournal::fileName()));
}

void tst_TemplateLibrary::removeByArchiveTitleRemovesTheReceipt()
{
    const QString trash = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Trash");
    QVERIFY(!FileOperations::removeAll(trash));
    install(makeArchive(QStringLiteral("Pack"), {QStringLiteral("LT_One"), QStringLiteral("LT_Two")}));
    install(makeArchive(QStringLiteral("Other"), {QStringLiteral("LT_Three")}));
    // One the user already removed by hand goes from the receipt too.
    QVERIFY(!FileOperations::removeAll(_root + QLatin1Char('/') + LowerThirds + QStringLiteral("/LT_Two")));
    const QStringList wanted = TemplateLibrary::resolve(_root, {QStringLiteral("LT_Pack")});
    QCOMPARE(wanted.size(), 2);
    TemplateTransaction::RemovalReport report;
    QVERIFY(!TemplateLibrary::remove(_root, wanted, TemplateTransaction::Disposal::Trash, nullptr, &report));
    QCOMPARE(report.removed, 1);
    QVERIFY(report.trashed);
    QVERIFY(!QFileInfo::exists(receiptPath(QStringLiteral("Pack"))));
    QVERIFY(QFileInfo::exists(receiptPath(QStringLiteral("Other"))));
    QCOMPARE(destinations(TemplateLibrary::scan(_root)), QStringList{LowerThirds + QStringLiteral("/LT_Three")});
    // To the Trash under its own name, recorded at its own place.
    QVERIFY(QFileInfo::exists(trash + QStringLiteral("/files/LT_One/LT_One.moti")));
    QVERIFY(trashInfoRecords(trash + QStringLiteral("/info/LT_One.trashinfo"), _root + QLatin1Char('/') + LowerThirds + QStringLiteral("/LT_One")));
}

void tst_TemplateLibrary::removeRefusesWhatIsNoTemplate_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("a kind folder") << QStringLiteral("Titles.localized");
    QTest::newRow("a category folder") << LowerThirds;
    QTest::newRow("the root") << QStringLiteral("/");
    QTest::newRow("a path leading out") << LowerThirds + QStringLiteral("/../../..");
    QTest::newRow("the receipts folder") << QStringLiteral(".receipts");
    QTest::newRow("a file inside a template") << LowerThirds + QStringLiteral("/LT_One/LT_One.moti");
}

void tst_TemplateLibrary::removeRefusesWhatIsNoTemplate()
{
    QFETCH(QString, name);
    install(makeArchive(QStringLiteral("Pack"), {QStringLiteral("LT_One")}));
    const QStringList before = treeDigest(_dir->path());
    const std::optional<Error> error = TemplateLibrary::remove(
        _root, {LowerThirds + QStringLiteral("/LT_One"), name}, TemplateTransaction::Disposal::Delete);
    QVERIFY(error);
    QCOMPARE(error->code(), ENOENT);
    QVERIFY(error->localizedDescription().contains(name));
    QCOMPARE(treeDigest(_dir->path()), before);
}

void tst_TemplateLibrary::removeByTitleLeavesWhatIsNoLongerTheReceiptsTemplate()
{
    install(makeArchive(QStringLiteral("Pack"), {QStringLiteral("LT_One"), QStringLiteral("LT_Two")}));
    // LT_Two removed by hand, its place reused for a folder of the user's own.
    const QString two = _root + QLatin1Char('/') + LowerThirds + QStringLiteral("/LT_Two");
    QVERIFY(!FileOperations::removeAll(two));
    writeFileOrFail(two + QStringLiteral("/notes.txt"), "mine");

    QCOMPARE(TemplateLibrary::resolve(_root, {QStringLiteral("LT_Pack")}),
             QStringList{LowerThirds + QStringLiteral("/LT_One")});
    TemplateTransaction::RemovalReport report;
    QVERIFY(!TemplateLibrary::remove(_root, TemplateLibrary::resolve(_root, {QStringLiteral("LT_Pack")}),
                                     TemplateTransaction::Disposal::Delete, nullptr, &report));
    QCOMPARE(report.removed, 1);
    QVERIFY(!QFileInfo::exists(_root + QLatin1Char('/') + LowerThirds + QStringLiteral("/LT_One")));
    QVERIFY(QFileInfo::exists(two + QStringLiteral("/notes.txt")));
}

void tst_TemplateLibrary::nestedTemplatesGoWithTheirParent()
{
    // LT_Parent holds LT_Kid, a template of its own in the archive's scan
    // (its folder sorts before the parent's template file): installed on its
    // own beside the parent, and inside it as part of it.
    const QString source = _dir->filePath(QStringLiteral("src-nested"));
    writeFileOrFail(source + QStringLiteral("/Pack/LT_Parent/LT_Parent.moti"), "parent");
    writeFileOrFail(source + QStringLiteral("/Pack/LT_Parent/Assets/LT_Kid/LT_Kid.moti"), "kid");
    writeFileOrFail(source + QStringLiteral("/Pack/LT_Parent/Assets/LT_Kid/clip.mov"), "clip");
    const QString archive = _dir->filePath(QStringLiteral("LT_Nested.mtzip"));
    packFolder(source, archive);
    install(archive);

    const QString parent = LowerThirds + QStringLiteral("/LT_Parent");
    const QString kid = LowerThirds + QStringLiteral("/LT_Kid");
    const QString inside = parent + QStringLiteral("/Assets/LT_Kid");
    QVERIFY(QFileInfo::exists(_root + QLatin1Char('/') + inside + QStringLiteral("/LT_Kid.moti")));
    // The copy inside the parent is no template of its own here.
    QCOMPARE(destinations(TemplateLibrary::scan(_root)), QStringList({kid, parent}));

    // Named with its parent, in either order, the inner one goes with it.
    TemplateTransaction::RemovalReport report;
    QVERIFY(!TemplateTransaction::remove({_root, QStringLiteral("LT_Nested"), {inside, parent},
                                          TemplateTransaction::Disposal::Delete, nullptr, &report}));
    QCOMPARE(report.failed, 0);
    QCOMPARE(report.removed, 2);
    QVERIFY(!QFileInfo::exists(_root + QLatin1Char('/') + parent));
    QVERIFY(QFileInfo::exists(_root + QLatin1Char('/') + kid + QStringLiteral("/LT_Kid.moti")));

    // By the archive's title, everything it installed goes, receipt and all.
    install(archive);
    QVERIFY(!TemplateLibrary::remove(_root, TemplateLibrary::resolve(_root, {QStringLiteral("LT_Nested")}),
                                     TemplateTransaction::Disposal::Delete, nullptr, &report));
    QCOMPARE(report.failed, 0);
    QVERIFY(!QFileInfo::exists(_root + QLatin1Char('/') + parent));
    QVERIFY(!QFileInfo::exists(_root + QLatin1Char('/') + kid));
    QVERIFY(!QFileInfo::exists(Receipt::pathFor(_root, QStringLiteral("LT_Nested"))));
}

void tst_TemplateLibrary::linkedReceiptsFolderIsNeverWrittenThrough()
{
    const QString outside = _dir->filePath(QStringLiteral("outside"));
    QVERIFY(QDir().mkpath(outside));
    QVERIFY(QFile::link(outside, _root + QLatin1Char('/') + Receipt::folderName()));
    install(makeArchive(QStringLiteral("Pack"), {QStringLiteral("LT_One")}));
    QVERIFY(QFileInfo::exists(_root + QLatin1Char('/') + LowerThirds + QStringLiteral("/LT_One/LT_One.moti")));
    QCOMPARE(entryNames(outside, QDir::Name), QStringList());
    QVERIFY(!Receipt::folderIsOwn(_root));
    QVERIFY(Receipt::paths(_root).isEmpty());
}

void tst_TemplateLibrary::provenanceTellsWhereTheInstalledCopyCameFrom_data()
{
    QTest::addColumn<QString>("archive");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QByteArray>("salt");
    QTest::addColumn<bool>("listedOnly");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("archiveTitle");

    using P = TemplateLibrary::Provenance;
    QTest::newRow("the installed archive") << "Pack" << "LT_One" << QByteArray() << false << int(P::ThisArchive)
                                           << "LT_Pack";
    QTest::newRow("a new version of it") << "Pack" << "LT_One" << QByteArray("v2") << false << int(P::OtherCopy)
                                         << "LT_Pack";
    // A listing holds no files to compare.
    QTest::newRow("a new version, listed") << "Pack" << "LT_One" << QByteArray("v2") << true
                                           << int(P::ThisArchive) << "LT_Pack";
    QTest::newRow("another archive") << "Other" << "LT_One" << QByteArray() << false << int(P::OtherArchive)
                                     << "LT_Pack";
    QTest::newRow("copied by hand") << "Other" << "LT_Hand" << QByteArray() << false << int(P::Unknown) << QString();
    QTest::newRow("not installed") << "Other" << "LT_New" << QByteArray() << false << int(P::NotInstalled)
                                   << QString();
}

void tst_TemplateLibrary::provenanceTellsWhereTheInstalledCopyCameFrom()
{
    QFETCH(QString, archive);
    QFETCH(QString, folder);
    QFETCH(QByteArray, salt);
    QFETCH(bool, listedOnly);
    QFETCH(int, kind);
    QFETCH(QString, archiveTitle);

    install(makeArchive(QStringLiteral("Pack"), {QStringLiteral("LT_One"), QStringLiteral("LT_Two")}));
    writeFileOrFail(_root + QLatin1Char('/') + LowerThirds + QStringLiteral("/LT_Hand/LT_Hand.moti"), "hand");

    const QString path = makeArchive(archive, {folder}, salt);
    auto installer = TemplateInstallerV2::create(QUrl::fromLocalFile(path), _root);
    QVERIFY(installer);
    QVERIFY(listedOnly ? installer->listArchive() : installer->unarchive());
    const EffectTemplateItemList items = installer->effects();
    QCOMPARE(items.size(), size_t(1));
    const std::vector<TemplateLibrary::Provenance> found = TemplateLibrary::provenance(
        _root, installer->title(), {items[0]->relativeDestinationPath()}, installer->archiveFiles(items));
    QCOMPARE(found.size(), size_t(1));
    QCOMPARE(int(found[0].kind), kind);
    QCOMPARE(found[0].archiveTitle, archiveTitle);
}

QTEST_GUILESS_MAIN(tst_TemplateLibrary)
#include "tst_TemplateLibrary.moc"
