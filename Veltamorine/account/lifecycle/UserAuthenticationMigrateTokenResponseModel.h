#pragma once

#include <QJsonObject>
#include <QStringList>
#include <optional>

// The reply of the token migration: the identity service's token pair for a legacy sign-in.
struct UserAuthenticationMigrateTokenResponseModel {
    QString token;         // "token"
    QString refreshToken;  // "refreshToken"

    // Both keys required, both text.
    static std::optional<UserAuthenticationMigrateTokenResponseModel> fromJson(const QJsonObject& object);
    QJsonObject toJson() const;
    static QStringList codingKeys() { return {QStringLiteral("token"), QStringLiteral("refreshToken")}; }
};
