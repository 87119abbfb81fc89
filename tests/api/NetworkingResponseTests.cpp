#include "ApiTestFixture.h"
#include "DomainFronting.h"
#include "HttpError.h"
#include "HttpResponseModel.h"
#include "NetworkError.h"
#include "SecretRedaction.h"

namespace {

const QString offlineText = QStringLiteral("The Internet connection appears to be offline. (");
const QString timedOutText = QStringLiteral("We were unable to complete your request. Please try again. (");
const QString otherText = QStringLiteral("Something went wrong. Please try again later or contact support. (");

SandboxReply named(const QString& name)
{
    return GatewayRoutes::envelope(200, QStringLiteral("OK"), QJsonObject{{QStringLiteral("name"), name}});
}

}

class NetworkingResponseTest : public ApiTest {
protected:
    ~NetworkingResponseTest() override { DomainFronting::shared().domainData.reset(); }

    // Two candidate domains that both reach the stand-in: by name, then by address.
    void installTwoCandidates()
    {
        const QString port = QString::number(sandbox.port());
        DomainFronting::shared().domainData = std::make_shared<BaseURL>(QList<Domain>{
            {QStringLiteral("localhost:") + port, QStringLiteral("localhost:") + port},
            {QStringLiteral("127.0.0.1:") + port, QStringLiteral("127.0.0.1:") + port},
        });
    }
};

TEST_F(NetworkingResponseTest, GatewaySuccessGivesTheBodyThenOneResponseTimeEvent)
{
    serveGateway("GET", "/user/portforwarding/v3", named("open"));

    int eventsAtCompletion = -1;
    std::optional<std::expected<NamedModel, Error>> result;
    networking->getRequest<NamedModel>(Endpoint::PortForwarding, std::nullopt, std::nullopt, [&](std::expected<NamedModel, Error> r) {
        eventsAtCompletion = int(events.size());
        result = r;
    });
    ASSERT_TRUE(TestSupport::waitUntil([&] { return result.has_value(); }, 8000));
    TestSupport::processEvents(30);

    ASSERT_TRUE(*result);
    EXPECT_EQ((*result)->name, QStringLiteral("open"));
    EXPECT_EQ(eventsAtCompletion, 0);
    ASSERT_EQ(events.size(), 1);
    EXPECT_EQ(events[0].event, EventTrackerEvent::apiResponseTime);
    EXPECT_EQ(events[0].properties.value("host").toString(), sandbox.hostWithPort());
    EXPECT_EQ(events[0].properties.value("path").toString(), QStringLiteral("/user/portforwarding/v3"));
    EXPECT_EQ(events[0].properties.value("response_time").typeId(), QMetaType::Double);
    EXPECT_GT(events[0].properties.value("response_time").toDouble(), 0.0);
    EXPECT_LT(events[0].properties.value("response_time").toDouble(), 5000.0);
    EXPECT_EQ(events[0].properties.size(), 3);
    EXPECT_TRUE(reports.isEmpty());
}

TEST_F(NetworkingResponseTest, FusionAuthRepliesAreDecodedWithoutTheEnvelope)
{
    sandbox.route(GatewayRoutes::stamped("GET", GatewayRoutes::prefixed("/user/profile"), [](const SandboxRequest&) {
        return SandboxReply::json(QJsonObject{{"body", QJsonObject{{"name", "Ada"}}}});
    }));

    const auto result = run<HttpResponseModel<NamedModel>>(HttpMethod::Get, Endpoint::UserInfo1);

    ASSERT_TRUE(result);
    EXPECT_EQ(result->body.name, QStringLiteral("Ada"));
}

TEST_F(NetworkingResponseTest, BadRequestIsDecodedLikeASuccessAndNeverFailsOver)
{
    installTwoCandidates();
    const struct {
        const char* name;
        SandboxReply reply;
        bool success;
        int code;
        QString message;
        int reports;
    } cases[] = {
        {"refusal in a 400", GatewayRoutes::envelope(4012, "Account is suspended", std::nullopt, 400), false, 4012, "Account is suspended", 0},
        {"success in a 400", GatewayRoutes::envelope(200, "OK", QJsonObject{{"name", "fine"}}, 400), true, 0, "", 0},
        {"undecodable 400", SandboxReply::raw(400, "<html>"), false, DecodingError::dataCorrupted, otherText + "4864)", 1},
        {"empty 400", SandboxReply::raw(400, ""), false, DecodingError::dataCorrupted, otherText + "4864)", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sandbox.clearRecords();
        reports.clear();
        serveGateway("POST", "/user/migrateemail/v3", c.reply);

        const auto result = run<NamedModel>(HttpMethod::Post, Endpoint::MigrateToEmail);

        EXPECT_EQ(result.has_value(), c.success);
        if (!result) {
            EXPECT_EQ(result.error().domain, QStringLiteral("VeltamorineError"));
            EXPECT_EQ(result.error().code, c.code);
            EXPECT_EQ(result.error().message, c.message);
        }
        EXPECT_EQ(reports.size(), c.reports);
        EXPECT_EQ(sandbox.requests().size(), 1);
    }
}

TEST_F(NetworkingResponseTest, FailuresReachTheCallerWrappedAndReported)
{
    const struct {
        const char* name;
        SandboxReply reply;
        int code;
        QString message;
        bool urlExtra;
    } cases[] = {
        {"200 without body", SandboxReply::raw(200, ""), HttpError::ResponseSerializationFailed, otherText + "8)", false},
        {"204 without body", SandboxReply::raw(204, ""), DecodingError::dataCorrupted, otherText + "4864)", true},
        {"503", SandboxReply::raw(503, "down"), HttpError::ResponseValidationFailed, otherText + "7)", false},
        {"403", GatewayRoutes::envelope(403, "Forbidden", std::nullopt, 403), HttpError::ResponseValidationFailed, otherText + "7)", false},
        {"no header", SandboxReply::json(QJsonObject{{"body", QJsonObject{{"name", "x"}}}}), DecodingError::dataCorrupted, otherText + "4864)", true},
        {"response_code as text", SandboxReply::json(QJsonObject{{"header", QJsonObject{{"response_code", "200"}, {"message", "OK"}}}}), DecodingError::dataCorrupted, otherText + "4864)", true},
        {"null body", SandboxReply::raw(200, R"({"header":{"response_code":200,"message":"OK"},"body":null})"), DecodingError::dataCorrupted, otherText + "4864)", true},
        {"200 without body member", GatewayRoutes::envelope(200, "OK"), -1, otherText + "-1)", true},
        {"200 with empty body object", GatewayRoutes::envelope(200, "OK", QJsonObject()), -1, otherText + "-1)", true},
        {"body with the keys but wrong types", GatewayRoutes::envelope(200, "OK", QJsonObject{{"name", 5}}), DecodingError::dataCorrupted, otherText + "4864)", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        reports.clear();
        events.clear();
        serveGateway("GET", "/user/portforwarding/v3", c.reply);

        const auto result = run<NamedModel>(HttpMethod::Get, Endpoint::PortForwarding);

        ASSERT_FALSE(result);
        EXPECT_EQ(result.error().domain, QStringLiteral("VeltamorineError"));
        EXPECT_EQ(result.error().code, c.code);
        EXPECT_EQ(result.error().message, c.message);
        ASSERT_TRUE(result.error().underlying);
        ASSERT_EQ(reports.size(), 1);
        EXPECT_EQ(reports[0].error.code, c.code);
        if (c.urlExtra) {
            ASSERT_TRUE(reports[0].extras);
            EXPECT_TRUE(reports[0].extras->value("url").toString().contains("/Veltamorine/user/portforwarding/v3"));
        } else {
            EXPECT_FALSE(reports[0].extras);  // a failed GET has no body to report
        }
        EXPECT_EQ(events.size(), 1);
    }
}

TEST_F(NetworkingResponseTest, ARefusalInTheEnvelopeOfABareEndpointReachesTheCallerAsTheServerSentIt)
{
    const struct {
        const char* name;
        SandboxReply reply;
        int code;
        QString message;
        bool reported;
    } cases[] = {
        {"refusal in a 400", GatewayRoutes::envelope(1046, "Not migrated", std::nullopt, 400), 1046, "Not migrated", false},
        {"refusal in a 500", GatewayRoutes::envelope(1046, "Not migrated", std::nullopt, 500), 1046, "Not migrated", false},
        {"refusal in a 200", GatewayRoutes::envelope(1046, "Not migrated"), 1046, "Not migrated", false},
        {"refusal with an empty body", GatewayRoutes::envelope(4012, "Suspended", QJsonObject(), 403), 4012, "Suspended", false},
        // Not a refusal: an envelope that says 200, a header that does not decode, no envelope.
        {"200 in the header of a 400", GatewayRoutes::envelope(200, "OK", std::nullopt, 400), DecodingError::dataCorrupted, otherText + "4864)", true},
        {"code as text in a 500", SandboxReply::json(QJsonObject{{"header", QJsonObject{{"response_code", "1046"}, {"message", "x"}}}}, 500),
         HttpError::ResponseValidationFailed, otherText + "7)", true},
        {"plain 500", SandboxReply::raw(500, "down"), HttpError::ResponseValidationFailed, otherText + "7)", true},
        // A 401 belongs to the token refresh and keeps its wrapped form.
        {"refusal in a 401", GatewayRoutes::envelope(401, "Unauthorized", std::nullopt, 401), HttpError::ResponseValidationFailed, otherText + "7)", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        reports.clear();
        sandbox.reply("GET", GatewayRoutes::prefixed("/vpn/account/password"), c.reply);

        const auto result = run<HttpResponseModel<NamedModel>>(HttpMethod::Get, Endpoint::Password, QVariantMap{{"username", "erin"}});

        ASSERT_FALSE(result);
        EXPECT_EQ(result.error().domain, QStringLiteral("VeltamorineError"));
        EXPECT_EQ(result.error().code, c.code);
        EXPECT_EQ(result.error().message, c.message);
        EXPECT_EQ(bool(result.error().underlying), c.reported);
        EXPECT_EQ(reports.size(), c.reported ? 1 : 0);
    }

    // The gateway's own endpoints keep their rule: a refusal outside a 200 or 400 is a failure.
    reports.clear();
    serveGateway("GET", "/user/portforwarding/v3", GatewayRoutes::envelope(1046, "Not migrated", std::nullopt, 500));
    const auto gateway = run<NamedModel>(HttpMethod::Get, Endpoint::PortForwarding);
    ASSERT_FALSE(gateway);
    EXPECT_EQ(gateway.error().code, HttpError::ResponseValidationFailed);
    EXPECT_EQ(reports.size(), 1);
}

TEST_F(NetworkingResponseTest, EmptySuccessKeepsTheLongTextBeneath)
{
    serveGateway("GET", "/user/portforwarding/v3", GatewayRoutes::envelope(200, "OK"));

    const auto result = run<NamedModel>(HttpMethod::Get, Endpoint::PortForwarding);

    ASSERT_FALSE(result);
    ASSERT_TRUE(result.error().underlying);
    EXPECT_EQ(result.error().underlying->code, -1);
    EXPECT_TRUE(result.error().underlying->message.startsWith("Unable to get response. response_code = 200"));
}

TEST_F(NetworkingResponseTest, TransportFailuresCarryTheRootCodeAndItsText)
{
    // A stalled server times out.
    sandbox.reply("GET", GatewayRoutes::prefixed("/user/portforwarding/v3"), SandboxReply::stalled());
    const auto timedOut = run<NamedModel>(HttpMethod::Get, Endpoint::PortForwarding);
    ASSERT_FALSE(timedOut);
    EXPECT_EQ(timedOut.error().code, NetworkError::TimedOut);
    EXPECT_EQ(timedOut.error().message, timedOutText + "-1001)");
    EXPECT_EQ(timedOut.error().underlying->domain, NetworkError::domain);

    // A refused port.
    QJsonObject info = bundle.infoDictionary();
    info.insert("API Gateway Host", "127.0.0.1:" + QString::number(SandboxServer::unusedPort()));
    Bundle refused(info);
    Bundle::setMain(&refused);
    const auto noServer = run<NamedModel>(HttpMethod::Get, Endpoint::PortForwarding);
    Bundle::setMain(&bundle);
    ASSERT_FALSE(noServer);
    EXPECT_EQ(noServer.error().code, NetworkError::CannotConnectToHost);
    EXPECT_EQ(noServer.error().message, otherText + "-1004)");
    EXPECT_EQ(reports.size(), 2);
}

TEST_F(NetworkingResponseTest, UntrustedCertificateIsRefused)
{
    SandboxServer untrusted(SandboxServer::untrustedCertificatePath(), SandboxServer::untrustedKeyPath());
    ASSERT_TRUE(untrusted.start());
    untrusted.reply("GET", GatewayRoutes::prefixed("/user/portforwarding/v3"), named("never"));
    QJsonObject info = bundle.infoDictionary();
    info.insert("API Gateway Host", untrusted.hostWithPort());
    Bundle other(info);
    Bundle::setMain(&other);

    const auto result = run<NamedModel>(HttpMethod::Get, Endpoint::PortForwarding);

    Bundle::setMain(&bundle);
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().underlying->domain, NetworkError::domain);
    EXPECT_LE(result.error().code, NetworkError::SecureConnectionFailed);
    EXPECT_TRUE(untrusted.requests().isEmpty());
}

TEST_F(NetworkingResponseTest, FailedPostIsReportedWithItsBodyAndSecretsRedacted)
{
    serveGateway("POST", "/user/login/v3", SandboxReply::raw(500, "oops"));

    const auto result = run<NamedModel>(HttpMethod::Post, Endpoint::Login,
        QVariantMap{{"username", "carol"}, {"password", "hunter2"}, {"authorization_code", "ac-1"}, {"nested", QVariantMap{{"refresh_token", "rt"}}}});

    ASSERT_FALSE(result);
    ASSERT_EQ(reports.size(), 1);
    ASSERT_TRUE(reports[0].extras);
    const QVariantMap extras = *reports[0].extras;
    EXPECT_EQ(extras.value("username").toString(), QStringLiteral("carol"));
    EXPECT_EQ(extras.value("device_type").toString(), QStringLiteral("mac"));
    EXPECT_EQ(extras.value("password").toString(), SecretRedaction::placeholder);
    EXPECT_EQ(extras.value("authorization_code").toString(), SecretRedaction::placeholder);
    EXPECT_EQ(extras.value("nested").toMap().value("refresh_token").toString(), SecretRedaction::placeholder);
}

TEST_F(NetworkingResponseTest, ServerSideFailureIsSentToEachCandidateDomainThenReachesTheCallerOnce)
{
    installTwoCandidates();
    sandbox.reply("GET", GatewayRoutes::prefixed("/user/portforwarding/v3"), SandboxReply::raw(503, "down"));

    const auto result = run<NamedModel>(HttpMethod::Get, Endpoint::PortForwarding);

    ASSERT_FALSE(result);
    EXPECT_EQ(sandbox.requests("GET", GatewayRoutes::prefixed("/user/portforwarding/v3")).size(), 3);
    EXPECT_EQ(reports.size(), 3);
    ASSERT_EQ(events.size(), 1);
    EXPECT_EQ(events[0].properties.value("host").toString(), sandbox.hostWithPort());
    EXPECT_EQ(AppPreferences().activeDomain().servicesUrl, "127.0.0.1:" + QString::number(sandbox.port()));
}

TEST_F(NetworkingResponseTest, UnauthorisedAndRefusedRepliesAreNotSentToAnotherDomain)
{
    installTwoCandidates();
    for (int status : {401, 400, 200}) {
        SCOPED_TRACE(status);
        sandbox.clearRecords();
        sandbox.reply("GET", GatewayRoutes::prefixed("/user/portforwarding/v3"),
            status == 200 ? SandboxReply::raw(200, "") : GatewayRoutes::envelope(status, "no", std::nullopt, status));

        EXPECT_FALSE(run<NamedModel>(HttpMethod::Get, Endpoint::PortForwarding));

        EXPECT_EQ(sandbox.requests().size(), 1);
    }
}

TEST_F(NetworkingResponseTest, WithoutADomainListAServerFailureGoesStraightToTheCaller)
{
    sandbox.reply("GET", GatewayRoutes::prefixed("/user/portforwarding/v3"), SandboxReply::raw(503, "down"));

    EXPECT_FALSE(run<NamedModel>(HttpMethod::Get, Endpoint::PortForwarding));

    EXPECT_EQ(sandbox.requests().size(), 1);
    EXPECT_EQ(reports.size(), 1);
}

TEST_F(NetworkingResponseTest, LogsNamePathStatusAndSizeButNeverReplyBodiesOrSentSecrets)
{
    LogCapture capture;
    sandbox.route(GatewayRoutes::stamped("GET", GatewayRoutes::prefixed("/vpn/account/password"), [](const SandboxRequest&) {
        return SandboxReply::json(QJsonObject{{"body", QJsonObject{{"name", "encrypted-vpn-password-1"}}}});
    }));
    serveGateway("POST", "/user/login/v3", SandboxReply::raw(500, R"({"error":"reply-secret-2"})"));

    ASSERT_TRUE(run<HttpResponseModel<NamedModel>>(HttpMethod::Get, Endpoint::Password, QVariantMap{{"username", "erin"}}));
    ASSERT_FALSE(run<NamedModel>(HttpMethod::Post, Endpoint::Login, QVariantMap{{"password", "login-password-3"}}));

    const QStringList lines = capture.lines();
    EXPECT_TRUE(lines.filter("Response of account").size() == 1) << lines.join("\n").toStdString();
    for (const QString& line : lines) {
        for (const char* secret : {"encrypted-vpn-password-1", "reply-secret-2", "login-password-3"})
            EXPECT_FALSE(line.contains(QLatin1StringView(secret))) << line.toStdString();
    }
}
