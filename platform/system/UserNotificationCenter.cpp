#include "UserNotificationCenter.h"

#include "FreedesktopNotificationCenter.h"

#include <atomic>

namespace {

std::atomic<UserNotificationCenter*> installed{nullptr};

}

UserNotificationCenter::~UserNotificationCenter() = default;

UserNotificationCenter& UserNotificationCenter::current()
{
    if (UserNotificationCenter* center = installed.load())
        return *center;
    static FreedesktopNotificationCenter desktop;
    return desktop;
}

void UserNotificationCenter::setCurrent(UserNotificationCenter* center)
{
    installed.store(center);
}
