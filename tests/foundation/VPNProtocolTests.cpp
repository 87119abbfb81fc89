#include "VPNProtocol.h"

#include <gtest/gtest.h>

namespace {

struct ProtocolRow {
    VPNProtocol protocol;
    int raw;
    const char* displayName;
    const char* sdkName;
};

const ProtocolRow rows[] = {
    {VPNProtocol::IPSec, 0, "IPSec", "IPSEC"},
    {VPNProtocol::IKEv2, 1, "IKEv2", "IKEV"},
    {VPNProtocol::TCP, 2, "OpenVPN - TCP", "TCP"},
    {VPNProtocol::UDP, 3, "OpenVPN - UDP", "UDP"},
    {VPNProtocol::WireGuard, 4, "WireGuard", "WireGuard"},
};

TEST(VPNProtocolTests, CasesCarryTheirRawValuesAndNamesInCaseOrder)
{
    const auto cases = allCases<VPNProtocol>();
    ASSERT_EQ(cases.size(), std::size(rows));
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const ProtocolRow& row = rows[i];
        SCOPED_TRACE(row.displayName);
        EXPECT_EQ(cases[i], row.protocol);
        EXPECT_EQ(toRaw(row.protocol), row.raw);
        EXPECT_EQ(fromRaw<VPNProtocol>(row.raw), row.protocol);
        EXPECT_EQ(VPNProtocols::displayName(row.protocol), QString::fromLatin1(row.displayName));
        EXPECT_EQ(VPNProtocols::sdkName(row.protocol), QString::fromLatin1(row.sdkName));
        EXPECT_EQ(VPNProtocols::fromDisplayName(QString::fromLatin1(row.displayName)), row.protocol);
        EXPECT_EQ(VPNProtocols::fromSdkName(QString::fromLatin1(row.sdkName)), row.protocol);
    }
}

TEST(VPNProtocolTests, RawValuesOutsideZeroToFourGiveNone)
{
    for (long long raw : {-1LL, 5LL, 100LL})
        EXPECT_EQ(fromRaw<VPNProtocol>(raw), std::nullopt) << raw;
}

TEST(VPNProtocolTests, NameLookupsMatchExactlyAndOnlyTheirOwnNames)
{
    EXPECT_EQ(VPNProtocols::fromDisplayName(u"OpenVPN - TCP"), VPNProtocol::TCP);
    EXPECT_EQ(VPNProtocols::fromDisplayName(u"openvpn - tcp"), std::nullopt);
    EXPECT_EQ(VPNProtocols::fromDisplayName(u"TCP"), std::nullopt);
    EXPECT_EQ(VPNProtocols::fromSdkName(u"TCP"), VPNProtocol::TCP);
    EXPECT_EQ(VPNProtocols::fromSdkName(u"OpenVPN - TCP"), std::nullopt);
    EXPECT_EQ(VPNProtocols::fromSdkName(u""), std::nullopt);
}

TEST(VPNProtocolTests, ExcludedProtocolsHoldTcpOnly)
{
    EXPECT_EQ(VPNProtocols::excludedProtocols(), QList<VPNProtocol>{VPNProtocol::TCP});
    EXPECT_EQ(&VPNProtocols::excludedProtocols(), &VPNProtocols::excludedProtocols());
}

}
