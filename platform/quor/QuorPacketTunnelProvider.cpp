#include "QuorPacketTunnelProvider.h"

#include "QuorError.h"
#include "QuorProtocol.h"

void QuorPacketTunnelProvider::startTunnel(const std::optional<QVariantMap>& options, StartCompletion completionHandler)
{
    std::optional<Error> error;
    QString address;
    if (options) {
        const QVariant server = options->value(QStringLiteral("serverAddress"));
        const QVariant protocol = options->value(QStringLiteral("protocol"));
        if (server.typeId() != QMetaType::QString || server.toString().isEmpty())
            error = QuorError::make(QuorError::InvalidTunnelOptions);
        else if (protocol.isValid() && (protocol.typeId() != QMetaType::QString || !QuorProtocol::isKnownWord(protocol.toString())))
            error = QuorError::make(QuorError::ProtocolNotAvailable);
        else
            address = server.toString();
    }
    if (!error) {
        QMutexLocker lock(&mutex_);
        running_ = true;
        if (!address.isEmpty())
            serverAddress_ = address;
    }
    if (completionHandler)
        completionHandler(error);
}

void QuorPacketTunnelProvider::stopTunnel(StopReason reason, std::function<void()> completionHandler)
{
    (void)reason;
    {
        QMutexLocker lock(&mutex_);
        running_ = false;
    }
    if (completionHandler)
        completionHandler();
}

void QuorPacketTunnelProvider::handleAppMessage(const QByteArray& messageData, MessageCompletion completionHandler)
{
    (void)messageData;
    if (completionHandler)
        completionHandler(std::nullopt);
}

void QuorPacketTunnelProvider::sleep(std::function<void()> completionHandler)
{
    if (completionHandler)
        completionHandler();
}

void QuorPacketTunnelProvider::wake() {}

bool QuorPacketTunnelProvider::isTunnelRunning() const
{
    QMutexLocker lock(&mutex_);
    return running_;
}

QString QuorPacketTunnelProvider::serverAddress() const
{
    QMutexLocker lock(&mutex_);
    return serverAddress_;
}
