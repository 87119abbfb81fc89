#include "VirtualScheduler.h"

#include <cmath>
#include <limits>

namespace {

// The clock reading `seconds` after `nowMs`: non-positive and not-a-number delays are now,
// and a delay past the end of the clock's range saturates instead of overflowing into the past.
qint64 msAfter(qint64 nowMs, double seconds)
{
    if (!(seconds > 0))
        return nowMs;
    const double ms = std::round(seconds * 1000.0);
    const qint64 room = std::numeric_limits<qint64>::max() - nowMs;
    if (!(ms < static_cast<double>(room)))
        return std::numeric_limits<qint64>::max();
    return nowMs + static_cast<qint64>(ms);
}

}

VirtualScheduler::VirtualScheduler(QDateTime start) : start_(std::move(start)) {}

Scheduler::Token VirtualScheduler::schedule(double seconds, std::function<void()> work)
{
    QMutexLocker lock(&mutex_);
    const Token token = next_++;
    const qint64 due = msAfter(nowMs_, seconds);
    queue_.emplace(std::make_pair(due, token), std::move(work));
    return token;
}

void VirtualScheduler::cancel(Token token)
{
    QMutexLocker lock(&mutex_);
    for (auto it = queue_.begin(); it != queue_.end(); ++it) {
        if (it->first.second == token) {
            queue_.erase(it);
            return;
        }
    }
}

QDateTime VirtualScheduler::now() const
{
    QMutexLocker lock(&mutex_);
    return start_.addMSecs(nowMs_);
}

void VirtualScheduler::advance(double seconds)
{
    qint64 target;
    {
        QMutexLocker lock(&mutex_);
        target = msAfter(nowMs_, seconds);
    }
    for (;;) {
        std::function<void()> work;
        {
            QMutexLocker lock(&mutex_);
            if (queue_.empty() || queue_.begin()->first.first > target) {
                nowMs_ = target;
                return;
            }
            auto first = queue_.begin();
            nowMs_ = std::max(nowMs_, first->first.first);
            work = std::move(first->second);
            queue_.erase(first);
        }
        if (work)
            work();
    }
}

int VirtualScheduler::pendingCount() const
{
    QMutexLocker lock(&mutex_);
    return int(queue_.size());
}

double VirtualScheduler::nextDueIn() const
{
    QMutexLocker lock(&mutex_);
    if (queue_.empty())
        return -1;
    return double(queue_.begin()->first.first - nowMs_) / 1000.0;
}
