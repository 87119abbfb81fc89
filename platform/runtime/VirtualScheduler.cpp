#include "VirtualScheduler.h"

#include <cmath>

VirtualScheduler::VirtualScheduler(QDateTime start) : start_(std::move(start)) {}

Scheduler::Token VirtualScheduler::schedule(double seconds, std::function<void()> work)
{
    QMutexLocker lock(&mutex_);
    const Token token = next_++;
    const qint64 due = nowMs_ + (seconds <= 0 ? 0 : std::llround(seconds * 1000.0));
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
        target = nowMs_ + std::max<qint64>(0, std::llround(seconds * 1000.0));
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
