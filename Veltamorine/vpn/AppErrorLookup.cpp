#include "AppErrorLookup.h"

#include <QMutex>

namespace {

QMutex& mutex()
{
    static QMutex m;
    return m;
}

std::shared_ptr<AppErrorLookup>& installed()
{
    static std::shared_ptr<AppErrorLookup> lookup;
    return lookup;
}

}

AppErrorLookup::~AppErrorLookup() = default;

std::shared_ptr<AppErrorLookup> AppErrorLookup::shared()
{
    QMutexLocker lock(&mutex());
    return installed();
}

void AppErrorLookup::setShared(std::shared_ptr<AppErrorLookup> lookup)
{
    QMutexLocker lock(&mutex());
    installed() = std::move(lookup);
}
