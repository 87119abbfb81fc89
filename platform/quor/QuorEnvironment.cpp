#include "QuorEnvironment.h"

#include "Scheduler.h"

#include <QMutex>
#include <QStandardPaths>
#include <optional>

namespace {

QMutex& mutex()
{
    static QMutex m;
    return m;
}

std::optional<QuorEnvironment>& installed()
{
    static std::optional<QuorEnvironment> e;
    return e;
}

}

Scheduler& QuorEnvironment::schedulerOrMain() const
{
    return scheduler ? *scheduler : Scheduler::main();
}

QuorEnvironment QuorEnvironment::fromProcessEnvironment()
{
    QuorEnvironment e;
    const QString url = qEnvironmentVariable("VELTAMORINE_QUOR_URL");
    if (!url.isEmpty())
        e.serviceBaseUrl = QUrl(url);
    const QString caFile = qEnvironmentVariable("VELTAMORINE_QUOR_CA_FILE");
    if (!caFile.isEmpty())
        e.caCertificates = QSslCertificate::fromPath(caFile, QSsl::Pem);
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (!cache.isEmpty())
        e.cacheDirectory = cache + QStringLiteral("/veltamorine/quor");
    return e;
}

QuorEnvironment QuorEnvironment::current()
{
    QMutexLocker lock(&mutex());
    if (!installed())
        installed() = fromProcessEnvironment();
    return *installed();
}

void QuorEnvironment::setCurrent(const QuorEnvironment& environment)
{
    QMutexLocker lock(&mutex());
    installed() = environment;
}
