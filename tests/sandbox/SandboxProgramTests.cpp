#include "DedicatedIpSessionRoute.h"
#include "DevelopmentRoutes.h"
#include "GatewayRoutes.h"
#include "QuorInventoryRoute.h"
#include "SandboxClientFixture.h"
#include "SandboxServer.h"
#include "TestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QJsonObject jsonOf(const QByteArray& body)
{
    return QJsonDocument::fromJson(body).object();
}

qint64 responseCode(const QByteArray& body)
{
    return jsonOf(body).value(QStringLiteral("header")).toObject().value(QStringLiteral("response_code")).toInteger(-1);
}

}

TEST(SandboxProgram, ServesEveryRouteFamilyAndWritesItsInformation)
{
    QTemporaryDir dir;
    const QString infoPath = dir.filePath(QStringLiteral("info.json"));
    QProcess program;
    program.start(TestSupport::builtProgram(QStringLiteral("sandbox/veltamorine-sandbox")), {QStringLiteral("--info"), infoPath});
    ASSERT_TRUE(program.waitForStarted(5000));
    ASSERT_TRUE(TestSupport::waitUntil([&] { return program.canReadLine(); }, 5000));
    const quint16 port = quint16(program.readLine().trimmed().toUInt());
    ASSERT_GT(port, 0);
    const QString host = QStringLiteral("127.0.0.1:%1").arg(port);
    const auto url = [&](const QString& path) { return QUrl(QStringLiteral("https://") + host + path); };

    // The information names every host and endpoint the application reads.
    QFile infoFile(infoPath);
    ASSERT_TRUE(infoFile.open(QIODevice::ReadOnly));
    const QJsonObject info = QJsonDocument::fromJson(infoFile.readAll()).object();
    for (const char* key : {"API Gateway Host", "Auth Token Host", "Identity Host", "Storage Host", "Download Host", "CDN Host",
                            "Quor Service Host"})
        EXPECT_EQ(info.value(QLatin1String(key)).toString(), host) << key;
    EXPECT_EQ(info.value(QStringLiteral("Analytics Endpoint")).toString(), url(DevelopmentRoutes::analyticsPath).toString());
    EXPECT_EQ(info.value(QStringLiteral("Error Reports Endpoint")).toString(), url(DevelopmentRoutes::errorReportsPath).toString());
    EXPECT_EQ(info.value(QStringLiteral("Trusted CA Certificate")).toString(), SandboxServer::testCaPath());

    const QList<QPair<QByteArray, QByteArray>> stamped{
        {"Authorization", "Bearer " + DevelopmentRoutes::accessToken.toUtf8()},
        {"Content-Type", "application/json"},
        {"Token", "x"},
    };
    const QByteArray device = "device_type=mac";

    // Gateway: version check and token refresh.
    const auto version = sendToSandbox("GET", url(GatewayRoutes::versionCheckPath()));
    EXPECT_EQ(version.status, 200);
    EXPECT_TRUE(jsonOf(version.body).value(QStringLiteral("body")).toObject().contains(QStringLiteral("version")));
    const auto refresh = sendToSandbox("POST", url(GatewayRoutes::refreshTokenPath()),
        R"({"refresh_token":"demo-refresh-token","realm":"Veltamorine"})", {{"Content-Type", "application/json"}});
    EXPECT_EQ(refresh.status, 200);
    EXPECT_EQ(responseCode(refresh.body), 200);

    // Identity server: the sign-in page and the account's profile.
    const auto page = sendToSandbox("GET", url(QStringLiteral("/oauth2/authorize?response_type=code&redirect_uri=quibbo%3A%2F%2Fveltamorine%2Fcallback")));
    EXPECT_EQ(page.status, 200);
    EXPECT_TRUE(page.body.contains("signin"));
    const auto profile = sendToSandbox("GET", url(GatewayRoutes::prefixed(QStringLiteral("/user/profile"))), {}, stamped);
    EXPECT_EQ(profile.status, 200);
    EXPECT_EQ(jsonOf(profile.body).value(QStringLiteral("body")).toObject().value(QStringLiteral("email")).toString(),
              DevelopmentRoutes::login);

    // Account lifecycle: the VPN account's password and the e-mail migration.
    const auto password = sendToSandbox("GET",
        url(GatewayRoutes::prefixed(QStringLiteral("/vpn/account/password?username=")) + DevelopmentRoutes::vpnUsername + "&" + device),
        {}, stamped);
    EXPECT_EQ(password.status, 200);
    EXPECT_FALSE(jsonOf(password.body).value(QStringLiteral("body")).toObject().value(QStringLiteral("secret")).toString().isEmpty());
    const auto migrate = sendToSandbox("POST", url(GatewayRoutes::prefixed(QStringLiteral("/user/migrateemail/v3"))),
        R"({"uuid":"u-1"})", stamped);
    EXPECT_EQ(migrate.status, 200);
    EXPECT_EQ(responseCode(migrate.body), 200);

    // Dedicated-IP session kill.
    const auto kill = sendToSandbox("POST", url(DedicatedIpSessionRoute::path()), R"({"vpn_username":"demo-vpn"})", stamped);
    EXPECT_EQ(kill.status, 200);
    EXPECT_EQ(responseCode(kill.body), 200);

    // The VPN SDK's inventory.
    const auto inventory = sendToSandbox("GET", url(QuorInventoryRoute::path()));
    EXPECT_EQ(inventory.status, 200);
    EXPECT_FALSE(jsonOf(inventory.body).isEmpty());

    // Delivery sinks take a batch and refuse anything else.
    for (const QString& path : {DevelopmentRoutes::analyticsPath, DevelopmentRoutes::errorReportsPath}) {
        SCOPED_TRACE(path.toStdString());
        EXPECT_EQ(sendToSandbox("POST", url(path), R"({"batch":[{"event":"app_launch"}]})", {{"Content-Type", "application/json"}}).status, 200);
        EXPECT_EQ(sendToSandbox("POST", url(path), R"({"events":[]})", {{"Content-Type", "application/json"}}).status, 400);
    }

    // The update package.
    const auto package = sendToSandbox("GET", url(QStringLiteral("/macOS/Veltamorine.pkg")));
    EXPECT_EQ(package.status, 200);
    EXPECT_FALSE(package.body.isEmpty());

    program.terminate();
    EXPECT_TRUE(program.waitForFinished(5000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
}
