#pragma once

#include "AppPreferences.h"
#include "ErrorSender.h"
#include "EventTracker.h"
#include "PreservedPreferences.h"
#include "User.h"

// The composition factories. Each call builds a complete new set of facades; they keep nothing
// of their own and sit over the process-wide stores (user defaults, keyring, the analytics main
// instance, the error-reporting hub), so any number of sets see the same data.
//
// makeQuorDataFetcher() and makeQuor() belong to this set but build types of the VPN
// connection engine, so they are declared beside those types in the vpn library, from the
// building blocks below.

// A User over the standard user defaults and the "UserPreferences" keyring prefix.
User makeUser();
// An AppPreferences over the standard user defaults and the "AppPreferences" keyring prefix.
AppPreferences makeAppPreferences();
// A PreservedPreferences over the standard user defaults, with a new User of its own.
PreservedPreferences makePreservedPreferences();
// An ErrorSender on the current error-reporting hub (also makes the process ignore SIGPIPE).
ErrorSender makeErrorSender();
// An EventTracker on the analytics main instance, with a new AppPreferences and
// PreservedPreferences; registers the app-wide super properties.
EventTracker makeEventTracker();
