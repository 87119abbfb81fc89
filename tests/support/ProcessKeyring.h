#pragma once

// Every test case runs as a process of its own, many at once, and all of them share the one
// keyring of the test session. Items of the application have fixed names (the OAuth client's
// token pair, the account's secrets, the renewed access tokens), so two cases could read each
// other's values. ProcessKeyring::use() keeps the real keyring but puts every item of this
// process under a name of its own. Header-only: include it where the keychain library is linked.

#include "KeychainBackend.h"
#include "LibsecretKeychainBackend.h"

#include <QUuid>
#include <memory>

class ProcessScopedKeychainBackend final : public KeychainBackend {
public:
    ProcessScopedKeychainBackend(std::shared_ptr<KeychainBackend> keyring, QString scope)
        : keyring(std::move(keyring))
        , scope(std::move(scope))
    {
    }

    std::optional<QString> read(const QString& key) override { return keyring->read(scope + key); }
    bool write(const QString& key, const QString& value) override { return keyring->write(scope + key, value); }
    bool remove(const QString& key) override { return keyring->remove(scope + key); }

private:
    std::shared_ptr<KeychainBackend> keyring;
    QString scope;
};

namespace ProcessKeyring {

// The prefix of this process's items.
inline const QString& scope()
{
    static const QString prefix = QStringLiteral("test-%1/").arg(QUuid::createUuid().toString(QUuid::Id128));
    return prefix;
}

// Installs the scoped system keyring as the process's backend (once; later calls keep it).
inline void use()
{
    static const bool installed = [] {
        KeychainBackend::setCurrent(std::make_shared<ProcessScopedKeychainBackend>(std::make_shared<LibsecretKeychainBackend>(), scope()));
        return true;
    }();
    (void)installed;
}

}
