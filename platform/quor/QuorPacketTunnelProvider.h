#pragma once

#include "Error.h"

#include <QByteArray>
#include <QMutex>
#include <QString>
#include <QVariantMap>
#include <functional>
#include <optional>

// The tunnel provider the packet-tunnel program derives from. The SDK's tunnel runs here; in
// this simulation it checks the options the application's SDK handed over and keeps the
// tunnel's settings, nothing more.
class QuorPacketTunnelProvider {
public:
    enum class StopReason : int {
        None = 0,
        UserInitiated = 1,
        ProviderFailed = 2,
        NoNetworkAvailable = 3,
        UnrecoverableNetworkChange = 4,
        ProviderDisabled = 5,
        AuthenticationCanceled = 6,
        ConfigurationFailed = 7,
        IdleTimeout = 8,
        ConfigurationDisabled = 9,
        ConfigurationRemoved = 10,
        Superceded = 11,
        UserLogout = 12,
        UserSwitch = 13,
        ConnectionFailed = 14,
        Sleep = 15,
        AppUpdate = 16,
    };

    using StartCompletion = std::function<void(const std::optional<Error>&)>;
    using MessageCompletion = std::function<void(const std::optional<QByteArray>&)>;

    virtual ~QuorPacketTunnelProvider() = default;

    // Options: "serverAddress" (text, required when options are given) and "protocol" (an SDK
    // protocol word, optional). No options: a start on demand with the saved settings.
    virtual void startTunnel(const std::optional<QVariantMap>& options, StartCompletion completionHandler);
    virtual void stopTunnel(StopReason reason, std::function<void()> completionHandler);
    virtual void handleAppMessage(const QByteArray& messageData, MessageCompletion completionHandler);
    virtual void sleep(std::function<void()> completionHandler);
    virtual void wake();

    bool isTunnelRunning() const;
    QString serverAddress() const;

private:
    mutable QMutex mutex_;
    bool running_ = false;
    QString serverAddress_;
};
