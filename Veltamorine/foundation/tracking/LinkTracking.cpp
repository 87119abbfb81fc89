#include "LinkTracking.h"

#include <QUrlQuery>

namespace LinkTracking {

QUrl withTrackingParameters(const QUrl& url, const Parameters& parameters)
{
    QUrlQuery query(url);
    query.addQueryItem(QStringLiteral("version"), parameters.version);
    query.addQueryItem(QStringLiteral("platform"), QStringLiteral("mac"));
    query.addQueryItem(QStringLiteral("utm_medium"), QStringLiteral("apps"));
    query.addQueryItem(QStringLiteral("utm_source"), QStringLiteral("mac"));
    query.addQueryItem(QStringLiteral("utm_campaign"), parameters.version);
    query.addQueryItem(QStringLiteral("theme"), parameters.theme);
    query.addQueryItem(QStringLiteral("locale"), parameters.locale);
    QUrl tracked = url;
    tracked.setQuery(query);
    return tracked;
}

}
