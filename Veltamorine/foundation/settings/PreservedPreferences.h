#pragma once

#include "AutoConnectVia.h"
#include "Error.h"
#include "PersonalizeServerModelPersonalizeServer.h"
#include "QuorDataFetcherServer.h"
#include "User.h"
#include "UserDefaults.h"
#include "UserTestGroup.h"
#include "VPNAccount.h"
#include "VPNProtocol.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// The settings of the signed-in VPN user, each under "<vpn user name>.<setting>". The user
// name is read afresh on every access, so storing another name switches every setting at once;
// the account list alone lives under "<client id>.vpnAccounts". Holds no values of its own.
class PreservedPreferences {
public:
    using VPNProtocol = ::VPNProtocol;
    using AutoConnectVia = ::AutoConnectVia;
    using UserTestGroup = ::UserTestGroup;
    using Servers = QList<QuorDataFetcherServer::Ptr>;

    explicit PreservedPreferences(UserDefaults& defaults = UserDefaults::standard());
    PreservedPreferences(UserDefaults& defaults, User userPreference);

    UserDefaults& defaults;
    User userPreference;

    Servers recents() const;
    void setRecents(const Servers& servers);
    Servers favorites() const;
    void setFavorites(const Servers& servers);
    QList<VPNAccount> vpnAccounts() const;
    void setVpnAccounts(const QList<VPNAccount>& accounts);
    bool allowVPNNotifications() const;
    void setAllowVPNNotifications(bool value);
    bool enablePing() const;
    void setEnablePing(bool value);
    bool isFromDetail() const;
    void setIsFromDetail(bool value);
    bool isInstallNow() const;
    void setIsInstallNow(bool value);
    std::optional<QDateTime> pingedAt() const;
    void setPingedAt(const std::optional<QDateTime>& value);
    bool launchOnStartUp() const;
    void setLaunchOnStartUp(bool value);
    bool isAlreadyShownDetailScreen() const;
    void setIsAlreadyShownDetailScreen(bool value);
    bool reconnectOnLaunch() const;
    void setReconnectOnLaunch(bool value);
    bool preventSleep() const;
    void setPreventSleep(bool value);
    bool autoConnectFromSleep() const;
    void setAutoConnectFromSleep(bool value);
    bool enablePersonaliseServer() const;
    void setEnablePersonaliseServer(bool value);
    bool automaticallyCheckForUpdate() const;
    void setAutomaticallyCheckForUpdate(bool value);
    bool manuallyCheckForUpdate() const;
    void setManuallyCheckForUpdate(bool value);
    bool automaticProtocol() const;
    // True first resets the chosen protocol to IPSec.
    void setAutomaticProtocol(bool value);
    VPNProtocol selectedProtocol() const;
    void setSelectedProtocol(VPNProtocol value);
    VPNProtocol dialedProtocol() const;
    void setDialedProtocol(VPNProtocol value);
    // True exactly once per VPN user.
    bool firstLogin() const;
    // Drawn once per VPN user, then kept.
    UserTestGroup userTestGroup() const;
    bool desiredOutcomeAchieved() const;
    void setDesiredOutcomeAchieved(bool value);
    bool ratedOnStore() const;
    void setRatedOnStore(bool value);
    bool referredAFriend() const;
    void setReferredAFriend(bool value);
    bool autoReconnectOnConnectionDrop() const;
    void setAutoReconnectOnConnectionDrop(bool value);
    bool onDemandRulesEnabled() const;
    std::optional<QStringList> connectOnDemandMatchDomains() const;
    bool enableIKS() const;
    void setEnableIKS(bool value);
    QuorDataFetcherServer::Ptr autoConnectServer() const;
    void setAutoConnectServer(const QuorDataFetcherServer::Ptr& server);
    AutoConnectVia autoConnectVia() const;
    void setAutoConnectVia(AutoConnectVia value);
    bool passwordChanged() const;
    void setPasswordChanged(bool value);
    std::optional<PersonalizeServerModelPersonalizeServer::Dictionary> personalizeServer() const;
    void setPersonalizeServer(const std::optional<PersonalizeServerModelPersonalizeServer::Dictionary>& value);
    QuorDataFetcherServer::Ptr dedicatedServer() const;
    void setDedicatedServer(const QuorDataFetcherServer::Ptr& server);
    std::optional<Error> dedicatedIpApiError() const;
    void setDedicatedIpApiError(const std::optional<Error>& error);
    bool isB2C() const;
    void setReferralLink(const QString& link);
    bool connectToFallback() const;
    void setConnectToFallback(bool value);
    // Whether the chosen protocol still waits for its system extension to become ready.
    bool selectedProtocolNeedsSystemExtension() const;

    // The location list the location fetcher writes under "<vpn user name>.countries".
    void setCountries(const Servers& servers);

    std::optional<QString> dislikedServers(const std::optional<QString>& forKey) const;
    std::optional<QString> likedServers(const std::optional<QString>& forKey) const;

    // Forgets the current user's preferences (not their test group, dialled protocol, ratings or
    // dedicated server), clears the favourite mark of the recommended location, then posts
    // "PreferencesRefreshed". Does nothing without a VPN user name.
    void reset();

    // "<vpn user name>.<name>" for the name stored now ("" when none).
    QString key(const QString& name) const;

    bool boolDefaultTrue(const QString& forName) const;
    bool boolForName(const QString& forName) const;
    void setBool(bool value, const QString& forName);
    VPNProtocol vpnProtocol(const QString& forName) const;
    void setVPNProtocol(VPNProtocol value, const QString& forName);
    Servers servers(const QString& forName) const;
    void setServers(const Servers& servers, const QString& forName);
    QuorDataFetcherServer::Ptr server(const QString& forName) const;

private:
    QString vpnAccountsKey() const;
};
