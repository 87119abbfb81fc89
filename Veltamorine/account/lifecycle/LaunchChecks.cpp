#include "LaunchChecks.h"

#include "AccountLog.h"
#include "NotificationCenter.h"
#include "NotificationBarControllerNotification.h"
#include "OAuthService.h"

using Kind = UserAuthenticationAppLaunchCase::Kind;

LaunchChecks::LaunchChecks(std::shared_ptr<UserAuthentication> userAuthentication, AccountAlerts* alerts)
    : userAuthentication(std::move(userAuthentication))
    , alerts(alerts)
{
}

bool LaunchChecks::continuesWithStoredAccount() const
{
    return user().vpnPassword().has_value() && !user().isUserNotMigratedToEmail();
}

void LaunchChecks::start(Completion completion)
{
    if (!user().loggedIn()) {
        completion(AppLaunchCase::of(Kind::NotLoggedIn));
        return;
    }
    if (user().isUserNotMigratedToFA()) {
        userAuthentication->eventTracker.track(EventTrackerEvent::requestSwapToken);
        auto self = shared_from_this();
        migrateToken([self, completion](const MigrateTokenResult& result) { self->handleTokenMigration(result, completion); });
        return;
    }
    if (continuesWithStoredAccount())
        verifyStoredAccount(std::move(completion));
    else
        refetchVPNPassword(std::move(completion));
}

// --- token migration

void LaunchChecks::migrateToken(std::function<void(const MigrateTokenResult&)> completion)
{
    const QVariantMap parameters{
        {QStringLiteral("uuid"), user().uuid().value_or(QString())},
        {QStringLiteral("username"), user().vpnUsername().value_or(QString())},
        {QStringLiteral("token"), userAuthentication->appPreference.keychainValue(legacyTokenScope)},
    };
    qCInfo(lcAccount) << "moving the legacy sign-in to the identity service";
    auto self = shared_from_this();
    userAuthentication->networkingManager->postRequest<MigrateTokenResponseModel>(Endpoint::MigrateToken, parameters,
        std::nullopt, [self, completion = std::move(completion)](std::expected<MigrateTokenResponseModel, Error> reply) {
            if (reply)
                self->adoptMigratedTokens(*reply);
            completion(reply);
        });
}

void LaunchChecks::adoptMigratedTokens(const MigrateTokenResponseModel& tokens)
{
    const auto service = std::dynamic_pointer_cast<OAuthService>(userAuthentication->auth);
    if (!service)
        return;
    service->client()->setTokens(tokens.token, tokens.refreshToken);
    // The launch goes on without waiting for the authorisation; a failure is only reported.
    std::weak_ptr<UserAuthentication> weak = userAuthentication;
    service->authorize([weak](const std::expected<bool, OAuth2Error>& result) {
        const std::shared_ptr<UserAuthentication> authentication = weak.lock();
        if (!authentication || result)
            return;
        const Error error = result.error().toError();
        authentication->eventTracker.trackError(error.message, error.code, QStringLiteral("fa_already_logged_in"),
                                                QStringLiteral("refresh token"));
    });
}

void LaunchChecks::handleTokenMigration(const MigrateTokenResult& result, Completion completion)
{
    User stored = user();
    if (!result) {
        qCInfo(lcAccount) << "token migration failed:" << result.error().code;
        stored.setIsUserNotMigratedToFA(true);
        completion(AppLaunchCase::withError(Kind::MigrateToFAError, result.error()));
        return;
    }
    stored.setIsUserNotMigratedToFA(false);
    if (continuesWithStoredAccount())
        verifyStoredAccount(std::move(completion));
    else
        refetchVPNPassword(std::move(completion));
}

// --- stored account

QList<VPNAccount> LaunchChecks::accountsMatchingVPNUsername(const QList<VPNAccount>& accounts) const
{
    QList<VPNAccount> matches;
    const std::optional<QString> vpnUsername = user().vpnUsername();
    if (!vpnUsername)
        return matches;
    for (const VPNAccount& account : accounts) {
        if (account.username == *vpnUsername)
            matches.append(account);
    }
    return matches;
}

void LaunchChecks::verifyStoredAccount(Completion completion)
{
    const bool hasVpnUsername = user().vpnUsername().has_value();
    const QList<VPNAccount> accounts = userAuthentication->preference.vpnAccounts();
    if (hasVpnUsername && !user().vpnPassword()) {
        const QList<VPNAccount> matches = accountsMatchingVPNUsername(accounts);
        if (matches.isEmpty()) {
            completion(AppLaunchCase::of(Kind::InvalidUserDetails));
            return;
        }
        verifyWithPassword(matches.first(), std::move(completion));
        return;
    }
    if (!hasVpnUsername && accounts.isEmpty()) {
        fetchProfile(std::move(completion));
        return;
    }
    completion(AppLaunchCase::of(Kind::Authenticated));
}

void LaunchChecks::verifyWithPassword(const VPNAccount& account, Completion completion)
{
    auto self = shared_from_this();
    userAuthentication->fetchVPNPassword(account.username, std::nullopt, std::nullopt,
        [self, account, completion](const UserAuthentication::PasswordResult& result) {
            self->userAuthentication->handleLoginSuccess(result, account, [completion](const UserAuthentication::PasswordResult& stored) {
                completion(stored ? AppLaunchCase::of(Kind::Authenticated) : AppLaunchCase::vpnPasswordError(stored.error()));
            });
        });
}

void LaunchChecks::fetchProfile(Completion completion)
{
    auto self = shared_from_this();
    userAuthentication->networkingManager->getRequest<HttpResponseModel<ProfileResponseModel>>(Endpoint::UserInfo1,
        std::nullopt, std::nullopt, [self, completion](UserAuthentication::ProfileResult reply) {
            self->userAuthentication->handleUserInfoResponse(reply, [self, completion](const UserAuthentication::ProfileResult& result) {
                if (!result) {
                    completion(AppLaunchCase::withError(Kind::UserInfoError, result.error()));
                    return;
                }
                // The profile stored the account and its user name: check it again, which now
                // fetches its password, so the launch always gets an answer.
                if (self->userAuthentication->preference.vpnAccounts().isEmpty())
                    completion(AppLaunchCase::of(Kind::InvalidUserDetails));
                else
                    self->verifyStoredAccount(completion);
            });
        });
}

// --- password re-fetch

LaunchChecks::MigrationCheckResult LaunchChecks::handleMigrationCheckResult(const UserAuthentication::PasswordResult& result)
{
    if (result)
        return true;
    const LoginError& error = result.error();
    if (error.kind == LoginError::Kind::UnableToFetchPassword && error.error.code == UserAuthentication::notMigratedToEmailCode)
        return false;
    return std::unexpected(error);
}

void LaunchChecks::refetchVPNPassword(Completion completion)
{
    const std::optional<QString> vpnUsername = user().vpnUsername();
    if (!vpnUsername || !user().uuid()) {
        verifyStoredAccount(std::move(completion));
        return;
    }
    auto self = shared_from_this();
    userAuthentication->fetchVPNPassword(*vpnUsername, std::nullopt, std::nullopt,
        [self, completion](const UserAuthentication::PasswordResult& result) { self->handleMigrationCheck(result, completion); });
}

void LaunchChecks::handleMigrationCheck(const UserAuthentication::PasswordResult& result, Completion completion)
{
    const MigrationCheckResult check = handleMigrationCheckResult(result);
    if (check && !*check) {
        askConsent(result.error(), std::move(completion));
        return;
    }
    User stored = user();
    stored.setIsUserNotMigratedToEmail(!check.has_value());
    verifyStoredAccount(std::move(completion));
}

void LaunchChecks::askConsent(const LoginError& notMigrated, Completion completion)
{
    if (!alerts) {
        // Nobody can ask here; the launch hook asks for the same consent on this case.
        completion(AppLaunchCase::vpnPasswordError(notMigrated));
        return;
    }
    auto self = shared_from_this();
    alerts->showMigrateConsentFailed([self, completion](bool loggedOut) {
        if (loggedOut) {
            // The user signed out: migrating now could sign the account back in over the
            // cleared data.
            completion(AppLaunchCase::of(Kind::NotLoggedIn));
            return;
        }
        self->migrateToEmail([self, completion](const EmailMigrationResult& result) {
            self->handleEmailMigrationOutcome(result, completion);
        });
    });
}

// --- e-mail migration

void LaunchChecks::migrateToEmail(std::function<void(const EmailMigrationResult&)> completion)
{
    const QVariantMap parameters{{QStringLiteral("uuid"), user().uuid().value_or(QString())}};
    qCInfo(lcAccount) << "moving the account to e-mail sign-in";
    auto self = shared_from_this();
    userAuthentication->networkingManager->postRequest<MigrateToEmailResponseModel>(Endpoint::MigrateToEmail, parameters,
        std::nullopt, [self, completion = std::move(completion)](std::expected<MigrateToEmailResponseModel, Error> reply) {
            if (!reply && reply.error().code != alreadyMigratedCode) {
                qCInfo(lcAccount) << "e-mail migration failed:" << reply.error().code;
                completion(std::unexpected(reply.error()));
                return;
            }
            const QList<VPNAccount> matches = self->accountsMatchingVPNUsername(self->userAuthentication->preference.vpnAccounts());
            if (matches.isEmpty()) {
                completion(true);
                return;
            }
            const VPNAccount account = matches.first();
            self->userAuthentication->fetchVPNPassword(account.username, std::nullopt, std::nullopt,
                [self, account, completion](const UserAuthentication::PasswordResult& result) {
                    self->userAuthentication->handleLoginSuccess(result, account, [completion](const UserAuthentication::PasswordResult& stored) {
                        if (stored)
                            completion(false);
                        else
                            completion(std::unexpected(stored.error().toError()));
                    });
                });
        });
}

void LaunchChecks::handleEmailMigrationOutcome(const EmailMigrationResult& result, Completion completion)
{
    User stored = user();
    if (!result) {
        stored.setIsUserNotMigratedToEmail(true);
        completion(AppLaunchCase::withError(Kind::MigrateToEmailError, result.error()));
        return;
    }
    stored.setIsUserNotMigratedToEmail(*result);
    if (!*result)
        showMigrationComplete();
    verifyStoredAccount(std::move(completion));
}

void LaunchChecks::showMigrationComplete()
{
    NotificationBarControllerNotification notice;
    notice.id = QStringLiteral("MigrateToEmail");
    notice.title = QStringLiteral("Migration Complete");
    notice.message = QStringLiteral("You can use the app now. Check your email for further details");
    notice.closeable = true;
    notice.color = NotificationBarControllerNotification::Color::Green;
    notice.isFromExpire = false;
    NotificationCenter::defaultCenter().post(NotificationBarControllerNotification::showNotification, QVariant::fromValue(notice));
}
