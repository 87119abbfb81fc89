#include "CommandDispatcher.h"

#include "HelperInfo.h"
#include "HelperLog.h"
#include "HelperProtocol.h"
#include "SerialQueue.h"

#include <QJsonArray>
#include <QStringDecoder>
#include <optional>

namespace {

std::optional<QStringList> commandArray(const QJsonValue& value)
{
    if (!value.isArray())
        return std::nullopt;
    QStringList strings;
    for (const QJsonValue& element : value.toArray()) {
        if (!element.isString())
            return std::nullopt;
        strings.append(element.toString());
    }
    return strings;
}

}

CommandDispatcher::CommandDispatcher(PacketFilter::Config config)
    : filter_(std::move(config))
    , queue_(std::make_unique<SerialQueue>(QStringLiteral("com.quor.Helpertool")))
{
}

CommandDispatcher::~CommandDispatcher() = default;

void CommandDispatcher::dispatch(const QJsonValue& arguments, std::shared_ptr<ClientChannel> channel, Reply reply)
{
    const auto strings = commandArray(arguments);
    if (!strings || strings->isEmpty())
        return;
    if (!channel->isOpen()) {
        reply(noClientStatus);
        return;
    }
    const QString command = strings->first();
    channel->log(QStringLiteral("connectWithPaths - - - ") + command);

    if (command == HelperProtocol::getVersion)
        getVersion(channel, reply);
    else if (command == HelperProtocol::enableFirewall)
        enableFirewall(*strings, std::move(channel), std::move(reply));
    else if (command == HelperProtocol::disableFirewall)
        disableFirewall(std::move(reply));
    else if (command == HelperProtocol::isVPNFirewallEnabled)
        isVPNFirewallEnabled(*strings, std::move(channel), std::move(reply));
    else if (command == HelperProtocol::isAnyFirewallEnabled)
        isAnyFirewallEnabled(std::move(channel), std::move(reply));
    else if (command == HelperProtocol::unloadAndInstallHelper)
        unloadAndInstallHelper(std::move(reply));
}

void CommandDispatcher::getVersion(const std::shared_ptr<ClientChannel>& channel, const Reply& reply)
{
    if (!channel->isOpen()) {
        reply(QStringLiteral("-10"));
        return;
    }
    channel->log(QStringLiteral("connectWithPaths - - - CFBundleShortVersionString "));
    reply(HelperInfo::shortVersionString);
}

void CommandDispatcher::enableFirewall(const QStringList& arguments, std::shared_ptr<ClientChannel> channel, Reply reply)
{
    if (!channel->isOpen() || arguments.size() < 2) {
        reply(noClientStatus);
        return;
    }
    channel->log(QStringLiteral("enableFirewall"));
    const QString rules = arguments.at(1);
    // Writing and loading stay together on the queue, so two enables never interleave.
    queue_->async([this, rules, channel = std::move(channel), reply = std::move(reply)] {
        if (auto written = filter_.writeFirewallRules(rules); !written) {
            HelperLog::out(QStringLiteral("writeFirewallRules failed: ") + written.error());
            reply(noClientStatus);
            return;
        }
        channel->log(QStringLiteral("- - - writeFirewallRules - - - "));
        reply(filter_.load(rules).status);
    });
}

void CommandDispatcher::disableFirewall(Reply reply)
{
    queue_->async([this, reply = std::move(reply)] { reply(filter_.remove().status); });
}

ToolRunner::Result CommandDispatcher::listForwarding(const std::shared_ptr<ClientChannel>& channel) const
{
    auto decoder = std::make_shared<QStringDecoder>(QStringDecoder::Utf8);
    return filter_.list([channel, decoder](const QByteArray& chunk) {
        const QString text = decoder->decode(chunk);
        if (text.isEmpty())
            return;
        channel->log(text);
        HelperLog::out(text);
    });
}

void CommandDispatcher::isAnyFirewallEnabled(std::shared_ptr<ClientChannel> channel, Reply reply)
{
    if (!channel->isOpen()) {
        reply(noClientStatus);
        return;
    }
    channel->log(QStringLiteral("anyFirewallEnabled"));
    queue_->async([this, channel = std::move(channel), reply = std::move(reply)] {
        const int status = listForwarding(channel).status;
        channel->log(QStringLiteral("Any enabled result: %1\n").arg(status));
        reply(status);
    });
}

void CommandDispatcher::isVPNFirewallEnabled(const QStringList& arguments, std::shared_ptr<ClientChannel> channel, Reply reply)
{
    if (!channel->isOpen()) {
        reply(noClientStatus);
        return;
    }
    channel->log(QStringLiteral("firewallEnabled"));
    // The address is only ever compared here, as a whole address; it reaches no command line.
    const auto address = arguments.size() >= 2 ? PacketFilter::canonicalAddress(arguments.at(1)) : std::nullopt;
    if (!address) {
        channel->log(QStringLiteral("Invalid address"));
        reply(invalidArgumentStatus);
        return;
    }
    queue_->async([this, address = *address, channel = std::move(channel), reply = std::move(reply)] {
        const ToolRunner::Result listing = listForwarding(channel);
        QString text = QStringLiteral("Enabled result: %1\n").arg(listing.status);
        if (listing.status != 0) {
            channel->log(text);
            reply(listing.status);
            return;
        }
        const QString rules = QString::fromUtf8(listing.output);
        text += rules;
        const int present = PacketFilter::containsAddress(rules, address) ? 0 : 1;
        if (present != 0) {
            text += QStringLiteral("Address present result: %1").arg(present);
            channel->log(text);
        }
        reply(present);
    });
}

void CommandDispatcher::unloadAndInstallHelper(Reply reply)
{
    queue_->async([this, reply = std::move(reply)] { reply(filter_.stopUnits().status); });
}
