#include "JsonFields.h"

namespace JsonFields {

namespace {

// A key that is missing or holds null counts as absent for optional fields.
bool absent(const QJsonValue& value)
{
    return value.isUndefined() || value.isNull();
}

}

bool integer(const QJsonValue& value, qint64& out)
{
    if (!value.isDouble())
        return false;
    // toInteger gives the default for fractions and out-of-range numbers; two defaults tell them apart.
    const qint64 a = value.toInteger(0);
    const qint64 b = value.toInteger(1);
    if (a != b)
        return false;
    out = a;
    return true;
}

bool requiredString(const QJsonObject& object, QLatin1StringView key, QString& out)
{
    const QJsonValue value = object.value(key);
    if (!value.isString())
        return false;
    out = value.toString();
    return true;
}

bool requiredInteger(const QJsonObject& object, QLatin1StringView key, qint64& out)
{
    return integer(object.value(key), out);
}

bool requiredBool(const QJsonObject& object, QLatin1StringView key, bool& out)
{
    const QJsonValue value = object.value(key);
    if (!value.isBool())
        return false;
    out = value.toBool();
    return true;
}

bool requiredDouble(const QJsonObject& object, QLatin1StringView key, double& out)
{
    const QJsonValue value = object.value(key);
    if (!value.isDouble())
        return false;
    out = value.toDouble();
    return true;
}

bool requiredObject(const QJsonObject& object, QLatin1StringView key, QJsonObject& out)
{
    const QJsonValue value = object.value(key);
    if (!value.isObject())
        return false;
    out = value.toObject();
    return true;
}

bool requiredArray(const QJsonObject& object, QLatin1StringView key, QJsonArray& out)
{
    const QJsonValue value = object.value(key);
    if (!value.isArray())
        return false;
    out = value.toArray();
    return true;
}

bool optionalString(const QJsonObject& object, QLatin1StringView key, std::optional<QString>& out)
{
    const QJsonValue value = object.value(key);
    if (absent(value)) {
        out.reset();
        return true;
    }
    if (!value.isString())
        return false;
    out = value.toString();
    return true;
}

bool optionalInteger(const QJsonObject& object, QLatin1StringView key, std::optional<qint64>& out)
{
    const QJsonValue value = object.value(key);
    if (absent(value)) {
        out.reset();
        return true;
    }
    qint64 number = 0;
    if (!integer(value, number))
        return false;
    out = number;
    return true;
}

bool optionalBool(const QJsonObject& object, QLatin1StringView key, std::optional<bool>& out)
{
    const QJsonValue value = object.value(key);
    if (absent(value)) {
        out.reset();
        return true;
    }
    if (!value.isBool())
        return false;
    out = value.toBool();
    return true;
}

bool optionalObject(const QJsonObject& object, QLatin1StringView key, std::optional<QJsonObject>& out)
{
    const QJsonValue value = object.value(key);
    if (absent(value)) {
        out.reset();
        return true;
    }
    if (!value.isObject())
        return false;
    out = value.toObject();
    return true;
}

bool optionalArray(const QJsonObject& object, QLatin1StringView key, std::optional<QJsonArray>& out)
{
    const QJsonValue value = object.value(key);
    if (absent(value)) {
        out.reset();
        return true;
    }
    if (!value.isArray())
        return false;
    out = value.toArray();
    return true;
}

void putString(QJsonObject& object, QLatin1StringView key, const std::optional<QString>& value)
{
    if (value)
        object.insert(key, *value);
}

}
