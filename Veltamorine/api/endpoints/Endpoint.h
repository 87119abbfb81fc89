#pragma once

#include "AccessTokenScope.h"
#include "Host.h"
#include "RawValue.h"

#include <QHashFunctions>
#include <QString>

// Every operation the application asks of its backend. The raw value is the operation's URL
// path; host kind, token scope and device parameters are fixed per operation.
enum class Endpoint {
    Login,
    Password,
    Profile,
    SubmitTicket,
    CheckSurvey,
    EmailSignUp,
    VerifyEmail,
    RegisterPushToken,
    PushToken,
    CheckDedicatedIPStatus,
    KillDedicatedIPSession,
    CheckUpdateMac,
    CheckUpdateiOS,
    UpdateClientEmail,
    GetPublicIpAddress,
    DedicatedIp,
    KillDedicatedSession,
    DesiredOutcome,
    ReferAFriend,
    PortForwarding,
    FirebaseToken,
    AccountStatus,
    OtherDevices,
    ReadNotification,
    DeleteNotification,
    MigrateToEmail,
    MigrateToken,
    DownloadUpdateQA,
    DownloadUpdateAlpha,
    DownloadUpdateBeta,
    DownloadUpdate,
    UserInfo,
    UserInfo1,
    authToken,
    DownloadRemoteConfig,
};

template <>
struct RawTexts<Endpoint> {
    static constexpr std::array<std::u16string_view, 35> texts{
        u"/user/login/v3",
        u"/vpn/account/password",
        u"/user/profile/v3",
        u"/ticket/create",
        u"/deviceapi/getAppContent/v3",
        u"/user/signup/v3",
        u"/user/verifyemail/v3",
        u"/push/register/v3",
        u"/user/device/token",
        u"/status/dedicated/ip",
        u"/kill/session/dedicated/ip",
        u"/app/latest/version/mac",
        u"/app/latest/version/ios",
        u"/user/updateemail/v3",
        u"/user/ipaddress/v3",
        u"/user/dedicatedipdetail/v3",
        u"/user/killsession/v3",
        u"/user/setdesiredoutcome/v3",
        // "customer_id" is a placeholder the URL builder replaces with the account number.
        u"/refer-a-friend/customer_id",
        u"/user/portforwarding/v3",
        u"/user/firestoretoken/v3",
        u"/user/accountstatus/v3",
        u"/device/setupotherdevices/v3",
        u"/notification/markread/v3",
        u"/notification/delete/v3",
        u"/user/migrateemail/v3",
        u"/user/importtoken",
        u"/mac-2.0/packages/QA/Veltamorine.pkg",
        u"/mac-2.0/packages/Alpha/Veltamorine.pkg",
        u"/mac-2.0/packages/Beta/Veltamorine.pkg",
        u"/macOS/Veltamorine.pkg",
        u"/oauth2/userinfo",
        u"/user/profile",
        u"/auth/token",
        u"/mac-2.0/assets/v1/remoteconfig",
    };
};

Host host(Endpoint endpoint);
AccessTokenScope tokenScope(Endpoint endpoint);
// True exactly for the gateway and identity-server host kinds.
bool sendsDeviceParameters(Endpoint endpoint);
// The case's own name ("Login", "authToken"), for diagnostics.
QString caseName(Endpoint endpoint);

// Endpoints hash as their path.
inline size_t qHash(Endpoint endpoint, size_t seed = 0)
{
    return qHash(toRaw(endpoint), seed);
}
