#include "MainQueue.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

void MainQueue::async(std::function<void()> work)
{
    auto* app = QCoreApplication::instance();
    if (!app || !work)
        return;
    QMetaObject::invokeMethod(app, [work = std::move(work)] { work(); }, Qt::QueuedConnection);
}

void MainQueue::asyncIfNeeded(std::function<void()> work)
{
    if (isMainThread()) {
        if (work)
            work();
        return;
    }
    async(std::move(work));
}

bool MainQueue::isMainThread()
{
    auto* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}
