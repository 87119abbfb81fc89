#include "AccountTestFixture.h"

#include "OAuthWebViewController.h"
#include "VirtualScheduler.h"

#include <QProgressBar>
#include <QPushButton>
#include <QWebEngineView>

namespace {

QString pageHtml(OAuthWebViewController& window)
{
    std::optional<QString> html;
    window.page()->toHtml([&](const QString& text) { html = text; });
    TestSupport::waitUntil([&] { return html.has_value(); }, 5000);
    return html.value_or(QString());
}

SandboxReply page(const QString& title, const QString& body = {})
{
    return SandboxReply::raw(200, QStringLiteral("<html><head><title>%1</title></head><body>%2</body></html>")
        .arg(title, body).toUtf8(), "text/html; charset=utf-8");
}

class OAuthWebViewTest : public AccountTest {
protected:
    OAuthWebViewTest()
    {
        sandbox.reply("GET", QStringLiteral("/page/plain"), page(QStringLiteral("Hello")));
        sandbox.reply("GET", QStringLiteral("/page/oob"), page(QStringLiteral("Success code=x&amp;state=y")));
        sandbox.reply("GET", QStringLiteral("/callback"), page(QStringLiteral("Callback")));
        sandbox.route("GET", QStringLiteral("/page/redirecting"), [this](const SandboxRequest&) {
            return page(QStringLiteral("Redirecting"),
                QStringLiteral("<script>window.onload = function() { setTimeout(function() { location.href='%1' }, 50) }</script>").arg(sandbox.url(QStringLiteral("/callback?state=s&code=abc")).toString()));
        });
    }

    // A shown window whose page loads `path` of the stand-in; waits for `loads` finished loads.
    std::unique_ptr<OAuthWebViewController> open(const QString& path, bool sheet = false, int loads = 1)
    {
        auto window = std::make_unique<OAuthWebViewController>(sheet);
        QObject::connect(window->page(), &QWebEnginePage::loadFinished, [this](bool) { ++finishedLoads; });
        window->setInterceptURLString(intercept);
        window->onIntercept = [this](const QUrl& url) {
            intercepted.append(url);
            return interceptAnswer;
        };
        window->onWillCancel = [this] { ++cancels; };
        window->setStartURL(sandbox.url(path));
        window->show();
        EXPECT_TRUE(TestSupport::waitUntil([&] { return finishedLoads >= loads; }, 10000)) << path.toStdString();
        TestSupport::processEvents(100);
        return window;
    }

    QString intercept = sandbox.url(QStringLiteral("/callback")).toString();
    bool interceptAnswer = true;
    QList<QUrl> intercepted;
    int cancels = 0;
    int finishedLoads = 0;
};

}

TEST_F(OAuthWebViewTest, TheRedirectGoesToTheOwnerWithItsQueryAndIsNotFollowed)
{
    auto window = open(QStringLiteral("/page/redirecting"));
    ASSERT_TRUE(TestSupport::waitUntil([&] { return !intercepted.isEmpty(); }, 5000));
    TestSupport::processEvents(200);
    ASSERT_EQ(intercepted.size(), 1);
    EXPECT_EQ(intercepted[0].path(), QStringLiteral("/callback"));
    EXPECT_EQ(intercepted[0].query(), QStringLiteral("state=s&code=abc"));
    EXPECT_TRUE(sandbox.requests("GET", QStringLiteral("/callback")).isEmpty());
    EXPECT_EQ(window->pageTitle(), QStringLiteral("Redirecting"));
    EXPECT_EQ(window->webViewAlpha(), 1.0);
    EXPECT_EQ(window->loadingView(), nullptr);
}

TEST_F(OAuthWebViewTest, ARedirectTheOwnerDeclinesIsFollowed)
{
    interceptAnswer = false;
    auto window = open(QStringLiteral("/page/redirecting"));
    ASSERT_TRUE(TestSupport::waitUntil([&] { return !sandbox.requests("GET", QStringLiteral("/callback")).isEmpty(); }, 5000));
    EXPECT_EQ(intercepted.size(), 1);
}

TEST_F(OAuthWebViewTest, NavigationDecisionTable)
{
    OAuthWebViewController window;
    struct Row { const char* intercept; const char* request; bool hasHandler; bool allowed; };
    const Row rows[] = {
        {"https://id.example/callback", "https://id.example/callback?code=1", true, false},
        {"https://id.example", "https://id.example/", true, false},
        {"https://id.example/callback", "https://id.example/callback/", true, true},
        {"https://id.example/callback", "https://ID.example/callback", true, false},  // QUrl folds the host: still ours
        {"https://id.example/callback", "https://other.example/callback", true, true},
        {"https://id.example/callback", "https://id.example/callback?code=1", false, true},
    };
    for (const Row& row : rows) {
        int calls = 0;
        window.setInterceptURLString(QString::fromLatin1(row.intercept));
        window.onIntercept = row.hasHandler ? std::function<bool(const QUrl&)>([&](const QUrl&) { ++calls; return true; }) : nullptr;
        EXPECT_EQ(window.decide(QUrl(QString::fromLatin1(row.request))), row.allowed) << row.intercept << " " << row.request;
        EXPECT_EQ(calls, row.hasHandler && !row.allowed ? 1 : 0) << row.request;
    }
}

TEST_F(OAuthWebViewTest, InterceptTextThatDoesNotParseIsRefused)
{
    OAuthWebViewController window;
    window.setInterceptURLString(QStringLiteral("https://id.example/callback"));
    window.setInterceptURLString(QStringLiteral("http://[::1"));
    EXPECT_FALSE(window.interceptURLString());
    EXPECT_EQ(window.interceptComponents(), QStringLiteral("https://id.example/callback"));
    window.setInterceptURLString(std::nullopt);
    EXPECT_FALSE(window.interceptComponents());
}

TEST_F(OAuthWebViewTest, AnOutOfBandSuccessTitleReachesTheOwnerAndTheViewStaysHidden)
{
    intercept = QStringLiteral("urn:ietf:wg:oauth:2.0:oob");
    auto window = open(QStringLiteral("/page/oob"));
    ASSERT_EQ(intercepted.size(), 1);
    EXPECT_EQ(intercepted[0].toString(), QStringLiteral("http://localhost/?code=x&state=y"));
    EXPECT_EQ(window->webViewAlpha(), 0.0);
    EXPECT_NE(window->loadingView(), nullptr);
}

TEST_F(OAuthWebViewTest, AnOutOfBandPageWithAnotherTitleIsRevealed)
{
    intercept = QStringLiteral("urn:ietf:wg:oauth:2.0:oob");
    auto window = open(QStringLiteral("/page/plain"));
    EXPECT_TRUE(intercepted.isEmpty());
    EXPECT_EQ(window->webViewAlpha(), 1.0);
    EXPECT_EQ(window->loadingView(), nullptr);
}

TEST_F(OAuthWebViewTest, ClosingAsksTheOwnerAndKeepsTheWindow)
{
    auto window = open(QStringLiteral("/page/plain"));
    EXPECT_FALSE(window->close());
    EXPECT_EQ(cancels, 1);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->cancelButton(), nullptr);
}

TEST_F(OAuthWebViewTest, TheSheetsCancelButtonAsksTheOwner)
{
    auto window = open(QStringLiteral("/page/plain"), true);
    ASSERT_NE(window->cancelButton(), nullptr);
    EXPECT_EQ(window->cancelButton()->text(), QStringLiteral("Cancel"));
    window->cancelButton()->click();
    EXPECT_EQ(cancels, 1);
}

TEST_F(OAuthWebViewTest, LoadFailuresShowTheEscapedErrorText)
{
    EXPECT_EQ(OAuthWebViewController::errorPage(QStringLiteral("<img src=x onerror=alert(1)> & co")),
              QStringLiteral("<p style=\"text-align:center;font:'helvetica neue', sans-serif;color:red\">"
                             "&lt;img src=x onerror=alert(1)&gt; &amp; co</p>"));

    auto window = std::make_unique<OAuthWebViewController>();
    QObject::connect(window->page(), &QWebEnginePage::loadFinished, [this](bool) { ++finishedLoads; });
    window->setStartURL(QUrl(QStringLiteral("https://127.0.0.1:%1/").arg(SandboxServer::unusedPort())));
    window->show();
    ASSERT_TRUE(TestSupport::waitUntil([&] { return pageHtml(*window).contains(QStringLiteral("color:red")); }, 10000));
    EXPECT_EQ(window->webViewAlpha(), 1.0);
    EXPECT_EQ(window->loadingView(), nullptr);
}

TEST_F(OAuthWebViewTest, AServerOfAnUnknownAuthorityIsRefused)
{
    SandboxServer untrusted(SandboxServer::untrustedCertificatePath(), SandboxServer::untrustedKeyPath());
    ASSERT_TRUE(untrusted.start());
    untrusted.reply("GET", QStringLiteral("/"), page(QStringLiteral("Untrusted")));
    auto window = std::make_unique<OAuthWebViewController>();
    window->setStartURL(untrusted.url());
    window->show();
    ASSERT_TRUE(TestSupport::waitUntil([&] { return pageHtml(*window).contains(QStringLiteral("color:red")); }, 10000));
    EXPECT_TRUE(untrusted.requests().isEmpty());
    EXPECT_NE(window->pageTitle(), QStringLiteral("Untrusted"));
}

TEST_F(OAuthWebViewTest, WithoutAStartURLTheWindowSaysSo)
{
    OAuthWebViewController window;
    window.show();
    ASSERT_TRUE(TestSupport::waitUntil([&] { return pageHtml(window).contains(QStringLiteral("There is no `startURL`")); }, 10000));
}

TEST_F(OAuthWebViewTest, ASecondStartURLIsNotLoaded)
{
    auto window = open(QStringLiteral("/page/plain"));
    window->setStartURL(sandbox.url(QStringLiteral("/page/oob")));
    TestSupport::processEvents(500);
    EXPECT_TRUE(sandbox.requests("GET", QStringLiteral("/page/oob")).isEmpty());
    EXPECT_EQ(sandbox.requests("GET", QStringLiteral("/page/plain")).size(), 1);
}

TEST_F(OAuthWebViewTest, APageThatNeverAnswersIsGivenUpAfterSixtySeconds)
{
    VirtualScheduler clock;
    Scheduler::setMain(&clock);
    sandbox.reply("GET", QStringLiteral("/page/stalled"), SandboxReply::stalled());
    auto window = std::make_unique<OAuthWebViewController>();
    window->setStartURL(sandbox.url(QStringLiteral("/page/stalled")));
    window->show();
    ASSERT_TRUE(TestSupport::waitUntil([&] { return !sandbox.requests("GET", QStringLiteral("/page/stalled")).isEmpty(); }, 10000));
    clock.advance(59);
    TestSupport::processEvents(200);
    EXPECT_NE(window->loadingView(), nullptr);
    clock.advance(1);
    EXPECT_TRUE(TestSupport::waitUntil([&] { return pageHtml(*window).contains(QStringLiteral("The request timed out.")); }, 10000));
    EXPECT_EQ(window->loadingView(), nullptr);
    window.reset();
    Scheduler::setMain(nullptr);
}
