#pragma once

#include "Error.h"
#include "LoginError.h"

#include <optional>

// How the launch checks end (UserAuthentication::AppLaunchCase where the sign-in core can
// nest it); the launch hook turns it into routing or an alert.
struct UserAuthenticationAppLaunchCase {
    enum class Kind {
        UserInfoError,        // error: the profile request failed
        VpnPasswordError,     // loginError: fetching or storing the stored account's password failed
        MigrateToFAError,     // error: the token migration failed
        MigrateToEmailError,  // error: the e-mail migration failed
        Authenticated,        // the stored sign-in is usable
        InvalidUserDetails,   // no password, and no stored account carries the stored user name
        NotLoggedIn,          // the user signed out while the checks ran
    };

    Kind kind = Kind::NotLoggedIn;
    std::optional<Error> error;
    std::optional<LoginError> loginError;

    static UserAuthenticationAppLaunchCase of(Kind kind) { return {kind, std::nullopt, std::nullopt}; }
    static UserAuthenticationAppLaunchCase withError(Kind kind, Error error) { return {kind, std::move(error), std::nullopt}; }
    static UserAuthenticationAppLaunchCase vpnPasswordError(LoginError error) { return {Kind::VpnPasswordError, std::nullopt, std::move(error)}; }
};
