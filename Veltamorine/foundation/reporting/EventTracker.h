#pragma once

#include "AppPreferences.h"
#include "EventTrackerEvent.h"
#include "EventTracking.h"
#include "PreservedPreferences.h"

#include <QVariantMap>
#include <memory>
#include <optional>

// The one front through which the application reports analytics events. It adds the standard
// properties (the day stamp of connection events, the install time, the public IP address)
// and hands the event to the sink. Cheap to build; every construction registers the app-wide
// super properties again. track() may be called from any thread.
class EventTracker {
public:
    using Event = EventTrackerEvent;

    EventTracker(std::shared_ptr<EventTracking> mixpanel, AppPreferences appPreference,
                 PreservedPreferences preservedPreference);

    std::shared_ptr<EventTracking> mixpanel;
    AppPreferences appPreference;
    PreservedPreferences preservedPreference;

    void track(Event event, const std::optional<QVariantMap>& properties = std::nullopt);
    void identify(const QString& distinctId, const QString& userName, bool isGroupB);

    // Text values stay text; everything else is left as it is.
    static QVariantMap mixpanelProperties(const QVariantMap& from);

    // Shortcuts for recurring events with fixed property sets.
    void trackError(const QString& reason, int errorCode, const QString& method, const QString& action);
    void trackAlert(const QString& title, const QString& message, const std::optional<QString>& primaryTitle,
                    const std::optional<QString>& secondaryTitle, bool persistent);
    void trackRetryFetchUserDetails(const QString& method, const QString& action);
    void trackViewMigrationPopup(const QString& loginVia, const QString& action);
    void trackProceedMigration(const QString& loginVia, const QString& action);
    void trackWithAction(const QString& key, const QString& value, const QString& action, Event event);

private:
    void registerAppSuperProperties();
};
