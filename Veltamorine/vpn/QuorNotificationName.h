#pragma once

#include "RawValue.h"

// The engine's notifications on the default centre; the raw value is the notification name.
// Quor exposes it as Quor::NotificationName.
enum class QuorNotificationName {
    QuorVPNConnectionRequestedNotification,  // object: the target row (QuorDataFetcherServer::Ptr)
    QuorVPNStateNotification,                // object: a Quor::ConnectionInfo
    QuorSDKInitialized,                      // no object
    QuorManagerTransmittedPackets,           // object: a Quor::DataTransmission
    ExtensionStatusChanged,                  // object: a Bool, or none after a completed activation
    ConnectionEstablished,                   // no object
};

template <>
struct RawTexts<QuorNotificationName> {
    static constexpr std::array<std::u16string_view, 6> texts{
        u"QuorVPNConnectionRequestedNotification", u"QuorVPNStateNotification", u"QuorSDKInitialized",
        u"QuorManagerTransmittedPackets", u"ExtensionStatusChanged", u"ConnectionEstablished"};
};
