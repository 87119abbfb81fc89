#include "QtScheduler.h"

#include "MainQueue.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QMutexLocker>
#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// A QTimer counts in int milliseconds (about 24.8 days). A longer wait is covered in steps of
// at most this length, so it can neither wrap into a short one nor be refused as negative.
constexpr qint64 longestStepMs = std::numeric_limits<int>::max();

// Non-positive and not-a-number delays mean the next turn of the loop; an infinite or
// unrepresentably long one never comes.
QDeadlineTimer deadlineAfter(double seconds)
{
    if (!(seconds > 0))
        return QDeadlineTimer(0, Qt::PreciseTimer);
    const double ms = std::round(seconds * 1000.0);
    if (!(ms < 1e15))
        return QDeadlineTimer(QDeadlineTimer::Forever, Qt::PreciseTimer);
    return QDeadlineTimer(static_cast<qint64>(ms), Qt::PreciseTimer);
}

int nextStepMs(const QDeadlineTimer& deadline)
{
    if (deadline.isForever())
        return static_cast<int>(longestStepMs);
    return static_cast<int>(std::clamp<qint64>(deadline.remainingTime(), 0, longestStepMs));
}

}

QtScheduler::~QtScheduler()
{
    QMutexLocker lock(&mutex_);
    for (auto& timer : timers_) {
        if (timer)
            timer->deleteLater();
    }
}

Scheduler::Token QtScheduler::schedule(double seconds, std::function<void()> work)
{
    const QDeadlineTimer deadline = deadlineAfter(seconds);
    const bool stepped = deadline.isForever() || deadline.remainingTime() > longestStepMs;
    auto* timer = new QTimer;
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    timer->moveToThread(QCoreApplication::instance()->thread());
    Token token = 0;
    {
        QMutexLocker lock(&mutex_);
        token = next_++;
        timers_.insert(token, timer);
    }
    QObject::connect(timer, &QTimer::timeout, timer, [this, token, timer, deadline, stepped, work = std::move(work)] {
        if (stepped && !deadline.hasExpired()) {
            timer->start(nextStepMs(deadline));
            return;
        }
        {
            QMutexLocker lock(&mutex_);
            // Gone from the table: a cancel on another thread came first and deletes the timer.
            if (!timers_.remove(token))
                return;
        }
        timer->deleteLater();
        if (work)
            work();
    });
    const int ms = nextStepMs(deadline);
    // A timer may only be started on its own thread.
    QMetaObject::invokeMethod(timer, [timer, ms] { timer->start(ms); },
                              MainQueue::isMainThread() ? Qt::DirectConnection : Qt::QueuedConnection);
    return token;
}

void QtScheduler::cancel(Token token)
{
    QPointer<QTimer> timer;
    {
        QMutexLocker lock(&mutex_);
        timer = timers_.take(token);
    }
    // Once taken from the table only this call deletes the timer, so it is still alive here.
    if (timer) {
        QMetaObject::invokeMethod(timer, [t = timer.data()] { t->stop(); t->deleteLater(); },
                                  MainQueue::isMainThread() ? Qt::DirectConnection : Qt::QueuedConnection);
    }
}

QDateTime QtScheduler::now() const
{
    return QDateTime::currentDateTimeUtc();
}
