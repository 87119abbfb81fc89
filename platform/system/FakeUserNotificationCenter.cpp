#include "FakeUserNotificationCenter.h"

void FakeUserNotificationCenter::add(const UserNotificationRequest& request)
{
    added.append(request);
    for (UserNotificationRequest& current : shownNow) {
        if (current.identifier == request.identifier) {
            current = request;
            return;
        }
    }
    shownNow.append(request);
}

void FakeUserNotificationCenter::removeAllDeliveredNotifications()
{
    ++removals;
    shownNow.clear();
}
