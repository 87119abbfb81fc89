#include "ErrorReports.h"

#include "Bundle.h"
#include "DeliveryInfo.h"

#include <QCoreApplication>
#include <QMutex>

namespace {
QMutex hubMutex;
std::shared_ptr<ErrorReportHub> hub;
}

void ErrorReports::start(ReportOptions options)
{
    if (options.endpoint.isEmpty())
        options.endpoint = DeliveryInfo::endpoint(Bundle::main(), DeliveryInfo::errorReportsEndpointKey);
    if (options.trustedCertificates.isEmpty())
        options.trustedCertificates = DeliveryInfo::trustedCertificates(Bundle::main());
    currentHub()->bindClient(std::move(options));
}

std::shared_ptr<ErrorReportHub> ErrorReports::currentHub()
{
    QMutexLocker lock(&hubMutex);
    if (!hub) {
        hub = std::make_shared<ErrorReportHub>();
        static const bool cleanupRegistered = [] {
            // The delivery queue is a QObject on the main thread: release it with the application,
            // not after it.
            qAddPostRoutine([] {
                std::shared_ptr<ErrorReportHub> old;
                QMutexLocker lock(&hubMutex);
                hub.swap(old);
                lock.unlock();
            });
            return true;
        }();
        Q_UNUSED(cleanupRegistered)
    }
    return hub;
}

void ErrorReports::configureScope(const std::function<void(ReportScope&)>& change)
{
    currentHub()->configureScope(change);
}

void ErrorReports::close()
{
    auto fresh = std::make_shared<ErrorReportHub>();
    QMutexLocker lock(&hubMutex);
    hub.swap(fresh);
    lock.unlock();  // the old hub goes outside the lock
}
