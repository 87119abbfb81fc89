#include "Bundle.h"
#include "ExtensionManager.h"
#include "FirewallManager.h"
#include "HelperComunicator.h"
#include "HelperFirewallManager.h"
#include "Networking.h"
#include "StateListener.h"
#include "InMemoryFirewallManager.h"
#include "MainQueue.h"
#include "QuorManager.h"
#include "QuorSDKSetup.h"
#include "SandboxServer.h"
#include "TestSupport.h"
#include "UserDefaults.h"

#include <QFile>
#include <QJsonDocument>
#include <QMutex>
#include <QTemporaryDir>
#include <QUuid>
#include <gtest/gtest.h>

namespace {

// Keeps every report instead of sending it.
class RecordingErrorHub final : public ErrorSending {
public:
    struct Report {
        QString message;
        ReportScope scope;
    };
    void setUser(const std::optional<ReportUser>&) override {}
    QString captureError(const Error& error, const ReportScope& scope) override
    {
        reports.append({error.message, scope});
        return QStringLiteral("id");
    }
    QString captureMessage(const QString& message, const ReportScope& scope) override
    {
        reports.append({message, scope});
        return QStringLiteral("id");
    }
    ReportScope getScope() override
    {
        ReportScope scope;
        scope.tags.insert(QStringLiteral("flavor"), QStringLiteral("test"));
        scope.extras.insert(QStringLiteral("left"), QStringLiteral("over"));
        return scope;
    }
    QList<Report> reports;
};

// A receiver that remembers what reached it.
class RecordingListener final : public QuorSDKListener {
public:
    RecordingListener()
        : QuorSDKListener([this](int state) { QMutexLocker l(&mutex); states.append(state); },
                          [this](const std::optional<quint64>& in, const std::optional<quint64>&) {
                              QMutexLocker l(&mutex);
                              packets.append(in.value_or(0));
                          })
    {
    }
    QMutex mutex;
    QList<int> states;
    QList<quint64> packets;
};

class QuorSDKSetupTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QuorManager::resetSharedInstance();
        QuorEnvironment::setCurrent(QuorEnvironment{});  // bundled inventory, nothing fetched
        QuorSDKSetup::setListenerFactory([this](AppPreferences, EventTracker, PreservedPreferences) {
            auto listener = std::make_shared<RecordingListener>();
            made.append(listener);
            return listener;
        });
        ASSERT_TRUE(folder.isValid());
        // Keyring items are named after the bundle identifier; a name of this run's own keeps
        // test programs running side by side out of each other's items.
        bundleIdentifier = QStringLiteral("com.veltamorine.test.%1").arg(QUuid::createUuid().toString(QUuid::Id128));
        useBundle({});
        defaults = std::make_unique<UserDefaults>(folder.path());
        user = std::make_unique<User>(*defaults, Keychain(QStringLiteral("UserPreferences")));
        user->setVpnPassword(std::nullopt);
        hub = std::make_shared<RecordingErrorHub>();
    }
    void TearDown() override
    {
        user->setVpnPassword(std::nullopt);
        QuorSDKSetup::setListenerFactory({});
        QuorManager::resetSharedInstance();
        ExtensionManager::shared().setDelegate(nullptr);
        Bundle::setMain(nullptr);
    }
    // Installs the bundle with this run's identifier and `entries` over the built-in ones.
    void useBundle(QJsonObject entries)
    {
        entries.insert(QStringLiteral("Application Bundle identifier"), bundleIdentifier);
        const QString overlay = folder.filePath(QStringLiteral("info.json"));
        QFile file(overlay);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(QJsonDocument(entries).toJson());
        file.close();
        bundle = std::make_unique<Bundle>(Bundle::load(QString::fromLatin1(Bundle::infoResource), overlay));
        Bundle::setMain(bundle.get());
    }
    void configure() { configureQuorSDK(*user, ErrorSender(hub)); }

    QTemporaryDir folder;
    QString bundleIdentifier;
    std::unique_ptr<Bundle> bundle;
    std::unique_ptr<UserDefaults> defaults;
    std::unique_ptr<User> user;
    std::shared_ptr<RecordingErrorHub> hub;
    QList<std::shared_ptr<RecordingListener>> made;
};

TEST_F(QuorSDKSetupTest, SetsTheConfigurationFieldsInTableOrder)
{
    configure();
    QuorManager* manager = QuorManager::sharedInstance();
    ASSERT_NE(manager, nullptr);
    const QuorConfiguration c = manager->configuration();
    EXPECT_EQ(c.fieldsSetInOrder(), (QStringList{"enableVPNLogs", "persistVPNDetails", "secretKey",
                                                 "tunnelProviderBundleIdentifier", "appGroupIdentifier",
                                                 "wireGuardTunnelProviderBundleIdentifier"}));
    EXPECT_TRUE(c.enableVPNLogs());
    EXPECT_TRUE(c.persistVPNDetails());
    EXPECT_TRUE(c.hasValidSecretKey());
    EXPECT_EQ(c.tunnelProviderBundleIdentifier(), Bundle::main().packetTunnelIdentifier());
    EXPECT_EQ(c.appGroupIdentifier(), Bundle::main().packetTunnelGroup());
    EXPECT_EQ(c.wireGuardTunnelProviderBundleIdentifier(), Bundle::main().wireguardPacketTunnelIdentifier());
    EXPECT_FALSE(c.tunnelProviderBundleIdentifier().isEmpty());
}

TEST_F(QuorSDKSetupTest, PutsTheHelperKillSwitchAndTheVpnStatusReaderInPlace)
{
    configure();
    EXPECT_NE(dynamic_cast<HelperFirewallManager*>(FirewallManager::shared().get()), nullptr);
    ASSERT_TRUE(Networking::shared().currentVPNStatus);
    EXPECT_EQ(Networking::shared().currentVPNStatus(), QuorManager::sharedInstance()->getCurrentVPNStatus());
}

TEST_F(QuorSDKSetupTest, WithoutAFactoryOfItsOwnTheStateListenerReceives)
{
    QuorSDKSetup::setListenerFactory({});
    configure();
    EXPECT_NE(std::dynamic_pointer_cast<StateListener>(QuorSDKSetup::sharedListener()), nullptr);
    EXPECT_EQ(QuorManager::sharedInstance()->delegate(), QuorSDKSetup::sharedListener());
}

TEST_F(QuorSDKSetupTest, ExcludesTcpByTheWordConnectsUse)
{
    configure();
    EXPECT_EQ(QuorManager::sharedInstance()->excludeProtocols(), QList<QuorProtocol>{QuorProtocol(QStringLiteral("TCP"))});
}

TEST_F(QuorSDKSetupTest, CalledTwiceOnlyTheNewestListenerIsWired)
{
    configure();
    QuorManager* manager = QuorManager::sharedInstance();
    configure();
    ASSERT_EQ(made.size(), 2);
    EXPECT_EQ(QuorManager::sharedInstance(), manager);
    const std::shared_ptr<RecordingListener> older = made.first();
    const std::shared_ptr<RecordingListener> newest = made.last();

    EXPECT_EQ(manager->delegate(), newest);
    EXPECT_EQ(ExtensionManager::shared().delegate(), newest);
    EXPECT_EQ(QuorSDKSetup::sharedListener(), newest);
    manager->stateDidChangedHandler()(12);
    manager->onPacketsTransmitted()(quint64(5), quint64(6));
    EXPECT_EQ(newest->states, QList<int>{12});
    EXPECT_EQ(newest->packets, QList<quint64>{5});
    EXPECT_TRUE(older->states.isEmpty());
    EXPECT_TRUE(older->packets.isEmpty());
}

TEST_F(QuorSDKSetupTest, TheSdkReachesTheListenerOffTheMainThread)
{
    user->setLoggedIn(true);
    user->setVpnUsername(QStringLiteral("vpnuser"));
    ASSERT_TRUE(user->setVpnPassword(QStringLiteral("p4ss")));
    configure();
    QuorManager* manager = QuorManager::sharedInstance();
    QuorCountry country;
    country.country = QStringLiteral("DE");
    bool answered = false;
    manager->connect(QuorProperties::initWithCountry(country, QuorProtocol("IKEV")),
                     [&](const auto&) { answered = true; }, [](const auto&) { ADD_FAILURE(); });
    ASSERT_TRUE(TestSupport::waitUntil([&] {
        QMutexLocker l(&made.last()->mutex);
        return made.last()->states.contains(12);
    }));
    manager->cancelVPN();
    ASSERT_TRUE(TestSupport::waitUntil([&] { return manager->getCurrentVPNStatus() == 1; }));
}

TEST_F(QuorSDKSetupTest, TheInformationDictionaryCanNameTheSdkService)
{
    SandboxServer server;
    ASSERT_TRUE(server.start());
    server.reply("GET", QStringLiteral("/quor/v1/inventory"), SandboxReply::raw(200,
        R"({"countries":[{"country":"IS","name":"Iceland","cities":[{"city_id":900,"name":"Reykjavik","country":"IS"}]}]})"));
    useBundle(QJsonObject{{"Quor Service Host", server.hostWithPort()},
                          {"Trusted CA Certificate", SandboxServer::testCaPath()}});

    configure();
    QuorManager* manager = QuorManager::sharedInstance();
    ASSERT_TRUE(TestSupport::waitUntil([&] { return manager->inventory()->countries.size() == 1; }, 10000));
    EXPECT_EQ(manager->inventory()->countries.first().name, QStringLiteral("Iceland"));
    EXPECT_EQ(server.requests("GET", QStringLiteral("/quor/v1/inventory")).size(), 1);
    EXPECT_TRUE(server.violations().isEmpty());

    QuorManager::resetSharedInstance();
    server.stop();
}

struct CredentialCase {
    const char* name;
    bool loggedIn;
    std::optional<QString> username;
    std::optional<QString> password;
    bool credential;
    int reports;
};

class QuorSDKCredentialTest : public QuorSDKSetupTest, public ::testing::WithParamInterface<CredentialCase> {};

TEST_P(QuorSDKCredentialTest, CredentialOrOneReport)
{
    const CredentialCase& c = GetParam();
    user->setLoggedIn(c.loggedIn);
    user->setVpnUsername(c.username);
    if (c.password) {
        ASSERT_TRUE(user->setVpnPassword(c.password));
    }
    configure();
    const std::optional<QuorCredential> credential = QuorManager::sharedInstance()->quorCredential();
    EXPECT_EQ(credential.has_value(), c.credential);
    if (c.credential) {
        EXPECT_EQ(credential->username, *c.username);
        EXPECT_EQ(credential->password, *c.password);
    }
    ASSERT_EQ(hub->reports.size(), c.reports);
    if (c.reports) {
        const RecordingErrorHub::Report& r = hub->reports.first();
        EXPECT_EQ(r.message, QStringLiteral("Quor Credentials Nil or Empty"));
        EXPECT_EQ(toRaw(r.scope.level), 2);
        EXPECT_TRUE(r.scope.tags.isEmpty());
        EXPECT_TRUE(r.scope.extras.isEmpty());
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, QuorSDKCredentialTest, ::testing::Values(
    CredentialCase{"SignedOut", false, std::nullopt, std::nullopt, false, 0},
    CredentialCase{"SignedOutWithStoredAccount", false, QStringLiteral("vpnuser"), QStringLiteral("p4ss"), false, 0},
    CredentialCase{"SignedIn", true, QStringLiteral("vpnuser"), QStringLiteral("p4ss"), true, 0},
    CredentialCase{"NoPassword", true, QStringLiteral("vpnuser"), std::nullopt, false, 1},
    CredentialCase{"NoUsername", true, std::nullopt, QStringLiteral("p4ss"), false, 1},
    CredentialCase{"EmptyUsername", true, QString(), QStringLiteral("p4ss"), false, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(HelperComunicatorTest, FalseAnswersAtOnceWithoutAskingTheHelper)
{
    auto firewall = std::make_shared<InMemoryFirewallManager>();
    const std::shared_ptr<FirewallManager> original = FirewallManager::shared();
    FirewallManager::setShared(firewall);
    std::optional<bool> answer;
    HelperComunicator().isAnyFirewallEnabled(false, [&](bool enabled) { answer = enabled; });
    EXPECT_EQ(answer, false);  // before the call returned
    EXPECT_TRUE(firewall->calls().isEmpty());
    FirewallManager::setShared(original);
}

TEST(HelperComunicatorTest, TrueAsksTheFirewallAndAnswersOnTheMainThread)
{
    const std::shared_ptr<FirewallManager> original = FirewallManager::shared();
    for (const bool enabled : {false, true}) {
        auto firewall = std::make_shared<InMemoryFirewallManager>();
        firewall->setAnyFirewallEnabled(enabled);
        FirewallManager::setShared(firewall);
        std::optional<bool> answer;
        bool onMain = false;
        HelperComunicator().isAnyFirewallEnabled(true, [&](bool value) {
            answer = value;
            onMain = MainQueue::isMainThread();
        });
        EXPECT_FALSE(answer.has_value());  // later, not within the call
        ASSERT_TRUE(TestSupport::waitUntil([&] { return answer.has_value(); }));
        EXPECT_EQ(*answer, enabled);
        EXPECT_TRUE(onMain);
        EXPECT_EQ(firewall->calls(), QStringList{"isAnyFirewallEnabled"});
    }
    FirewallManager::setShared(original);
}

}
