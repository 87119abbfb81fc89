#include "AccountTestFixture.h"

#include "AccountConfiguration.h"
#include "ExtensionManager.h"
#include "OAuth2Client.h"
#include "OAuthWebViewController.h"
#include "OAuthWebViewPresenter.h"
#include "QuorEnvironment.h"
#include "QuorManager.h"
#include "QuorSDKSetup.h"

#include <QApplication>
#include <QMutex>
#include <QUrlQuery>

namespace {

QMutex logMutex;
QStringList logLines;
QtMessageHandler previousHandler = nullptr;

void recordLine(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    {
        QMutexLocker lock(&logMutex);
        logLines.append(message);
    }
    if (previousHandler)
        previousHandler(type, context, message);
}

OAuthWebViewController* signInWindow()
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* window = qobject_cast<OAuthWebViewController*>(widget); window && window->isVisible())
            return window;
    }
    return nullptr;
}

class SignInEndToEnd : public AccountTest {
protected:
    SignInEndToEnd()
    {
        QuorManager::resetSharedInstance();
        QuorEnvironment::setCurrent(QuorEnvironment{});
        previousHandler = qInstallMessageHandler(recordLine);
    }
    ~SignInEndToEnd() override
    {
        qInstallMessageHandler(previousHandler);
        QuorManager::resetSharedInstance();
        ExtensionManager::shared().setDelegate(nullptr);
    }
};

}

TEST_F(SignInEndToEnd, FromTheAuthorizePageToTheSDKCredential)
{
    // At start-up the SDK is set up before anyone signed in.
    configureQuorSDK(User(), ErrorSender(hub));
    QuorManager* manager = QuorManager::sharedInstance();
    ASSERT_NE(manager, nullptr);
    EXPECT_FALSE(manager->quorCredential());
    authentication = std::make_shared<UserAuthentication>(networking, PreservedPreferences(), User(), AppPreferences(),
        EventTracker(tracking, AppPreferences(), PreservedPreferences()), manager, ErrorSender(hub), nullptr);

    // The login screen's own client: the identity server's page, the registered callback.
    OAuth2Client client(QVariantMap{
        {QStringLiteral("client_id"), QStringLiteral("apps")},
        {QStringLiteral("authorize_uri"), QStringLiteral("https://%1/realms/Veltamorine/protocol/openid-connect/auth?client_id=apps&response_type=code&redirect_uri=%2")
            .arg(AccountConfiguration::identityHost(), QString::fromLatin1(QUrl::toPercentEncoding(AccountConfiguration::redirectURI())))},
        {QStringLiteral("redirect_uris"), QStringList{AccountConfiguration::redirectURI()}},
        {QStringLiteral("use_pkce"), true},
        {QStringLiteral("keychain"), false},
    });
    client.presenter = OAuthWebViewPresenter::make();
    std::optional<OAuth2CodeGrant::Parameters> parameters;
    std::optional<OAuth2Error> error;
    bool answered = false;
    client.authorize({}, [&](const auto& p, const auto& e) {
        parameters = p;
        error = e;
        answered = true;
    });

    // The user fills in the identity server's form.
    ASSERT_TRUE(TestSupport::waitUntil([] { return signInWindow() && signInWindow()->pageTitle() == QStringLiteral("Sign in"); }, 15000));
    TestSupport::processEvents(100);
    signInWindow()->page()->runJavaScript(QStringLiteral(
        "document.getElementById('login').value = 'ada@example.com';"
        "document.getElementById('password').value = 'correct horse';"
        "document.getElementById('signin').submit();"));
    ASSERT_TRUE(TestSupport::waitUntil([&] { return answered; }, 15000));
    ASSERT_FALSE(error) << int(error->kind);
    ASSERT_TRUE(parameters);
    TestSupport::processEvents(100);
    EXPECT_EQ(signInWindow(), nullptr);
    const QString callback = parameters->value(QStringLiteral("code")).toString();
    EXPECT_TRUE(callback.startsWith(AccountConfiguration::redirectURI())) << callback.toStdString();

    // The redirect becomes tokens and a profile ...
    const UserAuthentication::AuthenticationCase outcome = signIn(QUrl(callback));
    ASSERT_EQ(outcome.kind, UserAuthentication::AuthenticationCase::Kind::SingleSubscription);
    const QList<VPNAccount> accounts = PreservedPreferences().vpnAccounts();
    ASSERT_EQ(accounts.size(), 1);

    // ... the only account's password becomes its credential ...
    std::optional<UserAuthentication::PasswordResult> stored;
    authentication->fetchVPNPassword(accounts[0].username, std::nullopt, std::nullopt,
        [&](const UserAuthentication::PasswordResult& result) {
            authentication->handleLoginSuccess(result, accounts[0], [&](const auto& r) { stored = r; });
        });
    ASSERT_TRUE(TestSupport::waitUntil([&] { return stored.has_value(); }, 8000));
    ASSERT_TRUE(*stored);
    authentication->finishSignIn();

    // ... and the SDK, set up again once signed in, dials with it.
    configureQuorSDK(User(), ErrorSender(hub));
    const std::optional<QuorCredential> credential = QuorManager::sharedInstance()->quorCredential();
    ASSERT_TRUE(credential);
    EXPECT_EQ(*credential, QuorCredential(QStringLiteral("vpn-ada"), QStringLiteral("s3cret-vpn-pass")));
    EXPECT_TRUE(User().loggedIn());
    EXPECT_EQ(User().vpnPassword(), QStringLiteral("s3cret-vpn-pass"));
    EXPECT_EQ(AppManager::shared().iws_accessToken(), QStringLiteral("access-token-1"));

    // No code, token or password went into any log line.
    const QString code = QUrlQuery(QUrl(callback)).queryItemValue(QStringLiteral("code"));
    QMutexLocker lock(&logMutex);
    for (const QString& line : std::as_const(logLines)) {
        for (const QString& secret : {code, QStringLiteral("access-token-1"), QStringLiteral("refresh-token-1"),
                                      QStringLiteral("s3cret-vpn-pass"), QStringLiteral("correct horse")})
            EXPECT_FALSE(line.contains(secret)) << line.toStdString();
    }
}
