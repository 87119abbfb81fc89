#include "KeychainBackend.h"

#include "LibsecretKeychainBackend.h"

#include <mutex>

namespace {

std::mutex selectionMutex;
std::shared_ptr<KeychainBackend> selected;

}

std::shared_ptr<KeychainBackend> KeychainBackend::current()
{
    std::lock_guard lock(selectionMutex);
    if (!selected)
        selected = std::make_shared<LibsecretKeychainBackend>();
    return selected;
}

void KeychainBackend::setCurrent(std::shared_ptr<KeychainBackend> backend)
{
    std::lock_guard lock(selectionMutex);
    selected = std::move(backend);
}
