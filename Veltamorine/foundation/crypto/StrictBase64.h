#pragma once

#include <QByteArray>
#include <QStringView>
#include <optional>

// Standard base64 (RFC 4648 alphabet with "=" padding) decoded strictly: the length must be a
// multiple of four, padding may only close the text, and any other character (a line break, a
// blank, the URL-safe letters) fails the whole decode. Qt's and OpenSSL's decoders skip such
// characters, which would let altered text through.
namespace StrictBase64 {

std::optional<QByteArray> decode(QByteArrayView text);
std::optional<QByteArray> decode(QStringView text);

}
