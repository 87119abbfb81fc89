#include "CommandDispatcher.h"
#include "HelperLog.h"
#include "TestSupport.h"

#include <QFile>
#include <QJsonArray>
#include <QMutex>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <thread>

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

// The kill switch for real: nft loads our table in a network namespace made for the test,
// which reaches a second namespace over a veth pair holding an allowed and a blocked address.
namespace {

const QString ip = QStringLiteral("/usr/sbin/ip");
const QString nft = QStringLiteral("/usr/sbin/nft");
const QString allowed = QStringLiteral("10.231.0.2");
const QString blocked = QStringLiteral("10.231.0.3");

bool run(const QStringList& command, QByteArray* output = nullptr)
{
    QProcess process;
    process.start(command.first(), command.mid(1));
    if (!process.waitForFinished(10000))
        return false;
    if (output)
        *output = process.readAllStandardOutput();
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// A socket made inside namespace `ns`; the namespace sticks to the socket, so the calling
// thread can use it afterwards.
int socketIn(const QString& ns, int type)
{
    int fd = -1;
    std::thread([&] {
        const int nsFd = ::open(QFile::encodeName("/run/netns/" + ns).constData(), O_RDONLY | O_CLOEXEC);
        if (nsFd >= 0 && ::setns(nsFd, CLONE_NEWNET) == 0)
            fd = ::socket(AF_INET, type | SOCK_CLOEXEC, 0);
        if (nsFd >= 0)
            ::close(nsFd);
    }).join();
    return fd;
}

sockaddr_in addressOf(const QString& text, quint16 port)
{
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    ::inet_pton(AF_INET, text.toLatin1().constData(), &address.sin_addr);
    return address;
}

class KillSwitchNetnsTests : public ::testing::Test {
protected:
    QString inside = QStringLiteral("velks_a_%1").arg(::getpid());
    QString outside = QStringLiteral("velks_b_%1").arg(::getpid());
    QTemporaryDir rules;
    std::unique_ptr<CommandDispatcher> dispatcher;
    int listener = -1;
    quint16 port = 0;

    void SetUp() override
    {
        if (::geteuid() != 0)
            GTEST_SKIP() << "needs root for network namespaces";
        if (!QFile::exists(ip) || !QFile::exists(nft))
            GTEST_SKIP() << "needs ip (iproute2) and nft";
        if (!run({ ip, "netns", "add", inside }))
            GTEST_SKIP() << "network namespaces unavailable";
        const QList<QStringList> setUp {
            { ip, "netns", "add", outside },
            { ip, "-n", inside, "link", "add", "va", "type", "veth", "peer", "name", "vb", "netns", outside },
            { ip, "-n", inside, "addr", "add", "10.231.0.1/24", "dev", "va" },
            { ip, "-n", inside, "link", "set", "va", "up" },
            { ip, "-n", inside, "link", "set", "lo", "up" },
            { ip, "-n", outside, "addr", "add", allowed + "/24", "dev", "vb" },
            { ip, "-n", outside, "addr", "add", blocked + "/24", "dev", "vb" },
            { ip, "-n", outside, "link", "set", "vb", "up" },
            { ip, "-n", outside, "link", "set", "lo", "up" },
        };
        for (const QStringList& command : setUp)
            ASSERT_TRUE(run(command)) << command.join(u' ').toStdString();

        listener = socketIn(outside, SOCK_STREAM);
        ASSERT_GE(listener, 0);
        sockaddr_in any = addressOf("0.0.0.0", 0);
        ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&any), sizeof(any)), 0);
        ASSERT_EQ(::listen(listener, 16), 0);
        socklen_t length = sizeof(any);
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&any), &length);
        port = ntohs(any.sin_port);

        PacketFilter::Config config;
        config.nft = { ip, "netns", "exec", inside, nft };
        config.rulesFolder = rules.path();
        dispatcher = std::make_unique<CommandDispatcher>(config);
        HelperLog::setSink([](const QString&) {});
    }

    void TearDown() override
    {
        dispatcher.reset();
        HelperLog::setSink(nullptr);
        if (listener >= 0)
            ::close(listener);
        run({ ip, "netns", "del", inside });
        run({ ip, "netns", "del", outside });
    }

    // Whether a TCP connection from inside reaches `address`; over the veth pair an allowed
    // connection completes at once, a dropped one never.
    bool reaches(const QString& address)
    {
        const int fd = socketIn(inside, SOCK_STREAM | SOCK_NONBLOCK);
        if (fd < 0)
            return false;
        sockaddr_in target = addressOf(address, port);
        bool connected = ::connect(fd, reinterpret_cast<sockaddr*>(&target), sizeof(target)) == 0;
        if (!connected && errno == EINPROGRESS) {
            pollfd p { fd, POLLOUT, 0 };
            int error = -1;
            socklen_t length = sizeof(error);
            connected = ::poll(&p, 1, 500) == 1 && ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
        }
        ::close(fd);
        if (connected) {
            const int accepted = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (accepted >= 0)
                ::close(accepted);
        }
        return connected;
    }

    QJsonValue call(const QStringList& arguments)
    {
        QMutex mutex;
        std::optional<QJsonValue> reply;
        auto channel = std::make_shared<ClientChannel>([](const QJsonObject&) {});
        dispatcher->dispatch(QJsonArray::fromStringList(arguments), channel, [&](const QJsonValue& value) {
            QMutexLocker lock(&mutex);
            reply = value;
        });
        EXPECT_TRUE(TestSupport::waitUntil([&] {
            QMutexLocker lock(&mutex);
            return reply.has_value();
        }, 15000));
        QMutexLocker lock(&mutex);
        return reply.value_or(QJsonValue());
    }

    QString rulesAllowing(const QString& address)
    {
        return QStringLiteral("chain output {\n"
                              "    type filter hook output priority 0; policy drop;\n"
                              "    oif \"lo\" accept\n"
                              "    ip daddr %1 accept\n"
                              "}").arg(address);
    }

    bool tableLoaded()
    {
        QByteArray tables;
        run({ ip, "netns", "exec", inside, nft, "list", "tables" }, &tables);
        return tables.contains("veltamorine_killswitch");
    }
};

}

TEST_F(KillSwitchNetnsTests, rulesDropAllButTheAllowedAddressUntilDisabled)
{
    ASSERT_TRUE(reaches(allowed));
    ASSERT_TRUE(reaches(blocked));
    EXPECT_EQ(call({ "isAnyFirewallEnabled" }), QJsonValue(1));

    ASSERT_EQ(call({ "enableFirewall", rulesAllowing(allowed) }), QJsonValue(0));
    EXPECT_TRUE(tableLoaded());
    EXPECT_TRUE(reaches(allowed));
    EXPECT_FALSE(reaches(blocked));
    EXPECT_EQ(call({ "isAnyFirewallEnabled" }), QJsonValue(0));
    EXPECT_EQ(call({ "isVPNFirewallEnabled", allowed }), QJsonValue(0));
    EXPECT_EQ(call({ "isVPNFirewallEnabled", blocked }), QJsonValue(1));

    // Loading again replaces the table in one step.
    ASSERT_EQ(call({ "enableFirewall", rulesAllowing(blocked) }), QJsonValue(0));
    EXPECT_FALSE(reaches(allowed));
    EXPECT_TRUE(reaches(blocked));

    // Rules nft refuses change nothing: the previous table stays in force.
    EXPECT_NE(call({ "enableFirewall", "chain output { this is not nft }" }), QJsonValue(0));
    EXPECT_FALSE(reaches(allowed));
    EXPECT_TRUE(reaches(blocked));

    ASSERT_EQ(call({ "disableFirewall" }), QJsonValue(0));
    EXPECT_FALSE(tableLoaded());
    EXPECT_TRUE(reaches(allowed));
    EXPECT_TRUE(reaches(blocked));
    EXPECT_EQ(call({ "isAnyFirewallEnabled" }), QJsonValue(1));
    EXPECT_EQ(call({ "disableFirewall" }), QJsonValue(0)) << "disabling twice is no error";
}
