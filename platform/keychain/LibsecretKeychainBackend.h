#pragma once

#include "KeychainBackend.h"

#include <chrono>

// The desktop's keyring through the Secret Service (libsecret, synchronous calls). Items carry
// the schema "org.veltamorine.Secret" with one attribute, "key". New items go into the default
// collection. A missing service, missing default collection or locked collection is never
// waited out or prompted for: reads give none and writes fail, and every call ends within
// `timeout` even when the service stops answering.
class LibsecretKeychainBackend : public KeychainBackend {
public:
    static constexpr auto schemaName = "org.veltamorine.Secret";
    static constexpr auto keyAttribute = "key";

    explicit LibsecretKeychainBackend(std::chrono::milliseconds timeout = std::chrono::seconds(10));

    std::optional<QString> read(const QString& key) override;
    bool write(const QString& key, const QString& value) override;
    bool remove(const QString& key) override;

private:
    std::chrono::milliseconds timeout;
};
