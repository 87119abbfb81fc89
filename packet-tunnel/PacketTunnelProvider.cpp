#include "PacketTunnelProvider.h"

void PacketTunnelProvider::startTunnel(const std::optional<QVariantMap>& options, StartCompletion completionHandler)
{
    QuorPacketTunnelProvider::startTunnel(options, [completionHandler = std::move(completionHandler)](const std::optional<Error>& error) {
        if (completionHandler)
            completionHandler(error);
    });
}

void PacketTunnelProvider::stopTunnel(StopReason, std::function<void()> completionHandler)
{
    if (completionHandler)
        completionHandler();
}

void PacketTunnelProvider::handleAppMessage(const QByteArray& messageData, MessageCompletion completionHandler)
{
    if (completionHandler)
        completionHandler(messageData);
}

void PacketTunnelProvider::sleep(std::function<void()> completionHandler)
{
    if (completionHandler)
        completionHandler();
}

void PacketTunnelProvider::wake() {}
