#include "LinkTracking.h"

#include "AppPreferences.h"
#include "ApplicationAppearance.h"
#include "Bundle.h"

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

Parameters currentParameters()
{
    return Parameters{Bundle::main().versionString(), ApplicationAppearance::currentThemeName(),
                      AppPreferences().preferredLanguageCode()};
}

QUrl withTrackingParameters(const QUrl& url)
{
    return withTrackingParameters(url, currentParameters());
}

}
