#include "VpnEngineFixture.h"

#include "Localizer.h"

#include <QApplication>
#include <QMessageBox>
#include "MainQueue.h"
#include "TestSupport.h"
#include "NotificationCenter.h"
#include "PersonalizeServerModel.h"
#include "QuorSmartConnectTag.h"
#include "QuorVPNState.h"
#include "UserDefaultsCodable.h"

#include <QLocale>
#include <thread>

namespace {

using Type = QuorDataFetcherServer::Type;

// Forwards to a scripted manager and notes what the stores held when the SDK was asked to connect.
class SnapshotManager final : public QuorManagerProtocol {
public:
    FakeQuorManager fake;
    std::optional<QString> idAtConnect;
    std::optional<QString> lastNameAtConnect;

    void setDoCheckInternetConnectivity(bool check) override { fake.setDoCheckInternetConnectivity(check); }
    void setQuorCredential(const std::optional<QuorCredential>& c) override { fake.setQuorCredential(c); }
    void connect(const QuorProperties& properties, ConnectCompletion completion, ErrorBlock errorBlock) override
    {
        AppPreferences stores;
        idAtConnect = stores.onGoingConnectionId();
        const auto last = stores.lastConnection();
        lastNameAtConnect = last ? std::optional<QString>(last->server->name) : std::nullopt;
        fake.connect(properties, std::move(completion), std::move(errorBlock));
    }
    int getCurrentVPNStatus() const override { return fake.getCurrentVPNStatus(); }
    void disconnectVPN() override { fake.disconnectVPN(); }
    void cancelVPN() override { fake.cancelVPN(); }
    void reconnectVPN() override { fake.reconnectVPN(); }
    std::optional<QDateTime> getConnectedTime() const override { return fake.getConnectedTime(); }
    void getConnectedLocation(LocationBlock s, ErrorBlock e) override { fake.getConnectedLocation(std::move(s), std::move(e)); }
    void getRecommendedLocation(LocationBlock s, ErrorBlock e) override { fake.getRecommendedLocation(std::move(s), std::move(e)); }
    void pingDedicatedIPServer(const QuorDedicatedIPServerPing& p, PingBlock s, ErrorBlock e) override
    {
        fake.pingDedicatedIPServer(p, std::move(s), std::move(e));
    }
    void getCountries(CountriesBlock s, ErrorBlock e) override { fake.getCountries(std::move(s), std::move(e)); }
};

// Every answer a request gave its completion.
struct Answers {
    QList<std::optional<Error>> received;
    Quor::Completion completion()
    {
        return [this](const std::optional<Error>& e) { received.append(e); };
    }
};

class QuorConnectTest : public VpnEngineFixture {
protected:
    void SetUp() override
    {
        VpnEngineFixture::SetUp();
        quor = makeQuor(&manager);
        preserved().setSelectedProtocol(VPNProtocol::IKEv2);
    }
    QuorCountry country(const QString& code, const QString& name, QList<QuorCity> cities = {})
    {
        QuorCountry c;
        c.country = code;
        c.name = name;
        c.iso_code = code;
        if (!cities.isEmpty())
            c.cities = cities;
        return c;
    }
    static QuorCity city(qint64 id, const QString& name)
    {
        QuorCity c;
        c.cityId = id;
        c.name = name;
        return c;
    }
    void cacheCountries(const QList<QuorCountry>& countries)
    {
        UserDefaultsCodable::setCodableArray(UserDefaults::standard(), std::optional(countries), AppPreferences::countriesKey());
    }
    QuorProperties connectTo(const QuorDataFetcherServer::Ptr& server, Answers& answers)
    {
        quor->connect(server, Quor::ConnectVia::Country, Quor::SelectedInterfaceScreen::Location,
                      Quor::ConnectionInitiatedBy::User, Quor::SelectedInterface::List, false, true, answers.completion());
        return manager.fake.connects.isEmpty() ? QuorProperties{} : manager.fake.connects.last().properties;
    }

    SnapshotManager manager;
    std::shared_ptr<Quor> quor;
};

TEST_F(QuorConnectTest, PreConnectChecksRefuseInOrderAndStoreNothing)
{
    struct Case {
        const char* name;
        int status;
        bool refuseWhenBusy;
        std::optional<QString> storedName;  // name of the stored last connection; none: nothing stored
        QuorDataFetcherServer::Ptr target;
        std::optional<QString> storedIp;
        ScriptedReachability::Status network;
        bool disabled;
        bool passwordChanged;
        QString domain;
        int code;
        QString text;
        bool checkSwitchedOn;
    };
    const QString noInternet = Localizer::localized(QStringLiteral("no.internet"));
    const auto reachable = ScriptedReachability::Status::ReachableEthernetOrWiFi;
    const auto france = row("FR", "France", Type::Country, "FR");
    const auto dedicated = row("DIP", "Dedicated", Type::DedicatedIp, "DE");
    dedicated->ip = QStringLiteral("198.51.100.7");
    const QList<Case> cases{
        {"connected, same name", 3, true, "France", france, {}, reachable, false, false, "Connection", -1002,
         "Same server, please disconnect first", false},
        {"connected, nothing stored and a named target", 3, true, {}, france, {}, reachable, false, false,
         "Connection", -1001, "Please disconnect first.", false},
        {"connected, other name", 3, true, "Germany", france, {}, reachable, false, false, "Connection", -1001,
         "Please disconnect first.", false},
        {"connecting, dedicated, nothing stored", 2, true, {}, dedicated, {}, reachable, false, false, "Connection",
         -1001, "Please disconnect first.", false},
        {"connected, dedicated, same address", 3, true, "Anything", dedicated, "198.51.100.7", reachable, false, false,
         "Connection", -1002, "Same server, please disconnect first", false},
        {"no network", 1, true, {}, france, {}, ScriptedReachability::Status::NotReachable, false, false, "Network",
         -1000, noInternet, true},
        {"disabled and password changed: the status first", 1, true, {}, france, {}, reachable, true, true,
         "UserStatus", 533, "Account Disabled", true},
        {"password changed", 1, true, {}, france, {}, reachable, false, true, "UserStatus", 999, "Password Changed", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UserDefaults::standard().removeObjectForKey(QStringLiteral("AppPreference.onGoingConnectionId"));
        std::optional<AppPreferences::LastConnection> stored;
        if (c.storedName) {
            auto server = row("X", *c.storedName, c.storedIp ? Type::DedicatedIp : Type::Country, "X");
            server->ip = c.storedIp.value_or(QString());
            stored = record(server);
        }
        appPreferences().setLastConnection(stored);
        manager.fake.status = c.status;
        manager.fake.connectivityChecks.clear();
        reachability->current = c.network;
        user().setStatus(c.disabled ? User::Status::Disabled : User::Status::Active);
        preserved().setPasswordChanged(c.passwordChanged);

        Answers answers;
        quor->performConnect(QuorProperties::initWithCountry(country("FR", "France"), std::nullopt),
                             c.target->type == Type::DedicatedIp ? Quor::ConnectVia::DedicatedIp : Quor::ConnectVia::Country,
                             record(c.target), c.refuseWhenBusy, answers.completion());

        ASSERT_EQ(answers.received.size(), 1);
        ASSERT_TRUE(answers.received.first().has_value());
        EXPECT_EQ(answers.received.first()->domain, c.domain);
        EXPECT_EQ(answers.received.first()->code, c.code);
        EXPECT_EQ(answers.received.first()->message, c.text);
        EXPECT_EQ(manager.fake.connectivityChecks, c.checkSwitchedOn ? QList<bool>{true} : QList<bool>{});
        EXPECT_TRUE(manager.fake.connects.isEmpty());
        EXPECT_FALSE(appPreferences().onGoingConnectionId().has_value());
        const auto after = appPreferences().lastConnection();
        EXPECT_EQ(after.has_value(), stored.has_value());
        if (after && stored)
            EXPECT_EQ(after->server->name, stored->server->name);
    }
}

TEST_F(QuorConnectTest, BusyWithoutRefusingGoesOnToTheSdk)
{
    manager.fake.status = toRaw(QuorVPNState::Connected);
    Answers answers;
    quor->performConnect(QuorProperties::initWithCountry(country("FR", "France"), std::nullopt), Quor::ConnectVia::Country,
                         record(row("FR", "France", Type::Country, "FR")), false, answers.completion());
    EXPECT_EQ(manager.fake.connectivityChecks, QList<bool>{true});
    ASSERT_EQ(manager.fake.connects.size(), 1);
    EXPECT_TRUE(manager.fake.connects.first().properties.useAutomaticPort);
    EXPECT_TRUE(answers.received.isEmpty());
}

TEST_F(QuorConnectTest, SuccessStoresTheIdAndLastConnectionBeforeTheSdkCallThenCompletesOnceOnTheMainThread)
{
    clock.advance(100.25);
    QList<bool> onMain;
    QList<std::optional<Error>> received;
    const auto target = row("FR", "France", Type::Country, "FR");
    quor->performConnect(QuorProperties::initWithCountry(country("FR", "France"), std::nullopt), Quor::ConnectVia::Country,
                         record(target), true, [&](const std::optional<Error>& e) {
                             onMain.append(MainQueue::isMainThread());
                             received.append(e);
                         });

    const double expected = double(clock.now().toMSecsSinceEpoch()) / 1000.0 - 978307200.0;
    ASSERT_TRUE(manager.idAtConnect.has_value());
    EXPECT_EQ(manager.idAtConnect->toDouble(), expected);
    EXPECT_EQ(QString::number(manager.idAtConnect->toDouble(), 'g', QLocale::FloatingPointShortest), *manager.idAtConnect);
    EXPECT_EQ(manager.lastNameAtConnect, QStringLiteral("France"));
    EXPECT_EQ(tracking->timed, QStringList{QStringLiteral("app_ttc")});
    EXPECT_TRUE(received.isEmpty());

    // The SDK answers from its own thread, and here even twice.
    const auto completion = manager.fake.connects.first().completion;
    std::thread sdk([completion] {
        completion(QStringLiteral("started"));
        completion(QStringLiteral("started again"));
    });
    sdk.join();
    ASSERT_TRUE(TestSupport::waitUntil([&] { return !received.isEmpty(); }, 2000));
    TestSupport::processEvents(20);
    ASSERT_EQ(received.size(), 1);
    EXPECT_FALSE(received.first().has_value());
    EXPECT_EQ(onMain, QList<bool>{true});
    EXPECT_EQ(tracking->named("app_connect").size(), 1);
}

TEST_F(QuorConnectTest, SdkErrorsRestoreOneOfTheStoredValues)
{
    struct Case {
        const char* name;
        int code;
        bool completesWithError;
        bool idRestored;       // else the new id stays
        bool recordRestored;   // else the new record stays
        bool reported;
    };
    const QList<Case> cases{
        {"already connected", 5104, false, true, false, false},
        {"attempt in progress", 5043, false, true, false, false},
        {"server unreachable", 5010, true, false, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        clock.advance(1);
        appPreferences().setOnGoingConnectionId(QStringLiteral("previous-id"));
        appPreferences().setLastConnection(record(row("DE", "Germany", Type::Country, "DE")));
        hub->errors.clear();
        manager.fake.connects.clear();
        Answers answers;
        quor->performConnect(QuorProperties::initWithCountry(country("FR", "France"), QuorProtocol(QStringLiteral("IKEV"))),
                             Quor::ConnectVia::Country, record(row("FR", "France", Type::Country, "FR")), true,
                             answers.completion());
        const QString newId = *appPreferences().onGoingConnectionId();
        ASSERT_NE(newId, QStringLiteral("previous-id"));
        manager.fake.failConnect(0, Error(QStringLiteral("QuorSDKErrorDomain"), c.code, QStringLiteral("failed")));

        ASSERT_EQ(answers.received.size(), 1);
        EXPECT_EQ(answers.received.first().has_value(), c.completesWithError);
        if (c.completesWithError)
            EXPECT_EQ(answers.received.first()->code, c.code);
        EXPECT_EQ(*appPreferences().onGoingConnectionId(), c.idRestored ? QStringLiteral("previous-id") : newId);
        EXPECT_EQ(appPreferences().lastConnection()->server->name, c.recordRestored ? QStringLiteral("Germany") : QStringLiteral("France"));
        ASSERT_EQ(hub->errors.size(), c.reported ? 1 : 0);
        if (c.reported) {
            EXPECT_EQ(hub->errors.first().second.extras,
                      (QVariantMap{{"Type", "Country"}, {"Value", "France"}, {"Protocol", "IKEv2"}}));
        }
    }
}

TEST_F(QuorConnectTest, ExtensionNotReadyShowsTheNoticeInsteadOfConnecting)
{
    QList<Quor::ExtensionNotice> notices;
    Quor::setExtensionNoticePresenter([&](const Quor::ExtensionNotice& n) { notices.append(n); });
    preserved().setSelectedProtocol(VPNProtocol::WireGuard);
    appPreferences().setWgSystemExtensionStatus(SystemExtensionStatus::needsApproval);

    Answers answers;
    connectTo(row("FR", "France", Type::Country, "FR"), answers);
    ASSERT_EQ(notices.size(), 1);
    EXPECT_TRUE(notices.first().message.contains(QStringLiteral("WireGuard")));
    EXPECT_EQ(notices.first().title, Localizer::localized(QStringLiteral("wiregurad.beta.information.title")));
    EXPECT_TRUE(answers.received.isEmpty());
    EXPECT_TRUE(manager.fake.connects.isEmpty());
    EXPECT_FALSE(appPreferences().onGoingConnectionId());
    EXPECT_FALSE(appPreferences().lastConnection());

    // A dedicated IP does not need the extension.
    preserved().setSelectedProtocol(VPNProtocol::WireGuard);
    auto dedicated = row("DIP", "Dedicated", Type::DedicatedIp, "DE");
    dedicated->hosts = QList<DedicatedIPHost>{{"dip.example.test", "IKEV", "dedicated", "500"}};
    quor->connect(dedicated, Quor::ConnectVia::DedicatedIp, Quor::SelectedInterfaceScreen::Location,
                  Quor::ConnectionInitiatedBy::User, Quor::SelectedInterface::DedicatedIp, true, true, answers.completion());
    EXPECT_EQ(notices.size(), 1);
    EXPECT_EQ(manager.fake.connects.size(), 1);
}

TEST_F(QuorConnectTest, PropertiesFollowProtocolFallbackAndFilters)
{
    struct Case {
        const char* name;
        bool automatic;
        bool fallback;
        QuorSelectedInterface selected;
        bool personalise;
        std::optional<QString> protocol, secondary, tertiary;
        bool useLast;
        bool protocolSwitch;
        QList<ServerFilter> filters;
    };
    appPreferences().setExculdedIdentifiersForSwitchServer(QStringList{"nas-a", "nas-b", "nas-c"});
    PersonalizeServerModel::PersonalizeServer::Dictionary liked;
    liked.insert(QStringLiteral("FR"), {{"nas-1", true}, {"nas-2", false}});
    preserved().setPersonalizeServer(liked);
    const QList<ServerFilter> switched{{"nas-a", 1}, {"nas-b", 1}, {"nas-c", 1}};
    const QList<ServerFilter> personal{{"nas-1", 0}, {"nas-2", 1}};
    const QList<Case> cases{
        {"fallback off keeps every dial on UDP", false, false, QuorSelectedInterface::List, false, "UDP", "UDP", "UDP", false, false, {}},
        {"fallback on lets the SDK switch", false, true, QuorSelectedInterface::List, false, "UDP", {}, {}, false, true, {}},
        {"automatic asks for the last successful protocol only", true, false, QuorSelectedInterface::List, false, {}, {}, {}, true, false, {}},
        {"switch server avoids three servers, personalisation aside", false, true, QuorSelectedInterface::SwitchServer, true, "UDP", {}, {}, false, true, switched},
        {"favourite steers by verdicts", false, true, QuorSelectedInterface::Favorite, true, "UDP", {}, {}, false, true, personal},
        {"search ignores verdicts", false, true, QuorSelectedInterface::Search, true, "UDP", {}, {}, false, true, {}},
        {"verdicts off", false, true, QuorSelectedInterface::Recent, false, "UDP", {}, {}, false, true, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        preserved().setAutomaticProtocol(c.automatic);
        preserved().setSelectedProtocol(VPNProtocol::UDP);
        preserved().setConnectToFallback(c.fallback);
        preserved().setEnablePersonaliseServer(c.personalise);
        const QuorProperties p = quor->buildConnectProperties(
            QuorProperties::initWithCountry(country("FR", "France"), std::nullopt),
            record(row("FR", "France", Type::Country, "FR"), c.selected));
        const auto word = [](const std::optional<QuorProtocol>& q) { return q ? q->protocol : std::nullopt; };
        EXPECT_EQ(word(p.protocol), c.protocol);
        EXPECT_EQ(word(p.secondaryProtocol), c.secondary);
        EXPECT_EQ(word(p.tertiaryProtocol), c.tertiary);
        EXPECT_EQ(p.useLastSuccessfulDialedProtocol, c.useLast);
        EXPECT_EQ(p.enableProtocolSwitch, c.protocolSwitch);
        EXPECT_EQ(p.serverFilters, c.filters);
    }
}

TEST_F(QuorConnectTest, SmartConnectAsksForIpsecWithTheFastestAndRecommendedTags)
{
    appPreferences().setRecommendedServer(row("DE", "Germany", Type::Country, "DE"));
    listen(toRaw(QuorNotificationName::QuorVPNConnectionRequestedNotification));
    quor->smartConnect(Quor::ConnectVia::SmartConnect, Quor::SelectedInterfaceScreen::Topbar,
                       Quor::ConnectionInitiatedBy::User, Quor::SelectedInterface::SmartConnect, true);
    ASSERT_EQ(manager.fake.connects.size(), 1);
    const QuorProperties& p = manager.fake.connects.first().properties;
    EXPECT_EQ(p.protocol, QuorProtocol(QStringLiteral("IPSEC")));
    EXPECT_EQ(p.tags, (QList<int>{toRaw(QuorSmartConnectTag::Fastest), toRaw(QuorSmartConnectTag::Recommended)}));
    const auto posted = heard(toRaw(QuorNotificationName::QuorVPNConnectionRequestedNotification));
    ASSERT_EQ(posted.size(), 1);
    const auto requested = posted.first().notification.object.value<QuorDataFetcherServer::Ptr>();
    EXPECT_EQ(requested->id, QStringLiteral("DE"));
    EXPECT_EQ(requested->code, QStringLiteral("DE"));
    EXPECT_EQ(requested->type, Type::FastestServer);
    EXPECT_EQ(appPreferences().lastConnection()->connectVia, QuorConnectVia::SmartConnect);
}

TEST_F(QuorConnectTest, RowsReachTheirSdkTarget)
{
    cacheCountries({country("FR", "France", {city(11, "Paris"), city(12, "Lyon"), city(12, "Lyon again")}),
                    country("DE", "Germany", {city(12, "Not this one")})});
    struct Case {
        const char* name;
        QuorDataFetcherServer::Ptr row;
        bool connects;
        QuorProperties::Target target;
        QString targetName;
    };
    const QList<Case> cases{
        {"city \"12\" is the SDK city 12", row("12", "Lyon", Type::City, "FR"), true, QuorProperties::Target::City, "Lyon"},
        {"a cached country", row("DE", "Germany", Type::Country, "DE"), true, QuorProperties::Target::Country, "Germany"},
        {"a country not in the cache", row("IT", "Italy", Type::Country, "IT"), false, {}, {}},
        {"an unknown city", row("99", "Nowhere", Type::City, "FR"), false, {}, {}},
        {"a fastest-server row", row("FR", "France", Type::FastestServer, "FR"), false, {}, {}},
        {"a shortcut row", row("S", "Streaming", Type::Shortcut, "S"), false, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        manager.fake.connects.clear();
        Answers answers;
        connectTo(c.row, answers);
        ASSERT_EQ(manager.fake.connects.size(), c.connects ? 1 : 0);
        EXPECT_TRUE(answers.received.isEmpty());
        if (!c.connects)
            continue;
        const QuorProperties& p = manager.fake.connects.first().properties;
        EXPECT_EQ(p.target, c.target);
        EXPECT_EQ(c.target == QuorProperties::Target::City ? p.city->name : p.country->name, c.targetName);
    }
    EXPECT_EQ(Quor::matchingCities(AppPreferences().defaults.hasObject(AppPreferences::countriesKey())
                                       ? UserDefaultsCodable::array<QuorCountry>(UserDefaults::standard(), AppPreferences::countriesKey()).value()
                                       : QList<QuorCountry>{},
                                   *row("12", "", Type::City, "")),
              (QList<QuorCity>{city(12, "Lyon"), city(12, "Not this one")}));
}

TEST_F(QuorConnectTest, EmptyCacheStillConnectsWithACountryMadeFromTheRow)
{
    Answers answers;
    const QuorProperties p = connectTo(row("IT", "Italy", Type::Country, "IT"), answers);
    ASSERT_EQ(manager.fake.connects.size(), 1);
    EXPECT_EQ(p.country->country, QStringLiteral("IT"));
    EXPECT_EQ(p.country->name, QStringLiteral("Italy"));
    EXPECT_EQ(p.country->iso_code, QStringLiteral("IT"));
}

TEST_F(QuorConnectTest, AppConnectCarriesItsSeventeenKeys)
{
    preserved().setEnableIKS(true);
    preserved().setEnablePersonaliseServer(true);
    PersonalizeServerModel::PersonalizeServer::Dictionary verdicts;
    verdicts.insert(QStringLiteral("FR"), {{"nas-1", true}, {"nas-2", false}, {"nas-3", true}});
    preserved().setPersonalizeServer(verdicts);
    manager.fake.connectReply = FakeQuorManager::Reply::Succeed;
    Answers answers;
    quor->connect(row("FR", "France", Type::Country, "FR"), Quor::ConnectVia::Country,
                  Quor::SelectedInterfaceScreen::Location, Quor::ConnectionInitiatedBy::User,
                  Quor::SelectedInterface::Favorite, false, true, answers.completion());
    ASSERT_EQ(answers.received.size(), 1);
    EXPECT_FALSE(answers.received.first().has_value());
    const auto events = tracking->named("app_connect");
    ASSERT_EQ(events.size(), 1);
    QVariantMap p = events.first().properties;
    p.remove(QStringLiteral("time"));  // the day stamp every connection event carries
    const QVariantMap expected{
        {"selected_protocol_name", "IKEV"},
        {"connect_via", "Country"},
        {"selected_interface", "Favorite"},
        {"selected_interface_screen", "Location"},
        {"connection_initiated_by", "User"},
        {"iks_enabled", true},
        {"auto_reconnect", preserved().autoReconnectOnConnectionDrop()},
        {"on_demand_vpn", false},
        {"on_demand_domains_enabled", false},
        {"personalise_server_selection_enabled", true},
        {"is_filtered_server", "false"},
        {"is_filtered_server_requested", true},
        {"selected_location", "France"},
        {"nas_identifier", "nas-1"},
        {"included_nas_identifiers", "nas-1,nas-3"},
        {"excluded_nas_identifiers", "nas-2"},
        {"connect_to_fallback", true},
    };
    EXPECT_EQ(p.size(), 17);
    EXPECT_EQ(p, expected);
}

TEST_F(QuorConnectTest, DedicatedIpOrdersHostsAndReportsItsFailuresToTheCallersCompletion)
{
    const auto hosts = [](QStringList protocols) {
        QList<DedicatedIPHost> list;
        for (int i = 0; i < protocols.size(); ++i)
            list.append(DedicatedIPHost{QStringLiteral("h%1.example.test").arg(i), protocols.at(i), "dedicated", "443"});
        return list;
    };
    struct Case {
        const char* name;
        VPNProtocol selected;
        bool automatic;
        bool fallback;
        QList<DedicatedIPHost> hosts;
        std::optional<int> failure;
        QStringList order;
    };
    const QList<Case> cases{
        {"the matching host moves to the front", VPNProtocol::UDP, false, false, hosts({"IKEV", "UDP"}), {}, {"h1.example.test", "h0.example.test"}},
        {"the last of several matches ends in front", VPNProtocol::IKEv2, false, false, hosts({"IKEV", "UDP", "IKEV"}), {},
         {"h2.example.test", "h1.example.test", "h0.example.test"}},
        {"no match keeps the order", VPNProtocol::TCP, false, false, hosts({"IKEV", "UDP"}), {}, {"h0.example.test", "h1.example.test"}},
        {"WireGuard falls back to IKEv2 when allowed", VPNProtocol::WireGuard, false, true, hosts({"UDP", "IKEV"}), {},
         {"h1.example.test", "h0.example.test"}},
        {"unsupported protocol before an empty list", VPNProtocol::IPSec, false, false, {}, 1111, {}},
        {"no hosts", VPNProtocol::UDP, false, false, {}, 1212, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        preserved().setAutomaticProtocol(c.automatic);
        preserved().setSelectedProtocol(c.selected);
        manager.fake.connects.clear();
        auto server = row("DIP", "My IP", Type::DedicatedIp, "DE");
        server->hosts = c.hosts;
        Answers answers;
        quor->connect(server, Quor::ConnectVia::DedicatedIp, Quor::SelectedInterfaceScreen::Location,
                      Quor::ConnectionInitiatedBy::User, Quor::SelectedInterface::DedicatedIp, c.fallback, true,
                      answers.completion());
        if (c.failure) {
            ASSERT_EQ(answers.received.size(), 1);
            EXPECT_EQ(answers.received.first()->domain, QStringLiteral("VeltamorineError"));
            EXPECT_EQ(answers.received.first()->code, *c.failure);
            EXPECT_TRUE(manager.fake.connects.isEmpty());
            continue;
        }
        ASSERT_EQ(manager.fake.connects.size(), 1);
        QStringList order;
        for (const QuorMultipleDNS& entry : manager.fake.connects.first().properties.multipleDedicatedHost)
            order.append(entry.dedicatedHostName);
        EXPECT_EQ(order, c.order);
        // The SDK's refusal reaches the caller of the plain path too.
        manager.fake.failConnect(0, Error(QStringLiteral("QuorSDKErrorDomain"), 5129, QStringLiteral("no protocol")));
        ASSERT_EQ(answers.received.size(), 1);
        EXPECT_EQ(answers.received.first()->code, 5129);
    }
}

TEST_F(QuorConnectTest, ReconnectStartsANewIdWithoutTheConnectivityCheck)
{
    clock.advance(5);
    quor->reconnect();
    EXPECT_EQ(manager.fake.connectivityChecks, QList<bool>{false});
    EXPECT_EQ(manager.fake.reconnectCount, 1);
    EXPECT_EQ(appPreferences().onGoingConnectionId(), Quor::newConnectionId());
}

TEST_F(QuorConnectTest, ByteCountsSplitIntoUnits)
{
    const auto [a, b] = Quor::splitByteCounts(1023, 1024);
    EXPECT_EQ(a, (Quor::ByteCount{1023, 0}));
    EXPECT_EQ(b, (Quor::ByteCount{1.0, 1}));
    const auto [c, d] = Quor::splitByteCounts(quint64(1) << 40, 3 * (quint64(1) << 20));
    EXPECT_EQ(c, (Quor::ByteCount{1.0, 4}));
    EXPECT_EQ(d, (Quor::ByteCount{3.0, 2}));
}

}

namespace {

TEST_F(QuorConnectTest, BeforeTheSdkSetUpARequestFailsInsteadOfCrashing)
{
    const auto early = makeQuor(nullptr);
    Answers answers;
    early->performConnect(QuorProperties::initWithCountry(country("FR", "France"), std::nullopt), Quor::ConnectVia::Country,
                          record(row("FR", "France", Type::Country, "FR")), true, answers.completion());
    ASSERT_EQ(answers.received.size(), 1);
    ASSERT_TRUE(answers.received.first().has_value());
    EXPECT_FALSE(appPreferences().lastConnection());
    early->reconnect();
    EXPECT_FALSE(appPreferences().onGoingConnectionId());
}

}

namespace {

TEST_F(QuorConnectTest, TheNoticeIsAWindowModalBoxOnTheFirstWindowOrNothing)
{
    preserved().setSelectedProtocol(VPNProtocol::UDP);
    quor->showExtensionRequiredNotice();  // no window: nothing to show it on
    EXPECT_TRUE(QApplication::topLevelWidgets().isEmpty() ||
                std::none_of(QApplication::topLevelWidgets().cbegin(), QApplication::topLevelWidgets().cend(),
                             [](QWidget* w) { return qobject_cast<QMessageBox*>(w) != nullptr; }));

    QWidget window;
    window.show();
    quor->showExtensionRequiredNotice();
    auto* box = window.findChild<QMessageBox*>();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->windowModality(), Qt::WindowModal);
    EXPECT_TRUE(box->text().contains(QStringLiteral("OpenVPN - UDP")));
    EXPECT_EQ(box->buttons().size(), 1);
    box->close();
}

}
