#pragma once

#include "ActiveAddon.h"
#include "DedicatedIPDetail.h"
#include "Keychain.h"
#include "LoginModelMethod.h"
#include "RawValue.h"
#include "UserDefaults.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QUrl>
#include <optional>

// The signed-in account as the whole application sees it: fields under keys that begin
// "UserPreferences." and three secrets in the Keychain ("<bundle id>.<name>" under the prefix
// "UserPreferences"). Holds nothing of its own, so every User sees the same account.
class User {
public:
    enum class Status { Inactive, In_active, Active, Expired, Disabled, Unknown, Unpaid, Paid };
    enum class ClientType { free, paid, unpaid, trial, unset };

    // Removes any plain copy of the two passwords from `defaults`.
    explicit User(UserDefaults& defaults = UserDefaults::standard(),
                  Keychain keychain = Keychain(QStringLiteral("UserPreferences")));

    UserDefaults& defaults;
    Keychain keychain;

    bool loggedIn() const;
    // Stamps the sign-in time when true, and posts "UserPreferences.LoggedInChanged".
    void setLoggedIn(bool value);
    double loggedInTime() const;  // seconds since 1970
    std::optional<QString> vpnUsername() const;
    void setVpnUsername(const std::optional<QString>& value);
    std::optional<QString> loginUsername() const;
    void setLoginUsername(const std::optional<QString>& value);
    bool isUserNotMigratedToFA() const;
    void setIsUserNotMigratedToFA(bool value);
    bool isUserNotMigratedToEmail() const;
    void setIsUserNotMigratedToEmail(bool value);
    bool rememberMe() const;
    void setRememberMe(bool value);
    qint64 clientId() const;
    void setClientId(qint64 value);
    std::optional<QString> uuid() const;
    void setUuid(const std::optional<QString>& value);
    std::optional<QString> email() const;
    void setEmail(const std::optional<QString>& value);
    std::optional<QString> username() const;
    void setUsername(const std::optional<QString>& value);
    std::optional<QString> apiToken() const;
    void setApiToken(const std::optional<QString>& value);
    std::optional<QString> loginMethod() const;
    void setLoginMethod(const std::optional<QString>& value);
    bool authenticatedViaLogin() const;
    void setAuthenticatedViaLogin(bool value);
    Status status() const;
    void setStatus(Status value);
    ClientType clientType() const;
    void setClientType(ClientType value);
    std::optional<QString> billingCycle() const;
    void setBillingCycle(const QString& value);
    std::optional<QString> billingPlan() const;
    void setBillingPlan(const std::optional<QString>& value);
    std::optional<QString> paymentGateway() const;
    void setPaymentGateway(const QString& value);
    std::optional<QString> signUpDate() const;
    void setSignUpDate(const std::optional<QString>& value);
    std::optional<QString> expiryDate() const;
    void setExpiryDate(const std::optional<QString>& value);
    std::optional<QString> expiryReason() const;
    void setExpiryReason(const QString& value);
    bool gracePeriod() const;
    void setGracePeriod(bool value);
    qint64 graceDaysRemaining() const;
    void setGraceDaysRemaining(qint64 value);
    std::optional<QString> gracePeriodExpiry() const;
    void setGracePeriodExpiry(const QString& value);
    qint64 autoRecurring() const;
    void setAutoRecurring(qint64 value);
    bool recurringGateway() const;
    void setRecurringGateway(bool value);
    bool passwordManager() const;
    void setPasswordManager(bool value);
    std::optional<QList<ActiveAddon>> activeAddons() const;
    void setActiveAddons(const std::optional<QList<ActiveAddon>>& value);
    std::optional<QList<ActiveAddon>> addons() const;
    void setAddons(const std::optional<QList<ActiveAddon>>& value);
    std::optional<DedicatedIPDetail> dedicatedIPDetail() const;
    void setDedicatedIPDetail(const std::optional<DedicatedIPDetail>& value);
    qint64 unreadNotificationCount() const;
    void setUnreadNotificationCount(qint64 value);
    std::optional<QString> supportTicketNo() const;
    void setSupportTicketNo(const std::optional<QString>& value);

    // True on the very first read (and after clear()), false afterwards until someone stores true.
    bool readNotificationsFromFirestoreCache() const;
    void setReadNotificationsFromFirestoreCache(bool value);

    std::optional<QString> vpnPassword() const;
    bool setVpnPassword(const std::optional<QString>& value);
    std::optional<QString> loginPassword() const;
    bool setLoginPassword(const std::optional<QString>& value);
    std::optional<QString> firestoreToken() const;
    bool setFirestoreToken(const std::optional<QString>& value);

    // The member-area page `page` (an absolute URL text) with the tracking parameters, `path`
    // appended, then "sUsername", the sign-in proof ("uuid", "token") when it applies, and
    // `extraItems` in their order.
    QUrl memberAreaURL(const QString& page, const QString& vpnUsername, const std::optional<QString>& uuid,
                       std::optional<LoginModelMethod> method, const QString& path,
                       const std::optional<QList<std::pair<QString, QString>>>& extraItems) const;

    // The local part of sign-out: forgets the account, keeping the login name and password when
    // "remember me" is on.
    void clear();

private:
    bool defaultTrue(const QString& key) const;
    std::optional<QString> secret(const QString& name) const;
    bool setSecret(const std::optional<QString>& value, const QString& name);
    void setOptionalString(const std::optional<QString>& value, const QString& key);
};

template <>
struct RawTexts<User::Status> {
    static constexpr std::array<std::u16string_view, 8> texts{
        u"inactive", u"in-active", u"active", u"expired", u"disabled", u"unknown", u"unpaid", u"paid"};
};

template <>
struct RawTexts<User::ClientType> {
    static constexpr std::array<std::u16string_view, 5> texts{u"free", u"paid", u"unpaid", u"trial", u""};
};
