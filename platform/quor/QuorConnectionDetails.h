#pragma once

#include "QuorCity.h"
#include "QuorProtocol.h"

#include <QString>
#include <QVariantMap>
#include <optional>

// What the SDK knows about a connection attempt or a connection, handed with its callbacks.
struct QuorConnectionDetails {
    std::optional<QuorCity> city;
    std::optional<QString> country;           // country name
    std::optional<QString> serverIp;
    std::optional<QString> serverAddress;     // server host name
    std::optional<QuorProtocol> protocol;     // the protocol dialled
    bool isDialedWithQuantumResistantServer = false;
    bool IsDialedWithOVPNObfuscatedServer = false;
    std::optional<QString> nasIdentifier;
    bool isCancelled = false;
    bool isDisconnectedManually = false;
    double timeTakenToConnectServer = 0;
    double timeTakenToFindFastestServer = 0;
    bool isFiltered = false;
    qint32 connectionAttempts = 0;
    std::optional<QString> connectionMethod;
    std::optional<QString> sessionId;
    double timeElapsedSinceConnect = 0;
    std::optional<QString> fastestServerFindingMethod;
    // 0 dropped, 1 ended by the user (disconnect or cancel), 2 replaced by a new connection.
    int disconnectionType = 0;
    std::optional<QVariantMap> fastestServerFindingApiResponse;
};
