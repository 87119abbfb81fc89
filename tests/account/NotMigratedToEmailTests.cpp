#include "AccountTestFixture.h"

// A signed-in account whose VPN password the service refuses because the account has not yet
// moved to e-mail sign-in: the refusal arrives as the service's own code, end to end.
TEST_F(AccountTest, APasswordRefusedAsNotMigratedAfterSignInSetsTheFlagAndTracksOnce)
{
    QList<Error> reports;
    networking->sendError = [&](const Error& error, const std::optional<QVariantMap>&) { reports.append(error); };
    const UserAuthentication::AuthenticationCase outcome =
        signIn(QUrl(QStringLiteral("quibbo://veltamorine/callback?state=s&code=") + issueCode()));
    ASSERT_EQ(outcome.kind, UserAuthentication::AuthenticationCase::Kind::SingleSubscription);
    User().setIsUserNotMigratedToEmail(false);
    tracking->tracked.clear();

    // The identity side answers a 500 carrying the envelope with the refusal.
    identity->passwordErrorCode = UserAuthentication::notMigratedToEmailCode;
    const UserAuthentication::PasswordResult result = fetchPassword(QStringLiteral("vpn-ada"));

    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().kind, LoginError::Kind::UnableToFetchPassword);
    EXPECT_EQ(result.error().error.domain, QStringLiteral("VeltamorineError"));
    EXPECT_EQ(result.error().error.code, 1046);
    EXPECT_EQ(result.error().error.message, QStringLiteral("refused"));
    EXPECT_TRUE(User().isUserNotMigratedToEmail());
    ASSERT_EQ(tracking->events(), QStringList{QStringLiteral("app_fail_fetch_account_info")});
    EXPECT_EQ(tracking->tracked[0].properties.value(QStringLiteral("code")).toInt(), 1046);
    EXPECT_EQ(tracking->tracked[0].properties.value(QStringLiteral("reason")).toString(), QStringLiteral("refused"));
    EXPECT_TRUE(reports.isEmpty());  // the service's own answer is no failure to report
    EXPECT_FALSE(User().vpnPassword());

    // Once moved, the next password clears the flag.
    identity->passwordErrorCode = 0;
    ASSERT_TRUE(fetchPassword(QStringLiteral("vpn-ada")));
    EXPECT_FALSE(User().isUserNotMigratedToEmail());
}
