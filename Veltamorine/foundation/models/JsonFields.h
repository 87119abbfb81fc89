#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <optional>

// Strict readers for JSON models. A required field fails on a missing key, a null or a value of
// another JSON type; an optional field reads a missing key or null as absent and still fails on a
// value of another type. Each reader returns false on failure and leaves `out` untouched then.
namespace JsonFields {

// Integers must be JSON numbers without a fractional part that fit a signed 64-bit integer.
bool integer(const QJsonValue& value, qint64& out);

bool requiredString(const QJsonObject& object, QLatin1StringView key, QString& out);
bool requiredInteger(const QJsonObject& object, QLatin1StringView key, qint64& out);
bool requiredBool(const QJsonObject& object, QLatin1StringView key, bool& out);
bool requiredDouble(const QJsonObject& object, QLatin1StringView key, double& out);
bool requiredObject(const QJsonObject& object, QLatin1StringView key, QJsonObject& out);
bool requiredArray(const QJsonObject& object, QLatin1StringView key, QJsonArray& out);

bool optionalString(const QJsonObject& object, QLatin1StringView key, std::optional<QString>& out);
bool optionalInteger(const QJsonObject& object, QLatin1StringView key, std::optional<qint64>& out);
bool optionalBool(const QJsonObject& object, QLatin1StringView key, std::optional<bool>& out);
bool optionalObject(const QJsonObject& object, QLatin1StringView key, std::optional<QJsonObject>& out);
bool optionalArray(const QJsonObject& object, QLatin1StringView key, std::optional<QJsonArray>& out);

// Decodes every element of `array` with `decode` (a function JSON object -> std::optional<T>);
// the whole list fails when one element is not an object or does not decode.
template <typename T, typename Decode>
std::optional<QList<T>> decodeList(const QJsonArray& array, Decode decode)
{
    QList<T> list;
    list.reserve(array.size());
    for (const QJsonValue& element : array) {
        if (!element.isObject())
            return std::nullopt;
        std::optional<T> item = decode(element.toObject());
        if (!item)
            return std::nullopt;
        list.append(std::move(*item));
    }
    return list;
}

template <typename T>
QJsonArray encodeList(const QList<T>& list)
{
    QJsonArray array;
    for (const T& item : list)
        array.append(item.toJson());
    return array;
}

}
