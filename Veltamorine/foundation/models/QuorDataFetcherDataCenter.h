#pragma once

#include <QJsonObject>
#include <QString>
#include <optional>

// A data centre of a location as the VPN SDK lists it. QuorDataFetcher (vpn) exposes it as
// QuorDataFetcher::DataCenter.
struct QuorDataFetcherDataCenter {
    qint64 id = 0;
    qint64 latency = 0;
    std::optional<QString> ip;
    std::optional<QString> hostname;

    static std::optional<QuorDataFetcherDataCenter> fromJson(const QJsonObject& object);
    QJsonObject toJson() const;

    bool operator==(const QuorDataFetcherDataCenter&) const = default;
};
