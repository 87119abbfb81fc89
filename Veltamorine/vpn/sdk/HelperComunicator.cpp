#include "HelperComunicator.h"

#include "FirewallManager.h"
#include "MainQueue.h"

void HelperComunicator::isAnyFirewallEnabled(bool after, std::function<void(bool)> completion) const
{
    if (!after) {
        if (completion)
            completion(false);
        return;
    }
    FirewallManager::shared()->isAnyFirewallEnabled([completion = std::move(completion)](bool enabled) {
        MainQueue::async([completion, enabled] {
            if (completion)
                completion(enabled);
        });
    });
}
