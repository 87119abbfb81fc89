#pragma once

#include <QString>
#include <optional>

// A latency probe of a dedicated-IP server.
struct QuorDedicatedIPServerPing {
    QString serverAddress;
    QString serverIP;

    explicit QuorDedicatedIPServerPing(QString serverAddress) : serverAddress(std::move(serverAddress)) {}
};

// The answer of a dedicated-IP probe; latency in milliseconds, absent when nothing answered.
struct QuorDedicatedIPServerPingResult {
    std::optional<qint64> latency;
};
