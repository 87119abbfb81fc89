#pragma once

#include <QByteArray>
#include <QString>

// Proof Key for Code Exchange: a random verifier kept by the client and its S256 challenge sent
// with the authorisation request.
namespace Pkce {

inline constexpr int minimumVerifierLength = 43;
inline constexpr int maximumVerifierLength = 128;

// Base64url without padding.
QString base64Url(const QByteArray& bytes);
// A fresh verifier of `length` characters (clamped to 43..128) from the unreserved alphabet,
// drawn from the system's random source.
QString makeVerifier(int length = 64);
// True for 43 to 128 characters, each of A-Z a-z 0-9 "-" "." "_" "~".
bool isValidVerifier(const QString& verifier);
// BASE64URL(SHA-256(ASCII(verifier))).
QString challenge(const QString& verifier);
// A random value for the "state" parameter (unpadded base64url of 16 random bytes).
QString makeState();

}
