#pragma once

#include "AppManager.h"
#include "Bundle.h"
#include "ErrorSending.h"
#include "EventTracking.h"
#include "FakeQuorManager.h"
#include "FakeReachability.h"
#include "HttpSession.h"
#include "IdentityRoutes.h"
#include "Networking.h"
#include "NotificationCenter.h"
#include "SandboxAssertions.h"
#include "TestSupport.h"
#include "UserAuthentication.h"
#include "UserDefaults.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

class RecordingTracking final : public EventTracking {
public:
    struct Tracked {
        QString event;
        AnalyticsProperties properties;
    };
    QList<Tracked> tracked;
    QList<QString> identified;

    bool useIPAddressForGeoLocation() const override { return false; }
    void setUseIPAddressForGeoLocation(bool) override {}
    void time(const QString&) override {}
    void track(const QString& event, const AnalyticsProperties& properties) override { tracked.append({event, properties}); }
    void identify(const QString& distinctId, bool, std::function<void()> completion) override
    {
        identified.append(distinctId);
        if (completion)
            completion();
    }
    void registerSuperProperties(const AnalyticsProperties&) override {}
    void clearSuperProperties() override {}
    void reset(std::function<void()> completion) override
    {
        if (completion)
            completion();
    }
    QStringList events() const;
};

class RecordingHub final : public ErrorSending {
public:
    QList<std::optional<ReportUser>> users;
    QList<Error> errors;
    void setUser(const std::optional<ReportUser>& user) override { users.append(user); }
    QString captureError(const Error& error, const ReportScope&) override
    {
        errors.append(error);
        return QStringLiteral("id");
    }
    QString captureMessage(const QString&, const ReportScope&) override { return QStringLiteral("id"); }
    ReportScope getScope() override { return {}; }
};

// Records the names (and objects) of notifications posted while it lives.
class PostedNotifications {
public:
    explicit PostedNotifications(const QStringList& names);
    ~PostedNotifications();
    QStringList names;
    QList<QVariant> objects;

private:
    QObject owner;
};

// A sign-in against a fresh stand-in over TLS: the identity routes, fresh user defaults, a
// keyring item name of this run's own, an empty token store, recorders in place of analytics
// and error reporting, and a scriptable SDK manager.
class AccountTest : public ::testing::Test {
protected:
    AccountTest();
    ~AccountTest() override;

    static QJsonObject profileJson(const QString& vpnUsername, const QString& status, std::optional<qint64> clientId);
    static QJsonObject tokenSet();
    static IdentityRoutes::Keys buildKeys();

    std::shared_ptr<UserAuthentication> makeAuthentication();
    // A code the stand-in accepts once.
    QString issueCode();
    // Runs handleRedirectURL and waits for its one completion.
    UserAuthentication::AuthenticationCase signIn(const std::optional<QUrl>& callback);
    UserAuthentication::PasswordResult fetchPassword(const QString& username);

    QTemporaryDir folder;
    ScopedSandbox sandbox;
    std::unique_ptr<Bundle> bundle;
    HttpSession session;
    std::shared_ptr<Networking> networking;
    std::shared_ptr<IdentityRoutes::State> identity;
    std::shared_ptr<RecordingTracking> tracking = std::make_shared<RecordingTracking>();
    std::shared_ptr<RecordingHub> hub = std::make_shared<RecordingHub>();
    FakeQuorManager quorManager;
    std::shared_ptr<UserAuthentication> authentication;
};
