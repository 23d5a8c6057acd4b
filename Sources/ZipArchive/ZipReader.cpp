// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "ZipArchive/ZipReader.h"

#include "Common/LogCategories.h"
#include "ZipArchive/ZipEntryName.h"
#include "ZipArchive/ZipEntryStat.h"
#include "ZipArchive/ZipFileSource.h"
#include "ZipArchive/ZipWindowLayout.h"

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace ZipRecords;
using ZipEntrySpans::little;
using ZipEntrySpans::readAt;

namespace {

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
    std::vector<unsigned char> tail;
    zip_uint64_t tailAt = 0;
    if (!ZipRecords::readTail(fd, &tail, &tailAt))
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

// libzip must find the window's end records and no other: a central header
// whose bytes happen to read as one would make it weigh both.
bool showsOneEndRecord(zip_source_t *source, zip_uint64_t size, bool zip64)
{
    std::vector<unsigned char> tail(size_t(std::min(size, TailSize)));
    if (zip_source_open(source) != 0)
        return false;
    const bool alone = zip_source_seek(source, zip_int64_t(size - tail.size()), SEEK_SET) == 0
        && zip_source_read(source, tail.data(), tail.size()) == zip_int64_t(tail.size())
        && occurrences(tail, "PK\5\6") == 1 && occurrences(tail, "PK\6\7") == (zip64 ? 1 : 0);
    zip_source_close(source);
    return alone;
}


} // namespace

// Listing keeps one of these for every entry.
static_assert(sizeof(ZipReader::Entry) == 40);

ZipReader::ZipReader(const QString &path, int fd) : _path(path), _fd(fd) {}

ZipReader::~ZipReader()
{
    // libzip's archives read through _fd: they go first.
    _window.reset();
    _whole.reset();
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
    if (std::optional<ZipWindowLayout> layout = ZipWindowLayout::plan(fd, &reader->_base)) {
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
    _window.reset();
    ZipHandles::ErrorHolder error;
    _whole.reset(ZipFileSource::openArchive(_fd, error.get(), &_base));
    if (!_whole) {
        qCInfo(lcZip) << "cannot open" << _path << error.text();
        *fault = notAZip(*error.get());
        return false;
    }
    _wholeCount = zip_uint64_t(std::max<zip_int64_t>(zip_get_num_entries(_whole.get(), 0), 0));
    return true;
}

ZipHandles::ArchivePtr ZipReader::openWindow(size_t window, zip_error_t *error) const
{
    ZipFileSource::Window shown{_base, _layout.directoryEnd, _layout.starts[window],
                                _layout.starts[window + 1] - _layout.starts[window], _layout.trailer(window)};
    ZipHandles::SourcePtr source(ZipFileSource::createWindow(_fd, std::move(shown), error));
    if (!source)
        return nullptr;
    if (!showsOneEndRecord(source.get(), _layout.shownSize(window), _layout.zip64)) {
        zip_error_set(error, ZIP_ER_INCONS, 0);
        return nullptr;
    }
    ZipHandles::ArchivePtr archive(zip_open_from_source(source.get(), ZIP_RDONLY, error));
    if (!archive)
        return nullptr;
    source.release(); // the archive owns it now
    if (zip_get_num_entries(archive.get(), 0) != zip_int64_t(_layout.entriesIn(window))) {
        zip_error_set(error, ZIP_ER_INCONS, 0);
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
            const bool read = ZipEntryStat::read(_whole.get(), i, &entry, &name);
            visitor(i, read ? &entry : nullptr, read ? name : "");
        }
        return true;
    }
    for (size_t window = 0; window < _layout.windows(); ++window) {
        ZipHandles::ErrorHolder error;
        ZipHandles::ArchivePtr archive = openWindow(window, error.get());
        if (!archive) {
            qCInfo(lcZip) << "reading" << _path << "whole: window" << window << error.text();
            return openWhole(fault) && visit(visitor, fault);
        }
        _window = std::move(archive);
        _windowIndex = window;
        const zip_uint64_t first = zip_uint64_t(window) * _layout.window;
        const auto entries = zip_uint64_t(zip_get_num_entries(_window.get(), 0));
        for (zip_uint64_t j = 0; j < entries; ++j) {
            const bool read = ZipEntryStat::read(_window.get(), j, &entry, &name);
            visitor(first + j, read ? &entry : nullptr, read ? name : "");
        }
    }
    return true;
}

bool ZipReader::load(ZipFault *fault, const Visitor &also)
{
    return visit(
        [this, &also](zip_uint64_t index, const Entry *entry, const char *name) {
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
            if (also)
                also(index, entry, name);
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
        return _whole.get();
    }
    const auto window = size_t(index / _layout.window);
    *indexInArchive = index % _layout.window;
    if (_window && _windowIndex == window)
        return _window.get();
    _window.reset();
    ZipHandles::ErrorHolder error;
    _window = openWindow(window, error.get());
    if (!_window)
        *problem = QString::fromUtf8(error.text());
    _windowIndex = window;
    return _window.get();
}

ZipHandles::ArchivePtr ZipReader::openWholeCopy() const
{
    if (_windowed)
        return nullptr;
    ZipHandles::ErrorHolder error;
    ZipHandles::SourcePtr source(ZipFileSource::create(_fd, error.get(), _base));
    if (!source)
        return nullptr;
    ZipHandles::ArchivePtr reader(zip_open_from_source(source.get(), ZIP_RDONLY, error.get()));
    if (!reader)
        return nullptr;
    source.release(); // the archive owns it now
    if (zip_get_num_entries(reader.get(), 0) != zip_int64_t(_wholeCount))
        return nullptr;
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
