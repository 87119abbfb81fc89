#include "SessionBusName.h"

#include "NotificationsLog.h"

#include <QDBusConnectionInterface>
#include <QStringList>

namespace {

// The bus refuses longer names.
constexpr qsizetype maximumNameLength = 255;

QString sanitisedElement(const QString& element)
{
    QString out;
    out.reserve(element.size() + 1);
    for (QChar c : element) {
        const bool allowed = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9')
            || c == u'_' || c == u'-';
        out.append(allowed ? c : QChar(u'_'));
    }
    if (!out.isEmpty() && out.front().isDigit())
        out.prepend(u'_');
    return out;
}

}

QString SessionBusName::fromBundleIdentifier(const QString& bundleIdentifier)
{
    QStringList elements;
    for (const QString& part : bundleIdentifier.split(u'.', Qt::SkipEmptyParts))
        elements.append(sanitisedElement(part));
    if (elements.size() < 2)
        elements.prepend(QStringLiteral("org.veltamorine"));
    QString name = elements.join(u'.').left(maximumNameLength);
    while (name.endsWith(u'.'))
        name.chop(1);
    return name;
}

bool SessionBusName::claim(const QString& bundleIdentifier, const QDBusConnection& connection)
{
    QDBusConnectionInterface* bus = connection.interface();
    if (!connection.isConnected() || !bus)
        return false;
    const QString name = fromBundleIdentifier(bundleIdentifier);
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply = bus->registerService(
        name, QDBusConnectionInterface::DontQueueService, QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid()) {
        qCWarning(lcNotifications) << "could not claim" << name << reply.error().message();
        return false;
    }
    return reply.value() == QDBusConnectionInterface::ServiceRegistered;
}

void SessionBusName::release(const QString& bundleIdentifier, const QDBusConnection& connection)
{
    if (QDBusConnectionInterface* bus = connection.interface(); connection.isConnected() && bus)
        bus->unregisterService(fromBundleIdentifier(bundleIdentifier));
}

bool SessionBusName::hasOwner(const QString& bundleIdentifier, const QDBusConnection& connection)
{
    QDBusConnectionInterface* bus = connection.interface();
    if (!connection.isConnected() || !bus)
        return false;
    const QDBusReply<bool> reply = bus->isServiceRegistered(fromBundleIdentifier(bundleIdentifier));
    return reply.isValid() && reply.value();
}
