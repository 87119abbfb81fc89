#pragma once

#include <QJsonObject>
#include <QMap>
#include <QString>
#include <optional>

// One entry of the location overlay shipped with the application (ranking and feature flags of a
// country). QuorDataFetcher (vpn) exposes it as QuorDataFetcher::LocalJsonCountry.
struct QuorDataFetcherLocalJsonCountry {
    qint64 priority = 0;
    bool p2p = false;
    std::optional<bool> quantumResistant;

    static std::optional<QuorDataFetcherLocalJsonCountry> fromJson(const QJsonObject& object);
    QJsonObject toJson() const;

    // The whole overlay: country code -> entry. One bad entry fails the whole overlay.
    static std::optional<QMap<QString, QuorDataFetcherLocalJsonCountry>> overlayFromJson(const QJsonObject& object);

    bool operator==(const QuorDataFetcherLocalJsonCountry&) const = default;
};
