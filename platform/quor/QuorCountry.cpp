#include "QuorCountry.h"

#include "JsonFields.h"

#include <QJsonDocument>

std::optional<QuorCountry> QuorCountry::fromJson(const QJsonObject& object)
{
    QuorCountry c;
    std::optional<qint64> latency;
    if (!JsonFields::optionalString(object, QLatin1StringView("country"), c.country)
        || !JsonFields::optionalString(object, QLatin1StringView("name"), c.name)
        || !JsonFields::optionalString(object, QLatin1StringView("iso_code"), c.iso_code)
        || !JsonFields::optionalList(object, QLatin1StringView("data_centers"), c.dataCenters)
        || !JsonFields::optionalList(object, QLatin1StringView("cities"), c.cities)
        || !JsonFields::optionalList(object, QLatin1StringView("protocols"), c.protocols)
        || !JsonFields::optionalInteger(object, QLatin1StringView("latency"), latency))
        return std::nullopt;
    c.latency = latency.value_or(0);
    return c;
}

QJsonObject QuorCountry::toJson() const
{
    QJsonObject o;
    JsonFields::putString(o, QLatin1StringView("country"), country);
    JsonFields::putString(o, QLatin1StringView("name"), name);
    JsonFields::putString(o, QLatin1StringView("iso_code"), iso_code);
    if (dataCenters)
        o.insert(QStringLiteral("data_centers"), JsonFields::encodeList(*dataCenters));
    if (cities)
        o.insert(QStringLiteral("cities"), JsonFields::encodeList(*cities));
    if (protocols)
        o.insert(QStringLiteral("protocols"), JsonFields::encodeList(*protocols));
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
