// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

// The record an install leaves in its destination root: what came from which
// archive. One JSON file per archive title in the root's hidden receipts
// folder, written in the install's own transaction, replaced by a
// re-install (earlier templates still installed that the new version lacks
// keep their entries) and trimmed or removed by an uninstall. A record, not
// a lock-in: templates without one are still found (origin unknown).
struct Receipt
{
    struct File
    {
        QString path;        // relative to the template folder, "/"-separated
        qint64 size = 0;
        quint32 crc32 = 0;
    };
    struct Template
    {
        quint64 templateType = 0;  // TemplateType
        QString category;          // as the collection shows it
        QString title;
        QString destination;       // relative to the root, no leading "/"
        std::vector<File> files;   // sorted by path
        // The template's document as the user hid it from Final Cut Pro's
        // browser (its `files` entry stays the archive's): verification
        // calls a document of these bytes hidden, not changed.
        std::optional<File> hidden;
    };

    QString archiveFileName;       // "LT_My_Pack.mtzip"
    QString archivePath;           // where the archive was when installed
    QString archiveTitle;          // "LT_My_Pack"
    QString archiveSha256;         // lower-case hex
    // The archive file as hashed: a re-install of the same, untouched file
    // takes its checksum from here instead of reading it again.
    qint64 archiveSize = -1;
    QDateTime archiveModified;     // UTC, milliseconds
    QDateTime installedAt;         // UTC
    QString installedBy;           // "Motion Template Installer 1.2.0" or "mtzip 1.2.0"
    std::vector<Template> templates;

    static QString folderName();   // ".receipts", in the root
    // Whether root's receipts folder is missing or a folder of its own (not
    // a link, nor a file): receipts are read and written only then.
    static bool folderIsOwn(const QString &root);
    // The receipt's path for an archive title in root. Titles equal in
    // composed Unicode form (NFC) are one archive and share it; any other
    // two titles get two names, also on a file system that ignores case:
    // the name is the composed title, with "%", "/", "\\", control
    // characters, all beyond ASCII and a leading "." percent-encoded (UTF-8),
    // followed by "~" and 16 hex digits of the title's SHA-256.
    static QString pathFor(const QString &root, const QString &archiveTitle);
    // Where the receipt of this archive title is: pathFor's name, or else
    // the name an earlier version gave it (the title with "/", "\\" and
    // control characters made "_"), when that file records this very title;
    // pathFor's name when neither is there.
    static QString existingPathFor(const QString &root, const QString &archiveTitle);

    QByteArray toJson() const;     // carries "version": 1
    // Null for bytes that are no receipt, or one that names a destination
    // outside the root.
    static std::optional<Receipt> fromJson(const QByteArray &bytes);
    // Only a regular file owned by this user or root, not a link, of at most
    // 64 MiB: others may write into the root, and a FIFO, a link to a
    // device or a huge file there must neither block nor fill the memory.
    static std::optional<Receipt> read(const QString &path);
    // Every readable receipt in root, by archive title; unreadable ones are
    // skipped with a diagnostic line.
    static std::vector<Receipt> readAll(const QString &root);
    // The receipt files in root (readable or not), by name.
    static QStringList paths(const QString &root);
    // Drops, from every receipt in root, the templates at these destinations
    // that are no longer installed; a receipt left with none goes. Each file
    // is replaced in one rename. The caller holds the root's lock.
    static void forgetRemoved(const QString &root, const QStringList &destinations);

    const Template *templateAt(const QString &destination) const;
    // This receipt's archive facts with one template only: what goes with
    // that template to the Trash (copying only it: receipts may list 10,000).
    Receipt holdingOnly(const Template &entry) const;
};
