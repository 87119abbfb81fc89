#pragma once

#include "Scheduler.h"

#include <QHash>
#include <QMutex>
#include <QPointer>
#include <QTimer>

// The real scheduler: one single-shot QTimer per scheduled piece of work.
// schedule and cancel may be called from any thread; the work runs on the main thread.
class QtScheduler final : public Scheduler {
public:
    ~QtScheduler() override;

    Token schedule(double seconds, std::function<void()> work) override;
    void cancel(Token token) override;
    QDateTime now() const override;

private:
    // Guards next_ and timers_: callers on other threads share them with the timers' handlers.
    mutable QMutex mutex_;
    Token next_ = 1;
    QHash<Token, QPointer<QTimer>> timers_;
};
