#pragma once

#include <functional>

// Whether the machine can reach the network at all, and a listener for changes.
class Reachability {
public:
    enum class Status { Unknown, NotReachable, ReachableEthernetOrWiFi, ReachableCellular };
    using Listener = std::function<void(Status)>;

    virtual ~Reachability();

    virtual Status status() const = 0;
    bool isReachable() const;

    // Reports the current status once (on a later turn of the main loop) and then every change,
    // always on the main thread. A new listener replaces the previous one. False when the
    // platform cannot report.
    virtual bool startListening(Listener listener) = 0;
    virtual void stopListening() = 0;
};
