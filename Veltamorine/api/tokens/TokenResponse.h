#pragma once

#include "AuthToken.h"
#include "ResponseMessage.h"

// The reply of the token refresh, read as it comes (not through the general envelope).
struct TokenResponse {
    ResponseMessage header;  // "header"
    AuthToken body;          // "body"

    static std::optional<TokenResponse> fromJson(const QJsonObject& object);
    QJsonObject toJson() const;
    static QStringList codingKeys();
};
