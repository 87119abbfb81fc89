#include "AnalyticsInstance.h"
#include "Bundle.h"
#include "DeliveryInfo.h"
#include "HttpsTestServerFixture.h"
#include "TestSupport.h"
#include "VirtualScheduler.h"

#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>

namespace {

class AnalyticsInstanceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.start());
        Scheduler::setMain(&clock);
    }
    void TearDown() override
    {
        AnalyticsInstance::removeAllInstances();
        Scheduler::setMain(nullptr);
    }

    AnalyticsOptions options()
    {
        AnalyticsOptions o;
        o.token = QStringLiteral("0123456789abcdef0123456789abcdef");
        o.serverURL = server.url(QStringLiteral("/track"));
        o.trustedCertificates = {server.caCertificate()};
        o.scheduler = &clock;
        return o;
    }

    QList<QJsonObject> deliver(AnalyticsInstance& instance, int expected)
    {
        instance.flush();
        EXPECT_TRUE(TestSupport::waitUntil([&] { return server.items().size() >= expected; }, 10000));
        return server.items();
    }

    static QJsonObject props(const QJsonObject& item) { return item.value(QStringLiteral("properties")).toObject(); }

    VirtualScheduler clock;
    HttpsTestServer server;
};

TEST_F(AnalyticsInstanceTest, EventCarriesSuperPropertiesIdentityAndTime)
{
    AnalyticsInstance instance(options());
    instance.registerSuperProperties({{QStringLiteral("locale"), QStringLiteral("en")},
                                      {QStringLiteral("shared"), QStringLiteral("super")}});
    instance.identify(QStringLiteral("uuid-1"));
    instance.track(QStringLiteral("app_launched"), {{QStringLiteral("shared"), QStringLiteral("event wins")},
                                                    {QStringLiteral("count"), 3},
                                                    {QStringLiteral("when"), QDateTime::fromSecsSinceEpoch(86400, Qt::UTC)},
                                                    {QStringLiteral("link"), QUrl(QStringLiteral("https://example.invalid/a"))}});
    const auto items = deliver(instance, 1);
    ASSERT_EQ(items.size(), 1);
    const QJsonObject item = items[0];
    EXPECT_EQ(item.value(QStringLiteral("type")).toString(), QStringLiteral("event"));
    EXPECT_EQ(item.value(QStringLiteral("event")).toString(), QStringLiteral("app_launched"));
    EXPECT_TRUE(item.value(QStringLiteral("use_ip_geolocation")).toBool());
    const QJsonObject p = props(item);
    EXPECT_EQ(p.value(QStringLiteral("locale")).toString(), QStringLiteral("en"));
    EXPECT_EQ(p.value(QStringLiteral("shared")).toString(), QStringLiteral("event wins"));
    EXPECT_EQ(p.value(QStringLiteral("count")).toInt(), 3);
    EXPECT_EQ(p.value(QStringLiteral("when")).toString(), QStringLiteral("1970-01-02T00:00:00.000Z"));
    EXPECT_EQ(p.value(QStringLiteral("link")).toString(), QStringLiteral("https://example.invalid/a"));
    EXPECT_EQ(p.value(QStringLiteral("token")).toString(), QStringLiteral("0123456789abcdef0123456789abcdef"));
    EXPECT_EQ(p.value(QStringLiteral("distinct_id")).toString(), QStringLiteral("uuid-1"));
    EXPECT_EQ(qint64(p.value(QStringLiteral("time")).toDouble()), clock.now().toMSecsSinceEpoch());
    EXPECT_FALSE(p.value(QStringLiteral("$insert_id")).toString().isEmpty());
}

TEST_F(AnalyticsInstanceTest, TimedEventCarriesItsDurationOnce)
{
    AnalyticsInstance instance(options());
    instance.time(QStringLiteral("app_ping_time"));
    clock.advance(2.5);
    instance.track(QStringLiteral("app_ping_time"));
    instance.track(QStringLiteral("app_ping_time"));
    const auto items = deliver(instance, 2);
    ASSERT_EQ(items.size(), 2);
    EXPECT_DOUBLE_EQ(props(items[0]).value(QStringLiteral("$duration")).toDouble(), 2.5);
    EXPECT_FALSE(props(items[1]).contains(QStringLiteral("$duration")));
}

TEST_F(AnalyticsInstanceTest, GeolocationFlagIsTakenWhenTheEventIsTracked)
{
    AnalyticsInstance instance(options());
    instance.setUseIPAddressForGeoLocation(false);
    instance.track(QStringLiteral("a"));
    instance.setUseIPAddressForGeoLocation(true);
    instance.track(QStringLiteral("b"));
    const auto items = deliver(instance, 2);
    ASSERT_EQ(items.size(), 2);
    EXPECT_FALSE(items[0].value(QStringLiteral("use_ip_geolocation")).toBool());
    EXPECT_TRUE(items[1].value(QStringLiteral("use_ip_geolocation")).toBool());
}

TEST_F(AnalyticsInstanceTest, ResetForgetsIdentitySuperPropertiesAndTimers)
{
    AnalyticsInstance instance(options());
    instance.identify(QStringLiteral("uuid-1"));
    instance.registerSuperProperties({{QStringLiteral("username"), QStringLiteral("vpn-user")}});
    instance.time(QStringLiteral("app_ping_time"));
    bool completed = false;
    instance.reset([&] { completed = true; });
    ASSERT_TRUE(TestSupport::waitUntil([&] { return completed; }, 2000));
    EXPECT_NE(instance.distinctId(), QStringLiteral("uuid-1"));
    EXPECT_TRUE(instance.currentSuperProperties().isEmpty());
    instance.track(QStringLiteral("app_ping_time"));
    const auto items = deliver(instance, 1);
    ASSERT_EQ(items.size(), 1);
    EXPECT_FALSE(props(items[0]).contains(QStringLiteral("username")));
    EXPECT_FALSE(props(items[0]).contains(QStringLiteral("$duration")));
}

TEST_F(AnalyticsInstanceTest, ClearSuperPropertiesRemovesAll)
{
    AnalyticsInstance instance(options());
    instance.registerSuperProperties({{QStringLiteral("a"), 1}, {QStringLiteral("b"), 2}});
    instance.registerSuperProperties({{QStringLiteral("a"), 3}});
    EXPECT_EQ(instance.currentSuperProperties(), (AnalyticsProperties{{QStringLiteral("a"), 3}, {QStringLiteral("b"), 2}}));
    instance.clearSuperProperties();
    EXPECT_TRUE(instance.currentSuperProperties().isEmpty());
}

TEST_F(AnalyticsInstanceTest, PeoplePropertiesGoUnderTheCurrentIdentity)
{
    AnalyticsInstance instance(options());
    instance.identify(QStringLiteral("uuid-7"));
    instance.peopleSet({{QStringLiteral("$name"), QStringLiteral("vpn-user")}});
    const auto items = deliver(instance, 1);
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(items[0].value(QStringLiteral("type")).toString(), QStringLiteral("people"));
    EXPECT_EQ(items[0].value(QStringLiteral("$distinct_id")).toString(), QStringLiteral("uuid-7"));
    EXPECT_EQ(items[0].value(QStringLiteral("$set")).toObject().value(QStringLiteral("$name")).toString(),
              QStringLiteral("vpn-user"));
}

TEST_F(AnalyticsInstanceTest, OptOutDropsQueuedAndLaterEvents)
{
    AnalyticsInstance instance(options());
    instance.track(QStringLiteral("queued"));
    instance.optOutTracking();
    EXPECT_TRUE(instance.hasOptedOutTracking());
    instance.track(QStringLiteral("ignored"));
    EXPECT_EQ(instance.queue().pendingCount(), 0);
    instance.optInTracking();
    instance.track(QStringLiteral("sent"));
    const auto items = deliver(instance, 1);
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(items[0].value(QStringLiteral("event")).toString(), QStringLiteral("sent"));
}

TEST_F(AnalyticsInstanceTest, OptOutByDefault)
{
    AnalyticsOptions o = options();
    o.optOutTrackingByDefault = true;
    AnalyticsInstance instance(o);
    instance.track(QStringLiteral("ignored"));
    EXPECT_EQ(instance.queue().pendingCount(), 0);
}

TEST_F(AnalyticsInstanceTest, InitializeNamesTheMainInstanceAndReusesIt)
{
    auto first = AnalyticsInstance::initialize(options());
    auto again = AnalyticsInstance::initialize(options());
    EXPECT_EQ(first, again);
    EXPECT_EQ(AnalyticsInstance::mainInstance(), first);
    EXPECT_EQ(first->name(), QStringLiteral("0123456789abcdef0123456789abcdef"));
}

TEST_F(AnalyticsInstanceTest, MainInstanceBeforeInitializeQueuesWithoutDelivering)
{
    auto early = AnalyticsInstance::mainInstance();
    early->track(QStringLiteral("app_launched"));
    early->flush();
    TestSupport::processEvents(50);
    EXPECT_EQ(early->queue().pendingCount(), 1);
    EXPECT_EQ(server.requestCount(), 0);
}

TEST_F(AnalyticsInstanceTest, InitializeTakesEndpointAndCaFromTheInformationDictionary)
{
    QTemporaryDir dir;
    const QString caPath = dir.filePath(QStringLiteral("ca.pem"));
    QFile ca(caPath);
    ASSERT_TRUE(ca.open(QIODevice::WriteOnly));
    ca.write(server.caCertificate().toPem());
    ca.close();
    const Bundle bundle(QJsonObject{{DeliveryInfo::analyticsEndpointKey, server.url(QStringLiteral("/events")).toString()},
                                    {DeliveryInfo::trustedCaKey, caPath}});
    Bundle::setMain(&bundle);
    AnalyticsOptions o;
    o.token = QStringLiteral("7c41e0d92fa85b36c1d4e7a09b2f5c38");
    o.scheduler = &clock;
    auto instance = AnalyticsInstance::initialize(o);
    Bundle::setMain(nullptr);
    instance->track(QStringLiteral("app_launched"));
    const auto items = deliver(*instance, 1);
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(items[0].value(QStringLiteral("event")).toString(), QStringLiteral("app_launched"));
}

TEST(AnalyticsValueTest, RepresentableKinds)
{
    struct Case {
        const char* name;
        QVariant value;
        bool representable;
    };
    QObject object;
    const Case cases[] = {
        {"text", QStringLiteral("x"), true},
        {"int", 1, true},
        {"int64", qint64(1) << 40, true},
        {"double", 1.5, true},
        {"bool", true, true},
        {"date", QDateTime::currentDateTimeUtc(), true},
        {"url", QUrl(QStringLiteral("https://a.invalid")), true},
        {"null", QVariant::fromValue(nullptr), true},
        {"list", QVariantList{1, QStringLiteral("a")}, true},
        {"map", QVariantMap{{QStringLiteral("k"), 2}}, true},
        {"object", QVariant::fromValue(&object), false},
        {"bytes", QByteArray("raw"), false},
        {"list with object", QVariantList{1, QVariant::fromValue(&object)}, false},
        {"invalid", QVariant(), false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(AnalyticsValue::isRepresentable(c.value), c.representable) << c.name;
}

}
