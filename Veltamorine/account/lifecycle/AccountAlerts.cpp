#include "AccountAlerts.h"

#include <atomic>

namespace {

std::atomic<AccountAlerts*> installed{nullptr};

}

AccountAlerts::~AccountAlerts() = default;

AccountAlerts* AccountAlerts::current()
{
    return installed.load();
}

void AccountAlerts::setCurrent(AccountAlerts* alerts)
{
    installed.store(alerts);
}
