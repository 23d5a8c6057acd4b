// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "ZipArchive/ZipReader.h"

#include "Common/LogCategories.h"
#include "ZipArchive/ZipEntryName.h"
#include "ZipArchive/ZipFileSource.h"

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <tuple>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using ZipEntrySpans::little;
using ZipEntrySpans::readAt;

namespace {

constexpr zip_uint64_t EndRecordSize = 22;
constexpr zip_uint64_t Zip64LocatorSize = 20;
constexpr zip_uint64_t Zip64EndRecordSize = 56;
constexpr zip_uint64_t LocalHeaderSize = 30;
// Where libzip looks for end records: the largest comment, the record and
// the Zip64 locator before it.
constexpr zip_uint64_t TailSize = 0xffff + EndRecordSize + Zip64LocatorSize;
constexpr zip_uint64_t Max16 = 0xffff;
constexpr zip_uint64_t Max32 = 0xffffffff;

QString errnoText()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// What a file that is not a regular file is, for telling the user.
QString notAFile(const QString &path, mode_t mode)
{
    const char *what = S_ISDIR(mode) ? "is a folder"
        : S_ISFIFO(mode)             ? "is a named pipe (FIFO)"
        : S_ISCHR(mode) || S_ISBLK(mode) ? "is a device"
        : S_ISSOCK(mode)             ? "is a socket"
                                     : "is not a regular file";
    return QStringLiteral("\"%1\" %2, not a file").arg(path, QLatin1String(what));
}

QString notAZipText(const QString &path)
{
    return QCoreApplication::translate("ZipArchive", "\"%1\" is not a zip archive, or it is damaged").arg(path);
}

// Whether the file is recognisably one part of an archive split into
// several files: named as split parts are (x.z01 beside the last part
// x.zip; x.zip.001 for volumes cut at fixed sizes), starting with the
// spanning signature before the first local header, or with end records
// that place the directory on another disk.
bool isSplitPart(int fd, const QString &path)
{
    static const QRegularExpression partName(QStringLiteral("\\.(z[0-9]{2,}|zip\\.[0-9]{3,})$"),
                                             QRegularExpression::CaseInsensitiveOption);
    if (partName.match(path).hasMatch())
        return true;
    unsigned char head[8];
    if (readAt(fd, 0, head, sizeof head) && std::memcmp(head, "PK\7\10PK\3\4", 8) == 0)
        return true;
    struct stat info;
    if (::fstat(fd, &info) != 0 || zip_uint64_t(info.st_size) < EndRecordSize)
        return false;
    const auto length = zip_uint64_t(info.st_size);
    std::vector<unsigned char> tail(size_t(std::min(length, TailSize)));
    if (!readAt(fd, length - tail.size(), tail.data(), tail.size()))
        return false;
    // The last end record whose comment runs to the end of the file.
    for (size_t at = tail.size() - EndRecordSize + 1; at-- > 0;) {
        const unsigned char *record = &tail[at];
        if (std::memcmp(record, "PK\5\6", 4) != 0 || at + EndRecordSize + little(record + 20, 2) != tail.size())
            continue;
        if (at >= Zip64LocatorSize && std::memcmp(record - Zip64LocatorSize, "PK\6\7", 4) == 0) {
            // The locator names the disk of the Zip64 end record and how
            // many disks there are.
            const unsigned char *locator = record - Zip64LocatorSize;
            return little(locator + 4, 4) != 0 || little(locator + 16, 4) > 1;
        }
        const zip_uint64_t disk = little(record + 4, 2);
        const zip_uint64_t directoryDisk = little(record + 6, 2);
        return (disk != 0 && disk != Max16) || (directoryDisk != 0 && directoryDisk != Max16);
    }
    return false;
}

// Opens path for reading when it is a regular file (or a link to one), or
// answers -1 with the fault. Opening a FIFO blocks until a writer comes and
// opening a device can act on it, so the type is checked before opening;
// O_NONBLOCK and a second check on the descriptor cover a file swapped in
// between.
int openRegularFile(const QString &path, ZipFault *fault)
{
    const QByteArray name = QFile::encodeName(path);
    const auto cannotOpen = [&] {
        const ZipError::Code code = errno == ENOENT || errno == ENOTDIR ? ZipError::NotFound
            : errno == EACCES || errno == EPERM                         ? ZipError::PermissionDenied
                                                                        : ZipError::Unreadable;
        *fault = {code, {}, QCoreApplication::translate("ZipArchive", "Cannot open \"%1\": %2").arg(path, errnoText())};
        return -1;
    };
    const auto notRegular = [&](mode_t mode) {
        *fault = {ZipError::NotAFile, {}, notAFile(path, mode)};
        return -1;
    };
    struct stat info;
    if (::stat(name.constData(), &info) != 0)
        return cannotOpen();
    if (!S_ISREG(info.st_mode))
        return notRegular(info.st_mode);
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return cannotOpen();
    const auto closing = [fd](int result) {
        const int saved = errno;
        ::close(fd);
        errno = saved;
        return result;
    };
    if (::fstat(fd, &info) != 0)
        return closing(cannotOpen());
    if (!S_ISREG(info.st_mode))
        return closing(notRegular(info.st_mode));
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0)
        return closing(cannotOpen());
    return fd;
}

// Entries to a window, and the most entries read whole.
std::pair<zip_uint64_t, zip_uint64_t> windowing()
{
    const int wanted = qEnvironmentVariableIntValue("MTI_ZIP_WINDOW_ENTRIES");
    if (wanted > 0)
        return {zip_uint64_t(wanted), zip_uint64_t(wanted)};
    return {ZipReader::WindowEntries, ZipReader::WholeDirectoryMaximum};
}

// An empty entry whose attributes say folder, where the host they were
// written on is known to keep that bit there: MS-DOS, NTFS and VFAT keep
// the DOS attribute byte, Unix keeps its mode in the upper half.
bool folderByAttributes(zip_t *archive, zip_uint64_t index, const zip_stat_t &st)
{
    constexpr zip_uint32_t DosDirectory = 0x10;
    if (!(st.valid & ZIP_STAT_SIZE) || st.size != 0
        || ((st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE))
        return false;
    zip_uint8_t host = 0;
    zip_uint32_t attributes = 0;
    if (zip_file_get_external_attributes(archive, index, 0, &host, &attributes) != 0)
        return false;
    switch (host) {
    case ZIP_OPSYS_DOS:
    case ZIP_OPSYS_WINDOWS_NTFS:
    case ZIP_OPSYS_VFAT:
        return (attributes & DosDirectory) != 0;
    case ZIP_OPSYS_UNIX:
        return S_ISDIR(attributes >> 16);
    default:
        return false;
    }
}

// Seconds since 1970 from a 32-bit Unix time of the UT or UX field. Writers
// differ on its sign; a value past 2038 with a DOS time before then is a
// time before 1970 (DOS times cannot hold those and are clamped to 1980).
qint64 unixTime32(const unsigned char *p, qint64 dosTime)
{
    const auto value = zip_uint32_t(little(p, 4));
    if (value > zip_uint32_t(INT32_MAX) && dosTime < qint64(INT32_MAX))
        return qint64(zip_int32_t(value));
    return qint64(value);
}

// The modification time in an NTFS (0x000a), extended timestamp (UT,
// 0x5455) or old Info-ZIP Unix (UX, 0x5855) extra field of the central or
// local header, in that order: these are UTC and to the second or finer,
// where the DOS time is local wall-clock time in 2-second steps from 1980.
std::optional<qint64> extendedMtime(zip_t *archive, zip_uint64_t index, zip_flags_t where, qint64 dosTime)
{
    constexpr zip_uint16_t Ntfs = 0x000a;
    constexpr zip_uint16_t ExtendedTimestamp = 0x5455;
    constexpr zip_uint16_t InfoZipUnix = 0x5855;
    zip_uint16_t length = 0;
    if (const zip_uint8_t *field = zip_file_extra_field_get_by_id(archive, index, Ntfs, 0, &length, where)) {
        // Four reserved bytes, then tagged attributes; tag 1 holds mtime,
        // atime and ctime as FILETIMEs, 100 ns steps since 1601.
        constexpr qint64 From1601To1970 = 11644473600;
        for (size_t at = 4; at + 4 <= length;) {
            const auto tag = little(field + at, 2);
            const auto size = size_t(little(field + at + 2, 2));
            if (at + 4 + size > length)
                break;
            if (tag == 1 && size >= 24) {
                const zip_uint64_t filetime = little(field + at + 4, 8);
                if (filetime != 0)
                    return qint64(filetime / 10000000) - From1601To1970;
                break;
            }
            at += 4 + size;
        }
    }
    if (const zip_uint8_t *field = zip_file_extra_field_get_by_id(archive, index, ExtendedTimestamp, 0, &length, where)) {
        // A flags byte; bit 0: the mtime follows.
        if (length >= 5 && (field[0] & 1))
            return unixTime32(field + 1, dosTime);
    }
    if (const zip_uint8_t *field = zip_file_extra_field_get_by_id(archive, index, InfoZipUnix, 0, &length, where)) {
        // atime, then mtime.
        if (length >= 8)
            return unixTime32(field + 4, dosTime);
    }
    return std::nullopt;
}

bool statEntry(zip_t *archive, zip_uint64_t index, ZipReader::Entry *entry, const char **name)
{
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(archive, index, ZIP_FL_ENC_GUESS, &st) != 0 || !(st.valid & ZIP_STAT_NAME))
        return false;
    entry->valid = zip_uint16_t(st.valid);
    entry->size = (st.valid & ZIP_STAT_SIZE) ? st.size : 0;
    entry->compressedSize = (st.valid & ZIP_STAT_COMP_SIZE) ? st.comp_size : 0;
    entry->crc = (st.valid & ZIP_STAT_CRC) ? st.crc : 0;
    entry->mtime = (st.valid & ZIP_STAT_MTIME) ? qint64(st.mtime) : 0;
    // The central header's fields first; only when it has none is the local
    // header read for them.
    std::optional<qint64> mtime = extendedMtime(archive, index, ZIP_FL_CENTRAL, entry->mtime);
    if (!mtime)
        mtime = extendedMtime(archive, index, ZIP_FL_LOCAL, entry->mtime);
    if (mtime) {
        entry->mtime = *mtime;
        entry->valid |= ZIP_STAT_MTIME;
    }
    entry->compressionMethod = (st.valid & ZIP_STAT_COMP_METHOD) ? st.comp_method : 0;
    entry->encryptionMethod = (st.valid & ZIP_STAT_ENCRYPTION_METHOD) ? st.encryption_method : 0;
    entry->folderByAttributes = folderByAttributes(archive, index, st);
    *name = st.name;
    return true;
}

void put(std::vector<unsigned char> &out, zip_uint64_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i, value >>= 8)
        out.push_back((unsigned char)(value & 0xff));
}

void putSignature(std::vector<unsigned char> &out, const char *signature)
{
    out.insert(out.end(), signature, signature + 4);
}

// How often signature occurs in data.
int occurrences(const std::vector<unsigned char> &data, const char *signature)
{
    int found = 0;
    for (size_t i = 0; i + 4 <= data.size(); ++i)
        found += std::memcmp(data.data() + i, signature, 4) == 0;
    return found;
}

} // namespace

// Listing keeps one of these for every entry.
static_assert(sizeof(ZipReader::Entry) == 40);

ZipReader::ZipReader(const QString &path, int fd) : _path(path), _fd(fd) {}

ZipReader::~ZipReader()
{
    if (_window)
        zip_discard(_window);
    if (_whole)
        zip_discard(_whole);
    ::close(_fd);
}

std::unique_ptr<ZipReader> ZipReader::open(const QString &path, ZipFault *fault)
{
    const int fd = openRegularFile(path, fault);
    if (fd < 0) {
        qCInfo(lcZip).noquote() << fault->detail;
        return nullptr;
    }
    std::unique_ptr<ZipReader> reader(new ZipReader(path, fd));
    // libzip takes an empty file for an archive without entries; it is no
    // zip file at all.
    struct stat info;
    if (::fstat(fd, &info) == 0 && info.st_size == 0) {
        qCInfo(lcZip) << "cannot open" << path << "empty file";
        *fault = {ZipError::NotAZip, {}, notAZipText(path)};
        return nullptr;
    }
    if (std::optional<Layout> layout = planWindows(fd, &reader->_base)) {
        qCDebug(lcZip) << "reading" << path << layout->window << "entries at a time of" << layout->count;
        reader->_layout = std::move(*layout);
        reader->_windowed = true;
        return reader;
    }
    if (!reader->openWhole(fault))
        return nullptr;
    return reader;
}

ZipFault ZipReader::notAZip(const zip_error_t &error) const
{
    // A read error is the file's fault, not its format's.
    if (zip_error_code_zip(&error) == ZIP_ER_READ)
        return {ZipError::Unreadable, {}, notAZipText(_path)};
    if (zip_error_code_zip(&error) == ZIP_ER_MULTIDISK || isSplitPart(_fd, _path))
        return {ZipError::NotAZip, {},
                QCoreApplication::translate("ZipArchive",
                    "\"%1\" is one part of an archive split into several files; join the parts into one file first")
                    .arg(_path)};
    return {ZipError::NotAZip, {}, notAZipText(_path)};
}

bool ZipReader::openWhole(ZipFault *fault)
{
    _windowed = false;
    if (_window)
        zip_discard(std::exchange(_window, nullptr));
    zip_error_t error;
    zip_error_init(&error);
    _whole = ZipFileSource::openArchive(_fd, &error, &_base);
    if (!_whole) {
        qCInfo(lcZip) << "cannot open" << _path << zip_error_strerror(&error);
        *fault = notAZip(error);
        zip_error_fini(&error);
        return false;
    }
    zip_error_fini(&error);
    _wholeCount = zip_uint64_t(std::max<zip_int64_t>(zip_get_num_entries(_whole, 0), 0));
    return true;
}

std::optional<ZipReader::Layout> ZipReader::planWindows(int fd, zip_uint64_t *base)
{
    struct stat info;
    if (::fstat(fd, &info) != 0 || zip_uint64_t(info.st_size) < EndRecordSize)
        return std::nullopt;
    const auto length = zip_uint64_t(info.st_size);
    std::vector<unsigned char> tail(size_t(std::min(length, TailSize)));
    const zip_uint64_t tailAt = length - tail.size();
    if (!readAt(fd, tailAt, tail.data(), tail.size()))
        return std::nullopt;

    // One end record, its comment running to the end of the file: where
    // libzip would weigh several, it reads the archive whole.
    if (occurrences(tail, "PK\5\6") != 1)
        return std::nullopt;
    size_t at = 0;
    while (std::memcmp(tail.data() + at, "PK\5\6", 4) != 0)
        ++at;
    if (at + EndRecordSize > tail.size() || at + EndRecordSize + little(&tail[at + 20], 2) != tail.size())
        return std::nullopt;
    const unsigned char *record = &tail[at];
    const zip_uint64_t recordAt = tailAt + at;

    Layout layout;
    zip_uint64_t directoryOffset = 0;
    zip_uint64_t directorySize = 0;
    zip_uint64_t endRecordsAt = recordAt;
    *base = 0;
    if (at >= Zip64LocatorSize && std::memcmp(record - Zip64LocatorSize, "PK\6\7", 4) == 0) {
        const unsigned char *locator = record - Zip64LocatorSize;
        const zip_uint64_t zip64At = little(locator + 8, 8);
        unsigned char zip64[Zip64EndRecordSize];
        if (little(locator + 4, 4) != 0 || little(locator + 16, 4) > 1
            || zip64At + Zip64EndRecordSize != recordAt - Zip64LocatorSize
            || !readAt(fd, zip64At, zip64, sizeof zip64) || std::memcmp(zip64, "PK\6\6", 4) != 0
            || little(zip64 + 4, 8) != Zip64EndRecordSize - 12 || little(zip64 + 16, 4) != 0
            || little(zip64 + 20, 4) != 0 || little(zip64 + 24, 8) != little(zip64 + 32, 8))
            return std::nullopt;
        layout.zip64 = true;
        layout.count = little(zip64 + 32, 8);
        directorySize = little(zip64 + 40, 8);
        directoryOffset = little(zip64 + 48, 8);
        endRecordsAt = zip64At;
        if (directoryOffset > endRecordsAt || directorySize != endRecordsAt - directoryOffset)
            return std::nullopt;
    } else {
        layout.count = little(record + 10, 2);
        directorySize = little(record + 12, 4);
        directoryOffset = little(record + 16, 4);
        if (little(record + 4, 2) != 0 || little(record + 6, 2) != 0 || little(record + 8, 2) != layout.count
            || layout.count == Max16 || directorySize == Max32 || directoryOffset == Max32
            || directoryOffset + directorySize > recordAt)
            return std::nullopt;
        if (directoryOffset + directorySize < recordAt) {
            // Appended to other data with its offsets left as they were:
            // libzip reads it from there when the directory is not where the
            // record says.
            unsigned char signature[4];
            if (!readAt(fd, directoryOffset, signature, 4) || std::memcmp(signature, "PK\1\2", 4) == 0)
                return std::nullopt;
            *base = recordAt - directorySize - directoryOffset;
        }
    }
    zip_uint64_t wholeMaximum = 0;
    std::tie(layout.window, wholeMaximum) = windowing();
    if (!layout.zip64)
        layout.window = std::min(layout.window, Max16);
    if (layout.count <= wholeMaximum)
        return std::nullopt;

    // Every header sound and the directory exactly as long as the end
    // records say; every entry's data before it.
    ZipEntrySpans::DirectoryReader reader(fd, *base + directoryOffset, *base + directoryOffset + directorySize);
    layout.starts.reserve(size_t(layout.count / layout.window + 2));
    for (zip_uint64_t i = 0; i < layout.count; ++i) {
        if (i % layout.window == 0)
            layout.starts.push_back(reader.position() - *base);
        const std::optional<ZipEntrySpans::CentralHeader> header = ZipEntrySpans::readCentralHeader(reader);
        if (!header || header->localHeaderOffset > directoryOffset
            || header->compressedSize > directoryOffset - header->localHeaderOffset
            || LocalHeaderSize > directoryOffset - header->localHeaderOffset - header->compressedSize)
            return std::nullopt;
        layout.nameBytes += header->nameLength;
    }
    layout.directoryEnd = directoryOffset + directorySize;
    if (reader.position() != *base + layout.directoryEnd || (!layout.zip64 && layout.directoryEnd >= Max32))
        return std::nullopt;
    layout.starts.push_back(layout.directoryEnd);
    return layout;
}

zip_t *ZipReader::openWindow(size_t window, zip_error_t *error) const
{
    const zip_uint64_t first = _layout.starts[window];
    const zip_uint64_t length = _layout.starts[window + 1] - first;
    const zip_uint64_t entries = std::min(_layout.window, _layout.count - zip_uint64_t(window) * _layout.window);
    const zip_uint64_t at = _layout.directoryEnd;

    std::vector<unsigned char> trailer;
    if (_layout.zip64) {
        putSignature(trailer, "PK\6\6");
        put(trailer, Zip64EndRecordSize - 12, 8);
        put(trailer, 45, 2);
        put(trailer, 45, 2);
        put(trailer, 0, 4);
        put(trailer, 0, 4);
        put(trailer, entries, 8);
        put(trailer, entries, 8);
        put(trailer, length, 8);
        put(trailer, at, 8);
        putSignature(trailer, "PK\6\7");
        put(trailer, 0, 4);
        put(trailer, at + length, 8);
        put(trailer, 1, 4);
    }
    putSignature(trailer, "PK\5\6");
    put(trailer, 0, 2);
    put(trailer, 0, 2);
    put(trailer, _layout.zip64 ? Max16 : entries, 2);
    put(trailer, _layout.zip64 ? Max16 : entries, 2);
    put(trailer, _layout.zip64 ? Max32 : length, 4);
    put(trailer, _layout.zip64 ? Max32 : at, 4);
    put(trailer, 0, 2);

    zip_source_t *source = ZipFileSource::createWindow(_fd, _base, at, first, length, std::move(trailer), error);
    if (!source)
        return nullptr;
    // libzip must find these end records and no other: a central header
    // whose bytes happen to read as one would make it weigh both.
    const zip_uint64_t size = at + length + (_layout.zip64 ? Zip64EndRecordSize + Zip64LocatorSize : 0) + EndRecordSize;
    std::vector<unsigned char> tail(size_t(std::min(size, TailSize)));
    bool alone = zip_source_open(source) == 0;
    if (alone) {
        alone = zip_source_seek(source, zip_int64_t(size - tail.size()), SEEK_SET) == 0
            && zip_source_read(source, tail.data(), tail.size()) == zip_int64_t(tail.size())
            && occurrences(tail, "PK\5\6") == 1 && occurrences(tail, "PK\6\7") == (_layout.zip64 ? 1 : 0);
        zip_source_close(source);
    }
    zip_t *archive = alone ? zip_open_from_source(source, ZIP_RDONLY, error) : nullptr;
    if (!archive) {
        if (!alone)
            zip_error_set(error, ZIP_ER_INCONS, 0);
        zip_source_free(source);
        return nullptr;
    }
    if (zip_get_num_entries(archive, 0) != zip_int64_t(entries)) {
        zip_error_set(error, ZIP_ER_INCONS, 0);
        zip_discard(archive);
        return nullptr;
    }
    return archive;
}

bool ZipReader::visit(const Visitor &visitor, ZipFault *fault)
{
    Entry entry;
    const char *name = nullptr;
    if (!_windowed) {
        for (zip_uint64_t i = 0; i < _wholeCount; ++i) {
            const bool read = statEntry(_whole, i, &entry, &name);
            visitor(i, read ? &entry : nullptr, read ? name : "");
        }
        return true;
    }
    for (size_t window = 0; window + 1 < _layout.starts.size(); ++window) {
        zip_error_t error;
        zip_error_init(&error);
        zip_t *archive = openWindow(window, &error);
        if (!archive) {
            qCInfo(lcZip) << "reading" << _path << "whole: window" << window << zip_error_strerror(&error);
            zip_error_fini(&error);
            return openWhole(fault) && visit(visitor, fault);
        }
        zip_error_fini(&error);
        if (_window)
            zip_discard(_window);
        _window = archive;
        _windowIndex = window;
        const zip_uint64_t first = zip_uint64_t(window) * _layout.window;
        const auto entries = zip_uint64_t(zip_get_num_entries(archive, 0));
        for (zip_uint64_t j = 0; j < entries; ++j) {
            const bool read = statEntry(archive, j, &entry, &name);
            visitor(first + j, read ? &entry : nullptr, read ? name : "");
        }
    }
    return true;
}

bool ZipReader::load(ZipFault *fault)
{
    return visit(
        [this](zip_uint64_t index, const Entry *entry, const char *name) {
            if (index == 0) {
                _entries.clear();
                _names.clear();
                _nameEnds.clear();
                _entries.reserve(size_t(count()));
                _nameEnds.reserve(size_t(count()));
                if (_windowed)
                    _names.reserve(size_t(_layout.nameBytes));
            }
            _entries.push_back(entry ? *entry : Entry());
            _names.insert(_names.end(), name, name + std::strlen(name));
            _nameEnds.push_back(_names.size());
        },
        fault);
}

QString ZipReader::name(zip_uint64_t index) const
{
    const zip_uint64_t start = index == 0 ? 0 : _nameEnds[size_t(index - 1)];
    return QString::fromUtf8(_names.data() + start, qsizetype(_nameEnds[size_t(index)] - start));
}

zip_t *ZipReader::archiveFor(zip_uint64_t index, zip_uint64_t *indexInArchive, QString *problem)
{
    if (!_windowed) {
        *indexInArchive = index;
        return _whole;
    }
    const auto window = size_t(index / _layout.window);
    *indexInArchive = index % _layout.window;
    if (_window && _windowIndex == window)
        return _window;
    if (_window)
        zip_discard(std::exchange(_window, nullptr));
    zip_error_t error;
    zip_error_init(&error);
    _window = openWindow(window, &error);
    if (!_window)
        *problem = QString::fromUtf8(zip_error_strerror(&error));
    zip_error_fini(&error);
    _windowIndex = window;
    return _window;
}

zip_t *ZipReader::openWholeCopy() const
{
    if (_windowed)
        return nullptr;
    zip_error_t error;
    zip_error_init(&error);
    zip_t *reader = nullptr;
    if (zip_source_t *source = ZipFileSource::create(_fd, &error, _base)) {
        reader = zip_open_from_source(source, ZIP_RDONLY, &error);
        if (!reader)
            zip_source_free(source);
    }
    zip_error_fini(&error);
    if (reader && zip_get_num_entries(reader, 0) != zip_int64_t(_wholeCount)) {
        zip_discard(reader);
        reader = nullptr;
    }
    return reader;
}

std::optional<ZipFault> ZipReader::overlapRefusal(const ZipEntrySpans::Agrees &agrees,
                                                  const std::function<QString(zip_uint64_t)> &nameOf) const
{
    // Entries sharing data would unpack one small file to any size, past the
    // free-space check that trusts each entry's own size.
    const ZipEntrySpans::Finding spans = ZipEntrySpans::check(_fd, _base, count(), agrees);
    if (spans.kind == ZipEntrySpans::Finding::Overlapping)
        return ZipFault{ZipError::Overlap, {},
                        QCoreApplication::translate("ZipArchive", "Refused: entry \"%1\" overlaps the data of entry \"%2\"")
                            .arg(nameOf(spans.later), nameOf(spans.earlier))};
    if (spans.kind == ZipEntrySpans::Finding::Unreadable)
        return ZipFault{ZipError::Damaged, {},
                        QCoreApplication::translate("ZipArchive",
                            "Refused: cannot read the central directory of \"%1\" to check its entries for overlaps")
                            .arg(_path)};
    return std::nullopt;
}

bool ZipReader::isFolder(const QString &name, const Entry &entry)
{
    return entry.folderByAttributes || isDirectoryEntryName(name);
}

ZipFault ZipReader::noEntries()
{
    return {ZipError::NoEntries, QStringLiteral("Failed"), QStringLiteral("Error occurs")};
}

ZipFault ZipReader::statFailed()
{
    return {ZipError::Damaged, {}, QStringLiteral("Error occurs while getting file info")};
}

std::optional<ZipFault> ZipReader::entryRefusal(const QString &name, bool isDirectory, const Entry &entry,
                                                bool havePassword)
{
    if (!safeRelativeEntryPath(name))
        return ZipFault{ZipError::UnsafeName, {},
                        QCoreApplication::translate("ZipArchive",
                            "Refused: entry \"%1\" would be written outside the destination folder").arg(name)};
    if (isDirectory)
        return std::nullopt;
    if ((entry.valid & ZIP_STAT_COMP_METHOD) && !zip_compression_method_supported(entry.compressionMethod, 0))
        return ZipFault{ZipError::Unsupported, QStringLiteral("Error occurs"),
                        QCoreApplication::translate("ZipArchive",
                                                    "Entry \"%1\" uses compression method %2, which cannot be decoded")
                            .arg(name).arg(entry.compressionMethod)};
    if ((entry.valid & ZIP_STAT_ENCRYPTION_METHOD) && entry.encryptionMethod != ZIP_EM_NONE) {
        if (!zip_encryption_method_supported(entry.encryptionMethod, 0))
            return ZipFault{ZipError::Unsupported, QStringLiteral("Error occurs"),
                            QCoreApplication::translate("ZipArchive",
                                "Entry \"%1\" uses an encryption method that cannot be decoded").arg(name)};
        // Said plainly, with no generic line before it: the one thing to do is give a password.
        if (!havePassword)
            return ZipFault{ZipError::PasswordNeeded, {},
                            QCoreApplication::translate("ZipArchive",
                                                        "Entry \"%1\" is encrypted and needs a password").arg(name)};
    }
    return std::nullopt;
}
