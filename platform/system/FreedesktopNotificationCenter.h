#pragma once

#include "UserNotificationCenter.h"

#include <QDBusConnection>
#include <QHash>
#include <QObject>
#include <QString>
#include <QVariantMap>
#include <memory>
#include <optional>

// Notifications through the desktop's notification service (org.freedesktop.Notifications on
// the session bus). Calls never block: each Notify is sent asynchronously, and the number the
// service gives back is kept per identifier so that the next request of the same identifier
// replaces that notification. A request made while the previous one of its identifier is still
// unanswered waits for that answer (only the newest waiting one is sent), so quick successions
// still leave one notification. Main thread.
class FreedesktopNotificationCenter final : public UserNotificationCenter {
public:
    static constexpr auto serviceName = "org.freedesktop.Notifications";
    static constexpr auto objectPath = "/org/freedesktop/Notifications";
    static constexpr auto interfaceName = "org.freedesktop.Notifications";

    // `applicationName` defaults to the application's name; `service` is the bus name the
    // notification service is reached at (the desktop's unless a test runs its own).
    explicit FreedesktopNotificationCenter(const QDBusConnection& connection = QDBusConnection::sessionBus(),
                                           QString applicationName = {}, QString service = QString::fromLatin1(serviceName));
    ~FreedesktopNotificationCenter() override;
    FreedesktopNotificationCenter(const FreedesktopNotificationCenter&) = delete;
    FreedesktopNotificationCenter& operator=(const FreedesktopNotificationCenter&) = delete;

    void add(const UserNotificationRequest& request) override;
    // CloseNotification for each number the service handed out; one still on its way is closed
    // as soon as the service answers.
    void removeAllDeliveredNotifications() override;

    // The hints sent with every notification: shown with its sound, normal urgency.
    static QVariantMap hints();

private:
    struct Shown {
        quint32 serverId = 0;  // 0: none shown yet
        bool inFlight = false;
        bool closeWhenAnswered = false;  // removed while its Notify was on its way
        std::optional<UserNotificationRequest> waiting;
    };

    void send(const UserNotificationRequest& request);
    void answered(const QString& identifier, std::optional<quint32> serverId);
    void close(quint32 serverId);

    QDBusConnection connection;
    QString applicationName;
    QString service;
    QHash<QString, Shown> byIdentifier;
    std::unique_ptr<QObject> context;  // owns the pending calls; they end with the centre
};
