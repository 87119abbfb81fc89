#pragma once

#include <QJsonObject>
#include <optional>

// The generic reply wrapper {"body": T} of the replies decoded without the API envelope.
// T is a JSON model with fromJson/toJson over an object.
template <typename T>
struct HttpResponseModel {
    T body;

    static std::optional<HttpResponseModel> fromJson(const QJsonObject& object)
    {
        const QJsonValue value = object.value(QLatin1StringView("body"));
        if (!value.isObject())
            return std::nullopt;
        std::optional<T> body = T::fromJson(value.toObject());
        if (!body)
            return std::nullopt;
        return HttpResponseModel{std::move(*body)};
    }

    QJsonObject toJson() const { return QJsonObject{{QStringLiteral("body"), body.toJson()}}; }
};
