#include "ConnectionNotification.h"
#include "FakeUserNotificationCenter.h"
#include "FreedesktopNotificationCenter.h"
#include "TestSupport.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QMap>
#include <QObject>
#include <gtest/gtest.h>

// A notification service of the test's own on a bus connection of its own: what it keeps in
// `shown` is what the user would see.
class ShownNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    struct Shown {
        QString summary;
        QString body;
    };
    QMap<uint, Shown> shown;
    int calls = 0;

public slots:
    uint Notify(const QString&, uint replacesId, const QString&, const QString& summary, const QString& body,
                const QStringList&, const QVariantMap&, int)
    {
        ++calls;
        const uint id = replacesId != 0 && shown.contains(replacesId) ? replacesId : nextId++;
        shown.insert(id, Shown{summary, body});
        return id;
    }
    QStringList GetCapabilities() { return {QStringLiteral("body")}; }
    void CloseNotification(uint id) { shown.remove(id); }

private:
    uint nextId = 1;
};

namespace {

TEST(ConnectionNotificationTest, ConnectThenDisconnectLeavesTheDisconnectedNotificationAlone)
{
    FakeUserNotificationCenter center;
    UserNotificationCenter::setCurrent(&center);
    ConnectionNotification::showConnectionNotification(QStringLiteral("You are connected"));
    ConnectionNotification::showConnectionNotification(QStringLiteral("You are disconnected"));
    UserNotificationCenter::setCurrent(nullptr);

    ASSERT_EQ(center.added.size(), 2);
    for (const UserNotificationRequest& request : center.added) {
        EXPECT_EQ(request.title, QStringLiteral("Veltamorine"));
        EXPECT_EQ(request.identifier, QStringLiteral("VeltamorineConnectionNotification"));
    }
    ASSERT_EQ(center.shown().size(), 1);
    EXPECT_EQ(center.shown().first().body, QStringLiteral("You are disconnected"));
}

TEST(ConnectionNotificationTest, MessageGoesIntoTheBodyUnchangedEvenWhenEmpty)
{
    FakeUserNotificationCenter center;
    for (const QString& message : {QString(), QStringLiteral("  Connected to <b>Paris</b> & more  ")}) {
        ConnectionNotification::showConnectionNotification(message, center);
        EXPECT_EQ(center.added.last().body, message);
    }
}

// The same through the desktop's notification service on the session bus: connected, then
// disconnected, once right after the other and once after the first was on screen.
TEST(ConnectionNotificationTest, OverTheSessionBusOnlyTheNewestConnectionNotificationStays)
{
    ASSERT_TRUE(QDBusConnection::sessionBus().isConnected()) << "run under the private test session";
    const QString connectionName = QStringLiteral("connection-notification-server");
    const QString service = QStringLiteral("org.veltamorine.test.ConnectionNotifications.p%1").arg(QCoreApplication::applicationPid());
    QDBusConnection serverBus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, connectionName);
    ASSERT_TRUE(serverBus.isConnected());
    ShownNotifications server;
    ASSERT_TRUE(serverBus.registerObject(QString::fromLatin1(FreedesktopNotificationCenter::objectPath), &server,
                                         QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(serverBus.registerService(service));

    for (const bool waitInBetween : {false, true}) {
        SCOPED_TRACE(waitInBetween ? "after the first was shown" : "one right after the other");
        server.shown.clear();
        server.calls = 0;
        FreedesktopNotificationCenter center(QDBusConnection::sessionBus(), QStringLiteral("Veltamorine"), service);
        ConnectionNotification::showConnectionNotification(QStringLiteral("You are connected"), center);
        if (waitInBetween) {
            ASSERT_TRUE(TestSupport::waitUntil([&] { return server.shown.size() == 1; }, 3000));
        }
        ConnectionNotification::showConnectionNotification(QStringLiteral("You are disconnected"), center);
        ASSERT_TRUE(TestSupport::waitUntil([&] {
            return !server.shown.isEmpty() && server.shown.last().body == QStringLiteral("You are disconnected");
        }, 3000));
        TestSupport::processEvents(50);
        ASSERT_EQ(server.shown.size(), 1);
        EXPECT_EQ(server.shown.first().summary, QStringLiteral("Veltamorine"));
        EXPECT_EQ(server.shown.first().body, QStringLiteral("You are disconnected"));
        if (waitInBetween) {
            EXPECT_EQ(server.calls, 2);
        }
    }

    serverBus.unregisterService(service);
    serverBus.unregisterObject(QString::fromLatin1(FreedesktopNotificationCenter::objectPath));
    QDBusConnection::disconnectFromBus(connectionName);
}

}

#include "ConnectionNotificationTests.moc"
