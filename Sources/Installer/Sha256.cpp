// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Installer/Sha256.h"

#include <QByteArray>

#if defined(Q_OS_MACOS)
#include <CommonCrypto/CommonDigest.h>
#elif defined(MTI_HAVE_LIBCRYPTO)
#include <openssl/evp.h>
#else
#include <QCryptographicHash>
#endif

#if defined(Q_OS_MACOS)

struct Sha256::State
{
    CC_SHA256_CTX context;
};

Sha256::Sha256() : _state(std::make_unique<State>())
{
    CC_SHA256_Init(&_state->context);
}

void Sha256::addData(const char *data, qsizetype size)
{
    // CC_LONG is 32 bits.
    for (qsizetype done = 0; done < size;) {
        const CC_LONG chunk = CC_LONG(qMin<qsizetype>(size - done, 1 << 30));
        CC_SHA256_Update(&_state->context, data + done, chunk);
        done += chunk;
    }
}

QString Sha256::hexResult()
{
    QByteArray digest(CC_SHA256_DIGEST_LENGTH, Qt::Uninitialized);
    CC_SHA256_Final(reinterpret_cast<unsigned char *>(digest.data()), &_state->context);
    return QString::fromLatin1(digest.toHex());
}

#elif defined(MTI_HAVE_LIBCRYPTO)

struct Sha256::State
{
    EVP_MD_CTX *context = EVP_MD_CTX_new();
    ~State() { EVP_MD_CTX_free(context); }
};

Sha256::Sha256() : _state(std::make_unique<State>())
{
    EVP_DigestInit_ex(_state->context, EVP_sha256(), nullptr);
}

void Sha256::addData(const char *data, qsizetype size)
{
    EVP_DigestUpdate(_state->context, data, size_t(size));
}

QString Sha256::hexResult()
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(_state->context, digest, &length);
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(digest), int(length)).toHex());
}

#else

struct Sha256::State
{
    QCryptographicHash hash{QCryptographicHash::Sha256};
};

Sha256::Sha256() : _state(std::make_unique<State>()) {}

void Sha256::addData(const char *data, qsizetype size)
{
    _state->hash.addData(QByteArrayView(data, size));
}

QString Sha256::hexResult()
{
    return QString::fromLatin1(_state->hash.result().toHex());
}

#endif

Sha256::~Sha256() = default;
