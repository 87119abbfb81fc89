#pragma once

#include <optional>

// The SDK's tunnel states as the integers it reports through getCurrentVPNStatus and the
// state-changed handler.
enum class QuorVPNState : int {
    Invalid = 0,
    Disconnected = 1,
    Connecting = 2,     // dialling the chosen server
    Connected = 3,
    Reasserting = 4,    // the tunnel dropped and is being dialled again
    Disconnecting = 5,
    FindingServer = 12, // probing servers before dialling
};

constexpr int toRaw(QuorVPNState state) { return static_cast<int>(state); }

inline std::optional<QuorVPNState> quorVPNStateFromRaw(int raw)
{
    switch (raw) {
    case 0: case 1: case 2: case 3: case 4: case 5: case 12:
        return static_cast<QuorVPNState>(raw);
    default:
        return std::nullopt;
    }
}
