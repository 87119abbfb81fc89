#include "QtScheduler.h"

#include "MainQueue.h"

#include <QCoreApplication>
#include <cmath>

QtScheduler::~QtScheduler()
{
    for (auto& timer : timers_) {
        if (timer)
            timer->deleteLater();
    }
}

Scheduler::Token QtScheduler::schedule(double seconds, std::function<void()> work)
{
    const Token token = next_++;
    auto* timer = new QTimer;
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    timer->moveToThread(QCoreApplication::instance()->thread());
    timers_.insert(token, timer);
    QObject::connect(timer, &QTimer::timeout, timer, [this, token, timer, work = std::move(work)] {
        timers_.remove(token);
        timer->deleteLater();
        if (work)
            work();
    });
    const int ms = seconds <= 0 ? 0 : int(std::llround(seconds * 1000.0));
    // A timer may only be started on its own thread.
    QMetaObject::invokeMethod(timer, [timer, ms] { timer->start(ms); },
                              MainQueue::isMainThread() ? Qt::DirectConnection : Qt::QueuedConnection);
    return token;
}

void QtScheduler::cancel(Token token)
{
    auto timer = timers_.take(token);
    if (timer) {
        QMetaObject::invokeMethod(timer, [t = timer.data()] { t->stop(); t->deleteLater(); },
                                  MainQueue::isMainThread() ? Qt::DirectConnection : Qt::QueuedConnection);
    }
}

QDateTime QtScheduler::now() const
{
    return QDateTime::currentDateTimeUtc();
}
