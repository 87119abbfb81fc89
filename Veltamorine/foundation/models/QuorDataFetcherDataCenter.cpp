#include "QuorDataFetcherDataCenter.h"

#include "JsonFields.h"

using namespace JsonFields;

std::optional<QuorDataFetcherDataCenter> QuorDataFetcherDataCenter::fromJson(const QJsonObject& object)
{
    QuorDataFetcherDataCenter center;
    if (!requiredInteger(object, QLatin1StringView("id"), center.id)
        || !requiredInteger(object, QLatin1StringView("latency"), center.latency)
        || !optionalString(object, QLatin1StringView("ip"), center.ip)
        || !optionalString(object, QLatin1StringView("hostname"), center.hostname))
        return std::nullopt;
    return center;
}

QJsonObject QuorDataFetcherDataCenter::toJson() const
{
    QJsonObject object{{QStringLiteral("id"), id}, {QStringLiteral("latency"), latency}};
    if (ip)
        object.insert(QStringLiteral("ip"), *ip);
    if (hostname)
        object.insert(QStringLiteral("hostname"), *hostname);
    return object;
}
