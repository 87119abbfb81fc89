#pragma once

#include "AppErrorLookup.h"
#include "ErrorSender.h"
#include "EventTracker.h"
#include "EventTracking.h"
#include "FakeQuorManager.h"
#include "InMemoryFirewallManager.h"
#include "Networking.h"
#include "Notification.h"
#include "Quor.h"
#include "Reachability.h"
#include "StateListener.h"
#include "VirtualScheduler.h"

#include <QMutex>
#include <QObject>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>
#include <memory>

// The troubleshooting-catalogue entry as these tests know it: just the code it was found for.
class AppError {
public:
    explicit AppError(int code) : code(code) {}
    int code;
};

// Answers every lookup with a new entry of the code asked for (-1 for no code).
class FakeAppErrorLookup final : public AppErrorLookup {
public:
    std::shared_ptr<const AppError> lookup(std::optional<int> code) override
    {
        lookups.append(code);
        return std::make_shared<AppError>(code.value_or(-1));
    }
    std::shared_ptr<const AppError> wireGuardKillSwitchError() override { return std::make_shared<AppError>(997); }
    QList<std::optional<int>> lookups;
};

class RecordingTracking final : public EventTracking {
public:
    struct Tracked {
        QString event;
        AnalyticsProperties properties;
    };
    bool useIPAddressForGeoLocation() const override { return false; }
    void setUseIPAddressForGeoLocation(bool) override {}
    void time(const QString& event) override
    {
        QMutexLocker lock(&mutex);
        timed.append(event);
    }
    void track(const QString& event, const AnalyticsProperties& properties) override
    {
        QMutexLocker lock(&mutex);
        tracked.append({event, properties});
    }
    void identify(const QString&, bool, std::function<void()> completion) override
    {
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
    QList<Tracked> named(const QString& event) const;

    mutable QMutex mutex;
    QList<Tracked> tracked;
    QStringList timed;
};

class RecordingErrorHub final : public ErrorSending {
public:
    void setUser(const std::optional<ReportUser>&) override {}
    QString captureError(const Error& error, const ReportScope& scope) override
    {
        QMutexLocker lock(&mutex);
        errors.append({error, scope});
        return QStringLiteral("id");
    }
    QString captureMessage(const QString& message, const ReportScope&) override
    {
        QMutexLocker lock(&mutex);
        messages.append(message);
        return QStringLiteral("id");
    }
    ReportScope getScope() override { return {}; }

    QMutex mutex;
    QList<std::pair<Error, ReportScope>> errors;
    QStringList messages;
};

class ScriptedReachability final : public Reachability {
public:
    Status current = Status::ReachableEthernetOrWiFi;
    Status status() const override { return current; }
    bool startListening(Listener) override { return false; }
    void stopListening() override {}
};

// One posted notification and the thread it reached its observer on.
struct Heard {
    Notification notification;
    bool onMainThread = false;
};

// Fresh stores (user defaults in a temporary folder, an in-memory keyring), a virtual clock as
// the main scheduler, recording analytics and error hubs, an in-memory firewall and catalogue,
// and a signed-in VPN user.
class VpnEngineFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    AppPreferences appPreferences() const;
    PreservedPreferences preserved() const;
    User user() const;
    EventTracker tracker() const;
    ErrorSender sender() const;

    // A wrapper over `manager` with the fixture's services and network client.
    std::shared_ptr<Quor> makeQuor(QuorManagerProtocol* manager);
    // A listener with the fixture's services whose wrappers sit over `manager`.
    std::shared_ptr<StateListener> makeListener(QuorManagerProtocol* manager);

    // Records every post of `name` from now on.
    void listen(const QString& name);
    QList<Heard> heard(const QString& name) const;
    // The connection states posted so far.
    QList<QuorConnectionInfo> states() const;

    // A row for tests.
    static QuorDataFetcherServer::Ptr row(const QString& id, const QString& name, QuorDataFetcherServer::Type type,
                                          const QString& code);
    static AppPreferences::LastConnection record(const QuorDataFetcherServer::Ptr& server,
                                                 QuorSelectedInterface selected = QuorSelectedInterface::List);
    // Connection details as the SDK would hand them.
    static QuorConnectionDetails details();

    QTemporaryDir folder;
    VirtualScheduler clock;
    std::shared_ptr<RecordingTracking> tracking = std::make_shared<RecordingTracking>();
    std::shared_ptr<RecordingErrorHub> hub = std::make_shared<RecordingErrorHub>();
    std::shared_ptr<InMemoryFirewallManager> firewall = std::make_shared<InMemoryFirewallManager>();
    std::shared_ptr<FakeAppErrorLookup> catalogue = std::make_shared<FakeAppErrorLookup>();
    ScriptedReachability* reachability = nullptr;  // owned by networking
    std::shared_ptr<Networking> networking;
    int setUpCount = 0;  // SDK set-ups the listener asked for

private:
    QObject observerOwner_;
    mutable QMutex heardMutex_;
    QList<std::pair<QString, Heard>> heard_;
};
