#include "QuorCity.h"

#include "QuorJson.h"

std::optional<QuorCity> QuorCity::fromJson(const QJsonObject& object)
{
    QuorCity city;
    std::optional<qint64> latency;
    if (!QuorJson::requiredInt(object, "city_id", city.cityId)
        || !QuorJson::optionalString(object, "name", city.name)
        || !QuorJson::optionalString(object, "country", city.country)
        || !QuorJson::optionalList(object, "data_centers", city.data_centers)
        || !QuorJson::optionalInt(object, "latency", latency))
        return std::nullopt;
    city.latency = latency.value_or(0);
    return city;
}

QJsonObject QuorCity::toJson() const
{
    QJsonObject o;
    o.insert(QStringLiteral("city_id"), cityId);
    QuorJson::putString(o, "name", name);
    QuorJson::putString(o, "country", country);
    if (data_centers)
        o.insert(QStringLiteral("data_centers"), QuorJson::toArray(*data_centers));
    o.insert(QStringLiteral("latency"), latency);
    return o;
}
