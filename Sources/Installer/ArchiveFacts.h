// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Installer/Receipt.h"
#include "Installer/TemplateTransaction.h"
#include "ZipArchive/ZipDirectory.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <atomic>
#include <future>
#include <memory>
#include <optional>
#include <vector>

// What an install's receipt says of its archive beyond the templates: the
// file's SHA-256, size and modification time, and the files the archive's
// directory holds for each template. The checksum is read on a worker
// beside the unpack, which reads the same file, so it costs the user no
// pass of its own; destroying the object stops and waits for the worker.
class ArchiveFacts
{
public:
    // Starts on `archive`; an unchanged file the root's receipt hashed
    // before (same path, size and time) takes the checksum from there.
    static std::unique_ptr<ArchiveFacts> start(const QString &archive, const QString &root,
                                               const QString &archiveTitle);
    ~ArchiveFacts();

    // The directory's entries, read on the caller's thread (a few
    // milliseconds); without them receipts list no files.
    void readEntries(const QString &archive) { _entries = ZipDirectory::read(archive, nullptr); }
    bool hasEntries() const { return _entries.has_value(); }
    // Entries (names as stored) that were not unpacked: receipts do not list them.
    void leaveOut(const QStringList &names);

    // Per template folder (relative source paths, "" for the top level),
    // its files as a receipt lists them; empty lists without entries.
    std::vector<std::vector<Receipt::File>> filesOf(const std::vector<QString> &sources) const;

    // The InstallRecord's completion for templates from these sources:
    // waits for the checksum (a cancel answers Error::cancelled()), then
    // fills in the archive's facts and each template's files. `facts` may
    // be null, and must outlive the install when not.
    static decltype(TemplateTransaction::InstallRecord::complete) completion(const ArchiveFacts *facts,
                                                                               std::vector<QString> sources);

private:
    ArchiveFacts() = default;
    void hashOnWorker(const QString &archive);

    std::atomic<bool> _cancelled{false};
    std::future<void> _work;
    // Written by the worker, read after `_work` is ready.
    QString _sha256;
    qint64 _size = -1;
    QDateTime _modified;
    std::optional<std::vector<ZipDirectory::Entry>> _entries;
};
