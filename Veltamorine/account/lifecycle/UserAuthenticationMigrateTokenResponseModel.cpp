#include "UserAuthenticationMigrateTokenResponseModel.h"

#include "JsonFields.h"

std::optional<UserAuthenticationMigrateTokenResponseModel> UserAuthenticationMigrateTokenResponseModel::fromJson(const QJsonObject& object)
{
    UserAuthenticationMigrateTokenResponseModel model;
    if (!JsonFields::requiredString(object, QLatin1StringView("token"), model.token)
        || !JsonFields::requiredString(object, QLatin1StringView("refreshToken"), model.refreshToken))
        return std::nullopt;
    return model;
}

QJsonObject UserAuthenticationMigrateTokenResponseModel::toJson() const
{
    return QJsonObject{{QStringLiteral("token"), token}, {QStringLiteral("refreshToken"), refreshToken}};
}
