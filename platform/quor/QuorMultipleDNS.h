#pragma once

#include "QuorProtocol.h"

#include <QString>

// One dedicated host of a dedicated-IP request, reachable with one protocol.
struct QuorMultipleDNS {
    QString dedicatedHostName;
    QuorProtocol protocol;

    QuorMultipleDNS(QString dedicatedHostName, QuorProtocol protocol)
        : dedicatedHostName(std::move(dedicatedHostName)), protocol(std::move(protocol)) {}

    bool operator==(const QuorMultipleDNS&) const = default;
};
