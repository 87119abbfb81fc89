#pragma once

#include "Keychain.h"
#include "OAuth2Error.h"

#include <QStringList>
#include <QUrl>
#include <QVariantMap>
#include <expected>
#include <functional>
#include <memory>
#include <optional>

// An OAuth 2.0 authorisation-code client with PKCE (S256), made from a settings map:
// "client_id", "client_secret", "authorize_uri", "token_uri", "redirect_uris" (list), "scope",
// "use_pkce" (bool), "keychain" (bool: keep the token pair in the keyring).
//
// authorize() builds the authorisation page with a fresh verifier, challenge and state, asks
// the presenter to show it, and checks the redirect it reports. The callback's parameters hold
// "code": the redirect URL as text with the authorisation code as its LAST query item (so a
// caller that reads the last item gets the code), "state" and "redirect_uri". The verifier of
// the finished attempt stays available for a token exchange. Main thread only; the callback
// runs exactly once per authorize().
class OAuth2CodeGrant {
public:
    using Parameters = QVariantMap;
    using Callback = std::function<void(const std::optional<Parameters>& parameters, const std::optional<OAuth2Error>& error)>;
    // Shows `authorizeURL` and reports the first navigation to `redirectURI` (none: the user
    // cancelled). `done` may be called once, later, on the main thread.
    using Presenter = std::function<void(const QUrl& authorizeURL, const QUrl& redirectURI,
                                         std::function<void(const std::optional<QUrl>& redirect)> done)>;

    explicit OAuth2CodeGrant(QVariantMap settings, Keychain keychain = Keychain(QStringLiteral("OAuth2.")));
    virtual ~OAuth2CodeGrant();

    const QVariantMap& settings() const { return settings_; }
    QString clientId() const;
    QUrl authorizeURI() const;
    QUrl tokenURI() const;
    QStringList redirectURIs() const;
    QString scope() const;
    bool usePKCE() const;
    bool storesTokensInKeychain() const;

    // Show the page embedded in the application instead of the system's browser.
    bool authorizeEmbedded = false;
    Presenter presenter;

    // The authorisation page for one attempt: the configured page with client_id,
    // response_type, redirect_uri and scope added when it lacks them, then state and, with
    // PKCE, code_challenge and code_challenge_method=S256. None without a usable page.
    std::optional<QUrl> authorizeURL(const QString& state, const std::optional<QString>& codeChallenge) const;
    // The redirect URI the page sends the user back to: its own redirect_uri item, else the
    // first configured one.
    static QUrl redirectURI(const QUrl& authorizeURL);

    void authorize(const Parameters& extraParameters, Callback callback);
    bool isAuthorizing() const { return authorizing_; }

    // Checks one redirect against the attempt's state; on success the callback parameters.
    std::expected<Parameters, OAuth2Error> handleRedirect(const QUrl& redirect, const QString& expectedState) const;

    // Verifier of the last attempt (empty before one or without PKCE).
    QString codeVerifier() const { return verifier_; }

    QString accessToken() const;
    QString refreshToken() const;
    void setTokens(const QString& accessToken, const QString& refreshToken);
    // Forgets both tokens, the keyring copies included.
    void forgetTokens();

private:
    void finish(const std::optional<Parameters>& parameters, const std::optional<OAuth2Error>& error);
    QString itemName(const char* name) const;

    QVariantMap settings_;
    Keychain keychain_;
    QString accessToken_;
    QString refreshToken_;
    QString verifier_;
    bool authorizing_ = false;
    Callback pending_;
    // Lets a page that outlives the client report into nothing.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};
