#include "UserAuthenticationMigrateToEmailResponseModel.h"

#include <QJsonValue>

std::optional<UserAuthenticationMigrateToEmailResponseModel> UserAuthenticationMigrateToEmailResponseModel::fromJson(const QJsonObject& object)
{
    UserAuthenticationMigrateToEmailResponseModel model;
    const QJsonValue value = object.value(QLatin1StringView("migrated"));
    if (value.isString())
        model.migrated = value.toString();
    else if (!value.isUndefined() && !value.isNull())
        return std::nullopt;
    return model;
}

QJsonObject UserAuthenticationMigrateToEmailResponseModel::toJson() const
{
    QJsonObject object;
    if (migrated)
        object.insert(QStringLiteral("migrated"), *migrated);
    return object;
}
