#include "ExtensionManager.h"
#include "FirewallManager.h"
#include "InMemoryFirewallManager.h"
#include "MainQueue.h"
#include "QuorError.h"
#include "QuorPacketTunnelProvider.h"
#include "TestSupport.h"
#include "VirtualScheduler.h"

#include <QAtomicInt>
#include <QMutex>
#include <gtest/gtest.h>

namespace {

class ExtensionRecorder : public ExtensionManagerDelegate {
public:
    void requestNeedsUserApproval(const QString& id) override { add(QStringLiteral("approval:") + id); }
    void requestFailed(const QString& id, const Error& error) override { add(QStringLiteral("failed:%1:%2").arg(id).arg(error.code)); }
    void requestCompleted(const QString& id, ExtensionManager::ExtensionManagerResult result) override
    {
        add(QStringLiteral("completed:%1:%2").arg(id).arg(static_cast<int>(result)));
    }
    QStringList events() const
    {
        QMutexLocker lock(&mutex_);
        return events_;
    }
    bool onMain = false;

private:
    void add(const QString& e)
    {
        QMutexLocker lock(&mutex_);
        onMain = onMain || MainQueue::isMainThread();
        events_.append(e);
    }
    mutable QMutex mutex_;
    QStringList events_;
};

TEST(ExtensionManagerTest, ReportsEachOutcomeAfterTheActivationDelay)
{
    struct Case {
        ExtensionManager::Outcome outcome;
        int code;
        const char* expected;
    };
    const Case cases[] = {
        {ExtensionManager::Outcome::Completed, 0, "completed:ext.tunnel:0"},
        {ExtensionManager::Outcome::WillCompleteAfterReboot, 0, "completed:ext.tunnel:1"},
        {ExtensionManager::Outcome::NeedsUserApproval, 0, "approval:ext.tunnel"},
        {ExtensionManager::Outcome::Failed, 0, "failed:ext.tunnel:5402"},
        {ExtensionManager::Outcome::Failed, 4, "failed:ext.tunnel:4"},
    };
    for (const Case& c : cases) {
        VirtualScheduler scheduler;
        ExtensionManager manager(&scheduler, 0.5);
        auto recorder = std::make_shared<ExtensionRecorder>();
        manager.setDelegate(recorder);
        manager.setOutcome(QStringLiteral("ext.tunnel"), c.outcome, c.code);
        manager.activate(QStringLiteral("ext.tunnel"));
        scheduler.advance(0.4);
        TestSupport::processEvents(20);
        EXPECT_TRUE(recorder->events().isEmpty());
        scheduler.advance(0.1);
        ASSERT_TRUE(TestSupport::waitUntil([&] { return !recorder->events().isEmpty(); }));
        EXPECT_EQ(recorder->events(), QStringList{QString::fromLatin1(c.expected)});
        EXPECT_FALSE(recorder->onMain);
        EXPECT_EQ(manager.activationCount(QStringLiteral("ext.tunnel")), 1);
    }
}

TEST(ExtensionManagerTest, ApprovalCompletesAndANamelessRequestFails)
{
    VirtualScheduler scheduler;
    ExtensionManager manager(&scheduler, 0.5);
    auto recorder = std::make_shared<ExtensionRecorder>();
    manager.setDelegate(recorder);
    manager.setOutcome(QStringLiteral("ext.wg"), ExtensionManager::Outcome::NeedsUserApproval);
    manager.activate(QStringLiteral("ext.wg"));
    manager.activate(std::nullopt);
    scheduler.advance(0.5);
    manager.approve(QStringLiteral("ext.wg"));
    ASSERT_TRUE(TestSupport::waitUntil([&] { return recorder->events().size() == 3; }));
    EXPECT_EQ(recorder->events(), (QStringList{"approval:ext.wg", QStringLiteral("failed::%1").arg(QuorError::ExtensionNotFound),
                                               "completed:ext.wg:0"}));
}

TEST(ExtensionManagerTest, OnlyTheNewestDelegateHears)
{
    VirtualScheduler scheduler;
    ExtensionManager manager(&scheduler, 0.1);
    auto older = std::make_shared<ExtensionRecorder>();
    auto newer = std::make_shared<ExtensionRecorder>();
    manager.setDelegate(older);
    manager.setDelegate(newer);
    EXPECT_EQ(manager.delegate(), newer);
    manager.activate(QStringLiteral("ext.tunnel"));
    scheduler.advance(0.1);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return newer->events().size() == 1; }));
    EXPECT_TRUE(older->events().isEmpty());
}

// Waits for a completion that arrives on another thread.
struct BoolAnswer {
    QAtomicInt calls;
    QAtomicInt value;
    QAtomicInt onMain;
    FirewallManager::Completion completion()
    {
        return [this](bool v) {
            value.storeRelease(v ? 1 : 0);
            if (MainQueue::isMainThread())
                onMain.storeRelease(1);
            calls.fetchAndAddOrdered(1);
        };
    }
    bool wait() { return TestSupport::waitUntil([&] { return calls.loadAcquire() == 1; }); }
};

TEST(InMemoryFirewallManagerTest, EnablesOnlyForAValidAddressAndProtocol)
{
    struct Case {
        const char* address;
        const char* protocol;
        bool accepted;
    };
    const Case cases[] = {
        {"198.18.0.9", "UDP", true},
        {"2001:db8::1", "WireGuard", true},
        {"", "UDP", false},
        {"198.18.0.9; pfctl -d", "UDP", false},
        {"not-an-address", "IKEV", false},
        {"198.18.0.9", "OpenVPN - TCP", false},
    };
    for (const Case& c : cases) {
        InMemoryFirewallManager firewall;
        BoolAnswer answer;
        firewall.enableFirewall(QString::fromLatin1(c.address), QString::fromLatin1(c.protocol), answer.completion());
        ASSERT_TRUE(answer.wait()) << c.address;
        EXPECT_EQ(answer.value.loadAcquire() == 1, c.accepted) << c.address << " " << c.protocol;
        EXPECT_EQ(firewall.enabled(), c.accepted) << c.address;
        EXPECT_EQ(answer.onMain.loadAcquire(), 0);
    }
}

TEST(InMemoryFirewallManagerTest, StatusQueriesFollowTheRules)
{
    InMemoryFirewallManager firewall;
    BoolAnswer before, enable, vpn, other, any, disable, after;
    firewall.isAnyFirewallEnabled(before.completion());
    firewall.enableFirewall(QStringLiteral("198.18.0.9"), QStringLiteral("IKEV"), enable.completion());
    firewall.isVPNFirewallEnabled(QStringLiteral("198.18.0.9"), vpn.completion());
    firewall.isVPNFirewallEnabled(QStringLiteral("198.18.0.10"), other.completion());
    firewall.isAnyFirewallEnabled(any.completion());
    firewall.disableFirewall(disable.completion());
    firewall.isAnyFirewallEnabled(after.completion());
    for (BoolAnswer* a : {&before, &enable, &vpn, &other, &any, &disable, &after})
        ASSERT_TRUE(a->wait());
    EXPECT_EQ(before.value.loadAcquire(), 0);
    EXPECT_EQ(vpn.value.loadAcquire(), 1);
    EXPECT_EQ(other.value.loadAcquire(), 0);
    EXPECT_EQ(any.value.loadAcquire(), 1);
    EXPECT_EQ(after.value.loadAcquire(), 0);
    EXPECT_EQ(firewall.calls().first(), QStringLiteral("isAnyFirewallEnabled"));
}

TEST(InMemoryFirewallManagerTest, HelperStateGatesReadinessAndTheKillSwitch)
{
    InMemoryFirewallManager firewall;
    firewall.setHelperInstalled(false);
    BoolAnswer ready, prepare, enable;
    firewall.isHelperReady(ready.completion());
    firewall.prepareKillSwitch(prepare.completion());
    firewall.enableFirewall(QStringLiteral("198.18.0.9"), QStringLiteral("UDP"), enable.completion());
    for (BoolAnswer* a : {&ready, &prepare, &enable})
        ASSERT_TRUE(a->wait());
    EXPECT_EQ(ready.value.loadAcquire(), 0);
    EXPECT_EQ(prepare.value.loadAcquire(), 0);
    EXPECT_EQ(enable.value.loadAcquire(), 0);
    EXPECT_EQ(firewall.isHelperInstalled(), false);
}

TEST(FirewallManagerTest, SharedManagerCanBeReplaced)
{
    const std::shared_ptr<FirewallManager> original = FirewallManager::shared();
    ASSERT_NE(original, nullptr);
    EXPECT_EQ(FirewallManager::shared(), original);
    auto replacement = std::make_shared<InMemoryFirewallManager>();
    FirewallManager::setShared(replacement);
    EXPECT_EQ(FirewallManager::shared(), replacement);
    FirewallManager::setShared(original);
}

TEST(QuorPacketTunnelProviderTest, StartChecksTheOptions)
{
    struct Case {
        std::optional<QVariantMap> options;
        int errorCode;
    };
    const Case cases[] = {
        {std::nullopt, 0},
        {QVariantMap{{"serverAddress", "de-berlin-01.servers.quor.test"}, {"protocol", "UDP"}}, 0},
        {QVariantMap{{"serverAddress", "de-berlin-01.servers.quor.test"}}, 0},
        {QVariantMap{}, QuorError::InvalidTunnelOptions},
        {QVariantMap{{"serverAddress", 7}}, QuorError::InvalidTunnelOptions},
        {QVariantMap{{"serverAddress", "host"}, {"protocol", "SSTP"}}, QuorError::ProtocolNotAvailable},
    };
    for (const Case& c : cases) {
        QuorPacketTunnelProvider provider;
        int calls = 0;
        std::optional<Error> error;
        provider.startTunnel(c.options, [&](const std::optional<Error>& e) { ++calls; error = e; });
        EXPECT_EQ(calls, 1);
        EXPECT_EQ(error ? error->code : 0, c.errorCode);
        EXPECT_EQ(provider.isTunnelRunning(), c.errorCode == 0);
    }
}

TEST(QuorPacketTunnelProviderTest, StopSleepAndMessagesComplete)
{
    QuorPacketTunnelProvider provider;
    provider.startTunnel(QVariantMap{{"serverAddress", "h"}}, {});
    EXPECT_EQ(provider.serverAddress(), QStringLiteral("h"));
    int stops = 0, sleeps = 0, messages = 0;
    provider.stopTunnel(QuorPacketTunnelProvider::StopReason::UserInitiated, [&] { ++stops; });
    provider.sleep([&] { ++sleeps; });
    provider.handleAppMessage("ping", [&](const std::optional<QByteArray>&) { ++messages; });
    provider.handleAppMessage("ping", {});
    provider.wake();
    EXPECT_EQ(stops, 1);
    EXPECT_EQ(sleeps, 1);
    EXPECT_EQ(messages, 1);
    EXPECT_FALSE(provider.isTunnelRunning());
}

}
