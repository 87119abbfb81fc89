#include "AuthProtocol.h"

#include <mutex>

namespace {

std::mutex mutex;
std::shared_ptr<AuthProtocol> sharedService;

}

OAuthClientHandle::~OAuthClientHandle() = default;

AuthProtocol::~AuthProtocol() = default;

std::shared_ptr<AuthProtocol> AuthProtocol::shared()
{
    std::lock_guard lock(mutex);
    return sharedService;
}

void AuthProtocol::setShared(std::shared_ptr<AuthProtocol> service)
{
    std::lock_guard lock(mutex);
    sharedService = std::move(service);
}
