#include "LoginModel.h"

#include "AccountLog.h"

#include <QPointer>

LoginModel::LoginModel(std::shared_ptr<NetworkingProtocol> networkingManager, User userPreference, ErrorSender sentry,
                       EventTracker eventTracker, PreservedPreferences preference,
                       std::shared_ptr<UserAuthentication> userAuthentication, QuorManagerProtocol* quor,
                       AccountAlerts* alerts, QObject* parent)
    : QObject(parent)
    , networkingManager(std::move(networkingManager))
    , preference(std::move(preference))
    , userPreference(std::move(userPreference))
    , sentry(std::move(sentry))
    , eventTracker(std::move(eventTracker))
    , quor(quor)
    , invalidCredentialsHandler(std::make_unique<InvalidCredentialsHandler>(0, 3))
    , userAuthentication(std::move(userAuthentication))
    , alerts(alerts)
{
    prefillCredentials();
}

void LoginModel::setShowPassword(bool value)
{
    if (showPassword_ == value)
        return;
    showPassword_ = value;
    emit showPasswordChanged(value);
}

void LoginModel::setUsername(const QString& value)
{
    if (username_ == value && username_.isNull() == value.isNull())
        return;
    username_ = value;
    emit usernameChanged(value);
}

void LoginModel::setPassword(const QString& value)
{
    if (password_ == value && password_.isNull() == value.isNull())
        return;
    password_ = value;
    emit passwordChanged(value);
}

void LoginModel::prefillCredentials()
{
    setUsername(userPreference.loginUsername().value_or(QString()));
    setPassword(userPreference.loginPassword().value_or(QString()));
}

void LoginModel::setBusy(bool busy)
{
    if (!delegate)
        return;
    delegate->setRequestInProcess(busy);
    delegate->setEnableAuthentication(!busy);
    delegate->refreshLoadingIndicator();
}

void LoginModel::handleAuthenticationCase(const UserAuthentication::AuthenticationCase& authenticationCase)
{
    using Kind = UserAuthentication::AuthenticationCase::Kind;
    switch (authenticationCase.kind) {
    case Kind::NoSubscription:
        userAuthentication->finishSignIn();
        break;
    case Kind::SingleSubscription: {
        const QList<VPNAccount> accounts = preference.vpnAccounts();
        if (accounts.isEmpty())
            return;
        continueWithAccount(accounts.first());
        break;
    }
    case Kind::MultipleSubscription:
        if (delegate)
            delegate->showAccountSelection();
        break;
    case Kind::UserInfoError:
    case Kind::AuthError:
        // The screen shows these before it calls.
        break;
    }
}

void LoginModel::continueWithAccount(const VPNAccount& account)
{
    setBusy(true);
    QPointer<LoginModel> weak(this);
    const std::shared_ptr<UserAuthentication> authentication = userAuthentication;
    authentication->fetchVPNPassword(account.username, std::nullopt, std::nullopt,
        [weak, authentication, account](const UserAuthentication::PasswordResult& result) {
            authentication->handleLoginSuccess(result, account, [weak, account](const UserAuthentication::PasswordResult& stored) {
                if (weak)
                    weak->handleVPNPasswordResult(stored, account);
            });
        });
}

void LoginModel::handleVPNPasswordResult(const UserAuthentication::PasswordResult& result, const VPNAccount& account)
{
    setBusy(false);
    if (result) {
        userAuthentication->finishSignIn();
        return;
    }
    const LoginError& error = result.error();
    const bool fetchFailed = error.kind == LoginError::Kind::UnableToFetchPassword;
    if (fetchFailed && error.error.code == UserAuthentication::notMigratedToEmailCode) {
        askMigrationConsent(User(), userAuthentication);
        return;
    }
    if (!fetchFailed && error.kind != LoginError::Kind::UnableToDecryptPassword)
        return;
    // Without a VPN password the account cannot connect: no sign-in, the user retries or leaves.
    if (!alerts) {
        qCWarning(lcAccount) << "the VPN password failed and no alert presenter is installed";
        return;
    }
    QPointer<LoginModel> weak(this);
    alerts->showVpnPasswordFailed(error.toError(), [weak, account] {
        if (weak)
            weak->continueWithAccount(account);
    });
}

void LoginModel::askMigrationConsent(User user, std::shared_ptr<UserAuthentication> authentication)
{
    Q_UNUSED(user);
    setBusy(true);
    if (!alerts) {
        qCWarning(lcAccount) << "the migration consent needs an alert presenter; none is installed";
        setBusy(false);
        return;
    }
    QPointer<LoginModel> weak(this);
    alerts->showMigrateConsentFailed([weak, authentication](bool loggedOut) {
        if (weak)
            weak->handleMigrationConsent(loggedOut, authentication);
    });
}

void LoginModel::handleMigrationConsent(bool loggedOut, std::shared_ptr<UserAuthentication> authentication)
{
    if (loggedOut) {
        // The user signed out: a migration now could store an account over the cleared data.
        setBusy(false);
        return;
    }
    QPointer<LoginModel> weak(this);
    const auto checks = std::make_shared<LaunchChecks>(std::move(authentication), alerts);
    checks->migrateToEmail([weak](const LaunchChecks::EmailMigrationResult& result) {
        if (weak)
            weak->handleMigrateToEmailResult(result);
    });
}

void LoginModel::handleMigrateToEmailResult(const LaunchChecks::EmailMigrationResult& result)
{
    setBusy(false);
    User stored = userPreference;
    if (!result) {
        // Recorded only; the launch check tries again on a later start.
        stored.setIsUserNotMigratedToEmail(true);
        return;
    }
    if (*result) {
        stored.setIsUserNotMigratedToEmail(true);
        return;
    }
    stored.setIsUserNotMigratedToEmail(false);
    LaunchChecks::showMigrationComplete();
    userAuthentication->finishSignIn();
}
