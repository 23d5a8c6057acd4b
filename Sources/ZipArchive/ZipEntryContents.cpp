// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "ZipArchive/ZipEntryContents.h"

#include "ZipArchive/ZipArchive.h"
#include "ZipArchive/ZipEntryName.h"
#include "ZipArchive/ZipHandles.h"
#include "ZipArchive/ZipReader.h"

#include <algorithm>

namespace {

Error zipError(ZipError::Code code, const QString &detail)
{
    return *ZipError{code, detail}.toError();
}

Error faultError(const ZipFault &fault)
{
    return zipError(fault.code == ZipError::None ? ZipError::NotAZip : fault.code,
                    fault.detail.isEmpty() ? fault.generic : fault.detail);
}

} // namespace

ZipEntryContents::ZipEntryContents(std::unique_ptr<ZipReader> reader) : _reader(std::move(reader)) {}

ZipEntryContents::~ZipEntryContents() = default;

Expected<std::unique_ptr<ZipEntryContents>> ZipEntryContents::open(const QString &zipFile)
{
    ZipFault fault;
    std::unique_ptr<ZipReader> reader = ZipReader::open(zipFile, &fault);
    if (!reader || !reader->load(&fault))
        return faultError(fault);
    return over(std::move(reader));
}

std::unique_ptr<ZipEntryContents> ZipEntryContents::over(std::unique_ptr<ZipReader> reader)
{
    std::unique_ptr<ZipEntryContents> contents(new ZipEntryContents(std::move(reader)));
    const ZipReader &loaded = *contents->_reader;
    contents->_files.reserve(qsizetype(loaded.count()));
    for (zip_uint64_t index = 0; index < loaded.count(); ++index) {
        const ZipReader::Entry &entry = loaded.entry(index);
        const QString name = loaded.name(index);
        if (entry.valid == 0 || ZipReader::isFolder(name, entry))
            continue;
        const std::optional<QString> path = safeRelativeEntryPath(name);
        if (!path || path->isEmpty())
            continue;
        // Of two entries with one path the later counts.
        if (!contents->_files.contains(*path)) {
            const qsizetype slash = path->lastIndexOf(QLatin1Char('/'));
            contents->_folders[slash < 0 ? QString() : path->left(slash)].append(path->mid(slash + 1));
        }
        contents->_files.insert(*path, index);
    }
    return contents;
}

Expected<ZipEntryContents::Contents> ZipEntryContents::read(const QString &relativePath, qint64 maxBytes)
{
    const auto found = _files.constFind(relativePath);
    if (found == _files.cend())
        return zipError(ZipError::NotFound, QStringLiteral("No file %1 in the archive").arg(relativePath));
    const zip_uint64_t index = *found;
    zip_uint64_t indexInArchive = 0;
    QString problem;
    zip_t *archive = _reader->archiveFor(index, &indexInArchive, &problem);
    if (!archive)
        return zipError(ZipError::NotAZip, problem);
    ZipHandles::FilePtr file(zip_fopen_index(archive, indexInArchive, 0));
    if (!file) {
        const int code = zip_error_code_zip(zip_get_error(archive));
        const ZipError::Code mapped = code == ZIP_ER_NOPASSWD ? ZipError::PasswordNeeded
            : code == ZIP_ER_COMPNOTSUPP || code == ZIP_ER_ENCRNOTSUPP ? ZipError::Unsupported
                                                                       : ZipError::Damaged;
        return zipError(mapped, QString::fromUtf8(zip_strerror(archive)));
    }

    Contents contents;
    const zip_uint64_t stated = _reader->entry(index).size;
    const qint64 bound = std::max<qint64>(0, maxBytes);
    // Room for what the directory states, within the bound; an entry that
    // holds more than it states grows the buffer up to the bound only.
    contents.bytes.resize(qsizetype(std::min<zip_uint64_t>(stated, zip_uint64_t(bound))));
    qsizetype filled = 0;
    for (;;) {
        if (filled == contents.bytes.size()) {
            if (filled >= bound)
                break;
            contents.bytes.resize(qsizetype(std::min<qint64>(bound, std::max<qint64>(filled * 2, 4096))));
        }
        const zip_int64_t got = zip_fread(file.get(), contents.bytes.data() + filled, zip_uint64_t(contents.bytes.size() - filled));
        if (got < 0)
            return zipError(ZipError::Damaged, QString::fromUtf8(zip_file_strerror(file.get())));
        if (got == 0) {
            // The end: libzip has checked the CRC on the way.
            contents.bytes.truncate(filled);
            return contents;
        }
        filled += qsizetype(got);
    }
    // At the bound: one byte more says whether there was more to read.
    char more = 0;
    const zip_int64_t got = zip_fread(file.get(), &more, 1);
    if (got < 0)
        return zipError(ZipError::Damaged, QString::fromUtf8(zip_file_strerror(file.get())));
    if (got == 0)
        return contents;
    contents.truncated = true;
    return contents;
}
