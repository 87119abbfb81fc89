#pragma once

#include <QJsonObject>
#include <QString>
#include <optional>

// One host of a dedicated IP. "port_number" is text on the wire, not a number.
struct DedicatedIPHost {
    QString dns;
    QString serverProtocol;
    QString serverType;
    QString portNumber;

    static std::optional<DedicatedIPHost> fromJson(const QJsonObject& object);
    QJsonObject toJson() const;

    bool operator==(const DedicatedIPHost&) const = default;
};
