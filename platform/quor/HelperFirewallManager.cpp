#include "HelperFirewallManager.h"

#include "HelperClient.h"
#include "QuorLog.h"
#include "QuorProtocol.h"
#include "SerialQueue.h"

#include <QFileInfo>
#include <QHostAddress>
#include <QJsonValue>

HelperFirewallManager::HelperFirewallManager(QString socketPath, int timeoutMs)
    : socketPath_(std::move(socketPath)), timeoutMs_(timeoutMs),
      queue_(std::make_unique<SerialQueue>(QStringLiteral("QuorHelper.firewall")))
{
}

HelperFirewallManager::~HelperFirewallManager() = default;

std::optional<QString> HelperFirewallManager::rules(const QString& ipAddress, const QString& protocol)
{
    QHostAddress address;
    if (!address.setAddress(ipAddress) || !QuorProtocol::isKnownWord(protocol))
        return std::nullopt;
    const bool v4 = address.protocol() == QAbstractSocket::IPv4Protocol;
    if (!v4 && address.protocol() != QAbstractSocket::IPv6Protocol)
        return std::nullopt;
    const QString server = (v4 ? QStringLiteral("ip daddr ") : QStringLiteral("ip6 daddr ")) + address.toString();
    QStringList toServer;
    if (protocol == QStringLiteral("IPSEC") || protocol == QStringLiteral("IKEV")) {
        toServer << server + QStringLiteral(" udp dport { 500, 4500 } accept")
                 << server + QStringLiteral(" meta l4proto esp accept");
    } else if (protocol == QStringLiteral("TCP")) {
        toServer << server + QStringLiteral(" meta l4proto tcp accept");
    } else {
        toServer << server + QStringLiteral(" meta l4proto udp accept");
    }
    QStringList lines{
        QStringLiteral("chain output {"),
        QStringLiteral("    type filter hook output priority 0; policy drop;"),
        QStringLiteral("    oif \"lo\" accept"),
        QStringLiteral("    oifname \"tun*\" accept"),
        QStringLiteral("    oifname \"wg*\" accept"),
    };
    for (const QString& line : toServer)
        lines << QStringLiteral("    ") + line;
    lines << QStringLiteral("}");
    return lines.join(u'\n');
}

void HelperFirewallManager::call(QStringList arguments, int expected, Completion completion)
{
    queue_->async([socketPath = socketPath_, timeoutMs = timeoutMs_, arguments = std::move(arguments), expected,
                   completion = std::move(completion)] {
        HelperClient client(socketPath);
        bool answer = false;
        if (auto connected = client.connect(); !connected) {
            qCWarning(lcQuor) << "helper daemon not reachable:" << connected.error().message;
        } else if (auto reply = client.send(arguments, timeoutMs); !reply) {
            qCWarning(lcQuor) << "helper daemon gave no answer to" << arguments.first() << ":" << reply.error().message;
        } else {
            answer = reply->isDouble() && reply->toInt() == expected;
        }
        if (completion)
            completion(answer);
    });
}

void HelperFirewallManager::enableFirewall(const QString& ipAddress, const QString& protocol, Completion completion)
{
    const std::optional<QString> body = rules(ipAddress, protocol);
    if (!body) {
        qCWarning(lcQuor) << "kill switch refused: not an address and protocol the rules can name";
        queue_->async([completion = std::move(completion)] {
            if (completion)
                completion(false);
        });
        return;
    }
    call({HelperProtocol::enableFirewall, *body}, 0, std::move(completion));
}

void HelperFirewallManager::disableFirewall(Completion completion)
{
    call({HelperProtocol::disableFirewall}, 0, std::move(completion));
}

void HelperFirewallManager::isVPNFirewallEnabled(const QString& ipAddress, Completion completion)
{
    call({HelperProtocol::isVPNFirewallEnabled, ipAddress}, 0, std::move(completion));
}

void HelperFirewallManager::isAnyFirewallEnabled(Completion completion)
{
    call({HelperProtocol::isAnyFirewallEnabled}, 0, std::move(completion));
}

void HelperFirewallManager::isHelperReady(Completion completion)
{
    queue_->async([socketPath = socketPath_, timeoutMs = timeoutMs_, completion = std::move(completion)] {
        HelperClient client(socketPath);
        bool ready = false;
        if (client.connect()) {
            const auto reply = client.send({HelperProtocol::getVersion}, timeoutMs);
            ready = reply && reply->isString() && !reply->toString().isEmpty();
        }
        if (completion)
            completion(ready);
    });
}

void HelperFirewallManager::prepareKillSwitch(Completion completion)
{
    // The daemon is installed with the application and started by its socket on demand; being
    // ready is all there is to prepare.
    isHelperReady(std::move(completion));
}

std::expected<bool, Error> HelperFirewallManager::isHelperInstalled()
{
    return QFileInfo(socketPath_).exists();
}
