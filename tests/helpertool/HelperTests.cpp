#include "Helper.h"
#include "HelperClient.h"
#include "HelperLog.h"
#include "HelperTestFixture.h"
#include "SocketActivation.h"
#include "TestSupport.h"
#include "VirtualScheduler.h"

#include <QMutex>
#include <QTemporaryDir>
#include <future>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace HelperTestFixture;

namespace {

// The daemon in this process; the test program is signed like the daemon, so its own
// connections are accepted. Clients block, so they run on worker threads while the main
// thread turns the daemon's event loop.
class HelperTests : public ::testing::Test {
protected:
    QTemporaryDir dir;
    VirtualScheduler scheduler;
    std::unique_ptr<Helper> helper;
    QMutex stdoutMutex;
    QStringList stdoutLines;

    QString socketPath() { return dir.filePath("helper.sock"); }

    void SetUp() override
    {
        HelperLog::setSink([this](const QString& line) {
            QMutexLocker lock(&stdoutMutex);
            stdoutLines.append(line);
        });
    }
    void TearDown() override
    {
        helper.reset();
        HelperLog::setSink(nullptr);
    }

    void start(QByteArray root = trustedRootPem())
    {
        const auto fd = SocketActivation::listenOn(socketPath());
        ASSERT_TRUE(fd.has_value()) << fd.error().toStdString();
        Helper::Options options;
        options.trustedRootPem = root;
        options.packetFilter.nft = { writeFakeTool(dir.path(), "nft") };
        options.packetFilter.rulesFolder = dir.path();
        helper = std::make_unique<Helper>(*fd, options, scheduler);
        helper->run();
    }

    template <typename F>
    auto onWorker(F work)
    {
        auto future = std::async(std::launch::async, std::move(work));
        EXPECT_TRUE(TestSupport::waitUntil(
            [&] { return future.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, 10000));
        return future.get();
    }

    bool stdoutHas(const QString& line)
    {
        QMutexLocker lock(&stdoutMutex);
        return stdoutLines.contains(line);
    }
};

struct CallResult {
    std::expected<QJsonValue, Error> reply;
    QStringList logs;
};

CallResult call(HelperClient& client, const QStringList& arguments, int timeoutMs = 5000)
{
    CallResult result { std::unexpected(Error()), {} };
    result.reply = client.send(arguments, timeoutMs, [&](const QString& text) { result.logs.append(text); });
    return result;
}

}

TEST_F(HelperTests, signedClientGetsTheVersion)
{
    start();
    const CallResult result = onWorker([this] {
        HelperClient client(socketPath());
        EXPECT_TRUE(client.connect().has_value());
        return call(client, { "getVersion" });
    });
    ASSERT_TRUE(result.reply.has_value()) << result.reply.error().message.toStdString();
    EXPECT_EQ(*result.reply, QJsonValue("1.0.0"));
    EXPECT_EQ(result.logs, QStringList({ "connectWithPaths - - - getVersion", "connectWithPaths - - - CFBundleShortVersionString " }));
    EXPECT_TRUE(stdoutHas("@Helper self.isValid(connection YES"));
}

TEST_F(HelperTests, unknownCommandGetsNoReplyAndTheConnectionStaysUsable)
{
    start();
    const auto [unknown, version] = onWorker([this] {
        HelperClient client(socketPath());
        EXPECT_TRUE(client.connect().has_value());
        auto first = client.send({ "GetVersion" }, 300);
        auto second = client.send({ "getVersion" }, 5000);
        return std::pair(first, second);
    });
    ASSERT_FALSE(unknown.has_value());
    EXPECT_EQ(unknown.error().code, HelperClient::noReply);
    EXPECT_EQ(version.value_or(QJsonValue()), QJsonValue("1.0.0"));
}

TEST_F(HelperTests, badFramesCloseOnlyTheirOwnConnection)
{
    start();
    struct Case {
        const char* name;
        QByteArray bytes;
        bool unreadable;
    };
    const Case cases[] = {
        { "oversized", QByteArray::fromHex("00100001") + QByteArray(64, 'x'), false },
        { "largest length", QByteArray::fromHex("ffffffff"), false },
        { "not JSON", HelperFrame::encode(QByteArray("\x01\x02not json")), true },
        { "JSON but no object", HelperFrame::encode(QByteArray("[\"getVersion\"]")), true },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        {
            QMutexLocker lock(&stdoutMutex);
            stdoutLines.clear();
        }
        const auto [bad, good] = onWorker([&] {
            HelperClient steady(socketPath());
            HelperClient offender(socketPath());
            EXPECT_TRUE(steady.connect().has_value());
            EXPECT_TRUE(offender.connect().has_value());
            offender.sendRaw(c.bytes);
            auto badReply = offender.send({ "getVersion" }, 3000);
            auto goodReply = steady.send({ "getVersion" }, 3000);
            return std::pair(badReply, goodReply);
        });
        ASSERT_FALSE(bad.has_value());
        EXPECT_EQ(bad.error().code, HelperClient::connectionClosed);
        EXPECT_EQ(good.value_or(QJsonValue()), QJsonValue("1.0.0"));
        EXPECT_EQ(stdoutHas("Couldn't read file."), c.unreadable);
    }
}

TEST_F(HelperTests, textsOfACallGoToTheCallingConnectionOnly)
{
    start();
    const auto [first, second] = onWorker([this] {
        HelperClient older(socketPath());
        HelperClient newer(socketPath());
        EXPECT_TRUE(older.connect().has_value());
        EXPECT_TRUE(newer.connect().has_value());
        // Make sure the daemon holds both before the older one calls.
        EXPECT_TRUE(newer.send({ "getVersion" }, 3000).has_value());
        CallResult a = call(older, { "isAnyFirewallEnabled" });
        CallResult b = call(newer, { "getVersion" });
        return std::pair(a, b);
    });
    EXPECT_EQ(first.reply.value_or(QJsonValue()), QJsonValue(0));
    EXPECT_EQ(first.logs.first(), "connectWithPaths - - - isAnyFirewallEnabled");
    EXPECT_EQ(first.logs.last(), "Any enabled result: 0\n");
    EXPECT_EQ(second.logs, QStringList({ "connectWithPaths - - - getVersion", "connectWithPaths - - - CFBundleShortVersionString " }));
}

TEST_F(HelperTests, quitsOneIntervalAfterTheLastClientLeaves)
{
    start();
    struct {
        int n = 0;
        int count() const { return n; }
    } quit;
    QObject::connect(helper.get(), &Helper::quit, [&quit] { ++quit.n; });
    EXPECT_EQ(scheduler.pendingCount(), 0) << "a daemon without clients keeps running";

    HelperClient first(socketPath());
    HelperClient second(socketPath());
    ASSERT_TRUE(onWorker([&] { return first.connect().has_value() && second.connect().has_value(); }));
    ASSERT_TRUE(TestSupport::waitUntil([&] { return helper->connectionCount() == 2; }));

    first.close();
    ASSERT_TRUE(TestSupport::waitUntil([&] { return helper->connectionCount() == 1; }));
    scheduler.advance(5);
    EXPECT_EQ(quit.count(), 0) << "one client is still there";

    second.close();
    ASSERT_TRUE(TestSupport::waitUntil([&] { return helper->connectionCount() == 0; }));
    scheduler.advance(0.9);
    EXPECT_FALSE(helper->shouldQuit());

    // A client arriving within the period keeps the daemon.
    HelperClient late(socketPath());
    ASSERT_TRUE(onWorker([&] { return late.connect().has_value(); }));
    ASSERT_TRUE(TestSupport::waitUntil([&] { return helper->connectionCount() == 1; }));
    scheduler.advance(5);
    EXPECT_EQ(quit.count(), 0);

    late.close();
    ASSERT_TRUE(TestSupport::waitUntil([&] { return helper->connectionCount() == 0; }));
    scheduler.advance(0.99);
    EXPECT_EQ(quit.count(), 0);
    scheduler.advance(0.01);
    EXPECT_EQ(quit.count(), 1);
    EXPECT_TRUE(helper->shouldQuit());
}

TEST_F(HelperTests, refusedClientIsClosedAndNeverCounted)
{
    QTemporaryDir other;
    ASSERT_TRUE(makeCertificate(other.path(), "otherRoot", "", true));
    start(readFile(other.filePath("otherRoot.pem")));  // our own chain does not lead there
    const auto reply = onWorker([this] {
        HelperClient client(socketPath());
        EXPECT_TRUE(client.connect().has_value());
        return client.send({ "getVersion" }, 3000);
    });
    ASSERT_FALSE(reply.has_value());
    EXPECT_EQ(reply.error().code, HelperClient::connectionClosed);
    EXPECT_EQ(helper->connectionCount(), 0);
    EXPECT_EQ(scheduler.pendingCount(), 0);
    EXPECT_TRUE(stdoutHas("@Helper self.isValid(connection false"));
    EXPECT_TRUE(stdoutHas("Code signing check failed with error"));
}

TEST_F(HelperTests, peerWhosePidNamesAnotherProcessIsRefused)
{
    start();
    const PeerProcess self { ::getpid(), ::getuid(), PeerProcess::startTimeOf(::getpid()).value() };
    EXPECT_EQ(helper->validate(self).value_or(false), true);
    PeerProcess reused = self;
    reused.startTime += 1;
    const auto result = helper->validate(reused);
    ASSERT_FALSE(result.has_value());
    EXPECT_EQ(result.error().message, "Client process changed during the check");
    EXPECT_FALSE(helper->isValid(reused));
}
