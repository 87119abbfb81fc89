#include "CommandDispatcher.h"
#include "HelperLog.h"
#include "HelperTestFixture.h"
#include "TestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QMutex>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace HelperTestFixture;

namespace {

// Records what the dispatcher sends to the calling client and what it replies.
struct Recorder {
    QMutex mutex;
    QStringList logs;
    QList<QJsonValue> replies;
    std::shared_ptr<ClientChannel> channel = std::make_shared<ClientChannel>([this](const QJsonObject& message) {
        QMutexLocker lock(&mutex);
        logs.append(message.value("log").toString());
    });
    CommandDispatcher::Reply reply()
    {
        return [this](const QJsonValue& value) {
            QMutexLocker lock(&mutex);
            replies.append(value);
        };
    }
    QStringList logsNow()
    {
        QMutexLocker lock(&mutex);
        return logs;
    }
    QList<QJsonValue> repliesNow()
    {
        QMutexLocker lock(&mutex);
        return replies;
    }
};

class CommandDispatcherTests : public ::testing::Test {
protected:
    QTemporaryDir tools;
    QStringList stdoutLines;
    QMutex stdoutMutex;
    std::unique_ptr<CommandDispatcher> dispatcher;

    void SetUp() override
    {
        HelperLog::setSink([this](const QString& line) {
            QMutexLocker lock(&stdoutMutex);
            stdoutLines.append(line);
        });
        PacketFilter::Config config;
        config.nft = { writeFakeTool(tools.path(), "nft") };
        config.systemctl = { writeFakeTool(tools.path(), "systemctl") };
        config.rulesFolder = tools.path();
        dispatcher = std::make_unique<CommandDispatcher>(config);
    }
    void TearDown() override
    {
        dispatcher.reset();
        HelperLog::setSink(nullptr);
    }

    // Dispatches and waits for the one reply; nullopt when none came.
    std::optional<QJsonValue> call(Recorder& recorder, const QJsonValue& arguments, int waitMs = 5000)
    {
        dispatcher->dispatch(arguments, recorder.channel, recorder.reply());
        TestSupport::waitUntil([&] { return !recorder.repliesNow().isEmpty(); }, waitMs);
        const auto replies = recorder.repliesNow();
        EXPECT_LE(replies.size(), 1);
        return replies.isEmpty() ? std::nullopt : std::optional<QJsonValue>(replies.first());
    }
};

QJsonArray command(const QStringList& strings)
{
    return QJsonArray::fromStringList(strings);
}

}

TEST_F(CommandDispatcherTests, getVersionRepliesWithTheVersionText)
{
    Recorder recorder;
    EXPECT_EQ(call(recorder, command({ "getVersion" })), QJsonValue("1.0.0"));
    EXPECT_EQ(recorder.logsNow(), QStringList({ "connectWithPaths - - - getVersion",
                                      "connectWithPaths - - - CFBundleShortVersionString " }));
    EXPECT_TRUE(toolCalls(tools.path()).isEmpty());
}

TEST_F(CommandDispatcherTests, unknownCommandsAndUnreadableArgumentsGetNoReply)
{
    const QJsonValue cases[] = {
        command({ "GetVersion" }), command({ "getversion" }), command({ "enablefirewall", "x" }), command({ "rm" }),
        QJsonArray(), QJsonArray { 1, 2 }, QJsonArray { "getVersion", 3 }, QJsonValue("getVersion"), QJsonValue(),
    };
    for (const QJsonValue& arguments : cases) {
        Recorder recorder;
        EXPECT_FALSE(call(recorder, arguments, 100).has_value()) << QJsonDocument(QJsonArray { arguments }).toJson().toStdString();
    }
    EXPECT_TRUE(toolCalls(tools.path()).isEmpty());
}

TEST_F(CommandDispatcherTests, closedClientGetsMinusOneAndNothingRuns)
{
    for (const QString name : { "getVersion", "enableFirewall", "isAnyFirewallEnabled", "isVPNFirewallEnabled" }) {
        Recorder recorder;
        recorder.channel->markClosed();
        EXPECT_EQ(call(recorder, command({ name, "10.0.0.1" })), QJsonValue(-1)) << name.toStdString();
        EXPECT_TRUE(recorder.logsNow().isEmpty());
    }
    EXPECT_TRUE(toolCalls(tools.path()).isEmpty());
}

TEST_F(CommandDispatcherTests, enableWritesTheRulesAndLoadsThemInOneTransaction)
{
    Recorder recorder;
    const QString rules = "chain output {\n type filter hook output priority 0; policy drop;\n}";
    EXPECT_EQ(call(recorder, command({ "enableFirewall", rules })), QJsonValue(0));
    EXPECT_EQ(recorder.logsNow(), QStringList({ "connectWithPaths - - - enableFirewall", "enableFirewall",
                                      "- - - writeFirewallRules - - - " }));
    EXPECT_EQ(readFile(dispatcher->packetFilter().rulesFile()), rules.toUtf8());
    const auto calls = toolCalls(tools.path());
    ASSERT_EQ(calls.size(), 1);
    EXPECT_EQ(calls[0].arguments, QStringList({ "-f", "-" }));
    EXPECT_EQ(calls[0].input, PacketFilter::loadTransaction(rules));
}

TEST_F(CommandDispatcherTests, rejectedRulesReplyWithTheToolStatus)
{
    writeFile(tools.filePath("status"), "1");
    Recorder recorder;
    EXPECT_EQ(call(recorder, command({ "enableFirewall", "nonsense" })), QJsonValue(1));
}

TEST_F(CommandDispatcherTests, unwritableRulesFileRepliesMinusOneWithoutLoading)
{
    PacketFilter::Config config = dispatcher->packetFilter().config();
    config.rulesFolder = tools.filePath("missing");
    dispatcher = std::make_unique<CommandDispatcher>(config);
    Recorder recorder;
    EXPECT_EQ(call(recorder, command({ "enableFirewall", "x" })), QJsonValue(-1));
    EXPECT_TRUE(toolCalls(tools.path()).isEmpty());
}

TEST_F(CommandDispatcherTests, enableWithoutRulesRepliesMinusOne)
{
    Recorder recorder;
    EXPECT_EQ(call(recorder, command({ "enableFirewall" })), QJsonValue(-1));
    EXPECT_TRUE(toolCalls(tools.path()).isEmpty());
}

TEST_F(CommandDispatcherTests, disableRemovesTheTableAndKeepsTheRulesFile)
{
    Recorder first;
    ASSERT_EQ(call(first, command({ "enableFirewall", "x" })), QJsonValue(0));
    Recorder recorder;
    EXPECT_EQ(call(recorder, command({ "disableFirewall" })), QJsonValue(0));
    EXPECT_EQ(recorder.logsNow(), QStringList({ "connectWithPaths - - - disableFirewall" }));
    const auto calls = toolCalls(tools.path());
    ASSERT_EQ(calls.size(), 2);
    EXPECT_EQ(calls[1].arguments, QStringList({ "-f", "-" }));
    EXPECT_EQ(calls[1].input, PacketFilter::removeTransaction());
    EXPECT_TRUE(QFile::exists(dispatcher->packetFilter().rulesFile()));
}

TEST_F(CommandDispatcherTests, isAnyFirewallEnabledReportsTheListingStatus)
{
    writeFile(tools.filePath("output"), "table inet veltamorine_killswitch {\n}\n");
    Recorder recorder;
    EXPECT_EQ(call(recorder, command({ "isAnyFirewallEnabled" })), QJsonValue(0));
    EXPECT_EQ(recorder.logsNow(), QStringList({ "connectWithPaths - - - isAnyFirewallEnabled", "anyFirewallEnabled",
                                      "table inet veltamorine_killswitch {\n}\n", "Any enabled result: 0\n" }));
    ASSERT_EQ(toolCalls(tools.path()).size(), 1);
    EXPECT_EQ(toolCalls(tools.path())[0].arguments, QStringList({ "list", "table", "inet", "veltamorine_killswitch" }));

    QFile::remove(tools.filePath("output"));
    writeFile(tools.filePath("status"), "1");
    Recorder absent;
    EXPECT_EQ(call(absent, command({ "isAnyFirewallEnabled" })), QJsonValue(1));
    EXPECT_EQ(absent.logsNow().last(), "Any enabled result: 1\n");
}

TEST_F(CommandDispatcherTests, isVPNFirewallEnabledLooksForTheWholeAddress)
{
    const QByteArray listing = "table inet veltamorine_killswitch {\n\tchain output {\n\t\tip daddr 10.0.0.10 accept\n\t}\n}\n";
    writeFile(tools.filePath("output"), listing);
    struct Case {
        QString address;
        int reply;
    };
    const Case cases[] = { { "10.0.0.10", 0 }, { "10.0.0.1", 1 }, { "0.0.0.1", 1 } };
    for (const Case& c : cases) {
        Recorder recorder;
        EXPECT_EQ(call(recorder, command({ "isVPNFirewallEnabled", c.address })), QJsonValue(c.reply)) << c.address.toStdString();
        QStringList expected { "connectWithPaths - - - isVPNFirewallEnabled", "firewallEnabled", QString::fromUtf8(listing) };
        if (c.reply != 0)
            expected.append("Enabled result: 0\n" + QString::fromUtf8(listing) + "Address present result: 1");
        EXPECT_EQ(recorder.logsNow(), expected);
    }
}

TEST_F(CommandDispatcherTests, isVPNFirewallEnabledWithoutTheTableRepliesTheListingStatus)
{
    writeFile(tools.filePath("status"), "1");
    Recorder recorder;
    EXPECT_EQ(call(recorder, command({ "isVPNFirewallEnabled", "10.0.0.1" })), QJsonValue(1));
    EXPECT_EQ(recorder.logsNow().last(), "Enabled result: 1\n");
}

TEST_F(CommandDispatcherTests, invalidAddressesNeverReachATool)
{
    writeFile(tools.filePath("output"), "ip daddr 10.0.0.1 accept -e 10a0b0c1\n");
    for (const QString address : { "-e", "10.0.0.*", "10.0.0.", "10a0b0c1", "" }) {
        Recorder recorder;
        EXPECT_EQ(call(recorder, command({ "isVPNFirewallEnabled", address })), QJsonValue(CommandDispatcher::invalidArgumentStatus))
            << address.toStdString();
        EXPECT_EQ(recorder.logsNow().last(), "Invalid address");
    }
    Recorder missing;
    EXPECT_EQ(call(missing, command({ "isVPNFirewallEnabled" })), QJsonValue(CommandDispatcher::invalidArgumentStatus));
    EXPECT_TRUE(toolCalls(tools.path()).isEmpty());
}

TEST_F(CommandDispatcherTests, megabyteListingIsForwardedWholeAndSearchedToTheEnd)
{
    QByteArray listing;
    while (listing.size() < 1024 * 1024)
        listing += "\t\tip daddr 192.168.1.1 drop # padding padding padding\n";
    listing += "\t\tip daddr 10.9.8.7 accept\n";
    writeFile(tools.filePath("output"), listing);
    Recorder recorder;
    EXPECT_EQ(call(recorder, command({ "isVPNFirewallEnabled", "10.9.8.7" }), 15000), QJsonValue(0));
    const QStringList logs = recorder.logsNow();
    ASSERT_GE(logs.size(), 3);
    EXPECT_EQ(logs.mid(2).join(QString()).toUtf8(), listing);

    Recorder any;
    EXPECT_EQ(call(any, command({ "isAnyFirewallEnabled" }), 15000), QJsonValue(0));
    EXPECT_EQ(any.logsNow().mid(2, any.logsNow().size() - 3).join(QString()).toUtf8(), listing);
}

TEST_F(CommandDispatcherTests, unloadStopsTheUnitsWithoutWaitingForThem)
{
    Recorder recorder;
    EXPECT_EQ(call(recorder, command({ "unloadAndInstallHelper" })), QJsonValue(0));
    const auto calls = toolCalls(tools.path());
    ASSERT_EQ(calls.size(), 1);
    EXPECT_EQ(calls[0].arguments, QStringList({ "--no-block", "stop", "veltamorine.mac.apple.helpertool.socket",
                                      "veltamorine.mac.apple.helpertool.service" }));
}
