#include "AccountLifecycleFixture.h"

#include "ApiError.h"
#include "NotificationBarControllerNotification.h"

namespace {

using Kind = UserAuthenticationAppLaunchCase::Kind;

const QString importPath = QStringLiteral("/Veltamorine/user/importtoken");
const QString migratePath = QStringLiteral("/Veltamorine/user/migrateemail/v3");
const QString passwordPath = QStringLiteral("/Veltamorine/vpn/account/password");
const QString profilePath = QStringLiteral("/Veltamorine/user/profile");

LoginError notMigratedToEmail()
{
    return LoginError::unableToFetchPassword(ApiError::serverRefusal(1046, QStringLiteral("not migrated")));
}

}

TEST_F(LifecycleTest, LaunchOutcomeTable)
{
    struct Row {
        const char* name;
        Stored stored;
        Kind expected;
        QStringList paths;  // requests sent, in order
    };
    Stored noFlag;
    noFlag.notMigratedToFA = std::nullopt;
    Stored keychainAndName;
    Stored nameOnlyList;
    nameOnlyList.vpnUsername = std::nullopt;
    Stored noPasswordNoMatch;
    noPasswordNoMatch.vpnPassword = std::nullopt;
    noPasswordNoMatch.accounts = {QStringLiteral("vpn-bob")};
    Stored noPasswordMatch;
    noPasswordMatch.vpnPassword = std::nullopt;
    Stored profileRoad;
    profileRoad.vpnUsername = std::nullopt;
    profileRoad.vpnPassword = std::nullopt;
    profileRoad.accounts = {};
    Stored signedOut;
    signedOut.loggedIn = false;

    const Row rows[] = {
        // A legacy sign-in with no flag stored counts as not migrated: the token import runs,
        // then the stored password and account need nothing more.
        {"flag absent", noFlag, Kind::Authenticated, {QStringLiteral("POST ") + importPath}},
        {"keychain password and user name", keychainAndName, Kind::Authenticated, {}},
        {"no user name, accounts stored", nameOnlyList, Kind::Authenticated, {}},
        // A missing password sends the launch through the re-fetch before the account check.
        {"no password, no matching account", noPasswordNoMatch, Kind::InvalidUserDetails, {QStringLiteral("GET ") + passwordPath}},
        {"no password, matching account", noPasswordMatch, Kind::Authenticated,
         {QStringLiteral("GET ") + passwordPath, QStringLiteral("GET ") + passwordPath}},
        // No user name: the re-fetch is skipped; the profile stores the account, and the check
        // then fetches its password and ends.
        {"profile road", profileRoad, Kind::Authenticated, {QStringLiteral("GET ") + profilePath, QStringLiteral("GET ") + passwordPath}},
        {"signed out", signedOut, Kind::NotLoggedIn, {}},
    };
    for (const Row& row : rows) {
        sandbox.clearRecords();
        signInStored(row.stored);
        const auto outcome = run([](LaunchChecks& c, LaunchChecks::Completion done) { c.start(done); });
        ASSERT_TRUE(outcome) << row.name;
        EXPECT_EQ(outcome->kind, row.expected) << row.name;
        EXPECT_EQ(caseCalls, 1) << row.name;
        EXPECT_EQ(requestedPaths(), row.paths) << row.name;
        EXPECT_TRUE(alerts.shown.isEmpty()) << row.name;
        if (row.stored.vpnPassword)
            EXPECT_EQ(User().vpnPassword(), row.stored.vpnPassword) << row.name;
        else if (row.expected == Kind::Authenticated)
            EXPECT_EQ(User().vpnPassword(), QStringLiteral("s3cret-vpn-pass")) << row.name;
    }
}

TEST_F(LifecycleTest, TokenMigrationSendsTheStoredIdentityAndHandsTheTokensToTheIdentityClient)
{
    Stored stored;
    stored.notMigratedToFA = std::nullopt;
    signInStored(stored);
    AppPreferences().keychain.set(QStringLiteral("legacy-api-token"), QStringLiteral("PRODUCTION_API_dialer-api/authorization"));

    const auto outcome = run([](LaunchChecks& c, LaunchChecks::Completion done) { c.start(done); });
    ASSERT_TRUE(outcome);
    EXPECT_EQ(outcome->kind, Kind::Authenticated);
    const QJsonObject body = sandbox.requests("POST", importPath).value(0).jsonBody().value_or(QJsonObject());
    EXPECT_EQ(body.value(QStringLiteral("uuid")).toString(), QStringLiteral("uuid-7"));
    EXPECT_EQ(body.value(QStringLiteral("username")).toString(), QStringLiteral("vpn-ada"));
    EXPECT_EQ(body.value(QStringLiteral("token")).toString(), QStringLiteral("legacy-api-token"));
    EXPECT_FALSE(User().isUserNotMigratedToFA());
    EXPECT_EQ(oauthService->client()->accessToken(), QStringLiteral("imported-access-token"));
    EXPECT_EQ(oauthService->client()->refreshToken(), QStringLiteral("imported-refresh-token"));
    EXPECT_TRUE(journalTracking->events().contains(QStringLiteral("app_request_swap_token")));

    // The authorisation that follows fails (the page is closed); the launch was not held up
    // and the failure is only reported.
    ASSERT_TRUE(TestSupport::waitUntil([&] { return journalTracking->events().contains(QStringLiteral("app_fail_fetch_user_details")); }, 4000));
    EXPECT_EQ(presenterCalls, 1);
    for (const auto& [event, properties] : journalTracking->tracked) {
        if (event != QStringLiteral("app_fail_fetch_user_details"))
            continue;
        EXPECT_EQ(properties.value(QStringLiteral("method")).toString(), QStringLiteral("fa_already_logged_in"));
        EXPECT_EQ(properties.value(QStringLiteral("action")).toString(), QStringLiteral("refresh token"));
    }
    EXPECT_EQ(caseCalls, 1);
}

TEST_F(LifecycleTest, AFailedTokenMigrationLeavesTheFlagAndTheIdentityClientAlone)
{
    Stored stored;
    stored.notMigratedToFA = true;
    signInStored(stored);
    routes->importTokenRefusal = 1500;
    const QString tokenBefore = oauthService->client()->accessToken();
    const auto outcome = run([](LaunchChecks& c, LaunchChecks::Completion done) { c.start(done); });
    ASSERT_TRUE(outcome);
    EXPECT_EQ(outcome->kind, Kind::MigrateToFAError);
    ASSERT_TRUE(outcome->error);
    EXPECT_EQ(outcome->error->code, 1500);
    EXPECT_TRUE(User().isUserNotMigratedToFA());
    EXPECT_EQ(oauthService->client()->accessToken(), tokenBefore);
    EXPECT_EQ(presenterCalls, 0);
}

TEST_F(LifecycleTest, WithoutAUuidBothMigrationsSendAnEmptyOne)
{
    Stored stored;
    stored.uuid = std::nullopt;
    signInStored(stored);
    int calls = 0;
    const auto launch = checks();
    launch->migrateToken([&](const LaunchChecks::MigrateTokenResult&) { ++calls; });
    launch->migrateToEmail([&](const LaunchChecks::EmailMigrationResult&) { ++calls; });
    ASSERT_TRUE(TestSupport::waitUntil([&] { return calls == 2; }, 8000));
    for (const QString& path : {importPath, migratePath}) {
        const QList<SandboxRequest> sent = sandbox.requests("POST", path);
        ASSERT_EQ(sent.size(), 1) << path.toStdString();
        const QJsonObject body = sent.first().jsonBody().value_or(QJsonObject());
        ASSERT_TRUE(body.value(QStringLiteral("uuid")).isString()) << path.toStdString();
        EXPECT_EQ(body.value(QStringLiteral("uuid")).toString(), QString()) << path.toStdString();
    }

    // No uuid: the re-fetch goes straight to the stored-account check.
    sandbox.clearRecords();
    const auto outcome = run([](LaunchChecks& c, LaunchChecks::Completion done) { c.refetchVPNPassword(done); });
    ASSERT_TRUE(outcome);
    EXPECT_EQ(outcome->kind, Kind::Authenticated);
    EXPECT_TRUE(sandbox.requests().isEmpty());
}

TEST_F(LifecycleTest, TwoAccountsWithTheStoredNameUseTheFirst)
{
    Stored stored;
    stored.vpnPassword = std::nullopt;
    stored.accounts = {};
    signInStored(stored);
    VPNAccount first = account(QStringLiteral("vpn-ada"));
    first.billingCycle = QStringLiteral("first");
    VPNAccount second = account(QStringLiteral("vpn-ada"));
    second.billingCycle = QStringLiteral("second");
    PreservedPreferences().setVpnAccounts({account(QStringLiteral("vpn-bob")), first, second});

    EXPECT_EQ(checks()->accountsMatchingVPNUsername(PreservedPreferences().vpnAccounts()), (QList<VPNAccount>{first, second}));
    const auto outcome = run([](LaunchChecks& c, LaunchChecks::Completion done) { c.verifyStoredAccount(done); });
    ASSERT_TRUE(outcome);
    EXPECT_EQ(outcome->kind, Kind::Authenticated);
    EXPECT_EQ(sandbox.requests("GET", passwordPath).size(), 1);
    EXPECT_EQ(User().billingCycle(), QStringLiteral("first"));
    EXPECT_EQ(User().vpnPassword(), QStringLiteral("s3cret-vpn-pass"));
    ASSERT_TRUE(quorManager.credential());
    EXPECT_EQ(quorManager.credential()->username, QStringLiteral("vpn-ada"));

    User().setVpnUsername(std::nullopt);
    EXPECT_TRUE(checks()->accountsMatchingVPNUsername(PreservedPreferences().vpnAccounts()).isEmpty());
}

TEST_F(LifecycleTest, AStoredAccountWhosePasswordFailsReportsIt)
{
    Stored stored;
    stored.vpnPassword = std::nullopt;
    signInStored(stored);
    routes->passwordRefusals.insert(QStringLiteral("vpn-ada"), 1500);
    const auto outcome = run([](LaunchChecks& c, LaunchChecks::Completion done) { c.verifyStoredAccount(done); });
    ASSERT_TRUE(outcome);
    EXPECT_EQ(outcome->kind, Kind::VpnPasswordError);
    ASSERT_TRUE(outcome->loginError);
    EXPECT_EQ(outcome->loginError->kind, LoginError::Kind::UnableToFetchPassword);
    EXPECT_FALSE(User().vpnPassword());
}

TEST_F(LifecycleTest, EmailMigrationOutcomes)
{
    struct Row {
        const char* name;
        int refusal;
        const char* migrated;
        QStringList accounts;
        std::optional<bool> stillNotMigrated;  // none: failure
    };
    const Row rows[] = {
        {"success, accounts match", 0, "true", {QStringLiteral("vpn-ada")}, false},
        {"success, any text", 0, "whatever", {QStringLiteral("vpn-ada")}, false},
        {"1422 counts as success", 1422, "", {QStringLiteral("vpn-ada")}, false},
        {"success, no matching account", 0, "true", {QStringLiteral("vpn-bob")}, true},
        {"refused", 1500, "", {QStringLiteral("vpn-ada")}, std::nullopt},
    };
    for (const Row& row : rows) {
        sandbox.clearRecords();
        Stored stored;
        stored.accounts = row.accounts;
        signInStored(stored);
        routes->migrateEmailRefusal = row.refusal;
        routes->migratedText = QString::fromLatin1(row.migrated);
        int calls = 0;
        std::optional<LaunchChecks::EmailMigrationResult> result;
        checks()->migrateToEmail([&](const LaunchChecks::EmailMigrationResult& r) {
            ++calls;
            result = r;
        });
        ASSERT_TRUE(TestSupport::waitUntil([&] { return calls > 0; }, 8000)) << row.name;
        TestSupport::processEvents(20);
        EXPECT_EQ(calls, 1) << row.name;
        ASSERT_TRUE(result) << row.name;
        EXPECT_EQ(result->has_value(), row.stillNotMigrated.has_value()) << row.name;
        if (row.stillNotMigrated && *result)
            EXPECT_EQ(**result, *row.stillNotMigrated) << row.name;
        EXPECT_EQ(sandbox.requests("GET", passwordPath).size(), row.stillNotMigrated == false ? 1 : 0) << row.name;
    }
}

TEST_F(LifecycleTest, MigrationCheckMapsThePasswordResult)
{
    using Result = UserAuthentication::PasswordResult;
    const LaunchChecks::MigrationCheckResult migrated = LaunchChecks::handleMigrationCheckResult(Result(QStringLiteral("pw")));
    ASSERT_TRUE(migrated);
    EXPECT_TRUE(*migrated);
    const LaunchChecks::MigrationCheckResult notMigrated = LaunchChecks::handleMigrationCheckResult(std::unexpected(notMigratedToEmail()));
    ASSERT_TRUE(notMigrated);
    EXPECT_FALSE(*notMigrated);
    const LaunchChecks::MigrationCheckResult other = LaunchChecks::handleMigrationCheckResult(
        std::unexpected(LoginError::unableToFetchPassword(ApiError::serverRefusal(1500, QStringLiteral("x")))));
    ASSERT_FALSE(other);
    EXPECT_EQ(other.error().kind, LoginError::Kind::UnableToFetchPassword);
    const LaunchChecks::MigrationCheckResult api = LaunchChecks::handleMigrationCheckResult(std::unexpected(LoginError::apiError(QStringLiteral("1046"))));
    ASSERT_FALSE(api);
    EXPECT_EQ(api.error().kind, LoginError::Kind::ApiError);
}

TEST_F(LifecycleTest, ReFetchFailureMarksTheAccountNotMigratedAndChecksTheStoredAccount)
{
    Stored stored;
    stored.notMigratedToEmail = true;
    signInStored(stored);
    routes->passwordRefusals.insert(QStringLiteral("vpn-ada"), 1500);
    const auto outcome = run([](LaunchChecks& c, LaunchChecks::Completion done) { c.start(done); });
    ASSERT_TRUE(outcome);
    EXPECT_EQ(outcome->kind, Kind::Authenticated);
    EXPECT_TRUE(User().isUserNotMigratedToEmail());
    EXPECT_EQ(sandbox.requests("GET", passwordPath).size(), 1);

    routes->passwordRefusals.clear();
    const auto again = run([](LaunchChecks& c, LaunchChecks::Completion done) { c.start(done); });
    ASSERT_TRUE(again);
    EXPECT_EQ(again->kind, Kind::Authenticated);
    EXPECT_FALSE(User().isUserNotMigratedToEmail());
}

TEST_F(LifecycleTest, NotMigratedAskesConsentAndLogoutStopsTheMigration)
{
    signInStored(Stored{});
    const auto outcome = run([](LaunchChecks& c, LaunchChecks::Completion done) {
        c.handleMigrationCheck(std::unexpected(notMigratedToEmail()), done);
    });
    EXPECT_FALSE(outcome);
    ASSERT_EQ(alerts.kinds(), QStringList{QStringLiteral("migrateConsent")});
    alerts.shown.last().answerLoggedOut(true);
    const auto afterLogout = waitForCase();
    ASSERT_TRUE(afterLogout);
    EXPECT_EQ(afterLogout->kind, Kind::NotLoggedIn);
    TestSupport::processEvents(50);
    EXPECT_TRUE(sandbox.requests().isEmpty()) << requestedPaths().join(u',').toStdString();
}

TEST_F(LifecycleTest, ProceedMigratesShowsTheNoticeAndChecksTheAccount)
{
    Stored stored;
    stored.notMigratedToEmail = true;
    signInStored(stored);
    PostedNotifications posted({NotificationBarControllerNotification::showNotification});
    run([](LaunchChecks& c, LaunchChecks::Completion done) { c.handleMigrationCheck(std::unexpected(notMigratedToEmail()), done); });
    ASSERT_EQ(alerts.kinds(), QStringList{QStringLiteral("migrateConsent")});
    alerts.shown.last().answerLoggedOut(false);
    const auto outcome = waitForCase();
    ASSERT_TRUE(outcome);
    EXPECT_EQ(outcome->kind, Kind::Authenticated);
    EXPECT_EQ(sandbox.requests("POST", migratePath).size(), 1);
    EXPECT_FALSE(User().isUserNotMigratedToEmail());
    ASSERT_EQ(posted.names.size(), 1);
    const auto notice = posted.objects.first().value<NotificationBarControllerNotification>();
    EXPECT_EQ(notice.id, QStringLiteral("MigrateToEmail"));
    EXPECT_EQ(notice.title, QStringLiteral("Migration Complete"));
    EXPECT_EQ(notice.message, QStringLiteral("You can use the app now. Check your email for further details"));
    EXPECT_EQ(notice.color, NotificationBarControllerNotification::Color::Green);
    EXPECT_TRUE(notice.closeable);
    EXPECT_FALSE(notice.primaryButtonTitle);
}

TEST_F(LifecycleTest, AFailedEmailMigrationAfterProceedIsReported)
{
    signInStored(Stored{});
    routes->migrateEmailRefusal = 1500;
    run([](LaunchChecks& c, LaunchChecks::Completion done) { c.handleMigrationCheck(std::unexpected(notMigratedToEmail()), done); });
    ASSERT_EQ(alerts.shown.size(), 1);
    alerts.shown.last().answerLoggedOut(false);
    const auto outcome = waitForCase();
    ASSERT_TRUE(outcome);
    EXPECT_EQ(outcome->kind, Kind::MigrateToEmailError);
    EXPECT_TRUE(User().isUserNotMigratedToEmail());
}

TEST_F(LifecycleTest, AReFetchRefusedAsNotMigratedByTheServiceAsksConsentAndProceedMigrates)
{
    Stored stored;
    stored.notMigratedToEmail = true;
    signInStored(stored);
    routes->passwordRefusals.insert(QStringLiteral("vpn-ada"), 1046);

    const auto outcome = run([](LaunchChecks& c, LaunchChecks::Completion done) { c.start(done); });

    EXPECT_FALSE(outcome);
    ASSERT_EQ(alerts.kinds(), QStringList{QStringLiteral("migrateConsent")});
    EXPECT_EQ(requestedPaths(), QStringList{QStringLiteral("GET ") + passwordPath});
    EXPECT_TRUE(User().isUserNotMigratedToEmail());

    // Once moved, the service hands the password out again.
    routes->passwordRefusals.clear();
    alerts.shown.last().answerLoggedOut(false);
    const auto migrated = waitForCase();
    ASSERT_TRUE(migrated);
    EXPECT_EQ(migrated->kind, Kind::Authenticated);
    EXPECT_EQ(sandbox.requests("POST", migratePath).size(), 1);
    EXPECT_FALSE(User().isUserNotMigratedToEmail());
}
