// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "App/AppDelegate.h"
#include "Documents/CollectionOpeningRules.h"
#include "Installer/TemplateInstaller.h"
#include "TestSupport.h"
#include "ZipArchive/ZipArchive.h"

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QMainWindow>
#include <QMenuBar>
#include <QApplication>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>
#include <QXmlStreamReader>

// The German translation reaches the core's and the windows' texts, and
// without it they are the English originals.
class tst_Translations : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void texts_data();
    void texts();
    void coreRefusalKeysStayEnglish();
    void everyMessageIsTranslated();

private:
    QString liveText(const QString &which);

    QTemporaryDir _dir;
    QString _root;
};

void tst_Translations::initTestCase()
{
    QVERIFY(_dir.isValid());
    _root = _dir.filePath(QStringLiteral("Motion Templates.localized"));
    QVERIFY(QDir().mkpath(_root));
    TestSupport::writeFileOrFail(_dir.filePath(QStringLiteral("AB_Text.mtzip")), "PK but not really a zip file at all");
    // A zip with no entries: its end-of-central-directory record alone.
    TestSupport::writeFileOrFail(_dir.filePath(QStringLiteral("AB_Empty.mtzip")), QByteArray("PK\x05\x06", 4) + QByteArray(18, '\0'));
}

// The text as the code shows it now, with whatever translator is installed.
QString tst_Translations::liveText(const QString &which)
{
    if (which == QLatin1String("zip")) {
        ZipArchive zip;
        const bool opened = zip.UnzipOpenFile(_dir.filePath(QStringLiteral("AB_Text.mtzip")));
        zip.UnzipCloseFile();
        return opened ? QStringLiteral("<opened>") : zip.lastError().detail;
    }
    if (which == QLatin1String("installer")) {
        const auto installer =
            TemplateInstaller::create(QUrl::fromLocalFile(_dir.filePath(QStringLiteral("AB_Empty.mtzip"))), _root);
        if (!installer)
            return QStringLiteral("<refused>");
        return installer->unarchive() ? QStringLiteral("<unpacked>") : installer->unarchiveError();
    }
    if (which == QLatin1String("refusal")) {
        const QUrl url = QUrl::fromLocalFile(_dir.filePath(QStringLiteral("Pack.zip")));
        const Expected<std::unique_ptr<TemplateInstaller>> installer = TemplateInstaller::open(url, _root);
        if (installer)
            return QStringLiteral("<accepted>");
        return CollectionOpeningRules::refusalText(url, installer.error());
    }
    if (which == QLatin1String("kinds"))
        return CollectionOpeningRules::kindNames({1, 3});
    if (which == QLatin1String("menu") || which == QLatin1String("button")) {
        AppDelegate delegate;
        if (which == QLatin1String("button")) {
            QPushButton *button = nullptr;
            for (QWidget *window : QApplication::topLevelWidgets()) {
                if (window->objectName() == QLatin1String("StartWindow"))
                    button = window->findChild<QPushButton *>(QStringLiteral("supportButton"));
            }
            return button ? button->text() : QStringLiteral("<no button>");
        }
        QMainWindow window;
        delegate.decorateWindow(&window);
        const QList<QAction *> menus = window.menuBar()->actions();
        return menus.isEmpty() ? QStringLiteral("<no menus>") : menus.first()->text();
    }
    return QStringLiteral("<unknown>");
}

void tst_Translations::texts_data()
{
    QTest::addColumn<QString>("which");
    QTest::addColumn<QString>("english");
    QTest::addColumn<QString>("german");

    const QString text = _dir.filePath(QStringLiteral("AB_Text.mtzip"));
    QTest::newRow("zip layer: not a zip archive")
        << QStringLiteral("zip") << QStringLiteral("\"%1\" is not a zip archive, or it is damaged").arg(text)
        << QStringLiteral("„%1“ ist kein ZIP-Archiv oder es ist beschädigt").arg(text);
    QTest::newRow("installer: an archive without entries")
        << QStringLiteral("installer") << QStringLiteral("The archive holds no entries.")
        << QStringLiteral("Das Archiv enthält keine Einträge.");
    QTest::newRow("collection: a refused archive")
        << QStringLiteral("refusal") << QStringLiteral("it is not a template archive (a file ending in “.mtzip”)")
        << QStringLiteral("es ist kein Vorlagenarchiv (eine Datei mit der Endung „.mtzip“)");
    QTest::newRow("collection: kinds named from a table")
        << QStringLiteral("kinds") << QStringLiteral("effects and titles") << QStringLiteral("Effekte und Titel");
    QTest::newRow("menus: the first menu, with its shortcut")
        << QStringLiteral("menu") << QStringLiteral("&File") << QStringLiteral("&Ablage");
    QTest::newRow("start window: a button from the .ui file")
        << QStringLiteral("button") << QStringLiteral("Support...") << QStringLiteral("Support …");
}

void tst_Translations::texts()
{
    QFETCH(QString, which);
    QFETCH(QString, english);
    QFETCH(QString, german);

    QCOMPARE(liveText(which), english);
    QTranslator translator;
    QVERIFY2(translator.load(QStringLiteral(MTI_QM_FILE)), MTI_QM_FILE);
    QVERIFY(QCoreApplication::installTranslator(&translator));
    const QString translated = liveText(which);
    QCoreApplication::removeTranslator(&translator);
    QCOMPARE(translated, german);
    QCOMPARE(liveText(which), english);
}

// The collection matches the installer's refusals by their words: those
// must not change with the language.
void tst_Translations::coreRefusalKeysStayEnglish()
{
    QTranslator translator;
    QVERIFY(translator.load(QStringLiteral(MTI_QM_FILE)));
    QVERIFY(QCoreApplication::installTranslator(&translator));
    const Expected<std::unique_ptr<TemplateInstaller>> installer =
        TemplateInstaller::open(QUrl::fromLocalFile(_dir.filePath(QStringLiteral("Pack.zip"))), _root);
    QCoreApplication::removeTranslator(&translator);
    QVERIFY(!installer);
    QCOMPARE(installer.error().localizedDescription(), QStringLiteral("Not a Motion Template Archive"));
}

void tst_Translations::everyMessageIsTranslated()
{
    QFile file(QStringLiteral(MTI_TS_FILE));
    QVERIFY2(file.open(QIODevice::ReadOnly), MTI_TS_FILE);
    QXmlStreamReader xml(&file);
    int messages = 0;
    QStringList unfinished;
    QString source;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("message")) {
            ++messages;
        } else if (xml.name() == QLatin1String("source")) {
            source = xml.readElementText();
        } else if (xml.name() == QLatin1String("translation")) {
            const QStringView type = xml.attributes().value(QLatin1String("type"));
            if (type == QLatin1String("unfinished") || type == QLatin1String("vanished")
                || type == QLatin1String("obsolete")
                // Plural messages hold their forms in child elements.
                || xml.readElementText(QXmlStreamReader::IncludeChildElements).trimmed().isEmpty())
                unfinished.append(source);
        }
    }
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    QVERIFY(messages > 100);
    QVERIFY2(unfinished.isEmpty(), qPrintable(unfinished.join(QLatin1String(" | "))));
}

QTEST_MAIN(tst_Translations)
#include "tst_Translations.moc"
