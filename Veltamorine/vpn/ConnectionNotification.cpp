#include "ConnectionNotification.h"

void ConnectionNotification::showConnectionNotification(const QString& message, UserNotificationCenter& center)
{
    center.add(UserNotificationRequest{identifier, title, message});
}
