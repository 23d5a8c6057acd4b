// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Metadata/FinalCutVersions.h"
#include "Metadata/ArchiveDocuments.h"
#include "Metadata/TemplateDocument.h"
#include "Metadata/TemplateDocumentEdit.h"
#include "Metadata/TemplateMarks.h"
#include "Metadata/XmlLimits.h"
#include "TestSupport.h"
#include "ZipArchive/ZipArchive.h"
#include "ZipArchive/ZipEntryContents.h"
#include "ZipTestTools.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

using TestSupport::readFile;
using TestSupport::writeFileOrFail;

namespace {

// A document as Motion writes them, with the parts a test varies.
QByteArray motionDocument(const QByteArray &header, const QByteArray &scene = QByteArray())
{
    return QByteArrayLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE ozxmlscene>\n"
                             "<ozml version=\"5.11\">\n")
        + header
        + QByteArrayLiteral("\n    <scene>\n        <sceneSettings>\n            <width>1920</width>\n"
                            "            <height>1080</height>\n            <duration>300</duration>\n"
                            "            <frameRate>29.97</frameRate>\n        </sceneSettings>\n"
                            "        <publishSettings>\n            <version>2</version>\n"
                            "            <target object=\"10011\" channel=\"./1/100\" name=\"Name\"/>\n"
                            "            <target object=\"10012\" channel=\"./1/100\" name=\"Role\"/>\n"
                            "        </publishSettings>\n")
        + scene + QByteArrayLiteral("    </scene>\n</ozml>\n");
}

const QByteArray FullHeader = QByteArrayLiteral(
    "    <factory id=\"1\" uuid=\"a1\">\n        <description>Text</description>\n"
    "        <manufacturer>Apple</manufacturer>\n    </factory>\n"
    "    <displayversion>5.10</displayversion>\n"
    "    <description>A name and a role, sliding in.</description>\n"
    "    <template>\n        <theme>Corporate</theme>\n        <flags>0</flags>\n    </template>");

int flagsOf(const TemplateDocument &doc)
{
    return doc.flags ? int(*doc.flags) : -1;
}

QString requirementText(const FinalCutVersions::Requirement &r)
{
    return r.finalCut.isNull() ? QStringLiteral("none")
                               : r.finalCut.toString() + (r.newerThanTable ? QStringLiteral("+") : QString());
}

} // namespace

class TemplateDocumentTest : public QObject
{
    Q_OBJECT

private slots:
    void documentShapes_data();
    void documentShapes();
    void versionTable_data();
    void versionTable();
    void shippedTableAndBadTables();
    void versionStrings_data();
    void versionStrings();
    void tooNew_data();
    void tooNew();
    void installedApplication();
    void plugIns();
    void media();
    void summaryStopsEarly();
    void hostileDocuments_data();
    void hostileDocuments();
    void sizeBound();
    void filesAndFolders();
    void hideThenShow_data();
    void hideThenShow();
    void notEditable_data();
    void notEditable();
    void hiddenBeyondTheBound_data();
    void hiddenBeyondTheBound();
    void hideInFile();
    void marks_data();
    void marks();
    void markDetails();
    void archiveDocuments();
    void readAllAgreesWithReadOneByOne();
    void boundedEntryReads();
    void takeThenInflate_data();
    void takeThenInflate();
};

void TemplateDocumentTest::documentShapes_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<QString>("motion");
    QTest::addColumn<QString>("finalCut");
    QTest::addColumn<bool>("hasTemplate");
    QTest::addColumn<QString>("theme");
    QTest::addColumn<int>("flags");
    QTest::addColumn<bool>("obsolete");
    QTest::addColumn<QString>("description");

    QTest::newRow("everything, template with theme and flags") << motionDocument(FullHeader) << "5.10" << "11.1" << true
                                                              << "Corporate" << 0 << false << "A name and a role, sliding in.";
    QTest::newRow("template holding flags alone, obsolete")
        << motionDocument("<displayversion>5.4.1</displayversion><template><flags>2</flags></template>") << "5.4.1"
        << "10.4" << true << "" << 2 << true << "";
    QTest::newRow("flags with other bits too")
        << motionDocument("<displayversion>6.2</displayversion><template><flags>7</flags></template>") << "6.2" << "12.2"
        << true << "" << 7 << true << "";
    QTest::newRow("no template element, as in many documents")
        << motionDocument("<displayversion>5.8</displayversion>") << "5.8" << "10.8" << false << "" << -1 << false << "";
    QTest::newRow("empty description and empty template")
        << motionDocument("<displayversion>5.11</displayversion><description></description><template/>") << "5.11"
        << "11.2" << true << "" << -1 << false << "";
    QTest::newRow("no displayversion: no requirement")
        << motionDocument("<template><theme> Sports </theme></template>") << "" << "none" << true << "Sports" << -1
        << false << "";
    QTest::newRow("factory descriptions are not the template's")
        << motionDocument("<factory id=\"3\"><description>Blur</description></factory><displayversion>5.9</displayversion>")
        << "5.9" << "11.0" << false << "" << -1 << false << "";
    QTest::newRow("text with entities, character references and CDATA")
        << motionDocument("<displayversion>5.10</displayversion>"
                          "<description> Tom &amp; Jerry&#x2019;s <![CDATA[<b>]]> </description>")
        << "5.10" << "11.1" << false << "" << -1 << false << QStringLiteral("Tom & Jerry\u2019s <b>");
    QTest::newRow("a child element ends the text")
        << motionDocument("<displayversion>5.10</displayversion><description>Before<b/>after</description>") << "5.10"
        << "11.1" << false << "" << -1 << false << "Before";
    QString utf16 = QString::fromUtf8(motionDocument(FullHeader)).replace(QLatin1String("UTF-8"), QLatin1String("UTF-16"));
    utf16.prepend(QChar(QChar::ByteOrderMark));
    QTest::newRow("UTF-16 with a byte order mark")
        << QByteArray(reinterpret_cast<const char *>(utf16.utf16()), utf16.size() * 2) << "5.10" << "11.1" << true
        << "Corporate" << 0 << false << "A name and a role, sliding in.";
    QTest::newRow("windows-1252, which only Qt's decoders know")
        << motionDocument("<displayversion>5.10</displayversion><description>Caf\xE9 \x80 5</description>")
               .replace("encoding=\"UTF-8\"", "encoding=\"windows-1252\"")
        << "5.10" << "11.1" << false << "" << -1 << false << QStringLiteral("Caf\u00e9 \u20ac 5");
    QTest::newRow("ISO-8859-1")
        << motionDocument("<displayversion>5.10</displayversion><description>Caf\xE9</description>")
               .replace("encoding=\"UTF-8\"", "encoding=\"ISO-8859-1\"")
        << "5.10" << "11.1" << false << "" << -1 << false << QStringLiteral("Caf\u00e9");
}

void TemplateDocumentTest::documentShapes()
{
    QFETCH(QByteArray, document);
    const Expected<TemplateDocument> doc = TemplateDocument::parse(document);
    QVERIFY2(doc, qPrintable(doc ? QString() : doc.error().localizedDescription()));
    QCOMPARE(doc->formatVersion, QStringLiteral("5.11"));
    QTEST(doc->motionVersionText, "motion");
    QTEST(requirementText(doc->finalCut), "finalCut");
    QTEST(doc->hasTemplateElement, "hasTemplate");
    QTEST(doc->theme, "theme");
    QTEST(flagsOf(*doc), "flags");
    QTEST(doc->isObsolete(), "obsolete");
    QTEST(doc->description, "description");
    QCOMPARE(doc->width, 1920);
    QCOMPARE(doc->height, 1080);
    QCOMPARE(doc->frameRate, 29.97);
    QVERIFY(qAbs(doc->durationSeconds() - 300 / 29.97) < 1e-9);
    QCOMPARE(doc->parameters, QStringList({QStringLiteral("Name"), QStringLiteral("Role")}));
    QVERIFY(!doc->incomplete);
}

void TemplateDocumentTest::versionTable_data()
{
    QTest::addColumn<QString>("motion");
    QTest::addColumn<QString>("finalCut");
    QTest::newRow("first row") << "5.4" << "10.4";
    QTest::newRow("a patch release takes its row") << "5.4.7" << "10.4";
    QTest::newRow("5.10 is not 5.1") << "5.10" << "11.1";
    QTest::newRow("5.10.2") << "5.10.2" << "11.1";
    QTest::newRow("5.11") << "5.11" << "11.2";
    QTest::newRow("6.0") << "6.0" << "12.0";
    QTest::newRow("between rows takes the later row") << "6.1" << "12.2";
    QTest::newRow("last row") << "6.2.1" << "12.2";
    QTest::newRow("older than the table: no requirement") << "5.3" << "none";
    QTest::newRow("newer than the table") << "7.0" << "12.2+";
    QTest::newRow("a major version alone") << "6" << "12.0";
}

void TemplateDocumentTest::versionTable()
{
    QFETCH(QString, motion);
    const std::optional<QVersionNumber> version = FinalCutVersions::parse(motion);
    QVERIFY(version);
    QTEST(requirementText(FinalCutVersions::requirementFor(*version)), "finalCut");
}

void TemplateDocumentTest::shippedTableAndBadTables()
{
    QCOMPARE(FinalCutVersions::table().size(), size_t(10));
    QVERIFY(FinalCutVersions::bundleIdentifiers().contains(QStringLiteral("com.apple.FinalCut")));

    // A new row is data: a table with it answers for it.
    const auto extended = FinalCutVersions::parseTable(
        R"({"motionToFinalCut":[{"motion":"6.3","finalCut":"12.3"},{"motion":"5.4","finalCut":"10.4"}]})");
    QVERIFY(extended);
    QCOMPARE(extended->front().motion, QVersionNumber(5, 4));
    QCOMPARE(FinalCutVersions::requirementFor(QVersionNumber(6, 3), *extended).finalCut, QVersionNumber(12, 3));

    QVERIFY(!FinalCutVersions::parseTable("not json"));
    QVERIFY(!FinalCutVersions::parseTable(R"({"motionToFinalCut":[{"motion":"5.4"}]})"));
    QVERIFY(!FinalCutVersions::parseTable(R"({"motionToFinalCut":[{"motion":"5.x","finalCut":"10.4"}]})"));
    QVERIFY(!FinalCutVersions::parseTable(
        R"({"motionToFinalCut":[{"motion":"5.4","finalCut":"10.4"},{"motion":"5.4.1","finalCut":"10.5"}]})"));
}

void TemplateDocumentTest::versionStrings_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("parsed");
    QTest::newRow("three parts") << "10.4.1" << "10.4.1";
    QTest::newRow("two parts") << "11.1" << "11.1";
    QTest::newRow("one part") << "11" << "11";
    QTest::newRow("empty") << "" << "";
    QTest::newRow("a suffix") << "10.4b2" << "";
    QTest::newRow("a leading space") << " 10.4" << "";
    QTest::newRow("an empty part") << "10..4" << "";
    QTest::newRow("five parts") << "1.2.3.4.5" << "";
    QTest::newRow("a sign") << "-10.4" << "";
}

void TemplateDocumentTest::versionStrings()
{
    QFETCH(QString, text);
    const std::optional<QVersionNumber> version = FinalCutVersions::parse(text);
    QTEST(version ? version->toString() : QString(), "parsed");
}

void TemplateDocumentTest::tooNew_data()
{
    QTest::addColumn<QString>("required");
    QTest::addColumn<bool>("newerThanTable");
    QTest::addColumn<QString>("installed");
    QTest::addColumn<bool>("tooNew");
    QTest::newRow("older Final Cut Pro") << "11.1" << false << "11.0" << true;
    QTest::newRow("exactly the one needed") << "11.1" << false << "11.1" << false;
    QTest::newRow("a patch release of it") << "11.1" << false << "11.1.2" << false;
    QTest::newRow("newer") << "11.1" << false << "12.0" << false;
    QTest::newRow("beyond the table, newest known app") << "12.2" << true << "12.2" << true;
    QTest::newRow("beyond the table, newer app") << "12.2" << true << "12.3" << false;
    QTest::newRow("no requirement") << "" << false << "10.4" << false;
}

void TemplateDocumentTest::tooNew()
{
    QFETCH(QString, required);
    QFETCH(bool, newerThanTable);
    QFETCH(QString, installed);
    const FinalCutVersions::Requirement requirement{QVersionNumber::fromString(required), newerThanTable};
    QTEST(FinalCutVersions::isTooNew(requirement, QVersionNumber::fromString(installed)), "tooNew");
}

void TemplateDocumentTest::installedApplication()
{
    QTemporaryDir dir;
    const auto plist = [](const char *identifier, const char *version) -> QByteArray {
        return QByteArrayLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
                                 "<key>CFBundleIdentifier</key><string>")
            + identifier + "</string><key>CFBundleShortVersionString</key><string>" + version
            + "</string></dict></plist>";
    };
    writeFileOrFail(dir.filePath(QStringLiteral("Final Cut Pro.app/Contents/Info.plist")),
                    plist("com.apple.FinalCut", "10.8.1"));
    writeFileOrFail(dir.filePath(QStringLiteral("Other.app/Contents/Info.plist")), plist("com.example.Other", "10.8"));
    writeFileOrFail(dir.filePath(QStringLiteral("Odd.app/Contents/Info.plist")), plist("com.apple.FinalCut", "ten"));

    const auto app = FinalCutVersions::readBundle(dir.filePath(QStringLiteral("Final Cut Pro.app")));
    QVERIFY(app);
    QCOMPARE(app->version, QVersionNumber(10, 8, 1));
    QCOMPARE(app->bundleIdentifier, QStringLiteral("com.apple.FinalCut"));
    QVERIFY(!FinalCutVersions::readBundle(dir.filePath(QStringLiteral("Other.app"))));
    QVERIFY(!FinalCutVersions::readBundle(dir.filePath(QStringLiteral("Odd.app"))));
    QVERIFY(!FinalCutVersions::readBundle(dir.filePath(QStringLiteral("Missing.app"))));

    // The override wins; a malformed one counts as unset.
    QCOMPARE(FinalCutVersions::effectiveVersion(QStringLiteral("10.8")), QVersionNumber(10, 8));
#ifndef Q_OS_MACOS
    QVERIFY(FinalCutVersions::installed().empty());
    QVERIFY(!FinalCutVersions::effectiveVersion(QString()));
    QVERIFY(!FinalCutVersions::effectiveVersion(QStringLiteral("latest")));
#endif
}

void TemplateDocumentTest::plugIns()
{
    const QByteArray header = QByteArrayLiteral(
        "<factory id=\"1\" uuid=\"a1\"><description>Gaussian Blur</description><manufacturer>Apple</manufacturer></factory>"
        "<factory id=\"2\" uuid=\"b2\"><description>Glow Pro</description><manufacturer>Example FX</manufacturer></factory>"
        "<factory id=\"3\" uuid=\"c3\"><description>Apple FxPlug</description><manufacturer>Apple Inc.</manufacturer></factory>"
        "<displayversion>5.11</displayversion>");
    const QByteArray scene = QByteArrayLiteral(
        "<layer><filter name=\"Blur\" factoryID=\"1\"/>"
        "<filter name=\"Glow\" factoryID=\"2\" pluginName=\"Glow Pro\" pluginUUID=\"U-1\" pluginVersion=\"3\"/>"
        "<filter name=\"Glow again\" factoryID=\"2\" pluginName=\"Glow Pro\" pluginUUID=\"U-1\" pluginVersion=\"3\"/>"
        "<filter name=\"Apple's own\" factoryID=\"3\" pluginName=\"Stabilize\" pluginUUID=\"A-1\"/>"
        "<filter name=\"Unknown factory\" pluginName=\"Film Grain\" pluginUUID=\"U-2\" pluginVersion=\"1.2\"/>"
        "</layer>");
    const Expected<TemplateDocument> doc = TemplateDocument::parse(motionDocument(header, scene));
    QVERIFY(doc);
    const std::vector<TemplateDocument::PlugIn> expected = {{QStringLiteral("Glow Pro"), QStringLiteral("U-1"), QStringLiteral("3")},
                                                            {QStringLiteral("Film Grain"), QStringLiteral("U-2"), QStringLiteral("1.2")}};
    QCOMPARE(doc->plugIns, expected);
}

void TemplateDocumentTest::media()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("Templates/LT_Name"));
    writeFileOrFail(folder + QStringLiteral("/Media/accent.png"), "png");
    writeFileOrFail(folder + QStringLiteral("/Media/my clip.mov"), "mov");
    writeFileOrFail(dir.filePath(QStringLiteral("secret.txt")), "outside");
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("secret.txt")), folder + QStringLiteral("/Media/link.png")));

    const QByteArray scene = QByteArrayLiteral(
        "<clip><pathURL>file:///Users/ann/Desktop/accent.png</pathURL><relativeURL>Media/accent.png</relativeURL></clip>"
        "<clip><relativeURL>Media/my%20clip.mov</relativeURL></clip>"
        "<clip><relativeURL>Media/gone.png</relativeURL></clip>"
        "<clip><relativeURL>../../etc/passwd</relativeURL></clip>"
        "<clip><pathURL>file:///etc/passwd</pathURL></clip>"
        "<clip><relativeURL>Media/link.png</relativeURL></clip>"
        "<clip><pathURL>file://")
        + QUrl::fromLocalFile(folder).path().toUtf8() + QByteArrayLiteral("/Media/accent.png</pathURL></clip>");
    const Expected<TemplateDocument> doc = TemplateDocument::parse(motionDocument("<displayversion>5.11</displayversion>", scene), folder);
    QVERIFY(doc);
    using S = TemplateDocument::MediaState;
    const std::vector<std::pair<QString, S>> expected = {
        {QStringLiteral("Media/accent.png"), S::Present}, {QStringLiteral("Media/my clip.mov"), S::Present},
        {QStringLiteral("Media/gone.png"), S::Missing},   {QString(), S::Outside},
        {QString(), S::Outside},                          {QString(), S::Outside},
        {QStringLiteral("Media/accent.png"), S::Present}};
    QCOMPARE(doc->media.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        QCOMPARE(doc->media[i].relativePath, expected[i].first);
        QCOMPARE(doc->media[i].state, expected[i].second);
    }
    QCOMPARE(doc->media[0].pathURL, QStringLiteral("file:///Users/ann/Desktop/accent.png"));
    QCOMPARE(doc->missingMedia(), QStringList{QStringLiteral("Media/gone.png")});

    // Without a folder nothing is looked up.
    const Expected<TemplateDocument> unplaced = TemplateDocument::parse(motionDocument("", scene));
    QVERIFY(unplaced);
    QCOMPARE(unplaced->media[2].state, S::Unknown);
    QCOMPARE(unplaced->media[3].state, S::Outside);
}

void TemplateDocumentTest::summaryStopsEarly()
{
    // The summary parts come first; what follows them is not read at all.
    QByteArray document = motionDocument(FullHeader);
    document.replace("    </scene>\n</ozml>\n", "<layer><bad attribute></layer>");
    const Expected<TemplateDocument> summary = TemplateDocument::parse(document, QString(), TemplateDocument::Parts::Summary);
    QVERIFY(summary);
    QCOMPARE(summary->theme, QStringLiteral("Corporate"));
    QCOMPARE(summary->parameters.size(), 2);
    const Expected<TemplateDocument> everything = TemplateDocument::parse(document);
    QVERIFY(!everything);
    QCOMPARE(everything.error().code(), int(DocumentError::NotXml));
}

void TemplateDocumentTest::hostileDocuments_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<int>("code");
    QByteArray bomb = "<?xml version=\"1.0\"?>\n<!DOCTYPE ozxmlscene [\n<!ENTITY a0 \"ha\">\n";
    for (int i = 1; i < 12; ++i)
        bomb += QStringLiteral("<!ENTITY a%1 \"&a%2;&a%2;&a%2;&a%2;&a%2;&a%2;&a%2;&a%2;&a%2;&a%2;\">\n").arg(i).arg(i - 1).toUtf8();
    bomb += "]>\n<ozml version=\"5.11\"><description>&a11;</description></ozml>";
    QTest::newRow("entity bomb") << bomb << int(DocumentError::EntitiesRefused);
    QTest::newRow("external entity")
        << QByteArray("<?xml version=\"1.0\"?><!DOCTYPE ozml [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>"
                      "<ozml version=\"5.11\"><description>&x;</description></ozml>")
        << int(DocumentError::EntitiesRefused);
    QTest::newRow("parameter entity")
        << QByteArray("<?xml version=\"1.0\"?><!DOCTYPE ozml [<!ENTITY % p SYSTEM \"http://example.com/x.dtd\"> %p;]>"
                      "<ozml version=\"5.11\"/>")
        << int(DocumentError::EntitiesRefused);
    QTest::newRow("a DTD that fetches")
        << QByteArray("<?xml version=\"1.0\"?><!DOCTYPE ozml SYSTEM \"http://example.com/ozml.dtd\"><ozml version=\"5.11\"/>")
        << int(DocumentError::EntitiesRefused);
    QTest::newRow("undeclared entity")
        << QByteArray("<ozml version=\"5.11\"><description>&nope;</description></ozml>") << int(DocumentError::NotXml);
    QTest::newRow("invalid UTF-8")
        << QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?><ozml version=\"5.11\"><description>\xC3\x28\xFF</description></ozml>")
        << int(DocumentError::NotXml);
    QTest::newRow("truncated") << motionDocument(FullHeader).left(400) << int(DocumentError::Truncated);
    QTest::newRow("empty file") << QByteArray() << int(DocumentError::Truncated);
    QTest::newRow("binary with a template extension")
        << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\x07\x80", 20) << int(DocumentError::NotXml);
    QTest::newRow("an unknown entity in an attribute, after a parameter-entity reference")
        << QByteArray("<?xml version=\"1.0\"?><!DOCTYPE ozml [ %x; ]><ozml version=\"a&foo;b\"/>")
        << int(DocumentError::EntitiesRefused);
    QTest::newRow("a bare word") << QByteArray("hello") << int(DocumentError::NotXml);
    QTest::newRow("a notation declaration")
        << QByteArray("<?xml version=\"1.0\"?><!DOCTYPE ozml [<!NOTATION n SYSTEM \"file:///bin/sh\">]><ozml version=\"5.11\"/>")
        << int(DocumentError::EntitiesRefused);
    QTest::newRow("content after the root")
        << QByteArray("<ozml version=\"5.11\"></ozml><ozml version=\"5.11\"/>") << int(DocumentError::NotXml);
    QTest::newRow("cut inside a tag")
        << QByteArray("<ozml version=\"5.11\"><description>A</description><layer name=\"x") << int(DocumentError::Truncated);
    // Hiding reads with the same reader: it refuses what listing refuses,
    // even past the place it edits.
    QTest::newRow("control characters inside a tag")
        << motionDocument("<displayversion>5.10</displayversion>",
                          QByteArray("<layer name=\"Size\" value\x01\x03=\"36\"/>"))
        << int(DocumentError::NotXml);
    QTest::newRow("another kind of XML") << QByteArray("<plist version=\"1.0\"><dict/></plist>") << int(DocumentError::WrongRoot);
    QByteArray deep = "<ozml version=\"5.11\">";
    for (int i = 0; i < 5000; ++i)
        deep += "<layer>";
    QTest::newRow("nesting beyond the bound") << deep << int(DocumentError::TooDeep);
}

void TemplateDocumentTest::hostileDocuments()
{
    QFETCH(QByteArray, document);
    QElapsedTimer timer;
    timer.start();
    for (const TemplateDocument::Parts parts : {TemplateDocument::Parts::Summary, TemplateDocument::Parts::Everything}) {
        const Expected<TemplateDocument> doc = TemplateDocument::parse(document, QString(), parts);
        QVERIFY(!doc);
        QCOMPARE(doc.error().domain(), DocumentError::Domain);
        QTEST(doc.error().code(), "code");
        QVERIFY(!doc.error().localizedDescription().isEmpty());
    }
    const Expected<QByteArray> hidden = TemplateDocumentEdit::setObsolete(document, true);
    QVERIFY(!hidden);
    QTEST(hidden.error().code(), "code");
    QVERIFY2(timer.elapsed() < 5000, "a hostile document must be refused promptly");
}

void TemplateDocumentTest::sizeBound()
{
    QTemporaryDir dir;
    QByteArray tail;
    for (int i = 0; i < 2000; ++i)
        tail += "<filter name=\"F\" pluginName=\"Late\" pluginUUID=\"late-" + QByteArray::number(i) + "\"/>";
    const QString big = dir.filePath(QStringLiteral("Big/Big.moti"));
    writeFileOrFail(big, motionDocument(FullHeader, tail));

    // Cut short after the header: the header counts, the rest is marked unknown.
    const Expected<TemplateDocument> cut = TemplateDocument::read(big, TemplateDocument::Parts::Everything, 4096);
    QVERIFY(cut);
    QVERIFY(cut->incomplete);
    QCOMPARE(cut->theme, QStringLiteral("Corporate"));
    QVERIFY(cut->plugIns.size() < 2000);
    const Expected<TemplateDocument> whole = TemplateDocument::read(big);
    QVERIFY(whole);
    QVERIFY(!whole->incomplete);
    QCOMPARE(whole->plugIns.size(), size_t(2000));

    // Cut before the header ends: no details.
    const Expected<TemplateDocument> early = TemplateDocument::read(big, TemplateDocument::Parts::Everything, 200);
    QVERIFY(!early);
    QCOMPARE(early.error().code(), int(DocumentError::TooLarge));
}

void TemplateDocumentTest::filesAndFolders()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("LT_Name"));
    writeFileOrFail(folder + QStringLiteral("/Another.motn"), motionDocument("<displayversion>5.4</displayversion>"));
    writeFileOrFail(folder + QStringLiteral("/LT_Name.moti"), motionDocument(FullHeader));
    writeFileOrFail(folder + QStringLiteral("/._LT_Name.moti"), "AppleDouble");
    QCOMPARE(TemplateDocument::documentIn(folder), folder + QStringLiteral("/LT_Name.moti"));
    const Expected<TemplateDocument> doc = TemplateDocument::readFolder(folder);
    QVERIFY(doc);
    QCOMPARE(doc->motionVersionText, QStringLiteral("5.10"));

    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("Empty")));
    QCOMPARE(TemplateDocument::readFolder(dir.filePath(QStringLiteral("Empty"))).error().code(), int(DocumentError::Unreadable));

    // Neither a link nor a FIFO is opened (a FIFO would block).
    QVERIFY(QFile::link(folder + QStringLiteral("/LT_Name.moti"), dir.filePath(QStringLiteral("link.moti"))));
    QCOMPARE(TemplateDocument::read(dir.filePath(QStringLiteral("link.moti"))).error().code(), int(DocumentError::Unreadable));
    QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath(QStringLiteral("fifo.moti"))).constData(), 0600), 0);
    QCOMPARE(TemplateDocument::read(dir.filePath(QStringLiteral("fifo.moti"))).error().code(), int(DocumentError::Unreadable));
}

void TemplateDocumentTest::hideThenShow_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<int>("hiddenFlags");
    QTest::newRow("flags 0") << motionDocument(FullHeader) << 2;
    QTest::newRow("flags with other bits")
        << motionDocument("<template>\n  <flags> 5 </flags>\n</template>") << 7;
    QTest::newRow("template without flags")
        << motionDocument("<template>\n        <theme>Sports</theme>\n    </template>") << 2;
    QTest::newRow("no template element") << motionDocument("<displayversion>5.8</displayversion>") << 2;
    QTest::newRow("CRLF line ends and non-ASCII text before")
        << motionDocument("<description>Gr\xC3\xBC\xC3\x9F" "e \xF0\x9F\x8E\xAC</description>\r\n<template>\r\n<flags>0</flags>\r\n</template>")
               .replace("\n", "\r\n")
        << 2;
    QTest::newRow("two flags: the first counts")
        << motionDocument("<template><flags>0</flags><flags>0</flags></template>") << 2;
    QTest::newRow("template below an element with text")
        << motionDocument("<description>Intro<template><flags>1</flags></template></description>") << 3;
    QTest::newRow("compact template with flags 0")
        << motionDocument("<template><flags>0</flags></template>") << 2;
    QTest::newRow("byte order mark, no template")
        << QByteArray("\xEF\xBB\xBF") + motionDocument("<description>\xC3\xA9t\xC3\xA9</description>") << 2;
}

void TemplateDocumentTest::hideThenShow()
{
    QFETCH(QByteArray, document);
    const Expected<QByteArray> hidden = TemplateDocumentEdit::setObsolete(document, true);
    QVERIFY2(hidden, qPrintable(hidden ? QString() : hidden.error().localizedDescription()));
    const Expected<TemplateDocument> read = TemplateDocument::parse(*hidden);
    QVERIFY(read);
    QVERIFY(read->isObsolete());
    QTEST(flagsOf(*read), "hiddenFlags");
    // Only the flags changed: every other part reads as before.
    const Expected<TemplateDocument> before = TemplateDocument::parse(document);
    QCOMPARE(read->description, before->description);
    QCOMPARE(read->parameters, before->parameters);
    QCOMPARE(read->theme, before->theme);

    QCOMPARE(TemplateDocumentEdit::setObsolete(*hidden, true).value(), *hidden);
    const Expected<QByteArray> shown = TemplateDocumentEdit::setObsolete(*hidden, false);
    QVERIFY(shown);
    QCOMPARE(*shown, document);
    QCOMPARE(TemplateDocumentEdit::setObsolete(document, false).value(), document);
}

void TemplateDocumentTest::notEditable_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::newRow("flags as an empty-element tag") << motionDocument("<template><flags/></template>");
    QTest::newRow("flags that are no number") << motionDocument("<template><flags>two</flags></template>");
    QTest::newRow("flags with an element inside") << motionDocument("<template><flags><b/>2</flags></template>");
    QTest::newRow("template as an empty-element tag") << motionDocument("<template/>");
    QTest::newRow("root as an empty-element tag") << QByteArray("<?xml version=\"1.0\"?><ozml version=\"5.11\"/>");
    QTest::newRow("flags with a leading zero") << motionDocument("<template><flags>00</flags></template>");
    const QString plain = QString::fromUtf8(motionDocument("<displayversion>5.10</displayversion>"))
                              .replace(QLatin1String(" encoding=\"UTF-8\""), QString());
    QTest::newRow("UTF-16 without a byte order mark")
        << QByteArray(reinterpret_cast<const char *>(plain.utf16()), plain.size() * 2);
    QTest::newRow("declared in another encoding")
        << motionDocument("").replace("encoding=\"UTF-8\"", "encoding=\"ISO-8859-1\"");
}

void TemplateDocumentTest::notEditable()
{
    QFETCH(QByteArray, document);
    const Expected<QByteArray> hidden = TemplateDocumentEdit::setObsolete(document, true);
    QVERIFY(!hidden);
    QCOMPARE(hidden.error().code(), int(DocumentError::NotEditable));
}

void TemplateDocumentTest::hiddenBeyondTheBound_data()
{
    // Listings read the first DefaultMaxBytes: a hide they would not see is refused.
    const QByteArray filler = "<x>" + QByteArray(int(TemplateDocument::DefaultMaxBytes), 'x') + "</x>";
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<int>("code");
    QTest::newRow("scene settings past the bound") << motionDocument("<description>" + filler + "</description>")
                                                   << int(DocumentError::TooLarge);
    QTest::newRow("template past the bound")
        << motionDocument("<displayversion>5.10</displayversion>", filler + "<template><flags>0</flags></template>")
        << int(DocumentError::NotEditable);
}

void TemplateDocumentTest::hiddenBeyondTheBound()
{
    QFETCH(QByteArray, document);
    const Expected<QByteArray> hidden = TemplateDocumentEdit::setObsolete(document, true);
    QVERIFY(!hidden);
    QTEST(hidden.error().code(), "code");
    // Showing is not held back: it only ever makes less hidden.
    QVERIFY(TemplateDocumentEdit::setObsolete(document, false));
}

void TemplateDocumentTest::hideInFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("LT_Name/LT_Name.moti"));
    const QByteArray original = motionDocument(FullHeader);
    writeFileOrFail(path, original);
    QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));

    QCOMPARE(TemplateDocumentEdit::setObsoleteInFile(path, true), std::nullopt);
    QVERIFY(TemplateDocument::read(path)->isObsolete());
    QCOMPARE(QFile::permissions(path), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadUser | QFile::WriteUser);
    QCOMPARE(TemplateDocumentEdit::setObsoleteInFile(path, false), std::nullopt);
    QCOMPARE(readFile(path), original);

    // A link is refused and what it points to stays as it was.
    const QString link = dir.filePath(QStringLiteral("link.moti"));
    QVERIFY(QFile::link(path, link));
    QVERIFY(TemplateDocumentEdit::setObsoleteInFile(link, true));
    QCOMPARE(readFile(path), original);
    // A broken document is left untouched.
    const QString broken = dir.filePath(QStringLiteral("Broken/Broken.moti"));
    writeFileOrFail(broken, original.left(100));
    QVERIFY(TemplateDocumentEdit::setObsoleteInFile(broken, true));
    QCOMPARE(readFile(broken), original.left(100));
    QCOMPARE(TestSupport::entryNames(dir.filePath(QStringLiteral("Broken")), QDir::Name), QStringList{QStringLiteral("Broken.moti")});
}

void TemplateDocumentTest::marks_data()
{
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<QByteArray>("scene");
    QTest::addColumn<QString>("finalCut");
    QTest::addColumn<QString>("marks");
    QTest::addColumn<QStringList>("explanations");

    const QByteArray glow = QByteArrayLiteral(
        "<factory id=\"2\" uuid=\"b2\"><description>Glow Pro</description><manufacturer>Example FX</manufacturer></factory>");
    const QByteArray glowFilter = QByteArrayLiteral("<filter factoryID=\"2\" pluginName=\"Glow Pro\" pluginUUID=\"U-1\" pluginVersion=\"3\"/>");
    QTest::newRow("plain") << FullHeader << QByteArray() << QStringLiteral("11.1") << QString() << QStringList();
    QTest::newRow("too new") << FullHeader << QByteArray() << QStringLiteral("10.8") << QStringLiteral("N")
                             << QStringList{QStringLiteral("Needs Final Cut Pro 11.1 or later; this Mac has 10.8")};
    QTest::newRow("no Final Cut Pro known") << FullHeader << QByteArray() << QString() << QString() << QStringList();
    QTest::newRow("newer than the table")
        << QByteArray("<displayversion>7.0</displayversion>") << QByteArray() << QStringLiteral("12.2") << QStringLiteral("N")
        << QStringList{QStringLiteral("Needs a Final Cut Pro newer than 12.2; this Mac has 12.2")};
    QTest::newRow("older than the table") << QByteArray("<displayversion>5.2</displayversion>") << QByteArray()
                                          << QStringLiteral("10.0") << QString() << QStringList();
    QTest::newRow("flags alone, hidden")
        << QByteArray("<displayversion>5.4</displayversion><template><flags>3</flags></template>") << QByteArray()
        << QStringLiteral("10.4") << QStringLiteral("H") << QStringList{QStringLiteral("Hidden from Final Cut Pro's browser")};
    QTest::newRow("flags without the obsolete bit")
        << QByteArray("<template><flags>5</flags></template>") << QByteArray() << QStringLiteral("10.4") << QString() << QStringList();
    QTest::newRow("plug-in") << glow + "<displayversion>5.11</displayversion>" << QByteArray("<layer>" + glowFilter + "</layer>")
                             << QStringLiteral("11.2") << QStringLiteral("P") << QStringList{QStringLiteral("Needs the plug-in Glow Pro")};
    QTest::newRow("everything at once")
        << glow + "<displayversion>5.11</displayversion><template><flags>2</flags></template>"
        << QByteArray("<layer>" + glowFilter + "<filter pluginName=\"Film Grain\" pluginUUID=\"U-2\"/></layer>"
                      "<clip><relativeURL>Media/a.png</relativeURL></clip><clip><relativeURL>Media/b.mov</relativeURL></clip>")
        << QStringLiteral("11.1") << QStringLiteral("NPMH")
        << QStringList{QStringLiteral("Needs Final Cut Pro 11.2 or later; this Mac has 11.1"),
                       QStringLiteral("Needs the plug-ins Glow Pro, Film Grain"), QStringLiteral("Media missing: Media/a.png, Media/b.mov"),
                       QStringLiteral("Hidden from Final Cut Pro's browser")};
    QByteArray many;
    for (int i = 0; i < 7; ++i)
        many += "<clip><relativeURL>m" + QByteArray::number(i) + ".png</relativeURL></clip>";
    QTest::newRow("many missing, one line") << QByteArray() << many << QString() << QStringLiteral("M")
                                            << QStringList{QStringLiteral("Media missing: m0.png, m1.png, m2.png, m3.png, m4.png (and 2 more)")};
}

void TemplateDocumentTest::marks()
{
    QFETCH(QByteArray, header);
    QFETCH(QByteArray, scene);
    QFETCH(QString, finalCut);
    QFETCH(QString, marks);
    QFETCH(QStringList, explanations);
    QTemporaryDir dir;
    const Expected<TemplateDocument> doc = TemplateDocument::parse(motionDocument(header, scene), dir.path());
    QVERIFY(doc);
    const TemplateMarks::Judgement judgement = TemplateMarks::judge(doc, FinalCutVersions::parse(finalCut));
    QCOMPARE(judgement.marksString(), marks);
    QCOMPARE(judgement.explanations, explanations);
    QCOMPARE(judgement.tooltip(), explanations.join(QLatin1Char('\n')));
    for (QChar letter : marks)
        QVERIFY(std::any_of(judgement.marks.begin(), judgement.marks.end(),
                            [&](TemplateMarks::Mark m) { return judgement.has(m) && TemplateMarks::letter(m) == letter; }));
}

void TemplateDocumentTest::markDetails()
{
    // An unreadable document is one mark with its reason, whatever the version.
    const Expected<TemplateDocument> truncated = TemplateDocument::parse(motionDocument(FullHeader).left(200));
    QVERIFY(!truncated);
    const TemplateMarks::Judgement unavailable = TemplateMarks::judge(truncated, QVersionNumber(10, 0));
    QCOMPARE(unavailable.marksString(), QStringLiteral("?"));
    QCOMPARE(TemplateMarks::name(unavailable.marks.front()), QStringLiteral("detailsUnavailable"));
    QCOMPARE(unavailable.tooltip(), QStringLiteral("Details unavailable: ") + truncated.error().localizedDescription());
    QCOMPARE(TemplateMarks::details(truncated, std::nullopt).size(), size_t(1));

    const Expected<TemplateDocument> doc = TemplateDocument::parse(motionDocument(FullHeader));
    QVERIFY(doc);
    QStringList rows;
    for (const TemplateMarks::Detail &detail : TemplateMarks::details(doc, QVersionNumber(10, 8)))
        rows << detail.label + QStringLiteral(": ") + detail.value;
    QCOMPARE(rows, (QStringList{QStringLiteral("Resolution: 1920 x 1080"), QStringLiteral("Frame rate: 29.97 fps"),
                                QStringLiteral("Length: 10.01 s"),
                                QStringLiteral("Requirement: Needs Final Cut Pro 11.1 or later; this Mac has 10.8"),
                                QStringLiteral("Saved by: Motion 5.10"), QStringLiteral("Theme: Corporate"),
                                QStringLiteral("Description: A name and a role, sliding in."), QStringLiteral("Parameters: Name, Role")}));
    // Judged against a Final Cut Pro new enough, the requirement is stated plainly.
    const std::vector<TemplateMarks::Detail> fine = TemplateMarks::details(doc, QVersionNumber(11, 1));
    QCOMPARE(fine[3].value, QStringLiteral("Needs Final Cut Pro 11.1 or later"));
}

void TemplateDocumentTest::archiveDocuments()
{
    QTemporaryDir dir;
    const QString archive = dir.filePath(QStringLiteral("LT_Pack.mtzip"));
    const QByteArray scene = QByteArrayLiteral("<clip><relativeURL>Media/a.png</relativeURL></clip>"
                                               "<clip><relativeURL>Media/gone.png</relativeURL></clip>");
    MTI_VERIFY_TOOL(ZipTestTools::writeZipWithPython(
        archive, {{QStringLiteral("Pack/LT_Name/Other.moti"), "<ozml version=\"1\"/>"},
                  {QStringLiteral("Pack/LT_Name/LT_Name.moti"), motionDocument(FullHeader, scene)},
                  {QStringLiteral("Pack/LT_Name/Media/a.png"), "png"},
                  {QStringLiteral("Pack/LT_Bad/LT_Bad.moti"), motionDocument(FullHeader).left(300)},
                  {QStringLiteral("Pack/LT_None/readme.txt"), "no document"}}));
    Expected<std::unique_ptr<ArchiveDocuments>> documents = ArchiveDocuments::open(archive);
    QVERIFY(documents);
    // The one named after its folder, as on disk; media judged by the archive's entries.
    const Expected<TemplateDocument> named = (*documents)->read(QStringLiteral("/Pack/LT_Name"));
    QVERIFY(named);
    QCOMPARE(named->theme, QStringLiteral("Corporate"));
    QCOMPARE(named->missingMedia(), QStringList{QStringLiteral("Media/gone.png")});
    QCOMPARE(named->media.front().state, TemplateDocument::MediaState::Present);
    const Expected<TemplateDocument> bad = (*documents)->read(QStringLiteral("Pack/LT_Bad"));
    QVERIFY(!bad);
    QCOMPARE(bad.error().code(), int(DocumentError::Truncated));
    QCOMPARE((*documents)->read(QStringLiteral("Pack/LT_None")).error().code(), int(DocumentError::Unreadable));
    // A document longer than the bound: what came before the cut still counts.
    const Expected<TemplateDocument> cut = (*documents)->read(QStringLiteral("Pack/LT_Name"), TemplateDocument::Parts::Everything,
                                                             motionDocument(FullHeader, scene).indexOf("<clip>") + 10);
    QVERIFY(cut);
    QVERIFY(cut->incomplete);
    QCOMPARE(cut->parameters.size(), 2);
    const Expected<TemplateDocument> tooShort = (*documents)->read(QStringLiteral("Pack/LT_Name"), TemplateDocument::Parts::Everything, 100);
    QCOMPARE(tooShort.error().code(), int(DocumentError::TooLarge));

    QCOMPARE(ArchiveDocuments::documentName({QStringLiteral("b.motn"), QStringLiteral("a.moti"), QStringLiteral(".x.moti")},
                                            QStringLiteral("LT")),
             QStringLiteral("a.moti"));
    QCOMPARE(ArchiveDocuments::documentName({QStringLiteral("notes.txt")}, QStringLiteral("LT")), QString());
}

// Many documents, more than one batch, good and bad mixed: the parallel
// read gives each folder the answer a read of its own gives, in order.
void TemplateDocumentTest::readAllAgreesWithReadOneByOne()
{
    QTemporaryDir dir;
    const QString archive = dir.filePath(QStringLiteral("LT_Many.mtzip"));
    ZipTestTools::EntryList entries;
    QStringList folders;
    for (int i = 0; i < 700; ++i) {
        const QString name = QStringLiteral("LT_%1").arg(i, 4, 10, QLatin1Char('0'));
        const QString folder = QStringLiteral("Pack/") + name;
        folders.append(folder);
        const QByteArray scene = "<clip><relativeURL>Media/" + QByteArray::number(i % 3) + ".png</relativeURL></clip>";
        switch (i % 7) {
        case 0: // truncated
            entries.append({folder + QLatin1Char('/') + name + QStringLiteral(".moti"), motionDocument(FullHeader).left(200)});
            break;
        case 1: // no document at all
            entries.append({folder + QStringLiteral("/readme.txt"), "none"});
            break;
        default:
            entries.append({folder + QLatin1Char('/') + name + QStringLiteral(".moti"), motionDocument(FullHeader, scene)});
            if (i % 2 == 0)
                entries.append({folder + QStringLiteral("/Media/0.png"), "png"});
        }
    }
    folders.append(QStringLiteral("Pack/Not_There"));
    MTI_VERIFY_TOOL(ZipTestTools::writeZipWithPython(archive, entries));
    Expected<std::unique_ptr<ArchiveDocuments>> documents = ArchiveDocuments::open(archive);
    QVERIFY(documents);

    const std::vector<Expected<TemplateDocument>> all = (*documents)->readAll(folders);
    QCOMPARE(all.size(), size_t(folders.size()));
    int good = 0;
    for (qsizetype i = 0; i < folders.size(); ++i) {
        const Expected<TemplateDocument> one = (*documents)->read(folders.at(i));
        const Expected<TemplateDocument> &many = all.at(size_t(i));
        QCOMPARE(bool(many), bool(one));
        if (!one) {
            QCOMPARE(many.error().code(), one.error().code());
            continue;
        }
        ++good;
        QCOMPARE(many->theme, one->theme);
        QCOMPARE(many->missingMedia(), one->missingMedia());
        QCOMPARE(many->parameters.size(), one->parameters.size());
    }
    QCOMPARE(good, 500);
}

void TemplateDocumentTest::boundedEntryReads()
{
    QTemporaryDir dir;
    const QString archive = dir.filePath(QStringLiteral("stored.zip"));
    QByteArray contents;
    for (int i = 0; i < 2000; ++i)
        contents += "line " + QByteArray::number(i) + '\n';
    ZipTestTools::PythonZipOptions stored;
    stored.method = ZipTestTools::Stored;
    MTI_VERIFY_TOOL(ZipTestTools::writeZipWithPython(archive, {{QStringLiteral("dir/"), QByteArray()},
                                                               {QStringLiteral("dir/file.txt"), contents}}, stored));
    {
        Expected<std::unique_ptr<ZipEntryContents>> zip = ZipEntryContents::open(archive);
        QVERIFY(zip);
        QCOMPARE((*zip)->filesIn(QStringLiteral("dir")), QStringList{QStringLiteral("file.txt")});
        QVERIFY(!(*zip)->contains(QStringLiteral("dir")));
        const Expected<ZipEntryContents::Contents> whole = (*zip)->read(QStringLiteral("dir/file.txt"), contents.size());
        QVERIFY(whole);
        QCOMPARE(whole->bytes, contents);
        QVERIFY(!whole->truncated);
        const Expected<ZipEntryContents::Contents> part = (*zip)->read(QStringLiteral("dir/file.txt"), 100);
        QVERIFY(part);
        QCOMPARE(part->bytes, contents.left(100));
        QVERIFY(part->truncated);
        QCOMPARE(ZipError::codeOf((*zip)->read(QStringLiteral("dir/none"), 100).error()), ZipError::NotFound);
    }
    // One byte changed near the end: a whole read fails its CRC, the first
    // part still reads (no CRC can be known for it).
    QByteArray bytes = readFile(archive);
    const qsizetype at = bytes.indexOf("line 1999");
    QVERIFY(at > 0);
    bytes[at] = 'L';
    writeFileOrFail(archive, bytes);
    Expected<std::unique_ptr<ZipEntryContents>> zip = ZipEntryContents::open(archive);
    QVERIFY(zip);
    const Expected<ZipEntryContents::Contents> whole = (*zip)->read(QStringLiteral("dir/file.txt"), 1 << 20);
    QVERIFY(!whole);
    QCOMPARE(ZipError::codeOf(whole.error()), ZipError::Damaged);
    QVERIFY((*zip)->read(QStringLiteral("dir/file.txt"), 100));
}

// The listing reads an entry in two steps (take, then inflate on a worker):
// each gives what a read in one step gives, whatever the entry claims.
void TemplateDocumentTest::takeThenInflate_data()
{
    QTest::addColumn<int>("method");
    QTest::addColumn<QString>("change");
    QTest::addColumn<qint64>("bound");
    // Bytes read, or -1: Damaged. The CRC decides, as for libzip: a wrong
    // size alone is no fault.
    QTest::addColumn<int>("expected");

    const auto deflated = int(ZipTestTools::Deflated);
    const auto stored = int(ZipTestTools::Stored);
    QTest::newRow("deflated, whole") << deflated << "" << qint64(1 << 20) << 18890;
    QTest::newRow("deflated, exactly the bound") << deflated << "" << qint64(18890) << 18890;
    QTest::newRow("deflated, cut at the bound") << deflated << "" << qint64(100) << 100;
    QTest::newRow("stored, whole") << stored << "" << qint64(1 << 20) << 18890;
    QTest::newRow("a byte of the data changed") << deflated << "data" << qint64(1 << 20) << -1;
    QTest::newRow("states fewer bytes than it holds") << deflated << "smaller" << qint64(1 << 20) << 18890;
    QTest::newRow("states more bytes than it holds") << deflated << "larger" << qint64(1 << 20) << 18890;
    QTest::newRow("the CRC wrong") << deflated << "crc" << qint64(1 << 20) << -1;
    QTest::newRow("holds more than the bound, states less") << deflated << "smaller" << qint64(100) << 100;
    QTest::newRow("compressed size stated past the archive's end") << deflated << "compressed" << qint64(1 << 20) << 18890;
}

void TemplateDocumentTest::takeThenInflate()
{
    QFETCH(int, method);
    QFETCH(QString, change);
    QFETCH(qint64, bound);
    QFETCH(int, expected);
    QByteArray contents;
    for (int i = 0; i < 2000; ++i)
        contents += "line " + QByteArray::number(i) + '\n';
    QCOMPARE(contents.size(), 18890);
    QTemporaryDir dir;
    const QString archive = dir.filePath(QStringLiteral("entry.zip"));
    ZipTestTools::PythonZipOptions options;
    options.method = ZipTestTools::Method(method);
    MTI_VERIFY_TOOL(ZipTestTools::writeZipWithPython(archive, {{QStringLiteral("dir/file.txt"), contents}}, options));
    QByteArray bytes = readFile(archive);
    const auto put32 = [&bytes](qsizetype at, quint32 value) {
        for (int k = 0; k < 4; ++k)
            bytes[at + k] = char((value >> (8 * k)) & 0xFF);
    };
    const qsizetype central = bytes.indexOf("PK\x01\x02");
    QVERIFY(bytes.startsWith("PK\x03\x04") && central > 0);
    // Local header: CRC at 14, size at 22; central header: CRC at 16, size at 24.
    if (change == QLatin1String("data")) {
        bytes[central - 40] = char(bytes[central - 40] ^ 0x5A);
    } else if (change == QLatin1String("smaller") || change == QLatin1String("larger")) {
        const quint32 size = change == QLatin1String("smaller") ? 1000 : 40000;
        put32(22, size);
        put32(central + 24, size);
    } else if (change == QLatin1String("compressed")) {
        // Compressed size: local header at 18, central header at 20.
        const quint32 stated = quint32(uchar(bytes[18])) | quint32(uchar(bytes[19])) << 8 | quint32(uchar(bytes[20])) << 16;
        put32(18, stated + 100000);
        put32(central + 20, stated + 100000);
    } else if (change == QLatin1String("crc")) {
        put32(14, 0x12345678);
        put32(central + 16, 0x12345678);
    }
    writeFileOrFail(archive, bytes);

    Expected<std::unique_ptr<ZipEntryContents>> zip = ZipEntryContents::open(archive);
    QVERIFY(zip);
    const QString name = QStringLiteral("dir/file.txt");
    const Expected<ZipEntryContents::Contents> once = (*zip)->read(name, bound);
    Expected<ZipEntryContents::Taken> taken = (*zip)->take(name, bound);
    QVERIFY(taken);
    const Expected<ZipEntryContents::Contents> twice = ZipEntryContents::inflate(std::move(*taken));
    for (const Expected<ZipEntryContents::Contents> *read : {&once, &twice}) {
        if (expected < 0) {
            QVERIFY2(!*read, read == &once ? "read" : "take and inflate");
            QCOMPARE(ZipError::codeOf(read->error()), ZipError::Damaged);
            continue;
        }
        QVERIFY2(*read, qPrintable(*read ? QString() : read->error().localizedDescription()));
        QCOMPARE((*read)->bytes, contents.left(expected));
        QCOMPARE((*read)->truncated, expected < contents.size());
    }
}

QTEST_GUILESS_MAIN(TemplateDocumentTest)
#include "tst_TemplateDocument.moc"
