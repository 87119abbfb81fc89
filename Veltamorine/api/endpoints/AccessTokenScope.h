#pragma once

#include "RawValue.h"

#include <QHashFunctions>

// The token scope a request is sent with. The raw value also names the keychain item of the
// access token renewed for that scope.
enum class AccessTokenScope { User, Authorization, Payment, Device, FAUser, None };

template <>
struct RawTexts<AccessTokenScope> {
    static constexpr std::array<std::u16string_view, 6> texts{
        u"dialer-api/user",
        u"dialer-api/authorization",
        u"dialer-api/payment",
        u"dialer-api/device",
        u"user",
        u"",
    };
};

// Scopes hash as their raw text.
inline size_t qHash(AccessTokenScope scope, size_t seed = 0)
{
    return qHash(toRaw(scope), seed);
}
