#pragma once

#include "ExtensionManager.h"
#include "QuorManagerDelegate.h"

#include <functional>
#include <optional>

// The one receiver of everything the VPN SDK reports: the manager's delegate callbacks, the
// extension manager's activation reports, and the two closures the SDK calls for raw state
// changes and traffic counts, fixed when the receiver is made. The state listener is one; this
// base ignores everything.
class QuorSDKListener : public QuorManagerDelegate, public ExtensionManagerDelegate {
public:
    using StateChanged = std::function<void(int)>;
    using PacketsTransmitted = std::function<void(const std::optional<quint64>&, const std::optional<quint64>&)>;

    explicit QuorSDKListener(StateChanged stateChanged = {}, PacketsTransmitted packetsTransmitted = {})
        : stateChanged(std::move(stateChanged)), packetsTransmitted(std::move(packetsTransmitted))
    {
    }

    const StateChanged stateChanged;
    const PacketsTransmitted packetsTransmitted;

    void requestNeedsUserApproval(const QString& bundleIdentifier) override { (void)bundleIdentifier; }
    void requestFailed(const QString& bundleIdentifier, const Error& error) override
    {
        (void)bundleIdentifier;
        (void)error;
    }
    void requestCompleted(const QString& bundleIdentifier, ExtensionManager::ExtensionManagerResult result) override
    {
        (void)bundleIdentifier;
        (void)result;
    }
};
