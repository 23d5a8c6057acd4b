// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "ZipArchive/ZipEntryContents.h"

#include "ZipArchive/ZipArchive.h"
#include "ZipArchive/ZipEntryInflater.h"
#include "ZipArchive/ZipEntryName.h"
#include "ZipArchive/ZipHandles.h"
#include "ZipArchive/ZipReader.h"

#ifdef MTI_HAVE_LIBDEFLATE
#include <libdeflate.h>
#endif

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

namespace {

// The first `maxBytes` of an entry through `readSome` (zip_fread's contract:
// 0 at the end, which comes after the CRC was checked; -1 on a fault, which
// `problem` then tells).
template <typename ReadSome, typename Problem>
Expected<ZipEntryContents::Contents> readBounded(zip_uint64_t stated, qint64 maxBytes, ReadSome readSome, Problem problem)
{
    ZipEntryContents::Contents contents;
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
        const zip_int64_t got = readSome(contents.bytes.data() + filled, size_t(contents.bytes.size() - filled));
        if (got < 0)
            return zipError(ZipError::Damaged, problem());
        if (got == 0) {
            contents.bytes.truncate(filled);
            return contents;
        }
        filled += qsizetype(got);
    }
    // At the bound: one byte more says whether there was more to read.
    char more = 0;
    const zip_int64_t got = readSome(&more, 1);
    if (got < 0)
        return zipError(ZipError::Damaged, problem());
    contents.truncated = got > 0;
    return contents;
}

} // namespace

Expected<ZipEntryContents::Contents> ZipEntryContents::read(const QString &relativePath, qint64 maxBytes)
{
    const auto found = _files.constFind(relativePath);
    if (found == _files.cend())
        return zipError(ZipError::NotFound, QStringLiteral("No file %1 in the archive").arg(relativePath));
    return readIndex(*found, maxBytes, false);
}

Expected<ZipEntryContents::Taken> ZipEntryContents::take(const QString &relativePath, qint64 maxBytes)
{
    const auto found = _files.constFind(relativePath);
    if (found == _files.cend())
        return zipError(ZipError::NotFound, QStringLiteral("No file %1 in the archive").arg(relativePath));
    const ZipReader::Entry &entry = _reader->entry(*found);
    constexpr zip_uint16_t needed = ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE | ZIP_STAT_CRC | ZIP_STAT_COMP_METHOD | ZIP_STAT_ENCRYPTION_METHOD;
    // Deflated data need not be much longer than what they inflate to: data
    // that are (empty blocks, say) are left to the streaming read, which
    // stops at the bound.
    const zip_uint64_t rawBound = zip_uint64_t(std::max<qint64>(0, maxBytes)) + zip_uint64_t(maxBytes / 8) + 65536;
    Taken taken;
    taken.crc = entry.crc;
    taken.size = entry.size;
    taken.maxBytes = maxBytes;
    if ((entry.valid & needed) == needed && entry.compressionMethod == ZIP_CM_DEFLATE
        && entry.encryptionMethod == ZIP_EM_NONE && entry.compressedSize <= rawBound) {
        Expected<Contents> raw = readIndex(*found, qint64(entry.compressedSize), true);
        if (raw) {
            taken.deflated = std::move(raw->bytes);
            return taken;
        }
        // The stated compressed size runs past the archive's end, say: the
        // stream itself may still end before, as reading it inflated finds
        // out.
    }
    Expected<Contents> contents = readIndex(*found, maxBytes, false);
    if (!contents)
        return contents.error();
    taken.contents = std::move(*contents);
    return taken;
}

Expected<ZipEntryContents::Contents> ZipEntryContents::inflate(Taken &&taken)
{
    if (taken.contents)
        return std::move(*taken.contents);
#ifdef MTI_HAVE_LIBDEFLATE
    // An entry within the bound inflates in one call into the size it
    // states, twice as fast as zlib; one holding more than it states goes
    // the bounded way below.
    if (taken.size <= zip_uint64_t(std::max<qint64>(0, taken.maxBytes))) {
        thread_local const std::unique_ptr<libdeflate_decompressor, void (*)(libdeflate_decompressor *)> decompressor(
            libdeflate_alloc_decompressor(), libdeflate_free_decompressor);
        Contents contents;
        contents.bytes.resize(qsizetype(taken.size));
        size_t consumed = 0;
        size_t produced = 0;
        const libdeflate_result result = !decompressor ? LIBDEFLATE_INSUFFICIENT_SPACE
            : libdeflate_deflate_decompress_ex(decompressor.get(), taken.deflated.constData(), size_t(taken.deflated.size()),
                                               contents.bytes.data(), size_t(contents.bytes.size()), &consumed, &produced);
        if (result == LIBDEFLATE_SUCCESS) {
            contents.bytes.truncate(qsizetype(produced));
            if (libdeflate_crc32(0, contents.bytes.constData(), produced) != taken.crc)
                return zipError(ZipError::Damaged, ZipHandles::errorText(ZIP_ER_CRC));
            return contents;
        }
        if (result != LIBDEFLATE_INSUFFICIENT_SPACE)
            return zipError(ZipError::Damaged, ZipHandles::errorText(ZIP_ER_COMPRESSED_DATA));
    }
#endif
    ZipEntryInflater inflater(std::move(taken.deflated), taken.crc);
    return readBounded(
        taken.size, taken.maxBytes, [&](char *data, size_t length) { return inflater.read(data, length); },
        [&] { return inflater.problem(); });
}

Expected<ZipEntryContents::Contents> ZipEntryContents::readIndex(zip_uint64_t index, qint64 maxBytes, bool compressed)
{
    zip_uint64_t indexInArchive = 0;
    QString problem;
    zip_t *archive = _reader->archiveFor(index, &indexInArchive, &problem);
    if (!archive)
        return zipError(ZipError::NotAZip, problem);
    ZipHandles::FilePtr file(zip_fopen_index(archive, indexInArchive, compressed ? ZIP_FL_COMPRESSED : 0));
    if (!file) {
        const int code = zip_error_code_zip(zip_get_error(archive));
        const ZipError::Code mapped = code == ZIP_ER_NOPASSWD ? ZipError::PasswordNeeded
            : code == ZIP_ER_COMPNOTSUPP || code == ZIP_ER_ENCRNOTSUPP ? ZipError::Unsupported
                                                                       : ZipError::Damaged;
        return zipError(mapped, QString::fromUtf8(zip_strerror(archive)));
    }
    const zip_uint64_t stated = compressed ? _reader->entry(index).compressedSize : _reader->entry(index).size;
    return readBounded(
        stated, maxBytes, [&](char *data, size_t length) { return zip_fread(file.get(), data, length); },
        [&] { return QString::fromUtf8(zip_file_strerror(file.get())); });
}
