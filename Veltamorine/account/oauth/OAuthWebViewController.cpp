#include "OAuthWebViewController.h"

#include "AccountLog.h"
#include "Bundle.h"
#include "TrustedAuthorities.h"
#include "OutOfBandTitle.h"
#include "RedirectMatcher.h"
#include "WebUrlSchemes.h"

#include <QShowEvent>

namespace {

// The callback schemes the identity server sends the browser to. They must be known to the
// web engine before the application object exists.
void registerRedirectSchemes()
{
    WebUrlSchemes::registerSchemes({QStringLiteral("veltamorine"), QStringLiteral("quibbo")});
}

}
Q_CONSTRUCTOR_FUNCTION(registerRedirectSchemes)

OAuthWebViewController::OAuthWebViewController(bool willBecomeSheet, QWidget* parent)
    : WebViewWindow(willBecomeSheet, parent)
    , willBecomeSheet_(willBecomeSheet)
{
    // A deployment (or the local stand-in) may name a CA of its own for the identity server.
    const QString authority = Bundle::main().infoString(QStringLiteral("Trusted CA Certificate"));
    if (!authority.isEmpty())
        TrustedAuthorities::setFromFile(authority);
}

OAuthWebViewController::~OAuthWebViewController() = default;

void OAuthWebViewController::setStartURL(const std::optional<QUrl>& url)
{
    const bool wasNone = !startURL_;
    startURL_ = url;
    if (wasNone && url && appeared_) {
        loadStarted_ = true;
        loadURL(*url);
    }
}

void OAuthWebViewController::setInterceptURLString(const std::optional<QString>& text)
{
    if (!text) {
        interceptURLString_.reset();
        interceptComponents_.reset();
        return;
    }
    const QUrl parsed(*text, QUrl::StrictMode);
    if (text->isEmpty() || !parsed.isValid()) {
        interceptURLString_.reset();
        return;
    }
    interceptURLString_ = text;
    interceptComponents_ = text;
}

QString OAuthWebViewController::errorPage(const QString& description)
{
    // The description comes from the engine and may quote the page's address: escaped, it is
    // shown as text and never runs as markup.
    return QStringLiteral("<p style=\"text-align:center;font:'helvetica neue', sans-serif;color:red\">")
        + description.toHtmlEscaped() + QStringLiteral("</p>");
}

bool OAuthWebViewController::decidePolicy(const QUrl& url, bool)
{
    if (!onIntercept || url.isEmpty())
        return true;
    if (!redirectMatches(url, interceptComponents_))
        return true;
    qCDebug(lcAccount) << "intercepting the redirect to" << url.path();
    return !onIntercept(url);
}

void OAuthWebViewController::didFinishNavigation()
{
    if (interceptComponents_ && OutOfBandTitle::isOutOfBandRedirect(*interceptComponents_)) {
        if (const std::optional<QUrl> result = OutOfBandTitle::resultURL(pageTitle())) {
            if (onIntercept)
                onIntercept(*result);
            return;
        }
    }
    WebViewWindow::didFinishNavigation();
}

void OAuthWebViewController::didFailNavigation(const WebLoadError& error)
{
    if (error.isCancellation())
        return;
    qCInfo(lcAccount) << "the sign-in page did not load:" << int(error.domain) << error.code;
    hideLoadingIndicator();
    revealWebView();
    loadHTMLString(errorPage(error.description));
}

bool OAuthWebViewController::windowShouldClose()
{
    if (onWillCancel)
        onWillCancel();
    return false;
}

void OAuthWebViewController::cancel()
{
    stopLoading();
    if (onWillCancel)
        onWillCancel();
}

void OAuthWebViewController::showEvent(QShowEvent* event)
{
    WebViewWindow::showEvent(event);
    if (!appeared_) {
        appeared_ = true;
        viewWillAppear();
    }
}

void OAuthWebViewController::viewWillAppear()
{
    if (loadStarted_)
        return;
    loadStarted_ = true;
    if (!startURL_)
        loadHTMLString(QStringLiteral("There is no `startURL`"));
    else
        loadURL(*startURL_);
}
