#include "VpnEngineFixture.h"

#include "ExtensionManager.h"
#include "Factories.h"
#include "QuorManager.h"
#include "QuorSDKSetup.h"
#include "TestSupport.h"
#include "UserDefaults.h"

namespace {

using Type = QuorDataFetcherServer::Type;
using S = QuorConnectionState;

// The whole road on the simulated engine: the SDK set-up installs the state listener, a wrapper
// asks for a country, and the engine's callbacks come back as connection states.
class QuorEndToEndTest : public VpnEngineFixture {
protected:
    void SetUp() override
    {
        VpnEngineFixture::SetUp();
        QuorManager::resetSharedInstance();
        QuorEnvironment environment;  // bundled inventory, nothing fetched
        environment.scheduler = &clock;
        QuorEnvironment::setCurrent(environment);
        QuorSDKSetup::setListenerFactory({});
        User account = user();
        account.setLoggedIn(true);
        ASSERT_TRUE(account.setVpnPassword(QStringLiteral("p4ss")));
        preserved().setAutomaticProtocol(true);
        listen(toRaw(QuorNotificationName::QuorVPNStateNotification));
        configureQuorSDK(account, sender());
        ASSERT_NE(QuorManager::sharedInstance(), nullptr);
    }
    void TearDown() override
    {
        QuorManager::resetSharedInstance();
        ExtensionManager::shared().setDelegate(nullptr);
        QuorEnvironment::setCurrent(QuorEnvironment{});
        VpnEngineFixture::TearDown();
    }
    // Moves the virtual clock in small steps, letting the SDK's thread and the main queue run,
    // until `done` holds; bounded in steps.
    bool runUntil(const std::function<bool()>& done, int steps = 200)
    {
        for (int i = 0; i < steps && !done(); ++i) {
            clock.advance(0.1);
            TestSupport::processEvents(2);
        }
        return TestSupport::waitUntil(done, 1000);
    }
    bool posted(S state) const
    {
        for (const QuorConnectionInfo& info : states()) {
            if (info.state == state)
                return true;
        }
        return false;
    }
};

TEST_F(QuorEndToEndTest, ConnectToACountryThenDisconnect)
{
    const std::shared_ptr<Quor> quor = ::makeQuor();
    QList<std::optional<Error>> answers;
    quor->connect(row("DE", "Germany", Type::Country, "DE"), Quor::ConnectVia::Country,
                  Quor::SelectedInterfaceScreen::Location, Quor::ConnectionInitiatedBy::User,
                  Quor::SelectedInterface::List, false, true, [&](const std::optional<Error>& e) { answers.append(e); });

    ASSERT_TRUE(runUntil([&] { return posted(S::Connected); })) << "states: " << states().size();
    ASSERT_EQ(answers.size(), 1);
    EXPECT_FALSE(answers.first().has_value());
    const QList<QuorConnectionInfo> up = states();
    EXPECT_EQ(up.first().state, S::Connecting);
    EXPECT_EQ(up.last().state, S::Connected);
    EXPECT_EQ(up.last().connectionId, appPreferences().onGoingConnectionId());
    EXPECT_EQ(up.last().selectedProtocol, QStringLiteral("Automatic"));
    EXPECT_TRUE(up.last().connectedIp.has_value());
    EXPECT_EQ(quor->connectionDetails().state, S::Connected);

    // A second request while connected is refused by name.
    QList<std::optional<Error>> refused;
    quor->connect(row("DE", "Germany", Type::Country, "DE"), Quor::ConnectVia::Country,
                  Quor::SelectedInterfaceScreen::Location, Quor::ConnectionInitiatedBy::User,
                  Quor::SelectedInterface::List, false, true, [&](const std::optional<Error>& e) { refused.append(e); });
    ASSERT_EQ(refused.size(), 1);
    EXPECT_EQ(refused.first()->code, -1002);

    quor->quorManager->disconnectVPN();
    ASSERT_TRUE(runUntil([&] { return states().last().state == S::Disconnected; }));
    EXPECT_TRUE(states().last().manualDisconnection);
    for (const Heard& h : heard(toRaw(QuorNotificationName::QuorVPNStateNotification)))
        EXPECT_TRUE(h.onMainThread);

    // The last connection outlives the facades: new ones over the stores read back from disk.
    UserDefaults::setStandardFolder(folder.path());
    const std::shared_ptr<Quor> restarted = ::makeQuor();
    const auto last = restarted->appPreference.lastConnection();
    ASSERT_TRUE(last.has_value());
    EXPECT_EQ(last->server->id, QStringLiteral("DE"));
    EXPECT_EQ(last->selectedInterface, QuorSelectedInterface::List);
    EXPECT_EQ(restarted->lastConnectionServerCode(), QStringLiteral("DE"));
}

TEST_F(QuorEndToEndTest, AnEngineThatCannotReachAnyServerEndsInUnableToConnect)
{
    QuorFaults faults;
    faults.allServersUnreachable = true;
    QuorManager::sharedInstance()->setFaults(faults);
    const std::shared_ptr<Quor> quor = ::makeQuor();
    quor->connect(row("DE", "Germany", Type::Country, "DE"), Quor::ConnectVia::Country,
                  Quor::SelectedInterfaceScreen::Location, Quor::ConnectionInitiatedBy::User,
                  Quor::SelectedInterface::List, false, true, {});
    ASSERT_TRUE(runUntil([&] { return posted(S::UnableToConnect); }));
    EXPECT_FALSE(posted(S::Connected));
    EXPECT_EQ(appPreferences().lastFeedbackConnectionId(), appPreferences().onGoingConnectionId());
}

}
