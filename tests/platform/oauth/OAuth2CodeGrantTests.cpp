#include "MemoryKeychainBackend.h"
#include "OAuth2CodeGrant.h"
#include "Pkce.h"

#include <QUrlQuery>
#include <gtest/gtest.h>

namespace {

QVariantMap settings(const QString& authorize = QStringLiteral("https://id.example/oauth2/authorize"))
{
    return QVariantMap{
        {QStringLiteral("client_id"), QStringLiteral("apps")},
        {QStringLiteral("client_secret"), QString()},
        {QStringLiteral("authorize_uri"), authorize},
        {QStringLiteral("token_uri"), QStringLiteral("https://id.example/oauth2/token")},
        {QStringLiteral("redirect_uris"), QStringList{QStringLiteral("quibbo://redirect.example/callback")}},
        {QStringLiteral("scope"), QStringLiteral("offline_access")},
        {QStringLiteral("use_pkce"), true},
        {QStringLiteral("keychain"), true},
    };
}

Keychain memoryKeychain(std::shared_ptr<KeychainBackend> backend)
{
    return Keychain(QStringLiteral("OAuth2."), std::move(backend));
}

struct Outcome {
    int calls = 0;
    std::optional<OAuth2CodeGrant::Parameters> parameters;
    std::optional<OAuth2Error> error;
};

// Runs one authorisation whose page "redirects" to what `answer` makes of the page URL.
Outcome runAuthorize(OAuth2CodeGrant& client, std::function<std::optional<QUrl>(const QUrl& page, const QUrl& redirect)> answer,
                     QUrl* shownPage = nullptr)
{
    Outcome outcome;
    client.presenter = [&](const QUrl& page, const QUrl& redirect, auto done) {
        if (shownPage)
            *shownPage = page;
        done(answer(page, redirect));
    };
    client.authorize({}, [&](const auto& parameters, const auto& error) {
        ++outcome.calls;
        outcome.parameters = parameters;
        outcome.error = error;
    });
    return outcome;
}

QString item(const QUrl& url, const char* name)
{
    return QUrlQuery(url).queryItemValue(QLatin1StringView(name), QUrl::FullyDecoded);
}

}

TEST(OAuth2CodeGrant, PageCarriesClientRedirectStateAndS256Challenge)
{
    OAuth2CodeGrant client(settings(), memoryKeychain(std::make_shared<MemoryKeychainBackend>()));
    QUrl page;
    runAuthorize(client, [](const QUrl&, const QUrl&) { return std::nullopt; }, &page);
    EXPECT_EQ(page.adjusted(QUrl::RemoveQuery).toString(), QStringLiteral("https://id.example/oauth2/authorize"));
    EXPECT_EQ(item(page, "client_id"), QStringLiteral("apps"));
    EXPECT_EQ(item(page, "response_type"), QStringLiteral("code"));
    EXPECT_EQ(item(page, "redirect_uri"), QStringLiteral("quibbo://redirect.example/callback"));
    EXPECT_EQ(item(page, "scope"), QStringLiteral("offline_access"));
    EXPECT_EQ(item(page, "code_challenge_method"), QStringLiteral("S256"));
    EXPECT_TRUE(Pkce::isValidVerifier(client.codeVerifier()));
    EXPECT_EQ(item(page, "code_challenge"), Pkce::challenge(client.codeVerifier()));
    EXPECT_FALSE(item(page, "code_challenge").contains(u'='));
    EXPECT_FALSE(item(page, "state").isEmpty());
}

TEST(OAuth2CodeGrant, ItemsAlreadyOnThePageAreKept)
{
    OAuth2CodeGrant client(settings(QStringLiteral(
        "https://id.example/oauth2/register?env=PRODUCTION&client_id=----&response_type=code&redirect_uri=veltamorine%3A%2F%2Fhome")),
        memoryKeychain(std::make_shared<MemoryKeychainBackend>()));
    QUrl page;
    QUrl redirectShown;
    runAuthorize(client, [&](const QUrl&, const QUrl& redirect) { redirectShown = redirect; return std::nullopt; }, &page);
    const QUrlQuery query(page);
    EXPECT_EQ(query.allQueryItemValues(QStringLiteral("client_id")), QStringList{QStringLiteral("----")});
    EXPECT_EQ(item(page, "env"), QStringLiteral("PRODUCTION"));
    EXPECT_EQ(redirectShown.toString(), QStringLiteral("veltamorine://home"));
}

TEST(OAuth2CodeGrant, RedirectOutcomes)
{
    struct Case {
        const char* name;
        std::function<QString(const QString& redirect, const QString& state)> answer;  // empty: cancelled
        std::optional<OAuth2Error::Kind> error;
        QString codeUrl;
    };
    const Case cases[] = {
        {"state then code", [](const QString& r, const QString& s) { return r + "?state=" + s + "&code=abc"; }, std::nullopt, "?state=S&code=abc"},
        {"code then state: code moved last", [](const QString& r, const QString& s) { return r + "?code=abc&state=" + s; }, std::nullopt, "?state=S&code=abc"},
        {"cancelled", [](const QString&, const QString&) { return QString(); }, OAuth2Error::Kind::requestCancelled, {}},
        {"foreign state", [](const QString& r, const QString&) { return r + "?state=other&code=abc"; }, OAuth2Error::Kind::invalidState, {}},
        {"no state", [](const QString& r, const QString&) { return r + "?code=abc"; }, OAuth2Error::Kind::invalidState, {}},
        {"no code", [](const QString& r, const QString& s) { return r + "?state=" + s; }, OAuth2Error::Kind::missingCode, {}},
        {"server error", [](const QString& r, const QString& s) { return r + "?error=access_denied&state=" + s; }, OAuth2Error::Kind::serverError, {}},
        {"other address", [](const QString&, const QString& s) { return "https://elsewhere.example/callback?state=" + s + "&code=abc"; }, OAuth2Error::Kind::invalidRedirect, {}},
    };
    for (const Case& c : cases) {
        OAuth2CodeGrant client(settings(), memoryKeychain(std::make_shared<MemoryKeychainBackend>()));
        QString state;
        const Outcome outcome = runAuthorize(client, [&](const QUrl& page, const QUrl& redirect) -> std::optional<QUrl> {
            state = item(page, "state");
            const QString text = c.answer(redirect.toString(), state);
            return text.isEmpty() ? std::nullopt : std::optional(QUrl(text));
        });
        EXPECT_EQ(outcome.calls, 1) << c.name;
        EXPECT_FALSE(client.isAuthorizing()) << c.name;
        if (c.error) {
            ASSERT_TRUE(outcome.error) << c.name;
            EXPECT_EQ(outcome.error->kind, *c.error) << c.name;
            EXPECT_FALSE(outcome.parameters) << c.name;
            EXPECT_FALSE(outcome.error->toError().message.contains(QStringLiteral("abc"))) << c.name;
        } else {
            ASSERT_TRUE(outcome.parameters) << c.name;
            QString expected = c.codeUrl;
            expected.replace(QStringLiteral("S"), state);
            EXPECT_EQ(outcome.parameters->value(QStringLiteral("code")).toString(),
                      QStringLiteral("quibbo://redirect.example/callback") + expected) << c.name;
        }
    }
}

TEST(OAuth2CodeGrant, RefusesWhatCannotStart)
{
    {
        OAuth2CodeGrant client(settings(QStringLiteral("not a page")), memoryKeychain(std::make_shared<MemoryKeychainBackend>()));
        const Outcome outcome = runAuthorize(client, [](const QUrl&, const QUrl&) { return std::nullopt; });
        ASSERT_TRUE(outcome.error);
        EXPECT_EQ(outcome.error->kind, OAuth2Error::Kind::invalidSettings);
    }
    {
        OAuth2CodeGrant client(settings(), memoryKeychain(std::make_shared<MemoryKeychainBackend>()));
        std::optional<OAuth2Error> error;
        client.authorize({}, [&](const auto&, const auto& e) { error = e; });
        ASSERT_TRUE(error);
        EXPECT_EQ(error->kind, OAuth2Error::Kind::noPresenter);
    }
    {
        // A second attempt while the page is open is refused; the first still ends once.
        OAuth2CodeGrant client(settings(), memoryKeychain(std::make_shared<MemoryKeychainBackend>()));
        std::function<void(const std::optional<QUrl>&)> finishFirst;
        client.presenter = [&](const QUrl&, const QUrl&, auto done) { finishFirst = done; };
        int firstCalls = 0;
        std::optional<OAuth2Error> second;
        client.authorize({}, [&](const auto&, const auto&) { ++firstCalls; });
        client.authorize({}, [&](const auto&, const auto& e) { second = e; });
        ASSERT_TRUE(second);
        EXPECT_EQ(second->kind, OAuth2Error::Kind::alreadyAuthorizing);
        finishFirst(std::nullopt);
        finishFirst(std::nullopt);
        EXPECT_EQ(firstCalls, 1);
    }
}

TEST(OAuth2CodeGrant, TokensLiveInTheKeyringUntilForgotten)
{
    auto backend = std::make_shared<MemoryKeychainBackend>();
    {
        OAuth2CodeGrant client(settings(), memoryKeychain(backend));
        client.setTokens(QStringLiteral("access-1"), QStringLiteral("refresh-1"));
    }
    OAuth2CodeGrant again(settings(), memoryKeychain(backend));
    EXPECT_EQ(again.accessToken(), QStringLiteral("access-1"));
    EXPECT_EQ(again.refreshToken(), QStringLiteral("refresh-1"));
    again.forgetTokens();
    EXPECT_TRUE(again.accessToken().isEmpty());
    OAuth2CodeGrant third(settings(), memoryKeychain(backend));
    EXPECT_TRUE(third.accessToken().isEmpty());
    EXPECT_TRUE(third.refreshToken().isEmpty());
}
