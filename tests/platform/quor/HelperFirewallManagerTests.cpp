#include "HelperFirewallManager.h"
#include "MainQueue.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QMutex>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// The helper daemon as systemd would run it, on a socket of its own, with a stand-in for nft
// that records its calls and answers with the status and listing the test writes.
class HelperFirewallManagerTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QProcess daemon;

    QString socketPath() const { return dir.filePath(QStringLiteral("helper.sock")); }

    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        const QString nft = dir.filePath(QStringLiteral("nft"));
        write(nft, QStringLiteral("#!/bin/sh\n"
                                  "dir='%1'\n"
                                  "printf '%s ' \"$@\" >> \"$dir/calls\"\n"
                                  "echo >> \"$dir/calls\"\n"
                                  "cat >> \"$dir/stdin\"\n"
                                  "[ -f \"$dir/output\" ] && cat \"$dir/output\"\n"
                                  "exit $(cat \"$dir/status\" 2>/dev/null || echo 0)\n")
                       .arg(dir.path())
                       .toUtf8());
        QFile::setPermissions(nft, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        daemon.start(TestSupport::builtProgram(QStringLiteral("helpertool/veltamorine.mac.apple.helpertool")),
                     {"--socket", socketPath(), "--rules-folder", dir.path(), "--nft", nft});
        ASSERT_TRUE(daemon.waitForStarted(5000));
        ASSERT_TRUE(TestSupport::waitForFile(daemon, socketPath()));
    }
    void TearDown() override
    {
        if (daemon.state() != QProcess::NotRunning) {
            daemon.kill();
            daemon.waitForFinished(5000);
        }
    }
    void write(const QString& path, const QByteArray& content)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
    }
    QByteArray read(const QString& name) const
    {
        QFile file(dir.filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // Runs one call and waits for its answer; also notes whether it came off the main thread.
    template <typename Call>
    std::optional<bool> answer(Call&& call)
    {
        QMutex mutex;
        std::optional<bool> result;
        bool offMain = false;
        call([&](bool value) {
            QMutexLocker lock(&mutex);
            offMain = !MainQueue::isMainThread();
            result = value;
        });
        TestSupport::waitUntil([&] {
            QMutexLocker lock(&mutex);
            return result.has_value();
        }, 10000);
        QMutexLocker lock(&mutex);
        EXPECT_TRUE(offMain);
        return result;
    }
};

TEST_F(HelperFirewallManagerTest, EnablingHandsTheDaemonRulesForTheServerAndProtocol)
{
    HelperFirewallManager manager(socketPath());
    EXPECT_EQ(answer([&](auto done) { manager.enableFirewall(QStringLiteral("203.0.113.9"), QStringLiteral("UDP"), done); }),
              true);
    const QByteArray loaded = read(QStringLiteral("stdin"));
    EXPECT_TRUE(loaded.contains("policy drop;"));
    EXPECT_TRUE(loaded.contains("ip daddr 203.0.113.9 meta l4proto udp accept"));
    EXPECT_TRUE(loaded.contains("oif \"lo\" accept"));
    EXPECT_TRUE(read(QStringLiteral("calls")).startsWith("-f -"));
    EXPECT_EQ(QFile(dir.filePath(QStringLiteral("com.iks.rules.veltamorine.mac.apple.helpertool"))).exists(), true);

    write(dir.filePath(QStringLiteral("output")), loaded);
    EXPECT_EQ(answer([&](auto done) { manager.isVPNFirewallEnabled(QStringLiteral("203.0.113.9"), done); }), true);
    EXPECT_EQ(answer([&](auto done) { manager.isVPNFirewallEnabled(QStringLiteral("203.0.113.10"), done); }), false);
    EXPECT_EQ(answer([&](auto done) { manager.isAnyFirewallEnabled(done); }), true);
    EXPECT_EQ(answer([&](auto done) { manager.disableFirewall(done); }), true);
    EXPECT_EQ(answer([&](auto done) { manager.isHelperReady(done); }), true);
    EXPECT_EQ(manager.isHelperInstalled(), true);

    write(dir.filePath(QStringLiteral("status")), "1");  // nft refuses the rules
    EXPECT_EQ(answer([&](auto done) { manager.enableFirewall(QStringLiteral("2001:db8::1"), QStringLiteral("IKEV"), done); }),
              false);
    EXPECT_TRUE(read(QStringLiteral("stdin")).contains("ip6 daddr 2001:db8::1 udp dport { 500, 4500 } accept"));
}

TEST_F(HelperFirewallManagerTest, RefusedArgumentsNeverReachTheDaemon)
{
    HelperFirewallManager manager(socketPath());
    struct Case {
        QString address;
        QString protocol;
    };
    const QList<Case> cases{{"", "UDP"}, {"203.0.113.9; flush ruleset", "UDP"}, {"example.test", "UDP"},
                            {"203.0.113.9", "udp"}, {"203.0.113.9", "UDP\n}"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address.toStdString() + " " + c.protocol.toStdString());
        EXPECT_FALSE(HelperFirewallManager::rules(c.address, c.protocol));
        EXPECT_EQ(answer([&](auto done) { manager.enableFirewall(c.address, c.protocol, done); }), false);
    }
    EXPECT_TRUE(read(QStringLiteral("calls")).isEmpty());
}

TEST_F(HelperFirewallManagerTest, WithoutADaemonEveryAnswerIsNo)
{
    HelperFirewallManager manager(dir.filePath(QStringLiteral("nobody.sock")), 2000);
    EXPECT_EQ(answer([&](auto done) { manager.enableFirewall(QStringLiteral("203.0.113.9"), QStringLiteral("TCP"), done); }),
              false);
    EXPECT_EQ(answer([&](auto done) { manager.isAnyFirewallEnabled(done); }), false);
    EXPECT_EQ(answer([&](auto done) { manager.prepareKillSwitch(done); }), false);
    EXPECT_EQ(manager.isHelperInstalled(), false);
}

}
