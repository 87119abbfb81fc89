#pragma once

#include <QString>

// One notification for the user, shown at once. A request carrying the identifier of a
// notification still shown takes that notification's place.
struct UserNotificationRequest {
    QString identifier;
    QString title;
    QString body;

    bool operator==(const UserNotificationRequest&) const = default;
};
