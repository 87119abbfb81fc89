#include "Timer.h"

Timer::Timer(Scheduler& scheduler) : scheduler_(scheduler) {}

Timer::~Timer()
{
    *alive_ = false;
    stop();
}

void Timer::start(double seconds, bool repeats, std::function<void()> fire)
{
    stop();
    interval_ = seconds;
    repeats_ = repeats;
    fire_ = std::move(fire);
    arm();
}

void Timer::stop()
{
    if (pending_ != 0) {
        scheduler_.cancel(pending_);
        pending_ = 0;
    }
}

void Timer::arm()
{
    std::weak_ptr<bool> alive = alive_;
    pending_ = scheduler_.schedule(interval_, [this, alive] {
        if (alive.expired() || !*alive.lock())
            return;
        pending_ = 0;
        // Re-arm first so that the handler may stop or restart the timer.
        if (repeats_)
            arm();
        auto fire = fire_;
        if (fire)
            fire();
    });
}
