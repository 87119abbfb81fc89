#include "Factories.h"
#include "Quor.h"
#include "QuorManager.h"
#include "QuorVPNState.h"
#include "TestSupport.h"
#include "VirtualScheduler.h"

#include <gtest/gtest.h>

namespace {

std::unique_ptr<Quor> makeWrapper(QuorManagerProtocol* manager)
{
    return std::make_unique<Quor>(manager, makeErrorSender(), nullptr, makeUser(), makeAppPreferences(),
                                  makeEventTracker(), makePreservedPreferences(), nullptr);
}

TEST(QuorConstructionTest, WrappersBuiltOneAfterTheOtherSeeTheSameConnection)
{
    VirtualScheduler scheduler;
    QuorEnvironment environment;
    environment.scheduler = &scheduler;
    QuorConfiguration configuration;
    configuration.setSecretKey(QStringLiteral("0123456789abcdef0123456789abcdef01234567"));
    QuorManager manager(configuration, environment);
    manager.setQuorCredential(QuorCredential(QStringLiteral("vpnuser"), QStringLiteral("p4ss")));

    auto first = makeWrapper(&manager);
    EXPECT_EQ(first->timer, nullptr);
    QuorCountry country;
    country.country = QStringLiteral("FR");
    first->quorManager->connect(QuorProperties::initWithCountry(country, QuorProtocol("IKEV")), {}, {});
    scheduler.advance(2.0);
    AppPreferences::LastConnection last;
    last.selectedInterface = Quor::SelectedInterface::List;
    last.connectVia = Quor::ConnectVia::Country;
    last.selectedInterfaceScreen = Quor::SelectedInterfaceScreen::Location;
    last.connectionInitiatedBy = Quor::ConnectionInitiatedBy::User;
    last.server = QuorDataFetcherServer::make(QStringLiteral("FR"), QStringLiteral("France"), QuorDataFetcherServerType::Country, QStringLiteral("FR"));
    first->appPreference.setLastConnection(last);

    auto second = makeWrapper(&manager);
    EXPECT_EQ(second->quorManager->getCurrentVPNStatus(), toRaw(QuorVPNState::Connected));
    EXPECT_EQ(second->quorManager->getCurrentVPNStatus(), first->quorManager->getCurrentVPNStatus());
    ASSERT_TRUE(second->appPreference.lastConnection());
    EXPECT_EQ(second->appPreference.lastConnection()->server->name, QStringLiteral("France"));
    first->appPreference.setLastConnection(std::nullopt);
    EXPECT_FALSE(second->appPreference.lastConnection());
}

}
