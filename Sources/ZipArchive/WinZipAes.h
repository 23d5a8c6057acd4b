// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>

#include <zip.h>

#include <functional>
#include <span>

// WinZip AES entries of the AE-2 kind (what 7-Zip writes for every file of
// 20 bytes or more) store a CRC of 0 and rely on their authentication code
// alone. libzip 1.7 checks that CRC all the same and reports ZIP_ER_CRC at
// the end of every such entry, and it reports a wrong authentication code
// with the same error. This tells the two apart by checking the code here.
namespace WinZipAes {

enum class Verdict {
    Authentic,   // the encrypted data carry a valid code: the CRC error is libzip's mistake
    Forged,      // the code does not match: the data were damaged or tampered with
    Unverified,  // not an AES entry with a CRC of 0, or its data cannot be read
    Stopped,     // keepGoing answered false
};

// Checks the authentication code of entry index of archive, reading its raw
// data through buffer; keepGoing is asked between reads.
[[nodiscard]] Verdict authenticate(zip_t *archive, zip_uint64_t index, const QByteArray &password,
                                   std::span<char> buffer, const std::function<bool()> &keepGoing);

// PBKDF2 with HMAC-SHA1, and HMAC-SHA1, as the format uses them; exposed for
// tests against published vectors.
QByteArray pbkdf2Sha1(const QByteArray &password, const QByteArray &salt, int iterations, int length);
QByteArray hmacSha1(const QByteArray &key, const QByteArray &message);

} // namespace WinZipAes
