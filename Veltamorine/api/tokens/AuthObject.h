#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <optional>

// The bearer-token set as the server sends it (inside an encrypted AuthToken code). Every
// field may be absent.
struct AuthObject {
    std::optional<QString> accessToken;        // "oem-at"
    std::optional<QString> refreshToken;       // "oem-rt"
    std::optional<QString> tokenType;          // "oem-type"
    std::optional<qint64> accessTokenExpiry;   // "oem-ate", seconds
    std::optional<qint64> refreshTokenExpiry;  // "oem-rte", seconds
    std::optional<QString> customerId;         // "customer_id"

    static std::optional<AuthObject> fromJson(const QJsonObject& object);
    QJsonObject toJson() const;
    static QStringList codingKeys();
};
