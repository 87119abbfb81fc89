#include "QuorProperties.h"

QuorProperties QuorProperties::initWithCountry(QuorCountry country, std::optional<QuorProtocol> protocol)
{
    QuorProperties p;
    p.target = Target::Country;
    p.country = std::move(country);
    p.protocol = std::move(protocol);
    return p;
}

QuorProperties QuorProperties::initWithCity(QuorCity city, std::optional<QuorProtocol> protocol)
{
    QuorProperties p;
    p.target = Target::City;
    p.city = std::move(city);
    p.protocol = std::move(protocol);
    return p;
}

QuorProperties QuorProperties::initWithProtocol(std::optional<QuorProtocol> protocol, QList<int> tags)
{
    QuorProperties p;
    p.target = Target::SmartConnect;
    p.protocol = std::move(protocol);
    p.tags = std::move(tags);
    return p;
}

QuorProperties QuorProperties::initWithMultipleDedicatedHost(QList<QuorMultipleDNS> hosts, std::optional<QuorProtocol> protocol)
{
    QuorProperties p;
    p.target = Target::DedicatedHosts;
    p.multipleDedicatedHost = std::move(hosts);
    p.protocol = std::move(protocol);
    return p;
}

std::optional<QString> QuorProperties::dedicatedHostName() const
{
    if (multipleDedicatedHost.isEmpty())
        return std::nullopt;
    return multipleDedicatedHost.first().dedicatedHostName;
}
