// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "ZipArchive/ZipFileSource.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Large enough that reads cost little next to inflating and writing, small
// enough to keep memory flat.
constexpr zip_uint64_t BlockSize = 256 * 1024;
// The block after a jump: one entry read out of a large archive (a template
// document a listing shows) needs its header and a few KiB, and filling
// 256 KiB for each took more time than reading the documents. Reading on
// from where the last read ended doubles it back up to BlockSize.
constexpr zip_uint64_t JumpBlockSize = 16 * 1024;
// Reads this large skip the block where it does not hold them: libzip reads
// headers in small pieces and an entry's data 8 KiB at a time.
constexpr zip_uint64_t DirectReadMinimum = 4 * 1024;

} // namespace

zip_source_t *ZipFileSource::create(int archiveFd, zip_error_t *error, zip_uint64_t base)
{
    const int fd = ::fcntl(archiveFd, F_DUPFD_CLOEXEC, 0);
    if (fd < 0) {
        zip_error_set(error, ZIP_ER_OPEN, errno);
        return nullptr;
    }
    struct stat info;
    const bool statted = ::fstat(fd, &info) == 0;
    if (!statted || !S_ISREG(info.st_mode)) {
        zip_error_set(error, ZIP_ER_OPEN, statted ? EINVAL : errno);
        ::close(fd);
        return nullptr;
    }
#ifdef POSIX_FADV_SEQUENTIAL
    // Entries are read front to back: let the kernel read further ahead.
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
    const auto fileSize = zip_uint64_t(info.st_size);
    const zip_uint64_t start = std::min(base, fileSize);
    return wrap(new ZipFileSource(fd, true, start, fileSize - start, info.st_mtime), error);
}

zip_source_t *ZipFileSource::createSlice(int fd, zip_uint64_t start, zip_uint64_t length, time_t mtime,
                                         zip_error_t *error)
{
    return wrap(new ZipFileSource(fd, false, start, length, mtime), error);
}

zip_source_t *ZipFileSource::createFile(const char *path, zip_error_t *error)
{
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    struct stat info;
    const bool statted = fd >= 0 && ::fstat(fd, &info) == 0;
    const int problem = !statted ? errno : S_ISREG(info.st_mode) ? 0 : EINVAL;
    if (fd >= 0)
        ::close(fd);
    if (problem != 0) {
        zip_error_set(error, ZIP_ER_OPEN, problem);
        return nullptr;
    }
    auto *source = new ZipFileSource(-1, true, 0, zip_uint64_t(info.st_size), info.st_mtime);
    source->_path = path;
    source->_device = info.st_dev;
    source->_inode = info.st_ino;
    return wrap(source, error);
}

bool ZipFileSource::openFile()
{
    closeFile();
    _fd = ::open(_path.c_str(), O_RDONLY | O_CLOEXEC);
    if (_fd < 0) {
        zip_error_set(&_error, ZIP_ER_OPEN, errno);
        return false;
    }
    struct stat info;
    if (::fstat(_fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_dev != _device || info.st_ino != _inode
        || zip_uint64_t(info.st_size) != _size) {
        zip_error_set(&_error, ZIP_ER_CHANGED, 0);
        closeFile();
        return false;
    }
#ifdef POSIX_FADV_SEQUENTIAL
    ::posix_fadvise(_fd, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
    return true;
}

void ZipFileSource::closeFile()
{
    if (!_path.empty() && _fd >= 0)
        ::close(std::exchange(_fd, -1));
}

zip_source_t *ZipFileSource::createWindow(int fd, Window window, zip_error_t *error)
{
    auto *source =
        new ZipFileSource(fd, false, window.base, window.directoryEnd + window.length + window.trailer.size(), 0);
    source->_windowAt = window.directoryEnd;
    source->_windowStart = window.start;
    source->_windowLength = window.length;
    source->_trailer = std::move(window.trailer);
    return wrap(source, error);
}

zip_source_t *ZipFileSource::wrap(ZipFileSource *source, zip_error_t *error)
{
    zip_source_t *zipSource = zip_source_function_create(&ZipFileSource::callback, source, error);
    if (!zipSource)
        delete source;
    return zipSource;
}

ZipFileSource::ZipFileSource(int fd, bool ownsFd, zip_uint64_t base, zip_uint64_t size, time_t mtime)
    : _fd(fd)
    , _ownsFd(ownsFd)
    , _base(base)
    , _size(size)
    , _mtime(mtime)
    , _windowAt(size)
{
    zip_error_init(&_error);
}

ZipFileSource::~ZipFileSource()
{
    if (_ownsFd && _fd >= 0)
        ::close(_fd);
    zip_error_fini(&_error);
}

zip_int64_t ZipFileSource::callback(void *userdata, void *data, zip_uint64_t length, zip_source_cmd_t command)
{
    auto *self = static_cast<ZipFileSource *>(userdata);
    switch (command) {
    case ZIP_SOURCE_OPEN:
        self->_offset = 0;
        if (!self->_path.empty() && !self->openFile())
            return -1;
        return 0;
    case ZIP_SOURCE_READ:
        return self->read(static_cast<char *>(data), length);
    case ZIP_SOURCE_CLOSE:
        std::vector<char>().swap(self->_block);
        self->_blockLength = 0;
        self->closeFile();
        return 0;
    case ZIP_SOURCE_STAT: {
        auto *st = ZIP_SOURCE_GET_ARGS(zip_stat_t, data, length, &self->_error);
        if (!st)
            return -1;
        zip_stat_init(st);
        st->size = self->_size;
        st->mtime = self->_mtime;
        st->valid |= ZIP_STAT_SIZE | ZIP_STAT_MTIME;
        return sizeof(zip_stat_t);
    }
    case ZIP_SOURCE_ERROR:
        return zip_error_to_data(&self->_error, data, length);
    case ZIP_SOURCE_FREE:
        delete self;
        return 0;
    case ZIP_SOURCE_SEEK: {
        const zip_int64_t offset = zip_source_seek_compute_offset(self->_offset, self->_size, data, length,
                                                                  &self->_error);
        if (offset < 0)
            return -1;
        self->_offset = zip_uint64_t(offset);
        return 0;
    }
    case ZIP_SOURCE_TELL:
        return zip_int64_t(self->_offset);
    case ZIP_SOURCE_SUPPORTS:
        return ZIP_SOURCE_SUPPORTS_SEEKABLE;
    default:
        zip_error_set(&self->_error, ZIP_ER_OPNOTSUPP, 0);
        return -1;
    }
}

zip_int64_t ZipFileSource::read(char *data, zip_uint64_t length)
{
    length = std::min<zip_uint64_t>({length, _size - std::min(_offset, _size), zip_uint64_t(INT64_MAX)});
    zip_uint64_t done = 0;
    while (done < length) {
        const bool inBlock = _offset >= _blockStart && _offset < _blockStart + _blockLength;
        if (!inBlock && length >= DirectReadMinimum) {
            // libzip copies what it inflates into a buffer of its own: reading
            // there directly spares every compressed byte a second copy. The
            // rest of a read the block began goes there too, however short,
            // or the next block would start the same way again.
            const zip_int64_t n = readAt(_offset, data + done, length - done);
            if (n < 0)
                return -1;
            done += zip_uint64_t(n);
            _offset += zip_uint64_t(n);
            _readEnd = _offset;
            continue;
        }
        if (!inBlock && !fill(_offset))
            return -1;
        const zip_uint64_t at = _offset - _blockStart;
        const zip_uint64_t n = std::min(length - done, _blockLength - at);
        std::memcpy(data + done, _block.data() + at, n);
        done += n;
        _offset += n;
        _readEnd = _offset;
    }
    return zip_int64_t(done);
}

zip_uint64_t ZipFileSource::locate(zip_uint64_t offset, zip_uint64_t *contiguous, bool *inTrailer) const
{
    *inTrailer = false;
    if (offset < _windowAt) {
        *contiguous = _windowAt - offset;
        return offset;
    }
    if (offset - _windowAt < _windowLength) {
        *contiguous = _windowLength - (offset - _windowAt);
        return _windowStart + (offset - _windowAt);
    }
    *inTrailer = true;
    *contiguous = _size - offset;
    return offset - _windowAt - _windowLength;
}

bool ZipFileSource::fill(zip_uint64_t offset)
{
    // A small slice needs no more than itself.
    if (_block.empty())
        _block.resize(size_t(std::clamp<zip_uint64_t>(_size, 1, BlockSize)));
    _fillLength = offset == _readEnd && _fillLength > 0 ? std::min<zip_uint64_t>(_fillLength * 2, _block.size())
                                                        : std::min<zip_uint64_t>(JumpBlockSize, _block.size());
    _blockLength = 0;
    const zip_int64_t n = readAt(offset, _block.data(), _fillLength);
    if (n < 0)
        return false;
    _blockStart = offset;
    _blockLength = zip_uint64_t(n);
    return true;
}

zip_int64_t ZipFileSource::readAt(zip_uint64_t offset, char *into, zip_uint64_t length)
{
    zip_uint64_t contiguous = 0;
    bool inTrailer = false;
    const zip_uint64_t at = locate(offset, &contiguous, &inTrailer);
    const zip_uint64_t wanted = std::min<zip_uint64_t>({length, _size - offset, contiguous});
    if (inTrailer) {
        std::memcpy(into, _trailer.data() + at, size_t(wanted));
        return zip_int64_t(wanted);
    }
    zip_uint64_t got = 0;
    while (got < wanted) {
        const ssize_t n = ::pread(_fd, into + got, wanted - got, off_t(_base + at + got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            // A file that shrank while open ends early: that is a read error too.
            zip_error_set(&_error, ZIP_ER_READ, n < 0 ? errno : EIO);
            return -1;
        }
        got += zip_uint64_t(n);
    }
    return zip_int64_t(got);
}

zip_uint64_t ZipFileSource::leadingDataLength(int fd)
{
    constexpr zip_uint64_t RecordSize = 22;      // end of central directory, without comment
    constexpr zip_uint64_t MaxComment = 0xffff;
    struct stat info;
    std::vector<unsigned char> tail;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && zip_uint64_t(info.st_size) >= RecordSize) {
        tail.resize(std::min(zip_uint64_t(info.st_size), RecordSize + MaxComment));
        if (::pread(fd, tail.data(), tail.size(), off_t(zip_uint64_t(info.st_size) - tail.size())) != ssize_t(tail.size()))
            tail.clear();
    }
    const auto u16 = [&tail](size_t at) { return zip_uint64_t(tail[at]) | zip_uint64_t(tail[at + 1]) << 8; };
    const auto u32 = [&u16](size_t at) { return u16(at) | u16(at + 2) << 16; };
    for (size_t i = tail.size() >= RecordSize ? tail.size() - RecordSize + 1 : 0; i-- > 0;) {
        if (tail[i] != 'P' || tail[i + 1] != 'K' || tail[i + 2] != 5 || tail[i + 3] != 6)
            continue;
        if (i + RecordSize + u16(i + 20) != tail.size())
            continue; // not a record whose comment runs to the end of the file
        const zip_uint64_t directorySize = u32(i + 12);
        const zip_uint64_t directoryOffset = u32(i + 16);
        if (directorySize == 0xffffffff || directoryOffset == 0xffffffff)
            return 0; // Zip64 keeps its offsets elsewhere
        const zip_uint64_t recordAt = zip_uint64_t(info.st_size) - tail.size() + i;
        return recordAt > directorySize + directoryOffset ? recordAt - directorySize - directoryOffset : 0;
    }
    return 0;
}

zip_t *ZipFileSource::openArchive(int fd, zip_error_t *error, zip_uint64_t *base)
{
    zip_t *archive = nullptr;
    const auto openAt = [&](zip_uint64_t at) {
        if (zip_source_t *source = create(fd, error, at)) {
            archive = zip_open_from_source(source, ZIP_RDONLY, error);
            if (!archive)
                zip_source_free(source);
        }
        *base = at;
    };
    openAt(0);
    if (!archive && (zip_error_code_zip(error) == ZIP_ER_NOZIP || zip_error_code_zip(error) == ZIP_ER_INCONS)) {
        if (const zip_uint64_t leading = leadingDataLength(fd)) {
            zip_error_fini(error);
            zip_error_init(error);
            openAt(leading);
        }
    }
    return archive;
}
