#include "OutOfBandTitle.h"
#include "RedirectMatcher.h"

#include <gtest/gtest.h>

TEST(RedirectMatcher, CaseTable)
{
    struct Case { const char* request; std::optional<QString> intercept; bool matches; };
    const Case cases[] = {
        {"https://id.example/callback?code=abc", QStringLiteral("https://id.example/callback"), true},
        {"https://id.example/callback#frag", QStringLiteral("https://id.example/callback?x=1"), true},
        {"https://id.example/", QStringLiteral("https://id.example"), true},
        {"https://id.example", QStringLiteral("https://id.example/"), true},
        {"veltamorine://home/?state=s&code=abc", QStringLiteral("veltamorine://home"), true},
        {"https://id.example/callback/", QStringLiteral("https://id.example/callback"), false},
        {"https://id.example/callback", QStringLiteral("https://id.example/callback/"), false},
        {"HTTPS://id.example/callback", QStringLiteral("https://id.example/callback"), false},
        {"https://ID.example/callback", QStringLiteral("https://id.example/callback"), false},
        {"http://id.example/callback", QStringLiteral("https://id.example/callback"), false},
        {"https://other.example/callback", QStringLiteral("https://id.example/callback"), false},
        {"https://id.example/other", QStringLiteral("https://id.example/callback"), false},
        {"https://id.example:8443/callback", QStringLiteral("https://id.example/callback"), true},
        {"https://id.example/callback", std::nullopt, false},
        {"urn:ietf:wg:oauth:2.0:oob", QStringLiteral("urn:ietf:wg:oauth:2.0:oob"), true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(redirectMatches(QString::fromLatin1(c.request), c.intercept), c.matches)
            << c.request << " against " << c.intercept.value_or(QStringLiteral("<none>")).toStdString();
}

TEST(RedirectMatcher, SplitsTextAsWritten)
{
    const UrlTextParts parts = UrlTextParts::split(QStringLiteral("HTTPS://user@Host.Example:8443/a/B?q=1#f"));
    EXPECT_EQ(parts.scheme, QStringLiteral("HTTPS"));
    EXPECT_EQ(parts.host, QStringLiteral("Host.Example"));
    EXPECT_EQ(parts.path, QStringLiteral("/a/B"));
    const UrlTextParts relative = UrlTextParts::split(QStringLiteral("/callback?x"));
    EXPECT_FALSE(relative.scheme);
    EXPECT_FALSE(relative.host);
    EXPECT_EQ(relative.path, QStringLiteral("/callback"));
}

TEST(OutOfBandTitle, TitleTable)
{
    struct Case { const char* title; std::optional<const char*> url; };
    const Case cases[] = {
        {"Success code=x", "http://localhost/?code=x"},
        {"Success state=s&code=x", "http://localhost/?state=s&code=x"},
        {"Success code=Success x", "http://localhost/?code=x"},
        {"Success ", "http://localhost/?"},
        {"success code=x", std::nullopt},
        {"Sign in", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases) {
        const auto url = OutOfBandTitle::resultURL(QString::fromLatin1(c.title));
        ASSERT_EQ(url.has_value(), c.url.has_value()) << c.title;
        if (url)
            EXPECT_EQ(url->toString(), QString::fromLatin1(*c.url)) << c.title;
    }
}

TEST(OutOfBandTitle, RecognisesTheOutOfBandRedirect)
{
    EXPECT_TRUE(OutOfBandTitle::isOutOfBandRedirect(QStringLiteral("urn:ietf:wg:oauth:2.0:oob")));
    EXPECT_TRUE(OutOfBandTitle::isOutOfBandRedirect(QStringLiteral("urn:ietf:wg:oauth:2.0:oob:auto")));
    EXPECT_FALSE(OutOfBandTitle::isOutOfBandRedirect(QStringLiteral("URN:ietf:wg:oauth:2.0:oob")));
    EXPECT_FALSE(OutOfBandTitle::isOutOfBandRedirect(QStringLiteral("https://id.example/ietf:wg:oauth:2.0:oob")));
}
