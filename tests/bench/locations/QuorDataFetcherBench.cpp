// Fetching, merging and storing the whole inventory (80 countries, 200 cities, about 1,700 data
// centres) must stay fast: the lists are rebuilt on every visit of the locations screen.

#include "KeychainBackend.h"
#include "MemoryKeychainBackend.h"
#include "QuorDataFetcher.h"
#include "QuorInventoryGenerator.h"
#include "UserDefaults.h"
#include "UserDefaultsCodable.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <thread>

namespace {

class QuietSink final : public EventTracking {
public:
    bool useIPAddressForGeoLocation() const override { return true; }
    void setUseIPAddressForGeoLocation(bool) override {}
    void time(const QString&) override {}
    void track(const QString&, const AnalyticsProperties&) override {}
    void identify(const QString&, bool, std::function<void()>) override {}
    void registerSuperProperties(const AnalyticsProperties&) override {}
    void clearSuperProperties() override {}
    void reset(std::function<void()>) override {}
};

class QuietHub final : public ErrorSending {
public:
    void setUser(const std::optional<ReportUser>&) override {}
    QString captureError(const Error&, const ReportScope&) override { return {}; }
    QString captureMessage(const QString&, const ReportScope&) override { return {}; }
    ReportScope getScope() override { return {}; }
};

// Answers the country request from a thread of its own, as the SDK does.
class InventoryManager final : public QuorManagerProtocol {
public:
    QList<QuorCountry> countries = QuorInventoryGenerator::defaultInventory()->countries;

    void setDoCheckInternetConnectivity(bool) override {}
    void setQuorCredential(const std::optional<QuorCredential>&) override {}
    void connect(const QuorProperties&, ConnectCompletion, ErrorBlock) override {}
    int getCurrentVPNStatus() const override { return 0; }
    void disconnectVPN() override {}
    void cancelVPN() override {}
    void reconnectVPN() override {}
    std::optional<QDateTime> getConnectedTime() const override { return std::nullopt; }
    void getConnectedLocation(LocationBlock, ErrorBlock) override {}
    void getRecommendedLocation(LocationBlock, ErrorBlock) override {}
    void pingDedicatedIPServer(const QuorDedicatedIPServerPing&, PingBlock, ErrorBlock) override {}
    void getCountries(CountriesBlock success, ErrorBlock) override
    {
        std::thread([this, success] { success(countries); }).join();
    }
};

struct Stores {
    QTemporaryDir folder;
    InventoryManager manager;
    std::unique_ptr<QuorDataFetcher> fetcher;

    Stores()
    {
        UserDefaults::setStandardFolder(folder.path());
        KeychainBackend::setCurrent(std::make_shared<MemoryKeychainBackend>());
        User().setVpnUsername(QStringLiteral("vpnuser"));
        fetcher = std::make_unique<QuorDataFetcher>(PreservedPreferences(), AppPreferences(), &manager,
                                                    ErrorSender(std::make_shared<QuietHub>()),
                                                    EventTracker(std::make_shared<QuietSink>(), AppPreferences(), PreservedPreferences()),
                                                    User());
        // A user with a few favourites and recents, and a recommended city.
        QuorDataFetcher::Servers favorites;
        for (const QString& code : {"US", "DE", "JP", "FR", "GB"})
            favorites.append(QuorDataFetcher::Server::make(code, code, QuorDataFetcher::ServerType::Country, code));
        PreservedPreferences().setFavorites(favorites);
        PreservedPreferences().setRecents(favorites.mid(0, 3));
        AppPreferences().setRecommendedServer(QuorDataFetcher::Server::make(QStringLiteral("1"), QStringLiteral("City"),
                                                                            QuorDataFetcher::ServerType::City, QStringLiteral("US")));
    }

    // One fetch to its completion; returns the number of country rows.
    qsizetype fetch(const QList<QuorCountry>& cached)
    {
        qsizetype rows = -1;
        fetcher->fetchCountries(cached, [&](const QuorDataFetcher::Servers& r) { rows = r.size(); });
        QElapsedTimer bound;
        bound.start();
        while (rows < 0 && bound.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        return rows;
    }
};

// The SDK is asked: its answer crosses to the main thread, refreshes the cache, then the rows
// are built, overlaid and stored.
void BM_FetchCountriesFromSdk(benchmark::State& state)
{
    Stores stores;
    for (auto _ : state) {
        const qsizetype rows = stores.fetch({});
        if (rows <= 0)
            state.SkipWithError("no rows");
        benchmark::DoNotOptimize(rows);
    }
}
BENCHMARK(BM_FetchCountriesFromSdk)->Unit(benchmark::kMillisecond);

// The cached SDK list is reused: only building, overlaying and storing the rows.
void BM_FetchCountriesFromCache(benchmark::State& state)
{
    Stores stores;
    const QList<QuorCountry> cached = stores.manager.countries;
    UserDefaultsCodable::setCodableArray(UserDefaults::standard(), std::optional(cached), AppPreferences::countriesKey());
    for (auto _ : state) {
        const qsizetype rows = stores.fetch(cached);
        if (rows <= 0)
            state.SkipWithError("no rows");
        benchmark::DoNotOptimize(rows);
    }
}
BENCHMARK(BM_FetchCountriesFromCache)->Unit(benchmark::kMillisecond);

// Merging one full ping answer for every country into the shown rows.
void BM_MergeOptimizedCountries(benchmark::State& state)
{
    Stores stores;
    QList<QuorCountry> measured = stores.manager.countries;
    for (qsizetype i = 0; i < measured.size(); ++i)
        measured[i].latency = i % 5 == 0 ? 0 : 20 + i;
    const QuorDataFetcher::Servers shown =
        stores.fetcher->servers(measured, PreservedPreferences().favorites(), {}, nullptr);
    for (auto _ : state)
        benchmark::DoNotOptimize(stores.fetcher->mergeOptimizedCountries(measured, shown, nullptr));
}
BENCHMARK(BM_MergeOptimizedCountries)->Unit(benchmark::kMillisecond);

}

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("veltamorine.*=false"));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
