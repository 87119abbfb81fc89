#pragma once

#include <QString>
#include <QVariant>
#include <QVariantMap>

// One named event as the notification centre hands it to observers: what happened (name), who or
// what it concerns (object, often empty) and any further details (userInfo).
struct Notification {
    QString name;
    QVariant object;
    QVariantMap userInfo;
};
