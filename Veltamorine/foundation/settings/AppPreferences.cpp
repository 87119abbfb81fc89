#include "AppPreferences.h"

#include "ApplicationAppearance.h"
#include "Bundle.h"
#include "JsonFields.h"
#include "LinkTracking.h"
#include "Localizer.h"
#include "NotificationCenter.h"
#include "SettingsNotifications.h"
#include "UserDefaultsCodable.h"

#include <QLocale>
#include <QUrl>

namespace {

const QString updateAvailableKey = QStringLiteral("AppPreference.updateAvailable");
const QString lastFeedbackConnectionIdKey = QStringLiteral("AppPreference.lastFeedbackConnectionId");
const QString onGoingConnectionIdKey = QStringLiteral("AppPreference.onGoingConnectionId");
const QString lastConnectionKey = QStringLiteral("AppPreference.lastConnection");
const QString dataStoreVersionKey = QStringLiteral("AppPreference.dataStoreVersion");
const QString appearanceKey = QStringLiteral("AppPreference.appearance");
const QString preferredLanguageCodeKey = QStringLiteral("AppPreference.preferredLanguageCode");
const QString openVPNSystemExtensionStatusKey = QStringLiteral("AppPreference.openVPNSystemExtensionStatus");
const QString wgSystemExtensionStatusKey = QStringLiteral("AppPreference.wgSystemExtensionStatus");
const QString openVPNSystemExtensionErrorCodeKey = QStringLiteral("AppPreference.openVPNSystemExtensionErrorCode");
const QString wgSystemExtensionErrorCodeKey = QStringLiteral("AppPreference.wgSystemExtensionErrorCode");
const QString activeDomainKey = QStringLiteral("AppPreference.activeDomain");
const QString recommendedServerKey = QStringLiteral("AppPreference.recommendedServer");
const QString serverToAddInRecentKey = QStringLiteral("AppPreference.serverToAddInRecent");
const QString exculdedIdentifiersKey = QStringLiteral("AppPreference.exculdedIdentifiersForSwitchServer");
const QString mixpanelConnectedPropertiesKey = QStringLiteral("AppPreference.mixpanelConnectedProperties");
const QString manualDisconnectionCountKey = QStringLiteral("AppPreference.manualDisconnectionCount");
const QString publicIpAddressKey = QStringLiteral("AppPreference.publicIpAddress");
const QString hideFromDockKey = QStringLiteral("AppPreference.hideFromDock");
const QString versionKey = QStringLiteral("AppPreference.version");

template <TextRawEnum E>
bool rawField(const QJsonObject& object, QLatin1StringView key, E& out)
{
    QString text;
    if (!JsonFields::requiredString(object, key, text))
        return false;
    const auto value = fromRaw<E>(text);
    if (!value)
        return false;
    out = *value;
    return true;
}

SystemExtensionStatus storedStatus(const UserDefaults& defaults, const QString& key)
{
    // Anything outside the enumeration reads as not installed: every reader treats only
    // `installed` as ready.
    return fromRaw<SystemExtensionStatus>(defaults.integerForKey(key)).value_or(SystemExtensionStatus::notInstalled);
}

QuorDataFetcherServer::Ptr readServer(const UserDefaults& defaults, const QString& key)
{
    auto server = UserDefaultsCodable::codable<QuorDataFetcherServer>(defaults, key);
    return server ? std::make_shared<QuorDataFetcherServer>(std::move(*server)) : nullptr;
}

void writeServer(UserDefaults& defaults, const QuorDataFetcherServer::Ptr& server, const QString& key)
{
    UserDefaultsCodable::setCodable(defaults, server ? std::optional(*server) : std::nullopt, key);
}

}

std::optional<AppPreferences::UpdateAvailable> AppPreferences::UpdateAvailable::fromJson(const QJsonObject& object)
{
    UpdateAvailable value;
    if (!JsonFields::requiredString(object, QLatin1StringView("availableVersion"), value.availableVersion)
        || !JsonFields::requiredString(object, QLatin1StringView("forcedTillVersion"), value.forcedTillVersion)
        || !JsonFields::requiredString(object, QLatin1StringView("releaseNoteURL"), value.releaseNoteURL))
        return std::nullopt;
    return value;
}

QJsonObject AppPreferences::UpdateAvailable::toJson() const
{
    return QJsonObject{{QLatin1StringView("availableVersion"), availableVersion},
                       {QLatin1StringView("forcedTillVersion"), forcedTillVersion},
                       {QLatin1StringView("releaseNoteURL"), releaseNoteURL}};
}

std::optional<AppPreferences::LastConnection> AppPreferences::LastConnection::fromJson(const QJsonObject& object)
{
    LastConnection value{};
    QJsonObject server;
    if (!rawField(object, QLatin1StringView("selectedInterface"), value.selectedInterface)
        || !rawField(object, QLatin1StringView("connectVia"), value.connectVia)
        || !rawField(object, QLatin1StringView("selectedInterfaceScreen"), value.selectedInterfaceScreen)
        || !rawField(object, QLatin1StringView("connectionInitiatedBy"), value.connectionInitiatedBy)
        || !JsonFields::requiredObject(object, QLatin1StringView("server"), server)
        || !JsonFields::optionalString(object, QLatin1StringView("nasIdentifier"), value.nasIdentifier)
        || !JsonFields::requiredBool(object, QLatin1StringView("dialedWithQRServer"), value.dialedWithQRServer)
        || !JsonFields::requiredBool(object, QLatin1StringView("isDialedWithOVPNObfuscatedServer"), value.isDialedWithOVPNObfuscatedServer))
        return std::nullopt;
    value.server = QuorDataFetcherServer::fromJsonShared(server);
    if (!value.server)
        return std::nullopt;
    return value;
}

QJsonObject AppPreferences::LastConnection::toJson() const
{
    QJsonObject object{
        {QLatin1StringView("selectedInterface"), toRaw(selectedInterface)},
        {QLatin1StringView("connectVia"), toRaw(connectVia)},
        {QLatin1StringView("selectedInterfaceScreen"), toRaw(selectedInterfaceScreen)},
        {QLatin1StringView("connectionInitiatedBy"), toRaw(connectionInitiatedBy)},
        {QLatin1StringView("server"), server ? server->toJson() : QJsonObject{}},
        {QLatin1StringView("dialedWithQRServer"), dialedWithQRServer},
        {QLatin1StringView("isDialedWithOVPNObfuscatedServer"), isDialedWithOVPNObfuscatedServer},
    };
    if (nasIdentifier)
        object.insert(QLatin1StringView("nasIdentifier"), *nasIdentifier);
    return object;
}

AppPreferences::AppPreferences(UserDefaults& defaults, Keychain keychain)
    : defaults(defaults)
    , keychain(std::move(keychain))
    , localize(&Localizer::localized)
{
}

AppPreferences::UpdateAvailable AppPreferences::updateAvailable() const
{
    if (auto stored = UserDefaultsCodable::codable<UpdateAvailable>(defaults, updateAvailableKey))
        return *stored;
    // Until the version check stores a notice, the one on offer is the running version.
    const QString running = Bundle::main().shortVersion();
    return UpdateAvailable{running, running, LinkTracking::withTrackingParameters(QUrl(liveChatEmbedURL()), trackingParameters()).toString(QUrl::FullyEncoded)};
}

void AppPreferences::setUpdateAvailable(const std::optional<UpdateAvailable>& value)
{
    UserDefaultsCodable::setCodable(defaults, value, updateAvailableKey);
}

std::optional<QString> AppPreferences::lastFeedbackConnectionId() const
{
    return defaults.stringForKey(lastFeedbackConnectionIdKey);
}

void AppPreferences::setLastFeedbackConnectionId(const std::optional<QString>& value)
{
    setOptionalString(value, lastFeedbackConnectionIdKey);
}

std::optional<QString> AppPreferences::onGoingConnectionId() const
{
    return defaults.stringForKey(onGoingConnectionIdKey);
}

void AppPreferences::setOnGoingConnectionId(const std::optional<QString>& value)
{
    setOptionalString(value, onGoingConnectionIdKey);
}

std::optional<AppPreferences::LastConnection> AppPreferences::lastConnection() const
{
    return UserDefaultsCodable::codable<LastConnection>(defaults, lastConnectionKey);
}

void AppPreferences::setLastConnection(const std::optional<LastConnection>& value)
{
    UserDefaultsCodable::setCodable(defaults, value, lastConnectionKey);
}

static QString appInstallTimeKey(const UserDefaults& defaults)
{
    return defaults.stringForKey(QStringLiteral("UserPreferences.vpnUsername")).value_or(QString())
        + QStringLiteral(".appInstallTime");
}

std::optional<QDateTime> AppPreferences::appInstallTime() const
{
    return defaults.dateForKey(appInstallTimeKey(defaults));
}

void AppPreferences::setAppInstallTime(const std::optional<QDateTime>& value)
{
    defaults.setObject(value ? QVariant(*value) : QVariant(), appInstallTimeKey(defaults));
}

int AppPreferences::dataStoreVersion() const
{
    const int bundled = Bundle::main().dataStoreVersion();
    const qint64 stored = defaults.integerForKey(dataStoreVersionKey);
    if (stored != 0)
        return int(stored);
    defaults.setInteger(bundled, dataStoreVersionKey);
    return bundled;
}

void AppPreferences::setDataStoreVersion(int value)
{
    defaults.setInteger(value, dataStoreVersionKey);
}

Appearance AppPreferences::appearance() const
{
    if (auto known = fromRaw<Appearance>(defaults.integerForKey(appearanceKey)))
        return *known;
    // An unknown number goes by title: the first case titled exactly "light", else dark.
    for (Appearance a : allCases<Appearance>()) {
        if (Appearances::title(a, localize) == u"light")
            return a;
    }
    return Appearance::dark;
}

void AppPreferences::setAppearance(Appearance value)
{
    defaults.setInteger(toRaw(value), appearanceKey);
}

QString AppPreferences::keychainValue(const QString& forAPI) const
{
    return keychain.get(Bundle::main().releaseCode() + QStringLiteral("_API_") + forAPI).value_or(QString());
}

QString AppPreferences::preferredLanguageCode() const
{
    if (auto stored = defaults.stringForKey(preferredLanguageCodeKey))
        return *stored;
    return bestLocalization(Localizer::availableLanguages(), QLocale::system().uiLanguages());
}

void AppPreferences::setPreferredLanguageCode(const std::optional<QString>& value)
{
    setOptionalString(value, preferredLanguageCodeKey);
}

SystemExtensionStatus AppPreferences::openVPNSystemExtensionStatus() const
{
    return storedStatus(defaults, openVPNSystemExtensionStatusKey);
}

void AppPreferences::setOpenVPNSystemExtensionStatus(SystemExtensionStatus value)
{
    setExtensionStatus(value, openVPNSystemExtensionStatusKey);
}

SystemExtensionStatus AppPreferences::wgSystemExtensionStatus() const
{
    return storedStatus(defaults, wgSystemExtensionStatusKey);
}

void AppPreferences::setWgSystemExtensionStatus(SystemExtensionStatus value)
{
    setExtensionStatus(value, wgSystemExtensionStatusKey);
}

void AppPreferences::setExtensionStatus(SystemExtensionStatus value, const QString& key)
{
    // Observers learn the new readiness from the notification, which goes out first.
    NotificationCenter::defaultCenter().post(SettingsNotifications::extensionStatusChanged,
                                             value == SystemExtensionStatus::installed);
    defaults.setInteger(toRaw(value), key);
}

Domain AppPreferences::activeDomain() const
{
    return UserDefaultsCodable::codable<Domain>(defaults, activeDomainKey).value_or(defaultDomain());
}

void AppPreferences::setActiveDomain(const std::optional<Domain>& value)
{
    UserDefaultsCodable::setCodable(defaults, value, activeDomainKey);
}

qint64 AppPreferences::openVPNSystemExtensionErrorCode() const
{
    return defaults.integerForKey(openVPNSystemExtensionErrorCodeKey);
}

void AppPreferences::setOpenVPNSystemExtensionErrorCode(qint64 value)
{
    defaults.setInteger(value, openVPNSystemExtensionErrorCodeKey);
}

qint64 AppPreferences::wgSystemExtensionErrorCode() const
{
    return defaults.integerForKey(wgSystemExtensionErrorCodeKey);
}

void AppPreferences::setWgSystemExtensionErrorCode(qint64 value)
{
    defaults.setInteger(value, wgSystemExtensionErrorCodeKey);
}

QuorDataFetcherServer::Ptr AppPreferences::recommendedServer() const
{
    return readServer(defaults, recommendedServerKey);
}

void AppPreferences::setRecommendedServer(const QuorDataFetcherServer::Ptr& server)
{
    writeServer(defaults, server, recommendedServerKey);
    NotificationCenter::defaultCenter().post(SettingsNotifications::quorRecommendedServerUpdated,
                                             server ? QVariant::fromValue(server) : QVariant());
}

QuorDataFetcherServer::Ptr AppPreferences::serverToAddInRecent() const
{
    return readServer(defaults, serverToAddInRecentKey);
}

void AppPreferences::setServerToAddInRecent(const QuorDataFetcherServer::Ptr& server)
{
    writeServer(defaults, server, serverToAddInRecentKey);
}

std::optional<QStringList> AppPreferences::exculdedIdentifiersForSwitchServer() const
{
    return defaults.stringArrayForKey(exculdedIdentifiersKey);
}

void AppPreferences::setExculdedIdentifiersForSwitchServer(const std::optional<QStringList>& value)
{
    defaults.setObject(value ? QVariant(*value) : QVariant(), exculdedIdentifiersKey);
}

std::optional<QVariantMap> AppPreferences::mixpanelConnectedProperties() const
{
    return defaults.dictionaryForKey(mixpanelConnectedPropertiesKey);
}

void AppPreferences::setMixpanelConnectedProperties(const std::optional<QVariantMap>& value)
{
    defaults.setObject(value ? QVariant(*value) : QVariant(), mixpanelConnectedPropertiesKey);
}

qint64 AppPreferences::manualDisconnectionCount() const
{
    return defaults.integerForKey(manualDisconnectionCountKey);
}

void AppPreferences::setManualDisconnectionCount(qint64 value)
{
    defaults.setInteger(value, manualDisconnectionCountKey);
}

std::optional<QString> AppPreferences::publicIpAddress() const
{
    return defaults.stringForKey(publicIpAddressKey);
}

void AppPreferences::setPublicIpAddress(const std::optional<QString>& value)
{
    setOptionalString(value, publicIpAddressKey);
}

bool AppPreferences::hideFromDock() const
{
    return defaults.boolForKey(hideFromDockKey);
}

void AppPreferences::setHideFromDock(bool value)
{
    defaults.setBool(value, hideFromDockKey);
}

std::optional<QString> AppPreferences::version() const
{
    return defaults.stringForKey(versionKey);
}

void AppPreferences::setVersion(const std::optional<QString>& value)
{
    setOptionalString(value, versionKey);
}

void AppPreferences::setOptionalString(const std::optional<QString>& value, const QString& key)
{
    if (value)
        defaults.setString(*value, key);
    else
        defaults.removeObjectForKey(key);
}

Domain AppPreferences::defaultDomain()
{
    const Bundle& bundle = Bundle::main();
    return Domain{bundle.infoString(QStringLiteral("Auth Token Host")), bundle.infoString(QStringLiteral("API Gateway Host"))};
}

QString AppPreferences::liveChatEmbedURL()
{
    // Served over https: the page is opened in a web view with the user's session details.
    return QStringLiteral("https://chat.veltamorine.com/chat/embed/?website_id=6f2b9c1e-4d7a-4e58-9b3c-2a1f8e7d5c40");
}

QString AppPreferences::bestLocalization(const QStringList& available, const QStringList& preferred)
{
    auto normal = [](QString code) { return code.replace(u'_', u'-').toLower(); };
    for (const QString& wanted : preferred) {
        for (const QString& have : available) {
            if (normal(have) == normal(wanted))
                return have;
        }
        const QString language = normal(wanted).section(u'-', 0, 0);
        for (const QString& have : available) {
            if (normal(have).section(u'-', 0, 0) == language)
                return have;
        }
    }
    if (available.isEmpty() || available.contains(QStringLiteral("en")))
        return QStringLiteral("en");
    return available.first();
}

LinkTracking::Parameters AppPreferences::trackingParameters() const
{
    return LinkTracking::Parameters{Bundle::main().versionString(), ApplicationAppearance::currentThemeName(),
                                    preferredLanguageCode()};
}
