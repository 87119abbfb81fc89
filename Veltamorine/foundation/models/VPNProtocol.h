#pragma once

#include "RawValue.h"

#include <QList>
#include <QString>
#include <optional>

// The VPN protocol choice of a VPN user. PreservedPreferences exposes it as PreservedPreferences::VPNProtocol.
// Stored and coded in JSON as its raw integer (the case number).
enum class VPNProtocol {
    IPSec = 0,
    IKEv2 = 1,
    TCP = 2,
    UDP = 3,
    WireGuard = 4,
};

template <>
struct RawIntegers<VPNProtocol> {
    static constexpr int count = 5;
};

namespace VPNProtocols {

// The name shown in the protocol preferences ("OpenVPN - TCP").
QString displayName(VPNProtocol protocol);
// The name the VPN SDK knows the protocol by ("TCP").
QString sdkName(VPNProtocol protocol);

// First case, in case order, whose display name equals `text` exactly.
std::optional<VPNProtocol> fromDisplayName(QStringView text);
// First case, in case order, whose SDK name equals `text` exactly.
std::optional<VPNProtocol> fromSdkName(QStringView text);

// The protocols the VPN SDK is told to leave out at set-up.
const QList<VPNProtocol>& excludedProtocols();

}
