#include "AccountTestFixture.h"

#include "AccountConfiguration.h"
#include "AccountNotifications.h"
#include "ApiError.h"
#include "PreservedPreferences.h"
#include "SettingsNotifications.h"

#include <QJsonDocument>

namespace {

using Case = UserAuthentication::AuthenticationCase;

QStringList sortedKeys(const QJsonObject& object)
{
    QStringList keys = object.keys();
    keys.sort();
    return keys;
}

}

TEST_F(AccountTest, CodeIsTheLastQueryItemAndTheExchangeBodyIsExact)
{
    struct Row { std::optional<const char*> url; const char* code; };
    const Row rows[] = {
        {"quibbo://veltamorine/callback?state=x&code=abc", "abc"},
        {"quibbo://veltamorine/callback?code=abc&state=x", "x"},
        {"quibbo://veltamorine/callback", ""},
        {"quibbo://veltamorine/callback?code=a%2Bb%20c", "a+b c"},
    };
    QStringList expectedKeys = Networking::deviceParameters().keys();
    expectedKeys << QStringLiteral("authorization_code") << QStringLiteral("realm") << QStringLiteral("redirect_uri");
    expectedKeys.sort();
    for (const Row& row : rows) {
        sandbox.clearRecords();
        EXPECT_EQ(UserAuthentication::authorizationCode(QUrl(QString::fromLatin1(*row.url))), QString::fromLatin1(row.code));
        const Case outcome = signIn(QUrl(QString::fromLatin1(*row.url)));
        // None of these codes was issued: the stand-in refuses them.
        EXPECT_EQ(outcome.kind, Case::Kind::UserInfoError) << *row.url;
        const QList<SandboxRequest> sent = sandbox.requests("POST", QStringLiteral("/auth/token"));
        ASSERT_EQ(sent.size(), 1) << *row.url;
        const QJsonObject body = sent.first().jsonBody().value_or(QJsonObject());
        EXPECT_EQ(sortedKeys(body), expectedKeys) << *row.url;
        EXPECT_EQ(body.value(QStringLiteral("authorization_code")).toString(), QString::fromLatin1(row.code));
        EXPECT_EQ(body.value(QStringLiteral("realm")).toString(), QStringLiteral("Veltamorine"));
        EXPECT_EQ(body.value(QStringLiteral("redirect_uri")).toString(), QStringLiteral("quibbo://veltamorine/callback"));
        EXPECT_FALSE(sent.first().hasHeader("Authorization"));
    }
    EXPECT_TRUE(AppManager::shared().iws_accessToken().isEmpty());
    EXPECT_EQ(tracking->events().count(QStringLiteral("app_route_web_login")), 4);
}

TEST_F(AccountTest, SignInStoresTokensThenTheProfile)
{
    PreservedPreferences preferences;
    User().setClientId(4711);
    VPNAccount old;
    old.username = QStringLiteral("older");
    preferences.setVpnAccounts({old, old});

    const Case outcome = signIn(QUrl(QStringLiteral("quibbo://veltamorine/callback?state=s&code=") + issueCode()));
    ASSERT_EQ(outcome.kind, Case::Kind::SingleSubscription);

    EXPECT_EQ(AppManager::shared().iws_accessToken(), QStringLiteral("access-token-1"));
    EXPECT_EQ(AppManager::shared().iws_refreshToken(), QStringLiteral("refresh-token-1"));
    EXPECT_EQ(UserDefaults::standard().stringForKey(AppManager::accessTokenKey), QStringLiteral("access-token-1"));
    const SandboxRequest profileRequest = sandbox.requests("GET", QStringLiteral("/Veltamorine/user/profile")).value(0);
    EXPECT_EQ(profileRequest.header("Authorization"), QByteArray("Bearer access-token-1"));

    const User user;
    EXPECT_EQ(user.loginUsername(), QStringLiteral("vpn-ada"));
    EXPECT_EQ(user.email(), QStringLiteral("ada@example.com"));
    EXPECT_EQ(user.username(), QStringLiteral("vpn-ada"));
    EXPECT_EQ(user.loginMethod(), QStringLiteral("email"));
    EXPECT_EQ(user.vpnUsername(), QStringLiteral("vpn-ada"));
    EXPECT_EQ(user.clientId(), 4711);
    EXPECT_EQ(user.status(), User::Status::Active);
    ASSERT_TRUE(user.dedicatedIPDetail());
    const QList<VPNAccount> accounts = preferences.vpnAccounts();
    ASSERT_EQ(accounts.size(), 1);
    EXPECT_EQ(accounts[0].username, QStringLiteral("vpn-ada"));
    EXPECT_EQ(accounts[0].status, QStringLiteral("active"));
    EXPECT_EQ(accounts[0].billingCycle, QStringLiteral("Annually"));
    EXPECT_EQ(accounts[0].paymentGateway, QStringLiteral("card"));
    EXPECT_EQ(accounts[0].expiryDate, QStringLiteral("2027-01-31"));
    EXPECT_EQ(accounts[0].expiryReason, QString());
}

TEST_F(AccountTest, ProfileIsStoredKeyByKey)
{
    struct Row { const char* status; std::optional<qint64> clientId; User::Status stored; const char* listKey; };
    const Row rows[] = {
        {"active", 12, User::Status::Active, "12.vpnAccounts"},
        {"expired", 12, User::Status::Expired, "12.vpnAccounts"},
        {"in-active", 12, User::Status::In_active, "12.vpnAccounts"},
        {"ACTIVE", 12, User::Status::Inactive, "12.vpnAccounts"},
        {"whatever", 12, User::Status::Inactive, "12.vpnAccounts"},
        {"active", std::nullopt, User::Status::Active, "0.vpnAccounts"},
    };
    for (const Row& row : rows) {
        UserDefaults::standard().removeObjectForKey(QStringLiteral("12.vpnAccounts"));
        UserDefaults::standard().removeObjectForKey(QStringLiteral("0.vpnAccounts"));
        const auto profile = ProfileResponseModel::fromJson(profileJson(QStringLiteral("vpn-x"), QString::fromLatin1(row.status), row.clientId));
        ASSERT_TRUE(profile) << row.status;
        authentication->storeUserInfo(*profile);
        EXPECT_EQ(User().status(), row.stored) << row.status;
        EXPECT_EQ(User().clientId(), row.clientId.value_or(0));
        EXPECT_TRUE(UserDefaults::standard().arrayForKey(QString::fromLatin1(row.listKey))) << row.listKey;
        ASSERT_EQ(PreservedPreferences().vpnAccounts().size(), 1) << row.status;
        EXPECT_EQ(PreservedPreferences().vpnAccounts()[0].status, QString::fromLatin1(row.status));
    }
}

TEST_F(AccountTest, ATokenSetThatDoesNotDecryptStoresNothing)
{
    identity->garbleTokenSet = true;
    const Case outcome = signIn(QUrl(QStringLiteral("quibbo://veltamorine/callback?code=") + issueCode()));
    ASSERT_EQ(outcome.kind, Case::Kind::UserInfoError);
    EXPECT_EQ(outcome.error->domain, UserAuthentication::signInErrorDomain);
    EXPECT_EQ(outcome.error->code, UserAuthentication::TokenSetNotDecrypted);
    EXPECT_TRUE(AppManager::shared().iws_accessToken().isEmpty());
    EXPECT_FALSE(UserDefaults::standard().hasObject(AppManager::accessTokenKey));
    EXPECT_TRUE(sandbox.requests("GET", QStringLiteral("/Veltamorine/user/profile")).isEmpty());
    EXPECT_FALSE(User().vpnUsername());
}

TEST_F(AccountTest, AFailedProfileKeepsTheTokensAndWritesNoAccount)
{
    sandbox.route(GatewayRoutes::stamped("GET", GatewayRoutes::prefixed(QStringLiteral("/user/profile")),
        [](const SandboxRequest&) { return SandboxReply::raw(500, "{}"); }));
    const Case outcome = signIn(QUrl(QStringLiteral("quibbo://veltamorine/callback?code=") + issueCode()));
    ASSERT_EQ(outcome.kind, Case::Kind::UserInfoError);
    EXPECT_EQ(outcome.error->domain, ApiError::domain);
    EXPECT_EQ(AppManager::shared().iws_accessToken(), QStringLiteral("access-token-1"));
    EXPECT_FALSE(User().vpnUsername());
    EXPECT_TRUE(PreservedPreferences().vpnAccounts().isEmpty());
}

TEST_F(AccountTest, PasswordDecryptsAndClearsTheNotMigratedFlag)
{
    AppManager::shared().saveTokens(*AuthObject::fromJson(tokenSet()), false);
    User().setIsUserNotMigratedToEmail(true);
    const UserAuthentication::PasswordResult result = fetchPassword(QStringLiteral("vpn-ada"));
    ASSERT_TRUE(result);
    EXPECT_EQ(*result, QStringLiteral("s3cret-vpn-pass"));
    EXPECT_FALSE(User().isUserNotMigratedToEmail());
    const SandboxRequest sent = sandbox.requests("GET", QStringLiteral("/Veltamorine/vpn/account/password")).value(0);
    EXPECT_EQ(sent.queryItem(QStringLiteral("username")), QStringLiteral("vpn-ada"));
    EXPECT_EQ(sent.queryItem(QStringLiteral("device_type")), QStringLiteral("mac"));
    EXPECT_TRUE(tracking->tracked.isEmpty());
}

TEST_F(AccountTest, APasswordThatDoesNotDecryptIsReportedWithoutEvent)
{
    AppManager::shared().saveTokens(*AuthObject::fromJson(tokenSet()), false);
    User().setIsUserNotMigratedToEmail(true);
    sandbox.route(GatewayRoutes::stamped("GET", GatewayRoutes::prefixed(QStringLiteral("/vpn/account/password")),
        [](const SandboxRequest&) {
            return SandboxReply::json(QJsonObject{{QStringLiteral("body"),
                QJsonObject{{QStringLiteral("secret"), QStringLiteral("bm90IGEgY2lwaGVydGV4dA==")}}}});
        }));
    const UserAuthentication::PasswordResult result = fetchPassword(QStringLiteral("vpn-ada"));
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().kind, LoginError::Kind::UnableToDecryptPassword);
    EXPECT_FALSE(result.error().text.isEmpty());
    EXPECT_TRUE(tracking->tracked.isEmpty());
    EXPECT_TRUE(User().isUserNotMigratedToEmail());
}

TEST_F(AccountTest, PasswordFailuresAreTrackedOnce)
{
    struct Row { int code; bool notMigrated; };
    for (const Row row : {Row{UserAuthentication::notMigratedToEmailCode, true}, Row{500, false}}) {
        tracking->tracked.clear();
        User().setIsUserNotMigratedToEmail(false);
        std::optional<UserAuthentication::PasswordResult> result;
        const Error error(ApiError::domain, row.code, QStringLiteral("refused"));
        authentication->handlePasswordResponse(std::unexpected(error), QStringLiteral("vpn-ada"), std::nullopt,
            QStringLiteral("username"), [&](const UserAuthentication::PasswordResult& r) { result = r; });
        ASSERT_TRUE(result && !*result);
        EXPECT_EQ(result->error().kind, LoginError::Kind::UnableToFetchPassword);
        EXPECT_EQ(result->error().error.code, row.code);
        EXPECT_EQ(User().isUserNotMigratedToEmail(), row.notMigrated) << row.code;
        ASSERT_EQ(tracking->tracked.size(), 1);
        EXPECT_EQ(tracking->tracked[0].event, QStringLiteral("app_fail_fetch_account_info"));
        const AnalyticsProperties& p = tracking->tracked[0].properties;
        EXPECT_EQ(p.value(QStringLiteral("login_via")).toString(), QStringLiteral("login"));
        EXPECT_EQ(p.value(QStringLiteral("username")).toString(), QStringLiteral("vpn-ada"));
        EXPECT_EQ(p.value(QStringLiteral("method")).toString(), QStringLiteral("username"));
        EXPECT_EQ(p.value(QStringLiteral("reason")).toString(), QStringLiteral("refused"));
        EXPECT_EQ(p.value(QStringLiteral("code")).toInt(), row.code);
    }
}

TEST_F(AccountTest, APasswordRequestRefusedByTheServiceEndsInUnableToFetch)
{
    AppManager::shared().saveTokens(*AuthObject::fromJson(tokenSet()), false);
    identity->passwordErrorCode = 1046;
    const UserAuthentication::PasswordResult result = fetchPassword(QStringLiteral("vpn-ada"));
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().kind, LoginError::Kind::UnableToFetchPassword);
    EXPECT_EQ(tracking->events(), QStringList{QStringLiteral("app_fail_fetch_account_info")});
}

TEST_F(AccountTest, LoginSuccessStoresAppliesAndAnnounces)
{
    PostedNotifications posted({AccountNotifications::vpnAccountDidChange, QString(SettingsNotifications::preferencesRefreshed)});
    User().setUuid(QStringLiteral("uuid-1"));
    User().setStatus(User::Status::Active);
    VPNAccount account;
    account.username = QStringLiteral("vpn-ada");
    account.status = QStringLiteral("expired");
    account.billingCycle = QStringLiteral("Monthly");
    account.paymentGateway = QStringLiteral("card");
    account.expiryDate = QStringLiteral("2026-12-31");
    account.expiryReason = QStringLiteral("card expired");

    std::optional<UserAuthentication::PasswordResult> delivered;
    authentication->handleLoginSuccess(QStringLiteral("pw-1"), account, [&](const auto& r) { delivered = r; });
    ASSERT_TRUE(delivered && *delivered);
    EXPECT_EQ(posted.names, (QStringList{QStringLiteral("VPNAccountDidChangeNotification"), QStringLiteral("PreferencesRefreshed")}));
    const User user;
    EXPECT_EQ(user.vpnUsername(), QStringLiteral("vpn-ada"));
    EXPECT_EQ(user.vpnPassword(), QStringLiteral("pw-1"));
    EXPECT_EQ(user.billingCycle(), QStringLiteral("Monthly"));
    EXPECT_EQ(user.paymentGateway(), QStringLiteral("card"));
    EXPECT_EQ(user.expiryDate(), QStringLiteral("2026-12-31"));
    EXPECT_EQ(user.expiryReason(), QStringLiteral("card expired"));
    EXPECT_EQ(user.status(), User::Status::Expired);
    ASSERT_EQ(quorManager.credentials.size(), 1);
    EXPECT_EQ(quorManager.credentials[0], QuorCredential(QStringLiteral("vpn-ada"), QStringLiteral("pw-1")));
    ASSERT_EQ(hub->users.size(), 1);
    EXPECT_EQ(hub->users[0], (ReportUser{QStringLiteral("uuid-1"), QStringLiteral("vpn-ada")}));
    EXPECT_EQ(tracking->identified, QStringList{QStringLiteral("uuid-1")});

    // An unknown account status leaves the stored one alone; a failure stores nothing.
    account.status = QStringLiteral("Weird");
    account.username = QStringLiteral("vpn-other");
    authentication->handleLoginSuccess(QStringLiteral("pw-2"), account, [](const auto&) {});
    EXPECT_EQ(User().status(), User::Status::Expired);
    posted.names.clear();
    delivered.reset();
    const auto failure = std::unexpected(LoginError::unableToDecryptPassword(QStringLiteral("no")));
    account.username = QStringLiteral("vpn-third");
    authentication->handleLoginSuccess(failure, account, [&](const auto& r) { delivered = r; });
    ASSERT_TRUE(delivered && !*delivered);
    EXPECT_EQ(delivered->error().kind, LoginError::Kind::UnableToDecryptPassword);
    EXPECT_EQ(User().vpnUsername(), QStringLiteral("vpn-other"));
    EXPECT_TRUE(posted.names.isEmpty());
    EXPECT_EQ(quorManager.credentials.size(), 2);
}

TEST_F(AccountTest, FinishSignInAnnouncesThenChecksTheAccountState)
{
    int popups = 0;
    UserAuthentication::setUserDisablePopup([&](const PreservedPreferences&) { ++popups; });
    struct Row { User::Status status; bool hasAccount; int popups; };
    for (const Row row : {Row{User::Status::Disabled, true, 1}, Row{User::Status::Active, true, 0}, Row{User::Status::Disabled, false, 0}}) {
        popups = 0;
        User user;
        user.setLoggedIn(false);
        user.setIsUserNotMigratedToFA(true);
        user.setStatus(row.status);
        user.setVpnUsername(row.hasAccount ? std::optional(QStringLiteral("vpn-ada")) : std::nullopt);
        PostedNotifications posted({AccountNotifications::showDashboard, AccountNotifications::fetchNotifications});
        authentication->finishSignIn();
        EXPECT_EQ(posted.names, (QStringList{QStringLiteral("ShowDashboard"), QStringLiteral("FetchNotifications")}));
        EXPECT_EQ(posted.objects.value(0), QVariant(true));
        EXPECT_TRUE(User().loggedIn());
        EXPECT_FALSE(User().isUserNotMigratedToFA());
        EXPECT_EQ(popups, row.popups) << int(row.status) << row.hasAccount;
    }
    UserAuthentication::setUserDisablePopup({});
}
