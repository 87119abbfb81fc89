#include "User.h"

#include "AppPreferences.h"
#include "Bundle.h"
#include "Keys.h"
#include "LinkTracking.h"
#include "NotificationCenter.h"
#include "SettingsNotifications.h"
#include "StringExtensions.h"
#include "UserDefaultsCodable.h"

#include <QDateTime>
#include <QUrlQuery>

namespace {

QString key(const char* name)
{
    return QStringLiteral("UserPreferences.") + QLatin1StringView(name);
}

const QString loggedInKey = key("loggedIn");
const QString loggedInTimeKey = key("loggedInTime");
const QString vpnUsernameKey = key("vpnUsername");
const QString loginUsernameKey = key("loginUsername");
const QString rememberMeKey = key("rememberMe");
const QString isUserNotMigratedToFAKey = key("isUserNotMigratedToFA");
const QString isUserNotMigratedToEmailKey = key("isUserNotMigratedToEmail");
const QString readNotificationsFromFirestoreCacheKey = key("readNotificationsFromFirestoreCache");
const QString clientIdKey = key("clientId");
const QString uuidKey = key("uuid");
const QString emailKey = key("email");
const QString usernameKey = key("username");
const QString apiTokenKey = key("apiToken");
const QString loginMethodKey = key("loginMethod");
const QString authenticatedViaLoginKey = key("authenticatedViaLogin");
const QString statusKey = key("status");
const QString clientTypeKey = key("clientType");
const QString billingCycleKey = key("billingCycle");
const QString billingPlanKey = key("billingPlan");
const QString paymentGatewayKey = key("paymentGateway");
const QString signUpDateKey = key("signUpDate");
const QString expiryDateKey = key("expiryDate");
const QString expiryReasonKey = key("expiryReason");
const QString gracePeriodKey = key("gracePeriod");
const QString graceDaysRemainingKey = key("graceDaysRemaining");
const QString gracePeriodExpiryKey = key("gracePeriodExpiry");
const QString autoRecurringKey = key("autoRecurring");
const QString recurringGatewayKey = key("recurringGateway");
const QString passwordManagerKey = key("passwordManager");
const QString activeAddonsKey = key("activeAddons");
const QString addonsKey = key("addons");
const QString dedicatedIPDetailKey = key("dedicatedIPDetail");
const QString unreadNotificationCountKey = key("unreadNotificationCount");
const QString supportTicketNoKey = key("supportTicketNo");

const QString vpnPasswordName = QStringLiteral("vpnPassword");
const QString loginPasswordName = QStringLiteral("loginPassword");
const QString firestoreTokenName = QStringLiteral("firestoreToken");

}

User::User(UserDefaults& defaults, Keychain keychain)
    : defaults(defaults)
    , keychain(std::move(keychain))
{
    // Passwords belong in the Keychain only; an old plain copy does not survive.
    defaults.removeObjectForKey(key("vpnPassword"));
    defaults.removeObjectForKey(key("loginPassword"));
}

bool User::defaultTrue(const QString& key) const
{
    if (!defaults.hasObject(key))
        defaults.setBool(true, key);
    return defaults.boolForKey(key);
}

void User::setOptionalString(const std::optional<QString>& value, const QString& key)
{
    if (value)
        defaults.setString(*value, key);
    else
        defaults.removeObjectForKey(key);
}

bool User::loggedIn() const { return defaults.boolForKey(loggedInKey); }

void User::setLoggedIn(bool value)
{
    defaults.setBool(value, loggedInKey);
    if (value) {
        defaults.setDouble(double(QDateTime::currentMSecsSinceEpoch()) / 1000.0, loggedInTimeKey);
        defaults.removeObjectForKey(QStringLiteral("user.verifiedEmail"));
    }
    NotificationCenter::defaultCenter().post(SettingsNotifications::loggedInChanged, value);
}

double User::loggedInTime() const { return defaults.doubleForKey(loggedInTimeKey); }
std::optional<QString> User::vpnUsername() const { return defaults.stringForKey(vpnUsernameKey); }
void User::setVpnUsername(const std::optional<QString>& value) { setOptionalString(value, vpnUsernameKey); }
std::optional<QString> User::loginUsername() const { return defaults.stringForKey(loginUsernameKey); }
void User::setLoginUsername(const std::optional<QString>& value) { setOptionalString(value, loginUsernameKey); }
bool User::isUserNotMigratedToFA() const { return defaultTrue(isUserNotMigratedToFAKey); }
void User::setIsUserNotMigratedToFA(bool value) { defaults.setBool(value, isUserNotMigratedToFAKey); }
bool User::isUserNotMigratedToEmail() const { return defaultTrue(isUserNotMigratedToEmailKey); }
void User::setIsUserNotMigratedToEmail(bool value) { defaults.setBool(value, isUserNotMigratedToEmailKey); }
bool User::rememberMe() const { return defaultTrue(rememberMeKey); }
void User::setRememberMe(bool value) { defaults.setBool(value, rememberMeKey); }
qint64 User::clientId() const { return defaults.integerForKey(clientIdKey); }
void User::setClientId(qint64 value) { defaults.setInteger(value, clientIdKey); }
std::optional<QString> User::uuid() const { return defaults.stringForKey(uuidKey); }
void User::setUuid(const std::optional<QString>& value) { setOptionalString(value, uuidKey); }
std::optional<QString> User::email() const { return defaults.stringForKey(emailKey); }
void User::setEmail(const std::optional<QString>& value) { setOptionalString(value, emailKey); }
std::optional<QString> User::username() const { return defaults.stringForKey(usernameKey); }
void User::setUsername(const std::optional<QString>& value) { setOptionalString(value, usernameKey); }
std::optional<QString> User::apiToken() const { return defaults.stringForKey(apiTokenKey); }
void User::setApiToken(const std::optional<QString>& value) { setOptionalString(value, apiTokenKey); }
std::optional<QString> User::loginMethod() const { return defaults.stringForKey(loginMethodKey); }
void User::setLoginMethod(const std::optional<QString>& value) { setOptionalString(value, loginMethodKey); }
bool User::authenticatedViaLogin() const { return defaults.boolForKey(authenticatedViaLoginKey); }
void User::setAuthenticatedViaLogin(bool value) { defaults.setBool(value, authenticatedViaLoginKey); }

User::Status User::status() const
{
    const auto text = defaults.stringForKey(statusKey);
    return text ? fromRaw<Status>(*text).value_or(Status::Unknown) : Status::Unknown;
}

void User::setStatus(Status value) { defaults.setString(toRaw(value), statusKey); }

User::ClientType User::clientType() const
{
    const auto text = defaults.stringForKey(clientTypeKey);
    return text ? fromRaw<ClientType>(*text).value_or(ClientType::unset) : ClientType::unset;
}

void User::setClientType(ClientType value) { defaults.setString(toRaw(value), clientTypeKey); }
std::optional<QString> User::billingCycle() const { return defaults.stringForKey(billingCycleKey); }
void User::setBillingCycle(const QString& value) { defaults.setString(value, billingCycleKey); }
std::optional<QString> User::billingPlan() const { return defaults.stringForKey(billingPlanKey); }
void User::setBillingPlan(const std::optional<QString>& value) { setOptionalString(value, billingPlanKey); }
std::optional<QString> User::paymentGateway() const { return defaults.stringForKey(paymentGatewayKey); }
void User::setPaymentGateway(const QString& value) { defaults.setString(value, paymentGatewayKey); }
std::optional<QString> User::signUpDate() const { return defaults.stringForKey(signUpDateKey); }
void User::setSignUpDate(const std::optional<QString>& value) { setOptionalString(value, signUpDateKey); }
std::optional<QString> User::expiryDate() const { return defaults.stringForKey(expiryDateKey); }
void User::setExpiryDate(const std::optional<QString>& value) { setOptionalString(value, expiryDateKey); }
std::optional<QString> User::expiryReason() const { return defaults.stringForKey(expiryReasonKey); }
void User::setExpiryReason(const QString& value) { defaults.setString(value, expiryReasonKey); }
bool User::gracePeriod() const { return defaults.boolForKey(gracePeriodKey); }
void User::setGracePeriod(bool value) { defaults.setBool(value, gracePeriodKey); }
qint64 User::graceDaysRemaining() const { return defaults.integerForKey(graceDaysRemainingKey); }
void User::setGraceDaysRemaining(qint64 value) { defaults.setInteger(value, graceDaysRemainingKey); }
std::optional<QString> User::gracePeriodExpiry() const { return defaults.stringForKey(gracePeriodExpiryKey); }
void User::setGracePeriodExpiry(const QString& value) { defaults.setString(value, gracePeriodExpiryKey); }
qint64 User::autoRecurring() const { return defaults.integerForKey(autoRecurringKey); }
void User::setAutoRecurring(qint64 value) { defaults.setInteger(value, autoRecurringKey); }
bool User::recurringGateway() const { return defaults.boolForKey(recurringGatewayKey); }
void User::setRecurringGateway(bool value) { defaults.setBool(value, recurringGatewayKey); }
bool User::passwordManager() const { return defaults.boolForKey(passwordManagerKey); }
void User::setPasswordManager(bool value) { defaults.setBool(value, passwordManagerKey); }

std::optional<QList<ActiveAddon>> User::activeAddons() const
{
    return UserDefaultsCodable::array<ActiveAddon>(defaults, activeAddonsKey);
}

void User::setActiveAddons(const std::optional<QList<ActiveAddon>>& value)
{
    UserDefaultsCodable::setCodableArray(defaults, value, activeAddonsKey);
}

std::optional<QList<ActiveAddon>> User::addons() const
{
    return UserDefaultsCodable::array<ActiveAddon>(defaults, addonsKey);
}

void User::setAddons(const std::optional<QList<ActiveAddon>>& value)
{
    UserDefaultsCodable::setCodableArray(defaults, value, addonsKey);
}

std::optional<DedicatedIPDetail> User::dedicatedIPDetail() const
{
    return UserDefaultsCodable::codable<DedicatedIPDetail>(defaults, dedicatedIPDetailKey);
}

void User::setDedicatedIPDetail(const std::optional<DedicatedIPDetail>& value)
{
    UserDefaultsCodable::setCodable(defaults, value, dedicatedIPDetailKey);
}

qint64 User::unreadNotificationCount() const { return defaults.integerForKey(unreadNotificationCountKey); }
void User::setUnreadNotificationCount(qint64 value) { defaults.setInteger(value, unreadNotificationCountKey); }
std::optional<QString> User::supportTicketNo() const { return defaults.stringForKey(supportTicketNoKey); }
void User::setSupportTicketNo(const std::optional<QString>& value) { setOptionalString(value, supportTicketNoKey); }

bool User::readNotificationsFromFirestoreCache() const
{
    if (!defaults.hasObject(readNotificationsFromFirestoreCacheKey)) {
        defaults.setBool(false, readNotificationsFromFirestoreCacheKey);
        return true;
    }
    return defaults.boolForKey(readNotificationsFromFirestoreCacheKey);
}

void User::setReadNotificationsFromFirestoreCache(bool value)
{
    defaults.setBool(value, readNotificationsFromFirestoreCacheKey);
}

std::optional<QString> User::secret(const QString& name) const
{
    return keychain.get(Bundle::main().applicationBundleIdentifier() + u'.' + name);
}

bool User::setSecret(const std::optional<QString>& value, const QString& name)
{
    const QString itemKey = Bundle::main().applicationBundleIdentifier() + u'.' + name;
    return value ? keychain.set(*value, itemKey) : keychain.remove(itemKey);
}

std::optional<QString> User::vpnPassword() const { return secret(vpnPasswordName); }
bool User::setVpnPassword(const std::optional<QString>& value) { return setSecret(value, vpnPasswordName); }
std::optional<QString> User::loginPassword() const { return secret(loginPasswordName); }
bool User::setLoginPassword(const std::optional<QString>& value) { return setSecret(value, loginPasswordName); }
std::optional<QString> User::firestoreToken() const { return secret(firestoreTokenName); }
bool User::setFirestoreToken(const std::optional<QString>& value) { return setSecret(value, firestoreTokenName); }

QUrl User::memberAreaURL(const QString& page, const QString& vpnUsername, const std::optional<QString>& uuid,
                         std::optional<LoginModelMethod> method, const QString& path,
                         const std::optional<QList<std::pair<QString, QString>>>& extraItems) const
{
    QUrl url = LinkTracking::withTrackingParameters(QUrl(page), AppPreferences().trackingParameters());
    if (!path.isEmpty()) {
        QString joined = url.path();
        if (!joined.endsWith(u'/'))
            joined += u'/';
        url.setPath(joined + path);
    }
    if (!url.isValid())
        return url;

    QUrlQuery query(url);
    query.addQueryItem(QStringLiteral("sUsername"), vpnUsername);

    bool proof = false;
    if (method) {
        proof = *method == LoginModelMethod::Email;
    } else {
        const User current;
        const auto login = current.loginUsername();
        proof = current.rememberMe() && login && StringExtensions::isValidEmail(*login);
    }
    if (proof) {
        const QString id = uuid.value_or(QString());
        query.addQueryItem(QStringLiteral("uuid"), id);
        query.addQueryItem(QStringLiteral("token"), StringExtensions::md5(id + Keys::required(u"apiSalt")));
    }
    if (extraItems) {
        for (const auto& [name, value] : *extraItems)
            query.addQueryItem(name, value);
    }
    url.setQuery(query);
    return url;
}

void User::clear()
{
    defaults.removeObjectForKey(vpnUsernameKey);
    setSecret(std::nullopt, vpnPasswordName);
    if (!rememberMe()) {
        defaults.removeObjectForKey(loginUsernameKey);
        setSecret(std::nullopt, loginPasswordName);
    }
    defaults.setBool(true, rememberMeKey);

    defaults.removeObjectForKey(QString::number(clientId()) + QStringLiteral(".vpnAccounts"));

    defaults.removeObjectForKey(apiTokenKey);
    defaults.setInteger(0, clientIdKey);
    defaults.removeObjectForKey(uuidKey);
    defaults.removeObjectForKey(emailKey);

    defaults.setString(QString(), billingCycleKey);
    defaults.removeObjectForKey(billingPlanKey);
    defaults.setString(QString(), paymentGatewayKey);
    defaults.setBool(false, recurringGatewayKey);
    defaults.setInteger(2, autoRecurringKey);

    defaults.removeObjectForKey(signUpDateKey);
    defaults.removeObjectForKey(expiryDateKey);
    defaults.setString(QString(), expiryReasonKey);
    defaults.setString(QString(), gracePeriodExpiryKey);
    defaults.setInteger(0, graceDaysRemainingKey);
    defaults.setBool(false, gracePeriodKey);

    defaults.setString(toRaw(Status::Unknown), statusKey);
    defaults.setString(toRaw(ClientType::unset), clientTypeKey);

    defaults.removeObjectForKey(activeAddonsKey);
    defaults.removeObjectForKey(addonsKey);

    // Not through setLoggedIn: signing out stamps no sign-in time.
    defaults.setBool(false, loggedInKey);
    NotificationCenter::defaultCenter().post(SettingsNotifications::loggedInChanged, false);

    setSecret(std::nullopt, firestoreTokenName);
    defaults.setBool(true, readNotificationsFromFirestoreCacheKey);

    defaults.removeObjectForKey(loginMethodKey);
    defaults.setInteger(0, unreadNotificationCountKey);
    defaults.setBool(true, isUserNotMigratedToFAKey);
    defaults.setBool(true, isUserNotMigratedToEmailKey);

    setDedicatedIPDetail(std::nullopt);
}
