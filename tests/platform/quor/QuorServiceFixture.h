#pragma once

#include "QuorEnvironment.h"
#include "QuorManager.h"
#include "QuorManagerDelegate.h"
#include "SandboxServer.h"
#include "VirtualScheduler.h"

#include <QMutex>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

// Records every delegate callback, the thread it came on, and the state and packet handlers.
class DelegateRecorder : public QuorManagerDelegate {
public:
    struct Event {
        QString name;
        std::optional<QuorConnectionDetails> details;
        std::optional<Error> error;
        std::optional<QuorLocation> location;
        bool onMainThread = false;
    };

    void quorManagerDidInitialized() override { add(QStringLiteral("initialized")); }
    void quorManagerDidReceivedConnectedLocation(const std::optional<QuorLocation>& l, const std::optional<Error>& e) override
    {
        add(QStringLiteral("location"), std::nullopt, e, l);
    }
    void quorManagerDidConnect(const std::optional<QuorConnectionDetails>& d) override { add(QStringLiteral("connect"), d); }
    void quorManagerDidConnecting(const std::optional<QuorConnectionDetails>& d) override { add(QStringLiteral("connecting"), d); }
    void quorManagerDidDisconnect(const std::optional<QuorConnectionDetails>& d) override { add(QStringLiteral("disconnect"), d); }
    void quorManagerOnUnableToAccessInternet(const std::optional<QuorConnectionDetails>& d) override
    {
        add(QStringLiteral("unableToBrowse"), d);
    }
    void quorManagerOnRedialing(const std::optional<QuorConnectionDetails>& d, const std::optional<Error>& e) override
    {
        add(QStringLiteral("redialing"), d, e);
    }
    void quorManagerDialErrorReceived(const std::optional<Error>& e, const std::optional<QuorConnectionDetails>& d) override
    {
        add(QStringLiteral("dialError"), d, e);
    }

    void recordState(int state);
    void recordPackets(quint64 in, quint64 out);

    QStringList names() const;
    int count(const QString& name) const;
    std::optional<Event> last(const QString& name) const;
    QList<int> states() const;
    QList<std::pair<quint64, quint64>> packets() const;
    bool anyOnMainThread() const;

private:
    void add(const QString& name, const std::optional<QuorConnectionDetails>& details = std::nullopt,
             const std::optional<Error>& error = std::nullopt, const std::optional<QuorLocation>& location = std::nullopt);

    mutable QMutex mutex_;
    QList<Event> events_;
    QList<int> states_;
    QList<std::pair<quint64, quint64>> packets_;
    bool stateOnMain_ = false;
};

// A running stand-in service with the inventory route, a virtual clock, and managers that
// report to a recorder.
class QuorServiceFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    QuorEnvironment environment() const;
    static QuorConfiguration configuration();
    // A manager signed in as `username`, already initialized, reporting to `recorder`.
    std::unique_ptr<QuorManager> makeManager(const QString& username = QStringLiteral("vpnuser"));
    // Moves the virtual clock in small steps (so timers scheduled by callbacks run too) and
    // lets the worker thread deliver what became due.
    void advance(double seconds);
    bool waitFor(const std::function<bool()>& condition, int timeoutMs = 3000);
    // Waits for the worker to deliver everything posted so far.
    void settle();

    VirtualScheduler scheduler;
    SandboxServer server;
    QTemporaryDir cacheDirectory;
    std::shared_ptr<DelegateRecorder> recorder = std::make_shared<DelegateRecorder>();
};
