#pragma once

#include "Error.h"

#include <QString>
#include <expected>
#include <functional>
#include <memory>

// The kill switch: packet-filter rules that let traffic out only through the tunnel, applied
// by the privileged helper daemon. Completions may run on any thread.
class FirewallManager {
public:
    using Completion = std::function<void(bool)>;

    virtual ~FirewallManager() = default;

    // Blocks everything but the tunnel to `ipAddress` dialled with `protocol` (an SDK protocol word).
    virtual void enableFirewall(const QString& ipAddress, const QString& protocol, Completion completion) = 0;
    virtual void disableFirewall(Completion completion) = 0;
    // Whether the kill-switch rules for `ipAddress` are in force.
    virtual void isVPNFirewallEnabled(const QString& ipAddress, Completion completion) = 0;
    // Whether any packet-filter rule set is in force.
    virtual void isAnyFirewallEnabled(Completion completion) = 0;
    // Whether the helper daemon answers at all.
    virtual void isHelperReady(Completion completion) = 0;
    // Makes the helper ready for the kill switch (installing it when needed); true on success.
    virtual void prepareKillSwitch(Completion completion) = 0;
    // Whether the helper daemon is installed; an error when that cannot be told.
    virtual std::expected<bool, Error> isHelperInstalled() = 0;

    // The process-wide firewall manager (an in-memory one until another is installed).
    static std::shared_ptr<FirewallManager> shared();
    static void setShared(std::shared_ptr<FirewallManager> manager);
};
