#pragma once

#include "Error.h"
#include "QuorConnectionDetails.h"
#include "QuorLocation.h"

#include <optional>

// What the SDK reports back. Callbacks arrive on the SDK's own worker thread, one at a time
// and in order; a receiver that touches models or widgets hops to the main thread itself.
class QuorManagerDelegate {
public:
    virtual ~QuorManagerDelegate() = default;

    virtual void quorManagerDidInitialized() {}
    virtual void quorManagerDidReceivedConnectedLocation(const std::optional<QuorLocation>& location,
                                                         const std::optional<Error>& error)
    {
        (void)location;
        (void)error;
    }
    virtual void quorManagerDidConnect(const std::optional<QuorConnectionDetails>& details) { (void)details; }
    virtual void quorManagerDidConnecting(const std::optional<QuorConnectionDetails>& details) { (void)details; }
    virtual void quorManagerDidDisconnect(const std::optional<QuorConnectionDetails>& details) { (void)details; }
    virtual void quorManagerOnUnableToAccessInternet(const std::optional<QuorConnectionDetails>& details) { (void)details; }
    virtual void quorManagerOnRedialing(const std::optional<QuorConnectionDetails>& details,
                                        const std::optional<Error>& error)
    {
        (void)details;
        (void)error;
    }
    virtual void quorManagerDialErrorReceived(const std::optional<Error>& error,
                                              const std::optional<QuorConnectionDetails>& details)
    {
        (void)error;
        (void)details;
    }
};
