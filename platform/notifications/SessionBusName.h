#pragma once

#include <QDBusConnection>
#include <QString>

// The well-known session-bus name of one of our programs, derived from its bundle identifier.
// A program claims its name at start; "the program runs" means "the name has an owner".
class SessionBusName {
public:
    // A valid D-Bus well-known name for `bundleIdentifier`: characters other than letters,
    // digits, '_' and '-' become '_', empty elements are dropped, an element that starts with a
    // digit gets a leading '_', and a single element is put under "org.veltamorine".
    static QString fromBundleIdentifier(const QString& bundleIdentifier);

    // Takes the name for this connection; false when another connection owns it already or the
    // bus is not there. Claiming a name this connection already owns succeeds.
    static bool claim(const QString& bundleIdentifier,
                      const QDBusConnection& connection = QDBusConnection::sessionBus());
    static void release(const QString& bundleIdentifier,
                        const QDBusConnection& connection = QDBusConnection::sessionBus());
    static bool hasOwner(const QString& bundleIdentifier,
                         const QDBusConnection& connection = QDBusConnection::sessionBus());
};
