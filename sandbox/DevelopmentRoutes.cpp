#include "DevelopmentRoutes.h"

#include "AccountLifecycleRoutes.h"
#include "DedicatedIpSessionRoute.h"
#include "GatewayRoutes.h"
#include "IdentityRoutes.h"
#include "QuorInventoryRoute.h"
#include "SandboxServer.h"

#include <QJsonArray>

namespace DevelopmentRoutes {

namespace {

// The application's registered sign-in callback.
const QString redirectURI = QStringLiteral("quibbo://veltamorine/callback");

QJsonObject tokenSet()
{
    return QJsonObject{
        {QStringLiteral("oem-at"), accessToken},
        {QStringLiteral("oem-rt"), QStringLiteral("demo-refresh-token")},
        {QStringLiteral("oem-type"), QStringLiteral("Bearer")},
        {QStringLiteral("oem-ate"), 3600},
        {QStringLiteral("oem-rte"), 30 * 86400},
    };
}

QJsonObject profile()
{
    return QJsonObject{
        {QStringLiteral("client_name"), QStringLiteral("Demo User")},
        {QStringLiteral("email"), login},
        {QStringLiteral("phone_number"), QString()},
        {QStringLiteral("signup_date"), QStringLiteral("2025-01-15")},
        {QStringLiteral("billing_cycle"), QStringLiteral("Annually")},
        {QStringLiteral("expiry_date"), QStringLiteral("2030-01-15")},
        {QStringLiteral("status"), QStringLiteral("active")},
        {QStringLiteral("vpn_username"), vpnUsername},
        {QStringLiteral("client_type"), QStringLiteral("paid")},
        {QStringLiteral("client_id"), 1001},
        {QStringLiteral("payment_gateway"), QJsonObject{
            {QStringLiteral("name"), QStringLiteral("card")},
            {QStringLiteral("recurring_gateway"), 1},
            {QStringLiteral("auto_recurring"), 1},
            {QStringLiteral("sku"), QStringLiteral("demo-annual")},
        }},
        {QStringLiteral("dedicated_ip_detail"), QJsonObject{
            {QStringLiteral("ip"), QString()},
            {QStringLiteral("iso"), QString()},
            {QStringLiteral("hosts"), QJsonArray()},
        }},
    };
}

// A delivery sink: POST {"batch": [...]} is taken and forgotten.
void installBatchSink(SandboxServer& server, const QString& path)
{
    SandboxRoute route;
    route.method = "POST";
    route.path = path;
    route.body = SandboxBody::JsonObject;
    route.handler = [](const SandboxRequest& request) {
        const QJsonObject body = request.jsonBody().value_or(QJsonObject());
        if (!body.value(QLatin1StringView("batch")).isArray())
            return SandboxReply::json(QJsonObject{{QStringLiteral("error"), QStringLiteral("batch is required")}}, 400);
        return SandboxReply::json(QJsonObject{{QStringLiteral("accepted"), body.value(QLatin1StringView("batch")).toArray().size()}});
    };
    server.route(std::move(route));
}

}

void install(SandboxServer& server, const Secrets& secrets)
{
    const IdentityRoutes::Keys keys{secrets.aesGcmKeyHex, secrets.aesGcmIvHex, IdentityRoutes::buildRsaPublicKeyPath()};
    const IdentityRoutes::Account account{login, password, vpnUsername, vpnPassword, profile(), tokenSet()};
    IdentityRoutes::install(server, account, keys, redirectURI);

    // The refresh hands out the same token set, so the account routes keep accepting it.
    GatewayRoutes::installRefreshToken(server, [keys](const SandboxRequest&) {
        const QByteArray plain = QJsonDocument(tokenSet()).toJson(QJsonDocument::Compact);
        return GatewayRoutes::tokenResponse(IdentityRoutes::encryptAESGCM(plain, keys.aesGcmKeyHex, keys.aesGcmIvHex));
    });
    GatewayRoutes::installVersionCheck(server, [](const SandboxRequest&) {
        return GatewayRoutes::versionReply(QStringLiteral("3.0"), QStringLiteral("https://127.0.0.1/release-notes"));
    });

    // Installed after the identity routes: its password route takes their place.
    const std::shared_ptr<AccountLifecycleRoutes::State> lifecycle =
        AccountLifecycleRoutes::install(server, accessToken, keys.rsaPublicKeyPath);
    {
        QMutexLocker lock(&lifecycle->mutex);
        lifecycle->vpnPasswords.insert(vpnUsername, vpnPassword);
    }

    DedicatedIpSessionRoute::install(server);
    QuorInventoryRoute::install(server);
    installBatchSink(server, analyticsPath);
    installBatchSink(server, errorReportsPath);

    // The update package of the storage bucket: a small placeholder file.
    SandboxRoute package;
    package.method = "GET";
    package.path = QStringLiteral("/macOS/Veltamorine.pkg");
    package.body = SandboxBody::Empty;
    package.handler = [](const SandboxRequest&) {
        return SandboxReply::file(QByteArray(256 * 1024, 'V'), "Veltamorine.pkg");
    };
    server.route(package);
}

QJsonObject informationOverrides(const SandboxServer& server)
{
    QJsonObject info = server.informationOverrides();
    const QString host = server.hostWithPort();
    info.insert(QStringLiteral("Identity Host"), host);
    info.insert(QStringLiteral("Quor Service Host"), host);
    info.insert(QStringLiteral("Analytics Endpoint"), server.url(analyticsPath).toString());
    info.insert(QStringLiteral("Error Reports Endpoint"), server.url(errorReportsPath).toString());
    return info;
}

}
