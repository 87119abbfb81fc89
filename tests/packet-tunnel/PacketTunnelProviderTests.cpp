#include "PacketTunnelProvider.h"
#include "QuorError.h"

#include <gtest/gtest.h>

namespace {

using Options = std::optional<QVariantMap>;

struct StartOutcome {
    int calls = 0;
    std::optional<Error> error;
};

StartOutcome start(QuorPacketTunnelProvider& provider, const Options& options)
{
    StartOutcome outcome;
    provider.startTunnel(options, [&](const std::optional<Error>& error) {
        ++outcome.calls;
        outcome.error = error;
    });
    return outcome;
}

}

TEST(PacketTunnelProviderTests, startForwardsToTheSdkProviderAndHandsItsErrorOnUnchanged)
{
    const Options cases[] = {
        QVariantMap { { "serverAddress", "198.51.100.7" }, { "protocol", "UDP" } },
        std::nullopt,
        QVariantMap {},
        QVariantMap { { "serverAddress", 7 } },
        QVariantMap { { "serverAddress", "198.51.100.7" }, { "protocol", "carrier pigeon" } },
    };
    for (const Options& options : cases) {
        PacketTunnelProvider provider;
        QuorPacketTunnelProvider base;
        const StartOutcome ours = start(provider, options);
        const StartOutcome sdk = start(base, options);
        ASSERT_EQ(ours.calls, 1);
        ASSERT_EQ(ours.error.has_value(), sdk.error.has_value());
        if (ours.error) {
            EXPECT_EQ(ours.error->domain, sdk.error->domain);
            EXPECT_EQ(ours.error->code, sdk.error->code);
            EXPECT_EQ(ours.error->domain, QuorError::domain);
        }
        EXPECT_EQ(provider.isTunnelRunning(), base.isTunnelRunning());
        EXPECT_EQ(provider.serverAddress(), base.serverAddress());
    }
}

TEST(PacketTunnelProviderTests, stopCompletesAtOnceForEveryReasonWithoutTheSdk)
{
    PacketTunnelProvider provider;
    ASSERT_FALSE(start(provider, QVariantMap { { "serverAddress", "198.51.100.7" } }).error.has_value());
    for (int reason = 0; reason <= 16; ++reason) {
        int completions = 0;
        provider.stopTunnel(QuorPacketTunnelProvider::StopReason(reason), [&] { ++completions; });
        EXPECT_EQ(completions, 1) << "reason " << reason;
    }
    EXPECT_TRUE(provider.isTunnelRunning()) << "the SDK provider is not asked to stop";
    provider.stopTunnel(QuorPacketTunnelProvider::StopReason::UserInitiated, nullptr);
}

TEST(PacketTunnelProviderTests, appMessageComesBackByteForByte)
{
    PacketTunnelProvider provider;
    const QByteArray messages[] = { QByteArray(), QByteArray("status"), QByteArray("\x00\xff\x01 binary\n", 11),
        QByteArray(70000, '\x7f') };
    for (const QByteArray& message : messages) {
        int completions = 0;
        std::optional<QByteArray> answer;
        provider.handleAppMessage(message, [&](const std::optional<QByteArray>& data) {
            ++completions;
            answer = data;
        });
        EXPECT_EQ(completions, 1);
        ASSERT_TRUE(answer.has_value());
        EXPECT_EQ(*answer, message);
    }
    provider.handleAppMessage("no handler", nullptr);
}

TEST(PacketTunnelProviderTests, sleepCompletesAtOnceAndWakeDoesNothing)
{
    PacketTunnelProvider provider;
    ASSERT_FALSE(start(provider, QVariantMap { { "serverAddress", "198.51.100.7" } }).error.has_value());
    int completions = 0;
    provider.sleep([&] { ++completions; });
    EXPECT_EQ(completions, 1);
    provider.sleep(nullptr);
    provider.wake();
    EXPECT_TRUE(provider.isTunnelRunning());
    EXPECT_EQ(provider.serverAddress(), "198.51.100.7");
}
