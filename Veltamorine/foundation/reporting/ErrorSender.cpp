#include "ErrorSender.h"

#include "Bundle.h"
#include "ErrorReports.h"
#include "User.h"

#include <csignal>

namespace {

void ignoreBrokenPipe()
{
    std::signal(SIGPIPE, SIG_IGN);
}

}

ErrorSender::ErrorSender(std::shared_ptr<ErrorSending> sentryHub) : sentryHub(std::move(sentryHub))
{
    ignoreBrokenPipe();
}

void ErrorSender::start(const User& user)
{
    ignoreBrokenPipe();
    const Bundle& bundle = Bundle::main();
    ReportOptions options;
    options.dsn = dsn;
    options.dist = bundle.buildDistribution();
    options.environment = bundle.buildEnvironment();
    options.releaseName = bundle.versionString();
    options.enableAutoSessionTracking = true;
    ErrorReports::start(options);

    const QString flavor = bundle.releaseCode().toLower();
    ErrorReports::configureScope([&](ReportScope& scope) { scope.tags = {{QStringLiteral("flavor"), flavor}}; });

    const std::optional<QString> vpnUsername = user.defaults.stringForKey(QStringLiteral("UserPreferences.vpnUsername"));
    if (user.defaults.boolForKey(QStringLiteral("UserPreferences.loggedIn")) && vpnUsername) {
        const qint64 clientId = user.defaults.integerForKey(QStringLiteral("UserPreferences.clientId"));
        ErrorReports::currentHub()->setUser(ReportUser{QString::number(clientId), *vpnUsername});
    }
}

void ErrorSender::send(const Error& error, const std::optional<QVariantMap>& extras)
{
    ReportScope scope = sentryHub->getScope();
    scope.level = ReportLevel::Error;
    scope.extras = extras.value_or(QVariantMap{});
    sentryHub->captureError(error, scope);
}

void ErrorSender::sendMessage(const QString& message)
{
    ReportScope scope = sentryHub->getScope();
    scope.level = ReportLevel::Info;
    scope.tags.clear();
    scope.extras.clear();
    sentryHub->captureMessage(message, scope);
}

void ErrorSender::setUser(const std::optional<ReportUser>& user)
{
    sentryHub->setUser(user);
}
