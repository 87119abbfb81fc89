#pragma once

// The API gateway's routes as the stand-in serves them: replies in the gateway's envelope, the
// token refresh and the version check. Header-only so test programs and the stand-in program
// can use it without further build entries.

#include "SandboxServer.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <optional>

namespace GatewayRoutes {

// The product prefix every gateway path carries, except the code exchange and version checks.
inline QString prefixed(const QString& path)
{
    return QStringLiteral("/Veltamorine") + path;
}

inline QString refreshTokenPath()
{
    return QStringLiteral("/refresh/token");
}

inline QString versionCheckPath()
{
    return QStringLiteral("/app/latest/version/mac");
}

// {"header": {"response_code", "message"}, "body": body} with HTTP `status`.
inline SandboxReply envelope(qint64 responseCode, const QString& message,
                             const std::optional<QJsonObject>& body = std::nullopt, int status = 200)
{
    QJsonObject reply{{QStringLiteral("header"),
        QJsonObject{{QStringLiteral("response_code"), responseCode}, {QStringLiteral("message"), message}}}};
    if (body)
        reply.insert(QStringLiteral("body"), *body);
    return SandboxReply::json(reply, status);
}

// A gateway route as the real gateway checks it: the bearer headers are required, a GET
// carries no body and a POST a JSON object.
inline SandboxRoute stamped(const QByteArray& method, const QString& path,
                            std::function<SandboxReply(const SandboxRequest&)> handler)
{
    SandboxRoute route;
    route.method = method;
    route.path = path;
    route.requiredHeaders = {"Authorization", "Content-Type", "Token"};
    route.body = method == "POST" ? SandboxBody::JsonObject : SandboxBody::Empty;
    route.handler = std::move(handler);
    return route;
}

// The token refresh: POST {"refresh_token": text, "realm": "Veltamorine"}, unstamped. A
// well-formed call gets `code` (the encrypted token set) in a TokenResponse; anything else
// gets the gateway's 400 refusal.
inline void installRefreshToken(SandboxServer& server, std::function<SandboxReply(const SandboxRequest&)> reply)
{
    SandboxRoute route;
    route.method = "POST";
    route.path = refreshTokenPath();
    route.body = SandboxBody::JsonObject;
    route.handler = [reply = std::move(reply)](const SandboxRequest& request) {
        const QJsonObject body = request.jsonBody().value_or(QJsonObject());
        if (!body.value(QLatin1StringView("refresh_token")).isString()
            || body.value(QLatin1StringView("realm")) != QJsonValue(QStringLiteral("Veltamorine")) || body.size() != 2)
            return envelope(400, QStringLiteral("invalid refresh request"), std::nullopt, 400);
        return reply(request);
    };
    server.route(std::move(route));
}

inline SandboxReply tokenResponse(const QString& code)
{
    return envelope(200, QStringLiteral("OK"), QJsonObject{{QStringLiteral("code"), code}});
}

// The version check: GET without query, body or bearer headers; the reply is bare {"body": ...}.
inline void installVersionCheck(SandboxServer& server, std::function<SandboxReply(const SandboxRequest&)> reply)
{
    SandboxRoute route;
    route.method = "GET";
    route.path = versionCheckPath();
    route.body = SandboxBody::Empty;
    route.handler = std::move(reply);
    server.route(std::move(route));
}

inline SandboxReply versionReply(const QString& version, const QString& releaseNoteUrl)
{
    return SandboxReply::json(QJsonObject{{QStringLiteral("body"), QJsonObject{
        {QStringLiteral("device"), QStringLiteral("mac")},
        {QStringLiteral("version"), version},
        {QStringLiteral("release_note_url"), releaseNoteUrl},
    }}});
}

}
