#pragma once

#include "KeychainBackend.h"

#include <QString>

#include <memory>
#include <optional>

// A store of string items under keys with a fixed prefix: the item "name" of a Keychain with the
// prefix "UserPreferences" is kept under "UserPreferencesname" (the prefix goes straight in
// front, with no separator). Any number of Keychain objects with the same prefix see the same
// items. Safe from any thread.
class Keychain {
public:
    // Without a backend every call goes to KeychainBackend::current().
    explicit Keychain(QString keyPrefix = {}, std::shared_ptr<KeychainBackend> backend = nullptr);

    std::optional<QString> get(const QString& key) const;
    // Stores or replaces the item; false when the keyring refused it.
    bool set(const QString& value, const QString& key);
    // Deletes the item; deleting one that does not exist is fine and returns true.
    bool remove(const QString& key);

    const QString& keyPrefix() const { return prefix; }

private:
    QString prefixed(const QString& key) const { return prefix + key; }
    std::shared_ptr<KeychainBackend> store() const;

    QString prefix;
    std::shared_ptr<KeychainBackend> backend;
};
