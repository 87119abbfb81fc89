#pragma once

#include "AppPreferences.h"
#include "ErrorSender.h"
#include "EventTracker.h"
#include "PreservedPreferences.h"
#include "QuorSDKListener.h"
#include "User.h"

#include <functional>
#include <memory>

// Builds the SDK receiver of one set-up from the set-up's fresh services.
using QuorSDKListenerFactory =
    std::function<std::shared_ptr<QuorSDKListener>(AppPreferences, EventTracker, PreservedPreferences)>;

namespace QuorSDKSetup {

// The SDK's secret key (40 lower-case hexadecimal characters).
QString secretKey();
// How set-up builds its receiver; without a factory of its own (tests), the state listener.
void setListenerFactory(QuorSDKListenerFactory factory);
// The process-wide receiver that the latest set-up installed; nothing before the first.
std::shared_ptr<QuorSDKListener> sharedListener();

}

// Sets up the VPN SDK: its configuration and shared manager, a new receiver as delegate, state
// handler, packets handler and extension-manager delegate, the excluded protocols, and the
// signed-in account's credential; the first run also puts the helper daemon's kill switch in
// place. May run any number of times; the newest receiver wins.
// Missing credentials of a signed-in account are reported through `sentry`.
void configureQuorSDK(const User& user);
void configureQuorSDK(const User& user, ErrorSender sentry);
