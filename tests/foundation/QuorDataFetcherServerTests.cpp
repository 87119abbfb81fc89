#include "QuorDataFetcherLocalJsonCountry.h"
#include "QuorDataFetcherServer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>
#include <gtest/gtest.h>

namespace {

using Server = QuorDataFetcherServer;
using Shortcut = QuorDataFetcherServerShortcut;

QJsonObject parse(const char* text)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray(text), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << text;
    return document.object();
}

// A row as an older build stored it: no "p2p", "priority" or "quantumResistant".
QJsonObject storedRow()
{
    return parse(R"({"id": "DE", "type": 0, "host": "", "ip": "", "code": "DE", "name": "Germany",
                     "latency": 42, "favorite": true})");
}

QStringList sortedKeys(const QJsonObject& object)
{
    QStringList keys = object.keys();
    keys.sort();
    return keys;
}

TEST(QuorDataFetcherServerTests, NewRowEncodesItsDefaultsAndNoOptionalKeys)
{
    const Server row("1234", "Frankfurt", QuorDataFetcherServerType::City, "DE");
    const QJsonObject json = row.toJson();
    QStringList expected{"id", "type", "host", "code", "name", "latency", "favorite", "p2p", "priority", "ip",
                         "quantumResistant"};
    expected.sort();
    EXPECT_EQ(sortedKeys(json), expected);
    EXPECT_EQ(json.value("host"), "");
    EXPECT_EQ(json.value("ip"), "");
    EXPECT_EQ(json.value("type"), 1);
    EXPECT_EQ(json.value("latency").toInteger(), 9223372036854775807LL);
    EXPECT_EQ(json.value("favorite"), false);
    EXPECT_EQ(json.value("p2p"), false);
    EXPECT_EQ(json.value("quantumResistant"), false);
    EXPECT_EQ(json.value("priority"), 0);
    EXPECT_FALSE(row.servers);
    EXPECT_FALSE(row.dataCenters);
}

TEST(QuorDataFetcherServerTests, LargestLatencySurvivesTheJsonText)
{
    const Server row("US", "United States", QuorDataFetcherServerType::Country, "US");
    const QByteArray bytes = QJsonDocument(row.toJson()).toJson(QJsonDocument::Compact);
    EXPECT_TRUE(bytes.contains("\"latency\":9223372036854775807")) << bytes.constData();
    const auto back = Server::fromJson(QJsonDocument::fromJson(bytes).object());
    ASSERT_TRUE(back);
    EXPECT_EQ(back->latency, Server::notMeasured);
}

TEST(QuorDataFetcherServerTests, OlderRowsDecodeWithDefaultsForMissingFlags)
{
    const auto row = Server::fromJson(storedRow());
    ASSERT_TRUE(row);
    EXPECT_EQ(row->id, "DE");
    EXPECT_EQ(row->latency, 42);
    EXPECT_TRUE(row->favorite);
    EXPECT_FALSE(row->p2p);
    EXPECT_FALSE(row->quantumResistant);
    EXPECT_EQ(row->priority, 0);
    EXPECT_FALSE(row->shortcut);
    EXPECT_FALSE(row->protocols);
    EXPECT_FALSE(row->hosts);
}

TEST(QuorDataFetcherServerTests, DecodeFailures)
{
    struct Case {
        const char* what;
        std::function<void(QJsonObject&)> change;
    };
    const Case cases[] = {
        {"missing ip", [](QJsonObject& o) { o.remove("ip"); }},
        {"missing id", [](QJsonObject& o) { o.remove("id"); }},
        {"missing host", [](QJsonObject& o) { o.remove("host"); }},
        {"missing latency", [](QJsonObject& o) { o.remove("latency"); }},
        {"missing favorite", [](QJsonObject& o) { o.remove("favorite"); }},
        {"type 5", [](QJsonObject& o) { o.insert("type", 5); }},
        {"type -1", [](QJsonObject& o) { o.insert("type", -1); }},
        {"type as text", [](QJsonObject& o) { o.insert("type", "0"); }},
        {"favorite as number", [](QJsonObject& o) { o.insert("favorite", 1); }},
        {"p2p as number", [](QJsonObject& o) { o.insert("p2p", 0); }},
        {"latency fractional", [](QJsonObject& o) { o.insert("latency", 1.5); }},
        {"latency as bool", [](QJsonObject& o) { o.insert("latency", true); }},
        {"protocol 5", [](QJsonObject& o) { o.insert("protocols", QJsonArray{0, 5}); }},
        {"protocol as text", [](QJsonObject& o) { o.insert("protocols", QJsonArray{"TCP"}); }},
        {"host with numeric port", [](QJsonObject& o) {
             o.insert("hosts", QJsonArray{parse(R"({"dns": "d", "protocol": "p", "server_type": "t",
                                                    "port_number": 1})")});
         }},
        {"shortcut type unknown", [](QJsonObject& o) { o.insert("shortcut", parse(R"({"type": "Web"})")); }},
        {"shortcut colour incomplete", [](QJsonObject& o) {
             o.insert("shortcut", parse(R"({"color": {"red": 1, "green": 0}})"));
         }},
    };
    for (const Case& c : cases) {
        QJsonObject object = storedRow();
        c.change(object);
        EXPECT_FALSE(Server::fromJson(object)) << c.what;
    }
}

TEST(QuorDataFetcherServerTests, FullRowRoundTripsAndDropsCitiesAndDataCentres)
{
    Server row("DE", "Germany", QuorDataFetcherServerType::Country, "DE");
    row.servers = QList<Server::Ptr>{Server::make("11", "Berlin", QuorDataFetcherServerType::City, "DE")};
    row.dataCenters = QList<QuorDataFetcherDataCenter>{{7, 30, QString("10.1.1.1"), std::nullopt}};
    row.protocols = QList<VPNProtocol>{VPNProtocol::WireGuard, VPNProtocol::IKEv2};
    row.hosts = QList<DedicatedIPHost>{{"dns.example", "udp", "openvpn", "1194"}};
    Shortcut shortcut;
    shortcut.url = "https://127.0.0.1/s";
    shortcut.id = 5;
    shortcut.type = Shortcut::Type::Link;
    shortcut.color = Shortcut::BackgroundColor::palette().at(2);
    shortcut.consent = false;
    row.shortcut = shortcut;
    row.p2p = true;
    row.priority = 7;
    row.latency = 12;

    const QJsonObject json = row.toJson();
    EXPECT_FALSE(json.contains("servers"));
    EXPECT_FALSE(json.contains("dataCenters"));
    EXPECT_EQ(json.value("protocols"), (QJsonArray{4, 1}));
    const auto back = Server::fromJson(json);
    ASSERT_TRUE(back);
    EXPECT_FALSE(back->servers);
    EXPECT_FALSE(back->dataCenters);
    EXPECT_EQ(back->protocols, row.protocols);
    EXPECT_EQ(back->hosts, row.hosts);
    EXPECT_EQ(back->shortcut, row.shortcut);
    EXPECT_EQ(back->toJson(), json);
}

TEST(QuorDataFetcherServerTests, ShortcutDefaultsAndPresenceRules)
{
    const auto empty = Shortcut::fromJson(QJsonObject{});
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->type, Shortcut::Type::Country);
    EXPECT_TRUE(Shortcut::BackgroundColor::palette().contains(empty->color));
    EXPECT_EQ(sortedKeys(empty->toJson()), (QStringList{"color", "type"}));
    EXPECT_EQ(empty->toJson().value("type"), "Country");

    for (const char* raw : {"Shortcut", "Country", "Link"}) {
        QJsonObject object{{"type", raw}};
        const auto shortcut = Shortcut::fromJson(object);
        ASSERT_TRUE(shortcut) << raw;
        EXPECT_EQ(toRaw(shortcut->type), QString(raw));
    }
    const auto fields = Shortcut::fromJson(parse(R"({"url": "u", "country": "c", "id": 3, "slug": "s",
        "availableCountries": "DE,FR", "consent": true, "color": {"red": 0, "green": 0.5, "blue": 1}})"));
    ASSERT_TRUE(fields);
    EXPECT_EQ(fields->color, (Shortcut::BackgroundColor{0, 0.5, 1}));
    EXPECT_EQ(sortedKeys(fields->toJson()),
              (QStringList{"availableCountries", "color", "consent", "country", "id", "slug", "type", "url"}));
}

TEST(QuorDataFetcherServerTests, MissingColourComesFromThePaletteAcrossItsEntries)
{
    const auto& palette = Shortcut::BackgroundColor::palette();
    ASSERT_EQ(palette.size(), 9);
    EXPECT_EQ(palette.at(0), (Shortcut::BackgroundColor{9 / 255.0, 69 / 255.0, 49 / 255.0}));
    EXPECT_EQ(palette.at(8), (Shortcut::BackgroundColor{154 / 255.0, 38 / 255.0, 23 / 255.0}));
    QList<int> seen(palette.size(), 0);
    for (int i = 0; i < 900; ++i) {
        const auto shortcut = Shortcut::fromJson(QJsonObject{});
        ASSERT_TRUE(shortcut);
        const qsizetype index = palette.indexOf(shortcut->color);
        ASSERT_GE(index, 0);
        ++seen[index];
    }
    // 900 uniform draws over 9 colours: each colour far above zero (the chance of a miss is ~1e-40).
    for (int count : seen)
        EXPECT_GT(count, 40);
}

TEST(QuorDataFetcherServerTests, SameLocationGoesByExactId)
{
    const Server a("DE", "Germany", QuorDataFetcherServerType::Country, "DE");
    const Server b("DE", "Deutschland", QuorDataFetcherServerType::Country, "DE");
    const Server c("de", "Germany", QuorDataFetcherServerType::Country, "DE");
    EXPECT_TRUE(a.isSameLocation(b));
    EXPECT_FALSE(a.isSameLocation(c));
}

TEST(QuorDataFetcherServerTests, PropertiesReadAndWriteByName)
{
    Server row("US", "United States", QuorDataFetcherServerType::Country, "US");
    EXPECT_EQ(row.value("name").toString(), "United States");
    EXPECT_EQ(row.value("latency").toLongLong(), Server::notMeasured);
    EXPECT_TRUE(row.setValue("p2p", true));
    EXPECT_TRUE(row.setValue("priority", 9));
    EXPECT_TRUE(row.setValue("code", QString("CA")));
    EXPECT_TRUE(row.p2p);
    EXPECT_EQ(row.priority, 9);
    EXPECT_EQ(row.code, "CA");
    EXPECT_FALSE(row.value("host").isValid());
    EXPECT_FALSE(row.setValue("host", QString("x")));
}

TEST(QuorDataFetcherServerTests, UntypedListConvertsOnlyWhenEveryElementIsARow)
{
    const Server::Ptr a = Server::make("DE", "Germany", QuorDataFetcherServerType::Country, "DE");
    const Server::Ptr b = Server::make("FR", "France", QuorDataFetcherServerType::Country, "FR");
    const auto rows = Server::array({QVariant::fromValue(a), QVariant::fromValue(b)});
    ASSERT_TRUE(rows);
    ASSERT_EQ(rows->size(), 2);
    EXPECT_EQ(rows->at(0), a);  // the same shared objects, in order
    EXPECT_EQ(rows->at(1), b);
    EXPECT_EQ(Server::array({}), QList<Server::Ptr>{});
    EXPECT_FALSE(Server::array({QVariant::fromValue(a), QVariant(QString("FR"))}));
    EXPECT_FALSE(Server::array({QVariant::fromValue(Server::Ptr())}));
}

TEST(QuorDataFetcherServerTests, ConnectViaOfEachRowKind)
{
    EXPECT_EQ(connectVia(QuorDataFetcherServerType::FastestServer), QuorConnectVia::SmartConnect);
    EXPECT_EQ(connectVia(QuorDataFetcherServerType::Country), QuorConnectVia::Country);
    EXPECT_EQ(connectVia(QuorDataFetcherServerType::City), QuorConnectVia::City);
    EXPECT_EQ(connectVia(QuorDataFetcherServerType::DedicatedIp), QuorConnectVia::DedicatedIp);
    EXPECT_EQ(connectVia(QuorDataFetcherServerType::Shortcut), QuorConnectVia::Shortcut);
    EXPECT_EQ(toRaw(connectVia(QuorDataFetcherServerType::FastestServer)), "SmartConnect");
}

TEST(QuorDataFetcherServerTests, DataCentreKeys)
{
    const auto centre = QuorDataFetcherDataCenter::fromJson(parse(R"({"id": 3, "latency": 20})"));
    ASSERT_TRUE(centre);
    EXPECT_EQ(sortedKeys(centre->toJson()), (QStringList{"id", "latency"}));
    EXPECT_FALSE(QuorDataFetcherDataCenter::fromJson(parse(R"({"id": 3})")));
    EXPECT_FALSE(QuorDataFetcherDataCenter::fromJson(parse(R"({"id": 3, "latency": 1, "ip": 4})")));
}

TEST(QuorDataFetcherServerTests, OverlayEntriesAndTheWholeOverlay)
{
    const auto entry = QuorDataFetcherLocalJsonCountry::fromJson(parse(R"({"is_p2p": true, "priority": 5})"));
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->quantumResistant, std::nullopt);
    EXPECT_TRUE(entry->p2p);
    EXPECT_EQ(entry->priority, 5);
    EXPECT_FALSE(QuorDataFetcherLocalJsonCountry::fromJson(parse(R"({"is_p2p": true})")));
    EXPECT_FALSE(QuorDataFetcherLocalJsonCountry::fromJson(parse(R"({"priority": 1})")));
    EXPECT_FALSE(QuorDataFetcherLocalJsonCountry::fromJson(parse(R"({"is_p2p": 1, "priority": 1})")));

    const auto overlay = QuorDataFetcherLocalJsonCountry::overlayFromJson(parse(
        R"({"DE": {"priority": 3, "is_p2p": false, "is_quantum_resistant": true}, "US": {"priority": 9, "is_p2p": true}})"));
    ASSERT_TRUE(overlay);
    EXPECT_EQ(overlay->value("DE").quantumResistant, true);
    EXPECT_EQ(overlay->value("US").priority, 9);
    EXPECT_FALSE(QuorDataFetcherLocalJsonCountry::overlayFromJson(
        parse(R"({"DE": {"priority": 3, "is_p2p": false}, "US": {"is_p2p": true}})")));
}

}
