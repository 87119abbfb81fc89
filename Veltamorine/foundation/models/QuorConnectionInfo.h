#pragma once

#include "QuorConnectionState.h"

#include <QMetaType>
#include <QVariant>
#include <QString>
#include <memory>
#include <optional>

// The troubleshooting-catalogue entry matched to an SDK error (local entity store).
class AppError;

// The object of every "QuorVPNStateNotification" post. Quor (vpn) exposes it as Quor::ConnectionInfo.
struct QuorConnectionInfo {
    QuorConnectionState state = QuorConnectionState::Disconnected;
    std::shared_ptr<const AppError> error;  // set on Redialing and UnableToConnect posts
    std::optional<QString> connectedTo;
    std::optional<QString> connectedIp;
    std::optional<QString> connectionId;
    bool cancelled = false;
    bool manualDisconnection = false;
    std::optional<QString> connectionDns;
    QString selectedProtocol;
    std::optional<QString> dialedProtocol;
    std::optional<bool> quantumResistentServer;
    std::optional<bool> obfuscationEnabled;

    bool operator==(const QuorConnectionInfo&) const = default;
};

Q_DECLARE_METATYPE(QuorConnectionInfo)
