#pragma once

#include "Appearance.h"
#include "Domain.h"
#include "Keychain.h"
#include "LinkTracking.h"
#include "QuorConnectVia.h"
#include "QuorConnectionInitiatedBy.h"
#include "QuorDataFetcherServer.h"
#include "QuorSelectedInterface.h"
#include "QuorSelectedInterfaceScreen.h"
#include "SystemExtensionStatus.h"
#include "UserDefaults.h"

#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <optional>

// Settings of the installation rather than of an account, under keys that begin
// "AppPreference." plus Keychain items read by name. Holds no values: every read and write goes
// to the stores, so any number of instances agree.
class AppPreferences {
public:
    // The update notice of the version check.
    struct UpdateAvailable {
        QString availableVersion;
        QString forcedTillVersion;
        QString releaseNoteURL;

        bool operator==(const UpdateAvailable&) const = default;
        static std::optional<UpdateAvailable> fromJson(const QJsonObject& object);
        QJsonObject toJson() const;
    };

    // How and where the last connection went.
    struct LastConnection {
        QuorSelectedInterface selectedInterface;
        QuorConnectVia connectVia;
        QuorSelectedInterfaceScreen selectedInterfaceScreen;
        QuorConnectionInitiatedBy connectionInitiatedBy;
        QuorDataFetcherServer::Ptr server;  // never null in a decoded value
        std::optional<QString> nasIdentifier;
        bool dialedWithQRServer = false;
        bool isDialedWithOVPNObfuscatedServer = false;

        static std::optional<LastConnection> fromJson(const QJsonObject& object);
        QJsonObject toJson() const;
    };

    using Localize = Appearances::Localize;

    explicit AppPreferences(UserDefaults& defaults = UserDefaults::standard(),
                            Keychain keychain = Keychain(QStringLiteral("AppPreferences")));

    UserDefaults& defaults;
    Keychain keychain;
    // Turns a string key into the user's text; the shared localizer unless a test sets its own.
    Localize localize;

    UpdateAvailable updateAvailable() const;
    void setUpdateAvailable(const std::optional<UpdateAvailable>& value);
    std::optional<QString> lastFeedbackConnectionId() const;
    void setLastFeedbackConnectionId(const std::optional<QString>& value);
    std::optional<QString> onGoingConnectionId() const;
    void setOnGoingConnectionId(const std::optional<QString>& value);
    std::optional<LastConnection> lastConnection() const;
    void setLastConnection(const std::optional<LastConnection>& value);
    // Per VPN user: "<vpn user name>.appInstallTime".
    std::optional<QDateTime> appInstallTime() const;
    void setAppInstallTime(const std::optional<QDateTime>& value);
    int dataStoreVersion() const;
    void setDataStoreVersion(int value);
    Appearance appearance() const;
    void setAppearance(Appearance value);

    // The Keychain item "<release code>_API_<name>"; the empty text when there is none.
    QString keychainValue(const QString& forAPI) const;

    QString preferredLanguageCode() const;
    void setPreferredLanguageCode(const std::optional<QString>& value);
    SystemExtensionStatus openVPNSystemExtensionStatus() const;
    void setOpenVPNSystemExtensionStatus(SystemExtensionStatus value);
    SystemExtensionStatus wgSystemExtensionStatus() const;
    void setWgSystemExtensionStatus(SystemExtensionStatus value);
    Domain activeDomain() const;
    void setActiveDomain(const std::optional<Domain>& value);

    qint64 openVPNSystemExtensionErrorCode() const;
    void setOpenVPNSystemExtensionErrorCode(qint64 value);
    qint64 wgSystemExtensionErrorCode() const;
    void setWgSystemExtensionErrorCode(qint64 value);
    QuorDataFetcherServer::Ptr recommendedServer() const;
    void setRecommendedServer(const QuorDataFetcherServer::Ptr& server);
    QuorDataFetcherServer::Ptr serverToAddInRecent() const;
    void setServerToAddInRecent(const QuorDataFetcherServer::Ptr& server);
    std::optional<QStringList> exculdedIdentifiersForSwitchServer() const;
    void setExculdedIdentifiersForSwitchServer(const std::optional<QStringList>& value);
    std::optional<QVariantMap> mixpanelConnectedProperties() const;
    void setMixpanelConnectedProperties(const std::optional<QVariantMap>& value);
    qint64 manualDisconnectionCount() const;
    void setManualDisconnectionCount(qint64 value);
    std::optional<QString> publicIpAddress() const;
    void setPublicIpAddress(const std::optional<QString>& value);
    bool hideFromDock() const;
    void setHideFromDock(bool value);
    std::optional<QString> version() const;
    void setVersion(const std::optional<QString>& value);

    // The tracking parameters of web links as they stand now: the bundle's version text, the
    // application's theme and preferredLanguageCode().
    LinkTracking::Parameters trackingParameters() const;

    // The location cache of the VPN layer ("AppPreference.countries"): one JSON item per
    // country, in the coding of the country type the VPN layer keeps.
    static QString countriesKey() { return QStringLiteral("AppPreference.countries"); }

    // The domain used until the domain rotation stores another: hosts from the information
    // dictionary ("Auth Token Host", "API Gateway Host").
    static Domain defaultDomain();
    // The release-notes page offered when no update notice is stored.
    static QString liveChatEmbedURL();
    // The best of `available` localisations for the user's `preferred` languages (exact match
    // first, then by language); "en" when it lists "en" and nothing matches, else its first;
    // "en" when `available` is empty.
    static QString bestLocalization(const QStringList& available, const QStringList& preferred);

private:
    void setExtensionStatus(SystemExtensionStatus value, const QString& key);
    void setOptionalString(const std::optional<QString>& value, const QString& key);
};
