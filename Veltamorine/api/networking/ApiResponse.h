#pragma once

#include "ApiError.h"
#include "DecodingError.h"
#include "Error.h"
#include "Host.h"
#include "HttpResponseModel.h"
#include "JsonFields.h"

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <concepts>
#include <expected>
#include <optional>

// A reply model: a JSON object model with a strict fromJson.
template <typename T>
concept ResponseModel = requires(const QJsonObject& object) {
    { T::fromJson(object) } -> std::same_as<std::optional<T>>;
};

// The JSON keys of a reply model, used to tell an empty body object ("no body") from a body
// that is there but does not fit. Models list them in `static QStringList codingKeys()`; a
// model that lists none counts every member as one of its keys.
template <typename T>
struct EmptyObjectRepresentable {
    static bool holdsAnyKey(const QJsonObject& object)
    {
        if constexpr (requires { { T::codingKeys() } -> std::convertible_to<QStringList>; }) {
            const QStringList keys = T::codingKeys();
            for (const QString& key : keys) {
                if (object.contains(key))
                    return true;
            }
            return false;
        } else {
            return !object.isEmpty();
        }
    }
};

template <typename T>
struct EmptyObjectRepresentable<HttpResponseModel<T>> {
    static bool holdsAnyKey(const QJsonObject& object) { return object.contains(QLatin1StringView("body")); }
};

// The outer error is a raised decoding failure; the inner result is the value or the server's
// refusal.
template <typename T>
using DecodeResult = std::expected<std::expected<T, Error>, Error>;

// The envelope of the API gateway's replies: {"header": {"response_code", "message"}, "body"}.
template <ResponseModel T>
struct ApiResponse {
    struct Header {
        qint64 responseCode = 0;
        QString message;
    };

    Header header;
    std::optional<T> body;

    // The envelope of `data`. The header is required; a "body" member must be an object. A body
    // object that fails to decode counts as no body when it holds none of T's keys, and is a
    // decoding failure otherwise.
    static std::expected<ApiResponse, Error> decode(const QByteArray& data)
    {
        QJsonParseError parseError;
        const QJsonDocument document = QJsonDocument::fromJson(data, &parseError);
        if (parseError.error != QJsonParseError::NoError || !document.isObject())
            return std::unexpected(DecodingError::make(QStringLiteral("reply is not a JSON object")));
        const QJsonObject object = document.object();
        QJsonObject headerObject;
        if (!JsonFields::requiredObject(object, QLatin1StringView("header"), headerObject))
            return std::unexpected(DecodingError::make(QStringLiteral("header")));
        ApiResponse response;
        if (!JsonFields::requiredInteger(headerObject, QLatin1StringView("response_code"), response.header.responseCode))
            return std::unexpected(DecodingError::make(QStringLiteral("header.response_code")));
        if (!JsonFields::requiredString(headerObject, QLatin1StringView("message"), response.header.message))
            return std::unexpected(DecodingError::make(QStringLiteral("header.message")));
        if (!object.contains(QLatin1StringView("body")))
            return response;
        const QJsonValue bodyValue = object.value(QLatin1StringView("body"));
        if (!bodyValue.isObject())
            return std::unexpected(DecodingError::make(QStringLiteral("body is not an object")));
        const QJsonObject bodyObject = bodyValue.toObject();
        response.body = T::fromJson(bodyObject);
        if (!response.body && EmptyObjectRepresentable<T>::holdsAnyKey(bodyObject))
            return std::unexpected(DecodingError::make(QStringLiteral("body")));
        return response;
    }
};

namespace ReplyDecoding {

// The gateway's rule: a response code other than 200 is the server's refusal (returned, not
// raised); 200 with a body gives the body; 200 without one raises the empty-success error.
template <ResponseModel T>
DecodeResult<T> decodeResponse(const QByteArray& data)
{
    auto envelope = ApiResponse<T>::decode(data);
    if (!envelope)
        return std::unexpected(envelope.error());
    if (envelope->header.responseCode != 200)
        return std::expected<T, Error>(std::unexpected(ApiError::serverRefusal(envelope->header.responseCode, envelope->header.message)));
    if (!envelope->body)
        return std::unexpected(ApiError::emptySuccess());
    return std::expected<T, Error>(std::move(*envelope->body));
}

// The whole reply as T, without an envelope.
template <ResponseModel T>
DecodeResult<T> decodeBare(const QByteArray& data)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(data, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        return std::unexpected(DecodingError::make(QStringLiteral("reply is not a JSON object")));
    std::optional<T> value = T::fromJson(document.object());
    if (!value)
        return std::unexpected(DecodingError::make(QStringLiteral("reply does not fit the expected model")));
    return std::expected<T, Error>(std::move(*value));
}

// The server's refusal when `data` is an envelope whose header carries a response code other
// than 200: how the identity side of the backend answers a request it turns down, even on
// endpoints whose successful replies come without the envelope. None for anything else.
inline std::optional<Error> envelopeRefusal(const QByteArray& data)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(data, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    QJsonObject header;
    qint64 responseCode = 0;
    QString message;
    if (!JsonFields::requiredObject(document.object(), QLatin1StringView("header"), header)
        || !JsonFields::requiredInteger(header, QLatin1StringView("response_code"), responseCode)
        || !JsonFields::requiredString(header, QLatin1StringView("message"), message) || responseCode == 200)
        return std::nullopt;
    return ApiError::serverRefusal(responseCode, message);
}

// Gateway replies through the envelope, every other host kind bare.
template <ResponseModel T>
DecodeResult<T> decodeByHost(const QByteArray& data, Host host)
{
    return host == Host::DialerGateway ? decodeResponse<T>(data) : decodeBare<T>(data);
}

}
