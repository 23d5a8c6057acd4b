// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Metadata/ArchiveDocuments.h"

#include "Installer/TemplateType.h"
#include "Metadata/XmlLimits.h"
#include "ZipArchive/ZipEntryContents.h"

#include <QFileInfo>

#include <algorithm>

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

Expected<TemplateDocument> ArchiveDocuments::read(const QString &folder, TemplateDocument::Parts parts, qint64 maxBytes)
{
    const QString inArchive = folder.startsWith(QLatin1Char('/')) ? folder.mid(1) : folder;
    const QString name = documentName(_contents->filesIn(inArchive), inArchive.section(QLatin1Char('/'), -1));
    if (name.isEmpty())
        return DocumentError::make(DocumentError::Unreadable);
    const QString prefix = inArchive.isEmpty() ? QString() : inArchive + QLatin1Char('/');
    const Expected<ZipEntryContents::Contents> bytes = _contents->read(prefix + name, maxBytes);
    if (!bytes)
        return DocumentError::make(DocumentError::Unreadable, bytes.error().localizedDescription());
    Expected<TemplateDocument> document = TemplateDocument::parseCut(bytes->bytes, bytes->truncated, parts);
    if (!document)
        return document;
    // Without a folder on disk the reader left what lies below the template
    // unjudged: the archive's directory says whether it is there.
    for (TemplateDocument::Media &media : document->media) {
        if (media.state == TemplateDocument::MediaState::Unknown && !media.relativePath.isEmpty())
            media.state = _contents->contains(prefix + media.relativePath) ? TemplateDocument::MediaState::Present
                                                                          : TemplateDocument::MediaState::Missing;
    }
    return document;
}
