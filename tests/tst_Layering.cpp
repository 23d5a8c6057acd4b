// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
// The rooms of Sources/ and what each may include: a room only builds on
// the rooms below it, and the core never on a window. Read from the
// includes themselves, so that an upward one fails here before it becomes
// a cycle.
#include <QDirIterator>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

namespace {

const QStringList CoreRooms = {QStringLiteral("Common"), QStringLiteral("ZipArchive"), QStringLiteral("Installer"),
                               QStringLiteral("Metadata"), QStringLiteral("Documents")};

// Each room and the rooms it may include besides itself.
QHash<QString, QSet<QString>> allowedRooms()
{
    const auto rooms = [](const QStringList &names) { return QSet<QString>(names.cbegin(), names.cend()); };
    const QStringList core = CoreRooms;
    const QStringList gui = core + QStringList{QStringLiteral("Appearance"), QStringLiteral("Interface")};
    return {
        {QStringLiteral("Common"), {}},
        {QStringLiteral("ZipArchive"), rooms({QStringLiteral("Common")})},
        {QStringLiteral("Installer"), rooms({QStringLiteral("Common"), QStringLiteral("ZipArchive")})},
        {QStringLiteral("Metadata"),
         rooms({QStringLiteral("Common"), QStringLiteral("ZipArchive"), QStringLiteral("Installer")})},
        {QStringLiteral("Documents"),
         rooms({QStringLiteral("Common"), QStringLiteral("ZipArchive"), QStringLiteral("Installer"),
                QStringLiteral("Metadata")})},
        {QStringLiteral("Cli"), rooms(core)},
        // Alerts and dialogs wear the dark look and the icon.
        {QStringLiteral("Appearance"), rooms(core)},
        {QStringLiteral("Interface"), rooms(core + QStringList{QStringLiteral("Appearance")})},
        {QStringLiteral("Collections"), rooms(gui)},
        {QStringLiteral("Library"), rooms(gui)},
        {QStringLiteral("Downloads"), rooms(gui)},
        {QStringLiteral("Projects"), rooms(gui)},
        {QStringLiteral("App"),
         rooms(gui + QStringList{QStringLiteral("Collections"), QStringLiteral("Library"), QStringLiteral("Downloads"),
                                 QStringLiteral("Projects")})},
    };
}

struct Include
{
    QString file;  // relative to Sources/
    int line = 0;
    QString room;  // the room the include names
};

// Every quoted include of a source file that names a room ("Room/Header.h").
QList<Include> includesOf(const QString &sources, const QString &file)
{
    static const QRegularExpression quoted(QStringLiteral("^\\s*#\\s*include\\s+\"([A-Za-z]+)/[^\"]+\""));
    QList<Include> found;
    QFile source(sources + QLatin1Char('/') + file);
    if (!source.open(QIODevice::ReadOnly))
        return found;
    int number = 0;
    while (!source.atEnd()) {
        const QString line = QString::fromUtf8(source.readLine());
        ++number;
        const QRegularExpressionMatch match = quoted.match(line);
        if (match.hasMatch())
            found.append({file, number, match.captured(1)});
    }
    return found;
}

QStringList sourceFiles(const QString &sources)
{
    QStringList files;
    QDirIterator it(sources, {QStringLiteral("*.h"), QStringLiteral("*.cpp"), QStringLiteral("*.mm")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(it.next().mid(sources.size() + 1));
    files.sort();
    return files;
}

} // namespace

class tst_Layering : public QObject
{
    Q_OBJECT

private slots:
    void everyRoomIsKnown();
    void includesOnlyGoDown();
    void coreIncludesNoWidgets();
};

void tst_Layering::everyRoomIsKnown()
{
    const QString sources = QStringLiteral(MTI_SOURCE_DIR "/Sources");
    const QHash<QString, QSet<QString>> allowed = allowedRooms();
    const QStringList files = sourceFiles(sources);
    QVERIFY(files.size() > 50);
    for (const QString &file : files) {
        const QString room = file.section(QLatin1Char('/'), 0, 0);
        // A new room is placed in the layering (above) when it is made.
        QVERIFY2(allowed.contains(room) || !file.contains(QLatin1Char('/')),
                 qPrintable(QStringLiteral("%1: the room %2 has no place in the layering").arg(file, room)));
    }
}

void tst_Layering::includesOnlyGoDown()
{
    const QString sources = QStringLiteral(MTI_SOURCE_DIR "/Sources");
    const QHash<QString, QSet<QString>> allowed = allowedRooms();
    QStringList upward;
    for (const QString &file : sourceFiles(sources)) {
        const QString room = file.section(QLatin1Char('/'), 0, 0);
        if (!allowed.contains(room))
            continue;
        for (const Include &include : includesOf(sources, file)) {
            // Includes of a room's own files, and of Qt's generated headers.
            if (include.room == room || !allowed.contains(include.room))
                continue;
            if (!allowed.value(room).contains(include.room))
                upward.append(QStringLiteral("%1:%2 includes %3").arg(include.file).arg(include.line).arg(include.room));
        }
    }
    QVERIFY2(upward.isEmpty(), qPrintable(QStringLiteral("upward includes:\n") + upward.join(QLatin1Char('\n'))));
}

void tst_Layering::coreIncludesNoWidgets()
{
    // The core links no widget module; this names the file where it would fail.
    static const QRegularExpression widgets(
        QStringLiteral("^\\s*#\\s*include\\s+<(QtWidgets/|Q(Widget|Dialog|MessageBox|MainWindow|Application|"
                       "AbstractButton|PushButton|Label|LineEdit|FileDialog|ProgressDialog|Menu|MenuBar)>)"));
    const QString sources = QStringLiteral(MTI_SOURCE_DIR "/Sources");
    QStringList found;
    for (const QString &file : sourceFiles(sources)) {
        if (!CoreRooms.contains(file.section(QLatin1Char('/'), 0, 0)) && !file.startsWith(QLatin1String("Cli/")))
            continue;
        QFile source(sources + QLatin1Char('/') + file);
        QVERIFY(source.open(QIODevice::ReadOnly));
        int number = 0;
        while (!source.atEnd()) {
            ++number;
            if (widgets.match(QString::fromUtf8(source.readLine())).hasMatch())
                found.append(QStringLiteral("%1:%2").arg(file).arg(number));
        }
    }
    QVERIFY2(found.isEmpty(), qPrintable(QStringLiteral("widgets in the core:\n") + found.join(QLatin1Char('\n'))));
}

QTEST_GUILESS_MAIN(tst_Layering)
#include "tst_Layering.moc"
