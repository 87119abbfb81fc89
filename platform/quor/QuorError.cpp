#include "QuorError.h"

namespace QuorError {

QString describe(int code)
{
    switch (code) {
    case MissingCredentials: return QStringLiteral("VPN credentials are missing.");
    case ServerUnreachable: return QStringLiteral("The VPN server could not be reached.");
    case AuthenticationFailed: return QStringLiteral("The VPN server rejected the credentials.");
    case ConnectionLost: return QStringLiteral("The VPN connection was lost.");
    case ConnectionInProgress: return QStringLiteral("A connection attempt is already in progress.");
    case AlreadyConnected: return QStringLiteral("Already connected to the requested server.");
    case ProtocolNotAvailable: return QStringLiteral("The selected protocol is not available for this location.");
    case InventoryUnavailable: return QStringLiteral("The server list is not available.");
    case LocationNotFound: return QStringLiteral("The requested location is not available.");
    case NotConnected: return QStringLiteral("The VPN is not connected.");
    case InvalidTunnelOptions: return QStringLiteral("The tunnel options are invalid.");
    case ExtensionNotFound: return QStringLiteral("No system extension with that identifier.");
    case ExtensionActivationFailed: return QStringLiteral("The system extension could not be activated.");
    default: return QStringLiteral("VPN error %1.").arg(code);
    }
}

Error make(int code)
{
    return Error(domain, code, describe(code));
}

}
