#include "FirewallManager.h"

#include "InMemoryFirewallManager.h"

#include <QMutex>

namespace {

QMutex& mutex()
{
    static QMutex m;
    return m;
}

// Never destroyed: the managers answer on worker threads that cannot be joined once the
// application object is gone at exit.
std::shared_ptr<FirewallManager>& installed()
{
    static auto* manager = new std::shared_ptr<FirewallManager>();
    return *manager;
}

}

std::shared_ptr<FirewallManager> FirewallManager::shared()
{
    QMutexLocker lock(&mutex());
    if (!installed())
        installed() = std::make_shared<InMemoryFirewallManager>();
    return installed();
}

void FirewallManager::setShared(std::shared_ptr<FirewallManager> manager)
{
    QMutexLocker lock(&mutex());
    installed() = std::move(manager);
}
