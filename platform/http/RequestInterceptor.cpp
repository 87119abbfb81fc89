#include "RequestInterceptor.h"

RequestInterceptor::~RequestInterceptor() = default;

void RequestInterceptor::adapt(const HttpRequest& request, AdaptCompletion completion)
{
    completion(request);
}

void RequestInterceptor::retry(const FailedAttempt&, const Error&, RetryCompletion completion)
{
    completion(RetryResult::doNotRetry());
}
