#include "AccessTokenInterceptor.h"
#include "ApiTestFixture.h"
#include "AppPreferences.h"
#include "HttpResponseModel.h"
#include "Keys.h"
#include "StringExtensions.h"
#include "User.h"

#include <QUrlQuery>

namespace {

const QStringList deviceKeys = {"device_type", "device_id", "app_version", "release_type", "device_model", "locale"};

QStringList queryNames(const SandboxRequest& request)
{
    QStringList names;
    for (const auto& item : request.query)
        names.append(item.first);
    return names;
}

SandboxReply named(const QString& name)
{
    return GatewayRoutes::envelope(200, QStringLiteral("OK"), QJsonObject{{QStringLiteral("name"), name}});
}

SandboxReply bareNamed(const QString& name)
{
    return SandboxReply::json(QJsonObject{{QStringLiteral("body"), QJsonObject{{QStringLiteral("name"), name}}}});
}

}

class NetworkingRequestTest : public ApiTest {};

TEST_F(NetworkingRequestTest, GetMergesCallerParametersOverTheDeviceParametersInTheQuery)
{
    sandbox.route(GatewayRoutes::stamped("GET", GatewayRoutes::prefixed("/vpn/account/password"),
        [](const SandboxRequest&) { return bareNamed("secret"); }));

    const auto result = run<HttpResponseModel<NamedModel>>(HttpMethod::Get, Endpoint::Password,
        QVariantMap{{"username", "vpnuser1"}, {"device_type", "desk"}});

    ASSERT_TRUE(result) << result.error().message.toStdString();
    const SandboxRequest request = onlyRequest("GET", "/Veltamorine/vpn/account/password");
    EXPECT_EQ(request.query.size(), 7);
    EXPECT_EQ(queryNames(request).count("device_type"), 1);
    EXPECT_EQ(request.queryItem("device_type"), QStringLiteral("desk"));
    EXPECT_EQ(request.queryItem("username"), QStringLiteral("vpnuser1"));
    EXPECT_EQ(request.queryItem("release_type"), QStringLiteral("beta"));
    EXPECT_EQ(request.queryItem("app_version"), QStringLiteral("3.0"));
    EXPECT_EQ(request.queryItem("device_id"), Networking::deviceId());
    EXPECT_TRUE(request.body.isEmpty());
}

TEST_F(NetworkingRequestTest, CallerLocaleReplacesTheDeviceLocaleInQueryAndBody)
{
    serveGateway("GET", "/user/portforwarding/v3", named("pf"));
    serveGateway("POST", "/user/login/v3", named("login"));
    const QVariantMap parameters{{"locale", "xx-YY"}};

    ASSERT_TRUE(run<NamedModel>(HttpMethod::Get, Endpoint::PortForwarding, parameters));
    ASSERT_TRUE(run<NamedModel>(HttpMethod::Post, Endpoint::Login, parameters));

    const SandboxRequest get = onlyRequest("GET", "/Veltamorine/user/portforwarding/v3");
    EXPECT_EQ(get.queryItem("locale"), QStringLiteral("xx-YY"));
    EXPECT_EQ(queryNames(get).count("locale"), 1);
    const QJsonObject body = onlyRequest("POST", "/Veltamorine/user/login/v3").jsonBody().value_or(QJsonObject());
    EXPECT_EQ(body.value("locale").toString(), QStringLiteral("xx-YY"));
    for (const QString& key : deviceKeys)
        EXPECT_TRUE(body.contains(key)) << key.toStdString();
    EXPECT_EQ(body.size(), 6);
}

TEST_F(NetworkingRequestTest, NonTextGetValueDropsTheWholeQueryButStillSends)
{
    serveGateway("GET", "/user/portforwarding/v3", named("pf"));

    ASSERT_TRUE(run<NamedModel>(HttpMethod::Get, Endpoint::PortForwarding, QVariantMap{{"count", 3}}));

    EXPECT_TRUE(onlyRequest("GET", "/Veltamorine/user/portforwarding/v3").query.isEmpty());
}

TEST_F(NetworkingRequestTest, PostKeepsValueTypesInTheJsonBody)
{
    serveGateway("POST", "/notification/markread/v3", named("read"));

    ASSERT_TRUE(run<NamedModel>(HttpMethod::Post, Endpoint::ReadNotification,
        QVariantMap{{"ids", QVariantList{1, 2}}, {"all", true}}));

    const QJsonObject body = onlyRequest("POST", "/Veltamorine/notification/markread/v3").jsonBody().value_or(QJsonObject());
    EXPECT_TRUE(body.value("ids").isArray());
    EXPECT_TRUE(body.value("all").isBool());
    EXPECT_EQ(body.size(), 8);
}

TEST_F(NetworkingRequestTest, ReferAFriendCarriesTheAccountNumberInItsPath)
{
    User().setClientId(1234);
    serveGateway("GET", "/refer-a-friend/1234", named("link"));

    ASSERT_TRUE(run<NamedModel>(HttpMethod::Get, Endpoint::ReferAFriend));

    const SandboxRequest request = onlyRequest("GET", "/Veltamorine/refer-a-friend/1234");
    EXPECT_EQ(request.query.size(), 6);
    ASSERT_EQ(events.size(), 1);
    EXPECT_EQ(events[0].properties.value("path").toString(), QStringLiteral("/refer-a-friend/customer_id"));
}

TEST_F(NetworkingRequestTest, BuildsUrlsOnTheHostOfEachEndpointKind)
{
    const QString host = sandbox.hostWithPort();
    const struct {
        Endpoint endpoint;
        QString url;
    } cases[] = {
        {Endpoint::Login, "https://" + host + "/Veltamorine/user/login/v3"},
        {Endpoint::UserInfo1, "https://" + host + "/Veltamorine/user/profile"},
        {Endpoint::CheckDedicatedIPStatus, "https://" + host + "/Veltamorine/status/dedicated/ip"},
        {Endpoint::authToken, "https://" + host + "/auth/token"},
        {Endpoint::DownloadUpdate, "https://" + host + "/Veltamorine/macOS/Veltamorine.pkg"},
        {Endpoint::DownloadRemoteConfig, "https://" + host + "/Veltamorine/mac-2.0/assets/v1/remoteconfig"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(toRaw(c.endpoint).toStdString());
        const std::optional<QUrl> url = Networking::buildURL(c.endpoint, std::nullopt);
        ASSERT_TRUE(url);
        EXPECT_EQ(url->toString(), c.url);
    }
    const std::optional<QUrl> withQuery = Networking::buildURL(Endpoint::Login, QMap<QString, QString>{{"model", "Mac14,2"}, {"q", "a b&c"}});
    ASSERT_TRUE(withQuery);
    const QUrlQuery query(*withQuery);
    EXPECT_EQ(query.queryItemValue("model", QUrl::FullyDecoded), QStringLiteral("Mac14,2"));
    EXPECT_EQ(query.queryItemValue("q", QUrl::FullyDecoded), QStringLiteral("a b&c"));
}

TEST_F(NetworkingRequestTest, WithoutAConfiguredHostTheCallerGetsAnErrorAndNothingIsSent)
{
    Bundle bare(QJsonObject{{"CFBundleShortVersionString", "3.0"}});
    Bundle::setMain(&bare);

    const auto result = run<NamedModel>(HttpMethod::Get, Endpoint::Profile);

    Bundle::setMain(&bundle);
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().domain, QStringLiteral("VeltamorineError"));
    EXPECT_TRUE(sandbox.requests().isEmpty());
    ASSERT_EQ(events.size(), 1);  // no transfer, so no timing
    EXPECT_EQ(events[0].properties.value("response_time").toDouble(), 0.0);
}

TEST_F(NetworkingRequestTest, CallerHeadersGoOutBesideTheBearerHeaders)
{
    storeTokens("access-1", "refresh-1", 3600);
    serveGateway("GET", "/user/portforwarding/v3", named("pf"));

    int calls = 0;
    networking->getRequest<NamedModel>(Endpoint::PortForwarding, std::nullopt,
        Networking::HeaderDictionary{{"X-Trace", "t-1"}, {"Authorization", "Basic caller"}},
        [&](std::expected<NamedModel, Error> r) { calls += r ? 1 : 100; });
    ASSERT_TRUE(TestSupport::waitUntil([&] { return calls > 0; }, 8000));

    EXPECT_EQ(calls, 1);
    const SandboxRequest request = onlyRequest("GET", "/Veltamorine/user/portforwarding/v3");
    EXPECT_EQ(request.header("X-Trace"), "t-1");
    EXPECT_EQ(request.header("Authorization"), "Bearer access-1");
}

TEST_F(NetworkingRequestTest, VersionCheckAndCodeExchangeGoOutUnprefixedAndUnstamped)
{
    storeTokens("access-1", "refresh-1", 3600);
    GatewayRoutes::installVersionCheck(sandbox, [](const SandboxRequest&) { return GatewayRoutes::versionReply("3.1", "https://example.invalid/notes"); });
    sandbox.reply("POST", "/auth/token", named("exchanged"));

    // Even a caller's parameters stay off the version check.
    EXPECT_FALSE(run<HttpResponseModel<NamedModel>>(HttpMethod::Get, Endpoint::CheckUpdateMac, QVariantMap{{"username", "u"}}));
    ASSERT_TRUE(run<NamedModel>(HttpMethod::Post, Endpoint::authToken, QVariantMap{{"code", "abc"}}));

    const SandboxRequest version = onlyRequest("GET", "/app/latest/version/mac");
    EXPECT_TRUE(version.query.isEmpty());
    const SandboxRequest exchange = onlyRequest("POST", "/auth/token");
    EXPECT_EQ(exchange.jsonBody().value_or(QJsonObject()).value("code").toString(), QStringLiteral("abc"));
    for (const SandboxRequest& request : {version, exchange}) {
        EXPECT_FALSE(request.hasHeader("Authorization"));
        EXPECT_FALSE(request.hasHeader("Token"));
    }
    EXPECT_FALSE(version.hasHeader("Content-Type"));
}

TEST_F(NetworkingRequestTest, GatewayRequestsCarryBearerContentTypeAndDigest)
{
    storeTokens("access-1", "refresh-1", 3600);
    const QString salt = Keys::required(u"apiSalt");
    const struct {
        const char* name;
        HttpMethod method;
        Endpoint endpoint;
        QString path;
        QVariantMap parameters;
        QString digestOf;
    } cases[] = {
        {"GET with user name", HttpMethod::Get, Endpoint::Password, "/vpn/account/password", {{"username", "alice"}}, "alice"},
        {"GET with empty user name", HttpMethod::Get, Endpoint::Password, "/vpn/account/password", {{"username", ""}}, Networking::deviceId()},
        {"GET without user name", HttpMethod::Get, Endpoint::Password, "/vpn/account/password", {}, Networking::deviceId()},
        {"POST with user name", HttpMethod::Post, Endpoint::Login, "/user/login/v3", {{"username", "bob"}}, "bob"},
        {"POST with numeric user name", HttpMethod::Post, Endpoint::Login, "/user/login/v3", {{"username", 42}}, Networking::deviceId()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sandbox.clearRecords();
        const bool post = c.method == HttpMethod::Post;
        sandbox.route(GatewayRoutes::stamped(toRaw(c.method), GatewayRoutes::prefixed(c.path),
            [post](const SandboxRequest&) { return post ? named("x") : bareNamed("x"); }));
        if (post)
            ASSERT_TRUE(run<NamedModel>(c.method, c.endpoint, c.parameters));
        else
            ASSERT_TRUE(run<HttpResponseModel<NamedModel>>(c.method, c.endpoint, c.parameters));
        const SandboxRequest request = onlyRequest(toRaw(c.method), GatewayRoutes::prefixed(c.path));
        EXPECT_EQ(request.header("Authorization"), "Bearer access-1");
        EXPECT_EQ(request.header("Content-Type"), "application/json");
        EXPECT_EQ(request.header("Token"), StringExtensions::md5(salt + c.digestOf).toUtf8());
    }
}

TEST_F(NetworkingRequestTest, DigestTakesTheFirstOfTwoUserNamesAndAnEmptyTokenStillStamps)
{
    const QUrl url = *Networking::buildURL(Endpoint::Profile, std::nullopt);
    HttpRequest request = *HttpRequest::make(HttpMethod::Get, QUrl(url.toString() + "?username=first&username=second"));
    AccessTokenInterceptor interceptor(AccessTokenScope::User, AppPreferences(), User(), nullptr);

    std::optional<HttpRequest> adapted;
    interceptor.adapt(request, [&](std::expected<HttpRequest, Error> r) { adapted = *r; });

    ASSERT_TRUE(adapted);
    EXPECT_EQ(adapted->headers.value("Token"), StringExtensions::md5(Keys::required(u"apiSalt") + "first").toUtf8());
    EXPECT_EQ(adapted->headers.value("Authorization"), "Bearer ");
}

TEST_F(NetworkingRequestTest, RequestsToOtherHostsAreNotStamped)
{
    AccessTokenInterceptor interceptor(AccessTokenScope::User, AppPreferences(), User(), nullptr);
    const HttpRequest request = *HttpRequest::make(HttpMethod::Get, QUrl("https://127.0.0.2:9/Veltamorine/user/profile/v3"));

    std::optional<HttpRequest> adapted;
    interceptor.adapt(request, [&](std::expected<HttpRequest, Error> r) { adapted = *r; });

    ASSERT_TRUE(adapted);
    EXPECT_TRUE(adapted->headers.isEmpty());
}

TEST_F(NetworkingRequestTest, TwoRequestsInFlightEachGetTheirOwnCompletionOnce)
{
    sandbox.route(GatewayRoutes::stamped("GET", GatewayRoutes::prefixed("/user/portforwarding/v3"),
        [](const SandboxRequest&) { return named("first"); }));
    sandbox.route(GatewayRoutes::stamped("GET", GatewayRoutes::prefixed("/user/dedicatedipdetail/v3"),
        [](const SandboxRequest&) { return named("second"); }));

    QStringList first;
    QStringList second;
    networking->getRequest<NamedModel>(Endpoint::PortForwarding, std::nullopt, std::nullopt,
        [&](std::expected<NamedModel, Error> r) { first.append(r ? r->name : QStringLiteral("error")); });
    networking->getRequest<NamedModel>(Endpoint::DedicatedIp, std::nullopt, std::nullopt,
        [&](std::expected<NamedModel, Error> r) { second.append(r ? r->name : QStringLiteral("error")); });

    ASSERT_TRUE(TestSupport::waitUntil([&] { return !first.isEmpty() && !second.isEmpty(); }, 8000));
    TestSupport::processEvents(50);
    EXPECT_EQ(first, QStringList{"first"});
    EXPECT_EQ(second, QStringList{"second"});
    EXPECT_EQ(events.size(), 2);
}

TEST_F(NetworkingRequestTest, DeviceParametersHoldSixTextsAndFollowTheLanguage)
{
    const QVariantMap first = Networking::deviceParameters();
    EXPECT_EQ(QStringList(first.keys()), [] { QStringList k = deviceKeys; k.sort(); return k; }());
    for (const QVariant& value : first)
        EXPECT_EQ(value.typeId(), QMetaType::QString);
    EXPECT_EQ(first.value("device_type").toString(), QStringLiteral("mac"));
    EXPECT_EQ(first.value("release_type").toString(), QStringLiteral("beta"));
    EXPECT_EQ(first.value("device_model").toString(), Networking::deviceModel());
    EXPECT_EQ(Networking::deviceParameters(), first);

    AppPreferences().setPreferredLanguageCode(QStringLiteral("de"));
    QVariantMap changed = Networking::deviceParameters();
    EXPECT_EQ(changed.value("locale").toString(), QStringLiteral("de"));
    changed.remove("locale");
    QVariantMap before = first;
    before.remove("locale");
    EXPECT_EQ(changed, before);
}
