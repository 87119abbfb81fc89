#pragma once

#include <QString>
#include <cstdint>

// What the application and the helper daemon agree on. Each message is one frame: a 4-byte
// big-endian length followed by that many bytes of compact JSON.
//   client → helper: {"id": <number>, "arguments": ["<command>", "<argument>"]}
//   helper → client: {"log": "<text>"}                     (diagnostic text of a call)
//                    {"id": <number>, "reply": [<value>]}  (at most one per call)
namespace HelperProtocol {

// The service name; also the stem of the socket and of the systemd units.
inline const QString serviceName = QStringLiteral("veltamorine.mac.apple.helpertool");
inline const QString defaultSocketPath = QStringLiteral("/run/veltamorine.mac.apple.helpertool.sock");

// Largest payload the helper reads; the rules text of the kill switch is a few kilobytes.
inline constexpr std::uint32_t maxRequestSize = 1024 * 1024;
// Largest payload a client reads: log texts may carry a whole rule listing.
inline constexpr std::uint32_t maxMessageSize = 64 * 1024 * 1024;

// Commands, with their argument and reply value:
//   getVersion              -                      "1.0.0"
//   enableFirewall          rules: the body of the daemon's nftables table (its chains)
//                                                  nft's exit status; -1 when the rules cannot be stored
//   disableFirewall         -                      nft's exit status (0 also when nothing was loaded)
//   isVPNFirewallEnabled    an IPv4 or IPv6 address  0 when the table is loaded and names the address;
//                                                  1 when not; 2 for an invalid address
//   isAnyFirewallEnabled    -                      0 when the table is loaded, else nft's status
//   unloadAndInstallHelper  -                      systemctl's exit status
inline const QString getVersion = QStringLiteral("getVersion");
inline const QString enableFirewall = QStringLiteral("enableFirewall");
inline const QString disableFirewall = QStringLiteral("disableFirewall");
inline const QString isVPNFirewallEnabled = QStringLiteral("isVPNFirewallEnabled");
inline const QString isAnyFirewallEnabled = QStringLiteral("isAnyFirewallEnabled");
inline const QString unloadAndInstallHelper = QStringLiteral("unloadAndInstallHelper");

}
