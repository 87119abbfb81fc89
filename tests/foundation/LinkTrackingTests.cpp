#include "ApplicationAppearance.h"
#include "LinkTracking.h"

#include <QGuiApplication>
#include <QPalette>
#include <QUrlQuery>
#include <gtest/gtest.h>

namespace {

const LinkTracking::Parameters parameters{"3.0 (117)", "light", "en"};

using Items = QList<QPair<QString, QString>>;

Items items(const QUrl& url)
{
    return QUrlQuery(url).queryItems(QUrl::FullyDecoded);
}

const Items tracking{
    {"version", "3.0 (117)"}, {"platform", "mac"},        {"utm_medium", "apps"}, {"utm_source", "mac"},
    {"utm_campaign", "3.0 (117)"}, {"theme", "light"}, {"locale", "en"},
};

TEST(LinkTrackingTests, UrlWithoutQueryGetsExactlyTheSevenItemsInOrder)
{
    const QUrl url = LinkTracking::withTrackingParameters(QUrl("https://127.0.0.1/support"), parameters);
    EXPECT_EQ(items(url), tracking);
    EXPECT_EQ(url.toString(QUrl::FullyEncoded),
              "https://127.0.0.1/support?version=3.0%20(117)&platform=mac&utm_medium=apps&utm_source=mac"
              "&utm_campaign=3.0%20(117)&theme=light&locale=en");
}

TEST(LinkTrackingTests, ExistingItemsStayFirstAndNothingIsDeduplicated)
{
    const QUrl once = LinkTracking::withTrackingParameters(QUrl("https://127.0.0.1/page?ref=a&locale=fr"), parameters);
    Items expected{{"ref", "a"}, {"locale", "fr"}};
    expected += tracking;
    EXPECT_EQ(items(once), expected);

    const QUrl twice = LinkTracking::withTrackingParameters(once, parameters);
    expected += tracking;
    EXPECT_EQ(items(twice), expected);
}

TEST(LinkTrackingTests, ValuesWithQuerySyntaxStayOneValue)
{
    const QUrl url = LinkTracking::withTrackingParameters(QUrl("https://127.0.0.1/x"), {"1.0 & b=2+3", "dark", "pt-BR"});
    const Items read = items(url);
    ASSERT_EQ(read.size(), 7);
    EXPECT_EQ(read.at(0), (QPair<QString, QString>{"version", "1.0 & b=2+3"}));
    EXPECT_EQ(read.at(4), (QPair<QString, QString>{"utm_campaign", "1.0 & b=2+3"}));
    EXPECT_EQ(read.at(5).second, "dark");
}

TEST(LinkTrackingTests, ThemeFollowsTheApplicationPalette)
{
    if (!ApplicationAppearance::canReadAppearance())
        GTEST_SKIP() << "this build reads no application palette";
    const QPalette original = QGuiApplication::palette();
    QPalette dark = original;
    dark.setColor(QPalette::Window, QColor(30, 30, 30));
    dark.setColor(QPalette::WindowText, QColor(235, 235, 235));
    QGuiApplication::setPalette(dark);
    EXPECT_TRUE(ApplicationAppearance::isDarkMode());
    EXPECT_EQ(ApplicationAppearance::currentThemeName(), "dark");

    QPalette light = original;
    light.setColor(QPalette::Window, QColor(245, 245, 245));
    light.setColor(QPalette::WindowText, QColor(10, 10, 10));
    QGuiApplication::setPalette(light);
    EXPECT_FALSE(ApplicationAppearance::isDarkMode());
    EXPECT_EQ(ApplicationAppearance::currentThemeName(), "light");
    QGuiApplication::setPalette(original);
}

}

namespace {

TEST(LinkTrackingTests, CurrentParametersComeFromTheBundleAndSettings)
{
    const LinkTracking::Parameters current = LinkTracking::currentParameters();
    EXPECT_FALSE(current.version.isEmpty());
    EXPECT_FALSE(current.locale.isEmpty());
    const QUrl url = LinkTracking::withTrackingParameters(QUrl("https://127.0.0.1/faq?q=1"));
    const Items read = items(url);
    ASSERT_EQ(read.size(), 8);
    EXPECT_EQ(read.at(0), (QPair<QString, QString>{"q", "1"}));
    EXPECT_EQ(read.at(1), (QPair<QString, QString>{"version", current.version}));
    EXPECT_EQ(read.at(5), (QPair<QString, QString>{"utm_campaign", current.version}));
    EXPECT_EQ(read.at(6).second, ApplicationAppearance::currentThemeName());
    EXPECT_EQ(read.at(7), (QPair<QString, QString>{"locale", current.locale}));
}

}
