#pragma once

#include <QString>

#include <memory>
#include <optional>

// Where Keychain items live. The process uses one backend, the system keyring by default;
// unit tests of higher layers install a MemoryKeychainBackend instead.
// Implementations are safe to call from any thread and never log values.
class KeychainBackend {
public:
    virtual ~KeychainBackend() = default;

    // The value under `key`; none when there is no such item or it can't be read.
    virtual std::optional<QString> read(const QString& key) = 0;
    // Stores or replaces the item; false when it could not be stored.
    virtual bool write(const QString& key, const QString& value) = 0;
    // Deletes the item; true when no such item remains (also when there was none).
    virtual bool remove(const QString& key) = 0;

    static std::shared_ptr<KeychainBackend> current();
    // Installs `backend` for the whole process; null goes back to the system keyring.
    static void setCurrent(std::shared_ptr<KeychainBackend> backend);
};
