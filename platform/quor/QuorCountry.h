#pragma once

#include "QuorCity.h"
#include "QuorDatacenters.h"
#include "QuorProtocol.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <optional>

// A country of the SDK's inventory. `country` is its code (the key everything matches by);
// `latency` is in milliseconds, 0 when not measured. The JSON form is the one the application
// caches the SDK's country list in.
struct QuorCountry {
    std::optional<QString> country;
    std::optional<QString> name;
    std::optional<QString> iso_code;
    std::optional<QList<QuorDatacenters>> dataCenters;
    std::optional<QList<QuorCity>> cities;
    std::optional<QList<QuorProtocol>> protocols;
    qint64 latency = 0;

    static std::optional<QuorCountry> fromJson(const QJsonObject& object);
    QJsonObject toJson() const;

    // One country as a JSON data item, and back (nothing for data that is not a country).
    QByteArray toJsonData() const;
    static std::optional<QuorCountry> fromJsonData(const QByteArray& data);

    bool supportsProtocolNamed(const QString& name) const;

    bool operator==(const QuorCountry&) const = default;
};
