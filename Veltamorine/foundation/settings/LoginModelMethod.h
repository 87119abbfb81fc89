#pragma once

#include "RawValue.h"

// How an account signs in. LoginModel (account) exposes it as LoginModel::Method; the account
// store needs it for the member-area link.
enum class LoginModelMethod {
    Username,
    Email,
};

template <>
struct RawTexts<LoginModelMethod> {
    static constexpr std::array<std::u16string_view, 2> texts{u"username", u"email"};
};
