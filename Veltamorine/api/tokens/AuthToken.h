#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <optional>

// The body of the sign-in code exchange and of the token refresh: the token set, encrypted,
// as Base64 text.
struct AuthToken {
    std::optional<QString> code;  // "code"

    static std::optional<AuthToken> fromJson(const QJsonObject& object);
    QJsonObject toJson() const;
    static QStringList codingKeys();
};
