#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <optional>

// Strict readers for JSON models. A required field fails on a missing key, a null or a value of
// another JSON type; an optional field reads a missing key or null as absent and still fails on a
// value of another type. Each reader returns false on failure and leaves `out` untouched then.
namespace JsonFields {

// Integers must be JSON numbers without a fractional part that fit a signed 64-bit integer. The
// value is read exactly: an integer beyond 2^53 is not rounded through a double on the way.
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

// An optional list of objects decoded with T::fromJson; one element that is not an object or does
// not decode fails the whole field.
template <typename T>
bool optionalList(const QJsonObject& object, QLatin1StringView key, std::optional<QList<T>>& out)
{
    std::optional<QJsonArray> array;
    if (!optionalArray(object, key, array))
        return false;
    if (!array) {
        out.reset();
        return true;
    }
    std::optional<QList<T>> list = decodeList<T>(*array, &T::fromJson);
    if (!list)
        return false;
    out = std::move(list);
    return true;
}

// Writes an optional string only when it is present, so that absent stays absent in the JSON.
void putString(QJsonObject& object, QLatin1StringView key, const std::optional<QString>& value);

template <typename T>
QJsonArray encodeList(const QList<T>& list)
{
    QJsonArray array;
    for (const T& item : list)
        array.append(item.toJson());
    return array;
}

}
