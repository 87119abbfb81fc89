#include "AccessTokenInterceptor.h"

#include "ApiLog.h"
#include "AppManager.h"
#include "AuthObject.h"
#include "BackendHosts.h"
#include "Bundle.h"
#include "CryptoUtility.h"
#include "HttpSession.h"
#include "Keys.h"
#include "MainQueue.h"
#include "Networking.h"
#include "Scheduler.h"
#include "SessionSignOut.h"
#include "StringExtensions.h"
#include "TokenResponse.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QUrlQuery>

namespace {

// Paths that must go out unstamped: the sign-in code exchange and the version checks.
bool isExemptFromStamping(const QUrl& url)
{
    const QString text = url.toString(QUrl::FullyEncoded);
    return text.contains(QLatin1StringView("auth/token")) || text.contains(QLatin1StringView("app/latest/version"));
}

}

AccessTokenInterceptor::AccessTokenInterceptor(AccessTokenScope scope, AppPreferences appPreference, User user,
    std::shared_ptr<OAuthClientHandle> oauthClient)
    : scope(scope)
    , appPreference(std::move(appPreference))
    , user(std::move(user))
    , oauthClient(std::move(oauthClient))
    , auth(AuthProtocol::shared())
{
}

bool AccessTokenInterceptor::isGatewayRequest(const QUrl& url)
{
    const QString gateway = BackendHosts::apiGateway();
    return !gateway.isEmpty() && BackendHosts::authority(url) == gateway;
}

std::optional<QString> AccessTokenInterceptor::username(const HttpRequest& request)
{
    QString name;
    if (request.method == HttpMethod::Post) {
        const QJsonDocument body = QJsonDocument::fromJson(request.body);
        const QJsonValue value = body.isObject() ? body.object().value(QLatin1StringView("username")) : QJsonValue();
        if (value.isString())
            name = value.toString();
    } else {
        const QUrlQuery query(request.url);
        for (const auto& item : query.queryItems(QUrl::FullyDecoded)) {
            if (item.first == QLatin1StringView("username")) {
                name = item.second;
                break;
            }
        }
    }
    if (name.isEmpty())
        return std::nullopt;
    return name;
}

QString AccessTokenInterceptor::tokenDigest(const std::optional<QString>& username)
{
    return StringExtensions::md5(Keys::required(u"apiSalt") + username.value_or(Networking::deviceId()));
}

void AccessTokenInterceptor::adapt(const HttpRequest& request, AdaptCompletion completion)
{
    if (!isGatewayRequest(request.url)) {
        completion(request);
        return;
    }
    HttpRequest adapted = request;
    if (!isExemptFromStamping(request.url)) {
        const AppManagerTokens tokens = AppManager::shared().tokens();
        adapted.headers.set("Authorization", "Bearer " + tokens.iws_accessToken.toUtf8());
        adapted.headers.set("Content-Type", "application/json");
        adapted.headers.set("Token", tokenDigest(username(request)).toUtf8());
    }
    completion(adapted);
}

void AccessTokenInterceptor::retry(const FailedAttempt& attempt, const Error& error, RetryCompletion completion)
{
    if (!isGatewayRequest(attempt.request.url) || !attempt.response || attempt.response->statusCode != 401) {
        completion(RetryResult::doNotRetryWithError(error));
        return;
    }
    const AppManagerTokens tokens = AppManager::shared().tokens();
    if (!tokens.iws_createdAt) {
        completion(RetryResult::doNotRetryWithError(error));
        return;
    }
    const QDateTime refreshExpiry = tokens.iws_createdAt->addSecs(tokens.iws_refreshToken_expiry);
    if (refreshExpiry < Scheduler::main().now()) {
        qCInfo(lcApi) << "refresh token expired; signing out";
        MainQueue::asyncIfNeeded([] {
            if (!SessionSignOut::signOut())
                qCWarning(lcApi) << "no sign-out is bound";
        });
        completion(RetryResult::doNotRetryWithError(error));
        return;
    }
    // The retry completion holds the request, and the request holds this interceptor, so
    // `this` lives until the answer is given.
    refreshToken([this, completion, error](RefreshResult result) { handleRefreshResponse(result, completion, error); });
}

void AccessTokenInterceptor::refreshToken(std::function<void(RefreshResult)> completion)
{
    const std::optional<QUrl> url = BackendHosts::httpsUrl(BackendHosts::apiGateway(), refreshPath);
    const QVariantMap body{
        {QStringLiteral("refresh_token"), AppManager::shared().tokens().iws_refreshToken},
        {QStringLiteral("realm"), realm},
    };
    auto request = HttpRequest::make(HttpMethod::Post, url.value_or(QUrl()), body, ParameterEncoding::Json);
    if (!request) {
        MainQueue::async([completion, error = request.error()] { completion(std::unexpected(std::optional<Error>(error))); });
        return;
    }
    // Not stamped, never retried, any status counts as a reply.
    HttpSession::shared().request(std::move(*request), HttpSession::DataOptions{nullptr, false},
        [completion](const DataResponse& response) {
            if (!response.response) {
                completion(std::unexpected(std::optional<Error>(response.error() ? *response.error() : Error())));
                return;
            }
            const QByteArray data = response.data.value_or(QByteArray());
            if (data.isEmpty()) {
                qCWarning(lcApi) << "refresh token response error";
                completion(std::unexpected(std::optional<Error>()));
                return;
            }
            const QJsonDocument document = QJsonDocument::fromJson(data);
            const std::optional<TokenResponse> reply =
                document.isObject() ? TokenResponse::fromJson(document.object()) : std::nullopt;
            if (!reply) {
                qCWarning(lcApi) << "error in decoding refresh token: status" << response.response->statusCode
                                 << data.size() << "bytes";
                completion(std::unexpected(std::optional<Error>()));
                return;
            }
            // The reply holds the encrypted token set: only its arrival is worth a line.
            qCInfo(lcApi) << "refresh token response: status" << response.response->statusCode;
            completion(reply->body.code);
        });
}

void AccessTokenInterceptor::handleRefreshResponse(const RefreshResult& result, const RetryCompletion& completion,
    const Error& requestError)
{
    if (!result) {
        completion(RetryResult::doNotRetryWithError(result.error().value_or(requestError)));
        return;
    }
    const std::optional<QString>& code = *result;
    if (!code || code->isEmpty()) {
        completion(RetryResult::doNotRetryWithError(requestError));
        return;
    }
    const std::optional<QString> plain = CryptoUtility::decryptAESGCM(*code);
    if (!plain) {
        completion(RetryResult::doNotRetryWithError(requestError));
        return;
    }
    const QJsonDocument document = QJsonDocument::fromJson(plain->toUtf8());
    const std::optional<AuthObject> tokens = document.isObject() ? AuthObject::fromJson(document.object()) : std::nullopt;
    if (!tokens) {
        qCWarning(lcApi) << "token set did not decode in decrypting refresh token";
        completion(RetryResult::doNotRetryWithError(requestError));
        return;
    }
    if (!tokens->accessToken || tokens->accessToken->isEmpty()) {
        completion(RetryResult::doNotRetryWithError(requestError));
        return;
    }
    Keychain keychain = appPreference.keychain;
    keychain.set(*tokens->accessToken, Bundle::main().releaseCode() + QStringLiteral("_API_") + toRaw(scope));
    AppManager::shared().saveTokens(*tokens, false);
    completion(RetryResult::doNotRetry());
}
