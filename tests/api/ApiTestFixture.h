#pragma once

#include "AppManager.h"
#include "Bundle.h"
#include "FakeReachability.h"
#include "GatewayRoutes.h"
#include "HttpSession.h"
#include "MainQueue.h"
#include "Networking.h"
#include "SandboxAssertions.h"
#include "TestSupport.h"
#include "UserDefaults.h"

#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// A small reply model for the engine's tests: {"name": text}.
struct NamedModel {
    QString name;
    static std::optional<NamedModel> fromJson(const QJsonObject& object);
    QJsonObject toJson() const { return QJsonObject{{QStringLiteral("name"), name}}; }
    static QStringList codingKeys() { return {QStringLiteral("name")}; }
};

struct SentReport {
    Error error;
    std::optional<QVariantMap> extras;
};

struct TrackedEvent {
    EventTrackerEvent event;
    QVariantMap properties;
};

// A backend client pointed at a fresh stand-in over TLS, with fresh user defaults, an empty
// token store and recorders in place of error reporting and analytics.
class ApiTest : public ::testing::Test {
protected:
    ApiTest();
    ~ApiTest() override;

    template <ResponseModel T>
    std::expected<T, Error> run(HttpMethod method, Endpoint endpoint, const std::optional<QVariantMap>& parameters = std::nullopt,
                                int waitMs = 8000)
    {
        int calls = 0;
        bool onMainThread = false;
        std::optional<std::expected<T, Error>> out;
        auto completion = [&](std::expected<T, Error> result) {
            ++calls;
            onMainThread = MainQueue::isMainThread();
            out = std::move(result);
        };
        if (method == HttpMethod::Post)
            networking->postRequest<T>(endpoint, parameters, std::nullopt, completion);
        else
            networking->getRequest<T>(endpoint, parameters, std::nullopt, completion);
        EXPECT_TRUE(TestSupport::waitUntil([&] { return calls > 0; }, waitMs)) << "no completion";
        TestSupport::processEvents(30);
        EXPECT_EQ(calls, 1);
        EXPECT_TRUE(onMainThread);
        return out.value_or(std::unexpected(Error(QStringLiteral("test"), 0, QStringLiteral("no completion"))));
    }

    // Serves `reply` on the gateway path of `endpoint` (with its product prefix).
    void serveGateway(const QByteArray& method, const QString& path, const SandboxReply& reply);
    // The one request the stand-in recorded on `path`.
    SandboxRequest onlyRequest(const QByteArray& method, const QString& path) const;

    // Stores a token set created `secondsAgo` before now with a refresh-token lifetime.
    void storeTokens(const QString& access, const QString& refresh, qint64 refreshLifetime, qint64 secondsAgo = 0);

    QTemporaryDir defaultsFolder;
    ScopedSandbox sandbox;
    Bundle bundle;
    HttpSession session;
    std::shared_ptr<Networking> networking;
    QList<SentReport> reports;
    QList<TrackedEvent> events;
};

// Every line written through Qt's logging (all "veltamorine.*" categories on) while it lives.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    QStringList lines() const;
};

// The AES-GCM form in which the gateway sends a token set (the build's key and IV).
QString encryptTokenSet(const QJsonObject& tokenSet);
