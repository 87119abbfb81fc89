#include "WebDataStore.h"

#include "WebLog.h"

#include <QWebEngineCookieStore>
#include <QWebEngineProfile>

namespace WebDataStore {

namespace {

QWebEngineProfile* orDefault(QWebEngineProfile* profile)
{
    return profile ? profile : QWebEngineProfile::defaultProfile();
}

}

void removeAllCookies(QWebEngineProfile* profile)
{
    orDefault(profile)->cookieStore()->deleteAllCookies();
}

void removeAllWebsiteData(QWebEngineProfile* profile, std::function<void()> done)
{
    profile = orDefault(profile);
    profile->clearHttpCache();
    profile->clearAllVisitedLinks();
    qCInfo(lcWeb) << "web data cleared";
    if (done)
        done();
}

}
