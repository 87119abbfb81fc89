#include "TokenResponse.h"

#include "JsonFields.h"

std::optional<TokenResponse> TokenResponse::fromJson(const QJsonObject& object)
{
    QJsonObject header;
    QJsonObject body;
    if (!JsonFields::requiredObject(object, QLatin1StringView("header"), header)
        || !JsonFields::requiredObject(object, QLatin1StringView("body"), body))
        return std::nullopt;
    auto decodedHeader = ResponseMessage::fromJson(header);
    auto decodedBody = AuthToken::fromJson(body);
    if (!decodedHeader || !decodedBody)
        return std::nullopt;
    return TokenResponse{std::move(*decodedHeader), std::move(*decodedBody)};
}

QJsonObject TokenResponse::toJson() const
{
    return QJsonObject{{QStringLiteral("header"), header.toJson()}, {QStringLiteral("body"), body.toJson()}};
}

QStringList TokenResponse::codingKeys()
{
    return {QStringLiteral("header"), QStringLiteral("body")};
}
