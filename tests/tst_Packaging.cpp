// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
//
// A staged `cmake --install` of this build tree, looked at as a packager
// does: the files are where desktops look for them, the validators accept
// them, they agree with each other, and the installed binaries work without
// the build tree.
#include "TestSupport.h"

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

using namespace TestSupport;

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

private:
    QString staged(const QString &relative) const { return _stage.filePath(relative); }
    // Runs the staged mtzip with a clean resource environment.
    ToolResult runStagedMtzip(const QStringList &arguments);

    QTemporaryDir _stage;
    QTemporaryDir _work;
};

void tst_Packaging::initTestCase()
{
#ifdef Q_OS_MACOS
    QSKIP("The staged layout checked here is the Linux one; the bundle is checked by review.");
#endif
    QVERIFY(_stage.isValid());
    QVERIFY(_work.isValid());
    QProcess install;
    install.setProcessChannelMode(QProcess::MergedChannels);
    install.start(QStringLiteral(MTI_CMAKE_COMMAND),
                  {QStringLiteral("--install"), QStringLiteral(MTI_BUILD_DIR), QStringLiteral("--prefix"), _stage.path()});
    QVERIFY(install.waitForFinished(120000));
    QVERIFY2(install.exitStatus() == QProcess::NormalExit && install.exitCode() == 0, install.readAll().constData());
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
    for (const int size : {48, 64, 128, 256}) {
        QTest::addRow("application icon %d", size)
            << QStringLiteral("share/icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(AppId);
        QTest::addRow("archive icon %d", size)
            << QStringLiteral("share/icons/hicolor/%1x%1/mimetypes/application-x-mtzip.png").arg(size);
    }
    QTest::newRow("man page") << QStringLiteral("share/man/man1/mtzip.1");
    QTest::newRow("bash completion") << QStringLiteral("share/bash-completion/completions/mtzip");
    QTest::newRow("zsh completion") << QStringLiteral("share/zsh/site-functions/_mtzip");
}

void tst_Packaging::installedFiles()
{
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
    QTest::newRow("man page") << QStringLiteral("groff") << strings({"-man", "-ww", "-z"})
                              << QStringLiteral("share/man/man1/mtzip.1");
    QTest::newRow("bash completion") << QStringLiteral("bash") << strings({"-n"})
                                     << QStringLiteral("share/bash-completion/completions/mtzip");
}

void tst_Packaging::validators()
{
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

QTEST_GUILESS_MAIN(tst_Packaging)
#include "tst_Packaging.moc"
