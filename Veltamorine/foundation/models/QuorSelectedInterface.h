#pragma once

#include "RawValue.h"

// The control that started a connection.
// Quor (vpn) exposes it as Quor::SelectedInterface. Raw values equal the case names.
enum class QuorSelectedInterface {
    Recent,
    Favorite,
    SmartConnect,
    Search,
    Recommended,
    List,
    DedicatedIp,
    SwitchServer,
    Deeplink,
    Popup,
    Button,
    Support,
};

template <>
struct RawTexts<QuorSelectedInterface> {
    static constexpr std::array<std::u16string_view, 12> texts{
        u"Recent", u"Favorite", u"SmartConnect", u"Search", u"Recommended", u"List", u"DedicatedIp",
        u"SwitchServer", u"Deeplink", u"Popup", u"Button", u"Support"};
};
