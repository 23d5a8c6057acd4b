// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Installer/Receipt.h"
#include "Metadata/ProjectCheck.h"
#include "Metadata/ProjectDocument.h"
#include "Metadata/XmlLimits.h"
#include "TestSupport.h"
#include "ZipTestTools.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using TestSupport::writeFileOrFail;
using Root = ProjectDocument::Root;

namespace {

const QString LowerThird = QStringLiteral("~/Titles.localized/ZT Lower Thirds/LT_Name/LT_Name.moti");
const QString SystemGlow = QStringLiteral(
    "/Library/Application Support/Final Cut Pro/Templates.localized/Effects.localized/ZT Glows/GL_Soft/GL_Soft.moef");
const QString ContainerSrc = QStringLiteral(
    "file:///Users/ann/Library/Containers/com.apple.FinalCut/Data/Movies/Motion%20Templates.localized/"
    "Generators.localized/ZT%20Backgrounds/BG_Waves/BG_Waves.motn");
const QString OwnTitle = QStringLiteral(".../Titles.localized/Bumper:Opener.localized/Basic Title.localized/Basic Title.moti");

// A project written from Apple's published format, of any FCPXML version
// (tests/data/metadata/Episodes.fcpxml): one template of each reference
// form: a title, a generator (video), an effect (filter-video), a transition
// wrapping a filter, and the same inside a compound clip and a multicam
// angle that two projects use; a Final Cut Pro title, an FxPlug filter and
// a uid climbing out of the templates folder.
QByteArray project(const QByteArray &version)
{
    return TestSupport::readFile(QStringLiteral(MTI_TEST_DATA_DIR "/metadata/Episodes.fcpxml")).replace("@VERSION@", version);
}

const ProjectDocument::Template *named(const std::vector<ProjectDocument::Template> &list, const QString &name)
{
    for (const ProjectDocument::Template &t : list)
        if (t.name == name)
            return &t;
    return nullptr;
}

QStringList clipsOf(const ProjectDocument::Template &t)
{
    QStringList clips;
    for (const ProjectDocument::Use &use : t.uses)
        clips.append(use.container.isEmpty() ? QString(use.project + QLatin1Char('/') + use.clip)
                                             : QString(QLatin1Char('[') + use.container + QStringLiteral("]/") + use.clip));
    return clips;
}

QByteArray templateDocument(const QByteArray &displayVersion, const QByteArray &extra = QByteArray())
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE ozxmlscene>\n<ozml version=\"5.11\">\n<displayversion>"
        + displayVersion + "</displayversion>\n" + extra + "<scene><sceneSettings><width>1920</width></sceneSettings></scene></ozml>\n";
}

} // namespace

class ProjectDocumentTest : public QObject
{
    Q_OBJECT

private slots:
    void referenceForms_data();
    void referenceForms();
    void everyReferenceForm_data();
    void everyReferenceForm();
    void realExports_data();
    void realExports();
    void hostileProjects_data();
    void hostileProjects();
    void bundles();
    void readInPieces_data();
    void readInPieces();
    void checkAgainstRootsAndArchives();
};

void ProjectDocumentTest::referenceForms_data()
{
    QTest::addColumn<QString>("uid");
    QTest::addColumn<QString>("src");
    QTest::addColumn<int>("code");  // 0: located
    QTest::addColumn<int>("root");
    QTest::addColumn<QString>("relativePath");

    QTest::newRow("per-user uid") << LowerThird << "" << 0 << int(Root::User)
                                  << "Titles.localized/ZT Lower Thirds/LT_Name/LT_Name.moti";
    QTest::newRow("all-users uid") << SystemGlow << "" << 0 << int(Root::AllUsers)
                                   << "Effects.localized/ZT Glows/GL_Soft/GL_Soft.moef";
    QTest::newRow("Final Cut Pro's own") << OwnTitle << "" << 0 << int(Root::FinalCut)
                                         << "Titles.localized/Bumper:Opener.localized/Basic Title.localized/Basic Title.moti";
    QTest::newRow("home folder uid")
        << "/Users/ann/Movies/Motion Templates.localized/Titles.localized/ZT News/NW_Bar/NW_Bar.moti" << "" << 0
        << int(Root::User) << "Titles.localized/ZT News/NW_Bar/NW_Bar.moti";
    QTest::newRow("sandbox container src behind an opaque uid")
        << "BG_Waves" << ContainerSrc << 0 << int(Root::User) << "Generators.localized/ZT Backgrounds/BG_Waves/BG_Waves.motn";
    QTest::newRow("home folder src")
        << "" << "file:///Users/ann/Movies/Motion%20Templates.localized/Titles.localized/ZT%20News/NW_Bar/NW_Bar.moti" << 0
        << int(Root::User) << "Titles.localized/ZT News/NW_Bar/NW_Bar.moti";
    QTest::newRow("uid climbing out") << "~/Titles.localized/../../../../etc/passwd.moti" << "" << int(ProjectDocument::UnsafePath)
                                      << 0 << "";
    QTest::newRow("Final Cut Pro uid climbing out") << ".../Titles.localized/../../x/x.moti" << ""
                                                    << int(ProjectDocument::UnsafePath) << 0 << "";
    QTest::newRow("absolute uid outside the roots") << "/tmp/Titles.localized/A/B/B.moti" << ""
                                                    << int(ProjectDocument::OutsideRoots) << 0 << "";
    QTest::newRow("all-users root climbing out")
        << "/Library/Application Support/Final Cut Pro/Templates.localized/../../../../etc/x/x.moti" << ""
        << int(ProjectDocument::UnsafePath) << 0 << "";
    QTest::newRow("another app's container")
        << "" << "file:///Users/ann/Library/Containers/com.example.Other/Data/Movies/Motion%20Templates.localized/Titles.localized/A/B/B.moti"
        << int(ProjectDocument::OutsideRoots) << 0 << "";
    QTest::newRow("no kind folder") << "~/Stuff/A/B/B.moti" << "" << int(ProjectDocument::UnsafePath) << 0 << "";
    QTest::newRow("a document right in a kind folder") << "~/Titles.localized/B.moti" << ""
                                                       << int(ProjectDocument::UnsafePath) << 0 << "";
    QTest::newRow("FxPlug filter") << "FxPlug:7E2022A5-202B-4EEB-A311-AC2B585D01B0" << "" << int(ProjectDocument::NotATemplate)
                                   << 0 << "";
    QTest::newRow("built-in effect") << "FFColorCorrectionHDREffect" << "" << int(ProjectDocument::NotATemplate) << 0 << "";
}

void ProjectDocumentTest::referenceForms()
{
    QFETCH(QString, uid);
    QFETCH(QString, src);
    QFETCH(int, code);
    const Expected<ProjectDocument::Location> location = ProjectDocument::locate(uid, src);
    if (code != 0) {
        QVERIFY(!location);
        QCOMPARE(location.error().code(), code);
        return;
    }
    QVERIFY2(location, qPrintable(location ? QString() : location.error().localizedDescription()));
    QTEST(int(location->root), "root");
    QTEST(location->relativePath, "relativePath");
}

void ProjectDocumentTest::everyReferenceForm_data()
{
    QTest::addColumn<QByteArray>("version");
    for (const char *version : {"1.6", "1.8", "1.10", "1.13"})
        QTest::newRow(version) << QByteArray(version);
}

void ProjectDocumentTest::everyReferenceForm()
{
    QFETCH(QByteArray, version);
    const Expected<ProjectDocument> doc = ProjectDocument::parse(project(version));
    QVERIFY2(doc, qPrintable(doc ? QString() : doc.error().localizedDescription()));
    QCOMPARE(doc->version, QString::fromLatin1(version));
    QCOMPARE(doc->templates.size(), size_t(4));
    QCOMPARE(doc->finalCutTemplates.size(), size_t(1));
    QCOMPARE(doc->finalCutTemplates[0].uses.size(), size_t(1));

    const auto *title = named(doc->templates, QStringLiteral("LT_Name"));
    QVERIFY(title);
    QCOMPARE(title->location.folder(), QStringLiteral("Titles.localized/ZT Lower Thirds/LT_Name"));
    QCOMPARE(clipsOf(*title), QStringList({QStringLiteral("[Opening Compound]/Name inside"), QStringLiteral("Episode 1/Ann, Host")}));
    QCOMPARE(title->projects, QStringList({QStringLiteral("Episode 1"), QStringLiteral("Episode 2")}));

    const auto *waves = named(doc->templates, QStringLiteral("BG_Waves"));
    QVERIFY(waves);
    QCOMPARE(waves->location.root, Root::User);
    QCOMPARE(clipsOf(*waves), QStringList{QStringLiteral("[Opening Compound]/Waves inside")});

    const auto *glow = named(doc->templates, QStringLiteral("GL_Soft"));
    QVERIFY(glow);
    QCOMPARE(glow->location.root, Root::AllUsers);
    QCOMPARE(clipsOf(*glow), QStringList({QStringLiteral("[Two Cameras]/Interview A"), QStringLiteral("Episode 1/Interview")}));
    QCOMPARE(glow->projects, QStringList({QStringLiteral("Episode 2"), QStringLiteral("Episode 1")}));

    const auto *swipe = named(doc->templates, QStringLiteral("TR_Swipe"));
    QVERIFY(swipe);
    QCOMPARE(clipsOf(*swipe), QStringList{QStringLiteral("Episode 1/Swipe")});

    QCOMPARE(doc->refused.size(), size_t(1));
    QCOMPARE(doc->refused[0].name, QStringLiteral("Sneaky"));
    QCOMPARE(doc->refused[0].uses, 1);
}

void ProjectDocumentTest::realExports_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("usesByName");  // Final Cut Pro's own templates: name=uses@projects
    QTest::newRow("1.6, templates inside a compound clip") << "MakeSubtitlesTest.fcpxml" << "1.6"
        << "Clouds=3@MakeSubtitlesTest;Basic Title=6@MakeSubtitlesTest;Grey Scale=3@MakeSubtitlesTest";
    QTest::newRow("1.9, one title") << "BasicMarkers.fcpxml" << "1.9" << "Basic Title=1@Test Project";
    QTest::newRow("1.11, effects beside built-in ones") << "29.97.fcpxml" << "1.11"
        << "50s TV=1@29.97_V1;Aged Paper=1@29.97_V1;Background Squares=1@29.97_V1";
    QTest::newRow("1.11, generators and titles") << "RolesList.fcpxml" << "1.11"
        << "Metal=1@Roles-Test;Basic Title=16@Roles-Test;Gradient=1@Roles-Test;Grey Scale=1@Roles-Test;"
           "Vivid=1@Roles-Test;Pastel=1@Roles-Test";
}

void ProjectDocumentTest::realExports()
{
    QFETCH(QString, file);
    const QString path = QStringLiteral(MTI_SHARED_FIXTURES_DIR "/fcpxml/") + file;
    if (!QFile::exists(path))
        QSKIP("the shared fixtures are not there");
    const Expected<ProjectDocument> doc = ProjectDocument::read(path);
    QVERIFY2(doc, qPrintable(doc ? QString() : doc.error().localizedDescription()));
    QTEST(doc->version, "version");
    QVERIFY(doc->templates.empty());
    QVERIFY(doc->refused.empty());
    QStringList uses;
    for (const ProjectDocument::Template &t : doc->finalCutTemplates)
        uses.append(t.name + QLatin1Char('=') + QString::number(t.uses.size()) + QLatin1Char('@') + t.projects.join(u','));
    QTEST(uses.join(u';'), "usesByName");
}

void ProjectDocumentTest::hostileProjects_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<int>("code");
    QByteArray bomb = "<?xml version=\"1.0\"?>\n<!DOCTYPE fcpxml [\n<!ENTITY a0 \"ha\">\n";
    for (int i = 1; i < 12; ++i)
        bomb += QStringLiteral("<!ENTITY a%1 \"&a%2;&a%2;&a%2;&a%2;&a%2;&a%2;&a%2;&a%2;&a%2;&a%2;\">\n").arg(i).arg(i - 1).toUtf8();
    bomb += "]>\n<fcpxml version=\"1.10\"><resources><effect id=\"r1\" name=\"&a11;\" uid=\"~/x\"/></resources></fcpxml>";
    QTest::newRow("entity bomb") << bomb << int(DocumentError::EntitiesRefused);
    QTest::newRow("external entity")
        << QByteArray("<!DOCTYPE fcpxml [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><fcpxml version=\"1.10\">&x;</fcpxml>")
        << int(DocumentError::EntitiesRefused);
    QTest::newRow("external DTD")
        << QByteArray("<!DOCTYPE fcpxml SYSTEM \"http://example.com/fcpxml.dtd\"><fcpxml version=\"1.10\"/>")
        << int(DocumentError::EntitiesRefused);
    QTest::newRow("truncated") << project("1.10").left(2000) << int(DocumentError::Truncated);
    QTest::newRow("not a project") << QByteArray("<ozml version=\"5.11\"/>") << int(DocumentError::WrongRoot);
    QTest::newRow("binary") << QByteArray("\0\x01\x02\xFF\xFE garbage", 14) << int(DocumentError::NotXml);
    QByteArray deep = "<fcpxml version=\"1.10\">";
    for (int i = 0; i < 3000; ++i)
        deep += "<spine>";
    QTest::newRow("nesting beyond the bound") << deep << int(DocumentError::TooDeep);
}

void ProjectDocumentTest::hostileProjects()
{
    QFETCH(QByteArray, document);
    const Expected<ProjectDocument> parsed = ProjectDocument::parse(document);
    QVERIFY(!parsed);
    QTEST(parsed.error().code(), "code");

    // The same from a file, read as a stream.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Hostile.fcpxml"));
    writeFileOrFail(path, document);
    const Expected<ProjectDocument> read = ProjectDocument::read(path);
    QVERIFY(!read);
    QTEST(read.error().code(), "code");
}

// A project file is read a piece at a time: what lies beyond the first
// piece counts as much as what lies in it.
void ProjectDocumentTest::readInPieces_data()
{
    QTest::addColumn<QByteArray>("tail");
    QTest::addColumn<int>("cut");
    QTest::addColumn<int>("code");  // 0: read
    QTest::newRow("whole") << QByteArray() << 0 << 0;
    QTest::newRow("cut short far in") << QByteArray() << 5 << int(DocumentError::Truncated);
    QTest::newRow("malformed far in") << QByteArray("<a></b>") << 0 << int(DocumentError::NotXml);
    QTest::newRow("an entity far in") << QByteArray("<a>&x;</a>") << 0 << int(DocumentError::NotXml);
}

void ProjectDocumentTest::readInPieces()
{
    QFETCH(QByteArray, tail);
    QFETCH(int, cut);
    QFETCH(int, code);
    QByteArray document = project("1.13");
    const qsizetype end = document.lastIndexOf("</fcpxml>");
    QVERIFY(end > 0);
    document.insert(end, "<!--" + QByteArray(1 << 20, 'x') + "-->" + tail);
    document.chop(cut);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Large.fcpxml"));
    writeFileOrFail(path, document);
    const Expected<ProjectDocument> read = ProjectDocument::read(path);
    const Expected<ProjectDocument> parsed = ProjectDocument::parse(document);
    if (code != 0) {
        QVERIFY(!read);
        QCOMPARE(read.error().code(), code);
        QVERIFY(!parsed);
        QCOMPARE(parsed.error().code(), code);
        return;
    }
    QVERIFY2(read, qPrintable(read ? QString() : read.error().localizedDescription()));
    QCOMPARE(read->templates.size(), size_t(4));
    QVERIFY(parsed);
    QCOMPARE(parsed->templates.size(), read->templates.size());
}

void ProjectDocumentTest::bundles()
{
    QTemporaryDir dir;
    const QString bundle = dir.filePath(QStringLiteral("Show.fcpxmld"));
    writeFileOrFail(bundle + QStringLiteral("/Info.fcpxml"), project("1.13"));
    const Expected<ProjectDocument> doc = ProjectDocument::read(bundle);
    QVERIFY(doc);
    QCOMPARE(doc->templates.size(), size_t(4));

    const QString linkedBundle = dir.filePath(QStringLiteral("Linked.fcpxmld"));
    QVERIFY(QFile::link(bundle, linkedBundle));
    QCOMPARE(ProjectDocument::read(linkedBundle).error().code(), int(DocumentError::Unreadable));

    const QString linkedInfo = dir.filePath(QStringLiteral("Inner.fcpxmld"));
    QVERIFY(QDir().mkpath(linkedInfo));
    QVERIFY(QFile::link(bundle + QStringLiteral("/Info.fcpxml"), linkedInfo + QStringLiteral("/Info.fcpxml")));
    QCOMPARE(ProjectDocument::read(linkedInfo).error().code(), int(DocumentError::Unreadable));

    QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("Empty.fcpxmld"))));
    QCOMPARE(ProjectDocument::read(dir.filePath(QStringLiteral("Empty.fcpxmld"))).error().code(), int(DocumentError::Unreadable));
}

void ProjectDocumentTest::checkAgainstRootsAndArchives()
{
    QTemporaryDir dir;
    const QString user = dir.filePath(QStringLiteral("user"));
    const QString allUsers = dir.filePath(QStringLiteral("all"));
    QVERIFY(QDir().mkpath(user) && QDir().mkpath(allUsers));

    // LT_Name: installed from an archive, saved by a Motion too new for 11.0.
    writeFileOrFail(user + QStringLiteral("/Titles.localized/ZT Lower Thirds/LT_Name/LT_Name.moti"), templateDocument("5.11"));
    Receipt receipt;
    receipt.archiveFileName = QStringLiteral("LT_Names.mtzip");
    receipt.archiveTitle = QStringLiteral("LT_Names");
    receipt.templates.push_back({3, QStringLiteral("Lower Thirds"), QStringLiteral("Name"),
                                 QStringLiteral("Titles.localized/ZT Lower Thirds/LT_Name"), {}, std::nullopt});
    writeFileOrFail(Receipt::pathFor(user, receipt.archiveTitle), receipt.toJson());
    // TR_Swipe: a hand copy, hidden, needing a plug-in.
    writeFileOrFail(user + QStringLiteral("/Transitions.localized/ZT Swipes/TR_Swipe/TR_Swipe.motr"),
                    templateDocument("5.4", "<template><flags>2</flags></template><filter pluginName=\"Swiper\" pluginUUID=\"S-1\"/>"));
    // GL_Soft: installed in the all-users root, details unavailable.
    writeFileOrFail(allUsers + QStringLiteral("/Effects.localized/ZT Glows/GL_Soft/GL_Soft.moef"), "\x01\x02 not xml");
    // BG_Waves: missing here, in an archive at exactly that place.
    QTemporaryDir source;
    writeFileOrFail(source.filePath(QStringLiteral("BG_Waves/BG_Waves.motn")), templateDocument("5.8"));
    const QString archive = dir.filePath(QStringLiteral("BG_Backgrounds.mtzip"));
    const QString otherArchive = dir.filePath(QStringLiteral("LT_Others.mtzip"));
    ZipTestTools::packFolder(source.path(), archive);
    ZipTestTools::packFolder(source.path(), otherArchive);  // lower thirds: another place
    QVERIFY(QFile::exists(archive));

    const Expected<ProjectDocument> doc = ProjectDocument::parse(project("1.11"));
    QVERIFY(doc);
    ProjectCheck::Request request;
    request.userRoot = user;
    request.allUsersRoot = allUsers;
    request.archives = {archive, otherArchive, dir.filePath(QStringLiteral("missing.mtzip"))};
    request.finalCut = QVersionNumber(11, 0);
    // The archive that is not there is passed over, with the installer's line.
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("Unexpected category prefix")));
    const ProjectCheck::Result result = ProjectCheck::check(*doc, request);

    QCOMPARE(result.templates.size(), size_t(4));
    QVERIFY(result.anythingMissing());
    QCOMPARE(result.finalCutTemplates.size(), size_t(1));
    QCOMPARE(result.refused.size(), size_t(1));
    QHash<QString, const ProjectCheck::Finding *> byName;
    for (const ProjectCheck::Finding &finding : result.templates)
        byName.insert(finding.project.name, &finding);

    const ProjectCheck::Finding *title = byName.value(QStringLiteral("LT_Name"));
    QCOMPARE(title->state, ProjectCheck::State::Installed);
    QCOMPARE(title->archiveTitle, QStringLiteral("LT_Names"));
    QVERIFY(!title->handCopy);
    QVERIFY(title->tooNew);
    QCOMPARE(title->requirement.finalCut, QVersionNumber(11, 2));

    const ProjectCheck::Finding *swipe = byName.value(QStringLiteral("TR_Swipe"));
    QCOMPARE(swipe->state, ProjectCheck::State::Installed);
    QVERIFY(swipe->handCopy);
    QVERIFY(swipe->hidden);
    QVERIFY(!swipe->tooNew);
    QCOMPARE(swipe->plugIns.size(), size_t(1));

    const ProjectCheck::Finding *glow = byName.value(QStringLiteral("GL_Soft"));
    QCOMPARE(glow->state, ProjectCheck::State::Installed);
    QVERIFY(glow->detailsUnavailable);

    const ProjectCheck::Finding *waves = byName.value(QStringLiteral("BG_Waves"));
    QCOMPARE(waves->state, ProjectCheck::State::Missing);
    QCOMPARE(waves->providers, QStringList{archive});

    // Nothing was unpacked or written in the roots.
    QCOMPARE(TestSupport::entryNames(user, QDir::Name),
             QStringList({Receipt::folderName(), QStringLiteral("Titles.localized"), QStringLiteral("Transitions.localized")}));
}

QTEST_GUILESS_MAIN(ProjectDocumentTest)
#include "tst_ProjectDocument.moc"
