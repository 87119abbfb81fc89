#include "FirewallManager.h"

#include "InMemoryFirewallManager.h"

#include <QMutex>

namespace {

QMutex& mutex()
{
    static QMutex m;
    return m;
}

std::shared_ptr<FirewallManager>& installed()
{
    static std::shared_ptr<FirewallManager> manager;
    return manager;
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
