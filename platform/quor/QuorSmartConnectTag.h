#pragma once

// What a quick connect optimises for. The raw values are what `QuorProperties` carries.
enum class QuorSmartConnectTag : int {
    Fastest = 0,
    Streaming = 1,
    Gaming = 2,
    Privacy = 3,
    P2P = 4,
    Obfuscated = 5,
    QuantumResistant = 6,
    Recommended = 7,
};

constexpr int toRaw(QuorSmartConnectTag tag) { return static_cast<int>(tag); }
