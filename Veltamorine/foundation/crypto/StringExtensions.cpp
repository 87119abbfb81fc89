#include "StringExtensions.h"

#include <QRegularExpression>

#include <openssl/evp.h>

namespace StringExtensions {

QString md5(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(bytes.constData(), size_t(bytes.size()), digest, &length, EVP_md5(), nullptr) != 1)
        return {};
    return hexString(QByteArray(reinterpret_cast<const char*>(digest), int(length)));
}

QString hexString(const QByteArray& data)
{
    return QString::fromLatin1(data.toHex());
}

namespace {

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

}

std::optional<QByteArray> hexToBytes(const QString& text)
{
    if (text.size() % 2 != 0)
        return std::nullopt;
    QByteArray bytes;
    bytes.reserve(text.size() / 2);
    for (qsizetype i = 0; i < text.size(); i += 2) {
        const int high = hexDigit(text.at(i));
        const int low = hexDigit(text.at(i + 1));
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes.append(char((high << 4) | low));
    }
    return bytes;
}

const QString& emailPattern()
{
    static const QString pattern = QString::fromUtf8(
        R"re((?:[a-z0-9!#$%\&'*+/=?\^_`{|}~-]+(?:\.[a-z0-9!#$%\&'*+/=?\^_`{|}~-]+)*|"(?:[\x01-\x08\x0b\x0c\x0e-\x1f\x21\x23-\x5b\x5d-\x7f]|\\[\x01-\x09\x0b\x0c\x0e-\x7f])*")@(?:(?:[a-z0-9](?:[a-z0-9-]*[a-z0-9])?\.)+[a-z0-9](?:[a-z0-9-]*[a-z0-9])?|\[(?:(?:25[0-5]|2[0-4][0-9]|[01]?[0-9][0-9]?)\.){3}(?:25[0-5]|2[0-4][0-9]|[01]?[0-9][0-9]?|[a-z0-9-]*[a-z0-9]:(?:[\x01-\x08\x0b\x0c\x0e-\x1f\x21-\x5a\x53-\x7f]|\\[\x01-\x09\x0b\x0c\x0e-\x7f])+)\]))re");
    return pattern;
}

bool isValidEmail(const QString& text)
{
    static const QRegularExpression expression(emailPattern());
    return expression.match(text).hasMatch();
}

}
