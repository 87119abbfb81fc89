#pragma once

#include "QuorConfiguration.h"
#include "QuorEnvironment.h"
#include "QuorFaults.h"
#include "QuorInventory.h"
#include "QuorManagerDelegate.h"
#include "QuorManagerProtocol.h"

#include <QMutex>
#include <memory>

class QuorEngine;
class SerialQueue;

// The SDK's manager. Requests may be made from any thread; the tunnel itself is simulated on
// the main thread, and every block, handler and delegate callback is called on the SDK's own
// worker thread ("QuorSDK.callbacks"), one at a time, in the order things happened.
class QuorManager final : public QuorManagerProtocol {
public:
    using StateHandler = std::function<void(int)>;
    using PacketsHandler = std::function<void(const std::optional<quint64>&, const std::optional<quint64>&)>;
    using CountryListResponse = std::function<void(const std::optional<QList<QuorCountry>>&, const std::optional<Error>&)>;
    using CityListResponse = std::function<void(const std::optional<QList<QuorCity>>&, const std::optional<Error>&)>;

    // Builds a manager of its own (tests); the application uses the shared one. Main thread.
    explicit QuorManager(const QuorConfiguration& configuration,
                         const QuorEnvironment& environment = QuorEnvironment::current());
    ~QuorManager() override;
    QuorManager(const QuorManager&) = delete;
    QuorManager& operator=(const QuorManager&) = delete;

    // Configures the shared manager (creating it the first time) and starts loading the
    // inventory; the delegate hears quorManagerDidInitialized when that is done. Gives nothing
    // when the configuration is unusable (a secret key that is not 40 lower-case hex digits).
    static QuorManager* sharedInstanceWithQuorConfiguration(const QuorConfiguration& configuration);
    // The shared manager, or nothing before it was configured.
    static QuorManager* sharedInstance();
    // Forgets the shared manager (tests). Main thread.
    static void resetSharedInstance();

    QuorConfiguration configuration() const;

    // The delegate is held weakly.
    void setDelegate(const std::shared_ptr<QuorManagerDelegate>& delegate);
    std::shared_ptr<QuorManagerDelegate> delegate() const;
    void setStateDidChangedHandler(StateHandler handler);
    StateHandler stateDidChangedHandler() const;
    void setOnPacketsTransmitted(PacketsHandler handler);
    PacketsHandler onPacketsTransmitted() const;
    void setExcludeProtocols(const QList<QuorProtocol>& protocols);
    QList<QuorProtocol> excludeProtocols() const;

    std::optional<QuorCredential> quorCredential() const;
    bool doCheckInternetConnectivity() const;
    // The details of the current or last connection.
    std::optional<QuorConnectionDetails> quorConnectionDetails() const;

    // Measures the latency of each location (and its data centres) and answers with the list.
    void getOptimizedCountries(const QList<QuorCountry>& countries, CountryListResponse response);
    void getOptimizedCities(const QList<QuorCity>& cities, CityListResponse response);

    // Simulation controls.
    void setFaults(const QuorFaults& faults);
    std::shared_ptr<const QuorInventory> inventory() const;

    // QuorManagerProtocol
    void setDoCheckInternetConnectivity(bool check) override;
    void setQuorCredential(const std::optional<QuorCredential>& credential) override;
    void connect(const QuorProperties& properties, ConnectCompletion completion, ErrorBlock errorBlock) override;
    int getCurrentVPNStatus() const override;
    void disconnectVPN() override;
    void cancelVPN() override;
    void reconnectVPN() override;
    std::optional<QDateTime> getConnectedTime() const override;
    void getConnectedLocation(LocationBlock success, ErrorBlock errorBlock) override;
    void getRecommendedLocation(LocationBlock success, ErrorBlock errorBlock) override;
    void pingDedicatedIPServer(const QuorDedicatedIPServerPing& ping, PingBlock successBlock, ErrorBlock errorBlock) override;
    void getCountries(CountriesBlock success, ErrorBlock errorBlock) override;

private:
    class Hub;
    void reconfigure(const QuorConfiguration& configuration);
    void initializeLater();
    void onMain(std::function<void(QuorEngine&)> work);

    std::shared_ptr<Hub> hub_;
    std::shared_ptr<QuorEngine> engine_;
    std::unique_ptr<SerialQueue> queue_;
};
