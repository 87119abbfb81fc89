#pragma once

#include "Error.h"

#include <functional>

// The alerts the account flows raise, as the shell's alert catalogue will show them. The
// account library sits below the shell, so it asks through this presenter; the shell installs
// its catalogue with setCurrent() at start-up and tests install a recording fake. Every answer
// arrives later, on the main thread, at most once.
class AccountAlerts {
public:
    // Responses of a two-button sheet.
    static constexpr int firstButtonResponse = 1000;
    static constexpr int secondButtonResponse = 1001;

    virtual ~AccountAlerts();

    // Logout while the VPN is connecting or connected: "logout.connected.alert.title" /
    // ".message", buttons ".primary.button" (1000, log out) and ".secondary.button" (1001).
    virtual void showLogoutWhileConnected(std::function<void(int response)> answer) = 0;

    // The account has not moved to e-mail sign-in: "alert.title.pardon" /
    // "migrate.consent.failed", buttons "Proceed" and "Logout". The catalogue tracks the answer
    // and, on "Logout", signs the user out before answering true; "Proceed" answers false.
    virtual void showMigrateConsentFailed(std::function<void(bool loggedOut)> answer) = 0;

    // The VPN password could not be fetched or read: "alert.title.something.went.wrong" /
    // "vpn.password.failed". "Retry" runs `retry`; the other buttons are the catalogue's own
    // (it signs the user out with the reason "vpn password error").
    virtual void showVpnPasswordFailed(const Error& error, std::function<void()> retry) = 0;

    // The process-wide presenter; null until the shell (or a test) installs one.
    static AccountAlerts* current();
    // Not owned; null removes it.
    static void setCurrent(AccountAlerts* alerts);
};
