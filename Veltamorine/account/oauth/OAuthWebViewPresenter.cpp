#include "OAuthWebViewPresenter.h"

#include "Localizer.h"
#include "OAuthWebViewController.h"

#include <QPointer>
#include <memory>

namespace OAuthWebViewPresenter {

OAuth2CodeGrant::Presenter make()
{
    return [](const QUrl& authorizeURL, const QUrl& redirectURI, std::function<void(const std::optional<QUrl>&)> done) {
        auto* window = new OAuthWebViewController(false);
        window->setAttribute(Qt::WA_DeleteOnClose, false);
        window->setWindowTitle(Localizer::localized(QStringLiteral("signin.window.title")));
        QPointer<OAuthWebViewController> guard(window);
        auto answered = std::make_shared<bool>(false);
        auto finish = [guard, answered, done](const std::optional<QUrl>& redirect) {
            if (*answered)
                return;
            *answered = true;
            if (guard) {
                guard->hide();
                guard->deleteLater();
            }
            done(redirect);
        };
        window->setInterceptURLString(redirectURI.toString(QUrl::FullyEncoded));
        window->onIntercept = [finish](const QUrl& url) {
            finish(url);
            return true;
        };
        window->onWillCancel = [finish] { finish(std::nullopt); };
        window->setStartURL(authorizeURL);
        window->show();
    };
}

}
