#include "AuthObject.h"

#include "JsonFields.h"

std::optional<AuthObject> AuthObject::fromJson(const QJsonObject& object)
{
    using namespace JsonFields;
    AuthObject value;
    if (!optionalString(object, QLatin1StringView("oem-at"), value.accessToken)
        || !optionalString(object, QLatin1StringView("oem-rt"), value.refreshToken)
        || !optionalString(object, QLatin1StringView("oem-type"), value.tokenType)
        || !optionalInteger(object, QLatin1StringView("oem-ate"), value.accessTokenExpiry)
        || !optionalInteger(object, QLatin1StringView("oem-rte"), value.refreshTokenExpiry)
        || !optionalString(object, QLatin1StringView("customer_id"), value.customerId))
        return std::nullopt;
    return value;
}

QJsonObject AuthObject::toJson() const
{
    QJsonObject object;
    if (accessToken)
        object.insert(QStringLiteral("oem-at"), *accessToken);
    if (refreshToken)
        object.insert(QStringLiteral("oem-rt"), *refreshToken);
    if (tokenType)
        object.insert(QStringLiteral("oem-type"), *tokenType);
    if (accessTokenExpiry)
        object.insert(QStringLiteral("oem-ate"), *accessTokenExpiry);
    if (refreshTokenExpiry)
        object.insert(QStringLiteral("oem-rte"), *refreshTokenExpiry);
    if (customerId)
        object.insert(QStringLiteral("customer_id"), *customerId);
    return object;
}

QStringList AuthObject::codingKeys()
{
    return {QStringLiteral("oem-at"), QStringLiteral("oem-rt"), QStringLiteral("oem-type"), QStringLiteral("oem-ate"),
        QStringLiteral("oem-rte"), QStringLiteral("customer_id")};
}
