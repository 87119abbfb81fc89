#include "EventTracking.h"
#include "KeychainBackend.h"
#include "MainQueue.h"
#include "MemoryKeychainBackend.h"
#include "NotificationCenter.h"
#include "QuorDataFetcher.h"
#include "QuorInventoryGenerator.h"
#include "SettingsNotifications.h"
#include "TestSupport.h"
#include "UserDefaults.h"
#include "UserDefaultsCodable.h"
#include "VpnEngineFixture.h"

#include <QFile>
#include <QJsonDocument>
#include <QMutex>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <thread>

namespace {

using Server = QuorDataFetcher::Server;
using Servers = QuorDataFetcher::Servers;
using Type = QuorDataFetcher::ServerType;

class SilentHub final : public ErrorSending {
public:
    void setUser(const std::optional<ReportUser>&) override {}
    QString captureError(const Error&, const ReportScope&) override { return {}; }
    QString captureMessage(const QString&, const ReportScope&) override { return {}; }
    ReportScope getScope() override { return {}; }
};

// The SDK manager as far as the location lists use it: the country request is held until the
// test answers it, and the status is scripted.
class CountriesManager final : public QuorManagerProtocol {
public:
    int status = 0;
    QList<std::pair<CountriesBlock, ErrorBlock>> held;

    void setDoCheckInternetConnectivity(bool) override {}
    void setQuorCredential(const std::optional<QuorCredential>&) override {}
    void connect(const QuorProperties&, ConnectCompletion, ErrorBlock) override {}
    int getCurrentVPNStatus() const override { return status; }
    void disconnectVPN() override {}
    void cancelVPN() override {}
    void reconnectVPN() override {}
    std::optional<QDateTime> getConnectedTime() const override { return std::nullopt; }
    void getConnectedLocation(LocationBlock, ErrorBlock) override {}
    void getRecommendedLocation(LocationBlock, ErrorBlock) override {}
    void pingDedicatedIPServer(const QuorDedicatedIPServerPing&, PingBlock, ErrorBlock) override {}
    void getCountries(CountriesBlock success, ErrorBlock errorBlock) override { held.append({success, errorBlock}); }
};

QuorDatacenters center(qint64 id, qint64 latency = 0)
{
    QuorDatacenters c;
    c.dataCenterId = id;
    c.latency = latency;
    c.ip = QStringLiteral("198.18.0.%1").arg(id);
    c.hostname = QStringLiteral("dc%1.example").arg(id);
    return c;
}

QuorCity city(qint64 id, const QString& name, const QString& country, qint64 latency = 0)
{
    QuorCity c;
    c.cityId = id;
    c.name = name;
    c.country = country;
    c.data_centers = QList<QuorDatacenters>{center(id * 10)};
    c.latency = latency;
    return c;
}

QuorCountry country(const QString& code, const QStringList& protocolWords, std::optional<QList<QuorCity>> cities = std::nullopt,
                    qint64 latency = 0)
{
    QuorCountry c;
    c.country = code;
    c.name = QStringLiteral("Country ") + code;
    QList<QuorProtocol> protocols;
    for (const QString& word : protocolWords)
        protocols.append(QuorProtocol(word));
    c.protocols = protocols;
    c.cities = std::move(cities);
    c.dataCenters = QList<QuorDatacenters>{center(1), center(2)};
    c.latency = latency;
    return c;
}

const QStringList allWords = {"IPSEC", "IKEV", "TCP", "UDP", "WireGuard"};

QStringList ids(const Servers& servers)
{
    QStringList out;
    for (const Server::Ptr& s : servers)
        out.append(s ? s->id : QStringLiteral("<null>"));
    return out;
}

Server::Ptr row(const QString& id, Type type = Type::Country)
{
    return Server::make(id, QStringLiteral("Name ") + id, type, type == Type::City ? QStringLiteral("FR") : id);
}

class QuorDataFetcherTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        UserDefaults::setStandardFolder(folder.path());
        KeychainBackend::setCurrent(keyring);
        User().setVpnUsername(QStringLiteral("vpnuser"));
        fetcher = makeFetcher();
        fetcher->localCountriesPath = folder.filePath(QStringLiteral("countries.json"));
    }

    void TearDown() override
    {
        NotificationCenter::defaultCenter().removeObserver(&owner);
        fetcher.reset();
        TestSupport::processEvents(5);
        KeychainBackend::setCurrent(nullptr);
    }

    std::unique_ptr<QuorDataFetcher> makeFetcher()
    {
        return std::make_unique<QuorDataFetcher>(PreservedPreferences(), AppPreferences(), &manager,
                                                 ErrorSender(std::make_shared<SilentHub>()),
                                                 EventTracker(sink, AppPreferences(), PreservedPreferences()), User());
    }

    void writeOverlay(const QByteArray& json)
    {
        QFile file(fetcher->localCountriesPath);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(json);
    }

    // Records the names of the notifications posted, in order, and their objects.
    void record(const QStringList& names)
    {
        for (const QString& name : names) {
            NotificationCenter::defaultCenter().addObserver(name, &owner, [this](const Notification& n) {
                posted.append(n.name);
                objects.append(n.object);
            });
        }
    }

    Servers storedCountries() const { return PreservedPreferences().servers(QStringLiteral("countries")); }

    QTemporaryDir folder;
    std::shared_ptr<MemoryKeychainBackend> keyring = std::make_shared<MemoryKeychainBackend>();
    std::shared_ptr<RecordingTracking> sink = std::make_shared<RecordingTracking>();
    CountriesManager manager;
    std::unique_ptr<QuorDataFetcher> fetcher;
    // Fresh facades over the test's stores.
    static PreservedPreferences preferences() { return PreservedPreferences(); }
    static AppPreferences app() { return AppPreferences(); }
    QObject owner;
    QStringList posted;
    QVariantList objects;
};

// --- fetching and building the lists

TEST_F(QuorDataFetcherTest, SdkAnswerFromAnotherThreadIsFilteredOverlaidStoredAndHandedOverOnTheMainThread)
{
    preferences().setAutomaticProtocol(false);
    preferences().setSelectedProtocol(VPNProtocol::WireGuard);
    writeOverlay(R"({"FR": {"priority": 7, "is_p2p": true, "is_quantum_resistant": true}, "DE": {"priority": 3, "is_p2p": false}})");
    const QList<QuorCountry> sdk = {
        country("FR", allWords, QList<QuorCity>{city(7, "Paris", "FR"), city(8, "Lyon", "FR")}),
        country("DE", {"IPSEC", "IKEV"}, QList<QuorCity>{}),
        [] { QuorCountry c = country("XX", {}); c.protocols.reset(); return c; }(),
        country("IT", {"WireGuard"}, QList<QuorCity>{}),
    };

    int calls = 0;
    bool onMain = false;
    Servers rows;
    fetcher->fetchCountries({}, [&](const Servers& r) {
        ++calls;
        onMain = MainQueue::isMainThread();
        rows = r;
    });
    ASSERT_EQ(manager.held.size(), 1);
    EXPECT_EQ(sink->timed, QStringList{"app_location_load_time"});

    std::thread sdkThread([&] { manager.held.first().first(sdk); });
    sdkThread.join();
    EXPECT_EQ(calls, 0) << "the answer must wait for the main thread";
    ASSERT_TRUE(TestSupport::waitUntil([&] { return calls > 0; }, 2000));
    TestSupport::processEvents(5);

    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(onMain);
    ASSERT_EQ(ids(rows), (QStringList{"FR", "IT"}));
    const Server::Ptr fr = rows.first();
    EXPECT_TRUE(fr->p2p);
    EXPECT_EQ(fr->priority, 7);
    EXPECT_TRUE(fr->quantumResistant);
    EXPECT_EQ(fr->type, Type::Country);
    ASSERT_TRUE(fr->dataCenters);
    EXPECT_EQ(fr->dataCenters->size(), 2);
    ASSERT_TRUE(fr->servers);
    ASSERT_EQ(ids(*fr->servers), (QStringList{"7", "8"}));
    const Server::Ptr paris = fr->servers->first();
    EXPECT_EQ(paris->type, Type::City);
    EXPECT_EQ(paris->code, QStringLiteral("FR"));
    EXPECT_FALSE(paris->p2p);
    EXPECT_EQ(paris->priority, 0);
    EXPECT_EQ(paris->latency, Server::notMeasured);

    // The whole SDK list is cached, the filtered rows are stored for the VPN user.
    EXPECT_EQ(fetcher->cachedCountries().size(), 4);
    EXPECT_EQ(ids(storedCountries()), (QStringList{"FR", "IT"}));
    EXPECT_TRUE(UserDefaults::standard().hasObject(QStringLiteral("vpnuser.countries")));
    const auto loadTime = sink->named("app_location_load_time");
    ASSERT_EQ(loadTime.size(), 1);
    EXPECT_EQ(loadTime.first().properties.value("type"), QVariant(QStringLiteral("Country")));
}

TEST_F(QuorDataFetcherTest, CacheIsUsedOnlyWhenBothThePassedAndTheStoredListHoldCountries)
{
    struct Case {
        const char* name;
        bool passCached;
        bool storeCache;
        bool asksSdk;
    };
    const Case cases[] = {
        {"both filled", true, true, false},
        {"stored cache empty", true, false, true},
        {"nothing passed", false, true, true},
    };
    const QList<QuorCountry> cached = {country("FR", allWords), country("DE", {"IKEV"})};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        manager.held.clear();
        UserDefaults::standard().removeObjectForKey(AppPreferences::countriesKey());
        if (c.storeCache)
            UserDefaultsCodable::setCodableArray(UserDefaults::standard(), std::optional(cached), AppPreferences::countriesKey());
        std::optional<Servers> rows;
        fetcher->fetchCountries(c.passCached ? cached : QList<QuorCountry>{}, [&](const Servers& r) { rows = r; });
        EXPECT_EQ(manager.held.size(), c.asksSdk ? 1 : 0);
        if (c.asksSdk) {
            EXPECT_FALSE(rows);
            manager.held.first().first(QList<QuorCountry>{country("NL", allWords)});
            ASSERT_TRUE(TestSupport::waitUntil([&] { return rows.has_value(); }, 2000));
            EXPECT_EQ(ids(*rows), QStringList{"NL"});
            EXPECT_EQ(fetcher->cachedCountries().size(), 1) << "a fresh answer overwrites the cache";
        } else {
            ASSERT_TRUE(rows);
            EXPECT_EQ(ids(*rows), QStringList{"FR"}) << "IPSec is selected; DE lacks it";
        }
    }
}

TEST_F(QuorDataFetcherTest, FailedRequestOrVanishedFetcherLeavesStoresAloneAndNeverCompletes)
{
    const QList<QuorCountry> before = {country("FR", allWords)};
    UserDefaultsCodable::setCodableArray(UserDefaults::standard(), std::optional(before), AppPreferences::countriesKey());

    int calls = 0;
    fetcher->fetchCountries({}, [&](const Servers&) { ++calls; });
    manager.held.first().second(Error(QStringLiteral("QuorSDKErrorDomain"), 5200, QStringLiteral("no list")));

    fetcher->fetchCountries({}, [&](const Servers&) { ++calls; });
    const auto answer = manager.held.last().first;
    fetcher.reset();
    answer(QList<QuorCountry>{country("NL", allWords)});
    TestSupport::processEvents(30);

    EXPECT_EQ(calls, 0);
    EXPECT_EQ(UserDefaultsCodable::array<QuorCountry>(UserDefaults::standard(), AppPreferences::countriesKey())->size(), 1);
    EXPECT_TRUE(storedCountries().isEmpty());
}

TEST_F(QuorDataFetcherTest, StartUpCacheBlockWritesOnTheMainThreadEvenWithoutAList)
{
    std::thread sdkThread([] { QuorDataFetcher::cacheFetchedCountries()(std::nullopt); });
    sdkThread.join();
    ASSERT_TRUE(TestSupport::waitUntil(
        [] { return UserDefaults::standard().arrayForKey(AppPreferences::countriesKey()).has_value(); }, 2000));
    EXPECT_TRUE(UserDefaults::standard().arrayForKey(AppPreferences::countriesKey())->isEmpty());
}

TEST_F(QuorDataFetcherTest, FavouriteFlagsAndTheRecommendedRowFollowTheFreshRows)
{
    preferences().setFavorites({row("42", Type::City), row("DE")});
    const Server::Ptr recommended = row("42", Type::City);
    recommended->latency = 55;
    recommended->p2p = true;
    app().setRecommendedServer(recommended);
    record({SettingsNotifications::quorRecommendedServerUpdated});

    const QList<QuorCountry> sdk = {country("FR", allWords, QList<QuorCity>{city(42, "Nice", "FR"), city(43, "Lille", "FR")}),
                                    country("DE", allWords)};
    const Servers rows = fetcher->servers(sdk, preferences().favorites(), {}, app().recommendedServer());

    ASSERT_EQ(ids(rows), (QStringList{"FR", "DE"}));
    EXPECT_FALSE(rows[0]->favorite);
    EXPECT_TRUE(rows[1]->favorite);
    EXPECT_FALSE(rows[1]->servers) << "a country without a city list keeps none";
    EXPECT_TRUE((*rows[0]->servers)[0]->favorite);
    EXPECT_FALSE((*rows[0]->servers)[1]->favorite);

    EXPECT_EQ(posted.size(), 1);
    const Server::Ptr stored = app().recommendedServer();
    ASSERT_TRUE(stored);
    EXPECT_TRUE(stored->favorite);
    EXPECT_FALSE(stored->p2p);
    EXPECT_EQ(stored->latency, Server::notMeasured);
}

TEST_F(QuorDataFetcherTest, ObjectsWithoutCodeOrNameFormNoRow)
{
    QuorCountry nameless = country("FR", allWords);
    nameless.name.reset();
    QuorCountry codeless = country("DE", allWords);
    codeless.country.reset();
    QuorCity unnamed = city(9, "x", "NL");
    unnamed.name.reset();
    const Servers rows = fetcher->servers({nameless, codeless, country("NL", allWords, QList<QuorCity>{unnamed, city(10, "Utrecht", "NL")})},
                                          {}, {}, nullptr);
    ASSERT_EQ(ids(rows), QStringList{"NL"});
    EXPECT_EQ(ids(*rows.first()->servers), QStringList{"10"});
}

TEST_F(QuorDataFetcherTest, OneBadOverlayEntryDropsTheWholeOverlay)
{
    struct Case {
        const char* name;
        std::optional<QByteArray> file;
        bool applies;
    };
    const Case cases[] = {
        {"valid", QByteArray(R"({"FR": {"priority": 7, "is_p2p": true}, "DE": {"priority": 2, "is_p2p": true}})"), true},
        {"entry without priority", QByteArray(R"({"FR": {"priority": 7, "is_p2p": true}, "DE": {"is_p2p": true}})"), false},
        {"flag of the wrong type", QByteArray(R"({"FR": {"priority": 7, "is_p2p": 1}})"), false},
        {"not JSON", QByteArray("{"), false},
        {"no file", std::nullopt, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(fetcher->localCountriesPath);
        if (c.file)
            writeOverlay(*c.file);
        const Server::Ptr favorite = row("FR");
        favorite->p2p = false;
        preferences().setFavorites({favorite});
        posted.clear();
        record({QuorDataFetcher::favoritesUpdatedNotification});

        const auto overlay = fetcher->loadLocalCountries();
        const Servers rows = fetcher->servers({country("FR", allWords)}, {}, overlay.value_or(QuorDataFetcher::Overlay{}), nullptr);

        EXPECT_EQ(overlay.has_value(), c.applies);
        EXPECT_EQ(rows.first()->p2p, c.applies);
        EXPECT_EQ(rows.first()->priority, c.applies ? 7 : 0);
        EXPECT_EQ(preferences().favorites().first()->p2p, c.applies) << "stored favourites change only with a usable overlay";
        EXPECT_EQ(posted.size(), c.applies ? 1 : 0);
        NotificationCenter::defaultCenter().removeObserver(&owner);
    }
}

TEST_F(QuorDataFetcherTest, OverlayRewritesEveryFavouriteAndRecent)
{
    writeOverlay(R"({"FR": {"priority": 7, "is_p2p": true, "is_quantum_resistant": true}, "DE": {"priority": 2, "is_p2p": true}})");
    const Server::Ptr de = row("DE");
    de->quantumResistant = true;
    preferences().setFavorites({row("FR"), de});
    preferences().setRecents({row("DE"), row("IT")});
    record({QuorDataFetcher::favoritesUpdatedNotification, SettingsNotifications::recentsUpdated});

    ASSERT_TRUE(fetcher->loadLocalCountries());

    EXPECT_EQ(posted.count(QuorDataFetcher::favoritesUpdatedNotification), 2);
    const Servers favorites = preferences().favorites();
    EXPECT_TRUE(favorites[0]->p2p && favorites[0]->quantumResistant);
    EXPECT_TRUE(favorites[1]->p2p);
    EXPECT_FALSE(favorites[1]->quantumResistant) << "an entry without the flag clears it";
    EXPECT_EQ(favorites[0]->priority, 0) << "priority is not carried into stored rows";
    const Servers recents = preferences().recents();
    EXPECT_TRUE(recents[0]->p2p);
    EXPECT_FALSE(recents[1]->p2p);
}

TEST_F(QuorDataFetcherTest, ProtocolFilterComparesTheSdkNameOfTheSelectedProtocol)
{
    QuorCountry noList = country("XX", {});
    noList.protocols.reset();
    const QList<QuorCountry> sdk = {country("FR", allWords), country("DE", {"IPSEC"}), noList, country("IT", {"WireGuard", "TCP"})};
    for (VPNProtocol protocol : allCases<VPNProtocol>()) {
        const QString name = QuorDataFetcher::protocolName(protocol);
        SCOPED_TRACE(name.toStdString());
        EXPECT_FALSE(name.isEmpty());
        QStringList expected = {"FR"};
        if (protocol == VPNProtocol::IPSec)
            expected.append("DE");
        if (protocol == VPNProtocol::WireGuard || protocol == VPNProtocol::TCP)
            expected.append("IT");
        QStringList got;
        for (const QuorCountry& c : QuorDataFetcher::countries(sdk, name))
            got.append(*c.country);
        EXPECT_EQ(got, expected);
    }
}

// --- ping merging

TEST_F(QuorDataFetcherTest, PingMergeKeepsTheSdkOrderDropsUnmeasuredRowsAndUsesTheNotMeasuredSentinel)
{
    struct Case {
        int status;
        const char* state;
    };
    for (const Case& c : {Case{3, "Connected"}, Case{2, "Connecting"}, Case{12, "Disconnected"}}) {
        SCOPED_TRACE(c.state);
        manager.status = c.status;
        sink->tracked.clear();
        const Servers shown = {row("FR"), row("DE"), row("IT")};
        shown[0]->latency = 80;
        QuorCountry fr = country("FR", allWords);
        fr.dataCenters = QList<QuorDatacenters>{center(1, 0), center(2, 12), center(3, 0)};
        const Servers merged = fetcher->mergeOptimizedCountries({country("DE", allWords, std::nullopt, 40), fr, country("ZZ", allWords)},
                                                                shown, nullptr);

        EXPECT_EQ(ids(merged), (QStringList{"DE", "FR"}));
        EXPECT_EQ(merged[0].get(), shown[1].get()) << "rows are changed in place";
        EXPECT_EQ(shown[1]->latency, 40);
        EXPECT_EQ(shown[0]->latency, 80) << "a failed measurement keeps the previous latency";
        EXPECT_EQ(shown[2]->latency, Server::notMeasured);
        ASSERT_TRUE(shown[0]->dataCenters);
        EXPECT_EQ(shown[0]->dataCenters->size(), 3);
        const auto failures = sink->named("app_fail_ping");
        ASSERT_EQ(failures.size(), 1);
        EXPECT_EQ(failures[0].properties.value("location"), QVariant(QStringLiteral("Name FR")));
        EXPECT_EQ(failures[0].properties.value("data_centers").toStringList(), (QStringList{"1", "3"}));
        EXPECT_EQ(failures[0].properties.value("connection_state"), QVariant(QString::fromLatin1(c.state)));
        const auto pingTime = sink->named("app_ping_time");
        ASSERT_EQ(pingTime.size(), 1);
        EXPECT_EQ(pingTime[0].properties.value("type"), QVariant(QStringLiteral("Country")));
    }
}

TEST_F(QuorDataFetcherTest, PingMergeCarriesLatencyIntoFavouritesRecentsRecommendedAndLastConnection)
{
    preferences().setFavorites({row("DE")});
    preferences().setRecents({row("IT"), row("DE")});
    const Server::Ptr recommended = row("IT");
    app().setRecommendedServer(recommended);
    AppPreferences::LastConnection last{QuorSelectedInterface{}, QuorConnectVia::Country, QuorSelectedInterfaceScreen{},
                                        QuorConnectionInitiatedBy{}, row("IT"), std::nullopt, false, false};
    app().setLastConnection(last);
    record({QuorDataFetcher::favoritesUpdatedNotification, SettingsNotifications::quorRecommendedServerUpdated});

    const Servers shown = {row("DE"), row("IT")};
    fetcher->mergeOptimizedCountries({country("DE", allWords, std::nullopt, 40), country("IT", allWords, std::nullopt, 25)}, shown,
                                     app().recommendedServer());

    EXPECT_TRUE(shown[0]->favorite);
    EXPECT_EQ(preferences().favorites().first()->latency, 40);
    EXPECT_EQ(preferences().recents()[0]->latency, 25);
    EXPECT_EQ(preferences().recents()[1]->latency, 40) << "a favourite's recent copy follows through the favourite";
    EXPECT_EQ(app().recommendedServer()->latency, 25);
    EXPECT_EQ(app().lastConnection()->server->latency, 25);
    EXPECT_EQ(posted, (QStringList{QuorDataFetcher::favoritesUpdatedNotification, SettingsNotifications::quorRecommendedServerUpdated}));
}

TEST_F(QuorDataFetcherTest, PingHandlersMergeOnTheMainThreadAndHandBackTheShownRowsAfterAnError)
{
    const Servers cities = {row("7", Type::City), row("8", Type::City)};
    std::optional<Servers> merged;
    bool onMain = false;
    auto handler = fetcher->handleFetchedCities(cities, nullptr, [&](const Servers& r) {
        merged = r;
        onMain = MainQueue::isMainThread();
    });
    std::thread sdkThread([&] { handler(QList<QuorCity>{city(8, "Lyon", "FR", 33)}, std::nullopt); });
    sdkThread.join();
    ASSERT_TRUE(TestSupport::waitUntil([&] { return merged.has_value(); }, 2000));
    EXPECT_TRUE(onMain);
    EXPECT_EQ(ids(*merged), QStringList{"8"});
    EXPECT_EQ(cities[1]->latency, 33);
    EXPECT_EQ(sink->named("app_ping_time").first().properties.value("type"), QVariant(QStringLiteral("City")));

    merged.reset();
    auto failing = fetcher->handleOptimizedCountries({row("FR")}, nullptr, [&](const Servers& r) { merged = r; });
    failing(std::nullopt, Error(QStringLiteral("QuorSDKErrorDomain"), 1, QStringLiteral("ping failed")));
    ASSERT_TRUE(TestSupport::waitUntil([&] { return merged.has_value(); }, 2000));
    EXPECT_EQ(ids(*merged), QStringList{"FR"});
}

TEST_F(QuorDataFetcherTest, RowsBecomeSdkObjectsForPinging)
{
    const Server::Ptr c = row("FR");
    c->dataCenters = QList<QuorDataFetcher::DataCenter>{{5, 0, QStringLiteral("198.18.0.5"), std::nullopt}};
    const QuorCountry sdkCountry = QuorDataFetcher::quorCountry(*c);
    EXPECT_EQ(sdkCountry.country, QStringLiteral("FR"));
    EXPECT_EQ(sdkCountry.name, QStringLiteral("Name FR"));
    ASSERT_TRUE(sdkCountry.dataCenters);
    EXPECT_EQ(sdkCountry.dataCenters->first().dataCenterId, 5);
    EXPECT_EQ(sdkCountry.dataCenters->first().ip, QStringLiteral("198.18.0.5"));

    EXPECT_EQ(QuorDataFetcher::quorCity(*row("42", Type::City)).cityId, 42);
    EXPECT_EQ(QuorDataFetcher::quorCity(*row("42", Type::City)).country, QStringLiteral("FR"));
    EXPECT_FALSE(QuorDataFetcher::quorCity(*row("42", Type::City)).data_centers);
    EXPECT_EQ(QuorDataFetcher::quorCity(*row("4x2", Type::City)).cityId, 0);
}

// --- favourites, recents, recommended location

TEST_F(QuorDataFetcherTest, RecentsKeepThreeNewestFirstAndOneEntryPerLocation)
{
    struct Case {
        QStringList before;
        QString added;
        QStringList after;
    };
    const Case cases[] = {
        {{"A", "B", "C"}, "D", {"D", "A", "B"}},
        {{"A", "B", "C"}, "A", {"A", "B", "C"}},
        {{"A", "B", "C"}, "C", {"C", "A", "B"}},
        {{"A", "B"}, "B", {"B", "A"}},
        {{}, "A", {"A"}},
    };
    record({SettingsNotifications::recentsUpdated});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.added.toStdString());
        Servers before;
        for (const QString& id : c.before)
            before.append(row(id));
        preferences().setRecents(before);
        objects.clear();
        fetcher->addToRecents(row(c.added));
        EXPECT_EQ(ids(preferences().recents()), c.after);
        ASSERT_EQ(objects.size(), 1);
        EXPECT_EQ(ids(objects.first().value<Servers>()), c.after);
    }
}

TEST_F(QuorDataFetcherTest, MarkingTheRecommendedLocationAnnouncesItBeforeTheFavourites)
{
    const Server::Ptr paris = row("7", Type::City);
    app().setRecommendedServer(row("7", Type::City));
    app().setServerToAddInRecent(row("7", Type::City));
    preferences().setRecents({row("DE"), row("7", Type::City)});
    record({SettingsNotifications::quorRecommendedServerUpdated, QuorDataFetcher::favoritesUpdatedNotification});

    fetcher->addFavorite(paris, QuorDataFetcher::FavoriteVia::Recent);

    ASSERT_EQ(posted, (QStringList{SettingsNotifications::quorRecommendedServerUpdated, QuorDataFetcher::favoritesUpdatedNotification}));
    EXPECT_TRUE(objects[0].value<Server::Ptr>()->favorite);
    const QVariantMap favorites = objects[1].toMap();
    EXPECT_TRUE(favorites.value("Added").toBool());
    EXPECT_EQ(favorites.value("Object").value<Server::Ptr>().get(), paris.get());
    EXPECT_EQ(ids(favorites.value("List").value<Servers>()), QStringList{"7"});
    EXPECT_TRUE(paris->favorite);
    EXPECT_TRUE(app().recommendedServer()->favorite);
    EXPECT_TRUE(app().serverToAddInRecent()->favorite);
    EXPECT_TRUE(preferences().recents()[1]->favorite);
    EXPECT_FALSE(preferences().recents()[0]->favorite);

    const auto marked = sink->named("app_mark_favorite");
    ASSERT_EQ(marked.size(), 1);
    EXPECT_EQ(marked[0].properties.value("name"), QVariant(QStringLiteral("Name 7")));
    EXPECT_EQ(marked[0].properties.value("type"), QVariant(QStringLiteral("City")));
    EXPECT_EQ(marked[0].properties.value("via"), QVariant(QStringLiteral("Recent")));
}

TEST_F(QuorDataFetcherTest, AddingAFavouriteTwiceKeepsOneEntry)
{
    fetcher->addFavorite(row("FR"), QuorDataFetcher::FavoriteVia::Location);
    fetcher->addFavorite(row("DE"), QuorDataFetcher::FavoriteVia::Location);
    fetcher->addFavorite(row("FR"), QuorDataFetcher::FavoriteVia::Location);
    EXPECT_EQ(ids(preferences().favorites()), (QStringList{"FR", "DE"}));

    fetcher->removeFavorite(row("FR"));
    EXPECT_EQ(ids(preferences().favorites()), QStringList{"DE"});
}

TEST_F(QuorDataFetcherTest, RemovingAnUnknownFavouriteStillAnnouncesTheUnchangedListAndClearsTheFlag)
{
    preferences().setFavorites({row("DE")});
    record({QuorDataFetcher::favoritesUpdatedNotification, SettingsNotifications::quorRecommendedServerUpdated});
    const Server::Ptr fr = row("FR");
    fr->favorite = true;

    fetcher->removeFavorite(fr);

    EXPECT_FALSE(fr->favorite);
    ASSERT_EQ(posted, QStringList{QuorDataFetcher::favoritesUpdatedNotification});
    EXPECT_FALSE(objects[0].toMap().value("Added").toBool());
    EXPECT_EQ(ids(objects[0].toMap().value("List").value<Servers>()), QStringList{"DE"});
    EXPECT_TRUE(sink->named("app_mark_favorite").isEmpty());
}

TEST_F(QuorDataFetcherTest, LastConnectionFlagFollowsItsOwnLocationOnly)
{
    preferences().setFavorites({row("DE")});
    app().setLastConnection(AppPreferences::LastConnection{QuorSelectedInterface{}, QuorConnectVia::City, QuorSelectedInterfaceScreen{},
                                                         QuorConnectionInitiatedBy{}, row("12", Type::City), std::nullopt, false, false});

    fetcher->addFavorite(row("FR"), QuorDataFetcher::FavoriteVia::Location);
    EXPECT_FALSE(app().lastConnection()->server->favorite);
    fetcher->addFavorite(row("12", Type::City), QuorDataFetcher::FavoriteVia::Location);
    EXPECT_TRUE(app().lastConnection()->server->favorite);
    fetcher->removeFavorite(row("DE"));
    EXPECT_TRUE(app().lastConnection()->server->favorite);
    fetcher->removeFavorite(row("12", Type::City));
    EXPECT_FALSE(app().lastConnection()->server->favorite);
}

TEST_F(QuorDataFetcherTest, ReplacingTakesTheSamePlaceAndAnUnknownIdChangesNothing)
{
    preferences().setFavorites({row("FR"), row("DE"), row("IT")});
    preferences().setRecents({row("DE")});
    record({SettingsNotifications::recentsUpdated, QuorDataFetcher::favoritesUpdatedNotification});

    fetcher->replaceRecent(row("NL"));
    fetcher->replaceFavorite(row("NL"));
    EXPECT_TRUE(posted.isEmpty());

    const Server::Ptr de = row("DE");
    de->latency = 12;
    fetcher->replaceFavorite(de);
    EXPECT_EQ(ids(preferences().favorites()), (QStringList{"FR", "DE", "IT"}));
    EXPECT_EQ(preferences().favorites()[1]->latency, 12);
    EXPECT_EQ(preferences().recents()[0]->latency, 12);
    EXPECT_EQ(posted, (QStringList{SettingsNotifications::recentsUpdated, QuorDataFetcher::favoritesUpdatedNotification}));
}

TEST_F(QuorDataFetcherTest, RecommendedCountryIsTheLocationsCountryOrAnEmptyOne)
{
    std::optional<QuorCountry> got;
    QuorDataFetcher::recommendedCountry(std::nullopt, [&](const QuorCountry& c) { got = c; });
    ASSERT_TRUE(got);
    EXPECT_EQ(*got, QuorCountry{});

    QuorLocation location;
    location.country = country("FR", allWords);
    QuorDataFetcher::recommendedCountry(location, [&](const QuorCountry& c) { got = c; });
    EXPECT_EQ(got->country, QStringLiteral("FR"));

    location.country.reset();
    location.city = city(7, "Paris", "FR");
    QuorDataFetcher::recommendedCountry(location, [&](const QuorCountry& c) { got = c; });
    EXPECT_FALSE(got->country);
}

}


TEST(QuorDataFetcherOverlayTest, ShippedOverlayDecodesAndRanksEveryCountryOfTheInventory)
{
    QTemporaryDir folder;
    UserDefaults::setStandardFolder(folder.path());
    QuorDataFetcher fetcher(PreservedPreferences(), AppPreferences(), nullptr, ErrorSender(std::make_shared<SilentHub>()),
                            EventTracker(std::make_shared<RecordingTracking>(), AppPreferences(), PreservedPreferences()), User());
    ASSERT_EQ(fetcher.localCountriesPath, QuorDataFetcher::countriesResource);
    const auto overlay = fetcher.loadLocalCountries();
    ASSERT_TRUE(overlay);
    for (const QuorCountry& c : QuorInventoryGenerator::defaultInventory()->countries) {
        SCOPED_TRACE(c.country->toStdString());
        ASSERT_TRUE(overlay->contains(*c.country));
        EXPECT_GT(overlay->value(*c.country).priority, 0);
    }
}
