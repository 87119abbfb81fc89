#pragma once

#include "UserNotificationCenter.h"

#include <QList>

// A notification centre for unit tests: records every request and keeps what a desktop would
// still show (one notification per identifier, the newest).
class FakeUserNotificationCenter final : public UserNotificationCenter {
public:
    void add(const UserNotificationRequest& request) override;
    // Empties what is shown and counts the call.
    void removeAllDeliveredNotifications() override;

    // Every request, in the order added.
    QList<UserNotificationRequest> added;
    // The notifications shown now, in the order they first appeared.
    QList<UserNotificationRequest> shown() const { return shownNow; }
    // How often everything shown was removed.
    int removals = 0;

private:
    QList<UserNotificationRequest> shownNow;
};
