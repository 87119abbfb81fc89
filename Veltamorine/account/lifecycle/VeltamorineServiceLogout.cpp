#include "VeltamorineServiceLogout.h"

#include "AccountAlerts.h"
#include "AccountLog.h"
#include "AppManager.h"
#include "Factories.h"
#include "OAuthService.h"
#include "QuorManager.h"
#include "SessionSignOut.h"
#include "UserAuthentication.h"
#include "UserNotificationCenter.h"

#include <QApplication>
#include <QPointer>
#include <QWidget>
#include <mutex>

namespace {

std::mutex hooksMutex;

VeltamorineServiceLogout::AuthenticationFactory& authenticationFactory()
{
    static VeltamorineServiceLogout::AuthenticationFactory factory;
    return factory;
}

VeltamorineServiceLogout::Step& notificationsRemoval()
{
    static VeltamorineServiceLogout::Step removal;
    return removal;
}

std::shared_ptr<UserAuthentication> makeAuthentication()
{
    VeltamorineServiceLogout::AuthenticationFactory factory;
    {
        std::lock_guard lock(hooksMutex);
        factory = authenticationFactory();
    }
    return factory ? factory() : makeUserAuthentication();
}

void clearSignIn(const User& user, const ErrorSender& sentry, const EventTracker& eventTracker)
{
    const std::shared_ptr<UserAuthentication> authentication = makeAuthentication();
    VeltamorineServiceLogout::clearSession(user, sentry, *authentication, eventTracker);
}

}

void VeltamorineServiceLogout::logout(QuorManagerProtocol* quorManager, User user, ErrorSender sentry,
                                      EventTracker eventTracker)
{
    closePreferencesWindows();
    const int status = quorManager ? quorManager->getCurrentVPNStatus() : 0;
    if (status != connectingStatus && status != connectedStatus) {
        clearSignIn(user, sentry, eventTracker);
        return;
    }
    AccountAlerts* alerts = AccountAlerts::current();
    if (!alerts) {
        // Nobody can ask; signing out under a running tunnel without asking is not ours to do.
        qCWarning(lcAccount) << "logout while the VPN is up needs a confirmation, and no alert presenter is installed";
        return;
    }
    alerts->showLogoutWhileConnected([quorManager, user, sentry, eventTracker](int response) {
        confirmLogoutWhileConnected(response, quorManager, user, sentry, eventTracker);
    });
}

void VeltamorineServiceLogout::logoutWithDefaultServices()
{
    logout(QuorManager::sharedInstance(), makeUser(), makeErrorSender(), makeEventTracker());
}

void VeltamorineServiceLogout::closePreferencesWindows()
{
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return;
    QList<QPointer<QWidget>> windows;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->inherits("PreferencesWindowController"))
            windows.append(widget);
    }
    for (const QPointer<QWidget>& window : windows) {
        if (window)
            window->close();
    }
}

void VeltamorineServiceLogout::confirmLogoutWhileConnected(int response, QuorManagerProtocol* quorManager, User user,
                                                           ErrorSender sentry, EventTracker eventTracker)
{
    if (response != AccountAlerts::firstButtonResponse)
        return;
    if (quorManager)
        quorManager->disconnectVPN();
    AppManager::shared().lastVPNStateConnected = false;
    // The disconnect is asked for, not awaited.
    clearSignIn(user, sentry, eventTracker);
}

void VeltamorineServiceLogout::clearSession(User user, ErrorSender sentry, const UserAuthentication& userAuthentication,
                                            EventTracker eventTracker)
{
    if (const auto service = std::dynamic_pointer_cast<OAuthService>(userAuthentication.auth))
        service->signOut();
    else
        OAuthService::clearWebData();
    // The sign-out above empties the store too; without an OAuth service this is the only
    // step that removes the persisted token copies.
    AppManager::shared().clearTokens();

    user.clear();
    sentry.setUser(std::nullopt);
    if (eventTracker.mixpanel) {
        eventTracker.mixpanel->reset(nullptr);
        eventTracker.mixpanel->clearSuperProperties();
    }

    Step removal;
    {
        std::lock_guard lock(hooksMutex);
        removal = notificationsRemoval();
    }
    if (removal)
        removal();
    else
        UserNotificationCenter::current().removeAllDeliveredNotifications();
    qCInfo(lcAccount) << "signed out";
}

void VeltamorineServiceLogout::bindSessionSignOut()
{
    SessionSignOut::bind([] { logoutWithDefaultServices(); });
}

void VeltamorineServiceLogout::setAuthenticationFactory(AuthenticationFactory factory)
{
    std::lock_guard lock(hooksMutex);
    authenticationFactory() = std::move(factory);
}

void VeltamorineServiceLogout::setDeliveredNotificationsRemoval(Step removal)
{
    std::lock_guard lock(hooksMutex);
    notificationsRemoval() = std::move(removal);
}
