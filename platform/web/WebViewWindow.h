#pragma once

#include "WebPage.h"

#include <QPointer>
#include <QProgressBar>
#include <QWidget>

class QGraphicsOpacityEffect;
class QPushButton;
class QWebEngineView;

// How a navigation ended without a page.
struct WebLoadError {
    enum class Domain { None, Internal, Connection, Certificate, Http, Ftp, Dns };
    Domain domain = Domain::None;
    int code = 0;
    QString description;

    // A navigation the page itself dropped or the user stopped.
    bool isCancellation() const;
    static WebLoadError timedOut();
};

// A window with one embedded browser: the page stays invisible behind a spinning loading
// overlay until it has loaded, an optional "Cancel" button (for a window shown as a sheet),
// and a close button that asks windowShouldClose() instead of closing. Subclasses decide on
// navigations and react to their outcome. Main thread only.
class WebViewWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int defaultWidth = 600;
    static constexpr int defaultHeight = 500;
    // A page that has not loaded after this long is given up.
    static constexpr double requestTimeoutSeconds = 60;

    explicit WebViewWindow(bool withCancelButton, QWidget* parent = nullptr);
    ~WebViewWindow() override;

    QWebEngineView* webView() const { return webView_; }
    WebPage* page() const { return page_; }
    QPushButton* cancelButton() const { return cancelButton_; }
    QProgressBar* progressIndicator() const { return progressIndicator_; }
    QWidget* loadingView() const { return loadingView_; }
    // The page's opacity as set: 0 while hidden behind the overlay, 1 once revealed (the fade
    // in only draws the way there).
    qreal webViewAlpha() const;

    // Loads `url`; gives up after requestTimeoutSeconds with a time-out failure.
    void loadURL(const QUrl& url);
    void loadHTMLString(const QString& html);
    void stopLoading();
    void showLoadingIndicator();
    void hideLoadingIndicator();
    // Fades the page in.
    void revealWebView();
    QString pageTitle() const;
    // Nothing was loaded yet (no page, no history).
    bool isBlank() const;

protected:
    // Whether to follow a navigation (default: yes).
    virtual bool decidePolicy(const QUrl& url, bool isMainFrame);
    virtual void didFinishNavigation();
    virtual void didFailNavigation(const WebLoadError& error);
    // Asked by the close button; false keeps the window open (default: true).
    virtual bool windowShouldClose();
    // The "Cancel" button.
    virtual void cancel();

    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void onLoadingChanged(int status, const WebLoadError& error);
    void cancelTimeout();

    QWebEngineView* webView_ = nullptr;
    WebPage* page_ = nullptr;
    QGraphicsOpacityEffect* opacity_ = nullptr;
    qreal alpha_ = 0;
    quint64 timeout_ = 0;
    bool timedOut_ = false;
    QPointer<QWidget> loadingView_;
    QPointer<QProgressBar> progressIndicator_;
    QPushButton* cancelButton_ = nullptr;
};
