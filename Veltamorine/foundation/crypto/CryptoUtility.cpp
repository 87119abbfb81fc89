#include "CryptoUtility.h"

#include "Keys.h"
#include "StrictBase64.h"
#include "StringExtensions.h"

#include <QStringDecoder>

#include <openssl/core_names.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>

#include <memory>

namespace CryptoUtility {

namespace {

constexpr int gcmTagLength = 16;

struct PkeyFree {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct PkeyCtxFree {
    void operator()(EVP_PKEY_CTX* ctx) const { EVP_PKEY_CTX_free(ctx); }
};
struct CipherCtxFree {
    void operator()(EVP_CIPHER_CTX* ctx) const { EVP_CIPHER_CTX_free(ctx); }
};

// The crypto library's description of the last failure on this thread, then a clean error queue.
// OpenSSL's texts name the failing routine and reason; they carry no key or data bytes.
QString takeLibraryError()
{
    QString text;
    while (const unsigned long code = ERR_get_error()) {
        char buffer[256];
        ERR_error_string_n(code, buffer, sizeof buffer);
        if (!text.isEmpty())
            text += QLatin1StringView("; ");
        text += QString::fromLatin1(buffer);
    }
    return text;
}

std::unique_ptr<EVP_PKEY, PkeyFree> rsaPrivateKey(const QByteArray& der, QString& error)
{
    ERR_clear_error();
    const auto* cursor = reinterpret_cast<const unsigned char*>(der.constData());
    EVP_PKEY* key = d2i_PrivateKey(EVP_PKEY_RSA, nullptr, &cursor, long(der.size()));
    std::unique_ptr<EVP_PKEY, PkeyFree> owned(key);
    if (!owned) {
        error = takeLibraryError();
        return nullptr;
    }
    if (cursor != reinterpret_cast<const unsigned char*>(der.constData()) + der.size()) {
        error = QStringLiteral("trailing bytes after the RSA private key");
        return nullptr;
    }
    return owned;
}

// Since 3.2 OpenSSL answers a bad PKCS#1 v1.5 padding with made-up plaintext instead of an error
// ("implicit rejection"). A failed decryption must stay a failure here, so it is switched off;
// builds that do not know the parameter ignore it and fail explicitly anyway.
bool disableImplicitRejection(EVP_PKEY_CTX* ctx)
{
    unsigned int off = 0;
    const OSSL_PARAM params[] = {
        OSSL_PARAM_construct_uint("implicit-rejection", &off),
        OSSL_PARAM_construct_end(),
    };
    if (EVP_PKEY_CTX_set_params(ctx, params) != 1)
        return false;
    // Read it back where the build knows it; a build that still rejects implicitly is refused.
    unsigned int current = 0;
    OSSL_PARAM query[] = {
        OSSL_PARAM_construct_uint("implicit-rejection", &current),
        OSSL_PARAM_construct_end(),
    };
    if (EVP_PKEY_CTX_get_params(ctx, query) == 1 && OSSL_PARAM_modified(query) && current != 0)
        return false;
    return true;
}

}

std::optional<QString> utf8Text(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

std::expected<QByteArray, DecryptionError> decryptRSAData(const QByteArray& ciphertext, const QByteArray& privateKeyDer)
{
    QString keyError;
    const auto key = rsaPrivateKey(privateKeyDer, keyError);
    if (!key)
        return std::unexpected(DecryptionError{DecryptionError::Kind::InvalidKey, keyError});

    ERR_clear_error();
    const std::unique_ptr<EVP_PKEY_CTX, PkeyCtxFree> ctx(EVP_PKEY_CTX_new_from_pkey(nullptr, key.get(), nullptr));
    if (!ctx || EVP_PKEY_decrypt_init(ctx.get()) != 1
        || EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_PKCS1_PADDING) != 1)
        return std::unexpected(DecryptionError{DecryptionError::Kind::UnableToDecrypt, takeLibraryError()});
    if (!disableImplicitRejection(ctx.get())) {
        const QString detail = takeLibraryError();
        return std::unexpected(DecryptionError{DecryptionError::Kind::UnableToDecrypt,
                                               detail.isEmpty() ? QStringLiteral("implicit rejection cannot be switched off")
                                                                : detail});
    }

    const auto* in = reinterpret_cast<const unsigned char*>(ciphertext.constData());
    size_t length = 0;
    if (EVP_PKEY_decrypt(ctx.get(), nullptr, &length, in, size_t(ciphertext.size())) != 1)
        return std::unexpected(DecryptionError{DecryptionError::Kind::UnableToDecrypt, takeLibraryError()});
    QByteArray plain(qsizetype(length), Qt::Uninitialized);
    if (EVP_PKEY_decrypt(ctx.get(), reinterpret_cast<unsigned char*>(plain.data()), &length, in,
                         size_t(ciphertext.size()))
        != 1) {
        const QString detail = takeLibraryError();
        if (detail.isEmpty())
            return std::unexpected(DecryptionError{DecryptionError::Kind::EmptyData, {}});
        return std::unexpected(DecryptionError{DecryptionError::Kind::UnableToDecrypt, detail});
    }
    plain.truncate(qsizetype(length));
    return plain;
}

std::expected<QString, DecryptionError> decryptRSA(const QString& base64, const QString& privateKeyBase64)
{
    const std::optional<QByteArray> ciphertext = StrictBase64::decode(QStringView(base64));
    if (!ciphertext)
        return std::unexpected(DecryptionError{DecryptionError::Kind::KeyIsNotEncoded, {}});
    const std::optional<QByteArray> keyDer = StrictBase64::decode(QStringView(privateKeyBase64));
    if (!keyDer)
        return std::unexpected(DecryptionError{DecryptionError::Kind::KeyIsNotEncoded, {}});
    std::expected<QByteArray, DecryptionError> plain = decryptRSAData(*ciphertext, *keyDer);
    if (!plain)
        return std::unexpected(plain.error());
    std::optional<QString> text = utf8Text(*plain);
    if (!text)
        return std::unexpected(DecryptionError{DecryptionError::Kind::MalformedData, {}});
    return *text;
}

std::expected<QString, DecryptionError> decryptRSA(const QString& base64)
{
    return decryptRSA(base64, Keys::required(u"rsaPrivateKey"));
}

std::optional<QString> decryptAESGCM(const QString& base64, const QString& keyHex, const QString& ivHex)
{
    const std::optional<QByteArray> key = StringExtensions::hexToBytes(keyHex);
    const std::optional<QByteArray> iv = StringExtensions::hexToBytes(ivHex);
    if (!key || !iv || key->size() != 32 || iv->isEmpty())
        return std::nullopt;
    const std::optional<QByteArray> sealed = StrictBase64::decode(QStringView(base64));
    if (!sealed || sealed->size() < gcmTagLength)
        return std::nullopt;

    const qsizetype cipherLength = sealed->size() - gcmTagLength;
    const auto* cipherBytes = reinterpret_cast<const unsigned char*>(sealed->constData());
    QByteArray tag = sealed->right(gcmTagLength);

    const std::unique_ptr<EVP_CIPHER_CTX, CipherCtxFree> ctx(EVP_CIPHER_CTX_new());
    if (!ctx || EVP_DecryptInit_ex(ctx.get(), EVP_aes_256_gcm(), nullptr, nullptr, nullptr) != 1
        || EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_IVLEN, int(iv->size()), nullptr) != 1
        || EVP_DecryptInit_ex(ctx.get(), nullptr, nullptr, reinterpret_cast<const unsigned char*>(key->constData()),
                              reinterpret_cast<const unsigned char*>(iv->constData()))
            != 1) {
        ERR_clear_error();
        return std::nullopt;
    }

    QByteArray plain(cipherLength + gcmTagLength, Qt::Uninitialized);
    int written = 0;
    int finalWritten = 0;
    const bool opened =
        EVP_DecryptUpdate(ctx.get(), reinterpret_cast<unsigned char*>(plain.data()), &written, cipherBytes,
                          int(cipherLength))
            == 1
        && EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_TAG, gcmTagLength, tag.data()) == 1
        && EVP_DecryptFinal_ex(ctx.get(), reinterpret_cast<unsigned char*>(plain.data()) + written, &finalWritten) == 1;
    if (!opened) {
        ERR_clear_error();
        return std::nullopt;
    }
    plain.truncate(written + finalWritten);
    return utf8Text(plain);
}

std::optional<QString> decryptAESGCM(const QString& base64)
{
    return decryptAESGCM(base64, Keys::required(u"aesGcmKey"), Keys::required(u"aesGcmIV"));
}

}
