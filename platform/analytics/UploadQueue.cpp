#include "UploadQueue.h"

#include "Timer.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLoggingCategory>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSslConfiguration>
#include <QThread>

Q_LOGGING_CATEGORY(lcUpload, "veltamorine.analytics")

UploadQueue::UploadQueue(UploadConfiguration configuration, QObject* parent)
    : QObject(parent), configuration_(std::move(configuration))
{
    if (!canDeliver())
        qCWarning(lcUpload) << "delivery disabled: the endpoint is not an https URL";
    // Requests and the flush timer live on the main thread, whoever builds the queue.
    auto* app = QCoreApplication::instance();
    if (app && thread() != app->thread())
        moveToThread(app->thread());
    if (configuration_.flushInterval > 0) {
        if (QThread::currentThread() == thread())
            armFlushTimer();
        else
            QMetaObject::invokeMethod(this, [this] { armFlushTimer(); }, Qt::QueuedConnection);
    }
}

void UploadQueue::armFlushTimer()
{
    timer_ = std::make_unique<Timer>(configuration_.scheduler ? *configuration_.scheduler : Scheduler::main());
    timer_->start(configuration_.flushInterval, true, [this] { startNextBatch(); });
}

std::shared_ptr<UploadQueue> UploadQueue::makeShared(UploadConfiguration configuration)
{
    return std::shared_ptr<UploadQueue>(new UploadQueue(std::move(configuration)), [](UploadQueue* queue) {
        if (QThread::currentThread() == queue->thread())
            delete queue;
        else
            queue->deleteLater();
    });
}

UploadQueue::~UploadQueue()
{
    timer_.reset();
    if (reply_) {
        reply_->disconnect(this);
        reply_->abort();
    }
}

bool UploadQueue::canDeliver() const
{
    return configuration_.endpoint.isValid() && configuration_.endpoint.scheme() == QLatin1String("https");
}

void UploadQueue::enqueue(QJsonObject item)
{
    QMutexLocker lock(&mutex_);
    queue_.push_back(std::move(item));
    trimLocked();
}

void UploadQueue::trimLocked()
{
    const size_t capacity = size_t(std::max(configuration_.capacity, 1));
    while (queue_.size() > capacity && queue_.size() > size_t(inFlight_)) {
        // The items on the wire stay put; the oldest of the waiting ones go.
        queue_.erase(queue_.begin() + inFlight_);
        ++dropped_;
    }
}

void UploadQueue::flush()
{
    if (QThread::currentThread() == thread())
        startNextBatch();
    else
        QMetaObject::invokeMethod(this, [this] { startNextBatch(); }, Qt::QueuedConnection);
}

void UploadQueue::clear()
{
    QMutexLocker lock(&mutex_);
    queue_.erase(queue_.begin() + inFlight_, queue_.end());
}

void UploadQueue::startNextBatch()
{
    if (reply_ || !canDeliver())
        return;
    QJsonArray batch;
    {
        QMutexLocker lock(&mutex_);
        if (queue_.empty())
            return;
        const int count = int(std::min<size_t>(queue_.size(), size_t(std::max(configuration_.batchSize, 1))));
        for (int i = 0; i < count; ++i)
            batch.append(queue_[size_t(i)]);
        inFlight_ = count;
    }

    QNetworkRequest request(configuration_.endpoint);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    for (const auto& [name, value] : configuration_.headers)
        request.setRawHeader(name, value);
    request.setTransferTimeout(configuration_.timeoutMs);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    QSslConfiguration ssl = QSslConfiguration::defaultConfiguration();
    if (!configuration_.trustedCertificates.isEmpty())
        ssl.addCaCertificates(configuration_.trustedCertificates);
    ssl.setPeerVerifyMode(QSslSocket::VerifyPeer);
    request.setSslConfiguration(ssl);

    if (!network_)
        network_ = new QNetworkAccessManager(this);
    const QByteArray body = QJsonDocument(QJsonObject{{QStringLiteral("batch"), batch}}).toJson(QJsonDocument::Compact);
    reply_ = network_->post(request, body);
    QNetworkReply* reply = reply_;
    connect(reply, &QNetworkReply::finished, this, [this, reply] { finish(reply); });
}

void UploadQueue::finish(QNetworkReply* reply)
{
    reply->deleteLater();
    reply_ = nullptr;
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const bool ok = reply->error() == QNetworkReply::NoError && status >= 200 && status < 300;
    int count = 0;
    bool more = false;
    {
        QMutexLocker lock(&mutex_);
        count = inFlight_;
        inFlight_ = 0;
        if (ok) {
            queue_.erase(queue_.begin(), queue_.begin() + count);
            delivered_ += count;
            more = !queue_.empty();
        } else {
            ++failedRequests_;
            trimLocked();
        }
    }
    if (ok) {
        emit batchDelivered(count);
        if (more)
            startNextBatch();
    } else {
        // Only the outcome is logged; the reply body may echo what was sent.
        qCWarning(lcUpload) << "delivery failed, keeping" << count << "items for the next flush:"
                            << "status" << status << reply->errorString();
        emit batchFailed();
    }
}

int UploadQueue::pendingCount() const
{
    QMutexLocker lock(&mutex_);
    return int(queue_.size());
}

QList<QJsonObject> UploadQueue::pendingItems() const
{
    QMutexLocker lock(&mutex_);
    return QList<QJsonObject>(queue_.begin(), queue_.end());
}

qint64 UploadQueue::droppedCount() const
{
    QMutexLocker lock(&mutex_);
    return dropped_;
}

qint64 UploadQueue::deliveredCount() const
{
    QMutexLocker lock(&mutex_);
    return delivered_;
}

qint64 UploadQueue::failedRequestCount() const
{
    QMutexLocker lock(&mutex_);
    return failedRequests_;
}

bool UploadQueue::isDelivering() const
{
    return reply_ != nullptr;
}
