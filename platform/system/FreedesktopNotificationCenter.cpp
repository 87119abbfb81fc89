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
    if (serverId)
        shown.serverId = *serverId;
    if (shown.waiting) {
        const UserNotificationRequest next = *shown.waiting;
        shown.waiting.reset();
        send(next);
    }
}
