#include "Factories.h"

#include "AnalyticsInstance.h"
#include "AnalyticsInstanceTracking.h"
#include "ErrorReportHubSending.h"
#include "ErrorReports.h"

User makeUser()
{
    return User(UserDefaults::standard(), Keychain(QStringLiteral("UserPreferences")));
}

AppPreferences makeAppPreferences()
{
    return AppPreferences(UserDefaults::standard(), Keychain(QStringLiteral("AppPreferences")));
}

PreservedPreferences makePreservedPreferences()
{
    return PreservedPreferences(UserDefaults::standard(), makeUser());
}

ErrorSender makeErrorSender()
{
    return ErrorSender(std::make_shared<ErrorReportHubSending>(ErrorReports::currentHub()));
}

EventTracker makeEventTracker()
{
    auto sink = std::make_shared<AnalyticsInstanceTracking>(AnalyticsInstance::mainInstance());
    AppPreferences appPreferences = makeAppPreferences();
    PreservedPreferences preservedPreferences = makePreservedPreferences();
    return EventTracker(std::move(sink), std::move(appPreferences), std::move(preservedPreferences));
}
