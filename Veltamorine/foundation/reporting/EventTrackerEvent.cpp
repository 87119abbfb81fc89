#include "EventTrackerEvent.h"

#include <utility>

namespace {

struct Entry {
    EventTrackerEvent event;
    std::u16string_view name;
};

constexpr std::array<Entry, eventTrackerEventCount> catalogue{{
    {EventTrackerEvent::launched, u"app_launched"},
    {EventTrackerEvent::connected, u"app_connected"},
    {EventTrackerEvent::disconnected, u"app_disconnected"},
    {EventTrackerEvent::loginFailed, u"app_login_failed"},
    {EventTrackerEvent::citiesViewed, u"app_cities_viewed"},
    {EventTrackerEvent::loggedIn, u"app_logged_in"},
    {EventTrackerEvent::utc, u"app_utc"},
    {EventTrackerEvent::connect, u"app_connect"},
    {EventTrackerEvent::utb, u"app_utb"},
    {EventTrackerEvent::routeMemberArea, u"app_route_member_area"},
    {EventTrackerEvent::viewLiveChatPopup, u"app_view_live_chat_popup"},
    {EventTrackerEvent::routeLiveChat, u"app_route_live_chat"},
    {EventTrackerEvent::updated, u"app_updated"},
    {EventTrackerEvent::ttc, u"app_ttc"},
    {EventTrackerEvent::updateAvailable, u"app_update_available"},
    {EventTrackerEvent::updateStart, u"app_update_start"},
    {EventTrackerEvent::updateIgnored, u"app_update_ignored"},
    {EventTrackerEvent::submitFeedback, u"app_submit_feedback"},
    {EventTrackerEvent::markFavorite, u"app_mark_favorite"},
    {EventTrackerEvent::cancelled, u"app_cancelled"},
    {EventTrackerEvent::apiResponseTime, u"app_api_response_time"},
    {EventTrackerEvent::apiFailure, u"app_api_failure"},
    {EventTrackerEvent::launchTime, u"app_launch_time"},
    {EventTrackerEvent::locationLoadTime, u"app_location_load_time"},
    {EventTrackerEvent::pingTime, u"app_ping_time"},
    {EventTrackerEvent::viewMigrationPopup, u"app_view_migration_popup"},
    {EventTrackerEvent::proceedMigration, u"app_proceed_migration"},
    {EventTrackerEvent::credentialsNotFound, u"app_credentials_not_found"},
    {EventTrackerEvent::failFetchAccountInfo, u"app_fail_fetch_account_info"},
    {EventTrackerEvent::multipleCredentialsFound, u"app_multiple_credentials_found"},
    {EventTrackerEvent::viewEmailSignup, u"app_view_email_signup"},
    {EventTrackerEvent::skipEmailSignup, u"app_skip_email_signup"},
    {EventTrackerEvent::viewCodeVerification, u"app_view_code_verification"},
    {EventTrackerEvent::doneCodeVerification, u"app_done_code_verification"},
    {EventTrackerEvent::resendCodeVerification, u"app_resend_code_verification"},
    {EventTrackerEvent::issueAccount, u"app_issue_account"},
    {EventTrackerEvent::failIssueAccount, u"app_fail_issue_account"},
    {EventTrackerEvent::viewSessionPrompt, u"app_view_session_prompt"},
    {EventTrackerEvent::rateSession, u"app_rate_session"},
    {EventTrackerEvent::feedbackSession, u"app_feedback_session"},
    {EventTrackerEvent::failFeedbackSession, u"app_fail_feedback_session"},
    {EventTrackerEvent::referAFriend, u"app_refer_a_friend"},
    {EventTrackerEvent::storeRating, u"app_store_rating"},
    {EventTrackerEvent::viewTroubleshoot, u"app_view_troubleshoot"},
    {EventTrackerEvent::startTroubleshoot, u"app_start_troubleshoot"},
    {EventTrackerEvent::completeTroubleshoot, u"app_complete_troubleshoot"},
    {EventTrackerEvent::clickCtaTroubleshoot, u"app_click_cta_troubleshoot"},
    {EventTrackerEvent::cancelTroubleshoot, u"app_cancel_troubleshoot"},
    {EventTrackerEvent::toggleIks, u"app_toggle_iks"},
    {EventTrackerEvent::recommendedLocationResponse, u"app_recommended_location_response"},
    {EventTrackerEvent::blockInternetIks, u"app_block_internet_iks"},
    {EventTrackerEvent::resumeInternetIks, u"app_resume_internet_iks"},
    {EventTrackerEvent::failGetConnectedLocation, u"app_fail_get_connected_location"},
    {EventTrackerEvent::helpertool, u"app_helpertool"},
    {EventTrackerEvent::testActivationTime, u"app_test_activation_time"},
    {EventTrackerEvent::viewUpdateEmail, u"app_view_update_email"},
    {EventTrackerEvent::updateEmail, u"app_update_email"},
    {EventTrackerEvent::failUpdateEmail, u"app_fail_update_email"},
    {EventTrackerEvent::toggleConnectToFallback, u"app_toggle_connect_to_fallback"},
    {EventTrackerEvent::clickSupportTicket, u"app_click_support_ticket"},
    {EventTrackerEvent::doneKillDedicatedipSession, u"app_done_kill_dedicatedip_session"},
    {EventTrackerEvent::failKillDedicatedipSession, u"app_fail_kill_dedicatedip_session"},
    {EventTrackerEvent::proceedKillDedicatedipSession, u"app_proceed_kill_dedicatedip_session"},
    {EventTrackerEvent::viewKillDedicatedipSessionPopup, u"app_view_kill_dedicatedip_session_popup"},
    {EventTrackerEvent::addonDataMismatch, u"app_addon_data_mismatch"},
    {EventTrackerEvent::viewReferAFriend, u"app_view_refer_a_friend"},
    {EventTrackerEvent::clickReferAFriend, u"app_click_refer_a_friend"},
    {EventTrackerEvent::failReferAFriendInvite, u"app_fail_refer_a_friend_invite"},
    {EventTrackerEvent::viewFirewallPolicies, u"app_view_firewall_policies"},
    {EventTrackerEvent::failGetFirewallPolicies, u"app_fail_get_firewall_policies"},
    {EventTrackerEvent::clickRetryFirewallPolicies, u"app_click_retry_firewall_policies"},
    {EventTrackerEvent::viewConnectionDetails, u"app_view_connection_details"},
    {EventTrackerEvent::setTheme, u"app_set_theme"},
    {EventTrackerEvent::clickAddon, u"app_click_addon"},
    {EventTrackerEvent::receiveNotification, u"app_receive_notification"},
    {EventTrackerEvent::viewNotification, u"app_view_notification"},
    {EventTrackerEvent::clickNotification, u"app_click_notification"},
    {EventTrackerEvent::clearNotification, u"app_clear_notification"},
    {EventTrackerEvent::clearAllNotifications, u"app_clear_all_notifications"},
    {EventTrackerEvent::viewNotificationCenter, u"app_view_notification_center"},
    {EventTrackerEvent::viewConnectionOverConnectionPopup, u"app_view_connection_over_connection_popup"},
    {EventTrackerEvent::acceptConnectionOverConnectionPopup, u"app_accept_connection_over_connection_popup"},
    {EventTrackerEvent::disableAlreadyConnectedPopup, u"app_disable_already_connected_popup"},
    {EventTrackerEvent::viewAlreadyConnectedPopup, u"app_view_already_connected_popup"},
    {EventTrackerEvent::openPushNotification, u"app_open_push_notification"},
    {EventTrackerEvent::clickAddonDetails, u"app_click_addon_details"},
    {EventTrackerEvent::viewSwitchServerPopup, u"app_view_switch_server_popup"},
    {EventTrackerEvent::emptyNasIdentifier, u"app_empty_nas_identifier"},
    {EventTrackerEvent::cancelSwitchServerPopup, u"app_cancel_switch_server_popup"},
    {EventTrackerEvent::acceptSwitchServerPopup, u"app_accept_switch_server_popup"},
    {EventTrackerEvent::submitRequestLocation, u"app_submit_request_location"},
    {EventTrackerEvent::submitRequestLocationComments, u"app_submit_request_location_comments"},
    {EventTrackerEvent::clickRecommendedLocation, u"app_click_recommended_location"},
    {EventTrackerEvent::viewFaqs, u"app_view_faqs"},
    {EventTrackerEvent::toggleOndemandVpn, u"app_toggle_ondemand_vpn"},
    {EventTrackerEvent::addOndemandDomain, u"app_add_ondemand_domain"},
    {EventTrackerEvent::removeOndemandDomain, u"app_remove_ondemand_domain"},
    {EventTrackerEvent::viewOnboarding, u"app_view_onboarding"},
    {EventTrackerEvent::changeLanguage, u"app_change_language"},
    {EventTrackerEvent::clickSignup, u"app_click_signup"},
    {EventTrackerEvent::hideDockIcon, u"app_hide_dock_icon"},
    {EventTrackerEvent::clickFilter, u"app_click_filter"},
    {EventTrackerEvent::filterList, u"app_filter_list"},
    {EventTrackerEvent::clickRateUs, u"app_click_rate_us"},
    {EventTrackerEvent::clickReddit, u"app_click_reddit"},
    {EventTrackerEvent::clickLiveChatExtension, u"app_click_live_chat_extension"},
    {EventTrackerEvent::failPing, u"app_fail_ping"},
    {EventTrackerEvent::failParseDislikeReasons, u"app_fail_parse_dislike_reasons"},
    {EventTrackerEvent::viewIntercom, u"app_view_intercom"},
    {EventTrackerEvent::failLoadLocations, u"app_fail_load_locations"},
    {EventTrackerEvent::clickLogin, u"app_click_login"},
    {EventTrackerEvent::routeWebLogin, u"app_route_web_login"},
    {EventTrackerEvent::returnWebLogin, u"app_return_web_login"},
    {EventTrackerEvent::failFetchUserDetails, u"app_fail_fetch_user_details"},
    {EventTrackerEvent::clickRetryFetchUserDetails, u"app_click_retry_fetch_user_details"},
    {EventTrackerEvent::logout, u"app_logout"},
    {EventTrackerEvent::viewLoggedinAppleid, u"app_view_loggedin_appleid"},
    {EventTrackerEvent::viewMissingAppleid, u"app_view_missing_appleid"},
    {EventTrackerEvent::clickLoginAppleid, u"app_click_login_appleid"},
    {EventTrackerEvent::requestSwapToken, u"app_request_swap_token"},
    {EventTrackerEvent::viewProtocolSwitchReconnectPopup, u"app_view_protocol_switch_reconnect_popup"},
    {EventTrackerEvent::acceptProtocolSwitchReconnectPopup, u"app_accept_protocol_switch_reconnect_popup"},
    {EventTrackerEvent::clickSwitchServer, u"app_click_switch_server"},
    {EventTrackerEvent::viewSettingsScreen, u"app_view_settings_screen"},
    {EventTrackerEvent::viewDevicesScreen, u"app_view_devices_screen"},
    {EventTrackerEvent::viewProfileScreen, u"app_view_profile_screen"},
    {EventTrackerEvent::togglePersonalizedServer, u"app_toggle_personalized_server"},
    {EventTrackerEvent::changeProtocol, u"app_change_protocol"},
    {EventTrackerEvent::clickIdeasForum, u"app_click_ideas_forum"},
    {EventTrackerEvent::clickSupportCenter, u"app_click_support_center"},
    {EventTrackerEvent::clickClearPreferences, u"app_click_clear_preferences"},
    {EventTrackerEvent::clearPreferences, u"app_clear_preferences"},
    {EventTrackerEvent::viewLocationScreen, u"app_view_location_screen"},
    {EventTrackerEvent::viewInvalidDeeplinkPopup, u"app_view_invalid_deeplink_popup"},
    {EventTrackerEvent::viewDeeplinkPopup, u"app_view_deeplink_popup"},
    {EventTrackerEvent::detectIpMismatch, u"app_detect_ip_mismatch"},
    {EventTrackerEvent::viewSupportScreen, u"app_view_support_screen"},
    {EventTrackerEvent::clickBetaCommunity, u"app_click_beta_community"},
    {EventTrackerEvent::clickSlackChannel, u"app_click_slack_channel"},
    {EventTrackerEvent::viewTopbar, u"app_view_topbar"},
    {EventTrackerEvent::clickTopbarPrimaryCta, u"app_click_topbar_primary_cta"},
    {EventTrackerEvent::clickTopbarSecondaryCta, u"app_click_topbar_secondary_cta"},
    {EventTrackerEvent::clickCloseTopbar, u"app_click_close_topbar"},
    {EventTrackerEvent::clickTroubleshootScreen, u"app_click_troubleshoot_screen"},
    {EventTrackerEvent::clickTroubleshootReason, u"app_click_troubleshoot_reason"},
    {EventTrackerEvent::install, u"app_install"},
    {EventTrackerEvent::viewTroubleshootAppErrorScreen, u"app_view_troubleshoot_app_error_screen"},
}};

const Entry* find(EventTrackerEvent event)
{
    for (const Entry& entry : catalogue)
        if (entry.event == event)
            return &entry;
    return nullptr;
}

}

QString toRaw(EventTrackerEvent event)
{
    const Entry* entry = find(event);
    if (!entry)
        return {};
    return QString::fromUtf16(entry->name.data(), qsizetype(entry->name.size()));
}

std::optional<EventTrackerEvent> eventTrackerEventFromRaw(QStringView name)
{
    for (const Entry& entry : catalogue)
        if (name == QStringView(entry.name.data(), qsizetype(entry.name.size())))
            return entry.event;
    return std::nullopt;
}

const std::array<EventTrackerEvent, eventTrackerEventCount>& allEventTrackerEvents()
{
    static const auto events = [] {
        std::array<EventTrackerEvent, eventTrackerEventCount> out{};
        for (std::size_t i = 0; i < catalogue.size(); ++i)
            out[i] = catalogue[i].event;
        return out;
    }();
    return events;
}

bool isDayStamped(EventTrackerEvent event)
{
    switch (event) {
    case EventTrackerEvent::connected:
    case EventTrackerEvent::disconnected:
    case EventTrackerEvent::utc:
    case EventTrackerEvent::connect:
    case EventTrackerEvent::utb:
    case EventTrackerEvent::ttc:
    case EventTrackerEvent::cancelled:
        return true;
    default:
        return false;
    }
}
