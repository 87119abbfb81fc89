#include "Bundle.h"
#include "ErrorReportHubSending.h"
#include "ErrorReports.h"
#include "ErrorSender.h"
#include "Factories.h"
#include "SettingsTestStores.h"
#include "UploadQueue.h"
#include "VirtualScheduler.h"

#include <QJsonArray>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

// Starts reporting for real against an endpoint that is never reached, and reads the reports
// from the hub's delivery queue.
class ErrorSenderTest : public SettingsTestStores {
protected:
    void SetUp() override
    {
        SettingsTestStores::SetUp();
        Scheduler::setMain(&clock);
        Bundle::setMain(&bundle);
    }
    void TearDown() override
    {
        ErrorReports::close();
        Bundle::setMain(nullptr);
        Scheduler::setMain(nullptr);
        SettingsTestStores::TearDown();
    }

    static QJsonObject info(const QJsonValue& releaseCode)
    {
        QJsonObject o{{QStringLiteral("CFBundleShortVersionString"), QStringLiteral("3.0")},
                      {QStringLiteral("CFBundleVersion"), QStringLiteral("117")},
                      {QStringLiteral("Build Distribution"), QStringLiteral("deb")},
                      {QStringLiteral("Build Environment"), QStringLiteral("staging")},
                      {QStringLiteral("Error Reports Endpoint"), QStringLiteral("https://127.0.0.1:9/reports")}};
        if (!releaseCode.isUndefined())
            o.insert(QStringLiteral("Release Code"), releaseCode);
        return o;
    }

    void start() { ErrorSender::start(makeUser()); }

    QList<QJsonObject> reports() const
    {
        auto* queue = ErrorReports::currentHub()->queue();
        return queue ? queue->pendingItems() : QList<QJsonObject>{};
    }

    static QJsonObject tags(const QJsonObject& r) { return r.value(QStringLiteral("tags")).toObject(); }
    static QJsonObject extra(const QJsonObject& r) { return r.value(QStringLiteral("extra")).toObject(); }

    VirtualScheduler clock;
    Bundle bundle{info(QStringLiteral("Production"))};
    Error failure{QStringLiteral("VeltamorineError"), 42, QStringLiteral("failed")};
};

TEST_F(ErrorSenderTest, ReportsCarryReleaseDistEnvironmentAndFlavor)
{
    start();
    makeErrorSender().send(failure);
    ASSERT_EQ(reports().size(), 1);
    const QJsonObject r = reports()[0];
    EXPECT_EQ(r.value(QStringLiteral("release")).toString(), QStringLiteral("3.0 (117)"));
    EXPECT_EQ(r.value(QStringLiteral("dist")).toString(), QStringLiteral("deb"));
    EXPECT_EQ(r.value(QStringLiteral("environment")).toString(), QStringLiteral("staging"));
    EXPECT_EQ(r.value(QStringLiteral("level")).toString(), QStringLiteral("error"));
    EXPECT_EQ(tags(r), (QJsonObject{{QStringLiteral("flavor"), QStringLiteral("production")}}));
    EXPECT_EQ(ErrorReports::currentHub()->options().dsn, QStringLiteral("tqmrnvboe"));
    EXPECT_TRUE(ErrorReports::currentHub()->options().enableAutoSessionTracking);
}

TEST_F(ErrorSenderTest, FlavorIsTheReleaseCodeInLowerCase)
{
    const std::pair<QJsonValue, const char*> cases[] = {
        {QStringLiteral("BeTa"), "beta"},
        {QJsonValue(QJsonValue::Undefined), "production"},
        {QJsonValue(7), "production"},
    };
    for (const auto& [code, flavor] : cases) {
        SCOPED_TRACE(flavor);
        const Bundle b(info(code));
        Bundle::setMain(&b);
        ErrorReports::close();
        start();
        makeErrorSender().send(failure);
        ASSERT_EQ(reports().size(), 1);
        EXPECT_EQ(tags(reports()[0]).value(QStringLiteral("flavor")).toString(), QString::fromLatin1(flavor));
        Bundle::setMain(&bundle);
    }
}

TEST_F(ErrorSenderTest, StartSetsTheSignedInUser)
{
    struct Case {
        const char* name;
        bool loggedIn;
        QVariant vpnUsername;
        QVariant clientId;
        std::optional<ReportUser> expected;
    };
    const Case cases[] = {
        {"signed in", true, QStringLiteral("vpn-user"), 1234, ReportUser{QStringLiteral("1234"), QStringLiteral("vpn-user")}},
        {"no client id", true, QStringLiteral("vpn-user"), QVariant(), ReportUser{QStringLiteral("0"), QStringLiteral("vpn-user")}},
        {"no vpn user name", true, QVariant(), 1234, std::nullopt},
        {"signed out", false, QStringLiteral("vpn-user"), 1234, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ErrorReports::close();
        defaults().setBool(c.loggedIn, QStringLiteral("UserPreferences.loggedIn"));
        defaults().setObject(c.vpnUsername, QStringLiteral("UserPreferences.vpnUsername"));
        defaults().setObject(c.clientId, QStringLiteral("UserPreferences.clientId"));
        start();
        EXPECT_EQ(ErrorReports::currentHub()->user(), c.expected);
    }
}

TEST_F(ErrorSenderTest, ExtrasBelongToTheirOwnReport)
{
    start();
    ErrorSender sender = makeErrorSender();
    sender.send(failure, QVariantMap{{QStringLiteral("path"), QStringLiteral("/refresh/token")}, {QStringLiteral("status"), 500}});
    sender.send(failure);
    ASSERT_EQ(reports().size(), 2);
    EXPECT_EQ(extra(reports()[0]), (QJsonObject{{QStringLiteral("path"), QStringLiteral("/refresh/token")}, {QStringLiteral("status"), 500}}));
    EXPECT_TRUE(extra(reports()[1]).isEmpty());
    EXPECT_TRUE(ErrorReports::currentHub()->getScope().extras.isEmpty());
}

TEST_F(ErrorSenderTest, MessageReportLeavesTheFlavorTagForLaterReports)
{
    start();
    ErrorSender sender = makeErrorSender();
    sender.send(failure, QVariantMap{{QStringLiteral("k"), 1}});
    sender.sendMessage(QStringLiteral("VPN credentials are missing"));
    sender.send(failure);
    ASSERT_EQ(reports().size(), 3);
    const QJsonObject message = reports()[1];
    EXPECT_EQ(message.value(QStringLiteral("message")).toString(), QStringLiteral("VPN credentials are missing"));
    EXPECT_EQ(message.value(QStringLiteral("level")).toString(), QStringLiteral("info"));
    EXPECT_TRUE(tags(message).isEmpty());
    EXPECT_TRUE(extra(message).isEmpty());
    EXPECT_EQ(reports()[2].value(QStringLiteral("level")).toString(), QStringLiteral("error"));
    EXPECT_EQ(tags(reports()[2]).value(QStringLiteral("flavor")).toString(), QStringLiteral("production"));
}

TEST_F(ErrorSenderTest, ConcurrentSendsKeepTheirOwnExtras)
{
    start();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t] {
            ErrorSender sender = makeErrorSender();
            for (int i = 0; i < 25; ++i)
                sender.send(Error(QStringLiteral("T"), t * 100 + i), QVariantMap{{QStringLiteral("n"), t * 100 + i}});
        });
    for (auto& thread : threads)
        thread.join();
    ASSERT_EQ(reports().size(), 100);
    for (const QJsonObject& r : reports())
        EXPECT_EQ(extra(r).value(QStringLiteral("n")).toInt(),
                  r.value(QStringLiteral("exception")).toObject().value(QStringLiteral("code")).toInt());
}

TEST_F(ErrorSenderTest, SetUserReplacesAndClearsTheUser)
{
    start();
    ErrorSender sender = makeErrorSender();
    sender.setUser(ReportUser{QStringLiteral("9"), QStringLiteral("other")});
    sender.send(failure);
    sender.setUser(std::nullopt);
    sender.send(failure);
    ASSERT_EQ(reports().size(), 2);
    EXPECT_EQ(reports()[0].value(QStringLiteral("user")).toObject().value(QStringLiteral("username")).toString(), QStringLiteral("other"));
    EXPECT_FALSE(reports()[1].contains(QStringLiteral("user")));
}

TEST_F(ErrorSenderTest, BrokenPipeIsIgnoredAfterStart)
{
    std::signal(SIGPIPE, SIG_DFL);
    start();
    struct sigaction current {};
    sigaction(SIGPIPE, nullptr, &current);
    EXPECT_EQ(current.sa_handler, SIG_IGN);

    // Writing to a closed socket now fails with EPIPE instead of ending the process.
    int fds[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
    close(fds[1]);
    errno = 0;
    EXPECT_EQ(write(fds[0], "x", 1), -1);
    EXPECT_EQ(errno, EPIPE);
    close(fds[0]);

    std::signal(SIGPIPE, SIG_DFL);
    ErrorSender sender(std::make_shared<ErrorReportHubSending>(ErrorReports::currentHub()));
    sigaction(SIGPIPE, nullptr, &current);
    EXPECT_EQ(current.sa_handler, SIG_IGN);
}

}
