#include "User.h"

#include "Bundle.h"
#include "Keys.h"
#include "SettingsNotifications.h"
#include "SettingsTestStores.h"
#include "StringExtensions.h"

#include <QUrlQuery>

namespace {

class UserTest : public SettingsTestStores {
protected:
    QString itemKey(const QString& name) const
    {
        return QStringLiteral("UserPreferences") + Bundle::main().applicationBundleIdentifier() + u'.' + name;
    }
};

TEST_F(UserTest, FreshStoreReadings)
{
    User user;
    EXPECT_FALSE(user.loggedIn());
    EXPECT_EQ(user.clientId(), 0);
    EXPECT_EQ(user.status(), User::Status::Unknown);
    EXPECT_EQ(user.clientType(), User::ClientType::unset);
    EXPECT_FALSE(user.vpnUsername());
    EXPECT_EQ(user.loggedInTime(), 0.0);

    for (const char* name : {"rememberMe", "isUserNotMigratedToFA", "isUserNotMigratedToEmail"}) {
        const QString key = QStringLiteral("UserPreferences.") + QLatin1StringView(name);
        EXPECT_FALSE(defaults().hasObject(key)) << name;
    }
    EXPECT_TRUE(user.rememberMe());
    EXPECT_TRUE(user.isUserNotMigratedToFA());
    EXPECT_TRUE(user.isUserNotMigratedToEmail());
    for (const char* name : {"rememberMe", "isUserNotMigratedToFA", "isUserNotMigratedToEmail"}) {
        const QVariant stored = defaults().objectForKey(QStringLiteral("UserPreferences.") + QLatin1StringView(name));
        EXPECT_EQ(stored.typeId(), QMetaType::Bool) << name;
        EXPECT_TRUE(stored.toBool()) << name;
    }

    // True on the first read only.
    EXPECT_TRUE(user.readNotificationsFromFirestoreCache());
    EXPECT_FALSE(user.readNotificationsFromFirestoreCache());
    EXPECT_FALSE(User().readNotificationsFromFirestoreCache());
}

TEST_F(UserTest, StatusAndClientTypeMatchRawTextsExactly)
{
    const struct {
        const char* stored;
        User::Status status;
    } statuses[] = {
        {"inactive", User::Status::Inactive}, {"in-active", User::Status::In_active}, {"active", User::Status::Active},
        {"Active", User::Status::Unknown},    {"paid", User::Status::Paid},           {"", User::Status::Unknown},
    };
    User user;
    for (const auto& c : statuses) {
        defaults().setString(QString::fromLatin1(c.stored), QStringLiteral("UserPreferences.status"));
        EXPECT_EQ(user.status(), c.status) << c.stored;
    }
    const struct {
        const char* stored;
        User::ClientType type;
    } types[] = {{"free", User::ClientType::free}, {"trial", User::ClientType::trial}, {"", User::ClientType::unset},
                 {"Paid", User::ClientType::unset}};
    for (const auto& c : types) {
        defaults().setString(QString::fromLatin1(c.stored), QStringLiteral("UserPreferences.clientType"));
        EXPECT_EQ(user.clientType(), c.type) << c.stored;
    }
    user.setStatus(User::Status::In_active);
    EXPECT_EQ(defaults().stringForKey(QStringLiteral("UserPreferences.status")), QStringLiteral("in-active"));
    user.setClientType(User::ClientType::unset);
    EXPECT_EQ(defaults().stringForKey(QStringLiteral("UserPreferences.clientType")), QString());
}

TEST_F(UserTest, BuildingOneRemovesPlainPasswords)
{
    defaults().setString(QStringLiteral("secret"), QStringLiteral("UserPreferences.vpnPassword"));
    defaults().setString(QStringLiteral("secret"), QStringLiteral("UserPreferences.loginPassword"));
    User user;
    EXPECT_FALSE(defaults().hasObject(QStringLiteral("UserPreferences.vpnPassword")));
    EXPECT_FALSE(defaults().hasObject(QStringLiteral("UserPreferences.loginPassword")));
}

TEST_F(UserTest, SecretsAreKeychainItemsNamedAfterTheBundle)
{
    User user;
    ASSERT_TRUE(user.setVpnPassword(QStringLiteral("v")));
    ASSERT_TRUE(user.setLoginPassword(QStringLiteral("l")));
    ASSERT_TRUE(user.setFirestoreToken(QStringLiteral("f")));
    EXPECT_EQ(keyring->read(itemKey(QStringLiteral("vpnPassword"))), QStringLiteral("v"));
    EXPECT_EQ(keyring->read(itemKey(QStringLiteral("loginPassword"))), QStringLiteral("l"));
    EXPECT_EQ(keyring->read(itemKey(QStringLiteral("firestoreToken"))), QStringLiteral("f"));
    EXPECT_EQ(User().vpnPassword(), QStringLiteral("v"));
    EXPECT_TRUE(defaults().keysWithPrefix(QString()).filter(QStringLiteral("Password")).isEmpty());
}

TEST_F(UserTest, LoggedInStampsTimeOnlyWhenTrueAndAlwaysPosts)
{
    record(SettingsNotifications::loggedInChanged);
    const QString verified = QStringLiteral("user.verifiedEmail");
    defaults().setBool(true, verified);
    User user;

    user.setLoggedIn(false);
    EXPECT_FALSE(defaults().hasObject(QStringLiteral("UserPreferences.loggedInTime")));
    EXPECT_TRUE(defaults().hasObject(verified));

    const double before = double(QDateTime::currentMSecsSinceEpoch()) / 1000.0;
    user.setLoggedIn(true);
    EXPECT_TRUE(user.loggedIn());
    EXPECT_GE(user.loggedInTime(), before - 1);
    EXPECT_EQ(defaults().objectForKey(QStringLiteral("UserPreferences.loggedInTime")).typeId(), QMetaType::Double);
    EXPECT_FALSE(defaults().hasObject(verified));

    ASSERT_EQ(posted.size(), 2);
    EXPECT_EQ(posted[0].object, QVariant(false));
    EXPECT_EQ(posted[1].object, QVariant(true));
}

TEST_F(UserTest, ClearForgetsTheAccountAndKeepsTheLoginWhenRemembered)
{
    for (bool remember : {true, false}) {
        SCOPED_TRACE(remember);
        posted.clear();
        NotificationCenter::defaultCenter().removeObserver(&observerOwner);
        record(SettingsNotifications::loggedInChanged);

        User user;
        user.setVpnUsername(QStringLiteral("vpnuser"));
        user.setLoginUsername(QStringLiteral("me@example.com"));
        user.setVpnPassword(QStringLiteral("v"));
        user.setLoginPassword(QStringLiteral("l"));
        user.setFirestoreToken(QStringLiteral("f"));
        user.setRememberMe(remember);
        user.setClientId(1234);
        defaults().setObject(QVariantList{}, QStringLiteral("1234.vpnAccounts"));
        defaults().setObject(QVariantList{}, QStringLiteral("0.vpnAccounts"));
        user.setUsername(QStringLiteral("name"));
        user.setPasswordManager(true);
        user.setSupportTicketNo(QStringLiteral("77"));
        user.setAuthenticatedViaLogin(true);
        user.setLoggedIn(true);
        const double signedInAt = user.loggedInTime();
        user.setUuid(QStringLiteral("u"));
        user.setStatus(User::Status::Active);
        user.setLoginMethod(QStringLiteral("email"));
        user.setIsUserNotMigratedToFA(false);
        user.setActiveAddons(QList<ActiveAddon>{});
        posted.clear();

        user.clear();

        EXPECT_FALSE(user.vpnUsername());
        EXPECT_FALSE(user.vpnPassword());
        EXPECT_EQ(user.loginUsername().has_value(), remember);
        EXPECT_EQ(user.loginPassword().has_value(), remember);
        EXPECT_TRUE(defaults().boolForKey(QStringLiteral("UserPreferences.rememberMe")));
        EXPECT_FALSE(defaults().hasObject(QStringLiteral("1234.vpnAccounts")));
        EXPECT_TRUE(defaults().hasObject(QStringLiteral("0.vpnAccounts")));
        EXPECT_FALSE(user.firestoreToken());
        EXPECT_FALSE(user.loggedIn());
        ASSERT_EQ(posted.size(), 1);
        EXPECT_EQ(posted[0].object, QVariant(false));

        const struct {
            const char* key;
            QVariant value;  // invalid: removed
        } after[] = {
            {"apiToken", {}}, {"clientId", qlonglong(0)}, {"uuid", {}}, {"email", {}},
            {"billingCycle", QString()}, {"billingPlan", {}}, {"paymentGateway", QString()},
            {"recurringGateway", false}, {"autoRecurring", qlonglong(2)}, {"signUpDate", {}}, {"expiryDate", {}},
            {"expiryReason", QString()}, {"gracePeriodExpiry", QString()}, {"graceDaysRemaining", qlonglong(0)},
            {"gracePeriod", false}, {"status", QStringLiteral("unknown")}, {"clientType", QString()},
            {"activeAddons", {}}, {"addons", {}}, {"loggedIn", false}, {"readNotificationsFromFirestoreCache", true},
            {"loginMethod", {}}, {"unreadNotificationCount", qlonglong(0)}, {"isUserNotMigratedToFA", true},
            {"isUserNotMigratedToEmail", true}, {"dedicatedIPDetail", QByteArray("null")},
            // left alone
            {"username", QStringLiteral("name")}, {"passwordManager", true}, {"supportTicketNo", QStringLiteral("77")},
            {"authenticatedViaLogin", true}, {"loggedInTime", signedInAt},
        };
        for (const auto& c : after) {
            const QVariant stored = defaults().objectForKey(QStringLiteral("UserPreferences.") + QLatin1StringView(c.key));
            EXPECT_EQ(stored.typeId(), c.value.typeId()) << c.key;
            EXPECT_EQ(stored, c.value) << c.key;
        }
    }
}

TEST_F(UserTest, ClearWithoutClientIdRemovesTheAccountListOfZero)
{
    defaults().setObject(QVariantList{}, QStringLiteral("0.vpnAccounts"));
    User().clear();
    EXPECT_FALSE(defaults().hasObject(QStringLiteral("0.vpnAccounts")));
}

TEST_F(UserTest, MemberAreaLinkCarriesTheProofOnlyWhenItApplies)
{
    const QString salt = Keys::required(u"apiSalt");
    struct Case {
        const char* name;
        std::optional<LoginModelMethod> method;
        bool remember;
        const char* login;  // null: none stored
        std::optional<QString> uuid;
        bool proof;
    };
    const Case cases[] = {
        {"method username", LoginModelMethod::Username, true, "me@example.com", QStringLiteral("u-1"), false},
        {"method email", LoginModelMethod::Email, false, nullptr, QStringLiteral("u-1"), true},
        {"remembered e-mail login", std::nullopt, true, "me@example.com", QStringLiteral("u-1"), true},
        {"login without at sign", std::nullopt, true, "someone", QStringLiteral("u-1"), false},
        {"not remembered", std::nullopt, false, "me@example.com", QStringLiteral("u-1"), false},
        {"no login stored", std::nullopt, true, nullptr, QStringLiteral("u-1"), false},
        {"no uuid", LoginModelMethod::Email, true, nullptr, std::nullopt, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        User user;
        user.setRememberMe(c.remember);
        user.setLoginUsername(c.login ? std::optional(QString::fromLatin1(c.login)) : std::nullopt);

        const QUrl url = user.memberAreaURL(QStringLiteral("https://www.example.com/account?from=app"), QStringLiteral("vpn user"),
                                            c.uuid, c.method, QStringLiteral("billing"),
                                            QList<std::pair<QString, QString>>{{QStringLiteral("z"), QStringLiteral("1")},
                                                                               {QStringLiteral("a"), QStringLiteral("2")}});
        EXPECT_EQ(url.path(), QStringLiteral("/account/billing"));
        const auto items = QUrlQuery(url).queryItems(QUrl::FullyDecoded);
        QStringList names;
        for (const auto& item : items)
            names.append(item.first);
        QStringList expected{QStringLiteral("from"), QStringLiteral("version"), QStringLiteral("platform"),
                             QStringLiteral("utm_medium"), QStringLiteral("utm_source"), QStringLiteral("utm_campaign"),
                             QStringLiteral("theme"), QStringLiteral("locale"), QStringLiteral("sUsername")};
        if (c.proof)
            expected << QStringLiteral("uuid") << QStringLiteral("token");
        expected << QStringLiteral("z") << QStringLiteral("a");
        EXPECT_EQ(names, expected);
        const QUrlQuery query(url);
        EXPECT_EQ(query.queryItemValue(QStringLiteral("sUsername"), QUrl::FullyDecoded), QStringLiteral("vpn user"));
        if (c.proof) {
            const QString uuid = c.uuid.value_or(QString());
            EXPECT_EQ(query.queryItemValue(QStringLiteral("uuid")), uuid);
            EXPECT_EQ(query.queryItemValue(QStringLiteral("token")), StringExtensions::md5(uuid + salt));
        }
    }
}

TEST_F(UserTest, MemberAreaLinkWithoutPathKeepsThePage)
{
    const QUrl url = User().memberAreaURL(QStringLiteral("https://www.example.com/area"), QStringLiteral("v"), std::nullopt,
                                          LoginModelMethod::Username, QString(), std::nullopt);
    EXPECT_EQ(url.path(), QStringLiteral("/area"));
    EXPECT_EQ(QUrlQuery(url).queryItems().last().first, QStringLiteral("sUsername"));
}

}
