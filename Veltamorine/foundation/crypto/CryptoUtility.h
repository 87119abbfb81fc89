#pragma once

#include "DecryptionError.h"

#include <QByteArray>
#include <QString>
#include <expected>
#include <optional>

// Turns protected text from the backend into plain text with the keys built into the program.
// Stateless; callable from any thread.
namespace CryptoUtility {

// Decrypts strict-base64 RSA PKCS#1 v1.5 ciphertext with the built-in private key (the VPN password).
std::expected<QString, DecryptionError> decryptRSA(const QString& base64);
// The same with a private key given as strict base64 of its PKCS#1 DER form.
std::expected<QString, DecryptionError> decryptRSA(const QString& base64, const QString& privateKeyBase64);

// The inner step: ciphertext bytes and PKCS#1 DER private key bytes to plaintext bytes.
std::expected<QByteArray, DecryptionError> decryptRSAData(const QByteArray& ciphertext, const QByteArray& privateKeyDer);

// Decrypts strict-base64 AES-256-GCM text (ciphertext followed by its 16-byte tag, no additional
// data) with the built-in key and 16-byte IV. Every failure, a wrong tag included, gives none.
std::optional<QString> decryptAESGCM(const QString& base64);
// The same with the key (64 hex characters) and IV (32 hex characters) given.
std::optional<QString> decryptAESGCM(const QString& base64, const QString& keyHex, const QString& ivHex);

// Strict UTF-8 text of `bytes`; none when they are not valid UTF-8.
std::optional<QString> utf8Text(const QByteArray& bytes);

}
