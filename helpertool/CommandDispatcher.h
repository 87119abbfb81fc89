#pragma once

#include "ClientChannel.h"
#include "PacketFilter.h"

#include <QJsonValue>
#include <functional>
#include <memory>

class SerialQueue;

// Carries out one call of a client: decodes the command array, runs the kill-switch tools on
// the one serial work queue and answers with a single value (a number, or the version text).
// Unknown commands get no answer.
class CommandDispatcher {
public:
    using Reply = std::function<void(const QJsonValue& value)>;

    explicit CommandDispatcher(PacketFilter::Config config);
    ~CommandDispatcher();  // finishes the commands already queued

    // `arguments` is the command array of the request; `reply` is called at most once, from any
    // thread; `channel` is the calling client's connection.
    void dispatch(const QJsonValue& arguments, std::shared_ptr<ClientChannel> channel, Reply reply);

    const PacketFilter& packetFilter() const { return filter_; }

    // The statuses that tell the client what went wrong before any tool ran.
    static constexpr int noClientStatus = -1;
    static constexpr int invalidArgumentStatus = 2;

private:
    void getVersion(const std::shared_ptr<ClientChannel>& channel, const Reply& reply);
    void enableFirewall(const QStringList& arguments, std::shared_ptr<ClientChannel> channel, Reply reply);
    void disableFirewall(Reply reply);
    void isAnyFirewallEnabled(std::shared_ptr<ClientChannel> channel, Reply reply);
    void isVPNFirewallEnabled(const QStringList& arguments, std::shared_ptr<ClientChannel> channel, Reply reply);
    void unloadAndInstallHelper(Reply reply);
    // Lists our table, passing its text to the client and to standard output as it arrives.
    ToolRunner::Result listForwarding(const std::shared_ptr<ClientChannel>& channel) const;

    PacketFilter filter_;
    std::unique_ptr<SerialQueue> queue_;
};
