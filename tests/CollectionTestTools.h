// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "TestSupport.h"

#include <QApplication>
#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

class QFileDialog;
class QUrl;
class QWidget;
class TemplateArchiveCollection;

// Helpers shared by the collection tests: an isolated home whose Movies
// folder holds the destination root, template archives written with our own
// zip writer, and answering the alerts and the open dialog as a user would.
namespace CollectionTestTools {

// Points HOME at `home` and turns on the test mode of QStandardPaths; called
// before the application object exists. Nothing below the real home is read
// or written by the tests.
void isolateHome(const QTemporaryDir &home);
// False (with the reason) unless the Movies folder and the installers'
// destination root both lie inside `home`.
bool checkIsolation(const QTemporaryDir &home, QString *reason);

// "<Movies>/Motion Templates.localized", where every installer installs, and
// the Movies folder holding it.
QString destinationRoot();
QString moviesFolder();
// Removes the destination root and makes sure the Movies folder exists.
bool resetDestination();

// The templates an archive holds, as template folder names
// ("LT_Simple_Third"); each folder gets "<name>.<extension>" and a text file.
// Written with ZipArchive into `folder`; the archive's path, or empty.
// The folders named in `withPreview` also get a red 160 x 90 "preview.png".
QString makeArchive(const QString &folder, const QString &archiveName, const QStringList &templateFolders,
                    const QString &extension = QStringLiteral("moti"), const QStringList &withPreview = {});
// An archive of template folders each holding "<name>.moti" with the given
// document bytes (and nothing else), for the marks and details the windows
// read from documents.
QString makeArchiveWithDocuments(const QString &folder, const QString &archiveName,
                                 const QList<QPair<QString, QByteArray>> &documents);
// A template document as Motion writes one: saved by Motion `motionVersion`,
// 1920 x 1080 at 25 fps for 250 frames, two published parameters, and
// `scene` inside its <scene>.
QByteArray motionDocument(const QByteArray &motionVersion, const QByteArray &scene = QByteArray());
// A file with the archive extension that is no zip archive.
QString makeDamagedArchive(const QString &folder, const QString &archiveName);
// `count` template folder names "<prefix>_<word>_<n>" for n = 1 .. count.
QStringList templateNames(const QString &prefix, const QString &word, int count);

// Where a template of the kind folder and category lands below the root,
// e.g. ("Titles.localized", "Lower Thirds", "LT_Simple_Third").
QString installedPath(const QString &kindFolder, const QString &categoryTitle, const QString &templateFolder);
// Puts a template folder there by hand, as another tool would.
bool installByHand(const QString &kindFolder, const QString &categoryTitle, const QString &templateFolder);

// Opens the archives as templateArchivesFromURLs() does and waits until
// every collection it made has listed and unpacked them (or has gone).
QList<TemplateArchiveCollection *> openArchives(const QList<QUrl> &urls, bool merge = true);
// Waits until the collection's install or uninstall has ended (or it has gone).
bool waitUntilIdle(const TemplateArchiveCollection *collection, int timeoutMs = 20000);

// Lets the event loop carry out what answers and closes have posted (timers
// due now, deferred deletes) without waiting for anything else: for checks
// that something did NOT follow.
void settle();

// The visible alerts, newest last.
QList<QMessageBox *> visibleAlerts();
// The one visible alert whose message is `title`, or null.
QMessageBox *visibleAlert(const QString &title);
// Waits (up to `timeoutMs`) for the one visible alert whose message is
// `title`: alerts that follow work on a worker come from the event loop.
QMessageBox *awaitAlert(const QString &title, int timeoutMs = 20000);
// Presses the button titled `buttonText`; false when there is none.
bool press(QMessageBox *box, const QString &buttonText);
QStringList buttonTexts(const QMessageBox *box);

// What was seen of one alert.
struct SeenAlert
{
    QString title;
    QString informativeText;
    QStringList buttons;
    Qt::WindowModality modality = Qt::NonModal;
    QPointer<QWidget> parent;
    // Its window colour is a dark one.
    bool dark = false;
};

// Watches for alerts while the test waits in the event loop, also inside a
// nested exec(): records each one once and presses the button given for its
// title. An alert with no answer given is recorded and left alone.
class AlertWatcher : public QObject
{
public:
    AlertWatcher();
    void answer(const QString &title, const QString &buttonText);
    QList<SeenAlert> seen;
    QStringList titlesSeen() const;
    bool answered(const QString &title) const { return _answered.contains(title); }

private:
    void poll();
    QTimer _timer;
    QList<QPair<QString, QString>> _answers;
    QList<QPointer<QMessageBox>> _known;
    QStringList _answered;
};

// Answers the next modal file dialog: rejects it, or selects `files` (full
// paths, all in one folder) and accepts.
class FileDialogAnswerer : public QObject
{
public:
    explicit FileDialogAnswerer(QStringList files = {});
    bool done = false;
    // What the dialog offered.
    int fileMode = -1;
    QStringList nameFilters;
    QString acceptLabel;
    // The folder it started in, and whether it had the dark look.
    QString directory;
    bool dark = false;

private:
    void poll();
    QTimer _timer;
    QStringList _files;
};

// The folder of all users below a data folder of the test's own, while it
// lives; the elevation takes `unwritable` (none at first) as a folder this
// process may not write, as root may write every one.
class AllUsersFolder
{
public:
    explicit AllUsersFolder(const QString &dataDir);
    ~AllUsersFolder();
    AllUsersFolder(const AllUsersFolder &) = delete;
    AllUsersFolder &operator=(const AllUsersFolder &) = delete;
    void setUnwritable(const QString &folder);
    const QString root;

private:
    const QByteArray _savedDataDirs;
};

// A pkexec in `folder` for the elevation to run, while it lives: it records
// the command line it was given, then answers as `mode` says. "run" runs it
// as this user; "126" is a dismissed prompt; "127" not authorized;
// "noagent" nobody to ask; "fail" the command failing with a message.
// `mtzip` is the one the elevation runs.
class FakePkexec
{
public:
    FakePkexec(const QString &folder, const QString &mode, const QString &mtzip);
    ~FakePkexec();
    FakePkexec(const FakePkexec &) = delete;
    FakePkexec &operator=(const FakePkexec &) = delete;
    bool isValid() const { return _valid; }
    // The recorded command line split at its NULs: the last item, after
    // the last NUL, is empty. Empty when it never ran.
    QStringList recorded() const;

private:
    QString _log;
    bool _valid = false;
};

} // namespace CollectionTestTools

// A QtTest main whose home, and with it the Movies folder, is a temporary
// folder made before anything asks for standard locations.
#define MTI_COLLECTION_TEST_MAIN(TestObject)                                          \
    int main(int argc, char *argv[])                                                  \
    {                                                                                 \
        QTemporaryDir home;                                                           \
        if (!home.isValid()) {                                                        \
            std::fprintf(stderr, "no temporary home folder\n");                       \
            return EXIT_FAILURE;                                                      \
        }                                                                             \
        CollectionTestTools::isolateHome(home);                                       \
        QApplication app(argc, argv);                                                 \
        QString reason;                                                               \
        if (!CollectionTestTools::checkIsolation(home, &reason)) {                    \
            std::fprintf(stderr, "%s\n", qPrintable(reason));                         \
            return EXIT_FAILURE;                                                      \
        }                                                                             \
        TestObject tc;                                                                \
        QTEST_SET_MAIN_SOURCE_PATH                                                    \
        return QTest::qExec(&tc, argc, argv);                                         \
    }
