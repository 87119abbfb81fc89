#include "QuorCountry.h"

#include "QuorJson.h"

#include <QJsonDocument>

std::optional<QuorCountry> QuorCountry::fromJson(const QJsonObject& object)
{
    QuorCountry c;
    std::optional<qint64> latency;
    if (!QuorJson::optionalString(object, "country", c.country)
        || !QuorJson::optionalString(object, "name", c.name)
        || !QuorJson::optionalString(object, "iso_code", c.iso_code)
        || !QuorJson::optionalList(object, "data_centers", c.dataCenters)
        || !QuorJson::optionalList(object, "cities", c.cities)
        || !QuorJson::optionalList(object, "protocols", c.protocols)
        || !QuorJson::optionalInt(object, "latency", latency))
        return std::nullopt;
    c.latency = latency.value_or(0);
    return c;
}

QJsonObject QuorCountry::toJson() const
{
    QJsonObject o;
    QuorJson::putString(o, "country", country);
    QuorJson::putString(o, "name", name);
    QuorJson::putString(o, "iso_code", iso_code);
    if (dataCenters)
        o.insert(QStringLiteral("data_centers"), QuorJson::toArray(*dataCenters));
    if (cities)
        o.insert(QStringLiteral("cities"), QuorJson::toArray(*cities));
    if (protocols)
        o.insert(QStringLiteral("protocols"), QuorJson::toArray(*protocols));
    o.insert(QStringLiteral("latency"), latency);
    return o;
}

QByteArray QuorCountry::toJsonData() const
{
    return QJsonDocument(toJson()).toJson(QJsonDocument::Compact);
}

std::optional<QuorCountry> QuorCountry::fromJsonData(const QByteArray& data)
{
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    return fromJson(doc.object());
}

bool QuorCountry::supportsProtocolNamed(const QString& protocolName) const
{
    if (!protocols)
        return false;
    for (const QuorProtocol& p : *protocols) {
        if (p.name() == protocolName)
            return true;
    }
    return false;
}
