#pragma once

#include "HttpSession.h"
#include "SandboxServer.h"

#include <QThread>
#include <optional>

// A session that trusts the stand-in's test CA, with a short transfer timeout.
HttpSessionConfiguration sandboxConfiguration(int timeoutMs = 3000);

// Runs one data request to the end and checks that its completion came once, on the main thread.
DataResponse runRequest(HttpSession& session, const HttpRequest& request, HttpSession::DataOptions options = {},
    int waitMs = 8000);

HttpRequest getRequest(const QUrl& url);

// An interceptor whose answers a test decides.
class ScriptedInterceptor : public RequestInterceptor {
public:
    std::function<std::expected<HttpRequest, Error>(const HttpRequest&)> onAdapt;
    std::function<RetryResult(const FailedAttempt&, const Error&)> onRetry;
    bool answerFromOtherThread = false;
    bool answerTwice = false;
    int adaptCalls = 0;
    QList<Error> retryErrors;
    QList<FailedAttempt> retryAttempts;

    void adapt(const HttpRequest& request, AdaptCompletion completion) override;
    void retry(const FailedAttempt& attempt, const Error& error, RetryCompletion completion) override;
};
