#include "StateListener.h"

#include "AppErrorLookup.h"
#include "Bundle.h"
#include "Factories.h"
#include "FirewallManager.h"
#include "MainQueue.h"
#include "Networking.h"
#include "NotificationCenter.h"
#include "PersonalizeServerModel.h"
#include "Quor.h"
#include "QuorDataFetcher.h"
#include "QuorSDKSetup.h"
#include "QuorVPNState.h"
#include "Scheduler.h"
#include "VpnEngineLog.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace {

// Only ever touched on the main thread.
StateListener::Counters& trafficCounters()
{
    static StateListener::Counters counters;
    return counters;
}

QString textOf(const std::optional<QString>& value)
{
    return value.value_or(QString());
}

QString describe(const QVariantMap& dictionary)
{
    return QString::fromUtf8(QJsonDocument(QJsonObject::fromVariantMap(dictionary)).toJson(QJsonDocument::Compact));
}

const QString stateNotification = toRaw(QuorNotificationName::QuorVPNStateNotification);

}

StateListener::StateListener(AppPreferences appPreference, EventTracker eventTracker,
                             PreservedPreferences preservedPreferences)
    : StateListener(std::move(appPreference), std::move(eventTracker), std::move(preservedPreferences),
                    std::make_shared<std::weak_ptr<StateListener>>())
{
}

StateListener::StateListener(AppPreferences appPreference, EventTracker eventTracker,
                             PreservedPreferences preservedPreferences, Self self)
    : QuorSDKListener(
          [self](int state) {
              if (const auto listener = self->lock())
                  listener->defaultStateChanged(state);
          },
          [self](const std::optional<quint64>& in, const std::optional<quint64>& out) {
              if (const auto listener = self->lock())
                  listener->defaultPacketsTransmitted(in, out);
          }),
      appPreference(std::move(appPreference)),
      eventTracker(std::move(eventTracker)),
      preservedPreferences(std::move(preservedPreferences)),
      makeQuor(::makeQuor),
      configureSDK([](const User& user) { configureQuorSDK(user); }),
      sentry(makeErrorSender()),
      self_(std::move(self))
{
}

StateListener::~StateListener() = default;

std::shared_ptr<StateListener> StateListener::create(AppPreferences appPreference, EventTracker eventTracker,
                                                     PreservedPreferences preservedPreferences)
{
    auto listener = std::make_shared<StateListener>(std::move(appPreference), std::move(eventTracker),
                                                    std::move(preservedPreferences));
    *listener->self_ = listener;
    return listener;
}

std::shared_ptr<QuorSDKListener> StateListener::make(AppPreferences appPreference, EventTracker eventTracker,
                                                     PreservedPreferences preservedPreferences)
{
    return create(std::move(appPreference), std::move(eventTracker), std::move(preservedPreferences));
}

void StateListener::onMain(std::function<void(StateListener&)> work)
{
    if (MainQueue::isMainThread()) {
        work(*this);
        return;
    }
    MainQueue::async([weak = weak_from_this(), work = std::move(work)] {
        if (const auto self = weak.lock())
            work(*self);
    });
}

// --- SDK delegate

void StateListener::quorManagerDidInitialized()
{
    onMain([](StateListener&) {
        NotificationCenter::defaultCenter().post(toRaw(QuorNotificationName::QuorSDKInitialized));
    });
}

void StateListener::quorManagerDidReceivedConnectedLocation(const std::optional<QuorLocation>& location,
                                                            const std::optional<Error>&)
{
    onMain([location](StateListener& self) { self.handleConnectedLocation(location); });
}

void StateListener::quorManagerDidConnect(const std::optional<QuorConnectionDetails>& details)
{
    onMain([details](StateListener& self) { self.handleConnected(details); });
}

void StateListener::quorManagerDidConnecting(const std::optional<QuorConnectionDetails>&) {}

void StateListener::quorManagerDidDisconnect(const std::optional<QuorConnectionDetails>& details)
{
    onMain([details](StateListener& self) { self.handleDisconnected(details); });
}

void StateListener::quorManagerOnUnableToAccessInternet(const std::optional<QuorConnectionDetails>& details)
{
    onMain([details](StateListener& self) { self.handleUnableToAccessInternet(details); });
}

void StateListener::quorManagerOnRedialing(const std::optional<QuorConnectionDetails>& details,
                                           const std::optional<Error>& error)
{
    onMain([details, error](StateListener& self) { self.handleRedialing(details, error); });
}

void StateListener::quorManagerDialErrorReceived(const std::optional<Error>& error,
                                                 const std::optional<QuorConnectionDetails>& details)
{
    onMain([details, error](StateListener& self) { self.handleDialFailure(error, details); });
}

// --- extension manager delegate

void StateListener::requestNeedsUserApproval(const QString& bundleIdentifier)
{
    onMain([bundleIdentifier](StateListener& self) {
        self.setExtensionStatus(bundleIdentifier, SystemExtensionStatus::needsApproval, std::nullopt);
    });
}

void StateListener::requestFailed(const QString& bundleIdentifier, const Error& error)
{
    onMain([bundleIdentifier, code = error.code](StateListener& self) {
        self.setExtensionStatus(bundleIdentifier, SystemExtensionStatus::failed, code);
    });
}

void StateListener::requestCompleted(const QString& bundleIdentifier, ExtensionManager::ExtensionManagerResult result)
{
    onMain([bundleIdentifier, result](StateListener& self) {
        switch (result) {
        case ExtensionManager::ExtensionManagerResult::Completed:
            self.setExtensionStatus(bundleIdentifier, SystemExtensionStatus::installed, std::nullopt);
            NotificationCenter::defaultCenter().post(toRaw(QuorNotificationName::ExtensionStatusChanged));
            break;
        case ExtensionManager::ExtensionManagerResult::WillCompleteAfterReboot:
            self.setExtensionStatus(bundleIdentifier, SystemExtensionStatus::pendingReboot, std::nullopt);
            break;
        }
    });
}

void StateListener::setExtensionStatus(const QString& bundleIdentifier, SystemExtensionStatus status,
                                       std::optional<qint64> errorCode)
{
    const Bundle& bundle = Bundle::main();
    if (bundleIdentifier == bundle.packetTunnelIdentifier()) {
        appPreference.setOpenVPNSystemExtensionStatus(status);
        if (errorCode)
            appPreference.setOpenVPNSystemExtensionErrorCode(*errorCode);
    } else if (bundleIdentifier == bundle.wireguardPacketTunnelIdentifier()) {
        appPreference.setWgSystemExtensionStatus(status);
        if (errorCode)
            appPreference.setWgSystemExtensionErrorCode(*errorCode);
    } else {
        qCInfo(lcVpnEngine) << "No need to handle this";
    }
}

// --- raw closures

void StateListener::defaultStateChanged(int state)
{
    onMain([state](StateListener& self) {
        if (state == toRaw(QuorVPNState::Connecting) || state == toRaw(QuorVPNState::FindingServer))
            self.postConnecting();
        else if (state == toRaw(QuorVPNState::Connected))
            NotificationCenter::defaultCenter().post(toRaw(QuorNotificationName::ConnectionEstablished));
    });
}

void StateListener::defaultPacketsTransmitted(const std::optional<quint64>& bytesIn, const std::optional<quint64>& bytesOut)
{
    onMain([in = bytesIn.value_or(0), out = bytesOut.value_or(0)](StateListener&) {
        Counters& c = trafficCounters();
        qCDebug(lcVpnEngine).noquote() << QStringLiteral("[DATA TRANSMITTED] %1 || %2").arg(c.lastBytesIn).arg(c.lastBytesOut);
        QuorDataTransmission transmission;
        if (c.lastBytesIn != 0 && c.lastBytesOut != 0) {
            // A count that went backwards (the SDK started counting again) adds nothing.
            c.totalBytesIn += in >= c.lastBytesIn ? in - c.lastBytesIn : 0;
            c.totalBytesOut += out >= c.lastBytesOut ? out - c.lastBytesOut : 0;
            transmission = {c.totalBytesIn, c.totalBytesOut};
        }
        c.lastBytesIn = in;
        c.lastBytesOut = out;
        NotificationCenter::defaultCenter().post(toRaw(QuorNotificationName::QuorManagerTransmittedPackets),
                                                 QVariant::fromValue(transmission));
    });
}

StateListener::Counters StateListener::counters()
{
    return trafficCounters();
}

void StateListener::resetCounters()
{
    trafficCounters() = Counters{};
}

// --- handlers

void StateListener::handleConnected(const std::optional<QuorConnectionDetails>& details)
{
    if (!details)
        return;
    const AppPreferences::LastConnection last = rewrittenLastConnection(std::nullopt, details);
    appPreference.setLastConnection(last);
    appPreference.setServerToAddInRecent(last.server);
    appPreference.defaults.setBool(true, isConnectedSuccessfullyKey);
    if (details->protocol && details->protocol->protocol) {
        preservedPreferences.setDialedProtocol(
            VPNProtocols::fromSdkName(*details->protocol->protocol).value_or(VPNProtocol::IKEv2));
    }
    eventTracker.track(EventTracker::Event::ttc, merged(connectionProperties(Outcome::ttc, details), details));
    const QVariantMap connected = merged(connectionProperties(Outcome::connected, details), details);
    appPreference.setMixpanelConnectedProperties(connected);
    eventTracker.track(EventTracker::Event::connected, connected);
    postConnected(*details);
    const QuorDataFetcherServer::Ptr candidate = appPreference.serverToAddInRecent();
    if (candidate && !candidate->id.isEmpty())
        makeQuorDataFetcher()->addToRecents(candidate);
}

void StateListener::handleDisconnected(const std::optional<QuorConnectionDetails>& details)
{
    if (!details)
        return;
    Counters& c = trafficCounters();
    c.totalBytesIn = 0;
    c.totalBytesOut = 0;

    if (details->isCancelled) {
        appPreference.setExculdedIdentifiersForSwitchServer(QStringList{});
        appPreference.setLastFeedbackConnectionId(appPreference.onGoingConnectionId());
        eventTracker.track(EventTracker::Event::cancelled, merged(connectionProperties(Outcome::cancelled, details), details));
        postDisconnectedCancelled();
        return;
    }

    eventTracker.track(EventTracker::Event::disconnected, merged(connectionProperties(Outcome::disconnected, details), details));
    const int type = details->disconnectionType;
    if (type == 1 || type == 2) {
        if (type == 1)
            appPreference.setExculdedIdentifiersForSwitchServer(QStringList{});
        postDisconnected(*details);
        if (preservedPreferences.enableIKS())
            FirewallManager::shared()->disableFirewall([](bool) {});
        return;
    }

    postDisconnected(*details);
    const bool iks = preservedPreferences.enableIKS();
    if (preservedPreferences.autoReconnectOnConnectionDrop() && networkReachable()) {
        if (iks)
            eventTracker.track(EventTracker::Event::blockInternetIks, QVariantMap{{QStringLiteral("reason"), QStringLiteral("VPN issue")}});
        if (iks && preservedPreferences.selectedProtocol() == VPNProtocol::WireGuard) {
            const auto lookup = AppErrorLookup::shared();
            postUnableToConnect(lookup ? lookup->wireGuardKillSwitchError() : nullptr, QVariantMap{});
        } else {
            const std::optional<AppPreferences::LastConnection> last = appPreference.lastConnection();
            const bool dedicated = last && last->server && last->server->type == QuorDataFetcherServer::Type::DedicatedIp;
            if (!dedicated) {
                if (const auto wrapper = quor())
                    wrapper->reconnect();
            }
        }
        appPreference.setLastConnection(rewrittenLastConnection(QuorConnectionInitiatedBy::AutoReconnect, std::nullopt));
    } else if (iks) {
        eventTracker.track(EventTracker::Event::blockInternetIks, QVariantMap{{QStringLiteral("reason"), QStringLiteral("Internet issue")}});
    }
}

void StateListener::handleRedialing(const std::optional<QuorConnectionDetails>& details, const std::optional<Error>& error)
{
    if (!details)
        return;
    const QVariantMap properties = merged(connectionProperties(Outcome::redialing, details, error), details);
    const auto lookup = AppErrorLookup::shared();
    const auto entry = lookup ? lookup->lookup(error ? std::optional<int>(error->code) : std::nullopt) : nullptr;
    postRedialing(entry, properties);
    eventTracker.track(EventTracker::Event::utc, properties);
}

void StateListener::handleDialFailure(const std::optional<Error>& error, const std::optional<QuorConnectionDetails>& details)
{
    if (error && (error->code == Quor::sdkAlreadyConnected || error->code == Quor::sdkConnectionInProgress))
        return;
    appPreference.setLastFeedbackConnectionId(appPreference.onGoingConnectionId());
    if (error && error->code == Quor::sameServerDisconnectFirst && configureSDK)
        configureSDK(makeUser());
    const QVariantMap properties = merged(connectionProperties(Outcome::dialFailure, details, error), details);
    const auto lookup = AppErrorLookup::shared();
    const auto entry = lookup ? lookup->lookup(error ? std::optional<int>(error->code) : std::nullopt) : nullptr;
    postUnableToConnect(entry, properties);
    eventTracker.track(EventTracker::Event::utc, properties);
}

void StateListener::postDisconnected(const QuorConnectionDetails& details)
{
    if (details.isDisconnectedManually) {
        if (const auto wrapper = quor(); wrapper && wrapper->quorManager) {
            if (wrapper->quorManager->getCurrentVPNStatus() != toRaw(QuorVPNState::Connected)) {
                wrapper->quorManager->getRecommendedLocation(
                    [wrapper](const std::optional<QuorLocation>& location) {
                        MainQueue::asyncIfNeeded([wrapper, location] { wrapper->handleRecommendedLocation(location); });
                    },
                    [wrapper](const std::optional<Error>& error) {
                        MainQueue::asyncIfNeeded([wrapper, error] { wrapper->handleRecommendedLocationError(error); });
                    });
            }
        }
        appPreference.setManualDisconnectionCount(appPreference.manualDisconnectionCount() + 1);
    }
    QuorConnectionInfo info = detailsInfo(details, QuorConnectionState::Disconnected);
    info.manualDisconnection = details.isDisconnectedManually;
    post(info);
}

void StateListener::postUnableToBrowse(const QuorConnectionDetails& details)
{
    postState(details, QuorConnectionState::UnableToBrowse);
}

void StateListener::postConnected(const QuorConnectionDetails& details)
{
    postState(details, QuorConnectionState::Connected);
}

void StateListener::postDisconnectedCancelled()
{
    QuorConnectionInfo info = stateInfo(QuorConnectionState::Disconnected);
    info.cancelled = true;
    post(info);
}

void StateListener::postRedialing(const std::shared_ptr<const AppError>& error, const QVariantMap& properties)
{
    QuorConnectionInfo info = stateInfo(QuorConnectionState::Redialing);
    info.error = error;
    post(info, properties);
}

void StateListener::postUnableToConnect(const std::shared_ptr<const AppError>& error, const QVariantMap& properties)
{
    QuorConnectionInfo info = stateInfo(QuorConnectionState::UnableToConnect);
    info.error = error;
    post(info, properties);
}

void StateListener::postConnecting()
{
    post(stateInfo(QuorConnectionState::Connecting));
}

void StateListener::postState(const QuorConnectionDetails& details, QuorConnectionState state)
{
    post(detailsInfo(details, state));
}

QuorConnectionInfo StateListener::detailsInfo(const QuorConnectionDetails& details, QuorConnectionState state) const
{
    QuorConnectionInfo info = stateInfo(state);
    info.connectedTo = details.country;
    info.connectedIp = details.serverIp;
    info.connectionDns = details.serverAddress;
    info.selectedProtocol = Quor::selectedProtocolName(preservedPreferences);
    info.dialedProtocol = details.protocol ? textOf(details.protocol->protocol) : QString();
    info.quantumResistentServer = details.isDialedWithQuantumResistantServer;
    info.obfuscationEnabled = details.IsDialedWithOVPNObfuscatedServer;
    return info;
}

// The bare state: stored connection id, empty protocol texts, flags false.
QuorConnectionInfo StateListener::stateInfo(QuorConnectionState state) const
{
    QuorConnectionInfo info;
    info.state = state;
    info.connectionId = appPreference.onGoingConnectionId();
    info.connectionDns = QString();
    info.selectedProtocol = QString();
    info.dialedProtocol = QString();
    info.quantumResistentServer = false;
    info.obfuscationEnabled = false;
    return info;
}

void StateListener::post(const QuorConnectionInfo& info, const QVariantMap& userInfo)
{
    NotificationCenter::defaultCenter().post(stateNotification, QVariant::fromValue(info), userInfo);
}

void StateListener::handleConnectedLocation(const std::optional<QuorLocation>& location)
{
    const QVariant ip = location && location->ip ? QVariant(*location->ip) : QVariant::fromValue(nullptr);
    NotificationCenter::defaultCenter().post(fetchIPNotification, QVariant(), QVariantMap{{QStringLiteral("ip"), ip}});
    if (!preservedPreferences.enableIKS())
        return;
    Scheduler::main().schedule(1.0, [weak = weak_from_this(), location] {
        if (const auto self = weak.lock())
            self->enableKillSwitch(location);
    });
}

void StateListener::enableKillSwitch(const std::optional<QuorLocation>& location)
{
    const QString ip = location && location->ip ? *location->ip : QString();
    if (ip.isEmpty()) {
        qCWarning(lcVpnEngine) << "Kill switch not armed: the connected location has no address";
        sentry.send(Quor::connectedLocationError(std::nullopt));
        return;
    }
    const auto wrapper = quor();
    const VPNProtocol dialed = wrapper ? wrapper->preservedPreferences.dialedProtocol() : preservedPreferences.dialedProtocol();
    FirewallManager::shared()->enableFirewall(ip, VPNProtocols::sdkName(dialed), [](bool) {});
}

void StateListener::handleUnableToAccessInternet(const std::optional<QuorConnectionDetails>& details)
{
    if (!networkReachable() || !details)
        return;
    eventTracker.track(EventTracker::Event::utb, merged(unableToBrowseProperties(*details), details));
    postUnableToBrowse(*details);
}

// --- analytics

StateListener::Properties StateListener::connectionProperties(Outcome outcome,
                                                              const std::optional<QuorConnectionDetails>& details,
                                                              const std::optional<Error>& error) const
{
    const std::optional<AppPreferences::LastConnection> last = appPreference.lastConnection();
    const auto raw = [&last](auto field) { return last ? toRaw(field(*last)) : QString(); };
    const std::optional<QString> code = last && last->server ? std::optional<QString>(last->server->code) : std::nullopt;
    const QuorConnectionDetails d = details.value_or(QuorConnectionDetails{});
    // A dial failure without details reports a first attempt and no filter or timing.
    const bool bare = !details && outcome == Outcome::dialFailure;

    Properties p;
    const auto add = [&p](const char* key, QVariant value) { p.append({QString::fromLatin1(key), std::move(value)}); };
    add("server_ip", textOf(d.serverIp));
    add("server_dns", textOf(d.serverAddress));
    if (outcome != Outcome::redialing)
        add("is_dialed_with_quantum_server", d.isDialedWithQuantumResistantServer);
    add("selected_protocol_name", Quor::selectedProtocolName(preservedPreferences));
    add("dialed_protocol_name", d.protocol ? textOf(d.protocol->protocol) : QString());
    const bool located = outcome != Outcome::ttc;
    if (located) {
        add("connect_via", raw([](const AppPreferences::LastConnection& l) { return l.connectVia; }));
        add("selected_interface", raw([](const AppPreferences::LastConnection& l) { return l.selectedInterface; }));
        add("selected_interface_screen", raw([](const AppPreferences::LastConnection& l) { return l.selectedInterfaceScreen; }));
        add("connection_initiated_by", raw([](const AppPreferences::LastConnection& l) { return l.connectionInitiatedBy; }));
        add("selected_location", last && last->server ? last->server->name : QString());
        add("dialed_location", locationName(details));
    }
    add("iks_enabled", preservedPreferences.enableIKS());
    add("auto_reconnect", preservedPreferences.autoReconnectOnConnectionDrop());
    add("personalise_server_selection_enabled", preservedPreferences.enablePersonaliseServer());
    add("is_filtered_server", bare ? QVariant(QString()) : QVariant(d.isFiltered));
    add("is_filtered_server_requested",
        PersonalizeServerModel(preservedPreferences, appPreference).isFilteredServerRequested());
    add("nas_identifier", textOf(d.nasIdentifier));
    add("included_nas_identifiers", preservedPreferences.likedServers(code).value_or(QString()));
    add("excluded_nas_identifiers", preservedPreferences.dislikedServers(code).value_or(QString()));
    add("connection_attempts", bare ? QStringLiteral("1") : QString::number(d.connectionAttempts));
    add("connection_method", textOf(d.connectionMethod));
    add("session_id", textOf(d.sessionId));
    add("time_between_connect_cancel", bare ? QVariant(QString()) : QVariant(d.timeElapsedSinceConnect));
    add("connect_with_failover", textOf(d.fastestServerFindingMethod));
    add("is_connection_over_connection", d.disconnectionType == 2);
    if (located)
        add("connect_to_fallback", preservedPreferences.connectToFallback());
    add("speed_test_response", d.fastestServerFindingApiResponse ? describe(*d.fastestServerFindingApiResponse) : QString());

    switch (outcome) {
    case Outcome::ttc:
        add("time_to_connect_server", d.timeTakenToConnectServer);
        add("time_to_find_server", d.timeTakenToFindFastestServer);
        break;
    case Outcome::disconnected:
        add("auto_dc", !d.isDisconnectedManually);
        break;
    case Outcome::redialing:
    case Outcome::dialFailure:
        add("quor_inner_exception_code", error ? error->code : -1);
        add("quor_inner_exception_message", error ? error->message : QString());
        add("shown", outcome == Outcome::dialFailure);
        break;
    case Outcome::connected:
    case Outcome::cancelled:
        break;
    }
    return p;
}

StateListener::Properties StateListener::unableToBrowseProperties(const QuorConnectionDetails& d) const
{
    const std::optional<AppPreferences::LastConnection> last = appPreference.lastConnection();
    const auto raw = [&last](auto field) { return last ? toRaw(field(*last)) : QString(); };
    const std::optional<QString> code = last && last->server ? std::optional<QString>(last->server->code) : std::nullopt;
    // The personalised-server flag of the current VPN user, read through fresh stores.
    const bool requested = PersonalizeServerModel(makePreservedPreferences(), makeAppPreferences()).isFilteredServerRequested();
    return {
        {QStringLiteral("server_ip"), textOf(d.serverIp)},
        {QStringLiteral("is_dialed_with_quantum_server"), d.isDialedWithQuantumResistantServer},
        {QStringLiteral("server_dns"), textOf(d.serverAddress)},
        {QStringLiteral("selected_protocol_name"), Quor::selectedProtocolName(preservedPreferences)},
        {QStringLiteral("dialed_protocol_name"), d.protocol ? textOf(d.protocol->protocol) : QString()},
        {QStringLiteral("selected_location"), last && last->server ? last->server->name : QString()},
        {QStringLiteral("dialedLocation"), locationName(d)},
        {QStringLiteral("connect_via"), raw([](const AppPreferences::LastConnection& l) { return l.connectVia; })},
        {QStringLiteral("selected_interface"), raw([](const AppPreferences::LastConnection& l) { return l.selectedInterface; })},
        {QStringLiteral("selected_interface_screen"),
         raw([](const AppPreferences::LastConnection& l) { return l.selectedInterfaceScreen; })},
        {QStringLiteral("connection_initiated_by"),
         raw([](const AppPreferences::LastConnection& l) { return l.connectionInitiatedBy; })},
        {QStringLiteral("iks_enabled"), preservedPreferences.enableIKS()},
        {QStringLiteral("auto_reconnect"), preservedPreferences.autoReconnectOnConnectionDrop()},
        {QStringLiteral("personalise_server_selection_enabled"), preservedPreferences.enablePersonaliseServer()},
        {QStringLiteral("is_filtered_server"), d.isFiltered},
        {QStringLiteral("is_filtered_server_requested"), requested},
        {QStringLiteral("nas_identifier"), textOf(d.nasIdentifier)},
        {QStringLiteral("included_nas_identifiers"), preservedPreferences.likedServers(code).value_or(QString())},
        {QStringLiteral("excluded_nas_identifiers"), preservedPreferences.dislikedServers(code).value_or(QString())},
        {QStringLiteral("connection_attempts"), QString::number(d.connectionAttempts)},
        {QStringLiteral("connection_method"), textOf(d.connectionMethod)},
        {QStringLiteral("session_id"), textOf(d.sessionId)},
        {QStringLiteral("time_between_connect_cancel"), d.timeElapsedSinceConnect},
        {QStringLiteral("connect_with_failover"), textOf(d.fastestServerFindingMethod)},
        {QStringLiteral("is_connection_over_connection"), d.disconnectionType == 2},
        {QStringLiteral("connect_to_fallback"), preservedPreferences.connectToFallback()},
        {QStringLiteral("speed_test_response"),
         d.fastestServerFindingApiResponse ? describe(*d.fastestServerFindingApiResponse) : QString()},
    };
}

QMap<QString, QString> StateListener::flattenSpeedTestResponse(const std::optional<QVariantMap>& response)
{
    QMap<QString, QString> flat;
    if (!response)
        return flat;
    const QVariant body = response->value(QStringLiteral("body"));
    if (body.typeId() != QMetaType::QVariantMap)
        return flat;
    const QVariant servers = body.toMap().value(QStringLiteral("servers"));
    if (servers.typeId() != QMetaType::QVariantList)
        return flat;
    const QVariantList list = servers.toList();
    // An element that is not a dictionary is skipped; the numbering keeps each server's position.
    for (qsizetype i = 0; i < list.size(); ++i) {
        if (list.at(i).typeId() == QMetaType::QVariantMap)
            flat.insert(QStringLiteral("speed_test_server_%1").arg(i + 1), describe(list.at(i).toMap()));
    }
    return flat;
}

QVariantMap StateListener::merged(const Properties& properties, const std::optional<QuorConnectionDetails>& details)
{
    QVariantMap map;
    for (const auto& [key, value] : properties)
        map.insert(key, value);
    QVariantMap flat;
    const auto servers = flattenSpeedTestResponse(details ? details->fastestServerFindingApiResponse : std::nullopt);
    for (auto it = servers.cbegin(); it != servers.cend(); ++it)
        flat.insert(it.key(), it.value());
    return Quor::mergeAnalytics(flat, map);
}

QString StateListener::locationName(const std::optional<QuorConnectionDetails>& details)
{
    if (!details)
        return QString();
    if (details->city && details->city->name && !details->city->name->isEmpty())
        return *details->city->name;
    return textOf(details->country);
}

// --- helpers

AppPreferences::LastConnection StateListener::rewrittenLastConnection(
    std::optional<QuorConnectionInitiatedBy> initiatedBy, const std::optional<QuorConnectionDetails>& details) const
{
    const std::optional<AppPreferences::LastConnection> stored = appPreference.lastConnection();
    AppPreferences::LastConnection last = stored.value_or(AppPreferences::LastConnection{
        QuorSelectedInterface::Recommended, QuorConnectVia::Country, QuorSelectedInterfaceScreen::Dashboard,
        QuorConnectionInitiatedBy::User,
        QuorDataFetcherServer::make(QString(), QString(), QuorDataFetcherServer::Type::Country, QString()), QString(),
        false, false});
    if (!last.server)
        last.server = QuorDataFetcherServer::make(QString(), QString(), QuorDataFetcherServer::Type::Country, QString());
    if (initiatedBy)
        last.connectionInitiatedBy = *initiatedBy;
    last.nasIdentifier = details ? textOf(details->nasIdentifier) : QString();
    last.dialedWithQRServer = details && details->isDialedWithQuantumResistantServer;
    last.isDialedWithOVPNObfuscatedServer = details && details->IsDialedWithOVPNObfuscatedServer;
    return last;
}

bool StateListener::networkReachable() const
{
    const auto* networking = dynamic_cast<const Networking*>(networkingManager ? networkingManager : &Networking::shared());
    // No monitor, or one that cannot tell yet, counts as reachable.
    return !networking || !networking->reachablityManager ||
           networking->reachablityManager->status() != Reachability::Status::NotReachable;
}

std::shared_ptr<Quor> StateListener::quor() const
{
    return makeQuor ? makeQuor() : nullptr;
}
