#include "VpnEngineFixture.h"

#include "Bundle.h"
#include "NotificationCenter.h"
#include "PersonalizeServerModel.h"
#include "QuorVPNState.h"
#include "TestSupport.h"

#include <thread>

namespace {

using Type = QuorDataFetcherServer::Type;

QStringList keysOf(QVariantMap properties)
{
    properties.remove(QStringLiteral("time"));  // the day stamp every connection event carries
    return properties.keys();
}

QStringList sorted(QStringList keys)
{
    keys.sort();
    return keys;
}

const QStringList baseKeys{
    "server_ip", "server_dns", "is_dialed_with_quantum_server", "selected_protocol_name", "dialed_protocol_name",
    "connect_via", "selected_interface", "selected_interface_screen", "connection_initiated_by", "selected_location",
    "dialed_location", "iks_enabled", "auto_reconnect", "personalise_server_selection_enabled", "is_filtered_server",
    "is_filtered_server_requested", "nas_identifier", "included_nas_identifiers", "excluded_nas_identifiers",
    "connection_attempts", "connection_method", "session_id", "time_between_connect_cancel", "connect_with_failover",
    "is_connection_over_connection", "connect_to_fallback", "speed_test_response"};

QStringList without(QStringList keys, const QStringList& removed)
{
    for (const QString& key : removed)
        keys.removeAll(key);
    return keys;
}

// Notes the arguments of each enable before the in-memory firewall applies it.
class ArgumentsFirewall final : public FirewallManager {
public:
    explicit ArgumentsFirewall(std::shared_ptr<InMemoryFirewallManager> inner) : inner(std::move(inner)) {}
    void enableFirewall(const QString& ip, const QString& protocol, Completion completion) override
    {
        {
            QMutexLocker lock(&mutex);
            enables.append({ip, protocol});
        }
        inner->enableFirewall(ip, protocol, std::move(completion));
    }
    void disableFirewall(Completion c) override { inner->disableFirewall(std::move(c)); }
    void isVPNFirewallEnabled(const QString& ip, Completion c) override { inner->isVPNFirewallEnabled(ip, std::move(c)); }
    void isAnyFirewallEnabled(Completion c) override { inner->isAnyFirewallEnabled(std::move(c)); }
    void isHelperReady(Completion c) override { inner->isHelperReady(std::move(c)); }
    void prepareKillSwitch(Completion c) override { inner->prepareKillSwitch(std::move(c)); }
    std::expected<bool, Error> isHelperInstalled() override { return inner->isHelperInstalled(); }

    std::shared_ptr<InMemoryFirewallManager> inner;
    QMutex mutex;
    QList<std::pair<QString, QString>> enables;
};

class StateListenerTest : public VpnEngineFixture {
protected:
    void SetUp() override
    {
        VpnEngineFixture::SetUp();
        listener = makeListener(&manager);
        appPreferences().setLastConnection(record(row("FR", "France", Type::Country, "FR")));
        appPreferences().setOnGoingConnectionId(QStringLiteral("786000000.5"));
        listen(toRaw(QuorNotificationName::QuorVPNStateNotification));
        listen(toRaw(QuorNotificationName::QuorManagerTransmittedPackets));
    }
    static QuorConnectionDetails ended(int type, bool cancelled = false, bool manual = false)
    {
        QuorConnectionDetails d = details();
        d.disconnectionType = type;
        d.isCancelled = cancelled;
        d.isDisconnectedManually = manual;
        return d;
    }
    QList<QuorDataTransmission> transmissions() const
    {
        QList<QuorDataTransmission> found;
        for (const Heard& h : heard(toRaw(QuorNotificationName::QuorManagerTransmittedPackets)))
            found.append(h.notification.object.value<QuorDataTransmission>());
        return found;
    }

    FakeQuorManager manager;
    std::shared_ptr<StateListener> listener;
    QObject ownerForCase;
};

TEST_F(StateListenerTest, EachOutcomeEventCarriesItsKeySet)
{
    const Error error(QStringLiteral("QuorSDKErrorDomain"), 5010, QStringLiteral("unreachable"));
    const QStringList errorKeys{"quor_inner_exception_code", "quor_inner_exception_message", "shown"};
    struct Case {
        const char* name;
        std::function<void()> run;
        QString event;
        QStringList keys;
    };
    const QList<Case> cases{
        {"connected: time to connect", [&] { listener->handleConnected(details()); }, "app_ttc",
         without(baseKeys, {"connect_via", "selected_interface", "selected_interface_screen", "connection_initiated_by",
                            "selected_location", "dialed_location", "connect_to_fallback"})
             + QStringList{"time_to_connect_server", "time_to_find_server"}},
        {"connected", [&] { listener->handleConnected(details()); }, "app_connected", baseKeys},
        {"cancelled", [&] { listener->handleDisconnected(ended(1, true)); }, "app_cancelled", baseKeys},
        {"disconnected", [&] { listener->handleDisconnected(ended(1)); }, "app_disconnected", baseKeys + QStringList{"auto_dc"}},
        {"redialing", [&] { listener->handleRedialing(details(), error); }, "app_utc",
         without(baseKeys, {"is_dialed_with_quantum_server"}) + errorKeys},
        {"dial failure", [&] { listener->handleDialFailure(error, details()); }, "app_utc", baseKeys + errorKeys},
    };
    const QList<int> counts{22, 27, 27, 28, 29, 30};
    for (int i = 0; i < cases.size(); ++i) {
        const Case& c = cases.at(i);
        SCOPED_TRACE(c.name);
        tracking->tracked.clear();
        c.run();
        const auto events = tracking->named(c.event);
        ASSERT_EQ(events.size(), 1);
        const QStringList keys = keysOf(events.first().properties);
        EXPECT_EQ(keys.size(), counts.at(i));
        EXPECT_EQ(keys, sorted(c.keys));
    }
}

TEST_F(StateListenerTest, OutcomePropertiesReadTheDetailsAndTheStores)
{
    QuorConnectionDetails d = details();
    d.fastestServerFindingApiResponse = QVariantMap{
        {"body", QVariantMap{{"servers", QVariantList{QVariantMap{{"ip", "a"}}, QVariantMap{{"ip", "b"}}}}}},
        {"speed_test_server_1", "kept"}};
    const Error error(QStringLiteral("QuorSDKErrorDomain"), 5012, QStringLiteral("bad credentials"));
    listener->handleDialFailure(error, d);
    const auto events = tracking->named("app_utc");
    ASSERT_EQ(events.size(), 1);
    const QVariantMap p = events.first().properties;
    EXPECT_EQ(p.value("dialed_location"), QStringLiteral("Lyon"));
    EXPECT_EQ(p.value("selected_location"), QStringLiteral("France"));
    EXPECT_EQ(p.value("connect_via"), QStringLiteral("Country"));
    EXPECT_EQ(p.value("selected_protocol_name"), QStringLiteral("IPSEC"));
    EXPECT_EQ(p.value("dialed_protocol_name"), QStringLiteral("UDP"));
    EXPECT_EQ(p.value("connection_attempts"), QStringLiteral("2"));
    EXPECT_EQ(p.value("quor_inner_exception_code"), 5012);
    EXPECT_EQ(p.value("quor_inner_exception_message"), QStringLiteral("bad credentials"));
    EXPECT_EQ(p.value("shown"), true);
    EXPECT_EQ(p.value("speed_test_server_1"), QStringLiteral("{\"ip\":\"a\"}"));
    EXPECT_EQ(p.value("speed_test_server_2"), QStringLiteral("{\"ip\":\"b\"}"));
    EXPECT_EQ(appPreferences().lastFeedbackConnectionId(), QStringLiteral("786000000.5"));
    ASSERT_EQ(catalogue->lookups, QList<std::optional<int>>{5012});
    const auto posted = states();
    ASSERT_EQ(posted.size(), 1);
    EXPECT_EQ(posted.first().state, QuorConnectionState::UnableToConnect);
    ASSERT_TRUE(posted.first().error);
    EXPECT_EQ(posted.first().error->code, 5012);
    EXPECT_EQ(heard(toRaw(QuorNotificationName::QuorVPNStateNotification)).first().notification.userInfo,
              StateListener::merged(listener->connectionProperties(StateListener::Outcome::dialFailure, d, error), d));
}

TEST_F(StateListenerTest, DialFailuresWithoutDetailsOrThatAreNoFailure)
{
    listener->handleDialFailure(Error(QStringLiteral("QuorSDKErrorDomain"), 5104), details());
    listener->handleDialFailure(Error(QStringLiteral("QuorSDKErrorDomain"), 5043), details());
    EXPECT_TRUE(states().isEmpty());
    EXPECT_TRUE(tracking->named("app_utc").isEmpty());

    listener->handleDialFailure(Error(QStringLiteral("Connection"), -1002), std::nullopt);
    EXPECT_EQ(setUpCount, 1);
    const auto events = tracking->named("app_utc");
    ASSERT_EQ(events.size(), 1);
    EXPECT_EQ(events.first().properties.value("connection_attempts"), QStringLiteral("1"));
    EXPECT_EQ(events.first().properties.value("is_filtered_server"), QString());
    EXPECT_EQ(events.first().properties.value("time_between_connect_cancel"), QString());
    EXPECT_EQ(states().size(), 1);
}

TEST_F(StateListenerTest, PacketCountersAccumulateAndNeverGoBackwards)
{
    struct Step {
        std::function<void()> run;
        std::optional<QuorDataTransmission> posted;
    };
    const auto sample = [this](quint64 in, quint64 out) { return [=, this] { listener->packetsTransmitted(in, out); }; };
    const QList<Step> steps{
        {sample(100, 200), QuorDataTransmission{0, 0}},        // first sample only records
        {sample(150, 260), QuorDataTransmission{50, 60}},
        {sample(10, 300), QuorDataTransmission{50, 100}},      // incoming went backwards: adds 0
        {[this] { listener->handleDisconnected(ended(1)); }, {}},
        {sample(20, 310), QuorDataTransmission{10, 10}},       // only what exceeds the last raw counts
    };
    for (const Step& step : steps) {
        const qsizetype before = transmissions().size();
        step.run();
        if (step.posted) {
            ASSERT_EQ(transmissions().size(), before + 1);
            EXPECT_EQ(transmissions().last(), *step.posted);
        }
    }
    EXPECT_EQ(StateListener::counters().lastBytesIn, 20u);
}

TEST_F(StateListenerTest, DroppedConnections)
{
    struct Case {
        const char* name;
        bool iks;
        bool autoReconnect;
        VPNProtocol protocol;
        Type lastType;
        ScriptedReachability::Status network;
        int reconnects;
        QList<QuorConnectionState> posted;
        std::optional<QString> blockReason;
        bool rewritten;
    };
    const auto up = ScriptedReachability::Status::ReachableEthernetOrWiFi;
    const auto down = ScriptedReachability::Status::NotReachable;
    using S = QuorConnectionState;
    const QList<Case> cases{
        {"kill switch with WireGuard: 997 and no reconnect", true, true, VPNProtocol::WireGuard, Type::Country, up, 0,
         {S::Disconnected, S::UnableToConnect}, QStringLiteral("VPN issue"), true},
        {"kill switch with UDP reconnects", true, true, VPNProtocol::UDP, Type::Country, up, 1, {S::Disconnected},
         QStringLiteral("VPN issue"), true},
        {"plain drop reconnects", false, true, VPNProtocol::UDP, Type::City, up, 1, {S::Disconnected}, {}, true},
        {"a dedicated IP is not reconnected", false, true, VPNProtocol::UDP, Type::DedicatedIp, up, 0, {S::Disconnected}, {}, true},
        {"no network", true, true, VPNProtocol::UDP, Type::Country, down, 0, {S::Disconnected}, QStringLiteral("Internet issue"), false},
        {"auto-reconnect off", false, false, VPNProtocol::UDP, Type::Country, up, 0, {S::Disconnected}, {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        manager.reconnectCount = 0;
        tracking->tracked.clear();
        NotificationCenter::defaultCenter().removeObserver(&ownerForCase);
        QList<QuorConnectionInfo> posted;
        QList<QVariantMap> userInfos;
        NotificationCenter::defaultCenter().addObserver(toRaw(QuorNotificationName::QuorVPNStateNotification), &ownerForCase,
                                                        [&](const Notification& n) {
                                                            posted.append(n.object.value<QuorConnectionInfo>());
                                                            userInfos.append(n.userInfo);
                                                        });
        preserved().setEnableIKS(c.iks);
        preserved().setAutoReconnectOnConnectionDrop(c.autoReconnect);
        preserved().setSelectedProtocol(c.protocol);
        reachability->current = c.network;
        appPreferences().setLastConnection(record(row("X", "Somewhere", c.lastType, "X")));

        listener->handleDisconnected(ended(0));

        EXPECT_EQ(manager.reconnectCount, c.reconnects);
        QList<QuorConnectionState> states;
        for (const auto& info : posted)
            states.append(info.state);
        EXPECT_EQ(states, c.posted);
        if (c.posted.size() == 2) {
            ASSERT_TRUE(posted.last().error);
            EXPECT_EQ(posted.last().error->code, 997);
            EXPECT_TRUE(userInfos.last().isEmpty());
        }
        const auto blocked = tracking->named("app_block_internet_iks");
        ASSERT_EQ(blocked.size(), c.blockReason ? 1 : 0);
        if (c.blockReason)
            EXPECT_EQ(blocked.first().properties.value("reason"), *c.blockReason);
        EXPECT_EQ(appPreferences().lastConnection()->connectionInitiatedBy == QuorConnectionInitiatedBy::AutoReconnect,
                  c.rewritten);
        EXPECT_EQ(appPreferences().lastConnection()->server->name, QStringLiteral("Somewhere"));
    }
    NotificationCenter::defaultCenter().removeObserver(&ownerForCase);
}

TEST_F(StateListenerTest, EndedConnectionsByTypeAndManualDisconnection)
{
    appPreferences().setExculdedIdentifiersForSwitchServer(QStringList{"nas-a"});
    preserved().setEnableIKS(true);
    firewall->enableFirewall(QStringLiteral("198.51.100.1"), QStringLiteral("UDP"), [](bool) {});
    ASSERT_TRUE(TestSupport::waitUntil([this] { return firewall->enabled(); }, 2000));

    listener->handleDisconnected(ended(2));  // replaced by a new connection: exclusions stay
    EXPECT_EQ(appPreferences().exculdedIdentifiersForSwitchServer(), QStringList{"nas-a"});
    ASSERT_TRUE(TestSupport::waitUntil([this] { return !firewall->enabled(); }, 2000));

    manager.status = toRaw(QuorVPNState::Connected);
    listener->handleDisconnected(ended(1, false, true));  // the user ended it
    EXPECT_EQ(appPreferences().exculdedIdentifiersForSwitchServer(), QStringList{});
    EXPECT_EQ(manager.recommendedRequests, 0);  // the SDK still reports a tunnel: no refresh
    EXPECT_EQ(appPreferences().manualDisconnectionCount(), 1);
    manager.status = toRaw(QuorVPNState::Disconnected);
    listener->handleDisconnected(ended(1, false, true));
    EXPECT_EQ(manager.recommendedRequests, 1);
    EXPECT_EQ(appPreferences().manualDisconnectionCount(), 2);
    EXPECT_EQ(manager.reconnectCount, 0);
    EXPECT_TRUE(states().last().manualDisconnection);

    listener->handleDisconnected(ended(1, true));
    const QuorConnectionInfo cancelled = states().last();
    EXPECT_TRUE(cancelled.cancelled);
    EXPECT_FALSE(cancelled.connectedTo);
    EXPECT_EQ(cancelled.selectedProtocol, QString());
    EXPECT_EQ(appPreferences().lastFeedbackConnectionId(), QStringLiteral("786000000.5"));
}

TEST_F(StateListenerTest, ConnectedBookkeeping)
{
    listener->handleConnected(details());
    const auto last = appPreferences().lastConnection();
    ASSERT_TRUE(last);
    EXPECT_EQ(last->nasIdentifier, QStringLiteral("nas-7"));
    EXPECT_EQ(last->server->name, QStringLiteral("France"));
    EXPECT_EQ(appPreferences().serverToAddInRecent()->id, QStringLiteral("FR"));
    EXPECT_TRUE(UserDefaults::standard().boolForKey(StateListener::isConnectedSuccessfullyKey));
    EXPECT_EQ(preserved().dialedProtocol(), VPNProtocol::UDP);
    ASSERT_TRUE(appPreferences().mixpanelConnectedProperties());
    EXPECT_EQ(appPreferences().mixpanelConnectedProperties()->value("dialed_location"), QStringLiteral("Lyon"));
    ASSERT_EQ(preserved().recents().size(), 1);
    EXPECT_EQ(preserved().recents().first()->id, QStringLiteral("FR"));
    const QuorConnectionInfo info = states().last();
    EXPECT_EQ(info.state, QuorConnectionState::Connected);
    EXPECT_EQ(info.connectionId, QStringLiteral("786000000.5"));
    EXPECT_EQ(info.connectedTo, QStringLiteral("France"));
    EXPECT_EQ(info.connectedIp, QStringLiteral("10.20.30.40"));
    EXPECT_EQ(info.dialedProtocol, QStringLiteral("UDP"));
}

TEST_F(StateListenerTest, SdkCallbacksFromItsOwnThreadReachObserversOnTheMainThread)
{
    listen(toRaw(QuorNotificationName::QuorSDKInitialized));
    listen(toRaw(QuorNotificationName::ConnectionEstablished));
    const Error error(QStringLiteral("QuorSDKErrorDomain"), 5010);
    std::thread sdk([&] {
        listener->quorManagerDidInitialized();
        listener->stateChanged(toRaw(QuorVPNState::FindingServer));
        listener->stateChanged(toRaw(QuorVPNState::Connecting));
        listener->quorManagerOnRedialing(details(), error);
        listener->stateChanged(toRaw(QuorVPNState::Connected));
        listener->quorManagerDidConnect(details());
        listener->packetsTransmitted(quint64(10), quint64(20));
        listener->quorManagerOnUnableToAccessInternet(details());
        listener->quorManagerDidDisconnect(ended(1));
        listener->quorManagerDialErrorReceived(error, details());
    });
    sdk.join();
    using S = QuorConnectionState;
    const QList<S> expected{S::Connecting, S::Connecting, S::Redialing, S::Connected, S::UnableToBrowse, S::Disconnected,
                            S::UnableToConnect};
    ASSERT_TRUE(TestSupport::waitUntil([&] { return states().size() == expected.size(); }, 3000));
    QList<S> got;
    for (const auto& info : states())
        got.append(info.state);
    EXPECT_EQ(got, expected);
    for (const QString& name : {toRaw(QuorNotificationName::QuorVPNStateNotification),
                                toRaw(QuorNotificationName::QuorManagerTransmittedPackets),
                                toRaw(QuorNotificationName::QuorSDKInitialized),
                                toRaw(QuorNotificationName::ConnectionEstablished)}) {
        SCOPED_TRACE(name.toStdString());
        ASSERT_FALSE(heard(name).isEmpty());
        for (const Heard& h : heard(name))
            EXPECT_TRUE(h.onMainThread);
    }
    const QuorConnectionInfo connecting = states().first();
    EXPECT_EQ(connecting.connectionId, QStringLiteral("786000000.5"));
    EXPECT_EQ(connecting.connectionDns, QString());
    EXPECT_EQ(connecting.dialedProtocol, QString());
    EXPECT_EQ(connecting.quantumResistentServer, false);
}

TEST_F(StateListenerTest, ClosuresOfAReplacedListenerReachNothing)
{
    const auto stateChanged = listener->stateChanged;
    const auto packets = listener->packetsTransmitted;
    listener.reset();
    std::thread sdk([&] {
        stateChanged(toRaw(QuorVPNState::Connecting));
        packets(quint64(1), quint64(2));
    });
    sdk.join();
    TestSupport::processEvents(20);
    EXPECT_TRUE(states().isEmpty());
    EXPECT_TRUE(transmissions().isEmpty());
}

TEST_F(StateListenerTest, ConnectedLocationAnnouncesTheAddressAndArmsTheKillSwitchOneSecondLater)
{
    listen(StateListener::fetchIPNotification);
    auto arguments = std::make_shared<ArgumentsFirewall>(firewall);
    FirewallManager::setShared(arguments);
    preserved().setSelectedProtocol(VPNProtocol::IKEv2);
    preserved().setDialedProtocol(VPNProtocol::UDP);
    struct Case {
        const char* name;
        bool iks;
        std::optional<QString> ip;
        bool armed;
        bool reported;
    };
    const QList<Case> cases{
        {"kill switch off: the address only", false, QStringLiteral("203.0.113.9"), false, false},
        {"kill switch on: armed a second later", true, QStringLiteral("203.0.113.9"), true, false},
        {"no address: nothing armed, reported", true, {}, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        firewall->disableFirewall([](bool) {});
        ASSERT_TRUE(TestSupport::waitUntil([this] { return !firewall->enabled(); }, 2000));
        const qsizetype callsBefore = firewall->calls().size();
        const qsizetype fetchesBefore = heard(StateListener::fetchIPNotification).size();
        hub->errors.clear();
        preserved().setEnableIKS(c.iks);
        QuorLocation location;
        location.ip = c.ip;
        std::thread sdk([&] { listener->quorManagerDidReceivedConnectedLocation(location, std::nullopt); });
        sdk.join();
        ASSERT_TRUE(TestSupport::waitUntil(
            [&] { return heard(StateListener::fetchIPNotification).size() == fetchesBefore + 1; }, 2000));
        const Notification fetched = heard(StateListener::fetchIPNotification).last().notification;
        ASSERT_TRUE(fetched.userInfo.contains("ip"));
        EXPECT_EQ(fetched.userInfo.value("ip").isNull(), !c.ip.has_value());
        if (c.ip)
            EXPECT_EQ(fetched.userInfo.value("ip").toString(), *c.ip);

        clock.advance(0.99);
        TestSupport::processEvents(20);
        EXPECT_EQ(firewall->calls().size(), callsBefore);
        clock.advance(0.01);
        if (c.armed) {
            ASSERT_TRUE(TestSupport::waitUntil([this] { return firewall->enabled(); }, 2000));
            EXPECT_EQ(firewall->allowedAddress(), *c.ip);
            QMutexLocker lock(&arguments->mutex);
            ASSERT_FALSE(arguments->enables.isEmpty());
            EXPECT_EQ(arguments->enables.last(), (std::pair<QString, QString>{*c.ip, QStringLiteral("UDP")}));
        } else {
            TestSupport::processEvents(20);
            EXPECT_EQ(firewall->calls().size(), callsBefore);
        }
        ASSERT_EQ(hub->errors.size(), c.reported ? 1 : 0);
        if (c.reported)
            EXPECT_EQ(hub->errors.first().first.code, 4010);
    }
}

TEST_F(StateListenerTest, UnableToBrowseReportsItsPropertiesInOrderWithTheSpeedTestEntries)
{
    preserved().setAutomaticProtocol(true);
    PersonalizeServerModel::PersonalizeServer::Dictionary verdicts;
    verdicts.insert(QStringLiteral("FR"), {{"nas-1", true}});
    preserved().setPersonalizeServer(verdicts);
    QuorConnectionDetails d = details();
    d.fastestServerFindingApiResponse = QVariantMap{
        {"body", QVariantMap{{"servers", QVariantList{QVariantMap{{"n", 1}}, QVariantMap{{"n", 2}}, QVariantMap{{"n", 3}}}}}}};

    const StateListener::Properties ordered = listener->unableToBrowseProperties(d);
    QStringList keys;
    for (const auto& [key, value] : ordered)
        keys.append(key);
    EXPECT_EQ(keys, (QStringList{"server_ip", "is_dialed_with_quantum_server", "server_dns", "selected_protocol_name",
                                 "dialed_protocol_name", "selected_location", "dialedLocation", "connect_via",
                                 "selected_interface", "selected_interface_screen", "connection_initiated_by",
                                 "iks_enabled", "auto_reconnect", "personalise_server_selection_enabled",
                                 "is_filtered_server", "is_filtered_server_requested", "nas_identifier",
                                 "included_nas_identifiers", "excluded_nas_identifiers", "connection_attempts",
                                 "connection_method", "session_id", "time_between_connect_cancel",
                                 "connect_with_failover", "is_connection_over_connection", "connect_to_fallback",
                                 "speed_test_response"}));

    reachability->current = ScriptedReachability::Status::NotReachable;
    listener->handleUnableToAccessInternet(d);
    EXPECT_TRUE(tracking->named("app_utb").isEmpty());
    EXPECT_TRUE(states().isEmpty());

    reachability->current = ScriptedReachability::Status::ReachableEthernetOrWiFi;
    listener->handleUnableToAccessInternet(d);
    const auto events = tracking->named("app_utb");
    ASSERT_EQ(events.size(), 1);
    const QVariantMap p = events.first().properties;
    EXPECT_EQ(keysOf(p).size(), 30);
    EXPECT_EQ(p.value("selected_protocol_name"), QStringLiteral("Automatic"));
    EXPECT_EQ(p.value("is_filtered_server_requested"), true);
    EXPECT_EQ(p.value("dialedLocation"), QStringLiteral("Lyon"));
    EXPECT_EQ(p.value("speed_test_server_3"), QStringLiteral("{\"n\":3}"));
    ASSERT_EQ(states().size(), 1);
    EXPECT_EQ(states().first().state, QuorConnectionState::UnableToBrowse);
}

TEST_F(StateListenerTest, SpeedTestResponsesOfOtherShapesGiveNoEntries)
{
    const QList<std::optional<QVariantMap>> shapes{
        std::nullopt, QVariantMap{}, QVariantMap{{"body", "text"}}, QVariantMap{{"body", QVariantMap{{"servers", "x"}}}}};
    for (const auto& shape : shapes)
        EXPECT_TRUE(StateListener::flattenSpeedTestResponse(shape).isEmpty());
    const auto mixed = StateListener::flattenSpeedTestResponse(
        QVariantMap{{"body", QVariantMap{{"servers", QVariantList{"not a server", QVariantMap{{"n", 2}}}}}}});
    EXPECT_EQ(mixed.keys(), QStringList{"speed_test_server_2"});
}

TEST_F(StateListenerTest, ExtensionActivationReportsSetTheMatchingStatus)
{
    listen(toRaw(QuorNotificationName::ExtensionStatusChanged));
    const QString openVPN = Bundle::main().packetTunnelIdentifier();
    const QString wireGuard = Bundle::main().wireguardPacketTunnelIdentifier();
    listener->requestNeedsUserApproval(openVPN);
    EXPECT_EQ(appPreferences().openVPNSystemExtensionStatus(), SystemExtensionStatus::needsApproval);
    listener->requestFailed(wireGuard, Error(QStringLiteral("ExtensionError"), 8));
    EXPECT_EQ(appPreferences().wgSystemExtensionStatus(), SystemExtensionStatus::failed);
    EXPECT_EQ(appPreferences().wgSystemExtensionErrorCode(), 8);
    listener->requestCompleted(wireGuard, ExtensionManager::ExtensionManagerResult::WillCompleteAfterReboot);
    EXPECT_EQ(appPreferences().wgSystemExtensionStatus(), SystemExtensionStatus::pendingReboot);

    const qsizetype before = heard(toRaw(QuorNotificationName::ExtensionStatusChanged)).size();
    listener->requestCompleted(QStringLiteral("org.example.unknown"), ExtensionManager::ExtensionManagerResult::Completed);
    const auto after = heard(toRaw(QuorNotificationName::ExtensionStatusChanged));
    ASSERT_EQ(after.size(), before + 1);
    EXPECT_FALSE(after.last().notification.object.isValid());
    listener->requestCompleted(openVPN, ExtensionManager::ExtensionManagerResult::Completed);
    EXPECT_EQ(appPreferences().openVPNSystemExtensionStatus(), SystemExtensionStatus::installed);
}

}
