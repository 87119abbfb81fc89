#include "GenericReponseWithHeader.h"

#include "JsonFields.h"

std::optional<GenericReponseWithHeader> GenericReponseWithHeader::fromJson(const QJsonObject& object)
{
    QJsonObject header;
    GenericReponseWithHeader value;
    if (!JsonFields::requiredObject(object, QLatin1StringView("header"), header)
        || !JsonFields::optionalString(object, QLatin1StringView("body"), value.body))
        return std::nullopt;
    auto decodedHeader = ResponseMessage::fromJson(header);
    if (!decodedHeader)
        return std::nullopt;
    value.header = std::move(*decodedHeader);
    return value;
}

QJsonObject GenericReponseWithHeader::toJson() const
{
    QJsonObject object{{QStringLiteral("header"), header.toJson()}};
    if (body)
        object.insert(QStringLiteral("body"), *body);
    return object;
}

QStringList GenericReponseWithHeader::codingKeys()
{
    return {QStringLiteral("header"), QStringLiteral("body")};
}
