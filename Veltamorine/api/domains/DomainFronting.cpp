#include "DomainFronting.h"

#include "Keys.h"
#include "Networking.h"

DomainFronting::DomainFronting()
    : encryption(Encryption::make(Keys::required(u"domainsPrivateKey"), Keys::required(u"domainsIV")))
    , networkingManager(Networking::shared())
{
}

DomainFronting& DomainFronting::shared()
{
    static DomainFronting instance;
    return instance;
}
