// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Common/ByteSize.h"
#include "Common/FileNames.h"

#include <QLocale>
#include <QTest>

#include <cstdint>

class tst_CommonHelpers : public QObject
{
    Q_OBJECT

private slots:
    void fileNamesSplitAtTheLastExtension_data();
    void fileNamesSplitAtTheLastExtension();
    void byteSizes_data();
    void byteSizes();
};

void tst_CommonHelpers::fileNamesSplitAtTheLastExtension_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("base");
    QTest::addColumn<QString>("extension");

    QTest::newRow("one extension") << QStringLiteral("AB_Pack.mtzip") << QStringLiteral("AB_Pack") << QStringLiteral("mtzip");
    QTest::newRow("only the last extension goes")
        << QStringLiteral("Pack.2024.mtzip") << QStringLiteral("Pack.2024") << QStringLiteral("mtzip");
    QTest::newRow("a dot in a version number") << QStringLiteral("AB_Glow_1.5") << QStringLiteral("AB_Glow_1") << QStringLiteral("5");
    QTest::newRow("no dot") << QStringLiteral("AB_Glow") << QStringLiteral("AB_Glow") << QString();
    QTest::newRow("a leading dot is no extension") << QStringLiteral(".mtzip") << QStringLiteral(".mtzip") << QString();
    QTest::newRow("a trailing dot leaves an empty extension") << QStringLiteral("Pack.") << QStringLiteral("Pack") << QString();
    QTest::newRow("dots before the last one stay") << QStringLiteral("...mtzip") << QStringLiteral("..") << QStringLiteral("mtzip");
    QTest::newRow("an empty name") << QString() << QString() << QString();
}

void tst_CommonHelpers::fileNamesSplitAtTheLastExtension()
{
    QFETCH(QString, name);
    QFETCH(QString, base);
    QFETCH(QString, extension);
    QCOMPARE(FileNames::withoutLastExtension(name), base);
    QCOMPARE(FileNames::lastExtension(name), extension);
}

void tst_CommonHelpers::byteSizes_data()
{
    QTest::addColumn<quint64>("bytes");
    QTest::addColumn<QString>("display");
    QTest::addColumn<QString>("message");

    QTest::newRow("bytes") << quint64(999) << QStringLiteral("999 bytes") << QStringLiteral("999 bytes");
    QTest::newRow("decimal against binary kilobytes")
        << quint64(1500) << QStringLiteral("1.5 kB") << QStringLiteral("1.46 KiB");
    QTest::newRow("megabytes") << quint64(2400000) << QStringLiteral("2.4 MB") << QStringLiteral("2.29 MiB");
    QTest::newRow("counts beyond qint64 show its largest value")
        << quint64(UINT64_MAX) << QString() << QStringLiteral("8.00 EiB");
}

void tst_CommonHelpers::byteSizes()
{
    QFETCH(quint64, bytes);
    QFETCH(QString, display);
    QFETCH(QString, message);
    // The display form follows the user's locale; the test fixes it.
    QLocale::setDefault(QLocale::c());
    if (!display.isNull())
        QCOMPARE(ByteSize::forDisplay(qint64(bytes)), display);
    QCOMPARE(ByteSize::forMessage(bytes), message);
    QLocale::setDefault(QLocale::system());
}

QTEST_GUILESS_MAIN(tst_CommonHelpers)
#include "tst_CommonHelpers.moc"
