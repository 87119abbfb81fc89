#pragma once

#include <QMetaType>
#include <QString>
#include <QVariantMap>
#include <optional>

// One message of the notification bar (NotificationBarController.Notification in the shell,
// which sits above this library): the object of "ShowNotification".
struct NotificationBarControllerNotification {
    enum class Color { Red, Yellow, Green };

    // Posted on the default notification centre; the notification bar shows the object.
    static inline const QString showNotification = QStringLiteral("ShowNotification");

    QString id;
    QString title;
    QString message;
    std::optional<QString> primaryButtonTitle;
    std::optional<QString> secondaryButtonTitle;
    bool closeable = true;
    Color color = Color::Green;
    std::optional<QVariantMap> info;
    bool isFromExpire = false;

    bool operator==(const NotificationBarControllerNotification&) const = default;
};

Q_DECLARE_METATYPE(NotificationBarControllerNotification)
