#pragma once

#include "FirewallManager.h"
#include "HelperProtocol.h"

#include <QStringList>
#include <memory>
#include <optional>

class SerialQueue;

// The kill switch through the privileged helper daemon. Every call runs on a worker thread of
// its own (the daemon's answers are waited for there, never on the main thread), one at a
// time and in order, over a fresh connection; completions run on that worker thread.
//
// The rules it hands the daemon drop every outgoing packet except loopback, the tunnel
// interfaces and the dialled protocol's traffic to the VPN server, so nothing leaks while the
// tunnel is down. Arguments are checked before anything is sent: an address that is not one
// IPv4 or IPv6 address, or a protocol word the SDK does not know, is refused.
class HelperFirewallManager final : public FirewallManager {
public:
    explicit HelperFirewallManager(QString socketPath = HelperProtocol::defaultSocketPath, int timeoutMs = 30000);
    ~HelperFirewallManager() override;

    void enableFirewall(const QString& ipAddress, const QString& protocol, Completion completion) override;
    void disableFirewall(Completion completion) override;
    void isVPNFirewallEnabled(const QString& ipAddress, Completion completion) override;
    void isAnyFirewallEnabled(Completion completion) override;
    void isHelperReady(Completion completion) override;
    void prepareKillSwitch(Completion completion) override;
    std::expected<bool, Error> isHelperInstalled() override;

    // The body of the daemon's table for a server address and protocol word; none for an
    // address or word that is refused.
    static std::optional<QString> rules(const QString& ipAddress, const QString& protocol);

private:
    // Sends one command on the worker and hands `completion` whether the reply was `expected`.
    void call(QStringList arguments, int expected, Completion completion);

    QString socketPath_;
    int timeoutMs_;
    std::unique_ptr<SerialQueue> queue_;
};
