#pragma once

#include "AuthProtocol.h"
#include "OAuth2Client.h"
#include "OAuth2Error.h"

#include <QString>
#include <QVariantMap>
#include <expected>
#include <functional>
#include <memory>
#include <optional>

// The application's one holder of the identity server's code-grant client: knows its settings,
// picks the page (sign-in or registration) when the client is first made, runs its
// authorisation, and signs out (forgets the client's tokens, empties the token store, clears
// the web data). Main thread only.
class OAuthService : public AuthProtocol {
public:
    using AuthorizeCompletion = std::function<void(const std::expected<bool, OAuth2Error>&)>;

    OAuthService();
    ~OAuthService() override;

    // The shared service; made on first use and bound as the API client's AuthProtocol.
    static std::shared_ptr<OAuthService> shared();

    std::optional<QString> authorizationCode;

    // The code-grant client, made on the first read; the same object on every later read.
    std::shared_ptr<OAuthClientHandle> oauth() override;
    std::shared_ptr<OAuth2Client> client();

    void authorize(AuthorizeCompletion completion);
    void signOut();
    // Removes every cookie now, and the other web data from the main queue.
    static void clearWebData();

    // The client settings shared by the process ("authorize_uri" joins on the first read of a
    // client).
    static QVariantMap settings();
    static QString loginURL();
    static QString registerURL();

    // How the authorisation page is shown (default: the embedded web view window). Tests
    // put a scripted presenter in its place.
    static void setPresenter(OAuth2CodeGrant::Presenter presenter);
    static OAuth2CodeGrant::Presenter presenter();

private:
    std::shared_ptr<OAuth2Client> oauth_;
};
