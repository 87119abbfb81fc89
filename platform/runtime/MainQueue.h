#pragma once

#include <functional>

// The main thread's queue: work posted here runs later on the thread that owns every model
// and widget, in the order it was posted.
class MainQueue {
public:
    static void async(std::function<void()> work);
    // Runs at once when already on the main thread, otherwise posts.
    static void asyncIfNeeded(std::function<void()> work);
    static bool isMainThread();
};
