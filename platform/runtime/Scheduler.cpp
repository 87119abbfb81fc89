#include "Scheduler.h"

#include "QtScheduler.h"

#include <atomic>

namespace {
std::atomic<Scheduler*> installed{nullptr};

Scheduler& realScheduler()
{
    static QtScheduler scheduler;
    return scheduler;
}
}

Scheduler& Scheduler::main()
{
    if (auto* scheduler = installed.load())
        return *scheduler;
    return realScheduler();
}

void Scheduler::setMain(Scheduler* scheduler)
{
    installed.store(scheduler);
}
