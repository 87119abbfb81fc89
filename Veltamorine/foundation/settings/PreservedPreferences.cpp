#include "PreservedPreferences.h"

#include "AppPreferences.h"
#include "NotificationCenter.h"
#include "SettingsNotifications.h"
#include "UserDefaultsCodable.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>

namespace {

QList<QuorDataFetcherServer> values(const PreservedPreferences::Servers& servers)
{
    QList<QuorDataFetcherServer> list;
    list.reserve(servers.size());
    for (const auto& server : servers) {
        if (server)
            list.append(*server);
    }
    return list;
}

// The stored form of an error: a JSON object with its class, domain, code, text, extra values
// and the error it wraps.
QJsonObject archiveError(const Error& error)
{
    QJsonObject object{
        {QStringLiteral("$class"), QStringLiteral("Error")},
        {QStringLiteral("domain"), error.domain},
        {QStringLiteral("code"), error.code},
        {QStringLiteral("message"), error.message},
        {QStringLiteral("userInfo"), QJsonObject::fromVariantMap(error.userInfo)},
    };
    if (error.underlying)
        object.insert(QStringLiteral("underlying"), archiveError(*error.underlying));
    return object;
}

std::optional<Error> unarchiveError(const QJsonObject& object)
{
    const QJsonValue domain = object.value(QStringLiteral("domain"));
    const QJsonValue code = object.value(QStringLiteral("code"));
    const QJsonValue message = object.value(QStringLiteral("message"));
    const QJsonValue userInfo = object.value(QStringLiteral("userInfo"));
    if (object.value(QStringLiteral("$class")).toString() != u"Error" || !domain.isString() || !code.isDouble()
        || !(message.isString() || message.isUndefined()) || !(userInfo.isObject() || userInfo.isUndefined()))
        return std::nullopt;
    Error error(domain.toString(), code.toInt(), message.toString(), userInfo.toObject().toVariantMap());
    const QJsonValue underlying = object.value(QStringLiteral("underlying"));
    if (underlying.isObject()) {
        auto inner = unarchiveError(underlying.toObject());
        if (!inner)
            return std::nullopt;
        error = error.wrapping(*inner);
    } else if (!underlying.isUndefined()) {
        return std::nullopt;
    }
    return error;
}

// Removed by reset(), in this order.
const char* const resetNames[] = {
    "recents", "favorites", "allowVPNNotifications", "connectedServer", "launchOnStartUp", "reconnectOnLaunch",
    "autoReconnectOnConnectionDrop", "onDemandRulesEnabled", "connectOnDemandMatchDomains", "preventSleep",
    "autoConnectFromSleep", "automaticallyCheckForUpdate", "enablePing", "autoConnectServer", "autoConnectVia",
    "automaticProtocol", "enablePersonaliseServer", "personalizeServer", "enableIKS", "connectToFallback",
    "vpnAccounts", "selectedProtocol",
};

}

PreservedPreferences::PreservedPreferences(UserDefaults& defaults)
    : PreservedPreferences(defaults, User(defaults))
{
}

PreservedPreferences::PreservedPreferences(UserDefaults& defaults, User userPreference)
    : defaults(defaults)
    , userPreference(std::move(userPreference))
{
}

QString PreservedPreferences::key(const QString& name) const
{
    return userPreference.vpnUsername().value_or(QString()) + u'.' + name;
}

QString PreservedPreferences::vpnAccountsKey() const
{
    return QString::number(defaults.integerForKey(QStringLiteral("UserPreferences.clientId"))) + QStringLiteral(".vpnAccounts");
}

bool PreservedPreferences::boolDefaultTrue(const QString& forName) const
{
    if (!defaults.hasObject(key(forName)))
        defaults.setBool(true, key(forName));
    return defaults.boolForKey(key(forName));
}

bool PreservedPreferences::boolForName(const QString& forName) const
{
    return defaults.boolForKey(key(forName));
}

void PreservedPreferences::setBool(bool value, const QString& forName)
{
    defaults.setBool(value, key(forName));
}

PreservedPreferences::VPNProtocol PreservedPreferences::vpnProtocol(const QString& forName) const
{
    // Only a stored integer counts; a text holding a digit does not.
    const QVariant stored = defaults.objectForKey(key(forName));
    if (stored.typeId() != QMetaType::LongLong)
        return VPNProtocol::IPSec;
    return fromRaw<VPNProtocol>(stored.toLongLong()).value_or(VPNProtocol::IPSec);
}

void PreservedPreferences::setVPNProtocol(VPNProtocol value, const QString& forName)
{
    defaults.setInteger(toRaw(value), key(forName));
}

PreservedPreferences::Servers PreservedPreferences::servers(const QString& forName) const
{
    Servers servers;
    const auto stored = UserDefaultsCodable::array<QuorDataFetcherServer>(defaults, key(forName));
    for (const auto& server : stored.value_or(QList<QuorDataFetcherServer>{}))
        servers.append(std::make_shared<QuorDataFetcherServer>(server));
    return servers;
}

void PreservedPreferences::setServers(const Servers& servers, const QString& forName)
{
    UserDefaultsCodable::setCodableArray(defaults, std::optional(values(servers)), key(forName));
}

QuorDataFetcherServer::Ptr PreservedPreferences::server(const QString& forName) const
{
    auto stored = UserDefaultsCodable::codable<QuorDataFetcherServer>(defaults, key(forName));
    return stored ? std::make_shared<QuorDataFetcherServer>(std::move(*stored)) : nullptr;
}

PreservedPreferences::Servers PreservedPreferences::recents() const { return servers(QStringLiteral("recents")); }

void PreservedPreferences::setRecents(const Servers& servers)
{
    setServers(servers, QStringLiteral("recents"));
    NotificationCenter::defaultCenter().post(SettingsNotifications::recentsUpdated, QVariant::fromValue(servers));
}

PreservedPreferences::Servers PreservedPreferences::favorites() const { return servers(QStringLiteral("favorites")); }
void PreservedPreferences::setFavorites(const Servers& servers) { setServers(servers, QStringLiteral("favorites")); }

QList<VPNAccount> PreservedPreferences::vpnAccounts() const
{
    return UserDefaultsCodable::array<VPNAccount>(defaults, vpnAccountsKey()).value_or(QList<VPNAccount>{});
}

void PreservedPreferences::setVpnAccounts(const QList<VPNAccount>& accounts)
{
    UserDefaultsCodable::setCodableArray(defaults, std::optional(accounts), vpnAccountsKey());
}

bool PreservedPreferences::allowVPNNotifications() const { return boolDefaultTrue(QStringLiteral("allowVPNNotifications")); }
void PreservedPreferences::setAllowVPNNotifications(bool value) { setBool(value, QStringLiteral("allowVPNNotifications")); }
bool PreservedPreferences::enablePing() const { return boolForName(QStringLiteral("enablePing")); }
void PreservedPreferences::setEnablePing(bool value) { setBool(value, QStringLiteral("enablePing")); }
bool PreservedPreferences::isFromDetail() const { return boolForName(QStringLiteral("isFromDetail")); }
void PreservedPreferences::setIsFromDetail(bool value) { setBool(value, QStringLiteral("isFromDetail")); }
bool PreservedPreferences::isInstallNow() const { return boolForName(QStringLiteral("isInstallNow")); }
void PreservedPreferences::setIsInstallNow(bool value) { setBool(value, QStringLiteral("isInstallNow")); }

std::optional<QDateTime> PreservedPreferences::pingedAt() const { return defaults.dateForKey(key(QStringLiteral("pingedAt"))); }

void PreservedPreferences::setPingedAt(const std::optional<QDateTime>& value)
{
    defaults.setObject(value ? QVariant(*value) : QVariant(), key(QStringLiteral("pingedAt")));
}

bool PreservedPreferences::launchOnStartUp() const { return boolDefaultTrue(QStringLiteral("launchOnStartUp")); }
void PreservedPreferences::setLaunchOnStartUp(bool value) { setBool(value, QStringLiteral("launchOnStartUp")); }
bool PreservedPreferences::isAlreadyShownDetailScreen() const { return boolForName(QStringLiteral("isAlreadyShownDetailScreen")); }
void PreservedPreferences::setIsAlreadyShownDetailScreen(bool value) { setBool(value, QStringLiteral("isAlreadyShownDetailScreen")); }
bool PreservedPreferences::reconnectOnLaunch() const { return boolForName(QStringLiteral("reconnectOnLaunch")); }
void PreservedPreferences::setReconnectOnLaunch(bool value) { setBool(value, QStringLiteral("reconnectOnLaunch")); }
bool PreservedPreferences::preventSleep() const { return boolForName(QStringLiteral("preventSleep")); }
void PreservedPreferences::setPreventSleep(bool value) { setBool(value, QStringLiteral("preventSleep")); }
bool PreservedPreferences::autoConnectFromSleep() const { return boolForName(QStringLiteral("autoConnectFromSleep")); }
void PreservedPreferences::setAutoConnectFromSleep(bool value) { setBool(value, QStringLiteral("autoConnectFromSleep")); }
bool PreservedPreferences::enablePersonaliseServer() const { return boolForName(QStringLiteral("enablePersonaliseServer")); }
void PreservedPreferences::setEnablePersonaliseServer(bool value) { setBool(value, QStringLiteral("enablePersonaliseServer")); }
bool PreservedPreferences::automaticallyCheckForUpdate() const { return boolDefaultTrue(QStringLiteral("automaticallyCheckForUpdate")); }
void PreservedPreferences::setAutomaticallyCheckForUpdate(bool value) { setBool(value, QStringLiteral("automaticallyCheckForUpdate")); }
bool PreservedPreferences::manuallyCheckForUpdate() const { return boolForName(QStringLiteral("manuallyCheckForUpdate")); }
void PreservedPreferences::setManuallyCheckForUpdate(bool value) { setBool(value, QStringLiteral("manuallyCheckForUpdate")); }
bool PreservedPreferences::automaticProtocol() const { return boolDefaultTrue(QStringLiteral("automaticProtocol")); }

void PreservedPreferences::setAutomaticProtocol(bool value)
{
    if (value)
        setSelectedProtocol(VPNProtocol::IPSec);
    setBool(value, QStringLiteral("automaticProtocol"));
    NotificationCenter::defaultCenter().post(SettingsNotifications::automaticProtocolChanged, value);
}

PreservedPreferences::VPNProtocol PreservedPreferences::selectedProtocol() const { return vpnProtocol(QStringLiteral("selectedProtocol")); }
void PreservedPreferences::setSelectedProtocol(VPNProtocol value) { setVPNProtocol(value, QStringLiteral("selectedProtocol")); }
PreservedPreferences::VPNProtocol PreservedPreferences::dialedProtocol() const { return vpnProtocol(QStringLiteral("dialedProtocol")); }
void PreservedPreferences::setDialedProtocol(VPNProtocol value) { setVPNProtocol(value, QStringLiteral("dialedProtocol")); }

bool PreservedPreferences::firstLogin() const
{
    if (defaults.stringForKey(key(QStringLiteral("firstLogin"))))
        return false;
    defaults.setString(QStringLiteral("FALSE"), key(QStringLiteral("firstLogin")));
    return true;
}

PreservedPreferences::UserTestGroup PreservedPreferences::userTestGroup() const
{
    const QString groupKey = key(QStringLiteral("userTestGroup"));
    if (const auto stored = defaults.stringForKey(groupKey)) {
        if (auto group = fromRaw<UserTestGroup>(*stored))
            return *group;
    }
    // 0 to 100 inclusive: 50 values give group A, 51 give group B.
    const int draw = int(QRandomGenerator::system()->bounded(101));
    const UserTestGroup group = draw < 50 ? UserTestGroup::GroupA : UserTestGroup::GroupB;
    defaults.setString(toRaw(group), groupKey);
    return group;
}

bool PreservedPreferences::desiredOutcomeAchieved() const { return boolForName(QStringLiteral("desiredOutcomeAchieved")); }
void PreservedPreferences::setDesiredOutcomeAchieved(bool value) { setBool(value, QStringLiteral("desiredOutcomeAchieved")); }
bool PreservedPreferences::ratedOnStore() const { return boolForName(QStringLiteral("ratedOnStore")); }
void PreservedPreferences::setRatedOnStore(bool value) { setBool(value, QStringLiteral("ratedOnStore")); }
bool PreservedPreferences::referredAFriend() const { return boolForName(QStringLiteral("referredAFriend")); }
void PreservedPreferences::setReferredAFriend(bool value) { setBool(value, QStringLiteral("referredAFriend")); }

// The general settings let the user turn reconnecting off, so the choice is kept like any other
// setting that starts out on.
bool PreservedPreferences::autoReconnectOnConnectionDrop() const { return boolDefaultTrue(QStringLiteral("autoReconnectOnConnectionDrop")); }
void PreservedPreferences::setAutoReconnectOnConnectionDrop(bool value) { setBool(value, QStringLiteral("autoReconnectOnConnectionDrop")); }

bool PreservedPreferences::onDemandRulesEnabled() const { return boolForName(QStringLiteral("onDemandRulesEnabled")); }

std::optional<QStringList> PreservedPreferences::connectOnDemandMatchDomains() const
{
    return defaults.stringArrayForKey(key(QStringLiteral("connectOnDemandMatchDomains")));
}

bool PreservedPreferences::enableIKS() const { return boolForName(QStringLiteral("enableIKS")); }
void PreservedPreferences::setEnableIKS(bool value) { setBool(value, QStringLiteral("enableIKS")); }
QuorDataFetcherServer::Ptr PreservedPreferences::autoConnectServer() const { return server(QStringLiteral("autoConnectServer")); }

void PreservedPreferences::setAutoConnectServer(const QuorDataFetcherServer::Ptr& server)
{
    UserDefaultsCodable::setCodable(defaults, server ? std::optional(*server) : std::nullopt, key(QStringLiteral("autoConnectServer")));
}

PreservedPreferences::AutoConnectVia PreservedPreferences::autoConnectVia() const
{
    const auto stored = defaults.stringForKey(key(QStringLiteral("autoConnectVia")));
    return stored ? fromRaw<AutoConnectVia>(*stored).value_or(AutoConnectVia::AutoSelect) : AutoConnectVia::AutoSelect;
}

void PreservedPreferences::setAutoConnectVia(AutoConnectVia value)
{
    defaults.setString(toRaw(value), key(QStringLiteral("autoConnectVia")));
}

bool PreservedPreferences::passwordChanged() const { return boolForName(QStringLiteral("passwordChanged")); }

void PreservedPreferences::setPasswordChanged(bool value)
{
    setBool(value, QStringLiteral("passwordChanged"));
    NotificationCenter::defaultCenter().post(SettingsNotifications::passwordChanged, value);
}

std::optional<PersonalizeServerModelPersonalizeServer::Dictionary> PreservedPreferences::personalizeServer() const
{
    const auto data = defaults.dataForKey(key(QStringLiteral("personalizeServer")));
    if (!data)
        return std::nullopt;
    return PersonalizeServerModelPersonalizeServer::unarchive(*data);
}

void PreservedPreferences::setPersonalizeServer(const std::optional<PersonalizeServerModelPersonalizeServer::Dictionary>& value)
{
    defaults.setData(PersonalizeServerModelPersonalizeServer::archive(value.value_or(PersonalizeServerModelPersonalizeServer::Dictionary{})),
                     key(QStringLiteral("personalizeServer")));
}

QuorDataFetcherServer::Ptr PreservedPreferences::dedicatedServer() const { return server(QStringLiteral("dedicatedServer")); }

void PreservedPreferences::setDedicatedServer(const QuorDataFetcherServer::Ptr& server)
{
    UserDefaultsCodable::setCodable(defaults, server ? std::optional(*server) : std::nullopt, key(QStringLiteral("dedicatedServer")));
    NotificationCenter::defaultCenter().post(SettingsNotifications::dedicatedIpUpdated,
                                             server ? QVariant::fromValue(server) : QVariant());
}

std::optional<Error> PreservedPreferences::dedicatedIpApiError() const
{
    const auto data = defaults.dataForKey(key(QStringLiteral("dedicatedIpApiError")));
    if (!data)
        return std::nullopt;
    const QJsonDocument document = QJsonDocument::fromJson(*data);
    if (!document.isObject())
        return std::nullopt;
    return unarchiveError(document.object());
}

void PreservedPreferences::setDedicatedIpApiError(const std::optional<Error>& error)
{
    const QString errorKey = key(QStringLiteral("dedicatedIpApiError"));
    if (error)
        defaults.setData(QJsonDocument(archiveError(*error)).toJson(QJsonDocument::Compact), errorKey);
    else
        defaults.removeObjectForKey(errorKey);
}

bool PreservedPreferences::isB2C() const { return boolDefaultTrue(QStringLiteral("isB2C")); }
void PreservedPreferences::setReferralLink(const QString& link) { defaults.setString(link, key(QStringLiteral("referralLink"))); }
bool PreservedPreferences::connectToFallback() const { return boolDefaultTrue(QStringLiteral("connectToFallback")); }
void PreservedPreferences::setConnectToFallback(bool value) { setBool(value, QStringLiteral("connectToFallback")); }

bool PreservedPreferences::selectedProtocolNeedsSystemExtension() const
{
    QString statusKey;
    switch (selectedProtocol()) {
    case VPNProtocol::IPSec:
    case VPNProtocol::IKEv2:
        return false;
    case VPNProtocol::TCP:
    case VPNProtocol::UDP:
        statusKey = QStringLiteral("AppPreference.openVPNSystemExtensionStatus");
        break;
    case VPNProtocol::WireGuard:
        statusKey = QStringLiteral("AppPreference.wgSystemExtensionStatus");
        break;
    }
    return defaults.integerForKey(statusKey) != toRaw(SystemExtensionStatus::installed);
}

void PreservedPreferences::setCountries(const Servers& servers) { setServers(servers, QStringLiteral("countries")); }

std::optional<QString> PreservedPreferences::dislikedServers(const std::optional<QString>& forKey) const
{
    return PersonalizeServerModelPersonalizeServer::joinedIdentifiers(personalizeServer(), forKey, false);
}

std::optional<QString> PreservedPreferences::likedServers(const std::optional<QString>& forKey) const
{
    return PersonalizeServerModelPersonalizeServer::joinedIdentifiers(personalizeServer(), forKey, true);
}

void PreservedPreferences::reset()
{
    const auto name = userPreference.vpnUsername();
    if (!name)
        return;
    for (const char* setting : resetNames)
        defaults.removeObjectForKey(*name + u'.' + QLatin1StringView(setting));

    AppPreferences appPreferences;
    QuorDataFetcherServer::Ptr recommended = appPreferences.recommendedServer();
    if (recommended)
        recommended->favorite = false;
    appPreferences.setRecommendedServer(recommended);

    NotificationCenter::defaultCenter().post(SettingsNotifications::preferencesRefreshed);
}
