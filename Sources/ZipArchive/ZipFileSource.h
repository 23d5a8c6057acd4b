// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include <zip.h>

#include <string>
#include <vector>

#include <sys/types.h>

// The one hand-written libzip source: a stretch of a file, read with pread
// and no copy libzip does not need.
//
// libzip's own file source goes through stdio: a 4 KiB buffer and a seek
// before nearly every read, so unpacking a large pack spent more time in
// read and lseek than in inflating. This source reads ahead in large blocks
// with pread (no shared file offset, so sources over one descriptor never
// disturb one another) and serves libzip's small reads and seeks from the
// block; larger reads the block does not hold go straight into libzip's
// buffer. The block is freed when libzip closes the source: a writer holds
// one source per added file until the archive is written.
class ZipFileSource
{
public:
    // A read-only, seekable source over the regular file open as fd, from
    // base to its end, or null with error set. The source reads its own
    // duplicate of fd, so the caller keeps and closes fd, and each reader
    // thread may have its own. zip_open_from_source takes ownership when it
    // succeeds; otherwise the caller frees it with zip_source_free.
    [[nodiscard]] static zip_source_t *create(int fd, zip_error_t *error, zip_uint64_t base = 0);

    // A source over length bytes of fd from start, that reports mtime, for
    // adding to an archive. It borrows fd: no descriptor per entry, and the
    // caller keeps fd open until libzip has freed the source.
    [[nodiscard]] static zip_source_t *createSlice(int fd, zip_uint64_t start, zip_uint64_t length, time_t mtime,
                                     zip_error_t *error);
    // A source over the regular file at path (links followed), for adding
    // to an archive: stat'ed now, opened only when libzip reads it as the
    // archive is written and closed right after, so a writer holds no
    // descriptor per entry and copies nothing beforehand. A file that is no
    // longer the one stat'ed here when it is read (another file put in its
    // place, another size) fails that read with ZIP_ER_CHANGED. Null with
    // error set when path is no readable regular file now.
    [[nodiscard]] static zip_source_t *createFile(const char *path, zip_error_t *error);

    // What libzip is shown of an archive when it reads a window of the
    // central directory only: the file's bytes from base up to directoryEnd
    // (the entries' data and the whole directory stay where their offsets
    // point), then length bytes of central headers copied from start, then
    // trailer (end records naming that copy).
    struct Window
    {
        zip_uint64_t base = 0;
        zip_uint64_t directoryEnd = 0;
        zip_uint64_t start = 0;
        zip_uint64_t length = 0;
        std::vector<unsigned char> trailer;
    };
    // A source over that window of the archive in fd. Reads fd itself,
    // which the caller keeps open until libzip frees the source.
    [[nodiscard]] static zip_source_t *createWindow(int fd, Window window, zip_error_t *error);

    // The bytes that precede the archive proper when a zip was appended to
    // other data (a self-extractor's stub) without its offsets adjusted, as
    // the end-of-central-directory record tells; 0 when none or unknown.
    static zip_uint64_t leadingDataLength(int fd);
    // Opens the archive in fd read-only, also when it was appended to other
    // data with its offsets left as they were (as Info-ZIP's unzip and bsdtar
    // read it too). *base is where it starts; null with error set on failure.
    [[nodiscard]] static zip_t *openArchive(int fd, zip_error_t *error, zip_uint64_t *base);

    ZipFileSource(const ZipFileSource &) = delete;
    ZipFileSource &operator=(const ZipFileSource &) = delete;

private:
    ZipFileSource(int fd, bool ownsFd, zip_uint64_t base, zip_uint64_t size, time_t mtime);
    static zip_source_t *wrap(ZipFileSource *source, zip_error_t *error);
    ~ZipFileSource();

    static zip_int64_t callback(void *userdata, void *data, zip_uint64_t length, zip_source_cmd_t command);
    zip_int64_t read(char *data, zip_uint64_t length);
    // Reads the block starting at offset; false on a read error or when the
    // file ends before its size said.
    [[nodiscard]] bool fill(zip_uint64_t offset);
    // Reads up to length bytes from offset into into, as far as they lie
    // together (never past the window's or the trailer's edge); the count,
    // or -1 with the error set.
    [[nodiscard]] zip_int64_t readAt(zip_uint64_t offset, char *into, zip_uint64_t length);
    // Where the byte at offset lies in the file (from _base), and how many
    // bytes from there on lie together; in the trailer when *inTrailer.
    zip_uint64_t locate(zip_uint64_t offset, zip_uint64_t *contiguous, bool *inTrailer) const;

    // A file source's own descriptor while libzip has it open.
    [[nodiscard]] bool openFile();
    void closeFile();

    int _fd;
    bool _ownsFd;
    zip_uint64_t _base;
    zip_uint64_t _size;
    time_t _mtime;
    zip_uint64_t _offset = 0;
    std::vector<char> _block;
    zip_uint64_t _blockStart = 0;
    zip_uint64_t _blockLength = 0;
    // How much the next fill reads, and where the last read ended: reading
    // on from there is reading through, anything else a jump.
    zip_uint64_t _fillLength = 0;
    zip_uint64_t _readEnd = 0;
    zip_error_t _error;
    // A window source: bytes from _windowAt on come from _windowStart, and
    // the trailer follows them. _windowAt is _size for every other source.
    zip_uint64_t _windowAt;
    zip_uint64_t _windowStart = 0;
    zip_uint64_t _windowLength = 0;
    std::vector<unsigned char> _trailer;
    // A file source: what it is opened by and must still be.
    std::string _path;
    dev_t _device = 0;
    ino_t _inode = 0;
};
