#pragma once

#include "Scheduler.h"

#include <QHash>
#include <QPointer>
#include <QTimer>

// The real scheduler: one single-shot QTimer per scheduled piece of work.
class QtScheduler final : public Scheduler {
public:
    ~QtScheduler() override;

    Token schedule(double seconds, std::function<void()> work) override;
    void cancel(Token token) override;
    QDateTime now() const override;

private:
    Token next_ = 1;
    QHash<Token, QPointer<QTimer>> timers_;
};
