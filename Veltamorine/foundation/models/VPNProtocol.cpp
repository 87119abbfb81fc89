#include "VPNProtocol.h"

namespace VPNProtocols {

QString displayName(VPNProtocol protocol)
{
    switch (protocol) {
    case VPNProtocol::IPSec: return QStringLiteral("IPSec");
    case VPNProtocol::IKEv2: return QStringLiteral("IKEv2");
    case VPNProtocol::TCP: return QStringLiteral("OpenVPN - TCP");
    case VPNProtocol::UDP: return QStringLiteral("OpenVPN - UDP");
    case VPNProtocol::WireGuard: return QStringLiteral("WireGuard");
    }
    return {};
}

QString sdkName(VPNProtocol protocol)
{
    switch (protocol) {
    case VPNProtocol::IPSec: return QStringLiteral("IPSEC");
    case VPNProtocol::IKEv2: return QStringLiteral("IKEV");
    case VPNProtocol::TCP: return QStringLiteral("TCP");
    case VPNProtocol::UDP: return QStringLiteral("UDP");
    case VPNProtocol::WireGuard: return QStringLiteral("WireGuard");
    }
    return {};
}

std::optional<VPNProtocol> fromDisplayName(QStringView text)
{
    for (VPNProtocol protocol : allCases<VPNProtocol>()) {
        if (displayName(protocol) == text)
            return protocol;
    }
    return std::nullopt;
}

std::optional<VPNProtocol> fromSdkName(QStringView text)
{
    for (VPNProtocol protocol : allCases<VPNProtocol>()) {
        if (sdkName(protocol) == text)
            return protocol;
    }
    return std::nullopt;
}

const QList<VPNProtocol>& excludedProtocols()
{
    static const QList<VPNProtocol> list{VPNProtocol::TCP};
    return list;
}

}
