#pragma once

#include "ErrorSender.h"
#include "EventTracker.h"
#include "QuorManagerProtocol.h"
#include "User.h"

#include <functional>
#include <memory>

class UserAuthentication;

// The application's sign-out (VeltamorineService.logout elsewhere in the code base's speech).
// It lives here, not beside the version check in the api library's VeltamorineService, because
// it clears the account, which sits above that library. Callers that sign the user out (the
// status menu, the alerts, the troubleshooting screen, the API client's expired refresh token
// through SessionSignOut) call logout() or logoutWithDefaultServices().
//
// Main thread only. The only waiting step is the confirmation asked while the VPN is up.
class VeltamorineServiceLogout {
public:
    using AuthenticationFactory = std::function<std::shared_ptr<UserAuthentication>()>;
    using Step = std::function<void()>;

    // The SDK's status integers read as "the tunnel is up or coming up".
    static constexpr int connectingStatus = 2;
    static constexpr int connectedStatus = 3;

    // Closes the Preferences windows, then clears the sign-in at once, or, while the VPN is
    // connecting or connected, asks first (AccountAlerts::showLogoutWhileConnected).
    static void logout(QuorManagerProtocol* quorManager, User user, ErrorSender sentry, EventTracker eventTracker);
    // logout() with the composition's services: the SDK's shared manager and new facades.
    static void logoutWithDefaultServices();

    // Closes every top-level window whose class is (or derives from) PreferencesWindowController.
    static void closePreferencesWindows();

    // The answer of the confirmation: 1000 disconnects the VPN and clears the sign-in; any other
    // answer changes nothing.
    static void confirmLogoutWhileConnected(int response, QuorManagerProtocol* quorManager, User user, ErrorSender sentry,
                                            EventTracker eventTracker);

    // The clearing itself, in this order: the OAuth client's tokens, every copy of the token
    // set and the web data; the account in user defaults and the keyring; the error-reporting
    // user; the analytics identity and super properties; the delivered notifications.
    static void clearSession(User user, ErrorSender sentry, const UserAuthentication& userAuthentication,
                             EventTracker eventTracker);

    // Makes the API client sign the user out through logoutWithDefaultServices() when the
    // refresh token has expired.
    static void bindSessionSignOut();

    // Where clearSession() gets its UserAuthentication (default: makeUserAuthentication()).
    // An empty factory brings the default back.
    static void setAuthenticationFactory(AuthenticationFactory factory);
    // How the delivered user notifications are removed (default: the process-wide
    // UserNotificationCenter removes all it delivered). An empty step brings the default back.
    static void setDeliveredNotificationsRemoval(Step removal);
};
