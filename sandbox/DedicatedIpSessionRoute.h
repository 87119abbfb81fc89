#pragma once

// The gateway's route that ends a dedicated IP's session on another device, as the stand-in
// serves it: a stamped POST whose JSON body names the VPN user. Header-only, like GatewayRoutes.

#include "GatewayRoutes.h"

namespace DedicatedIpSessionRoute {

inline QString path()
{
    return GatewayRoutes::prefixed(QStringLiteral("/kill/session/dedicated/ip"));
}

// The gateway's acceptance: the envelope around {"body": {"header": ...}}.
inline SandboxReply accepted()
{
    const QJsonObject header{{QStringLiteral("response_code"), 200}, {QStringLiteral("message"), QStringLiteral("Session killed")}};
    return GatewayRoutes::envelope(200, QStringLiteral("OK"),
                                   QJsonObject{{QStringLiteral("body"), QJsonObject{{QStringLiteral("header"), header}}}});
}

// Serves `reply` for every well-formed request; a body without a text "vpn_username" gets the
// gateway's 400 refusal.
inline void install(SandboxServer& server, std::function<SandboxReply(const SandboxRequest&)> reply = nullptr)
{
    server.route(GatewayRoutes::stamped("POST", path(), [reply = std::move(reply)](const SandboxRequest& request) {
        const QJsonObject body = request.jsonBody().value_or(QJsonObject());
        if (!body.value(QLatin1StringView("vpn_username")).isString())
            return GatewayRoutes::envelope(400, QStringLiteral("vpn_username is required"), std::nullopt, 400);
        return reply ? reply(request) : accepted();
    }));
}

}
