#pragma once

#include <QString>

// Steers the SDK's server choice: keep (include) or avoid (exclude) the server with a NAS identifier.
struct ServerFilter {
    enum Kind : int { Include = 0, Exclude = 1 };

    QString nasIdentifier;
    int filter = Include;

    ServerFilter(QString nasIdentifier, int filter) : nasIdentifier(std::move(nasIdentifier)), filter(filter) {}

    bool operator==(const ServerFilter&) const = default;
};
