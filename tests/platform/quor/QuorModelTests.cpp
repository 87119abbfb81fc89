#include "QuorConfiguration.h"
#include "QuorCountry.h"
#include "QuorFaults.h"
#include "QuorProperties.h"
#include "QuorVPNState.h"

#include <QJsonDocument>
#include <gtest/gtest.h>
#include <limits>

namespace {

QJsonObject parse(const char* json)
{
    return QJsonDocument::fromJson(QByteArray(json)).object();
}

QuorCountry sampleCountry()
{
    QuorCountry c;
    c.country = QStringLiteral("FR");
    c.name = QStringLiteral("France");
    c.iso_code = QStringLiteral("FR");
    c.protocols = QList<QuorProtocol>{QuorProtocol("IKEV"), QuorProtocol("WireGuard")};
    QuorDatacenters dc;
    dc.dataCenterId = 1201;
    dc.latency = 33;
    dc.ip = QStringLiteral("198.18.0.9");
    dc.hostname = QStringLiteral("fr-paris-01.servers.quor.test");
    dc.nasIdentifier = QStringLiteral("nas-fr-paris-01");
    QuorCity paris;
    paris.cityId = 12;
    paris.name = QStringLiteral("Paris");
    paris.country = QStringLiteral("FR");
    paris.data_centers = QList<QuorDatacenters>{dc};
    c.cities = QList<QuorCity>{paris, QuorCity{13, QStringLiteral("Lyon"), QStringLiteral("FR"), std::nullopt, 0}};
    c.dataCenters = QList<QuorDatacenters>{dc};
    c.latency = 33;
    return c;
}

TEST(QuorCountryTest, JsonDataRoundTripKeepsEveryField)
{
    const QuorCountry country = sampleCountry();
    const std::optional<QuorCountry> back = QuorCountry::fromJsonData(country.toJsonData());
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, country);
    // An absent list stays absent rather than becoming empty.
    EXPECT_FALSE(back->cities->at(1).data_centers.has_value());
}

TEST(QuorCountryTest, DecodingChecksTypesStrictly)
{
    struct Case {
        const char* json;
        bool decodes;
    };
    const Case cases[] = {
        {R"({"country":"FR"})", true},
        {R"({"country":null,"name":null,"cities":null})", true},
        {R"({})", true},
        {R"({"country":7})", false},
        {R"({"name":true})", false},
        {R"({"latency":"12"})", false},
        {R"({"latency":1.5})", false},
        {R"({"cities":{}})", false},
        {R"({"cities":[{"name":"Paris"}]})", false},               // a city needs its id
        {R"({"cities":[{"city_id":"12"}]})", false},
        {R"({"cities":[{"city_id":12,"data_centers":[{"data_center_id":true}]}]})", false},
        {R"({"protocols":[{"protocol":3}]})", false},
        {R"({"protocols":["IKEV"]})", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(QuorCountry::fromJson(parse(c.json)).has_value(), c.decodes) << c.json;
    EXPECT_FALSE(QuorCountry::fromJsonData("not json").has_value());
    EXPECT_FALSE(QuorCountry::fromJsonData("[1,2]").has_value());
}

TEST(QuorProtocolTest, NamesFollowTheProtocolWord)
{
    const std::pair<const char*, std::optional<QString>> cases[] = {
        {"IPSEC", QStringLiteral("IPSec")},
        {"IKEV", QStringLiteral("IKEv2")},
        {"TCP", QStringLiteral("OpenVPN-TCP")},
        {"UDP", QStringLiteral("OpenVPN-UDP")},
        {"WireGuard", QStringLiteral("WireGuard")},
        {"OpenVPN - TCP", std::nullopt},
        {"wireguard", std::nullopt},
    };
    for (const auto& [word, name] : cases)
        EXPECT_EQ(QuorProtocol(QString::fromLatin1(word)).name(), name) << word;
    EXPECT_EQ(QuorProtocol().name(), std::nullopt);

    const QuorCountry country = sampleCountry();
    EXPECT_TRUE(country.supportsProtocolNamed(*QuorProtocol("WireGuard").name()));
    EXPECT_FALSE(country.supportsProtocolNamed(*QuorProtocol("UDP").name()));
    EXPECT_FALSE(QuorCountry().supportsProtocolNamed(QStringLiteral("IKEv2")));
}

TEST(QuorConfigurationTest, RemembersTheOrderFieldsWereSetAndChecksTheKey)
{
    QuorConfiguration c;
    c.setSecretKey(QStringLiteral("0123456789abcdef0123456789abcdef01234567"));
    c.setEnableVPNLogs(true);
    c.setAppGroupIdentifier(QStringLiteral("group"));
    EXPECT_EQ(c.fieldsSetInOrder(), (QStringList{"secretKey", "enableVPNLogs", "appGroupIdentifier"}));
    EXPECT_TRUE(c.hasValidSecretKey());

    for (const char* key : {"", "0123456789ABCDEF0123456789abcdef01234567", "0123456789abcdef0123456789abcdef0123456",
                            "0123456789abcdef0123456789abcdef012345678", "g123456789abcdef0123456789abcdef01234567"}) {
        c.setSecretKey(QString::fromLatin1(key));
        EXPECT_FALSE(c.hasValidSecretKey()) << key;
    }
}

TEST(QuorVPNStateTest, RawValuesMapBackOnlyForKnownStates)
{
    for (const QuorVPNState s : {QuorVPNState::Invalid, QuorVPNState::Disconnected, QuorVPNState::Connecting,
                                 QuorVPNState::Connected, QuorVPNState::Reasserting, QuorVPNState::Disconnecting,
                                 QuorVPNState::FindingServer})
        EXPECT_EQ(quorVPNStateFromRaw(toRaw(s)), s);
    for (const int raw : {-1, 6, 11, 13})
        EXPECT_EQ(quorVPNStateFromRaw(raw), std::nullopt) << raw;
    EXPECT_EQ(toRaw(QuorVPNState::Connected), 3);
    EXPECT_EQ(toRaw(QuorVPNState::Connecting), 2);
    EXPECT_EQ(toRaw(QuorVPNState::FindingServer), 12);
}

TEST(QuorFaultsTest, ServiceDataDecodesAndMerges)
{
    const auto faults = QuorFaults::fromJson(parse(
        R"({"rejected_usernames":["blocked"],"unreachable_servers":["nas-a"],"drop_after_seconds":30,"connect_error_code":5043})"));
    ASSERT_TRUE(faults);
    EXPECT_TRUE(faults->rejects(QStringLiteral("blocked")));
    EXPECT_FALSE(faults->rejects(QStringLiteral("someone")));
    EXPECT_TRUE(faults->isServerUnreachable(QStringLiteral("nas-a"), QString()));
    EXPECT_FALSE(faults->isServerUnreachable(QString(), QString()));
    EXPECT_EQ(faults->dropAfterSeconds, 30.0);
    EXPECT_EQ(faults->connectErrorCode, 5043);
    EXPECT_EQ(QuorFaults::fromJson(faults->toJson())->toJson(), faults->toJson());

    for (const char* bad : {R"({"drop_after_seconds":-1})", R"({"rejected_usernames":"blocked"})",
                            R"({"reject_credentials":1})", R"({"connect_error_code":"5043"})",
                            R"({"connect_error_code":4294967296})", R"({"connect_error_code":-2147483649})"})
        EXPECT_FALSE(QuorFaults::fromJson(parse(bad))) << bad;
    EXPECT_EQ(QuorFaults::fromJson(parse(R"({"connect_error_code":-2147483648})"))->connectErrorCode,
              std::numeric_limits<int>::min());

    QuorFaults injected;
    injected.dropAfterSeconds = 5;
    injected.unreachableServers = {QStringLiteral("nas-b")};
    const QuorFaults merged = injected.mergedWith(*faults);
    EXPECT_EQ(merged.dropAfterSeconds, 5.0);
    EXPECT_EQ(merged.unreachableServers, (QStringList{"nas-b", "nas-a"}));
    EXPECT_TRUE(merged.rejects(QStringLiteral("blocked")));
}

TEST(QuorPropertiesTest, DedicatedHostNameIsTheFirstHost)
{
    EXPECT_EQ(QuorProperties::initWithMultipleDedicatedHost({}, std::nullopt).dedicatedHostName(), std::nullopt);
    const auto p = QuorProperties::initWithMultipleDedicatedHost(
        {QuorMultipleDNS(QStringLiteral("b.example"), QuorProtocol("UDP")), QuorMultipleDNS(QStringLiteral("a.example"), QuorProtocol("IKEV"))},
        QuorProtocol("UDP"));
    EXPECT_EQ(p.dedicatedHostName(), QStringLiteral("b.example"));
    EXPECT_EQ(p.target, QuorProperties::Target::DedicatedHosts);
}

}
