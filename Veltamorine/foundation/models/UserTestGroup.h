#pragma once

#include "RawValue.h"

// The A/B test group of a VPN user. PreservedPreferences exposes it as PreservedPreferences::UserTestGroup.
enum class UserTestGroup {
    GroupA,
    GroupB,
};

template <>
struct RawTexts<UserTestGroup> {
    static constexpr std::array<std::u16string_view, 2> texts{u"GroupA", u"GroupB"};
};
