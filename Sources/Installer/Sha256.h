// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <memory>

// SHA-256 through the platform's fast implementation (CommonCrypto on
// macOS, OpenSSL's libcrypto where the build found it: with the CPU's SHA
// instructions ten times QCryptographicHash's speed), else through Qt's.
// A multi-gigabyte archive is hashed while it unpacks; the hash must keep up.
class Sha256
{
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256 &) = delete;
    Sha256 &operator=(const Sha256 &) = delete;

    void addData(const char *data, qsizetype size);
    // Lower-case hex of the digest of everything added.
    QString hexResult();

private:
    struct State;
    std::unique_ptr<State> _state;
};
