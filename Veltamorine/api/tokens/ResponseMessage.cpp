#include "ResponseMessage.h"

#include "JsonFields.h"

std::optional<ResponseMessage> ResponseMessage::fromJson(const QJsonObject& object)
{
    ResponseMessage value;
    if (!JsonFields::requiredInteger(object, QLatin1StringView("response_code"), value.code)
        || !JsonFields::requiredString(object, QLatin1StringView("message"), value.message))
        return std::nullopt;
    return value;
}

QJsonObject ResponseMessage::toJson() const
{
    return QJsonObject{{QStringLiteral("response_code"), code}, {QStringLiteral("message"), message}};
}

QStringList ResponseMessage::codingKeys()
{
    return {QStringLiteral("response_code"), QStringLiteral("message")};
}
