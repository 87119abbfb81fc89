#include "QuorServiceFixture.h"

#include "QuorInventoryGenerator.h"
#include "QuorInventoryRoute.h"
#include "QuorInventoryStore.h"
#include "QuorLatencyProbe.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QSet>

namespace {

TEST(QuorInventoryGeneratorTest, BundledInventoryHasARealisticSizeAndUniqueIdentities)
{
    const std::shared_ptr<const QuorInventory> inventory = QuorInventoryGenerator::defaultInventory();
    EXPECT_EQ(inventory->countries.size(), 80);
    EXPECT_EQ(inventory->cityCount(), 200);
    EXPECT_GE(inventory->dataCenterCount(), 1600);
    EXPECT_LE(inventory->dataCenterCount(), 1800);

    QSet<QString> codes, nas, hosts, ips;
    QSet<qint64> cityIds, centerIds;
    for (const QuorCountry& c : inventory->countries) {
        codes.insert(*c.country);
        EXPECT_FALSE(c.name->isEmpty());
        EXPECT_FALSE(c.protocols->isEmpty());
        int inCities = 0;
        for (const QuorCity& city : *c.cities) {
            cityIds.insert(city.cityId);
            EXPECT_EQ(city.country, c.country);
            for (const QuorDatacenters& dc : *city.data_centers) {
                ++inCities;
                centerIds.insert(dc.dataCenterId);
                nas.insert(*dc.nasIdentifier);
                hosts.insert(*dc.hostname);
                ips.insert(*dc.ip);
                QHostAddress address(*dc.ip);
                EXPECT_TRUE(address.isInSubnet(QHostAddress(QStringLiteral("198.18.0.0")), 15)) << dc.ip->toStdString();
                EXPECT_EQ(dc.latency, 0);
            }
        }
        EXPECT_EQ(c.dataCenters->size(), inCities);
    }
    const int centers = inventory->dataCenterCount();
    EXPECT_EQ(codes.size(), 80);
    EXPECT_EQ(cityIds.size(), 200);
    EXPECT_EQ(centerIds.size(), centers);
    EXPECT_EQ(nas.size(), centers);
    EXPECT_EQ(hosts.size(), centers);
    EXPECT_EQ(ips.size(), centers);
    ASSERT_NE(inventory->recommendedCity(), nullptr);
}

TEST(QuorInventoryGeneratorTest, GenerationIsDeterministicAndSurvivesItsJsonForm)
{
    const QuorInventory a = QuorInventoryGenerator::generate();
    const QuorInventory b = QuorInventoryGenerator::generate();
    EXPECT_EQ(a.toJson(), b.toJson());
    const std::optional<QuorInventory> back = QuorInventory::fromJson(a.toJson());
    ASSERT_TRUE(back);
    EXPECT_EQ(back->countries, a.countries);
    EXPECT_EQ(back->recommendedCityId, a.recommendedCityId);
}

TEST(QuorInventoryGeneratorTest, SomeCountriesLackAProtocol)
{
    int withoutWireGuard = 0;
    for (const QuorCountry& c : QuorInventoryGenerator::defaultInventory()->countries)
        withoutWireGuard += c.supportsProtocolNamed(QStringLiteral("WireGuard")) ? 0 : 1;
    EXPECT_GT(withoutWireGuard, 0);
    EXPECT_LT(withoutWireGuard, 40);
}

TEST(QuorLatencyProbeTest, SameServerSameLatency)
{
    EXPECT_EQ(QuorLatencyProbe::latencyOfDataCenter(101), QuorLatencyProbe::latencyOfDataCenter(101));
    EXPECT_EQ(QuorLatencyProbe::latencyOfHost(QStringLiteral("A.example")), QuorLatencyProbe::latencyOfHost(QStringLiteral("a.example")));
    QSet<qint64> seen;
    for (qint64 id = 100; id < 400; ++id) {
        const qint64 l = QuorLatencyProbe::latencyOfDataCenter(id);
        EXPECT_GE(l, 12);
        EXPECT_LE(l, 291);
        seen.insert(l);
    }
    EXPECT_GT(seen.size(), 100);
}

class QuorInventoryStoreTest : public QuorServiceFixture {
protected:
    int inventoryRequests() const { return server.requests("GET", QuorInventoryRoute::path()).size(); }

    void refresh(QuorInventoryStore& store, bool fresh = false)
    {
        bool done = false;
        if (fresh)
            store.ensureFresh([&] { done = true; });
        else
            store.refresh([&] { done = true; });
        ASSERT_TRUE(waitFor([&] { return done; }, 10000));
    }

    static std::shared_ptr<const QuorInventory> smallInventory()
    {
        QuorInventory inventory;
        QuorCountry c;
        c.country = QStringLiteral("IS");
        c.name = QStringLiteral("Iceland");
        c.cities = QList<QuorCity>{QuorCity{900, QStringLiteral("Reykjavik"), QStringLiteral("IS"), QList<QuorDatacenters>{}, 0}};
        inventory.countries = {c};
        return std::make_shared<const QuorInventory>(inventory);
    }
};

TEST_F(QuorInventoryStoreTest, FetchesFromTheServiceAndKeepsItForItsLifetime)
{
    QuorInventoryRoute::install(server, smallInventory());
    QuorInventoryStore store(environment());
    EXPECT_EQ(store.source(), QuorInventoryStore::Source::Bundled);

    refresh(store, true);
    EXPECT_EQ(store.source(), QuorInventoryStore::Source::Service);
    EXPECT_EQ(store.current()->countries.size(), 1);
    EXPECT_EQ(inventoryRequests(), 1);
    EXPECT_TRUE(server.violations().isEmpty()) << server.violations().join('\n').toStdString();

    scheduler.advance(600);
    refresh(store, true);
    EXPECT_EQ(inventoryRequests(), 1);  // still fresh: no second request
    scheduler.advance(301);
    refresh(store, true);
    EXPECT_EQ(inventoryRequests(), 2);
}

TEST_F(QuorInventoryStoreTest, ConcurrentRequestsShareOneFetch)
{
    QuorInventoryStore store(environment());
    int done = 0;
    store.ensureFresh([&] { ++done; });
    store.ensureFresh([&] { ++done; });
    store.refresh([&] { ++done; });
    ASSERT_TRUE(waitFor([&] { return done == 3; }, 10000));
    EXPECT_EQ(inventoryRequests(), 1);
}

TEST_F(QuorInventoryStoreTest, FallsBackToTheDiskCopyThenTheBundledOne)
{
    QuorInventoryRoute::install(server, smallInventory());
    {
        QuorInventoryStore store(environment());
        refresh(store);
        ASSERT_EQ(store.source(), QuorInventoryStore::Source::Service);
    }
    const QString cacheFile = QDir(cacheDirectory.path()).filePath(QuorInventoryStore::cacheFileName());
    ASSERT_TRUE(QFile::exists(cacheFile));
    EXPECT_EQ(QFile::permissions(cacheFile) & (QFileDevice::ReadOther | QFileDevice::ReadGroup), QFileDevice::Permissions());

    server.stop();
    {
        QuorInventoryStore store(environment());
        refresh(store);
        EXPECT_EQ(store.source(), QuorInventoryStore::Source::DiskCache);
        EXPECT_EQ(store.current()->countries.first().country, QStringLiteral("IS"));
    }
    QFile::remove(cacheFile);
    {
        QuorInventoryStore store(environment());
        refresh(store);
        EXPECT_EQ(store.source(), QuorInventoryStore::Source::Bundled);
        EXPECT_EQ(store.current()->countries.size(), 80);
    }
}

TEST_F(QuorInventoryStoreTest, BadAnswersAreNotAdopted)
{
    const std::pair<int, QByteArray> answers[] = {
        {200, "{not json"},
        {200, R"({"countries":[]})"},
        {200, R"({"countries":[{"country":5}]})"},
        {200, R"({"countries":[{"country":"FR"}],"simulation":{"drop_after_seconds":"soon"}})"},
        {503, R"({"countries":[{"country":"FR"}]})"},
    };
    for (const auto& [status, body] : answers) {
        server.reply("GET", QuorInventoryRoute::path(), SandboxReply::raw(status, body));
        QuorInventoryStore store(environment());
        refresh(store);
        EXPECT_EQ(store.source(), QuorInventoryStore::Source::Bundled) << body.constData();
        EXPECT_EQ(store.current()->countries.size(), 80);
    }
}

TEST_F(QuorInventoryStoreTest, APlainHttpServiceIsNeverAsked)
{
    QuorEnvironment e = environment();
    e.serviceBaseUrl.setScheme(QStringLiteral("http"));
    QuorInventoryStore store(e);
    bool done = false;
    store.refresh([&] { done = true; });
    EXPECT_TRUE(done);  // answered at once: nothing was sent
    EXPECT_EQ(store.source(), QuorInventoryStore::Source::Bundled);
}

TEST(QuorInventoryStoreTlsTest, AnUntrustedCertificateIsRefused)
{
    SandboxServer impostor(SandboxServer::untrustedCertificatePath(), SandboxServer::untrustedKeyPath());
    ASSERT_TRUE(impostor.start());
    QuorInventoryRoute::install(impostor, nullptr);
    QuorEnvironment e;
    e.serviceBaseUrl = impostor.url(QStringLiteral("/"));
    e.caCertificates = QSslCertificate::fromPath(SandboxServer::testCaPath(), QSsl::Pem);
    QuorInventoryStore store(e);
    bool done = false;
    store.refresh([&] { done = true; });
    ASSERT_TRUE(TestSupport::waitUntil([&] { return done; }, 10000));
    EXPECT_EQ(store.source(), QuorInventoryStore::Source::Bundled);
}

TEST_F(QuorInventoryStoreTest, ManagerAnswersCountriesFromTheFetchedInventory)
{
    QuorInventoryRoute::install(server, smallInventory());
    auto manager = makeManager();
    QMutex mutex;
    std::optional<QList<QuorCountry>> countries;
    manager->getCountries([&](const auto& list) { QMutexLocker l(&mutex); countries = list; }, [](const auto&) { ADD_FAILURE(); });
    ASSERT_TRUE(waitFor([&] { QMutexLocker l(&mutex); return countries.has_value(); }));
    ASSERT_EQ(countries->size(), 1);
    EXPECT_EQ(countries->first().name, QStringLiteral("Iceland"));
    EXPECT_EQ(inventoryRequests(), 1);  // the fetch at set-up serves the request

    QuorFaults faults;
    faults.inventoryUnavailable = true;
    manager->setFaults(faults);
    std::optional<Error> error;
    manager->getCountries([](const auto&) { ADD_FAILURE(); }, [&](const auto& e) { QMutexLocker l(&mutex); error = e; });
    ASSERT_TRUE(waitFor([&] { QMutexLocker l(&mutex); return error.has_value(); }));
    EXPECT_EQ(error->code, 5200);
}

}
