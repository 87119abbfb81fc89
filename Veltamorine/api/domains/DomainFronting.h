#pragma once

#include "BaseURL.h"
#include "Encryption.h"

#include <memory>
#include <optional>

class NetworkingProtocol;

// The one holder of the gateway domain list. It starts without a list: no source of domain
// lists exists yet, so the fail-over stays inactive until something sets `domainData`.
// Main thread only.
class DomainFronting {
public:
    static DomainFronting& shared();

    // Decryptor keyed with the domain-list key material; none when that material is unusable.
    std::optional<Encryption> encryption;
    NetworkingProtocol& networkingManager;
    std::shared_ptr<BaseURL> domainData;

private:
    DomainFronting();
};
