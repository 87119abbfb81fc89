#include "FreedesktopNotificationCenter.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>

FreedesktopNotificationCenter::FreedesktopNotificationCenter(const QDBusConnection& connection, QString applicationName,
                                                             QString service)
    : connection(connection)
    , applicationName(applicationName.isEmpty() ? QCoreApplication::applicationName() : std::move(applicationName))
    , service(std::move(service))
    , context(std::make_unique<QObject>())
{
}

FreedesktopNotificationCenter::~FreedesktopNotificationCenter() = default;

QVariantMap FreedesktopNotificationCenter::hints()
{
    return QVariantMap{
        {QStringLiteral("urgency"), QVariant::fromValue(uchar(1))},
        {QStringLiteral("sound-name"), QStringLiteral("message-new-instant")},
    };
}

void FreedesktopNotificationCenter::add(const UserNotificationRequest& request)
{
    if (!connection.isConnected())
        return;
    Shown& shown = byIdentifier[request.identifier];
    if (shown.inFlight) {
        shown.waiting = request;
        return;
    }
    send(request);
}

void FreedesktopNotificationCenter::send(const UserNotificationRequest& request)
{
    Shown& shown = byIdentifier[request.identifier];
    shown.inFlight = true;
    QDBusMessage call = QDBusMessage::createMethodCall(service, QString::fromLatin1(objectPath),
                                                       QString::fromLatin1(interfaceName), QStringLiteral("Notify"));
    call << applicationName << shown.serverId << QString() << request.title << request.body << QStringList()
         << hints() << qint32(-1);
    auto* watcher = new QDBusPendingCallWatcher(connection.asyncCall(call), context.get());
    const QString identifier = request.identifier;
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context.get(),
                     [this, identifier](QDBusPendingCallWatcher* finished) {
                         QDBusPendingReply<quint32> reply = *finished;
                         finished->deleteLater();
                         answered(identifier, reply.isError() ? std::nullopt : std::optional<quint32>(reply.value()));
                     });
}

void FreedesktopNotificationCenter::answered(const QString& identifier, std::optional<quint32> serverId)
{
    Shown& shown = byIdentifier[identifier];
    shown.inFlight = false;
    if (shown.closeWhenAnswered) {
        shown.closeWhenAnswered = false;
        if (serverId)
            close(*serverId);
        shown.serverId = 0;
    } else if (serverId) {
        shown.serverId = *serverId;
    }
    if (shown.waiting) {
        const UserNotificationRequest next = *shown.waiting;
        shown.waiting.reset();
        send(next);
    } else if (shown.serverId == 0) {
        byIdentifier.remove(identifier);
    }
}

void FreedesktopNotificationCenter::removeAllDeliveredNotifications()
{
    for (auto it = byIdentifier.begin(); it != byIdentifier.end();) {
        Shown& shown = it.value();
        shown.waiting.reset();
        if (shown.inFlight) {
            shown.closeWhenAnswered = true;
            ++it;
            continue;
        }
        if (shown.serverId != 0)
            close(shown.serverId);
        it = byIdentifier.erase(it);
    }
}

void FreedesktopNotificationCenter::close(quint32 serverId)
{
    if (!connection.isConnected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(service, QString::fromLatin1(objectPath),
                                                       QString::fromLatin1(interfaceName), QStringLiteral("CloseNotification"));
    call << serverId;
    // A notification the user already dismissed is answered with an error; nothing to do then.
    connection.asyncCall(call);
}
