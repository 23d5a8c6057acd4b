// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include <zip.h>

#include <vector>

// Reads an archive file for libzip with few, large system calls.
//
// libzip's own file source goes through stdio: a 4 KiB buffer and a seek
// before nearly every read, so unpacking a large pack spent more time in
// read and lseek than in inflating. This source reads ahead in large blocks
// with pread and serves libzip's small reads and seeks from the block.
class ZipFileSource
{
public:
    // A read-only, seekable source over the regular file open as fd, or null
    // with error set. The source reads its own duplicate of fd, so the caller
    // keeps and closes fd. zip_open_from_source takes ownership when it
    // succeeds; otherwise the caller frees it with zip_source_free.
    // With a base, the source starts that many bytes into the file.
    static zip_source_t *create(int fd, zip_error_t *error, zip_uint64_t base = 0);

    // The bytes that precede the archive proper when a zip was appended to
    // other data (a self-extractor's stub) without its offsets adjusted, as
    // the end-of-central-directory record tells; 0 when none or unknown.
    static zip_uint64_t leadingDataLength(int fd);

    ZipFileSource(const ZipFileSource &) = delete;
    ZipFileSource &operator=(const ZipFileSource &) = delete;

private:
    ZipFileSource(int fd, zip_uint64_t base, zip_uint64_t size, time_t mtime);
    ~ZipFileSource();

    static zip_int64_t callback(void *userdata, void *data, zip_uint64_t length, zip_source_cmd_t command);
    zip_int64_t read(char *data, zip_uint64_t length);
    // Reads the block starting at offset; false on a read error or when the
    // file ends before its size said.
    bool fill(zip_uint64_t offset);

    int _fd;
    zip_uint64_t _base;
    zip_uint64_t _size;
    time_t _mtime;
    zip_uint64_t _offset = 0;
    std::vector<char> _block;
    zip_uint64_t _blockStart = 0;
    zip_uint64_t _blockLength = 0;
    zip_error_t _error;
};
