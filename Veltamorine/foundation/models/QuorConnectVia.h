#pragma once

#include "RawValue.h"

// The kind of target a connection goes to; the case number is also the kind number of the connect routine.
// Quor (vpn) exposes it as Quor::ConnectVia. Raw values equal the case names.
enum class QuorConnectVia {
    SmartConnect,
    Country,
    City,
    DedicatedIp,
    Shortcut,
};

template <>
struct RawTexts<QuorConnectVia> {
    static constexpr std::array<std::u16string_view, 5> texts{
        u"SmartConnect", u"Country", u"City", u"DedicatedIp", u"Shortcut"};
};
