#include "QuorDataFetcherLocalJsonCountry.h"

#include "JsonFields.h"

using namespace JsonFields;

std::optional<QuorDataFetcherLocalJsonCountry> QuorDataFetcherLocalJsonCountry::fromJson(const QJsonObject& object)
{
    QuorDataFetcherLocalJsonCountry entry;
    if (!requiredInteger(object, QLatin1StringView("priority"), entry.priority)
        || !requiredBool(object, QLatin1StringView("is_p2p"), entry.p2p)
        || !optionalBool(object, QLatin1StringView("is_quantum_resistant"), entry.quantumResistant))
        return std::nullopt;
    return entry;
}

QJsonObject QuorDataFetcherLocalJsonCountry::toJson() const
{
    QJsonObject object{{QStringLiteral("priority"), priority}, {QStringLiteral("is_p2p"), p2p}};
    if (quantumResistant)
        object.insert(QStringLiteral("is_quantum_resistant"), *quantumResistant);
    return object;
}

std::optional<QMap<QString, QuorDataFetcherLocalJsonCountry>>
QuorDataFetcherLocalJsonCountry::overlayFromJson(const QJsonObject& object)
{
    QMap<QString, QuorDataFetcherLocalJsonCountry> overlay;
    for (auto it = object.constBegin(); it != object.constEnd(); ++it) {
        if (!it.value().isObject())
            return std::nullopt;
        std::optional<QuorDataFetcherLocalJsonCountry> entry = fromJson(it.value().toObject());
        if (!entry)
            return std::nullopt;
        overlay.insert(it.key(), *entry);
    }
    return overlay;
}
