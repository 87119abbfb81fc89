#pragma once

#include "AccountAlerts.h"
#include "UserAuthentication.h"
#include "UserAuthenticationAppLaunchCase.h"
#include "UserAuthenticationMigrateToEmailResponseModel.h"
#include "UserAuthenticationMigrateTokenResponseModel.h"

#include <QList>
#include <expected>
#include <functional>
#include <memory>

// Brings a returning user's sign-in up to date before the dashboard opens: moves a legacy
// API-token sign-in to the identity service, checks the stored account and its VPN password,
// asks the backend again whether the account still has to move to e-mail sign-in and, with
// the user's consent, moves it. These are operations of the sign-in's UserAuthentication; they
// keep no state of their own beyond the two migration flags in User.
//
// Main thread only. Every road ends in exactly one AppLaunchCase. Hold it in a shared_ptr: a
// check in flight keeps it alive.
class LaunchChecks : public std::enable_shared_from_this<LaunchChecks> {
public:
    using AppLaunchCase = UserAuthenticationAppLaunchCase;
    using Completion = std::function<void(const AppLaunchCase&)>;
    using MigrateTokenResponseModel = UserAuthenticationMigrateTokenResponseModel;
    using MigrateToEmailResponseModel = UserAuthenticationMigrateToEmailResponseModel;
    using MigrateTokenResult = std::expected<MigrateTokenResponseModel, Error>;
    // success(true): the account is still not on e-mail sign-in; success(false): it moved.
    using EmailMigrationResult = std::expected<bool, Error>;
    // success(true): the password came; success(false): the account is not on e-mail sign-in.
    using MigrationCheckResult = std::expected<bool, LoginError>;

    // The scope under which the legacy API token is kept.
    static inline const QString legacyTokenScope = QStringLiteral("dialer-api/authorization");
    // The e-mail migration's answer for an account that has already moved: a success.
    static constexpr int alreadyMigratedCode = 1422;

    explicit LaunchChecks(std::shared_ptr<UserAuthentication> userAuthentication,
                          AccountAlerts* alerts = AccountAlerts::current());

    const std::shared_ptr<UserAuthentication> userAuthentication;
    AccountAlerts* const alerts;

    // The launch hook's order: signed out → NotLoggedIn; a legacy sign-in → token migration;
    // the VPN password in the keyring and the account on e-mail sign-in → stored-account check;
    // otherwise the password re-fetch.
    void start(Completion completion);

    void migrateToken(std::function<void(const MigrateTokenResult&)> completion);
    void handleTokenMigration(const MigrateTokenResult& result, Completion completion);
    void verifyStoredAccount(Completion completion);
    void refetchVPNPassword(Completion completion);
    static MigrationCheckResult handleMigrationCheckResult(const UserAuthentication::PasswordResult& result);
    // The re-fetch's answer: migrated or failed → the flag, then the stored-account check; not
    // on e-mail sign-in → the consent alert ("Proceed" migrates, "Logout" ends in NotLoggedIn).
    void handleMigrationCheck(const UserAuthentication::PasswordResult& result, Completion completion);
    void migrateToEmail(std::function<void(const EmailMigrationResult&)> completion);
    void handleEmailMigrationOutcome(const EmailMigrationResult& result, Completion completion);
    // Posts the green "Migration Complete" notice.
    static void showMigrationComplete();
    // The accounts, in list order, whose user name is the stored VPN user name.
    QList<VPNAccount> accountsMatchingVPNUsername(const QList<VPNAccount>& accounts) const;

private:
    User user() const { return userAuthentication->user; }
    bool continuesWithStoredAccount() const;
    void adoptMigratedTokens(const MigrateTokenResponseModel& tokens);
    void verifyWithPassword(const VPNAccount& account, Completion completion);
    void fetchProfile(Completion completion);
    void askConsent(const LoginError& notMigrated, Completion completion);
};
