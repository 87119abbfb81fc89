#include "FakeReachability.h"

#include <QCoreApplication>
#include <QMetaObject>

FakeReachability::FakeReachability(Status initial)
    : status_(initial)
{
}

FakeReachability::~FakeReachability() = default;

bool FakeReachability::startListening(Listener listener)
{
    listener_ = std::move(listener);
    QMetaObject::invokeMethod(&context_, [this] {
        if (listener_)
            listener_(status_);
    }, Qt::QueuedConnection);
    return true;
}

void FakeReachability::stopListening()
{
    listener_ = nullptr;
}

void FakeReachability::report(Status status)
{
    status_ = status;
    if (listener_)
        listener_(status);
}
