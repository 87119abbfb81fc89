#pragma once

// The identity server and the account routes of the stand-in service: the authorisation page
// with a small sign-in form that sends the browser back with a code, the code exchange
// "/auth/token" answering the AES-GCM-encrypted token set, the profile
// "/Veltamorine/user/profile" and the VPN password "/Veltamorine/vpn/account/password"
// answering the password RSA-encrypted with the public half of the build's key pair.
// Header-only, like GatewayRoutes.h; the program including it links OpenSSL.

#include "GatewayRoutes.h"
#include "SandboxCrypto.h"
#include "SandboxServer.h"

#include <QByteArray>
#include <QFile>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QRandomGenerator>
#include <QUrl>
#include <QUrlQuery>
#include <memory>
#include <openssl/evp.h>
#include <openssl/pem.h>

namespace IdentityRoutes {

struct Account {
    QString login;             // what the form takes as user name
    QString password;          // what the form takes as password
    QString vpnUsername;       // the account's VPN user name
    QString vpnPassword;       // sent RSA-encrypted
    QJsonObject profile;       // the profile body
    QJsonObject tokenSet;      // the token set sent (encrypted) by the code exchange
};

struct Keys {
    QString aesGcmKeyHex;      // 64 hex characters
    QString aesGcmIvHex;       // 32 hex characters
    QString rsaPublicKeyPath;  // PEM (SubjectPublicKeyInfo)
};

// What the identity server remembers between requests. Handlers run on the server's threads.
struct State {
    QMutex mutex;
    Account account;
    Keys keys;
    QString expectedRedirectURI;              // the exchange's "redirect_uri" must be this
    QHash<QString, QString> issuedCodes;      // code -> redirect URI of its page; single use
    QStringList redeemedCodes;
    int passwordErrorCode = 0;                // above 0: the password route answers this refusal
    bool garbleTokenSet = false;              // answer a token set that does not decrypt
};

// The public half of the build's RSA key pair (<build>/keys).
inline QString buildRsaPublicKeyPath()
{
    return SandboxServer::certificateDirectory() + QStringLiteral("/../keys/vpn-password-public.pem");
}

inline QByteArray fromHex(const QString& hex)
{
    return QByteArray::fromHex(hex.toLatin1());
}

// AES-256-GCM, ciphertext followed by the 16-byte tag, as base64.
inline QString encryptAESGCM(const QByteArray& plain, const QString& keyHex, const QString& ivHex)
{
    return SandboxCrypto::sealAESGCM(plain, fromHex(keyHex), fromHex(ivHex));
}

// RSA PKCS#1 v1.5 with the public key in `pemPath`, as base64; empty when it cannot be done.
inline QString encryptRSA(const QByteArray& plain, const QString& pemPath)
{
    QFile file(pemPath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray pem = file.readAll();
    BIO* bio = BIO_new_mem_buf(pem.constData(), int(pem.size()));
    EVP_PKEY* key = PEM_read_bio_PUBKEY(bio, nullptr, nullptr, nullptr);
    BIO_free(bio);
    if (!key)
        return {};
    QString result;
    EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new(key, nullptr);
    size_t length = 0;
    if (ctx && EVP_PKEY_encrypt_init(ctx) > 0 && EVP_PKEY_CTX_set_rsa_padding(ctx, RSA_PKCS1_PADDING) > 0
        && EVP_PKEY_encrypt(ctx, nullptr, &length, reinterpret_cast<const unsigned char*>(plain.constData()), plain.size()) > 0) {
        QByteArray out(int(length), Qt::Uninitialized);
        if (EVP_PKEY_encrypt(ctx, reinterpret_cast<unsigned char*>(out.data()), &length,
                             reinterpret_cast<const unsigned char*>(plain.constData()), plain.size()) > 0) {
            out.truncate(int(length));
            result = QString::fromLatin1(out.toBase64());
        }
    }
    EVP_PKEY_CTX_free(ctx);
    EVP_PKEY_free(key);
    return result;
}

inline QString htmlEscaped(const QString& text)
{
    return text.toHtmlEscaped();
}

inline QString randomCode()
{
    QByteArray bytes(18, Qt::Uninitialized);
    for (char& b : bytes)
        b = char(QRandomGenerator::global()->bounded(256));
    return QString::fromLatin1(bytes.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

inline SandboxReply html(const QString& body, int status = 200)
{
    return SandboxReply::raw(status, body.toUtf8(), "text/html; charset=utf-8");
}

// The sign-in page: a form that carries the page's redirect URI and state along.
inline SandboxReply authorizePage(const SandboxRequest& request, const QString& title)
{
    const QString redirect = request.queryItem(QStringLiteral("redirect_uri")).value_or(QString());
    const QString state = request.queryItem(QStringLiteral("state")).value_or(QString());
    if (request.queryItem(QStringLiteral("response_type")) != QStringLiteral("code") || redirect.isEmpty())
        return html(QStringLiteral("<html><head><title>Bad request</title></head><body>invalid_request</body></html>"), 400);
    return html(QStringLiteral(
        "<html><head><title>%1</title></head><body>"
        "<form id=\"signin\" method=\"post\" action=\"/oauth2/login\">"
        "<input type=\"hidden\" name=\"redirect_uri\" value=\"%2\">"
        "<input type=\"hidden\" name=\"state\" value=\"%3\">"
        "<input id=\"login\" name=\"login\"><input id=\"password\" name=\"password\" type=\"password\">"
        "<button id=\"signin-button\" type=\"submit\">Sign in</button></form></body></html>")
        .arg(htmlEscaped(title), htmlEscaped(redirect), htmlEscaped(state)));
}

// Installs every identity and account route for `account` on `server`.
inline std::shared_ptr<State> install(SandboxServer& server, Account account, Keys keys, QString expectedRedirectURI)
{
    auto state = std::make_shared<State>();
    state->account = std::move(account);
    state->keys = std::move(keys);
    state->expectedRedirectURI = std::move(expectedRedirectURI);

    for (const char* path : {"/oauth2/authorize", "/oauth2/register", "/realms/Veltamorine/protocol/openid-connect/auth"}) {
        SandboxRoute page;
        page.method = "GET";
        page.path = QString::fromLatin1(path);
        page.body = SandboxBody::Empty;
        page.handler = [](const SandboxRequest& request) { return authorizePage(request, QStringLiteral("Sign in")); };
        server.route(std::move(page));
    }

    // Browsers ask every origin for its icon; the identity server has none.
    SandboxRoute icon;
    icon.method = "GET";
    icon.path = QStringLiteral("/favicon.ico");
    icon.body = SandboxBody::Empty;
    icon.handler = [](const SandboxRequest&) { return SandboxReply::raw(404, QByteArray(), "text/plain"); };
    server.route(std::move(icon));

    // The form: right credentials send the browser back with state first and the code last.
    SandboxRoute login;
    login.method = "POST";
    login.path = QStringLiteral("/oauth2/login");
    login.handler = [state](const SandboxRequest& request) {
        const QUrlQuery form(QString::fromUtf8(request.body).replace(u'+', u' '));
        const auto field = [&](const char* name) { return form.queryItemValue(QLatin1StringView(name), QUrl::FullyDecoded); };
        QMutexLocker lock(&state->mutex);
        if (field("login") != state->account.login || field("password") != state->account.password)
            return html(QStringLiteral("<html><head><title>Sign in</title></head><body>Wrong e-mail or password.</body></html>"), 401);
        const QString code = randomCode();
        const QString redirect = field("redirect_uri");
        state->issuedCodes.insert(code, redirect);
        QUrl target(redirect);
        QUrlQuery query;
        query.addQueryItem(QStringLiteral("state"), QString::fromLatin1(QUrl::toPercentEncoding(field("state"))));
        query.addQueryItem(QStringLiteral("code"), code);
        target.setQuery(query);
        SandboxReply reply = html(QString(), 302);
        reply.headers.append({"Location", target.toString(QUrl::FullyEncoded).toUtf8()});
        return reply;
    };
    server.route(std::move(login));

    // The code exchange: unstamped, {"authorization_code", "realm", "redirect_uri"} and the
    // device parameters; a code works once.
    SandboxRoute exchange;
    exchange.method = "POST";
    exchange.path = QStringLiteral("/auth/token");
    exchange.body = SandboxBody::JsonObject;
    exchange.handler = [state](const SandboxRequest& request) {
        const QJsonObject body = request.jsonBody().value_or(QJsonObject());
        if (request.hasHeader("Authorization"))
            return GatewayRoutes::envelope(400, QStringLiteral("the code exchange carries no bearer token"), std::nullopt, 400);
        QMutexLocker lock(&state->mutex);
        const QString code = body.value(QLatin1StringView("authorization_code")).toString();
        if (body.value(QLatin1StringView("realm")) != QJsonValue(QStringLiteral("Veltamorine"))
            || body.value(QLatin1StringView("redirect_uri")) != QJsonValue(state->expectedRedirectURI)
            || !state->issuedCodes.contains(code) || state->redeemedCodes.contains(code))
            return GatewayRoutes::envelope(400, QStringLiteral("invalid_grant"), std::nullopt, 400);
        state->redeemedCodes.append(code);
        const QByteArray plain = QJsonDocument(state->account.tokenSet).toJson(QJsonDocument::Compact);
        QString sealed = encryptAESGCM(plain, state->keys.aesGcmKeyHex, state->keys.aesGcmIvHex);
        if (state->garbleTokenSet)
            sealed = QString::fromLatin1(QByteArray("not the token set").toBase64());
        return GatewayRoutes::tokenResponse(sealed);
    };
    server.route(std::move(exchange));

    const auto bearerMatches = [state](const SandboxRequest& request) {
        QMutexLocker lock(&state->mutex);
        const QString access = state->account.tokenSet.value(QLatin1StringView("oem-at")).toString();
        return request.header("Authorization") == (QStringLiteral("Bearer ") + access).toUtf8();
    };

    server.route(GatewayRoutes::stamped("GET", GatewayRoutes::prefixed(QStringLiteral("/user/profile")),
        [state, bearerMatches](const SandboxRequest& request) {
            if (!bearerMatches(request))
                return GatewayRoutes::envelope(401, QStringLiteral("Unauthorized"), std::nullopt, 401);
            QMutexLocker lock(&state->mutex);
            return SandboxReply::json(QJsonObject{{QStringLiteral("body"), state->account.profile}});
        }));

    server.route(GatewayRoutes::stamped("GET", GatewayRoutes::prefixed(QStringLiteral("/vpn/account/password")),
        [state, bearerMatches](const SandboxRequest& request) {
            if (!bearerMatches(request))
                return GatewayRoutes::envelope(401, QStringLiteral("Unauthorized"), std::nullopt, 401);
            QMutexLocker lock(&state->mutex);
            if (state->passwordErrorCode > 0)
                return GatewayRoutes::envelope(state->passwordErrorCode, QStringLiteral("refused"), std::nullopt, 500);
            if (request.queryItem(QStringLiteral("username")) != state->account.vpnUsername
                || request.queryItem(QStringLiteral("device_type")) != QStringLiteral("mac"))
                return GatewayRoutes::envelope(404, QStringLiteral("no such account"), std::nullopt, 404);
            const QString secret = encryptRSA(state->account.vpnPassword.toUtf8(), state->keys.rsaPublicKeyPath);
            return SandboxReply::json(QJsonObject{{QStringLiteral("body"), QJsonObject{{QStringLiteral("secret"), secret}}}});
        }));
    return state;
}

}
