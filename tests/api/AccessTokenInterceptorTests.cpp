#include "AccessTokenInterceptor.h"
#include "ApiTestFixture.h"
#include "AppPreferences.h"
#include "HttpError.h"
#include "Keychain.h"
#include "Scheduler.h"
#include "SessionSignOut.h"
#include "VirtualScheduler.h"


namespace {

SandboxReply named(const QString& name)
{
    return GatewayRoutes::envelope(200, QStringLiteral("OK"), QJsonObject{{QStringLiteral("name"), name}});
}

QJsonObject tokenSet(const QString& access, const QString& refresh)
{
    return QJsonObject{{"oem-at", access}, {"oem-rt", refresh}, {"oem-type", "Bearer"}, {"oem-ate", 3600}, {"oem-rte", 86400}};
}

}

class AccessTokenInterceptorTest : public ApiTest {
protected:
    AccessTokenInterceptorTest()
    {
        Scheduler::setMain(&clock);
        SessionSignOut::bind([this] { ++signOuts; });
    }
    ~AccessTokenInterceptorTest() override
    {
        SessionSignOut::bind(nullptr);
        Scheduler::setMain(nullptr);
    }

    // Answers every gateway call on `path` with 401 until `authorised` returns true for the
    // bearer header it carries.
    void serveGuarded(const QString& path, QByteArray acceptedBearer)
    {
        sandbox.route(GatewayRoutes::stamped("GET", GatewayRoutes::prefixed(path), [acceptedBearer](const SandboxRequest& request) {
            if (request.header("Authorization") != acceptedBearer)
                return GatewayRoutes::envelope(401, QStringLiteral("Unauthorized"), std::nullopt, 401);
            return named("granted");
        }));
    }

    QStringList log() const { return logCapture.lines(); }

    LogCapture logCapture;
    VirtualScheduler clock;
    int signOuts = 0;
};

TEST_F(AccessTokenInterceptorTest, UnauthorisedRequestRefreshesTokensOnceAndTheNextRequestCarriesTheNewOne)
{
    storeTokens("access-1", "refresh-1", 86400);
    const QString code = encryptTokenSet(tokenSet("access-2", "refresh-2"));
    GatewayRoutes::installRefreshToken(sandbox, [code](const SandboxRequest&) { return GatewayRoutes::tokenResponse(code); });
    serveGuarded("/user/portforwarding/v3", "Bearer access-2");

    const auto first = run<NamedModel>(HttpMethod::Get, Endpoint::PortForwarding);

    ASSERT_FALSE(first);  // the request that met the 401 is not sent again
    EXPECT_EQ(sandbox.requests("GET", GatewayRoutes::prefixed("/user/portforwarding/v3")).size(), 1);
    const SandboxRequest refresh = onlyRequest("POST", GatewayRoutes::refreshTokenPath());
    EXPECT_EQ(refresh.jsonBody(), (QJsonObject{{"refresh_token", "refresh-1"}, {"realm", "Veltamorine"}}));
    EXPECT_FALSE(refresh.hasHeader("Authorization"));
    EXPECT_FALSE(refresh.hasHeader("Token"));
    EXPECT_TRUE(refresh.query.isEmpty());
    const AppManagerTokens stored = AppManager::shared().tokens();
    EXPECT_EQ(stored.iws_accessToken, QStringLiteral("access-2"));
    EXPECT_EQ(stored.iws_refreshToken, QStringLiteral("refresh-2"));
    EXPECT_EQ(stored.iws_createdAt, clock.now());
    EXPECT_EQ(Keychain(QStringLiteral("AppPreferences")).get(QStringLiteral("PRODUCTION_API_dialer-api/user")), QStringLiteral("access-2"));
    EXPECT_EQ(AppPreferences().keychainValue(QStringLiteral("dialer-api/user")), QStringLiteral("access-2"));
    EXPECT_EQ(signOuts, 0);

    const auto second = run<NamedModel>(HttpMethod::Get, Endpoint::PortForwarding);
    ASSERT_TRUE(second);
    EXPECT_EQ(sandbox.requests("GET", GatewayRoutes::prefixed("/user/portforwarding/v3")).last().header("Authorization"),
              "Bearer access-2");
    EXPECT_EQ(sandbox.requests("POST", GatewayRoutes::refreshTokenPath()).size(), 1);

    for (const QString& line : log()) {
        for (const char* secret : {"access-1", "access-2", "refresh-1", "refresh-2"})
            EXPECT_FALSE(line.contains(QLatin1StringView(secret))) << line.toStdString();
        EXPECT_FALSE(line.contains(code)) << line.toStdString();
    }
    EXPECT_FALSE(log().isEmpty());
}

TEST_F(AccessTokenInterceptorTest, ExpiredRefreshTokenSignsOutOnceWithoutARefresh)
{
    storeTokens("access-1", "refresh-1", 0);
    clock.advance(1);
    serveGuarded("/user/portforwarding/v3", "Bearer never");

    const auto result = run<NamedModel>(HttpMethod::Get, Endpoint::PortForwarding);

    ASSERT_FALSE(result);
    EXPECT_EQ(signOuts, 1);
    EXPECT_TRUE(sandbox.requests("POST", GatewayRoutes::refreshTokenPath()).isEmpty());
    EXPECT_EQ(AppManager::shared().tokens().iws_accessToken, QStringLiteral("access-1"));
}

TEST_F(AccessTokenInterceptorTest, RefreshTokenValidUpToTheInstantItsLifetimeEnds)
{
    storeTokens("access-1", "refresh-1", 60);
    clock.advance(60);
    const QString code = encryptTokenSet(tokenSet("access-2", "refresh-2"));
    GatewayRoutes::installRefreshToken(sandbox, [code](const SandboxRequest&) { return GatewayRoutes::tokenResponse(code); });
    serveGuarded("/user/portforwarding/v3", "Bearer never");

    EXPECT_FALSE(run<NamedModel>(HttpMethod::Get, Endpoint::PortForwarding));

    EXPECT_EQ(signOuts, 0);
    EXPECT_EQ(sandbox.requests("POST", GatewayRoutes::refreshTokenPath()).size(), 1);
    EXPECT_EQ(AppManager::shared().tokens().iws_accessToken, QStringLiteral("access-2"));
}

TEST_F(AccessTokenInterceptorTest, UnusableRefreshRepliesLeaveTheTokenStoreAsItWas)
{
    const struct {
        const char* name;
        SandboxReply reply;
    } cases[] = {
        {"empty code", GatewayRoutes::tokenResponse("")},
        {"no code", GatewayRoutes::envelope(200, "OK", QJsonObject())},
        {"code that does not decrypt", GatewayRoutes::tokenResponse("bm90IGEgdG9rZW4gc2V0IGF0IGFsbA==")},
        {"token set without access token", GatewayRoutes::tokenResponse(encryptTokenSet(QJsonObject{{"oem-rt", "r"}}))},
        {"token set that is not one", GatewayRoutes::tokenResponse(encryptTokenSet(QJsonObject{{"oem-at", 5}}))},
        {"reply that is not a token response", SandboxReply::raw(500, "<html>")},
        {"empty reply", SandboxReply::raw(200, "")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sandbox.clearRecords();
        storeTokens("access-1", "refresh-1", 86400);
        const AppManagerTokens before = AppManager::shared().tokens();
        GatewayRoutes::installRefreshToken(sandbox, [reply = c.reply](const SandboxRequest&) { return reply; });
        serveGuarded("/user/portforwarding/v3", "Bearer never");

        const auto result = run<NamedModel>(HttpMethod::Get, Endpoint::PortForwarding);

        ASSERT_FALSE(result);
        EXPECT_EQ(result.error().underlying->domain, HttpError::domain);
        EXPECT_EQ(sandbox.requests("POST", GatewayRoutes::refreshTokenPath()).size(), 1);
        const AppManagerTokens after = AppManager::shared().tokens();
        EXPECT_EQ(after.iws_accessToken, before.iws_accessToken);
        EXPECT_EQ(after.iws_refreshToken, before.iws_refreshToken);
        EXPECT_EQ(after.iws_createdAt, before.iws_createdAt);
        EXPECT_EQ(signOuts, 0);
    }
}

TEST_F(AccessTokenInterceptorTest, OnlyAGateway401StartsARefresh)
{
    storeTokens("access-1", "refresh-1", 86400);
    for (int status : {403, 500}) {
        SCOPED_TRACE(status);
        sandbox.clearRecords();
        serveGateway("GET", "/user/portforwarding/v3", GatewayRoutes::envelope(status, "no", std::nullopt, status));

        EXPECT_FALSE(run<NamedModel>(HttpMethod::Get, Endpoint::PortForwarding));

        EXPECT_TRUE(sandbox.requests("POST", GatewayRoutes::refreshTokenPath()).isEmpty());
    }

    // A 401 from another host is that host's business.
    AccessTokenInterceptor interceptor(AccessTokenScope::User, AppPreferences(), User(), nullptr);
    FailedAttempt attempt{*HttpRequest::make(HttpMethod::Get, QUrl("https://127.0.0.2:9/x")), HttpResponse{401, {}, {}}, 0};
    std::optional<RetryResult> answer;
    interceptor.retry(attempt, Error("E", 1), [&](RetryResult r) { answer = r; });
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->kind, RetryResult::Kind::DoNotRetryWithError);
    EXPECT_EQ(answer->error.domain, QStringLiteral("E"));
    EXPECT_EQ(signOuts, 0);
}

TEST_F(AccessTokenInterceptorTest, WithoutAStoredSetA401EndsWithoutRefreshOrSignOut)
{
    serveGuarded("/user/portforwarding/v3", "Bearer never");

    EXPECT_FALSE(run<NamedModel>(HttpMethod::Get, Endpoint::PortForwarding));

    EXPECT_TRUE(sandbox.requests("POST", GatewayRoutes::refreshTokenPath()).isEmpty());
    EXPECT_EQ(signOuts, 0);
}

TEST_F(AccessTokenInterceptorTest, RenewedAccessTokenIsFiledUnderTheScopeOfTheFailedRequest)
{
    storeTokens("access-1", "refresh-1", 86400);
    const QString code = encryptTokenSet(tokenSet("access-3", "refresh-3"));
    GatewayRoutes::installRefreshToken(sandbox, [code](const SandboxRequest&) { return GatewayRoutes::tokenResponse(code); });
    serveGateway("POST", "/ticket/create", GatewayRoutes::envelope(401, "Unauthorized", std::nullopt, 401));

    EXPECT_FALSE(run<NamedModel>(HttpMethod::Post, Endpoint::SubmitTicket));

    EXPECT_EQ(Keychain(QStringLiteral("AppPreferences")).get(QStringLiteral("PRODUCTION_API_")), QStringLiteral("access-3"));
}
