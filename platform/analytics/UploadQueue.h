#pragma once

#include "Scheduler.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QSslCertificate>
#include <QUrl>
#include <deque>
#include <memory>

class QNetworkAccessManager;
class QNetworkReply;
class Timer;

// Where and how a queue delivers.
struct UploadConfiguration {
    // Must be an https URL; anything else keeps the items queued and sends nothing.
    QUrl endpoint;
    // Extra certificate authorities trusted besides the system ones (a private or test CA).
    // Peer verification always stays on.
    QList<QSslCertificate> trustedCertificates;
    QList<std::pair<QByteArray, QByteArray>> headers;
    int capacity = 1000;        // items kept at most; the oldest go first
    int batchSize = 50;         // items per request
    double flushInterval = 60;  // seconds between automatic flushes; 0 or less: only flush()
    int timeoutMs = 30000;
    Scheduler* scheduler = nullptr;  // nullptr: Scheduler::main()
};

// A bounded queue of JSON items delivered in batches over HTTPS: each request POSTs
// {"batch": [item, ...]} and a 2xx reply removes the batch. Any other outcome keeps it at the
// head of the queue for the next flush.
//
// enqueue() and flush() may be called from any thread and never wait for the network; the
// queue itself lives on the main thread (it moves there when built elsewhere), where requests
// are made. Destroy it on the main thread.
class UploadQueue : public QObject {
    Q_OBJECT
public:
    explicit UploadQueue(UploadConfiguration configuration, QObject* parent = nullptr);
    ~UploadQueue() override;

    // A queue owned by whoever holds it, released on the main thread whichever thread lets go last.
    static std::shared_ptr<UploadQueue> makeShared(UploadConfiguration configuration);

    void enqueue(QJsonObject item);
    // Starts delivering everything queued now, batch after batch, until the queue is empty or a
    // request fails. Does nothing while a delivery is already running.
    void flush();
    // Forgets every queued item that is not already on the wire.
    void clear();

    int pendingCount() const;
    // The queued items, oldest first (including any on the wire).
    QList<QJsonObject> pendingItems() const;
    qint64 droppedCount() const;
    qint64 deliveredCount() const;
    qint64 failedRequestCount() const;
    bool isDelivering() const;
    const UploadConfiguration& configuration() const { return configuration_; }

signals:
    void batchDelivered(int count);
    void batchFailed();

private:
    void armFlushTimer();
    void startNextBatch();
    void finish(QNetworkReply* reply);
    void trimLocked();
    bool canDeliver() const;

    const UploadConfiguration configuration_;
    mutable QMutex mutex_;
    std::deque<QJsonObject> queue_;
    int inFlight_ = 0;  // items at the head of queue_ that are on the wire
    qint64 dropped_ = 0;
    qint64 delivered_ = 0;
    qint64 failedRequests_ = 0;
    QNetworkAccessManager* network_ = nullptr;
    QPointer<QNetworkReply> reply_;
    std::unique_ptr<Timer> timer_;
};
