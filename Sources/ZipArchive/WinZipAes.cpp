// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "ZipArchive/WinZipAes.h"

#include "ZipArchive/ZipHandles.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>

#if defined(Q_OS_MACOS)
#include <CommonCrypto/CommonCryptoError.h>
#include <CommonCrypto/CommonDigest.h>
#include <CommonCrypto/CommonHMAC.h>
#include <CommonCrypto/CommonKeyDerivation.h>
#elif defined(MTI_HAVE_LIBCRYPTO)
#include <openssl/evp.h>
#else
#include <QMessageAuthenticationCode>
#endif

namespace {

constexpr int KeyIterations = 1000;
constexpr int VerifierLength = 2;
constexpr int CodeLength = 10;

struct Strength
{
    int keyLength;
    int saltLength;
};

std::optional<Strength> strengthOf(zip_uint16_t method)
{
    switch (method) {
    case ZIP_EM_AES_128:
        return Strength{16, 8};
    case ZIP_EM_AES_192:
        return Strength{24, 12};
    case ZIP_EM_AES_256:
        return Strength{32, 16};
    default:
        return std::nullopt;
    }
}

// HMAC-SHA1 over data added piece by piece.
class Hmac
{
public:
    explicit Hmac(const QByteArray &key);
    ~Hmac();
    Hmac(const Hmac &) = delete;
    Hmac &operator=(const Hmac &) = delete;
    void add(const char *data, size_t size);
    // Empty when the platform's implementation failed.
    QByteArray result();

private:
    struct State;
    std::unique_ptr<State> _state;
};

#if defined(Q_OS_MACOS)

struct Hmac::State
{
    CCHmacContext context;
};

Hmac::Hmac(const QByteArray &key) : _state(std::make_unique<State>())
{
    CCHmacInit(&_state->context, kCCHmacAlgSHA1, key.constData(), size_t(key.size()));
}

void Hmac::add(const char *data, size_t size)
{
    CCHmacUpdate(&_state->context, data, size);
}

QByteArray Hmac::result()
{
    QByteArray digest(CC_SHA1_DIGEST_LENGTH, Qt::Uninitialized);
    CCHmacFinal(&_state->context, digest.data());
    return digest;
}

QByteArray derive(const QByteArray &password, const QByteArray &salt, int iterations, int length)
{
    QByteArray key(length, Qt::Uninitialized);
    const int status = CCKeyDerivationPBKDF(kCCPBKDF2, password.constData(), size_t(password.size()),
                                            reinterpret_cast<const uint8_t *>(salt.constData()), size_t(salt.size()),
                                            kCCPRFHmacAlgSHA1, uint(iterations),
                                            reinterpret_cast<uint8_t *>(key.data()), size_t(length));
    return status == kCCSuccess ? key : QByteArray();
}

#elif defined(MTI_HAVE_LIBCRYPTO)

struct Hmac::State
{
    EVP_MD_CTX *context = EVP_MD_CTX_new();
    EVP_PKEY *key = nullptr;
    bool sound = false;
    ~State()
    {
        EVP_MD_CTX_free(context);
        EVP_PKEY_free(key);
    }
};

Hmac::Hmac(const QByteArray &key) : _state(std::make_unique<State>())
{
    _state->key = EVP_PKEY_new_raw_private_key(EVP_PKEY_HMAC, nullptr,
                                               reinterpret_cast<const unsigned char *>(key.constData()),
                                               size_t(key.size()));
    _state->sound = _state->context && _state->key
        && EVP_DigestSignInit(_state->context, nullptr, EVP_sha1(), nullptr, _state->key) == 1;
}

void Hmac::add(const char *data, size_t size)
{
    if (_state->sound)
        _state->sound = EVP_DigestSignUpdate(_state->context, data, size) == 1;
}

QByteArray Hmac::result()
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    size_t length = sizeof digest;
    if (!_state->sound || EVP_DigestSignFinal(_state->context, digest, &length) != 1)
        return {};
    return QByteArray(reinterpret_cast<const char *>(digest), qsizetype(length));
}

QByteArray derive(const QByteArray &password, const QByteArray &salt, int iterations, int length)
{
    QByteArray key(length, Qt::Uninitialized);
    const int status = PKCS5_PBKDF2_HMAC_SHA1(password.constData(), int(password.size()),
                                              reinterpret_cast<const unsigned char *>(salt.constData()),
                                              int(salt.size()), iterations, length,
                                              reinterpret_cast<unsigned char *>(key.data()));
    return status == 1 ? key : QByteArray();
}

#else

struct Hmac::State
{
    explicit State(const QByteArray &key) : code(QCryptographicHash::Sha1, key) {}
    QMessageAuthenticationCode code;
};

Hmac::Hmac(const QByteArray &key) : _state(std::make_unique<State>(key)) {}

void Hmac::add(const char *data, size_t size)
{
    _state->code.addData(data, qsizetype(size));
}

QByteArray Hmac::result()
{
    return _state->code.result();
}

// As RFC 8018 defines it.
QByteArray derive(const QByteArray &password, const QByteArray &salt, int iterations, int length)
{
    QMessageAuthenticationCode code(QCryptographicHash::Sha1, password);
    QByteArray key;
    for (quint32 block = 1; key.size() < length; ++block) {
        const char blockNumber[4] = {char(block >> 24), char(block >> 16), char(block >> 8), char(block)};
        code.reset();
        code.addData(salt);
        code.addData(blockNumber, 4);
        QByteArray u = code.result();
        QByteArray t = u;
        for (int i = 1; i < iterations; ++i) {
            code.reset();
            code.addData(u);
            u = code.result();
            for (qsizetype k = 0; k < t.size(); ++k)
                t[k] = char(t[k] ^ u[k]);
        }
        key += t;
    }
    key.truncate(length);
    return key;
}

#endif

Hmac::~Hmac() = default;

// Reads exactly size bytes; zip_fread may return fewer.
bool readFully(zip_file_t *file, char *data, zip_uint64_t size)
{
    while (size > 0) {
        const zip_int64_t n = zip_fread(file, data, size);
        if (n <= 0)
            return false;
        data += n;
        size -= zip_uint64_t(n);
    }
    return true;
}

} // namespace

namespace WinZipAes {

QByteArray pbkdf2Sha1(const QByteArray &password, const QByteArray &salt, int iterations, int length)
{
    return derive(password, salt, iterations, length);
}

QByteArray hmacSha1(const QByteArray &key, const QByteArray &message)
{
    Hmac hmac(key);
    hmac.add(message.constData(), size_t(message.size()));
    return hmac.result();
}

Verdict authenticate(zip_t *archive, zip_uint64_t index, const QByteArray &password, std::span<char> buffer,
                     const std::function<bool()> &keepGoing)
{
    zip_stat_t stat;
    constexpr zip_uint64_t needed = ZIP_STAT_CRC | ZIP_STAT_COMP_SIZE | ZIP_STAT_ENCRYPTION_METHOD;
    if (zip_stat_index(archive, index, 0, &stat) != 0 || (stat.valid & needed) != needed || stat.crc != 0)
        return Verdict::Unverified;
    const std::optional<Strength> strength = strengthOf(stat.encryption_method);
    const zip_uint64_t overhead = strength ? zip_uint64_t(strength->saltLength + VerifierLength + CodeLength) : 0;
    if (!strength || stat.comp_size < overhead)
        return Verdict::Unverified;

    // The raw data: salt, password verifier, encrypted data, then the code,
    // which covers the encrypted data only.
    const ZipHandles::FilePtr raw(zip_fopen_index(archive, index, ZIP_FL_ENCRYPTED));
    QByteArray header(strength->saltLength + VerifierLength, Qt::Uninitialized);
    if (!raw || !readFully(raw.get(), header.data(), zip_uint64_t(header.size())))
        return Verdict::Unverified;
    const int keyLength = strength->keyLength;
    const QByteArray keys = derive(password, header.left(strength->saltLength), KeyIterations,
                                   2 * keyLength + VerifierLength);
    if (keys.size() != 2 * keyLength + VerifierLength)
        return Verdict::Unverified;
    if (keys.right(VerifierLength) != header.right(VerifierLength))
        return Verdict::Forged;

    Hmac hmac(keys.mid(keyLength, keyLength));
    for (zip_uint64_t left = stat.comp_size - overhead; left > 0;) {
        if (!keepGoing())
            return Verdict::Stopped;
        const zip_uint64_t chunk = std::min<zip_uint64_t>(left, buffer.size());
        if (!readFully(raw.get(), buffer.data(), chunk))
            return Verdict::Unverified;
        hmac.add(buffer.data(), size_t(chunk));
        left -= chunk;
    }
    char code[CodeLength];
    const QByteArray digest = hmac.result();
    if (!readFully(raw.get(), code, CodeLength) || digest.size() < CodeLength)
        return Verdict::Unverified;
    return std::memcmp(digest.constData(), code, CodeLength) == 0 ? Verdict::Authentic : Verdict::Forged;
}

} // namespace WinZipAes
