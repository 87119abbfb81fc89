#include "AnalyticsInstance.h"
#include "Bundle.h"
#include "EventTracker.h"
#include "Factories.h"
#include "SettingsTestStores.h"
#include "VirtualScheduler.h"

#include <QSet>
#include <QTimeZone>
#include <QUrl>
#include <gtest/gtest.h>

namespace {

// Records what the tracker hands to its sink.
class RecordingSink final : public EventTracking {
public:
    struct Tracked {
        QString event;
        AnalyticsProperties properties;
        bool useIP;
    };
    bool useIP = true;
    QList<Tracked> tracked;
    QList<AnalyticsProperties> registered;
    QList<std::pair<QString, bool>> identified;

    bool useIPAddressForGeoLocation() const override { return useIP; }
    void setUseIPAddressForGeoLocation(bool use) override { useIP = use; }
    void time(const QString&) override {}
    void track(const QString& event, const AnalyticsProperties& properties) override
    {
        tracked.append({event, properties, useIP});
    }
    void identify(const QString& distinctId, bool usePeople, std::function<void()>) override
    {
        identified.append({distinctId, usePeople});
    }
    void registerSuperProperties(const AnalyticsProperties& properties) override { registered.append(properties); }
    void clearSuperProperties() override {}
    void reset(std::function<void()>) override {}
};

class EventTrackerTest : public SettingsTestStores {
protected:
    void SetUp() override
    {
        SettingsTestStores::SetUp();
        Scheduler::setMain(&clock);
        Bundle::setMain(&bundle);
    }
    void TearDown() override
    {
        Bundle::setMain(nullptr);
        Scheduler::setMain(nullptr);
        SettingsTestStores::TearDown();
    }

    EventTracker tracker() { return EventTracker(sink, makeAppPreferences(), makePreservedPreferences()); }

    const RecordingSink::Tracked& last() const { return sink->tracked.last(); }

    // 00:30 on 10 March in a zone three hours east of UTC: 21:30 UTC on 9 March.
    VirtualScheduler clock{QDateTime(QDate(2026, 3, 10), QTime(0, 30), QTimeZone(3 * 3600))};
    Bundle bundle{QJsonObject{{QStringLiteral("Release Code"), QStringLiteral("BETA")}}};
    std::shared_ptr<RecordingSink> sink = std::make_shared<RecordingSink>();
};

struct CatalogueRow {
    int tag;
    const char* name;
};

const CatalogueRow catalogue[] = {
        {0, "app_launched"},
        {1, "app_connected"},
        {2, "app_disconnected"},
        {3, "app_login_failed"},
        {4, "app_cities_viewed"},
        {9, "app_logged_in"},
        {10, "app_utc"},
        {11, "app_connect"},
        {12, "app_utb"},
        {13, "app_route_member_area"},
        {15, "app_view_live_chat_popup"},
        {16, "app_route_live_chat"},
        {17, "app_updated"},
        {18, "app_ttc"},
        {19, "app_update_available"},
        {20, "app_update_start"},
        {21, "app_update_ignored"},
        {22, "app_submit_feedback"},
        {23, "app_mark_favorite"},
        {24, "app_cancelled"},
        {25, "app_api_response_time"},
        {26, "app_api_failure"},
        {27, "app_launch_time"},
        {28, "app_location_load_time"},
        {29, "app_ping_time"},
        {30, "app_view_migration_popup"},
        {31, "app_proceed_migration"},
        {32, "app_credentials_not_found"},
        {33, "app_fail_fetch_account_info"},
        {34, "app_multiple_credentials_found"},
        {35, "app_view_email_signup"},
        {36, "app_skip_email_signup"},
        {37, "app_view_code_verification"},
        {38, "app_done_code_verification"},
        {39, "app_resend_code_verification"},
        {47, "app_issue_account"},
        {48, "app_fail_issue_account"},
        {55, "app_view_session_prompt"},
        {56, "app_rate_session"},
        {57, "app_feedback_session"},
        {58, "app_fail_feedback_session"},
        {59, "app_refer_a_friend"},
        {60, "app_store_rating"},
        {61, "app_view_troubleshoot"},
        {62, "app_start_troubleshoot"},
        {63, "app_complete_troubleshoot"},
        {64, "app_click_cta_troubleshoot"},
        {65, "app_cancel_troubleshoot"},
        {66, "app_toggle_iks"},
        {68, "app_recommended_location_response"},
        {69, "app_block_internet_iks"},
        {70, "app_resume_internet_iks"},
        {71, "app_fail_get_connected_location"},
        {72, "app_helpertool"},
        {73, "app_test_activation_time"},
        {74, "app_view_update_email"},
        {75, "app_update_email"},
        {76, "app_fail_update_email"},
        {77, "app_toggle_connect_to_fallback"},
        {78, "app_click_support_ticket"},
        {79, "app_done_kill_dedicatedip_session"},
        {80, "app_fail_kill_dedicatedip_session"},
        {81, "app_proceed_kill_dedicatedip_session"},
        {82, "app_view_kill_dedicatedip_session_popup"},
        {83, "app_addon_data_mismatch"},
        {84, "app_view_refer_a_friend"},
        {85, "app_click_refer_a_friend"},
        {86, "app_fail_refer_a_friend_invite"},
        {87, "app_view_firewall_policies"},
        {88, "app_fail_get_firewall_policies"},
        {89, "app_click_retry_firewall_policies"},
        {90, "app_view_connection_details"},
        {91, "app_set_theme"},
        {92, "app_click_addon"},
        {93, "app_receive_notification"},
        {94, "app_view_notification"},
        {95, "app_click_notification"},
        {96, "app_clear_notification"},
        {97, "app_clear_all_notifications"},
        {98, "app_view_notification_center"},
        {99, "app_view_connection_over_connection_popup"},
        {100, "app_accept_connection_over_connection_popup"},
        {101, "app_disable_already_connected_popup"},
        {102, "app_view_already_connected_popup"},
        {103, "app_open_push_notification"},
        {104, "app_click_addon_details"},
        {105, "app_view_switch_server_popup"},
        {106, "app_empty_nas_identifier"},
        {107, "app_cancel_switch_server_popup"},
        {108, "app_accept_switch_server_popup"},
        {109, "app_submit_request_location"},
        {110, "app_submit_request_location_comments"},
        {111, "app_click_recommended_location"},
        {112, "app_view_faqs"},
        {113, "app_toggle_ondemand_vpn"},
        {114, "app_add_ondemand_domain"},
        {115, "app_remove_ondemand_domain"},
        {116, "app_view_onboarding"},
        {117, "app_change_language"},
        {118, "app_click_signup"},
        {119, "app_hide_dock_icon"},
        {120, "app_click_filter"},
        {121, "app_filter_list"},
        {123, "app_click_rate_us"},
        {124, "app_click_reddit"},
        {125, "app_click_live_chat_extension"},
        {126, "app_fail_ping"},
        {127, "app_fail_parse_dislike_reasons"},
        {131, "app_view_intercom"},
        {132, "app_fail_load_locations"},
        {133, "app_click_login"},
        {134, "app_route_web_login"},
        {135, "app_return_web_login"},
        {136, "app_fail_fetch_user_details"},
        {137, "app_click_retry_fetch_user_details"},
        {140, "app_logout"},
        {141, "app_view_loggedin_appleid"},
        {142, "app_view_missing_appleid"},
        {143, "app_click_login_appleid"},
        {144, "app_request_swap_token"},
        {145, "app_view_protocol_switch_reconnect_popup"},
        {146, "app_accept_protocol_switch_reconnect_popup"},
        {147, "app_click_switch_server"},
        {148, "app_view_settings_screen"},
        {149, "app_view_devices_screen"},
        {150, "app_view_profile_screen"},
        {151, "app_toggle_personalized_server"},
        {152, "app_change_protocol"},
        {153, "app_click_ideas_forum"},
        {154, "app_click_support_center"},
        {155, "app_click_clear_preferences"},
        {156, "app_clear_preferences"},
        {157, "app_view_location_screen"},
        {158, "app_view_invalid_deeplink_popup"},
        {159, "app_view_deeplink_popup"},
        {160, "app_detect_ip_mismatch"},
        {161, "app_view_support_screen"},
        {162, "app_click_beta_community"},
        {163, "app_click_slack_channel"},
        {164, "app_view_topbar"},
        {165, "app_click_topbar_primary_cta"},
        {166, "app_click_topbar_secondary_cta"},
        {167, "app_click_close_topbar"},
        {168, "app_click_troubleshoot_screen"},
        {169, "app_click_troubleshoot_reason"},
        {170, "app_install"},
        {171, "app_view_troubleshoot_app_error_screen"}
};

TEST(EventCatalogueTest, EveryEventHasItsTagAndName)
{
    ASSERT_EQ(std::size(catalogue), 147u);
    ASSERT_EQ(allEventTrackerEvents().size(), 147u);
    QSet<QString> names;
    for (const CatalogueRow& row : catalogue) {
        const auto event = EventTrackerEvent(row.tag);
        const QString name = QString::fromLatin1(row.name);
        EXPECT_EQ(toRaw(event), name) << row.tag;
        EXPECT_EQ(eventTrackerEventFromRaw(name), event) << row.name;
        EXPECT_TRUE(name.startsWith(QStringLiteral("app_")));
        names.insert(name);
    }
    EXPECT_EQ(names.size(), 147);
    for (std::size_t i = 0; i < allEventTrackerEvents().size(); ++i)
        EXPECT_EQ(int(allEventTrackerEvents()[i]), catalogue[i].tag);
}

TEST(EventCatalogueTest, UnknownNamesAndTagsHaveNoEvent)
{
    EXPECT_EQ(eventTrackerEventFromRaw(u"APP_LAUNCHED"), std::nullopt);
    EXPECT_EQ(eventTrackerEventFromRaw(u"app_unknown"), std::nullopt);
    for (int tag : {5, 14, 40, 122, 139})
        EXPECT_TRUE(toRaw(EventTrackerEvent(tag)).isEmpty()) << tag;
}

TEST_F(EventTrackerTest, ConstructionRegistersTheAppWideSuperProperties)
{
    defaults().setString(QStringLiteral("GroupB"), QStringLiteral(".userTestGroup"));
    defaults().setString(QStringLiteral("de"), QStringLiteral("AppPreference.preferredLanguageCode"));
    tracker();
    tracker();
    ASSERT_EQ(sink->registered.size(), 2);
    const AnalyticsProperties expected{{QStringLiteral("app_release_code"), QStringLiteral("BETA")},
                                       {QStringLiteral("test_group"), QStringLiteral("GroupB")},
                                       {QStringLiteral("locale"), QStringLiteral("de")}};
    EXPECT_EQ(sink->registered[0], expected);
    EXPECT_EQ(sink->registered[1], expected);
}

TEST_F(EventTrackerTest, ConnectionEventsCarryMidnightUtcOfTheUtcDate)
{
    const double midnight = double(QDateTime(QDate(2026, 3, 9), QTime(0, 0), QTimeZone::utc()).toSecsSinceEpoch());
    EventTracker t = tracker();
    for (auto event : {EventTracker::Event::connected, EventTracker::Event::disconnected, EventTracker::Event::utc,
                       EventTracker::Event::connect, EventTracker::Event::utb, EventTracker::Event::ttc,
                       EventTracker::Event::cancelled}) {
        for (const QVariant& supplied : {QVariant(), QVariant(QStringLiteral("soon")), QVariant(12.5)}) {
            QVariantMap props{{QStringLiteral("k"), QStringLiteral("v")}};
            if (supplied.isValid())
                props.insert(QStringLiteral("time"), supplied);
            t.track(event, props);
            const QVariant time = last().properties.value(QStringLiteral("time"));
            EXPECT_EQ(time.typeId(), QMetaType::Double) << toRaw(event).toStdString();
            EXPECT_EQ(time.toDouble(), midnight) << toRaw(event).toStdString();
            EXPECT_EQ(std::fmod(time.toDouble(), 86400.0), 0.0);
            EXPECT_EQ(last().properties.value(QStringLiteral("k")).toString(), QStringLiteral("v"));
        }
    }
}

TEST_F(EventTrackerTest, OtherEventsGetNoTimeButKeepTheCallersOwn)
{
    EventTracker t = tracker();
    t.track(EventTracker::Event::launched);
    EXPECT_FALSE(last().properties.contains(QStringLiteral("time")));
    t.track(EventTracker::Event::launchTime, QVariantMap{{QStringLiteral("time"), 250}});
    EXPECT_EQ(last().properties.value(QStringLiteral("time")), QVariant(250));
}

TEST_F(EventTrackerTest, InstallCarriesTheInstallTimeOrNow)
{
    EventTracker t = tracker();
    t.track(EventTracker::Event::install);
    EXPECT_EQ(last().event, QStringLiteral("app_install"));
    EXPECT_EQ(last().properties.value(QStringLiteral("time")).toDateTime(), clock.now());
    EXPECT_EQ(last().properties.value(QStringLiteral("time")).typeId(), QMetaType::QDateTime);

    const QDateTime installed(QDate(2025, 12, 24), QTime(8, 15), QTimeZone::utc());
    t.appPreference.setAppInstallTime(installed);
    t.track(EventTracker::Event::install, QVariantMap{{QStringLiteral("time"), 1}});
    EXPECT_EQ(last().properties.value(QStringLiteral("time")).toDateTime(), installed);
}

TEST_F(EventTrackerTest, PublicIpAddressRules)
{
    struct Case {
        const char* name;
        QVariant stored;
        bool sendsIp;
    };
    const Case cases[] = {
        {"absent", QVariant(), false},
        {"empty", QStringLiteral(""), false},
        {"stored", QStringLiteral("203.0.113.7"), true},
    };
    EventTracker t = tracker();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sink->useIP = !c.sendsIp ? false : true;  // the tracker must set the flag either way
        defaults().setObject(c.stored, QStringLiteral("AppPreference.publicIpAddress"));
        t.track(EventTracker::Event::launched, QVariantMap{{QStringLiteral("source"), QStringLiteral("dock")}});
        EXPECT_EQ(last().useIP, !c.sendsIp);
        EXPECT_EQ(last().properties.contains(QStringLiteral("ip")), c.sendsIp);
        if (c.sendsIp)
            EXPECT_EQ(last().properties.value(QStringLiteral("ip")).toString(), c.stored.toString());
        else
            EXPECT_EQ(last().properties, (AnalyticsProperties{{QStringLiteral("source"), QStringLiteral("dock")}}));
    }
}

TEST_F(EventTrackerTest, ValuesTheServiceCannotCarryAreDropped)
{
    QObject object;
    EventTracker t = tracker();
    t.track(EventTracker::Event::launched, QVariantMap{{QStringLiteral("object"), QVariant::fromValue(&object)},
                                                       {QStringLiteral("count"), 2},
                                                       {QStringLiteral("link"), QUrl(QStringLiteral("https://a.invalid"))}});
    EXPECT_EQ(last().properties, (AnalyticsProperties{{QStringLiteral("count"), 2},
                                                      {QStringLiteral("link"), QUrl(QStringLiteral("https://a.invalid"))}}));
}

TEST_F(EventTrackerTest, IdentifySetsTheDistinctIdAndUserSuperProperties)
{
    EventTracker t = tracker();
    for (bool groupB : {true, false}) {
        t.identify(QStringLiteral("uuid-1"), QStringLiteral("vpn-user"), groupB);
        ASSERT_FALSE(sink->identified.isEmpty());
        EXPECT_EQ(sink->identified.last(), std::make_pair(QStringLiteral("uuid-1"), true));
        EXPECT_EQ(sink->registered.last(),
                  (AnalyticsProperties{{QStringLiteral("username"), QStringLiteral("vpn-user")},
                                       {QStringLiteral("test_group"), groupB ? QStringLiteral("GroupB") : QStringLiteral("GroupA")}}));
    }
}

TEST_F(EventTrackerTest, ShortcutsBuildTheirFixedProperties)
{
    EventTracker t = tracker();
    struct Case {
        std::function<void()> call;
        QString event;
        AnalyticsProperties properties;
    };
    const Case cases[] = {
        {[&] { t.trackError(QStringLiteral("timeout"), -1001, QStringLiteral("email"), QStringLiteral("launch")); },
         QStringLiteral("app_fail_fetch_user_details"),
         {{QStringLiteral("reason"), QStringLiteral("timeout")}, {QStringLiteral("error_code"), -1001},
          {QStringLiteral("method"), QStringLiteral("email")}, {QStringLiteral("action"), QStringLiteral("launch")}}},
        {[&] { t.trackAlert(QStringLiteral("Heads up"), QStringLiteral("Renew soon"), QStringLiteral("Renew"), std::nullopt, true); },
         QStringLiteral("app_view_topbar"),
         {{QStringLiteral("message"), QStringLiteral("Heads up Renew soon")}, {QStringLiteral("primary_cta_title"), QStringLiteral("Renew")},
          {QStringLiteral("secondary_cta_title"), QString()}, {QStringLiteral("persistent"), true}}},
        {[&] { t.trackRetryFetchUserDetails(QStringLiteral("username"), QStringLiteral("retry")); },
         QStringLiteral("app_click_retry_fetch_user_details"),
         {{QStringLiteral("method"), QStringLiteral("username")}, {QStringLiteral("action"), QStringLiteral("retry")}}},
        {[&] { t.trackViewMigrationPopup(QStringLiteral("email"), QStringLiteral("shown")); },
         QStringLiteral("app_view_migration_popup"),
         {{QStringLiteral("login_via"), QStringLiteral("email")}, {QStringLiteral("action"), QStringLiteral("shown")}}},
        {[&] { t.trackProceedMigration(QStringLiteral("username"), QStringLiteral("proceed")); },
         QStringLiteral("app_proceed_migration"),
         {{QStringLiteral("login_via"), QStringLiteral("username")}, {QStringLiteral("action"), QStringLiteral("proceed")}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.event.toStdString());
        c.call();
        EXPECT_EQ(last().event, c.event);
        EXPECT_EQ(last().properties, c.properties);
    }
}

TEST_F(EventTrackerTest, FactoryBuildsOnTheAnalyticsMainInstance)
{
    auto main = AnalyticsInstance::mainInstance();
    main->clearSuperProperties();
    EventTracker t = makeEventTracker();
    EXPECT_EQ(main->currentSuperProperties().value(QStringLiteral("app_release_code")).toString(), QStringLiteral("BETA"));
    const int before = main->queue().pendingCount();
    t.track(EventTracker::Event::launched);
    EXPECT_EQ(main->queue().pendingCount(), before + 1);
    AnalyticsInstance::removeAllInstances();
}

}
