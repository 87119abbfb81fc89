#include "EventTracker.h"

#include "Bundle.h"
#include "Scheduler.h"

#include <QTimeZone>

namespace {

const QString timeKey = QStringLiteral("time");
const QString publicIpKey = QStringLiteral("AppPreference.publicIpAddress");

QString groupText(bool isGroupB)
{
    return isGroupB ? QStringLiteral("GroupB") : QStringLiteral("GroupA");
}

// Midnight UTC of the current day, found by writing the date alone and reading it back.
std::optional<double> dayStamp(const QDateTime& now)
{
    const QString format = QStringLiteral("yyyy-MM-dd'T'");
    const QString text = now.toTimeZone(QTimeZone::utc()).toString(format);
    const QDate date = QDate::fromString(text, format);
    if (!date.isValid())
        return std::nullopt;
    return double(QDateTime(date, QTime(0, 0), QTimeZone::utc()).toSecsSinceEpoch());
}

}

EventTracker::EventTracker(std::shared_ptr<EventTracking> mixpanel, AppPreferences appPreference,
                           PreservedPreferences preservedPreference)
    : mixpanel(std::move(mixpanel)),
      appPreference(std::move(appPreference)),
      preservedPreference(std::move(preservedPreference))
{
    registerAppSuperProperties();
}

void EventTracker::registerAppSuperProperties()
{
    mixpanel->registerSuperProperties({
        {QStringLiteral("app_release_code"), Bundle::main().releaseCode()},
        {QStringLiteral("test_group"), groupText(preservedPreference.userTestGroup() == UserTestGroup::GroupB)},
        {QStringLiteral("locale"), appPreference.preferredLanguageCode()},
    });
}

void EventTracker::track(Event event, const std::optional<QVariantMap>& properties)
{
    QVariantMap props = properties.value_or(QVariantMap{});
    const QDateTime now = Scheduler::main().now();

    if (isDayStamped(event)) {
        if (const auto stamp = dayStamp(now))
            props.insert(timeKey, *stamp);
        else
            props.remove(timeKey);
    }
    if (event == Event::install)
        props.insert(timeKey, appPreference.appInstallTime().value_or(now));

    const std::optional<QString> ip = appPreference.defaults.stringForKey(publicIpKey);
    if (!ip || ip->isEmpty()) {
        mixpanel->setUseIPAddressForGeoLocation(true);
    } else {
        props.insert(QStringLiteral("ip"), *ip);
        mixpanel->setUseIPAddressForGeoLocation(false);
    }

    AnalyticsProperties converted;
    const QVariantMap normalised = mixpanelProperties(props);
    for (auto it = normalised.cbegin(); it != normalised.cend(); ++it) {
        if (AnalyticsValue::isRepresentable(it.value()))
            converted.insert(it.key(), it.value());
    }
    mixpanel->track(toRaw(event), converted);
}

void EventTracker::identify(const QString& distinctId, const QString& userName, bool isGroupB)
{
    mixpanel->identify(distinctId, true, {});
    mixpanel->registerSuperProperties({
        {QStringLiteral("username"), userName},
        {QStringLiteral("test_group"), groupText(isGroupB)},
    });
}

QVariantMap EventTracker::mixpanelProperties(const QVariantMap& from)
{
    QVariantMap out = from;
    for (auto it = out.begin(); it != out.end(); ++it) {
        const int type = it.value().typeId();
        if (type == QMetaType::QString || type == QMetaType::QChar)
            it.value() = it.value().toString();
    }
    return out;
}

void EventTracker::trackError(const QString& reason, int errorCode, const QString& method, const QString& action)
{
    track(Event::failFetchUserDetails, QVariantMap{
                                           {QStringLiteral("reason"), reason},
                                           {QStringLiteral("error_code"), errorCode},
                                           {QStringLiteral("method"), method},
                                           {QStringLiteral("action"), action},
                                       });
}

void EventTracker::trackAlert(const QString& title, const QString& message, const std::optional<QString>& primaryTitle,
                              const std::optional<QString>& secondaryTitle, bool persistent)
{
    track(Event::viewTopbar, QVariantMap{
                                 {QStringLiteral("message"), title + QLatin1Char(' ') + message},
                                 {QStringLiteral("primary_cta_title"), primaryTitle.value_or(QString())},
                                 {QStringLiteral("secondary_cta_title"), secondaryTitle.value_or(QString())},
                                 {QStringLiteral("persistent"), persistent},
                             });
}

void EventTracker::trackRetryFetchUserDetails(const QString& method, const QString& action)
{
    trackWithAction(QStringLiteral("method"), method, action, Event::clickRetryFetchUserDetails);
}

void EventTracker::trackViewMigrationPopup(const QString& loginVia, const QString& action)
{
    trackWithAction(QStringLiteral("login_via"), loginVia, action, Event::viewMigrationPopup);
}

void EventTracker::trackProceedMigration(const QString& loginVia, const QString& action)
{
    trackWithAction(QStringLiteral("login_via"), loginVia, action, Event::proceedMigration);
}

void EventTracker::trackWithAction(const QString& key, const QString& value, const QString& action, Event event)
{
    track(event, QVariantMap{{key, value}, {QStringLiteral("action"), action}});
}
