#pragma once

// The sealing the stand-in service uses for the token set, shared with the tests that build a
// token set of their own. Header-only, like the route files; the program including it links OpenSSL.

#include <QByteArray>
#include <QString>
#include <openssl/evp.h>

namespace SandboxCrypto {

// AES-256-GCM with `key` (32 bytes) and `iv`: the ciphertext followed by the 16-byte tag, as base64.
inline QString sealAESGCM(const QByteArray& plain, const QByteArray& key, const QByteArray& iv)
{
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    QByteArray sealed(plain.size() + 16, Qt::Uninitialized);
    int written = 0;
    int finalWritten = 0;
    EVP_EncryptInit_ex(ctx, EVP_aes_256_gcm(), nullptr, nullptr, nullptr);
    EVP_CIPHER_CTX_ctrl(ctx, EVP_CTRL_GCM_SET_IVLEN, int(iv.size()), nullptr);
    EVP_EncryptInit_ex(ctx, nullptr, nullptr, reinterpret_cast<const unsigned char*>(key.constData()),
                       reinterpret_cast<const unsigned char*>(iv.constData()));
    EVP_EncryptUpdate(ctx, reinterpret_cast<unsigned char*>(sealed.data()), &written,
                      reinterpret_cast<const unsigned char*>(plain.constData()), int(plain.size()));
    EVP_EncryptFinal_ex(ctx, reinterpret_cast<unsigned char*>(sealed.data()) + written, &finalWritten);
    EVP_CIPHER_CTX_ctrl(ctx, EVP_CTRL_GCM_GET_TAG, 16, sealed.data() + written + finalWritten);
    EVP_CIPHER_CTX_free(ctx);
    sealed.truncate(written + finalWritten + 16);
    return QString::fromLatin1(sealed.toBase64());
}

}
