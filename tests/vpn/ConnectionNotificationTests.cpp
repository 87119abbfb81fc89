#include "ConnectionNotification.h"
#include "FakeUserNotificationCenter.h"

#include <gtest/gtest.h>

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

}
