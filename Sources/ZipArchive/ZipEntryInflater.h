// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

#include <zip.h>
#include <zlib.h>

#include <memory>

// Inflates a deflated entry libzip reads raw, and checks its CRC. libzip 1.7
// hands zlib 8 KiB at a time, so zlib copies every byte it inflates into its
// window once more, and checks CRCs with zlib's table code; here zlib gets
// large reads, and the CRC is libdeflate's (three times as fast) where the
// build has it. Reads as zip_fread does: 0 at the end, -1 with problem set.
class ZipEntryInflater
{
public:
    // raw stays the caller's. Reads of the raw data: at most 256 KiB, and
    // little more than the entry holds.
    ZipEntryInflater(zip_file_t *raw, zip_uint64_t compressedSize, zip_uint32_t expectedCrc);
    // Over the deflated data held whole: no archive is read, so it may run
    // on any thread.
    ZipEntryInflater(QByteArray deflated, zip_uint32_t expectedCrc);
    ~ZipEntryInflater();
    ZipEntryInflater(const ZipEntryInflater &) = delete;
    ZipEntryInflater &operator=(const ZipEntryInflater &) = delete;

    [[nodiscard]] zip_int64_t read(char *data, size_t length);
    const QString &problem() const { return _problem; }

private:
    // One step of inflate: more input when zlib has none, then its verdict.
    void inflateStep();
    static zip_uint32_t crc32Of(zip_uint32_t crc, const char *data, size_t length);
    // Sets the problem in libzip's own words for the fault; answers -1.
    zip_int64_t fail(int code, int detail = 0);

    zip_file_t *_raw = nullptr;
    QByteArray _held;
    zip_uint32_t _expectedCrc;
    zip_uint32_t _crc = 0;
    z_stream _stream{};
    size_t _inputSize = 0;
    std::unique_ptr<char[]> _input;
    bool _sound = false;
    bool _ended = false;
    bool _inputEnded = false;
    QString _problem;
};
