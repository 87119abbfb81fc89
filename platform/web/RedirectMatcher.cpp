#include "RedirectMatcher.h"

#include <QRegularExpression>

namespace {

bool isSchemeText(QStringView text)
{
    if (text.isEmpty() || !text.front().isLetter())
        return false;
    for (QChar c : text) {
        if (!(c.isLetterOrNumber() || c == u'+' || c == u'-' || c == u'.') || c.unicode() > 127)
            return false;
    }
    return true;
}

}

UrlTextParts UrlTextParts::split(const QString& url)
{
    UrlTextParts parts;
    QStringView rest(url);
    const qsizetype end = rest.indexOf(QRegularExpression(QStringLiteral("[?#]")));
    if (end >= 0)
        rest = rest.left(end);
    const qsizetype colon = rest.indexOf(u':');
    if (colon > 0 && isSchemeText(rest.left(colon))) {
        parts.scheme = rest.left(colon).toString();
        rest = rest.mid(colon + 1);
    }
    if (rest.startsWith(u"//")) {
        rest = rest.mid(2);
        qsizetype slash = rest.indexOf(u'/');
        QStringView authority = slash >= 0 ? rest.left(slash) : rest;
        rest = slash >= 0 ? rest.mid(slash) : QStringView();
        const qsizetype at = authority.lastIndexOf(u'@');
        if (at >= 0)
            authority = authority.mid(at + 1);
        // A port follows the last colon, unless that colon sits inside an IPv6 literal.
        const qsizetype portColon = authority.lastIndexOf(u':');
        if (portColon >= 0 && portColon > authority.lastIndexOf(u']'))
            authority = authority.left(portColon);
        parts.host = authority.toString();
    }
    parts.path = rest.toString();
    return parts;
}

bool redirectMatches(const QString& request, const std::optional<QString>& intercept)
{
    if (!intercept)
        return false;
    const UrlTextParts r = UrlTextParts::split(request);
    const UrlTextParts i = UrlTextParts::split(*intercept);
    if (r.scheme != i.scheme || r.host != i.host)
        return false;
    return r.path == i.path || r.path + i.path == QLatin1StringView("/");
}

bool redirectMatches(const QUrl& request, const std::optional<QString>& intercept)
{
    return redirectMatches(request.toString(QUrl::FullyEncoded), intercept);
}
