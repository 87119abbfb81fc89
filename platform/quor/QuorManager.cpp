#include "QuorManager.h"

#include "MainQueue.h"
#include "QuorEngine.h"
#include "QuorLog.h"
#include "SerialQueue.h"

#include <QPointer>

// The settings and receivers the application installs; read by the engine on the main thread
// and by the worker thread when it delivers.
class QuorManager::Hub final : public QuorEngine::Output {
public:
    explicit Hub(QuorConfiguration configuration) : configuration(std::move(configuration)) {}

    void stateChanged(int state) override
    {
        queue->async([self = shared(), state] {
            if (StateHandler h = self->get(&Hub::stateHandler))
                h(state);
        });
    }
    void packetsTransmitted(quint64 bytesIn, quint64 bytesOut) override
    {
        queue->async([self = shared(), bytesIn, bytesOut] {
            if (PacketsHandler h = self->get(&Hub::packetsHandler))
                h(bytesIn, bytesOut);
        });
    }
    void toDelegate(std::function<void(QuorManagerDelegate&)> call) override
    {
        queue->async([self = shared(), call = std::move(call)] {
            if (std::shared_ptr<QuorManagerDelegate> d = self->get(&Hub::delegate).lock())
                call(*d);
        });
    }
    void deliver(std::function<void()> work) override { queue->async(std::move(work)); }

    template <class T>
    T get(T Hub::*member) const
    {
        QMutexLocker lock(&mutex);
        return this->*member;
    }
    template <class T>
    void set(T Hub::*member, T value)
    {
        QMutexLocker lock(&mutex);
        this->*member = std::move(value);
    }

    QuorEngineSettings engineSettings() const
    {
        QMutexLocker lock(&mutex);
        QuorEngineSettings s;
        s.credential = credential;
        for (const QuorProtocol& p : excluded)
            s.excludedProtocolWords.append(p.protocol.value_or(QString()));
        s.doCheckInternetConnectivity = doCheck;
        return s;
    }

    std::shared_ptr<Hub> shared() { return self.lock(); }

    mutable QMutex mutex;
    QuorConfiguration configuration;
    std::weak_ptr<QuorManagerDelegate> delegate;
    StateHandler stateHandler;
    PacketsHandler packetsHandler;
    QList<QuorProtocol> excluded;
    std::optional<QuorCredential> credential;
    bool doCheck = true;
    SerialQueue* queue = nullptr;
    std::weak_ptr<Hub> self;
};

namespace {

QMutex& sharedMutex()
{
    static QMutex m;
    return m;
}

// Never destroyed at exit (its worker thread and timers need the application object, which is
// gone by then); resetSharedInstance ends it while the application still runs.
std::unique_ptr<QuorManager>& sharedManager()
{
    static auto* manager = new std::unique_ptr<QuorManager>();
    return *manager;
}

}

QuorManager::QuorManager(const QuorConfiguration& configuration, const QuorEnvironment& environment)
    : hub_(std::make_shared<Hub>(configuration)), queue_(std::make_unique<SerialQueue>(QStringLiteral("QuorSDK.callbacks")))
{
    hub_->self = hub_;
    hub_->queue = queue_.get();
    engine_ = std::make_shared<QuorEngine>(environment, *hub_, [hub = hub_.get()] { return hub->engineSettings(); });
    initializeLater();
}

void QuorManager::initializeLater()
{
    // On a later turn of the main loop, so the caller installs its delegate first and hears
    // that the SDK is ready.
    MainQueue::async([weak = std::weak_ptr<QuorEngine>(engine_)] {
        if (std::shared_ptr<QuorEngine> engine = weak.lock())
            engine->initialize();
    });
}

QuorManager::~QuorManager()
{
    // Stop the tunnel's timers, let the worker finish what it already holds (its callbacks may
    // still ask the manager for its state), then let the engine go.
    engine_->shutdown();
    queue_.reset();
    engine_.reset();
}

QuorManager* QuorManager::sharedInstanceWithQuorConfiguration(const QuorConfiguration& configuration)
{
    if (!configuration.hasValidSecretKey()) {
        qCWarning(lcQuor) << "refusing a configuration without a valid secret key";
        return nullptr;
    }
    QMutexLocker lock(&sharedMutex());
    if (sharedManager()) {
        sharedManager()->reconfigure(configuration);
        return sharedManager().get();
    }
    sharedManager() = std::make_unique<QuorManager>(configuration, QuorEnvironment::current());
    return sharedManager().get();
}

QuorManager* QuorManager::sharedInstance()
{
    QMutexLocker lock(&sharedMutex());
    return sharedManager().get();
}

void QuorManager::resetSharedInstance()
{
    std::unique_ptr<QuorManager> old;
    {
        QMutexLocker lock(&sharedMutex());
        old = std::move(sharedManager());
    }
}

void QuorManager::reconfigure(const QuorConfiguration& configuration)
{
    hub_->set(&Hub::configuration, configuration);
    initializeLater();
}

void QuorManager::onMain(std::function<void(QuorEngine&)> work)
{
    MainQueue::asyncIfNeeded([weak = std::weak_ptr<QuorEngine>(engine_), work = std::move(work)] {
        if (std::shared_ptr<QuorEngine> engine = weak.lock())
            work(*engine);
    });
}

QuorConfiguration QuorManager::configuration() const { return hub_->get(&Hub::configuration); }

void QuorManager::setDelegate(const std::shared_ptr<QuorManagerDelegate>& delegate)
{
    hub_->set(&Hub::delegate, std::weak_ptr<QuorManagerDelegate>(delegate));
}

std::shared_ptr<QuorManagerDelegate> QuorManager::delegate() const { return hub_->get(&Hub::delegate).lock(); }

void QuorManager::setStateDidChangedHandler(StateHandler handler) { hub_->set(&Hub::stateHandler, std::move(handler)); }

QuorManager::StateHandler QuorManager::stateDidChangedHandler() const { return hub_->get(&Hub::stateHandler); }

void QuorManager::setOnPacketsTransmitted(PacketsHandler handler) { hub_->set(&Hub::packetsHandler, std::move(handler)); }

QuorManager::PacketsHandler QuorManager::onPacketsTransmitted() const { return hub_->get(&Hub::packetsHandler); }

void QuorManager::setExcludeProtocols(const QList<QuorProtocol>& protocols) { hub_->set(&Hub::excluded, protocols); }

QList<QuorProtocol> QuorManager::excludeProtocols() const { return hub_->get(&Hub::excluded); }

std::optional<QuorCredential> QuorManager::quorCredential() const { return hub_->get(&Hub::credential); }

bool QuorManager::doCheckInternetConnectivity() const { return hub_->get(&Hub::doCheck); }

std::optional<QuorConnectionDetails> QuorManager::quorConnectionDetails() const { return engine_->currentDetails(); }

void QuorManager::getOptimizedCountries(const QList<QuorCountry>& countries, CountryListResponse response)
{
    onMain([countries, response](QuorEngine& e) { e.optimizeCountries(countries, response); });
}

void QuorManager::getOptimizedCities(const QList<QuorCity>& cities, CityListResponse response)
{
    onMain([cities, response](QuorEngine& e) { e.optimizeCities(cities, response); });
}

void QuorManager::setFaults(const QuorFaults& faults)
{
    onMain([faults](QuorEngine& e) { e.setFaults(faults); });
}

std::shared_ptr<const QuorInventory> QuorManager::inventory() const { return engine_->inventory(); }

void QuorManager::setDoCheckInternetConnectivity(bool check) { hub_->set(&Hub::doCheck, check); }

void QuorManager::setQuorCredential(const std::optional<QuorCredential>& credential)
{
    hub_->set(&Hub::credential, credential);
}

void QuorManager::connect(const QuorProperties& properties, ConnectCompletion completion, ErrorBlock errorBlock)
{
    onMain([properties, completion, errorBlock](QuorEngine& e) { e.connect(properties, completion, errorBlock); });
}

int QuorManager::getCurrentVPNStatus() const { return engine_->status(); }

void QuorManager::disconnectVPN() { onMain([](QuorEngine& e) { e.disconnect(); }); }

void QuorManager::cancelVPN() { onMain([](QuorEngine& e) { e.cancel(); }); }

void QuorManager::reconnectVPN() { onMain([](QuorEngine& e) { e.reconnect(); }); }

std::optional<QDateTime> QuorManager::getConnectedTime() const { return engine_->connectedTime(); }

void QuorManager::getConnectedLocation(LocationBlock success, ErrorBlock errorBlock)
{
    onMain([success, errorBlock](QuorEngine& e) { e.connectedLocation(success, errorBlock); });
}

void QuorManager::getRecommendedLocation(LocationBlock success, ErrorBlock errorBlock)
{
    onMain([success, errorBlock](QuorEngine& e) { e.recommendedLocation(success, errorBlock); });
}

void QuorManager::pingDedicatedIPServer(const QuorDedicatedIPServerPing& ping, PingBlock successBlock, ErrorBlock errorBlock)
{
    onMain([ping, successBlock, errorBlock](QuorEngine& e) { e.pingDedicatedIPServer(ping, successBlock, errorBlock); });
}

void QuorManager::getCountries(CountriesBlock success, ErrorBlock errorBlock)
{
    onMain([success, errorBlock](QuorEngine& e) { e.countries(success, errorBlock); });
}
