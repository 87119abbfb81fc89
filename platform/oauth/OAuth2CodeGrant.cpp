#include "OAuth2CodeGrant.h"

#include "OAuthLog.h"
#include "Pkce.h"

#include <QUrlQuery>

namespace {

QString text(const QVariantMap& settings, const char* key)
{
    return settings.value(QLatin1StringView(key)).toString();
}

void addIfAbsent(QUrlQuery& query, const QString& name, const QString& value)
{
    if (!query.hasQueryItem(name) && !value.isEmpty())
        query.addQueryItem(name, QString::fromLatin1(QUrl::toPercentEncoding(value)));
}

bool sameEndpoint(const QUrl& a, const QUrl& b)
{
    const auto path = [](const QUrl& u) { return u.path().isEmpty() ? QStringLiteral("/") : u.path(); };
    return a.scheme() == b.scheme() && a.host() == b.host() && a.port() == b.port() && path(a) == path(b);
}

}

OAuth2CodeGrant::OAuth2CodeGrant(QVariantMap settings, Keychain keychain)
    : settings_(std::move(settings))
    , keychain_(std::move(keychain))
{
    if (storesTokensInKeychain()) {
        accessToken_ = keychain_.get(itemName("access_token")).value_or(QString());
        refreshToken_ = keychain_.get(itemName("refresh_token")).value_or(QString());
    }
}

OAuth2CodeGrant::~OAuth2CodeGrant() = default;

QString OAuth2CodeGrant::clientId() const { return text(settings_, "client_id"); }
QUrl OAuth2CodeGrant::authorizeURI() const { return QUrl(text(settings_, "authorize_uri"), QUrl::StrictMode); }
QUrl OAuth2CodeGrant::tokenURI() const { return QUrl(text(settings_, "token_uri"), QUrl::StrictMode); }
QStringList OAuth2CodeGrant::redirectURIs() const { return settings_.value(QStringLiteral("redirect_uris")).toStringList(); }
QString OAuth2CodeGrant::scope() const { return text(settings_, "scope"); }
bool OAuth2CodeGrant::usePKCE() const { return settings_.value(QStringLiteral("use_pkce")).toBool(); }
bool OAuth2CodeGrant::storesTokensInKeychain() const { return settings_.value(QStringLiteral("keychain")).toBool(); }

std::optional<QUrl> OAuth2CodeGrant::authorizeURL(const QString& state, const std::optional<QString>& codeChallenge) const
{
    QUrl url = authorizeURI();
    if (!url.isValid() || url.scheme().isEmpty() || url.host().isEmpty())
        return std::nullopt;
    QUrlQuery query(url);
    addIfAbsent(query, QStringLiteral("client_id"), clientId());
    addIfAbsent(query, QStringLiteral("response_type"), QStringLiteral("code"));
    addIfAbsent(query, QStringLiteral("redirect_uri"), redirectURIs().value(0));
    addIfAbsent(query, QStringLiteral("scope"), scope());
    query.removeAllQueryItems(QStringLiteral("state"));
    query.addQueryItem(QStringLiteral("state"), state);
    if (codeChallenge) {
        query.removeAllQueryItems(QStringLiteral("code_challenge"));
        query.removeAllQueryItems(QStringLiteral("code_challenge_method"));
        query.addQueryItem(QStringLiteral("code_challenge"), *codeChallenge);
        query.addQueryItem(QStringLiteral("code_challenge_method"), QStringLiteral("S256"));
    }
    url.setQuery(query);
    return url;
}

QUrl OAuth2CodeGrant::redirectURI(const QUrl& authorizeURL)
{
    return QUrl(QUrlQuery(authorizeURL).queryItemValue(QStringLiteral("redirect_uri"), QUrl::FullyDecoded), QUrl::StrictMode);
}

void OAuth2CodeGrant::authorize(const Parameters& extraParameters, Callback callback)
{
    if (authorizing_) {
        if (callback)
            callback(std::nullopt, OAuth2Error{OAuth2Error::Kind::alreadyAuthorizing, {}});
        return;
    }
    const QString state = Pkce::makeState();
    verifier_ = usePKCE() ? Pkce::makeVerifier() : QString();
    std::optional<QUrl> url = authorizeURL(state, usePKCE() ? std::optional(Pkce::challenge(verifier_)) : std::nullopt);
    if (url && !extraParameters.isEmpty()) {
        QUrlQuery query(*url);
        for (auto it = extraParameters.cbegin(); it != extraParameters.cend(); ++it)
            query.addQueryItem(it.key(), QString::fromLatin1(QUrl::toPercentEncoding(it.value().toString())));
        url->setQuery(query);
    }
    const QUrl redirect = url ? redirectURI(*url) : QUrl();
    if (!url || !redirect.isValid() || redirect.scheme().isEmpty()) {
        if (callback)
            callback(std::nullopt, OAuth2Error{OAuth2Error::Kind::invalidSettings, {}});
        return;
    }
    if (!presenter) {
        if (callback)
            callback(std::nullopt, OAuth2Error{OAuth2Error::Kind::noPresenter, {}});
        return;
    }
    authorizing_ = true;
    pending_ = std::move(callback);
    qCInfo(lcOAuth) << "authorising at" << url->adjusted(QUrl::RemoveQuery).toString();
    presenter(*url, redirect, [this, alive = std::weak_ptr<int>(alive_), state, redirect](const std::optional<QUrl>& answer) {
        if (alive.expired() || !authorizing_)
            return;
        if (!answer) {
            finish(std::nullopt, OAuth2Error{OAuth2Error::Kind::requestCancelled, {}});
            return;
        }
        if (!sameEndpoint(*answer, redirect)) {
            finish(std::nullopt, OAuth2Error{OAuth2Error::Kind::invalidRedirect, {}});
            return;
        }
        auto parameters = handleRedirect(*answer, state);
        if (!parameters)
            finish(std::nullopt, parameters.error());
        else
            finish(*parameters, std::nullopt);
    });
}

std::expected<OAuth2CodeGrant::Parameters, OAuth2Error> OAuth2CodeGrant::handleRedirect(const QUrl& redirect,
                                                                                      const QString& expectedState) const
{
    const QUrlQuery query(redirect);
    if (query.hasQueryItem(QStringLiteral("error"))) {
        // The server's error code is a fixed token ("access_denied"); its description is free
        // text from the server and stays out.
        return std::unexpected(OAuth2Error{OAuth2Error::Kind::serverError,
            query.queryItemValue(QStringLiteral("error"), QUrl::FullyDecoded).left(64)});
    }
    const QString state = query.queryItemValue(QStringLiteral("state"), QUrl::FullyDecoded);
    if (expectedState.isEmpty() || state != expectedState)
        return std::unexpected(OAuth2Error{OAuth2Error::Kind::invalidState, {}});
    const QString code = query.queryItemValue(QStringLiteral("code"), QUrl::FullyDecoded);
    if (code.isEmpty())
        return std::unexpected(OAuth2Error{OAuth2Error::Kind::missingCode, {}});

    // The code goes last, so whoever reads the last query item reads the code.
    QUrlQuery reordered;
    for (const auto& [name, value] : query.queryItems(QUrl::FullyEncoded)) {
        if (name != QLatin1StringView("code"))
            reordered.addQueryItem(name, value);
    }
    reordered.addQueryItem(QStringLiteral("code"), query.queryItemValue(QStringLiteral("code"), QUrl::FullyEncoded));
    QUrl handedBack = redirect;
    handedBack.setQuery(reordered.query(QUrl::FullyEncoded), QUrl::StrictMode);
    return Parameters{
        {QStringLiteral("code"), handedBack.toString(QUrl::FullyEncoded)},
        {QStringLiteral("state"), state},
        {QStringLiteral("redirect_uri"), redirect.adjusted(QUrl::RemoveQuery | QUrl::RemoveFragment).toString()},
    };
}

void OAuth2CodeGrant::finish(const std::optional<Parameters>& parameters, const std::optional<OAuth2Error>& error)
{
    authorizing_ = false;
    Callback callback = std::move(pending_);
    pending_ = nullptr;
    if (error)
        qCInfo(lcOAuth) << "authorisation ended without a code, kind" << int(error->kind);
    if (callback)
        callback(parameters, error);
}

QString OAuth2CodeGrant::itemName(const char* name) const
{
    return clientId() + QLatin1Char('.') + QLatin1StringView(name);
}

QString OAuth2CodeGrant::accessToken() const { return accessToken_; }
QString OAuth2CodeGrant::refreshToken() const { return refreshToken_; }

void OAuth2CodeGrant::setTokens(const QString& accessToken, const QString& refreshToken)
{
    accessToken_ = accessToken;
    refreshToken_ = refreshToken;
    if (!storesTokensInKeychain())
        return;
    keychain_.set(accessToken, itemName("access_token"));
    keychain_.set(refreshToken, itemName("refresh_token"));
}

void OAuth2CodeGrant::forgetTokens()
{
    accessToken_.clear();
    refreshToken_.clear();
    keychain_.remove(itemName("access_token"));
    keychain_.remove(itemName("refresh_token"));
}
