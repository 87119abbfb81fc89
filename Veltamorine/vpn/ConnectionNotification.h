#pragma once

#include "UserNotificationCenter.h"

#include <QString>

// The notification that tells the user the VPN connected or disconnected. Every one carries the
// same identifier, so a newer one takes the place of the one still shown: connect, then
// disconnect, leaves the user one notification. The desktop shows it with its sound whether or
// not the application is in front.
class ConnectionNotification {
public:
    static inline const QString title = QStringLiteral("Veltamorine");
    static inline const QString identifier = QStringLiteral("VeltamorineConnectionNotification");

    // Shows `message` (unchanged, possibly empty) at once. Whether it was shown is not reported.
    static void showConnectionNotification(const QString& message,
                                           UserNotificationCenter& center = UserNotificationCenter::current());
};
