#include "QuorServiceFixture.h"

#include "MainQueue.h"
#include "QuorError.h"
#include "QuorInventoryGenerator.h"
#include "QuorInventoryRoute.h"
#include "QuorLatencyProbe.h"
#include "QuorVPNState.h"
#include "TestSupport.h"

#include <QAtomicInt>

namespace {

constexpr int kDisconnected = toRaw(QuorVPNState::Disconnected);
constexpr int kConnecting = toRaw(QuorVPNState::Connecting);
constexpr int kConnected = toRaw(QuorVPNState::Connected);
constexpr int kReasserting = toRaw(QuorVPNState::Reasserting);
constexpr int kDisconnecting = toRaw(QuorVPNState::Disconnecting);
constexpr int kFindingServer = toRaw(QuorVPNState::FindingServer);

// Counts how a connect request was answered, and on which thread.
struct Answers {
    QAtomicInt completions;
    QAtomicInt errors;
    QAtomicInt onMain;
    QMutex mutex;
    std::optional<Error> error;

    QuorManagerProtocol::ConnectCompletion completion()
    {
        return [this](const std::optional<QString>&) {
            completions.fetchAndAddOrdered(1);
            if (MainQueue::isMainThread())
                onMain.fetchAndAddOrdered(1);
        };
    }
    QuorManagerProtocol::ErrorBlock errorBlock()
    {
        return [this](const std::optional<Error>& e) {
            QMutexLocker lock(&mutex);
            error = e;
            errors.fetchAndAddOrdered(1);
            if (MainQueue::isMainThread())
                onMain.fetchAndAddOrdered(1);
        };
    }
    int total() const { return completions.loadAcquire() + errors.loadAcquire(); }
    int errorCode()
    {
        QMutexLocker lock(&mutex);
        return error ? error->code : 0;
    }
};

QuorProperties countryProperties(const QString& code, const QString& word = QStringLiteral("IKEV"))
{
    QuorCountry country;
    country.country = code;
    return QuorProperties::initWithCountry(country, QuorProtocol(word));
}

QuorProperties cityProperties(qint64 cityId, const QString& word = QStringLiteral("IKEV"))
{
    QuorCity city;
    city.cityId = cityId;
    return QuorProperties::initWithCity(city, QuorProtocol(word));
}

class QuorManagerTest : public QuorServiceFixture {
protected:
    // Connects and runs the clock until the tunnel is up.
    void connectUp(QuorManager& manager, const QuorProperties& properties, Answers& answers)
    {
        manager.connect(properties, answers.completion(), answers.errorBlock());
        advance(2.0);
        ASSERT_TRUE(waitFor([&] { return recorder->count(QStringLiteral("connect")) >= 1; }));
        ASSERT_EQ(manager.getCurrentVPNStatus(), kConnected);
    }
};

TEST_F(QuorManagerTest, ConnectRunsTheStatesAndReportsFromTheWorkerThread)
{
    auto manager = makeManager();
    Answers answers;
    const QDateTime requested = scheduler.now();
    manager->connect(countryProperties(QStringLiteral("DE")), answers.completion(), answers.errorBlock());

    ASSERT_TRUE(waitFor([&] { return answers.total() == 1; }));
    EXPECT_EQ(answers.completions.loadAcquire(), 1);
    EXPECT_EQ(manager->getCurrentVPNStatus(), kFindingServer);
    advance(0.5);
    EXPECT_EQ(manager->getCurrentVPNStatus(), kConnecting);
    advance(1.0);
    ASSERT_TRUE(waitFor([&] { return recorder->count(QStringLiteral("connect")) == 1; }));
    EXPECT_EQ(manager->getCurrentVPNStatus(), kConnected);
    EXPECT_EQ(manager->getConnectedTime(), requested.addMSecs(1500));
    advance(0.3);
    ASSERT_TRUE(waitFor([&] { return recorder->count(QStringLiteral("location")) == 1; }));

    EXPECT_EQ(recorder->states(), (QList<int>{kFindingServer, kConnecting, kConnected}));
    EXPECT_EQ(recorder->names(), (QStringList{"initialized", "connecting", "connect", "location"}));
    EXPECT_FALSE(recorder->anyOnMainThread());
    EXPECT_EQ(answers.onMain.loadAcquire(), 0);

    const QuorConnectionDetails details = *recorder->last(QStringLiteral("connect"))->details;
    EXPECT_EQ(details.country, QStringLiteral("Germany"));
    EXPECT_EQ(details.city->country, QStringLiteral("DE"));
    EXPECT_EQ(details.protocol->protocol, QStringLiteral("IKEV"));
    EXPECT_TRUE(details.nasIdentifier->startsWith(QStringLiteral("nas-de-")));
    EXPECT_EQ(details.connectionAttempts, 1);
    EXPECT_DOUBLE_EQ(details.timeTakenToFindFastestServer, 0.5);
    EXPECT_DOUBLE_EQ(details.timeTakenToConnectServer, 1.5);
    EXPECT_EQ(details.connectionMethod, QStringLiteral("Country"));
    EXPECT_TRUE(details.fastestServerFindingApiResponse->value("body").toMap().value("servers").toList().size() == 3);

    // The connected location is where the chosen server stands.
    const QuorLocation location = *recorder->last(QStringLiteral("location"))->location;
    EXPECT_EQ(location.ip, details.serverIp);
    EXPECT_EQ(location.country->country, QStringLiteral("DE"));
    EXPECT_EQ(location.server->nasIdentifier, details.nasIdentifier);

    // The fastest German server was chosen.
    qint64 best = std::numeric_limits<qint64>::max();
    for (const auto& site : manager->inventory()->sitesOfCountry(QStringLiteral("DE")))
        best = std::min(best, QuorLatencyProbe::latencyOfDataCenter(site.dataCenter.dataCenterId));
    EXPECT_EQ(details.fastestServerFindingApiResponse->value("body").toMap().value("servers").toList().first().toMap().value("latency").toLongLong(), best);
}

TEST_F(QuorManagerTest, PacketCountersTickWhileConnected)
{
    auto manager = makeManager();
    Answers answers;
    connectUp(*manager, countryProperties(QStringLiteral("FR")), answers);
    advance(3.0);
    ASSERT_TRUE(waitFor([&] { return recorder->packets().size() >= 3; }));
    const auto packets = recorder->packets();
    for (int i = 1; i < packets.size(); ++i) {
        EXPECT_GT(packets[i].first, packets[i - 1].first);
        EXPECT_GT(packets[i].second, packets[i - 1].second);
    }
    manager->disconnectVPN();
    advance(0.5);
    ASSERT_TRUE(waitFor([&] { return recorder->count(QStringLiteral("disconnect")) == 1; }));
    const int ticks = recorder->packets().size();
    advance(3.0);
    EXPECT_EQ(recorder->packets().size(), ticks);
}

TEST_F(QuorManagerTest, CancelWhileConnectingEndsTheAttempt)
{
    auto manager = makeManager();
    Answers answers;
    manager->connect(countryProperties(QStringLiteral("NL")), answers.completion(), answers.errorBlock());
    advance(0.6);
    EXPECT_EQ(manager->getCurrentVPNStatus(), kConnecting);
    manager->cancelVPN();
    EXPECT_EQ(manager->getCurrentVPNStatus(), kDisconnecting);
    advance(0.2);
    ASSERT_TRUE(waitFor([&] { return recorder->count(QStringLiteral("disconnect")) == 1; }));
    advance(5.0);
    settle();

    const QuorConnectionDetails details = *recorder->last(QStringLiteral("disconnect"))->details;
    EXPECT_TRUE(details.isCancelled);
    EXPECT_EQ(details.disconnectionType, 1);
    EXPECT_EQ(recorder->count(QStringLiteral("connect")), 0);
    EXPECT_EQ(recorder->states(), (QList<int>{kFindingServer, kConnecting, kDisconnecting, kDisconnected}));
    EXPECT_EQ(manager->getCurrentVPNStatus(), kDisconnected);
    EXPECT_EQ(answers.total(), 1);
}

TEST_F(QuorManagerTest, DropWhileConnectedRedialsAndComesBack)
{
    auto manager = makeManager();
    QuorFaults faults;
    faults.dropAfterSeconds = 5;
    manager->setFaults(faults);
    Answers answers;
    connectUp(*manager, countryProperties(QStringLiteral("SE")), answers);

    advance(5.0);
    ASSERT_TRUE(waitFor([&] { return recorder->count(QStringLiteral("redialing")) == 1; }));
    EXPECT_EQ(manager->getCurrentVPNStatus(), kReasserting);
    EXPECT_EQ(recorder->last(QStringLiteral("redialing"))->error->code, QuorError::ConnectionLost);
    advance(2.0);
    ASSERT_TRUE(waitFor([&] { return recorder->count(QStringLiteral("connect")) == 2; }));
    EXPECT_EQ(manager->getCurrentVPNStatus(), kConnected);
    EXPECT_EQ(recorder->last(QStringLiteral("connect"))->details->connectionAttempts, 2);
    // It drops once, not again and again.
    advance(10.0);
    EXPECT_EQ(recorder->count(QStringLiteral("redialing")), 1);
    EXPECT_EQ(answers.total(), 1);
}

TEST_F(QuorManagerTest, DisconnectWhileRedialingIsAManualDisconnect)
{
    auto manager = makeManager();
    QuorFaults faults;
    faults.dropAfterSeconds = 2;
    manager->setFaults(faults);
    Answers answers;
    connectUp(*manager, countryProperties(QStringLiteral("NO")), answers);
    advance(2.0);
    ASSERT_TRUE(waitFor([&] { return recorder->count(QStringLiteral("redialing")) == 1; }));
    manager->disconnectVPN();
    advance(3.0);
    ASSERT_TRUE(waitFor([&] { return recorder->count(QStringLiteral("disconnect")) == 1; }));
    const QuorConnectionDetails details = *recorder->last(QStringLiteral("disconnect"))->details;
    EXPECT_TRUE(details.isDisconnectedManually);
    EXPECT_FALSE(details.isCancelled);
    EXPECT_EQ(recorder->count(QStringLiteral("connect")), 1);
    EXPECT_EQ(manager->getCurrentVPNStatus(), kDisconnected);
}

TEST_F(QuorManagerTest, DropForGoodDisconnectsAndReconnectStartsAgain)
{
    auto manager = makeManager();
    QuorFaults faults;
    faults.disconnectAfterSeconds = 4;
    manager->setFaults(faults);
    Answers answers;
    connectUp(*manager, cityProperties(1), answers);
    advance(4.0);
    ASSERT_TRUE(waitFor([&] { return recorder->count(QStringLiteral("disconnect")) == 1; }));
    const QuorConnectionDetails details = *recorder->last(QStringLiteral("disconnect"))->details;
    EXPECT_EQ(details.disconnectionType, 0);
    EXPECT_FALSE(details.isDisconnectedManually);
    EXPECT_FALSE(details.isCancelled);

    manager->setFaults({});
    manager->reconnectVPN();
    advance(1.5);
    ASSERT_TRUE(waitFor([&] { return recorder->count(QStringLiteral("connect")) == 2; }));
    EXPECT_EQ(recorder->last(QStringLiteral("connect"))->details->city->cityId, 1);
    EXPECT_EQ(answers.total(), 1);
}

struct AnswerCase {
    const char* name;
    std::function<void(QuorManager&, QuorProperties&)> arrange;
    bool completes;
    int errorCode;           // of the error block
    const char* delegateEnd; // last delegate event of the attempt
    int delegateErrorCode;
};

class QuorConnectAnswerTest : public QuorManagerTest, public ::testing::WithParamInterface<AnswerCase> {};

TEST_P(QuorConnectAnswerTest, EachConnectIsAnsweredExactlyOnce)
{
    const AnswerCase& c = GetParam();
    auto manager = makeManager();
    QuorProperties properties = countryProperties(QStringLiteral("IT"));
    c.arrange(*manager, properties);
    Answers answers;
    manager->connect(properties, answers.completion(), answers.errorBlock());
    advance(12.0);
    ASSERT_TRUE(waitFor([&] { return answers.total() >= 1; }));
    if (*c.delegateEnd) {
        ASSERT_TRUE(waitFor([&] { return recorder->count(QString::fromLatin1(c.delegateEnd)) >= 1; }));
    }
    settle();

    EXPECT_EQ(answers.total(), 1);
    EXPECT_EQ(answers.completions.loadAcquire(), c.completes ? 1 : 0);
    EXPECT_EQ(answers.errorCode(), c.errorCode);
    EXPECT_EQ(answers.onMain.loadAcquire(), 0);
    if (c.delegateErrorCode) {
        const auto end = recorder->last(QString::fromLatin1(c.delegateEnd));
        ASSERT_TRUE(end && end->error);
        EXPECT_EQ(end->error->code, c.delegateErrorCode);
    }
    if (!c.completes) {
        EXPECT_EQ(recorder->count(QStringLiteral("connecting")), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, QuorConnectAnswerTest, ::testing::Values(
    AnswerCase{"Connects", [](QuorManager&, QuorProperties&) {}, true, 0, "connect", 0},
    AnswerCase{"NoCredential", [](QuorManager& m, QuorProperties&) { m.setQuorCredential(std::nullopt); },
               false, QuorError::MissingCredentials, "", 0},
    AnswerCase{"EmptyPassword", [](QuorManager& m, QuorProperties&) { m.setQuorCredential(QuorCredential("vpnuser", "")); },
               false, QuorError::MissingCredentials, "", 0},
    AnswerCase{"Injected5043", [](QuorManager& m, QuorProperties&) { QuorFaults f; f.connectErrorCode = 5043; m.setFaults(f); },
               false, 5043, "", 0},
    AnswerCase{"Injected5104", [](QuorManager& m, QuorProperties&) { QuorFaults f; f.connectErrorCode = 5104; m.setFaults(f); },
               false, 5104, "", 0},
    AnswerCase{"UnknownCountry", [](QuorManager&, QuorProperties& p) { p.country->country = QStringLiteral("XX"); },
               false, QuorError::LocationNotFound, "", 0},
    AnswerCase{"ExcludedProtocolWithoutSwitch", [](QuorManager& m, QuorProperties& p) {
                   m.setExcludeProtocols({QuorProtocol("TCP")});
                   p.protocol = QuorProtocol("TCP");
               }, false, QuorError::ProtocolNotAvailable, "", 0},
    AnswerCase{"ExcludedProtocolWithSwitch", [](QuorManager& m, QuorProperties& p) {
                   m.setExcludeProtocols({QuorProtocol("TCP")});
                   p.protocol = QuorProtocol("TCP");
                   p.enableProtocolSwitch = true;
               }, true, 0, "connect", 0},
    AnswerCase{"BadCredentials", [](QuorManager& m, QuorProperties&) { QuorFaults f; f.rejectCredentials = true; m.setFaults(f); },
               true, 0, "dialError", QuorError::AuthenticationFailed},
    AnswerCase{"ServerUnreachable", [](QuorManager& m, QuorProperties&) { QuorFaults f; f.allServersUnreachable = true; m.setFaults(f); },
               true, 0, "dialError", QuorError::ServerUnreachable}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(QuorManagerTest, ExcludedProtocolIsNeverDialled)
{
    auto manager = makeManager();
    manager->setExcludeProtocols({QuorProtocol("TCP")});
    QuorProperties properties = countryProperties(QStringLiteral("ES"), QStringLiteral("TCP"));
    properties.enableProtocolSwitch = true;
    Answers answers;
    connectUp(*manager, properties, answers);
    const QString dialled = *recorder->last(QStringLiteral("connect"))->details->protocol->protocol;
    EXPECT_NE(dialled, QStringLiteral("TCP"));
    EXPECT_TRUE(QuorProtocol::isKnownWord(dialled));
}

TEST_F(QuorManagerTest, SecondConnectWhileConnectingIsRefusedAndTheFirstGoesOn)
{
    auto manager = makeManager();
    Answers first, second;
    manager->connect(countryProperties(QStringLiteral("PL")), first.completion(), first.errorBlock());
    advance(0.3);
    manager->connect(countryProperties(QStringLiteral("CZ")), second.completion(), second.errorBlock());
    advance(2.0);
    ASSERT_TRUE(waitFor([&] { return first.total() == 1 && second.total() == 1 && recorder->count("connect") == 1; }));
    EXPECT_EQ(first.completions.loadAcquire(), 1);
    EXPECT_EQ(second.errorCode(), QuorError::ConnectionInProgress);
    EXPECT_EQ(recorder->last(QStringLiteral("connect"))->details->city->country, QStringLiteral("PL"));
}

TEST_F(QuorManagerTest, ConnectWhileConnectedReplacesTheConnectionOrRefusesTheSameOne)
{
    auto manager = makeManager();
    Answers first;
    connectUp(*manager, cityProperties(20), first);

    Answers same;
    manager->connect(cityProperties(20), same.completion(), same.errorBlock());
    ASSERT_TRUE(waitFor([&] { return same.total() == 1; }));
    EXPECT_EQ(same.errorCode(), QuorError::AlreadyConnected);
    EXPECT_EQ(manager->getCurrentVPNStatus(), kConnected);

    Answers other;
    manager->connect(cityProperties(21), other.completion(), other.errorBlock());
    advance(1.5);
    ASSERT_TRUE(waitFor([&] { return recorder->count(QStringLiteral("connect")) == 2; }));
    const auto replaced = recorder->last(QStringLiteral("disconnect"));
    ASSERT_TRUE(replaced);
    EXPECT_EQ(replaced->details->disconnectionType, 2);
    EXPECT_EQ(replaced->details->city->cityId, 20);
    EXPECT_EQ(recorder->last(QStringLiteral("connect"))->details->city->cityId, 21);
    EXPECT_EQ(other.completions.loadAcquire(), 1);
}

TEST_F(QuorManagerTest, ManualDisconnectIsReportedAsTypeOne)
{
    auto manager = makeManager();
    Answers answers;
    connectUp(*manager, countryProperties(QStringLiteral("JP")), answers);
    manager->disconnectVPN();
    advance(0.5);
    ASSERT_TRUE(waitFor([&] { return recorder->count(QStringLiteral("disconnect")) == 1; }));
    const QuorConnectionDetails details = *recorder->last(QStringLiteral("disconnect"))->details;
    EXPECT_TRUE(details.isDisconnectedManually);
    EXPECT_FALSE(details.isCancelled);
    EXPECT_EQ(details.disconnectionType, 1);
    EXPECT_EQ(manager->getConnectedTime(), std::nullopt);
    EXPECT_EQ(manager->quorConnectionDetails()->sessionId, details.sessionId);
}

TEST_F(QuorManagerTest, UnreachableServerIsRedialledOnTheNextOne)
{
    auto manager = makeManager();
    Answers probe;
    connectUp(*manager, cityProperties(5), probe);
    const QString fastest = *recorder->last(QStringLiteral("connect"))->details->nasIdentifier;
    manager->disconnectVPN();
    advance(0.5);
    ASSERT_TRUE(waitFor([&] { return recorder->count(QStringLiteral("disconnect")) == 1; }));

    QuorFaults faults;
    faults.unreachableServers = {fastest};
    manager->setFaults(faults);
    Answers answers;
    manager->connect(cityProperties(5), answers.completion(), answers.errorBlock());
    advance(6.0);
    ASSERT_TRUE(waitFor([&] { return recorder->count(QStringLiteral("connect")) == 2; }));
    const QuorConnectionDetails details = *recorder->last(QStringLiteral("connect"))->details;
    EXPECT_NE(details.nasIdentifier, fastest);
    EXPECT_EQ(recorder->count(QStringLiteral("redialing")), 0);  // the probe already skipped it
}

TEST_F(QuorManagerTest, DedicatedHostsAreDialledInOrderUntilOneAnswers)
{
    auto manager = makeManager();
    QuorFaults faults;
    faults.unreachableServers = {QStringLiteral("dip-a.example.test")};
    manager->setFaults(faults);
    const QuorProperties properties = QuorProperties::initWithMultipleDedicatedHost(
        {QuorMultipleDNS(QStringLiteral("dip-a.example.test"), QuorProtocol("UDP")),
         QuorMultipleDNS(QStringLiteral("203.0.113.7"), QuorProtocol("IKEV"))},
        QuorProtocol("UDP"));
    Answers answers;
    manager->connect(properties, answers.completion(), answers.errorBlock());
    advance(6.0);
    ASSERT_TRUE(waitFor([&] { return recorder->count(QStringLiteral("connect")) == 1; }));
    EXPECT_EQ(recorder->count(QStringLiteral("redialing")), 1);
    const QuorConnectionDetails details = *recorder->last(QStringLiteral("connect"))->details;
    EXPECT_EQ(details.serverIp, QStringLiteral("203.0.113.7"));
    EXPECT_EQ(details.protocol->protocol, QStringLiteral("IKEV"));
    EXPECT_EQ(details.connectionMethod, QStringLiteral("DedicatedIP"));
}

TEST_F(QuorManagerTest, ServerFiltersSteerTheChoice)
{
    auto manager = makeManager();
    const auto sites = manager->inventory()->sitesOfCountry(QStringLiteral("US"));
    const QString wanted = *sites.last().dataCenter.nasIdentifier;
    QuorProperties include = countryProperties(QStringLiteral("US"));
    include.serverFilters = {ServerFilter(wanted, ServerFilter::Include)};
    Answers answers;
    connectUp(*manager, include, answers);
    auto details = *recorder->last(QStringLiteral("connect"))->details;
    EXPECT_EQ(details.nasIdentifier, wanted);
    EXPECT_TRUE(details.isFiltered);

    manager->disconnectVPN();
    advance(0.5);
    QuorProperties exclude = countryProperties(QStringLiteral("US"));
    exclude.serverFilters = {ServerFilter(wanted, ServerFilter::Exclude)};
    Answers again;
    manager->connect(exclude, again.completion(), again.errorBlock());
    advance(1.5);
    ASSERT_TRUE(waitFor([&] { return recorder->count(QStringLiteral("connect")) == 2; }));
    EXPECT_NE(recorder->last(QStringLiteral("connect"))->details->nasIdentifier, wanted);
}

TEST_F(QuorManagerTest, UnableToBrowseIsReportedOnlyWhenTheConnectivityCheckIsOn)
{
    for (const bool check : {true, false}) {
        recorder = std::make_shared<DelegateRecorder>();
        auto manager = makeManager();
        QuorFaults faults;
        faults.unableToBrowseAfterSeconds = 3;
        manager->setFaults(faults);
        manager->setDoCheckInternetConnectivity(check);
        Answers answers;
        connectUp(*manager, countryProperties(QStringLiteral("CA")), answers);
        advance(3.0);
        if (check) {
            ASSERT_TRUE(waitFor([&] { return recorder->count(QStringLiteral("unableToBrowse")) == 1; }));
        }
        settle();
        EXPECT_EQ(recorder->count(QStringLiteral("unableToBrowse")), check ? 1 : 0) << check;
        EXPECT_EQ(manager->getCurrentVPNStatus(), kConnected);
    }
}

TEST_F(QuorManagerTest, FailuresNamedByTheServiceDataApply)
{
    QuorInventory inventory = *QuorInventoryGenerator::defaultInventory();
    inventory.simulation.rejectedUsernames = {QStringLiteral("blocked")};
    QuorInventoryRoute::install(server, std::make_shared<const QuorInventory>(inventory));

    auto manager = makeManager(QStringLiteral("blocked"));
    Answers answers;
    manager->connect(countryProperties(QStringLiteral("GB")), answers.completion(), answers.errorBlock());
    advance(2.0);
    ASSERT_TRUE(waitFor([&] { return recorder->count(QStringLiteral("dialError")) == 1; }));
    EXPECT_EQ(recorder->last(QStringLiteral("dialError"))->error->code, QuorError::AuthenticationFailed);
    EXPECT_EQ(manager->getCurrentVPNStatus(), kDisconnected);
}

TEST_F(QuorManagerTest, QueriesAnswerOnTheWorkerThread)
{
    auto manager = makeManager();
    QMutex mutex;
    std::optional<Error> notConnected;
    std::optional<QuorLocation> recommended;
    std::optional<QuorDedicatedIPServerPingResult> ping;
    std::optional<QList<QuorCountry>> optimized;
    QAtomicInt onMain;
    const auto mark = [&] { if (MainQueue::isMainThread()) onMain.fetchAndAddOrdered(1); };

    manager->getConnectedLocation([](const auto&) { ADD_FAILURE() << "not connected"; },
                                  [&](const std::optional<Error>& e) { QMutexLocker l(&mutex); notConnected = e; mark(); });
    manager->getRecommendedLocation([&](const std::optional<QuorLocation>& l) { QMutexLocker g(&mutex); recommended = l; mark(); },
                                    [](const auto&) { ADD_FAILURE(); });
    manager->pingDedicatedIPServer(QuorDedicatedIPServerPing(QStringLiteral("dip.example.test")),
                                   [&](const auto& r) { QMutexLocker l(&mutex); ping = r; mark(); }, [](const auto&) { ADD_FAILURE(); });
    QuorCountry fr;
    fr.country = QStringLiteral("FR");
    manager->getOptimizedCountries({fr}, [&](const auto& list, const auto&) { QMutexLocker l(&mutex); optimized = list; mark(); });
    advance(1.0);
    ASSERT_TRUE(waitFor([&] { QMutexLocker l(&mutex); return notConnected && recommended && ping && optimized; }));

    EXPECT_EQ(notConnected->code, QuorError::NotConnected);
    const QuorCity* city = manager->inventory()->recommendedCity();
    EXPECT_EQ(recommended->city->cityId, city->cityId);
    EXPECT_EQ(recommended->city->name, city->name);
    EXPECT_EQ(recommended->country->country, city->country);
    EXPECT_EQ(ping->latency, QuorLatencyProbe::latencyOfHost(QStringLiteral("dip.example.test")));
    ASSERT_EQ(optimized->size(), 1);
    EXPECT_GT(optimized->first().latency, 0);
    EXPECT_EQ(optimized->first().dataCenters->size(), manager->inventory()->sitesOfCountry(QStringLiteral("FR")).size());
    EXPECT_EQ(onMain.loadAcquire(), 0);
}

TEST_F(QuorManagerTest, UnreachableDataCentresMeasureNothing)
{
    auto manager = makeManager();
    QuorCity city = *manager->inventory()->cityById(3);
    QuorFaults faults;
    for (const QuorDatacenters& dc : *city.data_centers)
        faults.unreachableServers.append(*dc.nasIdentifier);
    manager->setFaults(faults);
    QMutex mutex;
    std::optional<QList<QuorCity>> measured;
    manager->getOptimizedCities({city}, [&](const auto& list, const auto&) { QMutexLocker l(&mutex); measured = list; });
    advance(1.0);
    ASSERT_TRUE(waitFor([&] { QMutexLocker l(&mutex); return measured.has_value(); }));
    EXPECT_EQ(measured->first().latency, 0);
    for (const QuorDatacenters& dc : *measured->first().data_centers)
        EXPECT_EQ(dc.latency, 0);
}

TEST_F(QuorManagerTest, OnlyTheNewestDelegateHearsAndAGoneOneIsSkipped)
{
    auto manager = makeManager();
    auto newer = std::make_shared<DelegateRecorder>();
    manager->setDelegate(newer);
    Answers answers;
    manager->connect(countryProperties(QStringLiteral("AT")), answers.completion(), answers.errorBlock());
    advance(2.0);
    ASSERT_TRUE(waitFor([&] { return newer->count(QStringLiteral("connect")) == 1; }));
    EXPECT_EQ(recorder->count(QStringLiteral("connect")), 0);

    newer.reset();
    manager->disconnectVPN();
    advance(0.5);
    settle();
    EXPECT_EQ(manager->getCurrentVPNStatus(), kDisconnected);
    EXPECT_EQ(manager->delegate(), nullptr);
}

// A receiver that asks the manager for its state from every callback.
class StatusAskingDelegate : public QuorManagerDelegate {
public:
    explicit StatusAskingDelegate(QuorManager* manager) : manager(manager) {}
    void quorManagerDidConnecting(const std::optional<QuorConnectionDetails>&) override { seen.append(manager->getCurrentVPNStatus()); }
    void quorManagerDidDisconnect(const std::optional<QuorConnectionDetails>&) override { seen.append(manager->getCurrentVPNStatus()); }
    QuorManager* manager;
    QList<int> seen;
};

TEST_F(QuorManagerTest, TeardownWithCallbacksStillQueuedIsSafe)
{
    for (int round = 0; round < 20; ++round) {
        auto manager = std::make_unique<QuorManager>(configuration(), environment());
        auto asking = std::make_shared<StatusAskingDelegate>(manager.get());
        manager->setDelegate(asking);
        manager->setQuorCredential(QuorCredential(QStringLiteral("vpnuser"), QStringLiteral("p4ss")));
        manager->connect(countryProperties(QStringLiteral("BE")), {}, {});
        manager->cancelVPN();
        scheduler.advance(0.2);
        manager.reset();  // the worker may still hold both callbacks
        EXPECT_LE(asking->seen.size(), 2);
    }
}

TEST(QuorSharedManagerTest, SharedInstanceIsConfiguredOnceAndReconfigured)
{
    QuorConfiguration bad;
    bad.setSecretKey(QStringLiteral("NOT-A-KEY"));
    EXPECT_EQ(QuorManager::sharedInstanceWithQuorConfiguration(bad), nullptr);
    EXPECT_EQ(QuorManager::sharedInstance(), nullptr);

    QuorEnvironment offline;  // no service: the bundled inventory
    QuorEnvironment::setCurrent(offline);
    QuorConfiguration first;
    first.setSecretKey(QStringLiteral("0123456789abcdef0123456789abcdef01234567"));
    first.setAppGroupIdentifier(QStringLiteral("group.one"));
    QuorManager* manager = QuorManager::sharedInstanceWithQuorConfiguration(first);
    ASSERT_NE(manager, nullptr);
    auto recorder = std::make_shared<DelegateRecorder>();
    manager->setDelegate(recorder);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return recorder->count(QStringLiteral("initialized")) == 1; }));

    QuorConfiguration second = first;
    second.setAppGroupIdentifier(QStringLiteral("group.two"));
    EXPECT_EQ(QuorManager::sharedInstanceWithQuorConfiguration(second), manager);
    EXPECT_EQ(QuorManager::sharedInstance(), manager);
    EXPECT_EQ(manager->configuration().appGroupIdentifier(), QStringLiteral("group.two"));
    ASSERT_TRUE(TestSupport::waitUntil([&] { return recorder->count(QStringLiteral("initialized")) == 2; }));
    EXPECT_GE(manager->inventory()->countries.size(), 80);

    QuorManager::resetSharedInstance();
    EXPECT_EQ(QuorManager::sharedInstance(), nullptr);
    QuorEnvironment::setCurrent(QuorEnvironment::fromProcessEnvironment());
}

}
