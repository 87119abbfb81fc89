#include "Keychain.h"

Keychain::Keychain(QString keyPrefix, std::shared_ptr<KeychainBackend> backend)
    : prefix(std::move(keyPrefix)), backend(std::move(backend))
{
}

std::shared_ptr<KeychainBackend> Keychain::store() const
{
    return backend ? backend : KeychainBackend::current();
}

std::optional<QString> Keychain::get(const QString& key) const
{
    return store()->read(prefixed(key));
}

bool Keychain::set(const QString& value, const QString& key)
{
    return store()->write(prefixed(key), value);
}

bool Keychain::remove(const QString& key)
{
    return store()->remove(prefixed(key));
}
