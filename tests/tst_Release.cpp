// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
//
// What can be checked here of the macOS release and of CI: the release
// script's dry run and its refusals, the workflow files, the scripts they
// call, and the Homebrew files.
#include "TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace TestSupport;

namespace {

const QString SourceDir = QStringLiteral(MTI_SOURCE_DIR);
const QString ReleaseScript = SourceDir + QStringLiteral("/scripts/release-macos.sh");
const QString Identity = QStringLiteral("Developer ID Application: Example Ltd (ABCDE12345)");
const QString NotaryPassword = QStringLiteral("abcd-efgh ijkl-mnop");

struct Run
{
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs the release script with exactly the given variables beside PATH and HOME.
Run runRelease(const QStringList &arguments, const QMap<QString, QString> &variables)
{
    QProcessEnvironment environment;
    const QProcessEnvironment system = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"PATH", "HOME", "LANG"})
        if (system.contains(QLatin1String(name)))
            environment.insert(QLatin1String(name), system.value(QLatin1String(name)));
    for (auto it = variables.cbegin(); it != variables.cend(); ++it)
        environment.insert(it.key(), it.value());
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral("bash"), QStringList{ReleaseScript} + arguments);
    Run run;
    if (!process.waitForFinished(60000))
        return run;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

QMap<QString, QString> signedEnvironment()
{
    return {{QStringLiteral("MTI_CODESIGN_IDENTITY"), Identity},
            {QStringLiteral("MTI_NOTARY_APPLE_ID"), QStringLiteral("release@example.invalid")},
            {QStringLiteral("MTI_NOTARY_TEAM_ID"), QStringLiteral("ABCDE12345")},
            {QStringLiteral("MTI_NOTARY_PASSWORD"), NotaryPassword},
            {QStringLiteral("QT_PREFIX"), QStringLiteral("/opt/qt-universal")}};
}

// The printed commands, "+ " removed, in order.
QStringList commands(const QString &out)
{
    QStringList result;
    for (const QString &line : out.split(QLatin1Char('\n')))
        if (line.startsWith(QLatin1String("+ ")))
            result.append(line.mid(2));
    return result;
}

// Index of the first command matching pattern, or -1.
qsizetype indexOf(const QStringList &list, const QString &pattern)
{
    const QRegularExpression expression(pattern);
    for (qsizetype i = 0; i < list.size(); ++i)
        if (expression.match(list.at(i)).hasMatch())
            return i;
    return -1;
}

// A workflow file as JSON, through Python's YAML reader.
QJsonObject loadWorkflow(const QString &path, QString *error)
{
    const ToolResult converted = runPython(
        QStringLiteral("import json, sys, yaml\n"
                       "with open(sys.argv[1], encoding='utf-8') as f:\n"
                       "    doc = yaml.safe_load(f)\n"
                       // YAML 1.1 reads the key "on" as True.
                       "if True in doc: doc['on'] = doc.pop(True)\n"
                       "print(json.dumps(doc))\n"),
        {path});
    if (!converted.succeeded()) {
        *error = converted.describe();
        return {};
    }
    return QJsonDocument::fromJson(converted.out).object();
}

} // namespace

class tst_Release : public QObject
{
    Q_OBJECT

private slots:
    void dryRunPrintsTheSignedRelease();
    void dryRunAdHoc();
    void refusals_data();
    void refusals();
    void laterMacOSVersion_data();
    void laterMacOSVersion();
    void workflows();
    void scriptsParse_data();
    void scriptsParse();
    void homebrew_data();
    void homebrew();
};

void tst_Release::dryRunPrintsTheSignedRelease()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString output = dir.filePath(QStringLiteral("dist"));
    const Run run = runRelease({QStringLiteral("--dry-run"), QStringLiteral("--output"), output}, signedEnvironment());
    QVERIFY2(run.exitCode == 0, qPrintable(run.err + run.out));
    QVERIFY2(!QFileInfo::exists(output), "a dry run writes nothing");
    QVERIFY2(!run.out.contains(NotaryPassword) && !run.err.contains(NotaryPassword), "the password is never printed");

    const QStringList list = commands(run.out);
    const QString app = QRegularExpression::escape(QStringLiteral("Motion\\ Template\\ Installer.app"));
    const QString signing = QStringLiteral("codesign --force --options runtime --sign .*ABCDE12345.* --timestamp ");
    const qsizetype configure = indexOf(list, QStringLiteral("^cmake -S .* -DCMAKE_OSX_ARCHITECTURES=arm64\\\\;x86_64 .*-DMTI_DEPLOY_QT=OFF"));
    const qsizetype deploy = indexOf(list, QStringLiteral("/macdeployqt .*%1 -executable=.*%1/Contents/MacOS/mtzip").arg(app));
    const qsizetype translations = indexOf(list, QStringLiteral("^cp /opt/qt-universal/.*/qtbase_de\\.qm .*%1/Contents/Resources/translations/").arg(app));
    const qsizetype nested = indexOf(list, QStringLiteral("^codesign .*--options runtime.* on every dylib, plug-in and framework"));
    const qsizetype mtzip = indexOf(list, signing + QStringLiteral("--identifier com.quillfen.mtzip .*%1/Contents/MacOS/mtzip$").arg(app));
    const qsizetype bundle = indexOf(list, signing + QStringLiteral(".*%1$").arg(app));
    const qsizetype verify = indexOf(list, QStringLiteral("^codesign --verify --deep --strict .*%1$").arg(app));
    const qsizetype notarizeApp = indexOf(list, QStringLiteral("^xcrun notarytool submit .*notarize\\.zip --apple-id release@example\\.invalid --team-id ABCDE12345 --password \\*\\*\\* --wait$"));
    const qsizetype stapleApp = indexOf(list, QStringLiteral("^xcrun stapler staple .*%1$").arg(app));
    const qsizetype dmg = indexOf(list, QStringLiteral("^cpack --config "));
    const qsizetype signDmg = indexOf(list, QStringLiteral("^codesign --force --timestamp --sign .*ABCDE12345.* .*MotionTemplateInstaller-[0-9.]+\\.dmg$"));
    const qsizetype notarizeDmg = indexOf(list, QStringLiteral("^xcrun notarytool submit .*\\.dmg .*--wait$"));
    const qsizetype stapleDmg = indexOf(list, QStringLiteral("^xcrun stapler staple .*\\.dmg$"));
    const qsizetype moved = indexOf(list, QStringLiteral("^mv .*/\\.staging/MotionTemplateInstaller-[0-9.]+\\.dmg .*/dist/MotionTemplateInstaller-[0-9.]+\\.dmg$"));
    const QList<qsizetype> order{configure, deploy, translations, nested, mtzip, bundle, verify, notarizeApp,
                                stapleApp, dmg, signDmg, notarizeDmg, stapleDmg, moved};
    for (qsizetype i = 0; i < order.size(); ++i) {
        QVERIFY2(order.at(i) >= 0, qPrintable(QStringLiteral("step %1 missing in:\n").arg(i) + list.join(QLatin1Char('\n'))));
        if (i > 0)
            QVERIFY2(order.at(i) > order.at(i - 1), qPrintable(QStringLiteral("step %1 out of order").arg(i)));
    }
}

void tst_Release::dryRunAdHoc()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const Run run = runRelease({QStringLiteral("--dry-run"), QStringLiteral("--output"), dir.filePath(QStringLiteral("dist"))},
                               {{QStringLiteral("MTI_CODESIGN_IDENTITY"), QStringLiteral("-")},
                                {QStringLiteral("MTI_ARCHS"), QStringLiteral("arm64")},
                                {QStringLiteral("QT_PREFIX"), QStringLiteral("/opt/homebrew/opt/qt")}});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err + run.out));
    const QStringList list = commands(run.out);
    QVERIFY(indexOf(list, QStringLiteral("-DCMAKE_OSX_ARCHITECTURES=arm64 ")) >= 0);
    // Ad hoc: signed without a timestamp, never sent to the notary service.
    QVERIFY(indexOf(list, QStringLiteral("^codesign --force --options runtime --sign - .*/Contents/MacOS/mtzip$")) >= 0);
    QVERIFY(indexOf(list, QStringLiteral("--timestamp")) < 0);
    QVERIFY(indexOf(list, QStringLiteral("notarytool|stapler")) < 0);
    QVERIFY(run.out.contains(QLatin1String("not notarised")));
    QVERIFY(indexOf(list, QStringLiteral("^codesign --force --sign - .*\\.dmg$")) >= 0);
}

void tst_Release::refusals_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("unset");
    QTest::addColumn<QString>("inTheWay");
    QTest::addColumn<QString>("message");
    QTest::newRow("no identity") << QStringList() << strings({"MTI_CODESIGN_IDENTITY"}) << QString()
                                 << QStringLiteral("no signing identity: set MTI_CODESIGN_IDENTITY");
    QTest::newRow("no notary credentials") << QStringList() << strings({"MTI_NOTARY_PASSWORD"}) << QString()
                                           << QStringLiteral("no notarisation credentials");
    QTest::newRow("stale deploy folder") << QStringList() << QStringList() << QStringLiteral("deploy/Motion Template Installer.app")
                                         << QStringLiteral("stale deploy folder");
    QTest::newRow("stale staging folder") << QStringList() << QStringList() << QStringLiteral(".staging/notarize.zip")
                                          << QStringLiteral("stale deploy folder");
    QTest::newRow("existing .dmg") << QStringList() << QStringList() << QStringLiteral("MotionTemplateInstaller-%1.dmg").arg(QStringLiteral(MTI_VERSION))
                                   << QStringLiteral("exists already");
    QTest::newRow("unknown argument") << strings({"--sign-later"}) << QStringList() << QString()
                                      << QStringLiteral("unknown argument '--sign-later'");
    QTest::newRow("--output without a folder") << strings({"--output"}) << QStringList() << QString()
                                               << QStringLiteral("--output needs a folder");
}

void tst_Release::refusals()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, unset);
    QFETCH(QString, inTheWay);
    QFETCH(QString, message);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString output = dir.filePath(QStringLiteral("dist"));
    if (!inTheWay.isEmpty()) {
        QVERIFY(QDir().mkpath(QFileInfo(QDir(output).filePath(inTheWay)).path()));
        writeFileOrFail(QDir(output).filePath(inTheWay), "from an earlier run");
    }
    const QStringList before = treeDigest(dir.path());
    QMap<QString, QString> environment = signedEnvironment();
    for (const QString &name : unset)
        environment.remove(name);
    // Without --dry-run too: the input is checked before anything else,
    // whatever the platform.
    for (const bool dryRun : {true, false}) {
        QStringList all = arguments.isEmpty() || arguments.first() != QLatin1String("--output")
                              ? QStringList{QStringLiteral("--output"), output} + arguments
                              : arguments;
        if (dryRun)
            all.prepend(QStringLiteral("--dry-run"));
        const Run run = runRelease(all, environment);
        QCOMPARE(run.exitCode, 2);
        if (dryRun || QSysInfo::productType() == QLatin1String("macos"))
            QVERIFY2(run.err.contains(message), qPrintable(run.err));
        else
            QVERIFY2(run.err.contains(message) || run.err.contains(QLatin1String("needs macOS")), qPrintable(run.err));
        QVERIFY2(!run.out.contains(QLatin1String("+ ")), qPrintable(run.out));
        QCOMPARE(treeDigest(dir.path()), before);
    }
}

void tst_Release::laterMacOSVersion_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<bool>("later");
    QTest::newRow("major") << "12.0" << "11.0" << true;
    QTest::newRow("earlier major") << "11.0" << "12.0" << false;
    QTest::newRow("same") << "11.0" << "11.0" << false;
    QTest::newRow("minor beyond a one-part version") << "13.1" << "13" << true;
    QTest::newRow("numbers, not text") << "10.15" << "11.0" << false;
    QTest::newRow("patch level") << "14" << "13.5.1" << true;
}

// The comparison by which the release script raises LSMinimumSystemVersion
// to the deployed binaries' minos.
void tst_Release::laterMacOSVersion()
{
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(bool, later);
    const QString script = QStringLiteral("source <(sed -n '/^version_later()/,/^}/p' \"$0\") && version_later \"$1\" \"$2\"");
    const ToolResult result = runTool(QStringLiteral("bash"), {QStringLiteral("-c"), script, ReleaseScript, first, second});
    QVERIFY(result.started);
    QVERIFY2(result.err.isEmpty(), result.err.constData());
    QCOMPARE(result.exitCode == 0, later);
}

void tst_Release::workflows()
{
    const QDir folder(SourceDir + QStringLiteral("/.github/workflows"));
    const QStringList files = folder.entryList({QStringLiteral("*.yml"), QStringLiteral("*.yaml")}, QDir::Files);
    QVERIFY(!files.isEmpty());
    QStringList runners;
    QStringList scriptsCalled;
    for (const QString &file : files) {
        QString error;
        const QJsonObject workflow = loadWorkflow(folder.filePath(file), &error);
        if (error.contains(QLatin1String("No module named 'yaml'")) || error.contains(QLatin1String("not installed")))
            QSKIP("python3-yaml is not installed (scripts/install-deps.sh installs it)");
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QVERIFY2(workflow.contains(QLatin1String("name")) && workflow.contains(QLatin1String("on")), qPrintable(file));
        const QJsonObject jobs = workflow[QLatin1String("jobs")].toObject();
        QVERIFY2(!jobs.isEmpty(), qPrintable(file));
        for (auto job = jobs.constBegin(); job != jobs.constEnd(); ++job) {
            const QJsonObject body = job.value().toObject();
            const QString where = file + QLatin1Char(':') + job.key();
            QVERIFY2(body.contains(QLatin1String("runs-on")), qPrintable(where));
            const QJsonValue runsOn = body[QLatin1String("runs-on")];
            if (runsOn.toString().contains(QLatin1String("${{"))) {
                for (const QJsonValue &entry : body[QLatin1String("strategy")][QLatin1String("matrix")][QLatin1String("include")].toArray())
                    runners.append(entry[QLatin1String("runner")].toString());
            } else {
                runners.append(runsOn.toString());
            }
            const QJsonArray steps = body[QLatin1String("steps")].toArray();
            QVERIFY2(!steps.isEmpty(), qPrintable(where));
            QCOMPARE(steps.first()[QLatin1String("uses")].toString().section(QLatin1Char('@'), 0, 0), QStringLiteral("actions/checkout"));
            for (const QJsonValue &step : steps) {
                const QJsonObject s = step.toObject();
                QVERIFY2(s.contains(QLatin1String("run")) != s.contains(QLatin1String("uses")), qPrintable(where));
                const QRegularExpression script(QStringLiteral("(?:^|\\s)(scripts/[A-Za-z0-9_.-]+)"));
                auto matches = script.globalMatch(s[QLatin1String("run")].toString());
                while (matches.hasNext())
                    scriptsCalled.append(matches.next().captured(1));
            }
        }
    }
    // Linux, and macOS: the newest and an older Apple-silicon runner and an Intel one.
    QVERIFY2(runners.contains(QLatin1String("macos-latest")), qPrintable(runners.join(QLatin1Char(' '))));
    QVERIFY2(runners.filter(QRegularExpression(QStringLiteral("^macos-1[0-9]$"))).size() >= 1, qPrintable(runners.join(QLatin1Char(' '))));
    QVERIFY2(runners.filter(QRegularExpression(QStringLiteral("^macos-.*intel$|^macos-13$"))).size() >= 1, qPrintable(runners.join(QLatin1Char(' '))));
    QVERIFY2(runners.filter(QRegularExpression(QStringLiteral("^ubuntu-"))).size() >= 1, qPrintable(runners.join(QLatin1Char(' '))));
    // The README's test command, and every script called exists and may be run.
    QVERIFY(scriptsCalled.contains(QLatin1String("scripts/test.sh")));
    QVERIFY(scriptsCalled.contains(QLatin1String("scripts/release-macos.sh")));
    for (const QString &script : std::as_const(scriptsCalled)) {
        const QFileInfo info(SourceDir + QLatin1Char('/') + script);
        QVERIFY2(info.isFile() && info.isExecutable(), qPrintable(script));
    }
}

void tst_Release::scriptsParse_data()
{
    QTest::addColumn<QString>("script");
    for (const QString &name : QDir(SourceDir + QStringLiteral("/scripts")).entryList({QStringLiteral("*.sh")}, QDir::Files))
        QTest::newRow(qPrintable(name)) << SourceDir + QStringLiteral("/scripts/") + name;
    QTest::newRow(".ci/run") << SourceDir + QStringLiteral("/.ci/run");
}

// Every script reads as bash, and can be run as a command.
void tst_Release::scriptsParse()
{
    QFETCH(QString, script);
    QVERIFY2(QFileInfo(script).isExecutable() || script.endsWith(QLatin1String(".ci/run")), qPrintable(script));
    MTI_VERIFY_TOOL(runTool(QStringLiteral("bash"), {QStringLiteral("-n"), script}));
}

void tst_Release::homebrew_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("mustSay");
    const QString version = QStringLiteral(MTI_VERSION);
    QTest::newRow("cask") << QStringLiteral("packaging/homebrew/Casks/motion-template-installer.rb")
                          << QStringList{QStringLiteral("version \"%1\"").arg(version),
                                         QStringLiteral("app \"Motion Template Installer.app\""),
                                         QStringLiteral("binary \"#{appdir}/Motion Template Installer.app/Contents/MacOS/mtzip\""),
                                         QStringLiteral("Contents/Resources/man/man1/mtzip.1"),
                                         QStringLiteral("Contents/Resources/completions/_mtzip")};
    QTest::newRow("formula") << QStringLiteral("packaging/homebrew/Formula/mtzip.rb")
                             << QStringList{QStringLiteral("motion-template-installer-%1.tar.gz").arg(version),
                                            QStringLiteral("\"-DMTI_GUI=OFF\""), QStringLiteral("license \"MIT\"")};
}

void tst_Release::homebrew()
{
    QFETCH(QString, file);
    QFETCH(QStringList, mustSay);
    const QString path = SourceDir + QLatin1Char('/') + file;
    const QString text = QString::fromUtf8(readFile(path));
    for (const QString &phrase : mustSay)
        QVERIFY2(text.contains(phrase), qPrintable(phrase));
    // The files the cask links must be the ones the bundle gets.
    if (file.contains(QLatin1String("Casks"))) {
        const QString app = QString::fromUtf8(readFile(SourceDir + QStringLiteral("/Sources/App/CMakeLists.txt")));
        QVERIFY(app.contains(QLatin1String("MACOSX_PACKAGE_LOCATION Resources/man/man1")));
        QVERIFY(app.contains(QLatin1String("MACOSX_PACKAGE_LOCATION Resources/completions")));
    }
    const ToolResult syntax = runTool(QStringLiteral("ruby"), {QStringLiteral("-c"), path});
    MTI_VERIFY_TOOL(syntax);
    QCOMPARE(syntax.out.trimmed(), QByteArray("Syntax OK"));
}

QTEST_GUILESS_MAIN(tst_Release)
#include "tst_Release.moc"
