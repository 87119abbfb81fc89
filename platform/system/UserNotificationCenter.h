#pragma once

#include "UserNotificationRequest.h"

// Where the application's notifications for the user go: the desktop's notification service
// (FreedesktopNotificationCenter) unless a test installs its own (FakeUserNotificationCenter).
// Main thread.
class UserNotificationCenter {
public:
    virtual ~UserNotificationCenter();

    // Shows `request`. Whether the desktop showed it is not reported: with notifications turned
    // off, or without a notification service, nothing happens.
    virtual void add(const UserNotificationRequest& request) = 0;
    // Takes away every notification this process has shown that the desktop may still hold,
    // and drops requests not sent yet (signing out leaves nothing of the account on screen).
    virtual void removeAllDeliveredNotifications() = 0;

    // The process-wide centre.
    static UserNotificationCenter& current();
    // Installs `center` as the process-wide one (not owned); null brings back the desktop's.
    static void setCurrent(UserNotificationCenter* center);
};
