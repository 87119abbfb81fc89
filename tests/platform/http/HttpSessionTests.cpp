#include "Bundle.h"
#include "FakeReachability.h"
#include "HttpError.h"
#include "HttpSessionFixture.h"
#include "MainQueue.h"
#include "NetworkError.h"
#include "SandboxAssertions.h"
#include "TestSupport.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>
#include <thread>

namespace {

std::string text(const Error& error)
{
    return (error.domain + QStringLiteral(" %1 ").arg(error.code) + error.message).toStdString();
}

}

class HttpSessionTest : public ::testing::Test {
protected:
    ScopedSandbox sandbox;
    HttpSession session{sandboxConfiguration()};
};

TEST_F(HttpSessionTest, DeliversDataStatusHeadersAndTimingOfASuccessfulReply)
{
    SandboxReply reply = SandboxReply::raw(200, R"({"ok":true})");
    reply.headers.append(qMakePair(QByteArray("X-Request-Id"), QByteArray("42")));
    sandbox.reply("GET", QStringLiteral("/data"), reply);

    const DataResponse response = runRequest(session, getRequest(sandbox.url(QStringLiteral("/data"))));

    ASSERT_TRUE(response.succeeded()) << text(*response.error());
    EXPECT_EQ(*response.result, R"({"ok":true})");
    ASSERT_TRUE(response.response);
    EXPECT_EQ(response.response->statusCode, 200);
    EXPECT_EQ(response.response->headers.value("x-request-id"), "42");
    ASSERT_TRUE(response.metrics);
    EXPECT_GE(response.metrics->duration(), 0.0);
    EXPECT_LT(response.metrics->duration(), 5.0);
    ASSERT_TRUE(response.request);
    EXPECT_EQ(response.request->url, sandbox.url(QStringLiteral("/data")));
}

// How each kind of reply ends: the transport's own rules before anything decodes a body.
TEST_F(HttpSessionTest, JudgesRepliesByStatusAndBody)
{
    const struct {
        const char* name;
        HttpMethod method;
        SandboxReply reply;
        bool validate;
        std::optional<QByteArray> data;  // expected success data, or failure
        int errorCode;
        int statusInfo;
    } cases[] = {
        {"200 with body", HttpMethod::Get, SandboxReply::raw(200, "x"), true, QByteArray("x"), 0, 0},
        {"200 with empty body fails", HttpMethod::Get, SandboxReply::raw(200, ""), true, std::nullopt, HttpError::ResponseSerializationFailed, 0},
        {"204 is an empty success", HttpMethod::Get, SandboxReply::raw(204, ""), true, QByteArray(), 0, 0},
        {"205 is an empty success", HttpMethod::Post, SandboxReply::raw(205, ""), true, QByteArray(), 0, 0},
        {"HEAD may be empty", HttpMethod::Head, SandboxReply::raw(200, ""), true, QByteArray(), 0, 0},
        {"299 passes", HttpMethod::Get, SandboxReply::raw(299, "y"), true, QByteArray("y"), 0, 0},
        {"400 is refused", HttpMethod::Post, SandboxReply::raw(400, R"({"header":{}})"), true, std::nullopt, HttpError::ResponseValidationFailed, 400},
        {"401 is refused", HttpMethod::Get, SandboxReply::raw(401, "{}"), true, std::nullopt, HttpError::ResponseValidationFailed, 401},
        {"503 is refused", HttpMethod::Get, SandboxReply::raw(503, "down"), true, std::nullopt, HttpError::ResponseValidationFailed, 503},
        {"503 without validation", HttpMethod::Get, SandboxReply::raw(503, "down"), false, QByteArray("down"), 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sandbox.reply(toRaw(c.method), QStringLiteral("/judge"), c.reply);
        HttpRequest request = getRequest(sandbox.url(QStringLiteral("/judge")));
        request.method = c.method;
        const DataResponse response = runRequest(session, request, {nullptr, c.validate});
        ASSERT_TRUE(response.response);
        EXPECT_EQ(response.response->statusCode, c.reply.status);
        if (c.data) {
            ASSERT_TRUE(response.succeeded()) << text(*response.error());
            EXPECT_EQ(*response.result, *c.data);
            continue;
        }
        ASSERT_FALSE(response.succeeded());
        EXPECT_EQ(response.error()->domain, HttpError::domain);
        EXPECT_EQ(response.error()->code, c.errorCode);
        if (c.statusInfo)
            EXPECT_EQ(response.error()->userInfo.value(QStringLiteral("statusCode")).toInt(), c.statusInfo);
        // A refused reply still carries its body for whoever wants to read it.
        ASSERT_TRUE(response.data);
        EXPECT_EQ(*response.data, c.reply.body);
    }
}

TEST_F(HttpSessionTest, AStalledServerTimesOutWithMinus1001)
{
    sandbox.reply("GET", QStringLiteral("/stall"), SandboxReply::stalled());
    HttpSession quick(sandboxConfiguration(300));

    const DataResponse response = runRequest(quick, getRequest(sandbox.url(QStringLiteral("/stall"))));

    ASSERT_FALSE(response.succeeded());
    EXPECT_TRUE(response.error()->is(HttpError::domain, HttpError::SessionTaskFailed)) << text(*response.error());
    EXPECT_TRUE(response.error()->rootError().is(NetworkError::domain, NetworkError::TimedOut)) << text(response.error()->rootError());
    EXPECT_FALSE(response.response);
    EXPECT_FALSE(response.data);
}

TEST_F(HttpSessionTest, ARefusedPortIsANetworkErrorAndOfflineWhenUnreachable)
{
    const QUrl closed(QStringLiteral("https://127.0.0.1:%1/x").arg(SandboxServer::unusedPort()));
    const DataResponse refused = runRequest(session, getRequest(closed));
    ASSERT_FALSE(refused.succeeded());
    EXPECT_TRUE(refused.error()->is(HttpError::domain, HttpError::SessionTaskFailed));
    EXPECT_TRUE(refused.error()->rootError().is(NetworkError::domain, NetworkError::CannotConnectToHost))
        << text(refused.error()->rootError());

    FakeReachability offline(Reachability::Status::NotReachable);
    HttpSessionConfiguration configuration = sandboxConfiguration();
    configuration.reachability = &offline;
    HttpSession offlineSession(configuration);
    const DataResponse response = runRequest(offlineSession, getRequest(closed));
    EXPECT_TRUE(response.error()->rootError().is(NetworkError::domain, NetworkError::NotConnectedToInternet))
        << text(response.error()->rootError());
}

TEST_F(HttpSessionTest, RefusesCertificatesOutsideTheTrustedAuthorities)
{
    sandbox.reply("GET", QStringLiteral("/secret"), SandboxReply::raw(200, "x"));
    // Without the test CA, the stand-in's own certificate is untrusted.
    HttpSessionConfiguration plain;
    plain.timeoutMs = 3000;
    HttpSession withoutCa(plain);
    const DataResponse response = runRequest(withoutCa, getRequest(sandbox.url(QStringLiteral("/secret"))));
    ASSERT_FALSE(response.succeeded());
    EXPECT_TRUE(response.error()->rootError().is(NetworkError::domain, NetworkError::ServerCertificateUntrusted))
        << text(response.error()->rootError());

    // With the test CA, a server whose certificate another CA signed is still refused.
    SandboxServer impostor(SandboxServer::untrustedCertificatePath(), SandboxServer::untrustedKeyPath());
    ASSERT_TRUE(impostor.start());
    impostor.reply("GET", QStringLiteral("/secret"), SandboxReply::raw(200, "x"));
    const DataResponse other = runRequest(session, getRequest(impostor.url(QStringLiteral("/secret"))));
    ASSERT_FALSE(other.succeeded());
    EXPECT_TRUE(other.error()->rootError().is(NetworkError::domain, NetworkError::ServerCertificateUntrusted))
        << text(other.error()->rootError());
    EXPECT_TRUE(impostor.requests().isEmpty());
    EXPECT_TRUE(sandbox.requests().isEmpty());
}

TEST_F(HttpSessionTest, EncodesParametersAsQueryOrJsonBody)
{
    SandboxRoute post;
    post.method = "POST";
    post.path = QStringLiteral("/json");
    post.body = SandboxBody::JsonObject;
    post.requiredHeaders = {"Content-Type", "X-Caller"};
    post.handler = [](const SandboxRequest&) { return SandboxReply::raw(200, "{}"); };
    sandbox.route(post);
    sandbox.reply("GET", QStringLiteral("/query"), SandboxReply::raw(200, "{}"));

    const QVariantMap parameters{{QStringLiteral("device_type"), QStringLiteral("mac")}, {QStringLiteral("count"), 3},
        {QStringLiteral("flag"), true}};
    auto json = HttpRequest::make(HttpMethod::Post, sandbox.url(QStringLiteral("/json")), parameters, ParameterEncoding::Json,
        {{"X-Caller", "test"}});
    ASSERT_TRUE(json);
    EXPECT_TRUE(runRequest(session, *json).succeeded());
    const auto body = sandbox.requests("POST", QStringLiteral("/json")).value(0).jsonBody();
    ASSERT_TRUE(body);
    EXPECT_EQ(body->value(QStringLiteral("count")), QJsonValue(3));
    EXPECT_EQ(body->value(QStringLiteral("flag")), QJsonValue(true));
    EXPECT_EQ(sandbox.requests("POST", QStringLiteral("/json")).value(0).header("Content-Type"), "application/json");

    QUrl withQuery = sandbox.url(QStringLiteral("/query"));
    withQuery.setQuery(QStringLiteral("first=1"));
    auto get = HttpRequest::make(HttpMethod::Get, withQuery,
        QVariantMap{{QStringLiteral("model"), QStringLiteral("Mac14,2 & co")}}, ParameterEncoding::UrlQuery);
    ASSERT_TRUE(get);
    EXPECT_TRUE(runRequest(session, *get).succeeded());
    const SandboxRequest recorded = sandbox.requests("GET", QStringLiteral("/query")).value(0);
    EXPECT_EQ(recorded.queryItem(QStringLiteral("first")), QStringLiteral("1"));
    EXPECT_EQ(recorded.queryItem(QStringLiteral("model")), QStringLiteral("Mac14,2 & co"));
    EXPECT_TRUE(recorded.body.isEmpty());

    EXPECT_FALSE(HttpRequest::make(HttpMethod::Get, QUrl(QStringLiteral("/relative"))));
    EXPECT_FALSE(HttpRequest::make(HttpMethod::Get, withQuery, QVariantMap{{QStringLiteral("list"), QVariantList{1, 2}}}));
}

TEST_F(HttpSessionTest, TheInterceptorAdaptsEveryAttemptAndIsAskedAfterEveryFailure)
{
    int hits = 0;
    sandbox.route("GET", QStringLiteral("/flaky"), [&hits](const SandboxRequest&) {
        return ++hits < 3 ? SandboxReply::raw(500, "no") : SandboxReply::raw(200, "yes");
    });
    auto interceptor = std::make_shared<ScriptedInterceptor>();
    interceptor->onAdapt = [](const HttpRequest& request) {
        HttpRequest adapted = request;
        adapted.headers.set("Authorization", "Bearer abc");
        return std::expected<HttpRequest, Error>(adapted);
    };
    interceptor->onRetry = [](const FailedAttempt&, const Error&) { return RetryResult::retry(); };

    const DataResponse response = runRequest(session, getRequest(sandbox.url(QStringLiteral("/flaky"))), {interceptor});

    ASSERT_TRUE(response.succeeded()) << text(*response.error());
    EXPECT_EQ(*response.result, "yes");
    EXPECT_EQ(response.retryCount, 2);
    EXPECT_EQ(interceptor->adaptCalls, 3);
    ASSERT_EQ(interceptor->retryAttempts.size(), 2);
    EXPECT_EQ(interceptor->retryAttempts[1].retryCount, 1);
    EXPECT_EQ(interceptor->retryAttempts[0].response->statusCode, 500);
    EXPECT_EQ(interceptor->retryAttempts[0].request.headers.value("Authorization"), "Bearer abc");
    for (const SandboxRequest& request : sandbox.requests())
        EXPECT_EQ(request.header("Authorization"), "Bearer abc");
}

TEST_F(HttpSessionTest, RetryIsConsultedForEachKindOfFailure)
{
    sandbox.reply("GET", QStringLiteral("/empty"), SandboxReply::raw(200, ""));
    sandbox.reply("GET", QStringLiteral("/unauthorized"), SandboxReply::raw(401, "{}"));
    const struct {
        const char* name;
        QUrl url;
        int code;
    } cases[] = {
        {"empty success", sandbox.url(QStringLiteral("/empty")), HttpError::ResponseSerializationFailed},
        {"refused status", sandbox.url(QStringLiteral("/unauthorized")), HttpError::ResponseValidationFailed},
        {"no connection", QUrl(QStringLiteral("https://127.0.0.1:%1/").arg(SandboxServer::unusedPort())), HttpError::SessionTaskFailed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto interceptor = std::make_shared<ScriptedInterceptor>();
        const DataResponse response = runRequest(session, getRequest(c.url), {interceptor});
        ASSERT_EQ(interceptor->retryErrors.size(), 1);
        EXPECT_EQ(interceptor->retryErrors[0].code, c.code);
        ASSERT_FALSE(response.succeeded());
        EXPECT_EQ(response.error()->code, c.code);  // "do not retry" keeps the request's own error
    }
}

TEST_F(HttpSessionTest, DoNotRetryWithErrorWrapsTheGivenErrorAboveItsRoot)
{
    auto interceptor = std::make_shared<ScriptedInterceptor>();
    interceptor->answerFromOtherThread = true;
    interceptor->onRetry = [](const FailedAttempt&, const Error& error) { return RetryResult::doNotRetryWithError(error); };
    const QUrl closed(QStringLiteral("https://127.0.0.1:%1/").arg(SandboxServer::unusedPort()));

    const DataResponse response = runRequest(session, getRequest(closed), {interceptor});

    ASSERT_FALSE(response.succeeded());
    const Error& error = *response.error();
    EXPECT_TRUE(error.is(HttpError::domain, HttpError::RequestRetryFailed));
    ASSERT_TRUE(error.underlying);
    EXPECT_TRUE(error.underlying->is(HttpError::domain, HttpError::SessionTaskFailed));
    EXPECT_TRUE(error.rootError().is(NetworkError::domain, NetworkError::CannotConnectToHost));
}

TEST_F(HttpSessionTest, OnlyTheInterceptorsFirstAnswerCounts)
{
    sandbox.reply("GET", QStringLiteral("/ok"), SandboxReply::raw(503, "x"));
    auto interceptor = std::make_shared<ScriptedInterceptor>();
    interceptor->answerTwice = true;  // adapt: success then failure; retry: do-not-retry then retry
    const DataResponse response = runRequest(session, getRequest(sandbox.url(QStringLiteral("/ok"))), {interceptor});
    EXPECT_EQ(sandbox.requests().size(), 1);
    EXPECT_EQ(interceptor->adaptCalls, 1);
    EXPECT_TRUE(response.error()->is(HttpError::domain, HttpError::ResponseValidationFailed));
}

TEST_F(HttpSessionTest, AFailedAdaptationEndsTheRequestUnsent)
{
    auto interceptor = std::make_shared<ScriptedInterceptor>();
    interceptor->onAdapt = [](const HttpRequest&) {
        return std::expected<HttpRequest, Error>(std::unexpected(Error(QStringLiteral("Adapter"), 7)));
    };
    const DataResponse response = runRequest(session, getRequest(sandbox.url(QStringLiteral("/never"))), {interceptor});
    ASSERT_FALSE(response.succeeded());
    EXPECT_TRUE(response.error()->is(HttpError::domain, HttpError::RequestAdaptationFailed));
    EXPECT_TRUE(response.error()->rootError().is(QStringLiteral("Adapter"), 7));
    EXPECT_EQ(interceptor->retryErrors.size(), 1);
    EXPECT_FALSE(response.request);
    EXPECT_TRUE(sandbox.requests().isEmpty());
}

TEST_F(HttpSessionTest, CancelEndsWithMinus999WithoutAskingForRetry)
{
    sandbox.reply("GET", QStringLiteral("/stall"), SandboxReply::stalled());
    auto interceptor = std::make_shared<ScriptedInterceptor>();
    int calls = 0;
    std::optional<DataResponse> response;
    const QString id = session.request(getRequest(sandbox.url(QStringLiteral("/stall"))), {interceptor},
        [&](const DataResponse& r) { ++calls; response = r; });
    ASSERT_TRUE(TestSupport::waitUntil([&] { return !sandbox.requests().isEmpty(); }));
    session.cancel(id);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return calls > 0; }));
    session.cancel(id);
    TestSupport::processEvents(20);
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(response->error()->is(HttpError::domain, HttpError::ExplicitlyCancelled));
    EXPECT_TRUE(response->error()->rootError().is(NetworkError::domain, NetworkError::Cancelled));
    EXPECT_TRUE(interceptor->retryErrors.isEmpty());
}

TEST_F(HttpSessionTest, RequestsFromOtherThreadsCompleteOnTheMainThread)
{
    sandbox.reply("GET", QStringLiteral("/a"), SandboxReply::raw(200, "a"));
    std::atomic_int calls = 0;
    std::atomic_bool allOnMain = true;
    std::thread worker([&] {
        for (int i = 0; i < 3; ++i) {
            session.request(getRequest(sandbox.url(QStringLiteral("/a"))), {}, [&](const DataResponse& response) {
                allOnMain = allOnMain && MainQueue::isMainThread() && response.succeeded();
                ++calls;
            });
        }
    });
    worker.join();
    ASSERT_TRUE(TestSupport::waitUntil([&] { return calls == 3; }));
    EXPECT_TRUE(allOnMain);
}

TEST_F(HttpSessionTest, ASessionThatGoesAwayCompletesItsRequestsOnceAsCancelled)
{
    sandbox.reply("GET", QStringLiteral("/stall"), SandboxReply::stalled());
    int calls = 0;
    std::optional<Error> error;
    {
        HttpSession shortLived(sandboxConfiguration());
        shortLived.request(getRequest(sandbox.url(QStringLiteral("/stall"))), {}, [&](const DataResponse& r) {
            ++calls;
            error = *r.error();
        });
        ASSERT_TRUE(TestSupport::waitUntil([&] { return !sandbox.requests().isEmpty(); }));
    }
    TestSupport::processEvents(50);
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(error->rootError().is(NetworkError::domain, NetworkError::Cancelled));
}

TEST_F(HttpSessionTest, TheInformationDictionaryNamesTheExtraTrustedAuthority)
{
    sandbox.reply("GET", QStringLiteral("/hello"), SandboxReply::raw(200, "hi"));
    const Bundle bundle(QJsonObject{{QStringLiteral("Trusted CA Certificate"), SandboxServer::testCaPath()}});
    HttpSessionConfiguration configuration = HttpSessionConfiguration::fromBundle(bundle);
    EXPECT_EQ(configuration.extraCaCertificatePaths, QStringList{SandboxServer::testCaPath()});
    configuration.timeoutMs = 3000;
    HttpSession configured(configuration);
    EXPECT_TRUE(runRequest(configured, getRequest(sandbox.url(QStringLiteral("/hello")))).succeeded());

    EXPECT_TRUE(HttpSessionConfiguration::fromBundle(Bundle(QJsonObject{})).extraCaCertificatePaths.isEmpty());
}

TEST_F(HttpSessionTest, TheSharedSessionCanBeReplacedAndRestored)
{
    HttpSession& original = HttpSession::shared();
    HttpSession::setShared(&session);
    EXPECT_EQ(&HttpSession::shared(), &session);
    HttpSession::setShared(nullptr);
    EXPECT_EQ(&HttpSession::shared(), &original);
}

TEST_F(HttpSessionTest, ARequestPostedFromAnotherThreadToASessionThatIsGoneStillCompletes)
{
    int calls = 0;
    std::optional<Error> error;
    {
        HttpSession shortLived(sandboxConfiguration());
        std::thread([&] {
            shortLived.request(getRequest(sandbox.url(QStringLiteral("/never"))), {}, [&](const DataResponse& r) {
                ++calls;
                error = *r.error();
            });
        }).join();
    }
    ASSERT_TRUE(TestSupport::waitUntil([&] { return calls > 0; }));
    TestSupport::processEvents(20);
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(error->is(HttpError::domain, HttpError::ExplicitlyCancelled));
    EXPECT_TRUE(sandbox.requests().isEmpty());
}
