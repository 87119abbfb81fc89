#include "AuthToken.h"

#include "JsonFields.h"

std::optional<AuthToken> AuthToken::fromJson(const QJsonObject& object)
{
    AuthToken value;
    if (!JsonFields::optionalString(object, QLatin1StringView("code"), value.code))
        return std::nullopt;
    return value;
}

QJsonObject AuthToken::toJson() const
{
    QJsonObject object;
    if (code)
        object.insert(QStringLiteral("code"), *code);
    return object;
}

QStringList AuthToken::codingKeys()
{
    return {QStringLiteral("code")};
}
