// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Documents/CollectionOpeningRules.h"
#include "Installer/TemplateInstaller.h"

#include <QTest>

using namespace CollectionOpeningRules;

namespace {

QUrl archive(const char *name)
{
    return QUrl::fromLocalFile(QStringLiteral("/Downloads/") + QLatin1String(name));
}

Error refusal(TemplateInstaller::Refusal why, const char *words)
{
    return Error(TemplateInstaller::RefusalDomain, int(why), QLatin1String(words));
}

} // namespace

Q_DECLARE_METATYPE(Error)

class tst_CollectionOpeningRules : public QObject
{
    Q_OBJECT

private slots:
    void refusalsExplainThemselves_data();
    void refusalsExplainThemselves();
    void kindsAreNamedAsInstalled_data();
    void kindsAreNamedAsInstalled();
    void countsAreSingularOrPlural_data();
    void countsAreSingularOrPlural();
    void windowTitles_data();
    void windowTitles();
    void alreadyOpenArchivesAreLeftOut();
};

void tst_CollectionOpeningRules::refusalsExplainThemselves_data()
{
    QTest::addColumn<QUrl>("url");
    QTest::addColumn<Error>("coreReason");
    QTest::addColumn<QString>("mentions");

    QTest::newRow("no prefix shows how a name looks")
        << archive("MyPack.mtzip") << refusal(TemplateInstaller::Refusal::UnexpectedPrefix, "Unexpected category prefix") << "LT_My_Pack.mtzip";
    QTest::newRow("an unknown prefix is named") << archive("ZZ_Pack.mtzip") << refusal(TemplateInstaller::Refusal::UnrecognizedCategory, "Unrecognized category title") << "“ZZ”";
    QTest::newRow("a missing Movies folder is said in words")
        << archive("LT_Pack.mtzip") << refusal(TemplateInstaller::Refusal::RootMissing, "templatesRootFolder does not exist") << "Movies folder";
    QTest::newRow("another extension names the right one")
        << archive("LT_Pack.zip") << refusal(TemplateInstaller::Refusal::NotAnArchive, "Not a Motion Template Archive") << "“.mtzip”";
    QTest::newRow("anything else passes through")
        << archive("LT_Pack.mtzip") << Error(QStringLiteral("TemplateInstaller"), 0, QStringLiteral("The archive holds no entries."))
        << "The archive holds no entries.";
}

void tst_CollectionOpeningRules::refusalsExplainThemselves()
{
    QFETCH(QUrl, url);
    QFETCH(Error, coreReason);
    QFETCH(QString, mentions);
    const QString text = refusalText(url, coreReason);
    QVERIFY2(text.contains(mentions), qPrintable(text));
    // The programmer's words never reach the user when there are better ones.
    if (coreReason.localizedDescription() != mentions)
        QVERIFY2(!text.contains(coreReason.localizedDescription()), qPrintable(text));
}

void tst_CollectionOpeningRules::kindsAreNamedAsInstalled_data()
{
    QTest::addColumn<QList<quint64>>("types");
    QTest::addColumn<QString>("names");
    QTest::newRow("titles only") << QList<quint64>{3, 3} << "titles";
    QTest::newRow("titles and generators") << QList<quint64>{2, 3} << "titles and generators";
    QTest::newRow("all four in the browser's order")
        << QList<quint64>{2, 3, 4, 1} << "effects, transitions, titles and generators";
    QTest::newRow("none known keeps the old word") << QList<quint64>{} << "generators";
}

void tst_CollectionOpeningRules::kindsAreNamedAsInstalled()
{
    QFETCH(QList<quint64>, types);
    QFETCH(QString, names);
    QCOMPARE(kindNames(types), names);
}

void tst_CollectionOpeningRules::countsAreSingularOrPlural_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("text");
    QTest::newRow("none") << 0 << "0 templates";
    QTest::newRow("one") << 1 << "1 template";
    QTest::newRow("many") << 10000 << "10000 templates";
}

void tst_CollectionOpeningRules::countsAreSingularOrPlural()
{
    QFETCH(int, count);
    QFETCH(QString, text);
    QCOMPARE(templateCount(count), text);
}

void tst_CollectionOpeningRules::windowTitles_data()
{
    QTest::addColumn<QList<QUrl>>("urls");
    QTest::addColumn<QStringList>("opened");
    QTest::addColumn<QString>("title");
    QTest::newRow("one archive that opened") << QList<QUrl>{archive("LT_Pack.mtzip")} << QStringList{QStringLiteral("LT_Pack")}
                                             << "LT_Pack";
    QTest::newRow("one archive that failed is still named")
        << QList<QUrl>{archive("LT_Pack.mtzip")} << QStringList{} << "LT_Pack";
    QTest::newRow("two asked, one opened") << QList<QUrl>{archive("LT_A.mtzip"), archive("LT_B.mtzip")}
                                           << QStringList{QStringLiteral("LT_B")} << "LT_B";
    QTest::newRow("two opened") << QList<QUrl>{archive("LT_A.mtzip"), archive("LT_B.mtzip")}
                                << QStringList{QStringLiteral("LT_A"), QStringLiteral("LT_B")} << "Multiple Template Archives";
}

void tst_CollectionOpeningRules::windowTitles()
{
    QFETCH(QList<QUrl>, urls);
    QFETCH(QStringList, opened);
    QFETCH(QString, title);
    QCOMPARE(windowTitle(urls, opened), title);
}

void tst_CollectionOpeningRules::alreadyOpenArchivesAreLeftOut()
{
    bool alreadyOpen = false;
    const QList<QUrl> accepted = acceptedURLs({archive("LT_A.mtzip"), archive("LT_B.MTZIP"), archive("LT_A.mtzip"),
                                               archive("LT_C.mtzip")},
                                              {archive("LT_C.mtzip")}, &alreadyOpen);
    QCOMPARE(accepted, (QList<QUrl>{archive("LT_A.mtzip")}));
    QVERIFY(alreadyOpen);
    acceptedURLs({archive("LT_A.mtzip")}, {}, &alreadyOpen);
    QVERIFY(!alreadyOpen);
}

QTEST_GUILESS_MAIN(tst_CollectionOpeningRules)
#include "tst_CollectionOpeningRules.moc"
