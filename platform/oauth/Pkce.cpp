#include "Pkce.h"

#include <QCryptographicHash>
#include <QRandomGenerator>
#include <algorithm>

namespace {

const char unreserved[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~";

bool isUnreserved(QChar c)
{
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'-'
        || c == u'.' || c == u'_' || c == u'~';
}

QByteArray randomBytes(int count)
{
    QByteArray bytes(count, Qt::Uninitialized);
    QRandomGenerator* source = QRandomGenerator::system();
    for (char& b : bytes)
        b = char(source->bounded(256));
    return bytes;
}

}

namespace Pkce {

QString base64Url(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

QString makeVerifier(int length)
{
    length = std::clamp(length, minimumVerifierLength, maximumVerifierLength);
    const int alphabet = int(sizeof(unreserved) - 1);
    QString verifier;
    verifier.reserve(length);
    QRandomGenerator* source = QRandomGenerator::system();
    for (int i = 0; i < length; ++i)
        verifier.append(QLatin1Char(unreserved[source->bounded(alphabet)]));
    return verifier;
}

bool isValidVerifier(const QString& verifier)
{
    if (verifier.size() < minimumVerifierLength || verifier.size() > maximumVerifierLength)
        return false;
    return std::all_of(verifier.cbegin(), verifier.cend(), isUnreserved);
}

QString challenge(const QString& verifier)
{
    return base64Url(QCryptographicHash::hash(verifier.toLatin1(), QCryptographicHash::Sha256));
}

QString makeState()
{
    return base64Url(randomBytes(16));
}

}
