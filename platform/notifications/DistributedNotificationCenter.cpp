#include "DistributedNotificationCenter.h"

#include "DistributedNotificationCenterReceiver.h"
#include "NotificationsLog.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QThread>

DistributedNotificationCenter::DistributedNotificationCenter(const QDBusConnection& connection)
    : connection(connection), receiver(std::make_unique<Receiver>(observers))
{
    if (auto* app = QCoreApplication::instance(); app && receiver->thread() != app->thread())
        receiver->moveToThread(app->thread());
    if (!this->connection.isConnected()) {
        qCWarning(lcNotifications) << "no D-Bus session bus; distributed notifications are off:"
                                   << this->connection.lastError().message();
        return;
    }
    subscribed = this->connection.connect(QString(), QString::fromLatin1(objectPath),
                                          QString::fromLatin1(interfaceName), QString::fromLatin1(signalName),
                                          receiver.get(), SLOT(posted(QString, QString)));
    if (!subscribed)
        qCWarning(lcNotifications) << "could not subscribe to distributed notifications:"
                                   << this->connection.lastError().message();
}

DistributedNotificationCenter::~DistributedNotificationCenter()
{
    if (subscribed)
        connection.disconnect(QString(), QString::fromLatin1(objectPath), QString::fromLatin1(interfaceName),
                              QString::fromLatin1(signalName), receiver.get(), SLOT(posted(QString, QString)));
}

DistributedNotificationCenter& DistributedNotificationCenter::defaultCenter()
{
    // Never destroyed: the bus connection must not be torn down after the application object.
    static auto* center = new DistributedNotificationCenter;
    return *center;
}

bool DistributedNotificationCenter::isConnected() const
{
    return connection.isConnected();
}

bool DistributedNotificationCenter::post(const QString& name, const QString& object)
{
    if (!connection.isConnected())
        return false;
    QDBusMessage message = QDBusMessage::createSignal(QString::fromLatin1(objectPath),
                                                      QString::fromLatin1(interfaceName),
                                                      QString::fromLatin1(signalName));
    message << name << object;
    const bool sent = connection.send(message);
    if (!sent)
        qCWarning(lcNotifications) << "could not send distributed notification" << name;
    return sent;
}

DistributedNotificationCenter::ObserverToken DistributedNotificationCenter::observe(const QString& name,
                                                                                    QObject* owner,
                                                                                    Handler handler)
{
    return observers.addObserver(name, owner, std::move(handler));
}

DistributedNotificationCenter::ObserverToken DistributedNotificationCenter::observe(const QString& name,
                                                                                    const QString& object,
                                                                                    QObject* owner,
                                                                                    Handler handler)
{
    if (object.isEmpty())
        return observe(name, owner, std::move(handler));
    return observers.addObserver(name, owner, [object, handler = std::move(handler)](const Notification& n) {
        if (n.object.toString() == object)
            handler(n);
    });
}

void DistributedNotificationCenter::removeObserver(ObserverToken token)
{
    observers.removeObserver(token);
}

void DistributedNotificationCenter::removeObserver(const QObject* owner)
{
    observers.removeObserver(owner);
}
