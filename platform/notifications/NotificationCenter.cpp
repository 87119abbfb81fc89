#include "NotificationCenter.h"

#include <algorithm>

NotificationCenter::~NotificationCenter()
{
    removeWhere([](const Entry&) { return true; });
}

NotificationCenter& NotificationCenter::defaultCenter()
{
    // Never destroyed, so observers that outlive main() (statics, late owners) stay harmless.
    static auto* center = new NotificationCenter;
    return *center;
}

bool NotificationCenter::isDeliverable(const Entry& entry)
{
    if (entry.removed.load())
        return false;
    // An owner that was given and is gone (or going) silences the observer at once, even before
    // its destroyed() signal has purged the entry.
    return entry.ownerKey == nullptr || !entry.owner.isNull();
}

void NotificationCenter::post(const QString& name, const QVariant& object, const QVariantMap& userInfo)
{
    // Deliver to a snapshot so handlers can change the registrations freely; the removed flag
    // and the owner check keep the snapshot from calling anyone who left in the meantime.
    std::vector<EntryPtr> targets;
    {
        std::lock_guard lock(mutex);
        for (const auto& entry : entries) {
            if (entry->name == name)
                targets.push_back(entry);
        }
    }
    if (targets.empty())
        return;
    const Notification notification{name, object, userInfo};
    for (const auto& entry : targets) {
        if (isDeliverable(*entry))
            entry->handler(notification);
    }
}

NotificationCenter::ObserverToken NotificationCenter::addObserver(const QString& name, QObject* owner,
                                                                  Handler handler)
{
    auto entry = std::make_shared<Entry>();
    entry->name = name;
    entry->ownerKey = owner;
    entry->owner = owner;
    entry->handler = std::move(handler);
    {
        std::lock_guard lock(mutex);
        entry->id = nextId++;
    }
    if (owner) {
        const quint64 id = entry->id;
        // Direct connection: runs in the destroying thread, after QPointer has been cleared.
        // Made before the entry is published so that any removal can also disconnect it.
        entry->ownerDestroyed = QObject::connect(owner, &QObject::destroyed, [this, id] {
            removeWhere([id](const Entry& e) { return e.id == id; });
        });
    }
    {
        std::lock_guard lock(mutex);
        entries.push_back(entry);
    }
    return ObserverToken(entry->id);
}

template <typename Pred> void NotificationCenter::removeWhere(Pred matches)
{
    std::vector<EntryPtr> gone;
    {
        std::lock_guard lock(mutex);
        auto keep = std::stable_partition(entries.begin(), entries.end(),
                                          [&](const EntryPtr& e) { return !matches(*e); });
        gone.assign(std::make_move_iterator(keep), std::make_move_iterator(entries.end()));
        entries.erase(keep, entries.end());
        for (const auto& e : gone)
            e->removed = true;
    }
    // Disconnect outside the lock: Qt takes its own locks, and a sender that is already gone
    // makes this a no-op.
    for (const auto& e : gone)
        QObject::disconnect(e->ownerDestroyed);
}

void NotificationCenter::removeObserver(ObserverToken token)
{
    if (!token.isValid())
        return;
    removeWhere([&](const Entry& e) { return e.id == token.id; });
}

void NotificationCenter::removeObserver(const QObject* owner)
{
    if (!owner)
        return;
    removeWhere([&](const Entry& e) { return e.ownerKey == owner; });
}

void NotificationCenter::removeObserver(const QObject* owner, const QString& name)
{
    if (!owner)
        return;
    removeWhere([&](const Entry& e) { return e.ownerKey == owner && e.name == name; });
}

int NotificationCenter::observerCount(const QString& name) const
{
    std::lock_guard lock(mutex);
    return int(std::count_if(entries.begin(), entries.end(),
                             [&](const EntryPtr& e) { return e->name == name && isDeliverable(*e); }));
}
