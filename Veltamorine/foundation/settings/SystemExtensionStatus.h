#pragma once

#include "RawValue.h"

// Where a VPN system extension stands. Only `installed` counts as ready.
enum class SystemExtensionStatus {
    notInstalled = 0,
    installed = 1,      // the activation request completed
    pendingReboot = 2,  // completed, takes effect after a restart
    needsApproval = 3,  // the user must approve it in the system settings
    failed = 4,         // the request failed
};

template <>
struct RawIntegers<SystemExtensionStatus> {
    static constexpr int count = 5;
};
