#pragma once

#include "WebViewWindow.h"

#include <QString>
#include <QUrl>
#include <functional>
#include <optional>

// An embedded browser for an authorisation page: loads `startURL`, watches every navigation
// and hands the first one that matches `interceptURLString` to `onIntercept` instead of
// following it (when that answers true). Understands the out-of-band flow that ends on a page
// titled "Success <query>". Closing the window or pressing "Cancel" calls `onWillCancel`; the
// owner closes the window. Main thread only.
class OAuthWebViewController : public WebViewWindow {
    Q_OBJECT
public:
    // With `willBecomeSheet` the window keeps room for a "Cancel" button at the bottom.
    explicit OAuthWebViewController(bool willBecomeSheet = false, QWidget* parent = nullptr);
    ~OAuthWebViewController() override;

    bool willBecomeSheet() const { return willBecomeSheet_; }

    std::optional<QUrl> startURL() const { return startURL_; }
    // Loads the URL when it is the first one set and the window has been shown; any later
    // change loads nothing.
    void setStartURL(const std::optional<QUrl>& url);

    std::optional<QString> interceptURLString() const { return interceptURLString_; }
    // Text that does not parse as a URL is refused (the property is cleared again and the
    // parsed form kept); none clears both.
    void setInterceptURLString(const std::optional<QString>& text);
    // The parsed form the navigations are matched against.
    std::optional<QString> interceptComponents() const { return interceptComponents_; }

    std::function<bool(const QUrl&)> onIntercept;
    std::function<void()> onWillCancel;

    // Runs the navigation decision: true when the navigation goes ahead.
    bool decide(const QUrl& url) { return decidePolicy(url, true); }
    // The page that shows a load failure.
    static QString errorPage(const QString& description);

protected:
    bool decidePolicy(const QUrl& url, bool isMainFrame) override;
    void didFinishNavigation() override;
    void didFailNavigation(const WebLoadError& error) override;
    bool windowShouldClose() override;
    void cancel() override;
    void showEvent(QShowEvent* event) override;

private:
    void viewWillAppear();

    bool willBecomeSheet_ = false;
    bool appeared_ = false;
    bool loadStarted_ = false;
    std::optional<QUrl> startURL_;
    std::optional<QString> interceptURLString_;
    std::optional<QString> interceptComponents_;
};
