#include "HelperTestFixture.h"
#include "PacketFilter.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace HelperTestFixture;

namespace {

struct FakeTools {
    QTemporaryDir dir;
    PacketFilter::Config config()
    {
        PacketFilter::Config c;
        c.nft = { writeFakeTool(dir.path(), "nft") };
        c.systemctl = { writeFakeTool(dir.path(), "systemctl") };
        c.rulesFolder = dir.path();
        return c;
    }
};

}

TEST(PacketFilterTests, toolsGetExactArgumentLists)
{
    FakeTools tools;
    PacketFilter filter(tools.config());
    const QString nft = tools.dir.filePath("nft");

    EXPECT_EQ(filter.load("chain output { }").status, 0);
    EXPECT_EQ(filter.remove().status, 0);
    EXPECT_EQ(filter.list().status, 0);
    EXPECT_EQ(filter.stopUnits().status, 0);

    const auto calls = toolCalls(tools.dir.path());
    ASSERT_EQ(calls.size(), 4);
    EXPECT_EQ(calls[0].arguments, QStringList({ "-f", "-" }));
    EXPECT_EQ(calls[0].input, QByteArray("table inet veltamorine_killswitch\n"
                                         "delete table inet veltamorine_killswitch\n"
                                         "table inet veltamorine_killswitch {\n"
                                         "chain output { }\n"
                                         "}\n"));
    EXPECT_EQ(calls[1].arguments, QStringList({ "-f", "-" }));
    EXPECT_EQ(calls[1].input, QByteArray("table inet veltamorine_killswitch\n"
                                         "delete table inet veltamorine_killswitch\n"));
    EXPECT_EQ(calls[2].arguments, QStringList({ "list", "table", "inet", "veltamorine_killswitch" }));
    EXPECT_EQ(calls[3].arguments, QStringList({ "--no-block", "stop", "veltamorine.mac.apple.helpertool.socket",
                                      "veltamorine.mac.apple.helpertool.service" }));
}

TEST(PacketFilterTests, toolPrefixComesBeforeTheArguments)
{
    FakeTools tools;
    auto config = tools.config();
    config.nft = { tools.dir.filePath("nft"), "netns", "exec", "ns1", "/usr/sbin/nft" };
    PacketFilter(config).list();
    const auto calls = toolCalls(tools.dir.path());
    ASSERT_EQ(calls.size(), 1);
    EXPECT_EQ(calls[0].arguments,
        QStringList({ "netns", "exec", "ns1", "/usr/sbin/nft", "list", "table", "inet", "veltamorine_killswitch" }));
}

TEST(PacketFilterTests, rulesFileIsWrittenWholeAndPrivate)
{
    FakeTools tools;
    PacketFilter filter(tools.config());
    EXPECT_EQ(filter.rulesFile(), QDir(tools.dir.path()).filePath("com.iks.rules.veltamorine.mac.apple.helpertool"));
    ASSERT_TRUE(filter.writeFirewallRules("first"));
    ASSERT_TRUE(filter.writeFirewallRules(QString::fromUtf8("chain output { # ünïcode\n}")));
    EXPECT_EQ(readFile(filter.rulesFile()), QString::fromUtf8("chain output { # ünïcode\n}").toUtf8());
    const auto permissions = QFileInfo(filter.rulesFile()).permissions();
    EXPECT_TRUE(permissions.testFlag(QFile::ReadOwner) && permissions.testFlag(QFile::WriteOwner));
    EXPECT_EQ(permissions.toInt() & 0x0077, 0) << "no access for group or others";
}

TEST(PacketFilterTests, rulesFileInAMissingFolderFails)
{
    FakeTools tools;
    auto config = tools.config();
    config.rulesFolder = tools.dir.filePath("missing");
    EXPECT_FALSE(PacketFilter(config).writeFirewallRules("x").has_value());
}

TEST(PacketFilterTests, onlyRealAddressesAreAccepted)
{
    struct Case {
        QString text;
        std::optional<QString> canonical;
    };
    const Case cases[] = {
        { "10.0.0.1", "10.0.0.1" },
        { "2001:DB8:0:0:0:0:0:1", "2001:db8::1" },
        { "::1", "::1" },
        { "-e", std::nullopt },
        { "--file=/etc/shadow", std::nullopt },
        { "10.0.0.*", std::nullopt },
        { "10.0.0.", std::nullopt },
        { "10.0.0.1 ", std::nullopt },
        { "10.0.0.1\n-e", std::nullopt },
        { "10.0.0.1/32", std::nullopt },
        { "", std::nullopt },
        { QString::fromUtf8("１0.0.0.1"), std::nullopt },
    };
    for (const Case& c : cases)
        EXPECT_EQ(PacketFilter::canonicalAddress(c.text), c.canonical) << c.text.toStdString();
}

TEST(PacketFilterTests, addressMatchesOnlyAsAWholeAddress)
{
    struct Case {
        QString rules;
        QString address;
        bool present;
    };
    const Case cases[] = {
        { "ip daddr 10.0.0.1 accept", "10.0.0.1", true },
        { "ip daddr { 10.0.0.1, 10.0.0.2 } accept", "10.0.0.2", true },
        { "ip daddr 10.0.0.1/32 accept", "10.0.0.1", true },
        { "ip daddr 10.0.0.10 accept", "10.0.0.1", false },
        { "ip daddr 110.0.0.1 accept", "10.0.0.1", false },
        { "ip daddr 10x0y0z1 accept", "10.0.0.1", false },  // "." is no wildcard
        { "ip daddr 10.0.0.100 accept\nip daddr 10.0.0.1 drop", "10.0.0.1", true },
        { "ip6 daddr 2001:db8::1 accept", "2001:db8::1", true },
        { "ip6 daddr 2001:db8::10 accept", "2001:db8::1", false },
        { "ip6 daddr fe80::2001:db8::1 accept", "2001:db8::1", false },
        { "", "10.0.0.1", false },
    };
    for (const Case& c : cases)
        EXPECT_EQ(PacketFilter::containsAddress(c.rules, c.address), c.present)
            << c.rules.toStdString() << " / " << c.address.toStdString();
}
