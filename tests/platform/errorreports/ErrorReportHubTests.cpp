#include "ErrorReports.h"
#include "HttpsTestServerFixture.h"
#include "TestSupport.h"
#include "UploadQueue.h"
#include "VirtualScheduler.h"

#include <QJsonArray>
#include <gtest/gtest.h>
#include <thread>

namespace {

class ErrorReportHubTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.start()); }
    void TearDown() override { ErrorReports::close(); }

    ReportOptions options()
    {
        ReportOptions o;
        o.dsn = QStringLiteral("tqmrnvboe");
        o.dist = QStringLiteral("linux");
        o.environment = QStringLiteral("staging");
        o.releaseName = QStringLiteral("3.0 (30)");
        o.enableAutoSessionTracking = true;
        o.endpoint = server.url(QStringLiteral("/reports"));
        o.trustedCertificates = {server.caCertificate()};
        o.scheduler = &clock;
        return o;
    }

    QList<QJsonObject> deliver(int expected)
    {
        ErrorReports::currentHub()->flush();
        EXPECT_TRUE(TestSupport::waitUntil([&] { return server.items().size() >= expected; }, 10000));
        return server.items();
    }

    VirtualScheduler clock;
    HttpsTestServer server;
};

TEST_F(ErrorReportHubTest, NothingIsCapturedBeforeStart)
{
    auto hub = ErrorReports::currentHub();
    EXPECT_FALSE(hub->isEnabled());
    EXPECT_TRUE(hub->captureMessage(QStringLiteral("early"), hub->getScope()).isEmpty());
}

TEST_F(ErrorReportHubTest, ErrorReportCarriesOptionsScopeUserAndChain)
{
    ErrorReports::start(options());
    ErrorReports::configureScope([](ReportScope& s) { s.tags = {{QStringLiteral("flavor"), QStringLiteral("production")}}; });
    auto hub = ErrorReports::currentHub();
    hub->setUser(ReportUser{QStringLiteral("1234"), QStringLiteral("vpn-user")});
    ReportScope scope = hub->getScope();
    scope.level = ReportLevel::Error;
    scope.extras = {{QStringLiteral("path"), QStringLiteral("/user/ipaddress/v3")}, {QStringLiteral("status"), 500}};
    const Error error = Error(QStringLiteral("VeltamorineError"), -1001, QStringLiteral("Unknown Error"))
                            .wrapping(Error(QStringLiteral("QNetworkReply"), 99, QStringLiteral("down")));
    const QString id = hub->captureError(error, scope);
    EXPECT_EQ(id.size(), 32);

    const auto items = deliver(1);
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(server.headerValues("X-Report-Key").value(0), "tqmrnvboe");
    const QJsonObject r = items[0];
    EXPECT_EQ(r.value(QStringLiteral("event_id")).toString(), id);
    EXPECT_EQ(r.value(QStringLiteral("level")).toString(), QStringLiteral("error"));
    EXPECT_EQ(r.value(QStringLiteral("release")).toString(), QStringLiteral("3.0 (30)"));
    EXPECT_EQ(r.value(QStringLiteral("dist")).toString(), QStringLiteral("linux"));
    EXPECT_EQ(r.value(QStringLiteral("environment")).toString(), QStringLiteral("staging"));
    EXPECT_EQ(r.value(QStringLiteral("timestamp")).toString(), QStringLiteral("2026-01-01T12:00:00.000Z"));
    EXPECT_EQ(r.value(QStringLiteral("tags")).toObject(), (QJsonObject{{QStringLiteral("flavor"), QStringLiteral("production")}}));
    EXPECT_EQ(r.value(QStringLiteral("extra")).toObject(),
              (QJsonObject{{QStringLiteral("path"), QStringLiteral("/user/ipaddress/v3")}, {QStringLiteral("status"), 500}}));
    EXPECT_EQ(r.value(QStringLiteral("user")).toObject(),
              (QJsonObject{{QStringLiteral("id"), QStringLiteral("1234")}, {QStringLiteral("username"), QStringLiteral("vpn-user")}}));
    const QJsonObject exception = r.value(QStringLiteral("exception")).toObject();
    EXPECT_EQ(exception.value(QStringLiteral("domain")).toString(), QStringLiteral("VeltamorineError"));
    EXPECT_EQ(exception.value(QStringLiteral("code")).toInt(), -1001);
    ASSERT_EQ(exception.value(QStringLiteral("chain")).toArray().size(), 1);
    EXPECT_EQ(exception.value(QStringLiteral("chain")).toArray()[0].toObject().value(QStringLiteral("code")).toInt(), 99);
}

TEST_F(ErrorReportHubTest, ChangingACopyLeavesTheHubScopeAlone)
{
    ErrorReports::start(options());
    auto hub = ErrorReports::currentHub();
    hub->configureScope([](ReportScope& s) { s.tags = {{QStringLiteral("flavor"), QStringLiteral("production")}}; });
    ReportScope copy = hub->getScope();
    copy.tags.clear();
    copy.level = ReportLevel::Info;
    copy.extras = {{QStringLiteral("k"), 1}};
    hub->captureMessage(QStringLiteral("credentials missing"), copy);
    EXPECT_EQ(hub->getScope().tags.value(QStringLiteral("flavor")), QStringLiteral("production"));
    EXPECT_TRUE(hub->getScope().extras.isEmpty());

    const auto items = deliver(1);
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(items[0].value(QStringLiteral("message")).toString(), QStringLiteral("credentials missing"));
    EXPECT_EQ(items[0].value(QStringLiteral("level")).toString(), QStringLiteral("info"));
    EXPECT_TRUE(items[0].value(QStringLiteral("tags")).toObject().isEmpty());
}

TEST_F(ErrorReportHubTest, ConcurrentCapturesKeepTheirOwnExtras)
{
    ReportOptions o = options();
    o.capacity = 1000;
    ErrorReports::start(o);
    auto hub = ErrorReports::currentHub();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([hub, t] {
            for (int i = 0; i < 50; ++i) {
                ReportScope scope = hub->getScope();
                scope.extras = {{QStringLiteral("thread"), t}, {QStringLiteral("i"), i}};
                hub->captureMessage(QStringLiteral("%1/%2").arg(t).arg(i), scope);
            }
        });
    for (auto& thread : threads)
        thread.join();
    const auto items = deliver(200);
    ASSERT_EQ(items.size(), 200);
    for (const QJsonObject& r : items) {
        const QJsonObject extra = r.value(QStringLiteral("extra")).toObject();
        EXPECT_EQ(r.value(QStringLiteral("message")).toString(),
                  QStringLiteral("%1/%2").arg(extra.value(QStringLiteral("thread")).toInt()).arg(extra.value(QStringLiteral("i")).toInt()));
    }
}

TEST_F(ErrorReportHubTest, ReportsWaitWhileTheEndpointIsDown)
{
    server.stop();
    ErrorReports::start(options());
    auto hub = ErrorReports::currentHub();
    for (int i = 0; i < 3; ++i)
        hub->captureMessage(QString::number(i), hub->getScope());
    hub->flush();
    ASSERT_TRUE(TestSupport::waitUntil([&] { return hub->queue()->failedRequestCount() == 1 && !hub->queue()->isDelivering(); }, 10000));
    EXPECT_EQ(hub->queue()->pendingCount(), 3);

    ASSERT_TRUE(server.start());
    ErrorReports::start(options());  // a second start keeps the queue
    const auto items = deliver(3);
    ASSERT_EQ(items.size(), 3);
    EXPECT_EQ(items[2].value(QStringLiteral("message")).toString(), QStringLiteral("2"));
}

TEST_F(ErrorReportHubTest, StartOnAnotherThreadDeliversFromTheMainThread)
{
    std::thread([this] { ErrorReports::start(options()); }).join();
    auto hub = ErrorReports::currentHub();
    hub->captureMessage(QStringLiteral("from a worker"), hub->getScope());
    const auto items = deliver(1);
    EXPECT_EQ(items.size(), 1);
}

TEST(ReportLevelTest, RawValuesAndNames)
{
    const std::tuple<ReportLevel, int, const char*> cases[] = {
        {ReportLevel::None, 0, ""},       {ReportLevel::Debug, 1, "debug"}, {ReportLevel::Info, 2, "info"},
        {ReportLevel::Warning, 3, "warning"}, {ReportLevel::Error, 4, "error"}, {ReportLevel::Fatal, 5, "fatal"},
    };
    for (const auto& [level, raw, name] : cases) {
        EXPECT_EQ(toRaw(level), raw);
        EXPECT_EQ(reportLevelFromRaw(raw), level);
        EXPECT_EQ(reportLevelName(level), QString::fromLatin1(name));
    }
    EXPECT_EQ(reportLevelFromRaw(6), std::nullopt);
    EXPECT_EQ(reportLevelFromRaw(-1), std::nullopt);
}

}
