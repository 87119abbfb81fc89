#pragma once

#include "Error.h"

#include <QString>

// Errors the SDK hands to error blocks and delegate callbacks.
namespace QuorError {

inline const QString domain = QStringLiteral("QuorSDKErrorDomain");

enum Code : int {
    MissingCredentials = 5001,
    ServerUnreachable = 5010,
    AuthenticationFailed = 5012,
    ConnectionLost = 5020,
    ConnectionInProgress = 5043,  // a connect arrived while another attempt is being made
    AlreadyConnected = 5104,      // a connect to the server and protocol already connected
    ProtocolNotAvailable = 5129,
    InventoryUnavailable = 5200,
    LocationNotFound = 5201,
    NotConnected = 5300,
    InvalidTunnelOptions = 5301,
    ExtensionNotFound = 5401,
    ExtensionActivationFailed = 5402,
};

Error make(int code);
QString describe(int code);

}
