// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QDir>
#include <QList>
#include <QObject>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <initializer_list>

// Helpers every test area needs: files and folders, running outside tools,
// the diagnostic log line and recording opened URLs. Qt only, so each test
// links what it tests and nothing more.
namespace TestSupport {

// Writes contents to path, making the folders on the way; false when any
// step failed.
bool writeFile(const QString &path, const QByteArray &contents);
// The same for a test's own setup: a failure fails the running test and
// names the path.
void writeFileOrFail(const QString &path, const QByteArray &contents);
// The whole file, or empty when it cannot be read.
QByteArray readFile(const QString &path);

// The names in folder, hidden ones included, without "." and "..".
// QDir::Unsorted gives the order the file system lists them in.
QStringList entryNames(const QString &folder, QDir::SortFlags sort);

// Sets or clears the immutable flag of a file or folder, which even root
// cannot get past (creating inside fails with EPERM); false where the file
// system, the privileges or the platform do not allow it.
bool setImmutable(const QString &path, bool immutable);

QStringList strings(std::initializer_list<const char *> items);

// Every file, folder and link below root, hidden ones included, one sorted
// line each: relative path, kind, permission bits and a SHA-256 of the
// content. Two equal digests are two identical trees.
QStringList treeDigest(const QString &root);

QUrl urlOf(const QString &path);
QList<QUrl> urlsOf(const QStringList &paths);

// The diagnostic log line for message: "'<message>' in <function> line <n>".
QRegularExpression diagnostic(const QString &message);

struct ToolResult
{
    bool started = false;
    // The program is not installed: tests skip rather than fail.
    bool missing = false;
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
    QString command;

    bool succeeded() const { return started && exitCode == 0; }
    // One line for a failure message: the command, its status and its output.
    QString describe() const;
};

bool isInstalled(const QString &program);
// Runs program with arguments in workingDirectory and waits for it. A program
// that is not installed gives started == false and missing == true, and says
// so in describe().
ToolResult runTool(const QString &program, const QStringList &arguments,
                   const QString &workingDirectory = {});
// Runs a Python 3 script; the arguments land in sys.argv[1:].
ToolResult runPython(const QString &script, const QStringList &arguments = {},
                     const QString &workingDirectory = {});

// Stands in for the browser: QDesktopServices::setUrlHandler(scheme, &recorder, "open").
class UrlRecorder : public QObject
{
    Q_OBJECT
public slots:
    void open(const QUrl &url) { urls.append(url); }

public:
    QList<QUrl> urls;
};

// Skips the test when the tool is not installed; otherwise fails it with the
// tool's output unless it ran and exited with 0.
#define MTI_VERIFY_TOOL(result)                                                          \
    do {                                                                                 \
        const TestSupport::ToolResult &mtiToolResult_ = (result);                        \
        if (mtiToolResult_.missing)                                                      \
            QSKIP(qPrintable(mtiToolResult_.describe()));                                \
        QVERIFY2(mtiToolResult_.succeeded(), qPrintable(mtiToolResult_.describe()));     \
    } while (false)

// Whether a Trash info file records `place` as where its item came from
// (what the file manager's Restore puts it back to).
bool trashInfoRecords(const QString &infoFile, const QString &place);

// How many file descriptors this process has open, asked of each number in
// turn (no /proc on macOS); numbers past 65,536 are not looked at.
int openDescriptorCount();

} // namespace TestSupport
