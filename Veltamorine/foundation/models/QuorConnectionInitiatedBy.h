#pragma once

#include "RawValue.h"

// Who started a connection.
// Quor (vpn) exposes it as Quor::ConnectionInitiatedBy. Raw values equal the case names.
enum class QuorConnectionInitiatedBy {
    AutoReconnect,
    AutoConnectOnLaunch,
    User,
};

template <>
struct RawTexts<QuorConnectionInitiatedBy> {
    static constexpr std::array<std::u16string_view, 3> texts{
        u"AutoReconnect", u"AutoConnectOnLaunch", u"User"};
};
