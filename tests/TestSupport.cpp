// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "TestSupport.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>
#include <QTest>

#include <algorithm>

#include <fcntl.h>
#include <unistd.h>

#if defined(Q_OS_LINUX)
#include <linux/fs.h>
#include <sys/ioctl.h>
#endif

namespace TestSupport {

bool writeFile(const QString &path, const QByteArray &contents)
{
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(contents) == contents.size();
}

void writeFileOrFail(const QString &path, const QByteArray &contents)
{
    QVERIFY2(writeFile(path, contents), qPrintable(QStringLiteral("cannot write ") + path));
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList entryNames(const QString &folder, QDir::SortFlags sort)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, sort);
}

bool setImmutable(const QString &path, bool immutable)
{
#if defined(Q_OS_LINUX)
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    int flags = 0;
    bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (done) {
        flags = immutable ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        done = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return done;
#else
    Q_UNUSED(path);
    Q_UNUSED(immutable);
    return false;
#endif
}

QStringList treeDigest(const QString &root)
{
    QStringList lines;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info(path);
        QString line = info.filePath().mid(root.size() + 1) + QLatin1Char('\t');
        line += QString::number(int(info.permissions()), 16) + QLatin1Char('\t');
        if (info.isSymLink()) {
            line += QStringLiteral("link ") + info.symLinkTarget();
        } else if (info.isDir()) {
            line += QStringLiteral("folder");
        } else {
            QFile file(path);
            QCryptographicHash hash(QCryptographicHash::Sha256);
            if (file.open(QIODevice::ReadOnly))
                hash.addData(&file);
            line += QStringLiteral("file ") + QString::fromLatin1(hash.result().toHex());
        }
        lines.append(line);
    }
    lines.sort();
    return lines;
}

QStringList strings(std::initializer_list<const char *> items)
{
    QStringList list;
    for (const char *item : items)
        list << QString::fromUtf8(item);
    return list;
}

QUrl urlOf(const QString &path)
{
    return QUrl::fromLocalFile(path);
}

QList<QUrl> urlsOf(const QStringList &paths)
{
    QList<QUrl> urls;
    for (const QString &path : paths)
        urls.append(urlOf(path));
    return urls;
}

QRegularExpression diagnostic(const QString &message)
{
    return QRegularExpression(QStringLiteral("^'%1' in .* line \\d+$").arg(QRegularExpression::escape(message)));
}

QString ToolResult::describe() const
{
    if (missing)
        return QStringLiteral("\"%1\" is not installed (scripts/install-deps.sh installs it)")
            .arg(command.section(QLatin1Char(' '), 0, 0));
    if (!started)
        return QStringLiteral("could not run \"%1\": is the tool installed? (scripts/install-deps.sh installs it)")
            .arg(command);
    return QStringLiteral("\"%1\" exited with %2; stdout: %3; stderr: %4")
        .arg(command)
        .arg(exitCode)
        .arg(QString::fromLocal8Bit(out.left(2000)), QString::fromLocal8Bit(err.left(2000)));
}

bool isInstalled(const QString &program)
{
    return !QStandardPaths::findExecutable(program).isEmpty();
}

ToolResult runTool(const QString &program, const QStringList &arguments, const QString &workingDirectory)
{
    ToolResult result;
    result.command = (QStringList{program} + arguments).join(QLatin1Char(' '));
    const QString executable = QStandardPaths::findExecutable(program);
    if (executable.isEmpty()) {
        result.missing = true;
        return result;
    }

    QProcess process;
    process.setProgram(executable);
    process.setArguments(arguments);
    if (!workingDirectory.isEmpty())
        process.setWorkingDirectory(workingDirectory);
    process.start();
    if (!process.waitForStarted(10000))
        return result;
    process.closeWriteChannel();
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        result.started = true;
        result.err = "timed out";
        return result;
    }
    result.started = true;
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

ToolResult runPython(const QString &script, const QStringList &arguments, const QString &workingDirectory)
{
    ToolResult result = runTool(QStringLiteral("python3"), QStringList{QStringLiteral("-c"), script} + arguments,
                                workingDirectory);
    // The script itself makes the command line unreadable; name its arguments only.
    result.command = QStringLiteral("python3 -c <script> ") + arguments.join(QLatin1Char(' '));
    return result;
}

bool trashInfoRecords(const QString &infoFile, const QString &place)
{
    const QByteArray wanted = QByteArray("\nPath=") + QUrl::toPercentEncoding(place, "/") + QByteArray("\n");
    return readFile(infoFile).contains(wanted);
}

int openDescriptorCount()
{
    const long limit = std::min(::sysconf(_SC_OPEN_MAX), 65536L);
    int open = 0;
    for (int fd = 0; fd < limit; ++fd)
        open += ::fcntl(fd, F_GETFD) != -1 ? 1 : 0;
    return open;
}

} // namespace TestSupport
