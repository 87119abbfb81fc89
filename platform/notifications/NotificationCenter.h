#pragma once

#include "Notification.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

// Named notifications inside the process.
//
// post() delivers synchronously on the posting thread, to the observers of that name in the
// order they were added. Observers belong to an owner QObject: once the owner is destroyed the
// observer is never called again. Handlers may post, add or remove observers while they are
// being delivered to: an observer added during a delivery first hears the next post of its
// name; an observer removed during a delivery is not called for the rest of it.
// Adding and removing observers is safe from any thread.
class NotificationCenter {
public:
    using Handler = std::function<void(const Notification&)>;

    // Identifies one registration; a default-constructed token names none.
    class ObserverToken {
    public:
        ObserverToken() = default;
        bool isValid() const { return id != 0; }
        bool operator==(const ObserverToken&) const = default;

    private:
        friend class NotificationCenter;
        explicit ObserverToken(quint64 id) : id(id) {}
        quint64 id = 0;
    };

    NotificationCenter() = default;
    ~NotificationCenter();
    NotificationCenter(const NotificationCenter&) = delete;
    NotificationCenter& operator=(const NotificationCenter&) = delete;

    // The process-wide centre every subsystem posts to.
    static NotificationCenter& defaultCenter();

    void post(const QString& name, const QVariant& object = {}, const QVariantMap& userInfo = {});

    // `owner` may be null: the observer then stays until removed by its token.
    ObserverToken addObserver(const QString& name, QObject* owner, Handler handler);
    void removeObserver(ObserverToken token);
    // Removes every observer of `owner`.
    void removeObserver(const QObject* owner);
    // Removes the observers of `owner` for one name.
    void removeObserver(const QObject* owner, const QString& name);

    // Number of live registrations for `name` (diagnostics and tests).
    int observerCount(const QString& name) const;

private:
    struct Entry {
        quint64 id = 0;
        QString name;
        const QObject* ownerKey = nullptr;
        QPointer<QObject> owner;
        Handler handler;
        QMetaObject::Connection ownerDestroyed;
        std::atomic<bool> removed = false;
    };
    using EntryPtr = std::shared_ptr<Entry>;

    template <typename Pred> void removeWhere(Pred matches);
    static bool isDeliverable(const Entry& entry);

    mutable std::mutex mutex;
    std::vector<EntryPtr> entries;
    quint64 nextId = 1;
};
