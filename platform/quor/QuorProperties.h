#pragma once

#include "QuorCity.h"
#include "QuorCountry.h"
#include "QuorMultipleDNS.h"
#include "QuorProtocol.h"
#include "ServerFilter.h"

#include <QList>
#include <QString>
#include <optional>

// What a connect request asks for: one target (a country, a city, quick-connect tags, or a
// list of dedicated hosts) and how to dial it.
struct QuorProperties {
    enum class Target { Country, City, SmartConnect, DedicatedHosts, Channel };

    Target target = Target::SmartConnect;
    std::optional<QuorCountry> country;
    std::optional<QuorCity> city;
    QList<int> tags;
    QList<QuorMultipleDNS> multipleDedicatedHost;
    std::optional<QString> channel;

    std::optional<QuorProtocol> protocol;
    std::optional<QuorProtocol> secondaryProtocol;
    std::optional<QuorProtocol> tertiaryProtocol;
    bool enableProtocolSwitch = false;
    bool useLastSuccessfulDialedProtocol = false;
    bool useAutomaticPort = false;
    QList<ServerFilter> serverFilters;

    static QuorProperties initWithCountry(QuorCountry country, std::optional<QuorProtocol> protocol);
    static QuorProperties initWithCity(QuorCity city, std::optional<QuorProtocol> protocol);
    static QuorProperties initWithProtocol(std::optional<QuorProtocol> protocol, QList<int> tags);
    static QuorProperties initWithMultipleDedicatedHost(QList<QuorMultipleDNS> hosts, std::optional<QuorProtocol> protocol);

    // The host name of the first dedicated host, when this is a dedicated-IP request.
    std::optional<QString> dedicatedHostName() const;
};
