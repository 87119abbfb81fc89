#pragma once

#include <QString>
#include <QUrl>

// Tracking parameters of the web pages the application opens, so the site can tell which build,
// platform, appearance and language sent the visitor.
namespace LinkTracking {

struct Parameters {
    QString version;  // the bundle's version string, also the campaign
    QString theme;    // "dark" or "light"
    QString locale;   // the preferred language code
};

// `url` with seven query items appended after the ones it has: version, platform, utm_medium,
// utm_source, utm_campaign, theme, locale. Nothing is replaced or de-duplicated, so applying it
// twice appends the items twice.
QUrl withTrackingParameters(const QUrl& url, const Parameters& parameters);

// This installation's parameters: the main bundle's version string, the application's effective
// appearance and the preferred language code of the app-wide settings.
Parameters currentParameters();
QUrl withTrackingParameters(const QUrl& url);

}
