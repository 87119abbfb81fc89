#include "HelperClient.h"

#include <QJsonArray>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <thread>

#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// A scripted stand-in for the daemon: accepts one client, reads one request and answers with
// the bytes the test gives, built from the request's id.
class FakeDaemon {
public:
    explicit FakeDaemon(const QString& path)
    {
        fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.toLocal8Bit().constData(), sizeof(address.sun_path) - 1);
        EXPECT_EQ(::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
        EXPECT_EQ(::listen(fd_, 4), 0);
    }
    ~FakeDaemon()
    {
        if (thread_.joinable())
            thread_.join();
        ::close(fd_);
    }
    void answer(std::function<QByteArray(const QJsonObject& request)> script)
    {
        thread_ = std::thread([this, script] {
            const int client = ::accept(fd_, nullptr, nullptr);
            HelperFrame::Reader reader(1 << 20);
            QByteArray payload;
            char buffer[4096];
            while (reader.next(payload) != HelperFrame::Reader::Status::Frame) {
                const ssize_t n = ::recv(client, buffer, sizeof(buffer), 0);
                if (n <= 0)
                    break;
                reader.append(QByteArray(buffer, n));
            }
            const QByteArray reply = script(HelperFrame::decodeObject(payload).value_or(QJsonObject()));
            ::send(client, reply.constData(), reply.size(), MSG_NOSIGNAL);
            ::shutdown(client, SHUT_WR);
            ::recv(client, buffer, sizeof(buffer), 0);  // until the client lets go
            ::close(client);
        });
    }

private:
    int fd_;
    std::thread thread_;
};

QByteArray message(const QJsonObject& object)
{
    return HelperFrame::encode(object);
}

}

TEST(HelperClientTests, requestCarriesTheCommandArrayAndTheReplyIsMatchedById)
{
    QTemporaryDir dir;
    FakeDaemon daemon(dir.filePath("s"));
    QJsonObject seen;
    daemon.answer([&](const QJsonObject& request) {
        seen = request;
        const QJsonValue id = request.value("id");
        return message({ { "log", "first" } }) + message({ { "id", 999 }, { "reply", QJsonArray { 5 } } })
            + message({ { "log", "second" } }) + message({ { "id", id }, { "reply", QJsonArray { 0 } } });
    });
    HelperClient client(dir.filePath("s"));
    ASSERT_TRUE(client.connect().has_value());
    QStringList logs;
    const auto reply = client.send({ "isVPNFirewallEnabled", "10.0.0.1" }, 5000, [&](const QString& t) { logs.append(t); });
    ASSERT_TRUE(reply.has_value()) << reply.error().message.toStdString();
    EXPECT_EQ(*reply, QJsonValue(0)) << "the stale reply of another call is skipped";
    EXPECT_EQ(logs, QStringList({ "first", "second" }));
    EXPECT_EQ(seen.value("arguments").toArray(), QJsonArray({ "isVPNFirewallEnabled", "10.0.0.1" }));
    EXPECT_TRUE(seen.value("id").isDouble());
}

TEST(HelperClientTests, brokenAnswersAreErrors)
{
    struct Case {
        const char* name;
        QByteArray bytes;
        int code;
    };
    const Case cases[] = {
        { "closed without reply", QByteArray(), HelperClient::connectionClosed },
        { "not an object", HelperFrame::encode(QByteArray("[1]")), HelperClient::malformedMessage },
        { "longer than the cap", QByteArray::fromHex("ffffffff"), HelperClient::malformedMessage },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        FakeDaemon daemon(dir.filePath("s"));
        daemon.answer([&](const QJsonObject&) { return c.bytes; });
        HelperClient client(dir.filePath("s"));
        ASSERT_TRUE(client.connect().has_value());
        const auto reply = client.send({ "getVersion" }, 5000);
        ASSERT_FALSE(reply.has_value());
        EXPECT_EQ(reply.error().code, c.code);
        EXPECT_EQ(reply.error().domain, HelperClient::errorDomain);
        EXPECT_FALSE(client.isConnected());
    }
}

TEST(HelperClientTests, missingDaemonFailsToConnect)
{
    QTemporaryDir dir;
    HelperClient client(dir.filePath("nobody-listens"));
    const auto connected = client.connect();
    ASSERT_FALSE(connected.has_value());
    EXPECT_EQ(connected.error().code, HelperClient::connectFailed);
    EXPECT_EQ(client.send({ "getVersion" }, 100).error().code, HelperClient::connectionClosed);
}
