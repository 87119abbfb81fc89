#include "VpnEngineFixture.h"

#include "SettingsNotifications.h"

namespace {

using Type = QuorDataFetcherServer::Type;

QuorLocation cityLocation(std::optional<QString> name, qint64 id, std::optional<QString> country)
{
    QuorCity city;
    city.cityId = id;
    city.name = std::move(name);
    city.country = std::move(country);
    QuorLocation location;
    location.city = city;
    return location;
}

QuorLocation countryLocation(std::optional<QString> code, std::optional<QString> name)
{
    QuorCountry country;
    country.country = std::move(code);
    country.name = std::move(name);
    QuorLocation location;
    location.country = country;
    return location;
}

class QuorLocationTest : public VpnEngineFixture {
protected:
    void SetUp() override
    {
        VpnEngineFixture::SetUp();
        quor = makeQuor(&manager);
        listen(QString(SettingsNotifications::quorRecommendedServerUpdated));
    }
    FakeQuorManager manager;
    std::shared_ptr<Quor> quor;
};

TEST_F(QuorLocationTest, RecommendedLocationBecomesTheStoredRowOrIsClearedAndReported)
{
    QuorLocation both = cityLocation(std::nullopt, 8, QStringLiteral("FR"));
    both.country = countryLocation(QStringLiteral("FR"), QStringLiteral("France")).country;
    struct Case {
        const char* name;
        std::optional<QuorLocation> location;
        std::optional<std::tuple<QString, QString, Type, QString>> stored;  // id, name, type, code
        std::optional<int> reported;
        QString description;
    };
    const QList<Case> cases{
        {"a city", cityLocation(QStringLiteral("Paris"), 7, QStringLiteral("FR")),
         std::tuple{QStringLiteral("7"), QStringLiteral("Paris"), Type::City, QStringLiteral("FR")}, {}, {}},
        {"a country", countryLocation(QStringLiteral("DE"), QStringLiteral("Germany")),
         std::tuple{QStringLiteral("DE"), QStringLiteral("Germany"), Type::Country, QStringLiteral("DE")}, {}, {}},
        {"nothing", std::nullopt, {}, 4007, "QuorSDK provided nil QuorLocation"},
        {"a city without a name, beside a good country", both, {}, 4008, "QuorSDK provided errornous QuorCity"},
        {"a country without a name", countryLocation(QStringLiteral("DE"), std::nullopt), {}, 4009,
         "QuorSDK provided errornous QuorCountry"},
        {"neither city nor country", QuorLocation{}, {}, 4007, "QuorSDK provided nil QuorLocation"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        appPreferences().setRecommendedServer(row("OLD", "Old", Type::Country, "OLD"));
        hub->errors.clear();
        tracking->tracked.clear();
        const qsizetype before = heard(QString(SettingsNotifications::quorRecommendedServerUpdated)).size();

        quor->handleRecommendedLocation(c.location);

        const auto posts = heard(QString(SettingsNotifications::quorRecommendedServerUpdated));
        ASSERT_EQ(posts.size(), before + 1);
        const auto stored = appPreferences().recommendedServer();
        const auto response = tracking->named("app_recommended_location_response");
        ASSERT_EQ(response.size(), 1);
        if (c.stored) {
            const auto& [id, name, type, code] = *c.stored;
            ASSERT_TRUE(stored);
            EXPECT_EQ(stored->id, id);
            EXPECT_EQ(stored->name, name);
            EXPECT_EQ(stored->type, type);
            EXPECT_EQ(stored->code, code);
            EXPECT_EQ(posts.last().notification.object.value<QuorDataFetcherServer::Ptr>()->id, id);
            EXPECT_EQ(response.first().properties.value("succeed"), true);
            EXPECT_EQ(response.first().properties.value("name"), name);
            EXPECT_TRUE(hub->errors.isEmpty());
        } else {
            EXPECT_FALSE(stored);
            EXPECT_FALSE(posts.last().notification.object.isValid());
            EXPECT_EQ(response.first().properties.value("succeed"), false);
            ASSERT_EQ(hub->errors.size(), 1);
            EXPECT_EQ(hub->errors.first().first.domain, QStringLiteral("VeltamorineErrorDomain"));
            EXPECT_EQ(hub->errors.first().first.code, *c.reported);
            EXPECT_EQ(hub->errors.first().first.message, c.description);
        }
    }
}

TEST_F(QuorLocationTest, RecommendedRowKeepsItsFavouriteMark)
{
    preserved().setFavorites({row("7", "Paris", Type::City, "FR")});
    quor->handleRecommendedLocation(cityLocation(QStringLiteral("Paris"), 7, QStringLiteral("FR")));
    EXPECT_TRUE(appPreferences().recommendedServer()->favorite);
}

TEST_F(QuorLocationTest, ConnectionDetailsFollowTheSdkStatus)
{
    appPreferences().setOnGoingConnectionId(QStringLiteral("42.5"));
    const QList<std::pair<int, QuorConnectionState>> cases{
        {3, QuorConnectionState::Connected}, {2, QuorConnectionState::Connecting},
        {12, QuorConnectionState::Disconnected}, {1, QuorConnectionState::Disconnected}};
    for (const auto& [status, state] : cases) {
        manager.status = status;
        const Quor::ConnectionInfo info = quor->connectionDetails();
        EXPECT_EQ(info.state, state) << status;
        EXPECT_EQ(info.connectionId, QStringLiteral("42.5"));
        EXPECT_EQ(info.connectedTo, QString());
        EXPECT_EQ(info.quantumResistentServer, false);
    }
    EXPECT_EQ(Quor::locationDisplayName(details()), QStringLiteral("Lyon, FR"));
}

TEST_F(QuorLocationTest, ConnectedLocationCorrectsTheLastConnectionAndNamesTheLocation)
{
    QuorLocation location = countryLocation(QStringLiteral("DE"), QStringLiteral("Germany"));
    location.ip = QStringLiteral("198.51.100.20");
    location.server = QuorLocation::Server{QStringLiteral("nas-9"), QStringLiteral("de-1.example.test"), location.ip};
    struct Case {
        const char* name;
        QuorDataFetcherServer::Ptr stored;
        std::optional<QString> storedNas;
        bool dedicatedDetail;
        QString rowName;       // of the stored last connection afterwards
        QString locationName;  // handed to the caller
        std::optional<QString> iso;
        int mismatches;
    };
    auto dedicated = row("DIP", "My IP", Type::DedicatedIp, "DE");
    dedicated->ip = QStringLiteral("198.51.100.20");
    const QList<Case> cases{
        {"a country takes the SDK's name", row("DE", "Deutschland", Type::Country, "DE"), std::nullopt, false, "Germany",
         "Germany", QStringLiteral("DE"), 1},
        {"same NAS: no mismatch", row("DE", "Deutschland", Type::Country, "DE"), QStringLiteral("nas-9"), false,
         "Germany", "Germany", QStringLiteral("DE"), 0},
        {"a fastest-server row is left alone", row("FS", "Fastest", Type::FastestServer, "FS"), std::nullopt, false,
         "Fastest", "Germany", QStringLiteral("DE"), 0},
        {"a dedicated IP is named by its address", dedicated, QStringLiteral("nas-9"), true, "198.51.100.20",
         "198.51.100.20", QStringLiteral("NL"), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        tracking->tracked.clear();
        AppPreferences::LastConnection last = record(c.stored);
        last.nasIdentifier = c.storedNas;
        appPreferences().setLastConnection(last);
        user().setDedicatedIPDetail(c.dedicatedDetail ? std::optional(DedicatedIPDetail{"198.51.100.20", "NL", {}})
                                                      : std::nullopt);
        std::optional<std::expected<Quor::ConnectedInfo, Error>> result;
        quor->connectedServer(location, [&](std::expected<Quor::ConnectedInfo, Error> r) { result = std::move(r); });
        ASSERT_TRUE(result && result->has_value());
        EXPECT_EQ((*result)->locationName, c.locationName);
        EXPECT_EQ((*result)->isoCode, c.iso);
        EXPECT_EQ((*result)->ip, location.ip);
        EXPECT_EQ(appPreferences().lastConnection()->server->name, c.rowName);
        EXPECT_EQ(tracking->named("app_detect_ip_mismatch").size(), c.mismatches);
    }
}

TEST_F(QuorLocationTest, ConnectedLocationFailureCarriesItsError)
{
    std::optional<std::expected<Quor::ConnectedInfo, Error>> result;
    quor->connectedLocationFailed(std::nullopt, [&](std::expected<Quor::ConnectedInfo, Error> r) { result = std::move(r); });
    ASSERT_TRUE(result && !result->has_value());
    EXPECT_EQ(result->error().code, 4010);
    EXPECT_EQ(result->error().message, QStringLiteral("QuorSDK failed to fetch connected location."));
    EXPECT_EQ(tracking->named("app_fail_get_connected_location").first().properties.value("error"),
              QStringLiteral("QuorSDK failed to fetch connected location."));
}

TEST_F(QuorLocationTest, DedicatedIpPingStoresTheLatencyOrReportsTheFailure)
{
    int completions = 0;
    quor->pingDedicatedIPServer([&](const std::optional<Error>&) { ++completions; });
    EXPECT_TRUE(manager.pings.isEmpty());  // no dedicated server: nothing asked, nothing answered
    EXPECT_EQ(completions, 0);

    auto server = row("DIP", "My IP", Type::DedicatedIp, "DE");
    server->ip = QStringLiteral("198.51.100.20");
    server->hosts = QList<DedicatedIPHost>{{"dip1.example.test", "IKEV", "dedicated", "500"}};
    preserved().setDedicatedServer(server);
    manager.pingResult = QuorDedicatedIPServerPingResult{87};
    std::optional<Error> failure;
    quor->pingDedicatedIPServer([&](const std::optional<Error>& e) {
        ++completions;
        failure = e;
    });
    ASSERT_EQ(manager.pings.size(), 1);
    EXPECT_EQ(manager.pings.first().serverAddress, QStringLiteral("dip1.example.test"));
    EXPECT_EQ(manager.pings.first().serverIP, QStringLiteral("198.51.100.20"));
    EXPECT_EQ(completions, 1);
    EXPECT_FALSE(failure);
    EXPECT_EQ(preserved().dedicatedServer()->latency, 87);

    manager.queryReply = FakeQuorManager::Reply::Fail;
    quor->pingDedicatedIPServer([&](const std::optional<Error>& e) {
        ++completions;
        failure = e;
    });
    EXPECT_EQ(completions, 2);
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->code, 5200);
    EXPECT_EQ(hub->errors.size(), 1);
}

}
