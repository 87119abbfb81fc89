#include "DownloadFileName.h"

#include <QRegularExpression>

namespace {

QString dispositionParameter(const QByteArray& header, const char* name)
{
    const QRegularExpression quoted(QStringLiteral("(?:^|;)\\s*%1\\s*=\\s*\"((?:[^\"\\\\]|\\\\.)*)\"")
            .arg(QRegularExpression::escape(QLatin1String(name))),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpression token(QStringLiteral("(?:^|;)\\s*%1\\s*=\\s*([^;\\s]+)")
            .arg(QRegularExpression::escape(QLatin1String(name))),
        QRegularExpression::CaseInsensitiveOption);
    const QString text = QString::fromUtf8(header);
    if (const auto match = quoted.match(text); match.hasMatch()) {
        QString value = match.captured(1);
        value.replace(QRegularExpression(QStringLiteral("\\\\(.)")), QStringLiteral("\\1"));
        return value;
    }
    if (const auto match = token.match(text); match.hasMatch())
        return match.captured(1);
    return {};
}

// RFC 5987 form: charset'language'percent-encoded-value (UTF-8 only).
QString extendedValue(const QString& value)
{
    const qsizetype first = value.indexOf(u'\'');
    const qsizetype second = first < 0 ? -1 : value.indexOf(u'\'', first + 1);
    if (second < 0 || value.left(first).compare(QStringLiteral("UTF-8"), Qt::CaseInsensitive) != 0)
        return {};
    return QString::fromUtf8(QByteArray::fromPercentEncoding(value.mid(second + 1).toLatin1()));
}

}

QString DownloadFileName::suggested(const QByteArray& contentDisposition, const QUrl& url)
{
    if (const QString extended = dispositionParameter(contentDisposition, "filename*"); !extended.isEmpty()) {
        if (const QString name = extendedValue(extended); !name.isEmpty())
            return name;
    }
    if (const QString plain = dispositionParameter(contentDisposition, "filename"); !plain.isEmpty())
        return plain;
    return url.fileName(QUrl::FullyDecoded);
}

QString DownloadFileName::sanitized(const QString& name, const QString& fallback)
{
    // Only the last component of any path, whichever separator the server used.
    QString base = name.section(QRegularExpression(QStringLiteral("[/\\\\]")), -1);
    // Letters, digits, space and . _ - ( ) + stay; everything else (controls, quotes, shell
    // and desktop specials) goes.
    base.remove(QRegularExpression(QStringLiteral("[^\\p{L}\\p{N} ._()+-]")));
    // No leading dots (hidden files, "." and ".."), no leading dash (option-like), no trailing
    // dots or spaces.
    static const QRegularExpression leading(QStringLiteral("^[.\\s-]+"));
    static const QRegularExpression trailing(QStringLiteral("[.\\s]+$"));
    base.remove(leading);
    base.remove(trailing);
    while (base.toUtf8().size() > 255)
        base.chop(1);
    return base.isEmpty() ? fallback : base;
}
