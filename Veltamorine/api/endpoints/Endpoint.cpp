#include "Endpoint.h"

#include <array>

namespace {

struct Row {
    const char* name;
    Host host;
    AccessTokenScope scope;
};

using enum AccessTokenScope;

// One row per case, in case order.
constexpr std::array<Row, 35> table{{
    {"Login", Host::DialerGateway, Authorization},
    {"Password", Host::FusionAuth, Authorization},
    {"Profile", Host::DialerGateway, User},
    {"SubmitTicket", Host::DialerGateway, None},
    {"CheckSurvey", Host::DialerGateway, Device},
    {"EmailSignUp", Host::DialerGateway, Authorization},
    {"VerifyEmail", Host::DialerGateway, Authorization},
    {"RegisterPushToken", Host::DialerGateway, User},
    {"PushToken", Host::DialerGateway, User},
    {"CheckDedicatedIPStatus", Host::FusionAuth, User},
    {"KillDedicatedIPSession", Host::DialerGateway, User},
    {"CheckUpdateMac", Host::FusionAuth, Device},
    {"CheckUpdateiOS", Host::FusionAuth, Device},
    {"UpdateClientEmail", Host::DialerGateway, User},
    {"GetPublicIpAddress", Host::DialerGateway, User},
    {"DedicatedIp", Host::DialerGateway, User},
    {"KillDedicatedSession", Host::DialerGateway, User},
    {"DesiredOutcome", Host::DialerGateway, User},
    {"ReferAFriend", Host::DialerGateway, User},
    {"PortForwarding", Host::DialerGateway, User},
    {"FirebaseToken", Host::DialerGateway, Authorization},
    {"AccountStatus", Host::DialerGateway, Authorization},
    {"OtherDevices", Host::DialerGateway, Device},
    {"ReadNotification", Host::DialerGateway, User},
    {"DeleteNotification", Host::DialerGateway, User},
    {"MigrateToEmail", Host::DialerGateway, Authorization},
    {"MigrateToken", Host::DialerGateway, Authorization},
    {"DownloadUpdateQA", Host::S3, None},
    {"DownloadUpdateAlpha", Host::S3, None},
    {"DownloadUpdateBeta", Host::S3, None},
    {"DownloadUpdate", Host::S3, None},
    {"UserInfo", Host::FusionAuth, FAUser},
    {"UserInfo1", Host::FusionAuth, None},
    {"authToken", Host::DialerGateway, None},
    {"DownloadRemoteConfig", Host::RemoteConfiguration, None},
}};

static_assert(table.size() == RawTexts<Endpoint>::texts.size());

const Row& row(Endpoint endpoint)
{
    return table[std::size_t(endpoint)];
}

}

Host host(Endpoint endpoint)
{
    return row(endpoint).host;
}

AccessTokenScope tokenScope(Endpoint endpoint)
{
    return row(endpoint).scope;
}

bool sendsDeviceParameters(Endpoint endpoint)
{
    const Host kind = host(endpoint);
    return kind == Host::DialerGateway || kind == Host::FusionAuth;
}

QString caseName(Endpoint endpoint)
{
    return QString::fromLatin1(row(endpoint).name);
}
