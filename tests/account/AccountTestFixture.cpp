#include "AccountTestFixture.h"

#include "AccountConfiguration.h"
#include "Keys.h"
#include "ProcessKeyring.h"

#include <QUuid>

QStringList RecordingTracking::events() const
{
    QStringList names;
    for (const Tracked& t : tracked)
        names.append(t.event);
    return names;
}

PostedNotifications::PostedNotifications(const QStringList& watched)
{
    for (const QString& name : watched) {
        NotificationCenter::defaultCenter().addObserver(name, &owner, [this, name](const Notification& n) {
            names.append(name);
            objects.append(n.object);
        });
    }
}

PostedNotifications::~PostedNotifications() = default;

namespace {

HttpSessionConfiguration standInConfiguration()
{
    HttpSessionConfiguration configuration;
    configuration.timeoutMs = 3000;
    configuration.extraCaCertificatePaths = {SandboxServer::testCaPath()};
    return configuration;
}

}

AccountTest::AccountTest()
    : session(standInConfiguration())
{
    ProcessKeyring::use();
    QJsonObject info{
        {QStringLiteral("CFBundleShortVersionString"), QStringLiteral("3.0")},
        {QStringLiteral("CFBundleVersion"), QStringLiteral("117")},
        {QStringLiteral("Release Code"), QStringLiteral("PRODUCTION")},
        // Keyring items are named after the bundle identifier: one of this run's own.
        {QStringLiteral("Application Bundle identifier"),
         QStringLiteral("com.veltamorine.test.%1").arg(QUuid::createUuid().toString(QUuid::Id128))},
    };
    const QJsonObject overrides = sandbox.informationOverrides();
    for (auto it = overrides.begin(); it != overrides.end(); ++it)
        info.insert(it.key(), it.value());
    bundle = std::make_unique<Bundle>(info);
    Bundle::setMain(bundle.get());
    UserDefaults::setStandardFolder(folder.path());
    HttpSession::setShared(&session);
    AppManager::shared().clearTokens();
    networking = std::make_shared<Networking>(std::make_unique<FakeReachability>(), &session);
    networking->sendError = [](const Error&, const std::optional<QVariantMap>&) {};
    networking->trackEvent = [](EventTrackerEvent, const QVariantMap&) {};

    IdentityRoutes::Account account{
        QStringLiteral("ada@example.com"), QStringLiteral("correct horse"), QStringLiteral("vpn-ada"),
        QStringLiteral("s3cret-vpn-pass"), profileJson(QStringLiteral("vpn-ada"), QStringLiteral("active"), 4711), tokenSet()};
    identity = IdentityRoutes::install(sandbox, account, buildKeys(), AccountConfiguration::redirectURI());
    authentication = makeAuthentication();
}

AccountTest::~AccountTest()
{
    TestSupport::processEvents(10);
    User().setVpnPassword(std::nullopt);
    AppManager::shared().clearTokens();
    HttpSession::setShared(nullptr);
    Bundle::setMain(nullptr);
}

QJsonObject AccountTest::profileJson(const QString& vpnUsername, const QString& status, std::optional<qint64> clientId)
{
    ProfileResponseModel profile;
    profile.clientName = QStringLiteral("Ada Lovelace");
    profile.email = QStringLiteral("ada@example.com");
    profile.billingCycle = QStringLiteral("Annually");
    profile.expiryDate = QStringLiteral("2027-01-31");
    profile.status = status;
    profile.vpnUsername = vpnUsername;
    profile.client_id = clientId;
    profile.clientType = QStringLiteral("paid");
    profile.paymentGateway.name = QStringLiteral("card");
    return profile.toJson();
}

QJsonObject AccountTest::tokenSet()
{
    return QJsonObject{
        {QStringLiteral("oem-at"), QStringLiteral("access-token-1")},
        {QStringLiteral("oem-rt"), QStringLiteral("refresh-token-1")},
        {QStringLiteral("oem-type"), QStringLiteral("Bearer")},
        {QStringLiteral("oem-ate"), 3600},
        {QStringLiteral("oem-rte"), 86400},
    };
}

IdentityRoutes::Keys AccountTest::buildKeys()
{
    return IdentityRoutes::Keys{Keys::required(u"aesGcmKey"), Keys::required(u"aesGcmIV"), IdentityRoutes::buildRsaPublicKeyPath()};
}

std::shared_ptr<UserAuthentication> AccountTest::makeAuthentication()
{
    return std::make_shared<UserAuthentication>(networking, PreservedPreferences(), User(), AppPreferences(),
        EventTracker(tracking, AppPreferences(), PreservedPreferences()), &quorManager, ErrorSender(hub), nullptr);
}

QString AccountTest::issueCode()
{
    const QString code = IdentityRoutes::randomCode();
    QMutexLocker lock(&identity->mutex);
    identity->issuedCodes.insert(code, AccountConfiguration::redirectURI());
    return code;
}

UserAuthentication::AuthenticationCase AccountTest::signIn(const std::optional<QUrl>& callback)
{
    int calls = 0;
    std::optional<UserAuthentication::AuthenticationCase> outcome;
    authentication->handleRedirectURL(callback, [&](const UserAuthentication::AuthenticationCase& c) {
        ++calls;
        outcome = c;
    });
    EXPECT_TRUE(TestSupport::waitUntil([&] { return calls > 0; }, 8000)) << "no completion";
    TestSupport::processEvents(20);
    EXPECT_EQ(calls, 1);
    return outcome.value_or(UserAuthentication::AuthenticationCase::userInfoError(Error(QStringLiteral("test"), 0)));
}

UserAuthentication::PasswordResult AccountTest::fetchPassword(const QString& username)
{
    int calls = 0;
    std::optional<UserAuthentication::PasswordResult> outcome;
    authentication->fetchVPNPassword(username, std::nullopt, std::nullopt, [&](const UserAuthentication::PasswordResult& r) {
        ++calls;
        outcome = r;
    });
    EXPECT_TRUE(TestSupport::waitUntil([&] { return calls > 0; }, 8000)) << "no completion";
    TestSupport::processEvents(20);
    EXPECT_EQ(calls, 1);
    return outcome.value_or(std::unexpected(LoginError::of(LoginError::Kind::NoUsername)));
}
