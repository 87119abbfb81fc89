#include "SandboxAssertions.h"
#include "SandboxClientFixture.h"
#include "SandboxServer.h"
#include "TestSupport.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <gtest/gtest.h>
#include <thread>

TEST(SandboxServer, ServesHttpsOnLoopbackAndRecordsEveryRequest)
{
    ScopedSandbox sandbox;
    SandboxRoute route;
    route.method = "POST";
    route.path = QStringLiteral("/Veltamorine/ticket/create");
    route.requiredHeaders = {"Authorization"};
    route.body = SandboxBody::JsonObject;
    route.handler = [](const SandboxRequest& request) {
        return SandboxReply::json({{QStringLiteral("echo"), request.jsonBody()->value(QStringLiteral("subject"))}});
    };
    sandbox.route(route);

    QUrl url = sandbox.url(QStringLiteral("/Veltamorine/ticket/create"));
    url.setQuery(QStringLiteral("b=2&a=x%20y"));
    const auto reply = sendToSandbox("POST", url, R"({"subject":"hello"})", {{"Authorization", "Bearer t"}});

    EXPECT_EQ(reply.status, 200);
    EXPECT_EQ(QJsonDocument::fromJson(reply.body).object().value(QStringLiteral("echo")).toString(), QStringLiteral("hello"));
    ASSERT_EQ(sandbox.requests().size(), 1);
    const SandboxRequest recorded = sandbox.requests().first();
    EXPECT_EQ(recorded.method, "POST");
    EXPECT_EQ(recorded.path, QStringLiteral("/Veltamorine/ticket/create"));
    const QList<QPair<QString, QString>> query{{QStringLiteral("b"), QStringLiteral("2")}, {QStringLiteral("a"), QStringLiteral("x y")}};
    EXPECT_EQ(recorded.query, query);
    EXPECT_EQ(recorded.header("authorization"), "Bearer t");
    EXPECT_EQ(recorded.body, R"({"subject":"hello"})");
    EXPECT_TRUE(sandbox.hostWithPort().startsWith(QStringLiteral("127.0.0.1:")));
}

TEST(SandboxServer, CollectsAViolationForEachRequestTheBackendWouldRefuse)
{
    SandboxServer sandbox;
    ASSERT_TRUE(sandbox.start());
    SandboxRoute route;
    route.method = "POST";
    route.path = QStringLiteral("/Veltamorine/user/login/v3");
    route.requiredHeaders = {"Token"};
    route.body = SandboxBody::JsonObject;
    sandbox.route(route);
    SandboxRoute get;
    get.method = "GET";
    get.path = QStringLiteral("/file");
    get.body = SandboxBody::Empty;
    sandbox.route(get);

    const struct {
        QByteArray method;
        QString path;
        QByteArray body;
        QList<QPair<QByteArray, QByteArray>> headers;
        int status;
        QString violation;
    } cases[] = {
        {"GET", QStringLiteral("/nowhere"), {}, {}, 404, QStringLiteral("GET /nowhere: unexpected path")},
        {"GET", QStringLiteral("/Veltamorine/user/login/v3"), {}, {}, 404, QStringLiteral("GET /Veltamorine/user/login/v3: unexpected path")},
        {"POST", QStringLiteral("/Veltamorine/user/login/v3"), "{}", {}, 400, QStringLiteral("POST /Veltamorine/user/login/v3: missing header Token")},
        {"POST", QStringLiteral("/Veltamorine/user/login/v3"), "[1]", {{"Token", "x"}}, 400, QStringLiteral("POST /Veltamorine/user/login/v3: body is not a JSON object")},
        {"POST", QStringLiteral("/Veltamorine/user/login/v3"), "{", {{"Token", "x"}}, 400, QStringLiteral("POST /Veltamorine/user/login/v3: body is not a JSON object")},
        {"POST", QStringLiteral("/Veltamorine/user/login/v3"), "{}", {{"Token", "x"}}, 200, QString()},
    };
    for (const auto& c : cases) {
        sandbox.clearRecords();
        const auto reply = sendToSandbox(c.method, sandbox.url(c.path), c.body, c.headers);
        EXPECT_EQ(reply.status, c.status) << c.path.toStdString();
        EXPECT_EQ(sandbox.violations().join(u'|').toStdString(), c.violation.toStdString()) << c.path.toStdString();
    }
}

TEST(SandboxServer, RoutesMatchByPatternAndLaterRoutesWin)
{
    ScopedSandbox sandbox;
    SandboxRoute pattern;
    pattern.method = "GET";
    pattern.path = QStringLiteral("/Veltamorine/refer-a-friend/[0-9]+");
    pattern.pattern = true;
    pattern.handler = [](const SandboxRequest& request) { return SandboxReply::raw(200, request.path.toUtf8()); };
    sandbox.route(pattern);
    sandbox.reply("GET", QStringLiteral("/x"), SandboxReply::raw(200, "first"));
    sandbox.reply("GET", QStringLiteral("/x"), SandboxReply::raw(201, "second"));

    EXPECT_EQ(sendToSandbox("GET", sandbox.url(QStringLiteral("/Veltamorine/refer-a-friend/1234"))).body,
        "/Veltamorine/refer-a-friend/1234");
    const auto reply = sendToSandbox("GET", sandbox.url(QStringLiteral("/x")));
    EXPECT_EQ(reply.status, 201);
    EXPECT_EQ(reply.body, "second");
}

TEST(SandboxServer, AStalledRequestNeverAnswersAndStopReleasesIt)
{
    auto sandbox = std::make_unique<SandboxServer>();
    ASSERT_TRUE(sandbox->start());
    sandbox->reply("GET", QStringLiteral("/stall"), SandboxReply::stalled());

    const auto reply = sendToSandbox("GET", sandbox->url(QStringLiteral("/stall")), {}, {}, 300);
    EXPECT_EQ(reply.status, 0);
    EXPECT_NE(reply.error, QNetworkReply::NoError);

    QElapsedTimer timer;
    timer.start();
    sandbox->stop();
    EXPECT_LT(timer.elapsed(), 3000);
    EXPECT_FALSE(sandbox->isRunning());
}

TEST(SandboxServer, StreamsFilesInPiecesWithTheirName)
{
    ScopedSandbox sandbox;
    const QByteArray content(300 * 1024, 'p');
    sandbox.reply("GET", QStringLiteral("/macOS/Veltamorine.pkg"), SandboxReply::file(content, "Veltamorine.pkg", 16 * 1024));
    const auto reply = sendToSandbox("GET", sandbox.url(QStringLiteral("/macOS/Veltamorine.pkg")));
    EXPECT_EQ(reply.body, content);
    EXPECT_EQ(reply.header("Content-Disposition"), "attachment; filename=\"Veltamorine.pkg\"");
}

TEST(SandboxServer, InformationOverridesPointEveryHostHereAndNameTheTestCa)
{
    ScopedSandbox sandbox;
    const QJsonObject info = sandbox.informationOverrides();
    for (const char* key : {"API Gateway Host", "Auth Token Host", "Storage Host", "Download Host", "CDN Host"})
        EXPECT_EQ(info.value(QLatin1String(key)).toString(), sandbox.hostWithPort()) << key;
    EXPECT_EQ(info.value(QStringLiteral("Trusted CA Certificate")).toString(), SandboxServer::testCaPath());
}

TEST(SandboxServer, RestartsAfterStopAndKeepsItsRoutes)
{
    ScopedSandbox sandbox;
    sandbox.reply("GET", QStringLiteral("/ping"), SandboxReply::raw(200, "pong"));
    sandbox.stop();
    ASSERT_TRUE(sandbox.start());
    EXPECT_EQ(sendToSandbox("GET", sandbox.url(QStringLiteral("/ping"))).body, "pong");
}
