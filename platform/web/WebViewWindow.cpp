#include "WebViewWindow.h"

#include "Scheduler.h"
#include "TrustedAuthorities.h"
#include "WebLog.h"
#include "WebUrlSchemes.h"

#include <QCloseEvent>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QProgressBar>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWebEngineCertificateError>
#include <QWebEngineHistory>
#include <QWebEngineLoadingInfo>
#include <QWebEngineProfile>
#include <QWebEngineView>

bool WebLoadError::isCancellation() const
{
    // net::ERR_ABORTED: the navigation was dropped (by our own policy) or stopped.
    return domain == Domain::Internal && code == -3;
}

WebLoadError WebLoadError::timedOut()
{
    // net::ERR_TIMED_OUT
    return WebLoadError{Domain::Connection, -7, QStringLiteral("The request timed out.")};
}

namespace {

WebLoadError::Domain domainOf(QWebEngineLoadingInfo::ErrorDomain domain)
{
    switch (domain) {
    case QWebEngineLoadingInfo::NoErrorDomain: return WebLoadError::Domain::None;
    case QWebEngineLoadingInfo::InternalErrorDomain: return WebLoadError::Domain::Internal;
    case QWebEngineLoadingInfo::ConnectionErrorDomain: return WebLoadError::Domain::Connection;
    case QWebEngineLoadingInfo::CertificateErrorDomain: return WebLoadError::Domain::Certificate;
    case QWebEngineLoadingInfo::HttpErrorDomain: return WebLoadError::Domain::Http;
    case QWebEngineLoadingInfo::FtpErrorDomain: return WebLoadError::Domain::Ftp;
    case QWebEngineLoadingInfo::DnsErrorDomain: return WebLoadError::Domain::Dns;
    default: return WebLoadError::Domain::Internal;
    }
}

}

WebViewWindow::WebViewWindow(bool withCancelButton, QWidget* parent)
    : QWidget(parent)
{
    resize(defaultWidth, defaultHeight);
    WebUrlSchemes::installHandlers(QWebEngineProfile::defaultProfile());

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, withCancelButton ? 10 : 0);
    layout->setSpacing(withCancelButton ? 10 : 0);

    webView_ = new QWebEngineView(this);
    page_ = new WebPage(QWebEngineProfile::defaultProfile(), webView_);
    webView_->setPage(page_);
    opacity_ = new QGraphicsOpacityEffect(webView_);
    opacity_->setOpacity(0);
    webView_->setGraphicsEffect(opacity_);
    layout->addWidget(webView_, 1);

    if (withCancelButton) {
        cancelButton_ = new QPushButton(tr("Cancel"), this);
        cancelButton_->setFixedSize(120, 20);
        auto* row = new QHBoxLayout;
        row->setContentsMargins(0, 0, 10, 0);
        row->addStretch(1);
        row->addWidget(cancelButton_);
        layout->addLayout(row);
        connect(cancelButton_, &QPushButton::clicked, this, [this] { cancel(); });
    }

    page_->navigationPolicy = [this](const QUrl& url, QWebEnginePage::NavigationType, bool isMainFrame) {
        return decidePolicy(url, isMainFrame);
    };
    connect(page_, &QWebEnginePage::certificateError, this,
        [](const QWebEngineCertificateError& error) { TrustedAuthorities::decide(error); });
    connect(page_, &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo& info) {
        onLoadingChanged(int(info.status()),
            WebLoadError{domainOf(info.errorDomain()), info.errorCode(), info.errorString()});
    });
    showLoadingIndicator();
}

WebViewWindow::~WebViewWindow()
{
    cancelTimeout();
}

void WebViewWindow::cancelTimeout()
{
    if (timeout_ != 0)
        Scheduler::main().cancel(timeout_);
    timeout_ = 0;
}

qreal WebViewWindow::webViewAlpha() const
{
    return alpha_;
}

void WebViewWindow::loadURL(const QUrl& url)
{
    qCInfo(lcWeb) << "loading" << url.adjusted(QUrl::RemoveQuery | QUrl::RemoveFragment | QUrl::RemoveUserInfo).toString();
    cancelTimeout();
    timedOut_ = false;
    QPointer<WebViewWindow> self(this);
    timeout_ = Scheduler::main().schedule(requestTimeoutSeconds, [self] {
        if (!self)
            return;
        self->timeout_ = 0;
        self->timedOut_ = true;
        self->stopLoading();
    });
    webView_->load(url);
}

void WebViewWindow::loadHTMLString(const QString& html)
{
    webView_->setHtml(html);
}

void WebViewWindow::stopLoading()
{
    webView_->stop();
}

void WebViewWindow::showLoadingIndicator()
{
    if (loadingView_)
        return;
    loadingView_ = new QWidget(this);
    auto* layout = new QVBoxLayout(loadingView_);
    progressIndicator_ = new QProgressBar(loadingView_);
    progressIndicator_->setRange(0, 0);  // spinning: no known end
    progressIndicator_->setTextVisible(false);
    progressIndicator_->setFixedWidth(120);
    layout->addWidget(progressIndicator_, 0, Qt::AlignCenter);
    loadingView_->setGeometry(rect());
    loadingView_->show();
    loadingView_->raise();
}

void WebViewWindow::hideLoadingIndicator()
{
    if (!loadingView_)
        return;
    loadingView_->hide();
    loadingView_->deleteLater();
    loadingView_ = nullptr;
    progressIndicator_ = nullptr;
}

void WebViewWindow::revealWebView()
{
    if (alpha_ == 1.0)
        return;
    alpha_ = 1.0;
    auto* fade = new QPropertyAnimation(opacity_, "opacity", this);
    fade->setDuration(200);
    fade->setStartValue(opacity_->opacity());
    fade->setEndValue(1.0);
    fade->start(QAbstractAnimation::DeleteWhenStopped);
}

QString WebViewWindow::pageTitle() const
{
    return page_->title();
}

bool WebViewWindow::isBlank() const
{
    return !page_->history()->canGoBack() && page_->url().isEmpty();
}

bool WebViewWindow::decidePolicy(const QUrl&, bool)
{
    return true;
}

void WebViewWindow::didFinishNavigation()
{
    revealWebView();
    hideLoadingIndicator();
}

void WebViewWindow::didFailNavigation(const WebLoadError&)
{
}

bool WebViewWindow::windowShouldClose()
{
    return true;
}

void WebViewWindow::cancel()
{
    stopLoading();
}

void WebViewWindow::closeEvent(QCloseEvent* event)
{
    if (windowShouldClose())
        event->accept();
    else
        event->ignore();
}

void WebViewWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (loadingView_)
        loadingView_->setGeometry(rect());
}

void WebViewWindow::onLoadingChanged(int status, const WebLoadError& error)
{
    const auto loadStatus = QWebEngineLoadingInfo::LoadStatus(status);
    if (loadStatus == QWebEngineLoadingInfo::LoadStartedStatus)
        return;
    cancelTimeout();
    if (timedOut_ && loadStatus == QWebEngineLoadingInfo::LoadStoppedStatus) {
        timedOut_ = false;
        didFailNavigation(WebLoadError::timedOut());
        return;
    }
    timedOut_ = false;
    switch (loadStatus) {
    case QWebEngineLoadingInfo::LoadSucceededStatus:
        didFinishNavigation();
        break;
    case QWebEngineLoadingInfo::LoadFailedStatus:
        didFailNavigation(error);
        break;
    case QWebEngineLoadingInfo::LoadStoppedStatus:
        didFailNavigation(WebLoadError{WebLoadError::Domain::Internal, -3, error.description});
        break;
    default:
        break;
    }
}
