#include "WebUrlSchemes.h"

#include <QWebEngineProfile>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>
#include <QWebEngineUrlSchemeHandler>

namespace {

QStringList& schemeList()
{
    static QStringList list;
    return list;
}

class RefusingHandler : public QWebEngineUrlSchemeHandler {
public:
    using QWebEngineUrlSchemeHandler::QWebEngineUrlSchemeHandler;
    void requestStarted(QWebEngineUrlRequestJob* job) override { job->fail(QWebEngineUrlRequestJob::RequestDenied); }
};

}

namespace WebUrlSchemes {

void registerSchemes(const QStringList& schemes)
{
    for (const QString& name : schemes) {
        if (schemeList().contains(name))
            continue;
        QWebEngineUrlScheme scheme(name.toLatin1());
        scheme.setSyntax(QWebEngineUrlScheme::Syntax::Host);
        scheme.setFlags(QWebEngineUrlScheme::SecureScheme);
        QWebEngineUrlScheme::registerScheme(scheme);
        schemeList().append(name);
    }
}

QStringList registeredSchemes()
{
    return schemeList();
}

void installHandlers(QWebEngineProfile* profile)
{
    if (!profile)
        profile = QWebEngineProfile::defaultProfile();
    for (const QString& name : std::as_const(schemeList())) {
        if (profile->urlSchemeHandler(name.toLatin1()))
            continue;
        profile->installUrlSchemeHandler(name.toLatin1(), new RefusingHandler(profile));
    }
}

}
