#include "AnalyticsInstanceTracking.h"

AnalyticsInstanceTracking::AnalyticsInstanceTracking(std::shared_ptr<AnalyticsInstance> instance)
    : instance_(std::move(instance))
{
}

bool AnalyticsInstanceTracking::useIPAddressForGeoLocation() const
{
    return instance_->useIPAddressForGeoLocation();
}

void AnalyticsInstanceTracking::setUseIPAddressForGeoLocation(bool use)
{
    instance_->setUseIPAddressForGeoLocation(use);
}

void AnalyticsInstanceTracking::time(const QString& event)
{
    instance_->time(event);
}

void AnalyticsInstanceTracking::track(const QString& event, const AnalyticsProperties& properties)
{
    instance_->track(event, properties);
}

void AnalyticsInstanceTracking::identify(const QString& distinctId, bool usePeople, std::function<void()> completion)
{
    instance_->identify(distinctId, usePeople, std::move(completion));
}

void AnalyticsInstanceTracking::registerSuperProperties(const AnalyticsProperties& properties)
{
    instance_->registerSuperProperties(properties);
}

void AnalyticsInstanceTracking::clearSuperProperties()
{
    instance_->clearSuperProperties();
}

void AnalyticsInstanceTracking::reset(std::function<void()> completion)
{
    instance_->reset(std::move(completion));
}
