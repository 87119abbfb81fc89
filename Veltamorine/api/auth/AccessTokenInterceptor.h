#pragma once

#include "AccessTokenScope.h"
#include "AppPreferences.h"
#include "AuthProtocol.h"
#include "RequestInterceptor.h"
#include "User.h"

#include <expected>
#include <memory>
#include <optional>

// Stamps every request bound for the API gateway with the bearer token, the JSON content type
// and the per-user "Token" digest, and answers an HTTP 401 from the gateway by renewing the
// token set (or, once the refresh token has expired, by signing the user out). The request
// that met the 401 is never sent again; the requests that follow carry the new token.
// One interceptor per request; it reads the token store afresh at every step.
class AccessTokenInterceptor : public RequestInterceptor {
public:
    // The refresh call's outcome: the encrypted token set (maybe absent), or a failure. A
    // failure with an error is the refresh call's own transport error; one without an error
    // is an unusable reply, after which the request's own error stands.
    using RefreshResult = std::expected<std::optional<QString>, std::optional<Error>>;

    AccessTokenInterceptor(AccessTokenScope scope, AppPreferences appPreference, User user,
                           std::shared_ptr<OAuthClientHandle> oauthClient);

    const AccessTokenScope scope;
    const AppPreferences appPreference;
    const User user;
    const std::shared_ptr<OAuthClientHandle> oauthClient;
    const std::shared_ptr<AuthProtocol> auth;

    void adapt(const HttpRequest& request, AdaptCompletion completion) override;
    void retry(const FailedAttempt& attempt, const Error& error, RetryCompletion completion) override;

    // Sends the gateway's refresh call with the stored refresh token.
    void refreshToken(std::function<void(RefreshResult)> completion);
    // Turns the refresh outcome into the retry answer, storing a new token set on success.
    void handleRefreshResponse(const RefreshResult& result, const RetryCompletion& completion, const Error& requestError);

    static inline const QString refreshPath = QStringLiteral("/refresh/token");
    static inline const QString realm = QStringLiteral("Veltamorine");

    // The "Token" digest: MD5 of the API salt followed by the user name, or by the device
    // identifier when the request names no user.
    static QString tokenDigest(const std::optional<QString>& username);
    // The user name a request names: "username" of a POST's JSON body, else the first
    // "username" query item; none when absent or empty.
    static std::optional<QString> username(const HttpRequest& request);
    static bool isGatewayRequest(const QUrl& url);
};
