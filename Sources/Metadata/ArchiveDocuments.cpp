// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Metadata/ArchiveDocuments.h"

#include "Installer/TemplateType.h"
#include "Metadata/XmlLimits.h"
#include "ZipArchive/ZipEntryContents.h"

#include <QFileInfo>

#include <algorithm>
#include <future>
#include <thread>
#include <utility>

ArchiveDocuments::ArchiveDocuments(std::unique_ptr<ZipEntryContents> contents) : _contents(std::move(contents)) {}

ArchiveDocuments::~ArchiveDocuments() = default;

Expected<std::unique_ptr<ArchiveDocuments>> ArchiveDocuments::open(const QString &archive)
{
    Expected<std::unique_ptr<ZipEntryContents>> contents = ZipEntryContents::open(archive);
    if (!contents)
        return contents.error();
    return over(std::move(*contents));
}

std::unique_ptr<ArchiveDocuments> ArchiveDocuments::over(std::unique_ptr<ZipEntryContents> contents)
{
    return std::unique_ptr<ArchiveDocuments>(new ArchiveDocuments(std::move(contents)));
}

QString ArchiveDocuments::documentName(QStringList names, const QString &folderName)
{
    std::sort(names.begin(), names.end());
    QString first;
    for (const QString &name : std::as_const(names)) {
        if (TemplateType::forFileName(name) == 0 || name.startsWith(QLatin1Char('.')))
            continue;
        if (QFileInfo(name).completeBaseName() == folderName)
            return name;
        if (first.isEmpty())
            first = name;
    }
    return first;
}

ArchiveDocuments::Fetched ArchiveDocuments::fetch(const QString &folder, qint64 maxBytes) const
{
    Fetched fetched;
    const QString inArchive = folder.startsWith(QLatin1Char('/')) ? folder.mid(1) : folder;
    const QString name = documentName(_contents->filesIn(inArchive), inArchive.section(QLatin1Char('/'), -1));
    if (name.isEmpty()) {
        fetched.failed = DocumentError::make(DocumentError::Unreadable);
        return fetched;
    }
    fetched.prefix = inArchive.isEmpty() ? QString() : inArchive + QLatin1Char('/');
    Expected<ZipEntryContents::Taken> taken = _contents->take(fetched.prefix + name, maxBytes);
    if (!taken) {
        fetched.failed = DocumentError::make(DocumentError::Unreadable, taken.error().localizedDescription());
        return fetched;
    }
    fetched.taken = std::move(*taken);
    return fetched;
}

qint64 ArchiveDocuments::Fetched::size() const
{
    return taken ? taken->deflated.size() + (taken->contents ? taken->contents->bytes.size() : 0) : 0;
}

Expected<TemplateDocument> ArchiveDocuments::finish(Fetched &&fetched, TemplateDocument::Parts parts) const
{
    if (fetched.failed)
        return std::move(*fetched.failed);
    const Expected<ZipEntryContents::Contents> bytes = ZipEntryContents::inflate(std::move(*fetched.taken));
    if (!bytes)
        return DocumentError::make(DocumentError::Unreadable, bytes.error().localizedDescription());
    Expected<TemplateDocument> document = TemplateDocument::parseCut(bytes->bytes, bytes->truncated, parts);
    if (!document)
        return document;
    // Without a folder on disk the reader left what lies below the template
    // unjudged: the archive's directory says whether it is there.
    for (TemplateDocument::Media &media : document->media) {
        if (media.state == TemplateDocument::MediaState::Unknown && !media.relativePath.isEmpty())
            media.state = _contents->contains(fetched.prefix + media.relativePath) ? TemplateDocument::MediaState::Present
                                                                                  : TemplateDocument::MediaState::Missing;
    }
    return document;
}

Expected<TemplateDocument> ArchiveDocuments::read(const QString &folder, TemplateDocument::Parts parts, qint64 maxBytes)
{
    return finish(fetch(folder, maxBytes), parts);
}

std::vector<Expected<TemplateDocument>> ArchiveDocuments::readAll(const QStringList &folders, TemplateDocument::Parts parts,
                                                                  qint64 maxBytes)
{
    // Reading the archive is one file position, so one thread; parsing is
    // most of the time and needs only the bytes.
    constexpr size_t BatchDocuments = 256;
    constexpr qint64 BatchBytes = qint64(32) << 20;
    const unsigned workers = std::clamp(std::thread::hardware_concurrency(), 1u, 4u);
    std::vector<std::optional<Expected<TemplateDocument>>> results(size_t(folders.size()));
    using Batch = std::vector<std::pair<size_t, Fetched>>;
    std::vector<std::future<void>> parsing;
    const auto waitForParsing = [&parsing] {
        for (std::future<void> &task : parsing)
            task.get();
        parsing.clear();
    };
    auto batch = std::make_shared<Batch>();
    qint64 batchBytes = 0;
    for (qsizetype i = 0; i < folders.size(); ++i) {
        Fetched fetched = fetch(folders.at(i), maxBytes);
        batchBytes += fetched.size();
        batch->emplace_back(size_t(i), std::move(fetched));
        if (batch->size() < BatchDocuments && batchBytes < BatchBytes && i + 1 < folders.size())
            continue;
        // One batch parses while the next is read: two at most in memory.
        waitForParsing();
        for (unsigned w = 0; w < workers; ++w) {
            parsing.push_back(std::async(std::launch::async, [this, parts, batch, w, workers, &results] {
                for (size_t k = w; k < batch->size(); k += workers)
                    results[(*batch)[k].first] = finish(std::move((*batch)[k].second), parts);
            }));
        }
        batch = std::make_shared<Batch>();
        batchBytes = 0;
    }
    waitForParsing();
    std::vector<Expected<TemplateDocument>> documents;
    documents.reserve(results.size());
    for (std::optional<Expected<TemplateDocument>> &result : results)
        documents.push_back(std::move(*result));
    return documents;
}
