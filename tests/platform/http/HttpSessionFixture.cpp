#include "HttpSessionFixture.h"

#include "MainQueue.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <thread>

HttpSessionConfiguration sandboxConfiguration(int timeoutMs)
{
    HttpSessionConfiguration configuration;
    configuration.timeoutMs = timeoutMs;
    configuration.extraCaCertificatePaths = {SandboxServer::testCaPath()};
    return configuration;
}

DataResponse runRequest(HttpSession& session, const HttpRequest& request, HttpSession::DataOptions options, int waitMs)
{
    int calls = 0;
    bool onMainThread = false;
    std::optional<DataResponse> response;
    session.request(request, std::move(options), [&](const DataResponse& r) {
        ++calls;
        onMainThread = MainQueue::isMainThread();
        response = r;
    });
    EXPECT_TRUE(TestSupport::waitUntil([&] { return calls > 0; }, waitMs)) << "no completion";
    TestSupport::processEvents(20);
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(onMainThread);
    if (!response)
        return DataResponse{std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::unexpected(Error(QStringLiteral("test"), 0)), 0};
    return *response;
}

HttpRequest getRequest(const QUrl& url)
{
    return *HttpRequest::make(HttpMethod::Get, url);
}

void ScriptedInterceptor::adapt(const HttpRequest& request, AdaptCompletion completion)
{
    ++adaptCalls;
    auto answer = onAdapt ? onAdapt(request) : std::expected<HttpRequest, Error>(request);
    if (answerFromOtherThread) {
        std::thread([completion, answer] { completion(answer); }).detach();
        return;
    }
    completion(answer);
    if (answerTwice)
        completion(std::unexpected(Error(QStringLiteral("test"), 99)));
}

void ScriptedInterceptor::retry(const FailedAttempt& attempt, const Error& error, RetryCompletion completion)
{
    retryErrors.append(error);
    retryAttempts.append(attempt);
    const RetryResult answer = onRetry ? onRetry(attempt, error) : RetryResult::doNotRetry();
    if (answerFromOtherThread) {
        std::thread([completion, answer] { completion(answer); }).detach();
        return;
    }
    completion(answer);
    if (answerTwice)
        completion(RetryResult::retry());
}
