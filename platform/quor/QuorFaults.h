#pragma once

#include <QJsonObject>
#include <QStringList>
#include <optional>

// Failures the simulated tunnel engine can be told to produce, either by a test or by the
// service's inventory data (its "simulation" object).
struct QuorFaults {
    bool rejectCredentials = false;                  // every dial fails authentication
    QStringList rejectedUsernames;                   // dials with these user names fail authentication
    bool allServersUnreachable = false;
    QStringList unreachableServers;                  // NAS identifiers or host names that never answer
    std::optional<double> dropAfterSeconds;          // once connected, drop once; the SDK redials
    std::optional<double> disconnectAfterSeconds;    // once connected, drop for good
    std::optional<double> unableToBrowseAfterSeconds;// once connected, the internet stops answering
    std::optional<int> connectErrorCode;             // answer connects with this error
    bool inventoryUnavailable = false;               // country requests fail
    bool recommendedLocationUnavailable = false;

    bool isServerUnreachable(const QString& nasIdentifier, const QString& hostname) const;
    bool rejects(const QString& username) const;

    // Both sets together: flags of either, lists joined, timings and codes of `this` first.
    QuorFaults mergedWith(const QuorFaults& other) const;

    static std::optional<QuorFaults> fromJson(const QJsonObject& object);
    QJsonObject toJson() const;
};
