// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Installer/ArchiveFacts.h"

#include "Common/LogCategories.h"
#include "Installer/Sha256.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <algorithm>
#include <chrono>

namespace {

// Every folder above the entry's path, nearest first, with the name below
// it: "/a/b/f" gives ("/a/b", "f"), ("/a", "b/f"), ("", "a/b/f").
template<typename Visit>
void forEachFolderAbove(const QString &path, bool withTopLevel, Visit visit)
{
    for (qsizetype slash = path.lastIndexOf(QLatin1Char('/')); slash >= 0;
         slash = slash > 0 ? path.lastIndexOf(QLatin1Char('/'), slash - 1) : -1) {
        const QString folder = path.left(slash);
        if (folder.isEmpty() && !withTopLevel)
            break;
        visit(folder, path.mid(slash + 1));
    }
}

std::vector<Receipt::File> sortedByPath(const QHash<QString, Receipt::File> &files)
{
    std::vector<Receipt::File> list;
    list.reserve(size_t(files.size()));
    for (const Receipt::File &file : files)
        list.push_back(file);
    // Receipts compare names as bytes, as every other listing does.
    std::sort(list.begin(), list.end(),
              [](const Receipt::File &a, const Receipt::File &b) { return a.path.toUtf8() < b.path.toUtf8(); });
    return list;
}

// Nested templates lie in their parents' folders too: a file counts for
// every template folder above it.
std::vector<std::vector<Receipt::File>> filesOfTemplates(const std::vector<ZipDirectory::Entry> &entries,
                                                         const std::vector<QString> &sources)
{
    QHash<QString, std::vector<size_t>> byFolder;
    bool topLevel = false;
    for (size_t i = 0; i < sources.size(); ++i) {
        byFolder[sources[i]].push_back(i);
        topLevel = topLevel || sources[i].isEmpty();
    }
    std::vector<QHash<QString, Receipt::File>> files(sources.size());
    for (const ZipDirectory::Entry &entry : entries) {
        if (entry.isDirectory || entry.relativePath.isEmpty())
            continue;
        const QString path = QLatin1Char('/') + entry.relativePath;
        // Removed after unpacking, as the scan never sees it.
        if (path.startsWith(QLatin1String("/__MACOSX/")))
            continue;
        forEachFolderAbove(path, topLevel, [&](const QString &folder, const QString &name) {
            const auto it = byFolder.constFind(folder);
            if (it == byFolder.cend())
                return;
            // A name stored twice is unpacked twice: the last one stays.
            for (size_t index : *it)
                files[index].insert(name, {name, qint64(entry.size), entry.crc32});
        });
    }
    std::vector<std::vector<Receipt::File>> lists;
    lists.reserve(sources.size());
    for (const QHash<QString, Receipt::File> &folderFiles : files)
        lists.push_back(sortedByPath(folderFiles));
    return lists;
}

} // namespace

std::unique_ptr<ArchiveFacts> ArchiveFacts::start(const QString &archive, const QString &root,
                                                  const QString &archiveTitle)
{
    std::unique_ptr<ArchiveFacts> facts(new ArchiveFacts);
    const QFileInfo file(archive);
    facts->_size = file.size();
    facts->_modified = file.lastModified().toUTC();
    const std::optional<Receipt> earlier = Receipt::read(Receipt::existingPathFor(root, archiveTitle));
    if (earlier && !earlier->archiveSha256.isEmpty() && earlier->archivePath == file.absoluteFilePath()
        && earlier->archiveSize == facts->_size && earlier->archiveModified.isValid()
        && earlier->archiveModified.toMSecsSinceEpoch() == facts->_modified.toMSecsSinceEpoch()) {
        facts->_sha256 = earlier->archiveSha256;
        return facts;
    }
    facts->hashOnWorker(archive);
    return facts;
}

void ArchiveFacts::hashOnWorker(const QString &archive)
{
    _work = std::async(std::launch::async, [this, archive] {
        QFile file(archive);
        if (!file.open(QIODevice::ReadOnly))
            return;
        Sha256 hash;
        QByteArray buffer(1 << 20, Qt::Uninitialized);
        while (!_cancelled) {
            const qint64 count = file.read(buffer.data(), buffer.size());
            if (count < 0)
                return;
            if (count == 0) {
                _sha256 = hash.hexResult();
                return;
            }
            hash.addData(buffer.constData(), count);
        }
    });
}

ArchiveFacts::~ArchiveFacts()
{
    _cancelled = true;
    if (_work.valid())
        _work.wait();
}

void ArchiveFacts::leaveOut(const QStringList &names)
{
    if (!_entries || names.isEmpty())
        return;
    std::erase_if(*_entries, [&names](const ZipDirectory::Entry &entry) { return names.contains(entry.name); });
}

std::vector<std::vector<Receipt::File>> ArchiveFacts::filesOf(const std::vector<QString> &sources) const
{
    if (!_entries)
        return std::vector<std::vector<Receipt::File>>(sources.size());
    return filesOfTemplates(*_entries, sources);
}

decltype(TemplateTransaction::InstallRecord::complete) ArchiveFacts::completion(const ArchiveFacts *facts,
                                                                                  std::vector<QString> sources)
{
    return [facts, sources = std::move(sources)](Receipt &receipt,
                                                 const std::function<bool()> &goOn) -> std::optional<Error> {
        if (!facts)
            return std::nullopt;
        const std::future<void> &work = facts->_work;
        while (work.valid() && work.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
            if (!goOn())
                return Error::cancelled();
        }
        receipt.archiveSha256 = facts->_sha256;
        receipt.archiveSize = facts->_size;
        receipt.archiveModified = facts->_modified;
        if (!facts->_entries) {
            qCWarning(lcInstall).noquote() << "the receipt of" << receipt.archiveTitle << "lists no files:"
                                           << "the archive's directory could not be read again";
            return std::nullopt;
        }
        std::vector<std::vector<Receipt::File>> files = filesOfTemplates(*facts->_entries, sources);
        for (size_t i = 0; i < files.size(); ++i)
            receipt.templates[i].files = std::move(files[i]);
        return std::nullopt;
    };
}
