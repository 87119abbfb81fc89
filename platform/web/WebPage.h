#pragma once

#include <QWebEnginePage>
#include <functional>

// A page that asks its owner about every navigation before the engine follows it.
class WebPage : public QWebEnginePage {
    Q_OBJECT
public:
    // True: follow the navigation; false: drop it.
    using NavigationPolicy = std::function<bool(const QUrl& url, NavigationType type, bool isMainFrame)>;

    explicit WebPage(QWebEngineProfile* profile, QObject* parent = nullptr);

    NavigationPolicy navigationPolicy;

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
};
