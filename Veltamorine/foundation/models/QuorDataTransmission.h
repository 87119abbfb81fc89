#pragma once

#include <QMetaType>
#include <QVariant>
#include <cstdint>

// The object of "QuorManagerTransmittedPackets": received and sent totals. Despite the names
// they count bytes. Quor (vpn) exposes it as Quor::DataTransmission.
struct QuorDataTransmission {
    std::uint64_t bitsIn = 0;
    std::uint64_t bitsOut = 0;

    bool operator==(const QuorDataTransmission&) const = default;
};

Q_DECLARE_METATYPE(QuorDataTransmission)
