#pragma once

#include <functional>

// Whether the kill switch is holding the traffic, asked after the helper framework's own
// readiness answer. Stateless: it asks FirewallManager::shared().
class HelperComunicator {
public:
    // `after` false: answers false at once, on the calling thread. Otherwise asks whether any
    // firewall rule set is in force and answers on the main thread.
    void isAnyFirewallEnabled(bool after, std::function<void(bool)> completion) const;
};
