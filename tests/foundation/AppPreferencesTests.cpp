#include "AppPreferences.h"

#include "Bundle.h"
#include "SettingsNotifications.h"
#include "SettingsTestStores.h"
#include "UserDefaultsCodable.h"

#include <QJsonDocument>
#include <QUrlQuery>

namespace {

class AppPreferencesTest : public SettingsTestStores {};

QJsonObject lastConnectionJson()
{
    return QJsonObject{
        {QStringLiteral("selectedInterface"), QStringLiteral("Recent")},
        {QStringLiteral("connectVia"), QStringLiteral("City")},
        {QStringLiteral("selectedInterfaceScreen"), QStringLiteral("Dashboard")},
        {QStringLiteral("connectionInitiatedBy"), QStringLiteral("User")},
        {QStringLiteral("server"), QuorDataFetcherServer(QStringLiteral("12"), QStringLiteral("Berlin"),
                                                         QuorDataFetcherServerType::City, QStringLiteral("DE"))
                                       .toJson()},
        {QStringLiteral("dialedWithQRServer"), false},
        {QStringLiteral("isDialedWithOVPNObfuscatedServer"), true},
    };
}

TEST_F(AppPreferencesTest, FreshInstallReadings)
{
    AppPreferences preferences;
    const Bundle& bundle = Bundle::main();

    const auto notice = preferences.updateAvailable();
    EXPECT_EQ(notice.availableVersion, bundle.shortVersion());
    EXPECT_EQ(notice.forcedTillVersion, bundle.shortVersion());
    const QUrl releaseNotes(notice.releaseNoteURL);
    EXPECT_EQ(releaseNotes.scheme(), QStringLiteral("https"));
    EXPECT_EQ(releaseNotes.path(), QStringLiteral("/chat/embed/"));
    const QUrlQuery query(releaseNotes);
    EXPECT_TRUE(query.hasQueryItem(QStringLiteral("website_id")));
    EXPECT_EQ(query.queryItemValue(QStringLiteral("version"), QUrl::FullyDecoded), bundle.versionString());
    EXPECT_FALSE(defaults().hasObject(QStringLiteral("AppPreference.updateAvailable")));

    EXPECT_EQ(preferences.activeDomain(), AppPreferences::defaultDomain());
    EXPECT_FALSE(preferences.activeDomain().servicesUrl.isEmpty());
    EXPECT_FALSE(preferences.lastConnection());
    EXPECT_FALSE(preferences.recommendedServer());
    EXPECT_EQ(preferences.openVPNSystemExtensionStatus(), SystemExtensionStatus::notInstalled);
    EXPECT_EQ(preferences.appearance(), Appearance::systemDefault);
    EXPECT_EQ(preferences.manualDisconnectionCount(), 0);
    EXPECT_FALSE(preferences.hideFromDock());

    EXPECT_EQ(preferences.dataStoreVersion(), bundle.dataStoreVersion());
    EXPECT_EQ(defaults().objectForKey(QStringLiteral("AppPreference.dataStoreVersion")), QVariant(qlonglong(bundle.dataStoreVersion())));
}

TEST_F(AppPreferencesTest, DataStoreVersionTreatsZeroAsAbsent)
{
    AppPreferences preferences;
    preferences.setDataStoreVersion(5);
    EXPECT_EQ(preferences.dataStoreVersion(), 5);
    preferences.setDataStoreVersion(0);
    EXPECT_EQ(preferences.dataStoreVersion(), Bundle::main().dataStoreVersion());
}

TEST_F(AppPreferencesTest, StoredUpdateNoticeWinsWhenItDecodes)
{
    AppPreferences preferences;
    const AppPreferences::UpdateAvailable notice{QStringLiteral("3.2"), QStringLiteral("3.1"), QStringLiteral("https://example.com/notes")};
    preferences.setUpdateAvailable(notice);
    EXPECT_EQ(preferences.updateAvailable(), notice);
    defaults().setData(R"({"availableVersion":"3.2","forcedTillVersion":"3.1"})", QStringLiteral("AppPreference.updateAvailable"));
    EXPECT_EQ(preferences.updateAvailable().availableVersion, Bundle::main().shortVersion());
}

TEST_F(AppPreferencesTest, AppearanceOutsideTheCasesGoesByTitle)
{
    AppPreferences preferences;
    const struct {
        QVariant stored;
        bool lightIsTitledLight;
        Appearance expected;
    } cases[] = {
        {0, false, Appearance::systemDefault}, {1, false, Appearance::light}, {2, false, Appearance::dark},
        {7, false, Appearance::dark},          {-1, false, Appearance::dark}, {7, true, Appearance::light},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored.toString().toStdString() + (c.lightIsTitledLight ? " unlocalised" : ""));
        preferences.localize = [&c](const QString& key) {
            return c.lightIsTitledLight ? key.section(u'.', -1) : QStringLiteral("Title of ") + key;
        };
        defaults().setObject(c.stored, QStringLiteral("AppPreference.appearance"));
        EXPECT_EQ(preferences.appearance(), c.expected);
    }
    EXPECT_EQ(Appearances::titles().size(), 3);
}

TEST_F(AppPreferencesTest, PreferredLanguage)
{
    AppPreferences preferences;
    const QString fromSystem = preferences.preferredLanguageCode();
    EXPECT_FALSE(fromSystem.isEmpty());
    EXPECT_FALSE(defaults().hasObject(QStringLiteral("AppPreference.preferredLanguageCode")));
    preferences.setPreferredLanguageCode(QStringLiteral("xx"));
    EXPECT_EQ(preferences.preferredLanguageCode(), QStringLiteral("xx"));

    const struct {
        QStringList available;
        QStringList preferred;
        const char* expected;
    } cases[] = {
        {{}, {QStringLiteral("de-DE")}, "en"},
        {{QStringLiteral("de"), QStringLiteral("en")}, {QStringLiteral("de-AT"), QStringLiteral("en")}, "de"},
        {{QStringLiteral("en"), QStringLiteral("pt-BR")}, {QStringLiteral("pt_BR")}, "pt-BR"},
        {{QStringLiteral("fr"), QStringLiteral("en")}, {QStringLiteral("ja")}, "en"},
        {{QStringLiteral("fr"), QStringLiteral("it")}, {QStringLiteral("ja")}, "fr"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(AppPreferences::bestLocalization(c.available, c.preferred), QString::fromLatin1(c.expected))
            << c.preferred.join(u',').toStdString();
}

TEST_F(AppPreferencesTest, ExtensionStatusIsAnnouncedBeforeItIsStored)
{
    AppPreferences preferences;
    preferences.setWgSystemExtensionStatus(SystemExtensionStatus::failed);
    QList<std::pair<QVariant, SystemExtensionStatus>> seen;
    NotificationCenter::defaultCenter().addObserver(SettingsNotifications::extensionStatusChanged, &observerOwner,
                                                    [&](const Notification& n) {
                                                        seen.append({n.object, preferences.wgSystemExtensionStatus()});
                                                    });
    preferences.setWgSystemExtensionStatus(SystemExtensionStatus::pendingReboot);
    preferences.setWgSystemExtensionStatus(SystemExtensionStatus::installed);
    ASSERT_EQ(seen.size(), 2);
    EXPECT_EQ(seen[0].first, QVariant(false));
    EXPECT_EQ(seen[0].second, SystemExtensionStatus::failed);
    EXPECT_EQ(seen[1].first, QVariant(true));
    EXPECT_EQ(seen[1].second, SystemExtensionStatus::pendingReboot);
    EXPECT_EQ(preferences.wgSystemExtensionStatus(), SystemExtensionStatus::installed);
    EXPECT_EQ(defaults().objectForKey(QStringLiteral("AppPreference.wgSystemExtensionStatus")), QVariant(qlonglong(1)));

    defaults().setInteger(9, QStringLiteral("AppPreference.openVPNSystemExtensionStatus"));
    EXPECT_NE(preferences.openVPNSystemExtensionStatus(), SystemExtensionStatus::installed);
}

TEST_F(AppPreferencesTest, KeychainValueByReleaseCodeAndName)
{
    AppPreferences preferences;
    EXPECT_EQ(preferences.keychainValue(QStringLiteral("dialer-api/authorization")), QString());
    keyring->write(QStringLiteral("AppPreferences") + Bundle::main().releaseCode() + QStringLiteral("_API_dialer-api/authorization"),
                   QStringLiteral("token"));
    EXPECT_EQ(preferences.keychainValue(QStringLiteral("dialer-api/authorization")), QStringLiteral("token"));
}

TEST_F(AppPreferencesTest, LastConnectionDecoding)
{
    AppPreferences preferences;
    const struct {
        const char* name;
        const char* removedKey;
        QJsonValue replacement;  // undefined: the key is removed
        bool decodes;
    } cases[] = {
        {"complete", "nasIdentifier", QStringLiteral("nas-1"), true},
        {"without nasIdentifier", "nasIdentifier", QJsonValue(QJsonValue::Undefined), true},
        {"nasIdentifier null", "nasIdentifier", QJsonValue(), true},
        {"without dialedWithQRServer", "dialedWithQRServer", QJsonValue(QJsonValue::Undefined), false},
        {"unknown connect-via", "connectVia", QStringLiteral("Planet"), false},
        {"server not an object", "server", QStringLiteral("12"), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QJsonObject object = lastConnectionJson();
        if (c.replacement.isUndefined())
            object.remove(QLatin1StringView(c.removedKey));
        else
            object.insert(QLatin1StringView(c.removedKey), c.replacement);
        defaults().setData(QJsonDocument(object).toJson(), QStringLiteral("AppPreference.lastConnection"));
        EXPECT_EQ(preferences.lastConnection().has_value(), c.decodes);
    }

    auto last = AppPreferences::LastConnection::fromJson(lastConnectionJson());
    ASSERT_TRUE(last);
    preferences.setLastConnection(last);
    const auto read = preferences.lastConnection();
    ASSERT_TRUE(read);
    EXPECT_EQ(read->connectVia, QuorConnectVia::City);
    EXPECT_EQ(read->server->name, QStringLiteral("Berlin"));
    EXPECT_TRUE(read->isDialedWithOVPNObfuscatedServer);
    EXPECT_FALSE(read->toJson().contains(QStringLiteral("nasIdentifier")));
}

TEST_F(AppPreferencesTest, DomainKeepsBareHosts)
{
    const struct {
        const char* services;
        const char* expected;
    } cases[] = {
        {"https://api.example.com/", "api.example.com"},
        {"api.example.com", "api.example.com"},
        {"http://api.example.com/", "http:api.example.com"},
    };
    for (const auto& c : cases) {
        const auto domain = Domain::fromJson(QJsonObject{{QStringLiteral("authTokenUrl"), QStringLiteral("https://auth.example.com")},
                                                         {QStringLiteral("servicesUrl"), QString::fromLatin1(c.services)}});
        ASSERT_TRUE(domain) << c.services;
        EXPECT_EQ(domain->servicesUrl, QString::fromLatin1(c.expected));
        EXPECT_EQ(domain->authTokenUrl, QStringLiteral("auth.example.com"));
    }
    EXPECT_FALSE(Domain::fromJson(QJsonObject{{QStringLiteral("servicesUrl"), QStringLiteral("a")}}));
    EXPECT_FALSE(Domain::fromJson(QJsonObject{{QStringLiteral("authTokenUrl"), 1}, {QStringLiteral("servicesUrl"), QStringLiteral("a")}}));

    AppPreferences preferences;
    preferences.setActiveDomain(Domain{QStringLiteral("auth.b"), QStringLiteral("api.b")});
    EXPECT_EQ(preferences.activeDomain().servicesUrl, QStringLiteral("api.b"));
    defaults().setData("{}", QStringLiteral("AppPreference.activeDomain"));
    EXPECT_EQ(preferences.activeDomain(), AppPreferences::defaultDomain());
}

TEST_F(AppPreferencesTest, RecommendedServerIsStoredThenAnnounced)
{
    record(SettingsNotifications::quorRecommendedServerUpdated);
    AppPreferences preferences;
    bool storedWhenPosted = false;
    NotificationCenter::defaultCenter().addObserver(SettingsNotifications::quorRecommendedServerUpdated, &observerOwner,
                                                    [&](const Notification&) { storedWhenPosted = bool(preferences.recommendedServer()); });
    preferences.setRecommendedServer(QuorDataFetcherServer::make(QStringLiteral("SE"), QStringLiteral("Sweden"),
                                                                 QuorDataFetcherServerType::Country, QStringLiteral("SE")));
    EXPECT_TRUE(storedWhenPosted);
    preferences.setRecommendedServer(nullptr);
    EXPECT_EQ(defaults().dataForKey(QStringLiteral("AppPreference.recommendedServer")), QByteArray("null"));
    ASSERT_EQ(posted.size(), 2);
    EXPECT_EQ(posted[0].object.value<QuorDataFetcherServer::Ptr>()->id, QStringLiteral("SE"));
    EXPECT_FALSE(posted[1].object.isValid());
}

TEST_F(AppPreferencesTest, PlainSettingsUseTheirKeys)
{
    AppPreferences preferences;
    preferences.setOnGoingConnectionId(QStringLiteral("c1"));
    preferences.setLastFeedbackConnectionId(QStringLiteral("c0"));
    preferences.setExculdedIdentifiersForSwitchServer(QStringList{QStringLiteral("a")});
    preferences.setMixpanelConnectedProperties(QVariantMap{{QStringLiteral("p"), 1}});
    preferences.setPublicIpAddress(QStringLiteral("127.0.0.1"));
    preferences.setVersion(QStringLiteral("3.0"));
    preferences.setHideFromDock(true);
    for (const char* key : {"onGoingConnectionId", "lastFeedbackConnectionId", "exculdedIdentifiersForSwitchServer",
                            "mixpanelConnectedProperties", "publicIpAddress", "version", "hideFromDock"})
        EXPECT_TRUE(defaults().hasObject(QStringLiteral("AppPreference.") + QLatin1StringView(key))) << key;
    preferences.setOnGoingConnectionId(std::nullopt);
    EXPECT_FALSE(defaults().hasObject(QStringLiteral("AppPreference.onGoingConnectionId")));

    // The install time is kept per VPN user.
    const QDateTime at = QDateTime::fromMSecsSinceEpoch(1700000000000LL, Qt::UTC);
    preferences.setAppInstallTime(at);
    EXPECT_EQ(defaults().dateForKey(QStringLiteral(".appInstallTime")), at);
    defaults().setString(QStringLiteral("u"), QStringLiteral("UserPreferences.vpnUsername"));
    EXPECT_FALSE(preferences.appInstallTime());
}

}
