#include "QuorConnectVia.h"
#include "QuorConnectionInfo.h"
#include "QuorConnectionInitiatedBy.h"
#include "QuorConnectionState.h"
#include "QuorSelectedInterface.h"
#include "QuorSelectedInterfaceScreen.h"

#include <QStringList>
#include <gtest/gtest.h>

namespace {

template <typename E>
QStringList rawTexts()
{
    QStringList texts;
    for (E value : allCases<E>()) {
        texts.append(toRaw(value));
        EXPECT_EQ(fromRaw<E>(toRaw(value)), value);
    }
    return texts;
}

TEST(QuorEnumsTests, RawValuesInCaseOrderRoundTrip)
{
    EXPECT_EQ(rawTexts<QuorSelectedInterface>(),
              (QStringList{"Recent", "Favorite", "SmartConnect", "Search", "Recommended", "List", "DedicatedIp",
                           "SwitchServer", "Deeplink", "Popup", "Button", "Support"}));
    EXPECT_EQ(rawTexts<QuorConnectVia>(), (QStringList{"SmartConnect", "Country", "City", "DedicatedIp", "Shortcut"}));
    EXPECT_EQ(rawTexts<QuorSelectedInterfaceScreen>(),
              (QStringList{"Topbar", "Dashboard", "Location", "ConnectionProtocol", "Support", "None"}));
    EXPECT_EQ(rawTexts<QuorConnectionInitiatedBy>(), (QStringList{"AutoReconnect", "AutoConnectOnLaunch", "User"}));
}

TEST(QuorEnumsTests, RawValueMatchIsExactAndCaseSensitive)
{
    EXPECT_EQ(fromRaw<QuorConnectVia>(u"SmartConnect"), QuorConnectVia::SmartConnect);
    EXPECT_EQ(fromRaw<QuorConnectVia>(u"smartconnect"), std::nullopt);
    EXPECT_EQ(fromRaw<QuorConnectVia>(u"SmartConnect "), std::nullopt);
    EXPECT_EQ(fromRaw<QuorSelectedInterfaceScreen>(u"None"), QuorSelectedInterfaceScreen::None);
    EXPECT_EQ(fromRaw<QuorSelectedInterface>(u""), std::nullopt);
}

TEST(QuorEnumsTests, ConnectionStateFromZeroToSixOnly)
{
    for (int raw = 0; raw <= 6; ++raw)
        EXPECT_EQ(fromRaw<QuorConnectionState>(raw), QuorConnectionState(raw));
    EXPECT_EQ(fromRaw<QuorConnectionState>(7), std::nullopt);
    EXPECT_EQ(fromRaw<QuorConnectionState>(-1), std::nullopt);
    EXPECT_EQ(toRaw(QuorConnectionState::UnableToBrowse), 6);
}

TEST(QuorEnumsTests, ConnectionInfoTravelsInAVariant)
{
    QuorConnectionInfo info;
    info.state = QuorConnectionState::Connecting;
    info.connectionDns = QString();
    info.dialedProtocol = QString();
    info.quantumResistentServer = false;
    info.obfuscationEnabled = false;
    const QVariant variant = QVariant::fromValue(info);
    ASSERT_TRUE(variant.canConvert<QuorConnectionInfo>());
    const QuorConnectionInfo back = variant.value<QuorConnectionInfo>();
    EXPECT_EQ(back, info);
    EXPECT_EQ(back.quantumResistentServer, std::optional<bool>(false));
    EXPECT_EQ(back.connectionDns, std::optional<QString>(QString()));
}

}
