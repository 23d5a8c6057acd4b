// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Metadata/ProjectCollect.h"

#include "Common/FileNames.h"
#include "Common/FileOperations.h"
#include "Common/ProgressListener.h"
#include "ZipArchive/ZipArchive.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryFile>

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace ProjectCollect {

namespace {

// One template folder to write: where it is read, and its name in the zip.
struct Source
{
    QString folder;  // the template folder as found on disk
    QString name;    // "Titles.localized/ZT Lower Thirds/LT_Name"
    QString root;
};

// One entry of the zip: a file, or a folder (name ending in "/").
struct Entry
{
    QString path;
    QString name;
    qint64 size = 0;
};

// The template folder when it lies beneath its root: the folders on the way
// opened from the root with only the user's own links followed (a kind
// folder moved to a larger disk and linked back), never someone else's,
// and the template folder itself no link at all.
QString folderBeneath(const QString &root, const QString &relative)
{
    std::error_code ec;
    const FileOperations::FileDescriptor rootFolder = FileOperations::openFolder(root, ec);
    if (!rootFolder.isValid())
        return {};
    const FileOperations::FileDescriptor parent = FileOperations::openFolderBeneath(
        rootFolder.get(), relative.section(QLatin1Char('/'), 0, -2), ec, FileOperations::LinksOnTheWay::FollowOwn);
    if (!parent.isValid())
        return {};
    const FileOperations::FileDescriptor folder = FileOperations::openSubfolder(
        parent.get(), QFile::encodeName(relative.section(QLatin1Char('/'), -1)).constData(), ec);
    if (!folder.isValid())
        return {};
    return QFileInfo(QDir(root).filePath(relative)).canonicalFilePath();
}

// Every folder and regular file below the template folder, links left out
// (and named in `links`): nothing is followed out of it.
void listFolder(const Source &source, std::vector<Entry> &entries, QStringList &links)
{
    entries.push_back({source.folder, source.name + QLatin1Char('/'), 0});
    QDirIterator it(source.folder, QDir::Files | QDir::Dirs | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    std::vector<Entry> below;
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info = it.fileInfo();
        const QString name = source.name + QLatin1Char('/') + QDir(source.folder).relativeFilePath(path);
        if (info.isSymLink())
            links.append(name);
        else if (info.isDir())
            below.push_back({path, name + QLatin1Char('/'), 0});
        else if (info.isFile())
            below.push_back({path, name, info.size()});
        // FIFOs, sockets and devices are no part of a template.
    }
    std::sort(below.begin(), below.end(), [](const Entry &a, const Entry &b) { return a.name < b.name; });
    entries.insert(entries.end(), below.begin(), below.end());
}

// The folders above a template folder ("Titles.localized/", "Titles.localized/ZT Lower Thirds/"),
// each once in the zip, as zip -r writes them.
void addParents(const Source &source, QSet<QString> &written, std::vector<Entry> &entries)
{
    const QStringList parts = source.name.split(QLatin1Char('/'));
    QString name;
    for (qsizetype i = 0; i + 1 < parts.size(); ++i) {
        name += parts.at(i) + QLatin1Char('/');
        if (written.contains(name))
            continue;
        written.insert(name);
        entries.push_back({QDir(source.root).filePath(name), name, 0});
    }
}

Error failure(const QString &what, int code = EIO)
{
    return Error(Error::PosixDomain, code, what);
}

} // namespace

Result collect(const ProjectDocument &project, const Request &request, ProgressListener *progress)
{
    Result result;
    result.refused = project.refused;

    // Each template folder once, whichever root and however often it is used.
    std::vector<Source> sources;
    QSet<QString> seen;
    for (const ProjectDocument::Template &t : project.templates) {
        const QString root =
            t.location.root == ProjectDocument::Root::User ? request.userRoot : request.allUsersRoot;
        const QString name = t.location.folder();
        if (seen.contains(FileNames::comparable(name)))
            continue;
        const QString folder = root.isEmpty() ? QString() : folderBeneath(root, name);
        const QFileInfo document(QDir(folder).filePath(QFileInfo(t.location.relativePath).fileName()));
        if (folder.isEmpty() || !document.isFile() || document.isSymLink()) {
            result.missing.push_back(t);
            continue;
        }
        seen.insert(FileNames::comparable(name));
        sources.push_back({folder, name, root});
    }
    std::sort(sources.begin(), sources.end(), [](const Source &a, const Source &b) { return a.name < b.name; });

    std::vector<Entry> entries;
    QSet<QString> parents;
    for (const Source &source : sources) {
        addParents(source, parents, entries);
        listFolder(source, entries, result.skippedLinks);
        result.collected.append(source.name);
    }
    qint64 total = 0;
    for (const Entry &entry : entries)
        total += entry.size;

    // Written beside its name and renamed when whole: a failure or a cancel
    // leaves no half zip, and an older zip of that name stays until then.
    const QFileInfo output(request.output);
    QTemporaryFile partial(output.absolutePath() + QStringLiteral("/.") + output.fileName() + QStringLiteral(".XXXXXX"));
    if (!output.absoluteDir().exists() || output.isDir() || !partial.open()) {
        result.error = failure(QStringLiteral("cannot write \"%1\"").arg(request.output), ENOENT);
        return result;
    }
    partial.close();

    ZipArchive zip;
    if (!zip.CreateZipFile2(partial.fileName())) {
        result.error = failure(QStringLiteral("cannot create \"%1\"").arg(request.output));
        return result;
    }
    // zip -r's own level: about its size, in much less time than level 9;
    // and each file read once, as the zip is written, not copied aside first.
    // A template changed meanwhile fails the collect rather than mix times.
    zip.setCompressionLevel(6);
    zip.setReadsFilesAtClose(true);
    qint64 done = 0;
    for (const Entry &entry : entries) {
        const bool isFolder = entry.name.endsWith(QLatin1Char('/'));
        if (progress)
            progress->setCurrentItem(entry.name.section(QLatin1Char('/'), 2, 2));
        const bool added = isFolder ? zip.addFolderToZip(entry.path, entry.name.chopped(1))
                                    : zip.addFileToZip(entry.path, entry.name);
        if (!added) {
            zip.discardZipFile();
            result.error = failure(QStringLiteral("cannot read \"%1\"").arg(entry.path));
            return result;
        }
        if (!isFolder) {
            done += entry.size;
            ++result.files;
        }
        if (progress && !progress->progress(done, total)) {
            zip.discardZipFile();
            result.error = Error::cancelled();
            return result;
        }
    }
    if (!zip.CloseZipFile2()) {
        result.error = failure(QStringLiteral("cannot write \"%1\"").arg(request.output));
        return result;
    }
    // Readable by others, as zip -r leaves its archive: it is meant to be passed on.
    static_cast<void>(QFile::setPermissions(partial.fileName(),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther));
    if (std::rename(QFile::encodeName(partial.fileName()).constData(), QFile::encodeName(output.absoluteFilePath()).constData()) != 0) {
        result.error = Error::fromErrorCode(std::error_code(errno, std::generic_category()), request.output);
        return result;
    }
    partial.setAutoRemove(false);
    result.bytes = total;
    return result;
}

} // namespace ProjectCollect
