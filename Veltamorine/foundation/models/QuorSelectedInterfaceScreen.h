#pragma once

#include "RawValue.h"

// The screen a connection was started from. None is a case of its own, not the absence of a value.
// Quor (vpn) exposes it as Quor::SelectedInterfaceScreen. Raw values equal the case names.
enum class QuorSelectedInterfaceScreen {
    Topbar,
    Dashboard,
    Location,
    ConnectionProtocol,
    Support,
    None,
};

template <>
struct RawTexts<QuorSelectedInterfaceScreen> {
    static constexpr std::array<std::u16string_view, 6> texts{
        u"Topbar", u"Dashboard", u"Location", u"ConnectionProtocol", u"Support", u"None"};
};
