#pragma once

#include "Scheduler.h"

#include <QMutex>
#include <QTimeZone>
#include <map>
#include <utility>

// A scheduler on a virtual clock for tests: nothing runs until `advance` moves the clock,
// and then due work runs in time order (ties in the order scheduled).
class VirtualScheduler final : public Scheduler {
public:
    explicit VirtualScheduler(QDateTime start = QDateTime(QDate(2026, 1, 1), QTime(12, 0), Qt::UTC));

    Token schedule(double seconds, std::function<void()> work) override;
    void cancel(Token token) override;
    QDateTime now() const override;

    // Moves the clock forward by `seconds`, running everything that falls due on the way,
    // including work scheduled by work that ran.
    void advance(double seconds);
    int pendingCount() const;
    // Seconds from now until the next pending work, or -1 when nothing is pending.
    double nextDueIn() const;

private:
    mutable QMutex mutex_;
    qint64 nowMs_ = 0;
    QDateTime start_;
    Token next_ = 1;
    std::multimap<std::pair<qint64, Token>, std::function<void()>> queue_;
};
