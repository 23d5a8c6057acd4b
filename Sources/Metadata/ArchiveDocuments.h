// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Common/Expected.h"
#include "Metadata/TemplateDocument.h"
#include "ZipArchive/ZipEntryContents.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>


// The template documents of an archive, read straight from it: nothing is
// unpacked, each document is inflated up to the reader's bound only. Media a
// document references count as present when the archive holds them in the
// template's folder.
class ArchiveDocuments
{
public:
    // Opens the archive and reads its directory; the zip layer's error when
    // it cannot.
    [[nodiscard]] static Expected<std::unique_ptr<ArchiveDocuments>> open(const QString &archive);
    // Over an archive's entries read already (a listing's): no second read
    // of its directory.
    [[nodiscard]] static std::unique_ptr<ArchiveDocuments> over(std::unique_ptr<ZipEntryContents> contents);
    ~ArchiveDocuments();
    ArchiveDocuments(const ArchiveDocuments &) = delete;
    ArchiveDocuments &operator=(const ArchiveDocuments &) = delete;

    // The document of the template whose folder is `folder` in the archive
    // (a relative path as the scanner names it; empty for the top), chosen
    // as TemplateDocument::documentIn chooses on disk. Unreadable when the
    // folder holds none or its entry cannot be read.
    Expected<TemplateDocument> read(const QString &folder, TemplateDocument::Parts parts = TemplateDocument::Parts::Everything,
                                    qint64 maxBytes = TemplateDocument::DefaultMaxBytes);

    // read() of each folder, in order, with the same answers: this thread
    // reads the documents' entries while others inflate and parse those
    // read before, in bounded batches (a few hundred documents, some tens of
    // MiB at most).
    std::vector<Expected<TemplateDocument>> readAll(const QStringList &folders,
                                                    TemplateDocument::Parts parts = TemplateDocument::Parts::Everything,
                                                    qint64 maxBytes = TemplateDocument::DefaultMaxBytes);

    // Of the names of a folder's files, the document's: one with a template
    // extension named after the folder, else the first such in name order;
    // empty when there is none.
    static QString documentName(QStringList names, const QString &folderName);

private:
    // A document's entry as read from the archive (ZipEntryContents::take),
    // or why there is none.
    struct Fetched
    {
        std::optional<Expected<TemplateDocument>> failed;
        std::optional<ZipEntryContents::Taken> taken;
        QString prefix;  // the template's folder in the archive, with its slash
        qint64 size() const;
    };
    Fetched fetch(const QString &folder, qint64 maxBytes) const;
    // Inflates, parses and judges the media: touches nothing but the
    // directory's lookups, so several may run at once.
    Expected<TemplateDocument> finish(Fetched &&fetched, TemplateDocument::Parts parts) const;

    explicit ArchiveDocuments(std::unique_ptr<ZipEntryContents> contents);
    std::unique_ptr<ZipEntryContents> _contents;
};
