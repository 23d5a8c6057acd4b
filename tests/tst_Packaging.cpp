// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
//
// A staged `cmake --install` of this build tree, looked at as a packager
// does: the files are where desktops look for them, the validators accept
// them, they agree with each other, and the installed binaries work without
// the build tree. Also what the build makes for macOS and can be read here:
// the icon sets and the bundle's Info.plist; and the .deb and .rpm.
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QVersionNumber>
#include <QXmlStreamReader>


using namespace TestSupport;

// For the tests of the staged Linux install.
#define MTI_NEEDS_STAGE()                                                  \
    do {                                                                   \
        if (!_staged)                                                      \
            QSKIP("Checks the staged Linux layout; macOS has the bundle"); \
    } while (false)

namespace {

const QString AppId = QStringLiteral("com.quillfen.MotionTemplateInstaller");
const QString DataDir = QStringLiteral("share/motion-template-installer");

// The value of key in a desktop entry, or a null string.
QString desktopValue(const QByteArray &entry, const QString &key)
{
    const QRegularExpression line(QStringLiteral("^%1=(.*)$").arg(QRegularExpression::escape(key)),
                                  QRegularExpression::MultilineOption);
    const QRegularExpressionMatch match = line.match(QString::fromUtf8(entry));
    return match.hasMatch() ? match.captured(1) : QString();
}

// The top-level values of an XML property list: strings as they are, true
// and false as "true" and "false", arrays as their strings joined by ",".
QMap<QString, QString> plistValues(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return {};
    }
    QXmlStreamReader xml(&file);
    QMap<QString, QString> values;
    QString key;
    int depth = 0; // 1 inside the top dict
    QStringList array;
    bool inArray = false;
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            const QStringView name = xml.name();
            if (name == QLatin1String("dict")) {
                ++depth;
            } else if (depth == 1 && name == QLatin1String("key")) {
                key = xml.readElementText();
            } else if (depth == 1 && name == QLatin1String("array")) {
                inArray = true;
                array.clear();
            } else if (depth == 1 && (name == QLatin1String("true") || name == QLatin1String("false"))) {
                values.insert(key, name.toString());
            } else if (depth == 1 && name == QLatin1String("string")) {
                const QString text = xml.readElementText();
                if (inArray)
                    array.append(text);
                else
                    values.insert(key, text);
            }
        } else if (token == QXmlStreamReader::EndElement) {
            if (xml.name() == QLatin1String("dict"))
                --depth;
            else if (depth == 1 && xml.name() == QLatin1String("array")) {
                inArray = false;
                values.insert(key, array.join(QLatin1Char(',')));
            }
        }
    }
    if (xml.hasError())
        *error = xml.errorString();
    return values;
}

// Mean squared difference between neighbouring pixels: large where edges
// are one or two pixels wide, as in a picture drawn at its size; small where
// they are smeared over many, as in one scaled up.
double edgeSharpness(const QImage &image)
{
    const QImage source = image.convertToFormat(QImage::Format_ARGB32);
    double sum = 0;
    for (int y = 0; y + 1 < source.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(source.constScanLine(y));
        const auto *below = reinterpret_cast<const QRgb *>(source.constScanLine(y + 1));
        for (int x = 0; x + 1 < source.width(); ++x) {
            for (const QRgb other : {line[x + 1], below[x]}) {
                const int r = qRed(line[x]) - qRed(other);
                const int g = qGreen(line[x]) - qGreen(other);
                const int b = qBlue(line[x]) - qBlue(other);
                const int a = qAlpha(line[x]) - qAlpha(other);
                sum += r * r + g * g + b * b + a * a;
            }
        }
    }
    return sum / (double(source.width()) * source.height());
}

// The contents of a cmake -P script's message(), or its error.
ToolResult runCMakeScript(const QString &script, const QStringList &definitions)
{
    QStringList arguments;
    for (const QString &definition : definitions)
        arguments << QStringLiteral("-D") + definition;
    arguments << QStringLiteral("-P") << QStringLiteral(MTI_SOURCE_DIR "/cmake/") + script;
    return runTool(QStringLiteral(MTI_CMAKE_COMMAND), arguments);
}

} // namespace

class tst_Packaging : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void installedFiles_data();
    void installedFiles();
    void binariesCarryNoBuildPath_data();
    void binariesCarryNoBuildPath();
    void installedMtzipUsesInstalledResources();
    void validators_data();
    void validators();
    void filesAgreeWithEachOther();
    void iconSets_data();
    void iconSets();
    void iconsAreDrawnAtTheirSize();
    void infoPlist();
    void macosMinimum_data();
    void macosMinimum();
    void manPageDate_data();
    void manPageDate();
    void copyrightAndNotices();
    void mtzipLinksNoWidgets();
    void polkitPolicy();
    void samplePackIsReproducible();
    void packages_data();
    void packages();

private:
    QString staged(const QString &relative) const { return _stage.filePath(relative); }
    // An installed man page, uncompressed.
    QString manPage(const QString &name) const
    {
        const ToolResult text = runTool(QStringLiteral("gzip"), {QStringLiteral("-dc"), staged(QStringLiteral("share/man/man1/%1.gz").arg(name))});
        return text.succeeded() ? QString::fromUtf8(text.out) : QString();
    }
    // Runs the staged mtzip with a clean resource environment.
    ToolResult runStagedMtzip(const QStringList &arguments);

    // False where the staged layout is not the one checked (macOS).
    bool _staged = false;
    QTemporaryDir _stage;
    QTemporaryDir _work;
};

void tst_Packaging::initTestCase()
{
#ifdef Q_OS_MACOS
    // The staged layout checked here is the Linux one; the icon sets and the
    // Info.plist are checked on macOS too, the bundle by CI's
    // scripts/verify-dmg.sh.
    return;
#endif
    QVERIFY(_stage.isValid());
    QVERIFY(_work.isValid());
    QProcess install;
    install.setProcessChannelMode(QProcess::MergedChannels);
    install.start(QStringLiteral(MTI_CMAKE_COMMAND),
                  {QStringLiteral("--install"), QStringLiteral(MTI_BUILD_DIR), QStringLiteral("--prefix"), _stage.path()});
    QVERIFY(install.waitForFinished(120000));
    QVERIFY2(install.exitStatus() == QProcess::NormalExit && install.exitCode() == 0, install.readAll().constData());
    _staged = true;
}

void tst_Packaging::installedFiles_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("the application, lower case") << QStringLiteral("bin/motion-template-installer");
    QTest::newRow("mtzip") << QStringLiteral("bin/mtzip");
    QTest::newRow("Categories list") << DataDir + QStringLiteral("/Categories.plist");
    QTest::newRow("application icon resource") << DataDir + QStringLiteral("/AppIcon_128.png");
    QTest::newRow("drop zone picture") << DataDir + QStringLiteral("/DropArchive.png");
    QTest::newRow("sample pack") << DataDir + QStringLiteral("/LT_Sample_Pack.mtzip");
    QTest::newRow("desktop entry") << QStringLiteral("share/applications/%1.desktop").arg(AppId);
    QTest::newRow("AppStream metainfo") << QStringLiteral("share/metainfo/%1.metainfo.xml").arg(AppId);
    QTest::newRow("MIME type") << QStringLiteral("share/mime/packages/%1.xml").arg(AppId);
    for (const int size : {16, 24, 32, 48, 64, 128, 256, 512}) {
        QTest::addRow("application icon %d", size)
            << QStringLiteral("share/icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(AppId);
        QTest::addRow("archive icon %d", size)
            << QStringLiteral("share/icons/hicolor/%1x%1/mimetypes/application-x-mtzip.png").arg(size);
    }
    QTest::newRow("scalable application icon") << QStringLiteral("share/icons/hicolor/scalable/apps/%1.svg").arg(AppId);
    QTest::newRow("man page") << QStringLiteral("share/man/man1/mtzip.1.gz");
    QTest::newRow("the application's man page") << QStringLiteral("share/man/man1/motion-template-installer.1.gz");
    QTest::newRow("Debian changelog") << QStringLiteral("share/doc/motion-template-installer/changelog.gz");
    QTest::newRow("licence") << QStringLiteral("share/doc/motion-template-installer/LICENSE");
    QTest::newRow("third-party notices") << QStringLiteral("share/doc/motion-template-installer/THIRD-PARTY-NOTICES.md");
    QTest::newRow("Debian copyright") << QStringLiteral("share/doc/motion-template-installer/copyright");
    QTest::newRow("bash completion") << QStringLiteral("share/bash-completion/completions/mtzip");
    QTest::newRow("zsh completion") << QStringLiteral("share/zsh/site-functions/_mtzip");
}

void tst_Packaging::installedFiles()
{
    MTI_NEEDS_STAGE();
    QFETCH(QString, path);
    const QFileInfo info(staged(path));
    QVERIFY2(info.isFile() && info.size() > 0, qPrintable(path));
    if (path.startsWith(QLatin1String("bin/")))
        QVERIFY2(info.isExecutable(), qPrintable(path));
    if (path.endsWith(QLatin1String(".png")) && path.contains(QLatin1String("hicolor"))) {
        // Each icon has the size of the folder it lies in.
        const int size = path.section(QLatin1Char('/'), 3, 3).section(QLatin1Char('x'), 0, 0).toInt();
        const QImage image(info.filePath());
        QCOMPARE(image.size(), QSize(size, size));
    }
}

void tst_Packaging::binariesCarryNoBuildPath_data()
{
    QTest::addColumn<QString>("binary");
    QTest::newRow("mtzip") << QStringLiteral("bin/mtzip");
    QTest::newRow("application") << QStringLiteral("bin/motion-template-installer");
}

void tst_Packaging::binariesCarryNoBuildPath()
{
    MTI_NEEDS_STAGE();
    QFETCH(QString, binary);
    const QByteArray contents = readFile(staged(binary));
    QVERIFY(!contents.isEmpty());
    // Debug information may name the sources; the resource lookup must not
    // name the build tree.
    const QByteArray buildResources = QByteArray(MTI_BUILD_DIR) + "/Resources";
    QVERIFY2(!contents.contains(buildResources), buildResources.constData());
}

ToolResult tst_Packaging::runStagedMtzip(const QStringList &arguments)
{
    qunsetenv("MTI_RESOURCES_DIR");
    return runTool(staged(QStringLiteral("bin/mtzip")), arguments, _work.path());
}

void tst_Packaging::installedMtzipUsesInstalledResources()
{
    MTI_NEEDS_STAGE();
    const QStringList list{QStringLiteral("list"), QStringLiteral("--json"), QStringLiteral("--dest"),
                           _work.filePath(QStringLiteral("dest")), staged(DataDir + QStringLiteral("/LT_Sample_Pack.mtzip"))};
    const ToolResult listed = runStagedMtzip(list);
    MTI_VERIFY_TOOL(listed);
    const QJsonObject archive = QJsonDocument::fromJson(listed.out)[QStringLiteral("archives")][0].toObject();
    QCOMPARE(archive[QStringLiteral("accepted")].toBool(), true);
    QCOMPARE(archive[QStringLiteral("templates")].toArray().size(), 4);

    // Without the installed Categories list the category is unknown: the
    // build tree's copy, still in place, is not consulted.
    const QString categories = staged(DataDir + QStringLiteral("/Categories.plist"));
    const QString aside = categories + QStringLiteral(".aside");
    QVERIFY(QFile::rename(categories, aside));
    const ToolResult refused = runStagedMtzip(list);
    QVERIFY(QFile::rename(aside, categories));
    QCOMPARE(refused.exitCode, 1);
    QVERIFY2(refused.err.contains("Unrecognized category title"), refused.err.constData());
}

void tst_Packaging::validators_data()
{
    QTest::addColumn<QString>("tool");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("file");
    QTest::newRow("desktop entry") << QStringLiteral("desktop-file-validate") << QStringList()
                                   << QStringLiteral("share/applications/%1.desktop").arg(AppId);
    // --strict: warnings fail too.
    QTest::newRow("AppStream metainfo") << QStringLiteral("appstreamcli")
                                        << strings({"validate", "--no-net", "--strict"})
                                        << QStringLiteral("share/metainfo/%1.metainfo.xml").arg(AppId);
    // The pages are installed compressed; a missing gzip or groff says so on stderr.
    const QStringList groff = strings({"-c", "gzip -dc \"$0\" | groff -man -ww -z"});
    QTest::newRow("man page") << QStringLiteral("sh") << groff << QStringLiteral("share/man/man1/mtzip.1.gz");
    QTest::newRow("the application's man page") << QStringLiteral("sh") << groff
                                                << QStringLiteral("share/man/man1/motion-template-installer.1.gz");
    QTest::newRow("bash completion") << QStringLiteral("bash") << strings({"-n"})
                                     << QStringLiteral("share/bash-completion/completions/mtzip");
}

void tst_Packaging::validators()
{
    MTI_NEEDS_STAGE();
    QFETCH(QString, tool);
    QFETCH(QStringList, arguments);
    QFETCH(QString, file);
    const ToolResult result = runTool(tool, arguments << staged(file));
    MTI_VERIFY_TOOL(result);
    // Both desktop-file-validate and groff -ww report problems on exit 0.
    QVERIFY2(result.err.trimmed().isEmpty() || tool == QLatin1String("appstreamcli"), result.err.constData());
    if (tool != QLatin1String("appstreamcli"))
        QVERIFY2(result.out.trimmed().isEmpty(), result.out.constData());
}

void tst_Packaging::filesAgreeWithEachOther()
{
    MTI_NEEDS_STAGE();
    const QByteArray desktop = readFile(staged(QStringLiteral("share/applications/%1.desktop").arg(AppId)));
    const QByteArray metainfo = readFile(staged(QStringLiteral("share/metainfo/%1.metainfo.xml").arg(AppId)));
    const QByteArray mime = readFile(staged(QStringLiteral("share/mime/packages/%1.xml").arg(AppId)));

    // The desktop entry starts what is installed and shows an installed icon.
    const QString exec = desktopValue(desktop, QStringLiteral("Exec")).section(QLatin1Char(' '), 0, 0);
    QVERIFY2(QFileInfo(staged(QStringLiteral("bin/") + exec)).isExecutable(), qPrintable(exec));
    QCOMPARE(desktopValue(desktop, QStringLiteral("Icon")), AppId);
    QCOMPARE(desktopValue(desktop, QStringLiteral("MimeType")), QStringLiteral("application/x-mtzip;"));
    QVERIFY(mime.contains("type=\"application/x-mtzip\""));
    QVERIFY(mime.contains("<generic-icon name=\"package-x-generic\"/>"));

    // The metainfo names the same id, desktop entry and version as mtzip.
    const QString meta = QString::fromUtf8(metainfo);
    QVERIFY(meta.contains(QStringLiteral("<id>%1</id>").arg(AppId)));
    QVERIFY(meta.contains(QStringLiteral("<launchable type=\"desktop-id\">%1.desktop</launchable>").arg(AppId)));
    const ToolResult version = runStagedMtzip({QStringLiteral("--version")});
    MTI_VERIFY_TOOL(version);
    const QString number = QString::fromUtf8(version.out).trimmed().section(QLatin1Char(' '), 1);
    QVERIFY2(!number.isEmpty(), version.out.constData());
    QVERIFY2(meta.contains(QStringLiteral("<release version=\"%1\"").arg(number)), qPrintable(number));
}

void tst_Packaging::iconSets_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("size");
    // What iconutil packs into an .icns: each size once and at twice the
    // pixels, up to 1024.
    const QList<QPair<const char *, int>> entries{{"16x16", 16},       {"16x16@2x", 32},   {"32x32", 32},
                                                  {"32x32@2x", 64},    {"128x128", 128},   {"128x128@2x", 256},
                                                  {"256x256", 256},    {"256x256@2x", 512}, {"512x512", 512},
                                                  {"512x512@2x", 1024}};
    for (const char *set : {"AppIcon", "MtzipDocument"})
        for (const auto &[suffix, size] : entries)
            QTest::addRow("%s %s", set, suffix)
                << QStringLiteral("%1.iconset/icon_%2.png").arg(QLatin1String(set), QLatin1String(suffix)) << size;
}

void tst_Packaging::iconSets()
{
    QFETCH(QString, file);
    QFETCH(int, size);
    const QImage image(QStringLiteral(MTI_BUILD_DIR "/Resources/icons/") + file);
    QVERIFY2(!image.isNull(), qPrintable(file));
    QCOMPARE(image.size(), QSize(size, size));
    QVERIFY(image.hasAlphaChannel());
    // Transparent corners, an opaque middle: a real icon, not a blank.
    QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
    QVERIFY(qAlpha(image.pixel(size / 2, size / 2)) > 200);
}

void tst_Packaging::iconsAreDrawnAtTheirSize()
{
    const QImage large(QStringLiteral(MTI_BUILD_DIR "/Resources/icons/AppIcon.iconset/icon_512x512@2x.png"));
    QVERIFY(!large.isNull());
    // The same picture scaled up from 128 px, as the icons once were made.
    const QImage upscaled = large.scaled(128, 128, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                                .scaled(1024, 1024, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const double drawn = edgeSharpness(large);
    const double scaledUp = edgeSharpness(upscaled);
    QVERIFY2(drawn > 2 * scaledUp, qPrintable(QStringLiteral("sharpness %1 against %2 when scaled up").arg(drawn).arg(scaledUp)));
}

void tst_Packaging::infoPlist()
{
    QString error;
    const QMap<QString, QString> plist = plistValues(QStringLiteral(MTI_BUILD_DIR "/Resources/Info.plist"), &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(plist.value(QStringLiteral("CFBundleIdentifier")), AppId);
    QCOMPARE(plist.value(QStringLiteral("CFBundleExecutable")), QStringLiteral("Motion Template Installer"));
    QCOMPARE(plist.value(QStringLiteral("CFBundleShortVersionString")), QStringLiteral(MTI_VERSION));
    QCOMPARE(plist.value(QStringLiteral("CFBundleIconFile")), QStringLiteral("AppIcon"));
    QCOMPARE(plist.value(QStringLiteral("LSApplicationCategoryType")), QStringLiteral("public.app-category.video"));
    QCOMPARE(plist.value(QStringLiteral("NSSupportsAutomaticGraphicsSwitching")), QStringLiteral("true"));
    QCOMPARE(plist.value(QStringLiteral("NSHighResolutionCapable")), QStringLiteral("true"));
    QCOMPARE(plist.value(QStringLiteral("NSHumanReadableCopyright")), QStringLiteral(MTI_COPYRIGHT));
    // English and every translation shipped.
    QStringList languages{QStringLiteral("en")};
    for (const QString &ts : QDir(QStringLiteral(MTI_SOURCE_DIR "/translations")).entryList({QStringLiteral("*.ts")}))
        languages.append(ts.section(QLatin1Char('_'), -1).section(QLatin1Char('.'), 0, 0));
    languages.sort();
    QCOMPARE(plist.value(QStringLiteral("CFBundleLocalizations")), languages.join(QLatin1Char(',')));
    QVERIFY(languages.contains(QLatin1String("de")));
    // The minimum is what configure worked out from the Qt in use, never
    // earlier than the deployment target.
    const QString minimum = plist.value(QStringLiteral("LSMinimumSystemVersion"));
    QCOMPARE(minimum, QStringLiteral(MTI_MACOS_MINIMUM));
    QVERIFY(QVersionNumber::fromString(minimum) >= QVersionNumber::fromString(QStringLiteral(MTI_OSX_DEPLOYMENT_TARGET)));
    QVERIFY(QVersionNumber::fromString(minimum) >= QVersionNumber(10, 14));
    const QByteArray text = readFile(QStringLiteral(MTI_BUILD_DIR "/Resources/Info.plist"));
    QVERIFY2(!text.contains("${") && !text.contains("@"), "every placeholder is filled");
}

void tst_Packaging::macosMinimum_data()
{
    QTest::addColumn<QString>("qt");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("expected");
    QTest::newRow("Qt 6.4, target later") << "6.4.2" << "11.0" << "11.0";
    QTest::newRow("Qt 6.4, target earlier") << "6.4.2" << "10.13" << "10.14";
    QTest::newRow("Qt 6.5 needs Big Sur") << "6.5.3" << "10.15" << "11.0";
    QTest::newRow("Qt 6.8 needs Monterey") << "6.8.1" << "11.0" << "12.0";
    QTest::newRow("a newer Qt needs at least the last known") << "6.12.0" << "" << "13.0";
    QTest::newRow("one-part target") << "6.8.1" << "14" << "14.0";
}

void tst_Packaging::macosMinimum()
{
    QFETCH(QString, qt);
    QFETCH(QString, target);
    QFETCH(QString, expected);
    const ToolResult result = runCMakeScript(QStringLiteral("MacOSMinimum.cmake"),
                                             {QStringLiteral("QT_VERSION=") + qt, QStringLiteral("DEPLOYMENT_TARGET=") + target});
    MTI_VERIFY_TOOL(result);
    QCOMPARE(QString::fromUtf8(result.err).trimmed(), expected);
}

void tst_Packaging::manPageDate_data()
{
    QTest::addColumn<QByteArray>("epoch");
    QTest::addColumn<QString>("expected");
    QTest::newRow("release date without SOURCE_DATE_EPOCH") << QByteArray() << QStringLiteral(MTI_RELEASE_DATE);
    QTest::newRow("SOURCE_DATE_EPOCH's day, in UTC") << QByteArray("1700000000") << QStringLiteral("2023-11-14");
    QTest::newRow("just before midnight UTC") << QByteArray("1704067199") << QStringLiteral("2023-12-31");
    QTest::newRow("not a number") << QByteArray("yesterday") << QString();
}

void tst_Packaging::manPageDate()
{
    QFETCH(QByteArray, epoch);
    QFETCH(QString, expected);
    const QByteArray saved = qgetenv("SOURCE_DATE_EPOCH");
    const bool had = qEnvironmentVariableIsSet("SOURCE_DATE_EPOCH");
    if (epoch.isEmpty())
        qunsetenv("SOURCE_DATE_EPOCH");
    else
        qputenv("SOURCE_DATE_EPOCH", epoch);
    const ToolResult result = runCMakeScript(QStringLiteral("ManPages.cmake"), {QStringLiteral("RELEASE_DATE=" MTI_RELEASE_DATE)});
    if (had)
        qputenv("SOURCE_DATE_EPOCH", saved);
    else
        qunsetenv("SOURCE_DATE_EPOCH");
    if (expected.isEmpty()) {
        QVERIFY(result.started);
        QVERIFY(result.exitCode != 0);
        QVERIFY2(result.err.contains("SOURCE_DATE_EPOCH is 'yesterday'"), result.err.constData());
        return;
    }
    MTI_VERIFY_TOOL(result);
    QCOMPARE(QString::fromUtf8(result.err).trimmed(), expected);

    // The installed pages carry the date this build was configured with.
    if (!had && epoch.isEmpty() && _staged) {
        for (const QString &page : {QStringLiteral("mtzip.1"), QStringLiteral("motion-template-installer.1")}) {
            const QString text = manPage(page);
            QVERIFY2(text.contains(QStringLiteral(" 1 %1 \"Motion Template Installer " MTI_VERSION "\"").arg(expected)), qPrintable(page));
        }
    }
}

void tst_Packaging::copyrightAndNotices()
{
    MTI_NEEDS_STAGE();
    // One copyright line: the man pages, the about window and (infoPlist)
    // the bundle say the one the build was configured with.
    const QString copyright = QStringLiteral(MTI_COPYRIGHT);
    QString roff = copyright;
    roff.replace(QStringLiteral("©"), QStringLiteral("\\(co"));
    for (const QString &page : {QStringLiteral("mtzip.1"), QStringLiteral("motion-template-installer.1")})
        QVERIFY2(manPage(page).contains(roff), qPrintable(page));

    QFile ui(QStringLiteral(MTI_SOURCE_DIR "/Sources/App/AboutWindow.ui"));
    QVERIFY(ui.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&ui);
    QMap<QString, QString> labels;
    QString widget;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("widget"))
            widget = xml.attributes().value(QLatin1String("name")).toString();
        else if (xml.name() == QLatin1String("string"))
            labels.insert(widget, xml.readElementText());
    }
    QCOMPARE(labels.value(QStringLiteral("copyrightLabel")), copyright);
    const QString licence = labels.value(QStringLiteral("licenseLabel"));
    QVERIFY(licence.contains(QLatin1String("MIT")));
    QVERIFY(!licence.contains(QLatin1String("All rights reserved")));

    // Every library of the notices' table is named, with its licence, in
    // the about window; the table names the ones we link.
    const QString notices = QString::fromUtf8(readFile(staged(QStringLiteral("share/doc/motion-template-installer/THIRD-PARTY-NOTICES.md"))));
    const QRegularExpression row(QStringLiteral("^\\| ([A-Za-z]+)[^|]* \\| ([A-Za-z0-9.-]+) \\|"), QRegularExpression::MultilineOption);
    QStringList components;
    auto rows = row.globalMatch(notices);
    while (rows.hasNext()) {
        const QRegularExpressionMatch match = rows.next();
        if (match.captured(1) == QLatin1String("Component"))
            continue;
        components.append(match.captured(1));
        const QString spdx = match.captured(2).remove(QLatin1String("-only")).remove(QLatin1String("-or-later"));
        QVERIFY2(licence.contains(QStringLiteral("%1 (%2)").arg(match.captured(1), spdx)),
                 qPrintable(match.captured(1) + QLatin1Char(' ') + spdx));
    }
    QCOMPARE(components, strings({"Qt", "libzip", "zlib", "libdeflate", "libplist", "Expat", "OpenSSL"}));
    QVERIFY(QString::fromUtf8(readFile(staged(QStringLiteral("share/doc/motion-template-installer/LICENSE")))).startsWith(QLatin1String("MIT License")));
}

// pkexec finds the action by the program it runs: the installed mtzip.
void tst_Packaging::polkitPolicy()
{
    MTI_NEEDS_STAGE();
    QFile file(staged(QStringLiteral("share/polkit-1/actions/%1.policy").arg(AppId)));
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
    QXmlStreamReader xml(&file);
    QStringList actions;
    QString execPath;
    QString allowActive;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("action"))
            actions.append(xml.attributes().value(QLatin1String("id")).toString());
        else if (xml.name() == QLatin1String("annotate")
                 && xml.attributes().value(QLatin1String("key")) == QLatin1String("org.freedesktop.policykit.exec.path"))
            execPath = xml.readElementText();
        else if (xml.name() == QLatin1String("allow_active"))
            allowActive = xml.readElementText();
    }
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    QCOMPARE(actions, QStringList{AppId + QStringLiteral(".mtzip")});
    QCOMPARE(execPath, QStringLiteral(MTI_INSTALLED_MTZIP));
    QVERIFY(QFileInfo(execPath).isAbsolute());
    QCOMPARE(allowActive, QStringLiteral("auth_admin_keep"));
}

void tst_Packaging::mtzipLinksNoWidgets()
{
    MTI_NEEDS_STAGE();
    // The application does: so the check below can tell.
    const ToolResult app = runTool(QStringLiteral("readelf"), {QStringLiteral("-d"), QStringLiteral(MTI_APP_BINARY)});
    MTI_VERIFY_TOOL(app);
    QVERIFY(app.out.contains("libQt6Widgets"));
    for (const QString &binary : {QStringLiteral(MTI_MTZIP_BINARY), staged(QStringLiteral("bin/mtzip"))}) {
        const ToolResult mtzip = runTool(QStringLiteral("readelf"), {QStringLiteral("-d"), binary});
        MTI_VERIFY_TOOL(mtzip);
        QVERIFY(mtzip.out.contains("libQt6Core"));
        QVERIFY2(!mtzip.out.contains("Widgets"), mtzip.out.constData());
    }
}

void tst_Packaging::samplePackIsReproducible()
{
    // zipinfo -T writes times as yyyymmdd.hhmmss; the stamp is touch's
    // yyyymmddhhmm.ss.
    const QString stamp = QStringLiteral(MTI_SAMPLE_PACK_STAMP);
    const QString expected = stamp.left(8) + QLatin1Char('.') + stamp.mid(8, 4) + stamp.mid(13, 2);
    const ToolResult listed = runTool(QStringLiteral("zipinfo"), {QStringLiteral("-T"), QStringLiteral(MTI_BUILD_DIR "/Resources/LT_Sample_Pack.mtzip")});
    MTI_VERIFY_TOOL(listed);
    QStringList names;
    for (const QString &line : QString::fromUtf8(listed.out).split(QLatin1Char('\n'))) {
        if (!line.startsWith(QLatin1Char('-')) && !line.startsWith(QLatin1Char('d')))
            continue;
        const QStringList fields = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        QCOMPARE(fields.size(), 8);
        QCOMPARE(fields.at(0), line.startsWith(QLatin1Char('d')) ? QStringLiteral("drwxr-xr-x") : QStringLiteral("-rw-r--r--"));
        QCOMPARE(fields.at(6), expected);
        names.append(fields.at(7));
    }
    QCOMPARE(names.size(), 14);
    QStringList sorted = names;
    sorted.sort();
    QCOMPARE(names, sorted);
}

void tst_Packaging::packages_data()
{
    QTest::addColumn<QString>("generator");
    QTest::addColumn<QString>("builder");
    QTest::addColumn<QString>("linter");
    QTest::addColumn<QString>("lister");
    QTest::newRow("deb") << QStringLiteral("DEB") << QStringLiteral("dpkg-shlibdeps") << QStringLiteral("lintian")
                         << QStringLiteral("dpkg-deb");
    QTest::newRow("rpm") << QStringLiteral("RPM") << QStringLiteral("rpmbuild") << QStringLiteral("rpmlint")
                         << QStringLiteral("rpm");
}

void tst_Packaging::packages()
{
    MTI_NEEDS_STAGE();
    QFETCH(QString, generator);
    QFETCH(QString, builder);
    QFETCH(QString, linter);
    QFETCH(QString, lister);
    for (const QString &tool : {builder, linter, lister})
        if (!isInstalled(tool))
            QSKIP(qPrintable(tool + QStringLiteral(" is not installed (scripts/install-deps.sh installs it)")));
    QTemporaryDir out;
    QVERIFY(out.isValid());
    const ToolResult made = runTool(QStringLiteral(MTI_CPACK_COMMAND),
                                    {QStringLiteral("-G"), generator, QStringLiteral("-B"), out.path(),
                                     QStringLiteral("--config"), QStringLiteral(MTI_BUILD_DIR "/CPackConfig.cmake")});
    MTI_VERIFY_TOOL(made);
    const QStringList built = QDir(out.path()).entryList({QStringLiteral("*.") + generator.toLower()}, QDir::Files);
    QCOMPARE(built.size(), 1);
    const QString package = out.filePath(built.first());
    QVERIFY2(built.first().startsWith(QStringLiteral("motion-template-installer")) && built.first().contains(QStringLiteral(MTI_VERSION)),
             qPrintable(built.first()));

    // The files of the staged install, under /usr, and the libraries it
    // needs as dependencies.
    const bool deb = generator == QLatin1String("DEB");
    const ToolResult listed = deb ? runTool(lister, {QStringLiteral("-c"), package})
                                  : runTool(lister, {QStringLiteral("-qlp"), package});
    MTI_VERIFY_TOOL(listed);
    for (const char *file : {"/usr/bin/mtzip", "/usr/bin/motion-template-installer",
                             "/usr/share/doc/motion-template-installer/copyright",
                             "/usr/share/doc/motion-template-installer/THIRD-PARTY-NOTICES.md",
                             "/usr/share/icons/hicolor/scalable/apps/com.quillfen.MotionTemplateInstaller.svg",
                             "/usr/share/icons/hicolor/512x512/apps/com.quillfen.MotionTemplateInstaller.png",
                             "/usr/share/man/man1/mtzip.1.gz", "/usr/share/motion-template-installer/LT_Sample_Pack.mtzip"})
        QVERIFY2(listed.out.contains(file), file);
    QVERIFY2(!listed.out.contains(MTI_BUILD_DIR), "nothing of the build tree's paths");
    const ToolResult needs = deb ? runTool(lister, {QStringLiteral("-f"), package, QStringLiteral("Depends")})
                                 : runTool(lister, {QStringLiteral("-qRp"), package});
    MTI_VERIFY_TOOL(needs);
    for (const char *library : {"libzip", "libplist", "libexpat", "libQt6Widgets"})
        QVERIFY2(needs.out.contains(library) || needs.out.toLower().contains(QByteArray(library).toLower()), needs.out.constData());

    // No lintian error or warning, no rpmlint error; what is left is
    // explained in packaging/README.md.
    const QString source = QStringLiteral(MTI_SOURCE_DIR);
    const ToolResult lint = deb ? runTool(linter, {QStringLiteral("--fail-on"), QStringLiteral("error,warning"), package})
                                : runTool(linter, {QStringLiteral("--config"), source + QStringLiteral("/packaging/rpmlint.toml"), package});
    MTI_VERIFY_TOOL(lint);
    QVERIFY2(!lint.out.contains("\nE: ") && !lint.out.startsWith("E: ") && !lint.out.contains(": E: "), lint.out.constData());
}

QTEST_GUILESS_MAIN(tst_Packaging)
#include "tst_Packaging.moc"
