#include "PreservedPreferences.h"

#include "AppPreferences.h"
#include "SettingsNotifications.h"
#include "SettingsTestStores.h"

namespace {

using VPNProtocol = PreservedPreferences::VPNProtocol;

QuorDataFetcherServer::Ptr location(const QString& id)
{
    return QuorDataFetcherServer::make(id, QStringLiteral("Name ") + id, QuorDataFetcherServerType::Country, id);
}

class PreservedPreferencesTest : public SettingsTestStores {
protected:
    void signIn(const QString& name) { User().setVpnUsername(name); }
};

TEST_F(PreservedPreferencesTest, KeysFollowTheStoredUserNameAtEachAccess)
{
    PreservedPreferences first;
    PreservedPreferences second;
    first.setEnableIKS(true);
    EXPECT_TRUE(defaults().boolForKey(QStringLiteral(".enableIKS")));

    signIn(QStringLiteral("alice"));
    EXPECT_FALSE(first.enableIKS());
    first.setEnableIKS(true);
    first.setSelectedProtocol(VPNProtocol::UDP);
    EXPECT_TRUE(defaults().boolForKey(QStringLiteral("alice.enableIKS")));

    signIn(QStringLiteral("bob"));
    EXPECT_FALSE(second.enableIKS());
    EXPECT_EQ(second.selectedProtocol(), VPNProtocol::IPSec);

    signIn(QStringLiteral("alice"));
    EXPECT_TRUE(second.enableIKS());
    EXPECT_EQ(second.selectedProtocol(), VPNProtocol::UDP);
}

TEST_F(PreservedPreferencesTest, DefaultTrueSettingsAreWrittenOnFirstRead)
{
    signIn(QStringLiteral("u"));
    PreservedPreferences preferences;
    const struct {
        const char* name;
        bool (PreservedPreferences::*read)() const;
    } settings[] = {
        {"allowVPNNotifications", &PreservedPreferences::allowVPNNotifications},
        {"launchOnStartUp", &PreservedPreferences::launchOnStartUp},
        {"automaticallyCheckForUpdate", &PreservedPreferences::automaticallyCheckForUpdate},
        {"automaticProtocol", &PreservedPreferences::automaticProtocol},
        {"isB2C", &PreservedPreferences::isB2C},
        {"connectToFallback", &PreservedPreferences::connectToFallback},
        {"autoReconnectOnConnectionDrop", &PreservedPreferences::autoReconnectOnConnectionDrop},
    };
    for (const auto& s : settings) {
        const QString key = QStringLiteral("u.") + QLatin1StringView(s.name);
        EXPECT_FALSE(defaults().hasObject(key)) << s.name;
        EXPECT_TRUE((preferences.*s.read)()) << s.name;
        EXPECT_EQ(defaults().objectForKey(key), QVariant(true)) << s.name;
    }
    EXPECT_FALSE(preferences.enablePing());
    EXPECT_FALSE(preferences.onDemandRulesEnabled());
    EXPECT_FALSE(defaults().hasObject(QStringLiteral("u.enablePing")));
}

TEST_F(PreservedPreferencesTest, ReconnectOnDropKeepsTheUsersChoice)
{
    signIn(QStringLiteral("u"));
    PreservedPreferences preferences;
    preferences.setAutoReconnectOnConnectionDrop(false);
    EXPECT_FALSE(preferences.autoReconnectOnConnectionDrop());
    EXPECT_FALSE(PreservedPreferences().autoReconnectOnConnectionDrop());
}

TEST_F(PreservedPreferencesTest, AutomaticProtocolResetsTheChoiceOnlyWhenTurnedOn)
{
    record(SettingsNotifications::automaticProtocolChanged);
    PreservedPreferences preferences;
    preferences.setSelectedProtocol(VPNProtocol::WireGuard);
    preferences.setAutomaticProtocol(false);
    EXPECT_EQ(preferences.selectedProtocol(), VPNProtocol::WireGuard);
    preferences.setAutomaticProtocol(true);
    EXPECT_EQ(preferences.selectedProtocol(), VPNProtocol::IPSec);
    EXPECT_TRUE(preferences.automaticProtocol());
    ASSERT_EQ(posted.size(), 2);
    EXPECT_EQ(posted[0].object, QVariant(false));
    EXPECT_EQ(posted[1].object, QVariant(true));
}

TEST_F(PreservedPreferencesTest, StoredProtocolMustBeAnIntegerInRange)
{
    const struct {
        QVariant stored;
        VPNProtocol expected;
    } cases[] = {
        {4, VPNProtocol::WireGuard}, {1, VPNProtocol::IKEv2}, {7, VPNProtocol::IPSec}, {-1, VPNProtocol::IPSec},
        {QStringLiteral("2"), VPNProtocol::IPSec}, {2.0, VPNProtocol::IPSec}, {QVariant(), VPNProtocol::IPSec},
    };
    PreservedPreferences preferences;
    for (const auto& c : cases) {
        defaults().setObject(c.stored, QStringLiteral(".dialedProtocol"));
        EXPECT_EQ(preferences.dialedProtocol(), c.expected) << c.stored.toString().toStdString();
    }
    preferences.setDialedProtocol(VPNProtocol::TCP);
    EXPECT_EQ(defaults().objectForKey(QStringLiteral(".dialedProtocol")), QVariant(qlonglong(2)));
}

TEST_F(PreservedPreferencesTest, FirstLoginIsTrueOncePerUser)
{
    signIn(QStringLiteral("a"));
    PreservedPreferences preferences;
    EXPECT_TRUE(preferences.firstLogin());
    EXPECT_FALSE(preferences.firstLogin());
    EXPECT_EQ(defaults().objectForKey(QStringLiteral("a.firstLogin")), QVariant(QStringLiteral("FALSE")));
    signIn(QStringLiteral("b"));
    EXPECT_TRUE(preferences.firstLogin());
}

TEST_F(PreservedPreferencesTest, TestGroupIsDrawnOnceAndKept)
{
    PreservedPreferences preferences;
    defaults().setString(QStringLiteral("GroupB"), QStringLiteral(".userTestGroup"));
    EXPECT_EQ(preferences.userTestGroup(), UserTestGroup::GroupB);

    defaults().setString(QStringLiteral("groupa"), QStringLiteral(".userTestGroup"));
    const UserTestGroup drawn = preferences.userTestGroup();
    EXPECT_EQ(defaults().stringForKey(QStringLiteral(".userTestGroup")), toRaw(drawn));
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(preferences.userTestGroup(), drawn);

    // Both groups come up over many fresh users.
    QSet<UserTestGroup> seen;
    for (int i = 0; i < 200 && seen.size() < 2; ++i) {
        signIn(QStringLiteral("user%1").arg(i));
        seen.insert(preferences.userTestGroup());
    }
    EXPECT_EQ(seen.size(), 2);
}

TEST_F(PreservedPreferencesTest, WritesPostTheirNotificationsAfterStoring)
{
    signIn(QStringLiteral("u"));
    PreservedPreferences preferences;
    QList<QVariant> seenStored;
    NotificationCenter::defaultCenter().addObserver(SettingsNotifications::recentsUpdated, &observerOwner,
                                                    [&](const Notification&) { seenStored.append(preferences.recents().size()); });
    NotificationCenter::defaultCenter().addObserver(SettingsNotifications::dedicatedIpUpdated, &observerOwner,
                                                    [&](const Notification&) { seenStored.append(bool(preferences.dedicatedServer())); });
    NotificationCenter::defaultCenter().addObserver(SettingsNotifications::passwordChanged, &observerOwner,
                                                    [&](const Notification&) { seenStored.append(preferences.passwordChanged()); });
    record(SettingsNotifications::recentsUpdated);
    record(SettingsNotifications::dedicatedIpUpdated);
    record(SettingsNotifications::passwordChanged);

    const PreservedPreferences::Servers recents{location(QStringLiteral("DE")), location(QStringLiteral("FR"))};
    preferences.setRecents(recents);
    preferences.setDedicatedServer(location(QStringLiteral("DIP")));
    preferences.setDedicatedServer(nullptr);
    preferences.setPasswordChanged(true);

    EXPECT_EQ(seenStored, (QList<QVariant>{2, true, false, true}));
    ASSERT_EQ(posted.size(), 4);
    EXPECT_EQ(posted[0].object.value<PreservedPreferences::Servers>(), recents);
    EXPECT_EQ(posted[1].object.value<QuorDataFetcherServer::Ptr>()->id, QStringLiteral("DIP"));
    EXPECT_FALSE(posted[2].object.isValid());
    EXPECT_EQ(posted[3].object, QVariant(true));
    EXPECT_EQ(defaults().dataForKey(QStringLiteral("u.dedicatedServer")), QByteArray("null"));
}

TEST_F(PreservedPreferencesTest, ServerListsAndAccountsRoundTrip)
{
    signIn(QStringLiteral("u"));
    User().setClientId(42);
    PreservedPreferences preferences;
    EXPECT_TRUE(preferences.favorites().isEmpty());
    preferences.setFavorites({location(QStringLiteral("DE")), location(QStringLiteral("US"))});
    const auto favorites = preferences.favorites();
    ASSERT_EQ(favorites.size(), 2);
    EXPECT_EQ(favorites[1]->id, QStringLiteral("US"));
    EXPECT_EQ(defaults().arrayForKey(QStringLiteral("u.favorites"))->size(), 2);

    const QList<VPNAccount> accounts{{QStringLiteral("vpn1"), QStringLiteral("active"), QStringLiteral("monthly"),
                                      QStringLiteral("card"), QStringLiteral("2027-01-01"), QString(), true}};
    preferences.setVpnAccounts(accounts);
    EXPECT_TRUE(defaults().hasObject(QStringLiteral("42.vpnAccounts")));
    EXPECT_FALSE(defaults().hasObject(QStringLiteral("u.vpnAccounts")));
    const auto read = preferences.vpnAccounts();
    ASSERT_EQ(read.size(), 1);
    EXPECT_EQ(read[0].username, QStringLiteral("vpn1"));
    EXPECT_FALSE(read[0].isSelected);  // not part of the stored form

    preferences.setAutoConnectServer(location(QStringLiteral("NL")));
    EXPECT_EQ(preferences.autoConnectServer()->id, QStringLiteral("NL"));
    defaults().setData("{}", QStringLiteral("u.autoConnectServer"));
    EXPECT_FALSE(preferences.autoConnectServer());
}

TEST_F(PreservedPreferencesTest, PlainSettingReadings)
{
    PreservedPreferences preferences;
    defaults().setString(QStringLiteral("Recommended"), QStringLiteral(".autoConnectVia"));
    EXPECT_EQ(preferences.autoConnectVia(), AutoConnectVia::Recommended);
    defaults().setString(QStringLiteral("recommended"), QStringLiteral(".autoConnectVia"));
    EXPECT_EQ(preferences.autoConnectVia(), AutoConnectVia::AutoSelect);

    defaults().setObject(QStringList{QStringLiteral("a.com"), QStringLiteral("b.com")}, QStringLiteral(".connectOnDemandMatchDomains"));
    EXPECT_EQ(preferences.connectOnDemandMatchDomains(), (QStringList{QStringLiteral("a.com"), QStringLiteral("b.com")}));
    defaults().setObject(QVariantList{QStringLiteral("a.com"), 3}, QStringLiteral(".connectOnDemandMatchDomains"));
    EXPECT_FALSE(preferences.connectOnDemandMatchDomains());

    const QDateTime at = QDateTime::fromMSecsSinceEpoch(1700000000000LL, Qt::UTC);
    preferences.setPingedAt(at);
    EXPECT_EQ(preferences.pingedAt(), at);
    preferences.setPingedAt(std::nullopt);
    EXPECT_FALSE(defaults().hasObject(QStringLiteral(".pingedAt")));
    defaults().setString(QStringLiteral("yesterday"), QStringLiteral(".pingedAt"));
    EXPECT_FALSE(preferences.pingedAt());
}

TEST_F(PreservedPreferencesTest, PersonalisedServersAndTheirLists)
{
    PreservedPreferences preferences;
    EXPECT_FALSE(preferences.personalizeServer());
    EXPECT_FALSE(preferences.likedServers(QStringLiteral("DE")));
    preferences.setPersonalizeServer(std::nullopt);
    EXPECT_EQ(preferences.personalizeServer(), PersonalizeServerModelPersonalizeServer::Dictionary{});

    PersonalizeServerModelPersonalizeServer::Dictionary dictionary;
    dictionary.insert(QStringLiteral("DE"), {{QStringLiteral("a"), true}, {QStringLiteral("b"), false}, {QStringLiteral("c"), true}});
    preferences.setPersonalizeServer(dictionary);
    EXPECT_EQ(preferences.personalizeServer(), dictionary);
    EXPECT_EQ(preferences.likedServers(QStringLiteral("DE")), QStringLiteral("a,c"));
    EXPECT_EQ(preferences.dislikedServers(QStringLiteral("DE")), QStringLiteral("b"));
    EXPECT_FALSE(preferences.likedServers(std::nullopt));

    defaults().setString(QStringLiteral("not data"), QStringLiteral(".personalizeServer"));
    EXPECT_FALSE(preferences.personalizeServer());
}

TEST_F(PreservedPreferencesTest, DedicatedIpErrorIsKeptWithItsChain)
{
    PreservedPreferences preferences;
    const Error error = Error(QStringLiteral("VeltamorineError"), 503, QStringLiteral("Unavailable"),
                              QVariantMap{{QStringLiteral("path"), QStringLiteral("/dedicated")}})
                            .wrapping(Error(QStringLiteral("Network"), -1009));
    preferences.setDedicatedIpApiError(error);
    const auto read = preferences.dedicatedIpApiError();
    ASSERT_TRUE(read);
    EXPECT_TRUE(read->is(QStringLiteral("VeltamorineError"), 503));
    EXPECT_EQ(read->userInfo.value(QStringLiteral("path")), QStringLiteral("/dedicated"));
    EXPECT_TRUE(read->rootError().is(QStringLiteral("Network"), -1009));
    preferences.setDedicatedIpApiError(std::nullopt);
    EXPECT_FALSE(defaults().hasObject(QStringLiteral(".dedicatedIpApiError")));
    defaults().setData("[1]", QStringLiteral(".dedicatedIpApiError"));
    EXPECT_FALSE(preferences.dedicatedIpApiError());
}

TEST_F(PreservedPreferencesTest, SystemExtensionNeedDependsOnProtocolAndStatus)
{
    const struct {
        VPNProtocol protocol;
        QVariant openVPNStatus;
        QVariant wgStatus;
        bool needs;
    } cases[] = {
        {VPNProtocol::IPSec, QVariant(), QVariant(), false},
        {VPNProtocol::IKEv2, 3, 3, false},
        {VPNProtocol::UDP, QVariant(), QVariant(), true},
        {VPNProtocol::UDP, 1, QVariant(), false},
        {VPNProtocol::TCP, 2, 1, true},
        {VPNProtocol::WireGuard, 1, QVariant(), true},
        {VPNProtocol::WireGuard, QVariant(), 1, false},
        {VPNProtocol::WireGuard, QVariant(), 9, true},
    };
    PreservedPreferences preferences;
    for (const auto& c : cases) {
        preferences.setSelectedProtocol(c.protocol);
        defaults().setObject(c.openVPNStatus, QStringLiteral("AppPreference.openVPNSystemExtensionStatus"));
        defaults().setObject(c.wgStatus, QStringLiteral("AppPreference.wgSystemExtensionStatus"));
        EXPECT_EQ(preferences.selectedProtocolNeedsSystemExtension(), c.needs) << toRaw(c.protocol);
    }
}

TEST_F(PreservedPreferencesTest, ResetWithoutUserChangesNothing)
{
    record(SettingsNotifications::preferencesRefreshed);
    record(SettingsNotifications::quorRecommendedServerUpdated);
    defaults().setBool(true, QStringLiteral(".enableIKS"));
    const QVariantMap before = defaults().dictionaryRepresentation();
    PreservedPreferences().reset();
    EXPECT_EQ(defaults().dictionaryRepresentation(), before);
    EXPECT_TRUE(posted.isEmpty());
}

TEST_F(PreservedPreferencesTest, ResetRemovesTheListedSettingsAndPostsTwice)
{
    signIn(QStringLiteral("u"));
    const QStringList removed{
        QStringLiteral("recents"), QStringLiteral("favorites"), QStringLiteral("allowVPNNotifications"),
        QStringLiteral("connectedServer"), QStringLiteral("launchOnStartUp"), QStringLiteral("reconnectOnLaunch"),
        QStringLiteral("autoReconnectOnConnectionDrop"), QStringLiteral("onDemandRulesEnabled"),
        QStringLiteral("connectOnDemandMatchDomains"), QStringLiteral("preventSleep"), QStringLiteral("autoConnectFromSleep"),
        QStringLiteral("automaticallyCheckForUpdate"), QStringLiteral("enablePing"), QStringLiteral("autoConnectServer"),
        QStringLiteral("autoConnectVia"), QStringLiteral("automaticProtocol"), QStringLiteral("enablePersonaliseServer"),
        QStringLiteral("personalizeServer"), QStringLiteral("enableIKS"), QStringLiteral("connectToFallback"),
        QStringLiteral("vpnAccounts"), QStringLiteral("selectedProtocol")};
    const QStringList kept{QStringLiteral("countries"), QStringLiteral("dialedProtocol"), QStringLiteral("firstLogin"),
                           QStringLiteral("userTestGroup"), QStringLiteral("ratedOnStore"), QStringLiteral("referredAFriend"),
                           QStringLiteral("dedicatedServer"), QStringLiteral("pingedAt"), QStringLiteral("isB2C")};
    for (const QString& name : removed + kept)
        defaults().setInteger(1, QStringLiteral("u.") + name);
    defaults().setInteger(1, QStringLiteral("other.enableIKS"));

    AppPreferences app;
    auto recommended = location(QStringLiteral("SE"));
    recommended->favorite = true;
    app.setRecommendedServer(recommended);

    QStringList order;
    for (const QString& name : {QString(SettingsNotifications::quorRecommendedServerUpdated), QString(SettingsNotifications::preferencesRefreshed)})
        NotificationCenter::defaultCenter().addObserver(name, &observerOwner, [&order](const Notification& n) {
            order.append(n.name);
        });
    record(SettingsNotifications::quorRecommendedServerUpdated);

    PreservedPreferences().reset();

    for (const QString& name : removed)
        EXPECT_FALSE(defaults().hasObject(QStringLiteral("u.") + name)) << name.toStdString();
    for (const QString& name : kept)
        EXPECT_TRUE(defaults().hasObject(QStringLiteral("u.") + name)) << name.toStdString();
    EXPECT_TRUE(defaults().hasObject(QStringLiteral("other.enableIKS")));
    EXPECT_EQ(order, (QStringList{QString(SettingsNotifications::quorRecommendedServerUpdated),
                                  QString(SettingsNotifications::preferencesRefreshed)}));
    ASSERT_TRUE(app.recommendedServer());
    EXPECT_FALSE(app.recommendedServer()->favorite);
    ASSERT_EQ(posted.size(), 1);
    EXPECT_FALSE(posted[0].object.value<QuorDataFetcherServer::Ptr>()->favorite);
}

TEST_F(PreservedPreferencesTest, ResetWithoutRecommendedLocationStoresNull)
{
    signIn(QStringLiteral("u"));
    record(SettingsNotifications::quorRecommendedServerUpdated);
    PreservedPreferences().reset();
    EXPECT_EQ(defaults().dataForKey(QStringLiteral("AppPreference.recommendedServer")), QByteArray("null"));
    ASSERT_EQ(posted.size(), 1);
    EXPECT_FALSE(posted[0].object.isValid());
}

}
