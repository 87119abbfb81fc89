#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <cmath>
#include <optional>

// Strict readers for the SDK's JSON forms: a present value of the wrong type fails the whole
// object; optional values may be absent or null.
namespace QuorJson {

inline bool isInteger(const QJsonValue& v)
{
    if (!v.isDouble())
        return false;
    const double d = v.toDouble();
    return std::isfinite(d) && std::floor(d) == d && std::fabs(d) <= 9007199254740992.0;
}

inline bool requiredInt(const QJsonObject& o, const char* key, qint64& out)
{
    const QJsonValue v = o.value(QLatin1String(key));
    if (!isInteger(v))
        return false;
    out = static_cast<qint64>(v.toDouble());
    return true;
}

inline bool optionalInt(const QJsonObject& o, const char* key, std::optional<qint64>& out)
{
    const QJsonValue v = o.value(QLatin1String(key));
    if (v.isUndefined() || v.isNull()) {
        out.reset();
        return true;
    }
    if (!isInteger(v))
        return false;
    out = static_cast<qint64>(v.toDouble());
    return true;
}

inline bool optionalString(const QJsonObject& o, const char* key, std::optional<QString>& out)
{
    const QJsonValue v = o.value(QLatin1String(key));
    if (v.isUndefined() || v.isNull()) {
        out.reset();
        return true;
    }
    if (!v.isString())
        return false;
    out = v.toString();
    return true;
}

inline bool optionalBool(const QJsonObject& o, const char* key, std::optional<bool>& out)
{
    const QJsonValue v = o.value(QLatin1String(key));
    if (v.isUndefined() || v.isNull()) {
        out.reset();
        return true;
    }
    if (!v.isBool())
        return false;
    out = v.toBool();
    return true;
}

// A list of objects decoded with T::fromJson; one bad element fails the list.
template <class T>
bool optionalList(const QJsonObject& o, const char* key, std::optional<QList<T>>& out)
{
    const QJsonValue v = o.value(QLatin1String(key));
    if (v.isUndefined() || v.isNull()) {
        out.reset();
        return true;
    }
    if (!v.isArray())
        return false;
    QList<T> list;
    const QJsonArray array = v.toArray();
    list.reserve(array.size());
    for (const QJsonValue& element : array) {
        if (!element.isObject())
            return false;
        std::optional<T> item = T::fromJson(element.toObject());
        if (!item)
            return false;
        list.append(std::move(*item));
    }
    out = std::move(list);
    return true;
}

template <class T>
QJsonArray toArray(const QList<T>& list)
{
    QJsonArray array;
    for (const T& item : list)
        array.append(item.toJson());
    return array;
}

inline void putString(QJsonObject& o, const char* key, const std::optional<QString>& value)
{
    if (value)
        o.insert(QLatin1String(key), *value);
}

}
