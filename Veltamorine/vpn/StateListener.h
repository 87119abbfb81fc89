#pragma once

#include "AppPreferences.h"
#include "Error.h"
#include "ErrorSender.h"
#include "EventTracker.h"
#include "PreservedPreferences.h"
#include "QuorConnectionDetails.h"
#include "QuorConnectionInfo.h"
#include "QuorLocation.h"
#include "QuorSDKListener.h"
#include "User.h"

#include <QList>
#include <QVariantMap>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

class AppError;
class NetworkingProtocol;
class Quor;

// The one object through which the VPN SDK reports back: the manager's delegate, the two raw
// closures (state changes, traffic counts) and the extension manager's delegate. It records what
// the application needs (last connection, recents candidate, counters, extension status), sends
// the analytics of each connection outcome, posts the connection state as a Quor::ConnectionInfo
// on "QuorVPNStateNotification", arms the kill switch after a connection and reconnects after a
// drop.
//
// The SDK calls from its own thread; every callback is carried to the main thread before it
// reads or writes a store, posts or counts, so observers always hear the state on the main
// thread and the traffic counters are only ever touched there.
class StateListener : public QuorSDKListener, public std::enable_shared_from_this<StateListener> {
public:
    // Analytics properties in the order they are built.
    using Properties = QList<std::pair<QString, QVariant>>;
    using QuorFactory = std::function<std::shared_ptr<Quor>()>;

    static inline const QString fetchIPNotification = QStringLiteral("FetchIP");
    static inline const QString isConnectedSuccessfullyKey = QStringLiteral("IsConnectedSuccessfullyOnThisDeviceEver");

    // Use create(): the SDK's closures reach only a listener made there, and only while it lives
    // (set-up may replace it while the SDK is still calling the old one).
    StateListener(AppPreferences appPreference, EventTracker eventTracker, PreservedPreferences preservedPreferences);
    ~StateListener() override;
    static std::shared_ptr<StateListener> create(AppPreferences appPreference, EventTracker eventTracker,
                                                 PreservedPreferences preservedPreferences);

    AppPreferences appPreference;
    EventTracker eventTracker;
    PreservedPreferences preservedPreferences;
    bool publicIpAddressUpdated = false;

    // Collaborators; the defaults are the process-wide ones.
    QuorFactory makeQuor;                              // wrappers for reconnect, dialled protocol, recommended refresh
    NetworkingProtocol* networkingManager = nullptr;   // reachability; null: the shared network client
    std::function<void(const User&)> configureSDK;     // set-up again after a -1002 dial error
    ErrorSender sentry;                                 // reports a kill switch that could not be armed

    // How set-up builds this listener.
    static std::shared_ptr<QuorSDKListener> make(AppPreferences appPreference, EventTracker eventTracker,
                                                 PreservedPreferences preservedPreferences);

    // --- SDK delegate
    void quorManagerDidInitialized() override;
    void quorManagerDidReceivedConnectedLocation(const std::optional<QuorLocation>& location,
                                                 const std::optional<Error>& error) override;
    void quorManagerDidConnect(const std::optional<QuorConnectionDetails>& details) override;
    void quorManagerDidConnecting(const std::optional<QuorConnectionDetails>& details) override;
    void quorManagerDidDisconnect(const std::optional<QuorConnectionDetails>& details) override;
    void quorManagerOnUnableToAccessInternet(const std::optional<QuorConnectionDetails>& details) override;
    void quorManagerOnRedialing(const std::optional<QuorConnectionDetails>& details,
                                const std::optional<Error>& error) override;
    void quorManagerDialErrorReceived(const std::optional<Error>& error,
                                      const std::optional<QuorConnectionDetails>& details) override;

    // --- extension manager delegate
    void requestNeedsUserApproval(const QString& bundleIdentifier) override;
    void requestFailed(const QString& bundleIdentifier, const Error& error) override;
    void requestCompleted(const QString& bundleIdentifier, ExtensionManager::ExtensionManagerResult result) override;

    // --- handlers (main thread)
    virtual void handleConnected(const std::optional<QuorConnectionDetails>& details);
    virtual void handleDisconnected(const std::optional<QuorConnectionDetails>& details);
    virtual void handleRedialing(const std::optional<QuorConnectionDetails>& details, const std::optional<Error>& error);
    virtual void handleDialFailure(const std::optional<Error>& error, const std::optional<QuorConnectionDetails>& details);
    virtual void postDisconnected(const QuorConnectionDetails& details);
    virtual void postUnableToBrowse(const QuorConnectionDetails& details);
    virtual void postDisconnectedCancelled();
    virtual void postRedialing(const std::shared_ptr<const AppError>& error, const QVariantMap& properties);
    virtual void postUnableToConnect(const std::shared_ptr<const AppError>& error, const QVariantMap& properties);
    virtual void postConnected(const QuorConnectionDetails& details);
    void postConnecting();
    void postState(const QuorConnectionDetails& details, QuorConnectionState state);
    void handleConnectedLocation(const std::optional<QuorLocation>& location);
    void handleUnableToAccessInternet(const std::optional<QuorConnectionDetails>& details);
    // Arms the kill switch for the connected server. Without an address nothing is armed (a
    // rule set for no server would block everything) and the missing location is reported.
    void enableKillSwitch(const std::optional<QuorLocation>& location);
    void defaultStateChanged(int state);
    void defaultPacketsTransmitted(const std::optional<quint64>& bytesIn, const std::optional<quint64>& bytesOut);

    // --- analytics
    enum class Outcome { ttc, connected, cancelled, disconnected, redialing, dialFailure };
    Properties connectionProperties(Outcome outcome, const std::optional<QuorConnectionDetails>& details,
                                    const std::optional<Error>& error = std::nullopt) const;
    // The 27 properties of "app_utb".
    Properties unableToBrowseProperties(const QuorConnectionDetails& details) const;
    // Each server dictionary of a speed-test response ("body" → "servers") as
    // "speed_test_server_<n>", n counted from 1.
    static QMap<QString, QString> flattenSpeedTestResponse(const std::optional<QVariantMap>& response);
    static QMap<QString, QString> speedTestServers(const std::optional<QVariantMap>& response)
    {
        return flattenSpeedTestResponse(response);
    }
    // The properties as one map with the flattened speed-test entries laid over them.
    static QVariantMap merged(const Properties& properties, const std::optional<QuorConnectionDetails>& details);
    // City name when present and not empty, else the country, else the empty text.
    static QString locationName(const std::optional<QuorConnectionDetails>& details);

    // The traffic counters (main thread).
    struct Counters {
        quint64 lastBytesIn = 0;
        quint64 lastBytesOut = 0;
        quint64 totalBytesIn = 0;
        quint64 totalBytesOut = 0;
    };
    static Counters counters();
    static void resetCounters();

private:
    // The listener as the SDK's closures see it: filled by create(), empty once it is gone.
    using Self = std::shared_ptr<std::weak_ptr<StateListener>>;
    StateListener(AppPreferences appPreference, EventTracker eventTracker, PreservedPreferences preservedPreferences,
                  Self self);
    Self self_;
    // Runs `work` on the main thread (at once when already there) while the listener lives.
    void onMain(std::function<void(StateListener&)> work);
    bool networkReachable() const;
    std::shared_ptr<Quor> quor() const;
    QuorConnectionInfo stateInfo(QuorConnectionState state) const;
    // The state with where the connection went and how it was dialed.
    QuorConnectionInfo detailsInfo(const QuorConnectionDetails& details, QuorConnectionState state) const;
    void post(const QuorConnectionInfo& info, const QVariantMap& userInfo = {});
    void setExtensionStatus(const QString& bundleIdentifier, SystemExtensionStatus status,
                            std::optional<qint64> errorCode);
    AppPreferences::LastConnection rewrittenLastConnection(std::optional<QuorConnectionInitiatedBy> initiatedBy,
                                                          const std::optional<QuorConnectionDetails>& details) const;
};
