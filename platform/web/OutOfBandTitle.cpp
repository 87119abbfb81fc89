#include "OutOfBandTitle.h"

#include "RedirectMatcher.h"

namespace OutOfBandTitle {

bool isOutOfBandRedirect(const QString& interceptURL)
{
    const UrlTextParts parts = UrlTextParts::split(interceptURL);
    return parts.scheme == QStringLiteral("urn") && parts.path.startsWith(QLatin1StringView("ietf:wg:oauth:2.0:oob"));
}

std::optional<QUrl> resultURL(const QString& title)
{
    static const QString prefix = QStringLiteral("Success ");
    if (!title.startsWith(prefix))
        return std::nullopt;
    QString rest = title;
    rest.remove(prefix);
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(QStringLiteral("localhost"));
    url.setPath(QStringLiteral("/"));
    url.setQuery(rest, QUrl::TolerantMode);
    if (!url.isValid())
        return std::nullopt;
    return url;
}

}
