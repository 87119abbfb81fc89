#pragma once

#include "Scheduler.h"

#include <functional>
#include <memory>

// A one-shot or repeating timer on a Scheduler. Stopping or destroying it cancels what is pending;
// it is used on the main thread only.
class Timer {
public:
    explicit Timer(Scheduler& scheduler = Scheduler::main());
    ~Timer();
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    void start(double seconds, bool repeats, std::function<void()> fire);
    void stop();
    bool isActive() const { return pending_ != 0; }

private:
    void arm();

    Scheduler& scheduler_;
    double interval_ = 0;
    bool repeats_ = false;
    std::function<void()> fire_;
    Scheduler::Token pending_ = 0;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};
