#include "DedicatedIPHost.h"

#include "JsonFields.h"

using namespace JsonFields;

std::optional<DedicatedIPHost> DedicatedIPHost::fromJson(const QJsonObject& object)
{
    DedicatedIPHost host;
    if (!requiredString(object, QLatin1StringView("dns"), host.dns)
        || !requiredString(object, QLatin1StringView("protocol"), host.serverProtocol)
        || !requiredString(object, QLatin1StringView("server_type"), host.serverType)
        || !requiredString(object, QLatin1StringView("port_number"), host.portNumber))
        return std::nullopt;
    return host;
}

QJsonObject DedicatedIPHost::toJson() const
{
    return QJsonObject{
        {QStringLiteral("dns"), dns},
        {QStringLiteral("protocol"), serverProtocol},
        {QStringLiteral("server_type"), serverType},
        {QStringLiteral("port_number"), portNumber},
    };
}
