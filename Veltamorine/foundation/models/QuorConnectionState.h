#pragma once

#include "RawValue.h"

// The application's connection state, announced with every connection-state notification.
// Integer raw values equal the case numbers.
enum class QuorConnectionState {
    Connected = 0,
    Connecting = 1,
    Redialing = 2,
    Disconnected = 3,
    Disconnecting = 4,
    UnableToConnect = 5,
    UnableToBrowse = 6,
};

template <>
struct RawIntegers<QuorConnectionState> {
    static constexpr int count = 7;
};
