#include "QuorDatacenters.h"

#include "JsonFields.h"

std::optional<QuorDatacenters> QuorDatacenters::fromJson(const QJsonObject& object)
{
    QuorDatacenters dc;
    std::optional<qint64> latency;
    if (!JsonFields::requiredInteger(object, QLatin1StringView("data_center_id"), dc.dataCenterId)
        || !JsonFields::optionalInteger(object, QLatin1StringView("latency"), latency)
        || !JsonFields::optionalString(object, QLatin1StringView("ip"), dc.ip)
        || !JsonFields::optionalString(object, QLatin1StringView("hostname"), dc.hostname)
        || !JsonFields::optionalString(object, QLatin1StringView("nas_identifier"), dc.nasIdentifier))
        return std::nullopt;
    dc.latency = latency.value_or(0);
    return dc;
}

QJsonObject QuorDatacenters::toJson() const
{
    QJsonObject o;
    o.insert(QStringLiteral("data_center_id"), dataCenterId);
    o.insert(QStringLiteral("latency"), latency);
    JsonFields::putString(o, QLatin1StringView("ip"), ip);
    JsonFields::putString(o, QLatin1StringView("hostname"), hostname);
    JsonFields::putString(o, QLatin1StringView("nas_identifier"), nasIdentifier);
    return o;
}
