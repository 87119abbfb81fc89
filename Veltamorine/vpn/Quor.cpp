#include "Quor.h"

#include "Bundle.h"
#include "ExtensionManager.h"
#include "Factories.h"
#include "MainQueue.h"
#include "Networking.h"
#include "NotificationCenter.h"
#include "PersonalizeServerModel.h"
#include "QuorDataFetcher.h"
#include "QuorError.h"
#include "QuorManager.h"
#include "QuorSmartConnectTag.h"
#include "QuorVPNState.h"
#include "Scheduler.h"
#include "UserDefaultsCodable.h"
#include "VpnEngineLog.h"

#include <QApplication>
#include <QLocale>
#include <QMessageBox>
#include <QMutex>
#include <QWidget>

namespace {

// Seconds between 1970-01-01 and 2001-01-01, the reference date of connection ids.
constexpr double referenceDateOffset = 978307200.0;

QMutex& presenterMutex()
{
    static QMutex m;
    return m;
}

Quor::ExtensionNoticePresenter& presenter()
{
    static Quor::ExtensionNoticePresenter p;
    return p;
}

void showNoticeOnFirstWindow(const Quor::ExtensionNotice& notice)
{
    QWidget* window = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->isWindow() && !qobject_cast<QMessageBox*>(widget)) {
            window = widget;
            break;
        }
    }
    if (!window)
        return;
    auto* box = new QMessageBox(QMessageBox::Information, notice.title, notice.message, QMessageBox::NoButton, window);
    box->addButton(notice.primaryButton, QMessageBox::AcceptRole);
    box->setWindowModality(Qt::WindowModal);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

Error refusal(const QString& domain, int code, const QString& description)
{
    return Error(domain, code, description);
}

QString rawOrEmpty(const std::optional<AppPreferences::LastConnection>& last, auto field)
{
    return last ? toRaw(field(*last)) : QString();
}

}

Quor::Quor(QuorManagerProtocol* quorManager, ErrorSender sentry, std::shared_ptr<QuorDataFetcher> quorDataFetcher,
           User user, AppPreferences appPreference, EventTracker eventTracker,
           PreservedPreferences preservedPreferences, NetworkingProtocol* networkingManager)
    : quorManager(quorManager), sentry(std::move(sentry)), quorDataFetcher(std::move(quorDataFetcher)),
      user(std::move(user)), appPreference(std::move(appPreference)), eventTracker(std::move(eventTracker)),
      preservedPreferences(std::move(preservedPreferences)), networkingManager(networkingManager)
{
}

Quor::~Quor() = default;

// --- requests

void Quor::connect(const Server::Ptr& to, ConnectVia connectVia, SelectedInterfaceScreen screen,
                   ConnectionInitiatedBy initiatedBy, SelectedInterface selectedInterface, bool fallback,
                   bool refuseWhenBusy, Completion completion)
{
    if (!to)
        return;
    NotificationCenter::defaultCenter().post(toRaw(NotificationName::QuorVPNConnectionRequestedNotification),
                                             QVariant::fromValue(to));
    LastConnection record{selectedInterface, connectVia, screen, initiatedBy, to, QString(), false, false};
    switch (to->type) {
    case Server::Type::Country:
        connectToCountry(*to, record, refuseWhenBusy, std::move(completion));
        break;
    case Server::Type::City:
        connectToCity(*to, record, refuseWhenBusy, std::move(completion));
        break;
    case Server::Type::DedicatedIp:
        connectToDedicatedIP(to->hosts.value_or(QList<DedicatedIPHost>{}), record, fallback, refuseWhenBusy,
                             std::move(completion));
        break;
    case Server::Type::FastestServer:
    case Server::Type::Shortcut:
        break;
    }
}

void Quor::smartConnect(ConnectVia connectVia, SelectedInterfaceScreen screen, ConnectionInitiatedBy initiatedBy,
                        SelectedInterface selectedInterface, bool refuseWhenBusy, Completion completion)
{
    const Server::Ptr recommended = appPreference.recommendedServer();
    const QString id = recommended ? recommended->id : QString();
    const Server::Ptr row = Server::make(id, recommended ? recommended->name : QString(), Server::Type::FastestServer, id);
    NotificationCenter::defaultCenter().post(toRaw(NotificationName::QuorVPNConnectionRequestedNotification),
                                             QVariant::fromValue(row));
    QuorProperties properties = QuorProperties::initWithProtocol(
        QuorProtocol(QStringLiteral("IPSEC")),
        {toRaw(QuorSmartConnectTag::Fastest), toRaw(QuorSmartConnectTag::Recommended)});
    LastConnection record{selectedInterface, connectVia, screen, initiatedBy, row, QString(), false, false};
    if (!completion) {
        completion = [](const std::optional<Error>& error) {
            if (error)
                qCInfo(lcVpnEngine).noquote() << "Quick connect connection error: " + error->message;
        };
    }
    performConnect(std::move(properties), ConnectVia::SmartConnect, record, refuseWhenBusy, std::move(completion));
}

void Quor::connectToCountry(const Server& server, const LastConnection& record, bool refuseWhenBusy,
                            Completion completion)
{
    const QList<QuorCountry> cached =
        UserDefaultsCodable::array<QuorCountry>(appPreference.defaults, AppPreferences::countriesKey())
            .value_or(QList<QuorCountry>{});
    QuorCountry country;
    if (!cached.isEmpty()) {
        const auto found = std::find_if(cached.cbegin(), cached.cend(),
                                        [&server](const QuorCountry& c) { return c.country == server.id; });
        if (found == cached.cend())
            return;
        country = *found;
    } else {
        country.country = server.id;
        country.name = server.name;
        country.iso_code = server.code;
    }
    QuorProperties properties = buildConnectProperties(QuorProperties::initWithCountry(country, std::nullopt), record);
    performConnect(std::move(properties), ConnectVia::Country, record, refuseWhenBusy, std::move(completion));
}

void Quor::connectToCity(const Server& server, const LastConnection& record, bool refuseWhenBusy, Completion completion)
{
    const QList<QuorCountry> cached =
        UserDefaultsCodable::array<QuorCountry>(appPreference.defaults, AppPreferences::countriesKey())
            .value_or(QList<QuorCountry>{});
    const QList<QuorCity> cities = matchingCities(cached, server);
    if (cities.isEmpty())
        return;
    QuorProperties properties = buildConnectProperties(QuorProperties::initWithCity(cities.first(), std::nullopt), record);
    performConnect(std::move(properties), ConnectVia::City, record, refuseWhenBusy, std::move(completion));
}

void Quor::connectToDedicatedIP(const QList<DedicatedIPHost>& hosts, const LastConnection& record, bool fallback,
                                bool refuseWhenBusy, Completion completion)
{
    const std::optional<QuorProtocol> chosen = quorProtocol(fallback);
    if (!chosen) {
        if (completion)
            completion(refusal(veltamorineErrorDomain, protocolNotSupported, QStringLiteral("Selected protocol not supported")));
        return;
    }
    const QList<QuorMultipleDNS> entries = orderedDedicatedHosts(hosts, chosen);
    if (entries.isEmpty()) {
        if (completion)
            completion(refusal(veltamorineErrorDomain, hostsNotFound, QStringLiteral("Hosts not Found")));
        return;
    }
    performConnect(QuorProperties::initWithMultipleDedicatedHost(entries, chosen), ConnectVia::DedicatedIp, record,
                   refuseWhenBusy, std::move(completion));
}

QList<QuorMultipleDNS> Quor::orderedDedicatedHosts(const QList<DedicatedIPHost>& hosts,
                                                   const std::optional<QuorProtocol>& chosen)
{
    QList<QuorMultipleDNS> entries;
    for (const DedicatedIPHost& host : hosts)
        entries.append(QuorMultipleDNS(host.dns, QuorProtocol(host.serverProtocol)));
    const std::optional<QString> wanted = chosen ? chosen->name() : std::nullopt;
    // Each match is swapped with the front as it is met, so the last match ends in front.
    for (qsizetype i = 0; i < entries.size(); ++i) {
        if (entries.at(i).protocol.name() == wanted)
            entries.swapItemsAt(0, i);
    }
    return entries;
}

std::optional<QuorProtocol> Quor::quorProtocol(bool forFallback) const
{
    const QString name = VPNProtocols::sdkName(preservedPreferences.selectedProtocol());
    if (name != QStringLiteral("IPSEC") && name != QStringLiteral("WireGuard"))
        return QuorProtocol(name);
    if (preservedPreferences.automaticProtocol() || forFallback)
        return QuorProtocol(QStringLiteral("IKEV"));
    return std::nullopt;
}

void Quor::reconnect()
{
    if (!quorManager)
        return;
    appPreference.setOnGoingConnectionId(newConnectionId());
    quorManager->setDoCheckInternetConnectivity(false);
    quorManager->reconnectVPN();
}

void Quor::pingDedicatedIPServer(Completion completion)
{
    const Server::Ptr server = preservedPreferences.dedicatedServer();
    if (!server || !quorManager)
        return;
    const QString address = server->hosts && !server->hosts->isEmpty() ? server->hosts->first().dns : server->host;
    QuorDedicatedIPServerPing ping(address);
    ping.serverIP = server->ip;
    const std::shared_ptr<Quor> self = weak_from_this().lock();
    const std::weak_ptr<int> alive = alive_;
    quorManager->pingDedicatedIPServer(
        ping,
        [this, self, alive, server, completion](const std::optional<QuorDedicatedIPServerPingResult>& result) {
            MainQueue::asyncIfNeeded([this, self, alive, server, completion, result] {
                if (!alive.expired()) {
                    server->latency = result && result->latency ? qint64(*result->latency) : Server::notMeasured;
                    preservedPreferences.setDedicatedServer(server);
                }
                if (completion)
                    completion(std::nullopt);
            });
        },
        [this, self, alive, completion](const std::optional<Error>& error) {
            MainQueue::asyncIfNeeded([this, self, alive, completion, error] {
                if (!alive.expired() && error)
                    sentry.send(*error);
                if (completion)
                    completion(error);
            });
        });
}

void Quor::reportConnectFailure(const Error& error, ConnectVia kind, const QuorProperties& properties)
{
    QString value;
    switch (kind) {
    case ConnectVia::SmartConnect: {
        QStringList tags;
        for (int tag : properties.tags)
            tags.append(QString::number(tag));
        value = QLatin1Char('[') + tags.join(QStringLiteral(", ")) + QLatin1Char(']');
        break;
    }
    case ConnectVia::Country:
        value = properties.country ? properties.country->name.value_or(QString()) : QString();
        break;
    case ConnectVia::City:
        value = properties.city ? properties.city->name.value_or(QString()) : QString();
        break;
    case ConnectVia::DedicatedIp:
        value = properties.dedicatedHostName().value_or(QString());
        break;
    case ConnectVia::Shortcut:
        value = properties.channel.value_or(QString());
        break;
    }
    if (error.code == sdkConnectionInProgress || error.code == sdkAlreadyConnected)
        return;
    const QString protocol = properties.protocol ? properties.protocol->name().value_or(QString()) : QString();
    sentry.send(error, QVariantMap{{QStringLiteral("Type"), toRaw(kind)},
                                   {QStringLiteral("Value"), value},
                                   {QStringLiteral("Protocol"), protocol}});
}

void Quor::reportRecommendedLocationFailure(const std::optional<Error>& error)
{
    eventTracker.track(EventTracker::Event::recommendedLocationResponse,
                       QVariantMap{{QStringLiteral("succeed"), false}, {QStringLiteral("name"), QString()}});
    sentry.send(error.value_or(refusal(veltamorineErrorDomainLong, recommendedLocationNotUpdated,
                                       QStringLiteral("QuorSDK failed to update recommended location."))));
}

// --- the connect routine

QuorProperties Quor::buildConnectProperties(QuorProperties properties, const std::optional<LastConnection>& record) const
{
    if (preservedPreferences.automaticProtocol()) {
        properties.useLastSuccessfulDialedProtocol = true;
    } else {
        const QString name = VPNProtocols::sdkName(preservedPreferences.selectedProtocol());
        properties.protocol = QuorProtocol(name);
        const bool fallback = preservedPreferences.connectToFallback();
        if (!fallback) {
            // Every fall-back stays on the chosen protocol.
            properties.secondaryProtocol = QuorProtocol(name);
            properties.tertiaryProtocol = QuorProtocol(name);
        }
        properties.enableProtocolSwitch = fallback;
    }

    if (record && record->selectedInterface == SelectedInterface::SwitchServer) {
        QList<ServerFilter> filters;
        for (const QString& identifier : appPreference.exculdedIdentifiersForSwitchServer().value_or(QStringList{}))
            filters.append(ServerFilter(identifier, ServerFilter::Exclude));
        properties.serverFilters = filters;
        return properties;
    }

    if (!preservedPreferences.enablePersonaliseServer() || !record || !record->server)
        return properties;
    const auto records = preservedPreferences.personalizeServer();
    if (!records || records->isEmpty() || !records->contains(record->server->code))
        return properties;
    if (record->selectedInterface == SelectedInterface::Recent || record->selectedInterface == SelectedInterface::Favorite) {
        QList<ServerFilter> filters;
        for (const auto& entry : records->value(record->server->code))
            filters.append(ServerFilter(entry.identifier, entry.liked ? ServerFilter::Include : ServerFilter::Exclude));
        properties.serverFilters = filters;
    }
    return properties;
}

void Quor::performConnect(QuorProperties properties, ConnectVia connectVia, const std::optional<LastConnection>& record,
                          bool refuseWhenBusy, Completion completion)
{
    const auto refuse = [&completion](const Error& error) {
        if (completion)
            completion(error);
    };
    if (!quorManager) {
        // Only before the SDK set-up, which the application runs first thing at launch.
        qCWarning(lcVpnEngine) << "connect asked before the VPN SDK was set up";
        refuse(QuorError::make(QuorError::MissingCredentials));
        return;
    }

    if (connectVia != ConnectVia::DedicatedIp && preservedPreferences.selectedProtocolNeedsSystemExtension()) {
        showExtensionRequiredNotice();
        return;
    }

    qCInfo(lcVpnEngine) << "installing extension from connect method";
    if (!preservedPreferences.automaticProtocol()) {
        const auto identifier = [](const QString& value) {
            return value.isEmpty() ? std::nullopt : std::optional<QString>(value);
        };
        switch (preservedPreferences.selectedProtocol()) {
        case VPNProtocol::TCP:
        case VPNProtocol::UDP:
            ExtensionManager::shared().activate(identifier(Bundle::main().packetTunnelIdentifier()));
            break;
        case VPNProtocol::WireGuard:
            ExtensionManager::shared().activate(identifier(Bundle::main().wireguardPacketTunnelIdentifier()));
            break;
        case VPNProtocol::IPSec:
        case VPNProtocol::IKEv2:
            qCInfo(lcVpnEngine) << "installing extension from connect method";
            break;
        }
    }

    const int status = quorManager->getCurrentVPNStatus();
    const bool busy = status == toRaw(QuorVPNState::Connected) || status == toRaw(QuorVPNState::Connecting);
    if (busy && refuseWhenBusy) {
        const std::optional<LastConnection> stored = appPreference.lastConnection();
        bool same = false;
        if (record && record->server && record->server->type == Server::Type::DedicatedIp)
            same = stored && stored->server && stored->server->ip == record->server->ip;
        else {
            const auto nameOf = [](const std::optional<LastConnection>& r) {
                return r && r->server ? std::optional<QString>(r->server->name) : std::nullopt;
            };
            same = nameOf(stored) == nameOf(record);
        }
        refuse(same ? refusal(connectionDomain, sameServerDisconnectFirst, QStringLiteral("Same server, please disconnect first"))
                    : refusal(connectionDomain, disconnectFirst, QStringLiteral("Please disconnect first.")));
        return;
    }

    quorManager->setDoCheckInternetConnectivity(true);
    if (networkUnreachable()) {
        refuse(refusal(networkDomain, noNetwork, appPreference.localize(QStringLiteral("no.internet"))));
        return;
    }
    if (user.status() == User::Status::Disabled) {
        refuse(refusal(userStatusDomain, accountDisabled, QStringLiteral("Account Disabled")));
        return;
    }
    if (preservedPreferences.passwordChanged()) {
        refuse(refusal(userStatusDomain, passwordChanged, QStringLiteral("Password Changed")));
        return;
    }

    if (eventTracker.mixpanel)
        eventTracker.mixpanel->time(toRaw(EventTracker::Event::ttc));
    const std::optional<QString> previousId = appPreference.onGoingConnectionId();
    appPreference.setOnGoingConnectionId(newConnectionId());
    const std::optional<LastConnection> previousRecord = appPreference.lastConnection();
    if (record)
        appPreference.setLastConnection(record);
    properties.useAutomaticPort = true;

    // The SDK answers on its own thread, once; both answers are handled on the main thread, and
    // a shared wrapper stays alive until then.
    const std::shared_ptr<Quor> self = weak_from_this().lock();
    const std::weak_ptr<int> alive = alive_;
    const auto answered = std::make_shared<bool>(false);
    quorManager->connect(
        properties,
        [this, self, alive, answered, properties, completion](const std::optional<QString>&) {
            MainQueue::asyncIfNeeded([this, self, alive, answered, properties, completion] {
                if (std::exchange(*answered, true))
                    return;
                if (!alive.expired())
                    handleConnectCompletion(properties, completion);
                else if (completion)
                    completion(std::nullopt);
            });
        },
        [this, self, alive, answered, previousId, record, previousRecord, connectVia, properties,
         completion](const std::optional<Error>& error) {
            MainQueue::asyncIfNeeded([=, this] {
                if (!error || std::exchange(*answered, true))
                    return;
                if (!alive.expired())
                    handleConnectError(error, previousId, record, previousRecord, connectVia, properties, completion);
                else if (completion)
                    completion(error);
            });
        });
}

void Quor::handleConnectError(const std::optional<Error>& error, const std::optional<QString>& previousId,
                              const std::optional<LastConnection>& record,
                              const std::optional<LastConnection>& previousRecord, ConnectVia connectVia,
                              const QuorProperties& properties, const Completion& completion)
{
    if (!error)
        return;
    if (error->code == sdkConnectionInProgress || error->code == sdkAlreadyConnected) {
        appPreference.setOnGoingConnectionId(previousId);
        if (record)
            appPreference.setLastConnection(record);
        if (completion)
            completion(std::nullopt);
        return;
    }
    appPreference.setLastConnection(previousRecord);
    reportConnectFailure(*error, connectVia, properties);
    if (completion)
        completion(error);
}

void Quor::handleConnectCompletion(const QuorProperties& properties, const Completion& completion)
{
    eventTracker.track(EventTracker::Event::connect, connectAnalytics(properties));
    if (completion)
        completion(std::nullopt);
}

QVariantMap Quor::connectAnalytics(const QuorProperties& properties) const
{
    const std::optional<LastConnection> last = appPreference.lastConnection();
    const std::optional<QString> code = lastConnectionServerCode();
    const std::optional<QStringList> domains = preservedPreferences.connectOnDemandMatchDomains();
    QString nas = QStringLiteral("None");
    if (!properties.serverFilters.isEmpty() && !properties.serverFilters.first().nasIdentifier.isEmpty())
        nas = properties.serverFilters.first().nasIdentifier;
    return {
        {QStringLiteral("selected_protocol_name"), selectedProtocolName(preservedPreferences)},
        {QStringLiteral("connect_via"), rawOrEmpty(last, [](const LastConnection& l) { return l.connectVia; })},
        {QStringLiteral("selected_interface"), rawOrEmpty(last, [](const LastConnection& l) { return l.selectedInterface; })},
        {QStringLiteral("selected_interface_screen"),
         rawOrEmpty(last, [](const LastConnection& l) { return l.selectedInterfaceScreen; })},
        {QStringLiteral("connection_initiated_by"),
         rawOrEmpty(last, [](const LastConnection& l) { return l.connectionInitiatedBy; })},
        {QStringLiteral("iks_enabled"), preservedPreferences.enableIKS()},
        {QStringLiteral("auto_reconnect"), preservedPreferences.autoReconnectOnConnectionDrop()},
        {QStringLiteral("on_demand_vpn"), preservedPreferences.onDemandRulesEnabled()},
        {QStringLiteral("on_demand_domains_enabled"), domains && !domains->isEmpty()},
        {QStringLiteral("personalise_server_selection_enabled"), preservedPreferences.enablePersonaliseServer()},
        {QStringLiteral("is_filtered_server"), QStringLiteral("false")},
        {QStringLiteral("is_filtered_server_requested"),
         PersonalizeServerModel(preservedPreferences, appPreference).isFilteredServerRequested()},
        {QStringLiteral("selected_location"), last && last->server ? last->server->name : QString()},
        {QStringLiteral("nas_identifier"), nas},
        {QStringLiteral("included_nas_identifiers"), preservedPreferences.likedServers(code).value_or(QString())},
        {QStringLiteral("excluded_nas_identifiers"), preservedPreferences.dislikedServers(code).value_or(QString())},
        {QStringLiteral("connect_to_fallback"), preservedPreferences.connectToFallback()},
    };
}

void Quor::showExtensionRequiredNotice()
{
    const QString protocol = VPNProtocols::displayName(preservedPreferences.selectedProtocol());
    const Appearances::Localize& localize = appPreference.localize;
    ExtensionNotice notice{localize(QStringLiteral("wiregurad.beta.information.title")),
                           localize(QStringLiteral("wiregurad.beta.information.details")).arg(protocol),
                           localize(QStringLiteral("ok"))};
    ExtensionNoticePresenter present;
    {
        QMutexLocker lock(&presenterMutex());
        present = presenter();
    }
    if (present)
        present(notice);
    else
        showNoticeOnFirstWindow(notice);
}

void Quor::setExtensionNoticePresenter(ExtensionNoticePresenter p)
{
    QMutexLocker lock(&presenterMutex());
    presenter() = std::move(p);
}

QList<QuorCity> Quor::matchingCities(const QList<QuorCountry>& countries, const Server& server)
{
    QList<QuorCity> found;
    for (const QuorCountry& country : countries) {
        if (!country.cities)
            continue;
        for (const QuorCity& city : *country.cities) {
            if (QString::number(city.cityId) == server.id) {
                found.append(city);
                break;
            }
        }
    }
    return found;
}

// --- connection details and locations

Quor::ConnectionInfo Quor::connectionDetails() const
{
    ConnectionInfo info;
    const int status = quorManager ? quorManager->getCurrentVPNStatus() : toRaw(QuorVPNState::Disconnected);
    info.state = status == toRaw(QuorVPNState::Connected)    ? QuorConnectionState::Connected
                 : status == toRaw(QuorVPNState::Connecting) ? QuorConnectionState::Connecting
                                                             : QuorConnectionState::Disconnected;
    info.connectionId = appPreference.onGoingConnectionId();
    const auto* manager = dynamic_cast<const QuorManager*>(quorManager);
    const std::optional<QuorConnectionDetails> details = manager ? manager->quorConnectionDetails() : std::nullopt;
    if (!details) {
        info.connectedTo = QString();
        info.connectedIp = QString();
        info.connectionDns = QString();
        info.dialedProtocol = QString();
        info.quantumResistentServer = false;
        info.obfuscationEnabled = false;
        return info;
    }
    info.connectedTo = locationDisplayName(*details);
    info.connectedIp = details->serverIp;
    info.cancelled = details->isCancelled;
    info.manualDisconnection = details->isDisconnectedManually;
    info.connectionDns = details->serverAddress;
    info.selectedProtocol = selectedProtocolName(preservedPreferences);
    info.dialedProtocol = details->protocol ? details->protocol->protocol.value_or(QString()) : QString();
    info.quantumResistentServer = details->isDialedWithQuantumResistantServer;
    info.obfuscationEnabled = details->IsDialedWithOVPNObfuscatedServer;
    return info;
}

QString Quor::locationDisplayName(const QuorConnectionDetails& details)
{
    if (details.city && details.city->name) {
        QString name = *details.city->name;
        if (details.city->country)
            name += QStringLiteral(", ") + *details.city->country;
        return name;
    }
    return details.country.value_or(QString());
}

void Quor::handleRecommendedLocation(const std::optional<QuorLocation>& location)
{
    const auto clear = [this](int code, const QString& description) {
        appPreference.setRecommendedServer(nullptr);  // the store announces the change
        reportRecommendedLocationFailure(refusal(veltamorineErrorDomainLong, code, description));
    };
    if (!location) {
        qCInfo(lcVpnEngine) << "[RECOMMENDED LOCATION] ERROR 1";
        clear(recommendedLocationMissing, QStringLiteral("QuorSDK provided nil QuorLocation"));
        return;
    }
    qCInfo(lcVpnEngine) << "[RECOMMENDED LOCATION] UPDATED SUCCESSFUL";
    Server::Ptr row;
    if (location->city) {
        const QuorCity& city = *location->city;
        if (!city.country || !city.name) {
            clear(recommendedCityMalformed, QStringLiteral("QuorSDK provided errornous QuorCity"));
            return;
        }
        row = Server::make(QString::number(city.cityId), *city.name, Server::Type::City, *city.country);
    } else if (location->country) {
        const QuorCountry& country = *location->country;
        if (!country.country || !country.name) {
            clear(recommendedCountryMalformed, QStringLiteral("QuorSDK provided errornous QuorCountry"));
            return;
        }
        row = Server::make(*country.country, *country.name, Server::Type::Country, *country.country);
    } else {
        clear(recommendedLocationMissing, QStringLiteral("QuorSDK provided nil QuorLocation"));
        return;
    }
    for (const Server::Ptr& favorite : preservedPreferences.favorites()) {
        if (favorite && favorite->id == row->id)
            row->favorite = true;
    }
    eventTracker.track(EventTracker::Event::recommendedLocationResponse,
                       QVariantMap{{QStringLiteral("succeed"), true}, {QStringLiteral("name"), row->name}});
    appPreference.setRecommendedServer(row);  // the store announces the new row
}

void Quor::handleRecommendedLocationError(const std::optional<Error>& error)
{
    qCInfo(lcVpnEngine) << "[RECOMMENDED LOCATION] ERROR 2";
    reportRecommendedLocationFailure(error);
}

void Quor::connectedServer(const std::optional<QuorLocation>& location, const ConnectedServerCompletion& completion)
{
    const std::optional<LastConnection> stored = appPreference.lastConnection();
    if (stored && stored->server && location && location->country) {
        const Server& old = *stored->server;
        Server::Ptr row;
        switch (old.type) {
        case Server::Type::DedicatedIp:
            row = Server::make(old.id, old.ip, Server::Type::DedicatedIp, old.code);
            break;
        case Server::Type::City:
            row = Server::make(old.id, old.name, Server::Type::City, old.code);
            break;
        case Server::Type::Country: {
            const QuorCountry& country = *location->country;
            row = Server::make(country.country.value_or(old.id), country.name.value_or(old.name), Server::Type::Country,
                               country.country.value_or(old.code));
            break;
        }
        case Server::Type::FastestServer:
        case Server::Type::Shortcut:
            break;
        }
        if (row) {
            for (const Server::Ptr& favorite : preservedPreferences.favorites()) {
                if (favorite && favorite->id == row->id)
                    row->favorite = true;
            }
            row->latency = old.latency;
            row->p2p = old.p2p;
            row->quantumResistant = old.quantumResistant;
            row->host = old.host;
            row->hosts = old.hosts;
            row->ip = old.ip;
            LastConnection corrected = *stored;
            corrected.server = row;
            corrected.nasIdentifier = location->server ? location->server->nasIdentifier : std::nullopt;
            appPreference.setLastConnection(corrected);
            if (stored->nasIdentifier != corrected.nasIdentifier) {
                const auto orNull = [](const std::optional<QString>& v) { return v ? QVariant(*v) : QVariant(); };
                eventTracker.track(EventTracker::Event::detectIpMismatch,
                                   QVariantMap{{QStringLiteral("via"), QStringLiteral("Get Connected Location")},
                                               {QStringLiteral("connected_NAS"), orNull(stored->nasIdentifier)},
                                               {QStringLiteral("returned-NAS"), orNull(corrected.nasIdentifier)}});
            }
        }
    }
    ConnectedInfo info;
    if (location) {
        info.locationName = connectedLocationName(*location);
        info.isoCode = connectedIsoCode(*location);
        info.ip = location->ip;
    } else {
        info.locationName = QString();
    }
    if (completion)
        completion(info);
}

void Quor::connectedLocationFailed(const std::optional<Error>& error, const ConnectedServerCompletion& completion)
{
    const Error failure = connectedLocationError(error);
    eventTracker.track(EventTracker::Event::failGetConnectedLocation, QVariantMap{{QStringLiteral("error"), failure.message}});
    if (completion)
        completion(std::unexpected(failure));
}

QString Quor::connectedLocationName(const QuorLocation& location)
{
    const std::optional<DedicatedIPDetail> dedicated = user.dedicatedIPDetail();
    if (dedicated && location.ip && dedicated->ip == *location.ip)
        return dedicated->ip;
    if (location.city && location.city->name) {
        QString name = *location.city->name;
        if (location.country && location.country->country)
            name += QStringLiteral(", ") + *location.country->country;
        return name;
    }
    if (location.country && location.country->name)
        return *location.country->name;
    eventTracker.track(EventTracker::Event::failGetConnectedLocation,
                       QVariantMap{{QStringLiteral("error"), QStringLiteral("City/Country object not available")}});
    return QString();
}

std::optional<QString> Quor::connectedIsoCode(const QuorLocation& location) const
{
    const std::optional<DedicatedIPDetail> dedicated = user.dedicatedIPDetail();
    if (dedicated && location.ip && dedicated->ip == *location.ip)
        return dedicated->iso;
    return location.country ? location.country->country : std::nullopt;
}

Error Quor::connectedLocationError(const std::optional<Error>& error)
{
    if (error)
        return *error;
    return refusal(veltamorineErrorDomainLong, connectedLocationMissing, QStringLiteral("QuorSDK failed to fetch connected location."));
}

// --- shared operations

std::optional<QString> Quor::lastConnectionServerCode() const
{
    const std::optional<LastConnection> last = appPreference.lastConnection();
    if (!last || !last->server)
        return std::nullopt;
    return last->server->code;
}

std::pair<Quor::ByteCount, Quor::ByteCount> Quor::splitByteCounts(quint64 first, quint64 second)
{
    const auto split = [](quint64 count) {
        constexpr quint64 kb = quint64(1) << 10, mb = quint64(1) << 20, gb = quint64(1) << 30, tb = quint64(1) << 40;
        if (count < kb)
            return ByteCount{double(count), 0};
        if (count < mb)
            return ByteCount{double(count) / double(kb), 1};
        if (count < gb)
            return ByteCount{double(count) / double(mb), 2};
        if (count < tb)
            return ByteCount{double(count) / double(gb), 3};
        return ByteCount{double(count) / double(tb), 4};
    };
    return {split(first), split(second)};
}

QVariantMap Quor::mergeAnalytics(const QVariantMap& adding, QVariantMap to)
{
    for (auto it = adding.cbegin(); it != adding.cend(); ++it)
        to.insert(it.key(), it.value());
    return to;
}

QString Quor::selectedProtocolName(const PreservedPreferences& preferences)
{
    if (preferences.automaticProtocol())
        return QStringLiteral("Automatic");
    return VPNProtocols::sdkName(preferences.selectedProtocol());
}

QString Quor::newConnectionId()
{
    const double seconds = double(Scheduler::main().now().toMSecsSinceEpoch()) / 1000.0 - referenceDateOffset;
    return QString::number(seconds, 'g', QLocale::FloatingPointShortest);
}

bool Quor::networkUnreachable() const
{
    // Only a monitor that positively reports no network refuses; an unknown status lets the
    // SDK's own connectivity check decide.
    const auto* networking = dynamic_cast<const Networking*>(networkingManager);
    return networking && networking->reachablityManager &&
           networking->reachablityManager->status() == Reachability::Status::NotReachable;
}

std::shared_ptr<Quor> makeQuor()
{
    return std::make_shared<Quor>(QuorManager::sharedInstance(), makeErrorSender(), makeQuorDataFetcher(), makeUser(),
                                  makeAppPreferences(), makeEventTracker(), makePreservedPreferences(),
                                  &Networking::shared());
}
