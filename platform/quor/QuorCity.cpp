#include "QuorCity.h"

#include "JsonFields.h"

std::optional<QuorCity> QuorCity::fromJson(const QJsonObject& object)
{
    QuorCity city;
    std::optional<qint64> latency;
    if (!JsonFields::requiredInteger(object, QLatin1StringView("city_id"), city.cityId)
        || !JsonFields::optionalString(object, QLatin1StringView("name"), city.name)
        || !JsonFields::optionalString(object, QLatin1StringView("country"), city.country)
        || !JsonFields::optionalList(object, QLatin1StringView("data_centers"), city.data_centers)
        || !JsonFields::optionalInteger(object, QLatin1StringView("latency"), latency))
        return std::nullopt;
    city.latency = latency.value_or(0);
    return city;
}

QJsonObject QuorCity::toJson() const
{
    QJsonObject o;
    o.insert(QStringLiteral("city_id"), cityId);
    JsonFields::putString(o, QLatin1StringView("name"), name);
    JsonFields::putString(o, QLatin1StringView("country"), country);
    if (data_centers)
        o.insert(QStringLiteral("data_centers"), JsonFields::encodeList(*data_centers));
    o.insert(QStringLiteral("latency"), latency);
    return o;
}
