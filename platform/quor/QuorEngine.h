#pragma once

#include "QuorCredential.h"
#include "QuorEnvironment.h"
#include "QuorFaults.h"
#include "QuorInventoryStore.h"
#include "QuorManagerDelegate.h"
#include "QuorManagerProtocol.h"
#include "Timer.h"

#include <QMutex>
#include <atomic>
#include <expected>
#include <memory>

// What the engine needs to know from the manager's settings at the moment it acts.
struct QuorEngineSettings {
    std::optional<QuorCredential> credential;
    QStringList excludedProtocolWords;
    bool doCheckInternetConnectivity = true;
};

// The simulated tunnel. It runs on the main thread and moves through the SDK's states on
// timers of its scheduler; everything it reports goes out through `Output`, which hands it
// to the SDK's worker thread.
class QuorEngine : public std::enable_shared_from_this<QuorEngine> {
public:
    class Output {
    public:
        virtual ~Output() = default;
        virtual void stateChanged(int state) = 0;
        virtual void packetsTransmitted(quint64 bytesIn, quint64 bytesOut) = 0;
        virtual void toDelegate(std::function<void(QuorManagerDelegate&)> call) = 0;
        virtual void deliver(std::function<void()> work) = 0;
    };

    using CountryListResponse = std::function<void(const std::optional<QList<QuorCountry>>&, const std::optional<Error>&)>;
    using CityListResponse = std::function<void(const std::optional<QList<QuorCity>>&, const std::optional<Error>&)>;

    QuorEngine(const QuorEnvironment& environment, Output& output, std::function<QuorEngineSettings()> settings);
    ~QuorEngine();

    // Any thread.
    int status() const;
    std::optional<QDateTime> connectedTime() const;
    std::optional<QuorConnectionDetails> currentDetails() const;
    std::shared_ptr<const QuorInventory> inventory() const { return store_.current(); }
    QuorInventoryStore::Source inventorySource() const { return store_.source(); }

    // Main thread.
    void initialize();
    // Stops every timer; nothing more happens until the engine is gone.
    void shutdown() { stopTimers(); }
    void setFaults(const QuorFaults& faults) { injected_ = faults; }
    QuorFaults injectedFaults() const { return injected_; }
    void connect(const QuorProperties& properties, QuorManagerProtocol::ConnectCompletion completion,
                 QuorManagerProtocol::ErrorBlock errorBlock);
    void disconnect();
    void cancel();
    void reconnect();
    void connectedLocation(QuorManagerProtocol::LocationBlock success, QuorManagerProtocol::ErrorBlock errorBlock);
    void recommendedLocation(QuorManagerProtocol::LocationBlock success, QuorManagerProtocol::ErrorBlock errorBlock);
    void pingDedicatedIPServer(const QuorDedicatedIPServerPing& ping, QuorManagerProtocol::PingBlock success,
                               QuorManagerProtocol::ErrorBlock errorBlock);
    void countries(QuorManagerProtocol::CountriesBlock success, QuorManagerProtocol::ErrorBlock errorBlock);
    void optimizeCountries(QList<QuorCountry> countries, CountryListResponse response);
    void optimizeCities(QList<QuorCity> cities, CityListResponse response);

private:
    struct Answer;
    struct Candidate {
        QString nasIdentifier;
        QString hostname;
        QString ip;
        QString protocolWord;
        std::optional<QuorCity> city;
        QString countryCode;
        QString countryName;
        qint64 latency = 0;
    };
    struct Attempt {
        QuorProperties properties;
        QList<Candidate> candidates;
        int candidateIndex = 0;
        int dialAttempts = 0;
        QDateTime requestedAt;
        double timeToFind = 0;
        double timeToConnect = 0;
        bool filtered = false;
        bool dropped = false;
        QString method;
        QString sessionId;
        std::optional<QVariantMap> speedTest;
        const Candidate& candidate() const { return candidates.at(candidateIndex); }
    };

    QuorFaults faults() const;
    std::expected<Attempt, int> plan(const QuorProperties& properties, const QuorEngineSettings& settings) const;
    std::optional<QString> chooseProtocol(const QuorProperties& properties, const QStringList& supported,
                                          const QStringList& excluded) const;
    QString resolveHost(const QString& host) const;

    void begin(Attempt attempt, std::shared_ptr<Answer> answer);
    void serverFound();
    void dial();
    void dialFailed(int code);
    void established();
    void drop();
    void lose();
    void reportUnableToBrowse();
    void finishDisconnect(bool cancelled, bool manual, int type);
    void stopTimers();
    void tick();

    void setStatus(int status);
    void publish();
    QuorConnectionDetails details() const;
    QuorLocation location() const;
    double secondsSince(const QDateTime& t) const;
    void fail(const std::shared_ptr<Answer>& answer, int code);
    void later(double seconds, std::function<void()> work);

    QuorEnvironment environment_;
    Scheduler& scheduler_;
    Output& output_;
    std::function<QuorEngineSettings()> settings_;
    QuorInventoryStore store_;
    QuorFaults injected_;

    std::optional<Attempt> current_;
    std::optional<QuorProperties> lastProperties_;
    std::optional<QString> lastSuccessfulProtocol_;
    quint64 sessions_ = 0;
    quint64 bytesIn_ = 0;
    quint64 bytesOut_ = 0;
    quint64 ticks_ = 0;

    Timer step_;
    Timer locationTimer_;
    Timer packets_;
    Timer dropTimer_;
    Timer browseTimer_;

    mutable QMutex mutex_;
    int status_ = 1;
    std::optional<QDateTime> connectedAt_;
    std::optional<QuorConnectionDetails> published_;
};
