#include "SerialQueue.h"

#include <QObject>
#include <QThread>

SerialQueue::SerialQueue(const QString& name) : name_(name), thread_(new QThread), context_(new QObject)
{
    thread_->setObjectName(name);
    context_->moveToThread(thread_);
    thread_->start();
}

SerialQueue::~SerialQueue()
{
    // Queued work still runs: quit() is itself queued behind it.
    QMetaObject::invokeMethod(context_, [this] { thread_->quit(); }, Qt::QueuedConnection);
    thread_->wait();
    delete context_;
    delete thread_;
}

void SerialQueue::async(std::function<void()> work)
{
    QMetaObject::invokeMethod(context_, [work = std::move(work)] { if (work) work(); }, Qt::QueuedConnection);
}

void SerialQueue::sync(const std::function<void()>& work)
{
    if (isCurrent()) {
        work();
        return;
    }
    QMetaObject::invokeMethod(context_, [&work] { work(); }, Qt::BlockingQueuedConnection);
}

bool SerialQueue::isCurrent() const
{
    return QThread::currentThread() == thread_;
}
