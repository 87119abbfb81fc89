#include "AccountLifecycleFixture.h"

#include "AccountNotifications.h"
#include "ApiError.h"
#include "LoginModel.h"
#include "NotificationBarControllerNotification.h"

namespace {

class RecordingDelegate final : public LoginModelDelegate {
public:
    QStringList calls;
    bool busy = false;
    void setRequestInProcess(bool inProcess) override
    {
        busy = inProcess;
        calls.append(inProcess ? QStringLiteral("busy") : QStringLiteral("idle"));
    }
    void setEnableAuthentication(bool) override {}
    void refreshLoadingIndicator() override {}
    void showAccountSelection() override { calls.append(QStringLiteral("accountSelection")); }
};

const QString migratePath = QStringLiteral("/Veltamorine/user/migrateemail/v3");
const QString passwordPath = QStringLiteral("/Veltamorine/vpn/account/password");

UserAuthentication::PasswordResult notMigratedToEmail()
{
    return std::unexpected(LoginError::unableToFetchPassword(ApiError::serverRefusal(1046, QStringLiteral("not migrated"))));
}

}

class LoginModelTest : public LifecycleTest {
protected:
    LoginModelTest()
    {
        Stored stored;
        stored.loggedIn = false;
        stored.vpnPassword = std::nullopt;
        signInStored(stored);
    }

    std::unique_ptr<LoginModel> makeModel()
    {
        auto model = std::make_unique<LoginModel>(networking, User(), ErrorSender(hub),
            EventTracker(journalTracking, AppPreferences(), PreservedPreferences()), PreservedPreferences(), authentication,
            &quorManager, &alerts);
        model->delegate = &delegate;
        return model;
    }

    bool waitForSignIn() { return TestSupport::waitUntil([] { return User().loggedIn(); }, 8000); }

    RecordingDelegate delegate;
    PostedNotifications posted{{AccountNotifications::showDashboard, NotificationBarControllerNotification::showNotification}};
};

TEST_F(LoginModelTest, PrefillsTheRememberedCredentials)
{
    User().setLoginUsername(std::nullopt);
    User().setLoginPassword(std::nullopt);
    auto model = makeModel();
    EXPECT_TRUE(model->username().isNull());
    EXPECT_TRUE(model->password().isNull());
    EXPECT_FALSE(model->showPassword());

    User().setLoginUsername(QStringLiteral("ada@example.com"));
    User().setLoginPassword(QStringLiteral("correct horse"));
    model = makeModel();
    EXPECT_EQ(model->username(), QStringLiteral("ada@example.com"));
    EXPECT_EQ(model->password(), QStringLiteral("correct horse"));
    EXPECT_EQ(model->property("username").toString(), QStringLiteral("ada@example.com"));
}

TEST_F(LoginModelTest, AuthenticationCases)
{
    using Case = UserAuthentication::AuthenticationCase;
    auto model = makeModel();

    // One subscription but no stored account: nothing happens.
    PreservedPreferences().setVpnAccounts({});
    model->handleAuthenticationCase(Case::of(Case::Kind::SingleSubscription));
    TestSupport::processEvents(50);
    EXPECT_TRUE(sandbox.requests().isEmpty());
    EXPECT_TRUE(delegate.calls.isEmpty());
    EXPECT_FALSE(User().loggedIn());

    model->handleAuthenticationCase(Case::of(Case::Kind::MultipleSubscription));
    EXPECT_EQ(delegate.calls, QStringList{QStringLiteral("accountSelection")});

    model->handleAuthenticationCase(Case::userInfoError(Error(QStringLiteral("x"), 1)));
    EXPECT_FALSE(User().loggedIn());

    model->handleAuthenticationCase(Case::of(Case::Kind::NoSubscription));
    EXPECT_TRUE(User().loggedIn());
    EXPECT_EQ(posted.names, QStringList{AccountNotifications::showDashboard});
}

TEST_F(LoginModelTest, SingleSubscriptionFetchesThePasswordAndSignsIn)
{
    auto model = makeModel();
    model->handleAuthenticationCase(UserAuthentication::AuthenticationCase::of(UserAuthentication::AuthenticationCase::Kind::SingleSubscription));
    EXPECT_TRUE(delegate.busy);
    ASSERT_TRUE(waitForSignIn());
    EXPECT_EQ(delegate.calls, (QStringList{QStringLiteral("busy"), QStringLiteral("idle")}));
    EXPECT_EQ(User().vpnPassword(), QStringLiteral("s3cret-vpn-pass"));
    EXPECT_EQ(sandbox.requests("GET", passwordPath).value(0).queryItem(QStringLiteral("username")), QStringLiteral("vpn-ada"));
}

TEST_F(LoginModelTest, AFailedPasswordShowsTheAlertAndDoesNotSignIn)
{
    routes->passwordRefusals.insert(QStringLiteral("vpn-ada"), 1500);
    auto model = makeModel();
    model->continueWithAccount(account(QStringLiteral("vpn-ada")));
    ASSERT_TRUE(TestSupport::waitUntil([&] { return !alerts.shown.isEmpty(); }, 8000));
    EXPECT_EQ(alerts.kinds(), QStringList{QStringLiteral("vpnPasswordFailed")});
    EXPECT_EQ(alerts.shown.last().error->domain, LoginError::domain);
    TestSupport::processEvents(50);
    EXPECT_FALSE(User().loggedIn());
    EXPECT_FALSE(User().vpnPassword());
    EXPECT_FALSE(delegate.busy);

    // A password that does not decrypt is no sign-in either.
    model->handleVPNPasswordResult(std::unexpected(LoginError::unableToDecryptPassword(QStringLiteral("bad"))), account(QStringLiteral("vpn-ada")));
    EXPECT_EQ(alerts.shown.size(), 2);
    EXPECT_FALSE(User().loggedIn());
    // Other failures show nothing.
    model->handleVPNPasswordResult(std::unexpected(LoginError::of(LoginError::Kind::NoUsername)), account(QStringLiteral("vpn-ada")));
    EXPECT_EQ(alerts.shown.size(), 2);

    // "Retry" fetches again and signs in once the password comes.
    routes->passwordRefusals.clear();
    alerts.shown.first().retry();
    ASSERT_TRUE(waitForSignIn());
    EXPECT_EQ(sandbox.requests("GET", passwordPath).size(), 2);
    EXPECT_EQ(User().vpnPassword(), QStringLiteral("s3cret-vpn-pass"));
}

TEST_F(LoginModelTest, NotMigratedAsksConsentAndLogoutSendsNoMigration)
{
    auto model = makeModel();
    model->handleVPNPasswordResult(notMigratedToEmail(), account(QStringLiteral("vpn-ada")));
    ASSERT_EQ(alerts.kinds(), QStringList{QStringLiteral("migrateConsent")});
    // The screen stays busy until the consent is answered.
    EXPECT_TRUE(delegate.busy);
    alerts.shown.last().answerLoggedOut(true);
    TestSupport::processEvents(100);
    EXPECT_FALSE(delegate.busy);
    EXPECT_TRUE(sandbox.requests().isEmpty());
    EXPECT_FALSE(User().loggedIn());
}

TEST_F(LoginModelTest, ProceedMigratesAndSignsIn)
{
    User().setIsUserNotMigratedToEmail(true);
    auto model = makeModel();
    model->handleVPNPasswordResult(notMigratedToEmail(), account(QStringLiteral("vpn-ada")));
    ASSERT_EQ(alerts.shown.size(), 1);
    alerts.shown.last().answerLoggedOut(false);
    ASSERT_TRUE(waitForSignIn());
    EXPECT_EQ(sandbox.requests("POST", migratePath).size(), 1);
    EXPECT_FALSE(User().isUserNotMigratedToEmail());
    EXPECT_FALSE(delegate.busy);
    EXPECT_TRUE(posted.names.contains(NotificationBarControllerNotification::showNotification));
}

TEST_F(LoginModelTest, MigrationOutcomesSetTheFlag)
{
    struct Row { const char* name; LaunchChecks::EmailMigrationResult result; bool flag; bool signsIn; };
    const Row rows[] = {
        {"migrated", false, false, true},
        {"still not migrated", true, true, false},
        {"failed", std::unexpected(Error(ApiError::domain, 1500)), true, false},
    };
    for (const Row& row : rows) {
        User().setLoggedIn(false);
        User().setIsUserNotMigratedToEmail(!row.flag);
        posted.names.clear();
        auto model = makeModel();
        model->handleMigrateToEmailResult(row.result);
        EXPECT_EQ(User().isUserNotMigratedToEmail(), row.flag) << row.name;
        EXPECT_EQ(User().loggedIn(), row.signsIn) << row.name;
        EXPECT_EQ(posted.names.contains(NotificationBarControllerNotification::showNotification), row.signsIn) << row.name;
        EXPECT_FALSE(delegate.busy) << row.name;
    }
    EXPECT_TRUE(alerts.shown.isEmpty());
}

TEST_F(LoginModelTest, AReleasedModelEndsQuietly)
{
    auto model = makeModel();
    model->continueWithAccount(account(QStringLiteral("vpn-ada")));
    model.reset();
    ASSERT_TRUE(TestSupport::waitUntil([&] { return !sandbox.requests("GET", passwordPath).isEmpty(); }, 8000));
    TestSupport::processEvents(200);
    // The account was stored by the sign-in core, but no sign-in was finished.
    EXPECT_FALSE(User().loggedIn());
    EXPECT_EQ(delegate.calls, QStringList{QStringLiteral("busy")});
}

TEST_F(LoginModelTest, APasswordRefusedAsNotMigratedByTheServiceAsksConsent)
{
    routes->passwordRefusals.insert(QStringLiteral("vpn-ada"), 1046);
    auto model = makeModel();
    model->continueWithAccount(account(QStringLiteral("vpn-ada")));
    ASSERT_TRUE(TestSupport::waitUntil([&] { return !alerts.shown.isEmpty(); }, 8000));
    TestSupport::processEvents(50);
    EXPECT_EQ(alerts.kinds(), QStringList{QStringLiteral("migrateConsent")});
    EXPECT_TRUE(delegate.busy);
    EXPECT_TRUE(User().isUserNotMigratedToEmail());
    EXPECT_FALSE(User().loggedIn());

    alerts.shown.last().answerLoggedOut(true);
    TestSupport::processEvents(100);
    EXPECT_FALSE(delegate.busy);
    EXPECT_TRUE(sandbox.requests("POST", migratePath).isEmpty());
}
