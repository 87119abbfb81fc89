#pragma once

#include "QuorCity.h"
#include "QuorCountry.h"

#include <QString>
#include <optional>

// A location as the SDK reports it: the recommended location, or where the tunnel came out.
struct QuorLocation {
    // The server behind a connected location.
    struct Server {
        std::optional<QString> nasIdentifier;
        std::optional<QString> hostname;
        std::optional<QString> ip;
        bool operator==(const Server&) const = default;
    };

    std::optional<QString> ip;
    std::optional<QuorCity> city;
    std::optional<QuorCountry> country;
    std::optional<Server> server;

    bool operator==(const QuorLocation&) const = default;
};
