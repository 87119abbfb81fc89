#pragma once

#include "KeychainBackend.h"

#include <QHash>

#include <mutex>

// Items kept in memory for the life of the object: the keyring of unit tests.
class MemoryKeychainBackend : public KeychainBackend {
public:
    std::optional<QString> read(const QString& key) override;
    bool write(const QString& key, const QString& value) override;
    bool remove(const QString& key) override;

    // Number of items held (tests check what was left behind).
    int count() const;

private:
    mutable std::mutex mutex;
    QHash<QString, QString> items;
};
