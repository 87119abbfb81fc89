#include "AccountTestFixture.h"

#include "OAuthService.h"
#include "OAuthWebViewController.h"

#include <QNetworkCookie>
#include <QUrlQuery>
#include <QWebEngineCookieStore>
#include <QWebEngineProfile>

namespace {

class OAuthServiceTest : public AccountTest {
protected:
    ~OAuthServiceTest() override { OAuthService::setPresenter({}); }
};

// Loads `path` of the stand-in in a browser window of the default profile and waits for it.
void visit(SandboxServer& server, const QString& path)
{
    OAuthWebViewController window;
    bool done = false;
    QObject::connect(window.page(), &QWebEnginePage::loadFinished, [&](bool) { done = true; });
    window.loadURL(server.url(path));
    EXPECT_TRUE(TestSupport::waitUntil([&] { return done; }, 10000)) << path.toStdString();
}

// Whether the browser sent a cookie with its last visit of `path`.
bool sentCookie(SandboxServer& server, const QString& path)
{
    const QList<SandboxRequest> requests = server.requests("GET", path);
    return !requests.isEmpty() && requests.last().header("Cookie").contains("session=value");
}

}

TEST_F(OAuthServiceTest, TheFirstClientTakesTheRegistrationPageAndStays)
{
    OAuthService service;
    const std::shared_ptr<OAuth2Client> client = service.client();
    const QUrl page = client->authorizeURI();
    // The pages and settings are made once per process, with the identity host of that moment.
    EXPECT_TRUE(page.toString(QUrl::RemoveQuery).startsWith(QStringLiteral("https://127.0.0.1:")));
    EXPECT_EQ(page.path(), QStringLiteral("/oauth2/register"));
    EXPECT_EQ(page.query(QUrl::FullyEncoded),
              QStringLiteral("env=PRODUCTION&client_id=----&response_type=code&redirect_uri=veltamorine%3A%2F%2Fhome"));

    User().setAuthenticatedViaLogin(true);
    EXPECT_EQ(service.client(), client);
    EXPECT_EQ(service.oauth(), std::static_pointer_cast<OAuthClientHandle>(client));
    EXPECT_EQ(service.client()->authorizeURI(), page);
    EXPECT_EQ(OAuthService::settings().value(QStringLiteral("authorize_uri")).toString(), OAuthService::registerURL());

    // A service made after the key is set signs in instead.
    OAuthService later;
    EXPECT_EQ(later.client()->authorizeURI().path(), QStringLiteral("/oauth2/authorize"));
}

TEST_F(OAuthServiceTest, SettingsOfTheClient)
{
    const QVariantMap settings = OAuthService::settings();
    EXPECT_EQ(settings.value(QStringLiteral("client_id")).toString(), QStringLiteral("----"));
    EXPECT_EQ(settings.value(QStringLiteral("client_secret")).toString(), QString());
    EXPECT_EQ(settings.value(QStringLiteral("token_uri")).toString(),
              QUrl(OAuthService::registerURL()).adjusted(QUrl::RemovePath | QUrl::RemoveQuery).toString() + QStringLiteral("/oauth2/token"));
    EXPECT_EQ(settings.value(QStringLiteral("redirect_uris")).toStringList(), QStringList{QStringLiteral("quibbo")});
    EXPECT_EQ(settings.value(QStringLiteral("scope")).toString(), QStringLiteral("offline_access"));
    EXPECT_TRUE(settings.value(QStringLiteral("use_pkce")).toBool());
    EXPECT_TRUE(settings.value(QStringLiteral("keychain")).toBool());
}

TEST_F(OAuthServiceTest, AuthorizeReportsTrueOrTheClientsError)
{
    struct Row { bool redirect; std::optional<OAuth2Error::Kind> error; };
    for (const Row row : {Row{true, std::nullopt}, Row{false, OAuth2Error::Kind::requestCancelled}}) {
        QUrl shown;
        OAuthService::setPresenter([&](const QUrl& page, const QUrl& redirect, auto done) {
            shown = page;
            if (!row.redirect) {
                done(std::nullopt);
                return;
            }
            QUrl answer = redirect;
            answer.setQuery(QStringLiteral("state=%1&code=abc").arg(QUrlQuery(page).queryItemValue(QStringLiteral("state"))));
            done(answer);
        });
        OAuthService service;
        std::optional<std::expected<bool, OAuth2Error>> result;
        service.authorize([&](const auto& r) { result = r; });
        ASSERT_TRUE(result);
        EXPECT_TRUE(service.client()->authorizeEmbedded);
        EXPECT_EQ(QUrlQuery(shown).queryItemValue(QStringLiteral("code_challenge_method")), QStringLiteral("S256"));
        if (!row.error) {
            EXPECT_TRUE(result->has_value() && **result);
        } else {
            ASSERT_FALSE(result->has_value());
            EXPECT_EQ(result->error().kind, *row.error);
        }
    }
}

TEST_F(OAuthServiceTest, SignOutEmptiesEveryTokenCopyAndClearsWebData)
{
    AppManager::shared().saveTokens(*AuthObject::fromJson(tokenSet()), false);
    OAuthService service;
    service.client()->setTokens(QStringLiteral("client-access"), QStringLiteral("client-refresh"));
    SandboxReply setting = SandboxReply::raw(200, "<html><head><title>set</title></head></html>", "text/html");
    setting.headers.append(qMakePair(QByteArray("Set-Cookie"), QByteArray("session=value; Path=/; Secure")));
    sandbox.reply("GET", QStringLiteral("/set"), setting);
    sandbox.reply("GET", QStringLiteral("/check"), SandboxReply::raw(200, "<html><head><title>check</title></head></html>", "text/html"));
    visit(sandbox, QStringLiteral("/set"));
    visit(sandbox, QStringLiteral("/check"));
    ASSERT_TRUE(sentCookie(sandbox, QStringLiteral("/check")));

    service.signOut();
    const AppManagerTokens tokens = AppManager::shared().tokens();
    EXPECT_TRUE(tokens.iws_accessToken.isEmpty());
    EXPECT_TRUE(tokens.iws_refreshToken.isEmpty());
    EXPECT_EQ(tokens.iws_expiry, 0);
    EXPECT_EQ(tokens.iws_refreshToken_expiry, 0);
    EXPECT_FALSE(UserDefaults::standard().hasObject(AppManager::accessTokenKey));
    EXPECT_FALSE(UserDefaults::standard().hasObject(AppManager::refreshTokenKey));
    EXPECT_TRUE(service.client()->accessToken().isEmpty());
    EXPECT_TRUE(OAuthService().client()->accessToken().isEmpty());
    TestSupport::processEvents(50);
    visit(sandbox, QStringLiteral("/check"));
    EXPECT_FALSE(sentCookie(sandbox, QStringLiteral("/check")));

    // Nothing to clear is fine too.
    service.signOut();
    EXPECT_TRUE(AppManager::shared().iws_accessToken().isEmpty());
}

TEST_F(OAuthServiceTest, TheSharedServiceIsTheApiClientsAuthService)
{
    const std::shared_ptr<OAuthService> shared = OAuthService::shared();
    EXPECT_EQ(OAuthService::shared(), shared);
    EXPECT_EQ(AuthProtocol::shared(), std::static_pointer_cast<AuthProtocol>(shared));
    EXPECT_EQ(shared->oauth(), shared->oauth());
    EXPECT_FALSE(shared->authorizationCode);
}

TEST_F(OAuthServiceTest, TheCompositionsSignInHoldsTheSharedServices)
{
    const std::shared_ptr<UserAuthentication> made = makeUserAuthentication();
    EXPECT_EQ(made->auth, std::static_pointer_cast<AuthProtocol>(OAuthService::shared()));
    EXPECT_EQ(made->networkingManager.get(), static_cast<NetworkingProtocol*>(&Networking::shared()));
    EXPECT_EQ(Networking::shared().auth, std::static_pointer_cast<AuthProtocol>(OAuthService::shared()));
}
