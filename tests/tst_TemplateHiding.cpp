// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
// Hiding installed templates in the core: what it refuses to touch, and a
// run killed at each step finished or undone by the next.
#include "CliTestTools.h"
#include "Installer/TemplateLibrary.h"
#include "Metadata/TemplateDocument.h"
#include "Metadata/TemplateHiding.h"
#include "TestSupport.h"
#include "ZipTestTools.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <memory>

using TestSupport::readFile;
using TestSupport::strings;
using TestSupport::writeFileOrFail;

namespace {

const QString Destination = QStringLiteral("Titles.localized/ZT Lower Thirds/LT_Name");

QByteArray document()
{
    return QByteArrayLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE ozxmlscene>\n<ozml version=\"5.11\">\n"
                             "<displayversion>5.10</displayversion>\n<scene><sceneSettings><width>1280</width>"
                             "</sceneSettings></scene>\n</ozml>\n");
}

TemplateHiding::Step sKillStep = TemplateHiding::Step::Journaled;

void killAtChosenStep(TemplateHiding::Step step)
{
    if (step == sKillStep)
        ::_exit(137);
}

TemplateLibrary::Verification verification(const QString &root)
{
    const std::vector<TemplateLibrary::Verification> results = TemplateLibrary::verify(root, {Destination});
    return results.empty() ? TemplateLibrary::Verification() : results.front();
}

} // namespace

class tst_TemplateHiding : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void refusesPlantedFiles_data();
    void refusesPlantedFiles();
    void killedRunIsFinishedOrUndone_data();
    void killedRunIsFinishedOrUndone();
    void outcomesPerTemplate();

private:
    QString documentPath() const { return _root + QLatin1Char('/') + Destination + QStringLiteral("/LT_Name.moti"); }

    std::unique_ptr<QTemporaryDir> _dir;
    QString _root;
};

void tst_TemplateHiding::init()
{
    _dir = std::make_unique<QTemporaryDir>();
    QVERIFY(_dir->isValid());
    _root = _dir->filePath(QStringLiteral("Motion Templates.localized"));
    const QString source = _dir->filePath(QStringLiteral("src"));
    writeFileOrFail(source + QStringLiteral("/LT_Name/LT_Name.moti"), document());
    writeFileOrFail(source + QStringLiteral("/LT_Name/Media/a.png"), "png");
    const QString pack = _dir->filePath(QStringLiteral("LT_Pack.mtzip"));
    ZipTestTools::packFolder(source, pack);
    const CliRun run = runMtzip({QStringLiteral("install"), QStringLiteral("--dest"), _root, pack});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(readFile(documentPath()), document());
}

void tst_TemplateHiding::cleanup()
{
    TemplateHiding::setFaultHook(nullptr);
    _dir.reset();
}

void tst_TemplateHiding::refusesPlantedFiles_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("link to a document outside") << QStringLiteral("link");
    QTest::newRow("FIFO") << QStringLiteral("fifo");
    QTest::newRow("folder") << QStringLiteral("folder");
}

void tst_TemplateHiding::refusesPlantedFiles()
{
    QFETCH(QString, kind);
    const QString outside = _dir->filePath(QStringLiteral("outside.moti"));
    writeFileOrFail(outside, document());
    QVERIFY(QFile::remove(documentPath()));
    const QByteArray path = QFile::encodeName(documentPath());
    if (kind == QLatin1String("link"))
        QVERIFY(QFile::link(outside, documentPath()));
    else if (kind == QLatin1String("fifo"))
        QCOMPARE(::mkfifo(path.constData(), 0644), 0);
    else
        QVERIFY(QDir().mkdir(documentPath()));
    // Listed, not read: reading the FIFO would wait for a writer.
    const QString folder = _root + QLatin1Char('/') + Destination;
    const QStringList before = TestSupport::entryNames(folder, QDir::Name);

    const std::vector<TemplateHiding::Outcome> outcomes = TemplateHiding::setHidden(_root, {Destination}, true);
    QCOMPARE(outcomes.size(), size_t(1));
    QCOMPARE(outcomes[0].result, TemplateHiding::Result::Refused);
    QVERIFY(outcomes[0].error);
    QCOMPARE(readFile(outside), document());
    QCOMPARE(TestSupport::entryNames(folder, QDir::Name), before);
    QCOMPARE(TestSupport::entryNames(_dir->path(), QDir::Name), strings({"LT_Pack.mtzip", "Motion Templates.localized", "outside.moti", "src"}));
    QVERIFY(!QFileInfo::exists(_root + QLatin1Char('/') + TemplateHiding::journalName()));
}

void tst_TemplateHiding::killedRunIsFinishedOrUndone_data()
{
    using Step = TemplateHiding::Step;
    QTest::addColumn<Step>("step");
    QTest::addColumn<bool>("hide");
    QTest::addColumn<bool>("finished");
    QTest::newRow("hide, journaled") << Step::Journaled << true << false;
    QTest::newRow("hide, staged") << Step::Staged << true << false;
    QTest::newRow("hide, swapped") << Step::Swapped << true << true;
    QTest::newRow("hide, receipt written") << Step::ReceiptWritten << true << true;
    QTest::newRow("show, staged") << Step::Staged << false << false;
    QTest::newRow("show, swapped") << Step::Swapped << false << true;
}

void tst_TemplateHiding::killedRunIsFinishedOrUndone()
{
    QFETCH(TemplateHiding::Step, step);
    QFETCH(bool, hide);
    QFETCH(bool, finished);
    if (!hide) {
        QCOMPARE(TemplateHiding::setHidden(_root, {Destination}, true).at(0).result, TemplateHiding::Result::Done);
        QVERIFY(verification(_root).hidden);
    }
    const QByteArray before = readFile(documentPath());
    sKillStep = step;
    TemplateHiding::setFaultHook(killAtChosenStep);
    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        const std::vector<TemplateHiding::Outcome> outcomes = TemplateHiding::setHidden(_root, {Destination}, hide);
        ::_exit(outcomes.at(0).result == TemplateHiding::Result::Done ? 0 : 1);
    }
    TemplateHiding::setFaultHook(nullptr);
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY(WIFEXITED(status));
    QCOMPARE(WEXITSTATUS(status), 137);
    QVERIFY(QFileInfo::exists(_root + QLatin1Char('/') + TemplateHiding::journalName()));

    QVERIFY(TemplateHiding::recover(_root));
    QVERIFY(!QFileInfo::exists(_root + QLatin1Char('/') + TemplateHiding::journalName()));
    // Nothing staged is left behind.
    QCOMPARE(TestSupport::entryNames(_root + QLatin1Char('/') + Destination, QDir::Name),
             (QStringList{QStringLiteral("LT_Name.moti"), QStringLiteral("Media")}));
    const bool hiddenNow = finished ? hide : !hide;
    QCOMPARE(TemplateDocument::read(documentPath())->isObsolete(), hiddenNow);
    if (!finished)
        QCOMPARE(readFile(documentPath()), before);
    else if (!hide)
        QCOMPARE(readFile(documentPath()), document());
    // The receipt agrees with the document either way.
    const TemplateLibrary::Verification verified = verification(_root);
    QVERIFY2(verified.isIntact() && verified.added.isEmpty(), qPrintable(verified.changed.join(QLatin1Char(','))));
    QCOMPARE(verified.hidden, hiddenNow);
}

void tst_TemplateHiding::outcomesPerTemplate()
{
    // One outcome per template, in order; one that cannot be done does not stop the rest.
    const QString empty = QStringLiteral("Titles.localized/ZT Lower Thirds/LT_Empty");
    QVERIFY(QDir().mkpath(_root + QLatin1Char('/') + empty));
    const std::vector<TemplateHiding::Outcome> outcomes =
        TemplateHiding::setHidden(_root, {empty, QStringLiteral("../outside"), Destination}, true);
    QCOMPARE(outcomes.size(), size_t(3));
    QCOMPARE(outcomes[0].result, TemplateHiding::Result::NoDocument);
    QCOMPARE(outcomes[1].result, TemplateHiding::Result::Failed);
    QCOMPARE(outcomes[2].result, TemplateHiding::Result::Done);
    QCOMPARE(outcomes[2].destination, Destination);
    QVERIFY(TemplateDocument::read(documentPath())->isObsolete());
    QVERIFY(!QFileInfo::exists(_dir->filePath(QStringLiteral("outside"))));
}

QTEST_GUILESS_MAIN(tst_TemplateHiding)
#include "tst_TemplateHiding.moc"
