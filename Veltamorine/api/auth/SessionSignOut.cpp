#include "SessionSignOut.h"

#include <mutex>

namespace {

std::mutex mutex;
SessionSignOut::Handler boundHandler;

}

void SessionSignOut::bind(Handler handler)
{
    std::lock_guard lock(mutex);
    boundHandler = std::move(handler);
}

bool SessionSignOut::isBound()
{
    std::lock_guard lock(mutex);
    return bool(boundHandler);
}

bool SessionSignOut::signOut()
{
    Handler handler;
    {
        std::lock_guard lock(mutex);
        handler = boundHandler;
    }
    if (!handler)
        return false;
    handler();
    return true;
}
