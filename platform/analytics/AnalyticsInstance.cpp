#include "AnalyticsInstance.h"

#include "Bundle.h"
#include "DeliveryInfo.h"
#include "MainQueue.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QUuid>

Q_DECLARE_LOGGING_CATEGORY(lcUpload)

namespace {

QString newId()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

struct Registry {
    QMutex mutex;
    QHash<QString, std::shared_ptr<AnalyticsInstance>> instances;
    std::shared_ptr<AnalyticsInstance> main;
};

Registry& registry()
{
    static Registry r;
    static const bool cleanupRegistered = [] {
        // Instances own QObjects of the main thread: release them with the application, not after it.
        qAddPostRoutine(&AnalyticsInstance::removeAllInstances);
        return true;
    }();
    Q_UNUSED(cleanupRegistered)
    return r;
}

UploadConfiguration uploadConfiguration(const AnalyticsOptions& options)
{
    UploadConfiguration c;
    c.endpoint = options.serverURL;
    c.trustedCertificates = options.trustedCertificates;
    c.capacity = options.capacity;
    c.batchSize = options.batchSize;
    c.flushInterval = options.flushInterval;
    c.scheduler = options.scheduler;
    return c;
}

}

AnalyticsInstance::AnalyticsInstance(AnalyticsOptions options)
    : options_(std::move(options)),
      distinctId_(newId()),
      superProperties_(options_.superProperties),
      optedOut_(options_.optOutTrackingByDefault),
      queue_(UploadQueue::makeShared(uploadConfiguration(options_)))
{
}

AnalyticsInstance::~AnalyticsInstance() = default;

std::shared_ptr<AnalyticsInstance> AnalyticsInstance::initialize(AnalyticsOptions options)
{
    const QString name = options.instanceName.isEmpty() ? options.token : options.instanceName;
    Registry& r = registry();
    QMutexLocker lock(&r.mutex);
    auto& instance = r.instances[name];
    if (!instance) {
        // Without a server URL of its own, the instance delivers where the build says.
        if (options.serverURL.isEmpty())
            options.serverURL = DeliveryInfo::endpoint(Bundle::main(), DeliveryInfo::analyticsEndpointKey);
        if (options.trustedCertificates.isEmpty())
            options.trustedCertificates = DeliveryInfo::trustedCertificates(Bundle::main());
        instance = std::make_shared<AnalyticsInstance>(std::move(options));
    }
    r.main = instance;
    return instance;
}

std::shared_ptr<AnalyticsInstance> AnalyticsInstance::mainInstance()
{
    Registry& r = registry();
    QMutexLocker lock(&r.mutex);
    if (!r.main) {
        qCWarning(lcUpload) << "analytics used before it was initialised";
        r.main = std::make_shared<AnalyticsInstance>(AnalyticsOptions{});
    }
    return r.main;
}

void AnalyticsInstance::removeAllInstances()
{
    Registry& r = registry();
    QMutexLocker lock(&r.mutex);
    r.instances.clear();
    r.main.reset();
}

QString AnalyticsInstance::name() const
{
    return options_.instanceName.isEmpty() ? options_.token : options_.instanceName;
}

QDateTime AnalyticsInstance::now() const
{
    return (options_.scheduler ? *options_.scheduler : Scheduler::main()).now();
}

void AnalyticsInstance::time(const QString& event)
{
    const QDateTime start = now();
    QMutexLocker lock(&mutex_);
    timedEvents_.insert(event, start);
}

void AnalyticsInstance::track(const QString& event, const AnalyticsProperties& properties)
{
    const QDateTime moment = now();
    QJsonObject props;
    {
        QMutexLocker lock(&mutex_);
        if (optedOut_)
            return;
        AnalyticsProperties merged = superProperties_;
        for (auto it = properties.cbegin(); it != properties.cend(); ++it)
            merged.insert(it.key(), it.value());
        props = AnalyticsValue::toJson(merged);
        props.insert(QStringLiteral("token"), options_.token);
        props.insert(QStringLiteral("distinct_id"), distinctId_);
        if (auto started = timedEvents_.take(event); started.isValid())
            props.insert(QStringLiteral("$duration"), double(started.msecsTo(moment)) / 1000.0);
    }
    props.insert(QStringLiteral("time"), moment.toMSecsSinceEpoch());
    props.insert(QStringLiteral("$insert_id"), newId());
    queue_->enqueue(QJsonObject{
        {QStringLiteral("type"), QStringLiteral("event")},
        {QStringLiteral("event"), event},
        {QStringLiteral("use_ip_geolocation"), useIP_.load()},
        {QStringLiteral("properties"), props},
    });
}

void AnalyticsInstance::identify(const QString& distinctId, bool usePeople, std::function<void()> completion)
{
    Q_UNUSED(usePeople)  // people updates always go to the current distinct id
    {
        QMutexLocker lock(&mutex_);
        if (!distinctId.isEmpty())
            distinctId_ = distinctId;
    }
    if (completion)
        MainQueue::async(std::move(completion));
}

void AnalyticsInstance::registerSuperProperties(const AnalyticsProperties& properties)
{
    QMutexLocker lock(&mutex_);
    for (auto it = properties.cbegin(); it != properties.cend(); ++it)
        superProperties_.insert(it.key(), it.value());
}

void AnalyticsInstance::clearSuperProperties()
{
    QMutexLocker lock(&mutex_);
    superProperties_.clear();
}

AnalyticsProperties AnalyticsInstance::currentSuperProperties() const
{
    QMutexLocker lock(&mutex_);
    return superProperties_;
}

void AnalyticsInstance::reset(std::function<void()> completion)
{
    {
        QMutexLocker lock(&mutex_);
        distinctId_ = newId();
        superProperties_.clear();
        timedEvents_.clear();
    }
    if (completion)
        MainQueue::async(std::move(completion));
}

void AnalyticsInstance::peopleSet(const AnalyticsProperties& properties)
{
    const QDateTime moment = now();
    QJsonObject item;
    {
        QMutexLocker lock(&mutex_);
        if (optedOut_)
            return;
        item = QJsonObject{
            {QStringLiteral("type"), QStringLiteral("people")},
            {QStringLiteral("$token"), options_.token},
            {QStringLiteral("$distinct_id"), distinctId_},
            {QStringLiteral("$time"), moment.toMSecsSinceEpoch()},
            {QStringLiteral("$set"), AnalyticsValue::toJson(properties)},
        };
    }
    queue_->enqueue(std::move(item));
}

void AnalyticsInstance::flush()
{
    queue_->flush();
}

void AnalyticsInstance::optOutTracking()
{
    {
        QMutexLocker lock(&mutex_);
        optedOut_ = true;
        timedEvents_.clear();
    }
    queue_->clear();
}

void AnalyticsInstance::optInTracking()
{
    QMutexLocker lock(&mutex_);
    optedOut_ = false;
}

bool AnalyticsInstance::hasOptedOutTracking() const
{
    QMutexLocker lock(&mutex_);
    return optedOut_;
}

QString AnalyticsInstance::distinctId() const
{
    QMutexLocker lock(&mutex_);
    return distinctId_;
}
