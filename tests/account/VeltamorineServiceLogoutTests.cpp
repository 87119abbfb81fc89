#include "AccountLifecycleFixture.h"

#include "AuthObject.h"
#include "FakeUserNotificationCenter.h"
#include "SessionSignOut.h"
#include "SettingsNotifications.h"
#include "VeltamorineServiceLogout.h"

#include <QJsonDocument>
#include <QUuid>
#include <QWidget>

// Stands for the preferences library's window class, which logout finds by class name.
class PreferencesWindowController : public QWidget {
    Q_OBJECT
};

namespace {

class JournalHub final : public ErrorSending {
public:
    explicit JournalHub(QStringList& journal) : journal(journal) {}
    QStringList& journal;
    void setUser(const std::optional<ReportUser>& user) override { journal.append(user ? QStringLiteral("errorUser.set") : QStringLiteral("errorUser.none")); }
    QString captureError(const Error&, const ReportScope&) override { return {}; }
    QString captureMessage(const QString&, const ReportScope&) override { return {}; }
    ReportScope getScope() override { return {}; }
};

}

class LogoutTest : public LifecycleTest {
protected:
    LogoutTest()
    {
        VeltamorineServiceLogout::setDeliveredNotificationsRemoval([this] { journal.append(QStringLiteral("notifications")); });
        // Every copy a sign-in leaves: the token set (memory and defaults), the identity
        // client's pair in the keyring, and the account's three secrets.
        User user;
        user.setLoginUsername(QStringLiteral("ada@example.com"));
        user.setLoginPassword(QStringLiteral("correct horse"));
        user.setFirestoreToken(QStringLiteral("firestore-token"));
        // The identity client's keyring items are shared by every test process: values of this
        // run's own tell its copies apart.
        oauthService->client()->setTokens(oauthAccess, oauthRefresh);
        signInStored(Stored{});
        NotificationCenter::defaultCenter().addObserver(QString(SettingsNotifications::loggedInChanged), &observer,
            [this](const Notification& n) {
                if (n.object.toBool())
                    return;
                const bool tokensGone = AppManager::shared().iws_accessToken().isEmpty()
                    && !UserDefaults::standard().hasObject(AppManager::accessTokenKey)
                    && oauthService->client()->accessToken().isEmpty();
                journal.append(tokensGone ? QStringLiteral("tokens.gone") : QStringLiteral("tokens.present"));
                journal.append(QStringLiteral("user"));
            });
    }

    void logout(int status)
    {
        quorManager.status = status;
        VeltamorineServiceLogout::logout(&quorManager, User(), ErrorSender(journalHub),
                                         EventTracker(journalTracking, AppPreferences(), PreservedPreferences()));
        TestSupport::processEvents(20);
    }

    bool signedIn() const { return User().loggedIn() && User().vpnPassword().has_value(); }

    const QString oauthAccess = QStringLiteral("oauth-access-") + QUuid::createUuid().toString(QUuid::Id128);
    const QString oauthRefresh = QStringLiteral("oauth-refresh-") + QUuid::createUuid().toString(QUuid::Id128);
    std::shared_ptr<JournalHub> journalHub = std::make_shared<JournalHub>(journal);
    QObject observer;
};

TEST_F(LogoutTest, DisconnectedClearsAtOnceAndUpAsksFirst)
{
    struct Row { const char* name; int status; bool asks; };
    const Row rows[] = {
        {"invalid", 0, false}, {"disconnected", 1, false}, {"connecting", 2, true},
        {"connected", 3, true}, {"reasserting", 4, false}, {"disconnecting", 5, false},
    };
    for (const Row& row : rows) {
        signInStored(Stored{});
        alerts.shown.clear();
        logout(row.status);
        EXPECT_EQ(alerts.shown.size(), row.asks ? 1 : 0) << row.name;
        EXPECT_EQ(signedIn(), row.asks) << row.name;
        EXPECT_EQ(quorManager.disconnectCount, 0) << row.name;
    }
}

TEST_F(LogoutTest, DecliningTheConfirmationChangesNothing)
{
    AppManager::shared().lastVPNStateConnected = true;
    logout(3);
    ASSERT_EQ(alerts.kinds(), QStringList{QStringLiteral("logoutWhileConnected")});
    alerts.shown.last().answerResponse(AccountAlerts::secondButtonResponse);
    TestSupport::processEvents(20);
    EXPECT_TRUE(signedIn());
    EXPECT_EQ(quorManager.disconnectCount, 0);
    EXPECT_TRUE(AppManager::shared().lastVPNStateConnected);
    EXPECT_EQ(AppManager::shared().iws_accessToken(), QStringLiteral("access-token-1"));
    EXPECT_TRUE(journal.isEmpty()) << journal.join(u',').toStdString();
}

TEST_F(LogoutTest, ConfirmingDisconnectsThenClears)
{
    AppManager::shared().lastVPNStateConnected = true;
    logout(2);
    ASSERT_EQ(alerts.shown.size(), 1);
    alerts.shown.last().answerResponse(AccountAlerts::firstButtonResponse);
    TestSupport::processEvents(20);
    EXPECT_EQ(quorManager.disconnectCount, 1);
    EXPECT_FALSE(AppManager::shared().lastVPNStateConnected);
    EXPECT_FALSE(signedIn());
    EXPECT_FALSE(User().loggedIn());
}

TEST_F(LogoutTest, ClearsInOrderAndLeavesNoSecretBehind)
{
    User().setRememberMe(false);
    logout(1);
    EXPECT_EQ(journal, (QStringList{QStringLiteral("tokens.gone"), QStringLiteral("user"), QStringLiteral("errorUser.none"),
                                    QStringLiteral("analytics.reset"), QStringLiteral("analytics.clearSuperProperties"),
                                    QStringLiteral("notifications")}));

    const User user;
    EXPECT_FALSE(user.loggedIn());
    EXPECT_FALSE(user.vpnUsername());
    EXPECT_FALSE(user.vpnPassword());
    EXPECT_FALSE(user.loginUsername());
    EXPECT_FALSE(user.loginPassword());
    EXPECT_FALSE(user.firestoreToken());
    EXPECT_TRUE(PreservedPreferences().vpnAccounts().isEmpty());
    EXPECT_TRUE(AppManager::shared().iws_accessToken().isEmpty());
    EXPECT_TRUE(AppManager::shared().iws_refreshToken().isEmpty());
    EXPECT_TRUE(oauthService->client()->accessToken().isEmpty());
    // A fresh identity client reads the keyring again: this run's pair is not there.
    const auto fresh = std::make_shared<OAuthService>()->client();
    EXPECT_NE(fresh->accessToken(), oauthAccess);
    EXPECT_NE(fresh->refreshToken(), oauthRefresh);
    const QByteArray everything = QJsonDocument(QJsonObject::fromVariantMap(UserDefaults::standard().dictionaryRepresentation())).toJson();
    for (const QString& secret : {QStringLiteral("access-token-1"), QStringLiteral("refresh-token-1"), oauthAccess, oauthRefresh,
                                  QStringLiteral("stored-pass"), QStringLiteral("correct horse"), QStringLiteral("firestore-token")})
        EXPECT_FALSE(everything.contains(secret.toUtf8())) << secret.toStdString();
    for (const QString& key : {AppManager::accessTokenKey, AppManager::refreshTokenKey, AppManager::accessTokenExpiryKey,
                               AppManager::refreshTokenExpiryKey, AppManager::createdAtKey})
        EXPECT_FALSE(UserDefaults::standard().hasObject(key)) << key.toStdString();
}

TEST_F(LogoutTest, RememberMeKeepsTheLoginNameAndPassword)
{
    for (const bool remember : {true, false}) {
        User user;
        user.setLoginUsername(QStringLiteral("ada@example.com"));
        user.setLoginPassword(QStringLiteral("correct horse"));
        signInStored(Stored{});
        user.setRememberMe(remember);
        logout(1);
        EXPECT_FALSE(User().loggedIn()) << remember;
        EXPECT_FALSE(User().vpnPassword()) << remember;
        EXPECT_EQ(User().loginUsername().has_value(), remember);
        EXPECT_EQ(User().loginPassword().has_value(), remember);
        if (remember) {
            EXPECT_EQ(User().loginUsername(), QStringLiteral("ada@example.com"));
            EXPECT_EQ(User().loginPassword(), QStringLiteral("correct horse"));
        }
    }
}

TEST_F(LogoutTest, ClosesOnlyThePreferencesWindows)
{
    PreferencesWindowController general;
    PreferencesWindowController protocols;
    QWidget dashboard;
    for (QWidget* w : {static_cast<QWidget*>(&general), static_cast<QWidget*>(&protocols), &dashboard})
        w->show();
    logout(3);
    EXPECT_FALSE(general.isVisible());
    EXPECT_FALSE(protocols.isVisible());
    EXPECT_TRUE(dashboard.isVisible());
    // Declining keeps them closed and the user signed in.
    alerts.shown.last().answerResponse(AccountAlerts::secondButtonResponse);
    EXPECT_FALSE(general.isVisible());
    EXPECT_TRUE(signedIn());
}

TEST_F(LogoutTest, TheApiClientsExpiredSessionSignsOutThroughLogout)
{
    VeltamorineServiceLogout::bindSessionSignOut();
    ASSERT_TRUE(SessionSignOut::isBound());
    EXPECT_TRUE(SessionSignOut::signOut());
    TestSupport::processEvents(20);
    EXPECT_FALSE(User().loggedIn());
    EXPECT_FALSE(User().vpnPassword());
    EXPECT_TRUE(AppManager::shared().iws_accessToken().isEmpty());
    SessionSignOut::bind(nullptr);
}

TEST_F(LogoutTest, WithoutABoundStepLogoutRemovesWhatTheNotificationCentreDelivered)
{
    FakeUserNotificationCenter center;
    UserNotificationCenter::setCurrent(&center);
    center.add({QStringLiteral("connection"), QStringLiteral("Veltamorine"), QStringLiteral("Connected")});
    center.add({QStringLiteral("update"), QStringLiteral("Veltamorine"), QStringLiteral("An update is ready")});
    VeltamorineServiceLogout::setDeliveredNotificationsRemoval(nullptr);

    logout(1);

    EXPECT_FALSE(signedIn());
    EXPECT_EQ(center.removals, 1);
    EXPECT_TRUE(center.shown().isEmpty());
    UserNotificationCenter::setCurrent(nullptr);
}

#include "VeltamorineServiceLogoutTests.moc"
