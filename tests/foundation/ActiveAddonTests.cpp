#include "ActiveAddon.h"
#include "DedicatedIPDetail.h"

#include <QJsonDocument>
#include <QMetaProperty>
#include <gtest/gtest.h>

namespace {

QJsonObject parse(const char* text)
{
    return QJsonDocument::fromJson(QByteArray(text)).object();
}

TEST(ActiveAddonTests, ValuesSetThroughPropertiesAreWhatGetsEncoded)
{
    auto addon = ActiveAddon::fromJson(parse(R"({"slug": "pf", "title": "Port Forwarding", "expiry": "2025-01-01",
                                                 "status": "Active"})"));
    ASSERT_TRUE(addon);
    const QMetaObject& meta = ActiveAddon::staticMetaObject;
    const QMetaProperty status = meta.property(meta.indexOfProperty("status"));
    ASSERT_TRUE(status.isValid());
    EXPECT_EQ(status.readOnGadget(&*addon).toString(), "Active");
    ASSERT_TRUE(status.writeOnGadget(&*addon, QStringLiteral("Expired")));
    EXPECT_EQ(addon->toJson(), parse(R"({"slug": "pf", "title": "Port Forwarding", "expiry": "2025-01-01",
                                         "status": "Expired"})"));
}

TEST(ActiveAddonTests, SlugIsOptionalAndTheOthersRequired)
{
    const auto noSlug = ActiveAddon::fromJson(parse(R"({"title": "t", "expiry": "e", "status": "s"})"));
    ASSERT_TRUE(noSlug);
    EXPECT_EQ(noSlug->slug, std::nullopt);
    EXPECT_FALSE(noSlug->toJson().contains("slug"));
    for (const char* text : {R"({"expiry": "e", "status": "s"})", R"({"title": "t", "status": "s"})",
                             R"({"title": "t", "expiry": "e"})", R"({"title": "t", "expiry": "e", "status": 1})",
                             R"({"title": "t", "expiry": "e", "status": "s", "slug": 3})"})
        EXPECT_FALSE(ActiveAddon::fromJson(parse(text))) << text;
}

TEST(ActiveAddonTests, DedicatedIPDetailRoundTripsAndRefusesNumericPort)
{
    const QJsonObject stored = parse(R"({"ip": "10.0.0.7", "iso": "DE", "hosts": [
        {"dns": "a", "protocol": "tcp", "server_type": "openvpn", "port_number": "443"},
        {"dns": "b", "protocol": "udp", "server_type": "wireguard", "port_number": "51820"}]})");
    const auto detail = DedicatedIPDetail::fromJson(stored);
    ASSERT_TRUE(detail);
    ASSERT_EQ(detail->hosts.size(), 2);
    EXPECT_EQ(detail->hosts[1].serverType, "wireguard");
    EXPECT_EQ(detail->toJson(), stored);

    EXPECT_FALSE(DedicatedIPDetail::fromJson(parse(R"({"ip": "1", "iso": "DE", "hosts": [
        {"dns": "a", "protocol": "tcp", "server_type": "openvpn", "port_number": 443}]})")));
    EXPECT_FALSE(DedicatedIPDetail::fromJson(parse(R"({"ip": "1", "iso": "DE"})")));
}

}
