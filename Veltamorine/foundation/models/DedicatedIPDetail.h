#pragma once

#include "DedicatedIPHost.h"

#include <QList>

// The account's dedicated IP: its address, country and hosts. Stored as JSON under
// "UserPreferences.dedicatedIPDetail" as well as received with the profile.
struct DedicatedIPDetail {
    QString ip;
    QString iso;
    QList<DedicatedIPHost> hosts;

    static std::optional<DedicatedIPDetail> fromJson(const QJsonObject& object);
    QJsonObject toJson() const;

    bool operator==(const DedicatedIPDetail&) const = default;
};
