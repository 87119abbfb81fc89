#include "MemoryKeychainBackend.h"

std::optional<QString> MemoryKeychainBackend::read(const QString& key)
{
    std::lock_guard lock(mutex);
    const auto it = items.constFind(key);
    if (it == items.cend())
        return std::nullopt;
    return *it;
}

bool MemoryKeychainBackend::write(const QString& key, const QString& value)
{
    std::lock_guard lock(mutex);
    items.insert(key, value);
    return true;
}

bool MemoryKeychainBackend::remove(const QString& key)
{
    std::lock_guard lock(mutex);
    items.remove(key);
    return true;
}

int MemoryKeychainBackend::count() const
{
    std::lock_guard lock(mutex);
    return int(items.size());
}
