#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// A key and IV taken as the raw UTF-8 bytes of two texts (not hex, not base64). The domain list
// decryption keeps one.
struct Encryption {
    QByteArray key;  // 16 or 32 characters of text
    QByteArray iv;   // 16 characters of text

    // Characters are counted as the user sees them, so 16 two-byte characters make a 32-byte key.
    // None (with a debug line) when the key has neither 16 nor 32 characters or the IV not 16.
    static std::optional<Encryption> make(const QString& key, const QString& iv);

    // Characters as the user sees them (grapheme clusters).
    static qsizetype characterCount(const QString& text);
};
