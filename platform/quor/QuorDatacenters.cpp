#include "QuorDatacenters.h"

#include "QuorJson.h"

std::optional<QuorDatacenters> QuorDatacenters::fromJson(const QJsonObject& object)
{
    QuorDatacenters dc;
    std::optional<qint64> latency;
    if (!QuorJson::requiredInt(object, "data_center_id", dc.dataCenterId)
        || !QuorJson::optionalInt(object, "latency", latency)
        || !QuorJson::optionalString(object, "ip", dc.ip)
        || !QuorJson::optionalString(object, "hostname", dc.hostname)
        || !QuorJson::optionalString(object, "nas_identifier", dc.nasIdentifier))
        return std::nullopt;
    dc.latency = latency.value_or(0);
    return dc;
}

QJsonObject QuorDatacenters::toJson() const
{
    QJsonObject o;
    o.insert(QStringLiteral("data_center_id"), dataCenterId);
    o.insert(QStringLiteral("latency"), latency);
    QuorJson::putString(o, "ip", ip);
    QuorJson::putString(o, "hostname", hostname);
    QuorJson::putString(o, "nas_identifier", nasIdentifier);
    return o;
}
