#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// Text and byte conversions shared by the request signing, the member-area link and the sign-in flow.
namespace StringExtensions {

// Lower-case hexadecimal MD5 digest of the text's UTF-8 bytes (32 characters).
QString md5(const QString& text);

// Two lower-case hexadecimal digits per byte, no separator.
QString hexString(const QByteArray& data);

// The bytes of a hexadecimal text (either case); none for an odd length or a pair that is not hex.
std::optional<QByteArray> hexToBytes(const QString& text);

// True when an e-mail address (lower case) appears anywhere in the text.
bool isValidEmail(const QString& text);

// The address pattern itself, exactly as the check uses it.
const QString& emailPattern();

}
