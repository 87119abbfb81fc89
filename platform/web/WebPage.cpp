#include "WebPage.h"

WebPage::WebPage(QWebEngineProfile* profile, QObject* parent)
    : QWebEnginePage(profile, parent)
{
}

bool WebPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame)
{
    return navigationPolicy ? navigationPolicy(url, type, isMainFrame) : true;
}
