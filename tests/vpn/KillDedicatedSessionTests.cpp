#include "AppManager.h"
#include "SandboxTestBundle.h"
#include "AuthObject.h"
#include "Bundle.h"
#include "DedicatedIpSessionRoute.h"
#include "FakeReachability.h"
#include "GatewayRoutes.h"
#include "HttpSession.h"
#include "KeychainBackend.h"
#include "KillDedicatedSession.h"
#include "MainQueue.h"
#include "MemoryKeychainBackend.h"
#include "Networking.h"
#include "SandboxAssertions.h"
#include "TestSupport.h"
#include "UserDefaults.h"

#include <QJsonObject>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QString killPath = DedicatedIpSessionRoute::path();

HttpSessionConfiguration standIn()
{
    HttpSessionConfiguration configuration;
    configuration.timeoutMs = 2000;
    configuration.extraCaCertificatePaths = {SandboxServer::testCaPath()};
    return configuration;
}

SandboxReply killed()
{
    return DedicatedIpSessionRoute::accepted();
}

// An acceptance whose content carries nothing the model reads.
SandboxReply killedWithExtras()
{
    const QJsonObject inner{{QStringLiteral("header"), QJsonObject{{QStringLiteral("response_code"), 200}, {QStringLiteral("message"), QString()}}},
                            {QStringLiteral("ignored"), 1}};
    return GatewayRoutes::envelope(200, QStringLiteral("OK"), QJsonObject{{QStringLiteral("body"), inner}});
}

// A backend client pointed at the stand-in, signed in, with the VPN user "vpnuser".
class KillDedicatedSessionTest : public ::testing::Test {
protected:
    KillDedicatedSessionTest()
        : bundle(SandboxTestBundle::information(sandbox))
        , session(standIn())
    {
        UserDefaults::setStandardFolder(folder.path());
        KeychainBackend::setCurrent(keyring);
        Bundle::setMain(&bundle);
        HttpSession::setShared(&session);
        AppManager::shared().clearTokens();
        AuthObject tokens;
        tokens.accessToken = QStringLiteral("access-1");
        tokens.refreshToken = QStringLiteral("refresh-1");
        tokens.accessTokenExpiry = 3600;
        tokens.refreshTokenExpiry = 3600;
        AppManager::shared().saveTokens(tokens, false);
        networking = std::make_shared<Networking>(std::make_unique<FakeReachability>(), &session);
        networking->sendError = [](const Error&, const std::optional<QVariantMap>&) {};
        networking->trackEvent = [](EventTrackerEvent, const QVariantMap&) {};
        User().setVpnUsername(QStringLiteral("vpnuser"));
    }

    ~KillDedicatedSessionTest() override
    {
        TestSupport::processEvents(10);
        AppManager::shared().clearTokens();
        HttpSession::setShared(nullptr);
        Bundle::setMain(nullptr);
        KeychainBackend::setCurrent(nullptr);
    }

    void serve(std::function<SandboxReply()> reply)
    {
        DedicatedIpSessionRoute::install(sandbox, [reply](const SandboxRequest&) { return reply(); });
    }

    KillDedicatedSessionModel model() { return KillDedicatedSessionModel(User(), networking.get()); }

    QTemporaryDir folder;
    std::shared_ptr<MemoryKeychainBackend> keyring = std::make_shared<MemoryKeychainBackend>();
    ScopedSandbox sandbox;
    Bundle bundle;
    HttpSession session;
    std::shared_ptr<Networking> networking;
};

TEST_F(KillDedicatedSessionTest, SendsTheVpnUserNameAndEachRequestCompletesOnceOnTheMainThread)
{
    serve([] { return killed(); });
    QList<std::expected<bool, Error>> first, second;
    bool allOnMain = true;
    auto recordInto = [&](QList<std::expected<bool, Error>>& into) {
        return [&into, &allOnMain](std::expected<bool, Error> result) {
            allOnMain = allOnMain && MainQueue::isMainThread();
            into.append(result);
        };
    };
    const KillDedicatedSessionModel m = model();
    m.killSession(recordInto(first));
    m.killSession(recordInto(second));
    ASSERT_TRUE(TestSupport::waitUntil([&] { return !first.isEmpty() && !second.isEmpty(); }, 8000));
    TestSupport::processEvents(50);

    ASSERT_EQ(first.size(), 1);
    ASSERT_EQ(second.size(), 1);
    EXPECT_TRUE(first.first().has_value() && *first.first());
    EXPECT_TRUE(second.first().has_value() && *second.first());
    EXPECT_TRUE(allOnMain);
    const QList<SandboxRequest> requests = sandbox.requests("POST", killPath);
    ASSERT_EQ(requests.size(), 2);
    const QJsonObject body = requests.first().jsonBody().value_or(QJsonObject());
    EXPECT_EQ(body.value(QStringLiteral("vpn_username")).toString(), QStringLiteral("vpnuser"));
}

TEST_F(KillDedicatedSessionTest, OutcomeOfEachReplyReachesTheCompletion)
{
    struct Case {
        const char* name;
        SandboxReply reply;
        bool succeeds;
    };
    const QList<Case> cases = {
        {"accepted with an unexpected extra", killedWithExtras(), true},
        {"server error", SandboxReply::json(QJsonObject{{QStringLiteral("error"), QStringLiteral("boom")}}, 500), false},
        {"refused in the envelope", GatewayRoutes::envelope(404, QStringLiteral("No session")), false},
        {"not JSON", SandboxReply::raw(200, "<html>"), false},
    };
    SandboxReply current = cases.first().reply;
    serve([&current] { return current; });
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        current = c.reply;
        int calls = 0;
        std::optional<std::expected<bool, Error>> outcome;
        model().killSession([&](std::expected<bool, Error> result) {
            ++calls;
            outcome = result;
        });
        ASSERT_TRUE(TestSupport::waitUntil([&] { return calls > 0; }, 8000));
        TestSupport::processEvents(30);
        EXPECT_EQ(calls, 1);
        EXPECT_EQ(outcome->has_value(), c.succeeds);
        if (!c.succeeds)
            EXPECT_FALSE(outcome->error().message.isEmpty());
    }
}

TEST_F(KillDedicatedSessionTest, WithoutAStoredUserNameTheRequestCarriesAnEmptyOne)
{
    serve([] { return killed(); });
    User().setVpnUsername(std::nullopt);
    bool done = false;
    model().killSession([&](std::expected<bool, Error>) { done = true; });
    ASSERT_TRUE(TestSupport::waitUntil([&] { return done; }, 8000));
    const QJsonObject body = sandbox.requests("POST", killPath).value(0).jsonBody().value_or(QJsonObject());
    ASSERT_TRUE(body.contains(QStringLiteral("vpn_username")));
    EXPECT_EQ(body.value(QStringLiteral("vpn_username")).toString(), QString());
}

TEST_F(KillDedicatedSessionTest, SheetLogsTheOutcomeAndStaysOpen)
{
    struct Case {
        SandboxReply reply;
        std::string printed;
    };
    SandboxReply current = killed();
    serve([&current] { return current; });
    QWidget mainWindow;
    mainWindow.show();
    KillDedicatedSession sheet(&mainWindow, model());
    sheet.open();
    for (const Case& c : {Case{killed(), "Success\n"}, Case{GatewayRoutes::envelope(404, QStringLiteral("No session")), "Error: "}}) {
        current = c.reply;
        const int before = sandbox.requests("POST", killPath).size();
        testing::internal::CaptureStdout();
        sheet.killButton()->click();
        const bool answered = TestSupport::waitUntil([&] { return sandbox.requests("POST", killPath).size() > before; }, 8000);
        TestSupport::processEvents(200);
        const std::string out = testing::internal::GetCapturedStdout();
        ASSERT_TRUE(answered);
        EXPECT_EQ(out.rfind(c.printed, 0), 0u) << out;
        EXPECT_TRUE(sheet.isVisible());
    }
}

TEST(KillDedicatedSessionSheetTest, DismissClosesOnlyASheetOpenOverItsMainWindow)
{
    QTemporaryDir folder;
    UserDefaults::setStandardFolder(folder.path());
    Networking networking(std::make_unique<FakeReachability>());

    KillDedicatedSession orphan(nullptr, KillDedicatedSessionModel(User(), &networking));
    orphan.show();
    orphan.dismiss();
    EXPECT_TRUE(orphan.isVisible()) << "without a main window nothing happens";

    QWidget mainWindow;
    mainWindow.show();
    KillDedicatedSession closedSheet(&mainWindow, KillDedicatedSessionModel(User(), &networking));
    closedSheet.dismiss();
    EXPECT_FALSE(closedSheet.isVisible());
    EXPECT_EQ(closedSheet.result(), 0);

    KillDedicatedSession sheet(&mainWindow, KillDedicatedSessionModel(User(), &networking));
    int finished = -1;
    QObject::connect(&sheet, &QDialog::finished, [&](int result) { finished = result; });
    sheet.open();
    EXPECT_TRUE(sheet.isVisible());
    EXPECT_EQ(sheet.windowModality(), Qt::WindowModal);
    sheet.dismissButton()->click();
    EXPECT_FALSE(sheet.isVisible());
    EXPECT_EQ(finished, 1);
}

}
