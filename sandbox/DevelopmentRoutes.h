#pragma once

#include <QJsonObject>
#include <QString>

class SandboxServer;

// The routes that the veltamorine-sandbox program serves, with development data, so the
// application can run against it without a backend: the gateway's token refresh and version
// check, the identity server with one account, the launch and migration routes, the
// dedicated-IP session kill, the VPN SDK's inventory, sinks for analytics and error reports,
// and the update package.
namespace DevelopmentRoutes {

// The development account.
inline const QString login = QStringLiteral("demo@veltamorine.test");
inline const QString password = QStringLiteral("demo-password");
inline const QString vpnUsername = QStringLiteral("demo-vpn");
inline const QString vpnPassword = QStringLiteral("demo-vpn-password");
// The access token of the account's token set; every account route expects it.
inline const QString accessToken = QStringLiteral("demo-access-token");

// Where the delivery sinks listen (the paths the shipped information dictionary names).
inline const QString analyticsPath = QStringLiteral("/analytics/track");
inline const QString errorReportsPath = QStringLiteral("/errors/store");

// The build's secrets the identity server needs: the AES-GCM key and IV of the token set, as
// hex text. The program reads them from the build's key store.
struct Secrets {
    QString aesGcmKeyHex;
    QString aesGcmIvHex;
};

void install(SandboxServer& server, const Secrets& secrets);

// Every information-dictionary entry that points the application at `server`: the backend
// hosts and test CA of the server itself, the identity server, the VPN SDK's service and the
// two delivery endpoints.
QJsonObject informationOverrides(const SandboxServer& server);

}
