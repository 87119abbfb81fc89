#pragma once

// The account routes a returning user meets at launch, as the stand-in serves them: the token
// import of a legacy sign-in "/Veltamorine/user/importtoken", the e-mail migration
// "/Veltamorine/user/migrateemail/v3", and a VPN password route for several VPN accounts of
// one client (it takes the place of the single-account one of IdentityRoutes.h). Header-only;
// the program including it links OpenSSL (through IdentityRoutes.h).

#include "GatewayRoutes.h"
#include "IdentityRoutes.h"
#include "SandboxServer.h"

#include <QHash>
#include <QJsonObject>
#include <QMutex>
#include <memory>

namespace AccountLifecycleRoutes {

struct State {
    QMutex mutex;
    QString bearerToken;                      // the access token every route expects
    QString rsaPublicKeyPath;
    QHash<QString, QString> vpnPasswords;     // VPN user name -> password (sent RSA-encrypted)
    QHash<QString, int> passwordRefusals;     // VPN user name -> refusal code of the gateway
    // Token import: 0 answers the pair below; above 0 the gateway's refusal with that code.
    int importTokenRefusal = 0;
    QString importedAccessToken = QStringLiteral("imported-access-token");
    QString importedRefreshToken = QStringLiteral("imported-refresh-token");
    // E-mail migration: 0 answers {"migrated": migratedText}; above 0 the refusal with that code.
    int migrateEmailRefusal = 0;
    QString migratedText = QStringLiteral("true");
};

inline SandboxReply refusal(int code)
{
    return GatewayRoutes::envelope(code, QStringLiteral("refused"), std::nullopt, 400);
}

inline std::shared_ptr<State> install(SandboxServer& server, QString bearerToken, QString rsaPublicKeyPath)
{
    auto state = std::make_shared<State>();
    state->bearerToken = std::move(bearerToken);
    state->rsaPublicKeyPath = std::move(rsaPublicKeyPath);

    const auto bearerMatches = [state](const SandboxRequest& request) {
        QMutexLocker lock(&state->mutex);
        return request.header("Authorization") == (QStringLiteral("Bearer ") + state->bearerToken).toUtf8();
    };

    // {"uuid", "username", "token"} with the device parameters; all three text.
    server.route(GatewayRoutes::stamped("POST", GatewayRoutes::prefixed(QStringLiteral("/user/importtoken")),
        [state](const SandboxRequest& request) {
            const QJsonObject body = request.jsonBody().value_or(QJsonObject());
            for (const char* key : {"uuid", "username", "token"}) {
                if (!body.value(QLatin1StringView(key)).isString())
                    return GatewayRoutes::envelope(422, QStringLiteral("missing ") + QLatin1StringView(key), std::nullopt, 400);
            }
            QMutexLocker lock(&state->mutex);
            if (state->importTokenRefusal > 0)
                return refusal(state->importTokenRefusal);
            return GatewayRoutes::envelope(200, QStringLiteral("OK"), QJsonObject{
                {QStringLiteral("token"), state->importedAccessToken},
                {QStringLiteral("refreshToken"), state->importedRefreshToken},
            });
        }));

    // {"uuid"} with the device parameters.
    server.route(GatewayRoutes::stamped("POST", GatewayRoutes::prefixed(QStringLiteral("/user/migrateemail/v3")),
        [state, bearerMatches](const SandboxRequest& request) {
            if (!bearerMatches(request))
                return GatewayRoutes::envelope(401, QStringLiteral("Unauthorized"), std::nullopt, 401);
            if (!request.jsonBody().value_or(QJsonObject()).value(QLatin1StringView("uuid")).isString())
                return GatewayRoutes::envelope(422, QStringLiteral("missing uuid"), std::nullopt, 400);
            QMutexLocker lock(&state->mutex);
            if (state->migrateEmailRefusal > 0)
                return refusal(state->migrateEmailRefusal);
            return GatewayRoutes::envelope(200, QStringLiteral("OK"), QJsonObject{{QStringLiteral("migrated"), state->migratedText}});
        }));

    server.route(GatewayRoutes::stamped("GET", GatewayRoutes::prefixed(QStringLiteral("/vpn/account/password")),
        [state, bearerMatches](const SandboxRequest& request) {
            if (!bearerMatches(request))
                return GatewayRoutes::envelope(401, QStringLiteral("Unauthorized"), std::nullopt, 401);
            const QString username = request.queryItem(QStringLiteral("username")).value_or(QString());
            QMutexLocker lock(&state->mutex);
            if (request.queryItem(QStringLiteral("device_type")) != QStringLiteral("mac"))
                return GatewayRoutes::envelope(422, QStringLiteral("device_type"), std::nullopt, 400);
            if (const int code = state->passwordRefusals.value(username); code > 0)
                return refusal(code);
            if (!state->vpnPasswords.contains(username))
                return GatewayRoutes::envelope(404, QStringLiteral("no such account"), std::nullopt, 404);
            const QString secret = IdentityRoutes::encryptRSA(state->vpnPasswords.value(username).toUtf8(), state->rsaPublicKeyPath);
            return SandboxReply::json(QJsonObject{{QStringLiteral("body"), QJsonObject{{QStringLiteral("secret"), secret}}}});
        }));
    return state;
}

}
