#pragma once

#include "AppPreferences.h"
#include "AuthProtocol.h"
#include "ErrorSender.h"
#include "EventTracker.h"
#include "HttpResponseModel.h"
#include "LoginError.h"
#include "NetworkingProtocol.h"
#include "OAuth2Error.h"
#include "PreservedPreferences.h"
#include "ProfileResponseModel.h"
#include "QuorManagerProtocol.h"
#include "User.h"
#include "VPNAccount.h"

#include <QUrl>
#include <expected>
#include <functional>
#include <memory>
#include <optional>

// Turns a finished web sign-in into a signed-in account: exchanges the redirect's code for
// the token set, stores the tokens and the profile, fetches the VPN password of an account,
// stores and applies its credentials, and marks the user signed in. Holds nothing between
// calls: everything goes into the settings stores and the token store.
//
// Main thread only; every completion runs once, on the main thread. Each request keeps the
// object alive until its reply has been handled, so always hold it in a shared_ptr.
class UserAuthentication : public std::enable_shared_from_this<UserAuthentication> {
public:
    using VPNAccount = ::VPNAccount;

    // The outcome of a sign-in attempt.
    struct AuthenticationCase {
        enum class Kind { UserInfoError, AuthError, NoSubscription, SingleSubscription, MultipleSubscription };
        Kind kind;
        std::optional<Error> error;            // UserInfoError
        std::optional<OAuth2Error> authError;  // AuthError

        static AuthenticationCase userInfoError(Error error) { return {Kind::UserInfoError, std::move(error), std::nullopt}; }
        static AuthenticationCase of(Kind kind) { return {kind, std::nullopt, std::nullopt}; }
    };

    // The reply of the VPN password request: the password, RSA-encrypted, in base64.
    struct PasswordResponseModel {
        QString secret;  // "secret"
        static std::optional<PasswordResponseModel> fromJson(const QJsonObject& object);
        QJsonObject toJson() const;
        static QStringList codingKeys() { return {QStringLiteral("secret")}; }
    };

    using AuthenticationCompletion = std::function<void(const AuthenticationCase&)>;
    // The code exchange's reply: the encrypted token set (absent when the reply named none).
    using ExchangeResult = std::expected<std::optional<QString>, Error>;
    using ProfileResult = std::expected<HttpResponseModel<ProfileResponseModel>, Error>;
    using PasswordReply = std::expected<HttpResponseModel<PasswordResponseModel>, Error>;
    using PasswordResult = std::expected<QString, LoginError>;
    using PasswordCompletion = std::function<void(const PasswordResult&)>;
    // Shows the account-disabled alert; the shell binds its alert catalogue here.
    using UserDisablePopup = std::function<void(const PreservedPreferences&)>;

    // Failures of the code exchange that are not the request's own.
    static inline const QString signInErrorDomain = QStringLiteral("Veltamorine.SignIn");
    enum SignInErrorCode { NoTokenSet = 1, TokenSetNotDecrypted = 2, TokenSetNotDecoded = 3, NoCallbackURL = 4 };

    static inline const QString realm = QStringLiteral("Veltamorine");
    // The password request's code for an account that has not moved to e-mail sign-in.
    static constexpr int notMigratedToEmailCode = 1046;

    UserAuthentication(std::shared_ptr<NetworkingProtocol> networkingManager, PreservedPreferences preference, User user,
                       AppPreferences appPreference, EventTracker eventTracker, QuorManagerProtocol* quorManager,
                       ErrorSender sentry, std::shared_ptr<AuthProtocol> auth);

    const std::shared_ptr<NetworkingProtocol> networkingManager;
    const PreservedPreferences preference;
    const User user;
    const AppPreferences appPreference;
    EventTracker eventTracker;
    QuorManagerProtocol* const quorManager;  // the SDK's manager; not owned; none before SDK set-up
    ErrorSender sentry;
    const std::shared_ptr<AuthProtocol> auth;

    static void setUserDisablePopup(UserDisablePopup popup);

    // The value of the URL's last query item, whatever its name; "" without one.
    static QString authorizationCode(const std::optional<QUrl>& callbackURL);

    void handleRedirectURL(const std::optional<QUrl>& callbackURL, AuthenticationCompletion completion);
    void exchangeAuthorizationCode(const QString& code, std::function<void(const ExchangeResult&)> completion);
    void handleTokenResponse(const ExchangeResult& result, AuthenticationCompletion completion);
    void handleUserInfoResponse(const ProfileResult& result, std::function<void(const ProfileResult&)> completion);
    void storeUserInfo(const ProfileResponseModel& profile);

    void fetchVPNPassword(const QString& username, const std::optional<QString>& loginVia,
                          const std::optional<QString>& method, PasswordCompletion completion);
    void handlePasswordResponse(const PasswordReply& reply, const QString& username, const std::optional<QString>& loginVia,
                                const std::optional<QString>& method, const PasswordCompletion& completion);
    void handleLoginSuccess(const PasswordResult& result, const VPNAccount& account, const PasswordCompletion& completion);
    void saveVPNAccount(const VPNAccount& account, const QString& password);
    void applyCredentials(const VPNAccount& account, const QString& password);

    void finishSignIn();

private:
    void fetchUserInfo(AuthenticationCompletion completion);
};

// The composition's UserAuthentication: the shared backend client, settings stores over the
// standard user defaults, a new event tracker and error sender, the SDK's shared manager (none
// before the SDK is set up) and the shared OAuth service.
std::shared_ptr<UserAuthentication> makeUserAuthentication();
