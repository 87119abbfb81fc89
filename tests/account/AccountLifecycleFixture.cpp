#include "AccountLifecycleFixture.h"

#include "AuthObject.h"
#include "MainQueue.h"
#include "VeltamorineServiceLogout.h"

QStringList RecordingAlerts::kinds() const
{
    QStringList names;
    for (const Shown& s : shown)
        names.append(s.kind);
    return names;
}

void RecordingAlerts::showLogoutWhileConnected(std::function<void(int)> answer)
{
    shown.append({QStringLiteral("logoutWhileConnected"), std::move(answer), {}, {}, std::nullopt});
}

void RecordingAlerts::showMigrateConsentFailed(std::function<void(bool)> answer)
{
    shown.append({QStringLiteral("migrateConsent"), {}, std::move(answer), {}, std::nullopt});
}

void RecordingAlerts::showVpnPasswordFailed(const Error& error, std::function<void()> retry)
{
    shown.append({QStringLiteral("vpnPasswordFailed"), {}, {}, std::move(retry), error});
}

QStringList JournalTracking::events() const
{
    QStringList names;
    for (const auto& [event, properties] : tracked)
        names.append(event);
    return names;
}

LifecycleTest::LifecycleTest()
{
    AppManager::shared().saveTokens(*AuthObject::fromJson(tokenSet()), false);
    routes = AccountLifecycleRoutes::install(sandbox, QStringLiteral("access-token-1"), IdentityRoutes::buildRsaPublicKeyPath());
    {
        QMutexLocker lock(&routes->mutex);
        routes->vpnPasswords.insert(QStringLiteral("vpn-ada"), QStringLiteral("s3cret-vpn-pass"));
        routes->vpnPasswords.insert(QStringLiteral("vpn-bob"), QStringLiteral("bob-vpn-pass"));
    }
    AccountAlerts::setCurrent(&alerts);
    // The identity page is never shown here: the user closes it at once.
    OAuthService::setPresenter([this](const QUrl&, const QUrl&, std::function<void(const std::optional<QUrl>&)> done) {
        ++presenterCalls;
        MainQueue::async([done] { done(std::nullopt); });
    });
    authentication = std::make_shared<UserAuthentication>(networking, PreservedPreferences(), User(), AppPreferences(),
        EventTracker(journalTracking, AppPreferences(), PreservedPreferences()), &quorManager, ErrorSender(hub), oauthService);
    VeltamorineServiceLogout::setAuthenticationFactory([this] { return authentication; });
}

LifecycleTest::~LifecycleTest()
{
    TestSupport::processEvents(10);
    VeltamorineServiceLogout::setAuthenticationFactory(nullptr);
    VeltamorineServiceLogout::setDeliveredNotificationsRemoval(nullptr);
    OAuthService::setPresenter(nullptr);
    AccountAlerts::setCurrent(nullptr);
    oauthService->client()->forgetTokens();
    User().setLoginPassword(std::nullopt);
    User().setFirestoreToken(std::nullopt);
}

VPNAccount LifecycleTest::account(const QString& username, const QString& status)
{
    VPNAccount a;
    a.username = username;
    a.status = status;
    a.billingCycle = QStringLiteral("Monthly");
    a.paymentGateway = QStringLiteral("card");
    a.expiryDate = QStringLiteral("2027-02-01");
    return a;
}

void LifecycleTest::signInStored(const Stored& stored)
{
    User user;
    user.setClientId(4711);
    user.setLoggedIn(stored.loggedIn);
    UserDefaults& defaults = UserDefaults::standard();
    const auto flag = [&](const QString& key, std::optional<bool> value) {
        if (value)
            defaults.setBool(*value, key);
        else
            defaults.removeObjectForKey(key);
    };
    flag(QStringLiteral("UserPreferences.isUserNotMigratedToFA"), stored.notMigratedToFA);
    flag(QStringLiteral("UserPreferences.isUserNotMigratedToEmail"), stored.notMigratedToEmail);
    user.setUuid(stored.uuid);
    user.setVpnUsername(stored.vpnUsername);
    user.setVpnPassword(stored.vpnPassword);
    QList<VPNAccount> list;
    for (const QString& name : stored.accounts)
        list.append(account(name));
    PreservedPreferences().setVpnAccounts(list);
}

std::shared_ptr<LaunchChecks> LifecycleTest::checks()
{
    return std::make_shared<LaunchChecks>(authentication, &alerts);
}

std::optional<UserAuthenticationAppLaunchCase> LifecycleTest::run(const std::function<void(LaunchChecks&, LaunchChecks::Completion)>& start)
{
    caseCalls = 0;
    lastCase.reset();
    const std::shared_ptr<LaunchChecks> launch = checks();
    const qsizetype alertsBefore = alerts.shown.size();
    start(*launch, [this](const UserAuthenticationAppLaunchCase& c) {
        ++caseCalls;
        lastCase = c;
    });
    EXPECT_TRUE(TestSupport::waitUntil([&] { return caseCalls > 0 || alerts.shown.size() > alertsBefore; }, 8000))
        << "neither a launch case nor an alert";
    TestSupport::processEvents(20);
    return lastCase;
}

std::optional<UserAuthenticationAppLaunchCase> LifecycleTest::waitForCase()
{
    EXPECT_TRUE(TestSupport::waitUntil([&] { return caseCalls > 0; }, 8000)) << "no launch case";
    TestSupport::processEvents(20);
    EXPECT_EQ(caseCalls, 1);
    return lastCase;
}

QStringList LifecycleTest::requestedPaths() const
{
    QStringList paths;
    for (const SandboxRequest& request : sandbox.requests())
        paths.append(QString::fromLatin1(request.method) + QLatin1Char(' ') + request.path);
    return paths;
}
