#include "AutoConnectVia.h"
#include "UserTestGroup.h"

#include <gtest/gtest.h>

namespace {

// Stands in for the application's strings: each key gets a distinct text.
QString localize(const QString& key)
{
    if (key == u"general.recommendedlocation.title")
        return QStringLiteral("Recommended location");
    if (key == u"general.recentlyconnectedlocation.title")
        return QStringLiteral("Recently connected location");
    if (key == u"general.specificlocation.title")
        return QStringLiteral("Specific location");
    return key;
}

TEST(AutoConnectViaTests, RawValuesAreTheCaseNamesMatchedExactly)
{
    const std::pair<const char16_t*, AutoConnectVia> rows[] = {
        {u"AutoSelect", AutoConnectVia::AutoSelect},
        {u"Recommended", AutoConnectVia::Recommended},
        {u"LastConnected", AutoConnectVia::LastConnected},
        {u"Location", AutoConnectVia::Location},
    };
    for (const auto& [raw, via] : rows) {
        EXPECT_EQ(fromRaw<AutoConnectVia>(QStringView(raw)), via);
        EXPECT_EQ(toRaw(via), QString::fromUtf16(raw));
    }
    EXPECT_EQ(fromRaw<AutoConnectVia>(u"recommended"), std::nullopt);
    EXPECT_EQ(fromRaw<AutoConnectVia>(u""), std::nullopt);
}

TEST(AutoConnectViaTests, TitlesComeFromTheKeysAndTheFirstTwoShareOne)
{
    EXPECT_EQ(AutoConnectVias::allTitles(localize),
              (QStringList{"Recommended location", "Recommended location", "Recently connected location",
                           "Specific location"}));
}

TEST(AutoConnectViaTests, TitleLookupGivesFirstMatchOrAutoSelect)
{
    EXPECT_EQ(AutoConnectVias::fromTitle(u"Recently connected location", localize), AutoConnectVia::LastConnected);
    EXPECT_EQ(AutoConnectVias::fromTitle(u"Specific location", localize), AutoConnectVia::Location);
    EXPECT_EQ(AutoConnectVias::fromTitle(u"Recommended location", localize), AutoConnectVia::AutoSelect);
    EXPECT_EQ(AutoConnectVias::fromTitle(u"Something else", localize), AutoConnectVia::AutoSelect);
}

TEST(AutoConnectViaTests, UserTestGroupRawTexts)
{
    EXPECT_EQ(toRaw(UserTestGroup::GroupA), u"GroupA");
    EXPECT_EQ(toRaw(UserTestGroup::GroupB), u"GroupB");
    EXPECT_EQ(fromRaw<UserTestGroup>(u"GroupB"), UserTestGroup::GroupB);
    EXPECT_EQ(fromRaw<UserTestGroup>(u"groupa"), std::nullopt);
}

}

namespace {

TEST(AutoConnectViaTests, SharedLocalizerTitlesAreBuiltOnceAndLookedUpTheSameWay)
{
    const QStringList& titles = AutoConnectVias::allTitles();
    ASSERT_EQ(titles.size(), 4);
    EXPECT_EQ(&titles, &AutoConnectVias::allTitles());
    EXPECT_EQ(titles.at(0), titles.at(1));
    EXPECT_EQ(AutoConnectVias::title(AutoConnectVia::LastConnected), titles.at(2));
    EXPECT_EQ(AutoConnectVias::fromTitle(titles.at(2)), AutoConnectVia::LastConnected);
    EXPECT_EQ(AutoConnectVias::fromTitle(titles.at(1)), AutoConnectVia::AutoSelect);
}

}
