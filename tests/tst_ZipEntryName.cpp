// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "ZipArchive/ZipEntryName.h"

#include <QTest>

class tst_ZipEntryName : public QObject
{
    Q_OBJECT

private slots:
    void safeRelativeEntryPath_data();
    void safeRelativeEntryPath();
    void isDirectoryEntryName_data();
    void isDirectoryEntryName();
};

void tst_ZipEntryName::safeRelativeEntryPath_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("safe");
    QTest::addColumn<QString>("relative");

    QTest::newRow("plain file") << "a.txt" << true << "a.txt";
    QTest::newRow("nested file") << "a/b/c.txt" << true << "a/b/c.txt";
    QTest::newRow("backslashes become folders") << "a\\b.txt" << true << "a/b.txt";
    QTest::newRow("directory entry") << "docs/" << true << "docs";
    QTest::newRow("dot components dropped") << "./a/./b" << true << "a/b";
    QTest::newRow("doubled slashes collapse") << "a//b" << true << "a/b";
    QTest::newRow("dot-dot inside a name is fine") << "a..b/c..txt" << true << "a..b/c..txt";
    QTest::newRow("dot directory is the destination") << "./" << true << "";
    QTest::newRow("colon later in the name is fine") << "a/b:c" << true << "a/b:c";
    QTest::newRow("non-ASCII name") << QString::fromUtf8("Titres/Ünïcødé.moti") << true
                                    << QString::fromUtf8("Titres/Ünïcødé.moti");

    QTest::newRow("parent escape refused") << "../x" << false << "";
    QTest::newRow("escape after descent refused") << "a/../../x" << false << "";
    QTest::newRow("harmless-looking dot-dot still refused") << "a/../x" << false << "";
    QTest::newRow("absolute path refused") << "/abs/x" << false << "";
    QTest::newRow("drive letter refused") << "C:\\x" << false << "";
    QTest::newRow("drive letter with slash refused") << "c:/x" << false << "";
    QTest::newRow("backslash escape refused") << "a\\..\\..\\x" << false << "";
    QTest::newRow("backslash absolute refused") << "\\abs\\x" << false << "";
    QTest::newRow("empty name refused") << "" << false << "";
    QTest::newRow("lone dot as a file refused") << "." << false << "";
    QTest::newRow("trailing dot-dot directory refused") << "a/../" << false << "";
}

void tst_ZipEntryName::safeRelativeEntryPath()
{
    QFETCH(QString, name);
    QFETCH(bool, safe);
    QFETCH(QString, relative);

    const std::optional<QString> result = ::safeRelativeEntryPath(name);
    QCOMPARE(result.has_value(), safe);
    if (safe)
        QCOMPARE(*result, relative);
}

void tst_ZipEntryName::isDirectoryEntryName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("directory");

    QTest::newRow("slash") << "docs/" << true;
    QTest::newRow("backslash") << "docs\\" << true;
    QTest::newRow("file") << "docs/a" << false;
    QTest::newRow("empty") << "" << false;
}

void tst_ZipEntryName::isDirectoryEntryName()
{
    QFETCH(QString, name);
    QFETCH(bool, directory);
    QCOMPARE(::isDirectoryEntryName(name), directory);
}

QTEST_GUILESS_MAIN(tst_ZipEntryName)
#include "tst_ZipEntryName.moc"
