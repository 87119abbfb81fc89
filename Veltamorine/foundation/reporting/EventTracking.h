#pragma once

#include "AnalyticsProperties.h"

#include <QString>
#include <functional>

// The analytics sink as the application uses it. AnalyticsInstanceTracking binds it to the
// analytics instance; every operation may be called from any thread.
class EventTracking {
public:
    virtual ~EventTracking() = default;

    // Whether the service may derive a location from the request's IP address.
    virtual bool useIPAddressForGeoLocation() const = 0;
    virtual void setUseIPAddressForGeoLocation(bool use) = 0;
    // Starts timing `event`; its next track carries the duration.
    virtual void time(const QString& event) = 0;
    virtual void track(const QString& event, const AnalyticsProperties& properties) = 0;
    virtual void identify(const QString& distinctId, bool usePeople, std::function<void()> completion) = 0;
    virtual void registerSuperProperties(const AnalyticsProperties& properties) = 0;
    virtual void clearSuperProperties() = 0;
    virtual void reset(std::function<void()> completion) = 0;
};
