// Runs a fixed set of keychain calls against the session it was started in and prints what
// happened, one "name=value" line each (never a stored value). Modes prepare the session first:
//   plain   nothing (the caller chose the environment, e.g. no bus at all)
//   locked  start a keyring on this session, store an item, then lock the default collection
//   silent  own the Secret Service name on this session and never answer a call
#include <libsecret/secret.h>

#include "Keychain.h"
#include "LibsecretKeychainBackend.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QElapsedTimer>
#include <QProcess>
#include <QTextStream>

#include <chrono>

namespace {

QTextStream out(stdout);

class Swallower : public QDBusVirtualObject {
public:
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage&, const QDBusConnection&) override { return true; }
};

bool startKeyring()
{
    QProcess daemon;
    daemon.start(QStringLiteral("gnome-keyring-daemon"),
                 {QStringLiteral("--unlock"), QStringLiteral("--daemonize"), QStringLiteral("--components=secrets")});
    if (!daemon.waitForStarted(5000))
        return false;
    daemon.write("probe-password");
    daemon.closeWriteChannel();
    return daemon.waitForFinished(10000) && daemon.exitCode() == 0;
}

bool lockDefaultCollection()
{
    GError* error = nullptr;
    SecretService* service = secret_service_get_sync(SECRET_SERVICE_LOAD_COLLECTIONS, nullptr, &error);
    if (!service) {
        g_clear_error(&error);
        return false;
    }
    SecretCollection* collection =
        secret_collection_for_alias_sync(service, SECRET_COLLECTION_DEFAULT, SECRET_COLLECTION_NONE, nullptr, &error);
    bool locked = false;
    if (collection) {
        GList* objects = g_list_append(nullptr, collection);
        secret_service_lock_sync(service, objects, nullptr, nullptr, &error);
        g_list_free(objects);
        locked = !error && secret_collection_get_locked(collection);
        g_object_unref(collection);
    }
    g_clear_error(&error);
    g_object_unref(service);
    return locked;
}

// Items under "Probe.stored" still in the keyring, locked or not (attributes stay readable).
int storedItemsLeft()
{
    GError* error = nullptr;
    SecretService* service = secret_service_get_sync(SECRET_SERVICE_NONE, nullptr, &error);
    if (!service) {
        g_clear_error(&error);
        return -1;
    }
    GHashTable* attributes = g_hash_table_new(g_str_hash, g_str_equal);
    g_hash_table_insert(attributes, (gpointer) "key", (gpointer) "Probe.stored");
    GList* items = secret_service_search_sync(service, nullptr, attributes, SECRET_SEARCH_ALL, nullptr, &error);
    const int count = error ? -1 : int(g_list_length(items));
    g_list_free_full(items, g_object_unref);
    g_hash_table_unref(attributes);
    g_clear_error(&error);
    g_object_unref(service);
    return count;
}

}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QString mode = app.arguments().value(1, QStringLiteral("plain"));
    const int timeoutMs = app.arguments().value(2, QStringLiteral("10000")).toInt();
    auto backend = std::make_shared<LibsecretKeychainBackend>(std::chrono::milliseconds(timeoutMs));
    Keychain keychain(QStringLiteral("Probe."), backend);

    Swallower swallower;
    if (mode == u"locked") {
        const bool ready = startKeyring() && keychain.set(QStringLiteral("before-lock"), QStringLiteral("stored"))
            && keychain.get(QStringLiteral("stored")).has_value() && lockDefaultCollection();
        out << "setup=" << (ready ? "ok" : "failed") << Qt::endl;
    } else if (mode == u"silent") {
        QDBusConnection bus = QDBusConnection::sessionBus();
        const bool ready = bus.registerVirtualObject(QStringLiteral("/org/freedesktop/secrets"), &swallower,
                                                     QDBusConnection::SubPath)
            && bus.registerService(QStringLiteral("org.freedesktop.secrets"));
        out << "setup=" << (ready ? "ok" : "failed") << Qt::endl;
    }

    QElapsedTimer clock;
    clock.start();
    out << "readStored=" << (keychain.get(QStringLiteral("stored")) ? "present" : "absent") << Qt::endl;
    out << "write=" << (keychain.set(QStringLiteral("value"), QStringLiteral("new")) ? "ok" : "failed") << Qt::endl;
    out << "readNew=" << (keychain.get(QStringLiteral("new")) ? "present" : "absent") << Qt::endl;
    out << "remove=" << (keychain.remove(QStringLiteral("stored")) ? "ok" : "failed") << Qt::endl;
    out << "elapsedMs=" << clock.elapsed() << Qt::endl;
    if (mode == u"locked")
        out << "storedItemsLeft=" << storedItemsLeft() << Qt::endl;
    return 0;
}
