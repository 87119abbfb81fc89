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

    // The process-wide centre.
    static UserNotificationCenter& current();
    // Installs `center` as the process-wide one (not owned); null brings back the desktop's.
    static void setCurrent(UserNotificationCenter* center);
};
