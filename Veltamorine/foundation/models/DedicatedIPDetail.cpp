#include "DedicatedIPDetail.h"

#include "JsonFields.h"

using namespace JsonFields;

std::optional<DedicatedIPDetail> DedicatedIPDetail::fromJson(const QJsonObject& object)
{
    DedicatedIPDetail detail;
    QJsonArray hosts;
    if (!requiredString(object, QLatin1StringView("ip"), detail.ip)
        || !requiredString(object, QLatin1StringView("iso"), detail.iso)
        || !requiredArray(object, QLatin1StringView("hosts"), hosts))
        return std::nullopt;
    std::optional<QList<DedicatedIPHost>> list = decodeList<DedicatedIPHost>(hosts, &DedicatedIPHost::fromJson);
    if (!list)
        return std::nullopt;
    detail.hosts = std::move(*list);
    return detail;
}

QJsonObject DedicatedIPDetail::toJson() const
{
    return QJsonObject{
        {QStringLiteral("ip"), ip},
        {QStringLiteral("iso"), iso},
        {QStringLiteral("hosts"), encodeList(hosts)},
    };
}
