// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Common/FileOperations.h"
#include "Common/ProgressListener.h"
#include "Common/Trash.h"
#include "TestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace TestSupport;

namespace {

struct stat lstatOf(const QString &path)
{
    struct stat info {};
    ::lstat(QFile::encodeName(path).constData(), &info);
    return info;
}

// A moment well in the past, with nanoseconds, so a copy that takes the
// current time or truncates to seconds shows.
void setTimes(const QString &path, time_t seconds, long nanoseconds)
{
    const struct timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
    QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, AT_SYMLINK_NOFOLLOW), 0);
}

class RecordingListener : public ProgressListener
{
public:
    explicit RecordingListener(qint64 stopAfter = -1) : _stopAfter(stopAfter) {}
    bool progress(qint64 done, qint64 total) override
    {
        calls.push_back({done, total});
        return _stopAfter < 0 || done < _stopAfter;
    }
    std::vector<std::pair<qint64, qint64>> calls;

private:
    qint64 _stopAfter;
};

} // namespace

class tst_FileOperations : public QObject
{
    Q_OBJECT

private slots:
    void copyTreeKeepsContentsModesAndTimes();
    void copyTreeReportsProgressUpToTheTotal_data();
    void copyTreeReportsProgressUpToTheTotal();
    void cancellingStopsTheCopyWithECANCELED();
    void copyTreeRefusesAnExistingDestination_data();
    void copyTreeRefusesAnExistingDestination();
    void copyTreeOfAMissingSourceFails();
    void treeSizeCountsRegularFilesOnly();
    void removeAllAndCreateDirectories();
    void moveToTrashLandsInTheTrashOfAFreshHome();
    void trashOwnerGetsWhatGoesInTheirHomeTrash_data();
    void trashOwnerGetsWhatGoesInTheirHomeTrash();
    void readSmallFileReadsOnlyAnOwnRegularFileWithinItsLimit_data();
    void readSmallFileReadsOnlyAnOwnRegularFileWithinItsLimit();
    void removeAllBeneathNeverFollowsALink_data();
    void removeAllBeneathNeverFollowsALink();
    void stepsBeneathTheRootNeverFollowALink_data();
    void stepsBeneathTheRootNeverFollowALink();
};

void tst_FileOperations::copyTreeKeepsContentsModesAndTimes()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString source = dir.filePath(QStringLiteral("AB_Soft_Glow"));
    const QString destination = dir.filePath(QStringLiteral("copy/AB_Soft_Glow"));
    QDir().mkpath(QFileInfo(destination).path());

    struct FileSpec
    {
        const char *path;
        QByteArray bytes;
        mode_t mode;
    };
    // 0666 and 0777 are cut by the usual umask when a copy does not set
    // modes itself.
    const std::vector<FileSpec> files = {
        {"AB_Soft_Glow.moef", QByteArray(70000, 'm'), 0644},
        {"empty.txt", QByteArray(), 0600},
        {"Media/clip.mov", QByteArray(300000, 'c'), 0666},
        {"Media/Nested/Deeper/run.sh", QByteArrayLiteral("#!/bin/sh\n"), 0777},
        {"Media/Nested/readonly.png", QByteArray(5000, 'p'), 0444},
        {"Media/Nested/Deeper/empty", QByteArray(), 0640},
    };
    for (const FileSpec &file : files) {
        const QString path = source + QLatin1Char('/') + QLatin1String(file.path);
        writeFileOrFail(path, file.bytes);
        QCOMPARE(::chmod(QFile::encodeName(path).constData(), file.mode), 0);
    }
    QDir().mkpath(source + QStringLiteral("/Empty Folder"));
    QCOMPARE(::symlink("Media/clip.mov", QFile::encodeName(source + QStringLiteral("/clip-link")).constData()), 0);
    QCOMPARE(::symlink("no/such/target", QFile::encodeName(source + QStringLiteral("/dangling")).constData()), 0);
    QCOMPARE(::chmod(QFile::encodeName(source + QStringLiteral("/Media/Nested")).constData(), 0750), 0);
    QCOMPARE(::chmod(QFile::encodeName(source + QStringLiteral("/Empty Folder")).constData(), 0777), 0);

    // Times last: writing into a folder changes its modification time.
    time_t when = 1500000000;
    for (const FileSpec &file : files)
        setTimes(source + QLatin1Char('/') + QLatin1String(file.path), when++, 123456789);
    for (const char *folder : {"Media/Nested/Deeper", "Media/Nested", "Media", "Empty Folder", ""})
        setTimes(source + QLatin1Char('/') + QLatin1String(folder), when++, 987654321);

    const std::optional<Error> error = FileOperations::copyTree(source, destination);
    QVERIFY2(!error, error ? qPrintable(error->localizedDescription()) : "");

    for (const FileSpec &file : files) {
        const QString from = source + QLatin1Char('/') + QLatin1String(file.path);
        const QString to = destination + QLatin1Char('/') + QLatin1String(file.path);
        QFile copy(to);
        QVERIFY2(copy.open(QIODevice::ReadOnly), file.path);
        QCOMPARE(copy.readAll(), file.bytes);
        const struct stat a = lstatOf(from);
        const struct stat b = lstatOf(to);
        QVERIFY(S_ISREG(b.st_mode));
        QCOMPARE(b.st_mode & 07777, file.mode);
        QCOMPARE(b.st_mtim.tv_sec, a.st_mtim.tv_sec);
        QCOMPARE(b.st_mtim.tv_nsec, a.st_mtim.tv_nsec);
    }
    for (const char *folder : {"Media/Nested/Deeper", "Media/Nested", "Media", "Empty Folder", ""}) {
        const struct stat a = lstatOf(source + QLatin1Char('/') + QLatin1String(folder));
        const struct stat b = lstatOf(destination + QLatin1Char('/') + QLatin1String(folder));
        QVERIFY2(S_ISDIR(b.st_mode), folder);
        QCOMPARE(b.st_mode & 07777, a.st_mode & 07777);
        QCOMPARE(b.st_mtim.tv_sec, a.st_mtim.tv_sec);
        QCOMPARE(b.st_mtim.tv_nsec, a.st_mtim.tv_nsec);
    }
    QVERIFY(QDir(destination + QStringLiteral("/Empty Folder")).isEmpty());

    // A read-only folder comes out writable for its owner, so that the
    // installed copy can be replaced and removed again.
    const QString locked = dir.filePath(QStringLiteral("Locked"));
    writeFileOrFail(locked + QStringLiteral("/inside.txt"), "x");
    QCOMPARE(::chmod(QFile::encodeName(locked).constData(), 0555), 0);
    const QString lockedCopy = dir.filePath(QStringLiteral("Locked copy"));
    QVERIFY(!FileOperations::copyTree(locked, lockedCopy));
    QCOMPARE(lstatOf(lockedCopy).st_mode & 07777, mode_t(0755));
    QVERIFY(!FileOperations::removeAll(lockedCopy));
    QCOMPARE(::chmod(QFile::encodeName(locked).constData(), 0755), 0);

    // Links stay links, pointing where they pointed, even when dangling.
    QCOMPARE(QFileInfo(destination + QStringLiteral("/clip-link")).symLinkTarget(),
             destination + QStringLiteral("/Media/clip.mov"));
    QVERIFY(S_ISLNK(lstatOf(destination + QStringLiteral("/clip-link")).st_mode));
    QVERIFY(S_ISLNK(lstatOf(destination + QStringLiteral("/dangling")).st_mode));
    QCOMPARE(QFile::symLinkTarget(destination + QStringLiteral("/dangling")),
             destination + QStringLiteral("/no/such/target"));

    const QStringList sourceNames = QDir(source).entryList(QDir::AllEntries | QDir::Hidden | QDir::System
                                                           | QDir::NoDotAndDotDot, QDir::Name);
    const QStringList copyNames = QDir(destination).entryList(QDir::AllEntries | QDir::Hidden | QDir::System
                                                              | QDir::NoDotAndDotDot, QDir::Name);
    QCOMPARE(copyNames, sourceNames);
}

void tst_FileOperations::copyTreeReportsProgressUpToTheTotal_data()
{
    QTest::addColumn<qint64>("doneBefore");
    QTest::addColumn<qint64>("extraTotal");

    QTest::newRow("a copy on its own counts from zero") << qint64(0) << qint64(0);
    QTest::newRow("a copy inside a larger install continues the count") << qint64(4096) << qint64(8192);
}

void tst_FileOperations::copyTreeReportsProgressUpToTheTotal()
{
    QFETCH(qint64, doneBefore);
    QFETCH(qint64, extraTotal);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString source = dir.filePath(QStringLiteral("src"));
    writeFileOrFail(source + QStringLiteral("/a.bin"), QByteArray(3 * 1024 * 1024, 'a'));
    writeFileOrFail(source + QStringLiteral("/Sub/b.bin"), QByteArray(123457, 'b'));
    writeFileOrFail(source + QStringLiteral("/Sub/empty"), QByteArray());
    const qint64 size = FileOperations::treeSize(source);
    QCOMPARE(size, qint64(3 * 1024 * 1024 + 123457));

    const qint64 total = doneBefore + size + extraTotal;
    RecordingListener listener;
    QVERIFY(!FileOperations::copyTree(source, dir.filePath(QStringLiteral("dst")), &listener, doneBefore, total));

    QVERIFY(!listener.calls.empty());
    qint64 previous = doneBefore;
    for (const auto &[done, reportedTotal] : listener.calls) {
        QCOMPARE(reportedTotal, total);
        QVERIFY(done >= previous);
        previous = done;
    }
    QCOMPARE(listener.calls.back().first, doneBefore + size);
}

void tst_FileOperations::cancellingStopsTheCopyWithECANCELED()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString source = dir.filePath(QStringLiteral("src"));
    for (int i = 0; i < 5; ++i)
        writeFileOrFail(source + QStringLiteral("/file%1.bin").arg(i), QByteArray(200000, char('a' + i)));

    RecordingListener listener(1);
    const std::optional<Error> error =
        FileOperations::copyTree(source, dir.filePath(QStringLiteral("dst")), &listener, 0,
                                 FileOperations::treeSize(source));
    QVERIFY(error);
    QCOMPARE(error->domain(), Error::PosixDomain);
    QCOMPARE(error->code(), ECANCELED);
    // It stopped at the first answer, not after copying everything.
    QCOMPARE(listener.calls.size(), size_t(1));
}

void tst_FileOperations::copyTreeRefusesAnExistingDestination_data()
{
    QTest::addColumn<bool>("folder");
    QTest::newRow("a folder standing at the destination") << true;
    QTest::newRow("a file standing at the destination") << false;
}

void tst_FileOperations::copyTreeRefusesAnExistingDestination()
{
    QFETCH(bool, folder);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString source = dir.filePath(folder ? QStringLiteral("src") : QStringLiteral("src.txt"));
    if (folder)
        writeFileOrFail(source + QStringLiteral("/new.txt"), "new");
    else
        writeFileOrFail(source, "new");
    const QString destination = dir.filePath(QStringLiteral("dst"));
    if (folder)
        writeFileOrFail(destination + QStringLiteral("/old.txt"), "old");
    else
        writeFileOrFail(destination, "old");

    const std::optional<Error> error = FileOperations::copyTree(source, destination);
    QVERIFY(error);
    QCOMPARE(error->code(), EEXIST);
    QVERIFY(error->localizedDescription().contains(destination));
    // Nothing of the old one was lost.
    QFile old(folder ? destination + QStringLiteral("/old.txt") : destination);
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), QByteArrayLiteral("old"));
}

void tst_FileOperations::copyTreeOfAMissingSourceFails()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const std::optional<Error> error =
        FileOperations::copyTree(dir.filePath(QStringLiteral("gone")), dir.filePath(QStringLiteral("dst")));
    QVERIFY(error);
    QCOMPARE(error->code(), ENOENT);
    QVERIFY(!FileOperations::exists(dir.filePath(QStringLiteral("dst"))));
}

void tst_FileOperations::treeSizeCountsRegularFilesOnly()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    writeFileOrFail(dir.filePath(QStringLiteral("t/a")), QByteArray(1000, 'a'));
    writeFileOrFail(dir.filePath(QStringLiteral("t/b/c")), QByteArray(24, 'c'));
    writeFileOrFail(dir.filePath(QStringLiteral("big")), QByteArray(50000, 'x'));
    // A link to a large file outside adds nothing.
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("big")), dir.filePath(QStringLiteral("t/b/link"))));
    QCOMPARE(FileOperations::treeSize(dir.filePath(QStringLiteral("t"))), qint64(1024));
    QCOMPARE(FileOperations::treeSize(dir.filePath(QStringLiteral("big"))), qint64(50000));
    QCOMPARE(FileOperations::treeSize(dir.filePath(QStringLiteral("missing"))), qint64(0));
}

void tst_FileOperations::removeAllAndCreateDirectories()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(!FileOperations::removeAll(dir.filePath(QStringLiteral("missing"))));

    writeFileOrFail(dir.filePath(QStringLiteral("tree/a/b/.hidden")), "x");
    QVERIFY(!FileOperations::removeAll(dir.filePath(QStringLiteral("tree"))));
    QVERIFY(!FileOperations::exists(dir.filePath(QStringLiteral("tree"))));

    // A link is removed as a link; its target stays.
    writeFileOrFail(dir.filePath(QStringLiteral("keep/file")), "keep");
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("keep")), dir.filePath(QStringLiteral("link"))));
    QVERIFY(!FileOperations::removeAll(dir.filePath(QStringLiteral("link"))));
    QVERIFY(!FileOperations::exists(dir.filePath(QStringLiteral("link"))));
    QVERIFY(QFileInfo::exists(dir.filePath(QStringLiteral("keep/file"))));

    QVERIFY(!FileOperations::createDirectories(dir.filePath(QStringLiteral("x/y/z"))));
    QVERIFY(FileOperations::isDirectory(dir.filePath(QStringLiteral("x/y/z"))));

    writeFileOrFail(dir.filePath(QStringLiteral("plain")), "file");
    const std::optional<Error> error = FileOperations::createDirectories(dir.filePath(QStringLiteral("plain/sub")));
    QVERIFY(error);
    QVERIFY(!error->isPermissionError());
    QVERIFY(error->localizedDescription().contains(dir.filePath(QStringLiteral("plain/sub"))));
}

QTEST_GUILESS_MAIN(tst_FileOperations)
void tst_FileOperations::moveToTrashLandsInTheTrashOfAFreshHome()
{
#if defined(Q_OS_MACOS) || defined(Q_OS_WIN)
    QSKIP("the system's own Trash");
#else
    QTemporaryDir home;
    QTemporaryDir work;
    QVERIFY(home.isValid() && work.isValid());
    const QByteArray savedHome = qgetenv("HOME");
    const QString savedCurrent = QDir::currentPath();
    // A home without a data folder yet, as a new account has.
    qputenv("HOME", QFile::encodeName(home.path()));
    qunsetenv("XDG_DATA_HOME");
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(QDir::setCurrent(work.path()));
    const QString victim = home.filePath(QStringLiteral("LT_Pack"));
    writeFileOrFail(victim + QStringLiteral("/template.moti"), "mine");

    const bool trashed = FileOperations::moveToTrash(victim);
    QDir::setCurrent(savedCurrent);
    qputenv("HOME", savedHome);
    QStandardPaths::setTestModeEnabled(false);

    QVERIFY(trashed);
    QVERIFY(!QFileInfo::exists(victim));
    const QString trash = home.path() + QStringLiteral("/.qttest/share/Trash");
    QCOMPARE(readFile(trash + QStringLiteral("/files/LT_Pack/template.moti")), QByteArray("mine"));
    QVERIFY(QFileInfo(trash + QStringLiteral("/info/LT_Pack.trashinfo")).isFile());
    // Nothing was filed below the working folder.
    QCOMPARE(entryNames(work.path(), QDir::Name), QStringList());
#endif
}

void tst_FileOperations::trashOwnerGetsWhatGoesInTheirHomeTrash_data()
{
    QTest::addColumn<QString>("planted"); // a link the owner put on the way to their Trash, or none
    QTest::newRow("a fresh home") << QString();
    QTest::newRow("the Trash already there") << QStringLiteral("-");
    QTest::newRow("a link for .local") << QStringLiteral(".local");
    QTest::newRow("a link for the data folder") << QStringLiteral(".local/share");
    QTest::newRow("a link for the Trash") << QStringLiteral(".local/share/Trash");
    QTest::newRow("a link for its files") << QStringLiteral(".local/share/Trash/files");
}

// Run as root for another user, whose home is a fake one: what goes lands
// in their Trash and is theirs; a link they planted on the way is never
// followed, so nothing lands where it points.
void tst_FileOperations::trashOwnerGetsWhatGoesInTheirHomeTrash()
{
#if defined(Q_OS_MACOS) || defined(Q_OS_WIN)
    QSKIP("the system's own Trash");
#else
    QFETCH(QString, planted);
    if (::geteuid() != 0)
        QSKIP("giving files to another user needs root");
    constexpr uid_t Owner = 65534;
    constexpr gid_t OwnerGroup = 65534;
    QTemporaryDir home;
    QTemporaryDir work;
    QVERIFY(home.isValid() && work.isValid());
    QCOMPARE(::chown(QFile::encodeName(home.path()).constData(), Owner, OwnerGroup), 0);
    const QString elsewhere = work.filePath(QStringLiteral("elsewhere"));
    QVERIFY(QDir().mkpath(elsewhere));
    if (planted == QLatin1String("-")) {
        QVERIFY(QDir().mkpath(home.filePath(QStringLiteral(".local/share/Trash/files"))));
        QVERIFY(QDir().mkpath(home.filePath(QStringLiteral(".local/share/Trash/info"))));
        for (const char *folder : {".local", ".local/share", ".local/share/Trash", ".local/share/Trash/files",
                                   ".local/share/Trash/info"})
            QCOMPARE(::chown(QFile::encodeName(home.filePath(QLatin1String(folder))).constData(), Owner, OwnerGroup), 0);
    } else if (!planted.isEmpty()) {
        const QString link = home.filePath(planted);
        QVERIFY(QDir().mkpath(QFileInfo(link).path()));
        QCOMPARE(::symlink(QFile::encodeName(elsewhere).constData(), QFile::encodeName(link).constData()), 0);
        QCOMPARE(::lchown(QFile::encodeName(link).constData(), Owner, OwnerGroup), 0);
    }
    const QString victim = work.filePath(QStringLiteral("Templates/LT_Pack"));
    writeFileOrFail(victim + QStringLiteral("/Media/clip.mov"), "shared");
    QCOMPARE(::symlink("Media/clip.mov", QFile::encodeName(victim + QStringLiteral("/link")).constData()), 0);

    Trash::setOwner(Owner, home.path());
    const QString inTrash = Trash::moveToTrashBeneath(work.filePath(QStringLiteral("Templates")), QStringLiteral("LT_Pack"));
    Trash::setOwner(::geteuid(), QString());

    QCOMPARE(entryNames(elsewhere, QDir::Name), QStringList());
    if (!planted.isEmpty() && planted != QLatin1String("-")) {
        QCOMPARE(inTrash, QString());
        QVERIFY(QFileInfo::exists(victim + QStringLiteral("/Media/clip.mov")));
        return;
    }
    const QString trash = home.path() + QStringLiteral("/.local/share/Trash");
    QCOMPARE(inTrash, trash + QStringLiteral("/files/LT_Pack"));
    QVERIFY(!QFileInfo::exists(victim));
    QCOMPARE(readFile(inTrash + QStringLiteral("/Media/clip.mov")), QByteArray("shared"));
    const auto owner = [](const QString &path) {
        struct stat info;
        return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? qint64(info.st_uid) : -1;
    };
    for (const QString &path : QStringList{home.path() + QStringLiteral("/.local"), trash, trash + QStringLiteral("/files"),
                                trash + QStringLiteral("/info/LT_Pack.trashinfo"), inTrash,
                                inTrash + QStringLiteral("/Media"), inTrash + QStringLiteral("/Media/clip.mov"),
                                inTrash + QStringLiteral("/link")})
        QVERIFY2(owner(path) == Owner, qPrintable(path));
    QVERIFY(!(QFileInfo(trash).permissions() & (QFile::ReadOther | QFile::ReadGroup)));
    QCOMPARE(Trash::recordedPlace(inTrash), victim);
#endif
}

void tst_FileOperations::readSmallFileReadsOnlyAnOwnRegularFileWithinItsLimit_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("error");  // 0: read
    QTest::addColumn<QString>("problem");
    QTest::newRow("a file within the limit") << "file" << 0 << QString();
    QTest::newRow("an empty file") << "empty" << 0 << QString();
    QTest::newRow("a file one byte over") << "over" << EFBIG << QStringLiteral("larger than 16 bytes");
    QTest::newRow("nothing") << "missing" << ENOENT << QString();
    QTest::newRow("a link to a file") << "link" << ELOOP << QStringLiteral("a symbolic link");
    QTest::newRow("a link to /dev/zero") << "devzero" << ELOOP << QStringLiteral("a symbolic link");
    QTest::newRow("a FIFO") << "fifo" << EINVAL << QStringLiteral("not a regular file");
    QTest::newRow("a folder") << "folder" << EINVAL << QStringLiteral("not a regular file");
    QTest::newRow("another user's file") << "other" << EPERM << QStringLiteral("owned by another user");
}

void tst_FileOperations::readSmallFileReadsOnlyAnOwnRegularFileWithinItsLimit()
{
    QFETCH(QString, kind);
    QFETCH(int, error);
    QFETCH(QString, problem);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("planted"));
    const QByteArray name = QFile::encodeName(path);
    const QByteArray sixteen = "0123456789abcdef";
    if (kind == QLatin1String("file") || kind == QLatin1String("other"))
        writeFileOrFail(path, sixteen);
    else if (kind == QLatin1String("empty"))
        writeFileOrFail(path, QByteArray());
    else if (kind == QLatin1String("over"))
        writeFileOrFail(path, sixteen + 'x');
    else if (kind == QLatin1String("link"))
        QVERIFY(writeFile(dir.filePath(QStringLiteral("target")), sixteen) && ::symlink("target", name.constData()) == 0);
    else if (kind == QLatin1String("devzero"))
        QCOMPARE(::symlink("/dev/zero", name.constData()), 0);
    else if (kind == QLatin1String("fifo"))
        QCOMPARE(::mkfifo(name.constData(), 0600), 0);
    else if (kind == QLatin1String("folder"))
        QVERIFY(QDir().mkpath(path));
    if (kind == QLatin1String("other") && (::geteuid() != 0 || ::chown(name.constData(), 65534, 65534) != 0))
        QSKIP("only root can give a file to another user");

    const FileOperations::SmallFile file = FileOperations::readSmallFile(path, 16);
    QCOMPARE(file.error, error);
    QCOMPARE(bool(file), error == 0);
    if (error == 0)
        QCOMPARE(*file.contents, kind == QLatin1String("empty") ? QByteArray() : sixteen);
    if (!problem.isEmpty())
        QCOMPARE(file.problem, problem);
    if (kind == QLatin1String("other")) {
        const FileOperations::SmallFile anyone = FileOperations::readSmallFile(path, 16, FileOperations::FileOwner::Anyone);
        QCOMPARE(anyone.contents.value_or(QByteArray()), sixteen);
    }
}

void tst_FileOperations::removeAllBeneathNeverFollowsALink_data()
{
    QTest::addColumn<QString>("relative");
    QTest::addColumn<int>("error");
    QTest::addColumn<QStringList>("left");  // in the root afterwards, "/"-joined, sorted
    const QStringList untouched = {QStringLiteral("a"), QStringLiteral("a/b"), QStringLiteral("a/b/file"),
                                   QStringLiteral("a/b/link"), QStringLiteral("a/link"), QStringLiteral("top")};
    QTest::newRow("a folder holding links") << "a/b" << 0
                                            << QStringList{QStringLiteral("a"), QStringLiteral("a/link"), QStringLiteral("top")};
    QTest::newRow("everything") << "a" << 0 << QStringList{QStringLiteral("top")};
    QTest::newRow("a link itself") << "a/link" << 0
                                   << QStringList{QStringLiteral("a"), QStringLiteral("a/b"), QStringLiteral("a/b/file"),
                                                  QStringLiteral("a/b/link"), QStringLiteral("top")};
    QTest::newRow("through a link") << "a/link/victim" << ELOOP << untouched;
    QTest::newRow("nothing there") << "a/missing/x" << 0 << untouched;
    QTest::newRow("..") << "a/../top" << EINVAL << untouched;
    QTest::newRow("an empty component") << "a//b" << EINVAL << untouched;
}

void tst_FileOperations::removeAllBeneathNeverFollowsALink()
{
    QFETCH(QString, relative);
    QFETCH(int, error);
    QFETCH(QStringList, left);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString root = dir.filePath(QStringLiteral("root"));
    const QString outside = dir.filePath(QStringLiteral("outside"));
    writeFileOrFail(outside + QStringLiteral("/victim/file"), "keep");
    writeFileOrFail(root + QStringLiteral("/a/b/file"), "x");
    writeFileOrFail(root + QStringLiteral("/top"), "x");
    QVERIFY(QFile::link(outside, root + QStringLiteral("/a/link")));
    QVERIFY(QFile::link(outside + QStringLiteral("/victim"), root + QStringLiteral("/a/b/link")));

    const std::optional<Error> result = FileOperations::removeAllBeneath(root, relative);
    QCOMPARE(result ? result->code() : 0, error);
    QStringList found;
    QDirIterator it(root, QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        found.append(QDir(root).relativeFilePath(it.next()));
    found.sort();
    QCOMPARE(found, left);
    QCOMPARE(readFile(outside + QStringLiteral("/victim/file")), QByteArray("keep"));
}

// The same tree as above: root/a/b/file, root/top, root/a/link -> outside,
// root/a/b/link -> outside/victim.
void tst_FileOperations::stepsBeneathTheRootNeverFollowALink_data()
{
    QTest::addColumn<QString>("step");  // write, remove or move
    QTest::addColumn<QString>("relative");
    QTest::addColumn<QString>("to");    // for a move
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("written");  // relative to the root, read afterwards; empty: nothing
    QTest::newRow("write a new file, folders made") << "write" << "c/d/new" << QString() << 0 << "c/d/new";
    QTest::newRow("write over a file") << "write" << "a/b/file" << QString() << 0 << "a/b/file";
    QTest::newRow("write through a link") << "write" << "a/link/victim/file" << QString() << ELOOP << QString();
    QTest::newRow("write over a link") << "write" << "a/b/link" << QString() << 0 << "a/b/link";
    QTest::newRow("remove through a link") << "remove" << "a/link/victim/file" << QString() << ELOOP << QString();
    QTest::newRow("remove a missing file") << "remove" << "c/none" << QString() << 0 << QString();
    QTest::newRow("move, folders made") << "move" << "a/b/file" << "c/d/moved" << 0 << "c/d/moved";
    QTest::newRow("move from a link") << "move" << "a/link/victim" << "c/taken" << ELOOP << QString();
    QTest::newRow("move into a link") << "move" << "top" << "a/link/top" << ELOOP << QString();
    QTest::newRow("move onto something") << "move" << "top" << "a/b/file" << EEXIST << QString();
}

void tst_FileOperations::stepsBeneathTheRootNeverFollowALink()
{
    QFETCH(QString, step);
    QFETCH(QString, relative);
    QFETCH(QString, to);
    QFETCH(int, error);
    QFETCH(QString, written);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString root = dir.filePath(QStringLiteral("root"));
    const QString outside = dir.filePath(QStringLiteral("outside"));
    writeFileOrFail(outside + QStringLiteral("/victim/file"), "keep");
    writeFileOrFail(root + QStringLiteral("/a/b/file"), "x");
    writeFileOrFail(root + QStringLiteral("/top"), "x");
    QVERIFY(QFile::link(outside, root + QStringLiteral("/a/link")));
    QVERIFY(QFile::link(outside + QStringLiteral("/victim"), root + QStringLiteral("/a/b/link")));
    // As another user's links: the user's own would be followed on a move.
    if (::geteuid() == 0) {
        QCOMPARE(::lchown(QFile::encodeName(root + QStringLiteral("/a/link")).constData(), 65534, 65534), 0);
    } else if (step == QLatin1String("move") && error == ELOOP) {
        QSKIP("Only root can make a link another user's.");
    }

    std::optional<Error> result;
    if (step == QLatin1String("write"))
        result = FileOperations::replaceFileBeneath(root, relative, QByteArray("new"));
    else if (step == QLatin1String("remove"))
        result = FileOperations::replaceFileBeneath(root, relative, std::nullopt);
    else
        result = FileOperations::moveBeneath(root, relative, to);
    QCOMPARE(result ? result->code() : 0, error);
    if (!written.isEmpty()) {
        const QString path = root + QLatin1Char('/') + written;
        QVERIFY(!QFileInfo(path).isSymLink());
        QCOMPARE(readFile(path), step == QLatin1String("move") ? QByteArray("x") : QByteArray("new"));
    }
    QCOMPARE(readFile(outside + QStringLiteral("/victim/file")), QByteArray("keep"));
    QCOMPARE(QDir(outside).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("victim")});
    QCOMPARE(QDir(outside + QStringLiteral("/victim")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("file")});
}

#include "tst_FileOperations.moc"
