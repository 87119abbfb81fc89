#pragma once

#include "AnalyticsInstance.h"
#include "EventTracking.h"

#include <memory>

// The analytics instance as an EventTracking sink; each operation forwards one to one.
class AnalyticsInstanceTracking final : public EventTracking {
public:
    explicit AnalyticsInstanceTracking(std::shared_ptr<AnalyticsInstance> instance);

    bool useIPAddressForGeoLocation() const override;
    void setUseIPAddressForGeoLocation(bool use) override;
    void time(const QString& event) override;
    void track(const QString& event, const AnalyticsProperties& properties) override;
    void identify(const QString& distinctId, bool usePeople, std::function<void()> completion) override;
    void registerSuperProperties(const AnalyticsProperties& properties) override;
    void clearSuperProperties() override;
    void reset(std::function<void()> completion) override;

    const std::shared_ptr<AnalyticsInstance>& instance() const { return instance_; }

private:
    std::shared_ptr<AnalyticsInstance> instance_;
};
