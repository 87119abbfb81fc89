#include "BaseURL.h"
#include "Bundle.h"
#include "DomainFronting.h"
#include "UserDefaults.h"

#include <QJsonDocument>
#include <QTemporaryDir>
#include <gtest/gtest.h>

class BaseURLTest : public ::testing::Test {
protected:
    BaseURLTest()
    {
        Bundle::setMain(&bundle);
    }
    ~BaseURLTest() override { Bundle::setMain(nullptr); }

    QTemporaryDir folder;
    Bundle bundle{QJsonObject{{"API Gateway Host", "gw.example"}, {"Auth Token Host", "auth.example"}}};
    UserDefaults defaults{folder.path()};
    AppPreferences preferences{defaults};
    const QUrl failed{"https://gw.example/Veltamorine/user/profile/v3?device_type=mac"};
};

TEST_F(BaseURLTest, RotatesThroughTheCandidatesThenEndsAndStartsOver)
{
    BaseURL list({{"a1.example", "one.example"}, {"a2.example", "two.example"}});

    const auto first = list.next(failed, preferences);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->toString(), QStringLiteral("https://one.example/Veltamorine/user/profile/v3?device_type=mac"));
    EXPECT_EQ(preferences.activeDomain(), (Domain{"a1.example", "one.example"}));

    const auto second = list.next(*first, preferences);
    ASSERT_TRUE(second);
    EXPECT_EQ(second->host(), QStringLiteral("two.example"));
    EXPECT_EQ(preferences.activeDomain().servicesUrl, QStringLiteral("two.example"));

    EXPECT_FALSE(list.next(*second, preferences));
    EXPECT_EQ(list.currentUrlPointer, 0);
    EXPECT_EQ(preferences.activeDomain().servicesUrl, QStringLiteral("two.example"));

    // The next failure starts over with the first candidate, replacing the active host.
    const auto again = list.next(*second, preferences);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->host(), QStringLiteral("one.example"));
}

TEST_F(BaseURLTest, EmptyListNeverMovesAndUnknownHostStaysButTheCursorAdvances)
{
    BaseURL empty;
    EXPECT_FALSE(empty.next(failed, preferences));
    EXPECT_FALSE(empty.next(failed, preferences));
    EXPECT_EQ(empty.currentUrlPointer, 0);
    EXPECT_FALSE(defaults.hasObject("AppPreference.activeDomain"));

    BaseURL list(QList<Domain>{{"a1.example", "one.example"}});
    const QUrl elsewhere("https://cdn.example/file");
    const auto same = list.next(elsewhere, preferences);
    ASSERT_TRUE(same);
    EXPECT_EQ(*same, elsewhere);
    EXPECT_EQ(list.currentUrlPointer, 1);
    EXPECT_EQ(preferences.activeDomain().servicesUrl, QStringLiteral("one.example"));
}

TEST_F(BaseURLTest, JsonFormHoldsBareHostsAndNoCursor)
{
    const QByteArray json = R"({"baseUrls":[{"authTokenUrl":"https://a.example/","servicesUrl":"https://s.example/"}]})";
    auto list = BaseURL::fromJson(QJsonDocument::fromJson(json).object());
    ASSERT_TRUE(list);
    EXPECT_EQ(list->currentUrlPointer, 0);
    ASSERT_EQ(list->baseUrls.size(), 1);
    EXPECT_EQ(list->baseUrls[0], (Domain{"a.example", "s.example"}));
    list->currentUrlPointer = 1;
    EXPECT_EQ(list->toJson(), QJsonDocument::fromJson(R"({"baseUrls":[{"authTokenUrl":"a.example","servicesUrl":"s.example"}]})").object());

    for (const char* bad : {R"({})", R"({"baseUrls":{}})", R"({"baseUrls":[{"authTokenUrl":"a"}]})", R"({"baseUrls":[1]})"})
        EXPECT_FALSE(BaseURL::fromJson(QJsonDocument::fromJson(bad).object())) << bad;
}

TEST_F(BaseURLTest, SharedHolderStartsWithoutAList)
{
    EXPECT_FALSE(DomainFronting::shared().domainData);
}
