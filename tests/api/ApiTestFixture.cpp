#include "ApiTestFixture.h"
#include "SandboxTestBundle.h"

#include "JsonFields.h"
#include "Keys.h"
#include "ProcessKeyring.h"
#include "SandboxCrypto.h"
#include "Scheduler.h"
#include "StringExtensions.h"

#include <QJsonDocument>
#include <QLoggingCategory>
#include <QMutex>

std::optional<NamedModel> NamedModel::fromJson(const QJsonObject& object)
{
    NamedModel model;
    if (!JsonFields::requiredString(object, QLatin1StringView("name"), model.name))
        return std::nullopt;
    return model;
}

namespace {

QMutex logMutex;
QStringList capturedLog;
QtMessageHandler previousHandler = nullptr;

void captureMessage(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    {
        QMutexLocker lock(&logMutex);
        capturedLog.append(QString::fromLatin1(context.category ? context.category : "") + ": " + message);
    }
    if (previousHandler)
        previousHandler(type, context, message);
}

HttpSessionConfiguration standInConfiguration()
{
    HttpSessionConfiguration configuration;
    configuration.timeoutMs = 2000;
    configuration.extraCaCertificatePaths = {SandboxServer::testCaPath()};
    return configuration;
}

}

ApiTest::ApiTest()
    : bundle(SandboxTestBundle::information(sandbox))
    , session(standInConfiguration())
{
    ProcessKeyring::use();
    UserDefaults::setStandardFolder(defaultsFolder.path());
    Bundle::setMain(&bundle);
    HttpSession::setShared(&session);
    AppManager::shared().clearTokens();
    networking = std::make_shared<Networking>(std::make_unique<FakeReachability>(), &session);
    networking->sendError = [this](const Error& error, const std::optional<QVariantMap>& extras) {
        reports.append({error, extras});
    };
    networking->trackEvent = [this](EventTrackerEvent event, const QVariantMap& properties) {
        events.append({event, properties});
    };
}

ApiTest::~ApiTest()
{
    TestSupport::processEvents(10);
    AppManager::shared().clearTokens();
    HttpSession::setShared(nullptr);
    Bundle::setMain(nullptr);
}

void ApiTest::serveGateway(const QByteArray& method, const QString& path, const SandboxReply& reply)
{
    sandbox.route(GatewayRoutes::stamped(method, GatewayRoutes::prefixed(path), [reply](const SandboxRequest&) { return reply; }));
}

SandboxRequest ApiTest::onlyRequest(const QByteArray& method, const QString& path) const
{
    const QList<SandboxRequest> requests = sandbox.requests(method, path);
    EXPECT_EQ(requests.size(), 1) << path.toStdString();
    return requests.value(0);
}

void ApiTest::storeTokens(const QString& access, const QString& refresh, qint64 refreshLifetime, qint64 secondsAgo)
{
    AuthObject tokens;
    tokens.accessToken = access;
    tokens.refreshToken = refresh;
    tokens.refreshTokenExpiry = refreshLifetime;
    tokens.accessTokenExpiry = 3600;
    AppManager::shared().saveTokens(tokens, false);
    if (secondsAgo != 0) {
        // Back-date the set through its persisted creation time, as a restart would load it.
        UserDefaults::standard().setDate(Scheduler::main().now().addSecs(-secondsAgo), AppManager::createdAtKey);
        AppManager::shared().authObjectJSON();
    }
}

QString encryptTokenSet(const QJsonObject& tokenSet)
{
    const QByteArray plain = QJsonDocument(tokenSet).toJson(QJsonDocument::Compact);
    return SandboxCrypto::sealAESGCM(plain, *StringExtensions::hexToBytes(Keys::required(u"aesGcmKey")),
                                     *StringExtensions::hexToBytes(Keys::required(u"aesGcmIV")));
}

LogCapture::LogCapture()
{
    {
        QMutexLocker lock(&logMutex);
        capturedLog.clear();
    }
    previousHandler = qInstallMessageHandler(captureMessage);
    QLoggingCategory::setFilterRules(QStringLiteral("veltamorine.*=true"));
}

LogCapture::~LogCapture()
{
    qInstallMessageHandler(previousHandler);
}

QStringList LogCapture::lines() const
{
    QMutexLocker lock(&logMutex);
    return capturedLog;
}
