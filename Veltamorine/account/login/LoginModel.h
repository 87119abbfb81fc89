#pragma once

#include "AccountAlerts.h"
#include "ErrorSender.h"
#include "EventTracker.h"
#include "InvalidCredentialsHandler.h"
#include "LaunchChecks.h"
#include "LoginModelDelegate.h"
#include "LoginModelMethod.h"
#include "NetworkingProtocol.h"
#include "PreservedPreferences.h"
#include "QuorManagerProtocol.h"
#include "User.h"
#include "UserAuthentication.h"

#include <QObject>
#include <QString>
#include <memory>

// The model behind the login screen: pre-fills the remembered credentials, turns the outcome of
// the web sign-in into the next step (finish, fetch the only account's VPN password, or offer
// the account choice), handles the password result and runs the e-mail migration consent.
// It talks to its screen only through the delegate and to the user only through AccountAlerts.
// Main thread; every completion holds the model weakly and ends quietly once it is gone.
class LoginModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool showPassword READ showPassword WRITE setShowPassword NOTIFY showPasswordChanged)
    // A null text stands for "none".
    Q_PROPERTY(QString username READ username WRITE setUsername NOTIFY usernameChanged)
    Q_PROPERTY(QString password READ password WRITE setPassword NOTIFY passwordChanged)

public:
    using Method = LoginModelMethod;

    LoginModel(std::shared_ptr<NetworkingProtocol> networkingManager, User userPreference, ErrorSender sentry,
               EventTracker eventTracker, PreservedPreferences preference,
               std::shared_ptr<UserAuthentication> userAuthentication, QuorManagerProtocol* quor,
               AccountAlerts* alerts = AccountAlerts::current(), QObject* parent = nullptr);

    const std::shared_ptr<NetworkingProtocol> networkingManager;
    const PreservedPreferences preference;
    const User userPreference;
    ErrorSender sentry;
    EventTracker eventTracker;
    QuorManagerProtocol* const quor;  // the SDK's manager; not owned
    const std::unique_ptr<InvalidCredentialsHandlerProtcol> invalidCredentialsHandler;
    const std::shared_ptr<UserAuthentication> userAuthentication;
    AccountAlerts* const alerts;
    LoginModelDelegate* delegate = nullptr;  // the login screen; not owned

    bool showPassword() const { return showPassword_; }
    void setShowPassword(bool value);
    QString username() const { return username_; }
    void setUsername(const QString& value);
    QString password() const { return password_; }
    void setPassword(const QString& value);

    // The stored login name and login password (null when not stored).
    void prefillCredentials();

    // The web sign-in's outcome once the screen has dealt with the error cases.
    void handleAuthenticationCase(const UserAuthentication::AuthenticationCase& authenticationCase);
    // Fetches and stores the VPN password of `account`, then handleVPNPasswordResult(). The
    // single-account sign-in and the account choice both come here.
    void continueWithAccount(const VPNAccount& account);
    // The password result of `account`, after it was stored.
    void handleVPNPasswordResult(const UserAuthentication::PasswordResult& result, const VPNAccount& account);
    // Asks whether to move the account to e-mail sign-in.
    void askMigrationConsent(User user, std::shared_ptr<UserAuthentication> authentication);
    void handleMigrationConsent(bool loggedOut, std::shared_ptr<UserAuthentication> authentication);
    void handleMigrateToEmailResult(const LaunchChecks::EmailMigrationResult& result);

signals:
    void showPasswordChanged(bool);
    void usernameChanged(const QString&);
    void passwordChanged(const QString&);

private:
    void setBusy(bool busy);

    bool showPassword_ = false;
    QString username_;
    QString password_;
};
