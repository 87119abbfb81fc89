#pragma once

#include <QString>

// Why the RSA decryption of a backend secret failed.
struct DecryptionError {
    enum class Kind {
        InvalidKey,        // the private key could not be built; detail: the crypto library's error
        UnableToDecrypt,   // decryption failed; detail: the crypto library's error
        KeyIsNotEncoded,   // the stored key or the input is not strict base64
        DataIsNotEncoded,  // kept for completeness; never raised
        EmptyData,         // decryption gave nothing and no error
        MalformedData,     // the plaintext is not UTF-8
    };

    Kind kind;
    QString detail;  // never holds key material or plaintext

    bool operator==(const DecryptionError&) const = default;
};
