#include "UserAuthentication.h"

#include "AccountConfiguration.h"
#include "AccountLog.h"
#include "AccountNotifications.h"
#include "AppManager.h"
#include "AuthObject.h"
#include "AuthToken.h"
#include "Bundle.h"
#include "CryptoUtility.h"
#include "Factories.h"
#include "JsonFields.h"
#include "Localizer.h"
#include "Networking.h"
#include "NotificationCenter.h"
#include "OAuthService.h"
#include "QuorManager.h"
#include "SettingsNotifications.h"

#include <QJsonDocument>
#include <QUrlQuery>
#include <mutex>

namespace {

std::mutex popupMutex;
UserAuthentication::UserDisablePopup userDisablePopup;

QString describe(const DecryptionError& error)
{
    switch (error.kind) {
    case DecryptionError::Kind::InvalidKey: return Localizer::localized(QStringLiteral("signin.password.invalid-key"));
    case DecryptionError::Kind::UnableToDecrypt: return Localizer::localized(QStringLiteral("signin.password.undecryptable"));
    case DecryptionError::Kind::KeyIsNotEncoded:
    case DecryptionError::Kind::DataIsNotEncoded: return Localizer::localized(QStringLiteral("signin.password.not-encoded"));
    case DecryptionError::Kind::EmptyData: return Localizer::localized(QStringLiteral("signin.password.empty"));
    case DecryptionError::Kind::MalformedData: return Localizer::localized(QStringLiteral("signin.password.not-text"));
    }
    return {};
}

Error signInError(int code, const QString& message)
{
    return Error(UserAuthentication::signInErrorDomain, code, message);
}

}

std::optional<UserAuthentication::PasswordResponseModel> UserAuthentication::PasswordResponseModel::fromJson(const QJsonObject& object)
{
    PasswordResponseModel model;
    if (!JsonFields::requiredString(object, QLatin1StringView("secret"), model.secret))
        return std::nullopt;
    return model;
}

QJsonObject UserAuthentication::PasswordResponseModel::toJson() const
{
    return QJsonObject{{QStringLiteral("secret"), secret}};
}

UserAuthentication::UserAuthentication(std::shared_ptr<NetworkingProtocol> networkingManager, PreservedPreferences preference,
                                       User user, AppPreferences appPreference, EventTracker eventTracker,
                                       QuorManagerProtocol* quorManager, ErrorSender sentry, std::shared_ptr<AuthProtocol> auth)
    : networkingManager(std::move(networkingManager))
    , preference(std::move(preference))
    , user(std::move(user))
    , appPreference(std::move(appPreference))
    , eventTracker(std::move(eventTracker))
    , quorManager(quorManager)
    , sentry(std::move(sentry))
    , auth(std::move(auth))
{
}

void UserAuthentication::setUserDisablePopup(UserDisablePopup popup)
{
    std::lock_guard lock(popupMutex);
    userDisablePopup = std::move(popup);
}

QString UserAuthentication::authorizationCode(const std::optional<QUrl>& callbackURL)
{
    if (!callbackURL || !callbackURL->isValid())
        return QString();
    const QList<std::pair<QString, QString>> items = QUrlQuery(*callbackURL).queryItems(QUrl::FullyDecoded);
    return items.isEmpty() ? QString() : items.last().second;
}

// --- code exchange

void UserAuthentication::handleRedirectURL(const std::optional<QUrl>& callbackURL, AuthenticationCompletion completion)
{
    eventTracker.track(EventTrackerEvent::routeWebLogin);
    if (!callbackURL) {
        // Whoever calls always has one; without it there is nothing to exchange.
        completion(AuthenticationCase::userInfoError(signInError(NoCallbackURL, Localizer::localized(QStringLiteral("signin.error.no-answer")))));
        return;
    }
    auto self = shared_from_this();
    exchangeAuthorizationCode(authorizationCode(callbackURL), [self, completion](const ExchangeResult& result) {
        self->handleTokenResponse(result, completion);
    });
}

void UserAuthentication::exchangeAuthorizationCode(const QString& code, std::function<void(const ExchangeResult&)> completion)
{
    const QVariantMap body{
        {QStringLiteral("authorization_code"), code},
        {QStringLiteral("realm"), realm},
        {QStringLiteral("redirect_uri"), AccountConfiguration::redirectURI()},
    };
    qCInfo(lcAccount) << "exchanging the authorisation code";
    networkingManager->postRequest<AuthToken>(Endpoint::authToken, body, std::nullopt,
        [completion = std::move(completion)](std::expected<AuthToken, Error> reply) {
            if (!reply)
                completion(std::unexpected(reply.error()));
            else
                completion(reply->code);
        });
}

void UserAuthentication::handleTokenResponse(const ExchangeResult& result, AuthenticationCompletion completion)
{
    if (!result) {
        qCInfo(lcAccount) << "code exchange failed:" << result.error().code;
        completion(AuthenticationCase::userInfoError(result.error()));
        return;
    }
    if (!*result || (*result)->isEmpty()) {
        completion(AuthenticationCase::userInfoError(signInError(NoTokenSet, Localizer::localized(QStringLiteral("signin.error.no-tokens")))));
        return;
    }
    const std::optional<QString> plain = CryptoUtility::decryptAESGCM(**result);
    if (!plain) {
        qCWarning(lcAccount) << "the token set did not decrypt; nothing stored";
        completion(AuthenticationCase::userInfoError(signInError(TokenSetNotDecrypted, Localizer::localized(QStringLiteral("signin.error.unreadable")))));
        return;
    }
    const QJsonDocument document = QJsonDocument::fromJson(plain->toUtf8());
    const std::optional<AuthObject> tokens = document.isObject() ? AuthObject::fromJson(document.object()) : std::nullopt;
    if (!tokens) {
        qCWarning(lcAccount) << "the token set did not decode; nothing stored";
        completion(AuthenticationCase::userInfoError(signInError(TokenSetNotDecoded, Localizer::localized(QStringLiteral("signin.error.unreadable")))));
        return;
    }
    AppManager::shared().saveTokens(*tokens, false);
    fetchUserInfo(std::move(completion));
}

void UserAuthentication::fetchUserInfo(AuthenticationCompletion completion)
{
    auto self = shared_from_this();
    networkingManager->getRequest<HttpResponseModel<ProfileResponseModel>>(Endpoint::UserInfo1, std::nullopt, std::nullopt,
        [self, completion](ProfileResult reply) {
            self->handleUserInfoResponse(reply, [completion](const ProfileResult& result) {
                if (!result)
                    completion(AuthenticationCase::userInfoError(result.error()));
                else
                    completion(AuthenticationCase::of(AuthenticationCase::Kind::SingleSubscription));
            });
        });
}

void UserAuthentication::handleUserInfoResponse(const ProfileResult& result, std::function<void(const ProfileResult&)> completion)
{
    if (result)
        storeUserInfo(result->body);
    completion(result);
}

void UserAuthentication::storeUserInfo(const ProfileResponseModel& profile)
{
    User account = user;
    account.setLoginUsername(profile.vpnUsername);
    account.setEmail(profile.email);
    account.setUsername(profile.vpnUsername);
    account.setLoginMethod(QStringLiteral("email"));
    account.setVpnUsername(profile.vpnUsername);
    account.setClientId(profile.client_id.value_or(0));
    account.setStatus(fromRaw<User::Status>(profile.status).value_or(User::Status::Inactive));
    account.setDedicatedIPDetail(profile.dedicatedIPDetail);

    VPNAccount vpnAccount;
    vpnAccount.username = profile.vpnUsername;
    vpnAccount.status = profile.status;
    vpnAccount.billingCycle = profile.billingCycle;
    vpnAccount.paymentGateway = profile.paymentGateway.name;
    vpnAccount.expiryDate = profile.expiryDate;
    vpnAccount.expiryReason = QString();
    PreservedPreferences(preference).setVpnAccounts({vpnAccount});
    qCInfo(lcAccount) << "profile stored";
}

// --- VPN password

void UserAuthentication::fetchVPNPassword(const QString& username, const std::optional<QString>& loginVia,
                                          const std::optional<QString>& method, PasswordCompletion completion)
{
    const QVariantMap parameters{
        {QStringLiteral("username"), username},
        {QStringLiteral("device_type"), QStringLiteral("mac")},
    };
    auto self = shared_from_this();
    networkingManager->getRequest<HttpResponseModel<PasswordResponseModel>>(Endpoint::Password, parameters, std::nullopt,
        [self, username, loginVia, method, completion](PasswordReply reply) {
            self->handlePasswordResponse(reply, username, loginVia, method, completion);
        });
}

void UserAuthentication::handlePasswordResponse(const PasswordReply& reply, const QString& username,
                                                const std::optional<QString>& loginVia, const std::optional<QString>& method,
                                                const PasswordCompletion& completion)
{
    User account = user;
    if (reply) {
        std::expected<QString, DecryptionError> password = CryptoUtility::decryptRSA(reply->body.secret);
        if (!password) {
            qCWarning(lcAccount) << "the VPN password did not decrypt";
            completion(std::unexpected(LoginError::unableToDecryptPassword(describe(password.error()))));
            return;
        }
        completion(*password);
        account.setIsUserNotMigratedToEmail(false);
        return;
    }
    const Error& error = reply.error();
    if (error.code == notMigratedToEmailCode)
        account.setIsUserNotMigratedToEmail(true);
    eventTracker.track(EventTrackerEvent::failFetchAccountInfo, QVariantMap{
        {QStringLiteral("login_via"), loginVia.value_or(QStringLiteral("login"))},
        {QStringLiteral("username"), username},
        {QStringLiteral("method"), method.value_or(QStringLiteral("email"))},
        {QStringLiteral("reason"), error.message},
        {QStringLiteral("code"), error.code},
    });
    qCInfo(lcAccount) << "VPN password request failed:" << error.code;
    completion(std::unexpected(LoginError::unableToFetchPassword(error)));
}

void UserAuthentication::handleLoginSuccess(const PasswordResult& result, const VPNAccount& account,
                                            const PasswordCompletion& completion)
{
    if (result) {
        saveVPNAccount(account, *result);
        applyCredentials(account, *result);
        NotificationCenter::defaultCenter().post(AccountNotifications::vpnAccountDidChange);
        NotificationCenter::defaultCenter().post(QString(SettingsNotifications::preferencesRefreshed));
    }
    completion(result);
}

void UserAuthentication::saveVPNAccount(const VPNAccount& account, const QString& password)
{
    User stored = user;
    stored.setVpnUsername(account.username);
    if (!stored.setVpnPassword(password))
        qCWarning(lcAccount) << "the keyring refused the VPN password";
    stored.setBillingCycle(account.billingCycle);
    stored.setPaymentGateway(account.paymentGateway);
    stored.setExpiryDate(account.expiryDate);
    stored.setExpiryReason(account.expiryReason);
    if (const std::optional<User::Status> status = fromRaw<User::Status>(account.status))
        stored.setStatus(*status);
}

void UserAuthentication::applyCredentials(const VPNAccount& account, const QString& password)
{
    if (quorManager)
        quorManager->setQuorCredential(QuorCredential(account.username, password));
    else
        qCInfo(lcAccount) << "no VPN SDK manager yet; its set-up takes the stored credentials";
    const QString uuid = user.uuid().value_or(QString());
    sentry.setUser(ReportUser{uuid, account.username});
    eventTracker.identify(uuid, account.username, preference.userTestGroup() == UserTestGroup::GroupB);
}

// --- finishing

void UserAuthentication::finishSignIn()
{
    NotificationCenter::defaultCenter().post(AccountNotifications::showDashboard, QVariant(true));
    NotificationCenter::defaultCenter().post(AccountNotifications::fetchNotifications);
    User account = user;
    account.setLoggedIn(true);
    account.setIsUserNotMigratedToFA(false);

    const bool hasAccount = account.vpnUsername().has_value() || !preference.vpnAccounts().isEmpty();
    if (hasAccount && account.status() == User::Status::Disabled) {
        UserDisablePopup popup;
        {
            std::lock_guard lock(popupMutex);
            popup = userDisablePopup;
        }
        if (popup)
            popup(preference);
    }
}

std::shared_ptr<UserAuthentication> makeUserAuthentication()
{
    // The service first: making it binds it as the API client's AuthProtocol, which the shared
    // backend client takes when it is made.
    const std::shared_ptr<OAuthService> service = OAuthService::shared();
    Networking& networking = Networking::shared();
    if (!networking.auth)
        networking.auth = service;
    return std::make_shared<UserAuthentication>(networking.shared_from_this(), makePreservedPreferences(), makeUser(),
        makeAppPreferences(), makeEventTracker(), QuorManager::sharedInstance(), makeErrorSender(), service);
}
