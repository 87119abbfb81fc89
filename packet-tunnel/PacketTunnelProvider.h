#pragma once

#include "QuorPacketTunnelProvider.h"

// The provider the packet-tunnel program runs: the SDK's tunnel does the work; stop and sleep
// are acknowledged at once and app messages come back as they were sent.
class PacketTunnelProvider : public QuorPacketTunnelProvider {
public:
    void startTunnel(const std::optional<QVariantMap>& options, StartCompletion completionHandler) override;
    void stopTunnel(StopReason reason, std::function<void()> completionHandler) override;
    void handleAppMessage(const QByteArray& messageData, MessageCompletion completionHandler) override;
    void sleep(std::function<void()> completionHandler) override;
    void wake() override;
};
