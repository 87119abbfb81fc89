#pragma once

#include <QJsonObject>
#include <QStringList>
#include <optional>

// The reply of the e-mail migration. "migrated" is not consulted: the outcome is judged by the
// stored accounts.
struct UserAuthenticationMigrateToEmailResponseModel {
    std::optional<QString> migrated;  // "migrated", may be absent or null

    static std::optional<UserAuthenticationMigrateToEmailResponseModel> fromJson(const QJsonObject& object);
    QJsonObject toJson() const;
    static QStringList codingKeys() { return {QStringLiteral("migrated")}; }
};
