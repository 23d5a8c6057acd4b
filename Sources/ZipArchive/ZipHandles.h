// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <zip.h>

#include <memory>

// Owners for libzip's handles, so that no early return leaks one. Where
// closing can report a fault the caller must hear (zip_fclose at the end of
// an entry, zip_close of a written archive), release() and close by hand.
namespace ZipHandles {

struct ArchiveDiscard
{
    void operator()(zip_t *archive) const { zip_discard(archive); }
};
struct FileClose
{
    void operator()(zip_file_t *file) const { zip_fclose(file); }
};
struct SourceFree
{
    void operator()(zip_source_t *source) const { zip_source_free(source); }
};

using ArchivePtr = std::unique_ptr<zip_t, ArchiveDiscard>;
using FilePtr = std::unique_ptr<zip_file_t, FileClose>;
using SourcePtr = std::unique_ptr<zip_source_t, SourceFree>;

// A zip_error_t finished whatever way the scope is left.
class ErrorHolder
{
public:
    ErrorHolder() { zip_error_init(&_error); }
    ~ErrorHolder() { zip_error_fini(&_error); }
    ErrorHolder(const ErrorHolder &) = delete;
    ErrorHolder &operator=(const ErrorHolder &) = delete;

    zip_error_t *get() { return &_error; }
    const zip_error_t *get() const { return &_error; }
    const char *text() { return zip_error_strerror(&_error); }

private:
    zip_error_t _error;
};

// libzip's own words for one of its error codes (`system`: the errno or
// zlib code that goes with it, for the codes that take one).
inline QString errorText(int code, int system = 0)
{
    ErrorHolder error;
    zip_error_set(error.get(), code, system);
    return QString::fromUtf8(error.text());
}

} // namespace ZipHandles
