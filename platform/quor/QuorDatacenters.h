#pragma once

#include <QJsonObject>
#include <QString>
#include <optional>

// One data centre of the SDK's inventory. `latency` is in milliseconds, 0 when not measured.
struct QuorDatacenters {
    qint64 dataCenterId = 0;
    qint64 latency = 0;
    std::optional<QString> ip;
    std::optional<QString> hostname;
    // The server identity the SDK's server filters and connection details name.
    std::optional<QString> nasIdentifier;

    static std::optional<QuorDatacenters> fromJson(const QJsonObject& object);
    QJsonObject toJson() const;

    bool operator==(const QuorDatacenters&) const = default;
};
