// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
// The install and uninstall flows' work on the document alone: no window,
// no sheet, no event loop.
#include "CollectionTestTools.h"
#include "Documents/TemplateArchiveDocument.h"
#include "Common/ProgressListener.h"
#include "Installer/TemplateInstallerV2.h"

#include <QDir>
#include <QFileInfo>
#include <QWidget>

using namespace CollectionTestTools;
using namespace TestSupport;

namespace {

const QString Titles = QStringLiteral("Titles.localized");

// Counts what the work tells its listener.
class CountingListener : public ProgressListener
{
public:
    bool progress(qint64, qint64) override { return !cancelAt || ++calls < cancelAt; }
    void setCurrentItem(const QString &name) override { items.append(name); }
    int cancelAt = 0;
    int calls = 0;
    QStringList items;
};

} // namespace

class tst_TemplateArchiveCollectionDocument : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void installsOnlyTheSelection_data();
    void installsOnlyTheSelection();
    void deleteFlagsOnlyArchivesInstalledWhole();
    void uninstallsOnlyTheSelection();
    void uninstallTakesBackTheDeleteFlag();
    void cancelledInstallLeavesTheFolderAsItWas();
    void installedStatesFollowTheFolder();
    void changedTemplatesAreAskedAboutAndKept();

private:
    std::unique_ptr<TemplateArchiveDocument> openTwo();
    static QSet<const EffectTemplateItem *> byTitle(const TemplateArchiveDocument &document, const QStringList &titles);

    std::unique_ptr<QTemporaryDir> _archives;
    QStringList _thirds;
    QStringList _openers;
    QStringList _paths;
};

void tst_TemplateArchiveCollectionDocument::init()
{
    QVERIFY(resetDestination());
    _archives = std::make_unique<QTemporaryDir>();
    QVERIFY(_archives->isValid());
    _thirds = templateNames(QStringLiteral("LT"), QStringLiteral("Third"), 3);
    _openers = templateNames(QStringLiteral("OP"), QStringLiteral("Open"), 2);
    _paths = {makeArchive(_archives->path(), QStringLiteral("LT_Thirds.mtzip"), _thirds),
              makeArchive(_archives->path(), QStringLiteral("OP_Openers.mtzip"), _openers)};
    QVERIFY(!_paths.contains(QString()));
}

void tst_TemplateArchiveCollectionDocument::cleanup()
{
    QVERIFY(resetDestination());
    _archives.reset();
}

void tst_TemplateArchiveCollectionDocument::changedTemplatesAreAskedAboutAndKept()
{
    std::unique_ptr<TemplateArchiveDocument> document = openTwo();
    QVERIFY(document);
    QVERIFY(!document->install(std::nullopt).error);
    const QString changed = installedPath(Titles, QStringLiteral("Lower Thirds"), _thirds.at(0));
    writeFileOrFail(changed + QStringLiteral("/my notes.txt"), "mine");

    // Named before anything happens, for a reinstall and an uninstall alike.
    QCOMPARE(document->conflicts(std::nullopt).edited.size(), 1);
    QCOMPARE(document->conflicts(std::nullopt, true).edited.size(), 1);
    const TemplateArchiveDocument::InstallOutcome asked = document->install(std::nullopt);
    QCOMPARE(asked.editedCopies.size(), 1);
    QCOMPARE(readFile(changed + QStringLiteral("/my notes.txt")), QByteArray("mine"));

    // Keep Changed Ones: the rest go, the changed one stays.
    document->setOwnershipPolicy({});
    TemplateArchiveDocument::UninstallOutcome kept = document->uninstall(std::nullopt);
    QVERIFY(!kept.error);
    QCOMPARE(kept.keptEdited, 1);
    QCOMPARE(kept.removed, int(_thirds.size() + _openers.size()) - 1);
    QCOMPARE(readFile(changed + QStringLiteral("/my notes.txt")), QByteArray("mine"));
    // Uninstall All: it goes too, to the Trash.
    document->setOwnershipPolicy({false, false, true});
    const TemplateArchiveDocument::UninstallOutcome all = document->uninstall(std::nullopt);
    QCOMPARE(all.removed, 1);
    QVERIFY(all.trashed);
    QVERIFY(!QFileInfo::exists(changed));
}

std::unique_ptr<TemplateArchiveDocument> tst_TemplateArchiveCollectionDocument::openTwo()
{
    auto document = std::make_unique<TemplateArchiveDocument>(urlsOf(_paths));
    for (const QUrl &url : document->archiveURLs()) {
        std::unique_ptr<TemplateInstallerV2> installer =
            TemplateInstallerV2::create(url, TemplateInstaller::userDestMotionTemplatesFolder());
        if (!installer || !installer->unarchive())
            return nullptr;
        document->addInstaller(std::move(installer));
    }
    return document;
}

QSet<const EffectTemplateItem *> tst_TemplateArchiveCollectionDocument::byTitle(const TemplateArchiveDocument &document,
                                                                               const QStringList &titles)
{
    QSet<const EffectTemplateItem *> items;
    for (const EffectTemplateItem *item : document.effectsWithSearchOption(EffectSearchAll)) {
        if (titles.contains(item->title()))
            items.insert(item);
    }
    return items;
}

void tst_TemplateArchiveCollectionDocument::installsOnlyTheSelection_data()
{
    QTest::addColumn<QStringList>("selected");
    QTest::addColumn<QStringList>("installed"); // folder names
    QTest::addColumn<QList<quint64>>("kinds");
    QTest::newRow("one template of the first archive")
        << QStringList{QStringLiteral("Third 2")} << QStringList{QStringLiteral("LT_Third_2")} << QList<quint64>{3};
    QTest::newRow("templates of both archives")
        << QStringList({QStringLiteral("Third 1"), QStringLiteral("Open 2")})
        << QStringList({QStringLiteral("LT_Third_1"), QStringLiteral("OP_Open_2")}) << QList<quint64>{3};
    QTest::newRow("an empty selection installs nothing") << QStringList() << QStringList() << QList<quint64>();
}

void tst_TemplateArchiveCollectionDocument::installsOnlyTheSelection()
{
    QFETCH(QStringList, selected);
    QFETCH(QStringList, installed);
    QFETCH(QList<quint64>, kinds);
    std::unique_ptr<TemplateArchiveDocument> document = openTwo();
    QVERIFY(document);
    CountingListener listener;
    const TemplateArchiveDocument::InstallOutcome outcome =
        document->install(byTitle(*document, selected), &listener);
    QVERIFY2(!outcome.error, qPrintable(outcome.error ? outcome.error->localizedDescription() : QString()));
    QCOMPARE(outcome.newlyInstalled, int(installed.size()));
    QCOMPARE(outcome.kinds, kinds);
    // The core names each template as it copies it.
    QCOMPARE(listener.items, installed);
    QStringList found;
    for (const QString &name : _thirds)
        if (QFileInfo(installedPath(Titles, QStringLiteral("Lower Thirds"), name)).isDir())
            found.append(name);
    for (const QString &name : _openers)
        if (QFileInfo(installedPath(Titles, QStringLiteral("Openers"), name)).isDir())
            found.append(name);
    QCOMPARE(found, installed);
    // Part of an archive is no reason to offer deleting it.
    QVERIFY(outcome.deletableArchives.isEmpty());
    QCOMPARE(int(std::count(outcome.installed.begin(), outcome.installed.end(), true)), int(installed.size()));
}

void tst_TemplateArchiveCollectionDocument::deleteFlagsOnlyArchivesInstalledWhole()
{
    std::unique_ptr<TemplateArchiveDocument> document = openTwo();
    QVERIFY(document);
    // The openers one by one, then the first third only.
    QVERIFY(!document->install(byTitle(*document, {QStringLiteral("Open 1")})).error);
    const TemplateArchiveDocument::InstallOutcome outcome =
        document->install(byTitle(*document, {QStringLiteral("Open 2"), QStringLiteral("Third 1")}));
    QVERIFY(!outcome.error);
    QCOMPARE(outcome.deletableArchives, QStringList{QStringLiteral("OP_Openers.mtzip")});
    document->setDeleteArchives(true);
    QVERIFY(!document->templateInstallers().at(0)->mustDeleteTemplatesArchive());
    QVERIFY(document->templateInstallers().at(1)->mustDeleteTemplatesArchive());
    document->setDeleteArchives(false);
    QVERIFY(!document->templateInstallers().at(1)->mustDeleteTemplatesArchive());

    // Installed by hand beforehand is not installed by this collection.
    QVERIFY(resetDestination());
    std::unique_ptr<TemplateArchiveDocument> other = openTwo();
    QVERIFY(other);
    for (const QString &name : _thirds)
        QVERIFY(installByHand(Titles, QStringLiteral("Lower Thirds"), name));
    // The hand copies are named and left alone until the user decides.
    const TemplateArchiveDocument::InstallOutcome asked = other->install(std::nullopt);
    QCOMPARE(asked.foreignCopies.size(), _thirds.size());
    QCOMPARE(asked.newlyInstalled, 0);
    other->setOwnershipPolicy({false, true, false});
    const TemplateArchiveDocument::InstallOutcome all = other->install(std::nullopt);
    QVERIFY(!all.error);
    QCOMPARE(all.newlyInstalled, 2);
    QCOMPARE(all.deletableArchives,
             QStringList({QStringLiteral("LT_Thirds.mtzip"), QStringLiteral("OP_Openers.mtzip")}));
}

void tst_TemplateArchiveCollectionDocument::uninstallsOnlyTheSelection()
{
    std::unique_ptr<TemplateArchiveDocument> document = openTwo();
    QVERIFY(document);
    QVERIFY(!document->install(std::nullopt).error);
    const TemplateArchiveDocument::UninstallOutcome outcome =
        document->uninstall(byTitle(*document, {QStringLiteral("Third 3"), QStringLiteral("Open 1")}));
    QVERIFY(!outcome.error);
    QCOMPARE(outcome.removed, 2);
    QCOMPARE(outcome.failed, 0);
    QVERIFY(!QFileInfo::exists(installedPath(Titles, QStringLiteral("Lower Thirds"), QStringLiteral("LT_Third_3"))));
    QVERIFY(!QFileInfo::exists(installedPath(Titles, QStringLiteral("Openers"), QStringLiteral("OP_Open_1"))));
    for (const QString &name : {QStringLiteral("LT_Third_1"), QStringLiteral("LT_Third_2")})
        QVERIFY(QFileInfo(installedPath(Titles, QStringLiteral("Lower Thirds"), name)).isDir());
    QVERIFY(QFileInfo(installedPath(Titles, QStringLiteral("Openers"), QStringLiteral("OP_Open_2"))).isDir());
    QCOMPARE(outcome.installed, std::vector<bool>({true, true, false, false, true}));
    // Selected templates that are not installed are nothing to remove.
    const TemplateArchiveDocument::UninstallOutcome again =
        document->uninstall(byTitle(*document, {QStringLiteral("Third 3")}));
    QVERIFY(!again.error);
    QCOMPARE(again.removed, 0);
}

void tst_TemplateArchiveCollectionDocument::uninstallTakesBackTheDeleteFlag()
{
    std::unique_ptr<TemplateArchiveDocument> document = openTwo();
    QVERIFY(document);
    QVERIFY(!document->install(std::nullopt).error);
    document->setDeleteArchives(true);
    QVERIFY(document->templateInstallers().at(0)->mustDeleteTemplatesArchive());
    QVERIFY(!document->uninstall(byTitle(*document, {QStringLiteral("Third 1")})).error);
    // Its archive is needed again; the other one is still spare.
    QVERIFY(!document->templateInstallers().at(0)->mustDeleteTemplatesArchive());
    QVERIFY(document->templateInstallers().at(1)->mustDeleteTemplatesArchive());
    document->setDeleteArchives(true);
    QVERIFY(!document->templateInstallers().at(0)->mustDeleteTemplatesArchive());
}

void tst_TemplateArchiveCollectionDocument::cancelledInstallLeavesTheFolderAsItWas()
{
    std::unique_ptr<TemplateArchiveDocument> document = openTwo();
    QVERIFY(document);
    QVERIFY(installByHand(Titles, QStringLiteral("Openers"), QStringLiteral("OP_Open_1")));
    document->setOwnershipPolicy({false, true, false});
    CountingListener listener;
    listener.cancelAt = 2;
    QStringList started;
    const TemplateArchiveDocument::InstallOutcome outcome =
        document->install(std::nullopt, &listener,
                          [&started](const TemplateInstallerV2 &installer) { started.append(installer.title()); });
    QVERIFY(outcome.error);
    QVERIFY(outcome.error->isCancellation());
    // It stopped in the first archive; the second was never started.
    QCOMPARE(started, QStringList{QStringLiteral("LT_Thirds")});
    for (const QString &name : _thirds)
        QVERIFY(!QFileInfo::exists(installedPath(Titles, QStringLiteral("Lower Thirds"), name)));
    QVERIFY(QFileInfo(installedPath(Titles, QStringLiteral("Openers"), QStringLiteral("OP_Open_1"))).isDir());
    QVERIFY(outcome.deletableArchives.isEmpty());
    QCOMPARE(outcome.installed, std::vector<bool>({false, false, false, true, false}));
}

void tst_TemplateArchiveCollectionDocument::installedStatesFollowTheFolder()
{
    std::unique_ptr<TemplateArchiveDocument> document = openTwo();
    QVERIFY(document);
    QCOMPARE(document->installedStates(), std::vector<bool>(5, false));
    QVERIFY(installByHand(Titles, QStringLiteral("Lower Thirds"), QStringLiteral("LT_Third_2")));
    QCOMPARE(document->installedStates(), std::vector<bool>({false, true, false, false, false}));
    QCOMPARE(document->effectsWithSearchOption(EffectSearchInstalled).size(), size_t(1));
    QCOMPARE(document->effectsWithSearchOption(EffectSearchNotInstalled).size(), size_t(4));
    // The whole flow ran without a widget.
    QVERIFY(QApplication::allWidgets().isEmpty());
}

MTI_COLLECTION_TEST_MAIN(tst_TemplateArchiveCollectionDocument)
#include "tst_TemplateArchiveCollectionDocument.moc"
