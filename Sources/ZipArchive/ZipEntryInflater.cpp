// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "ZipArchive/ZipEntryInflater.h"

#include "ZipArchive/ZipHandles.h"

#ifdef MTI_HAVE_LIBDEFLATE
#include <libdeflate.h>
#endif

#include <algorithm>
#include <utility>

ZipEntryInflater::ZipEntryInflater(zip_file_t *raw, zip_uint64_t compressedSize, zip_uint32_t expectedCrc)
    : _raw(raw)
    , _expectedCrc(expectedCrc)
    , _inputSize(size_t(std::clamp<zip_uint64_t>(compressedSize + 1, 512, 256 * 1024)))
    , _input(new char[_inputSize])
{
    _sound = inflateInit2(&_stream, -MAX_WBITS) == Z_OK;
}

ZipEntryInflater::ZipEntryInflater(QByteArray deflated, zip_uint32_t expectedCrc)
    : _held(std::move(deflated)), _expectedCrc(expectedCrc)
{
    _sound = inflateInit2(&_stream, -MAX_WBITS) == Z_OK;
    _stream.next_in = reinterpret_cast<Bytef *>(_held.data());
    _stream.avail_in = uInt(_held.size());
    _inputEnded = true;
}

ZipEntryInflater::~ZipEntryInflater()
{
    if (_sound)
        inflateEnd(&_stream);
}

zip_int64_t ZipEntryInflater::read(char *data, size_t length)
{
    if (!_sound)
        return fail(ZIP_ER_MEMORY);
    if (!_problem.isEmpty())
        return -1;
    _stream.next_out = reinterpret_cast<Bytef *>(data);
    _stream.avail_out = uInt(length);
    while (_stream.avail_out > 0 && !_ended && _problem.isEmpty())
        inflateStep();
    // What came before a fault is written, as libzip's reads do.
    const size_t produced = length - _stream.avail_out;
    _crc = crc32Of(_crc, data, produced);
    if (produced > 0)
        return zip_int64_t(produced);
    if (_problem.isEmpty() && _crc != _expectedCrc)
        fail(ZIP_ER_CRC);
    return _problem.isEmpty() ? 0 : -1;
}

void ZipEntryInflater::inflateStep()
{
    if (_stream.avail_in == 0 && !_inputEnded) {
        const zip_int64_t n = zip_fread(_raw, _input.get(), _inputSize);
        if (n < 0) {
            _problem = QString::fromUtf8(zip_file_strerror(_raw));
            return;
        }
        _inputEnded = n == 0;
        _stream.next_in = reinterpret_cast<Bytef *>(_input.get());
        _stream.avail_in = uInt(n);
    }
    // With all input read, zlib may still hold the stream's last bits: only
    // when it can go no further do the data end too soon.
    const int status = inflate(&_stream, Z_NO_FLUSH);
    if (status == Z_STREAM_END)
        _ended = true;
    else if (status == Z_BUF_ERROR && _inputEnded)
        fail(ZIP_ER_COMPRESSED_DATA);
    else if (status != Z_OK && status != Z_BUF_ERROR)
        fail(ZIP_ER_ZLIB, status);
}

zip_uint32_t ZipEntryInflater::crc32Of(zip_uint32_t crc, const char *data, size_t length)
{
#ifdef MTI_HAVE_LIBDEFLATE
    return libdeflate_crc32(crc, data, length);
#else
    return zip_uint32_t(::crc32_z(crc, reinterpret_cast<const Bytef *>(data), length));
#endif
}

zip_int64_t ZipEntryInflater::fail(int code, int detail)
{
    _problem = ZipHandles::errorText(code, detail);
    return -1;
}
