#pragma once

#include "QuorDatacenters.h"

#include <QJsonObject>
#include <QList>
#include <QString>
#include <optional>

// A city of the SDK's inventory. `country` is the code of the country it lies in; `latency`
// is in milliseconds, 0 when not measured.
struct QuorCity {
    qint64 cityId = 0;
    std::optional<QString> name;
    std::optional<QString> country;
    std::optional<QList<QuorDatacenters>> data_centers;
    qint64 latency = 0;

    static std::optional<QuorCity> fromJson(const QJsonObject& object);
    QJsonObject toJson() const;

    bool operator==(const QuorCity&) const = default;
};
