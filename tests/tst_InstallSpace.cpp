// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
// An install that would not fit is refused before anything is written, in
// the core and by mtzip install.
#include "CliTestTools.h"
#include "Common/ByteSize.h"
#include "Installer/EffectTemplateItem.h"
#include "Installer/InstallSpace.h"
#include "Installer/TemplateInstaller.h"
#include "TestSupport.h"
#include "ZipTestTools.h"

#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace TestSupport;
using ZipTestTools::packFolder;

namespace {

// Each template: "<name>.moti" (11 bytes) and Media/clip.mov (5,000 bytes):
// one block, two blocks, and one for the folder.
constexpr qint64 PerTemplate = 4 * 4096;

dev_t deviceOf(const QString &path)
{
    struct stat info;
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_dev : dev_t(-1);
}

} // namespace

class tst_InstallSpace : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void neededCountsEveryFileByTheBlock();
    void availableLooksUpwardsForAMissingFolder();
    void installRefusedBeforeAnythingIsWritten_data();
    void installRefusedBeforeAnythingIsWritten();
    void mtzipInstallSaysIt();

private:
    QString makePack(const QString &name, const QStringList &templateFolders);
    std::unique_ptr<TemplateInstaller> unpacked(const QString &archive);

    std::unique_ptr<QTemporaryDir> _dir;
    QString _dest;
};

void tst_InstallSpace::init()
{
    _dir = std::make_unique<QTemporaryDir>();
    QVERIFY(_dir->isValid());
    _dest = _dir->filePath(QStringLiteral("Movies/Motion Templates.localized"));
    QVERIFY(QDir().mkpath(_dir->filePath(QStringLiteral("Movies"))));
}

void tst_InstallSpace::cleanup()
{
    InstallSpace::setAvailableForTesting(std::nullopt);
    _dir.reset();
}

QString tst_InstallSpace::makePack(const QString &name, const QStringList &templateFolders)
{
    const QString source = _dir->filePath(QStringLiteral("src-") + name);
    for (const QString &folder : templateFolders) {
        const QString base = folder.section(QLatin1Char('/'), -1);
        writeFileOrFail(source + QLatin1Char('/') + folder + QLatin1Char('/') + base + QStringLiteral(".moti"),
                        "<template/>");
        writeFileOrFail(source + QLatin1Char('/') + folder + QStringLiteral("/Media/clip.mov"), QByteArray(5000, 'x'));
    }
    const QString archive = _dir->filePath(name + QStringLiteral(".mtzip"));
    packFolder(source, archive);
    return archive;
}

std::unique_ptr<TemplateInstaller> tst_InstallSpace::unpacked(const QString &archive)
{
    std::unique_ptr<TemplateInstaller> installer = TemplateInstaller::create(QUrl::fromLocalFile(archive), _dest);
    if (!installer || !installer->unarchive())
        return nullptr;
    return installer;
}

void tst_InstallSpace::neededCountsEveryFileByTheBlock()
{
    const QString pack = makePack(QStringLiteral("LT_Pack"),
                                  {QStringLiteral("LT_One"), QStringLiteral("LT_Two"), QStringLiteral("LT_Three")});
    std::unique_ptr<TemplateInstaller> installer = unpacked(pack);
    QVERIFY(installer);
    const EffectTemplateItemList all = installer->effects();
    QCOMPARE(all.size(), size_t(3));
    QCOMPARE(InstallSpace::bytesNeeded(all), 3 * PerTemplate);
    QCOMPARE(InstallSpace::bytesNeeded({all.front()}), PerTemplate);
    QCOMPARE(InstallSpace::bytesNeeded({}), qint64(0));
}

void tst_InstallSpace::availableLooksUpwardsForAMissingFolder()
{
    const std::optional<qint64> here = InstallSpace::bytesAvailable(_dir->path());
    QVERIFY(here);
    QVERIFY(*here > 0);
    // Not there yet: its volume is the one of the nearest folder that is.
    const std::optional<qint64> missing = InstallSpace::bytesAvailable(_dir->filePath(QStringLiteral("a/b/c")));
    QVERIFY(missing);
    // Other processes write meanwhile: the same volume within 64 MB.
    QVERIFY2(qAbs(*missing - *here) < 64LL * 1024 * 1024, qPrintable(QStringLiteral("%1 vs %2").arg(*missing).arg(*here)));

    InstallSpace::setAvailableForTesting(1000);
    QCOMPARE(InstallSpace::bytesAvailable(_dir->path()), std::optional<qint64>(1000));
    QVERIFY(!InstallSpace::refusal(1000, _dir->path()));
    QVERIFY(InstallSpace::refusal(1001, _dir->path()));
}

void tst_InstallSpace::installRefusedBeforeAnythingIsWritten_data()
{
    QTest::addColumn<qint64>("free");
    QTest::addColumn<bool>("refused");
    QTest::newRow("one byte short") << 2 * PerTemplate - 1 << true;
    QTest::newRow("nothing free") << qint64(0) << true;
    QTest::newRow("exactly enough") << 2 * PerTemplate << false;
}

void tst_InstallSpace::installRefusedBeforeAnythingIsWritten()
{
    QFETCH(qint64, free);
    QFETCH(bool, refused);
    const QString pack = makePack(QStringLiteral("LT_Pack"), {QStringLiteral("LT_One"), QStringLiteral("LT_Two")});
    std::unique_ptr<TemplateInstaller> installer = unpacked(pack);
    QVERIFY(installer);
    const QString movies = _dir->filePath(QStringLiteral("Movies"));
    const QStringList before = treeDigest(movies);

    InstallSpace::setAvailableForTesting(free);
    const std::optional<Error> error = installer->installEffects();
    if (!refused) {
        QVERIFY2(!error, error ? qPrintable(error->localizedDescription()) : "");
        for (const EffectTemplateItem *item : installer->effects())
            QVERIFY(QFileInfo(item->destinationPath(_dest)).isDir());
        return;
    }
    QVERIFY(error);
    QCOMPARE(error->domain(), Error::PosixDomain);
    QCOMPARE(error->code(), ENOSPC);
    QCOMPARE(error->localizedDescription(),
             QStringLiteral("Not enough free space: installing needs %1, only %2 are free on the volume of “%3”. "
                            "Nothing was changed.")
                 .arg(ByteSize::forDisplay(2 * PerTemplate), ByteSize::forDisplay(free), QDir::toNativeSeparators(_dest)));
    QCOMPARE(treeDigest(movies), before);

    // Room made, the same installer goes ahead.
    InstallSpace::setAvailableForTesting(std::nullopt);
    const std::optional<Error> again = installer->installEffects();
    QVERIFY2(!again, again ? qPrintable(again->localizedDescription()) : "");
}

void tst_InstallSpace::mtzipInstallSaysIt()
{
    // mtzip moves what it unpacked, which takes no room within one volume:
    // the check counts only where the unpack folder lies elsewhere.
    QTemporaryDir unpackPlace(QStringLiteral("/dev/shm/mti-space-XXXXXX"));
    if (!unpackPlace.isValid() || deviceOf(unpackPlace.path()) == deviceOf(_dir->path()))
        QSKIP("needs a temporary folder on another volume than the destination (/dev/shm)");
    const QByteArray oldTemp = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(unpackPlace.path()));
    const auto restore = qScopeGuard([&] {
        if (oldTemp.isNull())
            qunsetenv("TMPDIR");
        else
            qputenv("TMPDIR", oldTemp);
    });
    QCOMPARE(QDir::tempPath(), unpackPlace.path());

    const QString pack = makePack(QStringLiteral("LT_Pack"), {QStringLiteral("LT_One")});
    InstallSpace::setAvailableForTesting(4096);
    CliRun run = runMtzip({QStringLiteral("install"), QStringLiteral("--dest"), _dest, pack});
    QVERIFY2(run.exitCode != 0, qPrintable(run.out));
    QVERIFY2(run.err.contains(QStringLiteral("installing needs %1, only %2 are free")
                                  .arg(ByteSize::forDisplay(PerTemplate), ByteSize::forDisplay(4096))),
             qPrintable(run.err));
    QVERIFY(!QFileInfo::exists(_dest + QStringLiteral("/Titles.localized")));

    InstallSpace::setAvailableForTesting(std::nullopt);
    run = runMtzip({QStringLiteral("install"), QStringLiteral("--dest"), _dest, pack});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QVERIFY(QFileInfo::exists(_dest + QStringLiteral("/Titles.localized")));
}

QTEST_GUILESS_MAIN(tst_InstallSpace)
#include "tst_InstallSpace.moc"
