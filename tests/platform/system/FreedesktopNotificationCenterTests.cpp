#include "FakeUserNotificationCenter.h"
#include "FreedesktopNotificationCenter.h"
#include "TestSupport.h"

#include <QCoreApplication>
#include <algorithm>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QMap>
#include <QObject>
#include <gtest/gtest.h>

// A small notification service of the test's own, on a bus connection of its own, so the
// centre's calls really travel through the private session bus.
class NotificationServer : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    struct Call {
        QString application;
        uint replacesId = 0;
        QString summary;
        QString body;
        QVariantMap hints;
        int timeout = 0;
    };

    QList<Call> calls;
    QMap<uint, Call> shown;  // by the number handed out

public slots:
    uint Notify(const QString& application, uint replacesId, const QString&, const QString& summary, const QString& body,
                const QStringList&, const QVariantMap& hints, int timeout)
    {
        const Call call{application, replacesId, summary, body, hints, timeout};
        calls.append(call);
        const uint id = replacesId != 0 && shown.contains(replacesId) ? replacesId : nextId++;
        shown.insert(id, call);
        return id;
    }
    QStringList GetCapabilities() { return {QStringLiteral("body"), QStringLiteral("sound")}; }
    void CloseNotification(uint id)
    {
        closed.append(id);
        shown.remove(id);
    }

public:
    QList<uint> closed;

private:
    uint nextId = 1;
};

namespace {

const QString serverConnectionName = QStringLiteral("test-notification-server");

// Test programs share one session bus and may run at once: each serves under a name of its own.
QString serviceOfThisProcess()
{
    return QStringLiteral("org.veltamorine.test.Notifications.p%1").arg(QCoreApplication::applicationPid());
}

class FreedesktopNotificationCenterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QDBusConnection::sessionBus().isConnected()) << "run under the private test session";
        serverBus = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(QDBusConnection::SessionBus, serverConnectionName));
        ASSERT_TRUE(serverBus->isConnected());
    }

    void TearDown() override
    {
        serverBus->unregisterService(serviceOfThisProcess());
        serverBus->unregisterObject(QString::fromLatin1(FreedesktopNotificationCenter::objectPath));
        serverBus.reset();
        QDBusConnection::disconnectFromBus(serverConnectionName);
    }

    void startServer()
    {
        ASSERT_TRUE(serverBus->registerObject(QString::fromLatin1(FreedesktopNotificationCenter::objectPath), &server,
                                              QDBusConnection::ExportAllSlots));
        ASSERT_TRUE(serverBus->registerService(serviceOfThisProcess()));
    }

    std::unique_ptr<QDBusConnection> serverBus;
    NotificationServer server;
};

TEST_F(FreedesktopNotificationCenterTest, QuickSuccessionOfOneIdentifierLeavesOneNotification)
{
    startServer();
    FreedesktopNotificationCenter center(QDBusConnection::sessionBus(), QStringLiteral("Veltamorine"), serviceOfThisProcess());

    center.add({QStringLiteral("connection"), QStringLiteral("Veltamorine"), QStringLiteral("Connected")});
    center.add({QStringLiteral("connection"), QStringLiteral("Veltamorine"), QStringLiteral("Disconnecting")});
    center.add({QStringLiteral("connection"), QStringLiteral("Veltamorine"), QStringLiteral("Disconnected")});
    ASSERT_TRUE(TestSupport::waitUntil([&] { return server.calls.size() >= 2; }, 3000));
    TestSupport::processEvents(50);

    ASSERT_EQ(server.calls.size(), 2) << "only the newest of the waiting requests is sent";
    EXPECT_EQ(server.calls[0].replacesId, 0u);
    EXPECT_NE(server.calls[1].replacesId, 0u);
    ASSERT_EQ(server.shown.size(), 1);
    const NotificationServer::Call last = server.shown.first();
    EXPECT_EQ(last.application, QStringLiteral("Veltamorine"));
    EXPECT_EQ(last.summary, QStringLiteral("Veltamorine"));
    EXPECT_EQ(last.body, QStringLiteral("Disconnected"));
    EXPECT_EQ(last.timeout, -1);
    EXPECT_EQ(last.hints.value(QStringLiteral("sound-name")).toString(), QStringLiteral("message-new-instant"));
    EXPECT_EQ(last.hints.value(QStringLiteral("urgency")).toInt(), 1);

    // Later, after the answer: replaced again, still one.
    center.add({QStringLiteral("connection"), QStringLiteral("Veltamorine"), QStringLiteral("Connected")});
    ASSERT_TRUE(TestSupport::waitUntil([&] { return server.calls.size() == 3; }, 3000));
    EXPECT_EQ(server.shown.size(), 1);
    EXPECT_EQ(server.shown.first().body, QStringLiteral("Connected"));
}

TEST_F(FreedesktopNotificationCenterTest, DifferentIdentifiersStandSideBySide)
{
    startServer();
    FreedesktopNotificationCenter center(QDBusConnection::sessionBus(), QStringLiteral("Veltamorine"), serviceOfThisProcess());

    center.add({QStringLiteral("a"), QStringLiteral("T"), QStringLiteral("one")});
    center.add({QStringLiteral("b"), QStringLiteral("T"), QStringLiteral("two")});
    ASSERT_TRUE(TestSupport::waitUntil([&] { return server.calls.size() == 2; }, 3000));
    EXPECT_EQ(server.shown.size(), 2);
}

TEST_F(FreedesktopNotificationCenterTest, WithoutANotificationServiceNothingIsShownAndLaterRequestsStillGoOut)
{
    FreedesktopNotificationCenter center(QDBusConnection::sessionBus(), QStringLiteral("Veltamorine"), serviceOfThisProcess());
    center.add({QStringLiteral("connection"), QStringLiteral("T"), QStringLiteral("lost")});
    TestSupport::processEvents(200);

    startServer();
    center.add({QStringLiteral("connection"), QStringLiteral("T"), QStringLiteral("seen")});
    ASSERT_TRUE(TestSupport::waitUntil([&] { return !server.calls.isEmpty(); }, 3000));
    EXPECT_EQ(server.calls.size(), 1);
    EXPECT_EQ(server.calls.first().body, QStringLiteral("seen"));
}

TEST_F(FreedesktopNotificationCenterTest, CentreEndingWithACallInFlightIsQuiet)
{
    startServer();
    {
        FreedesktopNotificationCenter center(QDBusConnection::sessionBus(), QStringLiteral("Veltamorine"), serviceOfThisProcess());
        center.add({QStringLiteral("connection"), QStringLiteral("T"), QStringLiteral("bye")});
    }
    ASSERT_TRUE(TestSupport::waitUntil([&] { return !server.calls.isEmpty(); }, 3000));
    TestSupport::processEvents(50);
}

TEST_F(FreedesktopNotificationCenterTest, RemovingAllClosesEveryNotificationShownAndLaterOnesStartAfresh)
{
    startServer();
    FreedesktopNotificationCenter center(QDBusConnection::sessionBus(), QStringLiteral("Veltamorine"), serviceOfThisProcess());
    center.add({QStringLiteral("a"), QStringLiteral("T"), QStringLiteral("one")});
    center.add({QStringLiteral("b"), QStringLiteral("T"), QStringLiteral("two")});
    ASSERT_TRUE(TestSupport::waitUntil([&] { return server.calls.size() == 2; }, 3000));
    TestSupport::processEvents(50);
    const QList<uint> ids = server.shown.keys();

    center.removeAllDeliveredNotifications();
    ASSERT_TRUE(TestSupport::waitUntil([&] { return server.closed.size() == 2; }, 3000));
    QList<uint> closed = server.closed;
    std::sort(closed.begin(), closed.end());
    EXPECT_EQ(closed, ids);
    EXPECT_TRUE(server.shown.isEmpty());

    // Removing again has nothing left to close; a new request shows a new notification.
    center.removeAllDeliveredNotifications();
    center.add({QStringLiteral("a"), QStringLiteral("T"), QStringLiteral("three")});
    ASSERT_TRUE(TestSupport::waitUntil([&] { return server.calls.size() == 3; }, 3000));
    TestSupport::processEvents(50);
    EXPECT_EQ(server.calls.last().replacesId, 0u);
    EXPECT_EQ(server.closed.size(), 2);
    EXPECT_EQ(server.shown.size(), 1);
}

TEST_F(FreedesktopNotificationCenterTest, ANotificationStillOnItsWayWhenRemovedIsClosedOnceShown)
{
    startServer();
    FreedesktopNotificationCenter center(QDBusConnection::sessionBus(), QStringLiteral("Veltamorine"), serviceOfThisProcess());
    center.add({QStringLiteral("connection"), QStringLiteral("T"), QStringLiteral("Connected")});
    center.add({QStringLiteral("connection"), QStringLiteral("T"), QStringLiteral("Disconnected")});  // waits
    center.removeAllDeliveredNotifications();

    ASSERT_TRUE(TestSupport::waitUntil([&] { return server.closed.size() == 1; }, 3000));
    TestSupport::processEvents(50);
    EXPECT_EQ(server.calls.size(), 1) << "the waiting request is dropped";
    EXPECT_TRUE(server.shown.isEmpty());

    // A request made after the removal but before the answer is shown, as a new notification.
    center.add({QStringLiteral("connection"), QStringLiteral("T"), QStringLiteral("Connecting")});
    center.removeAllDeliveredNotifications();
    center.add({QStringLiteral("connection"), QStringLiteral("T"), QStringLiteral("Connected")});
    ASSERT_TRUE(TestSupport::waitUntil([&] { return server.calls.size() == 3 && server.closed.size() == 2; }, 3000));
    TestSupport::processEvents(50);
    EXPECT_EQ(server.calls.last().replacesId, 0u);
    ASSERT_EQ(server.shown.size(), 1);
    EXPECT_EQ(server.shown.first().body, QStringLiteral("Connected"));
}

TEST(UserNotificationCenterTest, InstalledCentreReplacesTheDesktopsUntilRemoved)
{
    FakeUserNotificationCenter fake;
    UserNotificationCenter::setCurrent(&fake);
    UserNotificationCenter::current().add({QStringLiteral("x"), QStringLiteral("T"), QStringLiteral("1")});
    UserNotificationCenter::current().add({QStringLiteral("x"), QStringLiteral("T"), QStringLiteral("2")});
    UserNotificationCenter::setCurrent(nullptr);

    EXPECT_EQ(fake.added.size(), 2);
    ASSERT_EQ(fake.shown().size(), 1);
    EXPECT_EQ(fake.shown().first().body, QStringLiteral("2"));
    EXPECT_NE(&UserNotificationCenter::current(), &fake);

    fake.removeAllDeliveredNotifications();
    EXPECT_TRUE(fake.shown().isEmpty());
    EXPECT_EQ(fake.removals, 1);
    EXPECT_EQ(fake.added.size(), 2);
}

}

#include "FreedesktopNotificationCenterTests.moc"
