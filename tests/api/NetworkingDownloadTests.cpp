#include "ApiTestFixture.h"
#include "HttpError.h"
#include "NotificationCenter.h"

#include <QDir>
#include <QFile>
#include <QObject>

namespace {

const QString packagePath = QStringLiteral("/macOS/Veltamorine.pkg");

}

class NetworkingDownloadTest : public ApiTest {
protected:
    NetworkingDownloadTest()
    {
        previousDataHome = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", dataHome.path().toUtf8());
    }
    ~NetworkingDownloadTest() override { qputenv("XDG_DATA_HOME", previousDataHome); }

    struct Outcome {
        QString id;
        std::expected<QString, Error> result = std::unexpected(Error("test", 0));
        QList<std::pair<DownloadProgress, std::optional<double>>> progress;
        bool entryGoneAtCompletion = false;
        int completions = 0;
    };

    Outcome download(int waitMs = 8000)
    {
        Outcome outcome;
        outcome.id = networking->download(Endpoint::DownloadUpdate,
            [&](const DownloadProgress& p, std::optional<double> remaining) { outcome.progress.append({p, remaining}); },
            [&](std::expected<QString, Error> result) {
                ++outcome.completions;
                outcome.entryGoneAtCompletion = !networking->downloadRequests.contains(outcome.id);
                outcome.result = result;
            });
        EXPECT_TRUE(networking->downloadRequests.contains(outcome.id));
        EXPECT_TRUE(TestSupport::waitUntil([&] { return outcome.completions > 0; }, waitMs));
        TestSupport::processEvents(20);
        EXPECT_EQ(outcome.completions, 1);
        return outcome;
    }

    QTemporaryDir dataHome;
    QByteArray previousDataHome;
};

TEST_F(NetworkingDownloadTest, StoresThePackageUnderASafeNameAndReportsProgress)
{
    const QByteArray content(256 * 1024, 'p');
    sandbox.reply("GET", packagePath, SandboxReply::file(content, "../../evil.pkg", 16 * 1024));

    const Outcome outcome = download();

    ASSERT_TRUE(outcome.result) << outcome.result.error().message.toStdString();
    EXPECT_EQ(*outcome.result, QDir(dataHome.path()).filePath("evil.pkg"));
    QFile stored(*outcome.result);
    ASSERT_TRUE(stored.open(QIODevice::ReadOnly));
    EXPECT_EQ(stored.readAll(), content);
    EXPECT_TRUE(outcome.entryGoneAtCompletion);
    EXPECT_TRUE(networking->downloadRequests.isEmpty());
    ASSERT_FALSE(outcome.progress.isEmpty());
    for (const auto& [report, remaining] : outcome.progress) {
        if (report.fractionCompleted() > 0.0) {
            ASSERT_TRUE(remaining);
            EXPECT_GE(*remaining, 0.0);
        } else {
            EXPECT_FALSE(remaining);
        }
    }
    const SandboxRequest request = onlyRequest("GET", packagePath);
    EXPECT_FALSE(request.hasHeader("Authorization"));
    EXPECT_TRUE(request.query.isEmpty());
    EXPECT_TRUE(reports.isEmpty());
}

TEST_F(NetworkingDownloadTest, UnsafeOrMissingNamesFallBackAndReplaceAnOlderCopy)
{
    QFile older(QDir(dataHome.path()).filePath("Veltamorine.pkg"));
    ASSERT_TRUE(older.open(QIODevice::WriteOnly));
    older.write("old package");
    older.close();
    for (const QByteArray& name : {QByteArray("../.."), QByteArray("Veltamorine.pkg"), QByteArray()}) {
        SCOPED_TRACE(name.toStdString());
        sandbox.reply("GET", packagePath, SandboxReply::file("new package " + name, name));

        const Outcome outcome = download();

        ASSERT_TRUE(outcome.result);
        EXPECT_EQ(*outcome.result, QDir(dataHome.path()).filePath("Veltamorine.pkg"));
        QFile stored(*outcome.result);
        ASSERT_TRUE(stored.open(QIODevice::ReadOnly));
        EXPECT_EQ(stored.readAll(), "new package " + name);
    }
}

TEST_F(NetworkingDownloadTest, FailedDownloadHandsOnTheTransportErrorUnreported)
{
    sandbox.reply("GET", packagePath, SandboxReply::raw(404, "missing"));

    const Outcome outcome = download();

    ASSERT_FALSE(outcome.result);
    EXPECT_EQ(outcome.result.error().domain, HttpError::domain);
    EXPECT_TRUE(outcome.entryGoneAtCompletion);
    EXPECT_TRUE(reports.isEmpty());
    EXPECT_FALSE(QFile::exists(QDir(dataHome.path()).filePath("Veltamorine.pkg")));
}

TEST_F(NetworkingDownloadTest, TwoDownloadsHaveTheirOwnIdentifiersAndEntries)
{
    SandboxReply held = SandboxReply::file(QByteArray(64 * 1024, 'x'), "Veltamorine.pkg", 8 * 1024);
    held.holdAfterBytes = 16 * 1024;
    sandbox.reply("GET", packagePath, held);

    int done = 0;
    const QString first = networking->download(Endpoint::DownloadUpdate, {}, [&](auto) { ++done; });
    const QString second = networking->download(Endpoint::DownloadUpdate, {}, [&](auto) { ++done; });

    EXPECT_NE(first, second);
    EXPECT_EQ(networking->downloadRequests, (QSet<QString>{first, second}));
    EXPECT_EQ(first, first.toUpper());
    sandbox.releaseHeldReplies();
    ASSERT_TRUE(TestSupport::waitUntil([&] { return done == 2; }, 8000));
    EXPECT_TRUE(networking->downloadRequests.isEmpty());
}

TEST(RemainingTimeEstimateTest, ScalesElapsedTimeByWhatIsLeft)
{
    const struct {
        double fraction;
        double elapsed;
        std::optional<double> expected;
    } cases[] = {
        {0.25, 10, 30.0},
        {0.5, 3, 3.0},
        {0.3, 1, 3.0},  // 2.33 rounds up
        {1.0, 10, 0.0},
        {0.0, 10, std::nullopt},  // nothing arrived yet: no estimate
        {0.0, 0, std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Networking::remainingTimeEstimate(c.fraction, c.elapsed), c.expected) << c.fraction << " " << c.elapsed;
}

class NetworkingReachabilityTest : public ApiTest {
protected:
    NetworkingReachabilityTest()
    {
        NotificationCenter::defaultCenter().addObserver(Networking::reachabilityChangedNotification, &observer,
            [this](const Notification& n) { posted.append(n.object.toMap().value("reachable").toBool()); });
    }

    FakeReachability& reachability() { return static_cast<FakeReachability&>(*networking->reachablityManager); }

    QObject observer;
    QList<bool> posted;
};

TEST_F(NetworkingReachabilityTest, FirstReachableReportIsSwallowedThenChangesArePosted)
{
    std::optional<int> vpnStatus = 0;
    networking->currentVPNStatus = [&] { return vpnStatus; };
    ASSERT_TRUE(networking->startReachabilityListening());
    TestSupport::processEvents(20);  // the current status (reachable) arrives first
    EXPECT_TRUE(posted.isEmpty());
    EXPECT_FALSE(networking->digestReachabilityListener);

    reachability().report(Reachability::Status::ReachableEthernetOrWiFi);
    reachability().report(Reachability::Status::NotReachable);
    reachability().report(Reachability::Status::ReachableCellular);
    reachability().report(Reachability::Status::Unknown);
    vpnStatus = Networking::vpnStatusConnected;
    reachability().report(Reachability::Status::ReachableEthernetOrWiFi);
    TestSupport::processEvents(20);

    EXPECT_EQ(posted, (QList<bool>{true, false, true, false}));
}

TEST_F(NetworkingReachabilityTest, NotReachableFirstIsPostedAndTheNextReachableIsSwallowed)
{
    networking->reachabilityStatusChanged(Reachability::Status::NotReachable);
    networking->reachabilityStatusChanged(Reachability::Status::ReachableEthernetOrWiFi);
    networking->reachabilityStatusChanged(Reachability::Status::ReachableEthernetOrWiFi);

    // Without a VPN layer bound, a reachable report counts as "not connected".
    EXPECT_EQ(posted, (QList<bool>{false, true}));
}
