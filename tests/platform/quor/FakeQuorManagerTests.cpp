#include "FakeQuorManager.h"

#include <gtest/gtest.h>

namespace {

TEST(FakeQuorManagerTest, HeldConnectIsAnsweredOnceThroughOneBlock)
{
    FakeQuorManager fake;
    int completions = 0, errors = 0;
    fake.connect(QuorProperties::initWithProtocol(QuorProtocol("IPSEC"), {0, 7}),
                 [&](const auto&) { ++completions; }, [&](const auto&) { ++errors; });
    ASSERT_EQ(fake.connects.size(), 1);
    EXPECT_EQ(fake.connects.first().properties.tags, (QList<int>{0, 7}));
    EXPECT_EQ(completions + errors, 0);
    EXPECT_TRUE(fake.failConnect(0, Error(QStringLiteral("QuorSDKErrorDomain"), 5104)));
    EXPECT_FALSE(fake.answerConnect(0, QStringLiteral("late")));
    EXPECT_FALSE(fake.failConnect(0, std::nullopt));
    EXPECT_EQ(errors, 1);
    EXPECT_EQ(completions, 0);
}

TEST(FakeQuorManagerTest, ScriptedRepliesAndRecordedCalls)
{
    FakeQuorManager fake;
    fake.connectReply = FakeQuorManager::Reply::Succeed;
    fake.connectCompletionText = QStringLiteral("session-1");
    std::optional<QString> text;
    fake.connect(QuorProperties(), [&](const auto& t) { text = t; }, [](const auto&) { ADD_FAILURE(); });
    EXPECT_EQ(text, QStringLiteral("session-1"));

    fake.setDoCheckInternetConnectivity(true);
    fake.setDoCheckInternetConnectivity(false);
    fake.setQuorCredential(QuorCredential(QStringLiteral("u"), QStringLiteral("p")));
    fake.disconnectVPN();
    fake.cancelVPN();
    fake.reconnectVPN();
    EXPECT_EQ(fake.connectivityChecks, (QList<bool>{true, false}));
    EXPECT_EQ(fake.credential()->username, QStringLiteral("u"));
    EXPECT_EQ(fake.disconnectCount + fake.cancelCount + fake.reconnectCount, 3);

    fake.queryReply = FakeQuorManager::Reply::Hold;
    fake.getCountries([](const auto&) {}, [](const auto&) {});
    fake.getRecommendedLocation([](const auto&) {}, [](const auto&) {});
    EXPECT_EQ(fake.heldCountries.size(), 1);
    EXPECT_EQ(fake.heldRecommended.size(), 1);

    fake.queryReply = FakeQuorManager::Reply::Fail;
    int code = 0;
    fake.getConnectedLocation([](const auto&) { ADD_FAILURE(); }, [&](const auto& e) { code = e->code; });
    EXPECT_EQ(code, 5200);
}

}
