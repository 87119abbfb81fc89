// GLib headers first: Qt's "signals" keyword must not meet GIO's structures.
#include <libsecret/secret.h>

#include "LibsecretKeychainBackend.h"

#include "KeychainLog.h"

#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

const SecretSchema* schema()
{
    static const SecretSchema s = {
        LibsecretKeychainBackend::schemaName,
        SECRET_SCHEMA_NONE,
        {{LibsecretKeychainBackend::keyAttribute, SECRET_SCHEMA_ATTRIBUTE_STRING}, {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING}},
        0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
    return &s;
}

// A cancellable that cancels itself when the call it guards takes longer than the timeout, so a
// keyring that hangs (or waits for a prompt nobody answers) cannot block the caller for good.
class Deadline {
public:
    explicit Deadline(std::chrono::milliseconds timeout) : cancellable(g_cancellable_new())
    {
        watchdog = std::thread([this, timeout] {
            std::unique_lock lock(mutex);
            if (!finished.wait_for(lock, timeout, [this] { return done; }))
                g_cancellable_cancel(cancellable);
        });
    }
    ~Deadline()
    {
        {
            std::lock_guard lock(mutex);
            done = true;
        }
        finished.notify_one();
        watchdog.join();
        g_object_unref(cancellable);
    }
    Deadline(const Deadline&) = delete;
    Deadline& operator=(const Deadline&) = delete;

    GCancellable* get() const { return cancellable; }

private:
    GCancellable* cancellable;
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    std::thread watchdog;
};

// Owns a GError and logs its message (never a value) under a short description of the step.
struct ErrorSlot {
    GError* error = nullptr;
    ~ErrorSlot() { g_clear_error(&error); }
    GError** out() { return &error; }
    bool failed(const char* step, const QString& key) const
    {
        if (!error)
            return false;
        qCWarning(lcKeychain) << step << "failed for item" << key << ":" << error->message;
        return true;
    }
};

template <typename T> struct Unref {
    void operator()(T* object) const { g_object_unref(object); }
};
template <typename T> using GPtr = std::unique_ptr<T, Unref<T>>;

struct HashTableUnref {
    void operator()(GHashTable* table) const { g_hash_table_unref(table); }
};

std::unique_ptr<GHashTable, HashTableUnref> attributesFor(const QByteArray& key)
{
    return std::unique_ptr<GHashTable, HashTableUnref>(
        secret_attributes_build(schema(), LibsecretKeychainBackend::keyAttribute, key.constData(), nullptr));
}

GPtr<SecretService> openService(GCancellable* cancellable, const QString& key)
{
    ErrorSlot error;
    // Only a session for moving secrets: loading every collection and item up front would fail
    // whenever another program deletes an item at that moment.
    SecretService* service = secret_service_get_sync(SECRET_SERVICE_OPEN_SESSION, cancellable, error.out());
    if (error.failed("connecting to the keyring", key) || !service)
        return nullptr;
    return GPtr<SecretService>(service);
}

}

LibsecretKeychainBackend::LibsecretKeychainBackend(std::chrono::milliseconds timeout) : timeout(timeout) {}

std::optional<QString> LibsecretKeychainBackend::read(const QString& key)
{
    Deadline deadline(timeout);
    const auto service = openService(deadline.get(), key);
    if (!service)
        return std::nullopt;
    const QByteArray utf8Key = key.toUtf8();
    const auto attributes = attributesFor(utf8Key);
    ErrorSlot error;
    // No SECRET_SEARCH_UNLOCK: an item in a locked collection reads as absent, with no prompt.
    GList* items = secret_service_search_sync(service.get(), schema(), attributes.get(),
                                              SecretSearchFlags(SECRET_SEARCH_ALL | SECRET_SEARCH_LOAD_SECRETS),
                                              deadline.get(), error.out());
    if (error.failed("reading", key))
        return std::nullopt;
    std::optional<QString> found;
    for (GList* node = items; node && !found; node = node->next) {
        SecretValue* value = secret_item_get_secret(SECRET_ITEM(node->data));
        if (!value)
            continue;
        gsize length = 0;
        const gchar* bytes = secret_value_get(value, &length);
        found = QString::fromUtf8(bytes, qsizetype(length));
        secret_value_unref(value);
    }
    g_list_free_full(items, g_object_unref);
    return found;
}

bool LibsecretKeychainBackend::write(const QString& key, const QString& value)
{
    Deadline deadline(timeout);
    const auto service = openService(deadline.get(), key);
    if (!service)
        return false;
    {
        // Storing into a missing or locked collection would ask the user through a prompt;
        // refuse instead and let the caller carry on without the item.
        ErrorSlot error;
        GPtr<SecretCollection> collection(secret_collection_for_alias_sync(
            service.get(), SECRET_COLLECTION_DEFAULT, SECRET_COLLECTION_NONE, deadline.get(), error.out()));
        if (error.failed("finding the default keyring", key))
            return false;
        if (!collection) {
            qCWarning(lcKeychain) << "no default keyring; item" << key << "not stored";
            return false;
        }
        if (secret_collection_get_locked(collection.get())) {
            qCWarning(lcKeychain) << "the default keyring is locked; item" << key << "not stored";
            return false;
        }
    }
    const QByteArray utf8Key = key.toUtf8();
    QByteArray utf8Value = value.toUtf8();
    const auto attributes = attributesFor(utf8Key);
    SecretValue* secret = secret_value_new(utf8Value.constData(), utf8Value.size(), "text/plain");
    ErrorSlot error;
    const gboolean stored = secret_service_store_sync(service.get(), schema(), attributes.get(),
                                                      SECRET_COLLECTION_DEFAULT, utf8Key.constData(), secret,
                                                      deadline.get(), error.out());
    secret_value_unref(secret);
    utf8Value.fill('\0');   // the keyring has its own copy now
    return !error.failed("storing", key) && stored;
}

bool LibsecretKeychainBackend::remove(const QString& key)
{
    Deadline deadline(timeout);
    const auto service = openService(deadline.get(), key);
    if (!service)
        return false;
    const QByteArray utf8Key = key.toUtf8();
    const auto attributes = attributesFor(utf8Key);
    ErrorSlot error;
    // Deleting item by item: libsecret's own clear skips items of a locked collection and still
    // reports success, which would leave a secret behind while the caller thinks it is gone.
    GList* items = secret_service_search_sync(service.get(), schema(), attributes.get(), SECRET_SEARCH_ALL,
                                              deadline.get(), error.out());
    if (error.failed("finding the item to delete", key))
        return false;
    bool allGone = true;
    for (GList* node = items; node; node = node->next) {
        SecretItem* item = SECRET_ITEM(node->data);
        if (secret_item_get_locked(item)) {
            qCWarning(lcKeychain) << "item" << key << "is in a locked keyring; not deleted";
            allGone = false;
            continue;
        }
        ErrorSlot deleteError;
        secret_item_delete_sync(item, deadline.get(), deleteError.out());
        if (deleteError.failed("deleting", key))
            allGone = false;
    }
    g_list_free_full(items, g_object_unref);
    return allGone;
}
