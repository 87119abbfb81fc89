#pragma once

#include "Error.h"
#include "HttpRequest.h"
#include "HttpResponse.h"

#include <expected>
#include <functional>
#include <optional>

// The answer to "the request failed: send it again?".
struct RetryResult {
    enum class Kind { Retry, DoNotRetry, DoNotRetryWithError };
    Kind kind = Kind::DoNotRetry;
    Error error;  // for DoNotRetryWithError: what the caller gets (wrapped as a retry failure)

    static RetryResult retry() { return {Kind::Retry, {}}; }
    static RetryResult doNotRetry() { return {Kind::DoNotRetry, {}}; }
    static RetryResult doNotRetryWithError(Error error) { return {Kind::DoNotRetryWithError, std::move(error)}; }
};

// A failed attempt as the interceptor's retry step sees it.
struct FailedAttempt {
    HttpRequest request;                    // as it was sent (adapted)
    std::optional<HttpResponse> response;   // absent when no HTTP reply arrived
    int retryCount = 0;                     // attempts sent again so far
};

// Per-request hooks: `adapt` may change a request just before each attempt is sent;
// `retry` is asked after every failed attempt (transport error, refused status, empty reply)
// except an explicit cancel. Both may answer later and from any thread; only the first answer
// counts.
class RequestInterceptor {
public:
    using AdaptCompletion = std::function<void(std::expected<HttpRequest, Error>)>;
    using RetryCompletion = std::function<void(RetryResult)>;

    virtual ~RequestInterceptor();
    // Default: the request unchanged.
    virtual void adapt(const HttpRequest& request, AdaptCompletion completion);
    // Default: do not retry.
    virtual void retry(const FailedAttempt& attempt, const Error& error, RetryCompletion completion);
};
