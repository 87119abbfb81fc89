#pragma once

#include <QMetaType>
#include <QVariant>
#include <QString>
#include <optional>

// Where the engine is connected. Quor (vpn) exposes it as Quor::ConnectedInfo.
struct QuorConnectedInfo {
    std::optional<QString> locationName;
    std::optional<QString> isoCode;
    std::optional<QString> ip;

    bool operator==(const QuorConnectedInfo&) const = default;
};

Q_DECLARE_METATYPE(QuorConnectedInfo)
