#pragma once

#include "Error.h"
#include "QuorCountry.h"
#include "QuorCredential.h"
#include "QuorDedicatedIPServerPing.h"
#include "QuorLocation.h"
#include "QuorProperties.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <functional>
#include <optional>

// The SDK manager as the application holds it. `QuorManager` is the real one; tests hold a
// scriptable fake. Blocks handed over may be called on any thread; each request is answered
// once, through exactly one of its blocks.
class QuorManagerProtocol {
public:
    using ConnectCompletion = std::function<void(const std::optional<QString>&)>;
    using ErrorBlock = std::function<void(const std::optional<Error>&)>;
    using LocationBlock = std::function<void(const std::optional<QuorLocation>&)>;
    using CountriesBlock = std::function<void(const std::optional<QList<QuorCountry>>&)>;
    using PingBlock = std::function<void(const std::optional<QuorDedicatedIPServerPingResult>&)>;

    virtual ~QuorManagerProtocol() = default;

    // Whether the SDK checks that the internet is reachable through a new tunnel.
    virtual void setDoCheckInternetConnectivity(bool check) = 0;
    virtual void setQuorCredential(const std::optional<QuorCredential>& credential) = 0;

    // Starts a connection. `completion` runs once the attempt has started; `errorBlock` when it
    // could not start. The outcome of the attempt arrives through the delegate.
    virtual void connect(const QuorProperties& properties, ConnectCompletion completion, ErrorBlock errorBlock) = 0;
    // The tunnel state as the integer of `QuorVPNState`.
    virtual int getCurrentVPNStatus() const = 0;
    virtual void disconnectVPN() = 0;
    virtual void cancelVPN() = 0;
    virtual void reconnectVPN() = 0;
    // When the current connection came up; nothing while not connected.
    virtual std::optional<QDateTime> getConnectedTime() const = 0;
    virtual void getConnectedLocation(LocationBlock success, ErrorBlock errorBlock) = 0;
    virtual void getRecommendedLocation(LocationBlock success, ErrorBlock errorBlock) = 0;
    virtual void pingDedicatedIPServer(const QuorDedicatedIPServerPing& ping, PingBlock successBlock, ErrorBlock errorBlock) = 0;
    virtual void getCountries(CountriesBlock success, ErrorBlock errorBlock) = 0;
};
