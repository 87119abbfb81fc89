#include "OAuthService.h"

#include "AccountConfiguration.h"
#include "AccountLog.h"
#include "AppManager.h"
#include "Bundle.h"
#include "MainQueue.h"
#include "OAuthWebViewPresenter.h"
#include "User.h"
#include "WebDataStore.h"

#include <mutex>

namespace {

std::mutex settingsMutex;

QVariantMap& sharedSettings()
{
    static QVariantMap settings;
    return settings;
}

QVariantMap& builtSettings()
{
    QVariantMap& settings = sharedSettings();
    if (settings.isEmpty()) {
        settings = QVariantMap{
            {QStringLiteral("client_id"), QStringLiteral("----")},
            {QStringLiteral("client_secret"), QString()},
            {QStringLiteral("token_uri"), QStringLiteral("https://") + AccountConfiguration::identityHost() + QStringLiteral("/oauth2/token")},
            {QStringLiteral("redirect_uris"), QStringList{QStringLiteral("quibbo")}},
            {QStringLiteral("scope"), QStringLiteral("offline_access")},
            {QStringLiteral("use_pkce"), true},
            {QStringLiteral("keychain"), true},
        };
    }
    return settings;
}

QString page(const char* path)
{
    return QStringLiteral("https://") + AccountConfiguration::identityHost() + QLatin1StringView(path)
        + QStringLiteral("?env=") + Bundle::main().releaseCode()
        + QStringLiteral("&client_id=----&response_type=code&redirect_uri=veltamorine%3A%2F%2Fhome");
}

std::mutex presenterMutex;
OAuth2CodeGrant::Presenter& sharedPresenter()
{
    static OAuth2CodeGrant::Presenter presenter;
    return presenter;
}

}

OAuthService::OAuthService() = default;
OAuthService::~OAuthService() = default;

std::shared_ptr<OAuthService> OAuthService::shared()
{
    static std::once_flag once;
    static std::shared_ptr<OAuthService> service;
    std::call_once(once, [] {
        service = std::make_shared<OAuthService>();
        AuthProtocol::setShared(service);
    });
    return service;
}

QVariantMap OAuthService::settings()
{
    std::lock_guard lock(settingsMutex);
    return builtSettings();
}

QString OAuthService::loginURL()
{
    static const QString url = page("/oauth2/authorize");
    return url;
}

QString OAuthService::registerURL()
{
    static const QString url = page("/oauth2/register");
    return url;
}

std::shared_ptr<OAuthClientHandle> OAuthService::oauth()
{
    return client();
}

std::shared_ptr<OAuth2Client> OAuthService::client()
{
    if (oauth_)
        return oauth_;
    QVariantMap settings;
    {
        std::lock_guard lock(settingsMutex);
        QVariantMap& shared = builtSettings();
        // No part of the application stores true here, so the registration page is the usual one.
        const bool viaLogin = User().authenticatedViaLogin();
        shared.insert(QStringLiteral("authorize_uri"), viaLogin ? loginURL() : registerURL());
        settings = shared;
    }
    oauth_ = std::make_shared<OAuth2Client>(settings);
    return oauth_;
}

void OAuthService::setPresenter(OAuth2CodeGrant::Presenter presenter)
{
    std::lock_guard lock(presenterMutex);
    sharedPresenter() = std::move(presenter);
}

OAuth2CodeGrant::Presenter OAuthService::presenter()
{
    std::lock_guard lock(presenterMutex);
    return sharedPresenter() ? sharedPresenter() : OAuthWebViewPresenter::make();
}

void OAuthService::authorize(AuthorizeCompletion completion)
{
    const std::shared_ptr<OAuth2Client> grant = client();
    grant->authorizeEmbedded = true;
    grant->presenter = presenter();
    grant->authorize({}, [completion = std::move(completion)](const auto&, const std::optional<OAuth2Error>& error) {
        if (!completion)
            return;
        if (error)
            completion(std::unexpected(*error));
        else
            completion(true);
    });
}

void OAuthService::signOut()
{
    client()->forgetTokens();
    // Every copy goes, persisted ones included: a token set must not outlive the sign-out.
    AppManager::shared().clearTokens();
    clearWebData();
    qCInfo(lcAccount) << "signed out of the identity service";
}

void OAuthService::clearWebData()
{
    WebDataStore::removeAllCookies();
    MainQueue::async([] { WebDataStore::removeAllWebsiteData(); });
}
