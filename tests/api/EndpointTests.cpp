#include "Endpoint.h"

#include <QSet>
#include <gtest/gtest.h>

namespace {

using S = AccessTokenScope;
constexpr Host G = Host::DialerGateway;
constexpr Host F = Host::FusionAuth;

struct Row {
    Endpoint endpoint;
    const char* name;
    const char16_t* path;
    Host host;
    AccessTokenScope scope;
    bool deviceParameters;
};

// The backend catalogue, in case order, as the backend knows it.
const Row catalogue[] = {
    {Endpoint::Login, "Login", u"/user/login/v3", G, S::Authorization, true},
    {Endpoint::Password, "Password", u"/vpn/account/password", F, S::Authorization, true},
    {Endpoint::Profile, "Profile", u"/user/profile/v3", G, S::User, true},
    {Endpoint::SubmitTicket, "SubmitTicket", u"/ticket/create", G, S::None, true},
    {Endpoint::CheckSurvey, "CheckSurvey", u"/deviceapi/getAppContent/v3", G, S::Device, true},
    {Endpoint::EmailSignUp, "EmailSignUp", u"/user/signup/v3", G, S::Authorization, true},
    {Endpoint::VerifyEmail, "VerifyEmail", u"/user/verifyemail/v3", G, S::Authorization, true},
    {Endpoint::RegisterPushToken, "RegisterPushToken", u"/push/register/v3", G, S::User, true},
    {Endpoint::PushToken, "PushToken", u"/user/device/token", G, S::User, true},
    {Endpoint::CheckDedicatedIPStatus, "CheckDedicatedIPStatus", u"/status/dedicated/ip", F, S::User, true},
    {Endpoint::KillDedicatedIPSession, "KillDedicatedIPSession", u"/kill/session/dedicated/ip", G, S::User, true},
    {Endpoint::CheckUpdateMac, "CheckUpdateMac", u"/app/latest/version/mac", F, S::Device, true},
    {Endpoint::CheckUpdateiOS, "CheckUpdateiOS", u"/app/latest/version/ios", F, S::Device, true},
    {Endpoint::UpdateClientEmail, "UpdateClientEmail", u"/user/updateemail/v3", G, S::User, true},
    {Endpoint::GetPublicIpAddress, "GetPublicIpAddress", u"/user/ipaddress/v3", G, S::User, true},
    {Endpoint::DedicatedIp, "DedicatedIp", u"/user/dedicatedipdetail/v3", G, S::User, true},
    {Endpoint::KillDedicatedSession, "KillDedicatedSession", u"/user/killsession/v3", G, S::User, true},
    {Endpoint::DesiredOutcome, "DesiredOutcome", u"/user/setdesiredoutcome/v3", G, S::User, true},
    {Endpoint::ReferAFriend, "ReferAFriend", u"/refer-a-friend/customer_id", G, S::User, true},
    {Endpoint::PortForwarding, "PortForwarding", u"/user/portforwarding/v3", G, S::User, true},
    {Endpoint::FirebaseToken, "FirebaseToken", u"/user/firestoretoken/v3", G, S::Authorization, true},
    {Endpoint::AccountStatus, "AccountStatus", u"/user/accountstatus/v3", G, S::Authorization, true},
    {Endpoint::OtherDevices, "OtherDevices", u"/device/setupotherdevices/v3", G, S::Device, true},
    {Endpoint::ReadNotification, "ReadNotification", u"/notification/markread/v3", G, S::User, true},
    {Endpoint::DeleteNotification, "DeleteNotification", u"/notification/delete/v3", G, S::User, true},
    {Endpoint::MigrateToEmail, "MigrateToEmail", u"/user/migrateemail/v3", G, S::Authorization, true},
    {Endpoint::MigrateToken, "MigrateToken", u"/user/importtoken", G, S::Authorization, true},
    {Endpoint::DownloadUpdateQA, "DownloadUpdateQA", u"/mac-2.0/packages/QA/Veltamorine.pkg", Host::S3, S::None, false},
    {Endpoint::DownloadUpdateAlpha, "DownloadUpdateAlpha", u"/mac-2.0/packages/Alpha/Veltamorine.pkg", Host::S3, S::None, false},
    {Endpoint::DownloadUpdateBeta, "DownloadUpdateBeta", u"/mac-2.0/packages/Beta/Veltamorine.pkg", Host::S3, S::None, false},
    {Endpoint::DownloadUpdate, "DownloadUpdate", u"/macOS/Veltamorine.pkg", Host::S3, S::None, false},
    {Endpoint::UserInfo, "UserInfo", u"/oauth2/userinfo", F, S::FAUser, true},
    {Endpoint::UserInfo1, "UserInfo1", u"/user/profile", F, S::None, true},
    {Endpoint::authToken, "authToken", u"/auth/token", G, S::None, true},
    {Endpoint::DownloadRemoteConfig, "DownloadRemoteConfig", u"/mac-2.0/assets/v1/remoteconfig", Host::RemoteConfiguration, S::None, false},
};

}

TEST(Endpoint, EveryEndpointHasItsPathHostScopeAndDeviceParameters)
{
    const auto cases = allCases<Endpoint>();
    ASSERT_EQ(std::size(catalogue), 35u);
    ASSERT_EQ(cases.size(), 35u);
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Row& row = catalogue[i];
        SCOPED_TRACE(row.name);
        EXPECT_EQ(cases[i], row.endpoint);  // declaration order
        EXPECT_EQ(caseName(row.endpoint), QLatin1String(row.name));
        EXPECT_EQ(toRaw(row.endpoint), QString::fromUtf16(row.path));
        EXPECT_EQ(fromRaw<Endpoint>(QString::fromUtf16(row.path)), row.endpoint);
        EXPECT_EQ(host(row.endpoint), row.host);
        EXPECT_EQ(tokenScope(row.endpoint), row.scope);
        EXPECT_EQ(sendsDeviceParameters(row.endpoint), row.deviceParameters);
    }
}

TEST(Endpoint, LookupAcceptsOnlyExactPaths)
{
    EXPECT_EQ(fromRaw<Endpoint>(u"/user/profile"), Endpoint::UserInfo1);
    EXPECT_EQ(fromRaw<Endpoint>(u"/user/profile/v3"), Endpoint::Profile);
    for (const char16_t* path : {u"/user/profile/", u"/user/profile/v3/", u"/USER/PROFILE", u"/User/Profile/v3",
             u"user/profile", u"", u"/refer-a-friend/1234", u"/Veltamorine/user/login/v3", u" /auth/token"})
        EXPECT_FALSE(fromRaw<Endpoint>(QStringView(path))) << QString::fromUtf16(path).toStdString();
}

TEST(Endpoint, DeviceParametersFollowTheHostKindNotTheGateway)
{
    EXPECT_FALSE(sendsDeviceParameters(Endpoint::DownloadUpdate));
    EXPECT_TRUE(sendsDeviceParameters(Endpoint::CheckUpdateMac));
    EXPECT_EQ(host(Endpoint::CheckUpdateMac), Host::FusionAuth);
}

TEST(Endpoint, NoEndpointUsesThePaymentScope)
{
    for (Endpoint endpoint : allCases<Endpoint>())
        EXPECT_NE(tokenScope(endpoint), AccessTokenScope::Payment) << caseName(endpoint).toStdString();
}

TEST(Endpoint, PathsAreDistinctAndHashAsTheirPath)
{
    QSet<QString> paths;
    QSet<Endpoint> endpoints;
    for (Endpoint endpoint : allCases<Endpoint>()) {
        paths.insert(toRaw(endpoint));
        endpoints.insert(endpoint);
        EXPECT_EQ(qHash(endpoint, 7), qHash(toRaw(endpoint), 7));
    }
    EXPECT_EQ(paths.size(), 35);
    EXPECT_EQ(endpoints.size(), 35);
}

TEST(AccessTokenScope, RawValuesAndLookups)
{
    const struct {
        AccessTokenScope scope;
        const char16_t* raw;
    } cases[] = {
        {S::User, u"dialer-api/user"},
        {S::Authorization, u"dialer-api/authorization"},
        {S::Payment, u"dialer-api/payment"},
        {S::Device, u"dialer-api/device"},
        {S::FAUser, u"user"},
        {S::None, u""},
    };
    ASSERT_EQ(allCases<AccessTokenScope>().size(), std::size(cases));
    for (const auto& c : cases) {
        EXPECT_EQ(toRaw(c.scope), QString::fromUtf16(c.raw));
        EXPECT_EQ(fromRaw<AccessTokenScope>(QStringView(c.raw)), c.scope);
        EXPECT_EQ(qHash(c.scope, 3), qHash(QString::fromUtf16(c.raw), 3));
    }
    EXPECT_EQ(fromRaw<AccessTokenScope>(u""), S::None);
    EXPECT_FALSE(fromRaw<AccessTokenScope>(u"dialer-api/User"));
    EXPECT_FALSE(fromRaw<AccessTokenScope>(u"dialer-api/user "));
    EXPECT_FALSE(fromRaw<AccessTokenScope>(u"payment"));
}
