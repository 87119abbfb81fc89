#pragma once

#include "AnalyticsProperties.h"
#include "UploadQueue.h"

#include <QDateTime>
#include <QHash>
#include <QMutex>
#include <QSslCertificate>
#include <QUrl>
#include <atomic>
#include <functional>
#include <memory>

// How an analytics instance is set up.
struct AnalyticsOptions {
    QString token;
    double flushInterval = 60;
    QString instanceName;  // empty: the token names the instance
    bool optOutTrackingByDefault = false;
    bool useUniqueDistinctId = false;
    AnalyticsProperties superProperties;
    // Where batches go (https). Empty: initialize() takes the information dictionary's
    // "Analytics Endpoint"; without one nothing is delivered and events wait in the bounded queue.
    QUrl serverURL;
    // Delivery details. Empty trusted certificates: initialize() adds the CA the information
    // dictionary names, if any.
    QList<QSslCertificate> trustedCertificates;
    int capacity = 1000;
    int batchSize = 50;
    Scheduler* scheduler = nullptr;  // flush timer and event clock; nullptr: Scheduler::main()
};

// The analytics sink: events with properties, timed events, super properties attached to every
// later event, the identity of the user, people properties, flush and opt-out. Events are
// queued and delivered in batches by an UploadQueue; every call returns at once and may come
// from any thread. An instance must be created on the main thread.
//
// Wire form of one queued item:
//   event:  {"type": "event", "event": name, "use_ip_geolocation": bool,
//            "properties": {super properties, the event's properties, "token", "distinct_id",
//                           "time" (ms since 1970), "$insert_id", "$duration" for timed events}}
//   people: {"type": "people", "$token", "$distinct_id", "$time", "$set": {...}}
class AnalyticsInstance {
public:
    explicit AnalyticsInstance(AnalyticsOptions options);
    ~AnalyticsInstance();
    AnalyticsInstance(const AnalyticsInstance&) = delete;
    AnalyticsInstance& operator=(const AnalyticsInstance&) = delete;

    // Creates the named instance (or returns the existing one of that name) and makes it the
    // main instance. Main thread only.
    static std::shared_ptr<AnalyticsInstance> initialize(AnalyticsOptions options);
    // The main instance. Before initialize() an instance without token or endpoint stands in,
    // so early events wait in its bounded queue rather than crash the caller.
    static std::shared_ptr<AnalyticsInstance> mainInstance();
    // Forgets every instance (tests).
    static void removeAllInstances();

    bool useIPAddressForGeoLocation() const { return useIP_.load(); }
    void setUseIPAddressForGeoLocation(bool use) { useIP_.store(use); }

    void time(const QString& event);
    void track(const QString& event, const AnalyticsProperties& properties = {});
    void identify(const QString& distinctId, bool usePeople = true, std::function<void()> completion = {});
    void registerSuperProperties(const AnalyticsProperties& properties);
    void clearSuperProperties();
    AnalyticsProperties currentSuperProperties() const;
    void reset(std::function<void()> completion = {});
    // Sets people properties of the current user.
    void peopleSet(const AnalyticsProperties& properties);

    void flush();
    void optOutTracking();
    void optInTracking();
    bool hasOptedOutTracking() const;

    QString distinctId() const;
    QString name() const;
    UploadQueue& queue() { return *queue_; }

private:
    QDateTime now() const;

    const AnalyticsOptions options_;
    mutable QMutex mutex_;
    QString distinctId_;
    AnalyticsProperties superProperties_;
    QHash<QString, QDateTime> timedEvents_;
    bool optedOut_ = false;
    std::atomic<bool> useIP_{true};
    std::shared_ptr<UploadQueue> queue_;
};
