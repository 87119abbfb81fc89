#pragma once

#include "NotificationCenter.h"

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include <memory>

// Notifications between programs of the same desktop session, sent as one D-Bus signal on the
// session bus. Every program that observes a name hears every post of it, its own included.
// The object of a distributed notification is a string (usually a bundle identifier).
// Handlers run on the main thread.
class DistributedNotificationCenter {
public:
    using Handler = NotificationCenter::Handler;
    using ObserverToken = NotificationCenter::ObserverToken;

    static constexpr auto interfaceName = "org.veltamorine.DistributedNotification";
    static constexpr auto objectPath = "/org/veltamorine/DistributedNotification";
    static constexpr auto signalName = "Posted";

    explicit DistributedNotificationCenter(const QDBusConnection& connection = QDBusConnection::sessionBus());
    ~DistributedNotificationCenter();
    DistributedNotificationCenter(const DistributedNotificationCenter&) = delete;
    DistributedNotificationCenter& operator=(const DistributedNotificationCenter&) = delete;

    // The centre on the session bus.
    static DistributedNotificationCenter& defaultCenter();

    // Whether the bus connection is up; posts and observers do nothing without it.
    bool isConnected() const;

    // Sends the notification to every observer in the session; false when it could not be sent.
    bool post(const QString& name, const QString& object = {});

    // Observes `name`; with a non-empty `object` only posts carrying exactly that object reach
    // the handler. The observer ends with its owner, like those of NotificationCenter.
    ObserverToken observe(const QString& name, QObject* owner, Handler handler);
    ObserverToken observe(const QString& name, const QString& object, QObject* owner, Handler handler);
    void removeObserver(ObserverToken token);
    void removeObserver(const QObject* owner);

private:
    class Receiver;
    QDBusConnection connection;
    NotificationCenter observers;
    std::unique_ptr<Receiver> receiver;
    bool subscribed = false;
};
